#include "widgets/uibtnbarlayout.h"

namespace {

bool isShown(int id, const QList<bool>& visible)
{
    return isUiBtnId(id) && (id >= visible.size() || visible.at(id));
}

} // namespace

int UiBtnBarLayout::buttonAt(const QPoint& pt, int growX, int growY) const
{
    for (int id = 0; id < kUiBtnCount; ++id) {
        const QRect& r = rects[size_t(id)];
        if (!r.isNull() && r.adjusted(-growX, -growY, growX, growY).contains(pt))
            return id;
    }
    return -1;
}

int UiBtnBarLayout::centreX(int k) const
{
    const QRect& r = rects[size_t(shown.at(k))];
    return (r.left() + r.right()) / 2;
}

int UiBtnBarLayout::insertIndexAt(int x) const
{
    int n = 0;
    while (n < shown.size() && centreX(n) <= x)
        ++n;
    return n;
}

qreal UiBtnBarLayout::dropBarX(int index) const
{
    const int n = int(shown.size());
    if (n == 0)
        return emptyDropX;
    auto halfSlot = [this](int k) {
        return (dropSlotWidth > 0 ? dropSlotWidth : uiBtnSlotWidth(shown.at(k))) / 2;
    };
    if (index <= 0)
        return centreX(0) - halfSlot(0) - 3;
    if (index >= n)
        return centreX(n - 1) + halfSlot(n - 1) + 3;
    return (centreX(index - 1) + centreX(index)) / 2.0;
}

UiBtnBarLayout titleBarLayout(const QList<int>& ids, const QList<bool>& visible)
{
    UiBtnBarLayout l;
    int x = 12;
    for (int id : ids) {
        if (!isShown(id, visible) || l.shown.contains(id))
            continue;
        const int w = uiBtnSlotWidth(id);
        l.rects[size_t(id)] = QRect(x, 6, w, 16);
        l.shown << id;
        x += w + 6;
    }
    l.size = QSize(x + 2, 28);
    l.emptyDropX = 12;
    return l;
}

UiBtnBarLayout bottomBarLayout(const QList<int>& ids, const QList<bool>& visible, QSize size)
{
    UiBtnBarLayout l;
    for (int id : ids)
        if (isShown(id, visible) && !l.shown.contains(id))
            l.shown << id;
    const int n = int(l.shown.size());
    for (int k = 0; k < n; ++k)
        l.rects[size_t(l.shown.at(k))] = QRect(size.width() - 30 - 26 * (n - 1 - k), (size.height() - 18) / 2, 18, 18);
    l.size = size;
    l.dropSlotWidth = 18;
    l.emptyDropX = size.width() - 12;
    return l;
}
