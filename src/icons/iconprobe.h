#pragma once

#include <QString>

// Renders shell icons of sample paths into PNG files in `dir` and logs what it
// found; the --icon-probe= mode of the executable.
void runIconProbe(const QString& dir);
