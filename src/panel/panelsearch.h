#pragma once

#include "model/panelmodel.h"

#include <QList>
#include <QString>

// One row of the search list: where the item is, and what the row showed,
// so that a stale row can be told from the item now at its place.
struct SearchHit {
    int group = -1;
    int item = -1;
    QString path;
    QString displayName;
};

// The name an item is found and shown by: its name, else its file's base name.
QString searchDisplayName(const PanelItem& item);

// The items of all groups, in order, whose display name contains `key`
// (trimmed, ignoring case); at most `limit` hits. `truncated` (may be null)
// tells whether more would have matched. An empty key finds nothing.
QList<SearchHit> searchPanelItems(const QList<PanelGroup>& groups, const QString& key, int limit,
                                  bool* truncated = nullptr);

// Where the item a row showed is now: its own place when it is still there,
// else the first item with the same path and display name; -1 group when
// it is gone.
SearchHit locateSearchHit(const QList<PanelGroup>& groups, const SearchHit& hit);
