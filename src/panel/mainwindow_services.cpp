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

// The account session lives in mainwindow_account.cpp, updates in
// mainwindow_update.cpp, the market in mainwindow_market.cpp, notices and
// support in mainwindow_notice.cpp and mainwindow_support.cpp.

// Protection and lock live in mainwindow_protect.cpp, the screen monitor
// in mainwindow_monitor.cpp, backups in mainwindow_backup.cpp.

// Desktop sync, launching, item menu, search.
