#include "widgets/sidebar.h"

#include "app/lang.h"
#include "app/theme.h"
#include "testsupport.h"
#include "widgets/namedialog.h"
#include "widgetwaits.h"

#include <QDrag>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// A 172 x 400 sidebar: list area y 10..350 (340 px, ten rows of 34), the
// new-group button from (10, 358) to (161, 389).
struct Fixture {
    QList<PanelGroup> groups;
    int current = 0;
    std::unique_ptr<Sidebar> bar = std::make_unique<Sidebar>();

    explicit Fixture(int count = 5, QSize size = QSize(172, 400))
    {
        for (int i = 0; i < count; ++i) {
            PanelGroup g;
            g.name = QStringLiteral("分组%1").arg(i);
            if (i != 2)
                g.items.append(PanelItem{QStringLiteral("/x/%1").arg(i), QStringLiteral("x")});
            groups << g;
        }
        bar->resize(size);
        bar->setModel(&groups, &current);
    }
    QPoint row(int i) const { return bar->layoutNow().rowRect(i).center() - QPoint(0, bar->scrollY()); }
};

void wheel(QWidget* w, int delta)
{
    QWheelEvent e(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// Drives its own drags: `during` plays the drag events the window system
// would send while the drag runs.
struct DragDrivenSidebar : Sidebar {
    std::function<void(QDrag*)> during;
    Qt::DropAction execDrag(QDrag* drag) override
    {
        if (during)
            during(drag);
        return Qt::MoveAction;
    }
};

void leftButtonMove(QWidget* w, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(w->mapToGlobal(pos)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(w, &move);
}

// Picks an entry the way the user does, so that exec() returns it.
void choose(QMenu* menu, QAction* action)
{
    menu->setActiveAction(action);
    QTest::keyClick(menu, Qt::Key_Return);
}

// The texts and enabled states of a menu's entries, separators as "-".
QStringList describe(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (off)")));
    return out;
}

} // namespace

class TestSidebar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Over a dark picture that shows through a see-through list, the dark
    // names keep the contrast of readable text against what surrounds them.
    void namesReadableOverAPicture()
    {
        setDarkTheme(false);
        const ThemePalette before = currentTheme();
        const QColor seeThrough(240, 242, 246, 30);
        setThemeMidColors(seeThrough, seeThrough, seeThrough);
        Fixture f(3);
        f.current = -1;
        f.bar->setOverPicture(true);
        QImage shot(f.bar->size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(QColor(24, 26, 30));
        f.bar->render(&shot);
        setThemeMidColors(before.c[10], before.c[11], before.c[23]);

        const auto luminance = [](QRgb c) {
            const auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * lin(qRed(c) / 255.0) + 0.7152 * lin(qGreen(c) / 255.0) + 0.0722 * lin(qBlue(c) / 255.0);
        };
        // The name of the first row, without the count at its right.
        const QRect row = f.bar->layoutNow().rowRect(1);
        const QRect name(20, row.top(), 60, row.height());
        double darkest = 1;
        double lightest = 0;
        for (int y = name.top(); y <= name.bottom(); ++y) {
            for (int x = name.left(); x <= name.right(); ++x) {
                const double l = luminance(shot.pixel(x, y));
                darkest = std::min(darkest, l);
                lightest = std::max(lightest, l);
            }
        }
        const double ratio = (lightest + 0.05) / (darkest + 0.05);
        QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
    }

    void init() { setLanguage(0); }

    void groupAtNormal_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("scroll");
        QTest::addColumn<int>("group");
        QTest::newRow("first row") << QPoint(20, 10) << 0 << 0;
        QTest::newRow("last line of a row") << QPoint(20, 40) << 0 << 0;
        QTest::newRow("gap under a row") << QPoint(20, 41) << 0 << -1;
        QTest::newRow("gap end") << QPoint(20, 43) << 0 << -1;
        QTest::newRow("next row") << QPoint(20, 44) << 0 << 1;
        QTest::newRow("left edge") << QPoint(7, 20) << 0 << -1;
        QTest::newRow("left inside") << QPoint(8, 20) << 0 << 0;
        QTest::newRow("right inside") << QPoint(164, 20) << 0 << 0;
        QTest::newRow("right edge") << QPoint(165, 20) << 0 << -1;
        QTest::newRow("above the list") << QPoint(20, 9) << 0 << -1;
        QTest::newRow("below the last group") << QPoint(20, 300) << 0 << -1;
        QTest::newRow("scrolled") << QPoint(20, 10) << 68 << 2;
        QTest::newRow("under the list area") << QPoint(20, 355) << 0 << -1;
    }
    void groupAtNormal()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, scroll);
        Fixture f(scroll ? 20 : 5);
        for (int i = 0; i < scroll / 34; ++i)
            wheel(f.bar.get(), -120);
        QCOMPARE(f.bar->scrollY(), scroll);
        QTEST(f.bar->groupAt(pos), "group");
    }

    void groupAtCompact()
    {
        Fixture f(3, QSize(400, 40));
        f.bar->setCompact(true);
        const SidebarLayout l = f.bar->layoutNow();
        QCOMPARE(l.tabBoxes.size(), 3);
        QVERIFY(!l.hasOverflow);
        const int x0 = 8;
        const int w0 = f.bar->tabWidth(0);
        QCOMPARE(l.tabBoxes.at(0), QRect(x0, 5, w0, 30));
        QCOMPARE(l.tabBoxes.at(1).left(), x0 + w0 + 10);
        QCOMPARE(f.bar->groupAt(QPoint(x0 - 3, 10)), 0);
        QCOMPARE(f.bar->groupAt(QPoint(x0 - 4, 10)), -1);
        QCOMPARE(f.bar->groupAt(QPoint(x0 + w0 + 2, 34)), 0);
        QCOMPARE(f.bar->groupAt(QPoint(x0 + 5, 35)), -1);
        QCOMPARE(f.bar->groupAt(QPoint(l.tabBoxes.at(1).center())), 1);
        QCOMPARE(f.bar->maxScroll(), 0);
    }

    void compactOverflowHidesAndMenuSelects()
    {
        Fixture f(12, QSize(300, 40));
        f.bar->setCompact(true);
        const SidebarLayout l = f.bar->layoutNow();
        QVERIFY(l.hasOverflow);
        QVERIFY(l.firstHiddenTab < 12);
        QCOMPARE(l.overflowButton, QRect(QPoint(300 - 38, 14), QPoint(300 - 27, 25)));
        // No tab reaches into the buttons, and a group without a tab cannot
        // be picked from the strip, even where its tab would have been.
        for (const QRect& tab : l.tabBoxes)
            QVERIFY(tab.right() < 300 - 44);
        for (int x = 0; x < 300; ++x)
            QVERIFY(f.bar->groupAt(QPoint(x, 20)) < l.firstHiddenTab);

        QSignalSpy spy(f.bar.get(), &Sidebar::groupSelected);
        QStringList entries;
        testsupport::whenPopup([&](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            entries = describe(menu);
            choose(menu, menu->actions().last());
        });
        QTest::mouseClick(f.bar.get(), Qt::LeftButton, {}, l.overflowButton.center() + QPoint(4, 7));
        QCOMPARE(entries.size(), 12 - l.firstHiddenTab);
        QCOMPARE(entries.first(), QStringLiteral("分组%1").arg(l.firstHiddenTab));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 11);
    }

    void tabWidthIsCapped()
    {
        Fixture f(2);
        f.groups[1].name = QString(40, QChar(0x6587));
        f.groups[0].name = QString();
        QFont font = f.bar->font();
        font.setPixelSize(13);
        const int cap = 6 * int(std::ceil(QFontMetricsF(font).horizontalAdvance(QStringLiteral("中"))));
        QCOMPARE(f.bar->tabWidth(1), cap);
        QCOMPARE(f.bar->tabWidth(0), 8);
        Sidebar bare;
        QCOMPARE(bare.tabWidth(0), 56);
    }

    void scrollAndThumb()
    {
        // Ten rows fill the 340 px list exactly: nothing scrolls.
        Fixture ten(10);
        QCOMPARE(ten.bar->maxScroll(), 0);
        QVERIFY(ten.bar->layoutNow().thumbRect(0).isNull());
        Fixture many(20);
        QCOMPARE(many.bar->maxScroll(), 20 * 34 - 340);
        QVERIFY(!many.bar->layoutNow().thumbRect(0).isNull());
        // Without the new-group button the list is 378 px tall.
        many.bar->setShowNewGroupButton(false);
        QCOMPARE(many.bar->maxScroll(), 20 * 34 - 378);
        QVERIFY(many.bar->layoutNow().newGroupButton.isNull());
    }

    void wheelScrolls_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<int>("scroll");
        QTest::newRow("one notch") << QList<int>{-120} << 34;
        QTest::newRow("three notches at once") << QList<int>{-360} << 102;
        QTest::newRow("half a notch waits") << QList<int>{-60} << 0;
        QTest::newRow("two halves make a row") << QList<int>{-60, -60} << 34;
        QTest::newRow("touchpad fractions") << QList<int>{-10, -10, -10, -10, -10, -10, -10, -10, -10, -10, -10, -10} << 34;
        QTest::newRow("clamped") << QList<int>{-12000} << 20 * 34 - 340;
        QTest::newRow("back up") << QList<int>{-240, 120} << 34;
    }
    void wheelScrolls()
    {
        QFETCH(QList<int>, deltas);
        Fixture f(20);
        for (int d : deltas)
            wheel(f.bar.get(), d);
        QTEST(f.bar->scrollY(), "scroll");
        f.bar->setCompact(true);
        QCOMPARE(f.bar->scrollY(), 0);
        wheel(f.bar.get(), -120);
        QCOMPARE(f.bar->scrollY(), 0);
    }

    void clickSelectsDragDoesNot()
    {
        Fixture f;
        QSignalSpy selected(f.bar.get(), &Sidebar::groupSelected);
        QTest::mouseClick(f.bar.get(), Qt::LeftButton, {}, f.row(3));
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 3);
        // A click in the gap selects nothing.
        QTest::mouseClick(f.bar.get(), Qt::LeftButton, {}, QPoint(20, 34 + 42));
        QCOMPARE(selected.size(), 1);

        // Moving more than 6 px starts a group drag; its release selects nothing.
        QTest::mousePress(f.bar.get(), Qt::LeftButton, {}, f.row(1));
        leftButtonMove(f.bar.get(), f.row(1) + QPoint(3, 3));
        QVERIFY(!f.bar->findChild<QDrag*>());
        leftButtonMove(f.bar.get(), f.row(1) + QPoint(4, 3));
        QDrag* drag = f.bar->findChild<QDrag*>();
        QVERIFY(drag);
        QCOMPARE(drag->mimeData()->data(QStringLiteral("application/x-krv-group")), QByteArray(R"({"g":1})"));
        QCOMPARE(drag->hotSpot(), QPoint(8, 12));
        QCOMPARE(drag->pixmap().height(), 24);
        QTest::mouseRelease(f.bar.get(), Qt::LeftButton, {}, f.row(1) + QPoint(4, 3));
        QCOMPARE(selected.size(), 1);
        QVERIFY(!f.bar->isGroupDragActive());
    }

    void liveGroupDrag_data()
    {
        QTest::addColumn<QList<int>>("rowsPassed"); // -1: the drag leaves the sidebar
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<int>("finished");
        QTest::newRow("down two and back one")
            << QList<int>{0, 2, 2, 1} << QStringList{"分组1", "分组0", "分组2", "分组3", "分组4"} << 1;
        QTest::newRow("never leaves its row") << QList<int>{0, 0} << QStringList{"分组0", "分组1", "分组2", "分组3", "分组4"} << 0;
        QTest::newRow("leaving ends the reorder")
            << QList<int>{3, -1, 1} << QStringList{"分组1", "分组2", "分组3", "分组0", "分组4"} << 1;
    }
    void liveGroupDrag()
    {
        QFETCH(QList<int>, rowsPassed);
        DragDrivenSidebar bar;
        QList<PanelGroup> groups;
        int current = 0;
        for (int i = 0; i < 5; ++i)
            groups << PanelGroup{QStringLiteral("分组%1").arg(i), {}};
        bar.resize(172, 400);
        bar.setModel(&groups, &current);
        QSignalSpy finished(&bar, &Sidebar::groupDragFinished);
        connect(&bar, &Sidebar::groupDragDisplace, &bar, [&](int from, int to) { groups.move(from, to); });
        bar.during = [&](QDrag* drag) {
            QVERIFY(bar.isGroupDragActive());
            auto enter = [&](const QPoint& at) {
                QDragEnterEvent e(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
                QApplication::sendEvent(&bar, &e);
            };
            enter(bar.layoutNow().rowRect(0).center());
            for (int row : rowsPassed) {
                if (row < 0) {
                    // Out and back in again.
                    QDragLeaveEvent leave;
                    QApplication::sendEvent(&bar, &leave);
                    enter(QPoint(20, 380));
                    continue;
                }
                const QPoint at = bar.layoutNow().rowRect(row).center();
                QDragMoveEvent move(at, Qt::MoveAction, drag->mimeData(), Qt::LeftButton, {});
                QApplication::sendEvent(&bar, &move);
            }
        };
        bar.startGroupDrag(0);
        QStringList order;
        for (const PanelGroup& g : groups)
            order << g.name;
        QTEST(order, "order");
        QTEST(int(finished.size()), "finished");
        QVERIFY(!bar.isGroupDragActive());
        QCOMPARE(bar.draggedGroup(), -1);
    }

    void contextMenuEntries_data()
    {
        QTest::addColumn<int>("group");
        QTest::addColumn<QStringList>("entries");
        const QString rename = translate("重命名分组");
        const QString del = translate("删除分组");
        const QString clear = translate("清空本分组图标");
        const QString create = translate("新建分组");
        const QString sync = translate("收纳桌面新图标");
        QTest::newRow("first group cannot be deleted")
            << 0 << QStringList{rename, del + " (off)", clear, "-", create, "-", sync};
        QTest::newRow("empty group cannot be cleared")
            << 2 << QStringList{rename, del, clear + " (off)", "-", create, "-", sync};
        QTest::newRow("blank space") << -1 << QStringList{create, "-", sync};
    }
    void contextMenuEntries()
    {
        QFETCH(int, group);
        QFETCH(QStringList, entries);
        Fixture f;
        QStringList shown;
        testsupport::whenPopup([&](QWidget* w) {
            shown = describe(qobject_cast<QMenu*>(w));
            w->close();
        });
        const QPoint at = group >= 0 ? f.row(group) : QPoint(20, 300);
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, f.bar->mapToGlobal(at));
        QApplication::sendEvent(f.bar.get(), &e);
        QCOMPARE(shown, entries);
    }

    void contextMenuActions_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("signal");
        QTest::newRow("delete") << "删除分组" << "deleted";
        QTest::newRow("clear") << "清空本分组图标" << "cleared";
        QTest::newRow("desktop sync") << "收纳桌面新图标" << "sync";
    }
    void contextMenuActions()
    {
        QFETCH(QString, entry);
        QFETCH(QString, signal);
        Fixture f;
        QSignalSpy deleted(f.bar.get(), &Sidebar::groupDeleted);
        QSignalSpy cleared(f.bar.get(), &Sidebar::groupCleared);
        QSignalSpy sync(f.bar.get(), &Sidebar::desktopSyncRequested);
        testsupport::whenPopup([&](QWidget* w) {
            auto* menu = qobject_cast<QMenu*>(w);
            for (QAction* a : menu->actions())
                if (a->text() == translate(entry))
                    choose(menu, a);
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, f.row(1), f.bar->mapToGlobal(f.row(1)));
        QApplication::sendEvent(f.bar.get(), &e);
        QCOMPARE(deleted.size(), signal == QLatin1String("deleted") ? 1 : 0);
        QCOMPARE(cleared.size(), signal == QLatin1String("cleared") ? 1 : 0);
        QCOMPARE(sync.size(), signal == QLatin1String("sync") ? 1 : 0);
        if (!deleted.isEmpty())
            QCOMPARE(deleted.at(0).at(0).toInt(), 1);
        if (!cleared.isEmpty())
            QCOMPARE(cleared.at(0).at(0).toInt(), 1);
    }

    void newGroupButton_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("created");
        QTest::newRow("a name") << "  项目  " << QStringList{"项目"};
        QTest::newRow("empty name emits nothing") << "   " << QStringList{};
    }
    void newGroupButton()
    {
        QFETCH(QString, typed);
        Fixture f;
        QSignalSpy spy(f.bar.get(), &Sidebar::groupCreated);
        QString title;
        testsupport::whenModal([&](QWidget* w) {
            auto* dlg = qobject_cast<NameDialog*>(w);
            title = dlg->title();
            dlg->lineEdit()->setText(typed);
            QTest::keyClick(dlg->lineEdit(), Qt::Key_Return);
        });
        // 5 px outside the button still counts.
        const QRect button = f.bar->layoutNow().newGroupButton;
        QTest::mouseClick(f.bar.get(), Qt::LeftButton, {}, QPoint(button.left() - 5, button.top() - 5));
        QCOMPARE(title, translate("新建分组"));
        QStringList created;
        for (const auto& args : spy)
            created << args.at(0).toString();
        QTEST(created, "created");
    }

    void shortSidebarHasNoNewGroupButton()
    {
        Fixture f(3, QSize(172, 119));
        QVERIFY(f.bar->layoutNow().newGroupButton.isNull());
        bool dialogShown = false;
        testsupport::whenModal(
            [&](QWidget* w) {
                dialogShown = true;
                w->close();
            },
            f.bar.get());
        QTest::mouseClick(f.bar.get(), Qt::LeftButton, {}, QPoint(80, 119 - 20));
        QCoreApplication::processEvents();
        QVERIFY(!dialogShown);
        Fixture tall(3, QSize(172, 120));
        QCOMPARE(tall.bar->layoutNow().newGroupButton, QRect(QPoint(10, 78), QPoint(161, 109)));
    }

    void doubleClickRenames()
    {
        Fixture f;
        QSignalSpy spy(f.bar.get(), &Sidebar::groupRenamed);
        QString prefilled;
        testsupport::whenModal([&](QWidget* w) {
            auto* dlg = qobject_cast<NameDialog*>(w);
            prefilled = dlg->lineEdit()->text();
            dlg->lineEdit()->setText(QStringLiteral("新名字"));
            QTest::keyClick(dlg->lineEdit(), Qt::Key_Return);
        });
        QTest::mouseDClick(f.bar.get(), Qt::LeftButton, {}, f.row(4));
        QCOMPARE(prefilled, QStringLiteral("分组4"));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 4);
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("新名字"));
    }

    void hoverAndDropTarget()
    {
        Fixture f;
        QMouseEvent move(QEvent::MouseMove, QPointF(f.row(2)), QPointF(f.bar->mapToGlobal(f.row(2))), Qt::NoButton,
                         Qt::NoButton, {});
        QApplication::sendEvent(f.bar.get(), &move);
        QCOMPARE(f.bar->hoverRow(), 2);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(f.bar.get(), &leave);
        QCOMPARE(f.bar->hoverRow(), -1);

        QMimeData urls;
        urls.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a"))});
        QDragEnterEvent enter(f.row(1), Qt::CopyAction, &urls, Qt::LeftButton, {});
        QApplication::sendEvent(f.bar.get(), &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(f.bar->dropTarget(), 1);
        QDragMoveEvent over(f.row(3), Qt::CopyAction, &urls, Qt::LeftButton, {});
        QApplication::sendEvent(f.bar.get(), &over);
        QCOMPARE(f.bar->dropTarget(), 3);
        QDragLeaveEvent gone;
        QApplication::sendEvent(f.bar.get(), &gone);
        QCOMPARE(f.bar->dropTarget(), -1);

        QMimeData text;
        text.setText(QStringLiteral("x"));
        QDragEnterEvent other(f.row(1), Qt::CopyAction, &text, Qt::LeftButton, {});
        QApplication::sendEvent(f.bar.get(), &other);
        QVERIFY(!other.isAccepted());
    }
};

QTEST_MAIN(TestSidebar)
#include "test_sidebar.moc"
