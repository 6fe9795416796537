// The screen-monitor button: starts and stops the process's recorder with
// the settings of the moment and keeps button 9 lit while it records.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "protect/screenmonitor.h"
#include "settings/settingsdialog.h"
#include "widgets/uibtn.h"

#include <QDir>

namespace {
constexpr int kMonitorButton = uiBtnId(UiBtn::ScreenMonitor);
} // namespace

void MainWindow::toggleScreenMonitor()
{
    ScreenMonitor* monitor = ScreenMonitor::instance();
    connect(monitor, &ScreenMonitor::diskFull, this, &MainWindow::onScreenMonitorDiskFull, Qt::UniqueConnection);
    connect(monitor, &ScreenMonitor::folderUnavailable, this, &MainWindow::onScreenMonitorFolderUnavailable,
            Qt::UniqueConnection);
    connect(monitor, &ScreenMonitor::recordingResumed, this, &MainWindow::onScreenMonitorResumed, Qt::UniqueConnection);

    if (monitor->isRunning()) {
        // The recorder watches over the protected panel: turning it off is
        // as protected as its set-up.
        if (!settings.protectPasswordHash.isEmpty() && !askProtectionPassword())
            return;
        monitor->stop();
        setUiButtonLit(kMonitorButton, false);
        showToast(translate("屏幕监控已停止"), 0);
        return;
    }
    const QString configureFirst = translate("请先在 设置→屏幕监控 完成配置");
    if (settings.monitorDir.isEmpty()) {
        showToast(configureFirst, 0);
        openMonitorSettings();
        return;
    }
    monitor->configure(settings.monitorDir, settings.monitorMaxMB, settings.monitorIdleSec, settings.monitorFps,
                       settings.monitorFormat, settings.monitorTrigger);
    if (!monitor->start()) {
        // The folder cannot be made or written: the user has to pick
        // another one, exactly as when none is set.
        showToast(configureFirst, 1);
        openMonitorSettings();
        return;
    }
    setUiButtonLit(kMonitorButton, true);
    showToast(translate("屏幕监控已启动"), 0);
}

void MainWindow::onScreenMonitorDiskFull()
{
    // The recorder keeps running and resumes by itself; the button shows
    // it paused until the user presses it again.
    setUiButtonLit(kMonitorButton, false);
    showToast(translate("磁盘剩余空间不足，录屏已暂停（腾出空间后会自动继续）"), 1);
}

void MainWindow::onScreenMonitorFolderUnavailable(const QString& folder)
{
    setUiButtonLit(kMonitorButton, false);
    showToast(translate("录屏文件夹已不存在且无法重新创建，录屏已暂停：%1").arg(QDir::toNativeSeparators(folder)), 1);
}

void MainWindow::onScreenMonitorResumed()
{
    // Only a recorder still meant to run lights the button again.
    if (ScreenMonitor::instance()->isRunning())
        setUiButtonLit(kMonitorButton, true);
}

void MainWindow::openMonitorSettings()
{
    openSettings();
    // Locked, no dialog opens: the lock screen asks for the password first.
    if (!settingsDialog)
        return;
    // The set-up lies on the protection page: with a password set, the page
    // asks for it as when it is chosen in the dialog.
    if (settings.protectPasswordHash.isEmpty())
        settingsDialog->gotoMonitorSettings();
    else
        settingsDialog->gotoProtectPage();
}
