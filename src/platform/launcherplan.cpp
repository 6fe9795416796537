#include "platform/launcherplan.h"

#include "platform/desktopentry.h"
#include "platform/shellplaces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

LaunchPlan failure(const QString& error)
{
    LaunchPlan p;
    p.error = error;
    return p;
}

LaunchPlan command(const QString& program, const QStringList& arguments, const QString& workDir)
{
    LaunchPlan p;
    p.ok = true;
    p.command = {program, arguments, workDir};
    return p;
}

LaunchPlan xdgOpen(const QString& what, const QString& workDir, const LaunchTools& tools)
{
    const QString opener = tools.findProgram(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return failure(QStringLiteral("xdg-open not found"));
    return command(opener, {what}, workDir);
}

// A URL with a scheme of at least two letters: "C:/x" stays a path.
bool looksLikeUrl(const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return false;
    const int colon = target.indexOf(QLatin1Char(':'));
    if (colon < 2)
        return false;
    const QUrl url(target);
    return url.isValid() && url.scheme().size() == colon;
}

// The kernel starts a file itself only when it is a program or a script.
bool isRunnableFile(const QFileInfo& info)
{
    if (!info.isFile() || !info.isExecutable())
        return false;
    QFile f(info.absoluteFilePath());
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(4);
    return head == QByteArray("\x7f" "ELF", 4) || head.startsWith("#!");
}

QString resolveProgram(const QString& program, const LaunchTools& tools)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return tools.findProgram(program);
}

LaunchPlan planDesktopEntry(const QString& file, const Launcher::Request& request, const LaunchTools& tools)
{
    DesktopEntry entry;
    QString readError;
    if (!readDesktopEntryFile(file, &entry, &readError))
        return failure(QStringLiteral("cannot read desktop entry: ") + readError);
    if (!entry.valid)
        return failure(QStringLiteral("not a desktop entry"));
    if (entry.type == QLatin1String("Link")) {
        if (entry.url.isEmpty())
            return failure(QStringLiteral("desktop link without URL"));
        return xdgOpen(entry.url, request.workDir, tools);
    }
    if (!entry.type.isEmpty() && entry.type != QLatin1String("Application"))
        return failure(QStringLiteral("desktop entry of type ") + entry.type + QStringLiteral(" cannot be started"));
    QStringList argv;
    QString error;
    if (!splitDesktopExec(entry.exec, &argv, &error))
        return failure(QStringLiteral("desktop entry: ") + error);
    const QString program = resolveProgram(argv.first(), tools);
    if (program.isEmpty())
        return failure(QStringLiteral("program not found: ") + argv.first());
    QStringList arguments = argv.mid(1) + splitArguments(request.arguments);
    const QString workDir = request.workDir.isEmpty() ? entry.path : request.workDir;
    if (!entry.terminal)
        return command(program, arguments, workDir);
    QString terminal;
    for (const char* name : {"x-terminal-emulator", "xterm"}) {
        terminal = tools.findProgram(QLatin1String(name));
        if (!terminal.isEmpty())
            break;
    }
    if (terminal.isEmpty())
        return failure(QStringLiteral("no terminal emulator for a terminal program"));
    arguments.prepend(program);
    arguments.prepend(QStringLiteral("-e"));
    return command(terminal, arguments, workDir);
}

LaunchPlan planOpen(const Launcher::Request& request, const LaunchTools& tools)
{
    const QString& target = request.target;
    if (target.isEmpty())
        return failure(QStringLiteral("empty target"));
    if (target.startsWith(QLatin1String("::"))) {
        const ShellPlace* place = findShellPlace(target);
        if (!place)
            return failure(QStringLiteral("unknown shell place"));
        const ShellPlaceLaunch how = resolveShellPlaceLaunch(*place);
        if (!how.ok)
            return failure(QStringLiteral("nothing here opens this shell place"));
        if (!how.url.isEmpty())
            return xdgOpen(how.url.toString(), request.workDir, tools);
        return command(how.program, how.arguments, request.workDir);
    }
    if (looksLikeUrl(target))
        return xdgOpen(target, request.workDir, tools);

    const QFileInfo info(target);
    if (!info.exists())
        return failure(QStringLiteral("target does not exist"));
    if (info.isDir())
        return xdgOpen(info.absoluteFilePath(), request.workDir, tools);
    if (info.suffix().compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0)
        return planDesktopEntry(info.absoluteFilePath(), request, tools);
    if (isRunnableFile(info))
        return command(info.absoluteFilePath(), splitArguments(request.arguments), request.workDir);
    return xdgOpen(info.absoluteFilePath(), request.workDir, tools);
}

} // namespace

LaunchTools LaunchTools::system()
{
    LaunchTools t;
    t.findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
    t.environment = QProcessEnvironment::systemEnvironment();
    t.homeDir = QDir::homePath();
    return t;
}

QStringList splitArguments(const QString& text)
{
    return QProcess::splitCommand(text);
}

LaunchPlan planLaunch(const Launcher::Request& request, const LaunchTools& tools)
{
    if (!request.workDir.isEmpty() && !QFileInfo(request.workDir).isDir())
        return failure(QStringLiteral("working directory does not exist"));
    LaunchPlan plan = planOpen(request, tools);
    if (!plan.ok || request.verb != Launcher::Verb::RunAs)
        return plan;

    const QString pkexec = tools.findProgram(QStringLiteral("pkexec"));
    if (pkexec.isEmpty())
        return failure(QStringLiteral("pkexec not found"));
    // What pkexec runs as root is named by its absolute path: a lookup on
    // PATH would let any folder the user can write to supply it.
    QStringList args{QStringLiteral("/usr/bin/env")};
    if (!plan.command.workDir.isEmpty())
        args << QStringLiteral("--chdir=") + plan.command.workDir;
    const QString display = tools.environment.value(QStringLiteral("DISPLAY"));
    if (!display.isEmpty())
        args << QStringLiteral("DISPLAY=") + display;
    QString xauthority = tools.environment.value(QStringLiteral("XAUTHORITY"));
    if (xauthority.isEmpty() && !tools.homeDir.isEmpty()) {
        const QString fallback = tools.homeDir + QStringLiteral("/.Xauthority");
        if (QFileInfo::exists(fallback))
            xauthority = fallback;
    }
    if (!xauthority.isEmpty())
        args << QStringLiteral("XAUTHORITY=") + xauthority;
    const QString wayland = tools.environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (!wayland.isEmpty())
        args << QStringLiteral("WAYLAND_DISPLAY=") + wayland;
    // env would read a word with "=" as one more variable.
    if (plan.command.program.contains(QLatin1Char('=')))
        return failure(QStringLiteral("program path holds '=', cannot be elevated"));
    args << plan.command.program << plan.command.arguments;
    return command(pkexec, args, QString());
}
