#pragma once

#include "platform/windowsystem.h"

// The X11 window services: an atom-named CARDINAL property as the marker,
// the EWMH client list (else a tree walk for WM_STATE windows, else the
// top-level windows themselves when no window manager runs) for the search,
// and a ClientMessage of a private atom as the wake request. Null when the
// application does not run on the xcb platform.
std::unique_ptr<WindowSystem> createX11WindowSystem();
