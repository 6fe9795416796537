#include "widgets/icongridlayout.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// Floor division: a point left of or above the first cell must not fold
// into cell 0.
int floorDiv(int a, int b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int ceilDiv(int a, int b)
{
    return a > 0 ? (a + b - 1) / b : -((-a) / b);
}

} // namespace

GridGeometry computeGridGeometry(int width, int height, int iconSize, bool showNames,
                                 int fixedColumns, int count, int nameLineHeight)
{
    GridGeometry g;
    g.iconSize = iconSize;
    g.showNames = showNames;
    g.nameLineHeight = nameLineHeight;
    g.count = std::max(count, 0);
    if (fixedColumns > 0) {
        g.fixedColumns = true;
        g.columns = fixedColumns;
        g.cellWidth = std::max(width / fixedColumns, 60);
        g.pitch = g.cellWidth;
        g.boxHeight = g.cellWidth;
        g.margin = 0;
        g.rows = (g.count + g.columns - 1) / g.columns;
        g.maxScroll = std::max(g.rows * g.cellWidth - height, 0);
        return g;
    }
    const int minCell = std::max(iconSize + 16, 96);
    g.columns = std::max((width - 16) / minCell, 1);
    g.cellWidth = std::max((width - 16) / g.columns, minCell);
    g.boxHeight = showNames ? iconSize + 56 : iconSize + 16;
    g.pitch = g.boxHeight + 8;
    g.margin = 8;
    g.rows = (g.count + g.columns - 1) / g.columns;
    g.maxScroll = std::max(g.rows * g.pitch + 16 - height, 0);
    return g;
}

int gridIconSizeLimit(int width, int fixedColumns, int nameLineHeight)
{
    if (fixedColumns <= 0)
        return 96;
    const int cell = std::max(width / fixedColumns, 60);
    return std::clamp(cell - nameLineHeight - 14, 32, 60);
}

QRect GridGeometry::cellRect(int pos) const
{
    const int col = pos % columns;
    const int row = pos / columns;
    if (fixedColumns)
        return QRect(col * cellWidth, row * cellWidth, cellWidth, cellWidth);
    return QRect(margin + col * cellWidth, margin + row * pitch, cellWidth - 8, boxHeight);
}

int GridGeometry::positionAt(const QPoint& content) const
{
    if (count <= 0)
        return -1;
    const int col = floorDiv(content.x() - margin, cellWidth);
    const int row = floorDiv(content.y() - margin, pitch);
    if (col < 0 || col >= columns || row < 0)
        return -1;
    const int pos = row * columns + col;
    if (pos >= count || !cellRect(pos).contains(content))
        return -1;
    return pos;
}

int GridGeometry::insertIndexAt(const QPoint& content) const
{
    if (count <= 0)
        return 0;
    const int lastRow = (count - 1) / columns;
    const int row = std::clamp(floorDiv(content.y() - margin, pitch), 0, lastRow);
    const int start = row * columns;
    const int end = std::min(count, start + columns);
    for (int pos = start; pos < end; ++pos) {
        const QRect r = cellRect(pos);
        if ((r.left() + r.right()) / 2 > content.x())
            return pos;
    }
    return std::min(count, start + columns);
}

int GridGeometry::firstPainted(int scrollY) const
{
    return std::max((scrollY - margin) / pitch, 0) * columns;
}

int GridGeometry::endPainted(int scrollY, int height) const
{
    return std::min(count, columns * ((scrollY + height) / pitch + 2));
}

int GridGeometry::scrollToShow(int pos, int scrollY, int height) const
{
    const QRect r = cellRect(pos);
    const int top = r.top();
    const int bottom = r.top() + r.height();
    if (top - scrollY < margin) {
        const int steps = std::max(ceilDiv(margin + scrollY - top, pitch), 1);
        return std::max(scrollY - steps * pitch, 0);
    }
    if (bottom - scrollY > height) {
        const int steps = std::max(ceilDiv(bottom - scrollY - height, pitch), 1);
        return std::min(scrollY + steps * pitch, maxScroll);
    }
    return scrollY;
}

int GridGeometry::iconTop(const QRect& cell) const
{
    if (!fixedColumns)
        return cell.top() + 8;
    const int content = showNames ? iconSize + nameLineHeight + 6 : iconSize;
    const int spare = cell.height() - content;
    return cell.top() + (spare > 9 ? spare / 2 : 4);
}

int GridGeometry::nameTop(const QRect& cell) const
{
    if (!fixedColumns)
        return cell.top() + iconSize + 14;
    return iconTop(cell) + iconSize + 6;
}

QRect GridGeometry::nameBox(const QRect& cell) const
{
    const int lines = fixedColumns ? 1 : 2;
    return QRect(cell.left() + 4, nameTop(cell), cell.width() - 8, lines * nameLineHeight);
}

int nameLineBreak(const QString& name, int fits)
{
    if (fits <= 0 || fits >= name.size())
        return fits;
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, name);
    lines.setPosition(fits);
    if (lines.isAtBoundary())
        return fits;
    const qsizetype before = lines.toPreviousBoundary();
    return before > 0 ? int(before) : fits;
}
