// Custom item icons: image files named by the items, read on the global
// thread pool and kept in a bounded cache of the grid's own. Results that
// arrive after a clear (generation) or a refresh (per-path token) are
// dropped.
#include "widgets/icongrid.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr quint64 kFnvOffset = 0xCBF29CE484222325ULL;
constexpr quint64 kFnvPrime = 0x100000001B3ULL;

QImage readCustomIcon(const QString& path)
{
    QImageReader reader(path);
    QImage image = reader.read();
    if (!image.isNull() && (image.width() > IconGrid::kCustomIconMaxSide
                            || image.height() > IconGrid::kCustomIconMaxSide))
        image = image.scaled(IconGrid::kCustomIconMaxSide, IconGrid::kCustomIconMaxSide,
                             Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

void IconGrid::preloadCustomIcons()
{
    const PanelGroup* group = currentGroupPtr();
    if (!group)
        return;
    quint64 h = kFnvOffset;
    for (const PanelItem& item : group->items)
        if (!item.customIcon.isEmpty())
            h = (h ^ quint64(qHash(item.customIcon, 0))) * kFnvPrime;
    const int g = *m_currentGroup;
    const int count = int(group->items.size());
    if (g == m_preloadGroup && count == m_preloadCount && h == m_preloadHash && m_customPending.isEmpty())
        return;
    m_preloadGroup = g;
    m_preloadCount = count;
    m_preloadHash = h;
    if (count == 0)
        return;
    int started = 0;
    for (const PanelItem& item : group->items) {
        if (started >= kCustomStartsPerPass)
            break;
        const QString& path = item.customIcon;
        if (path.isEmpty() || m_customIcons.contains(path) || m_customFailed.contains(path)
            || m_customPending.contains(path))
            continue;
        preloadCustomIcon(path);
        ++started;
    }
}

void IconGrid::preloadCustomIcon(const QString& path)
{
    if (path.isEmpty() || m_customIcons.contains(path) || m_customPending.contains(path)
        || m_customFailed.contains(path))
        return;
    const quint64 token = m_customTokens.value(path, 0);
    m_customPending.insert(path, token);
    const QPointer<IconGrid> self(this);
    const quint64 generation = m_customGeneration;
    // The task touches nothing of the grid: it reads the file and posts the
    // image back to the GUI thread, where the guarded pointer is checked.
    (void)QtConcurrent::run([self, path, generation, token] {
        const QImage image = readCustomIcon(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, generation, token, image] {
                if (self)
                    self->deliverCustomIcon(path, generation, token, image);
            },
            Qt::QueuedConnection);
    });
}

void IconGrid::deliverCustomIcon(const QString& path, quint64 generation, quint64 token, const QImage& image)
{
    const auto pending = m_customPending.constFind(path);
    if (pending != m_customPending.constEnd() && pending.value() == token)
        m_customPending.erase(pending);
    if (generation != m_customGeneration)
        return;
    if (m_customTokens.value(path, 0) != token)
        return;
    if (image.isNull()) {
        m_customFailed.insert(path);
        return;
    }
    cacheCustomIcon(path, QPixmap::fromImage(image));
    update();
}

void IconGrid::cacheCustomIcon(const QString& path, const QPixmap& pixmap)
{
    if (path.isEmpty() || pixmap.isNull())
        return;
    const QString scaledKey = QStringLiteral("c:") + path;
    m_scaledCache.remove(scaledKey);
    m_scaledKeys.removeAll(scaledKey);
    if (!m_customIcons.contains(path)) {
        m_customKeys.append(path);
        while (m_customKeys.size() > kCustomCacheLimit)
            m_customIcons.remove(m_customKeys.takeFirst());
    }
    QPixmap copy = pixmap;
    copy.setDevicePixelRatio(1.0);
    m_customIcons.insert(path, copy);
}

void IconGrid::refreshIcon(const QString& customPath)
{
    if (customPath.isEmpty())
        return;
    m_customTokens[customPath] += 1;
    m_customIcons.remove(customPath);
    m_customKeys.removeAll(customPath);
    m_customFailed.remove(customPath);
    m_customPending.remove(customPath);
    const QString scaledKey = QStringLiteral("c:") + customPath;
    m_scaledCache.remove(scaledKey);
    m_scaledKeys.removeAll(scaledKey);
}

void IconGrid::clearIconCache()
{
    m_scaledCache.clear();
    m_scaledKeys.clear();
    m_customIcons.clear();
    m_customKeys.clear();
    m_customFailed.clear();
    m_customPending.clear();
    m_customTokens.clear();
    m_iconsWanted.clear();
    ++m_customGeneration;
    m_preloadGroup = -1;
    m_preloadCount = -1;
    m_preloadHash = 0;
    m_scaledIconSize = -1;
    m_scaledDpr = 1.0;
    m_elideCache.clear();
    m_nameCache.clear();
}

void IconGrid::forgetIcon(const QString& path)
{
    m_scaledCache.remove(path);
    m_scaledKeys.removeAll(path);
}
