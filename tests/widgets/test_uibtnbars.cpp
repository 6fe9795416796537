// The title strip and the bottom bar: geometry, clicks, long-press drags,
// drops, the gear menu, the badge and the animation timers.
#include "widgets/bottombar.h"
#include "widgets/dragpayloads.h"
#include "widgets/gearmenupopup.h"
#include "widgets/titlebaractions.h"

#include "app/lang.h"
#include "testsupport.h"

#include <QDrag>
#include <QMimeData>
#include <QtTest>

namespace {

// Records drags instead of running them.
template <class Bar>
class RecordingBar : public Bar {
public:
    using Bar::Bar;
    QList<QByteArray> drags;
protected:
    Qt::DropAction execDrag(QDrag* drag) override
    {
        drags << drag->mimeData()->data(kUiBtnMimeType);
        return Qt::IgnoreAction;
    }
};

const QList<bool> kAllVisible(11, true);

QList<bool> hiding(std::initializer_list<int> ids)
{
    QList<bool> v = kAllVisible;
    for (int id : ids)
        v[id] = false;
    return v;
}

QPoint centreOf(const UiBtnBar& bar, int id)
{
    return bar.buttonGeometry().rects[size_t(id)].center();
}

// Sends a drag of button `ub` (raw payload) to `target` at `pos`: enter,
// then a drop; returns whether the drop was accepted.
bool dropPayload(QWidget* target, const QByteArray& payload, const QPoint& pos)
{
    QMimeData mime;
    mime.setData(kUiBtnMimeType, payload);
    QDragEnterEvent enter(pos, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(pos), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class TestUiBtnBars : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { setLanguage(0); }

    void titleLayout_data()
    {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QList<bool>>("visible");
        QTest::addColumn<QList<int>>("xs");
        QTest::addColumn<int>("width");
        QTest::newRow("default") << QList<int>{0, 1, 2, 3, 4} << kAllVisible << QList<int>{12, 34, 56, 78, 97} << 117;
        QTest::newRow("empty") << QList<int>{} << kAllVisible << QList<int>{} << 14;
        QTest::newRow("all hidden") << QList<int>{0, 3} << hiding({0, 3}) << QList<int>{} << 14;
        QTest::newRow("unknown ids skipped") << QList<int>{11, 4, -1, 5} << kAllVisible << QList<int>{12, 30} << 54;
    }
    void titleLayout()
    {
        QFETCH(QList<int>, ids);
        QFETCH(QList<bool>, visible);
        QFETCH(QList<int>, xs);
        QFETCH(int, width);
        TitleBarActions bar;
        bar.setButtonLayout(ids, visible, {});
        QCOMPARE(bar.size(), QSize(width, 28));
        const UiBtnBarLayout& l = bar.buttonGeometry();
        QCOMPARE(l.shown.size(), xs.size());
        for (int k = 0; k < xs.size(); ++k) {
            const QRect r = l.rects[size_t(l.shown[k])];
            QCOMPARE(r.x(), xs[k]);
            QCOMPARE(r.y(), 6);
            QCOMPARE(r.height(), 16);
            QCOMPARE(r.width(), uiBtnSlotWidth(l.shown[k]));
        }
        if (xs.isEmpty())
            QCOMPARE(l.dropBarX(0), 12.0);
    }

    void titleHitTestLowerIdWins()
    {
        TitleBarActions bar;
        const QRect zero = bar.buttonGeometry().rects[0];
        const QRect one = bar.buttonGeometry().rects[1];
        const QPoint p(zero.right() + 4, zero.center().y());
        QVERIFY(one.adjusted(-5, -12, 5, 12).contains(p));
        QCOMPARE(bar.buttonGeometry().buttonAt(p, 5, 12), 0);
        QCOMPARE(bar.buttonGeometry().buttonAt(QPoint(zero.center().x(), 27), 5, 12), 0);
        QCOMPARE(bar.buttonGeometry().buttonAt(QPoint(2, 14), 5, 12), -1);
        // Insert positions follow the centres.
        QCOMPARE(bar.insertIndexAt(0), 0);
        QCOMPARE(bar.insertIndexAt(zero.center().x()), 1);
        QCOMPARE(bar.insertIndexAt(500), 5);
    }

    void bottomLayout()
    {
        BottomBar bar;
        bar.resize(300, 28);
        const UiBtnBarLayout& l = bar.buttonGeometry();
        QCOMPARE(l.shown, (QList<int>{10, 9, 8, 7, 6, 5}));
        const int xs[] = {140, 166, 192, 218, 244, 270};
        for (int k = 0; k < 6; ++k)
            QCOMPARE(l.rects[size_t(l.shown[k])], QRect(xs[k], 5, 18, 18));
        bar.setButtonLayout({}, kAllVisible, {});
        QCOMPARE(bar.buttonGeometry().dropBarX(0), 288.0);
    }

    void cornerRadiusAndBadge()
    {
        BottomBar bar;
        bar.setCornerRadius(30);
        QCOMPARE(bar.cornerRadius(), 24);
        bar.setCornerRadius(-2);
        QCOMPARE(bar.cornerRadius(), 0);
        for (int r : {0, 1}) {
            const QPainterPath path = BottomBar::backgroundPath(QSize(100, 28), r);
            QCOMPARE(path.boundingRect(), QRectF(0, 0, 100, 29));
            QVERIFY(path.contains(QPointF(0.2, 28.8)));
        }
        QVERIFY(!BottomBar::backgroundPath(QSize(100, 28), 12).contains(QPointF(0.5, 28.5)));
        bar.setBadgeCount(-3);
        QCOMPARE(bar.badgeCount(), 0);
        bar.setBadgeCount(100);
        QCOMPARE(BottomBar::badgeText(bar.badgeCount()), QStringLiteral("99+"));
        QCOMPARE(BottomBar::badgeText(99), QStringLiteral("99"));
    }

    void badgeOnlyOnAShownFeedbackButton()
    {
        // Painted pixels in #E81123 tell whether the badge is there.
        auto redPixels = [](BottomBar& bar) {
            const QImage image = bar.grab().toImage();
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixelColor(x, y) == QColor(0xE8, 0x11, 0x23);
            return n;
        };
        BottomBar bar;
        bar.resize(300, 28);
        bar.setBadgeCount(5);
        QVERIFY(redPixels(bar) > 10);
        bar.setButtonLayout({10, 9, 8, 7, 6, 5}, hiding({7}), {});
        QCOMPARE(redPixels(bar), 0);
        bar.setButtonLayout({10, 5}, kAllVisible, {});
        QCOMPARE(redPixels(bar), 0);
    }

    void titleClicks_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("release");
        QTest::addColumn<QList<int>>("triggered");
        QTest::addColumn<bool>("menu");
        QTest::newRow("pin") << 2 << 2 << QList<int>{2} << false;
        QTest::newRow("close") << 4 << 4 << QList<int>{4} << false;
        QTest::newRow("released over another button") << 2 << 3 << QList<int>{} << false;
        QTest::newRow("settings opens the gear menu") << 1 << 1 << QList<int>{} << true;
    }
    void titleClicks()
    {
        QFETCH(int, press);
        QFETCH(int, release);
        QFETCH(QList<int>, triggered);
        QFETCH(bool, menu);
        RecordingBar<TitleBarActions> bar;
        bar.show();
        QSignalSpy spy(&bar, &TitleBarActions::actionTriggered);
        QSignalSpy shown(&bar, &TitleBarActions::gearMenuAboutToShow);
        QTest::mousePress(&bar, Qt::LeftButton, {}, centreOf(bar, press));
        QTest::mouseRelease(&bar, Qt::LeftButton, {}, centreOf(bar, release));
        QList<int> got;
        for (const auto& args : spy)
            got << args.at(0).toInt();
        QCOMPARE(got, triggered);
        QCOMPARE(bar.isGearMenuOpen(), menu);
        QCOMPARE(shown.size(), menu ? 1 : 0);
        if (menu) {
            // A second click while it is open does nothing.
            QTest::mouseClick(&bar, Qt::LeftButton, {}, centreOf(bar, 1));
            QCOMPARE(shown.size(), 1);
            QVERIFY(spy.isEmpty());
        }
        QTest::qWait(UiBtnBar::kPressMs + 100);
        QVERIFY(bar.drags.isEmpty());
    }

    void longPressDrags_data()
    {
        QTest::addColumn<bool>("bottom");
        QTest::addColumn<bool>("leaveFirst");
        QTest::addColumn<int>("drags");
        QTest::newRow("title") << false << false << 1;
        QTest::newRow("title, cursor left the strip") << false << true << 1;
        QTest::newRow("bottom") << true << false << 1;
        QTest::newRow("bottom, cursor left the bar") << true << true << 0;
    }
    void longPressDrags()
    {
        QFETCH(bool, bottom);
        QFETCH(bool, leaveFirst);
        QFETCH(int, drags);
        RecordingBar<TitleBarActions> title;
        RecordingBar<BottomBar> bar;
        bar.resize(300, 28);
        UiBtnBar* w = bottom ? static_cast<UiBtnBar*>(&bar) : &title;
        QList<QByteArray>* recorded = bottom ? &bar.drags : &title.drags;
        const int id = bottom ? 7 : 2;
        QTest::mousePress(w, Qt::LeftButton, {}, centreOf(*w, id));
        if (leaveFirst) {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(w, &leave);
        }
        QTRY_COMPARE_WITH_TIMEOUT(int(recorded->size()), drags, UiBtnBar::kPressMs + 300);
        QTest::qWait(drags ? 0 : UiBtnBar::kPressMs + 100);
        QCOMPARE(int(recorded->size()), drags);
        if (drags) {
            QCOMPARE(recorded->first(), uiBtnPayload(id, bottom ? 1 : 0));
            QCOMPARE(w->pressedButton(), -1);
            QCOMPARE(w->hoveredButton(), -1);
        }
    }

    void bottomClickOnSettingsIsAPlainClick()
    {
        BottomBar bar;
        bar.resize(300, 28);
        bar.setButtonLayout({1, 5}, kAllVisible, {});
        QSignalSpy spy(&bar, &BottomBar::buttonActivated);
        QTest::mouseClick(&bar, Qt::LeftButton, {}, centreOf(bar, 1));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toInt(), 1);
        QVERIFY(!bar.findChild<GearMenuPopup*>());
    }

    void drops_data()
    {
        QTest::addColumn<bool>("bottom");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("ub");
        QTest::addColumn<int>("index");
        QTest::newRow("title, before the first") << false << uiBtnPayload(7, 1) << 0 << 7 << 0;
        QTest::newRow("title, at the end") << false << uiBtnPayload(7, 1) << 116 << 7 << 5;
        QTest::newRow("bottom, between") << true << uiBtnPayload(2, 0) << 160 << 2 << 1;
        QTest::newRow("id 11") << false << QByteArray("{\"ub\":11,\"from\":1}") << 50 << -1 << -1;
        QTest::newRow("no id") << true << QByteArray("{\"from\":1}") << 50 << -1 << -1;
        QTest::newRow("id not a number") << true << QByteArray("{\"ub\":\"3\",\"from\":1}") << 50 << -1 << -1;
        QTest::newRow("not JSON") << false << QByteArray("ub=3") << 50 << -1 << -1;
    }
    void drops()
    {
        QFETCH(bool, bottom);
        QFETCH(QByteArray, payload);
        QFETCH(int, x);
        QFETCH(int, ub);
        QFETCH(int, index);
        TitleBarActions title;
        BottomBar bar;
        bar.resize(300, 28);
        UiBtnBar* w = bottom ? static_cast<UiBtnBar*>(&bar) : &title;
        QSignalSpy spy(w, &UiBtnBar::uibtnDropped);
        QMimeData mime;
        mime.setData(kUiBtnMimeType, payload);
        QDragEnterEvent enter(QPoint(x, 14), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(w->dropInsertIndex() >= 0);
        const bool accepted = dropPayload(w, payload, QPoint(x, 14));
        QCOMPARE(w->dropInsertIndex(), -1);
        QCOMPARE(accepted, ub >= 0);
        if (ub < 0) {
            QVERIFY(spy.isEmpty());
            return;
        }
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toInt(), ub);
        QCOMPARE(spy.first().at(1).toInt(), bottom ? 1 : 0);
        QCOMPARE(spy.first().at(2).toInt(), index);
    }

    void foreignDragsAreRefused()
    {
        TitleBarActions bar;
        QMimeData mime;
        mime.setText(QStringLiteral("hello"));
        QDragEnterEvent enter(QPoint(20, 14), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&bar, &enter);
        QVERIFY(!enter.isAccepted());
        QCOMPARE(bar.dropInsertIndex(), -1);
    }

    void timersRunOnlyWhileTheirGlyphMoves()
    {
        BottomBar bar;
        bar.resize(300, 28);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QVERIFY(!bar.anyTimerRunning());

        bar.setButtonActive(9, true);
        QVERIFY(bar.isBlinkRunning());
        bar.setButtonActive(10, true);
        QVERIFY(bar.isObfuscationAnimating());

        // Hiding the buttons ends both.
        bar.setButtonLayout({10, 9, 8, 7, 6, 5}, hiding({9, 10}), {});
        QVERIFY(!bar.isBlinkRunning());
        QVERIFY(!bar.isObfuscationAnimating());
        bar.setButtonLayout({10, 9, 8, 7, 6, 5}, kAllVisible, {});
        QVERIFY(bar.isBlinkRunning() && bar.isObfuscationAnimating());

        // A hidden bar animates nothing.
        bar.hide();
        QVERIFY(!bar.anyTimerRunning());
        bar.show();
        QVERIFY(bar.isBlinkRunning());
        bar.setButtonActive(9, false);
        bar.setButtonActive(10, false);
        QVERIFY(!bar.anyTimerRunning());

        // Hovering the theme toggle turns the sun; leaving stops it.
        QTest::mouseMove(&bar, centreOf(bar, 6));
        QTRY_VERIFY(bar.isHoverAnimating());
        QCOMPARE(bar.toolTip(), QStringLiteral("主题切换"));
        QTest::mouseMove(&bar, centreOf(bar, 10));
        QTRY_VERIFY(!bar.isHoverAnimating());
        QVERIFY(bar.isObfuscationAnimating());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&bar, &leave);
        QVERIFY(!bar.anyTimerRunning());
        QVERIFY(bar.toolTip().isEmpty());
    }

    void gearMenu()
    {
        TitleBarActions bar;
        bar.move(100, 100);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QSignalSpy actions(&bar, &TitleBarActions::gearMenuAction);
        QTest::mouseMove(&bar, centreOf(bar, 1));
        QTRY_VERIFY(bar.isGearMenuOpen());
        GearMenuPopup* menu = bar.gearMenu();
        const QRect settings = bar.buttonGeometry().rects[1];
        QCOMPARE(menu->pos(), bar.mapToGlobal(QPoint(settings.left(), bar.height() + 6)));
        QCOMPARE(menu->height(), 176);
        QCOMPARE(menu->rowRect(4), QRect(8, 136, menu->width() - 16, 32));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->rowRect(3).center());
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions.first().at(0).toInt(), 3);
        QVERIFY(!bar.isGearMenuOpen());

        // Hidden settings button: no menu.
        bar.setButtonLayout({0, 2}, kAllVisible, {});
        bar.showGearMenu();
        QVERIFY(!bar.isGearMenuOpen());
    }

    void gearMenuUserName()
    {
        GearMenuPopup menu;
        QCOMPARE(menu.rowText(0), QStringLiteral("登录"));
        menu.setUserName(QStringLiteral("amy"));
        QCOMPARE(menu.rowText(0), QStringLiteral("amy"));
        const QString longName(60, QLatin1Char('w'));
        menu.setUserName(longName);
        QVERIFY(menu.rowText(0).endsWith(QChar(0x2026)));
        QVERIFY(menu.rowText(0).size() < longName.size());
        QCOMPARE(menu.rowText(1), QStringLiteral("设置"));
    }
};

QTEST_MAIN(TestUiBtnBars)
#include "test_uibtnbars.moc"
