#include "panel/panelsearch.h"

#include <QFileInfo>

QString searchDisplayName(const PanelItem& item)
{
    return item.name.isEmpty() ? QFileInfo(item.path).completeBaseName() : item.name;
}

QList<SearchHit> searchPanelItems(const QList<PanelGroup>& groups, const QString& key, int limit, bool* truncated)
{
    if (truncated)
        *truncated = false;
    QList<SearchHit> hits;
    const QString k = key.trimmed().toLower();
    if (k.isEmpty())
        return hits;
    for (int g = 0; g < groups.size(); ++g) {
        const QList<PanelItem>& items = groups.at(g).items;
        for (int i = 0; i < items.size(); ++i) {
            const QString name = searchDisplayName(items.at(i));
            if (!name.contains(k, Qt::CaseInsensitive))
                continue;
            if (hits.size() >= limit) {
                if (truncated)
                    *truncated = true;
                return hits;
            }
            hits.append({g, i, items.at(i).path, name});
        }
    }
    return hits;
}

SearchHit locateSearchHit(const QList<PanelGroup>& groups, const SearchHit& hit)
{
    auto same = [&hit](const PanelItem& it) { return it.path == hit.path && searchDisplayName(it) == hit.displayName; };
    if (hit.group >= 0 && hit.group < groups.size() && hit.item >= 0 && hit.item < groups.at(hit.group).items.size()
        && same(groups.at(hit.group).items.at(hit.item)))
        return hit;
    for (int g = 0; g < groups.size(); ++g) {
        for (int i = 0; i < groups.at(g).items.size(); ++i) {
            if (same(groups.at(g).items.at(i)))
                return {g, i, hit.path, hit.displayName};
        }
    }
    return {};
}
