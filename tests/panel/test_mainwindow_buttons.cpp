// The panel buttons in the main window: moving buttons between the bars by
// drops (read back from the saved settings), the click actions, and float
// icons through the window's own road.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/paths.h"
#include "fakelauncher.h"
#include "panel/layoutfile.h"
#include "testsupport.h"
#include "widgets/bottombar.h"
#include "widgets/dragpayloads.h"
#include "widgets/floaticon.h"
#include "widgets/titlebaractions.h"

#include <QMimeData>
#include <QtTest>

namespace {

QString root() { return cachedAppDataDir(); }
QString settingsFile() { return root() + QStringLiteral("/settings.json"); }

struct SavedLayouts {
    QList<int> title;
    QList<int> bottom;
};

SavedLayouts savedLayouts()
{
    const QJsonObject o = QJsonDocument::fromJson(testsupport::readFile(settingsFile())).object();
    auto list = [&o](const char* key) {
        QList<int> out;
        for (const QJsonValue& v : o.value(QLatin1String(key)).toArray())
            out << v.toInt();
        return out;
    };
    return {list("btnLayoutTitle"), list("btnLayoutBottom")};
}

void writeSettings(const std::function<void(AppSettings&)>& edit)
{
    AppSettings s;
    edit(s);
    QString error;
    QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
}

// A drop of button `ub` (dragged out of `from`) on `target` at `pos`, as
// the window system delivers it: enter, move, drop.
bool dropButton(QWidget* target, int ub, int from, const QPoint& pos)
{
    QMimeData mime;
    mime.setData(kUiBtnMimeType, uiBtnPayload(ub, from));
    QDragEnterEvent enter(pos, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(pos), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QPoint buttonCentre(const UiBtnBar* bar, int id)
{
    return bar->buttonGeometry().rects[size_t(id)].center();
}

} // namespace

class TestMainWindowButtons : public QObject {
    Q_OBJECT
    QStringList m_log;
    static TestMainWindowButtons* s_self;
    static void capture(QtMsgType, const QMessageLogContext&, const QString& text) { s_self->m_log << text; }

private Q_SLOTS:
    void initTestCase()
    {
        s_self = this;
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(root().startsWith(testsupport::testRoot()));
    }
    void init()
    {
        QFile::remove(settingsFile());
        QFile::remove(root() + QStringLiteral("/layout.json"));
    }

    void barsSitInTheWindow()
    {
        MainWindow w;
        w.resize(800, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TitleBarActions* title = w.titleBarActions();
        BottomBar* bottom = w.bottomBarWidget();
        QVERIFY(title && bottom);
        QCOMPARE(title->geometry(), QRect(800 - 117, 0, 117, 28));
        QCOMPARE(bottom->geometry(), QRect(0, 472, 800, 28));
        QCOMPARE(title->buttonLayout(), (QList<int>{0, 1, 2, 3, 4}));
        QCOMPARE(bottom->buttonLayout(), (QList<int>{10, 9, 8, 7, 6, 5}));
    }

    void dropsMoveButtons_data()
    {
        QTest::addColumn<QList<int>>("hidden");
        QTest::addColumn<int>("ub");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("at");
        QTest::addColumn<QList<int>>("title");
        QTest::addColumn<QList<int>>("bottom");
        // where: "title"/"bottom" = on that bar before button `at` (-1: past
        // the last button); "strip" = on the window's title strip left of the
        // title bar.
        QTest::newRow("bottom to title, before the pin")
            << QList<int>{} << 7 << 1 << "title" << 2 << QList<int>{0, 1, 7, 2, 3, 4} << QList<int>{10, 9, 8, 6, 5};
        QTest::newRow("title to bottom, at the end")
            << QList<int>{} << 2 << 0 << "bottom" << -1 << QList<int>{0, 1, 3, 4} << QList<int>{10, 9, 8, 7, 6, 5, 2};
        QTest::newRow("after the last button of its own bar")
            << QList<int>{} << 1 << 0 << "title" << -1 << QList<int>{0, 2, 3, 4, 1} << QList<int>{10, 9, 8, 7, 6, 5};
        QTest::newRow("hidden buttons before the drop")
            << QList<int>{10, 9} << 3 << 0 << "bottom" << 7 << QList<int>{0, 1, 2, 4}
            << QList<int>{10, 9, 8, 3, 7, 6, 5};
        QTest::newRow("on the window's title strip: to the front")
            << QList<int>{} << 6 << 1 << "strip" << 0 << QList<int>{6, 0, 1, 2, 3, 4} << QList<int>{10, 9, 8, 7, 5};
    }
    void dropsMoveButtons()
    {
        QFETCH(QList<int>, hidden);
        QFETCH(int, ub);
        QFETCH(int, from);
        QFETCH(QString, where);
        QFETCH(int, at);
        writeSettings([&](AppSettings& s) {
            for (int id : hidden)
                s.btnVisible[id] = false;
        });
        MainWindow w;
        w.resize(800, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        UiBtnBar* bar = where == QLatin1String("bottom") ? static_cast<UiBtnBar*>(w.bottomBarWidget())
                                                         : w.titleBarActions();
        QWidget* target = bar;
        QPoint pos;
        if (where == QLatin1String("strip")) {
            target = &w;
            pos = QPoint(300, 10);
        } else if (at < 0) {
            pos = QPoint(bar->width() - 1, 14);
        } else {
            pos = buttonCentre(bar, at) - QPoint(4, 0);
            pos.setY(14);
        }
        QVERIFY(dropButton(target, ub, from, pos));
        const SavedLayouts saved = savedLayouts();
        QTEST(saved.title, "title");
        QTEST(saved.bottom, "bottom");
        // Both bars show the new layout at once.
        QCOMPARE(w.titleBarActions()->buttonLayout(), saved.title);
        QCOMPARE(w.bottomBarWidget()->buttonLayout(), saved.bottom);
    }

    void windowDropsOutsideTheStripsAreRefused()
    {
        MainWindow w;
        w.resize(800, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!dropButton(&w, 2, 0, QPoint(400, 250)));
        QMimeData mime;
        mime.setData(kUiBtnMimeType, QByteArray("{\"ub\":11,\"from\":0}"));
        QDropEvent drop(QPointF(300, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &drop);
        QVERIFY(!drop.isAccepted());
        QVERIFY(!QFile::exists(settingsFile()) || savedLayouts().title == (QList<int>{0, 1, 2, 3, 4}));
    }

    void pinLightsBothBars()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.titleBarActions(), Qt::LeftButton, {}, buttonCentre(w.titleBarActions(), 2));
        QVERIFY(w.titleBarActions()->isButtonActive(2));
        QVERIFY(w.bottomBarWidget()->isButtonActive(2));
        QVERIFY(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.isVisible());
        w.handleUiButton(2);
        QVERIFY(!w.titleBarActions()->isButtonActive(2));
        QVERIFY(!w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void obfuscationLitFromTheSettings()
    {
        writeSettings([](AppSettings& s) { s.obfuscateEnabled = true; });
        MainWindow w;
        QVERIFY(w.bottomBarWidget()->isButtonActive(10));
    }

    void themeToggleSavesAndApplies()
    {
        MainWindow w;
        w.handleUiButton(6);
        QVERIFY(w.currentSettings().darkTheme);
        QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(settingsFile())).object().value("darkTheme").toBool(),
                 true);
        w.handleUiButton(6);
        QVERIFY(!w.currentSettings().darkTheme);
    }

    void closeButtonClosesTheWindow()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.titleBarActions(), Qt::LeftButton, {}, buttonCentre(w.titleBarActions(), 4));
        QTRY_VERIFY(!w.isVisible());
    }

    void floatIcons()
    {
        const QString target = testsupport::testRoot() + QStringLiteral("/targets/tool.sh");
        QVERIFY(testsupport::writeFile(target, "#!/bin/sh\n"));
        PanelGroup g;
        g.name = QStringLiteral("G");
        PanelItem item;
        item.path = target;
        item.name = QStringLiteral("Tool");
        item.args = QStringLiteral("--fast");
        item.workDir = QFileInfo(target).path();
        g.items << item;
        QVERIFY(testsupport::writeFile(root() + QStringLiteral("/layout.json"), serializeLayout({g})));

        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        QPointer<FloatIcon> first;
        QPointer<FloatIcon> second;
        QPointer<FloatIcon> third;
        {
            MainWindow w;
            w.resize(800, 500);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(!w.addFloatIcon(1));
            first = w.addFloatIcon(0);
            QVERIFY(first);
            QCOMPARE(first->name(), QStringLiteral("Tool"));
            QVERIFY(first->isVisible());
            QVERIFY(first->parentWidget() == nullptr);
            const QRect area = w.screen()->availableGeometry();
            QVERIFY(area.contains(first->frameGeometry()));

            // A click opens the item with the values it had when the tile was made.
            QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(30, 30));
            QCOMPARE(rec.calls.size(), 1);
            const auto& call = rec.calls.first();
            QCOMPARE(call.viaUrl ? call.url.toLocalFile() : call.request.target, target);

            // Dragged: moved, not opened.
            const QPoint start = first->pos();
            QTest::mousePress(first, Qt::LeftButton, {}, QPoint(30, 30));
            QMouseEvent move(QEvent::MouseMove, QPointF(40, 35), first->mapToGlobal(QPointF(40, 35)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(first, &move);
            QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(40, 35));
            QCOMPARE(first->pos(), start + QPoint(10, 5));
            QCOMPARE(rec.calls.size(), 1);

            Q_EMIT first->removeRequested();
            QCOMPARE(w.floatIconList().size(), 0);
            QTRY_VERIFY(!first);

            second = w.addFloatIcon(0);
            third = w.addFloatIcon(0);
            QCOMPARE(w.floatIconList().size(), 2);
            Q_EMIT second->removeAllRequested();
            QCOMPARE(w.floatIconList().size(), 0);
            QTRY_VERIFY(!second && !third);

            // Tiles left open at shut-down go with the window.
            second = w.addFloatIcon(0);
            third = w.addFloatIcon(0);
            QVERIFY(second && third);
        }
        QVERIFY(!second && !third);
    }

    void openTileDoesNotKeepTheProgramRunning()
    {
        // Closing the panel ends the event loop although a tile is still
        // open (the last-window rule only applies inside the event loop).
        auto* w = new MainWindow;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto* tile = new FloatIcon(QPixmap(), QStringLiteral("x"), QPoint(10, 10));
        tile->show();
        QVERIFY(QTest::qWaitForWindowExposed(tile));
        QTimer::singleShot(0, w, [w] { w->close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        delete tile;
        delete w;
    }
};

TestMainWindowButtons* TestMainWindowButtons::s_self = nullptr;

QTEST_MAIN(TestMainWindowButtons)
#include "test_mainwindow_buttons.moc"
