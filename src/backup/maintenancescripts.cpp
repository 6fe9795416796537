#include "backup/maintenancescripts.h"

#include "app/configsafety.h"
#include "platform/privatefolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString cleaned(const QString& path)
{
    QString p = QDir::cleanPath(path);
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    return p;
}

// "/" counts as a component, as "C:\" does on a drive: "/opt/Quillory" has three.
int componentCount(const QString& cleanAbsolute)
{
    if (cleanAbsolute == QStringLiteral("/"))
        return 1;
    return 1 + int(cleanAbsolute.split(QLatin1Char('/'), Qt::SkipEmptyParts).size());
}

bool isSameOrAncestor(const QString& candidate, const QString& of)
{
    if (candidate == of)
        return true;
    const QString prefix = candidate == QStringLiteral("/") ? candidate : candidate + QLatin1Char('/');
    return of.startsWith(prefix);
}

// Where a data root that is a link leads; empty for a link that leads
// nowhere. The guard of the link's own path has passed already.
RemovalVerdict checkLinkedDataRoot(const MaintenanceContext& c, QString* target)
{
    *target = QFileInfo(c.dataRoot).canonicalFilePath();
    if (target->isEmpty())
        return RemovalVerdict::Allowed;
    const RemovalVerdict v = checkRemovablePath(*target, c.home);
    if (v != RemovalVerdict::Allowed)
        return v;
    const QString program = QFileInfo(c.programDir).canonicalFilePath();
    if (!program.isEmpty() && isSameOrAncestor(*target, program))
        return RemovalVerdict::HoldsProgram;
    return RemovalVerdict::Allowed;
}

bool isLink(const QString& path)
{
    return QFileInfo(cleaned(path)).isSymLink();
}

// Waits for the panel by its id; a panel that outlives the wait is killed
// by that id, and only while the id still runs our executable, so that a
// process that took over the id after the panel ended is left alone.
QString awaitPanelLines(const MaintenanceContext& c)
{
    QString s;
    s += QStringLiteral("pid=%1\n").arg(c.pid);
    s += QStringLiteral("exe=%1\n").arg(shQuote(c.executable));
    s += QStringLiteral("running() {\n"
                        "  st=$(sed -n 's/^.*) \\(.\\).*$/\\1/p' \"/proc/$pid/stat\" 2>/dev/null)\n"
                        "  [ -n \"$st\" ] && [ \"$st\" != Z ]\n"
                        "}\n");
    s += QStringLiteral("n=0\n"
                        "while running && [ \"$n\" -lt %1 ]; do sleep 0.1; n=$((n + 1)); done\n")
             .arg(c.waitTenths);
    s += QStringLiteral("if running; then\n"
                        "  case \"$(readlink \"/proc/$pid/exe\" 2>/dev/null)\" in\n"
                        "    \"$exe\"|\"$exe (deleted)\") kill -KILL \"$pid\" 2>/dev/null ;;\n"
                        "  esac\n"
                        "  n=0\n"
                        "  while running && [ \"$n\" -lt 50 ]; do sleep 0.1; n=$((n + 1)); done\n"
                        "fi\n");
    return s;
}

// The script lies alone in a folder made for its run: both go once the work
// is done. rmdir leaves a folder that holds anything else.
QString removeOwnRunLines()
{
    return QStringLiteral("rm -f -- \"$0\"\n"
                          "rmdir -- \"${0%/*}\" 2>/dev/null\n");
}

} // namespace

QString shQuote(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

RemovalVerdict checkRemovablePath(const QString& path, const QString& home)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        return RemovalVerdict::NotAbsolute;
    const QString p = cleaned(path);
    const QString h = home.isEmpty() ? QString() : cleaned(home);
    if (p == QStringLiteral("/") || (!h.isEmpty() && isSameOrAncestor(p, h)))
        return RemovalVerdict::RootOrHome;
    if (componentCount(p) < 3)
        return RemovalVerdict::TooShort;
    return RemovalVerdict::Allowed;
}

QString installMarkerPath(const QString& programDir)
{
    return cleaned(programDir) + QLatin1Char('/') + QLatin1String(kInstallMarkerName);
}

bool isInstalledCopyFolder(const QString& programDir, const QString& home)
{
    if (checkRemovablePath(programDir, home) != RemovalVerdict::Allowed)
        return false;
    const QString dir = cleaned(programDir);
    if (QFileInfo::exists(dir + QStringLiteral("/portable.ini")) || QFileInfo(dir).isSymLink())
        return false;
    const QString name = QFileInfo(dir).fileName();
    return name.compare(QStringLiteral("Quillory"), Qt::CaseInsensitive) == 0
        || name.compare(QStringLiteral("TarnavelPanel"), Qt::CaseInsensitive) == 0;
}

bool ensureInstallMarker(const QString& programDir, const QString& home)
{
    const QString marker = installMarkerPath(programDir);
    if (QFileInfo(marker).isFile())
        return true;
    if (!isInstalledCopyFolder(programDir, home))
        return false;
    QString error;
    if (!saveFileAtomically(marker, QByteArrayLiteral("TarnavelPanel install\n"), &error)) {
        qWarning() << "install marker not written:" << marker << error;
        return false;
    }
    qInfo() << "install marker written:" << marker;
    return true;
}

UninstallPlan planUninstall(const MaintenanceContext& c, bool full)
{
    UninstallPlan plan;
    RemovalVerdict program = checkRemovablePath(c.programDir, c.home);
    if (program == RemovalVerdict::Allowed && !QFileInfo(installMarkerPath(c.programDir)).isFile())
        program = RemovalVerdict::NoInstallMarker;
    plan.programVerdict = program;
    const bool dataInside = !c.dataRoot.isEmpty() && isSameOrAncestor(cleaned(c.programDir), cleaned(c.dataRoot));
    if (program == RemovalVerdict::Allowed && (full || !dataInside))
        plan.programDir = cleaned(c.programDir);

    if (full) {
        RemovalVerdict data = checkRemovablePath(c.dataRoot, c.home);
        if (data == RemovalVerdict::Allowed && cleaned(c.dataRoot) != cleaned(c.knownDataRoot))
            data = RemovalVerdict::UnknownLocation;
        QString target;
        if (data == RemovalVerdict::Allowed && isLink(c.dataRoot))
            data = checkLinkedDataRoot(c, &target);
        plan.dataVerdict = data;
        if (data == RemovalVerdict::Allowed) {
            plan.dataRoot = cleaned(c.dataRoot);
            plan.dataTarget = target;
        }
    }

    const QString shortcut = QStringLiteral("/Quillory.desktop");
    if (!c.desktopDir.isEmpty())
        plan.shortcuts << cleaned(c.desktopDir) + shortcut;
    if (!c.applicationsDir.isEmpty())
        plan.shortcuts << cleaned(c.applicationsDir) + shortcut;
    if (!c.autostartEntry.isEmpty())
        plan.autostartEntry = cleaned(c.autostartEntry);
    return plan;
}

QString uninstallScriptText(const MaintenanceContext& c, const UninstallPlan& plan)
{
    QString s = QStringLiteral("#!/bin/sh\n");
    s += awaitPanelLines(c);
    if (!plan.programDir.isEmpty()) {
        // Checked again here: the folder is deleted only while it still
        // holds the marker and is no link.
        s += QStringLiteral("prog=%1\n").arg(shQuote(plan.programDir));
        s += QStringLiteral("if [ -f \"$prog/%1\" ] && [ ! -L \"$prog\" ]; then rm -rf -- \"$prog\"; fi\n")
                 .arg(QLatin1String(kInstallMarkerName));
    }
    for (const QString& shortcut : plan.shortcuts)
        s += QStringLiteral("rm -f -- %1\n").arg(shQuote(shortcut));
    if (!plan.dataTarget.isEmpty())
        s += QStringLiteral("rm -rf -- %1\n").arg(shQuote(plan.dataTarget));
    if (!plan.dataRoot.isEmpty())
        s += QStringLiteral("rm -rf -- %1\n").arg(shQuote(plan.dataRoot));
    if (!plan.autostartEntry.isEmpty())
        s += QStringLiteral("rm -f -- %1\n").arg(shQuote(plan.autostartEntry));
    s += removeOwnRunLines();
    return s;
}

RemovalVerdict checkFactoryResetRoot(const MaintenanceContext& c)
{
    if (c.dataRoot.size() <= 9)
        return RemovalVerdict::TooShortText;
    const RemovalVerdict v = checkRemovablePath(c.dataRoot, c.home);
    if (v != RemovalVerdict::Allowed)
        return v;
    if (!QFileInfo(c.dataRoot).isDir())
        return RemovalVerdict::NotAFolder;
    if (cleaned(c.dataRoot) != cleaned(c.knownDataRoot))
        return RemovalVerdict::UnknownLocation;
    QString target;
    return isLink(c.dataRoot) ? checkLinkedDataRoot(c, &target) : RemovalVerdict::Allowed;
}

QString factoryResetScriptText(const MaintenanceContext& c)
{
    QString s = QStringLiteral("#!/bin/sh\n");
    s += awaitPanelLines(c);
    // Through a link the folder it leads to is emptied and the link kept,
    // so that the data root stays where the user put it.
    const QString target = isLink(c.dataRoot) ? QFileInfo(cleaned(c.dataRoot)).canonicalFilePath() : QString();
    s += QStringLiteral("data=%1\n").arg(shQuote(target.isEmpty() ? cleaned(c.dataRoot) : target));
    // A second try for what a slow file system kept, then at least the
    // files; an empty data root is what the first run starts from.
    s += QStringLiteral("rm -rf -- \"$data\" 2>/dev/null\n"
                        "if [ -d \"$data\" ]; then rm -rf -- \"$data\" 2>/dev/null; fi\n"
                        "if [ -d \"$data\" ]; then find \"$data\" -type f -exec rm -f -- {} + 2>/dev/null; fi\n"
                        "mkdir -p -m 700 -- \"$data\" 2>/dev/null\n");
    if (!c.autostartEntry.isEmpty())
        s += QStringLiteral("rm -f -- %1\n").arg(shQuote(cleaned(c.autostartEntry)));
    // The restarted panel leads a session of its own, detached from this
    // script and from whatever started the old panel.
    s += QStringLiteral("if command -v setsid >/dev/null 2>&1; then\n"
                        "  setsid \"$exe\" </dev/null >/dev/null 2>&1 &\n"
                        "else\n"
                        "  \"$exe\" </dev/null >/dev/null 2>&1 &\n"
                        "fi\n");
    s += removeOwnRunLines();
    return s;
}

ScriptWrite writeMaintenanceScript(const QString& base, const QString& name, const QString& text, QString* path)
{
    QString why;
    const QString folder = makeRunFolder(base, QStringLiteral("maintenance"), &why);
    if (folder.isEmpty()) {
        qWarning() << "maintenance script: no private folder:" << why;
        return ScriptWrite::OpenFailed;
    }
    const QString script = folder + QLatin1Char('/') + name;
    if (!writeNewFile(script, text.toUtf8(), 0700, &why)) {
        qWarning() << "maintenance script not written:" << why;
        QDir(folder).removeRecursively();
        return ScriptWrite::Incomplete;
    }
    if (path)
        *path = script;
    return ScriptWrite::Ok;
}

void removeMaintenanceScript(const QString& path)
{
    QFile::remove(path);
    QDir().rmdir(QFileInfo(path).absolutePath());
}
