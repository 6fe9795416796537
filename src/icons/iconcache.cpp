#include "icons/iconcache.h"

#include "app/paths.h"
#include "icons/iconcounters.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMutex>
#include <QSaveFile>

namespace {

constexpr qint64 kMaxCacheFileBytes = 2 * 1024 * 1024;
constexpr int kMaxCacheSide = 4096;

QString cacheDir()
{
    return cachedAppDataDir() + QStringLiteral("/cache/iconsnap");
}

QMutex& writeLock()
{
    static QMutex* m = new QMutex; // never destroyed: pool threads may still write at exit
    return *m;
}

} // namespace

QString iconCacheFile(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QString key = QDir::cleanPath(path);
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex();
    return cacheDir() + QLatin1Char('/') + QString::fromLatin1(digest.left(32)) + QStringLiteral(".png");
}

void writeIconCacheFile(const QString& path, const QImage& image)
{
    if (path.isEmpty() || image.isNull())
        return;
    const QString file = iconCacheFile(path);
    if (file.isEmpty())
        return;
    QMutexLocker lock(&writeLock());
    const QFileInfo info(file);
    if (info.isSymLink()) {
        // QSaveFile would resolve the link and replace its target; drop the
        // link itself so the entry becomes our own regular file.
        if (!QFile::remove(file))
            return;
    } else if (info.isFile() && info.size() >= 1) {
        return;
    }
    if (!QDir().mkpath(cacheDir()))
        return;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG") || png.isEmpty())
            return;
    }
    QSaveFile out(file);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return;
    if (out.write(png) != png.size() || !out.commit()) {
        out.cancelWriting();
        QFile::remove(file);
        return;
    }
    iconcounters::diskCacheWrites.fetch_add(1, std::memory_order_relaxed);
}

QImage readIconCacheFile(const QString& path)
{
    const QString file = iconCacheFile(path);
    if (file.isEmpty())
        return QImage();
    const QFileInfo info(file);
    if (info.isSymLink() || !info.isFile() || info.size() < 1 || info.size() > kMaxCacheFileBytes)
        return QImage();
    iconcounters::diskCacheReads.fetch_add(1, std::memory_order_relaxed);
    QImageReader reader(file, "PNG");
    reader.setAutoTransform(false);
    const QSize declared = reader.size();
    if (declared.width() < 1 || declared.height() < 1 || declared.width() > kMaxCacheSide
        || declared.height() > kMaxCacheSide)
        return QImage();
    const QImage image = reader.read();
    if (image.isNull() || image.width() > kMaxCacheSide || image.height() > kMaxCacheSide)
        return QImage();
    return image.convertToFormat(QImage::Format_ARGB32);
}
