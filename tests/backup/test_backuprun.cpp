// Snapshot creation and restore through a real pwsh: archives, zip-slip,
// roll-back, cancellation and the start-up roll-back of a killed restore.
#include "backup/backupengine.h"
#include "backup/restoreguard.h"
#include "backup/scriptrunner.h"
#include "platform/childprocess.h"

#include "testsupport.h"

#include <QtConcurrent>
#include <QtTest>

#include <cstdio>

namespace {

using Tree = testsupport::FileTree;
using testsupport::treeOf;

// What our runs leave in the temporary folder, the runtime's pipes and
// sockets included.
QStringList temporaries()
{
    return QDir(QDir::tempPath()).entryList({ QStringLiteral("krv*"), QStringLiteral("clr-debug-pipe-*"),
                                              QStringLiteral("dotnet-diagnostic-*"), QStringLiteral("CoreFxPipe_*") },
                                            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Collects the log lines of this process while it lives.
class LogCapture {
public:
    LogCapture()
    {
        lines().clear();
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            lines() << text;
        });
    }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    static QStringList& lines()
    {
        static QStringList all;
        return all;
    }
    QString text() const { return lines().join(QLatin1Char('\n')); }
private:
    QtMessageHandler m_previous;
};

// Live processes (not zombies) whose command line mentions `needle`.
QList<qint64> processesMentioning(const QByteArray& needle)
{
    QList<qint64> found;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool ok = false;
        const qint64 n = pid.toLongLong(&ok);
        if (!ok)
            continue;
        QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!cmd.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray st = stat.readAll();
        const int close = st.lastIndexOf(')');
        if (close > 0 && st.mid(close + 2, 1) == "Z")
            continue;
        if (cmd.readAll().contains(needle))
            found << n;
    }
    return found;
}

// Makes a zip with Python's zipfile: each spec is "name=content",
// "name=*N" (N bytes of a repeating pattern) or "link:name=target" (a
// symbolic-link entry).
bool makeZip(const QString& path, const QStringList& specs)
{
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    for spec in sys.argv[2:]:\n"
        "        name, _, data = spec.partition('=')\n"
        "        if data.startswith('*') and data[1:].isdigit():\n"
        "            n = int(data[1:])\n"
        "            data = (bytes(range(251)) * (n // 251 + 1))[:n]\n"
        "        info = zipfile.ZipInfo(name[5:] if name.startswith('link:') else name)\n"
        "        info.compress_type = zipfile.ZIP_DEFLATED\n"
        "        info.external_attr = (0o120777 if name.startswith('link:') else 0o100644) << 16\n"
        "        z.writestr(info, data)\n");
    return QProcess::execute(QStringLiteral("python3"), QStringList{ QStringLiteral("-c"), script, path } + specs) == 0;
}

// The child mode of this executable: restores `zip` over `root`, printing
// each percent on its own line, so the parent can kill it mid-run.
int runRestoreChild(const QString& zip, const QString& root)
{
    QString error;
    const bool ok = BackupEngine::restoreSnapshot(
        zip, root, error,
        [](int percent, const QString&) {
            std::printf("%d\n", percent);
            std::fflush(stdout);
        },
        nullptr, nullptr);
    std::printf("%s\n", ok ? "done" : qPrintable(error));
    return ok ? 0 : 1;
}

} // namespace

class TestBackupRun : public QObject {
    Q_OBJECT
    QString m_base;
    QString m_root;

    // Builds the data root of most cases.
    void fillRoot()
    {
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/settings.json"), "{\"a\":1}"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/.hidden"), "dot"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/.config/inner.txt"), "inner"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/sub/deeper/file [1].txt"), "deep"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/sub/back\\slash.txt"), "bs"));
        QByteArray big(6 * 1024 * 1024, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = static_cast<char>((i * 7919) % 251);
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/large.bin"), big));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
    }

    void init()
    {
        m_base = testsupport::testRoot() + QStringLiteral("/run");
        QDir(m_base).removeRecursively();
        m_root = m_base + QString::fromUtf8("/O'Neil\u2019s root");
        QVERIFY(QDir().mkpath(m_root));
    }

    void cleanup()
    {
        QVERIFY2(temporaries().isEmpty(), qPrintable(temporaries().join(QLatin1Char(' '))));
    }

    void snapshotHoldsExactlyTheDataAndRestores()
    {
        fillRoot();
        // Kept out: logs, caches, log files, the restore copy's name, and a
        // backup folder the user placed inside the data root.
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/logs/app.log"), "l"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/Cache/icon.png"), "c"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/old.LOG"), "l"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/sub/.__restore_bak/x"), "r"));
        const QString backups = m_root + QStringLiteral("/My snapshots");
        QVERIFY(testsupport::writeFile(backups + QStringLiteral("/holiday.zip"), "user's own zip"));
        QVERIFY(QFile::link(m_root + QStringLiteral("/settings.json"), m_root + QStringLiteral("/link.json")));

        QList<int> percents;
        QString error;
        bool cancelled = true;
        const QString zip = BackupEngine::createSnapshot(
            backups, m_root, error, false, [&](int p, const QString&) { percents << p; }, nullptr, &cancelled);
        QVERIFY2(!zip.isEmpty(), qPrintable(error));
        QVERIFY(!cancelled);
        QVERIFY(QFileInfo(zip).fileName().startsWith(QLatin1String("Quillory-Auto-")));
        QCOMPARE(percents.first(), 1);
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QCOMPARE(std::adjacent_find(percents.begin(), percents.end()), percents.end());

        QCOMPARE(testsupport::zipListing(zip), (QStringList{ QStringLiteral(".config/inner.txt"), QStringLiteral(".hidden"),
                                                QStringLiteral("large.bin"), QStringLiteral("settings.json"),
                                                QStringLiteral("sub/back\\slash.txt"),
                                                QStringLiteral("sub/deeper/file [1].txt") }));
        QCOMPARE(QProcess::execute(QStringLiteral("unzip"), { QStringLiteral("-tqq"), zip }), 0);
        QStringList inBackups = QDir(backups).entryList(QDir::Files);
        inBackups.sort();
        QCOMPARE(inBackups, (QStringList{ QFileInfo(zip).fileName(), QStringLiteral("holiday.zip") }));

        // Restore over a changed data root: snapshot files come back, files
        // it does not hold stay.
        const Tree before = treeOf(m_root);
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/settings.json"), "changed"));
        QVERIFY(QFile::remove(m_root + QStringLiteral("/.config/inner.txt")));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/added.txt"), "new"));
        percents.clear();
        QVERIFY2(BackupEngine::restoreSnapshot(zip, m_root, error, [&](int p, const QString&) { percents << p; },
                                               nullptr, &cancelled),
                 qPrintable(error));
        Tree expected = before;
        expected.insert(QStringLiteral("added.txt"), "new");
        QCOMPARE(treeOf(m_root), expected);
        QCOMPARE(percents.first(), 1);
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root)));
        // The restored files are not yet loaded: saves wait until then.
        QVERIFY(BackupEngine::savesHeld());
        BackupEngine::releaseSaves();
        QVERIFY(!BackupEngine::savesHeld());
    }

    void driveLetterNamesAreRefusedAtCreation()
    {
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/C:notes"), "x"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/a/b:c.txt"), "fine below the top"));
        QString error;
        const QString backups = m_base + QStringLiteral("/Backups");
        QVERIFY(BackupEngine::createSnapshot(backups, m_root, error, true, {}, nullptr, nullptr).isEmpty());
        QVERIFY2(error.contains(QLatin1String("file name cannot be restored from a snapshot: C:notes")), qPrintable(error));
        QVERIFY(QDir(backups).entryList(QDir::Files).isEmpty());
    }

    void unsafeEntriesAreRefused_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("parent") << "../x";
        QTest::newRow("parent after a folder") << "a/../../x";
        QTest::newRow("absolute") << "/x";
        QTest::newRow("backslash absolute") << "\\x";
        QTest::newRow("drive letter") << "C:x";
        QTest::newRow("mixed separators") << "a/..\\..\\x";
        QTest::newRow("symbolic link") << "link:evil";
    }
    void unsafeEntriesAreRefused()
    {
        QFETCH(QString, entry);
        fillRoot();
        const Tree before = treeOf(m_root);
        const QString zip = m_base + QStringLiteral("/evil.zip");
        const QString payload = entry.startsWith(QLatin1String("link:")) ? QStringLiteral("=/etc/passwd")
                                                                         : QStringLiteral("=escaped");
        QVERIFY(makeZip(zip, { QStringLiteral("settings.json=overwritten"), entry + payload }));
        QString error;
        QVERIFY(!BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr));
        QVERIFY2(error.contains(QLatin1String("unsafe zip entry: ")), qPrintable(error));
        QCOMPARE(treeOf(m_root), before);
        QVERIFY(!QFileInfo::exists(m_base + QStringLiteral("/x")));
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root)));
        QVERIFY(!BackupEngine::savesHeld());
    }

    void dotSegmentRestores()
    {
        const QString zip = m_base + QStringLiteral("/dot.zip");
        QVERIFY(makeZip(zip, { QStringLiteral("a/./b.txt=ok") }));
        QString error;
        QVERIFY2(BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr), qPrintable(error));
        QCOMPARE(testsupport::readFile(m_root + QStringLiteral("/a/b.txt")), QByteArray("ok"));
        BackupEngine::releaseSaves();
    }

    void failureHalfWayRollsBack()
    {
        fillRoot();
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/zz"), "a file where the snapshot has a folder"));
        const Tree before = treeOf(m_root);
        QStringList specs{ QStringLiteral("settings.json=new"), QStringLiteral(".hidden=new"),
                           QStringLiteral("zz/inner.txt=x") };
        for (int i = 0; i < 40; ++i)
            specs << QStringLiteral("new%1/f.txt=added").arg(i);
        const QString zip = m_base + QStringLiteral("/conflict.zip");
        QVERIFY(makeZip(zip, specs));
        QString error;
        QVERIFY(!BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr));
        QVERIFY(!error.isEmpty());
        QCOMPARE(treeOf(m_root), before);
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root)));
        QVERIFY(!BackupEngine::savesHeld());
    }

    // An archive this large is unpacked by several workers: the same files
    // come back, a name given twice comes from its last entry, and an entry
    // that cannot be unpacked fails the whole restore with the data root as
    // it was.
    void largeArchivesUnpackInParallel_data()
    {
        QTest::addColumn<bool>("conflict");
        QTest::newRow("whole") << false;
        QTest::newRow("one entry cannot be unpacked") << true;
    }
    void largeArchivesUnpackInParallel()
    {
        QFETCH(bool, conflict);
        fillRoot();
        const Tree before = treeOf(m_root);
        QStringList specs;
        for (int i = 0; i < 4; ++i)
            specs << QStringLiteral("big%1.bin=*%2").arg(i).arg(6000000 + i);
        for (int i = 0; i < 300; ++i)
            specs << QStringLiteral("small/f%1.txt=%1").arg(i);
        specs << QStringLiteral("twice.txt=first") << QStringLiteral("twice.txt=second");
        if (conflict)
            specs << QStringLiteral("x=a file") << QStringLiteral("x/y=a file under it");
        const QString zip = m_base + QStringLiteral("/large.zip");
        QVERIFY(makeZip(zip, specs));
        QString error;
        const bool ok = BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr);
        if (conflict) {
            QVERIFY(!ok);
            QVERIFY(!error.isEmpty());
            QVERIFY2(!error.contains(QLatin1String("EndInvoke")), qPrintable(error));
            QCOMPARE(treeOf(m_root), before);
            QVERIFY(!BackupEngine::savesHeld());
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        BackupEngine::releaseSaves();
        Tree expected = before;
        const QByteArray pattern = [] {
            QByteArray p(251, 0);
            for (int i = 0; i < 251; ++i)
                p[i] = char(i);
            return p;
        }();
        for (int i = 0; i < 4; ++i) {
            const int n = 6000000 + i;
            expected.insert(QStringLiteral("big%1.bin").arg(i), pattern.repeated(n / 251 + 1).left(n));
        }
        expected.insert(QStringLiteral("small/"), QByteArray());
        for (int i = 0; i < 300; ++i)
            expected.insert(QStringLiteral("small/f%1.txt").arg(i), QByteArray::number(i));
        expected.insert(QStringLiteral("twice.txt"), "second");
        QCOMPARE(treeOf(m_root), expected);
    }

    void zipBombIsRefusedBeforeRunning()
    {
        fillRoot();
        const Tree before = treeOf(m_root);
        const QString zip = m_base + QStringLiteral("/bomb.zip");
        const QString script = QStringLiteral(
            "import sys, zipfile\n"
            "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "    with z.open('big', 'w', force_zip64=True) as f:\n"
            "        block = bytes(1 << 20)\n"
            "        for _ in range(2048): f.write(block)\n");
        QElapsedTimer make;
        make.start();
        QCOMPARE(QProcess::execute(QStringLiteral("python3"), { QStringLiteral("-c"), script, zip }), 0);
        // A 2 GiB entry is far from a real bomb; pretend the disk is small
        // by patching the declared size to 2^60 bytes.
        QFile f(zip);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const int cd = bytes.lastIndexOf(QByteArray("PK\x01\x02", 4));
        const int extra = bytes.indexOf(QByteArray("\x01\x00", 2), cd + 46);
        QVERIFY(cd > 0 && extra > 0);
        const quint64 huge = quint64(1) << 60;
        for (int i = 0; i < 8; ++i)
            bytes[extra + 4 + i] = static_cast<char>((huge >> (8 * i)) & 0xFF);
        QVERIFY(f.seek(0) && f.write(bytes) == bytes.size());
        f.close();
        QString error;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr));
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY2(error.startsWith(QStringLiteral("磁盘空间不足")), qPrintable(error));
        QCOMPARE(treeOf(m_root), before);
    }

    void cancelEndsTheProcessGroup_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("creation") << false;
        QTest::newRow("restore") << true;
    }
    void cancelEndsTheProcessGroup()
    {
        QFETCH(bool, restore);
        fillRoot();
        for (int i = 0; i < 400; ++i)
            QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/many/f%1.txt").arg(i), QByteArray(2000, 'm')));
        QString zip;
        QString error;
        if (restore) {
            zip = BackupEngine::createSnapshot(m_base + QStringLiteral("/Backups"), m_root, error, false, {}, nullptr, nullptr);
            QVERIFY2(!zip.isEmpty(), qPrintable(error));
        }
        const Tree before = treeOf(m_root);
        std::atomic<bool> cancel { false };
        std::atomic<int> lastPercent { 0 };
        bool cancelled = false;
        const auto progress = [&](int p, const QString&) { lastPercent = p; };
        QFuture<bool> run = QtConcurrent::run([&] {
            if (restore)
                return BackupEngine::restoreSnapshot(zip, m_root, error, progress, &cancel, &cancelled);
            return !BackupEngine::createSnapshot(m_base + QStringLiteral("/Backups"), m_root, error, false, progress,
                                                 &cancel, &cancelled).isEmpty();
        });
        const QByteArray scriptMark = (QDir::tempPath() + QStringLiteral("/krvbk_")).toUtf8();
        // Cancel once the script is running.
        QTRY_VERIFY_WITH_TIMEOUT(!processesMentioning(scriptMark).isEmpty() && lastPercent >= 3, 60000);
        QElapsedTimer clock;
        clock.start();
        cancel = true;
        // The group goes at once; a restore then still rolls the data root back.
        while (!processesMentioning(scriptMark).isEmpty() && clock.elapsed() < 5000)
            QThread::msleep(20);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        run.waitForFinished();
        QVERIFY(!run.result());
        QVERIFY(cancelled);
        QCOMPARE(error, QStringLiteral("已取消"));
        QVERIFY(processesMentioning(scriptMark).isEmpty());
        QCOMPARE(treeOf(m_root), before);
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root)));
        const QStringList left = QDir(m_base + QStringLiteral("/Backups")).entryList(QDir::Files);
        QCOMPARE(left, restore ? QStringList{ QFileInfo(zip).fileName() } : QStringList());
    }

    // The program dies in the writing phase (kill -9, a crash) and is
    // started again at once, while nothing but the program was killed: its
    // script must not outlive it, and the recovery must not roll back while
    // any of it still writes. The data root ends as it was or as the
    // snapshot holds it, never a mix.
    void killedRestoreIsRolledBackAtNextStart_data()
    {
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("recovery at once") << true;
        // Shows the script ending with the program on its own.
        QTest::newRow("recovery once the script is gone") << false;
    }
    void killedRestoreIsRolledBackAtNextStart()
    {
        QFETCH(bool, atOnce);
        fillRoot();
        QStringList specs;
        for (int i = 0; i < 3000; ++i)
            specs << QStringLiteral("n/f%1.txt=%2").arg(i).arg(QString(200, QLatin1Char('n')));
        specs << QStringLiteral("settings.json=restored");
        const QString zip = m_base + QStringLiteral("/many.zip");
        QVERIFY(makeZip(zip, specs));
        const Tree before = treeOf(m_root);

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--restore-child"), zip, m_root });
        QVERIFY(child.waitForStarted());
        const QByteArray mark = (QDir::tempPath() + QStringLiteral("/krvbk_")).toUtf8();
        QTRY_VERIFY_WITH_TIMEOUT(!processesMentioning(mark).isEmpty(), 120000);
        // The top-level file is written first and thousands follow: once it
        // has changed, the run is in the middle of writing over the data
        // root.
        QElapsedTimer wait;
        wait.start();
        const QString settings = m_root + QStringLiteral("/settings.json");
        while ((testsupport::readFile(settings) != "restored" || !QFileInfo(m_root + QStringLiteral("/n")).isDir()
                || restoreguard::readRecord(QFileInfo(m_root).canonicalFilePath()).phase != QLatin1String("writing"))
               && wait.elapsed() < 120000)
            QThread::usleep(200);
        QVERIFY(QFileInfo(m_root + QStringLiteral("/n")).isDir());
        // The program only, not its script.
        child.kill();
        child.waitForFinished();
        const qsizetype writtenAtKill = QDir(m_root + QStringLiteral("/n")).entryList(QDir::Files).size();
        if (!atOnce) {
            QTRY_VERIFY_WITH_TIMEOUT(processesMentioning(mark).isEmpty(), 30000);
            // It stopped with the program instead of writing on to the end.
            // On a loaded machine the kill may land when the moves are
            // nearly done; only a kill well before the end says anything.
            if (writtenAtKill < 2000)
                QVERIFY(QDir(m_root + QStringLiteral("/n")).entryList(QDir::Files).size() < 3000);
        }

        LogCapture log;
        QCOMPARE(BackupEngine::finishInterruptedRestore(m_root), BackupEngine::Recovery::RolledBack);
        // Whatever is left of the script could still write after the
        // recovery returned; let it finish before looking.
        QTRY_VERIFY_WITH_TIMEOUT(processesMentioning(mark).isEmpty(), 120000);
        QCOMPARE(treeOf(m_root), before);
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root)));
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root) + QStringLiteral(".state")));
        QVERIFY2(log.text().contains(QLatin1String("interrupted restore rolled back (it had reached phase writing)")),
                 qPrintable(log.text()));
        QCOMPARE(BackupEngine::finishInterruptedRestore(m_root), BackupEngine::Recovery::NothingToDo);
        // What a killed run leaves in the temporary folder is the day-old
        // clean-up's business; clear it for this test's own check.
        for (const QString& name : temporaries()) {
            const QString path = QDir::tempPath() + QLatin1Char('/') + name;
            QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
        }
    }

    // A restore never writes through a symbolic link inside the data root:
    // whatever the link points at is covered by no safety copy. It refuses
    // before anything changed and names the link.
    void linksInsideTheDataRootAreNeverWrittenThrough_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("entry");
        QTest::newRow("folder") << "linkdir" << "linkdir/victim.txt";
        QTest::newRow("folder below a folder") << "sub/linkdir" << "sub/linkdir/deeper/victim.txt";
        QTest::newRow("file") << "victim.txt" << "victim.txt";
    }
    void linksInsideTheDataRootAreNeverWrittenThrough()
    {
        QFETCH(QString, link);
        QFETCH(QString, entry);
        fillRoot();
        const QString elsewhere = m_base + QStringLiteral("/elsewhere");
        const bool file = link == QLatin1String("victim.txt");
        QVERIFY(testsupport::writeFile(elsewhere + QStringLiteral("/victim.txt"), "theirs"));
        QVERIFY(testsupport::writeFile(elsewhere + QStringLiteral("/deeper/victim.txt"), "theirs"));
        QVERIFY(QFile::link(file ? elsewhere + QStringLiteral("/victim.txt") : elsewhere, m_root + QLatin1Char('/') + link));
        const Tree before = treeOf(m_root);
        const Tree outside = treeOf(elsewhere);
        const QString zip = m_base + QStringLiteral("/links.zip");
        QVERIFY(makeZip(zip, { QStringLiteral("settings.json=restored"), entry + QStringLiteral("=overwritten") }));
        QString error;
        QVERIFY(!BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr));
        QVERIFY2(error.contains(link) && error.contains(QStringLiteral("符号链接")), qPrintable(error));
        QCOMPARE(treeOf(elsewhere), outside);
        QCOMPARE(treeOf(m_root), before);
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(m_root)));
        QVERIFY(!BackupEngine::savesHeld());
    }

    // A zip holding "Backups/…" (or the user's own backup folder inside the
    // data root) must not overwrite the snapshots there: no safety copy
    // covers them. The rest of it restores.
    void restoreNeverWritesIntoTheBackupFolder()
    {
        fillRoot();
        const QString own = m_root + QStringLiteral("/My snapshots");
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/Backups/Quillory-Auto-20260101-000000-000.zip"), "mine"));
        QVERIFY(testsupport::writeFile(own + QStringLiteral("/holiday.zip"), "mine too"));
        const QString zip = own + QStringLiteral("/Quillory-Auto-20260102-000000-000.zip");
        QVERIFY(makeZip(zip, { QStringLiteral("settings.json=restored"),
                               QStringLiteral("Backups/Quillory-Auto-20260101-000000-000.zip=overwritten"),
                               QStringLiteral("backups/new.zip=added"),
                               QStringLiteral("My snapshots/holiday.zip=overwritten") }));
        QString error;
        QVERIFY2(BackupEngine::restoreSnapshot(zip, m_root, error, {}, nullptr, nullptr), qPrintable(error));
        BackupEngine::releaseSaves();
        QCOMPARE(testsupport::readFile(m_root + QStringLiteral("/settings.json")), QByteArray("restored"));
        QCOMPARE(testsupport::readFile(m_root + QStringLiteral("/Backups/Quillory-Auto-20260101-000000-000.zip")),
                 QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(m_root + QStringLiteral("/backups")));
        QCOMPARE(testsupport::readFile(own + QStringLiteral("/holiday.zip")), QByteArray("mine too"));
    }

    // The user sees one line: the script's own message, or what ended it;
    // the runtime's trace stays in the log.
    void failuresReachTheUserAsOneLine_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("logged");
        QTest::newRow("own message") << "$ErrorActionPreference='Stop'\n$ErrorView='NormalView'\nthrow \"unsafe zip entry: ../x\""
                                     << "unsafe zip entry: ../x" << ".ps1";
        QTest::newRow(".NET failure") << "$ErrorActionPreference='Stop'\n$ErrorView='NormalView'\n"
                                         "[System.IO.File]::Move('/nonexistent/a', '/nonexistent/b', $true)"
                                      << "Could not find file '/nonexistent/a'." << "Exception calling";
        QTest::newRow("killed") << "[System.Diagnostics.Process]::GetCurrentProcess().Kill()"
                                << "PowerShell 进程意外终止" << "ended by a signal";
        QTest::newRow("silent exit") << "exit 3" << "PowerShell 退出码 3" << "exit code 3";
    }
    void failuresReachTheUserAsOneLine()
    {
        QFETCH(QString, body);
        QFETCH(QString, shown);
        QFETCH(QString, logged);
        const QString script = writePsScript(body + QLatin1Char('\n'));
        QVERIFY(!script.isEmpty());
        QString error;
        LogCapture log;
        QVERIFY(!runPowerShellScript(script, error, {}, 60000, nullptr, nullptr));
        QFile::remove(script);
        QCOMPARE(error, shown);
        QVERIFY2(log.text().contains(logged), qPrintable(log.text()));
    }

    // A backup folder that cannot be written is named with the reason.
    void unwritableBackupFolderNamesTheCause()
    {
        fillRoot();
        QVERIFY(testsupport::writeFile(m_base + QStringLiteral("/blocker"), "a file where a folder should be"));
        QString error;
        const QString backups = m_base + QStringLiteral("/blocker/Backups");
        QVERIFY(BackupEngine::createSnapshot(backups, m_root, error, true, {}, nullptr, nullptr).isEmpty());
        QVERIFY2(error.contains(backups) && error.contains(QLatin1String("Not a directory")), qPrintable(error));
        // A read-only file system, where the machine has one at hand.
        const QString readOnly = QStringLiteral("/sys/krv-backups");
        if (!QDir().mkpath(readOnly)) {
            QVERIFY(BackupEngine::createSnapshot(readOnly, m_root, error, true, {}, nullptr, nullptr).isEmpty());
            QVERIFY2(error.contains(readOnly) && !error.contains(QStringLiteral("Could not find")), qPrintable(error));
        }
    }

    void safetyCopyWithoutRecordIsKept()
    {
        fillRoot();
        const QString safety = BackupEngine::safetyCopyPath(m_root);
        QVERIFY(testsupport::writeFile(safety + QStringLiteral("/settings.json"), "only copy"));
        QCOMPARE(BackupEngine::finishInterruptedRestore(m_root), BackupEngine::Recovery::SafetyCopyKept);
        QCOMPARE(testsupport::readFile(safety + QStringLiteral("/settings.json")), QByteArray("only copy"));
        QDir(safety).removeRecursively();
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--restore-child") == 0) {
        QCoreApplication app(argc, argv);
        return runRestoreChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestBackupRun test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_backuprun.moc"
