#include "panel/framehittest.h"
#include "panel/frameinteraction.h"
#include "testsupport.h"

#include <QtTest>
#include <QWidget>
#include <QWindow>

class TestFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hitTest_data();
    void hitTest();
    void ownMoveFollowsMouse();
    void ownResize_data();
    void ownResize();
    void bordersWinOverChildren();
    void contentPressesReachChildren();
    void hoverShowsResizeCursor();
};

Q_DECLARE_METATYPE(FrameHit)

void TestFrame::hitTest_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<bool>("child");
    QTest::addColumn<FrameHit>("hit");
    // Window 680 x 496: right border from x 674, bottom from y 490.
    QTest::newRow("top-left corner") << QPoint(3, 3) << false << false << FrameHit::TopLeft;
    QTest::newRow("top-left corner, portrait") << QPoint(3, 3) << true << false << FrameHit::Top;
    QTest::newRow("caption") << QPoint(100, 20) << false << false << FrameHit::Caption;
    QTest::newRow("caption over a child") << QPoint(100, 20) << false << true << FrameHit::Client;
    QTest::newRow("last caption row") << QPoint(100, 28) << false << false << FrameHit::Caption;
    QTest::newRow("below caption") << QPoint(100, 29) << false << false << FrameHit::Client;
    QTest::newRow("left border is 7 px") << QPoint(6, 200) << false << true << FrameHit::Left;
    QTest::newRow("past left border") << QPoint(7, 200) << false << false << FrameHit::Client;
    QTest::newRow("right border is 6 px") << QPoint(674, 200) << false << true << FrameHit::Right;
    QTest::newRow("past right border") << QPoint(673, 200) << false << false << FrameHit::Client;
    QTest::newRow("top border over a child") << QPoint(600, 6) << false << true << FrameHit::Top;
    QTest::newRow("top-right corner") << QPoint(679, 0) << false << false << FrameHit::TopRight;
    QTest::newRow("bottom-left corner") << QPoint(0, 495) << false << false << FrameHit::BottomLeft;
    QTest::newRow("bottom-right corner") << QPoint(674, 490) << false << false << FrameHit::BottomRight;
    QTest::newRow("bottom border") << QPoint(300, 490) << false << true << FrameHit::Bottom;
    QTest::newRow("above bottom border") << QPoint(300, 489) << false << false << FrameHit::Client;
    QTest::newRow("portrait left edge") << QPoint(2, 200) << true << false << FrameHit::Client;
    QTest::newRow("portrait bottom-right") << QPoint(678, 494) << true << false << FrameHit::Bottom;
    QTest::newRow("portrait caption at left") << QPoint(2, 20) << true << false << FrameHit::Caption;
}

void TestFrame::hitTest()
{
    QFETCH(QPoint, pos);
    QFETCH(bool, portrait);
    QFETCH(bool, child);
    QFETCH(FrameHit, hit);
    QCOMPARE(frameHitTest(pos, QSize(680, 496), portrait, child), hit);
}

namespace {

// A frameless window with a child covering its middle, like the panel.
struct Panel {
    QWidget window;
    QWidget* child;
    FrameInteraction* frame;
    bool portrait = false;

    Panel()
    {
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setMinimumSize(300, 200);
        window.setGeometry(100, 100, 680, 496);
        child = new QWidget(&window);
        child->setGeometry(0, 28, 680, 468);
        frame = new FrameInteraction(&window, [this](QPoint p) {
            return frameHitTest(p, window.size(), portrait, window.childAt(p) != nullptr);
        });
        window.show();
    }
    QWindow* handle() { return window.windowHandle(); }
};

} // namespace

void TestFrame::ownMoveFollowsMouse()
{
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    QSignalSpy finished(p.frame, &FrameInteraction::moveSizeFinished);
    const QPoint start = p.window.pos();
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, QPoint(200, 10));
    QTest::mouseMove(p.handle(), QPoint(250, 40));
    QTRY_COMPARE(p.window.pos(), start + QPoint(50, 30));
    QCOMPARE(finished.size(), 0);
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, QPoint(200, 10));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(p.window.size(), QSize(680, 496));
}

void TestFrame::ownResize_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<QRect>("expected");
    const QRect start(100, 100, 680, 496);
    QTest::newRow("bottom-right grows") << QPoint(678, 494) << QPoint(40, 30) << false << QRect(100, 100, 720, 526);
    QTest::newRow("left keeps right edge") << QPoint(2, 200) << QPoint(-20, 0) << false << QRect(80, 100, 700, 496);
    QTest::newRow("left stops at minimum") << QPoint(2, 200) << QPoint(500, 0) << false << QRect(480, 100, 300, 496);
    QTest::newRow("top stops at minimum") << QPoint(300, 2) << QPoint(0, 400) << false << QRect(100, 396, 680, 200);
    QTest::newRow("portrait: left border is content") << QPoint(2, 200) << QPoint(-20, 0) << true << start;
    QTest::newRow("portrait: corner resizes height only") << QPoint(678, 494) << QPoint(40, 30) << true
                                                          << QRect(100, 100, 680, 526);
}

void TestFrame::ownResize()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, delta);
    QFETCH(bool, portrait);
    QFETCH(QRect, expected);
    Panel p;
    p.portrait = portrait;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    const QPoint target = p.window.mapToGlobal(press + delta);
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, press);
    QTest::mouseMove(p.handle(), press + delta);
    // Events carry window coordinates; the window may have moved under the mouse.
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, p.window.mapFromGlobal(target));
    QCOMPARE(p.window.geometry(), expected);
}

void TestFrame::bordersWinOverChildren()
{
    // The child covers the bottom border; the press still resizes.
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    int childPresses = 0;
    struct Counter : QObject {
        int* n;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseButtonPress)
                ++*n;
            return false;
        }
    } counter;
    counter.n = &childPresses;
    p.child->installEventFilter(&counter);
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, QPoint(300, 493));
    QTest::mouseMove(p.handle(), QPoint(300, 513));
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, QPoint(300, 513));
    QTRY_COMPARE(p.window.height(), 516);
    QCOMPARE(childPresses, 0);
}

void TestFrame::contentPressesReachChildren()
{
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    QSignalSpy finished(p.frame, &FrameInteraction::moveSizeFinished);
    int childPresses = 0;
    struct Counter : QObject {
        int* n;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseButtonPress)
                ++*n;
            return false;
        }
    } counter;
    counter.n = &childPresses;
    p.child->installEventFilter(&counter);
    const QRect before = p.window.geometry();
    QTest::mousePress(p.handle(), Qt::LeftButton, {}, QPoint(300, 200));
    QTest::mouseMove(p.handle(), QPoint(350, 250));
    QTest::mouseRelease(p.handle(), Qt::LeftButton, {}, QPoint(350, 250));
    QCOMPARE(childPresses, 1);
    QCOMPARE(p.window.geometry(), before);
    QCOMPARE(finished.size(), 0);
}

void TestFrame::hoverShowsResizeCursor()
{
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    QTest::mouseMove(p.handle(), QPoint(678, 300));
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeHorCursor);
    QTest::mouseMove(p.handle(), QPoint(678, 494));
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(p.handle(), QPoint(300, 300));
    QVERIFY(!QGuiApplication::overrideCursor());
}

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
