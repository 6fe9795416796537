// Captions, custom pictures and drags of the panel buttons.
#include "widgets/uibtn.h"

#include "app/lang.h"
#include "app/theme.h"
#include "widgets/dragpayloads.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDrag>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QThread>
#include <QWidget>

#include <cmath>
#include <deque>

namespace {

constexpr int kNegativeCacheLimit = 255;

// Keys of files that failed to load, oldest first, with a set for lookups.
struct NegativeCache {
    QSet<QString> keys;
    std::deque<QString> order;
};

NegativeCache& negativeCache()
{
    static NegativeCache cache;
    return cache;
}

} // namespace

QString uiBtnLabel(int id)
{
    static const char* const kLabels[kUiBtnCount] = {
        "横竖切换", "设置", "置顶", "最小化", "关闭", "应用市场",
        "主题切换", "反馈中心", "界面锁定", "屏幕监控", "混淆保护",
    };
    return isUiBtnId(id) ? translate(kLabels[id]) : QString();
}

QString uiBtnAreaLabel(int id)
{
    return id <= uiBtnId(UiBtn::Close) ? translate("标题栏") : translate("底部栏");
}

int uiBtnSlotWidth(int id)
{
    if (id == uiBtnId(UiBtn::Minimize))
        return 13;
    if (id == uiBtnId(UiBtn::Close))
        return 12;
    return 16;
}

bool ensureGuiThread(const char* what)
{
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        return true;
    qWarning().noquote() << "[UiBtn]" << what << "called off GUI thread, ignored";
    return false;
}

QPixmap customIcon(const QString& path, int size, qreal devicePixelRatio)
{
    if (!ensureGuiThread("customIcon") || path.isEmpty() || size <= 0)
        return QPixmap();
    const QFileInfo info(path);
    const QString key = QStringLiteral("%1#%2#%3#%4")
                            .arg(path)
                            .arg(size)
                            .arg(devicePixelRatio, 0, 'g')
                            .arg(QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char(':')
                                 + QString::number(info.size()));
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    NegativeCache& failed = negativeCache();
    if (failed.keys.contains(key))
        return QPixmap();

    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        failed.keys.insert(key);
        failed.order.push_back(key);
        if (int(failed.order.size()) > kNegativeCacheLimit) {
            failed.keys.remove(failed.order.front());
            failed.order.pop_front();
        }
        return QPixmap();
    }
    const int n = qMax(1, qRound(size * devicePixelRatio));
    QPixmap pixmap = QPixmap::fromImage(image.scaled(n, n, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void purgeCustomIconCache(const QString& path)
{
    if (!ensureGuiThread("purgeCustomIconCache") || path.isEmpty())
        return;
    QPixmapCache::clear();
    negativeCache().keys.clear();
    negativeCache().order.clear();
}

QPixmap uiBtnDragPixmap(int id, bool pinLit, qreal devicePixelRatio)
{
    const int side = qRound(22 * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal logical = side / devicePixelRatio;
    paintUiBtnGlyph(p, id, QPointF(logical / 2, logical / 2), currentTheme().c[9],
                    id == uiBtnId(UiBtn::Pin) && pinLit, QColor(), false);
    return pixmap;
}

QDrag* makeUiBtnDrag(QWidget* source, int id, int fromArea, bool pinLit)
{
    auto* mime = new QMimeData;
    mime->setData(kUiBtnMimeType, uiBtnPayload(id, fromArea));
    auto* drag = new QDrag(source);
    drag->setMimeData(mime);
    const QPixmap pixmap = uiBtnDragPixmap(id, pinLit, source->devicePixelRatioF());
    drag->setPixmap(pixmap);
    const qreal logical = pixmap.width() / pixmap.devicePixelRatio();
    drag->setHotSpot(QPoint(int(logical / 2), int(logical / 2)));
    return drag;
}
