#pragma once

#include "model/panelmodel.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <utility>

// The list work behind the panel's group and item operations. Each function
// checks its indexes and reports whether it changed anything; the main
// window adds the questions to the user, the current group, the save and the
// repaint. Paths are compared as exact, case-sensitive text.

// Index of the group named exactly `name`, other than `except`; -1 if none.
int findGroupNamed(const QList<PanelGroup>& groups, const QString& name, int except = -1);

// True when the group holds an item with exactly this path.
bool groupHasPath(const PanelGroup& group, const QString& path);

// The label of a dropped file or folder: a file's name without its last
// suffix (report.final.docx gives report.final), the whole name for a folder
// or a file without a suffix. Never empty: a name that would be (".profile",
// a path ending in a slash, "/") falls back to the whole name or the path.
QString droppedItemName(const QString& path);

// Moves the group at `from` so that it ends at index `to`. False (nothing
// changed) unless both are valid indexes and differ.
bool moveGroupInList(QList<PanelGroup>& groups, int from, int to);

// The current index after the group at `from` moved to `to`, for a current
// group that is not the moved one: it shifts by one when the move passed it.
int shiftedCurrentAfterGroupMove(int current, int from, int to);

// Removes the group at `index` (never the first) after appending its items,
// in order, to the first group, except those whose path the first group
// already holds. False when `index` is 0 or out of range.
bool removeGroupIntoFirst(QList<PanelGroup>& groups, int index);

// Moves an item of one group to the end of another. False when an index is
// out of range, the groups are the same, or the target already holds the
// item's path.
bool moveItemToGroup(QList<PanelGroup>& groups, int fromGroup, int itemIndex, int toGroup);

// Moves the item at `from` to the insertion slot `to` (0..count, counted
// before the removal). False when ignored or when the order stays the same.
bool reorderItemInGroup(PanelGroup& group, int from, int to);

struct DropAddResult {
    QStringList added; // paths of the new items, in order
    int missing = 0;   // local paths where nothing exists
};

// Appends one item per local file or folder among `urls` that exists and is
// not yet in the group (earlier URLs of the same drop count). Other URLs are
// skipped silently; local paths where nothing exists are counted.
DropAddResult addDroppedUrls(PanelGroup& group, const QList<QUrl>& urls);

// Appends one item per (display name, parsing name) pair whose parsing name
// is not empty and not yet in the group.
QStringList addDroppedPlaces(PanelGroup& group, const QList<std::pair<QString, QString>>& places);
