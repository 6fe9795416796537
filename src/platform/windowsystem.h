#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

// The window services the single-instance road relies on: marking the panel's
// top-level window so that a later start can find it, finding it again from
// another process, and waking it. Every call is harmless when there is no
// window system to talk to (`available()` false): finds return 0, marks and
// posts return false.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    virtual bool available() const = 0;

    // Sets the marker property `name` with the value 1 on the top-level
    // window `window`.
    virtual bool setWindowMarker(WId window, const QString& name) = 0;

    // The first client window that carries the marker `marker`; when none
    // does, the first client window titled exactly `title`. Either way only
    // a window that belongs to a process of this user running this same
    // executable counts. 0 when none.
    virtual WId findPanelWindow(const QString& marker, const QString& title) = 0;

    // Posts the wake request carrying `code` to `window`. True when it was
    // sent (not when it was handled: the answer is never awaited).
    virtual bool postWake(WId window, quint32 code) = 0;

    // Calls `onWake` on this thread's event loop whenever a wake request
    // carrying `code` arrives for `window`. The watch ends when the returned
    // handle is destroyed.
    class WakeWatch {
    public:
        virtual ~WakeWatch() = default;
    };
    virtual std::unique_ptr<WakeWatch> watchWake(WId window, quint32 code, std::function<void()> onWake) = 0;
};

// The process's window services: the X11 ones under the xcb platform, inert
// ones elsewhere (offscreen tests). Created on first use, after the
// QGuiApplication.
WindowSystem& windowSystem();

// Replaces what windowSystem() returns (tests); nullptr restores the default.
void setWindowSystemOverride(WindowSystem* override);
