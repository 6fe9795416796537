#pragma once

#include "widgets/uibtn.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

// Where the buttons of a bar go, computed in one place for painting, hit
// tests and drops.
struct UiBtnBarLayout {
    // Per id; null for a button that is not shown.
    std::array<QRect, kUiBtnCount> rects;
    // The shown ids in layout order.
    QList<int> shown;
    // The bar's size (the title strip sizes itself; the bottom bar is given).
    QSize size;
    // Slot width used for the drop bar's outer edges (0: each id's own).
    int dropSlotWidth = 0;
    // Drop bar position when nothing is shown.
    int emptyDropX = 0;

    // The first id in id order whose rectangle grown by growX left and right
    // and growY up and down contains `pt`; -1 for none. Where neighbours'
    // grown areas overlap the lower id wins.
    int buttonAt(const QPoint& pt, int growX, int growY) const;
    // The number of leading shown buttons whose centre is not right of x.
    int insertIndexAt(int x) const;
    // x of the drop bar's middle for insert index `index` (0..shown count).
    qreal dropBarX(int index) const;
    // Centre x of shown button k (integer mean of its left and right edge).
    int centreX(int k) const;
};

// The title strip: 16 px wide slots (13 minimise, 12 close) from x = 12,
// 6 px apart, at y = 6 and 16 high; the strip is the last slot's end + 2
// wide and 28 high. Ids outside 0..10 and hidden ids are skipped.
UiBtnBarLayout titleBarLayout(const QList<int>& ids, const QList<bool>& visible);

// The bottom bar: 18 x 18 buttons right-aligned 26 px apart, the last one
// ending 12 px before the right edge, vertically centred.
UiBtnBarLayout bottomBarLayout(const QList<int>& ids, const QList<bool>& visible, QSize size);
