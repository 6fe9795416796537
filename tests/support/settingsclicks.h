#pragma once

#include "settings/settingsdialog.h"
#include "settings/settingslayout.h"

#include <QPoint>
#include <QtTest>

// Finding and clicking the painted elements of a settings dialog the way a
// user does: scrolled into view first, then pressed and released on the
// element's centre.

inline const HitRect* findHit(const SettingsDialog& d, int id)
{
    for (const HitRect& h : d.pageLayout().hits)
        if (h.id == id)
            return &h;
    return nullptr;
}

// The window point of a content point, scrolled into view first.
inline QPoint windowPointOf(SettingsDialog& d, const QPoint& content)
{
    const QRect viewport = settingsgeom::contentViewport(d.width(), d.height());
    const int y = content.y() - d.scrollOffset();
    if (y < viewport.top() + 4 || y > viewport.bottom() - 4)
        d.setScrollOffset(content.y() - viewport.center().y());
    return content - QPoint(0, d.scrollOffset());
}

// The window point of an element, scrolled into view first; (-1, -1) when
// the page has no such element.
inline QPoint pointOf(SettingsDialog& d, int id)
{
    const HitRect* h = findHit(d, id);
    if (!h)
        return QPoint(-1, -1);
    return h->content ? windowPointOf(d, h->rect.center()) : h->rect.center();
}

// False when the page has no such element.
inline bool clickElement(SettingsDialog& d, int id)
{
    const QPoint p = pointOf(d, id);
    if (p.x() < 0)
        return false;
    QTest::mouseMove(&d, p);
    QTest::mouseClick(&d, Qt::LeftButton, {}, p);
    return true;
}
