#pragma once

#include <QImage>
#include <QString>

// The best icon this desktop offers for a panel item's path (file, folder,
// program, shortcut, desktop entry or "::{GUID}" shell place): ARGB32, at
// most 192 x 192, transparent margins trimmed; null when nothing was found.
// Live sources are asked first; the disk cache is the last resort, and every
// result is written to it. Re-entrant: the icon pool runs it on two threads.
QImage extractIconImage(const QString& path);

// Removes a flat background (four equal opaque corners) and trims the
// transparent margin. A null image, or one without any pixel of alpha 9 or
// more, comes back unchanged.
QImage normalizeIconImage(const QImage& image);

// Scales an image down to fit 192 x 192 (aspect kept, smooth) when a side
// is larger; anything else comes back unchanged.
QImage capIconImage(const QImage& image);

// The icon a folder's role gives it (desktop, documents, music, ...), as
// the theme holds it: neither trimmed nor scaled. Null for a folder without
// a role.
QImage folderRoleIconImage(const QString& path);
