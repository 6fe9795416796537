#include "main/agentmode.h"

#include "app/lang.h"
#include "main/agentserver.h"
#include "main/installpath.h"
#include "main/tempcleanup.h"
#include "platform/process.h"
#include "platform/singleinstance.h"

#include <QApplication>
#include <QDebug>
#include <QIcon>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTimer>

#include <limits>

namespace {

SingleInstanceLock* g_lock = nullptr;
bool g_promoted = false;

// Hands over to the panel: the lock is given up first so that the new
// process starts as the first instance.
void promoteAgentToGui()
{
    if (g_promoted)
        return;
    if (g_lock)
        g_lock->release();
    const QString exe = QCoreApplication::applicationFilePath();
    if (QProcess::startDetached(exe, {})) {
        g_promoted = true;
        qInfo() << "agent: promoting to GUI panel";
        QCoreApplication::quit();
        return;
    }
    qWarning() << "agent: failed to launch GUI panel, staying resident:" << exe;
    if (g_lock && g_lock->tryAcquire() == SingleInstanceLock::Result::Acquired)
        return;
    qWarning() << "agent: mutex owned by another instance, quitting";
    g_promoted = true;
    QCoreApplication::quit();
}

} // namespace

qint64 agentIdleSeconds(const QByteArray& value)
{
    bool ok = false;
    const qint64 secs = value.trimmed().toLongLong(&ok, 0);
    return ok && secs >= 1 ? secs : 0;
}

int agentIdleIntervalMs(qint64 secs)
{
    // Beyond about 24 days the millisecond count no longer fits the timer;
    // the bound is checked before multiplying, which could overflow too.
    constexpr qint64 kMaxSecs = std::numeric_limits<int>::max() / 1000;
    return secs > kMaxSecs ? std::numeric_limits<int>::max() : int(qMax<qint64>(secs, 0) * 1000);
}

void runAgentMode(SingleInstanceLock* lock)
{
    g_lock = lock;
    qInfo() << "agent mode: starting (no main window)";
    writeInstallPath();

    auto* server = new AgentServer(qApp);
    QString error;
    if (!server->start(&error)) {
        qWarning() << "agent mode: listen failed ->" << error;
        stopTempCleanupThread();
        hardExit(2);
    }

    const qint64 idle = agentIdleSeconds(qgetenv("KRV_AGENT_IDLE_SEC"));
    if (idle < 1) {
        qInfo() << "agent mode: resident mode (no idle exit)";
    } else {
        auto* timer = new QTimer(qApp);
        // A coarse timer may fire up to 5 % early: the agent would leave
        // before the idle time it was given.
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(agentIdleIntervalMs(idle));
        QObject::connect(server, &AgentServer::activity, timer, qOverload<>(&QTimer::start));
        QObject::connect(timer, &QTimer::timeout, qApp, [] {
            qInfo() << "agent mode: idle timeout, quitting";
            QCoreApplication::quit();
        });
        timer->start();
        qInfo() << "agent mode: idle auto-exit enabled, idle(s) =" << idle;
    }

    QObject::connect(server, &AgentServer::showMainRequested, qApp, &promoteAgentToGui);

    auto* tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/res/resources/logo.png")), qApp);
    tray->setToolTip(translate("Quillory 托盘助手"));
    auto* menu = new QMenu;
    QObject::connect(menu->addAction(translate("打开主面板")), &QAction::triggered, qApp, &promoteAgentToGui);
    QObject::connect(menu->addAction(translate("退出")), &QAction::triggered, qApp, &QCoreApplication::quit);
    tray->setContextMenu(menu);
    QObject::connect(tray, &QSystemTrayIcon::activated, qApp, [](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            promoteAgentToGui();
    });
    tray->show();
    qInfo() << "agent mode: tray shown (resident)";

    const int code = QApplication::exec();
    qInfo() << "agent mode: event loop exited, code" << code;
    stopTempCleanupThread();
    if (g_lock)
        g_lock->release();
    hardExit(code);
}
