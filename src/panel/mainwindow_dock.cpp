// Edge docking, reveal gestures, summoning and the window-manager states.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "platform/hotkey.h"
#include "platform/pointerbuttons.h"
#include "platform/windowstate.h"
#include "widgets/bottombar.h"
#include "widgets/icongrid.h"
#include "widgets/titlebaractions.h"
#include "widgets/uibtn.h"

#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWindow>

QRect MainWindow::dockArea() const
{
    const QScreen* s = screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1920, 1080);
}

void MainWindow::setPinned(bool on)
{
    // Told to the native window directly: setWindowFlags() would hide and
    // re-create a shown panel.
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    overrideWindowFlags(flags);
    if (QWindow* handle = windowHandle())
        handle->setFlags(flags);
    pinned = on;
    setTopmost(on);
    setUiButtonLit(uiBtnId(UiBtn::Pin), on);
    update();
}

void MainWindow::setTopmost(bool on)
{
    if (testAttribute(Qt::WA_WState_Created))
        setNetWmState(winId(), NetWmState::Above, on);
}

void MainWindow::setTaskbarVisible(bool show)
{
    if (hasNetWmState(winId(), NetWmState::SkipTaskbar) == !show)
        return;
    setNetWmState(winId(), NetWmState::SkipTaskbar, !show);
}

void MainWindow::animateGeometry(const QRect& target)
{
    unclipCollapsed();
    if (dock.geometryAnimation) {
        dock.geometryAnimation->stop();
        dock.geometryAnimation->deleteLater();
        dock.geometryAnimation = nullptr;
    }
    if (target == geometry()) {
        setGeometry(target);
        return;
    }
    auto* anim = new QPropertyAnimation(this, "geometry", this);
    anim->setDuration(420);
    anim->setEasingCurve(QEasingCurve::OutQuart);
    anim->setStartValue(geometry());
    anim->setEndValue(target);
    connect(anim, &QPropertyAnimation::finished, this, [this, anim] {
        anim->deleteLater();
        if (dock.geometryAnimation == anim)
            dock.geometryAnimation = nullptr;
    });
    dock.geometryAnimation = anim;
    anim->start();
}

void MainWindow::clipCollapsedToStrip()
{
    if (!testAttribute(Qt::WA_WState_Created) || !isVisible())
        return;
    QRect g = placedWindowGeometry(winId());
    if (!g.isValid())
        return;
    const qreal ratio = devicePixelRatioF();
    if (ratio != 1.0)
        g = QRect((QPointF(g.topLeft()) / ratio).toPoint(), size());
    // The window's own shape may have been set again meanwhile (a resize):
    // that one is what comes back on reveal.
    const bool clipped = dock.clippedGeometry.isValid() && mask() == dock.clipMask;
    if (clipped && g == dock.clippedGeometry)
        return;
    const QRect a = dockArea();
    const int px = dockRevealPixels(settings.snapRevealPx);
    QRect strip;
    switch (dock.dockEdge) {
    case DockLeft:
        strip = QRect(a.left(), g.top(), px, g.height());
        break;
    case DockTop:
        strip = QRect(g.left(), a.top(), g.width(), px);
        break;
    case DockRight:
        strip = QRect(a.right() - px + 1, g.top(), px, g.height());
        break;
    default:
        return;
    }
    const QRect shown = g & a;
    if (shown.isEmpty() || strip.contains(shown)) {
        unclipCollapsed();
        return;
    }
    strip &= g;
    // A mask cannot be empty; with no strip wanted, one pixel stays in the
    // window's corner that lies off the screen.
    if (strip.isEmpty())
        strip = dock.dockEdge == DockRight ? QRect(g.right(), g.bottom(), 1, 1) : QRect(g.topLeft(), QSize(1, 1));
    if (!clipped)
        dock.maskBeforeClip = mask();
    dock.clippedGeometry = g;
    QRegion cut(strip.translated(-g.topLeft()));
    if (!dock.maskBeforeClip.isEmpty() && dock.maskBeforeClip.intersects(cut))
        cut &= dock.maskBeforeClip;
    dock.clipMask = cut;
    setMask(cut);
}

void MainWindow::unclipCollapsed()
{
    if (!dock.clippedGeometry.isValid())
        return;
    dock.clippedGeometry = QRect();
    if (mask() == dock.clipMask) {
        if (dock.maskBeforeClip.isEmpty())
            clearMask();
        else
            setMask(dock.maskBeforeClip);
    }
    dock.maskBeforeClip = QRegion();
    dock.clipMask = QRegion();
}

void MainWindow::updateDockPollTimer()
{
    if (!dockPollTimer)
        return;
    if (settings.edgeSnap || settings.revealMethod > 0) {
        if (!dockPollTimer->isActive())
            dockPollTimer->start();
    } else {
        dockPollTimer->stop();
    }
}

void MainWindow::onMoveSizeFinished()
{
    if (settings.edgeSnap)
        snapToEdgeAfterMove();
}

void MainWindow::snapToEdgeAfterMove()
{
    const QRect a = dockArea();
    const QRect w = geometry();
    const int edge = dockEdgeFor(w, a);
    if (edge == DockNone) {
        dockSticky = false;
        dock.dockInStrip = false;
        dockRevealed = false;
        dock.dockEdge = DockNone;
        updateDockPollTimer();
        setTaskbarVisible(true);
        return;
    }
    dock.expandedRect = w;
    dockRevealed = false;
    dock.dockEdge = edge;
    dock.dockInStrip = false;
    setTaskbarVisible(false);
    animateGeometry(collapsedRect(w, edge, a, dockRevealPixels(settings.snapRevealPx)));
    if (dockPollTimer)
        dockPollTimer->start();
}

void MainWindow::collapseToEdge()
{
    if (dock.dockEdge == DockNone)
        return;
    const QRect r = dock.expandedRect.isValid() ? dock.expandedRect : geometry();
    const QRect target = collapsedRect(r, dock.dockEdge, dockArea(), dockRevealPixels(settings.snapRevealPx));
    dock.dockInStrip = false;
    dockRevealed = false;
    dockSticky = false;
    dock.gesture.resetTiming();
    if (!pinned)
        setTopmost(false);
    setTaskbarVisible(false);
    animateGeometry(target);
}

void MainWindow::revealDocked(const QRect& target, bool sticky)
{
    animateGeometry(target);
    dockRevealed = true;
    dockSticky = sticky;
    dock.gesture.resetTiming();
    setTaskbarVisible(true);
    setTopmost(true);
}

void MainWindow::pollDockState()
{
    if (dockPollTimer)
        dockPollTimer->setInterval(dock.dockEdge != DockNone ? 80 : 320);
    if (!settings.edgeSnap && settings.revealMethod <= 0)
        return;
    if (!dock.gestureClock.isValid())
        dock.gestureClock.start();
    const qint64 now = dock.gestureClock.elapsed();
    const QPoint p = QCursor::pos();
    const QRect w = geometry();
    const QRect a = dockArea();
    Qt::MouseButtons global;
    queryGlobalMouseButtons(&global);
    const bool m = global.testFlag(Qt::MiddleButton);
    const bool r = global.testFlag(Qt::RightButton);

    if (dockRevealed) {
        dock.gesture.observe(m, r);
        if (!dockSticky && QApplication::mouseButtons() == Qt::NoButton && !m && !r) {
            if (QApplication::activeModalWidget() || w.adjusted(-2, -2, 2, 2).contains(p))
                return;
            dock.dockInStrip = false;
            if (dock.dockEdge != DockNone)
                collapseToEdge();
            else
                updateDockPollTimer();
        }
        return;
    }

    if (dock.dockEdge == DockNone) {
        const bool fired = dock.gesture.fired(settings.revealMethod, m, r, now);
        if (!fired || global.testFlag(Qt::LeftButton) || QApplication::activeModalWidget() || !isVisible())
            return;
        setWindowState(windowState() & ~Qt::WindowMinimized);
        animateGeometry(placeAtCursor(p, w.size(), a));
        raise();
        activateWindow();
        return;
    }

    if (draggedOffEdge(dock.dockEdge, w, a)) {
        unclipCollapsed();
        dock.dockInStrip = false;
        dock.dockEdge = DockNone;
        setTaskbarVisible(true);
        updateDockPollTimer();
        return;
    }

    if (!dock.geometryAnimation)
        clipCollapsedToStrip();

    const QRect strip = dockTriggerStrip(dock.dockEdge, a, dock.expandedRect, settings.snapRevealPx);
    bool fired = false;
    if (strip.contains(p)) {
        const bool wasInStrip = dock.dockInStrip;
        fired = dock.gesture.fired(settings.revealMethod, m, r, now);
        dock.dockInStrip = true;
        if (!fired) {
            if (wasInStrip)
                return;
            revealDocked(flushRect(dock.expandedRect, dock.dockEdge, a), false);
            return;
        }
    } else {
        fired = dock.gesture.fired(settings.revealMethod, m, r, now);
        dock.dockInStrip = false;
        if (!fired)
            return;
    }
    revealDocked(placeAtCursor(p, dock.expandedRect.size(), a), true);
}

void MainWindow::summon()
{
    if (dock.dockEdge == DockNone) {
        if (isVisible() && !isMinimized()) {
            raise();
            activateWindow();
        } else {
            showAndCentre();
        }
        return;
    }
    const QRect a = dockArea();
    QRect r = dock.expandedRect.isValid() ? dock.expandedRect : geometry();
    r = r.isEmpty() ? centredIn(r, a) : flushRect(r, dock.dockEdge, a);
    animateGeometry(r);
    dockRevealed = true;
    dockSticky = true;
    setTaskbarVisible(true);
    setTopmost(true);
    show();
    raise();
    activateWindow();
}

void MainWindow::showAndCentre()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (screen()) {
        const bool wasDocked = dock.dockEdge != DockNone;
        dock.dockEdge = DockNone;
        dockRevealed = false;
        dockSticky = false;
        if (dock.geometryAnimation)
            dock.geometryAnimation->stop();
        unclipCollapsed();
        const QRect base = wasDocked && dock.expandedRect.isValid() ? dock.expandedRect : geometry();
        setGeometry(centredIn(base, dockArea()));
        // A window that was docked must get its taskbar button back.
        setTaskbarVisible(true);
    }
    raise();
    activateWindow();
    // Above everything for a moment brings the window in front of others.
    setTopmost(true);
    if (!pinned)
        setTopmost(false);
    updateDockPollTimer();
}

void MainWindow::fitIntoScreen()
{
    const QScreen* s = screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return;
    setGeometry(fitIntoArea(geometry(), s->availableGeometry()));
    look.scaledStill = QPixmap();
    look.scaledStillSize = QSize(-1, -1);
    look.scaledGifFrame = QPixmap();
    look.scaledLogo = QPixmap();
    if (iconGrid)
        iconGrid->clearIconCache();
    update();
}

void MainWindow::registerSummonHotkey(bool announce)
{
    if (hotkeyRegistered) {
        if (summonKey)
            summonKey->release();
        hotkeyRegistered = false;
    }
    const QString text = settings.summonHotkey;
    const std::optional<SummonHotkey> hk = parseSummonHotkey(text);
    if (!hk)
        return;
    if (!summonKey)
        summonKey = createGlobalHotkey([this] { onSummonHotkey(); });
    if (summonKey && summonKey->grab(hk->key, hk->modifiers)) {
        hotkeyRegistered = true;
        qInfo().noquote() << "summon hotkey registered:" << text
                          << QStringLiteral("vk=0x%1").arg(hk->virtualKey, 4, 16, QLatin1Char('0'));
        if (announce)
            showToast(translate("呼出快捷键已启用：%1").arg(text), 0);
        return;
    }
    if (announce) {
        qWarning().noquote() << "summon hotkey register FAILED:" << text;
        showToast(translate("快捷键 %1 注册失败，可能已被其他程序占用").arg(text), 1);
    }
}

void MainWindow::unregisterSummonHotkey()
{
    if (!hotkeyRegistered)
        return;
    if (summonKey)
        summonKey->release();
    hotkeyRegistered = false;
}

void MainWindow::onSummonHotkey()
{
    if (QApplication::activeModalWidget())
        return;
    if (!hotkeyRegistered)
        registerSummonHotkey(false);
    summon();
}
