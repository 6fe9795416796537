#pragma once

#include <Qt>

// The mouse buttons held down anywhere on the screen, also while another
// program (or the window manager moving our window) has grabbed the pointer
// and our own events say nothing. Returns false when the display server
// cannot be asked (no X11 connection), leaving `buttons` untouched.
bool queryGlobalMouseButtons(Qt::MouseButtons* buttons);
