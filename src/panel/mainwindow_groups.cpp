// Group and item operations: the slots through which the sidebar and the
// icon grid change the group list. Each change is saved at once; saveLayout
// brings the views up to date whether or not the file could be written, so
// a failed save never leaves a view pointing past the model.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "panel/groupops.h"
#include "panel/layoutfile.h"
#include "widgets/icongrid.h"

#include <QMessageBox>

namespace {

bool validIndex(int index, qsizetype count)
{
    return index >= 0 && index < count;
}

} // namespace

void MainWindow::showDuplicateGroupName(const QString& name)
{
    QMessageBox box(QMessageBox::Information, translate("提示"), translate("已存在同名分组：%1").arg(name),
                    QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::onCreateGroup(QString name)
{
    // Stored as it will read back: a longer name would come back cut after
    // a restart, and could then collide with another group's.
    name = limitGroupName(name);
    if (groupIndexByName(name) >= 0) {
        showDuplicateGroupName(name);
        return;
    }
    PanelGroup group;
    group.name = name;
    groups.append(group);
    setCurrentGroupIndex(int(groups.size()) - 1);
    saveLayout();
}

void MainWindow::onRenameGroup(int index, QString name)
{
    if (!validIndex(index, groups.size()))
        return;
    name = limitGroupName(name);
    if (groupIndexByName(name, index) >= 0) {
        showDuplicateGroupName(name);
        return;
    }
    groups[index].name = name;
    saveLayout();
}

void MainWindow::onDeleteGroup(int index)
{
    const int current = currentGroupIndex;
    if (!removeGroupIntoFirst(groups, index))
        return;
    if (index == current)
        setCurrentGroupIndex(index - 1);
    else if (index < current)
        setCurrentGroupIndex(current - 1);
    else if (current >= groups.size())
        setCurrentGroupIndex(int(groups.size()) - 1);
    saveLayout();
}

bool MainWindow::moveGroupKeepingCurrent(int from, int to)
{
    const int current = currentGroupIndex;
    if (!moveGroupInList(groups, from, to))
        return false;
    if (from == current)
        setCurrentGroupIndex(to);
    else
        currentGroupIndex = shiftedCurrentAfterGroupMove(current, from, to);
    return true;
}

void MainWindow::onGroupsReordered(int from, int to)
{
    if (moveGroupKeepingCurrent(from, to))
        saveLayout();
}

void MainWindow::onGroupDragDisplace(int from, int to)
{
    // Saved once when the drag ends, not on every row it passes.
    if (moveGroupKeepingCurrent(from, to))
        refreshModelViews();
}

void MainWindow::onGroupCleared(int index)
{
    if (!validIndex(index, groups.size()) || groups.at(index).items.isEmpty())
        return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, translate("清空分组"), translate("确定清空“%1”中的所有图标？").arg(groups.at(index).name),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    // The question ran its own event loop: the list may have changed meanwhile.
    if (answer != QMessageBox::Yes || !validIndex(index, groups.size()))
        return;
    groups[index].items.clear();
    saveLayout();
}

void MainWindow::onUrlsDroppedToGroup(int groupIndex, QList<QUrl> urls)
{
    if (!validIndex(groupIndex, groups.size()))
        return;
    PanelGroup& group = groups[groupIndex];
    const qsizetype before = group.items.size();
    const DropAddResult result = addDroppedUrls(group, urls);
    for (qsizetype i = before; i < group.items.size(); ++i)
        requestItemIcon(group.items.at(i));
    if (result.missing > 0)
        showToast(translate("已跳过 %1 个不存在的路径").arg(result.missing), 1);
    if (result.added.isEmpty())
        return;
    setCurrentGroupIndex(groupIndex);
    saveLayout();
}

void MainWindow::onShellItemsDroppedToGroup(int groupIndex, QList<std::pair<QString, QString>> items)
{
    if (!validIndex(groupIndex, groups.size()))
        return;
    PanelGroup& group = groups[groupIndex];
    const qsizetype before = group.items.size();
    if (addDroppedPlaces(group, items).isEmpty())
        return;
    for (qsizetype i = before; i < group.items.size(); ++i)
        requestItemIcon(group.items.at(i));
    setCurrentGroupIndex(groupIndex);
    saveLayout();
}

void MainWindow::dropUrlsOnCurrentGroup(QList<QUrl> urls)
{
    onUrlsDroppedToGroup(currentGroupIndex, urls);
}

void MainWindow::dropShellItemsOnCurrentGroup(QList<std::pair<QString, QString>> items)
{
    onShellItemsDroppedToGroup(currentGroupIndex, items);
}

void MainWindow::onItemMoved(int fromGroup, int itemIndex, int toGroup)
{
    if (moveItemToGroup(groups, fromGroup, itemIndex, toGroup))
        saveLayout();
}

void MainWindow::onItemReordered(int from, int to)
{
    if (!validIndex(currentGroupIndex, groups.size()))
        return;
    if (reorderItemInGroup(groups[currentGroupIndex], from, to))
        saveLayout();
}

void MainWindow::onItemRemoveRequested(int itemIndex)
{
    if (!validIndex(currentGroupIndex, groups.size()))
        return;
    QList<PanelItem>& items = groups[currentGroupIndex].items;
    if (validIndex(itemIndex, items.size()))
        items.removeAt(itemIndex);
    saveLayout();
}

void MainWindow::onLayoutChangedBySettings()
{
    saveLayout();
    // Custom icons may have been set or cleared: the grid loads them again.
    if (iconGrid) {
        iconGrid->clearIconCache();
        iconGrid->preloadCustomIcons();
        refreshModelViews();
    }
}
