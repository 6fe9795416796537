#pragma once

#include <QKeySequence>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

// The geometry and gesture rules of edge docking, as pure functions. `area`
// is the available area of the window's screen; left/top/right/bottom are
// first and last pixel columns and rows, as QRect has them.

enum DockEdge { DockNone = 0, DockLeft = 1, DockTop = 2, DockRight = 3 };

// How far a window may be from an edge and still dock to it, and how far it
// must be dragged away to leave it.
constexpr int kDockSnapDistance = 20;

// Pixels of a hidden window left on screen: `snapRevealPx` clamped to 0..24.
int dockRevealPixels(int snapRevealPx);

// The edge a window ending a move at `w` docks to: top before left before right.
int dockEdgeFor(const QRect& w, const QRect& area);

// `r` slid out of sight against `edge`, `revealPx` pixels (left, top) or
// revealPx + 1 pixels (right) still on screen; size kept.
QRect collapsedRect(const QRect& r, int edge, const QRect& area, int revealPx);

// `r` slid back flush against `edge`; size kept.
QRect flushRect(const QRect& r, int edge, const QRect& area);

// True when a docked window at `w` was dragged more than the snap distance
// away from its edge.
bool draggedOffEdge(int edge, const QRect& w, const QRect& area);

// The band along `edge` whose approach reveals the window: max(snapRevealPx
// + 2, 8) thick (26 when snapRevealPx exceeds 24), spanning `expanded` in
// the other direction, grown by 6 px on every side.
QRect dockTriggerStrip(int edge, const QRect& area, const QRect& expanded, int snapRevealPx);

// A rectangle of `size` with its top-left at `p`, pushed inside `area`
// (first against its right and bottom, then its left and top).
QRect placeAtCursor(const QPoint& p, const QSize& size, const QRect& area);

// `w` centred in `area` as the show-and-centre rule does it; size kept.
QRect centredIn(const QRect& w, const QRect& area);

// `w` fitted to `area`: shrunk to it keeping the top-left, then centred in
// it when still not inside.
QRect fitIntoArea(const QRect& w, const QRect& area);

// The mouse gestures that reveal a docked (or any) window: 0 approach only,
// 1 middle click, 2 middle double click, 3 middle long press, 4 right long
// press. Times are milliseconds of any monotonic clock.
class RevealGesture {
public:
    static constexpr qint64 kDoubleClickMs = 350;
    static constexpr qint64 kLongPressMs = 399;

    // Whether the gesture of `method` fires with the buttons `middle` and
    // `right` held now; remembers the button states for the next call.
    bool fired(int method, bool middle, bool right, qint64 nowMs);
    // Remembers the button states without testing.
    void observe(bool middle, bool right);
    // Forgets a pending first click and running long presses.
    void resetTiming();

private:
    bool m_middleWasDown = false;
    bool m_rightWasDown = false;
    bool m_firstClickSeen = false;
    qint64 m_lastPressMs = -1;
    qint64 m_middleHoldSinceMs = -1;
    qint64 m_rightHoldSinceMs = -1;
};

// A summon hot key the platform can grab.
struct SummonHotkey {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    int virtualKey = 0; // the key's number in the key table, for the log
};

// The first combination of `text` in portable form, when its key is one
// the panel supports and it has a modifier (Ctrl, Alt, Shift or Meta).
std::optional<SummonHotkey> parseSummonHotkey(const QString& text);
