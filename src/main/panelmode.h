#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class MainWindow;
class SingleInstanceLock;

// The panel's road from the window's construction to the hard exit; never
// returns. `lock` (may be null) is the single-instance lock, given up just
// before the end.
[[noreturn]] void runPanelMode(SingleInstanceLock* lock);

// Where a window of `size` goes to sit centred in `area`: each axis at the
// area's start plus half the room left over (never less than the start).
QPoint centredTopLeft(const QRect& area, const QSize& size);

// The handler of the application's aboutToQuit: stops the recorder and the
// background work, then saves what must persist (the process then ends
// without running destructors).
void onAboutToQuit(MainWindow* window);

// Run once, 1.2 s after the window was shown: brings back a window that is
// off every screen, hidden or minimised, and logs what it repaired.
void startupSelfCheck(MainWindow* window);
