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

// Account, notices, support, market.
// The account session lives in mainwindow_account.cpp, updates in
// mainwindow_update.cpp.
void MainWindow::fetchLatestNotice() {}
void MainWindow::onSupportPollTimer() {}
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

// Protection and lock live in mainwindow_protect.cpp.
void MainWindow::toggleScreenMonitor()
{
    qInfo() << "screen monitor: not available yet";
}

// Desktop sync, launching, item menu, search.
