#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QString>

class QPainter;
struct ThemePalette;

// The small vector pictures of the settings dialog. Coordinates are logical
// pixels around the centre, so they stay sharp at every screen scale and
// take the colour of their state.

// The glyph of a navigation entry: 0 gear, 1 palette, 3 tiles, 5 shield,
// 6 cloud, anything else the information sign.
void paintNavGlyph(QPainter& p, int page, const QPointF& centre, const QColor& colour);
// Variant 0 is the backup page's navigation glyph, 1 a drum-shaped
// alternative.
void paintBackupGlyph(QPainter& p, int variant, const QPointF& centre, const QColor& colour);
// The glyph at the head of a section card, numbers 0..10; others draw 0.
void paintSectionGlyph(QPainter& p, const QPointF& centre, const QColor& colour, int glyph);

// Button painters of the page painters, bound to what every button of a
// page shares: the painter, the palette, the dialog's hovered and pressed
// element ids, the page's base fill and its font.
struct PageButtonPainter {
    QPainter& p;
    const ThemePalette& pal;
    int hoverId = -1;
    int pressedId = -1;
    QColor base;
    QFont font;

    void about(const QRect& r, const QString& text, int id) const;
    void protect(const QRect& r, const QString& text, int id) const;
    void backup(const QRect& r, const QString& text, int id, bool primary) const;
};

// Where the parts of one card of the backup page sit; the backup page's
// layout fills it.
struct BackupCardGeometry {
    QRect card;
    QPointF glyphCentre;
    QRect titleRect;
    QRect subtitleRect;
    int separatorY = 0;
};

// A card of the backup page: rounded frame, section glyph, title, the
// subtitle at the right and a separator line under the title row.
void paintBackupCard(QPainter& p, const ThemePalette& pal, const BackupCardGeometry& g, const QColor& cardColour,
                     const QColor& separatorColour, const QFont& titleFont, const QFont& smallFont,
                     const QString& title, int glyph, const QString& subtitle);

// The 28 x 28 custom-icon slot of the icon lists at (x, y): a plus sign, or
// the picture with its red remove dot; the label beside it when not empty.
struct IconUploadSlot {
    QPoint pos;
    QString label;
    QString iconPath;
    int slotId = -1;
    int removeId = -1;
    // Room for the caption right of the tile, up to the next control.
    int labelWidth = 58;
};
void paintIconUploadSlot(QPainter& p, const ThemePalette& pal, const QColor& fill, const QFont& font,
                         const IconUploadSlot& slot, int hoverId, int pressedId);

// Widths of the "选择" and "清除" chips in the 13 px font, at least 40 each.
void selectClearChipWidths(int* selectWidth, int* clearWidth);
