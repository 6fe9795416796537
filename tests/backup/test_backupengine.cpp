#include "backup/backupengine.h"
#include "backup/backupscripts.h"
#include "backup/scriptrunner.h"
#include "backup/snapshotfiles.h"
#include "backup/zipdirectory.h"
#include "platform/childprocess.h"

#include "testsupport.h"

#include <QtTest>

class TestBackupEngine : public QObject {
    Q_OBJECT
    QString m_dir;

    void make(const QString& name, bool folder, qint64 ageSecs)
    {
        const QString path = m_dir + QLatin1Char('/') + name;
        if (folder)
            QVERIFY(testsupport::writeFile(path + QStringLiteral("/inside.txt"), "x"));
        else
            QVERIFY(testsupport::writeFile(path, "x"));
        QVERIFY(testsupport::setModificationTime(path, QDateTime::currentDateTime().addSecs(-ageSecs)));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = testsupport::testRoot() + QStringLiteral("/tmpfolder");
        QDir(m_dir).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir));
    }

    void leftovers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<qint64>("age");
        QTest::addColumn<bool>("removed");
        const qint64 day = 86400, old = 2 * day, fresh = 3600;
        QTest::newRow("old copy folder") << "krvbak_123" << true << old << true;
        QTest::newRow("fresh copy folder stays") << "krvbak_456" << true << fresh << false;
        QTest::newRow("old restore folder") << "krvrest_1" << true << old << true;
        QTest::newRow("old script") << "krvbk_a.ps1" << false << old << true;
        QTest::newRow("old creation progress file") << "krvbak_prog_7.txt" << false << old << true;
        QTest::newRow("old restore progress file") << "krvrest_prog_7.txt" << false << old << true;
        QTest::newRow("fresh progress file stays") << "krvbak_prog_8.txt" << false << fresh << false;
        QTest::newRow("file named like a copy folder stays") << "krvbak_9" << false << old << false;
        QTest::newRow("folder named like a script stays") << "krvbk_b.ps1" << true << old << false;
        QTest::newRow("other names stay") << "krvbackup_1" << true << old << false;
        QTest::newRow("script of another extension stays") << "krvbk_c.txt" << false << old << false;
    }
    void leftovers()
    {
        QFETCH(QString, name);
        QFETCH(bool, folder);
        QFETCH(qint64, age);
        QFETCH(bool, removed);
        make(name, folder, age);
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, nullptr), removed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(m_dir + QLatin1Char('/') + name), !removed);
    }

    void stopFlagEndsAtOnce()
    {
        make(QStringLiteral("krvbak_1"), true, 2 * 86400);
        make(QStringLiteral("krvbak_prog_1.txt"), false, 2 * 86400);
        std::atomic_bool stop { true };
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, &stop), 0);
        QVERIFY(QFileInfo::exists(m_dir + QStringLiteral("/krvbak_1")));
        stop = false;
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, &stop), 2);
    }

    void linkToAFolderIsNotEmptied()
    {
        // In a shared temporary folder anyone may plant a link with our name.
        const QString target = testsupport::testRoot() + QStringLiteral("/precious");
        QVERIFY(testsupport::writeFile(target + QStringLiteral("/keep.txt"), "x"));
        QVERIFY(testsupport::setModificationTime(target, QDateTime::currentDateTime().addDays(-3)));
        QVERIFY(QFile::link(target, m_dir + QStringLiteral("/krvbak_link")));
        BackupEngine::cleanupTempLeftovers(m_dir, nullptr);
        QVERIFY(QFileInfo::exists(target + QStringLiteral("/keep.txt")));
    }

    void foreignLeftoversStay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder") << "krvbak_foreign" << true;
        QTest::newRow("file") << "krvbak_prog_foreign.txt" << false;
    }
    void foreignLeftoversStay()
    {
        // Another user's run in the shared temporary folder is not ours to clear.
        QFETCH(QString, name);
        QFETCH(bool, folder);
        make(name, folder, 2 * 86400);
        const QString path = m_dir + QLatin1Char('/') + name;
        if (QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-h"), QStringLiteral("65534"), path}) != 0)
            QSKIP("needs to run as root to give a file away");
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, nullptr), 0);
        QVERIFY(QFileInfo::exists(path));
    }

    void missingFolder()
    {
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir + QStringLiteral("/nope"), nullptr), 0);
    }

    void exclusions_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("excluded");
        QTest::newRow("logs folder") << "logs/a.txt" << true;
        QTest::newRow("leading slash, other case") << "/LOGS/a.txt" << true;
        QTest::newRow("nested cache") << "x/cache/y.dat" << true;
        QTest::newRow("backslashes") << "a\\b\\Backups\\c" << true;
        QTest::newRow("log file") << "notes.LOG" << true;
        QTest::newRow("logs as a file") << "logs" << false;
        QTest::newRow("ordinary") << "catalog.txt" << false;
        QTest::newRow("dot-file") << ".config/x" << false;
        QTest::newRow("empty") << "" << false;
    }
    void exclusions()
    {
        QFETCH(QString, path);
        QFETCH(bool, excluded);
        QCOMPARE(isExcludedRelativePath(path), excluded);
    }

    void timeoutAndSizeTexts()
    {
        QCOMPARE(snapshotTimeoutMs(-5), 120000);
        QCOMPARE(snapshotTimeoutMs(0), 120000);
        QCOMPARE(snapshotTimeoutMs(8388608), 121000);
        QCOMPARE(snapshotTimeoutMs(100 * 1048576LL * 3), 157500);
        QCOMPARE(snapshotTimeoutMs(1LL << 40), 14400000);
        QCOMPARE(formatSize(1023), QStringLiteral("1023 B"));
        QCOMPARE(formatSize(1024), QStringLiteral("1 KB"));
        QCOMPARE(formatSize(1048575), QStringLiteral("1023 KB"));
        QCOMPARE(formatSize(1572864), QStringLiteral("1.5 MB"));
        QCOMPARE(formatSize(5LL << 30), QStringLiteral("5120.0 MB"));
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "C:/data" << "'C:/data'";
        QTest::newRow("apostrophe") << "O'Neil" << "'O''Neil'";
        // PowerShell closes a single-quoted literal at any of these.
        QTest::newRow("curly right") << QString::fromUtf8("O\u2019Neil") << QString::fromUtf8("'O\u2019\u2019Neil'");
        QTest::newRow("curly left") << QString::fromUtf8("\u2018x") << QString::fromUtf8("'\u2018\u2018x'");
        QTest::newRow("low-9 and reversed") << QString::fromUtf8("\u201A\u201B") << QString::fromUtf8("'\u201A\u201A\u201B\u201B'");
        QTest::newRow("double quotes and dollars stay") << "a\"$b`c" << "'a\"$b`c'";
    }
    void quoting()
    {
        QFETCH(QString, value);
        QFETCH(QString, quoted);
        QCOMPARE(psQuote(value), quoted);
    }

    void progressReports_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("phase");
        QTest::addColumn<int>("restorePercent");
        QTest::newRow("extracting") << QByteArray("E 5 10") << true << "E" << 31;
        QTest::newRow("writing") << QByteArray("W 10 20") << true << "W" << 79;
        QTest::newRow("creation pair") << QByteArray("3 4\n") << true << "C" << 45;
        QTest::newRow("total zero") << QByteArray("E 5 0") << false << "" << 3;
        QTest::newRow("total negative") << QByteArray("12 -1") << false << "" << 3;
        QTest::newRow("not a number") << QByteArray("E 1 z") << false << "" << 3;
        QTest::newRow("one number") << QByteArray("12") << false << "" << 3;
        QTest::newRow("empty, mid-rewrite") << QByteArray("") << false << "" << 3;
        QTest::newRow("done past total, torn") << QByteArray("W 1234 50") << false << "" << 3;
    }
    void progressReports()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(QString, phase);
        QFETCH(int, restorePercent);
        const QString path = m_dir + QStringLiteral("/prog.txt");
        QVERIFY(testsupport::writeFile(path, text));
        qint64 done = -1, total = -1;
        QChar got;
        QCOMPARE(readProgressFile(path, done, total, &got), valid);
        if (valid)
            QCOMPARE(QString(got), phase);
        QList<int> seen;
        ProgressReporter reporter([&](int p, const QString&) { seen << p; }, QStringLiteral("t"));
        restoreProgressTick(path, &reporter)();
        QCOMPARE(seen, QList<int>{ restorePercent });
    }

    void progressNeverFalls()
    {
        const QString path = m_dir + QStringLiteral("/prog.txt");
        QList<int> seen;
        ProgressReporter reporter([&](int p, const QString&) { seen << p; }, QStringLiteral("t"));
        const auto tick = restoreProgressTick(path, &reporter);
        for (const char* text : { "E 10 10", "", "W 5 10", "W 2 10", "W 10 10" }) {
            QVERIFY(testsupport::writeFile(path, text));
            tick();
        }
        QCOMPARE(seen, (QList<int>{ 60, 79, 98 }));
    }

    void creationProgress_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("percent");
        QTest::newRow("zipped in place, half") << QByteArray("Z 5 10") << 50;
        QTest::newRow("zipped in place, done") << QByteArray("Z 10 10") << 98;
        QTest::newRow("zipped after a copy") << QByteArray("3 4") << 86;
    }
    void creationProgress()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, percent);
        const QString path = m_dir + QStringLiteral("/prog.txt");
        QVERIFY(testsupport::writeFile(path, text));
        QList<int> seen;
        ProgressReporter reporter([&](int p, const QString&) { seen << p; }, QStringLiteral("t"));
        snapshotProgressTick(path, m_dir + QStringLiteral("/nocopy"), 1000, nullptr, &reporter)();
        QCOMPARE(seen, QList<int>{ percent });
    }

    void creationTickBeforeCopy()
    {
        QList<int> seen;
        ProgressReporter reporter([&](int p, const QString&) { seen << p; }, QStringLiteral("t"));
        snapshotProgressTick(m_dir + QStringLiteral("/none.txt"), m_dir + QStringLiteral("/nocopy"), 1000, nullptr,
                             &reporter)();
        snapshotProgressTick(m_dir + QStringLiteral("/none.txt"), m_dir + QStringLiteral("/nocopy"), 0, nullptr,
                             &reporter)();
        QCOMPARE(seen, (QList<int>{ 3, 48 }));
    }

    void goldenWindowsScripts()
    {
        // The Windows dialect is kept as designed, byte for byte.
        CreateScriptValues c;
        c.src = QStringLiteral("C:\\Users\\O'Neil\\AppData\\Local\\Tarnavel\\TarnavelPanel");
        c.final = QStringLiteral("D:\\Backups\\Quillory-Auto-20240102-030405-006.zip");
        c.dst = c.final + QStringLiteral(".4242.part");
        c.tmp = QStringLiteral("C:\\Temp\\krvbak_0f8fad5b-d9cb-469f-a165-70867728950e");
        c.prog = QStringLiteral("C:\\Temp\\krvbak_prog_7c9e6679-7425-40de-944b-e07fc1f90ae7.txt");
        c.skip = QStringLiteral("ignored on Windows");
        RestoreScriptValues r;
        r.zip = QStringLiteral("D:\\Backups\\Quillory-PreRestore-20240102-030405-006.zip");
        r.dst = c.src;
        r.tmp = QStringLiteral("C:\\Temp\\krvrest_0f8fad5b-d9cb-469f-a165-70867728950e");
        r.prog = QStringLiteral("C:\\Temp\\krvrest_prog_7c9e6679-7425-40de-944b-e07fc1f90ae7.txt");
        const QString golden = testsupport::sourceDir() + QStringLiteral("/tests/backup/golden/");
        const QList<QPair<QString, QString>> cases = {
            { createScriptText(c, ScriptDialect::Windows), golden + QStringLiteral("create_windows.ps1") },
            { restoreScriptText(r, ScriptDialect::Windows), golden + QStringLiteral("restore_windows.ps1") },
        };
        for (const auto& [text, file] : cases) {
            const QString written = writePsScript(text);
            QVERIFY(!written.isEmpty());
            QVERIFY(QFileInfo(written).fileName().startsWith(QLatin1String("krvbk_")));
            const QByteArray bytes = testsupport::readFile(written);
            QFile::remove(written);
            QCOMPARE(bytes, testsupport::readFile(file));
        }
    }

    void listingKeepsToOwnNamesAndStamps()
    {
        const QString dir = m_dir + QStringLiteral("/Backups");
        const QStringList names = {
            QStringLiteral("Quillory-Auto-20240101-000000-000.zip"),
            QStringLiteral("Quillory-PreRestore-20240103-000000-000.zip"),
            QStringLiteral("Tarnavel-PreRestore-20240102-000000-000.zip"),
            QStringLiteral("Quillory-Auto-20240102-000000-000.zip"),
            QStringLiteral("holiday photos.zip"),
            QStringLiteral("quillory-prerestore-20240104-000000-000.zip"),
            QStringLiteral("Quillory-Auto-20241399-000000-000.zip"),
            QStringLiteral("Quillory-Auto-20240101-000000-00.zip"),
            QStringLiteral("Quillory-Auto-20231231-235959.zip"),
        };
        for (const QString& n : names)
            QVERIFY(testsupport::writeFile(dir + QLatin1Char('/') + n, "z"));
        // A copied-in old snapshot is born now; its name still says when it was made.
        QVERIFY(testsupport::setModificationTime(dir + QLatin1Char('/') + names[0], QDateTime::currentDateTime()));
        QStringList order;
        QList<bool> pre;
        for (const BackupEngine::SnapshotInfo& s : BackupEngine::listSnapshots(dir)) {
            order << s.fileName;
            pre << s.preRestore;
        }
        // Equal stamps: the greater name first.
        // A name stamped to the second is ours too.
        QCOMPARE(order, (QStringList{ names[1], names[2], names[3], names[0], names[8] }));
        QCOMPARE(pre, (QList<bool>{ true, true, false, false, false }));

        BackupEngine::purgeOld(dir, 0);
        QCOMPARE(BackupEngine::listSnapshots(dir).size(), 5);
        // A restore's source is spared even as the oldest, beside the newest.
        BackupEngine::purgeOld(dir, 4, dir + QStringLiteral("/./") + names[8]);
        QCOMPARE(BackupEngine::listSnapshots(dir).size(), 5);
        BackupEngine::purgeOld(dir, 2);
        QCOMPARE(BackupEngine::listSnapshots(dir).size(), 2);
        QVERIFY(!QFileInfo::exists(dir + QLatin1Char('/') + names[0]));
        QVERIFY(!QFileInfo::exists(dir + QLatin1Char('/') + names[3]));
        QVERIFY(!QFileInfo::exists(dir + QLatin1Char('/') + names[8]));
        for (int i = 4; i < 8; ++i)
            QVERIFY2(QFileInfo::exists(dir + QLatin1Char('/') + names[i]), qPrintable(names[i]));
        QVERIFY(BackupEngine::listSnapshots(m_dir + QStringLiteral("/none")).isEmpty());
    }

    // Only partial snapshots of this program, named with the id of a writer
    // that is gone, are removed: the backup folder may be one the user keeps
    // other downloads in.
    void staleParts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("old");
        QTest::addColumn<bool>("removed");
        QProcess ended;
        ended.start(QStringLiteral("true"), {});
        QVERIFY(ended.waitForStarted());
        const QString endedPid = QString::number(ended.processId());
        QVERIFY(ended.waitForFinished());
        const QString own = QString::number(QCoreApplication::applicationPid());
        const QString snap = QStringLiteral("Quillory-Auto-20240101-000000-000.zip.");
        QTest::newRow("writer gone") << snap + endedPid + ".part" << true << true;
        QTest::newRow("pre-restore, writer gone") << "Quillory-PreRestore-20240101-000000-000.zip." + endedPid + ".part" << true << true;
        QTest::newRow("own writer") << snap + own + ".part" << true << false;
        QTest::newRow("writer gone, young") << snap + endedPid + ".part" << false << false;
        QTest::newRow("no id") << "x.part" << true << false;
        QTest::newRow("snapshot without id") << "Quillory-Auto-20240101-000000-000.zip.part" << true << false;
        QTest::newRow("download") << "ubuntu-24.04.iso.part" << true << false;
        QTest::newRow("video download") << "movie.mkv.part" << true << false;
        QTest::newRow("other program's id") << "thesis.docx." + endedPid + ".part" << true << false;
        QTest::newRow("recorder segment") << "Screen_20240101_000000.mp4.part" << true << false;
        QTest::newRow("id zero") << snap + "0.part" << true << false;
        QTest::newRow("negative id") << snap + "-5.part" << true << false;
        QTest::newRow("id with sign") << snap + "+" + endedPid + ".part" << true << false;
        // Truncated to a process id these would name this process or init.
        QTest::newRow("id above the range, low bits own") << snap + QString::number((qint64(1) << 32) + QCoreApplication::applicationPid()) + ".part" << true << false;
        QTest::newRow("id above the range") << snap + "99999999999999.part" << true << false;
    }
    void staleParts()
    {
        QFETCH(QString, name);
        QFETCH(bool, old);
        QFETCH(bool, removed);
        const QString dir = m_dir + QStringLiteral("/Backups");
        const QString path = dir + QLatin1Char('/') + name;
        QVERIFY(testsupport::writeFile(path, "p"));
        if (old)
            QVERIFY(testsupport::setModificationTime(path, QDateTime::currentDateTime().addDays(-7)));
        QCOMPARE(BackupEngine::removeStaleParts(dir, 21600), removed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(path), !removed);
    }

    void exporting()
    {
        const QString src = m_dir + QStringLiteral("/s.zip");
        QVERIFY(testsupport::writeFile(src, QByteArray(200000, 'z')));
        QString error;
        const QString target = m_dir + QStringLiteral("/new/folder/t.zip");
        QVERIFY(BackupEngine::exportSnapshot(src, target, error));
        QCOMPARE(testsupport::readFile(target), QByteArray(200000, 'z'));

        QVERIFY(!BackupEngine::exportSnapshot(m_dir + QStringLiteral("/missing.zip"), m_dir + QStringLiteral("/m/t.zip"), error));
        QCOMPARE(error, QStringLiteral("快照文件不存在"));
        QVERIFY(!QFileInfo::exists(m_dir + QStringLiteral("/m")));

        // A full disk leaves the old target as it was.
        QVERIFY(testsupport::writeFile(target, "old"));
        {
            testsupport::FileSizeLimit limit(100000);
            if (!limit.active())
                QSKIP("file size limit not available");
            QVERIFY(!BackupEngine::exportSnapshot(src, target, error));
        }
        QCOMPARE(error, QStringLiteral("导出失败，请检查磁盘空间"));
        QCOMPARE(testsupport::readFile(target), QByteArray("old"));
    }

    void walksTakeHiddenFilesAndSkipNestedBackups()
    {
        const QString root = m_dir + QStringLiteral("/root");
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/.hidden"), "12"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/.cfg/x"), "123"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/logs/l.txt"), "1234"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/a.log"), "12345"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/snaps/s.zip"), "123456"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/empty")));
        QVERIFY(QFile::link(root + QStringLiteral("/.hidden"), root + QStringLiteral("/link")));
        const QString skip = nestedFolderToSkip(root, root + QStringLiteral("/snaps"));
        QVERIFY(!skip.isEmpty());
        QVERIFY(nestedFolderToSkip(root, m_dir).isEmpty());
        QCOMPARE(treeSizeBytes(root, nullptr, skip), 5);
        QStringList files;
        collectDataFiles(root, QString(), files, skip);
        files.sort();
        const QString canon = QFileInfo(root).canonicalFilePath();
        QCOMPARE(files, (QStringList{ canon + QStringLiteral("/.cfg/x"), canon + QStringLiteral("/.hidden") }));
        const QString copy = m_dir + QStringLiteral("/copy");
        QVERIFY(copyDirIfExists(root, copy, nullptr, skip));
        QCOMPARE(testsupport::readFile(copy + QStringLiteral("/.cfg/x")), QByteArray("123"));
        QVERIFY(QFileInfo(copy + QStringLiteral("/empty")).isDir());
        QVERIFY(!QFileInfo::exists(copy + QStringLiteral("/snaps")));
        QVERIFY(!QFileInfo::exists(copy + QStringLiteral("/link")));
        QVERIFY(!copyDirIfExists(m_dir + QStringLiteral("/none"), copy, nullptr));
    }

    void interruptedRestoreAtStart_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("addedRemoved");
        QTest::newRow("died during the safety copy") << QByteArray("{\"state\":\"copying\"}")
                                                     << int(BackupEngine::Recovery::PartialCopyDropped) << true;
        QTest::newRow("died while writing") << QByteArray("{\"state\":\"ready\",\"skip\":\"SKIP\"}")
                                            << int(BackupEngine::Recovery::RolledBack) << true;
        // Which folder held the user's snapshots is unknown: nothing is
        // deleted, overwritten files are put back.
        QTest::newRow("record unreadable") << QByteArray("{garbage") << int(BackupEngine::Recovery::RolledBack)
                                           << false;
    }
    void interruptedRestoreAtStart()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, outcome);
        QFETCH(bool, addedRemoved);
        const QString root = QFileInfo(m_dir).canonicalFilePath() + QStringLiteral("/data");
        const QString safety = BackupEngine::safetyCopyPath(root);
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/settings.json"), "mine"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/.dot"), "dot"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/logs/app.log"), "log"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/snaps/Quillory-Auto-20240101-000000-000.zip"), "z"));
        QVERIFY(copyDirIfExists(root, safety, nullptr, root + QStringLiteral("/snaps")));
        const bool wasWriting = outcome == int(BackupEngine::Recovery::RolledBack);
        if (wasWriting) {
            // What a run cut off half-way leaves: one file overwritten, one
            // deleted, new files and folders.
            QVERIFY(testsupport::writeFile(root + QStringLiteral("/settings.json"), "restored"));
            QVERIFY(QFile::remove(root + QStringLiteral("/.dot")));
            QVERIFY(testsupport::writeFile(root + QStringLiteral("/new/deep/f.txt"), "n"));
            QVERIFY(testsupport::writeFile(root + QStringLiteral("/.newdot"), "n"));
            // The crash that cut it off wrote its records after the copy.
            QVERIFY(testsupport::writeFile(root + QStringLiteral("/crash-20261211-101500.dmp"), "dump"));
            QVERIFY(testsupport::writeFile(root + QStringLiteral("/crash.log"), "line"));
        }
        record.replace("SKIP", (root + QStringLiteral("/snaps")).toUtf8());
        QVERIFY(testsupport::writeFile(safety + QStringLiteral(".state"), record));

        QCOMPARE(int(BackupEngine::finishInterruptedRestore(root)), outcome);
        QCOMPARE(testsupport::readFile(root + QStringLiteral("/settings.json")), QByteArray("mine"));
        QCOMPARE(testsupport::readFile(root + QStringLiteral("/.dot")), QByteArray("dot"));
        QCOMPARE(QFileInfo::exists(root + QStringLiteral("/new")), !addedRemoved);
        QCOMPARE(QFileInfo::exists(root + QStringLiteral("/.newdot")), !addedRemoved);
        QVERIFY(QFileInfo::exists(root + QStringLiteral("/logs/app.log")));
        QVERIFY(QFileInfo::exists(root + QStringLiteral("/snaps/Quillory-Auto-20240101-000000-000.zip")));
        if (wasWriting) {
            QCOMPARE(testsupport::readFile(root + QStringLiteral("/crash-20261211-101500.dmp")), QByteArray("dump"));
            QCOMPARE(testsupport::readFile(root + QStringLiteral("/crash.log")), QByteArray("line"));
        }
        QVERIFY(!QFileInfo::exists(safety));
        QVERIFY(!QFileInfo::exists(safety + QStringLiteral(".state")));
        QCOMPARE(BackupEngine::finishInterruptedRestore(root), BackupEngine::Recovery::NothingToDo);
    }

    // A restore that had finished (or rolled back) and died while deleting
    // its safety copy: the data root is final and must not be touched.
    void halfDeletedCopyOfAFinishedRestore()
    {
        const QString root = QFileInfo(m_dir).canonicalFilePath() + QStringLiteral("/data");
        const QString safety = BackupEngine::safetyCopyPath(root);
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/settings.json"), "restored"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/added.txt"), "restored too"));
        QVERIFY(testsupport::writeFile(safety + QStringLiteral("/settings.json"), "old"));
        QVERIFY(testsupport::writeFile(safety + QStringLiteral(".state"),
                                       "{\"state\":\"discarding\",\"skip\":\"\",\"phase\":\"restored\"}"));
        const testsupport::FileTree before = testsupport::treeOf(root);

        QCOMPARE(BackupEngine::finishInterruptedRestore(root), BackupEngine::Recovery::CopyDiscarded);
        QCOMPARE(testsupport::treeOf(root), before);
        QVERIFY(!QFileInfo::exists(safety));
        QVERIFY(!QFileInfo::exists(safety + QStringLiteral(".state")));
        QVERIFY(BackupEngine::takeRecoveryNotice().isEmpty());
    }

    // Copies no record accounts for are named to the user at every start
    // until they are gone, never deleted unseen.
    void keptSafetyCopiesAreNamed()
    {
        const QString root = QFileInfo(m_dir).canonicalFilePath() + QStringLiteral("/data");
        const QString safety = BackupEngine::safetyCopyPath(root);
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/settings.json"), "mine"));
        QVERIFY(testsupport::writeFile(safety + QStringLiteral("-20260101-000000-000/settings.json"), "older"));
        QVERIFY(testsupport::writeFile(safety + QStringLiteral("/settings.json"), "old"));
        QCOMPARE(BackupEngine::finishInterruptedRestore(root), BackupEngine::Recovery::SafetyCopyKept);
        QCOMPARE(BackupEngine::keptSafetyCopies(root),
                 (QStringList{ safety, safety + QStringLiteral("-20260101-000000-000") }));
        const QString notice = BackupEngine::takeRecoveryNotice();
        QVERIFY2(notice.contains(safety), qPrintable(notice));
        QVERIFY(BackupEngine::takeRecoveryNotice().isEmpty());
        QCOMPARE(testsupport::readFile(safety + QStringLiteral("/settings.json")), QByteArray("old"));
        QCOMPARE(testsupport::readFile(root + QStringLiteral("/settings.json")), QByteArray("mine"));
    }

    // The script of a restore whose program died may still be writing; the
    // start-up must end it before it rolls back, or its later writes mix
    // with the rolled-back files. A process id given to another program
    // since is left alone.
    void scriptStillRunningAtStart_data()
    {
        QTest::addColumn<bool>("sameProcess");
        QTest::newRow("the restore's own script") << true;
        QTest::newRow("id now of another program") << false;
    }
    void scriptStillRunningAtStart()
    {
        QFETCH(bool, sameProcess);
        const QString root = QFileInfo(m_dir).canonicalFilePath() + QStringLiteral("/data");
        const QString safety = BackupEngine::safetyCopyPath(root);
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/settings.json"), "mine"));
        QVERIFY(testsupport::writeFile(root + QStringLiteral("/layout.json"), "my layout"));
        QVERIFY(copyDirIfExists(root, safety, nullptr));
        const testsupport::FileTree before = testsupport::treeOf(root);

        // Stands in for the script: keeps writing restored files for ever.
        QProcess writer;
        startInOwnProcessGroup(writer);
        const QString loop = sameProcess
            ? QStringLiteral("while :; do printf restored > \"$0/settings.json\"; printf n > \"$0/new.txt\"; done")
            : QStringLiteral("while :; do sleep 1; done");
        writer.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), loop, root });
        QVERIFY(writer.waitForStarted());
        const qint64 pid = writer.processId();
        if (sameProcess)
            QTRY_VERIFY(QFileInfo::exists(root + QStringLiteral("/new.txt")));
        // Another program's process carries another start time.
        const quint64 started = sameProcess ? processStartTime(pid) : processStartTime(pid) + 1;
        QVERIFY(started > 0);
        const QByteArray record = QStringLiteral("{\"state\":\"ready\",\"skip\":\"\",\"pid\":%1,\"started\":\"%2\","
                                                 "\"phase\":\"writing\"}")
                                      .arg(pid)
                                      .arg(started)
                                      .toUtf8();
        QVERIFY(testsupport::writeFile(safety + QStringLiteral(".state"), record));

        QCOMPARE(BackupEngine::finishInterruptedRestore(root), BackupEngine::Recovery::RolledBack);
        if (sameProcess) {
            QVERIFY(writer.waitForFinished(5000));
            QCOMPARE(testsupport::treeOf(root), before);
        } else {
            QCOMPARE(writer.state(), QProcess::Running);
            killProcessGroup(pid);
            QVERIFY(writer.waitForFinished(5000));
            QCOMPARE(testsupport::treeOf(root), before);
        }
        QVERIFY(!QFileInfo::exists(safety));
    }

    void zipDirectorySums_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<qint64>("entries");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("plain") << QStringList{ "plain" } << 3LL << 3000LL;
        QTest::newRow("zip64") << QStringList{ "zip64" } << 3LL << 3000LL;
        QTest::newRow("with comment") << QStringList{ "comment" } << 3LL << 3000LL;
    }
    void zipDirectorySums()
    {
        QFETCH(QStringList, args);
        QFETCH(qint64, entries);
        QFETCH(qint64, bytes);
        const QString zip = m_dir + QStringLiteral("/t.zip");
        const QString script = QStringLiteral(
            "import sys, zipfile\n"
            "kind = sys.argv[2]\n"
            "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED, allowZip64=True) as z:\n"
            "    for i in range(3):\n"
            "        with z.open('f%d' % i, 'w', force_zip64=(kind == 'zip64')) as f: f.write(b'x' * 1000)\n"
            "    if kind == 'comment': z.comment = b'c' * 300\n");
        QCOMPARE(QProcess::execute(QStringLiteral("python3"), QStringList{ QStringLiteral("-c"), script, zip } + args), 0);
        const ZipDirectorySummary s = readZipDirectory(zip);
        QVERIFY2(s.ok, qPrintable(s.error));
        QCOMPARE(s.entries, entries);
        QCOMPARE(static_cast<qint64>(s.unpackedBytes), bytes);
    }

    void zipDirectoryRefusesDamage()
    {
        QVERIFY(!locateZipDirectory(QByteArray(10, 'x'), 10).ok);
        QVERIFY(!locateZipDirectory(QByteArray(100, '\0'), 100).ok);
        // An end record pointing past the file.
        QByteArray end("PK\x05\x06", 4);
        end += QByteArray("\0\0\0\0\x01\0\x01\0\x2e\0\0\0\xff\0\0\0\0\0", 18);
        QVERIFY(!locateZipDirectory(end, end.size()).ok);
        QVERIFY(!summarizeZipDirectory(QByteArray("PK\x01\x02", 4), 1).ok);
    }
};

QTEST_GUILESS_MAIN(TestBackupEngine)
#include "test_backupengine.moc"
