#include "icons/iconservice.h"

#include "icons/iconextract.h"
#include "icons/themeicons.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QThreadPool>

namespace {

constexpr int kMaxCachedIcons = 256;

struct MemoryCache {
    QMap<QString, QPixmap> map;
    QStringList order; // keys in first-insertion order
};

MemoryCache& memoryCache()
{
    static MemoryCache* cache = new MemoryCache; // never destroyed: the grid keeps a pointer
    return *cache;
}

QThreadPool& iconPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool; // no parent, never destroyed
        p->setMaxThreadCount(2);
        return p;
    }();
    return *pool;
}

// Results of pool tasks go to a relay object that lives as long as the
// process, in the context's thread: pool threads never touch the context,
// which may be destroyed at any moment, and the guard is read only in the
// context's own thread.
QObject* relayFor(QThread* thread)
{
    static QMutex mutex;
    static QHash<QThread*, QObject*> relays;
    QMutexLocker lock(&mutex);
    QObject*& relay = relays[thread];
    if (!relay) {
        relay = new QObject;
        relay->moveToThread(thread);
    }
    return relay;
}

bool isShellPlace(const QString& path)
{
    return path.startsWith(QLatin1String("::{"));
}

QImage drawPlaceholder()
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x9A, 0xA6, 0xB6), 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(QColor(0xE9, 0xEE, 0xF5));
    p.drawRoundedRect(QRectF(10, 8, 108, 112), 16, 16, Qt::AbsoluteSize);

    const QPen pagePen(QColor(0x8A, 0x97, 0xAA), 4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    QPainterPath page;
    page.moveTo(40, 32);
    page.lineTo(74, 32);
    page.lineTo(88, 46);
    page.lineTo(88, 94);
    page.lineTo(40, 94);
    page.closeSubpath();
    p.setPen(pagePen);
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(74, 32), QPointF(74, 46));
    p.drawLine(QPointF(74, 46), QPointF(88, 46));

    p.setPen(QPen(QColor(0xB4, 0xBE, 0xCC), 4, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
    p.drawLine(QPointF(50, 62), QPointF(78, 62));
    p.drawLine(QPointF(50, 76), QPointF(70, 76));
    return image;
}

} // namespace

QImage placeholderIconImage()
{
    static const QImage placeholder = drawPlaceholder();
    return placeholder.copy();
}

QPixmap iconPixmapForPath(const QString& path)
{
    if (path.isEmpty())
        return QPixmap();
    const MemoryCache& cache = memoryCache();
    const auto hit = cache.map.constFind(path);
    if (hit != cache.map.constEnd())
        return hit.value();
    applyIconThemeToQt();
    QImage image = extractIconImage(path);
    if (image.isNull()) {
        static QFileIconProvider* provider = new QFileIconProvider;
        image = provider->icon(QFileInfo(path)).pixmap(48, 48).toImage();
        image = capIconImage(normalizeIconImage(image));
    }
    if (image.isNull() && !isShellPlace(path))
        image = placeholderIconImage();
    const QPixmap pixmap = image.isNull() ? QPixmap() : QPixmap::fromImage(image);
    cacheIconPixmap(path, pixmap);
    return pixmap;
}

void requestIconAsync(const QString& path, QObject* context, IconResultCallback callback)
{
    if (path.isEmpty() || !context || !callback)
        return;
    const QPointer<QObject> guard(context);
    const MemoryCache& cache = memoryCache();
    const auto hit = cache.map.constFind(path);
    if (hit != cache.map.constEnd()) {
        const QPixmap pixmap = hit.value();
        QMetaObject::invokeMethod(
            context,
            [guard, path, pixmap, callback] {
                if (guard)
                    callback(path, pixmap.toImage());
            },
            Qt::QueuedConnection);
        return;
    }
    applyIconThemeToQt();
    QObject* relay = relayFor(context->thread());
    iconPool().start([relay, guard, path, callback] {
        QImage image = extractIconImage(path);
        if (image.isNull() && !isShellPlace(path))
            image = placeholderIconImage();
        QMetaObject::invokeMethod(
            relay,
            [guard, path, image, callback] {
                if (guard)
                    callback(path, image);
            },
            Qt::QueuedConnection);
    });
}

void cacheIconImage(const QString& path, const QImage& image)
{
    if (image.isNull()) {
        if (!isShellPlace(path))
            cacheIconPixmap(path, QPixmap());
        return;
    }
    cacheIconPixmap(path, QPixmap::fromImage(image));
}

void cacheIconPixmap(const QString& path, const QPixmap& pixmap)
{
    MemoryCache& cache = memoryCache();
    auto existing = cache.map.find(path);
    if (existing != cache.map.end()) {
        existing.value() = pixmap;
        return;
    }
    cache.order.append(path);
    while (cache.order.size() > kMaxCachedIcons)
        cache.map.remove(cache.order.takeFirst());
    cache.map.insert(path, pixmap);
}

void clearIconPixmapCache()
{
    MemoryCache& cache = memoryCache();
    cache.map.clear();
    cache.order.clear();
}

const QMap<QString, QPixmap>* iconPixmapCache()
{
    return &memoryCache().map;
}
