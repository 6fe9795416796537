// Painting of the sidebar in both layouts. Every rectangle comes from the
// sidebar's one layout (SidebarLayout).
#include "widgets/sidebar.h"

#include "app/lang.h"
#include "app/readabletext.h"
#include "app/theme.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

QColor dividerBand(const ThemePalette& pal, int* width)
{
    *width = std::min(pal.dividerWidth, 4);
    return themeDividerColor(pal.c[12]);
}

void paintLineButton(QPainter& p, const QRect& button, bool overflow, const QColor& color)
{
    const QPointF c = QRectF(button).center();
    p.save();
    p.setBrush(Qt::NoBrush);
    if (overflow) {
        p.setPen(QPen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF pts[3] = {c + QPointF(-3.5, -1.5), c + QPointF(0, 2.5), c + QPointF(3.5, -1.5)};
        p.drawPolyline(pts, 3);
    } else {
        p.setPen(QPen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
        p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
        p.drawLine(c + QPointF(0, -4), c + QPointF(0, 4));
    }
    p.restore();
}

} // namespace

void Sidebar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const SidebarLayout l = layoutNow();
    if (m_compact)
        paintCompact(p, l);
    else
        paintNormal(p, l);
}

void Sidebar::paintNormal(QPainter& p, const SidebarLayout& l)
{
    const ThemePalette& pal = currentTheme();
    const int W = width();
    const int H = height();

    QPainterPath bg;
    const qreal r = m_cornerRadius > 1 ? m_cornerRadius - 1 : 0;
    bg.moveTo(1, 0);
    bg.lineTo(W, 0);
    bg.lineTo(W, H);
    if (r > 0) {
        bg.lineTo(1 + r, H);
        bg.arcTo(QRectF(1, H - 2 * r, 2 * r, 2 * r), 270, -90);
    } else {
        bg.lineTo(1, H);
    }
    bg.closeSubpath();
    p.fillPath(bg, pal.c[11]);

    int dw = 0;
    const QColor dc = dividerBand(pal, &dw);
    if (dw >= 1 && dc.alpha() > 0)
        p.fillRect(QRect(W - dw, 0, dw, H), dc);

    if (!m_groups)
        return;
    m_scrollY = l.clampScroll(m_scrollY);
    const int currentIndex = m_currentGroup ? *m_currentGroup : -1;
    p.save();
    p.setClipRect(QRect(0, SidebarLayout::kListTop, W, std::max(l.listHeight, 0)));
    p.translate(0, -m_scrollY);
    p.setFont(m_nameFont);
    const QFontMetrics fm(m_nameFont);
    for (int i = l.firstPaintedRow(m_scrollY); i <= l.lastPaintedRow(m_scrollY); ++i) {
        const QRect row = l.rowRect(i);
        QColor fill;
        if (i == m_dropTarget)
            fill = pal.c[15];
        else if (i == currentIndex)
            fill = pal.c[14];
        else if (i == m_hoverRow)
            fill = pal.c[13];
        if (fill.isValid()) {
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(row, 8, 8);
        }
        if (i == m_dropTarget) {
            p.setPen(QPen(pal.c[28], 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(row, 8, 8);
        }
        const QString name = fm.elidedText(translate(m_groups->at(i).name), Qt::ElideRight, W - 62);
        const QRect nameRect(20, row.top(), W - 43 - 20, row.height());
        const QRect countRect(8, row.top(), W - 21 - 8, row.height());
        const QString count = QString::number(m_groups->at(i).items.size());
        const QColor nameColour = i == currentIndex ? pal.c[17] : pal.c[16];
        // A picture shows through unless the list or the row is opaque.
        const bool picture = m_overPicture && pal.c[11].alpha() < 255 && (!fill.isValid() || fill.alpha() < 255);
        if (picture) {
            drawTextOverPicture(p, nameRect, Qt::AlignLeft | Qt::AlignVCenter, name, nameColour);
            drawTextOverPicture(p, countRect, Qt::AlignRight | Qt::AlignVCenter, count, pal.c[18]);
        } else {
            p.setPen(nameColour);
            p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
            p.setPen(pal.c[18]);
            p.drawText(countRect, Qt::AlignRight | Qt::AlignVCenter, count);
        }
    }
    p.restore();

    const QRectF thumb = l.thumbRect(m_scrollY);
    if (!thumb.isNull()) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.c[19]);
        p.drawRoundedRect(thumb, 1.5, 1.5);
    }

    if (!l.newGroupButton.isNull()) {
        p.setPen(QPen(pal.c[22], 1));
        p.setBrush(m_hoverButton == 1 ? pal.c[21] : pal.c[20]);
        p.drawRoundedRect(l.newGroupButton, 8, 8);
        p.setPen(pal.c[16]);
        p.setFont(m_nameFont);
        p.drawText(l.newGroupButton, Qt::AlignCenter, translate("＋  新建分组"));
    }
}

void Sidebar::paintCompact(QPainter& p, const SidebarLayout& l)
{
    const ThemePalette& pal = currentTheme();
    const int W = width();
    const int H = height();
    p.fillRect(QRect(1, 0, W - 2, H), pal.c[11]);
    int dw = 0;
    const QColor dc = dividerBand(pal, &dw);
    if (dw >= 1 && dc.alpha() > 0)
        p.fillRect(QRect(1, H - dw, W - 2, dw), dc);

    const int currentIndex = m_currentGroup ? *m_currentGroup : -1;
    p.setFont(m_nameFont);
    const QFontMetrics fm(m_nameFont);
    for (int i = 0; i < l.tabBoxes.size(); ++i) {
        const QRect box = l.tabBoxes.at(i);
        if (i == m_dropTarget) {
            p.setPen(QPen(pal.c[28], 2));
            p.setBrush(pal.c[15]);
            p.drawRoundedRect(l.tabHitRect(i), 8, 8);
        }
        if (i == currentIndex)
            p.fillRect(QRect(box.left(), 32, box.width(), 2), pal.c[28]);
        const QColor colour = i == currentIndex ? pal.c[28] : pal.c[16];
        const QString name = fm.elidedText(translate(m_groups->at(i).name), Qt::ElideRight, box.width());
        if (m_overPicture && pal.c[11].alpha() < 255) {
            drawTextOverPicture(p, box, Qt::AlignCenter, name, colour);
        } else {
            p.setPen(colour);
            p.drawText(box, Qt::AlignCenter, name);
        }
    }
    if (l.hasOverflow)
        paintLineButton(p, l.overflowButton, true, m_hoverButton == 2 ? pal.c[28] : pal.c[16]);
    paintLineButton(p, l.plusButton, false, m_hoverButton == 1 ? pal.c[28] : pal.c[16]);
}
