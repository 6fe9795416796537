// Missing-item marks and the road of item icons from the queue to the grid.
#include "panel/mainwindow.h"

#include "app/asynctask.h"
#include "icons/iconservice.h"
#include "widgets/icongrid.h"

#include <QFileInfo>

namespace {

constexpr int kMaxQueuedIconRequests = 2000;

} // namespace

void MainWindow::refreshMissingItems()
{
    // Without the grid nobody shows the marks. A check still hanging on a
    // dead mount is not joined by another one each tick.
    if (!iconGrid || missingCheckRunning)
        return;
    missingCheckRunning = true;
    PathExistsProbe exists = pathExists;
    if (!exists)
        exists = [](const QString& path) { return QFileInfo::exists(path); };
    // The task works on its own copy of the list (shared until the window
    // changes it), never on the window.
    AsyncTask::runThenCallback([items = groups, exists] { return missingItemKeys(items, exists); }, this,
                               [this](const QSet<quint64>& found) {
                                   missingCheckRunning = false;
                                   applyMissingItems(found);
                               });
}

void MainWindow::applyMissingItems(const QSet<quint64>& found)
{
    // The list may have changed while the check ran: marks go to the items
    // there are now. An item added meanwhile waits for the next check; one
    // removed meanwhile leaves no mark behind.
    QSet<quint64> keys;
    QSet<QString> paths;
    for (const PanelGroup& g : groups) {
        for (const PanelItem& it : g.items) {
            if (found.contains(it.key)) {
                keys.insert(it.key);
                paths.insert(it.path);
            }
        }
    }
    missingKeys = keys;
    missingPaths = paths;
    if (iconGrid)
        iconGrid->setMissingItems(missingKeys);
}

void MainWindow::requestItemIcon(const PanelItem& item)
{
    if (item.path.isEmpty() || iconRequestQueue.size() >= kMaxQueuedIconRequests)
        return;
    iconRequestQueue.append(item.path);
    iconRequestsPending.insert(item.path);
    if (iconPumpTimer && !iconPumpTimer->isActive())
        iconPumpTimer->start();
}

void MainWindow::requestShownGroupIcons()
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size())
        return;
    const QMap<QString, QPixmap>& cached = *iconPixmapCache();
    for (const PanelItem& it : groups.at(currentGroupIndex).items) {
        if (!cached.contains(it.path) && !iconRequestsPending.contains(it.path))
            requestItemIcon(it);
    }
}

void MainWindow::onIconWanted(const QString& path)
{
    // The first paint of a group comes before the icons asked for it.
    if (iconRequestsPending.contains(path))
        return;
    PanelItem item;
    item.path = path;
    requestItemIcon(item);
}

void MainWindow::pumpIconRequests()
{
    // The first requests set up the icon theme on this thread: after the
    // first frame.
    if (!firstFrameWorkRan) {
        iconPumpTimer->stop();
        if (!iconPumpWaitsForFirstFrame) {
            iconPumpWaitsForFirstFrame = true;
            runAfterFirstFrame([this] { pumpIconRequests(); });
        }
        return;
    }
    // Everything queued since the last tick goes out together.
    while (!iconRequestQueue.isEmpty()) {
        const QString path = iconRequestQueue.takeFirst();
        requestIconAsync(path, this, [this](const QString& p, const QImage& image) { onIconLoaded(p, image); });
    }
    iconPumpTimer->stop();
}

void MainWindow::onIconLoaded(const QString& path, const QImage& image)
{
    iconRequestsPending.remove(path);
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
    // Results still on their way were extracted before the reload; requests
    // not handed out yet are as good as new ones.
    iconRequestsPending = QSet<QString>(iconRequestQueue.cbegin(), iconRequestQueue.cend());
    requestShownGroupIcons();
    update();
}
