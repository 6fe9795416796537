#pragma once

#include <QImage>
#include <QString>

// The disk cache of extracted icons: one PNG per path under
// "<data root>/cache/iconsnap". Entries are written once and never
// refreshed; they are read only when live extraction finds nothing.

// The cache file of a path; empty for an empty path. The name is the first
// 32 hex digits of the SHA-256 of the cleaned path. Letter case is kept:
// file names are case-sensitive here, so "A.png" and "a.png" are two files.
QString iconCacheFile(const QString& path);

// Writes the image as the path's cache file unless a non-empty regular file
// is already there. A symbolic link at the name is removed and a regular file
// written in its place: the cache never writes through a link. Atomic; any
// failure leaves no file. Serialised with one process-wide lock.
void writeIconCacheFile(const QString& path, const QImage& image);

// Reads the path's cache file: a regular file (not a link) of 1 byte to
// 2 MiB holding a PNG of at most 4096 px a side. ARGB32, or null when any
// of that fails. Takes no lock.
QImage readIconCacheFile(const QString& path);
