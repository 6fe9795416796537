#pragma once

#include "model/panelmodel.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <Qt>

#include <utility>

class QDropEvent;
class QMimeData;

// The panel's own drags carry one compact JSON object as the only data of
// their MIME format. Readers never trust the indexes they find there: the
// model may have changed since the drag started, and any program can put
// bytes under these names.

inline const QString kItemMimeType = QStringLiteral("application/x-krv-item");
inline const QString kGroupMimeType = QStringLiteral("application/x-krv-group");
inline const QString kUiBtnMimeType = QStringLiteral("application/x-krv-uibtn");

// {"g":group,"i":item,"path":path}: an item of a group.
QByteArray itemPayload(int group, int item, const QString& path);
// {"g":group}: a group of the sidebar.
QByteArray groupPayload(int group);
// {"from":area,"ub":id}: a panel button; area 0 the title bar, 1 the bottom bar.
QByteArray uiBtnPayload(int ub, int from);

// True when the drag carries one of the three formats above.
bool hasPanelPayload(const QMimeData* mime);

// An item payload read against the model.
struct ItemPayloadRead {
    enum Status {
        Unparsable, // not a JSON object
        Invalid,    // indexes missing, not integral, out of range, or the
                    // path is not the one of the item at (group, item)
        Valid,
    };
    Status status = Unparsable;
    // Each -1 when it failed its check; a bad group makes both -1.
    int group = -1;
    int item = -1;
};

// Reads an item payload: "g" must be an integral JSON number in
// 0..2147483647 below the group count, "i" the same below the item count of
// that group, and "path" the exact path of that item. Logs the parser's
// warning for bytes that are no JSON object.
ItemPayloadRead readItemPayload(const QByteArray& data, const QList<PanelGroup>* groups);

// The button id of a button payload, or -1 when it is missing or outside
// 0..10.
int readUiBtnPayload(const QByteArray& data);

// What an item dropped on the icon grid asks for.
struct GridItemDrop {
    enum Kind { Nothing, Reorder, Move };
    Kind kind = Nothing;
    // Reorder: item index `from` to the insertion slot `to` of the current group.
    int from = -1;
    int to = -1;
    // Move: item `item` of group `fromGroup` to the current group.
    int fromGroup = -1;
    int item = -1;
};

// The effect of a valid item payload dropped on the grid at the visible
// insertion position `insertPos` (-1 when there is none). `visible` maps
// visible positions to item indexes of the current group; a position at or
// after its end means the end of the group.
GridItemDrop decideGridItemDrop(const ItemPayloadRead& payload, const QList<PanelGroup>* groups,
                                int currentGroup, int insertPos, const QList<int>& visible);

// The action to accept a drag or drop with. The panel's own payloads take
// the proposed action (their drags offer only Move). Anything else comes
// from another program and is taken as a copy, or as a link when the source
// offers nothing else, never as a move: accepting a move would let the
// source delete the user's file once the drop ends. IgnoreAction when the
// source offers neither.
Qt::DropAction panelDropAction(const QMimeData* mime, Qt::DropActions possible, Qt::DropAction proposed);

// Accepts a drag enter, drag move or drop with panelDropAction, or ignores
// it when there is none; true when accepted.
bool acceptPanelDrop(QDropEvent* event);

// What a drop from outside the panel carries, as the panel examines it.
struct ForeignDrop {
    enum Kind { None, Urls, ShellPlaces };
    Kind kind = None;
    QList<QUrl> urls;
    // (display name, parsing name) of each known place, in drop order.
    QList<std::pair<QString, QString>> places;
};

// A URL list that names at least one local file is a URL drop. Otherwise
// the known places among its URIs (trash:///, computer:///, network:///)
// make a place drop. Otherwise any other URL list (web addresses) is still
// a URL drop, which adds nothing. Nothing usable gives None.
ForeignDrop readForeignDrop(const QMimeData* mime);
