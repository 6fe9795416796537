#pragma once

#include <QByteArray>

// Clean-up of the environment before the application object exists: our
// window services need X11, so a platform plug-in other than xcb is replaced
// by xcb (an empty value is left to Qt's own choice); plug-in search paths
// from the environment are dropped; fractional scale factors are floored.
void cleanStartupEnvironment();

// True when the QT_QPA_PLATFORM value may stay as it is: trimmed and
// lower-cased it is empty, "xcb" or begins with "xcb:".
bool keepQpaPlatform(const QByteArray& value);
