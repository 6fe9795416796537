#include "app/readabletext.h"

#include <QPainter>

#include <cmath>

QColor pictureHaloColour(const QColor& colour)
{
    // Relative luminance decides, as contrast is measured on it.
    const auto lin = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const qreal l = 0.2126 * lin(colour.redF()) + 0.7152 * lin(colour.greenF()) + 0.0722 * lin(colour.blueF());
    return l < 0.18 ? QColor(255, 255, 255, 225) : QColor(0, 0, 0, 200);
}

void drawTextOverPicture(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& colour)
{
    p.save();
    p.setPen(pictureHaloColour(colour));
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (dx != 0 || dy != 0)
                p.drawText(r.translated(dx, dy), flags, text);
        }
    }
    p.setPen(colour);
    p.drawText(r, flags, text);
    p.restore();
}
