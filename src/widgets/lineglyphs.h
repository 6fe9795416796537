#pragma once

#include <QColor>
#include <QIcon>

class QPainter;

// Small outline glyphs for the settings dialog's pages and buttons and for
// menus. Each fits a 16 x 16 box.
enum class LineGlyph : int {
    Triangle = 0, // also what any unknown type draws
    Shield = 1,
    Folder = 2,
    Tiles = 3,
    Pin = 4,
    Windows = 5,
    ChevronUp = 6,
    ChevronDown = 7,
    Eye = 8,
    CrossedEye = 9,
    Picture = 10,
    Pencil = 11,
    Squares = 12,
    Export = 13,
    Bin = 14,
};

// Draws glyph `type` in the 16 x 16 box at the painter's transform, as an
// outline in `colour`. Types outside 1..14 draw the triangle.
void drawGlyph(QPainter& p, int type, const QColor& colour);

// The glyph as a crisp icon: one 16 x 16 logical image at ratio 2 on a
// transparent background.
QIcon makeGlyphIcon(int type, const QColor& colour);
