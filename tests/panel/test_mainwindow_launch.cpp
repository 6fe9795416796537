// Opening items from the main window: which launch each item makes, the
// missing-target toast, obfuscation substitutes, and the road from the icon
// grid and the sidebar into the window.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "app/paths.h"
#include "fakelauncher.h"
#include "panel/layoutfile.h"
#include "standin.h"
#include "testsupport.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/toast.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace {

QString root() { return cachedAppDataDir(); }
QString files() { return testsupport::testRoot() + QStringLiteral("/targets"); }
QString existing() { return files() + QStringLiteral("/report.pdf"); }
QString substitute() { return files() + QStringLiteral("/other.pdf"); }
QString gone() { return files() + QStringLiteral("/gone.pdf"); }
const QString kTrash = QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}");

PanelItem item(const QString& path, const QString& workDir = QString(), const QString& args = QString(),
               bool admin = false)
{
    PanelItem it;
    it.path = path;
    it.name = QFileInfo(path).fileName();
    it.workDir = workDir;
    it.args = args;
    it.runAsAdmin = admin;
    return it;
}

void writeLayout(const QList<PanelItem>& items)
{
    PanelGroup g;
    g.name = QStringLiteral("G");
    g.items = items;
    PanelGroup other;
    other.name = QStringLiteral("H");
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/layout.json"), serializeLayout({g, other})));
}

void writeSettings(bool obfuscate, const QMap<QString, QString>& map)
{
    AppSettings s;
    s.obfuscateEnabled = obfuscate;
    s.obfuscateMap = map;
    QString error;
    QVERIFY2(saveAppSettings(root() + QStringLiteral("/settings.json"), s, QSize(680, 496), &error),
             qPrintable(error));
}

Toast* toastOf(MainWindow& w) { return w.findChild<Toast*>(); }

} // namespace

Q_DECLARE_METATYPE(PanelItem)

class TestMainWindowLaunch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(root().startsWith(testsupport::testRoot()));
        QVERIFY(testsupport::writeFile(existing(), "pdf"));
        QVERIFY(testsupport::writeFile(substitute(), "pdf"));
    }
    void init()
    {
        setLanguage(0);
        QFile::remove(root() + QStringLiteral("/settings.json"));
    }

    void launchTable_data()
    {
        QTest::addColumn<PanelItem>("it");
        QTest::addColumn<bool>("viaUrl");
        QTest::addColumn<bool>("runAs");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("workDir");
        const QString dir = files();
        QTest::newRow("admin with folder") << item(existing(), dir, "-x", true) << false << true << existing() << "-x" << dir;
        QTest::newRow("admin without folder") << item(existing(), "", "", true) << false << true << existing() << "" << "";
        QTest::newRow("folder set") << item(existing(), dir) << false << false << existing() << "" << dir;
        QTest::newRow("arguments set") << item(existing(), "", "--page 2") << false << false << existing() << "--page 2" << "";
        QTest::newRow("shell place as stored") << item(kTrash) << false << false << kTrash << "" << "";
        QTest::newRow("plain document through the desktop") << item(existing()) << true << false << existing() << "" << "";
        QTest::newRow("plain folder through the desktop") << item(dir) << true << false << dir << "" << "";
    }
    void launchTable()
    {
        QFETCH(PanelItem, it);
        QFETCH(bool, viaUrl);
        QFETCH(bool, runAs);
        QFETCH(QString, target);
        writeLayout({it});
        MainWindow w;
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        w.onItemActivated(0);
        QCOMPARE(rec.calls.size(), 1);
        const auto& call = rec.calls.first();
        QCOMPARE(call.viaUrl, viaUrl);
        if (viaUrl) {
            QCOMPARE(call.url, QUrl::fromLocalFile(target));
            return;
        }
        QCOMPARE(call.request.verb, runAs ? Launcher::Verb::RunAs : Launcher::Verb::Open);
        QCOMPARE(call.request.target, target);
        QTEST(call.request.arguments, "args");
        QTEST(call.request.workDir, "workDir");
        QVERIFY(!toastOf(w) || toastOf(w)->text().isEmpty());
    }

    void missingAndSubstitutes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("obfuscate");
        QTest::addColumn<QString>("mapped");     // substitute for the item's path
        QTest::addColumn<QString>("launched");   // empty: the missing toast, no launch
        QTest::newRow("missing target") << gone() << false << "" << "";
        QTest::newRow("substitute exists, own path gone") << gone() << true << substitute() << substitute();
        QTest::newRow("substitute gone, own path exists") << existing() << true << gone() << "";
        QTest::newRow("empty substitute keeps own path") << existing() << true << "" << existing();
        QTest::newRow("substitutes ignored while off") << existing() << false << substitute() << existing();
    }
    void missingAndSubstitutes()
    {
        QFETCH(QString, path);
        QFETCH(bool, obfuscate);
        QFETCH(QString, mapped);
        QFETCH(QString, launched);
        writeSettings(obfuscate, {{path, mapped}});
        writeLayout({item(path)});
        MainWindow w;
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        w.onItemActivated(0);
        if (launched.isEmpty()) {
            QVERIFY(rec.calls.isEmpty());
            QVERIFY(toastOf(w));
            QCOMPARE(toastOf(w)->text(), translate("源文件已不存在，可右键重新定位或从面板移除"));
            QVERIFY(toastOf(w)->isFailure());
        } else {
            QCOMPARE(rec.calls.size(), 1);
            QCOMPARE(rec.calls.first().url, QUrl::fromLocalFile(launched));
        }
    }

    // The usage report names the item's own market app, not the app of its
    // obfuscation substitute, and follows only a launch that started; an
    // item nothing can open gets the failure toast instead.
    void usageReportFollowsAStartedLaunch_data()
    {
        QTest::addColumn<bool>("obfuscate");
        QTest::addColumn<bool>("starts");
        QTest::newRow("own app") << false << true;
        QTest::newRow("substitute of another app") << true << true;
        QTest::newRow("nothing can open it") << false << false;
    }
    void usageReportFollowsAStartedLaunch()
    {
        QFETCH(bool, obfuscate);
        QFETCH(bool, starts);
        testsupport::StandInService svc;
        QString error;
        QVERIFY2(svc.start(&error), qPrintable(error));
        const QString own = root() + QStringLiteral("/apps/alpha/alpha.run");
        const QString other = root() + QStringLiteral("/apps/beta/beta.run");
        const QString plain = existing();
        QVERIFY(testsupport::writeFile(own, "a"));
        QVERIFY(testsupport::writeFile(other, "b"));
        writeSettings(obfuscate, {{own, other}});
        writeLayout({item(own), item(plain)});
        MainWindow w;
        testsupport::RecordingLauncher rec;
        rec.result = starts;
        testsupport::LauncherOverride guard(&rec);
        w.onItemActivated(0);
        QCOMPARE(rec.calls.size(), 1);
        if (!starts) {
            QVERIFY(toastOf(w));
            QCOMPARE(toastOf(w)->text(), translate("无法打开「%1」").arg(QStringLiteral("alpha.run")));
            QVERIFY(toastOf(w)->isFailure());
            // A launch that starts afterwards is reported: the only report.
            rec.result = true;
            w.onItemActivated(0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/appstat.php")).size(), 1, 15000);
        const QJsonObject report = svc.requestsTo(QStringLiteral("/api/appstat.php")).first().toObject();
        const QJsonObject body = QJsonDocument::fromJson(report.value(QStringLiteral("body")).toString().toUtf8()).object();
        QCOMPARE(body.value(QStringLiteral("app_id")).toString(), QStringLiteral("alpha"));
        // A panel item outside the market reports nothing.
        w.onItemActivated(1);
        QTRY_COMPARE(rec.calls.size(), starts ? 2 : 3);
        QCOMPARE(svc.requestsTo(QStringLiteral("/api/appstat.php")).size(), 1);
    }

    void indexOutsideTheGroupDoesNothing()
    {
        writeLayout({item(existing()), item(gone())});
        MainWindow w;
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        w.onItemActivated(2);
        w.onItemActivated(-1);
        QVERIFY(rec.calls.isEmpty());
        QVERIFY(!toastOf(w));
    }

    void gridAndSidebarAreWiredIn()
    {
        writeLayout({item(existing()), item(substitute())});
        MainWindow w;
        w.resize(680, 496);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        auto* grid = w.findChild<IconGrid*>();
        auto* sidebar = w.findChild<Sidebar*>();
        QVERIFY(grid && sidebar);
        // Placed beside each other under the title strip.
        QCOMPARE(sidebar->geometry(), QRect(0, 28, 172, 496 - 56));
        QCOMPARE(grid->geometry(), QRect(QPoint(172, 28), QPoint(679, 496 - 29)));
        QCOMPARE(grid->visibleItems().size(), 2);
        // Single-click opening is the stored default, and the window hands it
        // to the grid: one click on the second icon opens the second item.
        QTest::mouseClick(grid, Qt::LeftButton, {}, grid->itemRect(1).center());
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url, QUrl::fromLocalFile(substitute()));
        // Picking the second group empties the grid.
        QTest::mouseClick(sidebar, Qt::LeftButton, {}, sidebar->layoutNow().rowRect(1).center());
        QCOMPARE(w.currentGroup(), 1);
        QVERIFY(grid->visibleItems().isEmpty());
    }
};

QTEST_MAIN(TestMainWindowLaunch)
#include "test_mainwindow_launch.moc"
