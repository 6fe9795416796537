#include "panel/borderframe.h"

#include "app/theme.h"

#include <QPainter>

namespace {
constexpr int kOutlineSlot = 3;
constexpr int kDividerSlot = 7;
constexpr int kDefaultDividerAlpha = 45;
} // namespace

BorderFrame::BorderFrame(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BorderFrame::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.isValid() ? color : pal.c[kOutlineSlot], 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), radius, radius);

    const int dividerWidth = qMin(pal.dividerWidth, 4);
    if (dividerWidth <= 0)
        return;
    QColor fallback = pal.c[kDividerSlot];
    if (!pal.dividerSet)
        fallback.setAlpha(kDefaultDividerAlpha);
    const QColor divider = themeDividerColor(fallback);
    if (divider.alpha() > 0)
        p.fillRect(QRect(1, titleHeight, width() - 2, dividerWidth), divider);
}
