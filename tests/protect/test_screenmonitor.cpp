// The screen monitor's own logic, run on its real capture thread and real
// writers against a screen, a user, a disk and a clock the test sets:
// segments open on activity and close on idleness, rotate at the size
// limit, pause for low disk space, and never leave a file that looks
// complete but is not.
#include "../platform/mediaprobe.h"
#include "monitorfakes.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

namespace {

constexpr qint64 kMiB = 1048576;

QImage gradient(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
    }
    return image;
}

QImage noise(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    return image;
}

QString ext(bool mp4) { return mp4 ? QStringLiteral(".mp4") : QStringLiteral(".avi"); }

// The file holds a whole recording: the reference reader agrees on the
// frames and decodes to the end without a complaint.
void verifyComplete(const QString& path, int frames, const QSize& size)
{
    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    QVERIFY2(!QFileInfo::exists(path + QStringLiteral(".part")), qPrintable(path));
    const MediaProbe probe = probeVideo(path);
    QVERIFY2(probe.ok, qPrintable(probe.error));
    if (frames >= 0)
        QCOMPARE(probe.frames, frames);
    QCOMPARE(QSize(probe.width, probe.height), size);
    QString errors;
    QVERIFY2(decodesCleanly(path, &errors), qPrintable(errors));
}

} // namespace

class TestScreenMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const QString missing = mediaToolsMissing();
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void init()
    {
        m_world = std::make_unique<MonitorWorld>();
        m_folder = testsupport::testRoot() + QStringLiteral("/rec-%1").arg(++m_run);
        m_base = m_folder + QStringLiteral("/Screen_20240102_030405");
    }

    void defaultsBeforeConfiguration()
    {
        ScreenMonitor monitor(m_world->services());
        QCOMPARE(monitor.segmentLimitMB(), 100);
        QCOMPARE(monitor.idleTimeoutMs(), 60000);
        QCOMPARE(monitor.frameInterval(), 125);
        QCOMPARE(monitor.framesPerSecond(), 59);
        QCOMPARE(monitor.recordsMp4(), false);
        QCOMPARE(monitor.activitySource(), 0);
        // Nothing to record into: no start, no thread.
        QVERIFY(!monitor.start());
        QVERIFY(!monitor.isRunning());
        monitor.stop();
        monitor.stop();
    }

    void configureClamps_data()
    {
        QTest::addColumn<QList<int>>("given");    // MiB, idle s, fps, format, source
        QTest::addColumn<QList<int>>("expected"); // MiB, idle ms, fps, interval ms, mp4, source
        QTest::newRow("settings defaults") << QList<int>{100, 30, 59, 1, 0} << QList<int>{100, 30000, 59, 17, 1, 0};
        QTest::newRow("60 fps") << QList<int>{10, 10, 60, 0, 1} << QList<int>{10, 10000, 60, 17, 0, 1};
        QTest::newRow("1 fps raised to 2") << QList<int>{512, 600, 1, 0, 2} << QList<int>{512, 600000, 2, 500, 0, 2};
        QTest::newRow("too much of everything") << QList<int>{600, 601, 99, 7, 9}
                                                << QList<int>{512, 600000, 60, 17, 1, 2};
        QTest::newRow("too little of everything") << QList<int>{5, 5, -4, -1, -3}
                                                  << QList<int>{10, 10000, 2, 500, 0, 0};
        QTest::newRow("rounding to the nearest ms") << QList<int>{50, 20, 3, 1, 0}
                                                    << QList<int>{50, 20000, 3, 333, 1, 0};
    }

    void configureClamps()
    {
        QFETCH(QList<int>, given);
        QFETCH(QList<int>, expected);
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, given[0], given[1], given[2], given[3], given[4]);
        QCOMPARE(monitor.folder(), m_folder);
        QCOMPARE(monitor.segmentLimitMB(), expected[0]);
        QCOMPARE(monitor.idleTimeoutMs(), expected[1]);
        QCOMPARE(monitor.framesPerSecond(), expected[2]);
        QCOMPARE(monitor.frameInterval(), expected[3]);
        QCOMPARE(int(monitor.recordsMp4()), expected[4]);
        QCOMPARE(monitor.activitySource(), expected[5]);
    }

    void recordsWhileActive_data()
    {
        QTest::addColumn<bool>("mp4");
        QTest::newRow("avi") << false;
        QTest::newRow("mp4") << true;
    }

    // Activity opens a segment, idleness completes it, the next stretch of
    // activity gets a segment of its own (same second: "_2"), and stopping
    // completes the one that is open.
    void recordsWhileActive()
    {
        QFETCH(bool, mp4);
        const QSize size(160, 120);
        m_world->show(gradient(size));
        m_world->setActive(false);
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 30, 30, mp4 ? 1 : 0, 0);
        QVERIFY(monitor.start());
        QVERIFY(monitor.start());
        QVERIFY(monitor.isRunning());
        QTest::qWait(200);
        QCOMPARE(monitor.currentSegmentPath(), QString());

        m_world->setActive(true);
        const QString first = m_base + ext(mp4);
        QTRY_COMPARE(monitor.currentSegmentPath(), first);
        QVERIFY(QFileInfo::exists(first + QStringLiteral(".part")));
        QVERIFY(!QFileInfo::exists(first));
        QTRY_VERIFY(monitor.framesWritten() >= 5);
        m_world->setActive(false);
        QTRY_COMPARE(monitor.currentSegmentPath(), QString());
        const int firstFrames = int(monitor.framesWritten());
        verifyComplete(first, firstFrames, size);

        m_world->setActive(true);
        const QString second = m_base + QStringLiteral("_2") + ext(mp4);
        QTRY_COMPARE(monitor.currentSegmentPath(), second);
        QTRY_VERIFY(monitor.framesWritten() >= quint64(firstFrames) + 3);
        monitor.stop();
        QVERIFY(!monitor.isRunning());
        QCOMPARE(monitor.currentSegmentPath(), QString());
        verifyComplete(second, int(monitor.framesWritten()) - firstFrames, size);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files).size(), 2);
    }

    void triggerSources_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("keyboardStarts");
        QTest::addColumn<bool>("mouseStarts");
        QTest::newRow("keyboard or mouse") << 0 << true << true;
        QTest::newRow("keyboard only") << 1 << true << false;
        QTest::newRow("mouse only") << 2 << false << true;
    }

    void triggerSources()
    {
        QFETCH(int, source);
        QFETCH(bool, keyboardStarts);
        QFETCH(bool, mouseStarts);
        m_world->show(gradient(QSize(64, 48)));
        m_world->setActive(false);
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 10, 30, 0, source);
        QVERIFY(monitor.start());
        m_world->keyboardIdle = 0;
        QTest::qWait(250);
        QCOMPARE(!monitor.currentSegmentPath().isEmpty(), keyboardStarts);
        m_world->keyboardIdle = MonitorWorld::kIdle;
        QTRY_COMPARE(monitor.currentSegmentPath(), QString());

        m_world->mouseIdle = 0;
        QTest::qWait(250);
        QCOMPARE(!monitor.currentSegmentPath().isEmpty(), mouseStarts);
        m_world->mouseIdle = MonitorWorld::kIdle;
        QTRY_COMPARE(monitor.currentSegmentPath(), QString());

        // Just inside the idle time still counts as active.
        m_world->keyboardIdle = 9999;
        m_world->mouseIdle = 9999;
        QTRY_VERIFY(!monitor.currentSegmentPath().isEmpty());
    }

    void rotatesAtTheSizeLimit_data()
    {
        QTest::addColumn<bool>("mp4");
        QTest::addColumn<QImage>("screen");
        // JPEGs of noise are large: a few dozen fill 10 MiB.
        QTest::newRow("avi") << false << noise(QSize(640, 480));
        // 4.5 Mpx at 60 fps: the 40 Mbit/s ceiling, 83333 bytes a frame.
        QTest::newRow("mp4") << true << gradient(QSize(2560, 1760));
    }

    void rotatesAtTheSizeLimit()
    {
        QFETCH(bool, mp4);
        QFETCH(QImage, screen);
        m_world->show(screen);
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 10, 30, 60, mp4 ? 1 : 0, 0);
        QVERIFY(monitor.start());
        const QString first = m_base + ext(mp4);
        const QString second = m_base + QStringLiteral("_2") + ext(mp4);
        QTRY_COMPARE_WITH_TIMEOUT(monitor.currentSegmentPath(), second, 60000);
        // A segment with no frame in it is not kept; give this one a few.
        const quint64 atRotation = monitor.framesWritten();
        QTRY_VERIFY(monitor.framesWritten() >= atRotation + 3);
        monitor.stop();

        const QByteArray file = testsupport::readFile(first);
        if (mp4) {
            const qint64 perFrame = 40000000 / 8 / 60;
            const MediaProbe probe = probeVideo(first);
            QCOMPARE(probe.frames, int((10 * kMiB + perFrame - 1) / perFrame));
        } else {
            // The chunks, header included, reach the limit with the last one.
            const qint64 frames = qFromLittleEndian<quint32>(file.constData() + 48);
            const qint64 moviEnd = file.size() - 8 - 16 * frames;
            const quint32 lastChunk = qFromLittleEndian<quint32>(file.constData() + file.size() - 4);
            QVERIFY(moviEnd >= 10 * kMiB);
            QVERIFY(moviEnd - 8 - lastChunk - (lastChunk & 1) < 10 * kMiB);
        }
        verifyComplete(first, -1, QSize(screen.width() & ~(mp4 ? 1 : 0), screen.height()));
        verifyComplete(second, -1, QSize(screen.width(), screen.height()));
    }

    void newScreenSizeNewSegment()
    {
        m_world->show(gradient(QSize(160, 120)));
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 30, 30, 0, 0);
        QVERIFY(monitor.start());
        QTRY_VERIFY(monitor.framesWritten() >= 3);
        m_world->show(gradient(QSize(200, 100)));
        QTRY_COMPARE(monitor.currentSegmentPath(), m_base + QStringLiteral("_2.avi"));
        monitor.stop();
        verifyComplete(m_base + QStringLiteral(".avi"), -1, QSize(160, 120));
        verifyComplete(m_base + QStringLiteral("_2.avi"), -1, QSize(200, 100));
    }

    void mp4FailureFallsBackToAvi()
    {
        // One pixel wide: H.264 cannot take it, motion JPEG can.
        m_world->show(gradient(QSize(1, 64)));
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 30, 30, 1, 0);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^screen monitor: MP4 recording failed, recording AVI")));
        QVERIFY(monitor.start());
        QTRY_COMPARE(monitor.currentSegmentPath(), m_base + QStringLiteral(".avi"));
        QVERIFY(!monitor.recordsMp4());
        QTRY_VERIFY(monitor.framesWritten() >= 2);
        monitor.stop();
        QVERIFY(!QFileInfo::exists(m_base + QStringLiteral(".mp4.part")));
        verifyComplete(m_base + QStringLiteral(".avi"), int(monitor.framesWritten()), QSize(1, 64));
    }

    void lowDiskPausesOnceAndResumes_data()
    {
        QTest::addColumn<int>("segmentMB");
        QTest::addColumn<qint64>("low");
        QTest::addColumn<qint64>("enough");
        QTest::newRow("100 MiB: 500 MiB floor") << 100 << 499 * kMiB << 500 * kMiB;
        QTest::newRow("400 MiB: twice the segment") << 400 << 800 * kMiB - 1 << 800 * kMiB;
    }

    void lowDiskPausesOnceAndResumes()
    {
        QFETCH(int, segmentMB);
        QFETCH(qint64, low);
        QFETCH(qint64, enough);
        QCOMPARE(ScreenMonitor::freeSpaceThreshold(segmentMB), enough);
        m_world->show(gradient(QSize(64, 48)));
        m_world->freeBytes = low;
        ScreenMonitor monitor(m_world->services());
        QSignalSpy diskFull(&monitor, &ScreenMonitor::diskFull);
        monitor.configure(m_folder, segmentMB, 30, 30, 0, 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^screen monitor paused: low disk space")));
        QVERIFY(monitor.start());
        QTRY_COMPARE(diskFull.count(), 1);
        QVERIFY(monitor.isPaused());
        // Retries come every 10 s while the user is active; the episode
        // is told once however often it is found again.
        m_world->clockOffsetMs += 10001;
        QTest::qWait(300);
        QCOMPARE(diskFull.count(), 1);
        QVERIFY(QDir(m_folder).entryList(QDir::Files).isEmpty());

        m_world->freeBytes = enough;
        QTest::qWait(300);
        QCOMPARE(monitor.currentSegmentPath(), QString());
        m_world->clockOffsetMs += 10001;
        QTRY_COMPARE(monitor.currentSegmentPath(), m_base + QStringLiteral(".avi"));
        QVERIFY(!monitor.isPaused());

        // A new episode is told again.
        m_world->setActive(false);
        QTRY_COMPARE(monitor.currentSegmentPath(), QString());
        m_world->freeBytes = low;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^screen monitor paused: low disk space")));
        m_world->setActive(true);
        QTRY_COMPARE(diskFull.count(), 2);
        monitor.stop();
        verifyComplete(m_base + QStringLiteral(".avi"), -1, QSize(64, 48));
    }

    void unwritableFolderIsRefused()
    {
        QVERIFY(testsupport::writeFile(m_folder + QStringLiteral("/plain-file"), "x"));
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder + QStringLiteral("/plain-file/recordings"), 100, 30, 30, 1, 0);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^screen monitor: folder cannot be written")));
        QVERIFY(!monitor.start());
        QVERIFY(!monitor.isRunning());
        QCOMPARE(QDir(m_folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"plain-file"});
    }

    // The folder disappears while the monitor runs: no crash, one warning,
    // a retry every 10 s, and recording comes back with the folder.
    void folderLostWhileRunning()
    {
        m_world->show(gradient(QSize(64, 48)));
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 30, 30, 0, 0);
        QVERIFY(monitor.start());
        QTRY_VERIFY(monitor.framesWritten() >= 2);
        m_world->setActive(false);
        QTRY_COMPARE(monitor.currentSegmentPath(), QString());
        const QString kept = testsupport::testRoot() + QStringLiteral("/kept-%1").arg(m_run);
        QVERIFY(QDir().rename(m_folder, kept));
        QVERIFY(testsupport::writeFile(m_folder, "not a folder"));

        QSignalSpy unavailable(&monitor, &ScreenMonitor::folderUnavailable);
        QSignalSpy resumed(&monitor, &ScreenMonitor::recordingResumed);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^screen monitor: recording folder cannot be made, retrying")));
        m_world->setActive(true);
        QTRY_VERIFY(monitor.isPaused());
        QTRY_COMPARE(unavailable.count(), 1);
        QCOMPARE(unavailable.at(0).at(0).toString(), m_folder);
        QTest::qWait(300);
        QCOMPARE(monitor.currentSegmentPath(), QString());
        // Told once however often it is found again.
        m_world->clockOffsetMs += 10001;
        QTest::qWait(300);
        QCOMPARE(unavailable.count(), 1);
        QCOMPARE(resumed.count(), 0);

        QVERIFY(QFile::remove(m_folder));
        QVERIFY(QDir().mkpath(m_folder));
        m_world->clockOffsetMs += 10001;
        QTRY_COMPARE(monitor.currentSegmentPath(), m_base + QStringLiteral(".avi"));
        QTRY_COMPARE(resumed.count(), 1);
        monitor.stop();
        verifyComplete(kept + QStringLiteral("/Screen_20240102_030405.avi"), -1, QSize(64, 48));
        verifyComplete(m_base + QStringLiteral(".avi"), -1, QSize(64, 48));
    }

    // The folder is removed with the open segment while recording: it is
    // made again at once and recording goes on there in the chosen format;
    // only the frames of the removed file are lost.
    void folderRemovedWhileRecording_data()
    {
        QTest::addColumn<bool>("mp4");
        QTest::newRow("avi") << false;
        QTest::newRow("mp4") << true;
    }
    void folderRemovedWhileRecording()
    {
        QFETCH(bool, mp4);
        m_world->show(gradient(QSize(64, 48)));
        ScreenMonitor monitor(m_world->services());
        QSignalSpy unavailable(&monitor, &ScreenMonitor::folderUnavailable);
        monitor.configure(m_folder, 100, 30, 30, mp4 ? 1 : 0, 0);
        QVERIFY(monitor.start());
        QTRY_COMPARE(monitor.currentSegmentPath(), m_base + ext(mp4));
        QTRY_VERIFY(monitor.framesWritten() >= 2);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^screen monitor: the open segment was removed")));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^screen monitor: recording folder was gone, made again")));
        QVERIFY(QDir(m_folder).removeRecursively());
        QTRY_VERIFY(QFileInfo::exists(m_base + ext(mp4) + QStringLiteral(".part")));
        QCOMPARE(monitor.recordsMp4(), mp4);
        const quint64 before = monitor.framesWritten();
        QTRY_VERIFY(monitor.framesWritten() >= before + 2);
        monitor.stop();
        verifyComplete(m_base + ext(mp4), -1, QSize(64, 48));
        QCOMPARE(unavailable.count(), 0);
    }

    // What a killed recorder left: MP4 parts, which nothing can play, go at
    // the next start; AVI parts keep their frames; other files and parts
    // still being written are not touched.
    void partsOfAKilledRunAreCleaned()
    {
        const QString oldMp4 = m_folder + QStringLiteral("/Screen_20230101_000000.mp4.part");
        const QString oldAvi = m_folder + QStringLiteral("/Screen_20230101_000001.avi.part");
        const QString freshMp4 = m_folder + QStringLiteral("/Screen_20230101_000002.mp4.part");
        const QString other = m_folder + QStringLiteral("/movie.mp4.part");
        for (const QString& p : { oldMp4, oldAvi, freshMp4, other })
            QVERIFY(testsupport::writeFile(p, "x"));
        for (const QString& p : { oldMp4, oldAvi, other })
            QVERIFY(testsupport::setModificationTime(p, QDateTime::currentDateTime().addDays(-1)));
        m_world->setActive(false);
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 30, 30, 1, 0);
        QVERIFY(monitor.start());
        QTRY_VERIFY(!QFileInfo::exists(oldMp4));
        monitor.stop();
        for (const QString& p : { oldAvi, freshMp4, other })
            QVERIFY2(QFileInfo::exists(p), qPrintable(p));
    }

    void writeFailure_data()
    {
        QTest::addColumn<bool>("mp4");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<QStringList>("left");
        // The torn chunk is cut off and the AVI closes whole with the frames
        // written before it.
        QTest::newRow("avi") << false << QStringList{"^screen monitor AVI write failed, closing segment:"}
                             << QStringList{"Screen_20240102_030405.avi"};
        // An MP4 without its index is no video at all.
        QTest::newRow("mp4") << true
                             << QStringList{"^screen monitor MP4 write failed, closing segment:",
                                            "^Mp4Writer Finalize failed, removing broken segment:"}
                             << QStringList{};
    }

    void writeFailure()
    {
        QFETCH(bool, mp4);
        QFETCH(QStringList, warnings);
        QFETCH(QStringList, left);
        m_world->show(noise(QSize(640, 480)));
        ScreenMonitor monitor(m_world->services());
        monitor.configure(m_folder, 100, 30, 30, mp4 ? 1 : 0, 0);
        QVERIFY(QDir().mkpath(m_folder));
        for (const QString& w : warnings)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(w));
        {
            // Every file of this process stops growing at 1 MiB, as on a
            // full disk.
            testsupport::FileSizeLimit limit(kMiB);
            QVERIFY(limit.active());
            QVERIFY(monitor.start());
            QTRY_VERIFY_WITH_TIMEOUT(monitor.isPaused(), 20000);
            QTRY_COMPARE(monitor.currentSegmentPath(), QString());
            monitor.stop();
        }
        QCOMPARE(QDir(m_folder).entryList(QDir::Files), left);
        for (const QString& name : left)
            verifyComplete(m_folder + QLatin1Char('/') + name, -1, QSize(640, 480));
    }

private:
    std::unique_ptr<MonitorWorld> m_world;
    QString m_folder;
    QString m_base;
    int m_run = 0;
};

QTEST_GUILESS_MAIN(TestScreenMonitor)
#include "test_screenmonitor.moc"
