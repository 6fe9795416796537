#include "model/panelmodel.h"

#include <QFileInfo>

bool PanelItem::isMissing() const
{
    return isMissing([](const QString& p) { return QFileInfo::exists(p); });
}

bool PanelItem::isMissing(const PathExistsProbe& exists) const
{
    if (path.isEmpty() || path.startsWith(QLatin1String("::")))
        return false;
    if (!customIcon.isEmpty() && exists(customIcon))
        return false;
    return !exists(path);
}

void appendPanelItem(PanelGroup& group, const QString& path, const QString& name)
{
    PanelItem item;
    item.path = path;
    item.name = name;
    group.items.append(item);
}

QSet<quint64> missingItemKeys(const QList<PanelGroup>& groups, const PathExistsProbe& exists)
{
    QSet<quint64> keys;
    for (const PanelGroup& g : groups)
        for (const PanelItem& it : g.items)
            if (it.isMissing(exists))
                keys.insert(it.key);
    return keys;
}
