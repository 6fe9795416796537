// The extraction command run for real under pwsh: what it unpacks and every
// kind of entry it must refuse before writing.
#include "market/extractscript.h"

#include "backup/scriptrunner.h"
#include "testsupport.h"
#include "zipfixture.h"

#include <QProcess>
#include <QtTest>

using testsupport::ZipEntry;

namespace {

struct Run {
    bool started = false;
    int exitCode = -1;
    QByteArray output;
};

// The limit the market would set, with the disk's free space unknown,
// unless the test gives one.
Run runExtract(const QString& zip, const QString& staging, qint64 limit = -1)
{
    if (limit < 0)
        limit = packageUnpackLimit(QFileInfo(zip).size(), -1);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(powerShellProgram(),
            packageExtractArguments(packageExtractCommand(zip, staging, ExtractDialect::Linux, limit)));
    Run r;
    r.started = p.waitForStarted(30000);
    if (r.started && p.waitForFinished(120000)) {
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.output = p.readAll();
    }
    return r;
}

QStringList filesUnder(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class TestPackageExtract : public QObject {
    Q_OBJECT
    QString base;

private Q_SLOTS:
    void initTestCase()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed (tools/setup.sh installs it)");
    }
    void init()
    {
        base = testsupport::testRoot() + QStringLiteral("/x/") + QString::fromLatin1(QTest::currentDataTag());
        QDir(base).removeRecursively();
        QVERIFY(QDir().mkpath(base + QStringLiteral("/stage")));
    }

    // The Windows text is kept as designed, character for character.
    void windowsDialect()
    {
        const QString root = QStringLiteral("C:/Users/O'Neil/AppData/Local/Tarnavel/TarnavelPanel/apps/");
        const QString text = packageExtractCommand(root + QStringLiteral("demo.package.zip"),
                                                   root + QStringLiteral("demo.__new"), ExtractDialect::Windows, 0);
        QCOMPARE(text.toUtf8(),
                 testsupport::readFile(testsupport::sourceDir() + QStringLiteral("/tests/market/golden/extract_windows.txt")));
    }

    void unpacksFoldersAndOverwrites()
    {
        // Quotes of both kinds in the paths must reach pwsh intact.
        const QString dir = base + QStringLiteral("/o'neil\u2019s");
        QVERIFY(QDir().mkpath(dir + QStringLiteral("/stage")));
        const QString zip = dir + QStringLiteral("/p.zip");
        QVERIFY(testsupport::writeFile(zip, testsupport::makeZip({
            {QStringLiteral("tool"), "#!/bin/sh\n", 0100755},
            {QStringLiteral("sub/"), QByteArray(), 040755},
            {QStringLiteral("sub/deep/readme.txt"), "hello", 0100644},
            {QStringLiteral("win\\style.txt"), "w", 0},
            {QStringLiteral("dup.txt"), "first", 0100644},
            {QStringLiteral("dup.txt"), "second", 0100644},
        })));
        const Run r = runExtract(zip, dir + QStringLiteral("/stage"));
        QVERIFY(r.started);
        QVERIFY2(r.exitCode == 0, r.output.constData());
        const QString stage = dir + QStringLiteral("/stage");
        QCOMPARE(filesUnder(stage), QStringList({"dup.txt", "sub", "sub/deep", "sub/deep/readme.txt", "tool", "win",
                                                 "win/style.txt"}));
        QCOMPARE(testsupport::readFile(stage + QStringLiteral("/sub/deep/readme.txt")), QByteArray("hello"));
        QCOMPARE(testsupport::readFile(stage + QStringLiteral("/dup.txt")), QByteArray("second"));
    }

    void refusesUnsafeEntries_data()
    {
        QTest::addColumn<QList<ZipEntry>>("entries");
        const ZipEntry good{QStringLiteral("good.txt"), "good", 0100644};
        auto with = [&](const ZipEntry& bad) { return QList<ZipEntry>{good, bad}; };
        QTest::newRow("parent") << with({QStringLiteral("../evil.txt"), "evil", 0100644});
        QTest::newRow("parent inside") << with({QStringLiteral("sub/../../evil.txt"), "evil", 0100644});
        QTest::newRow("parent with backslashes") << with({QStringLiteral("sub\\..\\..\\evil.txt"), "evil", 0});
        QTest::newRow("absolute") << with({QStringLiteral("/abs.txt"), "evil", 0100644});
        QTest::newRow("drive") << with({QStringLiteral("C:evil.txt"), "evil", 0});
        QTest::newRow("symbolic link") << with({QStringLiteral("link"), "/tmp", 0120777});
        QTest::newRow("file beneath a link")
            << QList<ZipEntry>{good, {QStringLiteral("link/evil.txt"), "evil", 0100644},
                               {QStringLiteral("link"), "..", 0120777}};
        QTest::newRow("device") << with({QStringLiteral("dev"), QByteArray(), 020644});
        QTest::newRow("pipe") << with({QStringLiteral("fifo"), QByteArray(), 010644});
    }
    void refusesUnsafeEntries()
    {
        QFETCH(QList<ZipEntry>, entries);
        const QString zip = base + QStringLiteral("/p.zip");
        QVERIFY(testsupport::writeFile(zip, testsupport::makeZip(entries)));
        const QStringList before = filesUnder(base);
        const Run r = runExtract(zip, base + QStringLiteral("/stage"));
        QVERIFY(r.started);
        QVERIFY2(r.exitCode != 0, r.output.constData());
        QVERIFY2(r.output.contains("unsafe zip entry"), r.output.constData());
        // Nothing was written: the whole archive is checked first.
        QCOMPARE(filesUnder(base), before);
        QVERIFY(!QFileInfo::exists(QFileInfo(base).path() + QStringLiteral("/evil.txt")));
    }

    // Sizes are checked before anything is written: a package whose
    // entries declare more than the limit (a compression bomb, more than the
    // disk has room for) writes nothing.
    void refusesOversizedPackages_data()
    {
        QTest::addColumn<QList<ZipEntry>>("entries");
        QTest::addColumn<qint64>("limit");
        const ZipEntry good{QStringLiteral("good.txt"), "good", 0100644};
        const QByteArray zeros(70 * 1024 * 1024, '\0');
        QTest::newRow("compression bomb")
            << QList<ZipEntry>{good, {QStringLiteral("zeros.bin"), zeros, 0100644, true}} << qint64(-1);
        QTest::newRow("more than the disk has room for")
            << QList<ZipEntry>{good, {QStringLiteral("big.bin"), QByteArray(4096, 'x'), 0100644}} << qint64(1000);
    }
    void refusesOversizedPackages()
    {
        QFETCH(QList<ZipEntry>, entries);
        QFETCH(qint64, limit);
        const QString zip = base + QStringLiteral("/p.zip");
        QVERIFY(testsupport::writeFile(zip, testsupport::makeZip(entries)));
        const QStringList before = filesUnder(base);
        const Run r = runExtract(zip, base + QStringLiteral("/stage"), limit);
        QVERIFY(r.started);
        QVERIFY2(r.exitCode == kExtractTooLarge, r.output.constData());
        QCOMPARE(filesUnder(base), before);
    }

    // An entry that holds more than it declares is cut at its declared
    // size, so the checked total bounds what is written.
    void lyingEntryStopsAtItsDeclaredSize()
    {
        const QString zip = base + QStringLiteral("/p.zip");
        QVERIFY(testsupport::writeFile(zip, testsupport::makeZip({
            {QStringLiteral("liar.bin"), QByteArray(70 * 1024 * 1024, '\0'), 0100644, true, 16}})));
        const Run r = runExtract(zip, base + QStringLiteral("/stage"));
        QVERIFY(r.started);
        QVERIFY(QFileInfo(base + QStringLiteral("/stage/liar.bin")).size() <= 16);
    }

    void unpackLimit_data()
    {
        QTest::addColumn<qint64>("archive");
        QTest::addColumn<qint64>("free");
        QTest::addColumn<qint64>("limit");
        const qint64 MiB = 1024 * 1024;
        QTest::newRow("small archive: the floor") << qint64(1000) << qint64(-1) << 64 * MiB;
        QTest::newRow("ratio") << 10 * MiB << qint64(-1) << 1000 * MiB;
        QTest::newRow("ceiling") << 100 * MiB << qint64(-1) << 4096 * MiB;
        QTest::newRow("free space less the reserve") << 10 * MiB << 300 * MiB << 44 * MiB;
        QTest::newRow("disk nearly full") << 10 * MiB << 100 * MiB << qint64(0);
    }
    void unpackLimit()
    {
        QFETCH(qint64, archive);
        QFETCH(qint64, free);
        QFETCH(qint64, limit);
        QCOMPARE(packageUnpackLimit(archive, free), limit);
    }

    void refusesBadArchive()
    {
        const QString zip = base + QStringLiteral("/p.zip");
        QVERIFY(testsupport::writeFile(zip, "PK\x03\x04 this is not a zip"));
        const Run r = runExtract(zip, base + QStringLiteral("/stage"));
        QVERIFY(r.started);
        QVERIFY(r.exitCode != 0);
    }
};

QTEST_GUILESS_MAIN(TestPackageExtract)
#include "test_packageextract.moc"
