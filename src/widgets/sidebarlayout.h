#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>

// Where everything of the sidebar goes, computed in one place so that
// painting and hit tests cannot disagree. The normal layout is a column of
// rows (content coordinates: the view plus the scroll offset); the compact
// layout is a strip of tabs (view coordinates).
struct SidebarLayout {
    static constexpr int kRowPitch = 34;
    static constexpr int kListTop = 10;

    bool compact = false;
    int width = 0;
    int height = 0;
    int count = 0;

    // Normal layout.
    int listHeight = 0;     // height of the row area in view coordinates
    int maxScroll = 0;
    QRect newGroupButton;   // null when not shown

    // Compact layout: one entry per tab that fits, in group order.
    QList<QRect> tabBoxes;  // where the name is drawn (y 5..34)
    bool hasOverflow = false;
    QRect overflowButton;   // null without overflow
    QRect plusButton;
    int firstHiddenTab = 0; // index of the first group without a tab (count when all fit)

    // Normal layout: the painted row, and the part of the column that picks
    // it (the painted row plus the pixel line under it).
    QRect rowRect(int i) const;
    QRect rowHitRect(int i) const;
    int clampScroll(int scrollY) const;
    // Rows worth painting at scrollY: [first, last].
    int firstPaintedRow(int scrollY) const;
    int lastPaintedRow(int scrollY) const;
    // The scroll thumb, null when nothing scrolls.
    QRectF thumbRect(int scrollY) const;

    // Compact layout: the area that picks tab i (the box widened by 3 px on
    // either side).
    QRect tabHitRect(int i) const;

    // The group under a view point, -1 for none.
    int groupAt(const QPoint& viewPos, int scrollY) const;
};

// `tabWidths` are the text widths of all groups' tabs (compact layout
// only). `showNewGroupButton` matters for the normal layout.
SidebarLayout computeSidebarLayout(QSize size, bool compact, bool showNewGroupButton, int count,
                                   const QList<int>& tabWidths);
