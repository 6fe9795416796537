// Resident memory of the panel 10 s after start with a layout of 1,000
// program items (ten groups of 100, paths from /usr/bin), beside the same
// figure for the default layout of a fresh data root. Runs under the DISPLAY
// it is given (an Xvfb, say): bench_memory [runs] [panel executable]
#include "panel/layoutfile.h"
#include "platform/processmemory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSettleMs = 10000;
constexpr int kGroups = 10;
constexpr int kItemsPerGroup = 100;

// The data root the panel picks for this XDG_DATA_HOME: the application-local
// data folder, organisation and application name below it.
QString dataRootUnder(const QString& dataHome)
{
    return dataHome + QStringLiteral("/Tarnavel/TarnavelPanel");
}

QList<PanelGroup> programGroups()
{
    QDir bin(QStringLiteral("/usr/bin"));
    const QStringList names =
        bin.entryList(QDir::Files | QDir::Executable | QDir::NoDotAndDotDot, QDir::Name);
    QList<PanelGroup> groups(kGroups);
    if (names.isEmpty())
        return {};
    if (names.size() < kGroups * kItemsPerGroup)
        std::fprintf(stderr, "bench_memory: only %d programs in /usr/bin; paths repeat\n", int(names.size()));
    for (int g = 0; g < kGroups; ++g) {
        groups[g].name = QStringLiteral("Group %1").arg(g + 1);
        for (int i = 0; i < kItemsPerGroup; ++i) {
            const QString& name = names.at((g * kItemsPerGroup + i) % names.size());
            appendPanelItem(groups[g], bin.filePath(name), name);
        }
    }
    return groups;
}

// Kilobytes of VmRSS of a running process; -1 when it cannot be read.
long residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const std::optional<ProcessMemoryFigures> figures = parseProcStatusMemory(status.readAll());
    return figures ? long(figures->workingSetBytes / 1024) : -1;
}

// Starts the panel in a sandbox of its own (home, XDG folders, temp folder,
// all removed afterwards), with `layout` as its layout file when not empty,
// and returns its VmRSS in kB after the settle time; -1 on failure.
long panelResidentKb(const QString& program, const QByteArray& layout)
{
    QTemporaryDir sandbox;
    if (!sandbox.isValid())
        return -1;
    const QString root = sandbox.path();
    const struct {
        const char* var;
        const char* sub;
    } folders[] = {
        {"HOME", "home"},           {"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"}, {"XDG_STATE_HOME", "state"},  {"XDG_RUNTIME_DIR", "runtime"},
        {"XDG_CONFIG_DIRS", "etc"}, {"TMPDIR", "tmp"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& f : folders) {
        const QString path = root + QLatin1Char('/') + QLatin1String(f.sub);
        if (!QDir().mkpath(path))
            return -1;
        env.insert(QString::fromLatin1(f.var), path);
    }
    // Qt refuses a runtime folder that others may enter.
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    if (!layout.isEmpty()) {
        const QString dataRoot = dataRootUnder(root + QStringLiteral("/data"));
        QFile file(dataRoot + QStringLiteral("/layout.json"));
        if (!QDir().mkpath(dataRoot) || !file.open(QIODevice::WriteOnly) || file.write(layout) != layout.size())
            return -1;
    }

    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(root + QStringLiteral("/home"));
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, {});
    if (!p.waitForStarted(10000))
        return -1;
    // Finishing within the settle time means it never came up.
    if (p.waitForFinished(kSettleMs)) {
        std::fprintf(stderr, "bench_memory: the panel exited early (code %d)\n", p.exitCode());
        return -1;
    }
    const long kb = residentKb(p.processId());
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
    return kb;
}

long median(std::vector<long> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_memory: set DISPLAY to an X server (an Xvfb)\n");
        return 2;
    }
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 1;
    const QString panel = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(QY_PANEL_BINARY);
    const QList<PanelGroup> groups = programGroups();
    if (groups.isEmpty()) {
        std::fprintf(stderr, "bench_memory: no programs in /usr/bin\n");
        return 2;
    }
    const QByteArray layout = serializeLayout(groups);

    // Alternate, so that a slow spell of the machine weighs on both alike.
    std::vector<long> defaultKb, itemsKb;
    for (int i = 0; i < runs; ++i) {
        const long a = panelResidentKb(panel, QByteArray());
        const long b = panelResidentKb(panel, layout);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "bench_memory: a run gave no figure\n");
            return 1;
        }
        defaultKb.push_back(a);
        itemsKb.push_back(b);
    }
    const long d = median(defaultKb), m = median(itemsKb);
    std::printf("rss default: %.1f MB\n", d / 1024.0);
    std::printf("rss 1000 items: %.1f MB\n", m / 1024.0);
    std::printf("ratio rss 1000 items: %.2f\n", double(m) / double(d));
    return 0;
}
