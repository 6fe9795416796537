#include "widgets/icongrid.h"

#include "app/theme.h"
#include "testsupport.h"
#include "widgetwaits.h"

#include <QDrag>
#include <QMimeData>
#include <QtTest>

#include <memory>

namespace {

// A panel model and a 416 x 400 grid over it: 4 columns of 100 px, cells
// 92 x 104 from (8, 8), rows every 112 px.
struct GridFixture {
    QList<PanelGroup> groups;
    int current = 0;
    QMap<QString, QPixmap> icons;
    std::unique_ptr<IconGrid> grid;

    explicit GridFixture(int items = 10, const QList<int>& hidden = {})
    {
        groups.resize(2);
        groups[0].name = QStringLiteral("工作");
        for (int i = 0; i < items; ++i) {
            PanelItem it;
            it.path = QStringLiteral("/opt/item-%1").arg(i);
            it.name = QStringLiteral("项目 %1").arg(i);
            it.hidden = hidden.contains(i);
            groups[0].items.append(it);
        }
        groups[1].name = QStringLiteral("空");
        grid = std::make_unique<IconGrid>();
        grid->resize(416, 400);
        grid->setModel(&groups, &current);
        grid->setPixmapCache(&icons);
    }

    // Centre of the cell of a visible position, in view coordinates.
    QPoint centre(int pos) const { return grid->itemRect(pos).center() - QPoint(0, grid->scrollY()); }
};

void wheel(QWidget* w, int delta)
{
    QWheelEvent e(QPointF(50, 50), QPointF(w->mapToGlobal(QPoint(50, 50))), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// Pixels of an image that differ from `background`.
int inkPixels(const QImage& img, const QRect& area, const QColor& background)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += QColor(img.pixel(x, y)) != background ? 1 : 0;
    return n;
}

void leftButtonMove(QWidget* w, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(w, &move);
}

// Counts the objects a widget makes for itself: a grid without hover
// animations makes one per drag it starts.
struct ChildWatcher : QObject {
    int added = 0;
    explicit ChildWatcher(QObject* target) { target->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::ChildAdded)
            ++added;
        return false;
    }
};

int pixelsNear(const QImage& img, const QColor& c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor p(img.pixel(x, y));
            n += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) + std::abs(p.blue() - c.blue()) < 30;
        }
    return n;
}

} // namespace

class TestIconGrid : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settersClamp();
    void visibleListSkipsHiddenItems();
    void visibleListFollowsRelayoutAndGroupChange();
    void emptyGroupShowsHintAllHiddenDoesNot();
    void missingItemsGetBadge();
    void clickOpens_data();
    void clickOpens();
    void doubleClickOpensOnce_data();
    void doubleClickOpensOnce();
    void blankDoubleClick();
    void pressOnBlankStartsNoLongPress();
    void moveStartsDragAndReleaseDoesNotOpen();
    void longPressStartsDrag();
    void contextMenu();
    void wheelScrolls_data();
    void wheelScrolls();
    void wheelWithoutModelIsIgnored();
    void keys_data();
    void keys();
    void keysScrollFocusIntoView();
    void hoverFollowsMouse();
    void dragOverShowsDropBar();
    void itemGlobalRectAndSnap();
    void evictedIconsAreAskedForOnce();
};

void TestIconGrid::settersClamp()
{
    GridFixture f;
    f.grid->setColumns(9);
    QCOMPARE(f.grid->columns(), 8);
    f.grid->setColumns(-1);
    QCOMPARE(f.grid->columns(), 0);
    f.grid->setIconSize(200);
    QCOMPARE(f.grid->iconSize(), 96);
    f.grid->setIconSize(10);
    QCOMPARE(f.grid->iconSize(), 32);
    // Fixed columns: 104 px cells hold at most 104 - name height - 14.
    f.grid->setColumns(4);
    f.grid->setIconSize(96);
    QCOMPARE(f.grid->iconSize(), std::clamp(104 - QFontMetrics(f.grid->nameFont()).height() - 14, 32, 60));
}

void TestIconGrid::visibleListSkipsHiddenItems()
{
    GridFixture f(6, {1, 3});
    QCOMPARE(f.grid->visibleItems(), (QList<int>{0, 2, 4, 5}));
    // Signals carry item indices, not positions.
    f.grid->setSingleClickOpen(true);
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    QTest::mouseClick(f.grid.get(), Qt::LeftButton, {}, f.centre(1));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
}

void TestIconGrid::visibleListFollowsRelayoutAndGroupChange()
{
    GridFixture f(3);
    QCOMPARE(f.grid->visibleItems().size(), 3);
    f.groups[0].items[0].hidden = true;
    f.grid->relayout();
    QCOMPARE(f.grid->visibleItems(), (QList<int>{1, 2}));
    f.current = 1;
    QVERIFY(f.grid->visibleItems().isEmpty());
    f.current = 0;
    QCOMPARE(f.grid->visibleItems(), (QList<int>{1, 2}));
    f.current = 5;
    QVERIFY(f.grid->visibleItems().isEmpty());
    QCOMPARE(f.grid->itemAt(QPoint(20, 20)), -1);
}

void TestIconGrid::emptyGroupShowsHintAllHiddenDoesNot()
{
    const QColor bg = currentTheme().c[23];
    const QRect middle(100, 150, 216, 100);
    GridFixture empty(0);
    QVERIFY(inkPixels(empty.grid->grab().toImage(), middle, bg) > 20);
    GridFixture hidden(2, {0, 1});
    QCOMPARE(inkPixels(hidden.grid->grab().toImage(), middle, bg), 0);
}

void TestIconGrid::missingItemsGetBadge()
{
    GridFixture f(2);
    QPixmap icon(48, 48);
    icon.fill(Qt::darkGreen);
    f.icons.insert(f.groups[0].items[0].path, icon);
    const QColor badge(0xD9, 0x53, 0x4F);
    QCOMPARE(pixelsNear(f.grid->grab().toImage(), badge), 0);
    // One item with an icon, one without: both get the badge.
    f.grid->setMissingItems({f.groups[0].items[0].key, f.groups[0].items[1].key});
    const QImage img = f.grid->grab().toImage();
    const QRect cell0 = f.grid->itemRect(0);
    const QRect cell1 = f.grid->itemRect(1);
    QVERIFY(pixelsNear(img.copy(cell0), badge) > 20);
    QVERIFY(pixelsNear(img.copy(cell1), badge) > 20);
    // The icon of a missing item is faded.
    QCOMPARE(pixelsNear(img.copy(cell0), QColor(Qt::darkGreen)), 0);
}

void TestIconGrid::clickOpens_data()
{
    QTest::addColumn<bool>("singleClick");
    QTest::addColumn<QPoint>("releaseOffset");
    QTest::addColumn<int>("activations");
    QTest::newRow("single-click mode") << true << QPoint(0, 0) << 1;
    QTest::newRow("small slip still opens") << true << QPoint(4, 4) << 1;
    QTest::newRow("double-click mode") << false << QPoint(0, 0) << 0;
}

void TestIconGrid::clickOpens()
{
    QFETCH(bool, singleClick);
    QFETCH(QPoint, releaseOffset);
    GridFixture f;
    f.grid->setSingleClickOpen(singleClick);
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    QTest::mousePress(f.grid.get(), Qt::LeftButton, {}, f.centre(5));
    QTest::mouseRelease(f.grid.get(), Qt::LeftButton, {}, f.centre(5) + releaseOffset);
    QTEST(int(spy.size()), "activations");
    if (!spy.isEmpty())
        QCOMPARE(spy.at(0).at(0).toInt(), 5);
}

void TestIconGrid::doubleClickOpensOnce_data()
{
    QTest::addColumn<bool>("singleClick");
    QTest::newRow("single-click mode") << true;
    QTest::newRow("double-click mode") << false;
}

void TestIconGrid::doubleClickOpensOnce()
{
    QFETCH(bool, singleClick);
    GridFixture f;
    f.grid->setSingleClickOpen(singleClick);
    f.grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.grid.get()));
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    QSignalSpy blank(f.grid.get(), &IconGrid::blankDoubleClicked);
    // Through the window, so the application turns the second press into a
    // double click as it does for a real mouse.
    QTest::mouseDClick(f.grid->windowHandle(), Qt::LeftButton, {}, f.centre(2));
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QCOMPARE(blank.size(), 0);
}

void TestIconGrid::blankDoubleClick()
{
    GridFixture f(2);
    QSignalSpy blank(f.grid.get(), &IconGrid::blankDoubleClicked);
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    QTest::mouseDClick(f.grid.get(), Qt::LeftButton, {}, QPoint(300, 300));
    QCOMPARE(blank.size(), 1);
    QCOMPARE(spy.size(), 0);
}

void TestIconGrid::pressOnBlankStartsNoLongPress()
{
    GridFixture f(2);
    QTest::mousePress(f.grid.get(), Qt::LeftButton, {}, QPoint(300, 300));
    QVERIFY(!f.grid->isLongPressPending());
    // A press on blank space never turns into a drag, however far it moves.
    leftButtonMove(f.grid.get(), QPoint(10, 10));
    QVERIFY(f.grid->findChildren<QDrag*>().isEmpty());
    QTest::mouseRelease(f.grid.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mousePress(f.grid.get(), Qt::LeftButton, {}, f.centre(0));
    QVERIFY(f.grid->isLongPressPending());
    QTest::mouseRelease(f.grid.get(), Qt::LeftButton, {}, f.centre(0));
    QVERIFY(!f.grid->isLongPressPending());
}

void TestIconGrid::moveStartsDragAndReleaseDoesNotOpen()
{
    GridFixture f;
    f.grid->setSingleClickOpen(true);
    QPixmap icon(64, 64);
    icon.fill(Qt::red);
    f.icons.insert(f.groups[0].items[3].path, icon);
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    const QPoint start = f.centre(3);
    QTest::mousePress(f.grid.get(), Qt::LeftButton, {}, start);
    leftButtonMove(f.grid.get(), start + QPoint(4, 4));
    QVERIFY(!f.grid->findChild<QDrag*>()); // 8 px still count as a click
    leftButtonMove(f.grid.get(), start + QPoint(5, 4));
    // The drag has run (the platform here ends it at once); its object
    // lives until the event loop deletes it.
    QDrag* drag = f.grid->findChild<QDrag*>();
    QVERIFY(drag);
    QCOMPARE(drag->mimeData()->data(QStringLiteral("application/x-krv-item")),
             QByteArray(R"({"g":0,"i":3,"path":"/opt/item-3"})"));
    QCOMPARE(drag->pixmap().size(), QSize(32, 32));
    QVERIFY(!f.grid->isDragging());
    QVERIFY(!f.grid->isLongPressPending());
    QTest::mouseRelease(f.grid.get(), Qt::LeftButton, {}, start + QPoint(5, 4));
    QCOMPARE(spy.size(), 0);
}

void TestIconGrid::longPressStartsDrag()
{
    GridFixture f;
    ChildWatcher watcher(f.grid.get());
    QTest::mousePress(f.grid.get(), Qt::LeftButton, {}, f.centre(1));
    QVERIFY(f.grid->isLongPressPending());
    QTRY_VERIFY_WITH_TIMEOUT(watcher.added > 0, 3000);
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    f.grid->setSingleClickOpen(true);
    QTest::mouseRelease(f.grid.get(), Qt::LeftButton, {}, f.centre(1));
    QCOMPARE(spy.size(), 0);
}

void TestIconGrid::contextMenu()
{
    GridFixture f(6, {0});
    QSignalSpy spy(f.grid.get(), &IconGrid::itemMenuRequested);
    const QPoint at = f.centre(2);
    QContextMenuEvent onItem(QContextMenuEvent::Mouse, at, f.grid->mapToGlobal(at));
    QApplication::sendEvent(f.grid.get(), &onItem);
    QContextMenuEvent onBlank(QContextMenuEvent::Mouse, QPoint(300, 350), f.grid->mapToGlobal(QPoint(300, 350)));
    QApplication::sendEvent(f.grid.get(), &onBlank);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 3);
    QCOMPARE(spy.at(0).at(1).toPoint(), f.grid->mapToGlobal(at));
}

void TestIconGrid::wheelScrolls_data()
{
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<int>("startScroll");
    QTest::addColumn<int>("scroll");
    // 40 items: maxScroll 736, rows every 112 px.
    QTest::newRow("one notch down") << QList<int>{-120} << 0 << 112;
    QTest::newRow("two notches at once") << QList<int>{-240} << 0 << 224;
    QTest::newRow("up at the top stays") << QList<int>{120} << 0 << 0;
    QTest::newRow("clamped at the end") << QList<int>{-1200} << 0 << 736;
    QTest::newRow("half a notch waits") << QList<int>{-60} << 0 << 0;
    QTest::newRow("two halves make a row") << QList<int>{-60, -60} << 0 << 112;
    QTest::newRow("touchpad fractions add up") << QList<int>{-15, -15, -15, -15, -15, -15, -15, -15} << 0 << 112;
    QTest::newRow("turning back starts afresh") << QList<int>{-60, 120, -60} << 224 << 112;
}

void TestIconGrid::wheelScrolls()
{
    QFETCH(QList<int>, deltas);
    QFETCH(int, startScroll);
    GridFixture f(40);
    if (startScroll > 0) {
        wheel(f.grid.get(), -120 * startScroll / 112);
        QCOMPARE(f.grid->scrollY(), startScroll);
    }
    for (int d : deltas)
        wheel(f.grid.get(), d);
    QTEST(f.grid->scrollY(), "scroll");
}

void TestIconGrid::wheelWithoutModelIsIgnored()
{
    IconGrid grid;
    grid.resize(400, 400);
    QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&grid, &e);
    QVERIFY(!e.isAccepted());
}

void TestIconGrid::keys_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("focus");
    // 10 items in 4 columns.
    QTest::newRow("right without focus") << -1 << int(Qt::Key_Right) << 0;
    QTest::newRow("end without focus") << -1 << int(Qt::Key_End) << 9;
    QTest::newRow("right") << 2 << int(Qt::Key_Right) << 3;
    QTest::newRow("right on the last stays") << 9 << int(Qt::Key_Right) << 9;
    QTest::newRow("left on the first stays") << 0 << int(Qt::Key_Left) << 0;
    QTest::newRow("down one row") << 1 << int(Qt::Key_Down) << 5;
    QTest::newRow("down past the end") << 7 << int(Qt::Key_Down) << 9;
    QTest::newRow("up one row") << 6 << int(Qt::Key_Up) << 2;
    QTest::newRow("home") << 6 << int(Qt::Key_Home) << 0;
    QTest::newRow("home on the first") << 0 << int(Qt::Key_Home) << 0;
    QTest::newRow("end on the last") << 9 << int(Qt::Key_End) << 9;
    QTest::newRow("escape clears") << 4 << int(Qt::Key_Escape) << -1;
}

void TestIconGrid::keys()
{
    QFETCH(int, start);
    QFETCH(int, key);
    GridFixture f;
    if (start >= 0) {
        QTest::keyClick(f.grid.get(), Qt::Key_Home);
        for (int i = 0; i < start; ++i)
            QTest::keyClick(f.grid.get(), Qt::Key_Right);
        QCOMPARE(f.grid->focusPos(), start);
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(f.grid.get(), &press);
    QVERIFY(press.isAccepted());
    QTEST(f.grid->focusPos(), "focus");
}

void TestIconGrid::keysScrollFocusIntoView()
{
    GridFixture f(40);
    QSignalSpy spy(f.grid.get(), &IconGrid::itemActivated);
    QTest::keyClick(f.grid.get(), Qt::Key_Return);
    QCOMPARE(spy.size(), 0);
    QTest::keyClick(f.grid.get(), Qt::Key_End);
    QCOMPARE(f.grid->scrollY(), f.grid->maxScroll());
    QTest::keyClick(f.grid.get(), Qt::Key_Home);
    QCOMPARE(f.grid->scrollY(), 0);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(f.grid.get(), Qt::Key_Down);
    QCOMPARE(f.grid->focusPos(), 12);
    QCOMPARE(f.grid->scrollY(), 112);
    QTest::keyClick(f.grid.get(), Qt::Key_Space);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 12);
    // Any click drops the keyboard focus position.
    QTest::mouseClick(f.grid.get(), Qt::RightButton, {}, QPoint(300, 390));
    QCOMPARE(f.grid->focusPos(), -1);
    // An empty grid leaves keys to the base class.
    GridFixture empty(0);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(empty.grid.get(), &press);
    QCOMPARE(empty.grid->focusPos(), -1);
}

void TestIconGrid::hoverFollowsMouse()
{
    for (int mode : {0, 1}) {
        GridFixture f;
        f.grid->setHoverEffect(mode, QColor(Qt::red), 50);
        QMouseEvent move(QEvent::MouseMove, QPointF(f.centre(6)), QPointF(f.grid->mapToGlobal(f.centre(6))),
                         Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(f.grid.get(), &move);
        QCOMPARE(f.grid->hoverPos(), 6);
        QMouseEvent gap(QEvent::MouseMove, QPointF(104, 50), QPointF(f.grid->mapToGlobal(QPoint(104, 50))),
                        Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(f.grid.get(), &gap);
        QCOMPARE(f.grid->hoverPos(), -1);
        QApplication::sendEvent(f.grid.get(), &move);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(f.grid.get(), &leave);
        QCOMPARE(f.grid->hoverPos(), -1);
    }
}

void TestIconGrid::dragOverShowsDropBar()
{
    GridFixture f;
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-krv-item"), R"({"g":0,"i":1,"path":"x"})");
    const QPoint at(160, 50); // right half of the second cell
    QDragEnterEvent enter(at, Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(f.grid.get(), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(f.grid->dropPos(), 2);
    QDragMoveEvent move(QPoint(410, 300), Qt::MoveAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(f.grid.get(), &move);
    QCOMPARE(f.grid->dropPos(), 10);
    QDragLeaveEvent leave;
    QApplication::sendEvent(f.grid.get(), &leave);
    QCOMPARE(f.grid->dropPos(), -1);
    QVERIFY(!f.grid->isDragging());

    auto* text = new QMimeData;
    text->setText(QStringLiteral("plain"));
    QDragEnterEvent other(at, Qt::MoveAction, text, Qt::LeftButton, {});
    QApplication::sendEvent(f.grid.get(), &other);
    QVERIFY(!other.isAccepted());
    auto* urls = new QMimeData;
    urls->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    QDragEnterEvent files(at, Qt::CopyAction, urls, Qt::LeftButton, {});
    QApplication::sendEvent(f.grid.get(), &files);
    QVERIFY(files.isAccepted());
    QCOMPARE(f.grid->dropPos(), -1);
    delete mime;
    delete text;
    delete urls;
}

void TestIconGrid::itemGlobalRectAndSnap()
{
    GridFixture f(10, {0});
    QCOMPARE(f.grid->itemGlobalRect(0), QRect());
    const QRect r = f.grid->itemGlobalRect(1);
    QCOMPARE(r.topLeft(), f.grid->mapToGlobal(QPoint(8, 8)));
    const QPoint g = f.grid->mapToGlobal(QPoint(160, 170));
    QCOMPARE(f.grid->snapToCell(g), g);
    f.grid->setColumns(4); // 104 px cells
    QCOMPARE(f.grid->snapToCell(g), f.grid->mapToGlobal(QPoint(208, 208)));
    // Never past the columns or the widget.
    QCOMPARE(f.grid->snapToCell(f.grid->mapToGlobal(QPoint(2000, -50))), f.grid->mapToGlobal(QPoint(416, 0)));
}


void TestIconGrid::evictedIconsAreAskedForOnce()
{
    GridFixture f(3);
    QPixmap red(32, 32);
    red.fill(Qt::red);
    f.icons.insert(QStringLiteral("/opt/item-0"), red);
    f.icons.insert(QStringLiteral("/opt/item-1"), QPixmap()); // known to have no icon
    QSignalSpy wanted(f.grid.get(), &IconGrid::iconWanted);

    f.grid->grab();
    // Only the path the map does not hold at all is asked for.
    QCOMPARE(wanted.size(), 1);
    QCOMPARE(wanted.first().first().toString(), QStringLiteral("/opt/item-2"));
    f.grid->grab();
    QCOMPARE(wanted.size(), 1);

    // Item 0 was painted, so its scaled copy keeps it on screen after the
    // shared map drops it; no request is needed for it.
    f.icons.remove(QStringLiteral("/opt/item-0"));
    const QImage img = f.grid->grab().toImage();
    QCOMPARE(wanted.size(), 1);
    QVERIFY(pixelsNear(img, Qt::red) > 100);

    // Once the map held item 2 again, a later eviction asks again.
    f.icons.insert(QStringLiteral("/opt/item-2"), red);
    f.grid->grab();
    f.grid->forgetIcon(QStringLiteral("/opt/item-2"));
    f.icons.remove(QStringLiteral("/opt/item-2"));
    f.grid->grab();
    QCOMPARE(wanted.size(), 2);
}

QTEST_MAIN(TestIconGrid)
#include "test_icongrid.moc"
