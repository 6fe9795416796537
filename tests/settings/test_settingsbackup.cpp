// The backup page of the settings dialog driven through its controls: real
// snapshots and restores under pwsh behind the progress card, export,
// delete, the schedule menus, the backup folder and the list's refresh rule.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "backup/backupengine.h"
#include "backup/backupprogressdialog.h"
#include "backup/scriptrunner.h"
#include "fakeprompts.h"
#include "model/panelmodel.h"
#include "settingsclicks.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

using Tree = testsupport::FileTree;
using testsupport::treeOf;

constexpr int kSwitch = 308;
constexpr int kInterval = 300;
constexpr int kRetain = 301;
constexpr int kChangeDir = 302;
constexpr int kDefaultDir = 303;
constexpr int kBackupNow = 304;
constexpr int kExport = 305;
constexpr int kOpenDir = 306;
constexpr int kRefresh = 307;
// A real snapshot or restore: pwsh may take long to start on a busy machine.
constexpr int kRunTimeoutMs = 240000;

const QString kTitle = QStringLiteral("备份与恢复");

QString snapshotName(const QString& kind, int day)
{
    return QStringLiteral("Quillory-%1-202503%2-101010-000.zip").arg(kind).arg(day, 2, 10, QLatin1Char('0'));
}

// A dialog over a data root of its own, on the backup page; the restore
// callback reloads the live record from the data root as the panel does.
struct Harness {
    QString root;
    AppSettings live;
    QList<PanelGroup> groups;
    QList<AppSettings> applied;
    int restoreReloads = 0;
    std::unique_ptr<SettingsDialog> dialog;

    explicit Harness(const QString& name)
        : root(testsupport::testRoot() + QStringLiteral("/backup-page/") + name)
    {
        QDir(root).removeRecursively();
        QDir().mkpath(root);
    }
    QString backups() const { return BackupEngine::backupsDir(root); }
    QString settingsPath() const { return root + QStringLiteral("/settings.json"); }

    void open()
    {
        dialog = std::make_unique<SettingsDialog>(
            &live, root, [] {}, [this](const AppSettings& s) { applied << s; }, nullptr, nullptr, nullptr, nullptr,
            nullptr, &groups, [] {}, nullptr, nullptr, [this] {
                ++restoreReloads;
                loadAppSettings(settingsPath(), live, nullptr);
                BackupEngine::releaseSaves();
            });
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->setCurrentPage(settingspage::kBackup);
    }
    SettingsDialog& d() { return *dialog; }

    // Fake snapshots: the page lists them by name; only restore and export
    // read their bytes.
    void addSnapshot(const QString& name, const QByteArray& bytes = "zip bytes")
    {
        QVERIFY(testsupport::writeFile(backups() + QLatin1Char('/') + name, bytes));
    }
    QStringList listed() const
    {
        QStringList names;
        for (const BackupEngine::SnapshotInfo& s : BackupEngine::listSnapshots(backups()))
            names << s.fileName;
        return names;
    }
    QStringList rows() const
    {
        QStringList names;
        for (const BackupEngine::SnapshotInfo& s : dialog->snapshotRows())
            names << s.fileName;
        return names;
    }
};

bool waitIdle(const SettingsDialog& d)
{
    QElapsedTimer clock;
    clock.start();
    while (d.isBackupBusy() && clock.elapsed() < kRunTimeoutMs)
        QTest::qWait(50);
    return !d.isBackupBusy();
}

QString infoMessage(const QString& text) { return QStringLiteral("0|") + kTitle + QLatin1Char('|') + text; }

void needPwsh()
{
    if (powerShellProgram().isEmpty())
        QSKIP("pwsh is not installed");
}

} // namespace

class TestSettingsBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        setLanguage(0);
        setDarkTheme(false);
    }

    void cleanup() { QThreadPool::globalInstance()->waitForDone(kRunTimeoutMs); }

    // One real snapshot: a second click while it runs starts nothing, and
    // the keep limit counts the pre-restore snapshots too.
    void backupNowCreatesOneSnapshotAndKeepsTheNewest()
    {
        needPwsh();
        FakePromptsScope prompts;
        Harness h(QStringLiteral("create"));
        QVERIFY(testsupport::writeFile(h.settingsPath(), "{\"customTitle\":\"x\"}"));
        for (int day = 1; day <= 12; ++day)
            h.addSnapshot(snapshotName(day % 3 == 0 ? QStringLiteral("PreRestore") : QStringLiteral("Auto"), day));
        h.live.backupRetain = 10;
        h.open();
        QCOMPARE(h.d().snapshotRows().size(), 12);

        QVERIFY(clickElement(h.d(), kBackupNow));
        QVERIFY(h.d().isBackupBusy());
        auto* card = h.d().findChild<BackupProgressDialog*>();
        QVERIFY(card);
        QVERIFY(card->isVisible());
        QVERIFY(clickElement(h.d(), kBackupNow));
        QVERIFY(waitIdle(h.d()));
        QCOMPARE(prompts->messages, QStringList{ infoMessage(QStringLiteral("已创建备份快照。")) });
        QVERIFY(!h.d().findChild<BackupProgressDialog*>() || !h.d().findChild<BackupProgressDialog*>()->isVisible());

        QStringList expected;
        for (int day = 12; day >= 4; --day)
            expected << snapshotName(day % 3 == 0 ? QStringLiteral("PreRestore") : QStringLiteral("Auto"), day);
        const QStringList listed = h.listed();
        QCOMPARE(listed.size(), 10);
        QVERIFY(listed.first().startsWith(QLatin1String("Quillory-Auto-")));
        QCOMPARE(listed.mid(1), expected);
        QCOMPARE(h.rows(), listed);
        QVERIFY(h.d().snapshotSummary().startsWith(QStringLiteral("共 10 个快照，占用 ")));
        QVERIFY(h.d().snapshotSummary().contains(QStringLiteral("；最近一份：")));
    }

    // The chosen snapshot is the oldest and the keep limit is reached: the
    // pre-restore snapshot must not push it out before it is restored.
    void restoreOfTheOldestAtTheKeepLimitReloads()
    {
        needPwsh();
        FakePromptsScope prompts;
        Harness h(QStringLiteral("restore"));
        AppSettings saved;
        saved.customTitle = QStringLiteral("From the snapshot");
        saved.summonHotkey = QStringLiteral("Ctrl+Alt+K");
        QVERIFY(saveAppSettings(h.settingsPath(), saved, QSize(), nullptr));
        QVERIFY(testsupport::writeFile(h.root + QStringLiteral("/layout.json"), "{\"groups\":[\"snapshot\"]}"));
        QString error;
        const QString made = BackupEngine::createSnapshot(h.backups(), h.root, error, false, {}, nullptr, nullptr);
        QVERIFY2(!made.isEmpty(), qPrintable(error));
        const QString oldest = h.backups() + QLatin1Char('/') + QStringLiteral("Quillory-Auto-20240101-080000-000.zip");
        QVERIFY(QFile::rename(made, oldest));
        for (int day = 1; day <= 9; ++day)
            h.addSnapshot(snapshotName(QStringLiteral("Auto"), day));
        const Tree snapshotTree = treeOf(h.root);

        AppSettings changed = saved;
        changed.customTitle = QStringLiteral("Changed since");
        changed.summonHotkey = QStringLiteral("Ctrl+Shift+J");
        QVERIFY(saveAppSettings(h.settingsPath(), changed, QSize(), nullptr));
        QVERIFY(testsupport::writeFile(h.root + QStringLiteral("/layout.json"), "{\"groups\":[\"changed\"]}"));
        loadAppSettings(h.settingsPath(), h.live, nullptr);
        h.live.backupRetain = 10;
        h.open();
        QCOMPARE(h.d().titleEditor()->text(), QStringLiteral("Changed since"));
        QCOMPARE(h.d().snapshotRows().size(), 10);
        QCOMPARE(h.d().snapshotRows().last().path, oldest);

        prompts->askAnswers = { 1 };
        QVERIFY(clickElement(h.d(), settingsid::kSnapshotRestoreBase + 9));
        QCOMPARE(prompts->asked, QStringList{ QStringLiteral("ask: 还原快照") });
        QVERIFY(waitIdle(h.d()));
        QCOMPARE(prompts->messages,
                 QStringList{ infoMessage(QStringLiteral("已恢复快照，设置与分组布局已重新加载。")) });
        QCOMPARE(h.restoreReloads, 1);

        // The data root is the snapshot's again, and the dialog shows it.
        QCOMPARE(testsupport::readFile(h.root + QStringLiteral("/layout.json")),
                 QByteArray("{\"groups\":[\"snapshot\"]}"));
        QCOMPARE(h.live.customTitle, QStringLiteral("From the snapshot"));
        QCOMPARE(h.d().workingSettings().customTitle, QStringLiteral("From the snapshot"));
        QCOMPARE(h.d().workingSettings().summonHotkey, h.live.summonHotkey);
        QCOMPARE(h.d().titleEditor()->text(), QStringLiteral("From the snapshot"));
        QCOMPARE(h.d().hotkeyEditor()->keySequence(), QKeySequence(QStringLiteral("Ctrl+Alt+K")));
        Tree now = treeOf(h.root);
        for (auto it = now.begin(); it != now.end();)
            it = it.key().startsWith(QLatin1String("Backups/")) ? now.erase(it) : std::next(it);
        Tree expected = snapshotTree;
        for (auto it = expected.begin(); it != expected.end();)
            it = it.key().startsWith(QLatin1String("Backups/")) ? expected.erase(it) : std::next(it);
        QCOMPARE(now, expected);

        // Purged after the restore: the ten newest, with the pre-restore
        // snapshot first, and the restored one beside them.
        const QStringList listed = h.listed();
        QCOMPARE(listed.size(), 11);
        QVERIFY(listed.first().startsWith(QLatin1String("Quillory-PreRestore-")));
        QCOMPARE(listed.last(), QFileInfo(oldest).fileName());
        QCOMPARE(h.rows(), listed);
    }

    void cancelledPreRestoreSnapshotChangesNothing()
    {
        needPwsh();
        FakePromptsScope prompts;
        Harness h(QStringLiteral("cancel"));
        QVERIFY(testsupport::writeFile(h.settingsPath(), "{\"customTitle\":\"kept\"}"));
        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 1));
        h.open();
        const Tree before = treeOf(h.root);

        prompts->askAnswers = { 1 };
        QVERIFY(clickElement(h.d(), settingsid::kSnapshotRestoreBase));
        auto* card = h.d().findChild<BackupProgressDialog*>();
        QVERIFY(card);
        card->cancelButtonWidget()->click();
        QVERIFY(waitIdle(h.d()));
        QCOMPARE(prompts->messages, QStringList{ infoMessage(QStringLiteral("已取消。")) });
        QCOMPARE(h.restoreReloads, 0);
        QCOMPARE(treeOf(h.root), before);
    }

    // The pre-restore snapshot is made, the restore itself fails: the
    // engine's text in a warning, the data root as it was, no reload.
    void restoreOfABrokenSnapshotWarns()
    {
        needPwsh();
        FakePromptsScope prompts;
        Harness h(QStringLiteral("broken"));
        QVERIFY(testsupport::writeFile(h.settingsPath(), "{\"customTitle\":\"kept\"}"));
        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 1), "not a zip archive");
        h.open();
        const Tree before = treeOf(h.root);

        prompts->askAnswers = { 1 };
        QVERIFY(clickElement(h.d(), settingsid::kSnapshotRestoreBase));
        QVERIFY(waitIdle(h.d()));
        QCOMPARE(prompts->messages.size(), 1);
        QVERIFY2(prompts->messages.first().startsWith(QStringLiteral("2|") + kTitle + QLatin1Char('|')),
                 qPrintable(prompts->messages.first()));
        QVERIFY(prompts->messages.first().size() > kTitle.size() + 3);
        QCOMPARE(h.restoreReloads, 0);
        QCOMPARE(treeOf(h.root).value(QStringLiteral("settings.json")), before.value(QStringLiteral("settings.json")));
        QCOMPARE(h.listed().size(), 2);
        QVERIFY(h.listed().first().startsWith(QLatin1String("Quillory-PreRestore-")));
        QVERIFY(!BackupEngine::savesHeld());
    }

    void restoreDeclinedStartsNothing()
    {
        FakePromptsScope prompts;
        Harness h(QStringLiteral("declined"));
        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 1));
        h.open();
        prompts->askAnswers = { 0 };
        QVERIFY(clickElement(h.d(), settingsid::kSnapshotRestoreBase));
        QVERIFY(!h.d().isBackupBusy());
        QVERIFY(prompts->messages.isEmpty());
    }

    // Closing the dialog mid-run cancels the operation and drops its result.
    void destroyingTheDialogCancelsItsOperation()
    {
        needPwsh();
        FakePromptsScope prompts;
        Harness h(QStringLiteral("destroy"));
        QVERIFY(testsupport::writeFile(h.settingsPath(), "{}"));
        h.open();
        QVERIFY(clickElement(h.d(), kBackupNow));
        QVERIFY(h.d().isBackupBusy());
        h.dialog.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(kRunTimeoutMs));
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QVERIFY(prompts->messages.isEmpty());
        QVERIFY(h.listed().isEmpty());
    }

    void exportNewest_data()
    {
        QTest::addColumn<int>("snapshots");
        QTest::addColumn<bool>("chooseTarget");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("exported");
        QTest::newRow("newest") << 2 << true << QStringList{ QStringLiteral("save: 导出备份") }
                                << infoMessage(QStringLiteral("已导出备份文件。")) << true;
        QTest::newRow("save dialog cancelled") << 2 << false << QStringList{ QStringLiteral("save: 导出备份") }
                                               << QString() << false;
        QTest::newRow("no snapshots") << 0 << true << QStringList()
                                      << QStringLiteral("0|导出备份|当前没有可导出的快照。") << false;
    }
    void exportNewest()
    {
        QFETCH(int, snapshots);
        QFETCH(bool, chooseTarget);
        QFETCH(QStringList, asked);
        QFETCH(QString, message);
        QFETCH(bool, exported);
        FakePromptsScope prompts;
        Harness h(QStringLiteral("export"));
        for (int day = 1; day <= snapshots; ++day)
            h.addSnapshot(snapshotName(QStringLiteral("Auto"), day), "snapshot of day " + QByteArray::number(day));
        h.open();
        const QString target = h.root + QStringLiteral("/out/copy.zip");
        QDir().mkpath(h.root + QStringLiteral("/out"));
        if (chooseTarget)
            prompts->fileAnswers = { target };
        QVERIFY(clickElement(h.d(), kExport));
        QVERIFY(waitIdle(h.d()));
        QCOMPARE(prompts->asked, asked);
        QCOMPARE(prompts->messages, message.isEmpty() ? QStringList() : QStringList{ message });
        if (exported)
            QCOMPARE(testsupport::readFile(target), "snapshot of day " + QByteArray::number(snapshots));
        else
            QVERIFY(!QFileInfo::exists(target));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("removed");
        QTest::newRow("yes") << QList<int>{ 1 } << true;
        QTest::newRow("no") << QList<int>{ 0 } << false;
        QTest::newRow("closed") << QList<int>{ -1 } << false;
    }
    void deleteAsksFirst()
    {
        QFETCH(QList<int>, answers);
        QFETCH(bool, removed);
        FakePromptsScope prompts;
        Harness h(QStringLiteral("delete"));
        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 1));
        h.addSnapshot(snapshotName(QStringLiteral("PreRestore"), 2));
        h.open();
        prompts->askAnswers = answers;
        QVERIFY(clickElement(h.d(), settingsid::kSnapshotDeleteBase + 1));
        QCOMPARE(prompts->asked, QStringList{ QStringLiteral("ask: 删除快照") });
        const QStringList left = removed ? QStringList{ snapshotName(QStringLiteral("PreRestore"), 2) }
                                         : QStringList{ snapshotName(QStringLiteral("PreRestore"), 2),
                                                        snapshotName(QStringLiteral("Auto"), 1) };
        QCOMPARE(h.listed(), left);
        QCOMPARE(h.rows(), left);
        QCOMPARE(findHit(h.d(), settingsid::kSnapshotDeleteBase + 1) != nullptr, !removed);
        QVERIFY(prompts->messages.isEmpty());
    }

    void scheduleMenus_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("stored");
        const QStringList intervals{ QStringLiteral("每天"), QStringLiteral("每 3 天"), QStringLiteral("每周"),
                                     QStringLiteral("每月") };
        const QStringList counts{ QStringLiteral("10 份"), QStringLiteral("20 份"), QStringLiteral("30 份"),
                                  QStringLiteral("50 份"), QStringLiteral("100 份") };
        // 14 days is allowed by the settings file but not offered.
        QTest::newRow("interval of 14 days") << kInterval << 14 << -1 << intervals << -1 << 14;
        QTest::newRow("interval chosen") << kInterval << 1 << 30 << intervals << 0 << 30;
        QTest::newRow("keep count chosen") << kRetain << 20 << 100 << counts << 1 << 100;
        QTest::newRow("keep count menu closed") << kRetain << 50 << -1 << counts << 3 << 50;
    }
    void scheduleMenus()
    {
        QFETCH(int, control);
        QFETCH(int, initial);
        QFETCH(int, answer);
        QFETCH(QStringList, entries);
        QFETCH(int, checked);
        QFETCH(int, stored);
        FakePromptsScope prompts;
        Harness h(QStringLiteral("menus"));
        (control == kInterval ? h.live.backupIntervalDays : h.live.backupRetain) = initial;
        h.open();
        prompts->menuAnswers = { answer };
        QVERIFY(clickElement(h.d(), control));
        QCOMPARE(prompts->menus.size(), 1);
        QStringList texts;
        int checkedAt = -1;
        for (int i = 0; i < prompts->menus.first().size(); ++i) {
            texts << prompts->menus.first().at(i).text;
            if (prompts->menus.first().at(i).checked)
                checkedAt = i;
        }
        QCOMPARE(texts, entries);
        QCOMPARE(checkedAt, checked);
        const AppSettings& w = h.d().workingSettings();
        QCOMPARE(control == kInterval ? w.backupIntervalDays : w.backupRetain, stored);
        // The schedule previews nothing: it takes effect on OK.
        QVERIFY(h.applied.isEmpty());
    }

    void intervalTexts_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << QStringLiteral("每天");
        QTest::newRow("3") << 3 << QStringLiteral("每 3 天");
        QTest::newRow("7") << 7 << QStringLiteral("每周");
        QTest::newRow("30") << 30 << QStringLiteral("每月");
        QTest::newRow("14") << 14 << QStringLiteral("14 天");
    }
    void intervalTexts()
    {
        QFETCH(int, days);
        QFETCH(QString, text);
        QCOMPARE(backupIntervalText(days), text);
    }

    void switchPreviewsTheAutomaticBackup()
    {
        FakePromptsScope prompts;
        Harness h(QStringLiteral("switch"));
        h.live.backupAuto = true;
        h.open();
        QVERIFY(clickElement(h.d(), kSwitch));
        QVERIFY(!h.d().workingSettings().backupAuto);
        QVERIFY(!h.applied.isEmpty());
        QVERIFY(!h.applied.last().backupAuto);
    }

    // Empty backupDir: the default folder, made by the first listing; a
    // chosen folder is listed at once, and the default comes back.
    void backupFolderFollowsTheChoice()
    {
        FakePromptsScope prompts;
        Harness h(QStringLiteral("folder"));
        const QString other = h.root + QStringLiteral("/elsewhere");
        QVERIFY(testsupport::writeFile(other + QLatin1Char('/') + snapshotName(QStringLiteral("Auto"), 5), "z"));
        h.open();
        QCOMPARE(h.d().backupDirectory(), h.backups());
        QVERIFY(QFileInfo(h.backups()).isDir());
        QVERIFY(clickElement(h.d(), kOpenDir));
        QCOMPARE(prompts->openedFolders, QStringList{ h.backups() });
        QVERIFY(h.d().snapshotRows().isEmpty());
        QVERIFY(h.d().snapshotSummary().startsWith(QStringLiteral("共 0 个快照，占用 0 B")));

        QVERIFY(clickElement(h.d(), kChangeDir));   // cancelled: nothing changes
        QCOMPARE(h.d().workingSettings().backupDir, QString());
        prompts->fileAnswers = { other };
        QVERIFY(clickElement(h.d(), kChangeDir));
        QCOMPARE(prompts->asked, (QStringList{ QStringLiteral("folder: 选择备份目录"),
                                               QStringLiteral("folder: 选择备份目录") }));
        QCOMPARE(h.d().workingSettings().backupDir, other);
        QCOMPARE(h.d().backupDirectory(), other);
        QCOMPARE(h.rows(), QStringList{ snapshotName(QStringLiteral("Auto"), 5) });

        QVERIFY(clickElement(h.d(), kDefaultDir));
        QCOMPARE(h.d().workingSettings().backupDir, QString());
        QCOMPARE(h.d().backupDirectory(), h.backups());
        QVERIFY(h.d().snapshotRows().isEmpty());
    }

    // Every relayout lists the folder, at most once per 1500 ms unless the
    // listing is forced.
    void unforcedRefreshWaits()
    {
        FakePromptsScope prompts;
        Harness h(QStringLiteral("refresh"));
        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 1));
        h.open();
        QCOMPARE(h.d().snapshotRows().size(), 1);
        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 2));
        h.d().relayout();
        QCOMPARE(h.d().snapshotRows().size(), 1);
        QVERIFY(!findHit(h.d(), settingsid::kSnapshotRestoreBase + 1));
        QVERIFY(clickElement(h.d(), kRefresh));
        QCOMPARE(h.d().snapshotRows().size(), 2);
        QVERIFY(findHit(h.d(), settingsid::kSnapshotRestoreBase + 1));

        h.addSnapshot(snapshotName(QStringLiteral("Auto"), 3));
        QTest::qWait(1600);
        h.d().relayout();
        QCOMPARE(h.d().snapshotRows().size(), 3);
    }

    // The page paints its list, its empty state and both themes.
    void pagePaints_data()
    {
        QTest::addColumn<int>("snapshots");
        QTest::addColumn<bool>("dark");
        QTest::newRow("empty, light") << 0 << false;
        QTest::newRow("three, light") << 3 << false;
        QTest::newRow("twelve, dark") << 12 << true;
    }
    void pagePaints()
    {
        QFETCH(int, snapshots);
        QFETCH(bool, dark);
        setDarkTheme(dark);
        FakePromptsScope prompts;
        Harness h(QStringLiteral("paint"));
        for (int day = 1; day <= snapshots; ++day)
            h.addSnapshot(snapshotName(QStringLiteral("Auto"), day));
        h.open();
        const QImage top = h.d().grab().toImage();
        h.d().setScrollOffset(h.d().pageLayout().maxScroll);
        const QImage bottom = h.d().grab().toImage();
        QVERIFY(!top.isNull());
        QCOMPARE(bottom.size(), top.size());
    }

    void stopWithNothingRunningReturnsAtOnce()
    {
        FakePromptsScope prompts;
        Harness h(QStringLiteral("stop"));
        h.open();
        QElapsedTimer clock;
        clock.start();
        h.d().stopBackupWorker(2500);
        QVERIFY(clock.elapsed() < 200);
    }
};

QTEST_MAIN(TestSettingsBackup)
#include "test_settingsbackup.moc"
