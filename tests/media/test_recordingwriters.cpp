// The two segment writers, read back byte by byte and through ffprobe and
// ffmpeg: the AVI layout with its index, the measured rate, the MP4 stream's
// time stamps, frame size, bit rate and declared colours, and what a write
// failure leaves behind. The MP4 writer comes from the media module, as the
// recorder gets it.
#include "../platform/mediaprobe.h"
#include "media/aviwriter.h"
#include "media/mediamodule.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

namespace {

std::unique_ptr<SegmentWriter> newMp4Writer()
{
    QString why;
    std::unique_ptr<SegmentWriter> writer = media::newMp4Writer(&why);
    if (!writer)
        qWarning().noquote() << why;
    return writer;
}

quint32 le32(const QByteArray& bytes, qint64 at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

QImage noise(const QSize& size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    return image;
}

QImage gradient(const QSize& size, int shift)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x + shift) & 0xFF, (y * 2) & 0xFF, (x + y + shift) & 0xFF));
    return image;
}

QString newPath(const QString& name)
{
    const QString dir = testsupport::testRoot() + QStringLiteral("/writers");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

// One chunk of the "movi" list as the file holds it.
struct Chunk {
    qint64 at = 0;
    quint32 length = 0;
};

QList<Chunk> chunksOf(const QByteArray& file, qint64 moviEnd)
{
    QList<Chunk> chunks;
    for (qint64 at = AviWriter::kHeaderSize; at + 8 <= moviEnd;) {
        if (file.mid(at, 4) != "00dc")
            return {};
        const quint32 length = le32(file, at + 4);
        chunks.append({at, length});
        at += 8 + length + (length & 1);
    }
    return chunks;
}

} // namespace

class TestRecordingWriters : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const QString missing = mediaToolsMissing();
        QVERIFY2(missing.isEmpty(), qPrintable(missing));
    }

    void aviLayoutOfThreeFrames()
    {
        const QString path = newPath(QStringLiteral("three.avi"));
        AviWriter avi;
        QString error;
        QVERIFY2(avi.open(path, QSize(64, 48), 59, &error), qPrintable(error));
        QCOMPARE(avi.byteCount(), qint64(224));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(avi.addFrame(gradient(QSize(64, 48), i * 40), 1000 + 100 * i), SegmentWriter::Added::Written);
        const qint64 moviEnd = avi.byteCount();
        QVERIFY2(avi.close(1300, &error), qPrintable(error));

        const QByteArray file = testsupport::readFile(path);
        QCOMPARE(file.left(4), QByteArray("RIFF"));
        QCOMPARE(le32(file, 4), quint32(file.size() - 8));
        QCOMPARE(file.mid(220, 4), QByteArray("movi"));
        QCOMPARE(le32(file, 48), 3u);
        QCOMPARE(le32(file, 140), 3u);
        QCOMPARE(le32(file, 216), quint32(moviEnd - 220));
        const QList<Chunk> chunks = chunksOf(file, moviEnd);
        QCOMPARE(chunks.size(), 3);
        QCOMPARE(chunks.last().at + 8 + chunks.last().length + (chunks.last().length & 1), moviEnd);

        // The index counts offsets from the "movi" type, as AVI readers do.
        QCOMPARE(file.mid(moviEnd, 4), QByteArray("idx1"));
        QCOMPARE(le32(file, moviEnd + 4), 48u);
        QCOMPARE(moviEnd + 8 + 48, qint64(file.size()));
        for (int i = 0; i < 3; ++i) {
            const qint64 entry = moviEnd + 8 + 16 * i;
            QCOMPARE(file.mid(entry, 4), QByteArray("00dc"));
            QCOMPARE(le32(file, entry + 4), 16u);
            QCOMPARE(qint64(le32(file, entry + 8)) + 220, chunks[i].at);
            QCOMPARE(le32(file, entry + 12), chunks[i].length);
        }
        QCOMPARE(le32(file, moviEnd + 8 + 8), 4u);

        // Frames 100 ms apart, the last one shown 100 ms until the end, play
        // at 10 per second whatever was asked.
        QCOMPARE(le32(file, 32), 100000u);
        QCOMPARE(le32(file, 128), 1000u);
        QCOMPARE(le32(file, 132), 10000u);

        const MediaProbe probe = probeVideo(path);
        QVERIFY2(probe.ok, qPrintable(probe.error));
        QCOMPARE(probe.codec, QStringLiteral("mjpeg"));
        QCOMPARE(probe.frames, 3);
        QVERIFY2(qAbs(probe.durationSeconds - 0.3) <= 0.03, qPrintable(QString::number(probe.durationSeconds)));
        QCOMPARE(probe.colorRange, QStringLiteral("pc"));
        QString errors;
        QVERIFY2(decodesCleanly(path, &errors), qPrintable(errors));
    }

    void aviPadsOddJpegs()
    {
        const QString path = newPath(QStringLiteral("odd.avi"));
        AviWriter avi;
        QString error;
        QVERIFY(avi.open(path, QSize(40, 30), 30, &error));
        for (int i = 0; i < 12; ++i)
            QCOMPARE(avi.addFrame(noise(QSize(40, 30), quint32(i + 1)), 33 * i), SegmentWriter::Added::Written);
        const qint64 moviEnd = avi.byteCount();
        QVERIFY(avi.close(33 * 12, &error));
        const QByteArray file = testsupport::readFile(path);
        const QList<Chunk> chunks = chunksOf(file, moviEnd);
        QCOMPARE(chunks.size(), 12);
        int odd = 0;
        for (int i = 0; i < chunks.size(); ++i) {
            const Chunk& c = chunks[i];
            QCOMPARE(le32(file, moviEnd + 8 + 16 * i + 12), c.length);
            if (c.length & 1) {
                ++odd;
                QCOMPARE(file.at(c.at + 8 + c.length), '\0');
            }
        }
        // Twelve random JPEGs all of even length: one chance in 4096.
        QVERIFY(odd > 0);
        QString errors;
        QVERIFY2(decodesCleanly(path, &errors), qPrintable(errors));
    }

    void aviMeasuredRate_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<qint64>("firstMs");
        QTest::addColumn<qint64>("lastMs");
        QTest::addColumn<qint64>("endMs");
        QTest::addColumn<int>("fps");
        QTest::addColumn<quint32>("micros");
        QTest::addColumn<quint32>("rate");
        QTest::newRow("slower than asked") << 3 << qint64(0) << qint64(200) << qint64(300) << 59 << 100000u << 10000u;
        QTest::newRow("on time") << 60 << qint64(5000) << qint64(5000 + 59 * 17) << qint64(5000 + 60 * 17) << 59
                                 << 17000u << 58824u;
        // The screen stood still after the last frame until the recording ended.
        QTest::newRow("long last frame") << 2 << qint64(0) << qint64(100) << qint64(1000) << 10 << 500000u << 2000u;
        QTest::newRow("one frame: nominal") << 1 << qint64(7) << qint64(7) << qint64(7) << 59 << 16949u << 59000u;
        QTest::newRow("same instant") << 2 << qint64(7) << qint64(7) << qint64(7) << 2 << 250000u << 4000u;
    }

    void aviMeasuredRate()
    {
        QFETCH(int, frames);
        QFETCH(qint64, firstMs);
        QFETCH(qint64, lastMs);
        QFETCH(qint64, endMs);
        QFETCH(int, fps);
        const AviWriter::Rate r = AviWriter::measuredRate(frames, firstMs, lastMs, endMs, fps);
        QTEST(r.microsPerFrame, "micros");
        QTEST(r.rateTimes1000, "rate");
    }

    void aviWriteFailureCutsTheTornChunk()
    {
        const QString path = newPath(QStringLiteral("full.avi"));
        AviWriter avi;
        QString error;
        QVERIFY(avi.open(path, QSize(320, 240), 30, &error));
        SegmentWriter::Added last = SegmentWriter::Added::Written;
        qint64 good = 0;
        {
            testsupport::FileSizeLimit limit(224 + 300 * 1024);
            QVERIFY(limit.active());
            for (int i = 0; i < 40 && last == SegmentWriter::Added::Written; ++i) {
                good = avi.byteCount();
                last = avi.addFrame(noise(QSize(320, 240), quint32(i + 7)), 40 * i);
            }
        }
        QCOMPARE(last, SegmentWriter::Added::Failed);
        QVERIFY(!avi.errorString().isEmpty());
        QCOMPARE(avi.byteCount(), good);
        QCOMPARE(QFileInfo(path).size(), good);
        // With room again the file still closes into a whole AVI.
        QVERIFY2(avi.close(1600, &error), qPrintable(error));
        const MediaProbe probe = probeVideo(path);
        QVERIFY2(probe.ok, qPrintable(probe.error));
        QCOMPARE(probe.frames, avi.frameCount());
        QString errors;
        QVERIFY2(decodesCleanly(path, &errors), qPrintable(errors));
    }

    void mp4BitRate_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("fps");
        QTest::addColumn<qint64>("bitRate");
        QTest::newRow("small screen, 2 fps: floor") << QSize(320, 240) << 2 << qint64(4000000);
        QTest::newRow("1080p at 59") << QSize(1920, 1080) << 59 << qint64(18351360);
        QTest::newRow("4.5 Mpx at 60: ceiling") << QSize(2560, 1760) << 60 << qint64(40000000);
    }

    void mp4BitRate()
    {
        QFETCH(QSize, size);
        QFETCH(int, fps);
        QTEST(mp4BitRateFor(size, fps), "bitRate");
    }

    // Frames stamped 100 ms apart at a nominal 59 per second last 100 ms
    // each: the file plays at the speed it was captured.
    void mp4UsesCaptureTimes()
    {
        const QString path = newPath(QStringLiteral("stamps.mp4"));
        const std::unique_ptr<SegmentWriter> mp4 = newMp4Writer();
        QVERIFY(mp4);
        QString error;
        QVERIFY2(mp4->open(path, QSize(1366, 767), 59, &error), qPrintable(error));
        QCOMPARE(mp4->frameSize(), QSize(1366, 766));
        // Irregular, and once two frames within one slot.
        const QList<qint64> stamps{0, 100, 200, 300, 450, 455, 900, 1000, 1100, 1900};
        for (int i = 0; i < stamps.size(); ++i)
            QCOMPARE(mp4->addFrame(gradient(QSize(1366, 767), i * 16), 50000 + stamps[i]),
                     SegmentWriter::Added::Written);
        QCOMPARE(mp4->frameCount(), stamps.size());
        QCOMPARE(mp4->byteCount(), stamps.size() * (qint64(9260250) / 8 / 59));
        QVERIFY2(mp4->close(50000 + 2000, &error), qPrintable(error));

        const MediaProbe probe = probeVideo(path, true);
        QVERIFY2(probe.ok, qPrintable(probe.error));
        QCOMPARE(probe.codec, QStringLiteral("h264"));
        QCOMPARE(probe.width, 1366);
        QCOMPARE(probe.height, 766);
        QCOMPARE(probe.frames, stamps.size());
        QCOMPARE(probe.colorRange, QStringLiteral("pc"));
        QCOMPARE(probe.colorSpace, QStringLiteral("smpte170m"));
        QCOMPARE(probe.frameTimes.size(), stamps.size());
        // Each frame sits in the 1/59 s slot nearest to its capture time; the
        // second of two in one slot takes the next.
        const QList<int> slot{0, 6, 12, 18, 27, 28, 53, 59, 65, 112};
        for (int i = 0; i < stamps.size(); ++i)
            QVERIFY2(qAbs(probe.frameTimes[i] - probe.frameTimes[0] - slot[i] / 59.0) < 0.001,
                     qPrintable(QStringLiteral("frame %1 at %2").arg(i).arg(probe.frameTimes[i])));
        // The last frame lasts until the end, 2 s after the first.
        QVERIFY2(qAbs(probe.durationSeconds - 118 / 59.0) < 0.01, qPrintable(QString::number(probe.durationSeconds)));
        QString errors;
        QVERIFY2(decodesCleanly(path, &errors), qPrintable(errors));
    }

    void mp4RefusesWhatItCannotWrite()
    {
        const std::unique_ptr<SegmentWriter> mp4 = newMp4Writer();
        QVERIFY(mp4);
        QString error;
        const QString missingFolder = newPath(QStringLiteral("no/such/folder/a.mp4"));
        QVERIFY(!mp4->open(missingFolder, QSize(640, 480), 30, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(missingFolder));
        QVERIFY(!mp4->open(newPath(QStringLiteral("tiny.mp4")), QSize(1, 480), 30, &error));
        QVERIFY(!QFileInfo::exists(newPath(QStringLiteral("tiny.mp4"))));

        // A frame of another size is dropped, the file goes on.
        const QString path = newPath(QStringLiteral("sizes.mp4"));
        QVERIFY(mp4->open(path, QSize(320, 240), 30, &error));
        QCOMPARE(mp4->addFrame(gradient(QSize(640, 480), 0), 0), SegmentWriter::Added::Dropped);
        QCOMPARE(mp4->addFrame(gradient(QSize(320, 240), 0), 0), SegmentWriter::Added::Written);
        QVERIFY(mp4->close(0, &error));
        QCOMPARE(probeVideo(path).frames, 1);
    }

    void mp4WriteFailureIsReported()
    {
        const QString path = newPath(QStringLiteral("full.mp4"));
        const std::unique_ptr<SegmentWriter> mp4 = newMp4Writer();
        QVERIFY(mp4);
        QString error;
        QVERIFY(mp4->open(path, QSize(640, 480), 30, &error));
        SegmentWriter::Added last = SegmentWriter::Added::Written;
        bool closed = true;
        {
            testsupport::FileSizeLimit limit(256 * 1024);
            QVERIFY(limit.active());
            for (int i = 0; i < 200 && last != SegmentWriter::Added::Failed; ++i)
                last = mp4->addFrame(noise(QSize(640, 480), quint32(i + 1)), 33 * i);
            closed = mp4->close(33 * 200, &error);
        }
        QCOMPARE(last, SegmentWriter::Added::Failed);
        QVERIFY(!mp4->errorString().isEmpty());
        QVERIFY(!closed);
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordingWriters)
#include "test_recordingwriters.moc"
