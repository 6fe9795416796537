#pragma once

#include <QWidget>

// Window-manager states of a top-level window (EWMH). Harmless without an
// X server: setters do nothing and return false, queries return false.

enum class NetWmState { Above, SkipTaskbar };

// Asks the window manager to turn `state` on or off for `window`; an
// unmapped window gets the property itself, which the window manager reads
// when it maps the window.
bool setNetWmState(WId window, NetWmState state, bool on);

// Whether `state` is currently set on `window` (as the window manager keeps it).
bool hasNetWmState(WId window, NetWmState state);

// Where the X server has `window` now, in screen pixels: the window manager
// may have placed it elsewhere than the client asked, without the toolkit
// learning of it. Invalid without an X server.
QRect placedWindowGeometry(WId window);
