#include "app/startup.h"

#include "app/fontaliases.h"

#include "app/agentmode.h"
#include "app/agentserver.h"
#include "app/crashhandler.h"
#include "app/environment.h"
#include "app/lang.h"
#include "app/logging.h"
#include "app/panelmode.h"
#include "app/paths.h"
#include "app/tempcleanup.h"
#include "app/uipreview.h"
#include "backup/backupengine.h"
#include "icons/iconprobe.h"
#include "panel/mainwindow.h"
#include "platform/process.h"
#include "platform/quitsignals.h"
#include "platform/singleinstance.h"
#include "platform/windowsystem.h"

#include <QApplication>
#include <QDebug>

namespace {

const QString kLockName = QStringLiteral("TarnavelPanel_SingleInstanceMutex");

// The first argument beginning with `prefix` (case-sensitive), without it;
// a null string when there is none.
QString optionValue(const QStringList& args, QLatin1String prefix)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i).startsWith(prefix))
            return args.at(i).mid(prefix.size());
    }
    return QString();
}

bool hasOption(const QStringList& args, QLatin1String prefix)
{
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i).startsWith(prefix))
            return true;
    }
    return false;
}

int runSecondInstance(bool agentMode)
{
    if (agentMode) {
        qInfo() << "agent mode: panel already running, exit without waking window";
        return 0;
    }
    WindowSystem& ws = windowSystem();
    const WId window = ws.findPanelWindow(QStringLiteral("TarnavelPanel_MainWnd"), QStringLiteral("Quillory"));
    if (window) {
        ws.postWake(window, MainWindow::kWakeMessage);
        qInfo() << "second instance detected, wake existing window and exit";
    } else {
        qInfo() << "agent running without main window, request show";
        agentRequestShow();
    }
    return 0;
}

} // namespace

int qMain(int argc, char** argv)
{
    cleanStartupEnvironment();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    QApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QApplication::setApplicationDisplayName(translate("Quillory"));
    installFontAliases();

    initLogging(cachedAppDataDir());
    const QStringList args = QApplication::arguments();
    qInfo() << "startup:" << appVersionString() << "args:" << args.join(QLatin1Char(' '));

    const bool agentMode = args.mid(1).contains(QStringLiteral("--agent"));

    if (hasOption(args, QLatin1String("--icon-probe="))) {
        runIconProbe(optionValue(args, QLatin1String("--icon-probe=")));
        return 0;
    }
    if (hasOption(args, QLatin1String("--ui-preview=")))
        return runUiPreview(optionValue(args, QLatin1String("--ui-preview=")));

    initCrashHandler();

    std::unique_ptr<SingleInstanceLock> lock = createSingleInstanceLock(kLockName);
    switch (lock->tryAcquire()) {
    case SingleInstanceLock::Result::HeldElsewhere:
        return runSecondInstance(agentMode);
    case SingleInstanceLock::Result::Failed:
        qWarning() << "single-instance mutex creation failed" << lock->errorText();
        break;
    case SingleInstanceLock::Result::Acquired:
        // Only the lock holder may clear a socket file a killed process left.
        AgentServer::removeStaleSocket();
        break;
    }

    // A restore cut short by a kill or a crash is rolled back before
    // anything of the data root is read.
    BackupEngine::finishInterruptedRestore(cachedAppDataDir());
    startTempCleanupThread();

    // A logout or `kill` quits through the event loop, so the quit handler
    // saves as it does for the user's own close.
    if (QuitSignals* signals_ = QuitSignals::install(&app)) {
        QObject::connect(signals_, &QuitSignals::quitRequested, &app, [](int sig) {
            qInfo() << "quit signal received:" << sig;
            QCoreApplication::quit();
        });
    } else {
        qWarning() << "quit signals not watched: pipe creation failed";
    }

    // The lock lives until the hard exit; it is never destroyed.
    SingleInstanceLock* held = lock->isHeld() ? lock.release() : nullptr;
    if (agentMode)
        runAgentMode(held);
    runPanelMode(held);
}
