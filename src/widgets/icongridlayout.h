#pragma once

#include <QString>

#include <QPoint>
#include <QRect>

// Where everything of the icon grid goes, computed in one place so that
// painting, hit tests, keyboard scrolling and drops cannot disagree.
// Coordinates are content coordinates (the view plus the scroll offset)
// unless a function says otherwise.
struct GridGeometry {
    bool fixedColumns = false;
    int columns = 1;      // at least 1
    int cellWidth = 96;   // column pitch; the side of a cell with fixed columns
    int pitch = 112;      // row pitch
    int boxHeight = 104;  // height of a cell rectangle
    int margin = 8;       // space above the first row and left of the first column
    int count = 0;        // visible items
    int rows = 0;
    int maxScroll = 0;
    int iconSize = 48;
    bool showNames = true;
    int nameLineHeight = 16;

    // The cell rectangle of a position.
    QRect cellRect(int pos) const;
    // The position whose cell contains a content point, -1 if none.
    int positionAt(const QPoint& content) const;
    // Where a drop at a content point inserts.
    int insertIndexAt(const QPoint& content) const;
    // Positions worth painting for a view scrolled by scrollY and `height`
    // tall: [first, end).
    int firstPainted(int scrollY) const;
    int endPainted(int scrollY, int height) const;
    // scrollY after moving so that the cell of `pos` is in view.
    int scrollToShow(int pos, int scrollY, int height) const;

    // Inside a cell: the icon square and the top of the name box.
    int iconTop(const QRect& cell) const;
    int nameTop(const QRect& cell) const;
    // The name box: the cell without 4 px on either side, one or two lines
    // high.
    QRect nameBox(const QRect& cell) const;
};

// The geometry of `count` visible items in a view of width x height.
// `fixedColumns` 0 lays out automatically; 1..8 fixes the column count.
GridGeometry computeGridGeometry(int width, int height, int iconSize, bool showNames,
                                 int fixedColumns, int count, int nameLineHeight);

// The largest icon side setIconSize accepts for a layout: 96 with automatic
// columns, else what fits a fixed cell above its name (32..60).
int gridIconSizeLimit(int width, int fixedColumns, int nameLineHeight);

// Where a name shown on two lines breaks when its first `fits` characters
// fit the first line: at the last word boundary within them, so that no word
// is cut in two ("Network Connections" breaks before "Connections"); at
// `fits` itself when the first line holds no boundary (one long word, or
// text without spaces between words breaks between any two characters).
int nameLineBreak(const QString& name, int fits);
