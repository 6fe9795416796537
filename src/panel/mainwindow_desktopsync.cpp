// Desktop sync: new entries of the desktop folder become items of the
// group of their file type.
#include "panel/mainwindow.h"

#include "app/asynctask.h"
#include "app/lang.h"
#include "panel/desktopsync.h"

#include <QDebug>
#include <QDir>
#include <QStandardPaths>

void MainWindow::syncDesktopIcons()
{
    if (desktopSyncRunning)
        return;
    desktopSyncRunning = true;
    QSet<QString> known;
    for (const PanelGroup& g : groups) {
        for (const PanelItem& it : g.items)
            known.insert(it.path);
    }
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    // Listing may wait on the file system; the result is filed on the GUI
    // thread against the list as it is then.
    AsyncTask::runThenCallback(
        [desktop, known] {
            const QStringList folders = desktopSyncFolders(desktop, QDir::homePath());
            return std::make_pair(folders, pendingDesktopEntries(folders, known));
        },
        this, [this](const std::pair<QStringList, QList<DesktopEntryCandidate>>& result) {
            desktopSyncRunning = false;
            applyDesktopSync(result.first, result.second);
        });
}

void MainWindow::applyDesktopSync(const QStringList& folders, const QList<DesktopEntryCandidate>& candidates)
{
    QSet<QString> known;
    for (const PanelGroup& g : groups) {
        for (const PanelItem& it : g.items)
            known.insert(it.path);
    }
    QList<DesktopEntryCandidate> pending;
    for (const DesktopEntryCandidate& c : candidates) {
        if (!known.contains(c.path))
            pending.append(c);
    }
    qInfo() << "desktop sync: dirs =" << folders << "pending =" << pending.size();
    if (pending.isEmpty()) {
        showToast(translate(u"桌面没有需要收纳的新图标"), 0);
        return;
    }
    for (const DesktopEntryCandidate& c : pending) {
        QString groupName = desktopCategoryOf(c.path.section(QLatin1Char('/'), -1));
        if (groupName.isEmpty())
            groupName = translate(u"其他");
        int index = groupIndexByName(groupName);
        if (index < 0) {
            PanelGroup g;
            g.name = groupName;
            groups.append(g);
            index = int(groups.size()) - 1;
        }
        appendPanelItem(groups[index], c.path, c.name);
        requestItemIcon(groups.at(index).items.last());
    }
    saveLayout();
    if (!iconRequestQueue.isEmpty() && iconPumpTimer && !iconPumpTimer->isActive())
        iconPumpTimer->start();
    qInfo() << "desktop sync: added =" << pending.size() << "groups =" << groups.size();
    showToast(translate(u"已收纳 %1 个桌面新图标").arg(pending.size()), 0);
}
