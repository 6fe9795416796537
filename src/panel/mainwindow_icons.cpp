// Missing-item marks and the road of item icons from the queue to the grid.
#include "panel/mainwindow.h"

#include "icons/iconservice.h"
#include "widgets/icongrid.h"


namespace {

constexpr int kMaxQueuedIconRequests = 2000;

} // namespace

void MainWindow::refreshMissingItems()
{
    // Without the grid nobody shows the marks.
    if (iconGrid)
        iconGrid->setMissingPaths(missingItemPaths(groups));
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
    if (iconGrid)
        iconGrid->forgetIcon(path);
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
    if (iconGrid)
        iconGrid->clearIconCache();
    queueIconRequestsForAllItems();
    update();
}
