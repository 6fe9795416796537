#include "widgets/bottombar.h"

#include "app/theme.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kBarSlot = 8;
constexpr int kGlyphSlot = 9;
constexpr int kHoverSlot = 13;
constexpr int kAccentSlot = 28;
const QColor kBadgeRed(0xE8, 0x11, 0x23);

} // namespace

BottomBar::BottomBar(QWidget* parent)
    : UiBtnBar(kBottomBarArea, parent)
{
    m_ids = {10, 9, 8, 7, 6, 5};
    setFixedHeight(28);
    relayout();
}

UiBtnBarLayout BottomBar::computeLayout() const
{
    return bottomBarLayout(m_ids, m_visible, size());
}

void BottomBar::setCornerRadius(int radius)
{
    m_radius = qBound(0, radius, 24);
    update();
}

void BottomBar::setBadgeCount(int count)
{
    count = qMax(0, count);
    if (count == m_badge)
        return;
    m_badge = count;
    repaintButton(uiBtnId(UiBtn::Feedback), 8);
}

QString BottomBar::badgeText(int count)
{
    return count > 99 ? QStringLiteral("99+") : QString::number(count);
}

QRectF BottomBar::badgeRect(const QRect& feedbackButton)
{
    const QPointF centre(feedbackButton.x() + feedbackButton.width() - 1, feedbackButton.top() + 2);
    return QRectF(centre.x() - 6.5, centre.y() - 6.5, 13, 13);
}

QPainterPath BottomBar::backgroundPath(QSize size, int cornerRadius)
{
    const qreal w = size.width();
    const qreal bottom = size.height() + 1;
    QPainterPath path;
    if (cornerRadius < 2) {
        path.addRect(QRectF(0, 0, w, bottom));
        return path;
    }
    const qreal r = qMax(0, cornerRadius - 1);
    path.moveTo(0, 0);
    path.lineTo(w, 0);
    path.lineTo(w, bottom - r);
    path.arcTo(QRectF(w - 2 * r, bottom - 2 * r, 2 * r, 2 * r), 0, -90);
    path.lineTo(r, bottom);
    path.arcTo(QRectF(0, bottom - 2 * r, 2 * r, 2 * r), 270, -90);
    path.closeSubpath();
    return path;
}

void BottomBar::hoverChanged(int)
{
    update();
}

void BottomBar::leaveEvent(QEvent* event)
{
    UiBtnBar::leaveEvent(event);
    m_hovered = -1;
    m_pressed = -1;
    m_pressTimer.stop();
    setToolTip(QString());
    updateTimers();
    update();
}

void BottomBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const ThemePalette& pal = currentTheme();
    p.fillPath(backgroundPath(size(), m_radius), pal.c[kBarSlot]);

    if (pal.dividerWidth >= 1) {
        QColor base = pal.c[kGlyphSlot];
        if (!pal.dividerSet)
            base.setAlpha(45);
        const QColor divider = themeDividerColor(base);
        if (divider.alpha() > 0)
            p.fillRect(QRect(1, 0, width() - 2, qMin(pal.dividerWidth, 4)), divider);
    }

    for (int id : m_geom.shown) {
        const QRect r = m_geom.rects[size_t(id)];
        const bool hovered = m_hovered == id;
        if (hovered) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kHoverSlot]);
            p.drawRoundedRect(QRectF(r.x() - 5, r.y() - 4, 28, 26), 6, 6);
        }
        const bool litAccent = m_lit[id]
            && (id == uiBtnId(UiBtn::Orientation) || id == uiBtnId(UiBtn::Pin) || id == uiBtnId(UiBtn::Obfuscation));
        paintButton(p, id, 18, false, hovered || litAccent ? pal.c[kAccentSlot] : pal.c[kGlyphSlot]);
    }
    paintDropBar(p);

    const int feedback = uiBtnId(UiBtn::Feedback);
    if (m_badge > 0 && isShown(feedback)) {
        const QRectF circle = badgeRect(m_geom.rects[size_t(feedback)]);
        p.setPen(QPen(Qt::white, 1.2));
        p.setBrush(kBadgeRed);
        p.drawEllipse(circle);
        QFont f(uiFontFamily());
        f.setPixelSize(8);
        f.setWeight(QFont::Bold);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(circle, Qt::AlignCenter, badgeText(m_badge));
    }
}
