// The screen recorder on a 1920x1080 screen for 10 s at the default rate
// (59 fps), once as MP4 and once as AVI: frames written per second against
// the rate asked for, and the CPU the recording process used, in percent of
// one core. The screen is a private Xvfb on which a child of this program
// animates part of the picture, as a desktop in use would.
//
// Goal: at least 0.95 of the asked rate at 1080p with at most one core.
#include "platform/inputactivity.h"
#include "protect/screenmonitor.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include <sys/resource.h>

namespace {

constexpr int kSeconds = 10;
constexpr int kFps = 59;

// A window over the whole screen whose middle keeps changing: a moving
// block, scrolling lines and a clock, repainted at 60 Hz.
class Animation : public QWidget {
public:
    Animation()
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setGeometry(0, 0, 1920, 1080);
        m_timer.setInterval(16);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            ++m_tick;
            update(QRect(360, 200, 1200, 680));
        });
        m_timer.start();
        m_clock.start();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, 1920, 1080);
        g.setColorAt(0, QColor(0x2F, 0x6F, 0xBF));
        g.setColorAt(1, QColor(0xF5, 0xF6, 0xF8));
        p.fillRect(rect(), g);
        const QRect area(360, 200, 1200, 680);
        p.fillRect(area, QColor(250, 250, 250));
        p.setPen(QColor(40, 40, 40));
        for (int i = 0; i < 30; ++i) {
            const int y = area.top() + 20 + ((i * 24 + m_tick * 2) % area.height());
            p.drawText(area.left() + 20, y, QStringLiteral("%1  line of text that scrolls past, %2 ms").arg(i).arg(m_clock.elapsed()));
        }
        const int x = area.left() + (m_tick * 7) % (area.width() - 160);
        p.fillRect(QRect(x, area.top() + 250, 160, 160), QColor::fromHsv((m_tick * 3) % 360, 200, 220));
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_tick = 0;
};

// The user never rests: every pass records.
class BusyUser : public InputActivity {
public:
    qint64 idleMs(Kind) const override { return 0; }
    bool tellsKindsApart() const override { return true; }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A display number nobody uses, and an Xvfb on it.
bool startServer(QProcess* server, QString* display)
{
    for (int n = 180; n < 260; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        *display = QStringLiteral(":%1").arg(n);
        server->start(QStringLiteral("Xvfb"), {*display, QStringLiteral("-screen"), QStringLiteral("0"),
                                               QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"),
                                               QStringLiteral("tcp")});
        if (!server->waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    return false;
}

void measure(const char* name, int format, const QString& folder)
{
    ScreenMonitor::Services services = ScreenMonitor::Services::system();
    services.watchActivity = [] { return std::make_unique<BusyUser>(); };
    ScreenMonitor monitor(services);
    monitor.configure(folder, 512, 600, kFps, format, ScreenMonitor::KeyboardOrMouse);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    if (!monitor.start()) {
        std::printf("%s: the monitor did not start\n", name);
        return;
    }
    // Time the frames from the first one on, not from the encoder's setup.
    while (monitor.framesWritten() == 0 && wall.elapsed() < 5000)
        QThread::msleep(1);
    const quint64 firstFrames = monitor.framesWritten();
    QElapsedTimer recording;
    recording.start();
    QThread::msleep(kSeconds * 1000);
    const quint64 frames = monitor.framesWritten() - firstFrames;
    const double seconds = recording.nsecsElapsed() / 1e9;
    monitor.stop();
    const double cpu = cpuSeconds() - cpuBefore;
    const double total = wall.nsecsElapsed() / 1e9;
    const double fps = double(frames) / seconds;
    std::printf("%s frames written per second at 1080p: %.1f fps\n", name, fps);
    std::printf("ratio %s frames written per second to requested: %.3f\n", name, fps / kFps);
    std::printf("%s cpu: %.0f percent of one core\n", name, 100.0 * cpu / total);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--animate") == 0) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        QApplication app(argc, argv);
        Animation animation;
        animation.show();
        return app.exec();
    }

    QCoreApplication app(argc, argv);
    QProcess server;
    QString display;
    if (!startServer(&server, &display)) {
        std::printf("bench_recorder: no Xvfb could be started\n");
        return 1;
    }
    qputenv("DISPLAY", display.toLocal8Bit());
    QProcess animation;
    animation.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--animate")});
    animation.waitForStarted(5000);
    QThread::msleep(2000);

    QTemporaryDir folder;
    std::printf("requested rate: %d fps\n", kFps);
    measure("mp4", 1, folder.path() + QStringLiteral("/mp4"));
    measure("avi", 0, folder.path() + QStringLiteral("/avi"));

    animation.kill();
    animation.waitForFinished(3000);
    server.terminate();
    server.waitForFinished(3000);
    return 0;
}
