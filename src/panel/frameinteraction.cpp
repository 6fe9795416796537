#include "panel/frameinteraction.h"

#include "platform/pointerbuttons.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

FrameInteraction::FrameInteraction(QWidget* window, HitTest hitTest)
    : QObject(window), m_window(window), m_hitTest(std::move(hitTest))
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(kSettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, &FrameInteraction::onSettled);
    m_window->installEventFilter(this);
    attach();
}

FrameInteraction::~FrameInteraction()
{
    setHoverCursor(Qt::ArrowCursor);
}

void FrameInteraction::attach()
{
    QWindow* handle = m_window->windowHandle();
    if (!handle || handle == m_handle)
        return;
    if (m_handle)
        m_handle->removeEventFilter(this);
    m_handle = handle;
    m_handle->installEventFilter(this);
}

bool FrameInteraction::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WinIdChange:
        case QEvent::Show:
            attach();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // The window manager tells nothing when its move ends; the move
            // events stopping is the sign.
            if (m_systemDrag)
                m_settleTimer.start();
            break;
        default:
            break;
        }
        return false;
    }
    if (watched == m_handle)
        return handleWindowEvent(event);
    return false;
}

bool FrameInteraction::handleWindowEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            return false;
        const FrameHit hit = m_hitTest(me->position().toPoint());
        if (hit == FrameHit::Client)
            return false;
        const bool byWindowManager = hit == FrameHit::Caption
            ? m_handle->startSystemMove()
            : m_handle->startSystemResize(frameHitEdges(hit));
        if (byWindowManager) {
            m_systemDrag = true;
            m_settleTimer.start();
        } else {
            m_ownDrag = hit;
            m_pressGlobal = me->globalPosition().toPoint();
            m_startGeometry = m_window->geometry();
            m_startPos = m_window->pos();
        }
        return true;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (m_ownDrag != FrameHit::Client) {
            if (me->buttons() & Qt::LeftButton)
                followMouse(me->globalPosition().toPoint());
            return true;
        }
        if (me->buttons() == Qt::NoButton) {
            const FrameHit hit = m_hitTest(me->position().toPoint());
            setHoverCursor(frameHitCursor(hit));
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (m_ownDrag == FrameHit::Client || me->button() != Qt::LeftButton)
            return false;
        m_ownDrag = FrameHit::Client;
        Q_EMIT moveSizeFinished();
        return true;
    }
    case QEvent::Leave:
        if (m_ownDrag == FrameHit::Client)
            setHoverCursor(Qt::ArrowCursor);
        return false;
    default:
        return false;
    }
}

void FrameInteraction::followMouse(QPoint globalPos)
{
    const QPoint d = globalPos - m_pressGlobal;
    if (m_ownDrag == FrameHit::Caption) {
        m_window->move(m_startPos + d);
        return;
    }
    const Qt::Edges edges = frameHitEdges(m_ownDrag);
    const QSize minS = m_window->minimumSize();
    const QSize maxS = m_window->maximumSize();
    QRect g = m_startGeometry;
    // The opposite edge stays where it was; the size stays within limits.
    if (edges & Qt::LeftEdge) {
        const int w = qBound(minS.width(), m_startGeometry.width() - d.x(), maxS.width());
        g.setLeft(m_startGeometry.right() + 1 - w);
    } else if (edges & Qt::RightEdge) {
        g.setWidth(qBound(minS.width(), m_startGeometry.width() + d.x(), maxS.width()));
    }
    if (edges & Qt::TopEdge) {
        const int h = qBound(minS.height(), m_startGeometry.height() - d.y(), maxS.height());
        g.setTop(m_startGeometry.bottom() + 1 - h);
    } else if (edges & Qt::BottomEdge) {
        g.setHeight(qBound(minS.height(), m_startGeometry.height() + d.y(), maxS.height()));
    }
    m_window->setGeometry(g);
}

void FrameInteraction::setHoverCursor(Qt::CursorShape shape)
{
    if (shape == Qt::ArrowCursor) {
        if (m_overrideCursor)
            QGuiApplication::restoreOverrideCursor();
        m_overrideCursor = false;
        return;
    }
    if (!m_overrideCursor)
        QGuiApplication::setOverrideCursor(QCursor(shape));
    else if (shape != m_cursorShape)
        QGuiApplication::changeOverrideCursor(QCursor(shape));
    m_overrideCursor = true;
    m_cursorShape = shape;
}

void FrameInteraction::onSettled()
{
    Qt::MouseButtons buttons;
    if (queryGlobalMouseButtons(&buttons) && (buttons & Qt::LeftButton)) {
        m_settleTimer.start(); // still held: the user only paused
        return;
    }
    m_systemDrag = false;
    Q_EMIT moveSizeFinished();
}
