#include "widgets/toast.h"

#include "app/theme.h"
#include "testsupport.h"

#include <QtTest>

class TestToast : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void width_data();
    void width();
    void shownBubbleSizeAndPlace();
    void followsParent();
    void timersAndReplacement();
    void fadesOutAndHides();
    void messageDuringFadeStartsAgain();
    void emptyTextShowsCentredDot();
    void colours_data();
    void colours();
};

void TestToast::width_data()
{
    QTest::addColumn<int>("advance");
    QTest::addColumn<int>("parentWidth");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty text") << 0 << 680 << 120;
    QTest::newRow("short text") << 50 << 680 << 120;
    QTest::newRow("medium text") << 200 << 680 << 252;
    QTest::newRow("long text capped by parent") << 2000 << 680 << 640;
    QTest::newRow("narrow parent keeps minimum") << 200 << 150 << 120;
    QTest::newRow("no parent caps at 620") << 2000 << -1 << 620;
}

void TestToast::width()
{
    QFETCH(int, advance);
    QFETCH(int, parentWidth);
    QTEST(Toast::widthFor(advance, parentWidth), "expected");
}

namespace {

struct Fixture {
    QWidget parent;
    Toast* toast;
    Fixture()
    {
        parent.setGeometry(200, 150, 680, 496);
        parent.show();
        toast = new Toast(&parent);
    }
    QPoint expectedPos() const
    {
        return QPoint(parent.x() + (parent.width() - toast->width()) / 2, parent.y() + 38);
    }
    QTimer* hideTimer() const { return toast->findChild<QTimer*>(QStringLiteral("toastHideTimer")); }
    QTimer* recentreTimer() const { return toast->findChild<QTimer*>(QStringLiteral("toastRecentreTimer")); }
    QVariantAnimation* fade() const { return toast->findChild<QVariantAnimation*>(QStringLiteral("toastFade")); }
};

} // namespace

void TestToast::shownBubbleSizeAndPlace()
{
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    f.toast->showMessage(QString(400, QLatin1Char('W')), 0);
    QVERIFY(f.toast->isVisible());
    QVERIFY(f.toast->isWindow());
    QCOMPARE(f.toast->size(), QSize(640, 38));
    QCOMPARE(f.toast->pos(), f.expectedPos());
}

void TestToast::followsParent()
{
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.parent));
    f.toast->showMessage(QStringLiteral("已保存"), 0);
    f.parent.move(400, 300);
    QTRY_COMPARE_WITH_TIMEOUT(f.toast->pos(), f.expectedPos(), 2 * Toast::kRecentreMs);
}

void TestToast::timersAndReplacement()
{
    Fixture f;
    f.toast->showMessage(QStringLiteral("第一条"), 0);
    QVERIFY(f.hideTimer()->isActive() && f.hideTimer()->isSingleShot());
    QCOMPARE(f.hideTimer()->interval(), 2200);
    QVERIFY(f.recentreTimer()->isActive() && !f.recentreTimer()->isSingleShot());
    QCOMPARE(f.recentreTimer()->interval(), 250);
    QCOMPARE(f.fade()->duration(), 280);
    QCOMPARE(f.fade()->easingCurve().type(), QEasingCurve::InQuad);

    // A second message replaces the first and restarts the full 2200 ms.
    QTRY_VERIFY(f.hideTimer()->remainingTime() < 1900);
    f.toast->showMessage(QStringLiteral("第二条"), 1);
    QCOMPARE(f.toast->text(), QStringLiteral("第二条"));
    QVERIFY(f.toast->isFailure());
    QVERIFY(f.hideTimer()->remainingTime() > 2000);
}

void TestToast::fadesOutAndHides()
{
    Fixture f;
    f.toast->showMessage(QStringLiteral("再见"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.fade()->state() == QAbstractAnimation::Running, 4000);
    QVERIFY(!f.recentreTimer()->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!f.toast->isVisible(), 2000);
    QVERIFY(f.toast->windowOpacity() <= 0.01 + 1e-9);
}

void TestToast::messageDuringFadeStartsAgain()
{
    Fixture f;
    f.toast->showMessage(QStringLiteral("一"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(f.fade()->state() == QAbstractAnimation::Running, 4000);
    f.toast->showMessage(QStringLiteral("二"), 0);
    QCOMPARE(f.fade()->state(), QAbstractAnimation::Stopped);
    QCOMPARE(f.toast->windowOpacity(), 1.0);
    QVERIFY(f.toast->isVisible());
    QVERIFY(f.hideTimer()->isActive());
    QVERIFY(f.recentreTimer()->isActive());
}

void TestToast::emptyTextShowsCentredDot()
{
    const ToastLayout l = Toast::layoutFor(QSize(120, 38), 0);
    // The dot plus the 9 px gap and the (empty) text are centred together.
    QCOMPARE(l.dotCentre, QPointF(55.5, 19.0));
    QCOMPARE(l.textRect, QRect(QPoint(68, 0), QPoint(119, 37)));
    QCOMPARE(l.radius, 18.5);
    QCOMPARE(l.pill, QRectF(0.5, 0.5, 119, 37));
}

void TestToast::colours_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QColor>("pill");
    QTest::addColumn<QColor>("dot");
    QTest::newRow("light, ordinary") << false << 0 << QColor(0x33, 0x39, 0x47) << QColor(0x4C, 0x7D, 0xF0);
    QTest::newRow("dark, ordinary") << true << 0 << QColor(0x2C, 0x31, 0x3E) << QColor(0x5E, 0x8B, 0xF3);
    QTest::newRow("dark, failure") << true << 1 << QColor(0x2C, 0x31, 0x3E) << QColor(0xE8, 0x11, 0x23);
}

void TestToast::colours()
{
    QFETCH(bool, dark);
    QFETCH(int, failure);
    QFETCH(QColor, pill);
    QFETCH(QColor, dot);
    setDarkTheme(dark);
    Toast toast;
    toast.showMessage(QString(), failure);
    QImage img(toast.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    toast.render(&img);
    QCOMPARE(img.pixelColor(55, 19).rgb(), dot.rgb());
    QCOMPARE(img.pixelColor(25, 19).rgb(), pill.rgb());
    QCOMPARE(img.pixelColor(0, 0).alpha(), 0); // outside the rounded corner
}

QTEST_MAIN(TestToast)
#include "test_toast.moc"
