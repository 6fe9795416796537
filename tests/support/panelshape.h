#pragma once

#include "model/panelmodel.h"

#include <QStringList>

#include <functional>

namespace testsupport {

// "A:a|b;B:c": group names and item paths, short enough to read in a table.
inline QString panelShape(const QList<PanelGroup>& groups)
{
    QStringList parts;
    for (const PanelGroup& g : groups) {
        QStringList paths;
        for (const PanelItem& it : g.items)
            paths << it.path;
        parts << g.name + QLatin1Char(':') + paths.join(QLatin1Char('|'));
    }
    return parts.join(QLatin1Char(';'));
}

// The group list a shape describes; item names come from `nameOf(path)`.
inline QList<PanelGroup> groupsFromShape(const QString& text, const std::function<QString(const QString&)>& nameOf)
{
    QList<PanelGroup> groups;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        PanelGroup g;
        g.name = part.section(QLatin1Char(':'), 0, 0);
        for (const QString& path : part.section(QLatin1Char(':'), 1).split(QLatin1Char('|'), Qt::SkipEmptyParts))
            appendPanelItem(g, path, nameOf(path));
        groups.append(g);
    }
    return groups;
}

} // namespace testsupport
