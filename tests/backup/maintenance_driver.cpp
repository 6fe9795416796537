// A panel for the sandbox tests of uninstall and factory reset: the real
// road of the panel (its window, quit handler and hard exit) with one
// maintenance action started once the event loop runs, answered "yes".
// Without an action it is the panel the factory reset starts again: it
// builds its first-run state, notes its process id and session in the file
// named by QY_SANDBOX_MARK, and ends.
#include "app/logging.h"
#include "app/paths.h"
#include "main/panelmode.h"
#include "panel/mainwindow.h"
#include "platform/process.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <unistd.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    initLogging(cachedAppDataDir());
    const QString action = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    if (action.isEmpty()) {
        auto* window = new MainWindow;
        window->saveSettings();
        QFile mark(qEnvironmentVariable("QY_SANDBOX_MARK"));
        if (mark.open(QIODevice::WriteOnly))
            mark.write(QByteArray::number(qint64(::getpid())) + ' ' + QByteArray::number(qint64(::getsid(0))) + '\n');
        mark.close();
        hardExit(0);
    }

    QTimer::singleShot(0, [action] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<MainWindow*>(w);
            if (!window)
                continue;
            window->maintenanceUi.confirm = [](QWidget*, const QString&, const QString&, bool) { return true; };
            if (action == QStringLiteral("--uninstall-full"))
                window->uninstallApp(true);
            else if (action == QStringLiteral("--uninstall-keep"))
                window->uninstallApp(false);
            else if (action == QStringLiteral("--factory-reset"))
                window->factoryReset();
            // Still running a while later: the action was refused.
            QTimer::singleShot(5000, [] { hardExit(3); });
            return;
        }
    });
    runPanelMode(nullptr);
}
