// Installation: the guarded extraction into a staging folder, the swap into
// place with roll-back, and the installed-apps registry.
#include "market/appmarketdialog.h"

#include "account/appstat.h"
#include "app/jsonutil.h"
#include "app/lang.h"
#include "app/paths.h"
#include "backup/scriptrunner.h"
#include "market/extractscript.h"
#include "market/marketcatalogue.h"
#include "market/packagecache.h"
#include "platform/diskspace.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QTimer>

#include <utility>

// What the two end handlers of one extraction share.
struct AppMarketDialog::ExtractRun {
    QString id;
    QString zipPath;
    QString finalDir;
    QString stagingDir;
    QProcess* process = nullptr;
    bool handled = false;
    qint64 generation = 0;
};

namespace {

bool removeTree(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QFile::remove(path);
    if (!info.exists())
        return true;
    return QDir(path).removeRecursively();
}

bool isInsideCache(const QString& path)
{
    return path.startsWith(packageCacheDir(), Qt::CaseSensitive);
}

} // namespace

void AppMarketDialog::loadRegistry()
{
    installedApps.clear();
    QFile f(registryPath());
    if (!f.open(QIODevice::ReadOnly))
        return;
    QJsonObject o;
    if (!parseJsonObject(f.readAll(), o)) {
        qWarning() << "loadRegistry: bad JSON, ignored";
        return;
    }
    const QJsonArray installed = o.value(QLatin1String("installed")).toArray();
    for (const QJsonValue& v : installed) {
        const QJsonObject e = v.toObject();
        const QString id = e.value(QLatin1String("id")).toString();
        InstalledApp app;
        app.launch = e.value(QLatin1String("launch")).toString();
        app.version = e.value(QLatin1String("version")).toString();
        // The file is ours, but anything that edits it must not be able to
        // point the market at folders or programs outside "/apps".
        if (!isMarketAppId(id) || !isSafeFileName(app.launch)) {
            qWarning() << "loadRegistry: dropped unsafe entry" << id << app.launch;
            continue;
        }
        installedApps.insert(id, app);
    }
}

void AppMarketDialog::saveRegistry()
{
    QJsonArray installed;
    for (auto it = installedApps.cbegin(); it != installedApps.cend(); ++it) {
        installed.append(QJsonObject{
            {QStringLiteral("id"), it.key()},
            {QStringLiteral("version"), it->version},
            {QStringLiteral("launch"), it->launch},
            {QStringLiteral("dir"), QDir::toNativeSeparators(appsRootDir() + QLatin1Char('/') + it.key())}});
    }
    QDir().mkpath(cachedAppDataDir());
    const QString path = registryPath();
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly)) {
        qWarning() << "apps_registry.json open failed:" << path;
        showRegistryWriteNotice();
        return;
    }
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QStringLiteral("installed"), installed}}).toJson(QJsonDocument::Indented);
    if (f.write(bytes) != bytes.size() || !f.commit()) {
        f.cancelWriting();
        qWarning() << "apps_registry.json write/commit failed:" << path;
        showRegistryWriteNotice();
    }
}

void AppMarketDialog::startExtract(AppRow& row, const QString& zipPath)
{
    const qint64 serial = ++row.generation;
    row.extracting = row.installing = true;
    update();
    auto run = std::make_shared<ExtractRun>();
    run->id = row.id;
    run->zipPath = zipPath;
    run->finalDir = appsRootDir() + QLatin1Char('/') + row.id;
    run->stagingDir = run->finalDir + QStringLiteral(".__new");
    run->generation = serial;

    if (QFileInfo::exists(run->stagingDir) || QFileInfo(run->stagingDir).isSymLink()) {
        if (!removeTree(run->stagingDir)) {
            qWarning() << "startExtract: failed to clean stale temp dir:" << run->stagingDir;
            row.extracting = false;
            resetRowDownload(row, translate(u"临时目录清理失败，请重试"));
            return;
        }
    }
    if (!QDir().mkpath(run->stagingDir)) {
        qWarning() << "startExtract: failed to create temp dir:" << run->stagingDir;
        row.extracting = false;
        resetRowDownload(row, translate(u"临时目录创建失败，请重试"));
        return;
    }

    auto* process = new QProcess(this);
    run->process = process;
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
    env.insert(QStringLiteral("POWERSHELL_TELEMETRY_OPTOUT"), QStringLiteral("1"));
    env.insert(QStringLiteral("POWERSHELL_UPDATECHECK"), QStringLiteral("Off"));
    env.insert(QStringLiteral("DOTNET_CLI_TELEMETRY_OPTOUT"), QStringLiteral("1"));
    process->setProcessEnvironment(env);
    process->setProgram(powerShellProgram());
    const qint64 limit = packageUnpackLimit(QFileInfo(run->zipPath).size(), availableDiskBytes(run->stagingDir));
    process->setArguments(packageExtractArguments(
        packageExtractCommand(run->zipPath, run->stagingDir, ExtractDialect::Linux, limit)));

    QPointer<AppMarketDialog> self(this);
    connect(process, &QProcess::errorOccurred, process, [self, run](QProcess::ProcessError) {
        if (self)
            self->onExtractStartFailed(run);
    });
    connect(process, &QProcess::finished, process, [self, run](int exitCode, QProcess::ExitStatus status) {
        if (self)
            self->onExtractFinished(run, exitCode, status);
    });
    auto* killTimer = new QTimer(process);
    killTimer->setSingleShot(true);
    connect(killTimer, &QTimer::timeout, process, &QProcess::kill);
    killTimer->start(kExtractTimeoutMs);
    process->start();
}

void AppMarketDialog::onExtractStartFailed(const std::shared_ptr<ExtractRun>& run)
{
    if (run->handled)
        return;
    run->handled = true;
    run->process->deleteLater();
    removeTree(run->stagingDir);
    AppRow* row = findRow(run->id);
    if (!row)
        return;
    row->extracting = false;
    if (row->generation != run->generation) {
        row->installing = row->downloading = false;
        update();
        return;
    }
    resetRowDownload(*row, translate(u"解压程序启动失败"));
}

void AppMarketDialog::onExtractFinished(const std::shared_ptr<ExtractRun>& run, int exitCode,
                                        QProcess::ExitStatus status)
{
    if (run->handled)
        return;
    run->handled = true;
    run->process->deleteLater();
    const bool failed = exitCode != 0 || status != QProcess::NormalExit;
    AppRow* row = findRow(run->id);
    if (!row || row->generation != run->generation) {
        removeTree(run->stagingDir);
        if (failed && !isInsideCache(run->zipPath))
            removeFileLogged(run->zipPath, "install-cancelled");
        if (row) {
            row->extracting = row->installing = row->downloading = false;
            update();
        }
        return;
    }
    row->extracting = false;
    if (failed) {
        if (!isInsideCache(run->zipPath))
            removeFileLogged(run->zipPath, "install-temp");
        removeTree(run->stagingDir);
        resetRowDownload(*row, exitCode == kExtractTooLarge && status == QProcess::NormalExit
                                   ? translate(u"安装包解压后过大或磁盘空间不足，已取消")
                                   : translate(u"解压失败"));
        return;
    }
    if (installHold && installHold()) {
        heldExtracts.append(run);
        return;
    }
    installExtracted(*row, *run);
}

void AppMarketDialog::releaseHeldInstalls()
{
    const QList<std::shared_ptr<ExtractRun>> held = std::exchange(heldExtracts, {});
    for (const std::shared_ptr<ExtractRun>& run : held) {
        AppRow* row = findRow(run->id);
        if (row && row->generation == run->generation) {
            installExtracted(*row, *run);
            continue;
        }
        removeTree(run->stagingDir);
        if (row) {
            row->installing = row->downloading = false;
            update();
        }
    }
}

void AppMarketDialog::installExtracted(AppRow& row, const ExtractRun& run)
{
    const QString F = run.finalDir;
    const QString T = run.stagingDir;
    const QString O = F + QStringLiteral(".__old");
    removeTree(O);
    const bool hadOld = QFileInfo::exists(F);
    if (hadOld && !QDir().rename(F, O)) {
        removeTree(T);
        resetRowDownload(row, translate(u"安装目录替换失败"));
        return;
    }
    if (!QDir().rename(T, F)) {
        if (hadOld && QFileInfo::exists(O))
            QDir().rename(O, F);
        removeTree(T);
        resetRowDownload(row, translate(u"安装目录替换失败"));
        return;
    }

    QString launch = row.launch;
    const QFileInfo named(F + QLatin1Char('/') + launch);
    if (launch.isEmpty() || !named.isFile() || named.isSymLink()) {
        const QString found = findAppExecutable(F);
        launch = found.isEmpty() ? QString() : QFileInfo(found).fileName();
    }
    const QString exe = F + QLatin1Char('/') + launch;
    if (!launch.isEmpty() && QFileInfo(exe).isFile()) {
        // Zip tools on Windows store no Unix modes: the program must be
        // made startable here.
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup
                                       | QFile::ExeOther);
        row.launch = launch;
        if (hadOld)
            removeTree(O);
        completeInstall(row);
        return;
    }
    removeTree(F);
    if (hadOld && QFileInfo::exists(O))
        QDir().rename(O, F);
    removeTree(T);
    resetRowDownload(row, translate(u"包内缺少启动文件"));
}

void AppMarketDialog::completeInstall(AppRow& row)
{
    row.downloading = row.paused = row.cancelRequested = row.installing = false;
    row.received = row.total = 0;
    row.errorBody.clear();
    row.resumeRetried = row.rangeMismatch = false;
    const QString version = row.packageVersion();
    row.installedVersion = version;
    installedApps.insert(row.id, InstalledApp{version, row.launch});
    saveRegistry();
    reportAppStat(row.id, QStringLiteral("install"), QString());

    const QString appDir = appsRootDir() + QLatin1Char('/') + row.id;
    const QString exe = appDir + QLatin1Char('/') + row.launch;
    const QFileInfo exeInfo(exe);
    row.installedSize = exeInfo.isFile() ? exeInfo.size() : 0;
    update();

    const QString package = appsRootDir() + QStringLiteral("/%1.package.zip").arg(row.id);
    if (QFileInfo::exists(package))
        storePackageInCache(row.id, version, package);
    sweepPackageCache();

    if (!exeInfo.isFile())
        return;
    const QString name = row.name;
    const QString nativeExe = QDir::toNativeSeparators(exe);
    Q_EMIT addToPanelRequested(name, nativeExe);
    const bool made = createDesktopShortcut(nativeExe, QDir::toNativeSeparators(appDir), name, nativeExe);
    qInfo() << "desktop shortcut" << (made ? "created" : "failed") << nativeExe;
}
