// Drags out of the grid and the drop feedback over it.
#include "widgets/icongrid.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

namespace {

bool hasItemPayload(const QMimeData* mime)
{
    return mime && mime->hasFormat(QLatin1String(IconGrid::kItemMimeType));
}

} // namespace

void IconGrid::startItemDrag(int position)
{
    const PanelGroup* group = currentGroupPtr();
    const int itemIndex = itemIndexAt(position);
    if (!group || itemIndex < 0 || itemIndex >= group->items.size())
        return;
    const PanelItem& item = group->items.at(itemIndex);

    QJsonObject payload;
    payload.insert(QStringLiteral("g"), *m_currentGroup);
    payload.insert(QStringLiteral("i"), itemIndex);
    payload.insert(QStringLiteral("path"), item.path);
    auto* mime = new QMimeData;
    mime->setData(QLatin1String(kItemMimeType), QJsonDocument(payload).toJson(QJsonDocument::Compact));

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
    if (hasItemPayload(mime)) {
        event->acceptProposedAction();
        m_dragOver = true;
        m_dropPos = insertIndexAt(event->position().toPoint());
        update();
    } else if (mime && mime->hasUrls()) {
        event->acceptProposedAction();
        m_dragOver = true;
        m_dropPos = -1;
        update();
    } else {
        event->ignore();
    }
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
        event->acceptProposedAction();
    } else if (mime && mime->hasUrls()) {
        event->acceptProposedAction();
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
    Q_UNUSED(event);
    m_dragOver = false;
    m_dropPos = -1;
    update();
}
