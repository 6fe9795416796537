// Process start to first painted frame of the panel, beside the same figure
// for a bare Qt Widgets window started the same way. Runs under the DISPLAY
// it is given (an Xvfb, say): bench_startup [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds from start() to the "first-paint" line; -1 on failure.
double timeToFirstPaint(const QString& program)
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
    p.start(program, {});
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
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 15;
    const QString panel = QStringLiteral(QY_PANEL_BINARY);
    const QString bare = QStringLiteral(QY_BARE_WINDOW_BINARY);

    // One warm-up each (disk cache, font cache), then alternate so that a
    // slow spell of the machine weighs on both alike.
    timeToFirstPaint(panel);
    timeToFirstPaint(bare);
    std::vector<double> panelMs, bareMs;
    for (int i = 0; i < runs; ++i) {
        const double a = timeToFirstPaint(panel);
        const double b = timeToFirstPaint(bare);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "bench_startup: a run never painted\n");
            return 1;
        }
        panelMs.push_back(a);
        bareMs.push_back(b);
    }
    const double p = median(panelMs), b = median(bareMs);
    std::printf("panel start to first paint: %.1f ms\n", p);
    std::printf("bare window start to first paint: %.1f ms\n", b);
    std::printf("ratio panel start to first paint: %.2f\n", p / b);
    return 0;
}
