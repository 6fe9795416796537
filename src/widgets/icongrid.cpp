#include "widgets/icongrid.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr quint64 kFnvPrime = 0x100000001B3ULL;

quint64 rotl7(quint64 v)
{
    return (v << 7) | (v >> 57);
}

// Tells whether a group's items (paths, names, hidden flags) are still those
// a visible list was built from.
quint64 groupSignature(const PanelGroup& group, int groupIndex)
{
    const quint64 n = quint64(group.items.size());
    quint64 result = n ^ (quint64(groupIndex + 1) * kFnvPrime) ^ 0x9E3779B97F4A7C15ULL;
    for (const PanelItem& item : group.items) {
        quint64 c = (quint64(qHash(item.path, 0)) ^ quint64(qHash(item.name, 0))) * kFnvPrime;
        if (!item.hidden)
            c = ~c;
        result = rotl7(result ^ c);
    }
    return result;
}

int manhattan(const QPoint& a, const QPoint& b)
{
    return (a - b).manhattanLength();
}

} // namespace

IconGrid::IconGrid(QWidget* parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
    setAttribute(Qt::WA_MouseTracking);
    setFocusPolicy(Qt::StrongFocus);
    m_pressTimer.setSingleShot(true);
    m_pressTimer.setInterval(kLongPressMs);
    connect(&m_pressTimer, &QTimer::timeout, this, &IconGrid::onLongPress);
    m_nameFont = font();
    m_nameFont.setPixelSize(12);
    m_nameLineHeight = QFontMetrics(m_nameFont).height();
}

IconGrid::~IconGrid() = default;

// ---------------------------------------------------------------- model

void IconGrid::setModel(QList<PanelGroup>* groups, int* currentGroup)
{
    m_groups = groups;
    m_currentGroup = currentGroup;
    m_layoutDirty = true;
    clampScroll();
}

void IconGrid::setPixmapCache(const QMap<QString, QPixmap>* cache)
{
    m_pixmapCache = cache;
}

void IconGrid::setMissingItems(const QSet<quint64>& keys)
{
    if (keys == m_missingKeys)
        return;
    m_missingKeys = keys;
    update();
}

void IconGrid::setIconSize(int px)
{
    const int limit = gridIconSizeLimit(width(), m_columns, m_nameLineHeight);
    m_iconSize = std::clamp(px, 32, std::max(limit, 32));
    clampScroll();
    update();
}

void IconGrid::setShowNames(bool show)
{
    m_showNames = show;
    clampScroll();
    update();
}

void IconGrid::setSingleClickOpen(bool on)
{
    m_singleClickOpen = on;
}

void IconGrid::setCornerRadius(int radius)
{
    m_cornerRadius = std::clamp(radius, 0, 24);
    update();
}

void IconGrid::setHoverEffect(int mode, const QColor& color, int opacityPercent)
{
    m_hoverAnimated = mode > 0;
    m_hoverColor = color;
    m_hoverOpacity = std::clamp(opacityPercent, 0, 100);
    if (!m_hoverAnimated) {
        if (m_hoverInAnim)
            m_hoverInAnim->stop();
        if (m_hoverOutAnim)
            m_hoverOutAnim->stop();
        m_hoverInPos = m_hoverOutPos = -1;
        m_hoverInProgress = m_hoverOutProgress = 0.0;
    }
    update();
}

void IconGrid::setPlainMode(bool plain)
{
    if (plain == m_plainMode)
        return;
    m_plainMode = plain;
    update();
}

void IconGrid::setColumns(int n)
{
    n = std::clamp(n, 0, 8);
    if (n == m_columns)
        return;
    m_columns = n;
    clampScroll();
    update();
}

void IconGrid::relayout()
{
    m_layoutDirty = true;
    clampScroll();
}

void IconGrid::resetScroll()
{
    if (m_scrollY != 0) {
        m_scrollY = 0;
        update();
    }
    m_wheelNotches.reset();
    preloadCustomIcons();
}

const PanelGroup* IconGrid::currentGroupPtr() const
{
    if (!m_groups || !m_currentGroup || *m_currentGroup < 0 || *m_currentGroup >= m_groups->size())
        return nullptr;
    return &m_groups->at(*m_currentGroup);
}

void IconGrid::ensureLayout() const
{
    const PanelGroup* group = currentGroupPtr();
    if (!group) {
        if (m_layoutValid) {
            m_visible.clear();
            m_layoutSignature = 0;
            m_layoutGroup = -1;
            m_layoutValid = false;
        }
        m_layoutDirty = false;
        return;
    }
    const int g = *m_currentGroup;
    quint64 signature = 0;
    bool rebuild = false;
    if (m_layoutDirty) {
        m_layoutDirty = false;
        rebuild = true;
    } else if (m_layoutValid && m_layoutGroup == g) {
        return;
    } else if (m_layoutValid) {
        signature = groupSignature(*group, g);
        if (signature == m_layoutSignature) {
            m_layoutGroup = g;
            return;
        }
        rebuild = true;
    } else {
        rebuild = true;
    }
    if (!rebuild)
        return;
    if (signature == 0)
        signature = groupSignature(*group, g);
    m_visible.resize(0);
    for (int i = 0; i < group->items.size(); ++i)
        if (!group->items.at(i).hidden)
            m_visible.append(i);
    m_layoutSignature = signature;
    m_layoutGroup = g;
    m_layoutValid = true;
}

QList<int> IconGrid::visibleItems() const
{
    ensureLayout();
    return m_visible;
}

GridGeometry IconGrid::geometryNow() const
{
    ensureLayout();
    return computeGridGeometry(width(), height(), m_iconSize, m_showNames, m_columns,
                               int(m_visible.size()), m_nameLineHeight);
}

void IconGrid::clampScroll()
{
    m_scrollY = std::clamp(m_scrollY, 0, maxScroll());
}

int IconGrid::itemIndexAt(int pos) const
{
    ensureLayout();
    return pos >= 0 && pos < m_visible.size() ? m_visible.at(pos) : -1;
}

// ---------------------------------------------------------------- geometry

int IconGrid::cellWidth() const { return geometryNow().cellWidth; }
int IconGrid::cellHeight() const { return geometryNow().pitch; }
int IconGrid::maxScroll() const { return geometryNow().maxScroll; }

QRect IconGrid::itemRect(int pos) const
{
    return geometryNow().cellRect(pos);
}

int IconGrid::itemAt(const QPoint& viewPos) const
{
    if (!currentGroupPtr())
        return -1;
    return geometryNow().positionAt(viewPos + QPoint(0, m_scrollY));
}

int IconGrid::insertIndexAt(const QPoint& viewPos) const
{
    if (!currentGroupPtr())
        return -1;
    return geometryNow().insertIndexAt(viewPos + QPoint(0, m_scrollY));
}

QRect IconGrid::itemGlobalRect(int itemIndex) const
{
    ensureLayout();
    const int pos = int(m_visible.indexOf(itemIndex));
    if (pos < 0)
        return QRect();
    const QRect r = itemRect(pos).translated(0, -m_scrollY);
    return QRect(mapToGlobal(r.topLeft()), mapToGlobal(r.bottomRight()));
}

QPoint IconGrid::snapToCell(const QPoint& globalPos) const
{
    if (m_columns == 0)
        return globalPos;
    const int cw = cellWidth();
    const QPoint local = mapFromGlobal(globalPos);
    auto snap = [cw](int v) { return int(std::lround(double(v) / cw)) * cw; };
    int x = std::clamp(snap(local.x()), 0, m_columns * cw);
    x = std::clamp(x, 0, width());
    const int y = std::clamp(snap(local.y()), 0, height());
    return mapToGlobal(QPoint(x, y));
}

// ---------------------------------------------------------------- input

void IconGrid::mousePressEvent(QMouseEvent* event)
{
    m_focusPos = -1;
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressPoint = event->position().toPoint();
    m_pressPosIndex = itemAt(m_pressPoint);
    m_dragStarted = false;
    if (m_pressPosIndex >= 0)
        m_pressTimer.start();
}

void IconGrid::onLongPress()
{
    if (!m_pressed || m_pressPosIndex < 0 || m_dragOver)
        return;
    m_dragStarted = true;
    startItemDrag(m_pressPosIndex);
    m_pressed = false;
    m_pressPosIndex = -1;
}

void IconGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    updateHover(pos);
    if (m_pressed && m_pressPosIndex >= 0 && !m_dragOver
        && manhattan(pos, m_pressPoint) > kDragDistance) {
        m_pressTimer.stop();
        m_dragStarted = true;
        startItemDrag(m_pressPosIndex);
        m_pressed = false;
        m_pressPosIndex = -1;
    }
}

void IconGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_singleClickOpen && m_pressed && m_pressPosIndex >= 0 && !m_dragStarted
        && event->button() == Qt::LeftButton && manhattan(pos, m_pressPoint) <= kDragDistance) {
        const int position = m_pressPosIndex;
        m_pressed = false;
        m_pressPosIndex = -1;
        Q_EMIT itemActivated(itemIndexAt(position));
        return;
    }
    m_pressTimer.stop();
    m_pressed = false;
    m_pressPosIndex = -1;
}

void IconGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The base class would turn the double click into a second press, whose
    // release would open a single-click item a second time.
    const int pos = itemAt(event->position().toPoint());
    if (pos < 0) {
        Q_EMIT blankDoubleClicked();
        return;
    }
    // With single-click open the first click's release has opened the item
    // already; a double click must not start it twice.
    if (!m_singleClickOpen)
        Q_EMIT itemActivated(itemIndexAt(pos));
}

void IconGrid::contextMenuEvent(QContextMenuEvent* event)
{
    const int pos = itemAt(event->pos());
    if (pos >= 0)
        Q_EMIT itemMenuRequested(itemIndexAt(pos), event->globalPos());
}

void IconGrid::wheelEvent(QWheelEvent* event)
{
    if (!currentGroupPtr()) {
        event->ignore();
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    const int steps = m_wheelNotches.take(delta);
    if (steps != 0) {
        const GridGeometry g = geometryNow();
        m_scrollY = std::clamp(m_scrollY - steps * g.pitch, 0, g.maxScroll);
        update();
    }
    event->accept();
}

void IconGrid::keyPressEvent(QKeyEvent* event)
{
    ensureLayout();
    const int count = int(m_visible.size());
    if (count == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const GridGeometry g = geometryNow();
    const int n = g.columns;
    int target = 0;
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_focusPos >= 0 && m_focusPos < count)
            Q_EMIT itemActivated(itemIndexAt(m_focusPos));
        event->accept();
        return;
    case Qt::Key_Escape:
        m_focusPos = -1;
        update();
        event->accept();
        return;
    case Qt::Key_Left: target = m_focusPos - 1; break;
    case Qt::Key_Right: target = m_focusPos + 1; break;
    case Qt::Key_Up: target = m_focusPos - n; break;
    case Qt::Key_Down: target = m_focusPos + n; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count - 1; break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_focusPos < 0)
        target = event->key() == Qt::Key_End ? count - 1 : 0;
    target = std::clamp(target, 0, count - 1);
    event->accept();
    if (target == m_focusPos)
        return;
    m_focusPos = target;
    m_scrollY = g.scrollToShow(target, m_scrollY, height());
    update();
}

void IconGrid::updateHover(const QPoint& viewPos)
{
    const int p = itemAt(viewPos);
    if (p == m_hoverPos)
        return;
    const int old = m_hoverPos;
    m_hoverPos = p;
    if (m_hoverAnimated) {
        if (old >= 0 && old == m_hoverInPos)
            animateHoverOut(old, m_hoverInProgress);
        if (p >= 0) {
            animateHoverIn(p);
        } else {
            if (m_hoverInAnim)
                m_hoverInAnim->stop();
            m_hoverInPos = -1;
            m_hoverInProgress = 0.0;
        }
        update();
        return;
    }
    repaintCell(old);
    repaintCell(p);
}

void IconGrid::repaintCell(int pos)
{
    if (pos < 0)
        return;
    update(itemRect(pos).translated(0, -m_scrollY).adjusted(-2, -2, 2, 2));
}

void IconGrid::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hoverPos = -1;
    if (m_hoverAnimated && m_hoverInPos >= 0) {
        animateHoverOut(m_hoverInPos, m_hoverInProgress);
        if (m_hoverInAnim)
            m_hoverInAnim->stop();
        m_hoverInPos = -1;
        m_hoverInProgress = 0.0;
    }
    update();
}

void IconGrid::ensureAnimations()
{
    if (m_hoverInAnim)
        return;
    m_hoverInAnim = new QVariantAnimation(this);
    m_hoverOutAnim = new QVariantAnimation(this);
    for (QVariantAnimation* a : {m_hoverInAnim, m_hoverOutAnim}) {
        a->setDuration(150);
        a->setEasingCurve(QEasingCurve::OutCubic);
    }
    connect(m_hoverInAnim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_hoverInProgress = v.toDouble();
        update();
    });
    connect(m_hoverOutAnim, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_hoverOutProgress = v.toDouble();
        update();
    });
}

void IconGrid::animateHoverIn(int pos)
{
    ensureAnimations();
    double start = 0.0;
    if (pos == m_hoverOutPos) {
        m_hoverOutAnim->stop();
        start = m_hoverOutProgress;
        m_hoverOutPos = -1;
        m_hoverOutProgress = 0.0;
    }
    m_hoverInAnim->stop();
    m_hoverInPos = pos;
    m_hoverInProgress = start;
    m_hoverInAnim->setStartValue(start);
    m_hoverInAnim->setEndValue(1.0);
    m_hoverInAnim->start();
}

void IconGrid::animateHoverOut(int pos, double start)
{
    ensureAnimations();
    m_hoverOutAnim->stop();
    m_hoverOutPos = pos;
    m_hoverOutProgress = start;
    m_hoverOutAnim->setStartValue(start);
    m_hoverOutAnim->setEndValue(0.0);
    m_hoverOutAnim->start();
}

// ---------------------------------------------------------------- events

void IconGrid::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    clampScroll();
}

void IconGrid::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus(Qt::OtherFocusReason);
    preloadCustomIcons();
}

void IconGrid::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        m_nameFont = font();
        m_nameFont.setPixelSize(12);
        m_nameLineHeight = QFontMetrics(m_nameFont).height();
        m_elideCache.clear();
        m_nameCache.clear();
    }
    QWidget::changeEvent(event);
}
