#include "widgets/floaticon.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

constexpr int kAccentSlot = 28;

} // namespace

FloatIcon::FloatIcon(const QPixmap& pixmap, const QString& name, const QPoint& position, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_source(pixmap),
      m_name(name)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // The painted square leaves a thin see-through rim.
    WindowShape::install(this, nullptr, QMargins(1, 1, 1, 1));
    // A tile must not keep the program running once the panel has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(kSide, kSide);
    setWindowTitle(name);
    setToolTip(name);
    qreal ratio = qApp->devicePixelRatio();
    if (!position.isNull()) {
        move(position);
        if (const QScreen* s = QGuiApplication::screenAt(position))
            ratio = s->devicePixelRatio();
    } else if (const QScreen* s = screen()) {
        ratio = s->devicePixelRatio();
    }
    rescale(ratio);
}

void FloatIcon::rescale(qreal ratio)
{
    m_ratio = ratio > 0 ? ratio : 1;
    m_display = QPixmap();
    ++m_rescales;
    if (m_source.isNull())
        return;
    const int n = qMax(1, qRound(kPictureSide * m_ratio));
    if (m_source.width() == n && m_source.height() == n) {
        m_display = m_source;
    } else {
        // Enlarging is not smoothed, so small pictures stay sharp.
        const bool reduce = m_source.width() >= n && m_source.height() >= n;
        m_display = m_source.scaled(n, n, Qt::KeepAspectRatio,
                                    reduce ? Qt::SmoothTransformation : Qt::FastTransformation);
    }
    m_display.setDevicePixelRatio(m_ratio);
    update();
}

void FloatIcon::setItem(const QPixmap& pixmap, const QString& name)
{
    m_source = pixmap;
    m_name = name;
    setWindowTitle(name);
    setToolTip(name);
    rescale(m_ratio);
}

void FloatIcon::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF square(1.5, 1.5, width() - 3, height() - 3);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(square);
    p.setPen(QPen(currentTheme().c[kAccentSlot], m_hover ? 2.0 : 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(square);
    if (!m_display.isNull()) {
        const int w = qRound(m_display.width() / m_display.devicePixelRatio());
        const int h = qRound(m_display.height() / m_display.devicePixelRatio());
        p.drawPixmap(QRect((width() - w) / 2, (height() - h) / 2, w, h), m_display);
    }
}

void FloatIcon::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_dragging = false;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void FloatIcon::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed)
        return;
    const QPoint target = event->globalPosition().toPoint() - m_dragOffset;
    if (!m_dragging) {
        const QPoint d = target - frameGeometry().topLeft();
        if (std::abs(d.x()) + std::abs(d.y()) <= kDragThreshold)
            return;
        m_dragging = true;
    }
    move(target);
}

void FloatIcon::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool dragged = m_dragging;
    m_pressed = false;
    m_dragging = false;
    if (!dragged)
        Q_EMIT openRequested();
}

void FloatIcon::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    const QScreen* s = screen();
    const qreal ratio = s ? s->devicePixelRatio() : 1.0;
    if (ratio > 0 && std::abs(ratio - m_ratio) > 1e-12 * qMax(std::abs(ratio), std::abs(m_ratio)))
        rescale(ratio);
}

void FloatIcon::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    m_hover = true;
    update();
}

void FloatIcon::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hover = false;
    update();
}

void FloatIcon::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* open = menu.addAction(translate("打开"));
    menu.addSeparator();
    QAction* remove = menu.addAction(translate("取消悬浮"));
    QAction* removeAll = menu.addAction(translate("取消所有悬浮"));
    const QAction* chosen = menu.exec(event->globalPos());
    if (chosen == open)
        Q_EMIT openRequested();
    else if (chosen == remove)
        Q_EMIT removeRequested();
    else if (chosen == removeAll)
        Q_EMIT removeAllRequested();
}
