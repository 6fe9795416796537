#include "settings/settingsglyphs.h"

#include "app/lang.h"
#include "app/theme.h"
#include "settings/settingsstyle.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

using namespace settingsslot;

// Saves the painter and moves its origin to the glyph's centre.
class GlyphFrame {
public:
    GlyphFrame(QPainter& p, const QPointF& centre)
        : m_p(p)
    {
        m_p.save();
        m_p.setRenderHint(QPainter::Antialiasing, true);
        m_p.translate(centre);
    }
    ~GlyphFrame() { m_p.restore(); }
    GlyphFrame(const GlyphFrame&) = delete;
    GlyphFrame& operator=(const GlyphFrame&) = delete;

private:
    QPainter& m_p;
};

QPen navPen(const QColor& colour) { return QPen(colour, 1.3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin); }

QPen sectionPen(const QColor& colour) { return QPen(colour, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void paintGear(QPainter& p, const QColor& colour)
{
    QPainterPath ring;
    ring.setFillRule(Qt::OddEvenFill);
    ring.addEllipse(QRectF(-4.6, -4.6, 9.2, 9.2));
    ring.addEllipse(QRectF(-2, -2, 4, 4));
    p.fillPath(ring, colour);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.rotate(45.0 * i);
        p.drawRect(QRectF(-1, -6.4, 2, 2.4));
        p.restore();
    }
}

void paintPalette(QPainter& p, const QColor& colour)
{
    p.setPen(navPen(colour));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(-5.9, -5.4, 11.8, 10.8));
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (const QPointF& at : {QPointF(-3.55, -2.55), QPointF(0.05, -3.55), QPointF(1.45, -0.15)})
        p.drawEllipse(QRectF(at, QSizeF(2.3, 2.3)));
}

void paintTiles(QPainter& p, const QColor& colour)
{
    p.setPen(navPen(colour));
    p.setBrush(Qt::NoBrush);
    for (const QPointF& at : {QPointF(-5.5, -5.5), QPointF(1.1, -5.5), QPointF(-5.5, 1.1), QPointF(1.1, 1.1)})
        p.drawRoundedRect(QRectF(at, QSizeF(4.4, 4.4)), 1, 1);
}

void paintShield(QPainter& p, const QColor& colour)
{
    QPainterPath path;
    path.moveTo(0, -6);
    path.lineTo(5.2, -4);
    path.lineTo(5.2, 0.4);
    path.quadTo(4.6, 4.2, 0, 6);
    path.quadTo(-4.6, 4.2, -5.2, 0.4);
    path.lineTo(-5.2, -4);
    path.closeSubpath();
    p.setPen(navPen(colour));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void paintInformation(QPainter& p, const QColor& colour)
{
    p.setPen(navPen(colour));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(-6, -6, 12, 12));
    p.setPen(QPen(colour, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -1.2), QPointF(0, 2.6));
    p.drawPoint(QPointF(0, -3.4));
}

void drawCross(QPainter& p, const QRectF& r, double width, double inset)
{
    p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + inset, r.top() + inset), QPointF(r.right() - inset, r.bottom() - inset));
    p.drawLine(QPointF(r.right() - inset, r.top() + inset), QPointF(r.left() + inset, r.bottom() - inset));
}

} // namespace

void paintNavGlyph(QPainter& p, int page, const QPointF& centre, const QColor& colour)
{
    if (page == 6) {
        paintBackupGlyph(p, 0, centre, colour);
        return;
    }
    GlyphFrame frame(p, centre);
    switch (page) {
    case 0: paintGear(p, colour); break;
    case 1: paintPalette(p, colour); break;
    case 3: paintTiles(p, colour); break;
    case 5: paintShield(p, colour); break;
    default: paintInformation(p, colour); break;
    }
}

void paintBackupGlyph(QPainter& p, int variant, const QPointF& centre, const QColor& colour)
{
    GlyphFrame frame(p, centre);
    p.setPen(navPen(colour));
    p.setBrush(Qt::NoBrush);
    if (variant == 1) {
        p.drawEllipse(QRectF(-5, -4.9, 10, 3.4));
        p.drawLine(QPointF(-5, -3.2), QPointF(-5, 3.2));
        p.drawLine(QPointF(5, -3.2), QPointF(5, 3.2));
        p.drawArc(QRectF(-5, 1.5, 10, 3.4), 0, -180 * 16);
        return;
    }
    QPainterPath cloud;
    cloud.moveTo(-5, 3.6);
    cloud.lineTo(5, 3.6);
    cloud.lineTo(5, 1.8);
    cloud.quadTo(4.6, 0.4, 3.2, 0.6);
    cloud.quadTo(2.6, -1.6, 0.6, -0.8);
    cloud.quadTo(-1.8, -1.6, -2.6, 0.2);
    cloud.quadTo(-4.4, 0.2, -4.6, 1.8);
    cloud.lineTo(-5, 1.8);
    cloud.closeSubpath();
    p.drawPath(cloud);
    p.drawLine(QPointF(0, -6.4), QPointF(0, -3.4));
    p.drawLine(QPointF(-1.8, -4.8), QPointF(0, -3.4));
    p.drawLine(QPointF(1.8, -4.8), QPointF(0, -3.4));
}

void paintSectionGlyph(QPainter& p, const QPointF& centre, const QColor& colour, int glyph)
{
    GlyphFrame frame(p, centre);
    p.setPen(sectionPen(colour));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case 1: {
        QPainterPath path;
        path.moveTo(-4, 4);
        path.lineTo(-4, -1);
        path.arcTo(QRectF(-4, -4, 8, 6), 180, 180);
        path.lineTo(4, 4);
        p.drawPath(path);
        p.drawLine(QPointF(-2.2, 4), QPointF(-2.2, 1.8));
        p.drawLine(QPointF(2.2, 4), QPointF(2.2, 1.8));
        break;
    }
    case 2:
        p.drawArc(QRectF(-4, -4, 8, 8), 300 * 16, 300 * 16);
        p.drawLine(QPointF(0, -5.2), QPointF(0, -0.6));
        break;
    case 3: {
        const QPointF pts[] = {{-2.8, -4.4}, {3.4, 0.6}, {0.4, 1}, {1.8, 4.2}, {0.4, 4.8}, {-1, 1.8}, {-2.8, 3.2}};
        p.drawPolygon(pts, 7);
        break;
    }
    case 4: {
        const QRectF circle(-4.2, -4.2, 8.4, 8.4);
        p.drawEllipse(circle);
        QPainterPath half;
        half.arcMoveTo(circle, 90);
        half.arcTo(circle, 90, -180);
        half.closeSubpath();
        p.fillPath(half, colour);
        break;
    }
    case 5:
        for (const QPointF& at : {QPointF(-4.6, -4.6), QPointF(0.7, -4.6), QPointF(-4.6, 0.7), QPointF(0.7, 0.7)})
            p.drawRoundedRect(QRectF(at, QSizeF(3.9, 3.9)), 1.1, 1.1);
        break;
    case 6:
        p.drawLine(QPointF(-4.6, -2.2), QPointF(4.6, -2.2));
        p.drawLine(QPointF(-4.6, 2.2), QPointF(4.6, 2.2));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QRectF(-0.1, -3.9, 3.4, 3.4));
        p.drawEllipse(QRectF(-3.3, 0.5, 3.4, 3.4));
        break;
    case 7:
        p.drawEllipse(QRectF(-4.2, -5, 8.4, 3.2));
        p.drawLine(QPointF(-4.2, -3.4), QPointF(-4.2, 3.4));
        p.drawLine(QPointF(4.2, -3.4), QPointF(4.2, 3.4));
        p.drawArc(QRectF(-4.2, 1.8, 8.4, 3.2), 180 * 16, 180 * 16);
        p.drawArc(QRectF(-4.2, -0.8, 8.4, 3.2), 180 * 16, 180 * 16);
        break;
    case 8:
        p.drawEllipse(QRectF(-4.6, -4.6, 9.2, 9.2));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(QRectF(-0.9, -2.9, 1.8, 1.8));
        p.setPen(sectionPen(colour));
        p.drawLine(QPointF(0, 0.4), QPointF(0, 2.6));
        break;
    case 9:
        p.drawEllipse(QRectF(-4.8, -4.8, 9.6, 9.6));
        p.drawLine(QPointF(0, 0), QPointF(0, -2.8));
        p.drawLine(QPointF(0, 0), QPointF(2.1, 1.3));
        p.drawLine(QPointF(-2.6, -4.3), QPointF(-2.6, -5.6));
        p.drawLine(QPointF(2.6, -4.3), QPointF(2.6, -5.6));
        break;
    case 10: {
        p.drawRoundedRect(QRectF(-1.8, -5, 6.6, 8.6), 1, 1);
        const QPointF pts[] = {{-4.8, -3.4}, {1, -3.4}, {2.8, -1.6}, {2.8, 4.8}, {-4.8, 4.8}};
        p.drawPolygon(pts, 5);
        p.drawLine(QPointF(1, -3.4), QPointF(1, -1.6));
        p.drawLine(QPointF(1, -1.6), QPointF(2.8, -1.6));
        break;
    }
    default:
        p.drawRoundedRect(QRectF(-4.8, -3.8, 9.6, 7.6), 1.6, 1.6);
        p.drawLine(QPointF(-4.8, -1.5), QPointF(4.8, -1.5));
        break;
    }
}

// ---------------------------------------------------------------- buttons

namespace {

void paintOutlinedButton(QPainter& p, const ThemePalette& pal, const QRect& r, const QString& text, const QFont& font,
                         const QColor& fill)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.setFont(font);
    p.setPen(pal.c[kBodyText]);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

QColor stateFill(const ThemePalette& pal, const QColor& base, int id, int hoverId, int pressedId)
{
    if (id >= 0 && id == pressedId)
        return pal.c[kPressed];
    if (id >= 0 && id == hoverId)
        return pal.c[kHover];
    return base;
}

} // namespace

void PageButtonPainter::about(const QRect& r, const QString& text, int id) const
{
    paintOutlinedButton(p, pal, r, text, font, stateFill(pal, base, id, hoverId, pressedId));
}

void PageButtonPainter::protect(const QRect& r, const QString& text, int id) const
{
    const QColor own = pal.isDark ? QColor(0x33, 0x33, 0x33) : QColor(0xF7, 0xF7, 0xF9);
    paintOutlinedButton(p, pal, r, text, font, stateFill(pal, own, id, hoverId, pressedId));
}

void PageButtonPainter::backup(const QRect& r, const QString& text, int id, bool primary) const
{
    if (!primary) {
        about(r, text, id);
        return;
    }
    QColor fill = pal.c[kAccent];
    if (id >= 0 && id == pressedId)
        fill = pal.c[kAccent].darker(115);
    else if (id >= 0 && id == hoverId)
        fill = pal.c[kAccentHover];
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r), 6, 6);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

void paintBackupCard(QPainter& p, const ThemePalette& pal, const BackupCardGeometry& g, const QColor& cardColour,
                     const QColor& separatorColour, const QFont& titleFont, const QFont& smallFont,
                     const QString& title, int glyph, const QString& subtitle)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(cardColour);
    p.drawRoundedRect(QRectF(g.card).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    paintSectionGlyph(p, g.glyphCentre, pal.c[kAccent], glyph);
    p.setFont(titleFont);
    p.setPen(pal.c[kBodyText]);
    p.drawText(g.titleRect, Qt::AlignLeft | Qt::AlignVCenter, translate(title));
    if (!subtitle.isEmpty()) {
        p.setFont(smallFont);
        p.setPen(pal.c[kSecondaryText]);
        const QString text = QFontMetrics(smallFont).elidedText(translate(subtitle), Qt::ElideRight, g.subtitleRect.width());
        p.drawText(g.subtitleRect, Qt::AlignRight | Qt::AlignVCenter, text);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(separatorColour, 1));
    p.drawLine(g.card.left() + 20, g.separatorY, g.card.right() - 20, g.separatorY);
    p.restore();
}

void paintIconUploadSlot(QPainter& p, const ThemePalette& pal, const QColor& fill, const QFont& font,
                         const IconUploadSlot& slot, int hoverId, int pressedId)
{
    const int x = slot.pos.x();
    const int y = slot.pos.y();
    const bool hovered = slot.slotId >= 0 && hoverId == slot.slotId;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(hovered ? pal.c[kAccentHover] : pal.c[kControlBorder], 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(x + 0.5, y + 0.5, 27, 27), 6, 6);

    const QPixmap icon = loadScaledPixmapCached(slot.iconPath, QSize(28, 28), QStringLiteral("iconrowup"), true);
    if (icon.isNull()) {
        const QColor plus = hovered ? pal.c[kAccentHover] : pal.c[kSecondaryText];
        p.setPen(QPen(plus, 1.2, Qt::SolidLine, Qt::RoundCap));
        const double cx = x + 14;
        const double cy = y + 14;
        p.drawLine(QPointF(cx - 4.5, cy), QPointF(cx + 4.5, cy));
        p.drawLine(QPointF(cx, cy - 4.5), QPointF(cx, cy + 4.5));
    } else {
        p.save();
        QPainterPath clip;
        clip.addRoundedRect(QRectF(x + 1, y + 1, 26, 26), 5, 5);
        p.setClipPath(clip);
        p.drawPixmap(QRect(x, y, 28, 28), icon);
        p.restore();
        const QRectF dot(x + 16, y - 5, 16, 16);
        QColor dotFill(0xE8, 0x11, 0x23);
        if (slot.removeId >= 0 && pressedId == slot.removeId)
            dotFill = QColor(0xA5, 0x0C, 0x18);
        else if (slot.removeId >= 0 && hoverId == slot.removeId)
            dotFill = QColor(0xF2, 0x33, 0x44);
        p.setPen(QPen(pal.isDark ? QColor(0x2B, 0x2B, 0x2B) : QColor(Qt::white), 1.5));
        p.setBrush(dotFill);
        p.drawEllipse(dot);
        drawCross(p, dot, 1.8, 5);
    }
    if (!slot.label.isEmpty()) {
        // A longer caption takes a size or two less before it is elided.
        const QRect labelRect(x + 32, y, slot.labelWidth, 28);
        QFont fitted = font;
        while (fitted.pixelSize() > 9 && QFontMetrics(fitted).horizontalAdvance(slot.label) > labelRect.width())
            fitted.setPixelSize(fitted.pixelSize() - 1);
        p.setFont(fitted);
        p.setPen(hovered ? pal.c[kAccentHover] : pal.c[kSecondaryText]);
        p.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(fitted).elidedText(slot.label, Qt::ElideRight, labelRect.width()));
    }
    p.restore();
}

void selectClearChipWidths(int* selectWidth, int* clearWidth)
{
    const QFontMetrics& fm = settingsFont13Metrics();
    if (selectWidth)
        *selectWidth = std::max(40, fm.horizontalAdvance(translate(u"选择")) + 14);
    if (clearWidth)
        *clearWidth = std::max(40, fm.horizontalAdvance(translate(u"清除")) + 14);
}
