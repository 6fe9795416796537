// The automatic backup and the maintenance actions of the window: log
// export, the user-data bundle, the reload after a restore, uninstall and
// factory reset.
#include "panel/mainwindow.h"

#include "account/supportchatdialog.h"
#include "app/appsettings.h"
#include "app/asynctask.h"
#include "app/configsafety.h"
#include "app/lang.h"
#include "app/logging.h"
#include "app/paths.h"
#include "backup/autobackup.h"
#include "backup/backupengine.h"
#include "backup/backupoperation.h"
#include "backup/logexport.h"
#include "backup/maintenancescripts.h"
#include "backup/userdata.h"
#include "market/appmarketdialog.h"
#include "panel/layoutfile.h"
#include "panel/autostart.h"
#include "platform/privatefolder.h"
#include "platform/process.h"
#include "platform/regularfile.h"
#include "protect/screenmonitor.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include <QApplication>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr qint64 kStalePartAgeSecs = 21600;

QString desktopFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString datedDesktopPath(const char* pattern)
{
    return desktopFolder() + translate(pattern).arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
}

// Where this copy's data root belongs: "data" beside a portable copy, else
// the per-user location. Computed without creating anything.
QString knownDataRoot()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && QFileInfo::exists(exeDir + QStringLiteral("/portable.ini")))
        return exeDir + QStringLiteral("/data");
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

MaintenanceContext maintenanceContext(const QString& dataRoot)
{
    MaintenanceContext c;
    c.pid = QCoreApplication::applicationPid();
    c.executable = QCoreApplication::applicationFilePath();
    c.programDir = QCoreApplication::applicationDirPath();
    c.home = QDir::homePath();
    c.dataRoot = dataRoot;
    c.knownDataRoot = knownDataRoot();
    c.desktopDir = desktopFolder();
    c.applicationsDir = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    c.autostartEntry = autoStartEntryPath();
    return c;
}

const char* verdictName(RemovalVerdict v)
{
    switch (v) {
    case RemovalVerdict::Allowed: return "allowed";
    case RemovalVerdict::NotAbsolute: return "not absolute";
    case RemovalVerdict::RootOrHome: return "root, home or an ancestor of home";
    case RemovalVerdict::TooShort: return "fewer than three components";
    case RemovalVerdict::NotAFolder: return "not a folder";
    case RemovalVerdict::NoInstallMarker: return "no install marker";
    case RemovalVerdict::UnknownLocation: return "not the data root's own location";
    case RemovalVerdict::TooShortText: return "path too short";
    case RemovalVerdict::HoldsProgram: return "a link to the program folder or above it";
    }
    return "?";
}

// Why the layout loader would not take a file of these bytes whole (set it
// aside, or drop part of it); empty when it would.
QString importedLayoutLoss(const QByteArray& bytes)
{
    if (bytes.size() > kMaxConfigFileBytes)
        return QStringLiteral("larger than %1 bytes").arg(kMaxConfigFileBytes);
    const LayoutRead r = parseLayout(bytes, QString());
    if (r.state != LayoutFileState::Loaded || r.partlyRead)
        return r.error.isEmpty() ? QStringLiteral("not loadable") : r.error;
    return QString();
}

} // namespace

QString MainWindow::maintenanceDataRoot() const
{
    // The folder the layout was loaded from is the data root of this run.
    if (!layoutPath.isEmpty())
        return QFileInfo(layoutPath).absolutePath();
    return cachedAppDataDir();
}

void MainWindow::runAutoBackupIfDue()
{
    static bool staleSwept = false;
    if (!staleSwept) {
        staleSwept = true;
        const QString folder = backupFolderFor(settings.backupDir, maintenanceDataRoot());
        const QString programDir = QCoreApplication::applicationDirPath();
        const QString home = QDir::homePath();
        // Both may wait on the file system: off the GUI thread.
        AsyncTask::pool()->start([folder, programDir, home] {
            if (QFileInfo(folder).isDir())
                BackupEngine::removeStaleParts(folder, kStalePartAgeSecs);
            // The first run of an installed copy marks its program folder as
            // one the uninstall may delete.
            ensureInstallMarker(programDir, home);
        });
    }
    if (!settings.backupAuto)
        return;
    if (autoBackupWatcher && autoBackupWatcher->isRunning())
        return;
    if (!isAutoBackupDue(settings.backupLastAt, settings.backupIntervalDays, QDateTime::currentDateTime()))
        return;

    const QString dataRoot = maintenanceDataRoot();
    const QString folder = backupFolderFor(settings.backupDir, dataRoot);
    const int keep = settings.backupRetain;
    if (!autoBackupWatcher) {
        autoBackupWatcher = new QFutureWatcher<QString>(this);
        connect(autoBackupWatcher, &QFutureWatcherBase::finished, this, &MainWindow::onAutoBackupFinished);
    }
    autoBackupCancel = std::make_shared<std::atomic_bool>(false);
    qInfo() << "auto backup due; creating snapshot ->" << folder;
    autoBackupTask = QtConcurrent::run(QThreadPool::globalInstance(), runAutoBackup, dataRoot, folder, keep,
                                       autoBackupCancel);
    autoBackupWatcher->setFuture(autoBackupTask);
}

void MainWindow::onAutoBackupFinished()
{
    if (autoBackupCancel && autoBackupCancel->load()) {
        qInfo() << "auto backup cancelled, last-backup time unchanged";
        return;
    }
    const QString error = autoBackupWatcher->future().result();
    if (!error.isEmpty()) {
        qWarning() << "auto backup failed:" << error;
        showToast(translate("自动备份失败：%1").arg(translate(error)), 1);
        return;
    }
    const QString notice = uncarriedNamesNotice(BackupEngine::takeUncarriedNames());
    if (!notice.isEmpty())
        showToast(notice, 1);
    settings.backupLastAt = QDateTime::currentDateTime().toString(Qt::ISODate);
    saveSettings();
    qInfo() << "auto backup done, next due in" << settings.backupIntervalDays << "days";
}

void MainWindow::exportLogs()
{
    const QString logDir = logRoot();
    if (logDir.isEmpty() || !QFileInfo(logDir).isDir()) {
        showToast(translate("暂无日志可导出"), 1);
        return;
    }
    const QString zipPath = maintenanceUi.askSavePath(this, translate("导出日志"), datedDesktopPath("/Quillory日志_%1.zip"),
                                                      translate("Zip 压缩包 (*.zip)"));
    if (zipPath.isEmpty())
        return;
    qInfo() << "export logs ->" << zipPath;
    startLogExport(logDir, zipPath, this, [this](const QString& text, int kind) { showToast(text, kind); });
}

void MainWindow::exportUserData()
{
    const QString filter = translate("备份文件 (*.json)");
    const QString path = maintenanceUi.askSavePath(this, translate("导出数据（备份）"),
                                                   datedDesktopPath("/Quillory备份_%1.json"), filter);
    if (path.isEmpty())
        return;
    const QString settingsFile = settingsPath.isEmpty() ? cachedAppDataDir() + QStringLiteral("/settings.json") : settingsPath;
    UserDataFiles files;
    files.layout = layoutPath.isEmpty() ? cachedAppDataDir() + QStringLiteral("/layout.json") : layoutPath;
    files.settings = settingsFile;
    files.registry = QFileInfo(settingsFile).absolutePath() + QStringLiteral("/apps_registry.json");
    const QJsonObject bundle = buildUserDataBundle(files, appVersionString(), QDateTime::currentDateTime());
    // The bundle holds the settings with the lock password's hash. The save
    // keeps the mode of the file it replaces, so that file is made private
    // first: an empty one of this user's when nothing lies there yet.
    const bool placeholder = pathKind(path) == PathKind::None && writeNewFile(path, QByteArray(), 0600);
    if (!placeholder)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const BundleWrite written = writeUserDataBundle(path, bundle);
    if (written != BundleWrite::Ok && placeholder)
        QFile::remove(path);
    switch (written) {
    case BundleWrite::OpenFailed:
        showToast(translate("导出失败：无法写入文件"), 1);
        return;
    case BundleWrite::Blocked:
        showToast(translate("导出失败：写入被拦截"), 1);
        return;
    case BundleWrite::Ok:
        break;
    }
    qInfo() << "user data exported ->" << path;
    showToast(translate("已导出到 %1").arg(QDir::toNativeSeparators(path)), 0);
}

void MainWindow::importUserData()
{
    const QString path = maintenanceUi.askOpenPath(this, translate("导入数据（恢复）"), desktopFolder(),
                                                   translate("备份文件 (*.json)"));
    if (path.isEmpty())
        return;
    QJsonObject bundle;
    switch (readUserDataBundle(path, bundle)) {
    case BundleRead::Unreadable:
        showToast(translate("导入失败：无法读取文件"), 1);
        return;
    case BundleRead::TooLarge:
        showToast(translate("导入失败：备份文件过大"), 1);
        return;
    case BundleRead::Invalid:
        showToast(translate("导入失败：不是有效的备份文件"), 1);
        return;
    case BundleRead::Ok:
        break;
    }
    // What the loaders would drop or set aside would be lost with the files
    // it replaces: such a bundle is refused whole, before anything changes.
    const QString settingsFile = settingsPath.isEmpty() ? cachedAppDataDir() + QStringLiteral("/settings.json") : settingsPath;
    UserDataFiles files;
    files.dataRoot = maintenanceDataRoot();
    files.layout = layoutPath.isEmpty() ? cachedAppDataDir() + QStringLiteral("/layout.json") : layoutPath;
    files.settings = settingsFile;
    files.registry = QFileInfo(settingsFile).absolutePath() + QStringLiteral("/apps_registry.json");
    QList<ImportEntry> entries = importEntriesFor(bundle, files);
    const QString layoutLoss = importedLayoutLoss(entries.at(0).newContent);
    if (!layoutLoss.isEmpty()) {
        qWarning() << "importUserData: bundle refused, its layout would not load whole:" << layoutLoss;
        showToast(translate("导入失败：备份中的分组布局有无法读取的内容，未导入任何数据"), 1);
        return;
    }
    const QString settingsLoss = settingsBytesLoss(entries.at(1).newContent);
    if (!settingsLoss.isEmpty()) {
        qWarning() << "importUserData: bundle refused, its settings would not load whole:" << settingsLoss;
        showToast(translate("导入失败：备份中的设置有无法读取的内容，未导入任何数据"), 1);
        return;
    }
    if (!maintenanceUi.ask(this, translate("导入数据"),
                           translate("导入将覆盖当前的分组图标、设置与已装应用清单；登录态不导入，需重新登录。是否继续？"),
                           false))
        return;

    switch (replaceUserDataFiles(entries, files.dataRoot)) {
    case ImportResult::UnsafeTarget:
        showToast(translate("导入失败：配置文件位置不安全，已中止导入"), 1);
        return;
    case ImportResult::OriginalUnreadable:
        showToast(translate("导入失败：原配置文件无法读取，已中止导入"), 1);
        return;
    case ImportResult::OriginalShortRead:
        showToast(translate("导入失败：原配置文件读取不完整，已中止导入"), 1);
        return;
    case ImportResult::RolledBack:
        showToast(translate("导入失败：无法写入配置文件，已回滚"), 1);
        return;
    case ImportResult::RollbackIncomplete:
        showToast(translate("导入失败：部分文件未能恢复，请人工检查日志"), 1);
        return;
    case ImportResult::Done:
        break;
    }

    groups.clear();
    if (!loadLayout())
        createDefaultGroups();
    loadSettings();
    applyAllSettings();
    // The sign-in file itself was not touched; the market and the support
    // chat take the session again once they exist.
    loadAuth();
    if (marketDialog)
        marketDialog->setToken(auth.token);
    if (supportChat)
        supportChat->setSession(auth.token, auth.username);
    setCurrentGroupIndex(0);
    iconGrid->preloadCustomIcons();
    iconGrid->update();
    sidebar->update();
    qInfo() << "user data imported from" << path;
    showToast(translate("数据已导入并生效"), 0);
}

void MainWindow::reloadAfterRestore()
{
    groups.clear();
    if (!loadLayout())
        createDefaultGroups();
    if (currentGroupIndex >= groups.size())
        setCurrentGroupIndex(0);
    iconGrid->preloadCustomIcons();
    loadSettings();
    const int language = settings.language > 0 ? 1 : 0;
    if (language != currentLanguage()) {
        setLanguage(language);
        notifyLanguageChanged();
    }
    applyAppSettings(settings);
    iconGrid->update();
    sidebar->update();
    // The restored files are loaded: saves may write again.
    BackupEngine::releaseSaves();
    if (settingsDialog && !settingsRefreshPending)
        scheduleSettingsDialogRefresh();
}

void MainWindow::uninstallApp(bool full)
{
    const QString title = full ? translate("完全卸载") : translate("保留配置卸载");
    const QString text = full ? translate("完全卸载将删除程序与全部分组、设置、日志等数据，且不可恢复。\n确定要继续吗？")
                              : translate("卸载程序，但保留你的分组、设置等全部数据；重新安装后自动恢复。\n确定要继续吗？");
    if (!maintenanceUi.ask(this, title, text, false))
        return;
    qInfo() << "uninstall requested:" << (full ? "full" : "keep-config");

    const MaintenanceContext context = maintenanceContext(maintenanceDataRoot());
    const UninstallPlan plan = planUninstall(context, full);
    if (plan.programDir.isEmpty())
        qWarning() << "uninstall: program folder kept:" << context.programDir << verdictName(plan.programVerdict);
    if (full && plan.dataRoot.isEmpty()) {
        qWarning() << "uninstall: data root kept:" << context.dataRoot << verdictName(plan.dataVerdict);
        // The question above promised the data would go: say what stays.
        const QString where = QFileInfo(context.dataRoot).isSymLink()
            ? QStringLiteral("%1 -> %2").arg(context.dataRoot, QFileInfo(context.dataRoot).canonicalFilePath())
            : context.dataRoot;
        if (!maintenanceUi.ask(this, title, translate("数据目录无法自动删除，将保留在原处：\n%1\n仍要卸载程序吗？").arg(where), true))
            return;
    }

    QString script;
    switch (writeMaintenanceScript(runtimeDirectory(), QLatin1String(kUninstallScriptName),
                                   uninstallScriptText(context, plan), &script)) {
    case ScriptWrite::OpenFailed:
        showToast(translate("卸载失败：无法写临时脚本"), 1);
        return;
    case ScriptWrite::Incomplete:
        showToast(translate("卸载失败：临时脚本写入不完整，请检查磁盘空间"), 1);
        return;
    case ScriptWrite::Ok:
        break;
    }
    if (!maintenanceUi.start(QStringLiteral("/bin/sh"), { script }, QDir::tempPath())) {
        removeMaintenanceScript(script);
        showToast(translate("卸载失败：无法启动卸载脚本，请手动卸载"), 1);
        return;
    }
    // The quit handler saves and ends the process; the script waits for it.
    quitRequested = true;
    QCoreApplication::quit();
}

void MainWindow::factoryReset()
{
    // Asked from the settings dialog, which is then the active window.
    QWidget* parent = settingsDialog ? QApplication::activeWindow() : nullptr;
    if (!parent)
        parent = this;
    if (!maintenanceUi.ask(parent, translate("完全初始化"),
                           translate("完全初始化将删除全部分组、设置、日志、缓存、备份、账号信息，程序会自动重启并回到首次安装状态。此操作不可恢复。\n确定要继续吗？"),
                           true))
        return;

    const MaintenanceContext context = maintenanceContext(cachedAppDataDir());
    const RemovalVerdict verdict = checkFactoryResetRoot(context);
    if (verdict != RemovalVerdict::Allowed) {
        qWarning() << "factory reset refused:" << context.dataRoot << verdictName(verdict);
        showToast(translate("初始化失败：数据目录无效，已中止"), 1);
        return;
    }
    qInfo() << "factory reset requested, data dir:" << context.dataRoot;

    QString script;
    switch (writeMaintenanceScript(runtimeDirectory(), QLatin1String(kFactoryResetScriptName),
                                   factoryResetScriptText(context), &script)) {
    case ScriptWrite::OpenFailed:
        showToast(translate("初始化失败：无法写临时脚本"), 1);
        return;
    case ScriptWrite::Incomplete:
        showToast(translate("初始化失败：临时脚本写入不完整，请检查磁盘空间"), 1);
        return;
    case ScriptWrite::Ok:
        break;
    }
    if (!maintenanceUi.start(QStringLiteral("/bin/sh"), { script }, QDir::tempPath())) {
        removeMaintenanceScript(script);
        showToast(translate("初始化失败：无法启动重置脚本，请手动清理数据目录"), 1);
        return;
    }
    qInfo() << "factory reset script launched, hard-exiting:" << script;
    stopBackgroundWork();
    ScreenMonitor::instance()->stop();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // Nothing is saved: the data root is about to be emptied.
    hardExit(0);
}
