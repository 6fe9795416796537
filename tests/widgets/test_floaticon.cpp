// Float icon tiles: the picture fitted to the screen's ratio, opening by a
// click, moving past the drag threshold, the hover frame and the menu.
#include "widgets/floaticon.h"

#include "testsupport.h"
#include "widgetwaits.h"

#include <QMenu>
#include <QtTest>

namespace {

QPixmap solid(int w, int h)
{
    QPixmap p(w, h);
    p.fill(Qt::blue);
    return p;
}

} // namespace

class TestFloatIcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rescale_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QSize>("device");
        QTest::newRow("small source enlarged at 1.5") << QSize(16, 16) << 1.5 << QSize(72, 72);
        QTest::newRow("large source reduced") << QSize(256, 256) << 1.0 << QSize(48, 48);
        QTest::newRow("wide source") << QSize(96, 48) << 1.0 << QSize(48, 24);
        QTest::newRow("exact size kept") << QSize(96, 96) << 2.0 << QSize(96, 96);
        QTest::newRow("non-positive ratio counts as 1") << QSize(64, 64) << 0.0 << QSize(48, 48);
    }
    void rescale()
    {
        QFETCH(QSize, source);
        QFETCH(double, ratio);
        QFETCH(QSize, device);
        FloatIcon tile(solid(source.width(), source.height()), QStringLiteral("Demo"), QPoint());
        tile.rescale(ratio);
        QCOMPARE(tile.displayPixmap().size(), device);
        QCOMPARE(tile.displayPixmap().devicePixelRatio(), ratio > 0 ? ratio : 1.0);
    }

    void enlargingIsNotSmoothed()
    {
        // A two-colour source stays two-coloured when enlarged.
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        for (int y = 0; y < 16; ++y)
            for (int x = 8; x < 16; ++x)
                image.setPixelColor(x, y, Qt::blue);
        FloatIcon tile(QPixmap::fromImage(image), QStringLiteral("Demo"), QPoint());
        tile.rescale(1.5);
        const QImage shown = tile.displayPixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, 30);
            QVERIFY(c == QColor(Qt::red) || c == QColor(Qt::blue));
        }
    }

    void shellOfTheTile()
    {
        FloatIcon tile(QPixmap(), QStringLiteral("记事本"), QPoint(300, 200));
        QCOMPARE(tile.size(), QSize(74, 74));
        QCOMPARE(tile.windowTitle(), QStringLiteral("记事本"));
        QCOMPARE(tile.toolTip(), QStringLiteral("记事本"));
        QVERIFY(tile.windowFlags().testFlag(Qt::Tool));
        QVERIFY(tile.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(tile.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!tile.testAttribute(Qt::WA_QuitOnClose));
        QCOMPARE(tile.pos(), QPoint(300, 200));
        // A null picture: a white framed square with nothing in it.
        QVERIFY(tile.displayPixmap().isNull());
        const QImage image = tile.grab().toImage();
        QCOMPARE(image.pixelColor(37, 37), QColor(Qt::white));
    }

    void clickOpensDragMoves_data()
    {
        QTest::addColumn<QPoint>("step");
        QTest::addColumn<bool>("opens");
        QTest::newRow("3 px: a click") << QPoint(2, 1) << true;
        QTest::newRow("exactly 4 px: still a click") << QPoint(2, 2) << true;
        QTest::newRow("5 px: a drag") << QPoint(3, 2) << false;
    }
    void clickOpensDragMoves()
    {
        QFETCH(QPoint, step);
        QFETCH(bool, opens);
        FloatIcon tile(solid(48, 48), QStringLiteral("Demo"), QPoint(300, 200));
        tile.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tile));
        QSignalSpy open(&tile, &FloatIcon::openRequested);
        const QPoint start = tile.pos();
        QTest::mousePress(&tile, Qt::LeftButton, {}, QPoint(20, 20));
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 20) + step, tile.mapToGlobal(QPointF(20, 20) + step),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&tile, &move);
        QCOMPARE(tile.pos(), opens ? start : start + step);
        QCOMPARE(tile.isDragging(), !opens);
        QTest::mouseRelease(&tile, Qt::LeftButton, {}, QPoint(20, 20) + step);
        QCOMPARE(open.size(), opens ? 1 : 0);
        QVERIFY(!tile.isDragging());
    }

    void movesOnOneScreenKeepThePicture()
    {
        FloatIcon tile(solid(256, 256), QStringLiteral("Demo"), QPoint(300, 200));
        tile.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tile));
        const int built = tile.rescaleCount();
        for (int i = 1; i <= 5; ++i)
            tile.move(300 + 7 * i, 200 + 3 * i);
        QCoreApplication::processEvents();
        QCOMPARE(tile.rescaleCount(), built);
    }

    void hoverThickensTheFrame()
    {
        FloatIcon tile(QPixmap(), QStringLiteral("Demo"), QPoint(300, 200));
        const QImage plain = tile.grab().toImage();
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(305, 205));
        QCoreApplication::sendEvent(&tile, &enter);
        QVERIFY(tile.isHovered());
        QVERIFY(tile.grab().toImage() != plain);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&tile, &leave);
        QVERIFY(!tile.isHovered());
        QCOMPARE(tile.grab().toImage(), plain);
    }

    void contextMenu_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("open");
        QTest::addColumn<int>("remove");
        QTest::addColumn<int>("removeAll");
        QTest::newRow("open") << 0 << 1 << 0 << 0;
        QTest::newRow("unpin") << 2 << 0 << 1 << 0;
        QTest::newRow("unpin all") << 3 << 0 << 0 << 1;
        QTest::newRow("closed without a choice") << -1 << 0 << 0 << 0;
    }
    void contextMenu()
    {
        QFETCH(int, entry);
        FloatIcon tile(QPixmap(), QStringLiteral("Demo"), QPoint(300, 200));
        tile.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tile));
        QSignalSpy open(&tile, &FloatIcon::openRequested);
        QSignalSpy remove(&tile, &FloatIcon::removeRequested);
        QSignalSpy removeAll(&tile, &FloatIcon::removeAllRequested);
        QStringList texts;
        testsupport::whenPopup([&](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            for (QAction* a : menu->actions())
                texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            if (entry >= 0) {
                menu->setActiveAction(menu->actions().at(entry));
                QTest::keyClick(menu, Qt::Key_Return);
            } else {
                menu->close();
            }
        }, this);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), tile.mapToGlobal(QPoint(10, 10)));
        QCoreApplication::sendEvent(&tile, &event);
        QCOMPARE(texts, (QStringList{QStringLiteral("打开"), QStringLiteral("-"), QStringLiteral("取消悬浮"),
                                     QStringLiteral("取消所有悬浮")}));
        QTEST(int(open.size()), "open");
        QTEST(int(remove.size()), "remove");
        QTEST(int(removeAll.size()), "removeAll");
    }
};

QTEST_MAIN(TestFloatIcon)
#include "test_floaticon.moc"
