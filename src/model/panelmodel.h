#pragma once

#include <QList>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>

// Answers whether something exists at a path. May block as long as the
// file system does (a dead network mount): never call on the GUI thread.
using PathExistsProbe = std::function<bool(const QString& path)>;

// A number no other item of this process has been given.
inline quint64 newPanelItemKey()
{
    static std::atomic<quint64> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

// One shortcut of a group. A plain value: copied into the widgets' views,
// the settings dialog and the exports.
struct PanelItem {
    // A file or folder path, or a shell place written as its "::{GUID}"
    // parsing name. Stored exactly as it arrived; never empty once loaded.
    QString path;
    QString name;
    // Kept and written back unchanged; nothing in the panel reads it.
    bool hidden = false;
    QString customIcon;
    QString workDir;
    QString args;
    bool runAsAdmin = false;
    // Which item this is while the panel runs, whatever index it moves to:
    // copies keep it, a new or loaded item gets its own. Never stored and
    // not part of the comparison.
    quint64 key = newPanelItemKey();

    // True when the target has vanished: never for an empty path or a shell
    // place, and never while the custom icon file still exists (the grid can
    // still draw something meaningful). Touches the file system, or asks
    // `exists` instead.
    bool isMissing() const;
    bool isMissing(const PathExistsProbe& exists) const;

    bool operator==(const PanelItem& o) const
    {
        return path == o.path && name == o.name && hidden == o.hidden
            && customIcon == o.customIcon && workDir == o.workDir && args == o.args
            && runAsAdmin == o.runAsAdmin;
    }
    bool operator!=(const PanelItem& o) const { return !(*this == o); }
};

struct PanelGroup {
    QString name;
    QList<PanelItem> items;

    bool operator==(const PanelGroup& o) const { return name == o.name && items == o.items; }
    bool operator!=(const PanelGroup& o) const { return !(*this == o); }
};

// The keys of the missing items of all groups (see PanelItem::isMissing),
// each item checked with `exists`: an item is judged by itself, not by
// another item that has the same path.
QSet<quint64> missingItemKeys(const QList<PanelGroup>& groups, const PathExistsProbe& exists);

// Appends an item with only its path and name set.
void appendPanelItem(PanelGroup& group, const QString& path, const QString& name);
