// The market window: card texts, the painted areas and what a press and a
// release on them do, tabs, search and scrolling.
#include "market/appmarketdialog.h"

#include "app/lang.h"
#include "app/servicehost.h"
#include "market/packagecache.h"
#include "platform/desktopentry.h"
#include "standin.h"
#include "testsupport.h"

#include <QApplication>
#include <QJsonArray>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QMenu>
#include <QWheelEvent>
#include <QSignalSpy>
#include <QtTest>

using testsupport::StandInService;
using Row = AppMarketDialog::AppRow;

Q_DECLARE_METATYPE(Row)

namespace {

Row rowWith(std::function<void(Row&)> change)
{
    Row r;
    r.id = QStringLiteral("x");
    r.version = QStringLiteral("1.2.0");
    change(r);
    return r;
}

} // namespace

class TestMarketWindow : public QObject {
    Q_OBJECT
    StandInService svc;
    std::unique_ptr<AppMarketDialog> dlg;

    void loadApps(int programs, int web = 0)
    {
        QJsonArray apps;
        for (int i = 0; i < programs; ++i)
            apps.append(QJsonObject{{"id", QStringLiteral("p%1").arg(i)}, {"name", QStringLiteral("Tool %1").arg(i)},
                                    {"desc", i % 2 ? "abc editor" : "viewer"}, {"version", "1.0"}});
        for (int i = 0; i < web; ++i)
            apps.append(QJsonObject{{"id", QStringLiteral("w%1").arg(i)}, {"type", "web"},
                                    {"url", "https://example.org/"}});
        svc.control("market.page", {{"page", 1}, {"body", QJsonObject{{"apps", apps}}}});
        dlg->openAndRefresh(QStringLiteral("tok"));
        QTRY_COMPARE(dlg->appRows().size(), programs + web);
        dlg->relayout();
    }
    QRect areaOf(int id)
    {
        dlg->relayout();
        for (const MarketHitArea& a : dlg->lastHitAreas()) {
            if (a.id == id)
                return a.rect;
        }
        return QRect();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
    }
    void init()
    {
        setServiceHostOverride(svc.host());
        svc.control("clear_log");
        dlg = std::make_unique<AppMarketDialog>();
    }
    void cleanup() { dlg.reset(); }

    void cardTexts_data()
    {
        QTest::addColumn<Row>("row");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("status");
        QTest::newRow("not installed") << rowWith([](Row&) {}) << translate(u"安装") << translate(u"未安装");
        QTest::newRow("up to date") << rowWith([](Row& r) { r.installedVersion = "1.2.0"; })
                                    << translate(u"已安装") << translate(u"已安装 %1").arg("1.2.0");
        QTest::newRow("catalogue lower") << rowWith([](Row& r) { r.installedVersion = "1.2.0"; r.version = "1.1.9"; })
                                         << translate(u"升级") << QStringLiteral("1.2.0 → 1.1.9");
        QTest::newRow("error") << rowWith([](Row& r) { r.installedVersion = "1.2.0"; r.error = "boom"; })
                               << translate(u"重试") << QStringLiteral("boom");
        QTest::newRow("downloading") << rowWith([](Row& r) { r.downloading = true; r.received = 1; r.total = 3; })
                                     << translate(u"暂停") << translate(u"下载中 %1%").arg(33);
        QTest::newRow("past the program") << rowWith([](Row& r) {
            r.downloading = true; r.received = 80; r.total = 100; r.exeSize = 50; })
                                          << translate(u"暂停") << translate(u"环境部署中 %1%").arg(80);
        QTest::newRow("paused") << rowWith([](Row& r) { r.paused = true; r.received = 1; r.total = 0; })
                                << translate(u"继续") << translate(u"已暂停 %1%").arg(0);
        QTest::newRow("installing") << rowWith([](Row& r) { r.installing = true; r.downloading = true; })
                                    << translate(u"安装中") << translate(u"安装中…");
        QTest::newRow("web") << rowWith([](Row& r) { r.isWeb = true; }) << translate(u"打开") << translate(u"未安装");
    }
    void cardTexts()
    {
        QFETCH(Row, row);
        QFETCH(QString, button);
        QFETCH(QString, status);
        QCOMPARE(AppMarketDialog::actionButtonText(row), button);
        QCOMPARE(AppMarketDialog::rowStatusText(row), status);
    }

    void headerTabsAndCards()
    {
        loadApps(3, 1);
        const int W = dlg->fixedWindowSize().width();
        QCOMPARE(areaOf(AppMarketDialog::kCloseId), QRect(QPoint(W - 34, 8), QPoint(W - 9, 33)));
        QCOMPARE(areaOf(AppMarketDialog::kTabIdBase + 2), QRect(QPoint(208, 44), QPoint(295, 79)));
        QCOMPARE(dlg->visibleCards(), 3);
        const int column = (W - 44) / 2;
        // Row 1 sits in the second column of the first line.
        const int R = 28 + column + column;
        QCOMPARE(areaOf(1 * 256 + 1), QRect(QPoint(R - 93, 88 + 23), QPoint(R - 22, 88 + 52)));
        QCOMPARE(areaOf(1 * 256 + 2), QRect(QPoint(R - 17, 88 + 23), QPoint(R - 6, 88 + 52)));
        // Row 2 opens the second line.
        QCOMPARE(areaOf(2 * 256 + 1).top(), 88 + 86 + 23);
        // The web app is on its own tab, without a menu button.
        QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, areaOf(AppMarketDialog::kTabIdBase + 1).center());
        QCOMPARE(dlg->selectedTab(), 1);
        dlg->relayout();
        QCOMPARE(dlg->visibleCards(), 1);
        QVERIFY(areaOf(3 * 256 + 1).isValid());
        QVERIFY(!areaOf(3 * 256 + 2).isValid());
        const int R0 = 16 + column;
        QCOMPARE(areaOf(3 * 256 + 1).left(), R0 - 85);
    }

    // A click counts only where it was pressed and released.
    void pressAndReleaseMustMatch()
    {
        loadApps(2);
        const QRect install = areaOf(0 * 256 + 1);
        const QRect other = areaOf(1 * 256 + 1);
        QTest::mousePress(dlg.get(), Qt::LeftButton, {}, install.center());
        QTest::mouseRelease(dlg.get(), Qt::LeftButton, {}, other.center());
        QTest::mousePress(dlg.get(), Qt::LeftButton, {}, install.center());
        QTest::mouseRelease(dlg.get(), Qt::LeftButton, {}, QPoint(5, dlg->height() - 5));
        QTest::mousePress(dlg.get(), Qt::RightButton, {}, install.center());
        QTest::mouseRelease(dlg.get(), Qt::RightButton, {}, install.center());
        QTest::qWait(200);
        QVERIFY(!dlg->appRows().at(0).installing);
        QCOMPARE(svc.requestsTo("/update/apps/p0.json").size(), 0);
        QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, install.center());
        QVERIFY(dlg->appRows().at(0).installing);
    }

    void closeHidesAndKeepsState()
    {
        loadApps(1);
        QVERIFY(dlg->isVisible());
        QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, areaOf(AppMarketDialog::kCloseId).center());
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->appRows().size(), 1);
    }

    void searchFilters()
    {
        loadApps(4);
        dlg->searchBox()->setText(QStringLiteral("  ABC "));
        dlg->relayout();
        QCOMPARE(dlg->visibleCards(), 2);
        dlg->searchBox()->setText(QStringLiteral("zzz"));
        dlg->relayout();
        QCOMPARE(dlg->visibleCards(), 0);
        // Opening again clears the search.
        dlg->openAndRefresh(QStringLiteral("tok"));
        QVERIFY(dlg->searchBox()->text().isEmpty());
        QTRY_VERIFY(dlg->isIndexLoaded());
        dlg->relayout();
        QCOMPARE(dlg->visibleCards(), 4);
    }

    void scrolling()
    {
        loadApps(5);
        // Three lines of cards fit the window: no scrolling at all.
        QWheelEvent down(QPointF(100, 200), dlg->mapToGlobal(QPointF(100, 200)), QPoint(), QPoint(0, -240),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(dlg.get(), &down);
        QCOMPARE(dlg->scroll(), 0);

        loadApps(20);
        const int H = dlg->fixedWindowSize().height();
        const int limit = 10 * 86 - H + 124;
        for (int i = 0; i < 20; ++i)
            QApplication::sendEvent(dlg.get(), &down);
        QCOMPARE(dlg->scroll(), limit);
        QWheelEvent up(QPointF(100, 200), dlg->mapToGlobal(QPointF(100, 200)), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(dlg.get(), &up);
        QCOMPARE(dlg->scroll(), limit - 60);
        // Cards scrolled out of the list are neither drawn nor clickable.
        dlg->relayout();
        QVERIFY(!areaOf(0 * 256 + 1).isValid());
    }

    void registryWriteFailureNotice()
    {
        // A folder where the registry file should be: no save can replace it.
        QVERIFY(QDir().mkpath(registryPath()));
        dlg->show();
        dlg->saveRegistry();
        QCOMPARE(dlg->notice(), translate(u"已安装应用清单无法写入，重启后可能显示为未安装"));
        QDir(registryPath()).removeRecursively();
    }

    void menuEntries()
    {
        QMenu menu;
        Row r;
        r.id = "m";
        dlg->fillRowMenu(&menu, r);
        QStringList texts;
        QList<bool> enabled;
        for (QAction* a : menu.actions()) {
            texts << a->text();
            enabled << a->isEnabled();
        }
        QCOMPARE(texts, QStringList({translate(u"打开"), translate(u"安装"), translate(u"打开所在位置"), translate(u"卸载"),
                                     translate(u"添加到面板"), translate(u"演示官网")}));
        QCOMPARE(enabled, QList<bool>({false, true, false, false, false, false}));
        menu.clear();
        r.installedVersion = "1.0";
        r.demoUrl = "https://example.org";
        dlg->fillRowMenu(&menu, r);
        QCOMPARE(menu.actions().at(1)->text(), translate(u"重装"));
        for (QAction* a : menu.actions())
            QVERIFY(a->isEnabled());
        menu.clear();
        r.isWeb = true;
        dlg->fillRowMenu(&menu, r);
        QCOMPARE(menu.actions().size(), 2);
        for (int kind = 0; kind <= 5; ++kind)
            QVERIFY(!paintMenuIcon(kind).isNull());
    }

    // What a desktop shortcut starts is exactly the program, whatever its
    // path holds.
    void shortcutStartsTheProgram()
    {
        const QString dir = testsupport::testRoot() + QStringLiteral("/my apps/it's \"100%\"");
        const QString target = dir + QStringLiteral("/run $HOME `x`.sh");
        QVERIFY(testsupport::writeFile(target, "#!/bin/sh\n"));
        QVERIFY(!createDesktopShortcut(dir + QStringLiteral("/missing"), dir, QStringLiteral("Gone"), QString()));
        QVERIFY(createDesktopShortcut(target, dir, QStringLiteral(" Tool\tX"), QString()));
        const QString file = QDir::homePath() + QStringLiteral("/Desktop/Tool_X.desktop");
        DesktopEntry entry;
        QVERIFY(readDesktopEntryFile(file, &entry));
        QCOMPARE(entry.type, QStringLiteral("Application"));
        QCOMPARE(entry.name, QStringLiteral(" Tool\tX"));
        QCOMPARE(entry.path, dir);
        QStringList argv;
        QString error;
        QVERIFY2(splitDesktopExec(entry.exec, &argv, &error), qPrintable(error));
        // A "%" in the path: started through env, so that GLib, which looks
        // the first word up as written, takes the entry too.
        QCOMPARE(argv, (QStringList{QStringLiteral("env"), target}));
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (!gio.isEmpty()) {
            QVERIFY(testsupport::writeFile(target, "#!/bin/sh\n: > \"$0.ran\"\n"));
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            QProcess launch;
            launch.setProcessChannelMode(QProcess::ForwardedChannels);
            launch.start(gio, {QStringLiteral("launch"), file});
            QVERIFY(launch.waitForFinished(20000));
            QCOMPARE(launch.exitCode(), 0);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(target + QStringLiteral(".ran")), 20000);
        }
        QCOMPARE(QFileInfo(file).permissions() & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
                     | QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    }

    // A file of the shortcut's name that the panel did not write keeps its
    // place and its bytes, a link is never written through, and the
    // shortcut takes the next free name; only the panel's own shortcut to
    // the same program is replaced.
    void shortcutLeavesOtherFilesAlone_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the user's own entry") << "file" << "Notes (2).desktop";
        QTest::newRow("link into autostart") << "link" << "Notes (2).desktop";
        QTest::newRow("link to nothing") << "dangling" << "Notes (2).desktop";
        QTest::newRow("a folder") << "folder" << "Notes (2).desktop";
        QTest::newRow("the panel's own shortcut") << "own" << "Notes.desktop";
    }
    void shortcutLeavesOtherFilesAlone()
    {
        QFETCH(QString, existing);
        QFETCH(QString, expected);
        const QString desktop = QDir::homePath() + QStringLiteral("/Desktop");
        QDir(desktop).removeRecursively();
        QVERIFY(QDir().mkpath(desktop));
        const QString dir = testsupport::testRoot() + QStringLiteral("/shortcut-apps");
        const QString target = dir + QStringLiteral("/notes.sh");
        QVERIFY(testsupport::writeFile(target, "#!/bin/sh\n"));
        const QString autostart = testsupport::testRoot() + QStringLiteral("/autostart/Mail.desktop");
        const QByteArray theirs = "[Desktop Entry]\nType=Application\nName=Mine\nExec=mine\n";
        QVERIFY(testsupport::writeFile(autostart, theirs));
        const QString taken = desktop + QStringLiteral("/Notes.desktop");
        if (existing == QLatin1String("file"))
            QVERIFY(testsupport::writeFile(taken, theirs));
        else if (existing == QLatin1String("link"))
            QVERIFY(QFile::link(autostart, taken));
        else if (existing == QLatin1String("dangling"))
            QVERIFY(QFile::link(testsupport::testRoot() + QStringLiteral("/nowhere/Mail.desktop"), taken));
        else if (existing == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(taken));
        else
            QVERIFY(createDesktopShortcut(target, dir, QStringLiteral("Notes"), QString()));
        const testsupport::FileTree before = testsupport::treeOf(desktop);

        QVERIFY(createDesktopShortcut(target, dir, QStringLiteral("Notes"), QString()));
        QCOMPARE(testsupport::readFile(autostart), theirs);
        QVERIFY(!QFileInfo::exists(testsupport::testRoot() + QStringLiteral("/nowhere")));
        const testsupport::FileTree after = testsupport::treeOf(desktop);
        for (auto it = before.begin(); it != before.end(); ++it) {
            if (existing != QLatin1String("own"))
                QCOMPARE(after.value(it.key()), it.value());
        }
        QCOMPARE(after.size(), before.size() + (existing == QLatin1String("own") ? 0 : 1));
        DesktopEntry entry;
        QVERIFY(readDesktopEntryFile(desktop + QLatin1Char('/') + expected, &entry));
        QStringList argv;
        QVERIFY(splitDesktopExec(entry.exec, &argv, nullptr));
        QCOMPARE(argv, QStringList{target});
        QVERIFY(QFileInfo(desktop + QLatin1Char('/') + expected).isExecutable());
    }

    void shortcutNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::newRow("three question marks") << "???" << "___";
        QTest::newRow("only spaces") << "   " << translate(u"应用");
        QTest::newRow("forbidden mix") << " a\\b/c:d*e\"f<g>h|i " << "a_b_c_d_e_f_g_h_i";
        QTest::newRow("line break") << "one\ntwo" << "one_two";
    }
    void shortcutNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QCOMPARE(desktopShortcutBaseName(name), file);
    }
};

QTEST_MAIN(TestMarketWindow)
#include "test_marketwindow.moc"
