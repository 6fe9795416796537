#include "widgets/dragpayloads.h"

#include "app/jsonutil.h"
#include "icons/shelldrop.h"

#include <QDropEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

#include <algorithm>
#include <cmath>

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// An index read from a payload: an integral JSON number in 0..2147483647
// and below `count`, else -1.
int checkedIndex(const QJsonValue& value, qsizetype count)
{
    if (!value.isDouble())
        return -1;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < 0 || d > 2147483647.0)
        return -1;
    const qint64 index = static_cast<qint64>(d);
    return index < count ? static_cast<int>(index) : -1;
}

} // namespace

QByteArray itemPayload(int group, int item, const QString& path)
{
    return compact({ { QStringLiteral("g"), group }, { QStringLiteral("i"), item }, { QStringLiteral("path"), path } });
}

QByteArray groupPayload(int group)
{
    return compact({ { QStringLiteral("g"), group } });
}

QByteArray uiBtnPayload(int ub, int from)
{
    return compact({ { QStringLiteral("ub"), ub }, { QStringLiteral("from"), from } });
}

bool hasPanelPayload(const QMimeData* mime)
{
    return mime
        && (mime->hasFormat(kItemMimeType) || mime->hasFormat(kGroupMimeType) || mime->hasFormat(kUiBtnMimeType));
}

ItemPayloadRead readItemPayload(const QByteArray& data, const QList<PanelGroup>* groups)
{
    ItemPayloadRead read;
    QJsonObject object;
    if (!parseJsonObject(data, object))
        return read;
    read.status = ItemPayloadRead::Invalid;
    read.group = checkedIndex(object.value(QStringLiteral("g")), groups ? groups->size() : 0);
    if (read.group < 0)
        return read;
    const QList<PanelItem>& items = groups->at(read.group).items;
    read.item = checkedIndex(object.value(QStringLiteral("i")), items.size());
    if (read.item < 0)
        return read;
    // The indexes alone may name another item by now (or never have named
    // the dragged one): only the same path proves it is the item the user
    // holds.
    const QJsonValue path = object.value(QStringLiteral("path"));
    if (path.isString() && path.toString() == items.at(read.item).path)
        read.status = ItemPayloadRead::Valid;
    return read;
}

int readUiBtnPayload(const QByteArray& data)
{
    QJsonObject object;
    if (!parseJsonObject(data, object))
        return -1;
    const int ub = object.value(QStringLiteral("ub")).toInt(-1);
    return ub >= 0 && ub <= 10 ? ub : -1;
}

GridItemDrop decideGridItemDrop(const ItemPayloadRead& payload, const QList<PanelGroup>* groups,
                                int currentGroup, int insertPos, const QList<int>& visible)
{
    GridItemDrop drop;
    if (payload.status != ItemPayloadRead::Valid || !groups || currentGroup < 0 || currentGroup >= groups->size())
        return drop;
    if (payload.group != currentGroup) {
        drop.kind = GridItemDrop::Move;
        drop.fromGroup = payload.group;
        drop.item = payload.item;
        return drop;
    }
    if (insertPos < 0)
        return drop;
    drop.kind = GridItemDrop::Reorder;
    drop.from = payload.item;
    drop.to = insertPos < visible.size() ? visible.at(insertPos) : int(groups->at(currentGroup).items.size());
    return drop;
}

Qt::DropAction panelDropAction(const QMimeData* mime, Qt::DropActions possible, Qt::DropAction proposed)
{
    if (hasPanelPayload(mime))
        return proposed;
    if ((proposed == Qt::CopyAction || proposed == Qt::LinkAction) && (possible & proposed))
        return proposed;
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

bool acceptPanelDrop(QDropEvent* event)
{
    const Qt::DropAction action = panelDropAction(event->mimeData(), event->possibleActions(), event->proposedAction());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return false;
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

ForeignDrop readForeignDrop(const QMimeData* mime)
{
    ForeignDrop drop;
    if (!mime || !mime->hasUrls())
        return drop;
    const QList<QUrl> urls = mime->urls();
    const bool anyLocal = std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (!anyLocal) {
        drop.places = parseShellIdListArray(mime->data(QStringLiteral("text/uri-list")));
        if (!drop.places.isEmpty()) {
            drop.kind = ForeignDrop::ShellPlaces;
            return drop;
        }
    }
    drop.kind = ForeignDrop::Urls;
    drop.urls = urls;
    return drop;
}
