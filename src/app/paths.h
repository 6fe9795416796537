#pragma once

#include <QString>

// The data root: "<exe dir>/data" when "portable.ini" lies beside the
// executable, else the per-user application-local data folder. Created (with
// parents) and made private to the user (0700) on every call; a failure is reported on stderr and the path is
// still returned, so callers never silently fall back to another root.
QString appDataDir();

// appDataDir() computed once per process; the folder is created on that first
// call only. Thread-safe.
QString cachedAppDataDir();

// "major.minor.patch" of this build, "0.0.0" when the build sets none.
QString appVersionString();
