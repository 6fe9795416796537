#include "panel/panelmodel.h"

#include <QFileInfo>

bool PanelItem::isMissing() const
{
    if (path.isEmpty() || path.startsWith(QLatin1String("::")))
        return false;
    if (!customIcon.isEmpty() && QFileInfo::exists(customIcon))
        return false;
    return !QFileInfo::exists(path);
}

void appendPanelItem(PanelGroup& group, const QString& path, const QString& name)
{
    PanelItem item;
    item.path = path;
    item.name = name;
    group.items.append(item);
}

QSet<QString> missingItemPaths(const QList<PanelGroup>& groups)
{
    QSet<QString> paths;
    for (const PanelGroup& g : groups)
        for (const PanelItem& it : g.items)
            if (it.isMissing())
                paths.insert(it.path);
    return paths;
}
