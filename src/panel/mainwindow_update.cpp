// The panel's own updates: when to check, on which channel, and how the
// process ends once the installer takes over.
#include "panel/mainwindow.h"

#include "platform/process.h"
#include "protect/screenmonitor.h"
#include "settings/settingsdialog.h"
#include "updater/panelupdater.h"

#include <QCoreApplication>
#include <QTimer>

PanelUpdater* MainWindow::updater()
{
    if (panelUpdater)
        return panelUpdater;
    PanelUpdater::Hooks hooks;
    hooks.network = [this] { return onlineManager(); };
    hooks.toast = [this](const QString& text, int kind) { showToast(text, kind); };
    hooks.stopNoticePoll = [this] {
        if (noticeTimer)
            noticeTimer->stop();
    };
    hooks.resumeNoticePoll = [this] {
        if (noticeTimer && !noticeTimer->isActive())
            noticeTimer->start();
    };
    hooks.endProcess = [this] {
        stopBackgroundWork();
        ScreenMonitor::instance()->stop();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        // Nothing more is saved and no quit handler runs: the script starts
        // the installer only once this process has ended.
        hardExit(0);
    };
    // The offer can download and start an installer past the lock screen.
    hooks.offerHeld = [this] { return settings.uiLocked; };
    panelUpdater = new PanelUpdater(this, std::move(hooks));
    return panelUpdater;
}

void MainWindow::checkForUpdates(bool beta, bool manual)
{
    updater()->checkForUpdates(beta, manual);
}

void MainWindow::checkUpdatesAtStartup()
{
    // Its dialog could download and start an installer past the lock
    // screen; a locked panel skips this run's silent check.
    if (settings.uiLocked)
        return;
    checkForUpdates(settings.updateChannel == 1, false);
}

void MainWindow::checkUpdatesFromSettings()
{
    // The channel the open dialog shows counts before OK has saved it.
    int chosen = -1;
    if (settingsUpdateChannelChoice)
        chosen = settingsUpdateChannelChoice();
    else if (settingsDialog)
        chosen = settingsDialog->workingSettings().updateChannel;
    const bool beta = chosen >= 0 ? chosen != 0 : settings.updateChannel == 1;
    checkForUpdates(beta, true);
}
