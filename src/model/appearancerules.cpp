#include "model/appearancerules.h"

#include "app/theme.h"

#include <QImageReader>
#include <QtMath>

#include <cmath>

WindowAlpha windowAlphaFor(int opacity, bool clickThroughAtZero)
{
    WindowAlpha w;
    if (opacity >= 100) {
        w.windowOpacity = 1.0;
        w.v = 255;
    } else if (opacity >= 1) {
        w.v = percentToAlpha(opacity);
        w.windowOpacity = w.v / 255.0;
    } else if (clickThroughAtZero) {
        w.windowOpacity = 0.0;
        w.v = 0;
        w.clickThrough = true;
    } else {
        w.windowOpacity = 1.0 / 255.0;
        w.v = 1;
        w.fullAlpha = true;
    }
    return w;
}

int barAlpha(int percent, const WindowAlpha& w)
{
    const int a = percentToAlpha(percent);
    if (w.clickThrough)
        return a;
    if (w.fullAlpha)
        return 255;
    const int floorAlpha = qMin(255, int(std::ceil(127.5 / qMax(1, w.v))));
    return qMax(a, floorAlpha);
}

QColor colourOfMode(int mode, int customRgb)
{
    if (mode == 6)
        return QColor::fromRgb(QRgb(customRgb & 0xFFFFFF));
    return presetColor(mode);
}

QColor barForeground(int mode, const QColor& background, const QColor& themeForeground)
{
    if (mode == 0)
        return themeForeground;
    return background.lightness() < 128 ? QColor(0xE8, 0xEA, 0xF0) : QColor(0x39, 0x40, 0x4C);
}

QList<StripFill> panelStripFills(const QSize& window, bool titleOpaque, bool bottomOpaque)
{
    constexpr int kTitleBackground = 6;
    constexpr int kBody = 10;
    constexpr int kUnderlay = 0;
    const int w = window.width();
    const int h = window.height();
    QList<StripFill> fills;
    if (titleOpaque && bottomOpaque) {
        fills.append({QRect(0, 0, w, h), kBody});
    } else if (titleOpaque) {
        if (h >= 29)
            fills.append({QRect(QPoint(0, 0), QPoint(w - 1, h - 29)), kBody});
        fills.append({QRect(0, 0, w, kTitleStripHeight), kUnderlay});
    } else if (bottomOpaque) {
        if (h >= 29)
            fills.append({QRect(QPoint(0, 28), QPoint(w - 1, h - 1)), kBody});
        fills.append({QRect(0, h - kBottomStripHeight, w, kBottomStripHeight), kUnderlay});
    } else if (h >= 57) {
        fills.append({QRect(QPoint(0, 28), QPoint(w - 1, h - 29)), kBody});
    }
    fills.append({QRect(0, 0, w, kTitleStripHeight), kTitleBackground});
    return fills;
}

QRect panelTitleRect(int windowWidth, int titleBarWidth, bool logoShown)
{
    const int room = qMax(0, windowWidth - titleBarWidth - 47 + (logoShown ? 0 : 31));
    return QRect(logoShown ? 39 : 8, 6, room, 16);
}

QRect backgroundSourceRect(const QSize& pixmap, qreal ratio, const QSize& window)
{
    const qreal d = ratio > 0 ? ratio : 1.0;
    const int x = int(qMax(0.0, (pixmap.width() / d - window.width()) * 0.5 * d));
    const int y = int(qMax(0.0, (pixmap.height() / d - window.height()) * 0.5 * d));
    return QRect(x, y, window.width(), window.height());
}

QRegion roundedWindowRegion(const QSize& size, int radius)
{
    const QRect all(QPoint(0, 0), size);
    const int r = qBound(0, radius, qMin(size.width(), size.height()) / 2);
    if (r <= 0)
        return QRegion(all);
    QRegion region(all.adjusted(r, 0, -r, 0));
    region += all.adjusted(0, r, 0, -r);
    const int d = 2 * r;
    region += QRegion(QRect(0, 0, d, d), QRegion::Ellipse);
    region += QRegion(QRect(size.width() - d, 0, d, d), QRegion::Ellipse);
    region += QRegion(QRect(0, size.height() - d, d, d), QRegion::Ellipse);
    region += QRegion(QRect(size.width() - d, size.height() - d, d, d), QRegion::Ellipse);
    return region;
}

PortraitPlacement portraitPlacement(int currentHeight, const QRect& area)
{
    QRect s = area;
    int t = 0;
    int m = 0;
    int x = 0;
    if (!s.isValid()) {
        s = QRect(0, 0, 1920, 1080);
        x = 810;
        t = 1040;
        m = 420;
    } else {
        t = s.height() - 40;
        x = s.left() + (s.width() - 300) / 2;
        if (t > 240) {
            m = qMin(t, 420);
        } else {
            t = 240;
            m = 240;
        }
    }
    int h = qMax(currentHeight, 640);
    if (!(t > 460 && h < t))
        h = t;
    const int y = s.height() - h > 1 ? s.top() + (s.height() - h) / 2 : s.top();
    return {QSize(300, m), QRect(x, y, 300, h)};
}

bool reachableOn(const QRect& w, const QRect& area)
{
    return w.intersects(area) && w.right() > area.left() + 79 && w.left() < area.right() - 79
        && w.top() >= area.top() - 40;
}

bool gifSizeAcceptable(const QSize& size, int frames)
{
    if (!size.isValid() || frames <= 0)
        return false;
    return qint64(size.width()) * size.height() * frames < 12000001;
}

bool isGifSizeAcceptable(const QString& path)
{
    QImageReader reader(path, "gif");
    return gifSizeAcceptable(reader.size(), reader.imageCount());
}
