// The pure appearance rules: opacity and bar alphas, strips, title and
// background placement, the portrait switch, GIF caching and the window
// shape.
#include "model/appearancerules.h"

#include "testsupport.h"

#include <QtTest>

class TestAppearanceRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void alphas_data();
    void alphas();
    void strips_data();
    void strips();
    void titleAndBackground();
    void portrait_data();
    void portrait();
    void reachable();
    void gifCaching();
    void roundedShape();
};

void TestAppearanceRules::alphas_data()
{
    QTest::addColumn<int>("opacity");
    QTest::addColumn<bool>("clickThrough");
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("barPercent");
    QTest::addColumn<int>("barAlpha");
    QTest::newRow("opaque window, bar 0 %: floor of 1") << 100 << false << 255 << 0 << 1;
    QTest::newRow("above 100 is 100") << 140 << false << 255 << 50 << 128;
    QTest::newRow("opacity 50") << 50 << false << 128 << 0 << 1;
    QTest::newRow("opacity 1: floor 43") << 1 << false << 3 << 10 << 43;
    QTest::newRow("opacity 1, bar above the floor") << 1 << false << 3 << 80 << 204;
    QTest::newRow("opacity 0 kept clickable: full alpha") << 0 << false << 1 << 0 << 255;
    QTest::newRow("opacity 0 click-through: bar as set") << 0 << true << 0 << 30 << 77;
}

void TestAppearanceRules::alphas()
{
    QFETCH(int, opacity);
    QFETCH(bool, clickThrough);
    QFETCH(int, v);
    QFETCH(int, barPercent);
    QFETCH(int, barAlpha);
    const WindowAlpha w = windowAlphaFor(opacity, clickThrough);
    QCOMPARE(w.v, v);
    QCOMPARE(w.clickThrough, opacity == 0 && clickThrough);
    QCOMPARE(w.fullAlpha, opacity == 0 && !clickThrough);
    if (opacity == 0)
        QCOMPARE(w.windowOpacity, clickThrough ? 0.0 : 1.0 / 255.0);
    else
        QCOMPARE(w.windowOpacity, v / 255.0);
    QCOMPARE(::barAlpha(barPercent, w), barAlpha);
}

void TestAppearanceRules::strips_data()
{
    QTest::addColumn<bool>("title");
    QTest::addColumn<bool>("bottom");
    QTest::addColumn<int>("height");
    QTest::addColumn<QList<QRect>>("rects");
    QTest::addColumn<QList<int>>("slotList");
    QTest::newRow("both opaque") << true << true << 496 << QList<QRect>{QRect(0, 0, 680, 496), QRect(0, 0, 680, 28)}
                                 << QList<int>{10, 6};
    QTest::newRow("title opaque") << true << false << 496
                                  << QList<QRect>{QRect(0, 0, 680, 468), QRect(0, 0, 680, 28), QRect(0, 0, 680, 28)}
                                  << QList<int>{10, 0, 6};
    QTest::newRow("bottom opaque") << false << true << 496
                                   << QList<QRect>{QRect(0, 28, 680, 468), QRect(0, 468, 680, 28), QRect(0, 0, 680, 28)}
                                   << QList<int>{10, 0, 6};
    QTest::newRow("neither") << false << false << 496
                             << QList<QRect>{QRect(0, 28, 680, 440), QRect(0, 0, 680, 28)} << QList<int>{10, 6};
    QTest::newRow("neither, too low for a body") << false << false << 56 << QList<QRect>{QRect(0, 0, 680, 28)}
                                                 << QList<int>{6};
}

void TestAppearanceRules::strips()
{
    QFETCH(bool, title);
    QFETCH(bool, bottom);
    QFETCH(int, height);
    QFETCH(QList<QRect>, rects);
    QFETCH(QList<int>, slotList);
    const QList<StripFill> fills = panelStripFills(QSize(680, height), title, bottom);
    QCOMPARE(fills.size(), rects.size());
    for (int i = 0; i < fills.size(); ++i) {
        QCOMPARE(fills[i].rect, rects[i]);
        QCOMPARE(fills[i].slot, slotList[i]);
    }
}

void TestAppearanceRules::titleAndBackground()
{
    QCOMPARE(panelTitleRect(680, 117, true), QRect(39, 6, 680 - 117 - 47, 16));
    QCOMPARE(panelTitleRect(680, 117, false), QRect(8, 6, 680 - 117 - 47 + 31, 16));
    QCOMPARE(panelTitleRect(100, 117, true).width(), 0);
    // A prepared picture twice the window's size at ratio 2 is copied whole;
    // a wider one gives its centre.
    QCOMPARE(backgroundSourceRect(QSize(1360, 992), 2.0, QSize(680, 496)), QRect(0, 0, 680, 496));
    QCOMPARE(backgroundSourceRect(QSize(1000, 496), 1.0, QSize(680, 496)), QRect(160, 0, 680, 496));
    QCOMPARE(backgroundSourceRect(QSize(2001, 992), 2.0, QSize(680, 496)), QRect(320, 0, 680, 496));
}

void TestAppearanceRules::portrait_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("1920 x 1040, low window: 640 centred")
        << 496 << QRect(0, 0, 1920, 1040) << QSize(300, 420) << QRect(810, 200, 300, 640);
    QTest::newRow("1920 x 1040, tall window kept") << 900 << QRect(0, 0, 1920, 1040) << QSize(300, 420)
                                                   << QRect(810, 70, 300, 900);
    QTest::newRow("1920 x 1040, taller than the room: room") << 1010 << QRect(0, 0, 1920, 1040) << QSize(300, 420)
                                                            << QRect(810, 20, 300, 1000);
    QTest::newRow("small screen") << 496 << QRect(0, 0, 800, 260) << QSize(300, 240) << QRect(250, 10, 300, 240);
    QTest::newRow("no screen") << 496 << QRect() << QSize(300, 420) << QRect(810, 220, 300, 640);
}

void TestAppearanceRules::portrait()
{
    QFETCH(int, height);
    QFETCH(QRect, area);
    QFETCH(QSize, minimum);
    QFETCH(QRect, geometry);
    const PortraitPlacement p = portraitPlacement(height, area);
    QCOMPARE(p.minimum, minimum);
    QCOMPARE(p.geometry, geometry);
}

void TestAppearanceRules::reachable()
{
    const QRect a(0, 0, 1920, 1040);
    QVERIFY(reachableOn(QRect(100, 100, 680, 496), a));
    QVERIFY(!reachableOn(QRect(-680 + 80, 100, 680, 496), a)); // right edge at 79
    QVERIFY(reachableOn(QRect(-680 + 81, 100, 680, 496), a));
    QVERIFY(!reachableOn(QRect(100, -41, 680, 496), a));
    QVERIFY(!reachableOn(QRect(3000, 100, 680, 496), a));
}

void TestAppearanceRules::gifCaching()
{
    QVERIFY(!gifSizeAcceptable(QSize(1000, 200), 64)); // 12,800,000 frames' pixels
    QVERIFY(gifSizeAcceptable(QSize(1000, 200), 60));
    QVERIFY(!gifSizeAcceptable(QSize(1000, 200), 0));
    QVERIFY(!gifSizeAcceptable(QSize(), 3));
    QVERIFY(!isGifSizeAcceptable(testsupport::testRoot() + QStringLiteral("/no-such.gif")));
}

void TestAppearanceRules::roundedShape()
{
    const QRegion r = roundedWindowRegion(QSize(100, 80), 12);
    QVERIFY(!r.contains(QPoint(0, 0)));
    QVERIFY(!r.contains(QPoint(99, 79)));
    QVERIFY(r.contains(QPoint(12, 0)));
    QVERIFY(r.contains(QPoint(0, 12)));
    QVERIFY(r.contains(QPoint(50, 40)));
    QCOMPARE(roundedWindowRegion(QSize(100, 80), 0), QRegion(0, 0, 100, 80));
}

QTEST_MAIN(TestAppearanceRules)
#include "test_appearancerules.moc"
