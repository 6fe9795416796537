#include "widgets/uibtnbar.h"

#include "app/theme.h"
#include "widgets/dragpayloads.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kAccentSlot = 28;

QStringList fitted(const QStringList& list)
{
    QStringList out = list.mid(0, kUiBtnCount);
    while (out.size() < kUiBtnCount)
        out << QString();
    return out;
}

} // namespace

UiBtnBar::UiBtnBar(int area, QWidget* parent)
    : QWidget(parent), m_area(area)
{
    for (int i = 0; i < 4; ++i)
        m_icons[i] = fitted({});
    m_visible = QList<bool>(kUiBtnCount, true);

    m_pressTimer.setSingleShot(true);
    m_pressTimer.setInterval(kPressMs);
    connect(&m_pressTimer, &QTimer::timeout, this, &UiBtnBar::onPressTimer);
    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this,
            [this] { tick(m_blinkTimer, uiBtnId(UiBtn::ScreenMonitor), blinkWanted()); });
    m_obfuscationTimer.setInterval(kObfuscationMs);
    connect(&m_obfuscationTimer, &QTimer::timeout, this,
            [this] { tick(m_obfuscationTimer, uiBtnId(UiBtn::Obfuscation), obfuscationWanted()); });
    m_hoverTimer.setInterval(kHoverMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, [this] { tick(m_hoverTimer, m_hovered, hoverWanted()); });

    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setAcceptDrops(true);
}

bool UiBtnBar::anyTimerRunning() const
{
    return m_pressTimer.isActive() || m_blinkTimer.isActive() || m_obfuscationTimer.isActive()
        || m_hoverTimer.isActive();
}

void UiBtnBar::setButtonLayout(const QList<int>& ids, const QList<bool>& visible, const QStringList& normalIcons)
{
    QList<bool> flags = visible.mid(0, kUiBtnCount);
    while (flags.size() < kUiBtnCount)
        flags << true;
    const QStringList icons = fitted(normalIcons);
    if (ids == m_ids && flags == m_visible && icons == m_icons[0])
        return;
    m_ids = ids;
    m_visible = flags;
    m_icons[0] = icons;
    relayout();
    m_hovered = -1;
    m_pressed = -1;
    updateTimers();
    update();
}

void UiBtnBar::setButtonIcons(const QStringList& hover, const QStringList& active, const QStringList& night)
{
    const QStringList lists[3] = {fitted(hover), fitted(active), fitted(night)};
    if (lists[0] == m_icons[1] && lists[1] == m_icons[2] && lists[2] == m_icons[3])
        return;
    for (int i = 0; i < 3; ++i)
        m_icons[i + 1] = lists[i];
    update();
}

void UiBtnBar::setButtonActive(int id, bool on)
{
    if (!isUiBtnId(id) || m_lit[id] == on)
        return;
    m_lit[id] = on;
    updateTimers();
    repaintButton(id, 2);
}

void UiBtnBar::relayout()
{
    m_inRelayout = true;
    m_geom = computeLayout();
    if (m_sizesItself && size() != m_geom.size)
        setFixedSize(m_geom.size);
    m_inRelayout = false;
}

const UiBtnBarLayout& UiBtnBar::buttonGeometry() const
{
    if (!m_sizesItself && m_geom.size != size())
        m_geom = computeLayout();
    return m_geom;
}

int UiBtnBar::buttonAt(const QPoint& pt) const
{
    const QPoint g = hitGrowth();
    return buttonGeometry().buttonAt(pt, g.x(), g.y());
}

void UiBtnBar::repaintButton(int id, int grow)
{
    if (isShown(id))
        update(m_geom.rects[size_t(id)].adjusted(-grow, -grow, grow, grow));
}

bool UiBtnBar::blinkWanted() const
{
    const int id = uiBtnId(UiBtn::ScreenMonitor);
    return isVisible() && m_lit[id] && isShown(id);
}

bool UiBtnBar::obfuscationWanted() const
{
    const int id = uiBtnId(UiBtn::Obfuscation);
    return isVisible() && isShown(id) && (m_lit[id] || m_hovered == id);
}

bool UiBtnBar::hoverWanted() const
{
    return isVisible() && (m_hovered == uiBtnId(UiBtn::Settings) || m_hovered == uiBtnId(UiBtn::ThemeToggle))
        && isShown(m_hovered);
}

void UiBtnBar::updateTimers()
{
    const std::pair<QTimer*, bool> wanted[] = {
        {&m_blinkTimer, blinkWanted()},
        {&m_obfuscationTimer, obfuscationWanted()},
        {&m_hoverTimer, hoverWanted()},
    };
    for (const auto& [timer, want] : wanted) {
        if (want && !timer->isActive())
            timer->start();
        else if (!want && timer->isActive())
            timer->stop();
    }
}

void UiBtnBar::tick(QTimer& timer, int id, bool stillRunning)
{
    if (!stillRunning) {
        timer.stop();
        return;
    }
    repaintButton(id, 4);
}

QString UiBtnBar::imagePathFor(int id, bool pressCountsAsLit) const
{
    const QString& active = m_icons[2].at(id);
    const QString& hover = m_icons[1].at(id);
    const QString& night = m_icons[3].at(id);
    if (!active.isEmpty() && (m_lit[id] || (pressCountsAsLit && m_pressed == id)))
        return active;
    if (!hover.isEmpty() && m_hovered == id)
        return hover;
    if (!night.isEmpty() && currentTheme().isDark)
        return night;
    return m_icons[0].at(id);
}

void UiBtnBar::glyphState(int id, bool* on, bool* animate) const
{
    *on = false;
    *animate = false;
    switch (UiBtn(id)) {
    case UiBtn::Obfuscation:
        *on = m_lit[id];
        *animate = m_obfuscationTimer.isActive();
        break;
    case UiBtn::Settings:
        *animate = m_hovered == id && m_hoverTimer.isActive();
        break;
    case UiBtn::ThemeToggle:
        *on = currentTheme().isDark;
        *animate = m_hovered == id && m_hoverTimer.isActive();
        break;
    case UiBtn::Orientation:
    case UiBtn::Pin:
    case UiBtn::ScreenMonitor:
        *on = m_lit[id];
        break;
    default:
        break;
    }
}

void UiBtnBar::paintButton(QPainter& p, int id, int iconSize, bool pressCountsAsLit, const QColor& colour) const
{
    const QRect r = m_geom.rects[size_t(id)];
    const QString path = imagePathFor(id, pressCountsAsLit);
    if (!path.isEmpty()) {
        const QPixmap pixmap = customIcon(path, iconSize, devicePixelRatioF());
        if (!pixmap.isNull()) {
            const QSizeF logical = QSizeF(pixmap.size()) / pixmap.devicePixelRatio();
            p.drawPixmap(QRectF(QPointF(r.x() + (r.width() - logical.width()) / 2,
                                        r.y() + (r.height() - logical.height()) / 2),
                                logical),
                         pixmap, QRectF(pixmap.rect()));
            return;
        }
    }
    bool on = false;
    bool animate = false;
    glyphState(id, &on, &animate);
    const QPointF centre(r.x() + r.width() / 2.0, r.y() + r.height() / 2.0);
    p.save();
    p.translate(centre);
    p.scale(1.25, 1.25);
    p.translate(-centre);
    paintUiBtnGlyph(p, id, centre, colour, on, QColor(), animate);
    p.restore();
}

void UiBtnBar::paintDropBar(QPainter& p) const
{
    if (!m_dragActive || m_insertIndex < 0)
        return;
    const qreal g = m_geom.dropBarX(m_insertIndex);
    p.fillRect(QRectF(g - 1.5, 4, 3, height() - 8), currentTheme().c[kAccentSlot]);
}

void UiBtnBar::startButtonDrag(int id)
{
    if (!isUiBtnId(id))
        return;
    QDrag* drag = makeUiBtnDrag(this, id, m_area, id == uiBtnId(UiBtn::Pin) && m_lit[id]);
    execDrag(drag);
    drag->deleteLater();
}

Qt::DropAction UiBtnBar::execDrag(QDrag* drag)
{
    return drag->exec(Qt::MoveAction);
}

void UiBtnBar::onPressTimer()
{
    if (m_pressed < 0)
        return;
    const int id = m_pressed;
    m_hovered = -1;
    m_pressed = -1;
    updateTimers();
    update();
    startButtonDrag(id);
}

void UiBtnBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = buttonAt(event->position().toPoint());
    if (m_pressed >= 0)
        m_pressTimer.start();
}

void UiBtnBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressTimer.stop();
    const int pressed = m_pressed;
    m_pressed = -1;
    if (pressed >= 0 && buttonAt(event->position().toPoint()) == pressed)
        buttonClicked(pressed);
}

void UiBtnBar::mouseMoveEvent(QMouseEvent* event)
{
    const int id = buttonAt(event->position().toPoint());
    const QString tip = uiBtnLabel(id);
    if (toolTip() != tip)
        setToolTip(tip);
    if (id != m_hovered) {
        const int old = m_hovered;
        m_hovered = id;
        updateTimers();
        hoverChanged(old);
    }
}

void UiBtnBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_inRelayout)
        relayout();
}

void UiBtnBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateTimers();
}

void UiBtnBar::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateTimers();
}

void UiBtnBar::setDropIndex(int index)
{
    if (index != m_insertIndex) {
        m_insertIndex = index;
        update();
    }
}

void UiBtnBar::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void UiBtnBar::dragMoveEvent(QDragMoveEvent* event)
{
    if (!event->mimeData()->hasFormat(kUiBtnMimeType)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_dragActive = true;
    setDropIndex(insertIndexAt(event->position().toPoint().x()));
}

void UiBtnBar::dragLeaveEvent(QDragLeaveEvent* event)
{
    QWidget::dragLeaveEvent(event);
    m_dragActive = false;
    m_insertIndex = -1;
    update();
}

void UiBtnBar::dropEvent(QDropEvent* event)
{
    const int index = m_insertIndex >= 0 ? m_insertIndex : insertIndexAt(event->position().toPoint().x());
    m_dragActive = false;
    m_insertIndex = -1;
    update();
    if (!event->mimeData()->hasFormat(kUiBtnMimeType))
        return;
    const int ub = readUiBtnPayload(event->mimeData()->data(kUiBtnMimeType));
    if (!isUiBtnId(ub) || index < 0)
        return;
    event->acceptProposedAction();
    Q_EMIT uibtnDropped(ub, m_area, index);
}
