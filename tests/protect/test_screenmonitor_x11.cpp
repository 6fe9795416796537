// The screen monitor as the panel runs it, on the real X server with input
// from xdotool: three monitors side by side, one per trigger, each with its
// own connection. Input starts recording, ten idle seconds stop it, and a
// trigger that does not match the input leaves its monitor idle. Every file
// is read back by ffprobe against the wall time it was recorded in.
#include "../platform/mediaprobe.h"
#include "protect/screenmonitor.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

namespace {

constexpr int kIdleSeconds = 10;
constexpr int kFps = 10;

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// One finished segment as the test saw it come and go.
struct Segment {
    QString path;
    qint64 openedMs = 0;
    qint64 closedMs = 0;
    int frames = 0;
};

struct Watched {
    QString name;
    bool mp4 = false;
    std::unique_ptr<ScreenMonitor> monitor;
    QString open;
    qint64 openedMs = 0;
    quint64 framesAtLastClose = 0;
    QList<Segment> done;
};

} // namespace

class TestScreenMonitorX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
        const QString missing = mediaToolsMissing();
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void triggersStartAndIdlenessStops()
    {
        const struct {
            const char* name;
            int source;
            bool mp4;
        } setups[] = {{"any", ScreenMonitor::KeyboardOrMouse, true},
                      {"keyboard", ScreenMonitor::KeyboardOnly, false},
                      {"mouse", ScreenMonitor::MouseOnly, true}};
        for (const auto& s : setups) {
            Watched w;
            w.name = QString::fromLatin1(s.name);
            w.mp4 = s.mp4;
            w.monitor = std::make_unique<ScreenMonitor>(ScreenMonitor::Services::system());
            w.monitor->configure(testsupport::testRoot() + QStringLiteral("/rec-") + w.name, 100, kIdleSeconds, kFps,
                                 s.mp4 ? 1 : 0, s.source);
            m_watched.push_back(std::move(w));
        }
        Watched& any = m_watched[0];
        Watched& keyboard = m_watched[1];
        Watched& mouse = m_watched[2];

        m_clock.start();
        for (Watched& w : m_watched)
            QVERIFY(w.monitor->start());
        // Starting counts as input of both kinds: all three record at once
        // and stop after the idle time.
        QVERIFY(follow([&] { return any.done.size() == 1 && keyboard.done.size() == 1 && mouse.done.size() == 1; },
                       kIdleSeconds * 1000 + 4000));
        for (Watched& w : m_watched) {
            const Segment& seg = w.done.first();
            QVERIFY2(seg.openedMs < 3000, qPrintable(QStringLiteral("%1 opened at %2, closed at %3").arg(w.name).arg(seg.openedMs).arg(seg.closedMs)));
            QVERIFY2(seg.closedMs >= kIdleSeconds * 1000 && seg.closedMs < kIdleSeconds * 1000 + 1500,
                     qPrintable(QStringLiteral("%1 closed at %2 ms").arg(w.name).arg(seg.closedMs)));
        }

        // Mouse movement: the mouse and any-input monitors only.
        QVERIFY(xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("9"),
                         QStringLiteral("4")}));
        QVERIFY(follow([&] { return !any.open.isEmpty() && !mouse.open.isEmpty(); }, 3000));
        follow([] { return false; }, 1000);
        QCOMPARE(keyboard.open, QString());
        QVERIFY(follow([&] { return any.done.size() == 2 && mouse.done.size() == 2; }, kIdleSeconds * 1000 + 4000));

        // A key: the keyboard and any-input monitors only.
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("shift")}));
        QVERIFY(follow([&] { return !any.open.isEmpty() && !keyboard.open.isEmpty(); }, 3000));
        follow([] { return false; }, 1500);
        QCOMPARE(mouse.open, QString());
        QCOMPARE(mouse.done.size(), 2);
        QCOMPARE(keyboard.done.size(), 1);

        // Stopping completes what is open. The recording ends when stop is
        // asked for; completing the file takes a moment more.
        for (Watched& w : m_watched) {
            follow([] { return true; }, 0);
            const qint64 stopAt = m_clock.elapsed();
            const int before = int(w.done.size());
            w.monitor->stop();
            follow([] { return true; }, 0);
            if (w.done.size() > before)
                w.done.last().closedMs = stopAt;
        }
        QCOMPARE(any.done.size(), 3);
        QCOMPARE(keyboard.done.size(), 2);
        QCOMPARE(mouse.done.size(), 2);

        for (const Watched& w : m_watched) {
            for (const Segment& seg : w.done) {
                const QString what = w.name + QLatin1Char(' ') + QFileInfo(seg.path).fileName();
                QVERIFY2(QFileInfo::exists(seg.path), qPrintable(what));
                const MediaProbe probe = probeVideo(seg.path);
                QVERIFY2(probe.ok, qPrintable(what + QLatin1Char(' ') + probe.error));
                QCOMPARE(probe.codec, w.mp4 ? QStringLiteral("h264") : QStringLiteral("mjpeg"));
                QCOMPARE(probe.frames, seg.frames);
                QCOMPARE(probe.colorRange, QStringLiteral("pc"));
                const double wall = (seg.closedMs - seg.openedMs) / 1000.0;
                qInfo("%s: %d frames, %.2f s in the file, %.2f s of wall time", qPrintable(what), probe.frames,
                      probe.durationSeconds, wall);
                QVERIFY2(qAbs(probe.durationSeconds - wall) <= 0.1 * wall,
                         qPrintable(QStringLiteral("%1: %2 s in the file, %3 s of wall time")
                                        .arg(what)
                                        .arg(probe.durationSeconds)
                                        .arg(wall)));
                if (!w.mp4) {
                    QString errors;
                    QVERIFY2(decodesCleanly(seg.path, &errors), qPrintable(what + QLatin1Char(' ') + errors));
                }
            }
        }
    }

    void cleanupTestCase()
    {
        for (Watched& w : m_watched)
            w.monitor->stop();
    }

private:
    // Watches every monitor's open segment for up to `ms` (at least one
    // look), noting when each segment opened and closed; true as soon as
    // `done` holds.
    template <typename Done>
    bool follow(Done done, int ms)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const qint64 now = m_clock.elapsed();
            for (Watched& w : m_watched) {
                const QString path = w.monitor->currentSegmentPath();
                if (path == w.open)
                    continue;
                if (!w.open.isEmpty()) {
                    const quint64 frames = w.monitor->framesWritten();
                    w.done.append({w.open, w.openedMs, now, int(frames - w.framesAtLastClose)});
                    w.framesAtLastClose = frames;
                }
                w.open = path;
                w.openedMs = now;
            }
            if (done())
                return true;
            if (timer.elapsed() >= ms)
                return false;
            QTest::qWait(10);
        }
    }

    std::vector<Watched> m_watched;
    QElapsedTimer m_clock;
};

QTEST_MAIN(TestScreenMonitorX11)
#include "test_screenmonitor_x11.moc"
