#pragma once

#include <QString>

// Bytes an unprivileged writer may still put on the file system holding
// `path` (which must exist); -1 when the system cannot tell.
qint64 availableDiskBytes(const QString& path);
