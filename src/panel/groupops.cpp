#include "panel/groupops.h"

#include <QFileInfo>

int findGroupNamed(const QList<PanelGroup>& groups, const QString& name, int except)
{
    for (int i = 0; i < groups.size(); ++i) {
        if (i != except && groups.at(i).name == name)
            return i;
    }
    return -1;
}

bool groupHasPath(const PanelGroup& group, const QString& path)
{
    for (const PanelItem& item : group.items) {
        if (item.path == path)
            return true;
    }
    return false;
}

QString droppedItemName(const QString& path)
{
    // A folder dropped as "file:///x/Folder/" keeps its slash in the path;
    // the name is taken from the last part without it.
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const QFileInfo info(trimmed);
    const QString fileName = info.fileName();
    if (fileName.isEmpty())
        return path;
    if (info.isDir() || info.suffix().isEmpty())
        return fileName;
    const QString base = info.completeBaseName();
    return base.isEmpty() ? fileName : base;
}

bool moveGroupInList(QList<PanelGroup>& groups, int from, int to)
{
    if (from < 0 || to < 0 || from >= groups.size() || to >= groups.size() || from == to)
        return false;
    groups.move(from, to);
    return true;
}

int shiftedCurrentAfterGroupMove(int current, int from, int to)
{
    if (from < to && from < current && current <= to)
        return current - 1;
    if (from > to && to <= current && current < from)
        return current + 1;
    return current;
}

bool removeGroupIntoFirst(QList<PanelGroup>& groups, int index)
{
    if (index <= 0 || index >= groups.size())
        return false;
    PanelGroup& first = groups[0];
    for (const PanelItem& item : groups.at(index).items) {
        if (!groupHasPath(first, item.path))
            first.items.append(item);
    }
    groups.removeAt(index);
    return true;
}

bool moveItemToGroup(QList<PanelGroup>& groups, int fromGroup, int itemIndex, int toGroup)
{
    if (fromGroup < 0 || toGroup < 0 || itemIndex < 0 || fromGroup >= groups.size() || toGroup >= groups.size()
        || fromGroup == toGroup || itemIndex >= groups.at(fromGroup).items.size())
        return false;
    const PanelItem item = groups.at(fromGroup).items.at(itemIndex);
    if (groupHasPath(groups.at(toGroup), item.path))
        return false;
    groups[fromGroup].items.removeAt(itemIndex);
    groups[toGroup].items.append(item);
    return true;
}

bool reorderItemInGroup(PanelGroup& group, int from, int to)
{
    const int count = group.items.size();
    if (from < 0 || to < 0 || from >= count || to > count || from == to)
        return false;
    const int target = from < to ? to - 1 : to;
    if (target == from)
        return false;
    group.items.move(from, target);
    return true;
}

DropAddResult addDroppedUrls(PanelGroup& group, const QList<QUrl>& urls)
{
    DropAddResult result;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (groupHasPath(group, path))
            continue;
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            ++result.missing;
            continue;
        }
        appendPanelItem(group, path, droppedItemName(path));
        result.added.append(path);
    }
    return result;
}

QStringList addDroppedPlaces(PanelGroup& group, const QList<std::pair<QString, QString>>& places)
{
    QStringList added;
    for (const auto& [displayName, parsingName] : places) {
        if (parsingName.isEmpty() || groupHasPath(group, parsingName))
            continue;
        appendPanelItem(group, parsingName, displayName);
        added.append(parsingName);
    }
    return added;
}
