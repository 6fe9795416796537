#include "main/startup.h"

#include "app/fontaliases.h"

#include "app/asynctask.h"
#include "app/environment.h"
#include "app/lang.h"
#include "app/logging.h"
#include "app/paths.h"
#include "backup/backupengine.h"
#include "backup/userdata.h"
#include "icons/iconprobe.h"
#include "main/agentmode.h"
#include "main/agentserver.h"
#include "main/crashhandler.h"
#include "main/panelmode.h"
#include "main/tempcleanup.h"
#include "main/uipreview.h"
#include "panel/mainwindow.h"
#include "platform/fontsetup.h"
#include "platform/privatefolder.h"
#include "platform/process.h"
#include "platform/quitsignals.h"
#include "platform/singleinstance.h"
#include "platform/windowsystem.h"

#include <QApplication>
#include <QScopeGuard>
#include <QDeadlineTimer>
#include <QDebug>
#include <QThread>

#include <cstdio>

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

// How long a second instance keeps trying before it decides that the lock's
// holder will show no panel: time for a starting panel to put up its window
// and for a flooded agent to drop its idle connections.
constexpr int kHandOverWaitMs = 5000;
constexpr int kHandOverPollMs = 200;

enum class HandOver {
    Done,         // a running panel or agent took the request
    LockFreed,    // the holder ended meanwhile: this process holds the lock now
    NobodyAnswers // the holder lives but shows no window and answers no socket
};

// Wakes the running panel, or asks the running agent for one. Retried
// until kHandOverWaitMs have passed; only the first failure is logged.
HandOver handOverToRunningInstance(SingleInstanceLock& lock)
{
    WindowSystem& ws = windowSystem();
    const QDeadlineTimer deadline(kHandOverWaitMs);
    for (int attempt = 0;; ++attempt) {
        const WId window = ws.findPanelWindow(QStringLiteral("TarnavelPanel_MainWnd"), QStringLiteral("Quillory"));
        if (window) {
            ws.postWake(window, MainWindow::kWakeMessage);
            qInfo() << "second instance detected, wake existing window and exit";
            return HandOver::Done;
        }
        if (attempt == 0)
            qInfo() << "agent running without main window, request show";
        if (agentRequestShow(attempt == 0))
            return HandOver::Done;
        if (lock.tryAcquire() == SingleInstanceLock::Result::Acquired)
            return HandOver::LockFreed;
        if (deadline.hasExpired())
            return HandOver::NobodyAnswers;
        // No window exists yet and the event loop has not started: a pause
        // here holds nothing up.
        QThread::msleep(kHandOverPollMs);
    }
}

// A start that must not run: said on standard error and in the log.
int refuseToStart(const QString& why)
{
    qWarning().noquote() << "startup refused:" << why;
    std::fprintf(stderr, "TarnavelPanel: %s\n", why.toLocal8Bit().constData());
    return 1;
}

} // namespace

int qMain(int argc, char** argv)
{
    cleanStartupEnvironment();
    FontSetupPreload fontSetup;

    QApplication app(argc, argv);
    // The application's font database may drop the configuration when it
    // goes: the reading thread ends before, on every return.
    const auto fontSetupEnded = qScopeGuard([&fontSetup] { fontSetup.wait(); });
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
        if (agentMode) {
            qInfo() << "agent mode: panel already running, exit without waking window";
            return 0;
        }
        switch (handOverToRunningInstance(*lock)) {
        case HandOver::Done:
            return 0;
        case HandOver::LockFreed:
            qInfo() << "second instance: the running instance ended, starting as the first";
            break;
        case HandOver::NobodyAnswers:
            // A second panel would write the same settings and layout files
            // as the holder.
            return refuseToStart(QStringLiteral("another instance holds the single-instance lock but shows no "
                                                "panel window and answers no request within %1 ms; not starting "
                                                "a second panel")
                                     .arg(kHandOverWaitMs));
        }
        break;
    case SingleInstanceLock::Result::Failed:
        return refuseToStart(QStringLiteral("the single-instance lock cannot be made (%1); not starting a panel "
                                            "that could run beside another")
                                 .arg(lock->errorText()));
    case SingleInstanceLock::Result::Acquired:
        break;
    }
    AgentServer::removeStaleSocket();

    // A restore or an import cut short by a kill or a crash is finished or
    // rolled back before anything of the data root is read.
    BackupEngine::finishInterruptedRestore(cachedAppDataDir());
    finishInterruptedImport(cachedAppDataDir());
    startTempCleanupThread();
    // Files earlier versions or other tools left readable by others; off
    // the GUI thread, since the data root may hold installed apps.
    AsyncTask::pool()->start([root = cachedAppDataDir()] {
        if (const int changed = tightenTree(root))
            qInfo() << "data root: made" << changed << "entries private";
    });

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
    SingleInstanceLock* held = lock.release();
    if (agentMode)
        runAgentMode(held);
    runPanelMode(held);
}
