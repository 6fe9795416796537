#include "widgets/titlebaractions.h"

#include "app/theme.h"
#include "widgets/gearmenupopup.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kGlyphSlot = 9;
constexpr int kAccentSlot = 28;
const QColor kCloseHover(0xE8, 0x11, 0x23);

} // namespace

TitleBarActions::TitleBarActions(QWidget* parent)
    : UiBtnBar(kTitleBarArea, parent)
{
    m_ids = {0, 1, 2, 3, 4};
    m_sizesItself = true;
    m_gearCloseTimer.setSingleShot(true);
    m_gearCloseTimer.setInterval(kGearCloseMs);
    connect(&m_gearCloseTimer, &QTimer::timeout, this, &TitleBarActions::maybeCloseGearMenu);
    setFixedSize(117, 28);
    relayout();
}

UiBtnBarLayout TitleBarActions::computeLayout() const
{
    return titleBarLayout(m_ids, m_visible);
}

bool TitleBarActions::isGearMenuOpen() const
{
    return m_gearMenu && m_gearMenu->isVisible();
}

void TitleBarActions::buttonClicked(int id)
{
    if (id == uiBtnId(UiBtn::Settings)) {
        if (!isGearMenuOpen())
            showGearMenu();
        return;
    }
    Q_EMIT actionTriggered(id);
}

void TitleBarActions::hoverChanged(int old)
{
    repaintButton(old, 2);
    repaintButton(m_hovered, 2);
}

void TitleBarActions::mouseMoveEvent(QMouseEvent* event)
{
    UiBtnBar::mouseMoveEvent(event);
    if (buttonAt(event->position().toPoint()) == uiBtnId(UiBtn::Settings)) {
        m_gearCloseTimer.stop();
        if (!isGearMenuOpen())
            showGearMenu();
    } else if (isGearMenuOpen()) {
        m_gearCloseTimer.start();
    }
}

void TitleBarActions::leaveEvent(QEvent* event)
{
    UiBtnBar::leaveEvent(event);
    // The pressed button stays: a long press still drags after the cursor
    // has left the strip.
    m_hovered = -1;
    setToolTip(QString());
    updateTimers();
    update();
    if (isGearMenuOpen())
        m_gearCloseTimer.start();
}

void TitleBarActions::showGearMenu()
{
    const int settings = uiBtnId(UiBtn::Settings);
    if (!isShown(settings))
        return;
    if (!m_gearMenu) {
        m_gearMenu = new GearMenuPopup(this);
        connect(m_gearMenu, &GearMenuPopup::actionRequested, this, [this](int action) {
            m_gearMenu->hide();
            Q_EMIT gearMenuAction(action);
        });
    }
    Q_EMIT gearMenuAboutToShow();
    m_gearMenu->move(mapToGlobal(QPoint(m_geom.rects[size_t(settings)].left(), height() + 6)));
    m_gearMenu->show();
    m_gearMenu->raise();
}

void TitleBarActions::maybeCloseGearMenu()
{
    if (!isGearMenuOpen())
        return;
    const QPoint cursor = QCursor::pos();
    const QRect settings = m_geom.rects[size_t(uiBtnId(UiBtn::Settings))];
    const QRect button(mapToGlobal(settings.topLeft()), settings.size());
    if (m_gearMenu->frameGeometry().contains(cursor) || (!settings.isNull() && button.adjusted(-4, -4, 4, 4).contains(cursor)))
        return;
    m_gearMenu->hide();
}

void TitleBarActions::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const ThemePalette& pal = currentTheme();
    for (int id : m_geom.shown) {
        QColor colour = pal.c[kGlyphSlot];
        const bool hovered = m_hovered == id;
        if (id == uiBtnId(UiBtn::Close) && hovered)
            colour = kCloseHover;
        else if (id == uiBtnId(UiBtn::Minimize) && hovered)
            colour = pal.c[kAccentSlot];
        else if ((id == uiBtnId(UiBtn::Orientation) || id == uiBtnId(UiBtn::Pin) || id == uiBtnId(UiBtn::Obfuscation))
                 && m_lit[id])
            colour = pal.c[kAccentSlot];
        paintButton(p, id, 16, true, colour);
    }
    paintDropBar(p);
}
