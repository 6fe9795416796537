// The app market as the panel sees it: opening the one market window,
// handing it the session, and filing installed apps into their group.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "market/appmarketdialog.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

AppMarketDialog* MainWindow::appMarket() const
{
    return marketDialog.data();
}

void MainWindow::openAppMarket()
{
    if (settings.uiLocked) {
        showUnlockPrompt();
        return;
    }
    if (!marketDialog) {
        marketDialog = new AppMarketDialog(this);
        // Downloads go on behind the lock screen, but nothing new lands in
        // the panel until the unlock.
        marketDialog->setInstallHold([this] { return settings.uiLocked; });
        connectAppMarketSignals();
    }
    marketDialog->openAndRefresh(auth.token);
}

void MainWindow::connectAppMarketSignals()
{
    connect(marketDialog, &AppMarketDialog::loginRequested, this, [this] {
        if (!showLogin() || !marketDialog)
            return;
        marketDialog->setToken(auth.token);
        marketDialog->update();
    });
    connect(marketDialog, &AppMarketDialog::addToPanelRequested, this,
            [this](const QString& name, const QString& exePath) { addMarketAppToPanel(name, exePath); });
}

void MainWindow::handTokenToMarket()
{
    if (marketDialog)
        marketDialog->setToken(auth.token);
}

void MainWindow::addMarketAppToPanel(const QString& name, const QString& exePath)
{
    const QString exe = QDir::toNativeSeparators(findAppExecutable(QDir::fromNativeSeparators(exePath)));
    if (exe.isEmpty()) {
        showToast(translate(u"未找到可执行文件，「%1」添加失败").arg(name), 1);
        return;
    }
    const QString groupName = translate(u"应用市场");
    int groupIndex = -1;
    for (int i = 0; i < groups.size() && groupIndex < 0; ++i) {
        if (groups[i].name == QStringLiteral("应用市场") || groups[i].name == groupName)
            groupIndex = i;
    }
    // The market's group had another name in earlier versions.
    bool renamed = false;
    if (groupIndex < 0) {
        groupIndex = groupIndexByName(QStringLiteral("社区应用"));
        renamed = groupIndex >= 0;
        if (renamed)
            groups[groupIndex].name = groupName;
    }
    if (groupIndex < 0) {
        PanelGroup group;
        group.name = groupName;
        groups.append(group);
        groupIndex = int(groups.size()) - 1;
    }

    for (const PanelItem& item : groups[groupIndex].items) {
        if (item.path == exe) {
            if (renamed)
                saveLayout();
            showToast(translate(u"「%1」已安装在「应用市场」分类中").arg(name), 0);
            return;
        }
    }
    const QString itemName = name.isEmpty() ? QFileInfo(exe).completeBaseName() : name;
    appendPanelItem(groups[groupIndex], exe, itemName);

    const bool saved = saveLayout();
    setCurrentGroupIndex(groupIndex);
    if (iconGrid) {
        iconGrid->resetScroll();
        iconGrid->update();
    }
    if (sidebar)
        sidebar->update();
    ensureIcon(exe);
    update();
    // A failed save has been reported already.
    if (saved)
        showToast(translate(u"「%1」安装完成，图标已放入「应用市场」分类").arg(itemName), 0);
}
