#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRegion>

#include <functional>

class QLayout;
class QWidget;

// Keeps a translucent top-level window looking right on any X11 desktop.
// With a compositor its see-through corners and soft shadow show what lies
// below. Without one the X server would paint every see-through pixel black,
// so the shadow margin goes and the window is cut to its visible outline.
// Follows the window's size and compositors that start or quit later.
class WindowShape : public QObject {
    Q_OBJECT
public:
    // A window painted edge to edge (less `inset`) as a rounded rectangle
    // with corners of `radius()`; the radius is read again at every change,
    // so a window whose corners follow a setting stays right after refresh().
    static WindowShape* install(QWidget* window, std::function<qreal()> radius, QMargins inset = {});

    // A card with corners of `radius` inside the margins of `outer`, which
    // are the room of the shadow effect set on `card`. Without a compositor
    // the margins and the effect are dropped and the window is the card.
    static WindowShape* installCard(QWidget* window, QLayout* outer, QWidget* card, qreal radius);

    // Applies the shape again after the window changed its outline.
    static void refresh(QWidget* window);

    // Pixels whose centre lies inside the rounded rectangle `outline`: the
    // partly covered edge pixels of a painted outline stay mostly inside
    // the mask, the rest (which would show black) outside it.
    static QRegion outlineRegion(const QRect& outline, qreal radius);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WindowShape(QWidget* window);
    void apply();

    QWidget* m_window;
    std::function<qreal()> m_radius;
    QMargins m_inset;
    QPointer<QLayout> m_outer;
    QPointer<QWidget> m_card;
    QMargins m_shadowMargins;
    bool m_applying = false;
};
