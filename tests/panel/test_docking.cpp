// Edge docking geometry, the reveal gestures on an injected clock, and the
// summon hot key's parsing.
#include "panel/docking.h"

#include <QtTest>

namespace {
const QRect kArea(0, 0, 1920, 1040);
}

class TestDocking : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void edgeAtEndOfMove_data();
    void edgeAtEndOfMove();
    void collapsed_data();
    void collapsed();
    void flushAndUndock();
    void triggerStrip_data();
    void triggerStrip();
    void placeAtCursor_data();
    void placeAtCursor();
    void fitIntoArea();
    void gestures_data();
    void gestures();
    void hotkey_data();
    void hotkey();
};

void TestDocking::edgeAtEndOfMove_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<int>("edge");
    QTest::newRow("top wins over left") << QRect(5, 20, 680, 496) << int(DockTop);
    QTest::newRow("one past top") << QRect(500, 21, 680, 496) << int(DockNone);
    QTest::newRow("left") << QRect(20, 300, 680, 496) << int(DockLeft);
    QTest::newRow("right") << QRect(1920 - 20 - 680, 300, 680, 496) << int(DockRight);
    QTest::newRow("right one short") << QRect(1920 - 21 - 680, 300, 680, 496) << int(DockNone);
}

void TestDocking::edgeAtEndOfMove()
{
    QFETCH(QRect, window);
    QFETCH(int, edge);
    QCOMPARE(dockEdgeFor(window, kArea), edge);
}

void TestDocking::collapsed_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("reveal");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("left, 0 px: entirely off") << int(DockLeft) << 0 << QRect(-680, 200, 680, 496);
    QTest::newRow("left, 1 px") << int(DockLeft) << 1 << QRect(-679, 200, 680, 496);
    QTest::newRow("top, 1 px") << int(DockTop) << 1 << QRect(100, -495, 680, 496);
    QTest::newRow("right, 24 px: 25 on screen") << int(DockRight) << 24 << QRect(1919 - 24, 200, 680, 496);
}

void TestDocking::collapsed()
{
    QFETCH(int, edge);
    QFETCH(int, reveal);
    QFETCH(QRect, expected);
    const QRect r = collapsedRect(QRect(100, 200, 680, 496), edge, kArea, reveal);
    QCOMPARE(r, expected);
    const int onScreen = r.intersected(kArea).width() * (edge == DockTop ? 0 : 1)
        + r.intersected(kArea).height() * (edge == DockTop ? 1 : 0);
    QCOMPARE(onScreen, edge == DockRight ? reveal + 1 : reveal);
    QCOMPARE(dockRevealPixels(30), 24);
    QCOMPARE(dockRevealPixels(-3), 0);
}

void TestDocking::flushAndUndock()
{
    const QRect w(100, 200, 680, 496);
    QCOMPARE(flushRect(w, DockLeft, kArea).left(), 0);
    QCOMPARE(flushRect(w, DockTop, kArea).top(), 0);
    QCOMPARE(flushRect(w, DockRight, kArea).right(), 1919);
    QCOMPARE(flushRect(w, DockRight, kArea).size(), w.size());
    QVERIFY(!draggedOffEdge(DockLeft, QRect(20, 0, 10, 10), kArea));
    QVERIFY(draggedOffEdge(DockLeft, QRect(21, 0, 10, 10), kArea));
    QVERIFY(draggedOffEdge(DockTop, QRect(0, 21, 10, 10), kArea));
    QVERIFY(!draggedOffEdge(DockRight, QRect(1910 - 20, 0, 10, 10), kArea));
    QVERIFY(draggedOffEdge(DockRight, QRect(1909 - 20, 0, 10, 10), kArea));
}

void TestDocking::triggerStrip_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("reveal");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("left, 0 px: 8 px strip") << int(DockLeft) << 0 << QRect(-6, 194, 8 + 12, 496 + 12);
    QTest::newRow("left, 10 px: reveal + 2") << int(DockLeft) << 10 << QRect(-6, 194, 12 + 12, 496 + 12);
    QTest::newRow("top, 24 px") << int(DockTop) << 24 << QRect(94, -6, 680 + 12, 26 + 12);
    QTest::newRow("right, above 24: 26 px") << int(DockRight) << 30 << QRect(1920 - 26 - 6, 194, 26 + 12, 496 + 12);
}

void TestDocking::triggerStrip()
{
    QFETCH(int, edge);
    QFETCH(int, reveal);
    QFETCH(QRect, expected);
    QCOMPARE(dockTriggerStrip(edge, kArea, QRect(100, 200, 680, 496), reveal), expected);
}

void TestDocking::placeAtCursor_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("room enough") << QPoint(300, 300) << QPoint(300, 300);
    QTest::newRow("bottom right corner") << QPoint(1900, 1030) << QPoint(1920 - 680, 1040 - 496);
    QTest::newRow("left of the area") << QPoint(-50, 100) << QPoint(0, 100);
}

void TestDocking::placeAtCursor()
{
    QFETCH(QPoint, cursor);
    QFETCH(QPoint, topLeft);
    QCOMPARE(::placeAtCursor(cursor, QSize(680, 496), kArea), QRect(topLeft, QSize(680, 496)));
}

void TestDocking::fitIntoArea()
{
    // A window larger than a newly attached small screen: shrunk and centred.
    const QRect small(1920, 0, 1280, 720);
    const QRect r = ::fitIntoArea(QRect(100, 100, 1400, 1000), small);
    QCOMPARE(r.size(), QSize(1280, 720));
    QVERIFY(small.contains(r));
    // Already inside: unchanged.
    QCOMPARE(::fitIntoArea(QRect(100, 100, 680, 496), kArea), QRect(100, 100, 680, 496));
    QCOMPARE(centredIn(QRect(0, 0, 680, 496), kArea).topLeft(), QPoint(959 - 339, 519 - 247));
}

void TestDocking::gestures_data()
{
    // Each step: time in ms, middle down, right down, whether it fires.
    QTest::addColumn<int>("method");
    QTest::addColumn<QList<QList<int>>>("steps");
    QTest::newRow("approach only never fires") << 0 << QList<QList<int>>{{0, 1, 0, 0}, {80, 0, 1, 0}};
    QTest::newRow("middle click fires on the press edge only")
        << 1 << QList<QList<int>>{{0, 1, 0, 1}, {80, 1, 0, 0}, {160, 0, 0, 0}, {240, 1, 0, 1}};
    QTest::newRow("double click 349 ms apart")
        << 2 << QList<QList<int>>{{0, 1, 0, 0}, {80, 0, 0, 0}, {349, 1, 0, 1}};
    QTest::newRow("double click 350 ms apart: the second is a new first click")
        << 2 << QList<QList<int>>{{0, 1, 0, 0}, {80, 0, 0, 0}, {350, 1, 0, 0}, {400, 0, 0, 0}, {600, 1, 0, 1}};
    QTest::newRow("a third click after a double click starts over")
        << 2 << QList<QList<int>>{{0, 1, 0, 0}, {50, 0, 0, 0}, {100, 1, 0, 1}, {150, 0, 0, 0}, {200, 1, 0, 0}};
    QTest::newRow("middle long press fires after 399 ms and while held")
        << 3 << QList<QList<int>>{{0, 1, 0, 0}, {399, 1, 0, 0}, {400, 1, 0, 1}, {480, 1, 0, 1}, {560, 0, 0, 0}};
    QTest::newRow("right long press; the middle button does nothing")
        << 4 << QList<QList<int>>{{0, 1, 0, 0}, {500, 1, 0, 0}, {600, 0, 1, 0}, {1000, 0, 1, 1}};
}

void TestDocking::gestures()
{
    QFETCH(int, method);
    QFETCH(QList<QList<int>>, steps);
    RevealGesture g;
    for (const QList<int>& s : steps)
        QCOMPARE(g.fired(method, s[1] != 0, s[2] != 0, s[0]), s[3] != 0);
}

void TestDocking::hotkey_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("vk");
    const int ctrlAlt = int(Qt::ControlModifier | Qt::AltModifier);
    QTest::newRow("Ctrl+Alt+G") << "Ctrl+Alt+G" << true << int(Qt::Key_G) << ctrlAlt << 0x47;
    QTest::newRow("G alone: nothing") << "G" << false << 0 << 0 << 0;
    QTest::newRow("empty") << "  " << false << 0 << 0 << 0;
    QTest::newRow("Meta counts as the modifier") << "Meta+F5" << true << int(Qt::Key_F5) << int(Qt::MetaModifier) << 0x74;
    QTest::newRow("Shift+Space") << "Shift+Space" << true << int(Qt::Key_Space) << int(Qt::ShiftModifier) << 0x20;
    QTest::newRow("Ctrl+PgDown") << "Ctrl+PgDown" << true << int(Qt::Key_PageDown) << int(Qt::ControlModifier) << 0x22;
    QTest::newRow("Ctrl+= and Ctrl++ share a key") << "Ctrl+=" << true << int(Qt::Key_Equal) << int(Qt::ControlModifier) << 0xBB;
    QTest::newRow("unsupported key") << "Ctrl+Print" << false << 0 << 0 << 0;
    QTest::newRow("only the first combination") << "Ctrl+1, Ctrl+2" << true << int(Qt::Key_1) << int(Qt::ControlModifier) << 0x31;
}

void TestDocking::hotkey()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<SummonHotkey> hk = parseSummonHotkey(text);
    QCOMPARE(hk.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, vk);
    QCOMPARE(int(hk->key), key);
    QCOMPARE(int(hk->modifiers), mods);
    QCOMPARE(hk->virtualKey, vk);
}

QTEST_GUILESS_MAIN(TestDocking)
#include "test_docking.moc"
