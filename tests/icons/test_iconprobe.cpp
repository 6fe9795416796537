#include "icons/iconprobe.h"
#include "themefixture.h"

#include <QApplication>
#include <QStandardPaths>
#include <QtTest>

namespace {

QStringList logLines;

void collect(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtInfoMsg && text.startsWith(QLatin1String("icon probe:")))
        logLines << text;
}

QStringList runProbe(const QString& dir)
{
    logLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    runIconProbe(dir);
    qInstallMessageHandler(previous);
    return logLines;
}

} // namespace

// Runs on the real X server: the probe is a mode of the executable and
// meets the desktop's platform plugin there.
class TestIconProbe : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writesFilesAndLines();
    void uncreatableFolderStillLogs();
};

void TestIconProbe::writesFilesAndLines()
{
    QVERIFY(testsupport::haveX11());
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    QVERIFY(QDir().mkpath(music));
    const QString dir = testsupport::testRoot() + QStringLiteral("/probe/out");
    const QStringList lines = runProbe(dir);

    QVERIFY2(lines.contains(QStringLiteral("icon probe: \"recyclebin\" 192 x 192")), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains(QStringLiteral("icon probe: \"computer\" 192 x 192")));
    QVERIFY(lines.contains(QStringLiteral("icon probe: \"controlpanel\" EMPTY"))); // no such icon in the fixture
    QCOMPARE(QImage(dir + QStringLiteral("/recyclebin.png")).size(), QSize(192, 192));
    QVERIFY(!QFile::exists(dir + QStringLiteral("/controlpanel.png")));

    QVERIFY(lines.contains(QStringLiteral("icon probe: kf-path \"kf-music\" = \"%1\" isDir= true exists= true").arg(music)));
    // The folder's own icon is kept untrimmed under "hd-"; the full chain trims it.
    QVERIFY(lines.contains(QStringLiteral("icon probe: hd-resource \"kf-music\" 48 x 48")));
    QVERIFY(lines.contains(QStringLiteral("icon probe: known-folder \"kf-music\" 46 x 46")));
    QCOMPARE(QImage(dir + QStringLiteral("/hd-kf-music.png")).size(), QSize(48, 48));
    QCOMPARE(QImage(dir + QStringLiteral("/kf-music.png")).size(), QSize(46, 46));
    QCOMPARE(lines.filter(QStringLiteral("kf-path")).size(), 6);

    // A second run replaces the files.
    QVERIFY(testsupport::writeFile(dir + QStringLiteral("/computer.png"), "old"));
    runProbe(dir);
    QCOMPARE(QImage(dir + QStringLiteral("/computer.png")).size(), QSize(192, 192));
}

void TestIconProbe::uncreatableFolderStillLogs()
{
    const QString blocker = testsupport::testRoot() + QStringLiteral("/probe/blocker");
    QVERIFY(testsupport::writeFile(blocker, "a file, not a folder"));
    const QStringList lines = runProbe(blocker + QStringLiteral("/out"));
    QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^icon probe: \"\\w+\" "))).size(), 5);
    QCOMPARE(lines.filter(QStringLiteral("kf-path")).size(), 6);
    QVERIFY(!QFileInfo::exists(blocker + QStringLiteral("/out")));
}

int main(int argc, char** argv)
{
    installFixtureIconTheme();
    QApplication app(argc, argv);
    TestIconProbe test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_iconprobe.moc"
