#include "widgets/sidebarlayout.h"

#include <algorithm>

SidebarLayout computeSidebarLayout(QSize size, bool compact, bool showNewGroupButton, int count,
                                   const QList<int>& tabWidths)
{
    SidebarLayout l;
    l.compact = compact;
    l.width = size.width();
    l.height = size.height();
    l.count = std::max(count, 0);
    const int W = l.width;
    const int H = l.height;
    if (!compact) {
        l.listHeight = showNewGroupButton ? H - 60 : H - 22;
        l.maxScroll = std::max(l.count * SidebarLayout::kRowPitch - std::max(l.listHeight, 0), 0);
        if (showNewGroupButton && H > 119)
            l.newGroupButton = QRect(QPoint(10, H - 42), QPoint(W - 11, H - 11));
        l.firstHiddenTab = l.count;
        return l;
    }

    l.plusButton = QRect(QPoint(W - 20, 14), QPoint(W - 9, 25));
    l.newGroupButton = l.plusButton;
    int x = 8;
    int lastEnd = 8;
    for (int i = 0; i < l.count; ++i) {
        const int w = i < tabWidths.size() ? tabWidths.at(i) : 56;
        lastEnd = x + w;
        x += w + 10;
    }
    const bool allFit = l.count == 0 || lastEnd < W - 25;
    const int limit = allFit ? W - 26 : W - 44;
    l.hasOverflow = !allFit;
    if (l.hasOverflow)
        l.overflowButton = QRect(QPoint(W - 38, 14), QPoint(W - 27, 25));
    x = 8;
    l.firstHiddenTab = l.count;
    for (int i = 0; i < l.count; ++i) {
        const int w = i < tabWidths.size() ? tabWidths.at(i) : 56;
        if (x + w > limit) {
            l.firstHiddenTab = i;
            break;
        }
        l.tabBoxes.append(QRect(x, 5, w, 30));
        x += w + 10;
    }
    return l;
}

QRect SidebarLayout::rowRect(int i) const
{
    return QRect(8, kRowPitch * i + kListTop, width - 16, 30);
}

QRect SidebarLayout::rowHitRect(int i) const
{
    return QRect(8, kRowPitch * i + kListTop, width - 15, 31);
}

int SidebarLayout::clampScroll(int scrollY) const
{
    return std::clamp(scrollY, 0, maxScroll);
}

int SidebarLayout::firstPaintedRow(int scrollY) const
{
    return std::max(scrollY / kRowPitch - 1, 0);
}

int SidebarLayout::lastPaintedRow(int scrollY) const
{
    return std::min((listHeight + scrollY) / kRowPitch + 1, count - 1);
}

QRectF SidebarLayout::thumbRect(int scrollY) const
{
    if (compact || maxScroll <= 0 || listHeight <= 8)
        return QRectF();
    double track = listHeight - 4;
    const double thumb = std::max(track * listHeight / (maxScroll + listHeight), 24.0);
    track -= thumb;
    return QRectF(width - 6, clampScroll(scrollY) * track / maxScroll + 12, 3, thumb);
}

QRect SidebarLayout::tabHitRect(int i) const
{
    if (i < 0 || i >= tabBoxes.size())
        return QRect();
    return tabBoxes.at(i).adjusted(-3, 0, 3, 0);
}

int SidebarLayout::groupAt(const QPoint& p, int scrollY) const
{
    if (compact) {
        const int xLimit = hasOverflow ? width - 38 : width - 20;
        if (p.x() >= xLimit)
            return -1;
        // Only tabs that are painted can be picked; a group beyond the last
        // tab is reached through the overflow menu.
        for (int i = 0; i < tabBoxes.size(); ++i)
            if (tabHitRect(i).contains(p))
                return i;
        return -1;
    }
    if (p.y() < kListTop || p.y() > kListTop + listHeight)
        return -1;
    const QPoint content(p.x(), p.y() + scrollY);
    if (content.y() < kListTop)
        return -1;
    const int r = (content.y() - kListTop) / kRowPitch;
    if (r >= count || !rowHitRect(r).contains(content))
        return -1;
    return r;
}
