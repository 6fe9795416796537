#pragma once

#include <QPoint>
#include <QSize>
#include <Qt>

// What a point of the frameless panel does when pressed: move the window,
// resize it along an edge or corner, or belong to the content.
enum class FrameHit {
    Client,
    Caption,
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// Resize borders are 7 px wide on the left and top and 6 px on the right
// and bottom; the top 28 px are the caption except where a child widget
// lies under the point. In portrait mode only the height can be dragged.
constexpr int kFrameTitleHeight = 28;

// `pos` is in window coordinates, `size` the window's size.
FrameHit frameHitTest(QPoint pos, QSize size, bool portrait, bool childUnderPoint);

// The edges a resize hit moves; none for Client and Caption.
Qt::Edges frameHitEdges(FrameHit hit);

// The cursor a hit shows while hovered; Qt::ArrowCursor for Client and Caption.
Qt::CursorShape frameHitCursor(FrameHit hit);
