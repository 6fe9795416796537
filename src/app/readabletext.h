#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QPainter;

// Text over a picture: whatever lies below, a thin halo in the colour
// opposite to the text's lightness keeps every glyph apart from it.
// Draws with the painter's font; `flags` as for QPainter::drawText.
void drawTextOverPicture(QPainter& p, const QRect& r, int flags, const QString& text, const QColor& colour);

// The halo's colour for text of `colour`: near-white under dark text,
// near-black under light text.
QColor pictureHaloColour(const QColor& colour);
