// Entry points of the neighbouring subsystems. Each keeps the shape its
// callers in the window use; the bodies arrive with their subsystems.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/theme.h"
#include "widgets/bottombar.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/titlebaractions.h"

#include <QApplication>
#include <QDebug>
#include <QScreen>
#include <QWindow>

// Appearance and window behaviour. Only what reaches the parts that exist so
// far: theme, radius, font, the sidebar's form and the grid's behaviour, so
// that the stored settings (single-click opening above all) are in force.
// Colours, bars, background and opacity join with their subsystems.
void MainWindow::applyAppSettings(const AppSettings& s)
{
    setDarkTheme(s.darkTheme);
    const int radius = qBound(0, s.cornerRadius, 24);
    setThemeCornerRadius(radius);
    setCustomFontFamily(s.fontFamily.trimmed());
    QFont font = QApplication::font();
    font.setFamily(uiFontFamily());
    QApplication::setFont(font);

    compactGroups = s.horizontalGroups;
    if (sidebar) {
        sidebar->setCornerRadius(radius);
        sidebar->setCompact(portraitMode || s.horizontalGroups);
        sidebar->setShowNewGroupButton(s.showNewGroupBtn);
    }
    if (titleBar) {
        titleBar->setButtonLayout(s.btnLayoutTitle, s.btnVisible, s.btnIcons);
        titleBar->setButtonIcons(s.btnIconsHover, s.btnIconsActive, s.btnIconsNight);
    }
    if (bottomBar) {
        bottomBar->setCornerRadius(radius);
        bottomBar->setButtonLayout(s.btnLayoutBottom, s.btnVisible, s.btnIcons);
        bottomBar->setButtonIcons(s.btnIconsHover, s.btnIconsActive, s.btnIconsNight);
    }
    setUiButtonLit(uiBtnId(UiBtn::Obfuscation), s.obfuscateEnabled);
    if (iconGrid) {
        iconGrid->setCornerRadius(radius);
        iconGrid->setIconSize(portraitMode ? s.iconSizePortrait : s.iconSize);
        iconGrid->setShowNames(s.showItemNames);
        iconGrid->setSingleClickOpen(s.singleClickOpen);
    }
    layoutChildren();

    const QString title = s.customTitle.isEmpty() ? translate("Quillory") : s.customTitle;
    if (windowTitle() != title)
        setWindowTitle(title);
    update();
}
void MainWindow::applyAllSettings()
{
    setPinned(settings.startPinned);
    applyAppSettings(settings);
}
void MainWindow::toggleOrientation()
{
    qInfo() << "orientation switch: not available yet";
}
void MainWindow::rerenderForPixelRatio() {}
void MainWindow::rescaleBackground() {}

// Docking, pinning and summoning.
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
    setUiButtonLit(uiBtnId(UiBtn::Pin), on);
    update();
}
void MainWindow::fitIntoScreen() {}
void MainWindow::pollDockState() {}
void MainWindow::collapseToEdge()
{
    qInfo() << "edge docking: not available yet";
}
void MainWindow::snapToEdgeAfterMove() {}

void MainWindow::showAndCentre()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    if (const QScreen* s = screen()) {
        const QRect a = s->availableGeometry();
        move((a.left() + a.right()) / 2 - (width() - 1) / 2, (a.top() + a.bottom()) / 2 - (height() - 1) / 2);
    }
    raise();
    activateWindow();
}

// Account, notices, support, updates, market.
void MainWindow::loadAuth() {}
void MainWindow::tryAutoLogin() {}
void MainWindow::syncAfterStartup() {}
void MainWindow::checkTokenAlive() {}
void MainWindow::fetchLatestNotice() {}
void MainWindow::onSupportPollTimer() {}
void MainWindow::checkUpdatesAtStartup() {}
void MainWindow::openAppMarket()
{
    qInfo() << "app market: not available yet";
}
void MainWindow::openSupportChat()
{
    qInfo() << "support chat: not available yet";
}

// Backup.
void MainWindow::runAutoBackupIfDue() {}

// Protection and lock.
void MainWindow::showLockOverlay()
{
    qInfo() << "lock screen: not available yet";
}
void MainWindow::showStartupLockOverlay() {}
void MainWindow::lockInterface()
{
    qInfo() << "interface lock: not available yet";
}
void MainWindow::toggleScreenMonitor()
{
    qInfo() << "screen monitor: not available yet";
}
void MainWindow::toggleObfuscation()
{
    qInfo() << "obfuscation toggle: not available yet";
}

// Desktop sync, launching, item menu, search.
