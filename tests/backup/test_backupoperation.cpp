// The operations a settings page starts and the automatic backup's due
// rule: bar ranges, unknown operations, a restore whose pre-restore
// snapshot was cancelled, one operation at a time.
#include "backup/autobackup.h"
#include "backup/backupengine.h"
#include "backup/backupoperation.h"
#include "backup/backupprogressdialog.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestBackupOperation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rangedPercent_data();
    void rangedPercent();
    void unknownOperationFails();
    void cancelledPreRestoreRestoresNothing();
    void exportCopiesTheSnapshot();
    void runnerStartsOneAtATime();
    void stopWithoutWorkReturnsAtOnce();
    void autoBackupDue_data();
    void autoBackupDue();
    void defaultBackupFolder();
};

void TestBackupOperation::rangedPercent_data()
{
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("mapped");
    QTest::newRow("pre-restore start") << 0 << 45 << 0 << 0;
    QTest::newRow("pre-restore end") << 0 << 45 << 100 << 45;
    QTest::newRow("pre-restore middle") << 0 << 45 << 50 << 22;
    QTest::newRow("restore start") << 45 << 100 << 0 << 45;
    QTest::newRow("restore end") << 45 << 100 << 100 << 100;
    QTest::newRow("clamped below") << 45 << 100 << -20 << 45;
    QTest::newRow("clamped above") << 0 << 45 << 400 << 45;
}

void TestBackupOperation::rangedPercent()
{
    QFETCH(int, lo);
    QFETCH(int, hi);
    QFETCH(int, percent);
    QFETCH(int, mapped);
    QCOMPARE(::rangedPercent(lo, hi, percent), mapped);
}

void TestBackupOperation::unknownOperationFails()
{
    BackupOpRequest r;
    r.op = 7;
    r.opFailText = QStringLiteral("未知操作");
    const BackupResult result = runBackupOperation(r, {}, nullptr);
    QVERIFY(!result.ok);
    QCOMPARE(result.message, QStringLiteral("未知操作"));
    QVERIFY(!result.restoreOp);
    QVERIFY(!result.cancelled);
    QCOMPARE(backupOpLabel(7), QStringLiteral("正在导出备份…"));
    QCOMPARE(backupOpLabel(-1), QString());
}

void TestBackupOperation::cancelledPreRestoreRestoresNothing()
{
    const QString root = testsupport::testRoot() + QStringLiteral("/cancel");
    QVERIFY(testsupport::writeFile(root + QStringLiteral("/data/layout.json"), "{\"groups\":[]}"));
    QVERIFY(testsupport::writeFile(root + QStringLiteral("/snap.zip"), "not restored"));
    BackupOpRequest r;
    r.op = int(BackupOp::Restore);
    r.dataDir = root + QStringLiteral("/data");
    r.backupDir = root + QStringLiteral("/backups");
    r.source = root + QStringLiteral("/snap.zip");
    const std::atomic<bool> cancel{ true };
    const BackupResult result = runBackupOperation(r, {}, &cancel);
    QVERIFY(!result.ok);
    QVERIFY(result.restoreOp);
    QVERIFY(result.cancelled);
    QCOMPARE(result.message, QStringLiteral("已取消"));
    QCOMPARE(testsupport::readFile(r.dataDir + QStringLiteral("/layout.json")), QByteArray("{\"groups\":[]}"));
    QVERIFY(BackupEngine::listSnapshots(r.backupDir).isEmpty());
}

void TestBackupOperation::exportCopiesTheSnapshot()
{
    const QString root = testsupport::testRoot() + QStringLiteral("/export");
    const QString snap = root + QStringLiteral("/Quillory-Auto-20250301-101010-000.zip");
    QVERIFY(testsupport::writeFile(snap, "PK zip bytes"));
    BackupOpRequest r;
    r.op = int(BackupOp::Export);
    r.source = snap;
    r.target = root + QStringLiteral("/out/copy.zip");
    QDir().mkpath(root + QStringLiteral("/out"));
    const BackupResult result = runBackupOperation(r, {}, nullptr);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(testsupport::readFile(r.target), QByteArray("PK zip bytes"));
}

void TestBackupOperation::runnerStartsOneAtATime()
{
    QList<BackupResult> results;
    BackupOperationRunner runner([&results](const BackupResult& r) { results << r; });
    QWidget page;
    BackupOpRequest r;
    r.op = 9;
    r.opFailText = QStringLiteral("未知操作");
    QVERIFY(runner.start(r, &page));
    QVERIFY(runner.isBusy());
    QVERIFY(runner.progressDialog());
    QVERIFY(runner.progressDialog()->isVisible());
    QVERIFY(!runner.start(r, &page));
    QTRY_COMPARE(results.size(), 1);
    QVERIFY(!runner.isBusy());
    QVERIFY(!runner.progressDialog());
    QCOMPARE(results.first().message, QStringLiteral("未知操作"));
    QCOMPARE(runner.lastOp(), 9);
    // Idle again: the next request starts.
    QVERIFY(runner.start(r, &page));
    QTRY_COMPARE(results.size(), 2);
}

void TestBackupOperation::stopWithoutWorkReturnsAtOnce()
{
    BackupOperationRunner runner({});
    QElapsedTimer clock;
    clock.start();
    runner.stop(2500);
    QVERIFY(clock.elapsed() < 200);
}

void TestBackupOperation::autoBackupDue_data()
{
    QTest::addColumn<QString>("lastAt");
    QTest::addColumn<int>("days");
    QTest::addColumn<bool>("due");
    const QDateTime now(QDate(2025, 3, 2), QTime(14, 5, 9));
    QTest::newRow("never") << QString() << 1 << true;
    QTest::newRow("not a date") << QStringLiteral("yesterday") << 1 << true;
    QTest::newRow("exactly one day") << now.addDays(-1).toString(Qt::ISODate) << 1 << true;
    QTest::newRow("23 hours") << now.addSecs(-23 * 3600).toString(Qt::ISODate) << 1 << false;
    QTest::newRow("weekly, six days") << now.addDays(-6).toString(Qt::ISODate) << 7 << false;
    QTest::newRow("weekly, eight days") << now.addDays(-8).toString(Qt::ISODate) << 7 << true;
}

void TestBackupOperation::autoBackupDue()
{
    QFETCH(QString, lastAt);
    QFETCH(int, days);
    QFETCH(bool, due);
    QCOMPARE(isAutoBackupDue(lastAt, days, QDateTime(QDate(2025, 3, 2), QTime(14, 5, 9))), due);
}

void TestBackupOperation::defaultBackupFolder()
{
    QCOMPARE(backupFolderFor(QString(), QStringLiteral("/d/root")), BackupEngine::backupsDir(QStringLiteral("/d/root")));
    QCOMPARE(backupFolderFor(QStringLiteral("/elsewhere"), QStringLiteral("/d/root")), QStringLiteral("/elsewhere"));
}

QTEST_MAIN(TestBackupOperation)
#include "test_backupoperation.moc"
