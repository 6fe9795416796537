#pragma once

#include <QColor>
#include <QList>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

#include <utility>

// The pure rules behind the panel's appearance: window opacity and the
// alphas that keep the bars visible on a faded window, the strips the body
// is painted in, and the places of logo, title and background.

// How the window's opacity setting takes effect.
struct WindowAlpha {
    qreal windowOpacity = 1.0;
    int v = 255;               // window alpha 0..255
    bool clickThrough = false; // opacity 0: clicks reach the windows below
    bool fullAlpha = false;    // opacity 0 kept clickable: bars at alpha 255
};
WindowAlpha windowAlphaFor(int opacity, bool clickThroughAtZero);

// Alpha of a bar or of the body with the percentage `percent` on a window of
// `w`: on a faded window it is raised so that the product stays at least
// half a step (the window keeps taking clicks where it is painted).
int barAlpha(int percent, const WindowAlpha& w);

// The colour of settings colour mode `mode`: 6 the custom RGB (24 bits), else
// the preset (mode 0 the theme default).
QColor colourOfMode(int mode, int customRgb);

// Foreground of a bar whose background is `background` in colour mode `mode`
// (mode 0: `themeForeground`).
QColor barForeground(int mode, const QColor& background, const QColor& themeForeground);

// Rectangles filled under the bars, with their palette slot, in paint order.
struct StripFill {
    QRect rect;
    int slot;
};
QList<StripFill> panelStripFills(const QSize& window, bool titleOpaque, bool bottomOpaque);

constexpr int kTitleStripHeight = 28;
constexpr int kBottomStripHeight = 28;
inline QRect panelLogoRect() { return QRect(8, 2, 24, 24); }
// Where the title text goes left of the title bar's buttons.
QRect panelTitleRect(int windowWidth, int titleBarWidth, bool logoShown);

// The part of a prepared background (device size `pixmap`, ratio `ratio`)
// that is copied to a window of `window` logical pixels: its centre.
QRect backgroundSourceRect(const QSize& pixmap, qreal ratio, const QSize& window);

// The window's shape with corners of `radius` when no compositor rounds them.
QRegion roundedWindowRegion(const QSize& size, int radius);

// Portrait switch: the window's minimum size and geometry on the available
// area `area` (invalid: no screen) from its current height.
struct PortraitPlacement {
    QSize minimum;
    QRect geometry;
};
PortraitPlacement portraitPlacement(int currentHeight, const QRect& area);

// Whether `w` is reachable on `area`: enough of it lies on the area and its
// top is not far above it; otherwise the orientation switch centres it.
bool reachableOn(const QRect& w, const QRect& area);

// Whether a GIF of `size` and `frames` may cache every frame; by its header
// for the file at `path`.
bool gifSizeAcceptable(const QSize& size, int frames);
bool isGifSizeAcceptable(const QString& path);
