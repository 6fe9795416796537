// The video background: names, decoding size, the fit to the target, frame
// pacing on an injected clock, and real clips made here with libav's own
// encoder decoding, looping and stopping.
#include "media/videobackground.h"

#include "testsupport.h"
#include "videoclips.h"

#include <QElapsedTimer>
#include <QtTest>

class TestVideoBackground : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void videoNames_data();
    void videoNames();
    void decodeSize_data();
    void decodeSize();
    void fitToTarget();
    void pacing();
    void targetSize();
    void decodesLoopsAndStops_data();
    void decodesLoopsAndStops();
    void missingFileKeepsLastFrame();
    void notAVideo();

private:
    QString clip(const QString& name, QSize size, int frames, int fps);
};

void TestVideoBackground::initTestCase()
{
    QVERIFY(QDir().mkpath(testsupport::testRoot() + QStringLiteral("/clips")));
}

QString TestVideoBackground::clip(const QString& name, QSize size, int frames, int fps)
{
    const QString path = testsupport::testRoot() + QStringLiteral("/clips/") + name;
    if (!QFileInfo::exists(path) && !testsupport::writeTestClip(path, size, frames, fps))
        return QString();
    return path;
}

void TestVideoBackground::videoNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("video");
    QTest::newRow("mp4 upper case") << "/a/CLIP.MP4" << true;
    QTest::newRow("mixed case mov") << "/a/b.MoV" << true;
    QTest::newRow("webm") << "/a/b.webm" << true;
    QTest::newRow("webm with a further suffix") << "/a/b.webm.part" << false;
    QTest::newRow("gif") << "/a/b.gif" << false;
    QTest::newRow("no suffix") << "/a/mp4" << false;
}

void TestVideoBackground::videoNames()
{
    QFETCH(QString, path);
    QFETCH(bool, video);
    QCOMPARE(isVideoFile(path), video);
}

void TestVideoBackground::decodeSize_data()
{
    QTest::addColumn<QSize>("native");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("4K into 680 x 496") << QSize(3840, 2160) << QSize(680, 496) << QSize(1322, 744);
    QTest::newRow("small video: native") << QSize(100, 60) << QSize(680, 496) << QSize(100, 60);
    QTest::newRow("exactly 1.5 times: native") << QSize(1020, 744) << QSize(680, 496) << QSize(1020, 744);
    QTest::newRow("short side raised to 64") << QSize(2000, 100) << QSize(10, 10) << QSize(300, 64);
    QTest::newRow("4K for a full-HD target") << QSize(3840, 2160) << QSize(1920, 1080) << QSize(2880, 1620);
    QTest::newRow("no target yet") << QSize(1920, 1080) << QSize(0, 0) << QSize(1920, 1080);
}

void TestVideoBackground::decodeSize()
{
    QFETCH(QSize, native);
    QFETCH(QSize, target);
    QFETCH(QSize, decoded);
    QCOMPARE(videoDecodeSize(native, target), decoded);
}

void TestVideoBackground::fitToTarget()
{
    QImage wide(1322, 744, QImage::Format_RGB32);
    wide.fill(Qt::white);
    QCOMPARE(fitFrameToTarget(wide, QSize(680, 496)).size(), QSize(680, 496));
    QImage small(100, 60, QImage::Format_RGB32);
    small.fill(Qt::red);
    const QImage up = fitFrameToTarget(small, QSize(680, 496));
    QCOMPARE(up.size(), QSize(680, 496));
    QCOMPARE(up.pixelColor(340, 248), QColor(Qt::red));
    QCOMPARE(fitFrameToTarget(small, QSize(0, 0)).size(), QSize(100, 60));
}

void TestVideoBackground::pacing()
{
    FramePacer p;
    // Frames every 40 ms, decoded instantly: each waits its turn.
    QCOMPARE(p.waitMs(0, 1000), 0);
    QCOMPARE(p.waitMs(40, 1000), 40);
    QCOMPARE(p.waitMs(80, 1040), 40);
    // Decoding fell behind: no wait, no sleep debt.
    QCOMPARE(p.waitMs(120, 1200), 0);
    // A 10 s jump costs one capped wait...
    QCOMPARE(p.waitMs(10120, 1200), 200);
    // ...and the frames after it are paced from it, not capped again.
    QCOMPARE(p.waitMs(10160, 1400), 40);
    QCOMPARE(p.waitMs(10200, 1440), 40);
    // A backward jump shows at once and becomes the base: no burst after it.
    QCOMPARE(p.waitMs(5000, 1480), 0);
    QCOMPARE(p.waitMs(5040, 1480), 40);
    p.reset();
    QCOMPARE(p.waitMs(0, 5000), 0);
}

void TestVideoBackground::targetSize()
{
    VideoBackground v;
    QCOMPARE(v.targetSize(), QSize(0, 0));
    v.setTargetSize(QSize(0, 0));
    QCOMPARE(v.targetSize(), QSize(1, 1));
    v.setTargetSize(QSize(680, -3));
    QCOMPARE(v.targetSize(), QSize(680, 1));
}

void TestVideoBackground::decodesLoopsAndStops_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("native");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("delivered");
    QTest::newRow("mp4 scaled to the target") << "a.mp4" << QSize(320, 180) << QSize(160, 120) << QSize(160, 120);
    QTest::newRow("avi at decoded size without a target") << "b.avi" << QSize(176, 144) << QSize() << QSize(176, 144);
    QTest::newRow("mkv scaled up and cut") << "c.mkv" << QSize(96, 64) << QSize(300, 100) << QSize(300, 100);
}

void TestVideoBackground::decodesLoopsAndStops()
{
    QFETCH(QString, name);
    QFETCH(QSize, native);
    QFETCH(QSize, target);
    QFETCH(QSize, delivered);
    // 6 frames at 30 fps: 200 ms of video, so looping shows within a second.
    const QString path = clip(name, native, 6, 30);
    QVERIFY2(!path.isEmpty(), "libav could not write the clip");
    VideoBackground v;
    if (target.isValid())
        v.setTargetSize(target);
    v.start(path);
    QVERIFY(v.isRunning());
    quint64 serial = 0;
    QTRY_VERIFY_WITH_TIMEOUT((v.latestFrame(&serial), serial > 0), 3000);
    QCOMPARE(v.latestFrame().size(), delivered);
    QCOMPARE(v.latestFrame().format(), QImage::Format_RGB32);
    // More frames than the clip holds: it looped.
    QTRY_VERIFY_WITH_TIMEOUT((v.latestFrame(&serial), serial > 12), 5000);

    QElapsedTimer clock;
    clock.start();
    v.stop();
    QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!v.isRunning());
    quint64 after = 0;
    v.latestFrame(&after);
    QTest::qWait(100);
    quint64 later = 0;
    v.latestFrame(&later);
    QCOMPARE(later, after);
}

void TestVideoBackground::missingFileKeepsLastFrame()
{
    const QString path = clip(QStringLiteral("a.mp4"), QSize(320, 180), 6, 30);
    QVERIFY(!path.isEmpty());
    VideoBackground v;
    v.start(path);
    quint64 serial = 0;
    QTRY_VERIFY_WITH_TIMEOUT((v.latestFrame(&serial), serial > 0), 3000);
    v.start(testsupport::testRoot() + QStringLiteral("/clips/none.mp4"));
    QVERIFY(!v.isRunning());
    quint64 kept = 0;
    QVERIFY(!v.latestFrame(&kept).isNull());
    QVERIFY(kept > 0);
}

void TestVideoBackground::notAVideo()
{
    const QString path = testsupport::testRoot() + QStringLiteral("/clips/text.mp4");
    QVERIFY(testsupport::writeFile(path, QByteArray("this is not a video\n").repeated(100)));
    VideoBackground v;
    v.setTargetSize(QSize(100, 100));
    v.start(path);
    QTest::qWait(300);
    quint64 serial = 7;
    QVERIFY(v.latestFrame(&serial).isNull());
    QCOMPARE(serial, quint64(0));
    QElapsedTimer clock;
    clock.start();
    v.stop();
    QVERIFY(clock.elapsed() < 300);
}

QTEST_GUILESS_MAIN(TestVideoBackground)
#include "test_videobackground.moc"
