#include "icons/iconservice.h"

#include "icons/iconextract.h"
#include "icons/themeicons.h"

#include <QColorSpace>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QCoreApplication>
#include <QDebug>
#include <QThreadPool>

namespace {

constexpr int kMaxCachedIcons = 256;

// Many paths show the same picture (one type icon for a folder full of
// programs, the placeholder for every missing item): the map holds one pixmap
// per distinct picture, shared by every path that shows it.
struct SharedPicture {
    size_t digest = 0;
    int uses = 0; // map entries holding the pixmap
};

struct MemoryCache {
    QMap<QString, QPixmap> map;
    QStringList order; // keys in first-insertion order
    QHash<size_t, QPixmap> pictures;      // content digest -> the one pixmap of it
    QHash<qint64, SharedPicture> sharing; // cacheKey of a pixmap in `pictures`

    QPixmap share(const QPixmap& pixmap);
    void release(const QPixmap& pixmap);
};

size_t pictureDigest(const QImage& image)
{
    return qHashMulti(qHashBits(image.constBits(), size_t(image.sizeInBytes())), image.width(), image.height(),
                      int(image.format()), image.devicePixelRatio());
}

bool samePicture(const QImage& a, const QImage& b)
{
    return a.format() == b.format() && a.devicePixelRatio() == b.devicePixelRatio()
        && a.colorSpace() == b.colorSpace() && a == b;
}

// The pixmap to store for `pixmap`: an equal one already stored, else the
// pixmap itself, from now on offered to later equal pictures.
QPixmap MemoryCache::share(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return pixmap;
    const QImage image = pixmap.toImage();
    const size_t digest = pictureDigest(image);
    const auto hit = pictures.constFind(digest);
    if (hit != pictures.constEnd()) {
        if (hit->cacheKey() != pixmap.cacheKey() && !samePicture(hit->toImage(), image))
            return pixmap; // another picture with the same digest: stored on its own
        ++sharing[hit->cacheKey()].uses;
        return *hit;
    }
    pictures.insert(digest, pixmap);
    sharing.insert(pixmap.cacheKey(), SharedPicture{digest, 1});
    return pixmap;
}

// Called for every pixmap that leaves the map.
void MemoryCache::release(const QPixmap& pixmap)
{
    if (pixmap.isNull())
        return;
    const auto it = sharing.find(pixmap.cacheKey());
    if (it == sharing.end() || --it->uses > 0)
        return;
    pictures.remove(it->digest);
    sharing.erase(it);
}

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
        // The panel ends by a hard exit, but a process that returns from
        // main (tests, the screenshot mode) runs the library destructors:
        // an extraction still running then reads freed globals. Queued
        // requests are dropped and the running ones finish first.
        qAddPostRoutine([] {
            iconPool().clear();
            if (!iconPool().waitForDone(5000))
                qWarning() << "icon workers still running at exit";
        });
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
    const QPixmap stored = cache.share(pixmap);
    auto existing = cache.map.find(path);
    if (existing != cache.map.end()) {
        cache.release(existing.value());
        existing.value() = stored;
        return;
    }
    cache.order.append(path);
    while (cache.order.size() > kMaxCachedIcons) {
        const auto oldest = cache.map.find(cache.order.takeFirst());
        if (oldest != cache.map.end()) {
            cache.release(oldest.value());
            cache.map.erase(oldest);
        }
    }
    cache.map.insert(path, stored);
}

void clearIconPixmapCache()
{
    MemoryCache& cache = memoryCache();
    cache.map.clear();
    cache.order.clear();
    cache.pictures.clear();
    cache.sharing.clear();
}

void forgetIconPixmap(const QString& path)
{
    MemoryCache& cache = memoryCache();
    const auto it = cache.map.find(path);
    if (it == cache.map.end())
        return;
    cache.release(it.value());
    cache.map.erase(it);
    cache.order.removeOne(path);
}

const QMap<QString, QPixmap>* iconPixmapCache()
{
    return &memoryCache().map;
}
