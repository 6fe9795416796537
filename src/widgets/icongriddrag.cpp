// Drags out of the grid, and what is dropped on it.
#include "widgets/icongrid.h"

#include "widgets/dragpayloads.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>

namespace {

bool hasItemPayload(const QMimeData* mime)
{
    return mime && mime->hasFormat(kItemMimeType);
}

} // namespace

void IconGrid::startItemDrag(int position)
{
    const PanelGroup* group = currentGroupPtr();
    const int itemIndex = itemIndexAt(position);
    if (!group || itemIndex < 0 || itemIndex >= group->items.size())
        return;
    const PanelItem& item = group->items.at(itemIndex);

    auto* mime = new QMimeData;
    mime->setData(kItemMimeType, itemPayload(*m_currentGroup, itemIndex, item.path));

    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    if (m_pixmapCache) {
        QPixmap source = m_customIcons.value(item.customIcon);
        if (source.isNull())
            source = m_pixmapCache->value(item.path);
        if (!source.isNull())
            drag->setPixmap(source.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    m_dragOver = true;
    drag->exec(Qt::MoveAction);
    m_dragOver = false;
    drag->deleteLater();
}

void IconGrid::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    const bool item = hasItemPayload(mime);
    if (!item && !(mime && mime->hasUrls())) {
        event->ignore();
        return;
    }
    if (!acceptPanelDrop(event))
        return;
    m_dragOver = true;
    m_dropPos = item ? insertIndexAt(event->position().toPoint()) : -1;
    update();
}

void IconGrid::dragMoveEvent(QDragMoveEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (hasItemPayload(mime)) {
        const int pos = insertIndexAt(event->position().toPoint());
        if (pos != m_dropPos) {
            m_dropPos = pos;
            update();
        }
        acceptPanelDrop(event);
    } else if (mime && mime->hasUrls()) {
        acceptPanelDrop(event);
    } else {
        event->ignore();
    }
}

void IconGrid::dragLeaveEvent(QDragLeaveEvent* event)
{
    QWidget::dragLeaveEvent(event);
    m_dragOver = false;
    m_dropPos = -1;
    update();
}

void IconGrid::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (hasItemPayload(mime)) {
        // A payload that no longer names the item it carries (or never did)
        // is taken and changes nothing.
        const ItemPayloadRead payload = readItemPayload(mime->data(kItemMimeType), m_groups);
        const GridItemDrop drop = decideGridItemDrop(payload, m_groups, m_currentGroup ? *m_currentGroup : -1,
                                                     insertIndexAt(event->position().toPoint()), visibleItems());
        acceptPanelDrop(event);
        if (drop.kind == GridItemDrop::Reorder)
            Q_EMIT itemReordered(drop.from, drop.to);
        else if (drop.kind == GridItemDrop::Move)
            Q_EMIT itemMoved(drop.fromGroup, drop.item, *m_currentGroup);
    } else {
        const ForeignDrop drop = readForeignDrop(mime);
        if (drop.kind == ForeignDrop::Urls) {
            if (acceptPanelDrop(event))
                Q_EMIT urlsDropped(drop.urls);
        } else if (drop.kind == ForeignDrop::ShellPlaces) {
            if (acceptPanelDrop(event))
                Q_EMIT shellItemsDropped(drop.places);
        } else {
            event->ignore();
        }
    }
    m_dragOver = false;
    m_dropPos = -1;
    update();
}
