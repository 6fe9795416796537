// The media module as the program finds it: where it is looked for, what a
// missing or damaged module says, and that without it the video background
// stays empty and the screen recorder still records, as AVI, while saying
// why.
#include "media/mediamodule.h"
#include "media/videobackground.h"

#include "../platform/mediaprobe.h"
#include "../protect/monitorfakes.h"
#include "testsupport.h"
#include "videoclips.h"

#include <QtTest>

namespace {

QString folderHolding(const QString& name, const QByteArray& moduleBytes)
{
    const QString dir = testsupport::testRoot() + QLatin1Char('/') + name;
    QDir().mkpath(dir);
    if (!moduleBytes.isNull())
        testsupport::writeFile(dir + QLatin1Char('/') + media::moduleFileName(), moduleBytes);
    return dir;
}

QImage gradient(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    return image;
}

} // namespace

class TestMediaModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The program's own search: beside it, the installed layout, and
        // for a program in the build tree, the build's module.
        const QString here = QCoreApplication::applicationDirPath();
        const QStringList folders = media::moduleFolders();
        QCOMPARE(folders.value(0), here);
        QCOMPARE(folders.value(1), QDir::cleanPath(here + QStringLiteral("/../lib/quillory")));
        QVERIFY2(folders.size() == 3 && QFileInfo::exists(folders[2] + QLatin1Char('/') + media::moduleFileName()),
                 qPrintable(folders.join(QLatin1Char(' '))));
        m_buildModule = folders[2] + QLatin1Char('/') + media::moduleFileName();

        // From here on this process stands for an installation without the
        // module.
        m_empty = folderHolding(QStringLiteral("no-module"), QByteArray());
        media::setModuleFolders({m_empty});
    }

    void loadFrom_data()
    {
        QFile module(m_buildModule);
        QVERIFY(module.open(QIODevice::ReadOnly));
        const QByteArray real = module.readAll();
        const QString none = folderHolding(QStringLiteral("none"), QByteArray());
        const QString damaged = folderHolding(QStringLiteral("damaged"), QByteArray("\x7f" "ELF but not really"));
        const QString good = folderHolding(QStringLiteral("good"), real);

        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("loads");
        QTest::addColumn<QString>("why");
        QTest::newRow("no folder") << QStringList() << false << "is not installed";
        QTest::newRow("no module in the folder") << QStringList{none} << false << "is not installed";
        QTest::newRow("damaged module") << QStringList{none, damaged} << false << damaged;
        QTest::newRow("the first usable one") << QStringList{none, damaged, good} << true << QString();
    }

    void loadFrom()
    {
        QFETCH(QStringList, folders);
        QFETCH(bool, loads);
        QFETCH(QString, why);
        QString reason;
        MediaCodecs* codecs = media::loadModuleFrom(folders, &reason);
        QCOMPARE(codecs != nullptr, loads);
        if (!loads) {
            QVERIFY2(reason.contains(why), qPrintable(reason));
            QVERIFY2(reason.contains(media::moduleFileName()), qPrintable(reason));
            return;
        }
        // A module that loads can decode.
        const QString clip = testsupport::testRoot() + QStringLiteral("/clip.mp4");
        QVERIFY(testsupport::writeTestClip(clip, QSize(64, 48), 3, 25));
        std::unique_ptr<VideoDecoder> decoder = codecs->newVideoDecoder();
        QVERIFY(decoder->open(clip));
        QCOMPARE(decoder->nativeSize(), QSize(64, 48));
    }

    void missingModuleIsReported()
    {
        QString why;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^media module not available: ")));
        QVERIFY(!media::codecs(&why));
        QVERIFY2(why.contains(media::moduleFileName()) && why.contains(m_empty), qPrintable(why));
        // Asked again, the same answer without another search or warning.
        QString again;
        QVERIFY(!media::newVideoDecoder(&again));
        QVERIFY(!media::newMp4Writer(&again));
        QCOMPARE(again, why);
    }

    void videoBackgroundStaysEmpty()
    {
        const QString clip = testsupport::testRoot() + QStringLiteral("/background.mp4");
        QVERIFY(testsupport::writeTestClip(clip, QSize(64, 48), 6, 30));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^video background cannot play .*background\\.mp4.*"
                                                               "libquillory-media\\.so")));
        VideoBackground video;
        video.setTargetSize(QSize(64, 48));
        video.start(clip);
        QTRY_VERIFY(video.hasFailed());
        quint64 serial = 1;
        QVERIFY(video.latestFrame(&serial).isNull());
        QCOMPARE(serial, quint64(0));
        video.stop();
    }

    // MP4 was chosen: the recorder says why it cannot, and records AVI.
    void recorderFallsBackToAvi()
    {
        const QString missing = mediaToolsMissing();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        MonitorWorld world;
        world.show(gradient(QSize(160, 120)));
        const QString folder = testsupport::testRoot() + QStringLiteral("/recordings");
        ScreenMonitor monitor(world.services());
        monitor.configure(folder, 100, 30, 30, 1, 0);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^screen monitor: MP4 recording failed, recording AVI "
                                                               "instead: .*libquillory-media\\.so")));
        QVERIFY(monitor.start());
        const QString avi = folder + QStringLiteral("/Screen_20240102_030405.avi");
        QTRY_COMPARE(monitor.currentSegmentPath(), avi);
        QVERIFY(!monitor.recordsMp4());
        QTRY_VERIFY(monitor.framesWritten() >= 3);
        monitor.stop();
        const MediaProbe probe = probeVideo(avi);
        QVERIFY2(probe.ok, qPrintable(probe.error));
        QCOMPARE(probe.frames, int(monitor.framesWritten()));
    }

private:
    QString m_buildModule;
    QString m_empty;
};

QTEST_GUILESS_MAIN(TestMediaModule)
#include "test_mediamodule.moc"
