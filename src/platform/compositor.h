#pragma once

#include <QObject>

#include <memory>
#include <optional>

// Whether a compositing manager draws the screen. Only then are the
// translucent parts of a window really see-through; without one the X server
// shows them black, so windows cut themselves to their outline instead.
//
// The answer follows the screen: a compositor that starts or quits later is
// noticed (the owner of the `_NET_WM_CM_S<screen>` selection changes) and
// `activeChanged` is emitted on the GUI thread. Without an X server the
// answer is false and never changes.
class Compositor : public QObject {
    Q_OBJECT
public:
    // Created on first use, after the QGuiApplication; lives as long as it.
    static Compositor& instance();
    ~Compositor() override;

    bool active() const;

    // Replaces the screen's answer (tests); nullopt follows the screen again.
    // Emits activeChanged when the effective answer changes.
    void setOverride(std::optional<bool> active);

Q_SIGNALS:
    void activeChanged(bool active);

private:
    explicit Compositor(QObject* parent);
    void setScreenAnswer(bool active);

    class Watch;
    std::unique_ptr<Watch> m_watch;
    bool m_screen = false;
    std::optional<bool> m_override;
};

// Shorthand for Compositor::instance().active().
bool compositorActive();
