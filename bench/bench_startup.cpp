// Process start to first painted frame of the panel, beside the same figure
// for a bare Qt Widgets window started the same way. Runs under the DISPLAY
// it is given (an Xvfb, say): bench_startup [runs] [panel executable]
//
// A second baseline, the same window drawing one word, shows how much of
// the difference any program pays for its first text.
//
// Then the pure loading cost: each program started with no X server at all,
// so that it loads its libraries, fails to reach a display and exits; the
// time from start to exit and the peak resident memory.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <xcb/xcb.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Milliseconds from start() to the "first-paint" line; -1 on failure.
double timeToFirstPaint(const QString& program, const QStringList& args = {})
{
    // Each run gets its own data root and runtime folder, so no run sees
    // another as a running instance and no run reuses another's files.
    QTemporaryDir dir;
    for (const char* sub : { "rt", "data", "config", "etc" })
        QDir(dir.path()).mkpath(QString::fromLatin1(sub));
    QFile::setPermissions(dir.path() + QStringLiteral("/rt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path() + QStringLiteral("/rt"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), dir.path() + QStringLiteral("/etc"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("KRV_BENCH_FIRST_PAINT"), QStringLiteral("1"));

    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    QByteArray out;
    double ms = -1;
    while (p.waitForReadyRead(20000)) {
        out += p.readAllStandardOutput();
        if (out.contains("first-paint")) {
            ms = clock.nsecsElapsed() / 1e6;
            break;
        }
    }
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
    return ms;
}

struct ExitRun {
    double ms = -1;
    double peakMb = -1;
};

// Start to exit of `program` without DISPLAY, and its peak resident set.
ExitRun runWithoutDisplay(const QString& program)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("rt"));
    QFile::setPermissions(dir.path() + QStringLiteral("/rt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QList<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("DISPLAY=") && !entry.startsWith("WAYLAND_DISPLAY=") && !entry.startsWith("XDG_")
            && !entry.startsWith("QT_QPA_PLATFORM="))
            env << entry;
    }
    env << "QT_QPA_PLATFORM=xcb" << ("XDG_RUNTIME_DIR=" + QFile::encodeName(dir.path()) + "/rt")
        << ("XDG_DATA_HOME=" + QFile::encodeName(dir.path()) + "/data")
        << ("XDG_CONFIG_HOME=" + QFile::encodeName(dir.path()) + "/config");
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    QByteArray path = QFile::encodeName(program);
    char* argv[] = {path.data(), nullptr};

    // Qt aborts when it finds no display: no core file for that.
    const rlimit noCore{0, 0};
    rlimit oldCore{};
    getrlimit(RLIMIT_CORE, &oldCore);
    setrlimit(RLIMIT_CORE, &noCore);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.constData(), &files, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&files);
    setrlimit(RLIMIT_CORE, &oldCore);
    ExitRun run;
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.ms = clock.nsecsElapsed() / 1e6;
    run.peakMb = usage.ru_maxrss / 1024.0;
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: set DISPLAY to an X server (an Xvfb)\n");
        return 2;
    }
    // An X server started without -noreset resets itself whenever its last
    // client leaves: between any two runs here, since this program draws
    // nothing. Each start would then pay for the reset (keymaps, fonts) as
    // its own, the bare window's most of all, and the ratio would look
    // better than it is. Connected, the bench keeps the server as it is.
    xcb_connection_t* server = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(server)) {
        std::fprintf(stderr, "bench_startup: no X server answers in DISPLAY\n");
        xcb_disconnect(server);
        return 2;
    }
    const auto disconnect = qScopeGuard([server] { xcb_disconnect(server); });
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 15;
    const QString panel = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(QY_PANEL_BINARY);
    const QString bare = QStringLiteral(QY_BARE_WINDOW_BINARY);
    const QStringList textArgs{QStringLiteral("--text")};

    // One warm-up each (disk cache, font cache), then alternate so that a
    // slow spell of the machine weighs on both alike.
    timeToFirstPaint(panel);
    timeToFirstPaint(bare);
    timeToFirstPaint(bare, textArgs);
    std::vector<double> panelMs, bareMs, textMs;
    for (int i = 0; i < runs; ++i) {
        const double a = timeToFirstPaint(panel);
        const double b = timeToFirstPaint(bare);
        const double t = timeToFirstPaint(bare, textArgs);
        if (a < 0 || b < 0 || t < 0) {
            std::fprintf(stderr, "bench_startup: a run never painted\n");
            return 1;
        }
        panelMs.push_back(a);
        bareMs.push_back(b);
        textMs.push_back(t);
    }
    const double p = median(panelMs), b = median(bareMs), t = median(textMs);
    std::printf("panel start to first paint: %.1f ms\n", p);
    std::printf("bare window start to first paint: %.1f ms\n", b);
    std::printf("ratio panel start to first paint: %.2f\n", p / b);
    std::printf("bare window with one word start to first paint: %.1f ms\n", t);
    std::printf("ratio bare window with one word start to first paint: %.2f\n", t / b);
    std::printf("ratio panel start to first paint against the bare window with one word: %.2f\n", p / t);

    runWithoutDisplay(panel);
    runWithoutDisplay(bare);
    std::vector<double> panelExit, bareExit, panelPeak, barePeak;
    for (int i = 0; i < runs; ++i) {
        const ExitRun a = runWithoutDisplay(panel);
        const ExitRun b = runWithoutDisplay(bare);
        if (a.ms < 0 || b.ms < 0) {
            std::fprintf(stderr, "bench_startup: a run without display could not be started\n");
            return 1;
        }
        panelExit.push_back(a.ms);
        bareExit.push_back(b.ms);
        panelPeak.push_back(a.peakMb);
        barePeak.push_back(b.peakMb);
    }
    const double pe = median(panelExit), be = median(bareExit);
    const double pp = median(panelPeak), bp = median(barePeak);
    std::printf("panel start to exit without display: %.1f ms\n", pe);
    std::printf("bare window start to exit without display: %.1f ms\n", be);
    std::printf("ratio panel start to exit without display: %.2f\n", pe / be);
    std::printf("panel peak memory without display: %.1f MB\n", pp);
    std::printf("bare window peak memory without display: %.1f MB\n", bp);
    std::printf("ratio panel peak memory without display: %.2f\n", pp / bp);
    return 0;
}
