#include "app/windowshape.h"

#include "platform/compositor.h"

#include <QBitmap>
#include <QEvent>
#include <QGraphicsEffect>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

WindowShape::WindowShape(QWidget* window) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("windowShape"));
    window->installEventFilter(this);
    connect(&Compositor::instance(), &Compositor::activeChanged, this, &WindowShape::apply);
}

WindowShape* WindowShape::install(QWidget* window, std::function<qreal()> radius, QMargins inset)
{
    auto* shape = new WindowShape(window);
    shape->m_radius = std::move(radius);
    shape->m_inset = inset;
    shape->apply();
    return shape;
}

WindowShape* WindowShape::installCard(QWidget* window, QLayout* outer, QWidget* card, qreal radius)
{
    auto* shape = new WindowShape(window);
    shape->m_radius = [radius] { return radius; };
    shape->m_outer = outer;
    shape->m_card = card;
    shape->m_shadowMargins = outer->contentsMargins();
    shape->apply();
    return shape;
}

void WindowShape::refresh(QWidget* window)
{
    if (!window)
        return;
    if (auto* shape = window->findChild<WindowShape*>(QStringLiteral("windowShape"), Qt::FindDirectChildrenOnly))
        shape->apply();
}

QRegion WindowShape::outlineRegion(const QRect& outline, qreal radius)
{
    if (outline.isEmpty())
        return {};
    const qreal r = qBound<qreal>(0, radius, qMin(outline.width(), outline.height()) / 2.0);
    if (r <= 0)
        return QRegion(outline);
    QBitmap bits(outline.size());
    bits.fill(Qt::color0);
    {
        QPainter p(&bits);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::color1);
        QPainterPath path;
        path.addRoundedRect(QRectF(0, 0, outline.width(), outline.height()), r, r);
        p.drawPath(path);
    }
    return QRegion(bits).translated(outline.topLeft());
}

bool WindowShape::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        apply();
    return QObject::eventFilter(watched, event);
}

void WindowShape::apply()
{
    if (m_applying)
        return;
    m_applying = true;
    const bool composited = compositorActive();
    if (m_outer) {
        const QMargins want = composited ? m_shadowMargins : QMargins();
        const QMargins was = m_outer->contentsMargins();
        if (was != want) {
            m_outer->setContentsMargins(want);
            // A window of fixed size keeps its card's size.
            const int dw = want.left() + want.right() - was.left() - was.right();
            const int dh = want.top() + want.bottom() - was.top() - was.bottom();
            if (m_window->minimumWidth() == m_window->maximumWidth())
                m_window->setFixedWidth(m_window->minimumWidth() + dw);
            if (m_window->minimumHeight() == m_window->maximumHeight())
                m_window->setFixedHeight(m_window->minimumHeight() + dh);
            // The card stays where it was on the screen; only its margin
            // comes or goes.
            if (m_window->isVisible())
                m_window->setGeometry(m_window->geometry().marginsRemoved(was).marginsAdded(want));
        }
        if (m_card && m_card->graphicsEffect())
            m_card->graphicsEffect()->setEnabled(composited);
    }
    if (composited) {
        if (!m_window->mask().isEmpty())
            m_window->clearMask();
    } else {
        const QRect outline = m_window->rect().marginsRemoved(m_inset);
        const qreal r = m_radius ? m_radius() : 0;
        // A pixel tighter at the corners than the painted outline: a mask a
        // little too large would show the black it is there to hide.
        const QRegion region = outlineRegion(outline, r > 0 ? r + 1 : 0);
        // A mask of the whole window is no mask at all.
        if (region == QRegion(m_window->rect())) {
            if (!m_window->mask().isEmpty())
                m_window->clearMask();
        } else if (m_window->mask() != region) {
            m_window->setMask(region);
        }
    }
    m_applying = false;
}
