// The screen capture on the real X server: what a window shows comes back
// pixel for pixel through shared memory and through plain requests, and the
// pointer is drawn in where it is.
#include "platform/screencapture.h"
#include "testsupport.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QWidget>
#include <QtTest>

namespace {

const QRgb kFill = qRgb(0x33, 0x66, 0xCC);

class Swatch : public QWidget {
public:
    Swatch() { setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint); }
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(kFill)); }
};

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

} // namespace

class TestScreenCaptureX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
        m_swatch.setGeometry(100, 120, 240, 160);
        m_swatch.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_swatch));
    }

    void grabsWhatIsShown_data()
    {
        QTest::addColumn<bool>("sharedMemory");
        QTest::newRow("shared memory") << true;
        QTest::newRow("plain requests") << false;
    }

    void grabsWhatIsShown()
    {
        QFETCH(bool, sharedMemory);
        // Pointer far from the swatch, so that it cannot hide the samples.
        QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("900"), QStringLiteral("700")}));
        auto capture = openScreenCapture(sharedMemory);
        QVERIFY(capture);
        QCOMPARE(capture->usesSharedMemory(), sharedMemory);
        QCOMPARE(capture->screenSize(), QGuiApplication::primaryScreen()->virtualSize());
        QImage frame;
        QTRY_VERIFY(capture->grab(&frame) && frame.pixel(220, 200) == kFill);
        QCOMPARE(frame.format(), QImage::Format_RGB32);
        QCOMPARE(frame.size(), capture->screenSize());
        for (const QPoint& p : {QPoint(100, 120), QPoint(339, 120), QPoint(100, 279), QPoint(339, 279)})
            QCOMPARE(frame.pixel(p), kFill);
        QVERIFY(frame.pixel(99, 200) != kFill);
        QVERIFY(frame.pixel(340, 200) != kFill);
        // A second grab reuses the image and is just as right.
        QVERIFY(capture->grab(&frame));
        QCOMPARE(frame.pixel(220, 200), kFill);
    }

    void drawsThePointer()
    {
        auto capture = openScreenCapture();
        QVERIFY(capture);
        QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("220"), QStringLiteral("200")}));
        // Any pointer shape covers some pixels near its hot spot; count the
        // pixels of the swatch that are no longer its colour.
        auto changed = [&] {
            QImage frame;
            if (!capture->grab(&frame))
                return -1;
            int n = 0;
            for (int y = 170; y < 230; ++y)
                for (int x = 190; x < 250; ++x)
                    n += frame.pixel(x, y) != kFill ? 1 : 0;
            return n;
        };
        QTRY_VERIFY(changed() > 10);
        QVERIFY(xdotool({QStringLiteral("mousemove"), QStringLiteral("900"), QStringLiteral("700")}));
        QTRY_COMPARE(changed(), 0);
    }

private:
    Swatch m_swatch;
};

QTEST_MAIN(TestScreenCaptureX11)
#include "test_screencapture_x11.moc"
