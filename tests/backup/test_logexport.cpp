// Log export: a zip that unzip accepts, written under the chosen name only
// when complete; the folder copy when the archiver is missing or fails,
// made beside a same-named folder of the user's, which stays untouched.
#include "backup/logexport.h"

#include "testsupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

struct Outcome {
    QString text;
    int kind = -1;
    int calls = 0;
};

// Runs one export and waits for its single report.
Outcome exportOnce(const QString& logDir, const QString& zipPath, const QString& archiver = QStringLiteral("bsdtar"),
                   int watchdogMs = kLogExportWatchdogMs)
{
    Outcome out;
    QObject context;
    startLogExport(logDir, zipPath, &context,
                   [&out](const QString& text, int kind) {
                       out.text = text;
                       out.kind = kind;
                       ++out.calls;
                   },
                   archiver, watchdogMs);
    if (!QTest::qWaitFor([&out] { return out.calls > 0; }, 30000))
        return out;
    // Nothing reports a second time.
    QTest::qWait(200);
    return out;
}

QStringList namesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool unzipAccepts(const QString& zip)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), { QStringLiteral("-t"), zip });
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString unzipListing(const QString& zip)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), { QStringLiteral("-Z1"), zip });
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestLogExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void fallbackName_data();
    void fallbackName();
    void zipIsWholeAndValid_data();
    void zipIsWholeAndValid();
    void missingArchiverCopiesBesideUsersFolder();
    void failingArchiverKeepsTheOldFile_data();
    void failingArchiverKeepsTheOldFile();
    void copyIntoItselfEnds();

private:
    QString logs;
    QString out;
};

void TestLogExport::init()
{
    const QString root = testsupport::testRoot() + QStringLiteral("/") + QString::fromLatin1(QTest::currentTestFunction())
        + QStringLiteral("-") + QString::fromLatin1(QTest::currentDataTag());
    QDir(root).removeRecursively();
    logs = root + QStringLiteral("/logs");
    out = root + QStringLiteral("/out");
    QVERIFY(testsupport::writeFile(logs + QStringLiteral("/2025-03-01/app.log"), "line one\n"));
    QVERIFY(testsupport::writeFile(logs + QStringLiteral("/2025-03-02/app.log"), "line two\n"));
    QVERIFY(testsupport::writeFile(logs + QStringLiteral("/2025-03-02/app.1.log"), "older\n"));
    QVERIFY(QDir().mkpath(out));
}

void TestLogExport::fallbackName_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("folder");
    QTest::newRow("zip suffix") << QStringList() << QStringLiteral("Logs.zip") << QStringLiteral("Logs");
    QTest::newRow("upper-case suffix") << QStringList() << QStringLiteral("Logs.ZIP") << QStringLiteral("Logs");
    QTest::newRow("no suffix") << QStringList() << QStringLiteral("Logs") << QStringLiteral("Logs");
    QTest::newRow("folder taken") << QStringList{ QStringLiteral("Logs/") } << QStringLiteral("Logs.zip")
                                  << QStringLiteral("Logs (2)");
    QTest::newRow("file taken") << QStringList{ QStringLiteral("Logs") } << QStringLiteral("Logs.zip")
                                << QStringLiteral("Logs (2)");
    QTest::newRow("two taken") << QStringList{ QStringLiteral("Logs/"), QStringLiteral("Logs (2)/") }
                               << QStringLiteral("Logs.zip") << QStringLiteral("Logs (3)");
}

void TestLogExport::fallbackName()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, chosen);
    QFETCH(QString, folder);
    for (const QString& t : taken) {
        if (t.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(out + QLatin1Char('/') + t));
        else
            QVERIFY(testsupport::writeFile(out + QLatin1Char('/') + t, "x"));
    }
    QCOMPARE(logExportFallbackDir(out + QLatin1Char('/') + chosen), out + QLatin1Char('/') + folder);
}

void TestLogExport::zipIsWholeAndValid_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("zip name") << QStringLiteral("Quillory日志_20250302.zip");
    // The archive is a zip whatever the name says.
    QTest::newRow("name without suffix") << QStringLiteral("support-logs");
}

void TestLogExport::zipIsWholeAndValid()
{
    QFETCH(QString, name);
    if (QStandardPaths::findExecutable(QStringLiteral("bsdtar")).isEmpty())
        QSKIP("bsdtar is not installed (libarchive-tools)");
    const QString zip = out + QLatin1Char('/') + name;
    const Outcome o = exportOnce(logs, zip);
    QCOMPARE(o.calls, 1);
    QCOMPARE(o.kind, 0);
    QCOMPARE(o.text, QStringLiteral("日志已导出：%1").arg(zip));
    QVERIFY(unzipAccepts(zip));
    const QString listing = unzipListing(zip);
    QVERIFY2(listing.contains(QStringLiteral("2025-03-01/app.log")), qPrintable(listing));
    QVERIFY(listing.contains(QStringLiteral("2025-03-02/app.1.log")));
    // Only the zip is left beside it: no partial file.
    QCOMPARE(namesIn(out), QStringList{ name });
}

void TestLogExport::missingArchiverCopiesBesideUsersFolder()
{
    // The user's own folder of the name the fallback would take.
    QVERIFY(testsupport::writeFile(out + QStringLiteral("/Logs/mine.txt"), "keep me"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(out + QStringLiteral("/no-such-bin")));
    const Outcome o = exportOnce(logs, out + QStringLiteral("/Logs.zip"));
    qputenv("PATH", path);

    QCOMPARE(o.calls, 1);
    QCOMPARE(o.kind, 0);
    QCOMPARE(o.text, QStringLiteral("日志已导出：%1").arg(out + QStringLiteral("/Logs (2)")));
    QCOMPARE(namesIn(out + QStringLiteral("/Logs")), QStringList{ QStringLiteral("mine.txt") });
    QCOMPARE(testsupport::readFile(out + QStringLiteral("/Logs/mine.txt")), QByteArray("keep me"));
    QCOMPARE(testsupport::readFile(out + QStringLiteral("/Logs (2)/2025-03-02/app.log")), QByteArray("line two\n"));
    QCOMPARE(testsupport::readFile(out + QStringLiteral("/Logs (2)/2025-03-01/app.log")), QByteArray("line one\n"));
    QCOMPARE(namesIn(out), (QStringList{ QStringLiteral("Logs"), QStringLiteral("Logs (2)") }));
}

void TestLogExport::failingArchiverKeepsTheOldFile_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<int>("watchdogMs");
    QTest::newRow("exits with an error") << QByteArray("exit 2\n") << kLogExportWatchdogMs;
    QTest::newRow("killed by the watchdog") << QByteArray("exec sleep 60\n") << 500;
}

void TestLogExport::failingArchiverKeepsTheOldFile()
{
    QFETCH(QByteArray, ending);
    QFETCH(int, watchdogMs);
    // An archiver that fails after writing part of the archive.
    const QString fake = QFileInfo(out + QStringLiteral("/../fake-tar")).absoluteFilePath();
    QVERIFY(testsupport::writeFile(fake, "#!/bin/sh\n"
                                         "while [ $# -gt 0 ]; do [ \"$1\" = -f ] && printf 'PK partial' > \"$2\"; shift; done\n"
                                         + ending));
    QVERIFY(QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(testsupport::writeFile(out + QStringLiteral("/Logs.zip"), "the user's earlier export"));

    const Outcome o = exportOnce(logs, out + QStringLiteral("/Logs.zip"), fake, watchdogMs);
    QCOMPARE(o.calls, 1);
    QCOMPARE(o.kind, 0);
    QCOMPARE(o.text, QStringLiteral("日志已导出：%1").arg(out + QStringLiteral("/Logs")));
    QCOMPARE(testsupport::readFile(out + QStringLiteral("/Logs.zip")), QByteArray("the user's earlier export"));
    QCOMPARE(namesIn(out), (QStringList{ QStringLiteral("Logs"), QStringLiteral("Logs.zip") }));
}

void TestLogExport::copyIntoItselfEnds()
{
    // A target chosen inside the log folder itself.
    const QString inside = logs + QStringLiteral("/export");
    QVERIFY(copyDirRecursive(logs, inside));
    QCOMPARE(testsupport::readFile(inside + QStringLiteral("/2025-03-01/app.log")), QByteArray("line one\n"));
    QVERIFY(!QFileInfo::exists(inside + QStringLiteral("/export")));
}

QTEST_MAIN(TestLogExport)
#include "test_logexport.moc"
