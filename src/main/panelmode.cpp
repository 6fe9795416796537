#include "main/panelmode.h"

#include "app/asynctask.h"
#include "app/lang.h"
#include "icons/iconservice.h"
#include "main/agentserver.h"
#include "main/installpath.h"
#include "main/tempcleanup.h"
#include "panel/mainwindow.h"
#include "platform/process.h"
#include "platform/singleinstance.h"
#include "platform/windowsystem.h"
#include "protect/screenmonitor.h"

#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kSelfCheckDelayMs = 1200;
constexpr int kBackupStopBudgetMs = 2500;

QScreen* screenUnderCursor()
{
    if (QScreen* s = QGuiApplication::screenAt(QCursor::pos()))
        return s;
    return QGuiApplication::primaryScreen();
}

} // namespace

QPoint centredTopLeft(const QRect& area, const QSize& size)
{
    return QPoint(area.left() + qMax(0, (area.width() - size.width()) / 2),
                  area.top() + qMax(0, (area.height() - size.height()) / 2));
}

void onAboutToQuit(MainWindow* window)
{
    qInfo() << "aboutToQuit: stopping recorder, persisting state and releasing icon cache";
    ScreenMonitor::instance()->stop();
    if (window)
        window->stopBackupWorkers(kBackupStopBudgetMs);
    stopTempCleanupThread();
    if (window) {
        window->saveSettings();
        window->saveLayout();
    }
    clearIconPixmapCache();
}

void startupSelfCheck(MainWindow* window)
{
    QStringList fixes;
    const QRect frame = window->frameGeometry();
    bool onScreen = false;
    for (QScreen* s : QGuiApplication::screens())
        onScreen = onScreen || s->availableGeometry().intersects(frame);
    if (!onScreen) {
        const QScreen* s = screenUnderCursor();
        const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1280, 720);
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->move(centredTopLeft(area, window->size()));
        fixes << translate("geo %1,%2 -> 居中").arg(frame.x()).arg(frame.y());
    }
    if (!window->isVisible() || window->isMinimized()) {
        window->showNormal();
        fixes << QStringLiteral("hidden/minimized -> showNormal");
    }
    if (fixes.isEmpty()) {
        qInfo() << "启动体检通过：可视且位置有效";
        return;
    }
    window->raise();
    window->activateWindow();
    qWarning() << "启动自愈：窗口不可见，已复位 ->" << fixes.join(QStringLiteral("; ")) << "| 现在 opacity"
               << window->windowOpacity() << "geo" << window->geometry();
}

void runPanelMode(SingleInstanceLock* lock)
{
    // A file write the first frame need not wait for.
    AsyncTask::pool()->start([] { writeInstallPath(); });

    auto* window = new MainWindow(nullptr);
    const QScreen* screen = screenUnderCursor();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    window->move(centredTopLeft(area, window->size()));
    window->show();
    window->raise();
    window->activateWindow();

    auto* server = new AgentServer(window);
    QString error;
    if (!server->start(&error))
        qWarning() << "agent server unavailable in GUI mode:" << error;

    windowSystem().setWindowMarker(window->winId(), QStringLiteral("TarnavelPanel_MainWnd"));

    qInfo() << "main window shown, entering event loop";
    qInfo() << "startup state: opacity" << window->windowOpacity() << "geo" << window->geometry() << "visible"
            << (window->isVisible() ? "true" : "false");

    QTimer::singleShot(kSelfCheckDelayMs, window, [window] { startupSelfCheck(window); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [window] { onAboutToQuit(window); });

    const int code = QApplication::exec();
    qInfo() << "event loop exited, code" << code;
    stopTempCleanupThread();
    if (lock)
        lock->release();
    hardExit(code);
}
