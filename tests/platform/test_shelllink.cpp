#include "iconfixtures.h"
#include "platform/shelllink.h"
#include "testsupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace iconfixtures;

Q_DECLARE_METATYPE(LinkFixture)

namespace {

LinkFixture fullSpec()
{
    LinkFixture s;
    s.localPath = QStringLiteral("C:\\Windows\\notepad.exe");
    s.name = QStringLiteral("Notes");
    s.relativePath = QStringLiteral("..\\Windows\\notepad.exe");
    s.workingDir = QStringLiteral("C:\\Users\\me");
    s.arguments = QStringLiteral("/p \"a b.txt\"");
    s.iconLocation = QStringLiteral("C:\\Windows\\system32\\shell32.dll");
    s.iconIndex = -3;
    return s;
}

} // namespace

class TestShellLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reads_data();
    void reads();
    void rejectsDamage_data();
    void rejectsDamage();
    void agreesWithLnkinfo_data();
    void agreesWithLnkinfo();
};

void TestShellLink::reads_data()
{
    QTest::addColumn<LinkFixture>("fixture");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("icon");

    const LinkFixture full = fullSpec();
    QTest::newRow("all strings, wide") << full << full.localPath << full.iconLocation;
    LinkFixture ansi = full;
    ansi.unicode = false;
    ansi.withIdList = true;
    QTest::newRow("single-byte strings after an id list") << ansi << full.localPath << full.iconLocation;
    LinkFixture env = full;
    env.environmentTarget = QStringLiteral("%windir%\\notepad.exe");
    env.iconEnvironment = QStringLiteral("%SystemRoot%\\icons.dll");
    QTest::newRow("environment forms win") << env << env.environmentTarget << env.iconEnvironment;
    LinkFixture admin;
    admin.localPath = QStringLiteral("D:\\Tools\\setup.exe");
    admin.runAsUser = true;
    QTest::newRow("run as administrator, nothing else") << admin << admin.localPath << QString();
}

void TestShellLink::reads()
{
    QFETCH(LinkFixture, fixture);
    QFETCH(QString, target);
    QFETCH(QString, icon);
    ShellLinkData link;
    QString error;
    QVERIFY2(parseShellLink(buildShellLink(fixture), &link, &error), qPrintable(error));
    QCOMPARE(link.target(), target);
    QCOMPARE(link.iconLocation, icon);
    QCOMPARE(link.iconIndex, fixture.iconIndex);
    QCOMPARE(link.workingDir, fixture.workingDir);
    QCOMPARE(link.arguments, fixture.arguments);
    QCOMPARE(link.name, fixture.name);
    QCOMPARE(link.relativePath, fixture.relativePath);
    QCOMPARE(link.runAsUser, fixture.runAsUser);
}

void TestShellLink::rejectsDamage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = buildShellLink(fullSpec());
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut") << good.left(40);
    QByteArray clsid = good;
    clsid[4] = 0x02;
    QTest::newRow("wrong class id") << clsid;
    // Cut inside the link information, then inside the last string.
    QTest::newRow("link information cut") << good.left(0x4C + 20);
    QTest::newRow("string data cut") << good.left(good.size() - 10);
    QByteArray huge = good;
    huge[0x4C] = char(0xFF);
    huge[0x4D] = char(0xFF);
    QTest::newRow("link information larger than the file") << huge;
}

void TestShellLink::rejectsDamage()
{
    QFETCH(QByteArray, bytes);
    ShellLinkData link;
    QString error;
    QVERIFY(!parseShellLink(bytes, &link, &error));
    QVERIFY(!error.isEmpty());
}

void TestShellLink::agreesWithLnkinfo_data()
{
    QTest::addColumn<LinkFixture>("fixture");
    QTest::newRow("wide strings") << fullSpec();
    LinkFixture ansi = fullSpec();
    ansi.unicode = false;
    QTest::newRow("single-byte strings") << ansi;
    LinkFixture env = fullSpec();
    env.environmentTarget = QStringLiteral("%windir%\\notepad.exe");
    env.iconEnvironment = QStringLiteral("%SystemRoot%\\icons.dll");
    env.withIdList = true;
    QTest::newRow("environment blocks and an id list") << env;
}

void TestShellLink::agreesWithLnkinfo()
{
    QFETCH(LinkFixture, fixture);
    if (QStandardPaths::findExecutable(QStringLiteral("lnkinfo")).isEmpty())
        QSKIP("lnkinfo (liblnk-utils) is not installed");
    const QString file = testsupport::testRoot() + QStringLiteral("/tmp/fixture.lnk");
    const QByteArray bytes = buildShellLink(fixture);
    QVERIFY(testsupport::writeFile(file, bytes));
    QProcess tool;
    tool.start(QStringLiteral("lnkinfo"), {file});
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitCode(), 0);
    QMap<QString, QString> fields;
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (colon > 0)
            fields.insert(line.left(colon).trimmed(), line.mid(colon + 2));
    }

    ShellLinkData link;
    QVERIFY(parseShellLink(bytes, &link));
    QCOMPARE(link.localBasePath, fields.value(QStringLiteral("Local path")));
    QCOMPARE(link.name, fields.value(QStringLiteral("Description")));
    QCOMPARE(link.relativePath, fields.value(QStringLiteral("Relative path")));
    QCOMPARE(link.workingDir, fields.value(QStringLiteral("Working directory")));
    QCOMPARE(link.arguments, fields.value(QStringLiteral("Command line arguments")));
    QCOMPARE(link.iconLocation, fields.value(QStringLiteral("Icon location")));
    QCOMPARE(link.environmentTarget, fields.value(QStringLiteral("Environment variables location")));
    QCOMPARE(QString::number(link.iconIndex), fields.value(QStringLiteral("Icon index")));
}

QTEST_GUILESS_MAIN(TestShellLink)
#include "test_shelllink.moc"
