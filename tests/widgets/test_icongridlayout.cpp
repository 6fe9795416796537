#include "widgets/icongridlayout.h"

#include <QtTest>

// Grid of 416 x 400 with 48 px icons and names: 4 columns of 100 px, cells
// 92 x 104 from (8, 8), rows every 112 px.
static GridGeometry standardGrid(int count, int height = 400)
{
    return computeGridGeometry(416, height, 48, true, 0, count, 16);
}

class TestIconGridLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nameLineBreak_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("fits");
        QTest::addColumn<int>("breakAt");
        QTest::newRow("inside the second word") << QStringLiteral("Network Connections") << 12 << 8;
        QTest::newRow("right after the space") << QStringLiteral("Network Connections") << 8 << 8;
        QTest::newRow("one long word") << QStringLiteral("Supercalifragilistic") << 9 << 9;
        QTest::newRow("Chinese breaks anywhere") << QStringLiteral("网络连接设置中心") << 5 << 5;
        QTest::newRow("everything fits") << QStringLiteral("Trash") << 5 << 5;
        QTest::newRow("hyphen") << QStringLiteral("Text-Editor Pro") << 8 << 5;
    }
    void nameLineBreak()
    {
        QFETCH(QString, name);
        QFETCH(int, fits);
        QTEST(::nameLineBreak(name, fits), "breakAt");
    }

    void columnsAndPitch_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("iconSize");
        QTest::addColumn<bool>("names");
        QTest::addColumn<int>("fixed");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("cellWidth");
        QTest::addColumn<int>("pitch");
        QTest::newRow("automatic") << 416 << 48 << true << 0 << 4 << 100 << 112;
        QTest::newRow("automatic without names") << 416 << 48 << false << 0 << 4 << 100 << 72;
        QTest::newRow("large icons widen the cell") << 416 << 96 << true << 0 << 3 << 133 << 160;
        QTest::newRow("too narrow still has one column") << 50 << 48 << true << 0 << 1 << 96 << 112;
        QTest::newRow("fixed columns") << 400 << 48 << true << 4 << 4 << 100 << 100;
        QTest::newRow("fixed cells never below 60 px") << 200 << 32 << true << 8 << 8 << 60 << 60;
    }
    void columnsAndPitch()
    {
        QFETCH(int, width);
        QFETCH(int, iconSize);
        QFETCH(bool, names);
        QFETCH(int, fixed);
        const GridGeometry g = computeGridGeometry(width, 300, iconSize, names, fixed, 10, 16);
        QTEST(g.columns, "columns");
        QTEST(g.cellWidth, "cellWidth");
        QTEST(g.pitch, "pitch");
    }

    void cellsAndScrolling()
    {
        const GridGeometry g = standardGrid(20);
        QCOMPARE(g.cellRect(0), QRect(8, 8, 92, 104));
        QCOMPARE(g.cellRect(5), QRect(108, 120, 92, 104));
        // 5 rows of 112 plus 16 px margins in a 400 px view.
        QCOMPARE(g.maxScroll, 5 * 112 + 16 - 400);
        QCOMPARE(standardGrid(4).maxScroll, 0);
        const GridGeometry fixed = computeGridGeometry(400, 300, 48, true, 4, 20, 16);
        QCOMPARE(fixed.cellRect(5), QRect(100, 100, 100, 100));
        QCOMPARE(fixed.maxScroll, 5 * 100 - 300);
    }

    void positionAt_data()
    {
        QTest::addColumn<QPoint>("content");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pos");
        QTest::newRow("first cell") << QPoint(10, 10) << 20 << 0;
        QTest::newRow("left margin") << QPoint(7, 10) << 20 << -1;
        QTest::newRow("top margin") << QPoint(10, 7) << 20 << -1;
        QTest::newRow("gap between columns") << QPoint(103, 50) << 20 << -1;
        QTest::newRow("second column") << QPoint(108, 50) << 20 << 1;
        QTest::newRow("gap between rows") << QPoint(50, 115) << 20 << -1;
        QTest::newRow("second row") << QPoint(50, 120) << 20 << 4;
        QTest::newRow("past the last item") << QPoint(308, 120) << 6 << -1;
        QTest::newRow("right of the last column") << QPoint(410, 50) << 20 << -1;
        QTest::newRow("empty grid") << QPoint(10, 10) << 0 << -1;
    }
    void positionAt()
    {
        QFETCH(QPoint, content);
        QFETCH(int, count);
        QTEST(standardGrid(count).positionAt(content), "pos");
    }

    void insertIndexAt_data()
    {
        QTest::addColumn<QPoint>("content");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::newRow("left half of a cell") << QPoint(120, 50) << 10 << 1;
        QTest::newRow("right half of a cell") << QPoint(160, 50) << 10 << 2;
        QTest::newRow("right of a full row") << QPoint(410, 50) << 10 << 4;
        QTest::newRow("after the last item") << QPoint(300, 240) << 10 << 10;
        QTest::newRow("below the last row") << QPoint(10, 3000) << 10 << 8;
        QTest::newRow("above the first row") << QPoint(160, -50) << 10 << 2;
        QTest::newRow("empty grid") << QPoint(10, 10) << 0 << 0;
    }
    void insertIndexAt()
    {
        QFETCH(QPoint, content);
        QFETCH(int, count);
        QTEST(standardGrid(count).insertIndexAt(content), "index");
    }

    void scrollToShow_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("scrollY");
        QTest::addColumn<int>("expected");
        // 40 items: 10 rows, maxScroll 10 * 112 + 16 - 400 = 736.
        QTest::newRow("in view") << 4 << 0 << 0;
        QTest::newRow("below the view") << 12 << 0 << 112;
        QTest::newRow("far below") << 36 << 0 << 736;
        QTest::newRow("above the view") << 0 << 224 << 0;
        QTest::newRow("partly above") << 4 << 120 << 8;
    }
    void scrollToShow()
    {
        QFETCH(int, pos);
        QFETCH(int, scrollY);
        QTEST(standardGrid(40).scrollToShow(pos, scrollY, 400), "expected");
    }

    void paintedRange()
    {
        const GridGeometry g = standardGrid(100);
        QCOMPARE(g.firstPainted(0), 0);
        QCOMPARE(g.endPainted(0, 400), 4 * (400 / 112 + 2));
        QCOMPARE(g.firstPainted(1000), (1000 - 8) / 112 * 4);
        QCOMPARE(standardGrid(3).endPainted(0, 400), 3);
    }

    void iconAndNamePlaces()
    {
        const GridGeometry g = standardGrid(4);
        const QRect cell = g.cellRect(0);
        QCOMPARE(g.iconTop(cell), cell.top() + 8);
        QCOMPARE(g.nameTop(cell), cell.top() + 48 + 14);
        QCOMPARE(g.nameBox(cell), QRect(12, cell.top() + 62, 84, 32));
        // Fixed 100 px cells: 48 + 16 + 6 = 70 tall, 30 spare: centred.
        const GridGeometry f = computeGridGeometry(400, 300, 48, true, 4, 4, 16);
        QCOMPARE(f.iconTop(f.cellRect(0)), 15);
        QCOMPARE(f.nameTop(f.cellRect(0)), 15 + 48 + 6);
        // 60 px cells leave 2 px: icons start 4 px down.
        const GridGeometry tight = computeGridGeometry(200, 300, 36, true, 8, 4, 16);
        QCOMPARE(tight.iconTop(tight.cellRect(0)), 4);
    }

    void iconSizeLimit_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("fixed");
        QTest::addColumn<int>("limit");
        QTest::newRow("automatic") << 400 << 0 << 96;
        QTest::newRow("fixed 100 px cells") << 400 << 4 << 60;
        QTest::newRow("fixed 75 px cells") << 300 << 4 << 75 - 16 - 14;
        QTest::newRow("fixed 60 px cells") << 100 << 8 << 32;
    }
    void iconSizeLimit()
    {
        QFETCH(int, width);
        QFETCH(int, fixed);
        QTEST(gridIconSizeLimit(width, fixed, 16), "limit");
    }
};

QTEST_APPLESS_MAIN(TestIconGridLayout)
#include "test_icongridlayout.moc"
