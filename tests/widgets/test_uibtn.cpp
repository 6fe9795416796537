// The panel-button catalogue: captions, glyphs against golden pictures,
// animation phases, the custom-picture cache and the drag picture.
#include "widgets/uibtn.h"

#include "app/lang.h"
#include "app/theme.h"
#include "glyphgolden.h"
#include "testsupport.h"

#include <QThread>
#include <QtTest>

namespace {

// A glyph at twice its size, black on transparent, optionally turned about
// its centre by the caller's own transform.
QImage glyphImage(int id, bool on, bool animate, qreal extraRotation = 0)
{
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(24, 24);
    p.scale(2, 2);
    p.rotate(extraRotation);
    paintUiBtnGlyph(p, id, QPointF(0, 0), Qt::black, on, QColor(), animate);
    return image;
}

QByteArray pngBytes()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestUiBtn : public QObject {
    Q_OBJECT
    QStringList m_warnings;
    static TestUiBtn* s_self;
    static void capture(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtWarningMsg)
            s_self->m_warnings << text;
    }

private Q_SLOTS:
    void initTestCase() { s_self = this; }
    void cleanup()
    {
        setLanguage(0);
        setUiBtnGlyphPhase(-1);
        setObfuscateGlyphPhase(-1);
    }

    void labels_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("area");
        QTest::newRow("orientation") << 0 << "横竖切换" << "Orientation" << "标题栏";
        QTest::newRow("close") << 4 << "关闭" << "Close" << "标题栏";
        QTest::newRow("app market") << 5 << "应用市场" << "App Market" << "底部栏";
        QTest::newRow("obfuscation") << 10 << "混淆保护" << "Obfuscation" << "底部栏";
        QTest::newRow("past the last") << 11 << "" << "" << "底部栏";
        QTest::newRow("negative") << -1 << "" << "" << "标题栏";
    }
    void labels()
    {
        QFETCH(int, id);
        QTEST(uiBtnLabel(id), "chinese");
        QTEST(uiBtnAreaLabel(id), "area");
        setLanguage(1);
        QTEST(uiBtnLabel(id), "english");
    }

    void glyphsMatchTheirGoldenPictures_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("on");
        for (int id = 0; id < kUiBtnCount; ++id)
            QTest::addRow("%d", id) << id << false;
        for (int id : {0, 2, 6, 9, 10})
            QTest::addRow("%d lit", id) << id << true;
    }
    void glyphsMatchTheirGoldenPictures()
    {
        QFETCH(int, id);
        QFETCH(bool, on);
        // The camera's lit dot blinks with the clock; compare it at full alpha.
        if (id == 9 && on)
            QTRY_VERIFY((QDateTime::currentMSecsSinceEpoch() / 500) % 2 == 0
                        && QDateTime::currentMSecsSinceEpoch() % 500 < 400);
        const QString name = QStringLiteral("uibtn-%1%2").arg(id).arg(on ? "-on" : "");
        QVERIFY2(testsupport::matchesGolden(glyphImage(id, on, false), name), qPrintable(name));
    }

    void unknownIdDrawsNothing()
    {
        const QImage blank = glyphImage(11, false, false);
        QCOMPARE(blank, glyphImage(-1, true, true));
        QImage empty(48, 48, QImage::Format_ARGB32_Premultiplied);
        empty.fill(Qt::transparent);
        QCOMPARE(blank, empty);
    }

    void secondColourChangesNothing()
    {
        for (int id = 0; id < kUiBtnCount; ++id) {
            QImage a(40, 40, QImage::Format_ARGB32_Premultiplied);
            QImage b = a;
            a.fill(Qt::white);
            b.fill(Qt::white);
            QPainter pa(&a);
            QPainter pb(&b);
            paintUiBtnGlyph(pa, id, QPointF(20, 20), Qt::black, false, Qt::red, false);
            paintUiBtnGlyph(pb, id, QPointF(20, 20), Qt::black, false, QColor(), false);
            pa.end();
            pb.end();
            QVERIFY2(a == b, qPrintable(QString::number(id)));
        }
    }

    void fixedPhaseTurnsTheGlyph_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("on");
        QTest::addColumn<double>("phase");
        QTest::addColumn<double>("degrees");
        QTest::newRow("gear a quarter turn") << 1 << false << 0.25 << 90.0;
        QTest::newRow("gear an eighth") << 1 << false << 0.125 << 45.0;
        QTest::newRow("sun a sixteenth") << 6 << false << 0.0625 << 22.5;
        QTest::newRow("moon rocks 12 degrees at a quarter") << 6 << true << 0.25 << 12.0;
        QTest::newRow("moon back at the start at half") << 6 << true << 0.5 << 0.0;
    }
    void fixedPhaseTurnsTheGlyph()
    {
        QFETCH(int, id);
        QFETCH(bool, on);
        QFETCH(double, phase);
        QFETCH(double, degrees);
        setUiBtnGlyphPhase(phase);
        const QImage animated = glyphImage(id, on, true);
        QVERIFY(testsupport::imagesClose(animated, glyphImage(id, on, false, degrees), 40, 6));
        if (degrees != 0)
            QVERIFY(!testsupport::imagesClose(animated, glyphImage(id, on, false), 40, 6));
        // Without animation the phase does not matter.
        QCOMPARE(glyphImage(id, on, false), glyphImage(id, on, false, 0));
    }

    void obfuscationArrowsMoveWithTheirPhase()
    {
        setObfuscateGlyphPhase(0.0);
        const QImage first = glyphImage(10, true, true);
        setObfuscateGlyphPhase(0.25);
        const QImage second = glyphImage(10, true, true);
        QVERIFY(first != second);
        setObfuscateGlyphPhase(0.25);
        QCOMPARE(glyphImage(10, true, true), second);
        // The shared phase leaves the arrows alone.
        setUiBtnGlyphPhase(0.5);
        QCOMPARE(glyphImage(10, true, true), second);
    }

    void customIconNegativeCacheAndEviction()
    {
        purgeCustomIconCache(QStringLiteral("x"));
        const QString path = testsupport::testRoot() + QStringLiteral("/btn/picture.png");
        const QByteArray png = pngBytes();
        // Not an image, but exactly as long as the picture that replaces it.
        QVERIFY(testsupport::writeFile(path, QByteArray(png.size(), 'x')));
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(-100);
        auto keepStamp = [&] {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        };
        keepStamp();
        QVERIFY(customIcon(path, 16, 1).isNull());

        // Same size and time stamp: the remembered failure stands, the file
        // is not read again.
        QVERIFY(testsupport::writeFile(path, png));
        keepStamp();
        QVERIFY(customIcon(path, 16, 1).isNull());

        // 254 more failures keep it; the 255th pushes it out.
        for (int i = 0; i < 254; ++i)
            QVERIFY(customIcon(testsupport::testRoot() + QStringLiteral("/btn/none-%1.png").arg(i), 16, 1).isNull());
        QVERIFY(customIcon(path, 16, 1).isNull());
        QVERIFY(customIcon(testsupport::testRoot() + QStringLiteral("/btn/none-last.png"), 16, 1).isNull());
        const QPixmap loaded = customIcon(path, 16, 2);
        QVERIFY(customIcon(path, 16, 1).isNull() == false);
        QCOMPARE(loaded.size(), QSize(32, 32));
        QCOMPARE(loaded.devicePixelRatio(), 2.0);
    }

    void customIconPicksUpAReplacedFile()
    {
        purgeCustomIconCache(QStringLiteral("x"));
        const QString path = testsupport::testRoot() + QStringLiteral("/btn/replaced.png");
        QVERIFY(testsupport::writeFile(path, "not a picture"));
        QVERIFY(customIcon(path, 18, 1).isNull());
        QVERIFY(testsupport::writeFile(path, pngBytes()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(customIcon(path, 18, 1).size(), QSize(18, 18));
        QVERIFY(customIcon(path, 0, 1).isNull());
        QVERIFY(customIcon(QString(), 18, 1).isNull());
    }

    void customIconRefusesOtherThreads()
    {
        const QString path = testsupport::testRoot() + QStringLiteral("/btn/thread.png");
        QVERIFY(testsupport::writeFile(path, pngBytes()));
        m_warnings.clear();
        auto previous = qInstallMessageHandler(capture);
        bool isNull = false;
        QThread* worker = QThread::create([&] { isNull = customIcon(path, 16, 1).isNull(); });
        worker->start();
        worker->wait();
        delete worker;
        qInstallMessageHandler(previous);
        QVERIFY(isNull);
        QCOMPARE(m_warnings, QStringList{QStringLiteral("[UiBtn] customIcon called off GUI thread, ignored")});
        QVERIFY(!customIcon(path, 16, 1).isNull());
    }

    void dragPicture()
    {
        const QPixmap pin = uiBtnDragPixmap(2, false, 1.5);
        QCOMPARE(pin.size(), QSize(33, 33));
        QCOMPARE(pin.devicePixelRatio(), 1.5);
        QVERIFY(pin.toImage() != uiBtnDragPixmap(2, true, 1.5).toImage());
        // Only the pin shows its lit state.
        QCOMPARE(uiBtnDragPixmap(0, true, 1).toImage(), uiBtnDragPixmap(0, false, 1).toImage());
    }
};

TestUiBtn* TestUiBtn::s_self = nullptr;

QTEST_MAIN(TestUiBtn)
#include "test_uibtn.moc"
