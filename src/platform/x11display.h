#pragma once

// Xlib connections of our own, for the services that run on threads of
// their own (screen capture, input activity) and so cannot share the GUI
// thread's connection. Internal to the platform folder.

typedef struct _XDisplay Display;

namespace x11 {

// Opens a new connection to $DISPLAY; null when there is none. Xlib's
// thread support is switched on first, and errors on connections made here
// are recorded instead of ending the process (Xlib's default handler exits).
Display* openDisplay();
void closeDisplay(Display* display);

// The error code of the last failed request on `display` since the previous
// call (0 when none), after waiting for every request sent so far.
int takeError(Display* display);

} // namespace x11
