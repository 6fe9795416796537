// Missing-item marks and the road of item icons from the queue to the grid.
#include "panel/mainwindow.h"

#include "icons/iconservice.h"


namespace {

constexpr int kMaxQueuedIconRequests = 2000;

} // namespace

void MainWindow::refreshMissingItems()
{
    // The icon grid receives missingItemPaths(groups) here once it exists;
    // without it nobody shows the marks.
}

void MainWindow::requestItemIcon(const PanelItem& item)
{
    if (item.path.isEmpty() || iconRequestQueue.size() >= kMaxQueuedIconRequests)
        return;
    iconRequestQueue.append(item.path);
    if (iconPumpTimer && !iconPumpTimer->isActive())
        iconPumpTimer->start();
}

void MainWindow::pumpIconRequests()
{
    // Everything queued since the last tick goes out together.
    while (!iconRequestQueue.isEmpty()) {
        const QString path = iconRequestQueue.takeFirst();
        requestIconAsync(path, this, [this](const QString& p, const QImage& image) { onIconLoaded(p, image); });
    }
    iconPumpTimer->stop();
}

void MainWindow::onIconLoaded(const QString& path, const QImage& image)
{
    cacheIconImage(path, image);
    // The grid forgets its scaled copy of this path here once it exists.
    // Results arrive in bursts: one repaint per 50 ms at most.
    if (!repaintTimer->isActive())
        repaintTimer->start();
}

void MainWindow::ensureIcon(const QString& path)
{
    requestIconAsync(path, this, [this](const QString& p, const QImage& image) {
        cacheIconImage(p, image);
        update();
    });
}

void MainWindow::reloadAllIcons()
{
    clearIconPixmapCache();
    // The grid's own icon caches are dropped here too once it exists.
    queueIconRequestsForAllItems();
    update();
}
