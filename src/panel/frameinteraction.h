#pragma once

#include "panel/framehittest.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <functional>

class QWidget;
class QWindow;

// Moves and resizes a frameless top-level widget from its caption strip and
// borders. Presses are taken on the native window before any child widget
// sees them, so the borders work over the children too. The window manager
// does the move or resize when it offers to (the usual case); without one,
// the window follows the mouse itself. Hovering a border shows the matching
// resize cursor.
class FrameInteraction : public QObject {
    Q_OBJECT
public:
    // `hitTest` gets a point in window coordinates.
    using HitTest = std::function<FrameHit(QPoint)>;

    FrameInteraction(QWidget* window, HitTest hitTest);
    ~FrameInteraction() override;

    // Quiet time after the last move or resize event of a move run by the
    // window manager, after which the move counts as finished (and the
    // mouse button is known to be up).
    static constexpr int kSettleMs = 250;

Q_SIGNALS:
    // A user move or resize of the window has ended.
    void moveSizeFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach();
    bool handleWindowEvent(QEvent* event);
    void followMouse(QPoint globalPos);
    void setHoverCursor(Qt::CursorShape shape);
    void onSettled();

    QWidget* m_window;
    QPointer<QWindow> m_handle;
    HitTest m_hitTest;

    FrameHit m_ownDrag = FrameHit::Client; // Client: no drag of our own
    QPoint m_pressGlobal;
    QRect m_startGeometry;
    QPoint m_startPos;

    bool m_systemDrag = false;
    QTimer m_settleTimer;

    bool m_overrideCursor = false;
    Qt::CursorShape m_cursorShape = Qt::ArrowCursor;
};
