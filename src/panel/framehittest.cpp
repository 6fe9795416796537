#include "panel/framehittest.h"

FrameHit frameHitTest(QPoint pos, QSize size, bool portrait, bool childUnderPoint)
{
    const int x = pos.x();
    const int y = pos.y();
    const int w = size.width();
    const int h = size.height();
    const bool left = x <= 6;
    const bool top = y <= 6;
    const bool right = x >= w - 6;
    const bool bottom = y >= h - 6;
    if (!portrait) {
        if (top && left)
            return FrameHit::TopLeft;
        if (top && right)
            return FrameHit::TopRight;
        if (bottom && left)
            return FrameHit::BottomLeft;
        if (bottom && right)
            return FrameHit::BottomRight;
        if (left)
            return FrameHit::Left;
        if (right)
            return FrameHit::Right;
    }
    if (top)
        return FrameHit::Top;
    if (bottom)
        return FrameHit::Bottom;
    if (y <= kFrameTitleHeight)
        return childUnderPoint ? FrameHit::Client : FrameHit::Caption;
    return FrameHit::Client;
}

Qt::Edges frameHitEdges(FrameHit hit)
{
    switch (hit) {
    case FrameHit::Left: return Qt::LeftEdge;
    case FrameHit::Right: return Qt::RightEdge;
    case FrameHit::Top: return Qt::TopEdge;
    case FrameHit::Bottom: return Qt::BottomEdge;
    case FrameHit::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case FrameHit::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case FrameHit::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case FrameHit::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    case FrameHit::Client:
    case FrameHit::Caption:
        break;
    }
    return {};
}

Qt::CursorShape frameHitCursor(FrameHit hit)
{
    switch (hit) {
    case FrameHit::Left:
    case FrameHit::Right: return Qt::SizeHorCursor;
    case FrameHit::Top:
    case FrameHit::Bottom: return Qt::SizeVerCursor;
    case FrameHit::TopLeft:
    case FrameHit::BottomRight: return Qt::SizeFDiagCursor;
    case FrameHit::TopRight:
    case FrameHit::BottomLeft: return Qt::SizeBDiagCursor;
    case FrameHit::Client:
    case FrameHit::Caption:
        break;
    }
    return Qt::ArrowCursor;
}
