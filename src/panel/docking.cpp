#include "panel/docking.h"

#include <QtGlobal>

int dockRevealPixels(int snapRevealPx)
{
    return qBound(0, snapRevealPx, 24);
}

int dockEdgeFor(const QRect& w, const QRect& area)
{
    if (w.top() <= area.top() + kDockSnapDistance)
        return DockTop;
    if (w.left() <= area.left() + kDockSnapDistance)
        return DockLeft;
    if (w.right() >= area.right() - kDockSnapDistance)
        return DockRight;
    return DockNone;
}

QRect collapsedRect(const QRect& r, int edge, const QRect& area, int revealPx)
{
    QRect out = r;
    switch (edge) {
    case DockLeft:
        out.moveRight(area.left() + revealPx - 1);
        break;
    case DockTop:
        out.moveBottom(area.top() + revealPx - 1);
        break;
    case DockRight:
        out.moveLeft(area.right() - revealPx);
        break;
    default:
        break;
    }
    return out;
}

QRect flushRect(const QRect& r, int edge, const QRect& area)
{
    QRect out = r;
    switch (edge) {
    case DockLeft:
        out.moveLeft(area.left());
        break;
    case DockTop:
        out.moveTop(area.top());
        break;
    case DockRight:
        out.moveRight(area.right());
        break;
    default:
        break;
    }
    return out;
}

bool draggedOffEdge(int edge, const QRect& w, const QRect& area)
{
    switch (edge) {
    case DockLeft:
        return w.left() > area.left() + kDockSnapDistance;
    case DockTop:
        return w.top() > area.top() + kDockSnapDistance;
    case DockRight:
        return w.right() < area.right() - kDockSnapDistance;
    default:
        return false;
    }
}

QRect dockTriggerStrip(int edge, const QRect& area, const QRect& expanded, int snapRevealPx)
{
    const int t = snapRevealPx > 24 ? 26 : qMax(snapRevealPx + 2, 8);
    QRect strip;
    switch (edge) {
    case DockLeft:
        strip = QRect(area.left(), expanded.top(), t, expanded.height());
        break;
    case DockTop:
        strip = QRect(expanded.left(), area.top(), expanded.width(), t);
        break;
    case DockRight:
        strip = QRect(area.right() - t + 1, expanded.top(), t, expanded.height());
        break;
    default:
        return QRect();
    }
    return strip.adjusted(-6, -6, 6, 6);
}

QRect placeAtCursor(const QPoint& p, const QSize& size, const QRect& area)
{
    QRect r(p, size);
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

QRect centredIn(const QRect& w, const QRect& area)
{
    const int x = (area.left() + area.right()) / 2 - (w.width() - 1) / 2;
    const int y = (area.top() + area.bottom()) / 2 - (w.height() - 1) / 2;
    return QRect(QPoint(x, y), w.size());
}

QRect fitIntoArea(const QRect& w, const QRect& area)
{
    QRect r = w;
    if (r.width() > area.width() || r.height() > area.height())
        r.setSize(QSize(qMin(r.width(), area.width()), qMin(r.height(), area.height())));
    if (!area.contains(r))
        r = centredIn(r, area);
    return r;
}

bool RevealGesture::fired(int method, bool middle, bool right, qint64 nowMs)
{
    bool fire = false;
    const bool middlePress = middle && !m_middleWasDown;
    switch (method) {
    case 1:
        fire = middlePress;
        break;
    case 2:
        if (middlePress) {
            fire = m_lastPressMs >= 0 && nowMs - m_lastPressMs < kDoubleClickMs && m_firstClickSeen;
            m_firstClickSeen = !fire;
            m_lastPressMs = nowMs;
        }
        break;
    case 3:
        if (middle) {
            if (middlePress)
                m_middleHoldSinceMs = nowMs;
            fire = m_middleHoldSinceMs >= 0 && nowMs - m_middleHoldSinceMs > kLongPressMs;
        }
        break;
    case 4:
        if (right) {
            if (!m_rightWasDown)
                m_rightHoldSinceMs = nowMs;
            fire = m_rightHoldSinceMs >= 0 && nowMs - m_rightHoldSinceMs > kLongPressMs;
        }
        break;
    default:
        break;
    }
    observe(middle, right);
    return fire;
}

void RevealGesture::observe(bool middle, bool right)
{
    m_middleWasDown = middle;
    m_rightWasDown = right;
}

void RevealGesture::resetTiming()
{
    m_firstClickSeen = false;
    m_middleHoldSinceMs = -1;
    m_rightHoldSinceMs = -1;
}

namespace {

int virtualKeyOf(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Apostrophe: return 0xDE;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return 0xBB;
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Minus: return 0xBD;
    case Qt::Key_Period: return 0xBE;
    case Qt::Key_Slash: return 0xBF;
    case Qt::Key_Semicolon: return 0xBA;
    case Qt::Key_BracketLeft: return 0xDB;
    case Qt::Key_Backslash: return 0xDC;
    case Qt::Key_BracketRight: return 0xDD;
    case Qt::Key_QuoteLeft: return 0xC0;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Tab: return 0x09;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    default: return 0;
    }
}

} // namespace

std::optional<SummonHotkey> parseSummonHotkey(const QString& text)
{
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const QKeySequence seq = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (seq.isEmpty())
        return std::nullopt;
    const QKeyCombination combo = seq[0];
    SummonHotkey hk;
    hk.key = combo.key();
    hk.modifiers = combo.keyboardModifiers()
        & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    hk.virtualKey = virtualKeyOf(hk.key);
    if (hk.virtualKey == 0 || hk.modifiers == Qt::NoModifier)
        return std::nullopt;
    return hk;
}
