#pragma once

#include <QImage>
#include <QSize>

#include <memory>

// Grabs the whole screen with the mouse pointer drawn in. One capture is
// used by one thread at a time (it may be made on one thread and used on
// another, but not both at once).
class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;

    // The size of the screen as it is now; empty when it cannot be told.
    virtual QSize screenSize() = 0;
    // Fills `frame` with the screen as 32-bit RGB (QImage::Format_RGB32),
    // pointer included. The image may share memory with the capture: it
    // stays valid until the next grab or the capture's end, and must be
    // copied to be kept. False when nothing could be grabbed.
    virtual bool grab(QImage* frame) = 0;
    // Whether frames come through memory shared with the display server
    // rather than over the connection.
    virtual bool usesSharedMemory() const = 0;
};

// A capture of the X display's root window, through shared memory when the
// server offers it (and `sharedMemory` is true), else by plain image
// requests; the pointer comes from the XFixes cursor image. Null without an
// X display or on a screen format other than 32-bit true colour.
std::unique_ptr<ScreenCapture> openScreenCapture(bool sharedMemory = true);
