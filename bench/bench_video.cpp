// CPU used by a looping 1080p video background over 10 s, in percent of one
// core, and the frames shown per second, against the clip's own frame rate.
// The GUI side pulls frames every 33 ms as the panel does.
#include "media/videobackground.h"

#include "videoclips.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString clip = dir.path() + QStringLiteral("/clip.mp4");
    constexpr int kFps = 30;
    if (!testsupport::writeTestClip(clip, QSize(1920, 1080), 90, kFps)) {
        std::fprintf(stderr, "bench_video: could not write the clip\n");
        return 1;
    }
    VideoBackground video;
    video.setTargetSize(QSize(680, 496));
    video.start(clip);
    // Past the first frames and their start-up cost.
    QThread::msleep(500);

    const double cpu0 = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    quint64 first = 0;
    video.latestFrame(&first);
    quint64 last = first;
    int shown = 0;
    while (clock.elapsed() < 10000) {
        QThread::msleep(33);
        quint64 serial = 0;
        video.latestFrame(&serial);
        if (serial != last) {
            ++shown;
            last = serial;
        }
    }
    const double seconds = clock.elapsed() / 1000.0;
    const double cpu = (cpuSeconds() - cpu0) / seconds * 100.0;
    video.stop();
    std::printf("video cpu: %.1f %%\n", cpu);
    std::printf("video frames decoded per second: %.1f fps\n", (last - first) / seconds);
    std::printf("video frames shown per second: %.1f fps\n", shown / seconds);
    std::printf("video clip frame rate: %d fps\n", kFps);
    std::printf("ratio video decoded to clip rate: %.2f\n", (last - first) / seconds / kFps);
    return 0;
}
