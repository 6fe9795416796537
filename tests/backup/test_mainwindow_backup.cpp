// The window's side of backup and maintenance: the automatic backup's
// schedule and its cancellation at quit, the user-data bundle through the
// window, the reload after a restore, and maintenance actions that fail
// and leave the panel as it was.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "app/paths.h"
#include "backup/backupengine.h"
#include "backup/maintenancescripts.h"
#include "backup/restoreguard.h"
#include "backup/scriptrunner.h"
#include "panel/layoutfile.h"
#include "testsupport.h"
#include "widgets/toast.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>

namespace {

QString root() { return cachedAppDataDir(); }
QString backups() { return root() + QStringLiteral("/Backups"); }

void writeSettings(const std::function<void(AppSettings&)>& edit)
{
    AppSettings s;
    s.backupAuto = false;
    edit(s);
    QString error;
    QVERIFY2(saveAppSettings(root() + QStringLiteral("/settings.json"), s, QSize(800, 500), &error), qPrintable(error));
}

AppSettings savedSettings()
{
    AppSettings s;
    QSize size;
    loadAppSettings(root() + QStringLiteral("/settings.json"), s, &size);
    return s;
}

void writeLayout(const QString& groupName)
{
    PanelItem it;
    it.path = root() + QStringLiteral("/files/report.pdf");
    it.name = QStringLiteral("report");
    PanelGroup g;
    g.name = groupName;
    g.items = { it };
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/layout.json"), serializeLayout({ g })));
}

QString toastText(MainWindow& w)
{
    const Toast* t = w.findChild<Toast*>();
    return t ? t->text() : QString();
}

QStringList backupFiles()
{
    return QDir(backups()).entryList(QDir::Files | QDir::Hidden);
}

bool scriptTempsPresent()
{
    return !QDir(QDir::tempPath()).entryList({ QStringLiteral("krvbak_*") }, QDir::Dirs | QDir::Files).isEmpty();
}

// The snapshot's zip being written.
bool zipBeingWritten()
{
    const QStringList files = backupFiles();
    return std::any_of(files.cbegin(), files.cend(), [](const QString& name) { return name.endsWith(QLatin1String(".part")); });
}

// An open window of the program: counts the language-change notices it gets.
struct LanguageProbe : QWidget {
    int changes = 0;
    void changeEvent(QEvent* e) override
    {
        if (e->type() == QEvent::LanguageChange)
            ++changes;
        QWidget::changeEvent(e);
    }
};

} // namespace

class TestMainWindowBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void firstCheckSweepsStalePartsEvenWhenOff();
    void notDueStartsNothing();
    void dueRunSnapshotsAndMovesTheTime();
    void quitCancelsTheRunWithinBudget();
    void autoBackupTellsTheUser_data();
    void autoBackupTellsTheUser();
    void exportImportRoundTrip();
    void importRefusals_data();
    void importRefusals();
    void reloadAfterRestoreFollowsTheFiles();
    void failedMaintenanceKeepsThePanel_data();
    void failedMaintenanceKeepsThePanel();
    void exportLogsWithoutLogs();

private:
    std::unique_ptr<MainWindow> window();
};

std::unique_ptr<MainWindow> TestMainWindowBackup::window()
{
    auto w = std::make_unique<MainWindow>();
    w->maintenanceUi.confirm = [](QWidget*, const QString&, const QString&, bool) { return true; };
    return w;
}

void TestMainWindowBackup::init()
{
    QDir(root()).removeRecursively();
    QVERIFY(QDir().mkpath(root()));
    writeSettings([](AppSettings&) {});
    writeLayout(QStringLiteral("Alpha"));
}

void TestMainWindowBackup::firstCheckSweepsStalePartsEvenWhenOff()
{
    // Writers that are gone: an old part is swept, a recent one is not yet.
    const QString stale = backups() + QStringLiteral("/Quillory-Auto-20240101-000000-000.zip.4194303.part");
    const QString recent = backups() + QStringLiteral("/Quillory-Auto-20240102-000000-000.zip.4194302.part");
    QVERIFY(testsupport::writeFile(stale, "partial"));
    QVERIFY(testsupport::writeFile(recent, "partial"));
    QVERIFY(testsupport::setModificationTime(stale, QDateTime::currentDateTime().addSecs(-7 * 3600)));
    auto w = window();
    QVERIFY(!w->settings.backupAuto);
    w->runAutoBackupIfDue();
    QTRY_VERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(recent));
    QVERIFY(!w->autoBackupWatcher);
}

void TestMainWindowBackup::notDueStartsNothing()
{
    auto w = window();
    w->settings.backupAuto = true;
    w->settings.backupLastAt = QDateTime::currentDateTime().addSecs(-23 * 3600).toString(Qt::ISODate);
    w->runAutoBackupIfDue();
    QVERIFY(!w->autoBackupWatcher);
    QVERIFY(!QFileInfo::exists(backups()));
}

void TestMainWindowBackup::dueRunSnapshotsAndMovesTheTime()
{
    if (powerShellProgram().isEmpty())
        QSKIP("pwsh is not installed");
    auto w = window();
    w->settings.backupAuto = true;
    w->settings.backupLastAt = QStringLiteral("not a date");
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    w->runAutoBackupIfDue();
    QVERIFY(w->autoBackupWatcher);
    QVERIFY(w->autoBackupWatcher->isRunning());
    // A check while it runs starts nothing more: one snapshot at the end.
    w->runAutoBackupIfDue();

    QTRY_VERIFY_WITH_TIMEOUT(QDateTime::fromString(w->settings.backupLastAt, Qt::ISODate).isValid(), 300000);
    QVERIFY(QDateTime::fromString(w->settings.backupLastAt, Qt::ISODate) >= started);
    QCOMPARE(savedSettings().backupLastAt, w->settings.backupLastAt);
    QCOMPARE(BackupEngine::listSnapshots(backups()).size(), 1);
}

void TestMainWindowBackup::quitCancelsTheRunWithinBudget()
{
    if (powerShellProgram().isEmpty())
        QSKIP("pwsh is not installed");
    // Enough data that the run is still going when the quit comes.
    QByteArray noise(48 * 1024 * 1024, '\0');
    quint32 x = 2463534242u;
    for (char& c : noise) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/files/noise.bin"), noise));
    auto w = window();
    w->settings.backupAuto = true;
    w->runAutoBackupIfDue();
    QVERIFY(w->autoBackupWatcher && w->autoBackupWatcher->isRunning());
    // The script is at work.
    QTRY_VERIFY_WITH_TIMEOUT(zipBeingWritten() || w->autoBackupTask.isFinished(), 120000);
    QVERIFY2(!w->autoBackupTask.isFinished(), "the run ended before the quit; nothing to cancel");

    QElapsedTimer clock;
    clock.start();
    w->stopBackupWorkers(2500);
    const qint64 spent = clock.elapsed();
    // As after the quit: no further run from the window's own timer.
    w->settings.backupAuto = false;
    QVERIFY2(w->autoBackupTask.isFinished(), qPrintable(QStringLiteral("still running after %1 ms").arg(spent)));
    QVERIFY2(spent <= 2500 + 200, qPrintable(QString::number(spent)));
    QVERIFY2(backupFiles().isEmpty(), qPrintable(backupFiles().join(QLatin1Char(' '))));
    QVERIFY(!scriptTempsPresent());
    // The finished handler sees the cancel and leaves the time alone.
    QTest::qWait(100);
    QVERIFY(w->settings.backupLastAt.isEmpty());
    QVERIFY(savedSettings().backupLastAt.isEmpty());
}

void TestMainWindowBackup::autoBackupTellsTheUser_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("toast");
    QTest::addColumn<bool>("done");
    QTest::newRow("failed") << QStringLiteral("failed") << QStringLiteral("自动备份失败：") << false;
    QTest::newRow("names left out") << QStringLiteral("names")
                                    << QStringLiteral("1 个文件或文件夹的名称不是有效的 UTF-8，无法存入快照，已跳过：") << true;
}

void TestMainWindowBackup::autoBackupTellsTheUser()
{
    QFETCH(QString, kind);
    QFETCH(QString, toast);
    QFETCH(bool, done);
    if (powerShellProgram().isEmpty())
        QSKIP("pwsh is not installed");
    auto w = window();
    w->settings.backupAuto = true;
    if (kind == QStringLiteral("failed")) {
        const QString blocker = testsupport::testRoot() + QStringLiteral("/not-a-folder");
        QVERIFY(testsupport::writeFile(blocker, "x"));
        w->settings.backupDir = blocker + QStringLiteral("/Backups");
    } else {
        QVERIFY(testsupport::writeFileAtRawPath(QFile::encodeName(root()) + "/files/bad\xff.txt", "b"));
    }
    w->runAutoBackupIfDue();
    QVERIFY(w->autoBackupWatcher);
    QTRY_VERIFY_WITH_TIMEOUT(toastText(*w).startsWith(toast), 300000);
    QCOMPARE(QDateTime::fromString(w->settings.backupLastAt, Qt::ISODate).isValid(), done);
    if (done)
        QCOMPARE(BackupEngine::listSnapshots(backups()).size(), 1);
}

void TestMainWindowBackup::exportImportRoundTrip()
{
    writeSettings([](AppSettings& s) { s.iconSize = 64; });
    const QByteArray registry = "{\"installed\":[{\"id\":\"app1\",\"version\":\"1.0\",\"launch\":\"app1\"}]}";
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/apps_registry.json"), registry));
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/auth.json"), "{\"user\":\"before\"}"));
    auto w = window();
    const QString bundle = testsupport::testRoot() + QStringLiteral("/bundle.json");
    w->maintenanceUi.saveFileName = [bundle](QWidget*, const QString&, const QString& path, const QString&) {
        return path.endsWith(QStringLiteral(".json")) ? bundle : QString();
    };
    w->exportUserData();
    QCOMPARE(toastText(*w), QStringLiteral("已导出到 %1").arg(bundle));
    QVERIFY(!testsupport::readFile(bundle).contains("before"));

    // Everything changes after the export.
    w->groups[0].name = QStringLiteral("Changed");
    QVERIFY(w->saveLayout());
    w->settings.iconSize = 40;
    w->settings.language = 1;
    setLanguage(1);
    QVERIFY(w->saveSettings());
    QVERIFY(QFile::remove(root() + QStringLiteral("/apps_registry.json")));
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/auth.json"), "{\"user\":\"after\"}"));

    w->maintenanceUi.openFileName = [bundle](QWidget*, const QString&, const QString&, const QString&) { return bundle; };
    LanguageProbe openWindow;
    w->importUserData();
    QCOMPARE(currentLanguage(), 0);
    QVERIFY(openWindow.changes > 0);
    QCOMPARE(toastText(*w), QStringLiteral("数据已导入并生效"));
    QCOMPARE(w->groups.size(), 1);
    QCOMPARE(w->groups[0].name, QStringLiteral("Alpha"));
    QCOMPARE(w->settings.iconSize, 64);
    QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(root() + QStringLiteral("/apps_registry.json"))),
             QJsonDocument::fromJson(registry));
    QCOMPARE(testsupport::readFile(root() + QStringLiteral("/auth.json")), QByteArray("{\"user\":\"after\"}"));
}

void TestMainWindowBackup::importRefusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("toast");
    QTest::newRow("not a bundle") << QStringLiteral("invalid") << QStringLiteral("导入失败：不是有效的备份文件");
    QTest::newRow("missing file") << QStringLiteral("missing") << QStringLiteral("导入失败：无法读取文件");
    QTest::newRow("answered no") << QStringLiteral("no") << QString();
    QTest::newRow("layout file is a link") << QStringLiteral("link")
                                           << QStringLiteral("导入失败：配置文件位置不安全，已中止导入");
    // Bundles the loaders would set aside or read only in part: importing
    // them lost the user's groups and settings for an empty default.
    const QString badLayout = QStringLiteral("导入失败：备份中的分组布局有无法读取的内容，未导入任何数据");
    const QString badSettings = QStringLiteral("导入失败：备份中的设置有无法读取的内容，未导入任何数据");
    QTest::newRow("groups is a text") << QStringLiteral("groups-text") << badLayout;
    QTest::newRow("groups is a number") << QStringLiteral("groups-number") << badLayout;
    QTest::newRow("items given as an object") << QStringLiteral("items-object") << badLayout;
    QTest::newRow("an item without a path") << QStringLiteral("item-no-path") << badLayout;
    QTest::newRow("deep nesting") << QStringLiteral("deep") << badLayout;
    QTest::newRow("settings missing") << QStringLiteral("settings-missing") << QStringLiteral("导入失败：不是有效的备份文件");
    QTest::newRow("settings not an object") << QStringLiteral("settings-array") << QStringLiteral("导入失败：不是有效的备份文件");
    QTest::newRow("a setting of the wrong type") << QStringLiteral("settings-type") << badSettings;
}

void TestMainWindowBackup::importRefusals()
{
    QFETCH(QString, kind);
    QFETCH(QString, toast);
    const QString bundle = testsupport::testRoot() + QStringLiteral("/in.json");
    const QJsonObject item{ { QStringLiteral("path"), QStringLiteral("/usr/bin/true") } };
    const QJsonObject group{ { QStringLiteral("name"), QStringLiteral("Imported") },
                             { QStringLiteral("items"), QJsonArray{ item } } };
    QJsonObject b{ { QStringLiteral("app"), QStringLiteral("TarnavelPanel") },
                   { QStringLiteral("layout"), QJsonObject{ { QStringLiteral("groups"), QJsonArray{ group } } } },
                   { QStringLiteral("settings"), QJsonObject{ { QStringLiteral("iconSize"), 64 } } } };
    const auto setLayout = [&b](const QJsonValue& groups) {
        b.insert(QStringLiteral("layout"), QJsonObject{ { QStringLiteral("groups"), groups } });
    };
    QByteArray bytes;
    if (kind == QStringLiteral("invalid"))
        b.insert(QStringLiteral("app"), QStringLiteral("Other"));
    else if (kind == QStringLiteral("groups-text"))
        setLayout(QStringLiteral("x"));
    else if (kind == QStringLiteral("groups-number"))
        setLayout(5);
    else if (kind == QStringLiteral("items-object"))
        setLayout(QJsonArray{ QJsonObject{ { QStringLiteral("name"), QStringLiteral("G") }, { QStringLiteral("items"), item } } });
    else if (kind == QStringLiteral("item-no-path"))
        setLayout(QJsonArray{ QJsonObject{ { QStringLiteral("name"), QStringLiteral("G") },
                                           { QStringLiteral("items"), QJsonArray{ item, QJsonObject{ { QStringLiteral("name"), QStringLiteral("n") } } } } } });
    else if (kind == QStringLiteral("settings-missing"))
        b.remove(QStringLiteral("settings"));
    else if (kind == QStringLiteral("settings-array"))
        b.insert(QStringLiteral("settings"), QJsonArray());
    else if (kind == QStringLiteral("settings-type"))
        b.insert(QStringLiteral("settings"), QJsonObject{ { QStringLiteral("iconSize"), QStringLiteral("big") } });
    bytes = QJsonDocument(b).toJson();
    if (kind == QStringLiteral("deep")) {
        // The groups' first item nests 1,000 lists deep in its name.
        const QByteArray name = QByteArray(1000, '[') + QByteArray(1000, ']');
        bytes = "{\"app\":\"TarnavelPanel\",\"settings\":{},\"layout\":{\"groups\":[{\"name\":\"G\",\"items\":"
                "[{\"path\":\"/usr/bin/true\",\"name\":" + name + "}]}]}}";
    }
    QVERIFY(testsupport::writeFile(bundle, bytes));
    auto w = window();
    const QString outside = testsupport::testRoot() + QStringLiteral("/outside.json");
    if (kind == QStringLiteral("link")) {
        QVERIFY(testsupport::writeFile(outside, "not the panel's"));
        QVERIFY(QFile::remove(root() + QStringLiteral("/layout.json")));
        QVERIFY(QFile::link(outside, root() + QStringLiteral("/layout.json")));
    }
    if (kind == QStringLiteral("no"))
        w->maintenanceUi.confirm = [](QWidget*, const QString&, const QString&, bool) { return false; };
    const QString chosen = kind == QStringLiteral("missing") ? bundle + QStringLiteral(".gone") : bundle;
    w->maintenanceUi.openFileName = [chosen](QWidget*, const QString&, const QString&, const QString&) { return chosen; };
    const QByteArray layoutBefore = testsupport::readFile(root() + QStringLiteral("/layout.json"));
    const QByteArray settingsBefore = testsupport::readFile(root() + QStringLiteral("/settings.json"));

    w->importUserData();
    QCOMPARE(toastText(*w), toast);
    QCOMPARE(testsupport::readFile(root() + QStringLiteral("/layout.json")), layoutBefore);
    QCOMPARE(testsupport::readFile(root() + QStringLiteral("/settings.json")), settingsBefore);
    QCOMPARE(w->groups[0].name, QStringLiteral("Alpha"));
    if (kind == QStringLiteral("link"))
        QCOMPARE(testsupport::readFile(outside), QByteArray("not the panel's"));
}

void TestMainWindowBackup::reloadAfterRestoreFollowsTheFiles()
{
    auto w = window();
    QCOMPARE(w->groups[0].name, QStringLiteral("Alpha"));
    // What a restore leaves: other files on disk and saves held.
    writeLayout(QStringLiteral("Restored"));
    writeSettings([](AppSettings& s) {
        s.language = 1;
        s.iconSize = 72;
    });
    restoreguard::savesHeldCount().fetch_add(1);
    QVERIFY(BackupEngine::savesHeld());
    LanguageProbe openWindow;

    w->reloadAfterRestore();
    QCOMPARE(w->groups[0].name, QStringLiteral("Restored"));
    QCOMPARE(w->settings.iconSize, 72);
    QCOMPARE(currentLanguage(), 1);
    QVERIFY(openWindow.changes > 0);
    QVERIFY(!BackupEngine::savesHeld());
    setLanguage(0);
}

void TestMainWindowBackup::failedMaintenanceKeepsThePanel_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("toast");
    QTest::newRow("uninstall, answered no") << false << QStringLiteral("no") << QString();
    QTest::newRow("uninstall, script not writable") << false << QStringLiteral("write")
                                                    << QStringLiteral("卸载失败：无法写临时脚本");
    QTest::newRow("uninstall, script not started") << false << QStringLiteral("start")
                                                   << QStringLiteral("卸载失败：无法启动卸载脚本，请手动卸载");
    QTest::newRow("reset, answered no") << true << QStringLiteral("no") << QString();
    QTest::newRow("reset, script not writable") << true << QStringLiteral("write")
                                                << QStringLiteral("初始化失败：无法写临时脚本");
    QTest::newRow("reset, script not started") << true << QStringLiteral("start")
                                               << QStringLiteral("初始化失败：无法启动重置脚本，请手动清理数据目录");
}

void TestMainWindowBackup::failedMaintenanceKeepsThePanel()
{
    QFETCH(bool, reset);
    QFETCH(QString, failure);
    QFETCH(QString, toast);
    auto w = window();
    QStringList started;
    w->maintenanceUi.startDetached = [&started, failure](const QString& program, const QStringList& args, const QString&) {
        started << program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
        return failure != QStringLiteral("start");
    };
    if (failure == QStringLiteral("no"))
        w->maintenanceUi.confirm = [](QWidget*, const QString&, const QString&, bool) { return false; };
    // No private folder anywhere: the runtime folder and the temporary
    // folder it falls back to are files.
    const QByteArray tmp = qgetenv("TMPDIR");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QString notAFolder = testsupport::testRoot() + QStringLiteral("/tmp-is-a-file");
    if (failure == QStringLiteral("write")) {
        QVERIFY(testsupport::writeFile(notAFolder, "x"));
        qputenv("TMPDIR", QFile::encodeName(notAFolder));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(notAFolder));
    }
    if (reset)
        w->factoryReset();
    else
        w->uninstallApp(true);
    qputenv("TMPDIR", tmp);
    qputenv("XDG_RUNTIME_DIR", runtime);

    QCOMPARE(toastText(*w), toast);
    QVERIFY(!w->quitRequested);
    QCOMPARE(started.size(), failure == QStringLiteral("start") ? 1 : 0);
    if (failure == QStringLiteral("start")) {
        const QString script = started.first().section(QLatin1Char(' '), 1);
        QCOMPARE(QFileInfo(script).fileName(),
                 QLatin1String(reset ? kFactoryResetScriptName : kUninstallScriptName));
        // A script that could not be started goes with its folder.
        QVERIFY(!QFileInfo::exists(QFileInfo(script).absolutePath()));
    }
    QVERIFY(QFileInfo::exists(root() + QStringLiteral("/layout.json")));
}

void TestMainWindowBackup::exportLogsWithoutLogs()
{
    auto w = window();
    bool asked = false;
    w->maintenanceUi.saveFileName = [&asked](QWidget*, const QString&, const QString&, const QString&) {
        asked = true;
        return QString();
    };
    w->exportLogs();
    QCOMPARE(toastText(*w), QStringLiteral("暂无日志可导出"));
    QVERIFY(!asked);
}

QTEST_MAIN(TestMainWindowBackup)
#include "test_mainwindow_backup.moc"
