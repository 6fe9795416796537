#include "widgets/lineglyphs.h"

#include "widgets/uibtn.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPainterPath polyline(std::initializer_list<QPointF> points, bool closed)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF& pt : points) {
        if (first)
            path.moveTo(pt);
        else
            path.lineTo(pt);
        first = false;
    }
    if (closed)
        path.closeSubpath();
    return path;
}

void drawEye(QPainter& p)
{
    QPainterPath lid;
    lid.moveTo(2.4, 8);
    lid.quadTo(8, 3.2, 13.6, 8);
    lid.quadTo(8, 12.8, 2.4, 8);
    p.drawPath(lid);
    p.drawEllipse(QRectF(6.2, 6.2, 3.6, 3.6));
}

} // namespace

void drawGlyph(QPainter& p, int type, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, 1.15, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (LineGlyph(type)) {
    case LineGlyph::Shield: {
        QPainterPath path;
        path.moveTo(8, 2.6);
        path.lineTo(12.8, 4.3);
        path.lineTo(12.8, 8.1);
        path.quadTo(12.8, 11.5, 8, 13.4);
        path.quadTo(3.2, 11.5, 3.2, 8.1);
        path.lineTo(3.2, 4.3);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case LineGlyph::Folder:
        p.drawPath(polyline({{2.6, 12.4}, {2.6, 5}, {6.9, 5}, {8.1, 6.5}, {13.4, 6.5}, {13.4, 12.4}}, true));
        break;
    case LineGlyph::Tiles:
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                p.drawRoundedRect(QRectF(2.7 + 6.1 * c, 2.7 + 6.1 * r, 4.5, 4.5), 1.1, 1.1);
        break;
    case LineGlyph::Pin:
        paintUiBtnGlyph(p, uiBtnId(UiBtn::Pin), QPointF(8, 8), colour, false, QColor(), false);
        break;
    case LineGlyph::Windows:
        p.drawRoundedRect(QRectF(2.6, 5.2, 8.2, 7.2), 1.6, 1.6);
        p.drawRoundedRect(QRectF(5.8, 3.4, 7.6, 6.4), 1.6, 1.6);
        break;
    case LineGlyph::ChevronUp:
        p.drawPath(polyline({{4.2, 10.3}, {8, 5.9}, {11.8, 10.3}}, false));
        break;
    case LineGlyph::ChevronDown:
        p.drawPath(polyline({{4.2, 5.7}, {8, 10.1}, {11.8, 5.7}}, false));
        break;
    case LineGlyph::Eye:
        drawEye(p);
        break;
    case LineGlyph::CrossedEye:
        drawEye(p);
        p.drawLine(QPointF(3, 12.8), QPointF(13, 3.2));
        break;
    case LineGlyph::Picture:
        p.drawRoundedRect(QRectF(2.6, 3.4, 10.8, 9.2), 1.8, 1.8);
        p.drawEllipse(QRectF(4.85, 5.35, 2.1, 2.1));
        p.drawPath(polyline({{3.8, 11.4}, {7.2, 7.9}, {9.8, 10.4}, {11.4, 8.9}, {12.6, 11.4}}, false));
        break;
    case LineGlyph::Pencil:
        p.drawPath(polyline({{3.4, 12.6}, {4.3, 9.4}, {10.6, 3}, {13, 5.4}, {6.6, 11.7}}, true));
        p.drawLine(QPointF(9.5, 4.1), QPointF(11.9, 6.5));
        break;
    case LineGlyph::Squares:
        p.drawRoundedRect(QRectF(2.9, 2.8, 7, 7), 1.4, 1.4);
        p.drawRoundedRect(QRectF(6.1, 6.1, 7, 7), 1.4, 1.4);
        break;
    case LineGlyph::Export:
        p.drawRoundedRect(QRectF(2.8, 8.4, 4.8, 4.8), 1.2, 1.2);
        p.drawLine(QPointF(7.9, 8.1), QPointF(12.9, 3.1));
        p.drawLine(QPointF(9.7, 3.1), QPointF(12.9, 3.1));
        p.drawLine(QPointF(12.9, 3.1), QPointF(12.9, 6.3));
        break;
    case LineGlyph::Bin: {
        const QLineF lines[] = {
            {2.9, 4.9, 13.1, 4.9}, {6.4, 2.9, 9.6, 2.9},   {4.6, 4.9, 5.3, 13.1}, {5.3, 13.1, 10.7, 13.1},
            {10.7, 13.1, 11.4, 4.9}, {6.9, 7.2, 7.1, 10.9}, {9.1, 7.2, 8.9, 10.9},
        };
        p.drawLines(lines, 7);
        break;
    }
    default:
        p.drawPath(polyline({{5.6, 3.8}, {11.4, 8}, {5.6, 12.2}}, true));
        break;
    }
    p.restore();
}

QIcon makeGlyphIcon(int type, const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    drawGlyph(p, type, colour);
    p.end();
    pixmap.setDevicePixelRatio(2);
    return QIcon(pixmap);
}
