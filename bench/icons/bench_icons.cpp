// Icons for 1,000 mixed paths: cold (nothing cached), warm memory cache and
// warm disk cache (a new process over the cache files of the cold run).
// Each phase runs in a child process of its own; when strace is installed
// the parent counts the children's file-system calls (open, stat family,
// read, directory listing, readlink, access) and subtracts the calls of a
// child that sets up everything but asks for no icon. The service's own
// counters give the extractions and disk cache reads per icon.
#include "iconfixtures.h"
#include "icons/iconcounters.h"
#include "icons/iconservice.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int kPaths = 1000;

QStringList makePaths(const QString& root)
{
    using namespace iconfixtures;
    QStringList paths;
    const QString items = root + QStringLiteral("/items");
    QDir().mkpath(items);
    const QByteArray program = buildPeWithIcons({{1, {}, {{squareIcon(32, Qt::red), false}, {squareIcon(64, Qt::blue), true}}}});
    const char* places[] = {"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", "::{645FF040-5081-101B-9F08-00AA002F954E}",
                            "::{208D2C60-3AEA-1069-A2D7-08002B30309D}", "::{2227A280-3AEA-1069-A2DE-08002B30309D}"};
    for (const char* p : places)
        paths << QString::fromLatin1(p);
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    };
    for (int i = 0; paths.size() < kPaths; ++i) {
        const QString base = items + QStringLiteral("/%1").arg(i);
        switch (i % 8) {
        case 0: write(base + QStringLiteral(".txt"), "text\n"); paths << base + QStringLiteral(".txt"); break;
        case 1: squareIcon(64, Qt::green).save(base + QStringLiteral(".png")); paths << base + QStringLiteral(".png"); break;
        case 2: QDir().mkpath(base); paths << base; break;
        case 3:
            write(base + QStringLiteral(".desktop"), "[Desktop Entry]\nType=Application\nIcon=user-trash\n");
            paths << base + QStringLiteral(".desktop");
            break;
        case 4: write(base + QStringLiteral(".exe"), program); paths << base + QStringLiteral(".exe"); break;
        case 5: {
            LinkFixture link;
            link.localPath = items + QStringLiteral("/4.exe");
            write(base + QStringLiteral(".lnk"), buildShellLink(link));
            paths << base + QStringLiteral(".lnk");
            break;
        }
        case 6: write(base + QStringLiteral(".pdf"), "%PDF-1.4\n"); paths << base + QStringLiteral(".pdf"); break;
        default: paths << base + QStringLiteral(".missing"); break;
        }
    }
    return paths;
}

double passMicros(const QStringList& paths)
{
    QElapsedTimer t;
    t.start();
    for (const QString& p : paths)
        iconPixmapForPath(p);
    return double(t.nsecsElapsed()) / 1000.0 / paths.size();
}

// Child: one phase over the prepared folder; prints "key value" lines.
int runPhase(const QString& phase, const QString& root)
{
    const QStringList paths = makePaths(root); // idempotent; costs the same in every phase
    QTextStream out(stdout);
    if (phase == QLatin1String("none"))
        return 0;
    const long e0 = iconcounters::extractions, r0 = iconcounters::diskCacheReads;
    const double first = passMicros(paths);
    out << "first_us " << first << "\nfirst_extractions " << double(iconcounters::extractions - e0) / paths.size()
        << "\nfirst_disk_reads " << double(iconcounters::diskCacheReads - r0) / paths.size() << "\n";
    if (phase == QLatin1String("hit")) {
        // The memory cache keeps the 256 newest insertions: the last 256
        // paths of the first pass are all there.
        const QStringList recent = paths.mid(paths.size() - 256);
        const long e1 = iconcounters::extractions, r1 = iconcounters::diskCacheReads;
        out << "hit_us " << passMicros(recent) << "\nhit_extractions "
            << double(iconcounters::extractions - e1) / recent.size() << "\nhit_disk_reads "
            << double(iconcounters::diskCacheReads - r1) / recent.size() << "\n";
    }
    if (phase == QLatin1String("memory")) {
        const long e1 = iconcounters::extractions, r1 = iconcounters::diskCacheReads;
        out << "memory_us " << passMicros(paths) << "\nmemory_extractions "
            << double(iconcounters::extractions - e1) / paths.size() << "\nmemory_disk_reads "
            << double(iconcounters::diskCacheReads - r1) / paths.size() << "\n";
    }
    return 0;
}

struct ChildResult {
    QMap<QString, double> values;
    double fsCalls = -1;
};

ChildResult runChild(const QString& phase, const QString& root, bool useStrace)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    const QString straceOut = root + QStringLiteral("/strace-") + phase;
    QStringList args{QStringLiteral("--phase=") + phase, root};
    if (useStrace) {
        p.start(QStringLiteral("strace"), QStringList{QStringLiteral("-f"), QStringLiteral("-c"), QStringLiteral("-o"), straceOut,
                                       QStringLiteral("-e"),
                                       QStringLiteral("trace=open,openat,stat,lstat,fstat,newfstatat,statx,access,faccessat,faccessat2,"
                                                      "read,pread64,getdents64,readlink,readlinkat"),
                                       QCoreApplication::applicationFilePath()} + args);
    } else {
        p.start(QCoreApplication::applicationFilePath(), args);
    }
    p.waitForFinished(-1);
    ChildResult result;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() == 2)
            result.values.insert(parts[0], parts[1].toDouble());
    }
    if (useStrace) {
        QFile f(straceOut);
        if (f.open(QIODevice::ReadOnly)) {
            for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
                if (line.trimmed().endsWith(QLatin1String("total"))) {
                    const QStringList cols = line.simplified().split(QLatin1Char(' '));
                    if (cols.size() >= 4)
                        result.fsCalls = cols.at(3).toDouble();
                }
            }
        }
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    // Icons need no screen; a bench must run on a machine without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1).startsWith(QLatin1String("--phase=")))
        return runPhase(args.at(1).mid(8), args.at(2));

    QTemporaryDir dir;
    const QString root = dir.path();
    const bool useStrace = !QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty();
    // Timed runs without strace (it slows every call); then, in fresh
    // folders, the same sequence under strace for the call counts.
    auto sequence = [](const QString& where, bool traced) {
        QList<ChildResult> r;
        QDir().mkpath(where);
        for (const char* phase : {"none", "cold", "memory", "disk", "hit"}) // cold fills the disk cache
            r << runChild(QString::fromLatin1(phase), where, traced);
        return r;
    };
    const QList<ChildResult> timed = sequence(root + QStringLiteral("/timed"), false);
    const QList<ChildResult> traced = useStrace ? sequence(root + QStringLiteral("/traced"), true) : timed;
    const ChildResult &cold = timed[1], &memory = timed[2], &disk = timed[3], &hit = timed[4];
    const ChildResult none = traced[0];
    auto calls = [&traced](int i) { return traced[i].fsCalls; };

    std::printf("paths: %d count\n", kPaths);
    std::printf("cold icon: %.1f us\n", cold.values.value(QStringLiteral("first_us")));
    std::printf("warm disk icon: %.1f us\n", disk.values.value(QStringLiteral("first_us")));
    std::printf("warm memory icon, 1000 paths through the 256-entry cache: %.1f us\n", memory.values.value(QStringLiteral("memory_us")));
    std::printf("warm memory icon, 256 cached paths: %.3f us\n", hit.values.value(QStringLiteral("hit_us")));
    std::printf("warm memory hit extractions per icon: %.3f count\n", hit.values.value(QStringLiteral("hit_extractions")));
    std::printf("cold extractions per icon: %.3f count\n", cold.values.value(QStringLiteral("first_extractions")));
    std::printf("warm disk extractions per icon: %.3f count\n", disk.values.value(QStringLiteral("first_extractions")));
    std::printf("warm disk cache reads per icon: %.3f count\n", disk.values.value(QStringLiteral("first_disk_reads")));
    std::printf("warm memory extractions per icon: %.3f count\n", memory.values.value(QStringLiteral("memory_extractions")));
    std::printf("warm memory disk cache reads per icon: %.3f count\n", memory.values.value(QStringLiteral("memory_disk_reads")));
    if (useStrace && none.fsCalls >= 0) {
        std::printf("cold fs calls per icon: %.2f count\n", (calls(1) - none.fsCalls) / kPaths);
        std::printf("warm disk fs calls per icon: %.2f count\n", (calls(3) - none.fsCalls) / kPaths);
        std::printf("warm memory fs calls per icon, 1000 paths: %.2f count\n", (calls(2) - calls(3)) / kPaths);
        std::printf("warm memory hit fs calls per icon: %.2f count\n", (calls(4) - calls(3)) / 256.0);
    } else {
        std::printf("fs calls per icon: unavailable (strace not installed)\n");
    }
    const double warm = hit.values.value(QStringLiteral("hit_us"));
    if (warm > 0)
        std::printf("ratio cold icon / warm memory hit: %.1f\n", cold.values.value(QStringLiteral("first_us")) / warm);
    if (disk.values.value(QStringLiteral("first_us")) > 0)
        std::printf("ratio cold icon / warm disk icon: %.2f\n",
                    cold.values.value(QStringLiteral("first_us")) / disk.values.value(QStringLiteral("first_us")));
    return 0;
}
