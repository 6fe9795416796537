#include "app/windowshape.h"

#include "platform/compositor.h"

#include <QEvent>
#include <QGraphicsEffect>
#include <QLayout>
#include <QtMath>
#include <QWidget>

#include <cmath>

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
    const int w = outline.width();
    const int h = outline.height();
    const qreal r = qBound<qreal>(0, radius, qMin(w, h) / 2.0);
    if (r <= 0)
        return QRegion(outline);
    // Worked out row by row instead of rasterising the outline into a bitmap
    // of the window's size: every dialog computes this at construction, show
    // and resize, and the bitmap cost more than the dialog's own first paint.
    // Rows whose span matches the one above share a rectangle.
    QList<QRect> bands;
    bands.reserve(2 * qCeil(r) + 1);
    for (int y = 0; y < h; ++y) {
        const qreal cy = y + 0.5;
        const qreal dy = cy < r ? r - cy : (cy > h - r ? cy - (h - r) : 0);
        const int left = dy > 0 ? qCeil(r - std::sqrt(r * r - dy * dy) - 0.5) : 0;
        if (left * 2 >= w)
            continue;
        const QRect row(outline.left() + left, outline.top() + y, w - 2 * left, 1);
        if (!bands.isEmpty() && bands.last().left() == row.left() && bands.last().width() == row.width()
            && bands.last().bottom() + 1 == row.top())
            bands.last().setBottom(row.bottom());
        else
            bands.append(row);
    }
    QRegion region;
    region.setRects(bands.constData(), int(bands.size()));
    return region;
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
