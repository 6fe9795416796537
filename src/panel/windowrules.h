#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// The small decisions of the main window, as pure functions.

// Smallest window size on a screen whose available area is `available`
// (an invalid rectangle: no screen).
QSize minimumWindowSize(const QRect& available);

// The size the window starts with: 680 x 496, or the remembered size when
// it is to be remembered and both values are known, fitted to the screen's
// available area (1366 x 690 when there is no screen): a side not longer
// than the minimum takes the screen's length, otherwise the remembered
// length within the minimum and min(screen, 1400 x 1000).
QSize initialWindowSize(bool rememberGeometry, const QSize& remembered, const QRect& available);

// Seconds between two checks of the sign-in token: the decimal value of the
// environment variable, 60 when it is unset, not a number or below 1.
int tokenHeartbeatSeconds(const QByteArray& value);

// What a click on a panel button does.
enum class UiButtonAction {
    None,
    ShowLockScreen, // the panel is locked: ask for the password instead
    ToggleOrientation,
    OpenSettings,
    TogglePinned,
    CollapseToEdge, // docked and slid out by a summon or gesture
    Minimize,
    Close,
    AppMarket,
    ToggleTheme,
    SupportChat,
    LockInterface,
    ToggleScreenMonitor,
    ToggleObfuscation,
};

// `revealedBySummon`: the window is docked and slid out by the hot key or a
// gesture. Minimise (3) and close (4) still work while locked.
UiButtonAction uiButtonAction(int ub, bool uiLocked, bool revealedBySummon);

// Moves button `ub` to the insert position `insertIndex` of the title
// (toArea 0) or bottom (otherwise) list. The position counts the buttons the
// bar shows (ids 0..10 whose `visible` flag is set; a missing flag counts as
// shown), so hidden buttons before it are stepped over; a position past the
// last shown button means the end of the list. Within its own list the
// button's removal shifts the later positions by one before the position is
// clamped. False, nothing changed, when ub is outside 0..10 or in neither
// list.
bool moveUiButtonInLayouts(QList<int>& title, QList<int>& bottom, const QList<bool>& visible, int ub, int toArea,
                           int insertIndex);

// Where the settings dialog of size `dialog` goes beside the window whose
// frame is `frame` on a screen area `available`: right of it, left of it or
// below it, 8 px away and kept inside the area; the place that covers the
// window least wins, the earlier on a tie.
QPoint settingsDialogPosition(const QRect& frame, const QRect& available, const QSize& dialog);
