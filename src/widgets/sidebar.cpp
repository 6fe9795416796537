#include "widgets/sidebar.h"

#include "app/lang.h"
#include "app/theme.h"
#include "widgets/dragpayloads.h"
#include "widgets/namedialog.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

QRect grown(const QRect& r, int dx, int dy)
{
    return r.isNull() ? QRect() : r.adjusted(-dx, -dy, dx, dy);
}

} // namespace

Sidebar::Sidebar(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setMouseTracking(true);
    m_nameFont = font();
    m_nameFont.setPixelSize(13);
}

void Sidebar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_nameFont = font();
        m_nameFont.setPixelSize(13);
    }
    QWidget::changeEvent(event);
}

void Sidebar::setModel(QList<PanelGroup>* groups, int* currentGroup)
{
    m_groups = groups;
    m_currentGroup = currentGroup;
}

void Sidebar::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    m_scrollY = 0;
    update();
}

void Sidebar::setPlainStyle(bool plain)
{
    if (plain == m_plainStyle)
        return;
    m_plainStyle = plain;
    m_scrollY = 0;
    update();
}

void Sidebar::setCornerRadius(int radius)
{
    m_cornerRadius = std::clamp(radius, 0, 24);
    update();
}

void Sidebar::setShowNewGroupButton(bool show)
{
    if (show == m_showNewGroupButton)
        return;
    m_showNewGroupButton = show;
    m_scrollY = layoutNow().clampScroll(m_scrollY);
    update();
}

QString Sidebar::groupName(int i) const
{
    return m_groups && i >= 0 && i < m_groups->size() ? m_groups->at(i).name : QString();
}

int Sidebar::tabWidth(int i) const
{
    if (!m_groups)
        return 56;
    // Whole pixels rounded up, so that a name of exactly that width is not
    // elided when painted.
    const QFontMetricsF fm(m_nameFont);
    const int cap = 6 * int(std::ceil(fm.horizontalAdvance(translate("中"))));
    return std::max(std::min(int(std::ceil(fm.horizontalAdvance(translate(groupName(i))))), cap), 8);
}

SidebarLayout Sidebar::layoutNow() const
{
    const int count = groupCount();
    QList<int> widths;
    if (m_compact) {
        widths.reserve(count);
        for (int i = 0; i < count; ++i)
            widths.append(tabWidth(i));
    }
    return computeSidebarLayout(size(), m_compact, m_showNewGroupButton, count, widths);
}

int Sidebar::groupAt(const QPoint& viewPos) const
{
    if (!m_groups || m_plainStyle)
        return -1;
    return layoutNow().groupAt(viewPos, m_scrollY);
}

int Sidebar::maxScroll() const
{
    if (m_compact || !m_groups)
        return 0;
    return layoutNow().maxScroll;
}

int Sidebar::buttonUnder(const QPoint& p) const
{
    const SidebarLayout l = layoutNow();
    if (!m_compact)
        return !l.newGroupButton.isNull() && l.newGroupButton.contains(p) ? 1 : 0;
    if (grown(l.plusButton, 5, 8).contains(p))
        return 1;
    if (l.hasOverflow && grown(l.overflowButton, 5, 8).contains(p))
        return 2;
    return 0;
}

// ---------------------------------------------------------------- input

void Sidebar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const SidebarLayout l = layoutNow();
    if (grown(l.newGroupButton, 5, 5).contains(pos)) {
        askNewGroup();
        return;
    }
    if (m_compact && l.hasOverflow && grown(l.overflowButton, 5, 8).contains(pos)) {
        showOverflowMenu(l.overflowButton);
        return;
    }
    const int g = groupAt(pos);
    if (g < 0)
        return;
    m_pressed = true;
    m_pressIndex = g;
    m_groupDragActive = false;
    m_pressPoint = pos;
}

void Sidebar::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_pressed && !m_groupDragActive && (pos - m_pressPoint).manhattanLength() > kDragDistance) {
        startGroupDrag(m_pressIndex);
        return;
    }
    const int button = buttonUnder(pos);
    if (button != m_hoverButton) {
        m_hoverButton = button;
        update();
    }
    const int row = groupAt(pos);
    if (row == m_hoverRow)
        return;
    const int old = m_hoverRow;
    m_hoverRow = row;
    if (m_compact) {
        update();
        return;
    }
    repaintRow(old);
    repaintRow(row);
}

void Sidebar::repaintRow(int row)
{
    if (row < 0)
        return;
    const int top = SidebarLayout::kRowPitch * row + SidebarLayout::kListTop - m_scrollY;
    const int y0 = std::max(top - 2, SidebarLayout::kListTop);
    const int y1 = top + 35;
    if (y1 > y0)
        update(QRect(0, y0, width(), y1 - y0));
}

void Sidebar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_pressed && !m_groupDragActive)
        Q_EMIT groupSelected(m_pressIndex);
    m_pressIndex = -1;
    m_pressed = false;
}

void Sidebar::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int g = groupAt(event->position().toPoint());
    if (g >= 0)
        askRename(g);
}

void Sidebar::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_plainStyle)
        return;
    const int g = groupAt(event->pos());
    QMenu menu(this);
    QAction* rename = nullptr;
    QAction* remove = nullptr;
    QAction* clear = nullptr;
    if (g >= 0) {
        rename = menu.addAction(translate("重命名分组"));
        remove = menu.addAction(translate("删除分组"));
        remove->setEnabled(g != 0);
        clear = menu.addAction(translate("清空本分组图标"));
        clear->setEnabled(!m_groups->at(g).items.isEmpty());
        menu.addSeparator();
    }
    QAction* create = menu.addAction(translate("新建分组"));
    menu.addSeparator();
    QAction* sync = menu.addAction(translate("收纳桌面新图标"));
    QPointer<Sidebar> self(this);
    QAction* chosen = menu.exec(event->globalPos());
    if (!self || !chosen)
        return;
    if (chosen == rename)
        askRename(g);
    else if (chosen == remove)
        Q_EMIT groupDeleted(g);
    else if (chosen == clear)
        Q_EMIT groupCleared(g);
    else if (chosen == create)
        askNewGroup();
    else if (chosen == sync)
        Q_EMIT desktopSyncRequested();
}

void Sidebar::askNewGroup()
{
    NameDialog dlg(false, this);
    QPointer<Sidebar> self(this);
    const bool accepted = dlg.exec() == QDialog::Accepted;
    if (!self || !accepted)
        return;
    const QString name = dlg.text();
    if (!name.isEmpty())
        Q_EMIT groupCreated(name);
}

void Sidebar::askRename(int index)
{
    NameDialog dlg(true, this);
    dlg.setText(groupName(index));
    QPointer<Sidebar> self(this);
    const bool accepted = dlg.exec() == QDialog::Accepted;
    if (!self || !accepted)
        return;
    const QString name = dlg.text();
    if (!name.isEmpty())
        Q_EMIT groupRenamed(index, name);
}

void Sidebar::showOverflowMenu(const QRect& button)
{
    const SidebarLayout l = layoutNow();
    QMenu menu(this);
    for (int i = l.firstHiddenTab; i < groupCount(); ++i) {
        QAction* a = menu.addAction(translate(groupName(i)));
        a->setData(i);
    }
    QPointer<Sidebar> self(this);
    QAction* chosen = menu.exec(mapToGlobal(button.center()));
    if (self && chosen)
        Q_EMIT groupSelected(chosen->data().toInt());
}

void Sidebar::wheelEvent(QWheelEvent* event)
{
    if (m_compact)
        return;
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    const int steps = m_wheelNotches.take(delta);
    if (steps != 0) {
        m_scrollY = std::clamp(m_scrollY - steps * SidebarLayout::kRowPitch, 0, maxScroll());
        update();
    }
    event->accept();
}

void Sidebar::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hoverRow = -1;
    m_hoverButton = 0;
    update();
}

void Sidebar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_scrollY = std::clamp(m_scrollY, 0, maxScroll());
}

// ---------------------------------------------------------------- drag and drop

void Sidebar::startGroupDrag(int index)
{
    if (index < 0 || index >= groupCount())
        return;
    m_draggedGroup = index;
    m_pressed = false;
    m_groupDragActive = true;
    m_dragMoved = false;

    auto* mime = new QMimeData;
    mime->setData(kGroupMimeType, groupPayload(index));

    const QString name = translate(groupName(index));
    QFont f = font();
    f.setPixelSize(13);
    const int w = std::max(QFontMetrics(f).horizontalAdvance(name) + 24, 40);
    QPixmap image(w, 24);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setFont(f);
        p.setPen(currentTheme().c[16]);
        p.drawText(QRect(12, 0, w - 12, 24), Qt::AlignLeft | Qt::AlignVCenter, name);
    }

    QPointer<Sidebar> self(this);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(image);
    drag->setHotSpot(QPoint(8, 12));
    execDrag(drag);
    if (!self)
        return;
    drag->deleteLater();
    m_groupDragActive = false;
    m_draggedGroup = -1;
    m_pressIndex = -1;
    if (m_dragMoved) {
        m_dragMoved = false;
        Q_EMIT groupDragFinished();
    }
}

Qt::DropAction Sidebar::execDrag(QDrag* drag)
{
    return drag->exec(Qt::MoveAction);
}

void Sidebar::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (!mime || !(mime->hasUrls() || mime->hasFormat(kItemMimeType) || mime->hasFormat(kGroupMimeType))) {
        event->ignore();
        return;
    }
    if (!acceptPanelDrop(event))
        return;
    m_dropTarget = groupAt(event->position().toPoint());
    update();
}

void Sidebar::dragMoveEvent(QDragMoveEvent* event)
{
    const int target = groupAt(event->position().toPoint());
    if (m_groupDragActive && m_draggedGroup >= 0 && target >= 0 && target != m_draggedGroup) {
        const int from = m_draggedGroup;
        m_draggedGroup = target;
        m_dropTarget = target;
        m_dragMoved = true;
        Q_EMIT groupDragDisplace(from, target);
        update();
    } else if (target != m_dropTarget) {
        m_dropTarget = target;
        update();
    }
    acceptPanelDrop(event);
}

void Sidebar::dragLeaveEvent(QDragLeaveEvent* event)
{
    QWidget::dragLeaveEvent(event);
    m_dropTarget = -1;
    m_groupDragActive = false;
    update();
}

void Sidebar::dropEvent(QDropEvent* event)
{
    const QMimeData* mime = event->mimeData();
    const int target = groupAt(event->position().toPoint());
    if (target >= 0 && mime)
        dropOnGroup(event, mime, target);
    else
        event->ignore();
    m_dropTarget = -1;
    m_groupDragActive = false;
    update();
}

void Sidebar::dropOnGroup(QDropEvent* event, const QMimeData* mime, int target)
{
    // A group has already moved while the drag passed over the rows.
    if (mime->hasFormat(kGroupMimeType)) {
        acceptPanelDrop(event);
        return;
    }
    if (mime->hasFormat(kItemMimeType)) {
        const ItemPayloadRead payload = readItemPayload(mime->data(kItemMimeType), m_groups);
        if (payload.status == ItemPayloadRead::Unparsable) {
            qWarning() << "sidebar drop: unparsable item mime, ignored";
            event->ignore();
            return;
        }
        if (payload.status == ItemPayloadRead::Invalid) {
            qWarning() << "sidebar drop: invalid item mime, ignored" << "g =" << payload.group << "i =" << payload.item;
            event->ignore();
            return;
        }
        acceptPanelDrop(event);
        if (payload.group != target)
            Q_EMIT itemMoved(payload.group, payload.item, target);
        return;
    }
    const ForeignDrop drop = readForeignDrop(mime);
    if (drop.kind == ForeignDrop::Urls) {
        if (acceptPanelDrop(event))
            Q_EMIT urlsDropped(target, drop.urls);
    } else if (drop.kind == ForeignDrop::ShellPlaces) {
        if (acceptPanelDrop(event))
            Q_EMIT shellItemsDropped(target, drop.places);
    } else {
        event->ignore();
    }
}
