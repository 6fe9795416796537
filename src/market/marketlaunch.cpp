// Starting installed apps, their desktop shortcuts, the row menu and
// removal.
#include "market/appmarketdialog.h"

#include "account/appstat.h"
#include "app/configsafety.h"
#include "app/lang.h"
#include "market/marketcatalogue.h"
#include "market/packagecache.h"
#include "platform/desktopentry.h"
#include "platform/launcher.h"
#include "platform/privatefolder.h"
#include "platform/regularfile.h"

#include <QClipboard>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QNetworkReply>
#include <QStandardPaths>

#include <algorithm>

bool isStartableFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink())
        return false;
    const QString suffix = info.suffix();
    return info.isExecutable() || suffix.compare(QLatin1String("AppImage"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0;
}

QString findAppExecutable(const QString& path)
{
    const QFileInfo info(path);
    if (isStartableFile(path))
        return info.absoluteFilePath();
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    // Name order, so that the same folder always gives the same program.
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end());
    for (const QString& name : names) {
        const QString candidate = folder + QLatin1Char('/') + name;
        if (isStartableFile(candidate))
            return QFileInfo(candidate).absoluteFilePath();
    }
    return QString();
}

QString desktopShortcutBaseName(const QString& name)
{
    QString base = name;
    for (QChar& c : base) {
        // The characters Windows refuses in file names, and control
        // characters, which no desktop shows sensibly.
        if (QStringLiteral("\\/:*?\"<>|").contains(c) || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    base = base.trimmed();
    return base.isEmpty() ? translate(u"应用") : base;
}

namespace {

// The panel's own earlier shortcut to the same program: a regular file, not
// a link, whose command is exactly the one about to be written.
bool isOwnShortcut(const QString& path, const QString& exec)
{
    if (pathKind(path) != PathKind::Regular)
        return false;
    DesktopEntry entry;
    return readDesktopEntryFile(path, &entry) && entry.valid && entry.exec == exec;
}

} // namespace

bool createDesktopShortcut(const QString& target, const QString& workingDir, const QString& name,
                           const QString& iconPath)
{
    if (target.isEmpty() || !QFileInfo::exists(target))
        return false;
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        desktop = QDir::homePath() + QStringLiteral("/Desktop");
    if (!QDir().mkpath(desktop))
        return false;
    const QString program = QDir::toNativeSeparators(target);
    // "%" is written "%%" in Exec, but GLib loads an entry only when the
    // first word, taken literally, names a program, and refuses one whose
    // path holds "%%". Through env the path is an argument, which every
    // reader expands alike.
    const QString exec = program.contains(QLatin1Char('%')) ? QStringLiteral("env ") + quoteExecWord(program)
                                                            : quoteExecWord(program);
    QList<std::pair<QByteArray, QString>> keys;
    keys.append({"Version", QStringLiteral("1.0")});
    keys.append({"Type", QStringLiteral("Application")});
    // Values are escaped as the format wants, so no text from the service
    // can start a line of its own.
    keys.append({"Name", name});
    keys.append({"Comment", name});
    keys.append({"Exec", exec});
    if (!workingDir.isEmpty())
        keys.append({"Path", QDir::toNativeSeparators(workingDir)});
    keys.append({"Icon", QDir::toNativeSeparators(iconPath.isEmpty() ? target : iconPath)});
    keys.append({"Terminal", QStringLiteral("false")});
    const QByteArray bytes = setDesktopEntryKeys(QByteArray(), keys);
    // File managers start only desktop entries marked executable.
    constexpr int kEntryMode = 0755;

    // A file of that name that the panel did not write (the user's own, a
    // link to anywhere) keeps its place; the shortcut takes the next free
    // name. Only the panel's own shortcut to this program is replaced.
    const QString base = desktop + QLatin1Char('/') + desktopShortcutBaseName(name);
    for (int n = 1; n < 100; ++n) {
        const QString path = n == 1 ? base + QStringLiteral(".desktop")
                                    : QStringLiteral("%1 (%2).desktop").arg(base).arg(n);
        QString error;
        if (pathKind(path) == PathKind::None) {
            if (writeNewFile(path, bytes, kEntryMode, &error))
                return true;
            // Taken in the meantime: try the next name.
            if (pathKind(path) != PathKind::None)
                continue;
            qWarning() << "desktop shortcut: cannot write" << path << error;
            return false;
        }
        if (!isOwnShortcut(path, exec))
            continue;
        if (!saveFileAtomically(path, bytes, &error)) {
            qWarning() << "desktop shortcut: cannot write" << path << error;
            return false;
        }
        return QFile::setPermissions(path, QFileDevice::Permissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                                    | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser
                                                                    | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                                    | QFile::ExeOther));
    }
    qWarning() << "desktop shortcut: no free name for" << base;
    return false;
}

bool AppMarketDialog::launchApp(const QString& id)
{
    const QString launch = installedApps.value(id).launch;
    if (!isSafeFileName(launch) || !isMarketAppId(id))
        return false;
    const QString dir = appsRootDir() + QLatin1Char('/') + id;
    const QFileInfo file(dir + QLatin1Char('/') + launch);
    if (!file.isFile())
        return false;
    // Linux names are case-sensitive: so is the test that the program (a
    // link resolved) lies inside the app's own folder.
    const QString canonicalDir = QFileInfo(dir).canonicalFilePath();
    const QString canonicalFile = file.canonicalFilePath();
    if (canonicalDir.isEmpty() || !canonicalFile.startsWith(canonicalDir + QLatin1Char('/'), Qt::CaseSensitive))
        return false;
    Launcher::Request request;
    request.target = QDir::toNativeSeparators(file.absoluteFilePath());
    request.workDir = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    QString error;
    const bool started = launcher().launch(request, &error);
    if (!started)
        qWarning() << "market launch failed:" << id << error;
    return started;
}

void AppMarketDialog::fillRowMenu(QMenu* menu, const AppRow& row)
{
    auto add = [menu](const char16_t* text, int kind, int action, bool enabled) {
        QAction* a = menu->addAction(paintMenuIcon(kind), translate(text));
        a->setData(action);
        a->setEnabled(enabled);
    };
    if (row.isWeb) {
        add(u"打开网页", 0, MenuOpenWeb, true);
        add(u"复制链接", 5, MenuCopyLink, true);
        return;
    }
    const bool installed = row.installed();
    add(u"打开", 0, MenuOpen, installed);
    add(installed ? u"重装" : u"安装", 1, MenuInstall, true);
    add(u"打开所在位置", 2, MenuOpenFolder, installed);
    add(u"卸载", 3, MenuUninstall, installed);
    add(u"添加到面板", 4, MenuAddToPanel, installed);
    add(u"演示官网", 5, MenuDemo, !row.demoUrl.isEmpty());
}

void AppMarketDialog::showRowMenu(AppRow& row)
{
    const QString id = row.id;
    QMenu* menu = new QMenu(this);
    fillRowMenu(menu, row);
    // The menu runs its own event loop: replies may replace the rows while
    // it is open, so the row is found again by its id afterwards.
    QAction* chosen = menu->exec(QCursor::pos());
    const int action = chosen ? chosen->data().toInt() : 0;
    menu->deleteLater();
    if (action)
        runRowMenuAction(id, action);
}

void AppMarketDialog::runRowMenuAction(const QString& id, int action)
{
    AppRow* row = findRow(id);
    if (!row)
        return;
    const QString appDir = appsRootDir() + QLatin1Char('/') + id;
    switch (action) {
    case MenuOpenWeb:
        if (isHttpUrl(QUrl(row->webUrl)))
            launcher().openUrl(QUrl(row->webUrl));
        break;
    case MenuCopyLink:
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->setText(row->webUrl);
        break;
    case MenuOpen:
        launchApp(id);
        break;
    case MenuInstall:
        row->error.clear();
        fetchManifest(*row);
        break;
    case MenuOpenFolder:
        launcher().openUrl(QUrl::fromLocalFile(appDir));
        break;
    case MenuDemo:
        if (isHttpUrl(QUrl(row->demoUrl)))
            launcher().openUrl(QUrl(row->demoUrl));
        break;
    case MenuAddToPanel: {
        const QString exe = appDir + QLatin1Char('/') + installedApps.value(id).launch;
        if (QFileInfo::exists(exe))
            Q_EMIT addToPanelRequested(row->name, exe);
        break;
    }
    case MenuUninstall:
        uninstallApp(*row);
        break;
    default:
        break;
    }
}

void AppMarketDialog::uninstallApp(AppRow& row)
{
    if (row.reply) {
        row.cancelRequested = true;
        row.reply->abort();
    }
    const QString root = appsRootDir();
    removeFileLogged(root + QStringLiteral("/%1.package.zip.part").arg(row.id), "stale-part");
    const QString package = root + QStringLiteral("/%1.package.zip").arg(row.id);
    if (QFileInfo::exists(package) && row.installed())
        storePackageInCache(row.id, row.installedVersion, package);
    else
        removeFileLogged(package, "uninstall");
    row.received = row.total = 0;
    row.downloading = row.paused = false;
    pendingLoginIds.remove(row.id);
    const QString appDir = root + QLatin1Char('/') + row.id;
    if (QFileInfo(appDir).isSymLink())
        QFile::remove(appDir);
    else
        QDir(appDir).removeRecursively();
    installedApps.remove(row.id);
    saveRegistry();
    row.installedVersion.clear();
    row.installedSize = 0;
    reportAppStat(row.id, QStringLiteral("uninstall"), QString());
    sweepPackageCache();
    update();
}
