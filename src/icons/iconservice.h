#pragma once

#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QString>

#include <functional>

class QObject;

// The icon service: one process-wide memory cache of item icons (at most
// 256 entries, the oldest inserted evicted first; entries showing equal
// pictures share one pixmap), a two-thread pool for
// asynchronous extraction, and the placeholder shown for items without an
// icon. Everything here but the pool's work runs on the GUI thread.

// Receives the result of an asynchronous request: ARGB32, at most 192 x 192,
// null when there is no icon.
using IconResultCallback = std::function<void(const QString& path, const QImage& image)>;

// The icon of a path, extracted on the calling thread when not cached, and
// cached (also when null). Null for an empty path and for a "::{" place
// that yields nothing; the placeholder for any other path without an icon.
QPixmap iconPixmapForPath(const QString& path);

// Extracts the icon of a path on the icon pool and calls `callback` with it
// later, on the context object's thread, through its event loop: never
// inside this call, also when the path is already cached. Nothing is called
// when the context is destroyed first, or for an empty path, a null context
// or an empty callback. The result is not cached: store it with
// cacheIconImage().
void requestIconAsync(const QString& path, QObject* context, IconResultCallback callback);

// Stores an image as the path's pixmap. A null image is stored as a null
// pixmap (no further attempts), except for "::{" places, which stay
// uncached so they are asked again.
void cacheIconImage(const QString& path, const QImage& image);
void cacheIconPixmap(const QString& path, const QPixmap& pixmap);

// Drops every cached icon pixmap. Pointers from iconPixmapCache() stay valid.
void clearIconPixmapCache();

// Drops the cached pixmap of one path (a target that changed).
void forgetIconPixmap(const QString& path);

// The one path-to-pixmap map, for painting straight from the cache. Never
// null; lives until the process ends.
const QMap<QString, QPixmap>* iconPixmapCache();

// A copy of the 128 x 128 "no icon" picture.
QImage placeholderIconImage();
