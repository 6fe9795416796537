#include "protect/uilockoverlay.h"

#include <QLineEdit>
#include <QMovie>
#include <QtTest>

#include <cmath>

namespace {

LockCardLayout layoutFor(QSize size, bool input, bool error = false, bool remove = false)
{
    LockCardInput in;
    in.size = size;
    in.inputVisible = input;
    in.hasError = error;
    in.removeMode = remove;
    in.modeLinkWidth = 52;
    in.forgotLinkWidth = 52;
    return lockCardLayout(in);
}

// A GIF of one frame, enough for QMovie to play.
QString writeGif(const QString& dir, const QString& name)
{
    QImage img(4, 4, QImage::Format_Indexed8);
    img.setColorCount(2);
    img.setColor(0, qRgb(0, 0, 0));
    img.setColor(1, qRgb(255, 255, 255));
    img.fill(1);
    const QString path = dir + QLatin1Char('/') + name;
    // Qt writes no GIF; a minimal one by hand.
    static const unsigned char gif[] = {
        'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff,
        0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b };
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(gif), sizeof gif);
    return path;
}

} // namespace

class TestUiLockOverlay : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The wrong-password line reads at the usual text contrast (4.5:1) on
    // both ends of the plain backdrop of each theme.
    void errorTextContrast_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QColor>("backdrop");
        QTest::newRow("dark, top") << true << QColor(16, 21, 33);
        QTest::newRow("dark, bottom") << true << QColor(27, 35, 50);
        QTest::newRow("light, top") << false << QColor(245, 248, 253);
        QTest::newRow("light, bottom") << false << QColor(219, 228, 245);
    }
    void errorTextContrast()
    {
        QFETCH(bool, dark);
        QFETCH(QColor, backdrop);
        const auto luminance = [](const QColor& c) {
            const auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
        };
        const double a = luminance(lockErrorTextColour(false, dark));
        const double b = luminance(backdrop);
        const double ratio = (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
        QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
    }

    void cardScalesWithTheWindow_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("v");
        QTest::newRow("narrow portrait") << QSize(300, 700) << 0.74;
        QTest::newRow("reference") << QSize(900, 560) << 1.0;
        QTest::newRow("huge landscape") << QSize(4000, 3000) << 1.3;
        QTest::newRow("huge portrait") << QSize(2000, 3000) << 1.1;
        QTest::newRow("small landscape") << QSize(500, 300) << 0.82;
    }
    void cardScalesWithTheWindow()
    {
        QFETCH(QSize, size);
        QFETCH(double, v);
        const LockCardLayout l = layoutFor(size, true);
        QCOMPARE(l.v, v);
        QCOMPARE(l.editRect.width(), qMin(320.0, size.width() - 48.0));
        QCOMPARE(l.closeRect, QRectF(size.width() - 44, 8, 34, 26));
        QCOMPARE(l.minimizeRect, QRectF(size.width() - 80, 8, 34, 26));
    }

    void cardNeverRisesAboveItsMargin()
    {
        const LockCardLayout l = layoutFor(QSize(900, 120), true);
        QCOMPARE(l.top, 12 * l.v);
    }

    // The error row adds 20v + 8v to the foot and lifts the card by half.
    void errorRowLiftsTheCard()
    {
        const LockCardLayout plain = layoutFor(QSize(900, 560), true);
        const LockCardLayout error = layoutFor(QSize(900, 560), true, true);
        QCOMPARE(plain.top - error.top, 14.0);
        QCOMPARE(error.submitRect.top() - error.editRect.bottom(), 10.0 + 28.0);
        QCOMPARE(plain.submitRect.top() - plain.editRect.bottom(), 10.0);
        QCOMPARE(error.errorY, error.editRect.bottom() + 10.0);
    }

    void removeModeHasNoForgotLink()
    {
        const LockCardLayout normal = layoutFor(QSize(900, 560), true);
        QVERIFY(!normal.forgotLinkRect.isEmpty());
        QCOMPARE(normal.pillRect.right(), normal.forgotLinkRect.right());
        const LockCardLayout remove = layoutFor(QSize(900, 560), true, false, true);
        QVERIFY(remove.forgotLinkRect.isEmpty());
        QCOMPARE(remove.pillRect, remove.modeLinkRect);
    }

    void coverCropKeepsTheCentre()
    {
        QImage wide(400, 100, QImage::Format_RGB32);
        wide.fill(Qt::red);
        for (int x = 150; x < 250; ++x)
            for (int y = 0; y < 100; ++y)
                wide.setPixel(x, y, qRgb(0, 0, 255));
        const QImage out = scaleImageToCover(wide, QSize(50, 50));
        QCOMPARE(out.size(), QSize(50, 50));
        QCOMPARE(QColor(out.pixel(25, 25)), QColor(Qt::blue));
        QCOMPARE(QColor(out.pixel(2, 25)), QColor(Qt::blue));
        QVERIFY(scaleImageToCover(QImage(), QSize(5, 5)).isNull());
        QVERIFY(scaleImageToCover(wide, QSize(0, 5)).isNull());
    }

    void passwordRoutesToTheRightCallback_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("called");
        QTest::newRow("unlock") << false << "right" << "unlocked";
        QTest::newRow("remove") << true << "right" << "removed";
        QTest::newRow("wrong") << false << "nope" << "";
    }
    void passwordRoutesToTheRightCallback()
    {
        QFETCH(bool, remove);
        QFETCH(QString, typed);
        QFETCH(QString, called);
        QWidget host;
        host.resize(900, 560);
        auto* o = new UiLockOverlay(&host);
        o->setGeometry(host.rect());
        QStringList calls;
        o->checkPassword = [](const QString& p, const UiLockOverlay::CheckAnswer& answer) {
            PasswordCheckOutcome outcome;
            outcome.verdict = p == QLatin1String("right") ? PasswordCheckOutcome::Accepted : PasswordCheckOutcome::Wrong;
            answer(outcome);
        };
        o->onUnlocked = [&] { calls << QStringLiteral("unlocked"); };
        o->onRemovePassword = [&] { calls << QStringLiteral("removed"); };
        o->onHidden = [&] { calls << QStringLiteral("hidden"); };
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        o->showPasswordInput(remove);
        QTest::keyClicks(o->passwordEdit(), typed);
        QTest::keyClick(o->passwordEdit(), Qt::Key_Return);
        if (called.isEmpty()) {
            QCOMPARE(o->errorText(), QStringLiteral("密码错误，请重试"));
            QCOMPARE(o->shake(), 1.0);
            QCOMPARE(o->passwordEdit()->selectedText(), typed);
            QTest::keyClick(o->passwordEdit(), Qt::Key_X);
            QVERIFY(o->errorText().isEmpty());   // cleared by the next keystroke
            QVERIFY(calls.isEmpty());
            return;
        }
        QCOMPARE(calls, QStringList { called });
        QVERIFY(o->isFadingOut());
        o->submitPassword();                     // ignored while fading
        QTRY_COMPARE(calls, (QStringList { called, QStringLiteral("hidden") }));
        QVERIFY(!o->isVisible());
    }

    void escapeInTheEditClosesTheEntryOnly()
    {
        QWidget host;
        host.resize(600, 400);
        auto* o = new UiLockOverlay(&host);
        o->setGeometry(host.rect());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QTest::keyClick(o, Qt::Key_Return);
        QVERIFY(o->isInputVisible());
        QTest::keyClick(o->passwordEdit(), Qt::Key_Escape);
        QVERIFY(!o->isInputVisible());
        QVERIFY(host.isVisible());
    }

    void pressesOnlyActWhereTheyWereReleased()
    {
        QWidget host;
        host.resize(600, 400);
        auto* o = new UiLockOverlay(&host);
        o->setGeometry(host.rect());
        // Before the first paint no rectangle is set, so nothing is hit.
        QVERIFY(o->minimizeRect().isEmpty());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        o->repaint();
        const QPoint minimise = o->minimizeRect().center().toPoint();
        QTest::mousePress(o, Qt::LeftButton, {}, minimise);
        QTest::mouseMove(o, QPoint(20, 200));
        QTest::mouseRelease(o, Qt::LeftButton, {}, QPoint(20, 200));
        QVERIFY(!host.isMinimized());
        QVERIFY(!o->isInputVisible());   // a released window button opens nothing

        // A press that moves away within the hold time is a click: the entry opens.
        QTest::mousePress(o, Qt::LeftButton, {}, QPoint(100, 300));
        QTest::mouseMove(o, QPoint(110, 300));
        QTest::mouseRelease(o, Qt::LeftButton, {}, QPoint(110, 300));
        QVERIFY(!o->isMovingWindow());
        QVERIFY(o->isInputVisible());
    }

    void backgroundChangesDropTheOldMovie()
    {
        QTemporaryDir dir;
        const QString a = writeGif(dir.path(), QStringLiteral("a.gif"));
        const QString b = writeGif(dir.path(), QStringLiteral("b.GIF"));
        QWidget host;
        host.resize(300, 200);
        auto* o = new UiLockOverlay(&host);
        o->setGeometry(host.rect());
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QVERIFY(o->isAnimating());           // the built-in backdrop drifts
        o->setBackgroundImage(a);
        QPointer<QMovie> first = o->movie();
        QVERIFY(first);
        QVERIFY(!o->isAnimating());          // the movie repaints by itself
        o->setBackgroundImage(a);            // the same path changes nothing
        QCOMPARE(o->movie(), first.data());
        o->setBackgroundImage(b);
        QVERIFY(o->movie() && o->movie() != first.data());
        QTRY_VERIFY(!first);
        o->setBackgroundImage(dir.path() + QStringLiteral("/missing.png"));
        QVERIFY(!o->movie());
        o->repaint();                        // a missing file paints the built-in backdrop
    }
};

QTEST_MAIN(TestUiLockOverlay)
#include "test_uilockoverlay.moc"
