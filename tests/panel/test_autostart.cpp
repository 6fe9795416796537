// The autostart entry: where it goes, what its Exec line holds, and a
// failure that loses nothing.
#include "panel/autostart.h"

#include "testsupport.h"

#include <QtTest>

class TestAutoStart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void autoStartEntry();
    void execQuoting_data();
    void execQuoting();
};

void TestAutoStart::autoStartEntry()
{
    const QString entry = autoStartEntryPath();
    QVERIFY(entry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/")));
    QCOMPARE(setAutoStart(true, QStringLiteral("/opt/Tarnavel Panel/TarnavelPanel")), 0);
    const QByteArray text = testsupport::readFile(entry);
    QVERIFY(text.contains("Exec=\"/opt/Tarnavel Panel/TarnavelPanel\"\n"));
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QCOMPARE(setAutoStart(true, QStringLiteral("/opt/Tarnavel Panel/TarnavelPanel")), 0);
    QCOMPARE(setAutoStart(false), 0);
    QVERIFY(!QFileInfo::exists(entry));
    QCOMPARE(setAutoStart(false), 0);

    // A folder standing where the entry goes: a failure, and nothing lost.
    QVERIFY(QDir().mkpath(entry + QStringLiteral("/keep")));
    QString error;
    QVERIFY(setAutoStart(true, QStringLiteral("/bin/true"), &error) != 0);
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(entry + QStringLiteral("/keep")).isDir());
    QVERIFY(QDir(entry).removeRecursively());
}

void TestAutoStart::execQuoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/panel" << "\"/usr/bin/panel\"";
    QTest::newRow("space") << "/a b/panel" << "\"/a b/panel\"";
    QTest::newRow("quote, dollar, backtick")
        << "/a\"$`/p" << "\"/a\\\\\"\\\\$\\\\`/p\"";
    QTest::newRow("percent") << "/a%b/p" << "\"/a%%b/p\"";
}

void TestAutoStart::execQuoting()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QCOMPARE(desktopExecQuoted(program), exec);
}

QTEST_MAIN(TestAutoStart)
#include "test_autostart.moc"
