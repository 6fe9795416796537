// Entry points of the neighbouring subsystems. Each keeps the shape its
// callers in the window use; the bodies arrive with their subsystems.
#include "panel/mainwindow.h"

#include <QScreen>

// Appearance and window behaviour.
void MainWindow::applyAppSettings(const AppSettings&) {}
void MainWindow::applyAllSettings() {}
void MainWindow::toggleOrientation() {}
void MainWindow::rerenderForPixelRatio() {}
void MainWindow::rescaleBackground() {}

// Docking, pinning and summoning.
void MainWindow::setPinned(bool on)
{
    pinned = on;
    update();
}
void MainWindow::fitIntoScreen() {}
void MainWindow::pollDockState() {}
void MainWindow::collapseToEdge() {}
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
void MainWindow::openAppMarket() {}
void MainWindow::openSupportChat() {}

// Backup.
void MainWindow::runAutoBackupIfDue() {}

// Protection and lock.
void MainWindow::showLockOverlay() {}
void MainWindow::showStartupLockOverlay() {}
void MainWindow::lockInterface() {}
void MainWindow::toggleScreenMonitor() {}
void MainWindow::toggleObfuscation() {}

// Desktop sync, launching, item menu, search.
void MainWindow::syncDesktopIcons() {}
void MainWindow::showItemMenu(int, QPoint) {}
void MainWindow::toggleSearch() {}
void MainWindow::refreshSearch(QString) {}
void MainWindow::runSearchResult(int) {}
