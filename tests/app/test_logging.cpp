#include "app/logging.h"

#include "testsupport.h"

#include <QtTest>

using testsupport::readFile;
using testsupport::writeFile;

Q_LOGGING_CATEGORY(lcQtLike, "qt.quillory.test")
Q_LOGGING_CATEGORY(lcEmpty, "")

class TestLogging : public QObject {
    Q_OBJECT
    QString m_dataRoot;
    QString dayDir() const
    {
        return m_dataRoot + QStringLiteral("/logs/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    }
    QString logPath() const { return dayDir() + QStringLiteral("/app.log"); }

private Q_SLOTS:
    void initTestCase()
    {
        m_dataRoot = testsupport::testRoot() + QStringLiteral("/dataroot");
        initLogging(m_dataRoot);
    }
    void init() { QDir(dayDir()).removeRecursively(); }

    void lineFormat_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("info") << int(QtInfoMsg) << QByteArray("default") << QStringLiteral("hello")
                              << QByteArray("2024-03-05 07:08:09.010 [INFO ] [default] hello\n");
        QTest::newRow("debug") << int(QtDebugMsg) << QByteArray("default") << QStringLiteral("d")
                               << QByteArray("2024-03-05 07:08:09.010 [DEBUG] [default] d\n");
        QTest::newRow("warning") << int(QtWarningMsg) << QByteArray("qt.gui") << QStringLiteral("w")
                                 << QByteArray("2024-03-05 07:08:09.010 [WARN ] [qt.gui] w\n");
        QTest::newRow("critical") << int(QtCriticalMsg) << QByteArray("default") << QStringLiteral("c")
                                  << QByteArray("2024-03-05 07:08:09.010 [ERROR] [default] c\n");
        QTest::newRow("fatal") << int(QtFatalMsg) << QByteArray("default") << QStringLiteral("f")
                               << QByteArray("2024-03-05 07:08:09.010 [FATAL] [default] f\n");
        QTest::newRow("empty category has no brackets") << int(QtInfoMsg) << QByteArray() << QStringLiteral("x")
                                                        << QByteArray("2024-03-05 07:08:09.010 [INFO ] x\n");
        QTest::newRow("utf-8 text") << int(QtInfoMsg) << QByteArray("default") << QStringLiteral("启动体检通过")
                                    << QByteArray("2024-03-05 07:08:09.010 [INFO ] [default] ") + QStringLiteral("启动体检通过").toUtf8() + "\n";
    }
    void lineFormat()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, category);
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9, 10));
        QCOMPARE(formatLogLine(QtMsgType(type), category.constData(), text, when), expected);
    }

    void handlerWritesOneLinePerMessageWithQuotedTexts()
    {
        qInfo() << "startup:" << QStringLiteral("a \"b\"") << "args:" << 3;
        qCInfo(lcEmpty) << "no category";
        const QList<QByteArray> lines = readFile(logPath()).split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last line feed
        QVERIFY2(lines[0].endsWith(" [INFO ] [default] startup: \"a \\\"b\\\"\" args: 3"), lines[0]);
        QVERIFY2(lines[1].endsWith(" [INFO ] no category"), lines[1]);
        QVERIFY(QDateTime::fromString(QString::fromLatin1(lines[0].left(23)), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).isValid());
        QCOMPARE(lines[2], QByteArray());
    }

    void qtCategoriesWithoutVerbosity()
    {
        qCInfo(lcQtLike) << "qt info dropped";
        qCDebug(lcQtLike) << "qt debug dropped";
        qDebug() << "own debug off";
        qCWarning(lcQtLike) << "qt warning kept";
        const QByteArray log = readFile(logPath());
        QVERIFY(!log.contains("dropped"));
        QVERIFY(!log.contains("own debug off"));
        QVERIFY(log.contains("[WARN ] [qt.quillory.test] qt warning kept"));
    }

    void verbosity_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("debugOn");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("2") << QByteArray("2") << true;
        QTest::newRow("3") << QByteArray("3") << false;
        QTest::newRow("true") << QByteArray("true") << false;
        QTest::newRow("1 with a blank") << QByteArray("1 ") << false;
        QTest::newRow("empty") << QByteArray("") << false;
    }
    void verbosity()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, debugOn);
        qputenv("KRV_VERBOSE", value);
        initLogging(m_dataRoot);
        qDebug() << "own debug line";
        qCDebug(lcQtLike) << "qt debug line";
        qunsetenv("KRV_VERBOSE");
        initLogging(m_dataRoot);
        const QByteArray log = readFile(logPath());
        QCOMPARE(log.contains("[DEBUG] [default] own debug line"), debugOn);
        QCOMPARE(log.contains("[DEBUG] [qt.quillory.test] qt debug line"), debugOn);
    }

    void rotationAtTheByteBoundary()
    {
        QVERIFY(writeFile(dayDir() + QStringLiteral("/app.1.log"), "older part\n"));
        QVERIFY(writeFile(logPath(), QByteArray(kLogRotateBytes, 'x')));
        qInfo() << "exactly at the limit";
        QVERIFY2(readFile(dayDir() + QStringLiteral("/app.1.log")) == "older part\n", "a file of exactly 5 MiB is not rotated");
        QVERIFY(QFileInfo(logPath()).size() > kLogRotateBytes);

        qInfo() << "first line after the limit";
        const QByteArray rotated = readFile(dayDir() + QStringLiteral("/app.1.log"));
        // The whole previous app.log, the older app.1.log gone.
        QVERIFY(rotated.startsWith(QByteArray(kLogRotateBytes, 'x')));
        QVERIFY(rotated.endsWith("exactly at the limit\n"));
        QCOMPARE(rotated.count('\n'), 1);
        const QByteArray current = readFile(logPath());
        QVERIFY2(current.endsWith("first line after the limit\n") && current.count('\n') == 1, current);
    }

    void failedRotationKeepsBothParts()
    {
        // A non-empty folder named app.1.log cannot be replaced by a rename.
        QVERIFY(writeFile(dayDir() + QStringLiteral("/app.1.log/keep.txt"), "older part"));
        QVERIFY(writeFile(logPath(), QByteArray(kLogRotateBytes + 1, 'y')));
        testsupport::StderrCapture err;
        qInfo() << "after a failed rotation";
        QVERIFY2(err.text().contains(QByteArray("[TarnavelPanel] log rotate failed: " + QFile::encodeName(logPath()))), err.text());
        QCOMPARE(readFile(dayDir() + QStringLiteral("/app.1.log/keep.txt")), QByteArray("older part"));
        const QByteArray current = readFile(logPath());
        QVERIFY(current.startsWith(QByteArray(kLogRotateBytes + 1, 'y')));
        QVERIFY(current.endsWith("after a failed rotation\n"));
    }

    void pruning()
    {
        const QString root = logRoot();
        const QDate today = QDate::currentDate();
        const auto day = [&](int back) -> QString { return root + QLatin1Char('/') + today.addDays(-back).toString(QStringLiteral("yyyy-MM-dd")); };
        const QStringList kept = { day(0), day(7), root + QStringLiteral("/not-a-date"), root + QStringLiteral("/2024-13-01") };
        const QStringList removed = { day(8), day(400) };
        for (const QString& d : kept + removed)
            QVERIFY(writeFile(d + QStringLiteral("/app.log"), "x\n"));
        QVERIFY(writeFile(root + QStringLiteral("/") + today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt"), "a file, not a day folder"));
        pruneOldLogs();
        for (const QString& d : kept)
            QVERIFY2(QFileInfo(d).isDir(), qPrintable(d));
        for (const QString& d : removed)
            QVERIFY2(!QFileInfo(d).exists(), qPrintable(d));
        QVERIFY(QFileInfo::exists(root + QStringLiteral("/") + today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt")));
    }

    void unwritableLogRootNeverCrashes()
    {
        // A file where the log root should be: nothing can be created below it.
        const QString blocked = testsupport::testRoot() + QStringLiteral("/blocked");
        QVERIFY(writeFile(blocked + QStringLiteral("/logs"), "in the way"));
        testsupport::StderrCapture err;
        initLogging(blocked);
        qInfo() << "goes nowhere";
        qWarning() << "goes nowhere either";
        const QByteArray text = err.text();
        QVERIFY2(text.contains(QByteArray("[TarnavelPanel] log root mkdir failed: " + QFile::encodeName(blocked) + "/logs\n")), text);
        QVERIFY2(text.contains("[TarnavelPanel] log mkdir failed: "), text);
        QCOMPARE(logRoot(), blocked + QStringLiteral("/logs"));
        initLogging(m_dataRoot);
    }
};

QTEST_GUILESS_MAIN(TestLogging)
#include "test_logging.moc"
