// Opening items, and the wiring of the sidebar and the icon grid to the
// window's model slots.
#include "panel/mainwindow.h"

#include "account/appstat.h"

#include "app/lang.h"
#include "platform/launcher.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include <QDebug>
#include <QFileInfo>

namespace {

// The path an item opens: its substitute while obfuscation is on and one is
// set, else its own.
QString launchTargetOf(const AppSettings& s, const QString& path)
{
    if (!s.obfuscateEnabled || path.isEmpty())
        return path;
    const QString substitute = s.obfuscateMap.value(path);
    return substitute.isEmpty() ? path : substitute;
}

} // namespace

void MainWindow::connectModelViews()
{
    connect(sidebar, &Sidebar::groupSelected, this, &MainWindow::onGroupSelected);
    connect(sidebar, &Sidebar::groupCreated, this, &MainWindow::onCreateGroup);
    connect(sidebar, &Sidebar::groupRenamed, this, &MainWindow::onRenameGroup);
    connect(sidebar, &Sidebar::groupDeleted, this, &MainWindow::onDeleteGroup);
    connect(sidebar, &Sidebar::groupsReordered, this, &MainWindow::onGroupsReordered);
    connect(sidebar, &Sidebar::groupDragDisplace, this, &MainWindow::onGroupDragDisplace);
    connect(sidebar, &Sidebar::groupDragFinished, this, [this] { saveLayout(); });
    connect(sidebar, &Sidebar::groupCleared, this, &MainWindow::onGroupCleared);
    connect(sidebar, &Sidebar::urlsDropped, this, &MainWindow::onUrlsDroppedToGroup);
    connect(sidebar, &Sidebar::shellItemsDropped, this, &MainWindow::onShellItemsDroppedToGroup);
    connect(sidebar, &Sidebar::itemMoved, this, &MainWindow::onItemMoved);
    connect(sidebar, &Sidebar::desktopSyncRequested, this, &MainWindow::syncDesktopIcons);

    connect(iconGrid, &IconGrid::itemActivated, this, &MainWindow::onItemActivated);
    connect(iconGrid, &IconGrid::itemReordered, this, &MainWindow::onItemReordered);
    connect(iconGrid, &IconGrid::itemMoved, this, &MainWindow::onItemMoved);
    connect(iconGrid, &IconGrid::itemMenuRequested, this, &MainWindow::showItemMenu);
    connect(iconGrid, &IconGrid::urlsDropped, this, &MainWindow::dropUrlsOnCurrentGroup);
    connect(iconGrid, &IconGrid::shellItemsDropped, this, &MainWindow::dropShellItemsOnCurrentGroup);
    connect(iconGrid, &IconGrid::itemRemoveRequested, this, &MainWindow::onItemRemoveRequested);
    // A cell painted without an icon (its group was never shown, or newer
    // icons pushed it out of the shared map) has it loaded.
    connect(iconGrid, &IconGrid::iconWanted, this, &MainWindow::onIconWanted);
    // Hiding to the tray joins with the tray.
}

void MainWindow::onItemActivated(int itemIndex)
{
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size())
        return;
    const PanelGroup& group = groups.at(currentGroupIndex);
    if (itemIndex < 0 || itemIndex >= group.items.size())
        return;
    const PanelItem item = group.items.at(itemIndex);
    const QString target = launchTargetOf(settings, item.path);
    if (!target.startsWith(QLatin1String("::")) && !QFileInfo::exists(target)) {
        showToast(translate("源文件已不存在，可右键重新定位或从面板移除"), 1);
        return;
    }
    if (!launchTarget(item.path, item.workDir, item.args, item.runAsAdmin))
        return;
    // The item's own app, not the one its obfuscation substitute names.
    const QString appId = marketAppIdFromPath(item.path);
    if (!appId.isEmpty())
        reportAppStat(appId, QStringLiteral("launch"), auth.token);
}

bool MainWindow::launchTarget(const QString& path, const QString& workDir, const QString& args, bool runAsAdmin)
{
    // Float tiles live outside the lock screen; a locked panel opens nothing.
    if (settings.uiLocked) {
        qInfo() << "launch refused while the panel is locked";
        showUnlockPrompt();
        return false;
    }
    const QString target = launchTargetOf(settings, path);
    Launcher::Request request;
    request.target = target;
    request.arguments = args;
    request.workDir = workDir;
    // The launcher logs why; a refused elevation prompt happens later, in
    // the helper, and stays silent.
    QString error;
    bool started = false;
    if (runAsAdmin) {
        request.verb = Launcher::Verb::RunAs;
        started = launcher().launch(request, &error);
    } else if (!workDir.isEmpty() || !args.isEmpty() || target.startsWith(QLatin1String("::"))) {
        started = launcher().launch(request, &error);
    } else {
        started = launcher().openUrl(QUrl::fromLocalFile(target), &error);
    }
    if (!started)
        showToast(translate(u"无法打开「%1」").arg(QFileInfo(target).fileName().isEmpty() ? target
                                                                                       : QFileInfo(target).fileName()),
                  1);
    return started;
}
