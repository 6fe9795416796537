#include "widgets/gearmenupopup.h"

#include "app/lang.h"
#include "app/theme.h"
#include "app/windowshape.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kPanelSlot = 1;
constexpr int kHoverSlot = 13;
constexpr int kTextSlot = 16;
constexpr int kIconSlot = 18;
constexpr int kAccentSlot = 28;
constexpr int kBorderSlot = 32;

const char* const kRowTexts[GearMenuPopup::kRows] = {"登录", "设置", "访问官网", "检查更新", "退出账户"};

void drawRowIcon(QPainter& p, int row, const QPointF& c, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const double cx = c.x();
    const double cy = c.y();
    switch (row) {
    case GearMenuPopup::SignIn: {
        p.drawEllipse(QPointF(cx, cy - 2.4), 2.6, 2.6);
        QPainterPath shoulders;
        shoulders.arcMoveTo(QRectF(cx - 4.4, cy - 0.4, 8.8, 6.6), 180);
        shoulders.arcTo(QRectF(cx - 4.4, cy - 0.4, 8.8, 6.6), 180, -180);
        p.drawPath(shoulders);
        break;
    }
    case GearMenuPopup::OpenSettings:
        p.drawEllipse(c, 3.2, 3.2);
        for (int k = 0; k < 7; ++k) {
            const double a = qDegreesToRadians(k * 360.0 / 7 - 90);
            const QPointF v(std::cos(a), std::sin(a));
            p.drawLine(c + 3.2 * v, c + 4.9 * v);
        }
        p.drawEllipse(c, 1.1, 1.1);
        break;
    case GearMenuPopup::VisitWebsite:
        p.drawLine(QPointF(cx - 4.4, cy - 0.6), QPointF(cx, cy - 4.4));
        p.drawLine(QPointF(cx, cy - 4.4), QPointF(cx + 4.4, cy - 0.6));
        p.drawRect(QRectF(cx - 3, cy - 0.4, 6, 4.6));
        break;
    case GearMenuPopup::CheckUpdates:
        p.drawLine(QPointF(cx, cy + 4.2), QPointF(cx, cy - 4));
        p.drawLine(QPointF(cx - 3, cy - 1.2), QPointF(cx, cy - 4.2));
        p.drawLine(QPointF(cx, cy - 4.2), QPointF(cx + 3, cy - 1.2));
        break;
    case GearMenuPopup::SignOut:
        p.drawLine(QPointF(cx - 4.2, cy - 4.2), QPointF(cx - 1.4, cy - 4.2));
        p.drawLine(QPointF(cx - 4.2, cy - 4.2), QPointF(cx - 4.2, cy + 4.2));
        p.drawLine(QPointF(cx - 4.2, cy + 4.2), QPointF(cx - 1.4, cy + 4.2));
        p.drawLine(QPointF(cx - 0.8, cy), QPointF(cx + 4.4, cy));
        p.drawLine(QPointF(cx + 2.2, cy - 2.2), QPointF(cx + 4.4, cy));
        p.drawLine(QPointF(cx + 4.4, cy), QPointF(cx + 2.2, cy + 2.2));
        break;
    }
    p.restore();
}

} // namespace

GearMenuPopup::GearMenuPopup(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return 8.0; });
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    const QFontMetrics fm(menuFont());
    int widest = 0;
    for (const char* text : kRowTexts)
        widest = qMax(widest, fm.horizontalAdvance(translate(text)));
    const int w = widthFor(widest);
    setFixedSize(w, 176);
    for (int i = 0; i < kRows; ++i)
        m_rows[size_t(i)] = QRect(8, 8 + 32 * i, w - 16, 32);
}

QFont GearMenuPopup::menuFont() const
{
    QFont f(uiFontFamily());
    f.setPixelSize(12);
    return f;
}

QString GearMenuPopup::rowText(int row) const
{
    if (row == SignIn && !m_userName.isEmpty()) {
        const QFontMetrics fm(menuFont());
        if (fm.horizontalAdvance(m_userName) >= width() - 43)
            return fm.elidedText(m_userName, Qt::ElideRight, width() - 44);
        return m_userName;
    }
    return translate(kRowTexts[row]);
}

int GearMenuPopup::rowAt(const QPoint& pt) const
{
    for (int i = 0; i < kRows; ++i)
        if (m_rows[size_t(i)].contains(pt))
            return i;
    return -1;
}

void GearMenuPopup::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const ThemePalette& pal = currentTheme();
    p.setPen(QPen(pal.c[kBorderSlot], 1));
    p.setBrush(pal.c[kPanelSlot]);
    p.drawRoundedRect(QRectF(rect()), 8, 8);
    p.setFont(menuFont());
    for (int i = 0; i < kRows; ++i) {
        const QRect row = m_rows[size_t(i)];
        const bool hovered = i == m_hovered;
        if (hovered) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kHoverSlot]);
            p.drawRoundedRect(QRectF(row), 6, 6);
        }
        const QColor icon = hovered ? pal.c[kAccentSlot] : pal.c[kIconSlot];
        const QColor text = hovered ? pal.c[kAccentSlot] : pal.c[kTextSlot];
        const QRectF box(row.x() + 4, row.y() + (31 - 13) / 2, 14, 14);
        drawRowIcon(p, i, box.center(), icon);
        p.setPen(text);
        p.drawText(QRect(QPoint(row.x() + 26, row.y()), QPoint(row.right() - 2, row.bottom())),
                   Qt::AlignLeft | Qt::AlignVCenter, rowText(i));
        if (i <= OpenSettings) {
            p.setPen(QPen(pal.c[kBorderSlot], 1));
            p.drawLine(QPointF(row.x() + 4, row.bottom() + 0.5), QPointF(row.right() - 4, row.bottom() + 0.5));
        }
    }
}

void GearMenuPopup::mouseMoveEvent(QMouseEvent* event)
{
    const int row = rowAt(event->position().toPoint());
    if (row != m_hovered) {
        m_hovered = row;
        update();
    }
}

void GearMenuPopup::mousePressEvent(QMouseEvent* event)
{
    const int row = rowAt(event->position().toPoint());
    if (row < 0) {
        hide();
        return;
    }
    m_hovered = -1;
    Q_EMIT actionRequested(row);
}

void GearMenuPopup::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    m_hovered = -1;
    update();
    hide();
}
