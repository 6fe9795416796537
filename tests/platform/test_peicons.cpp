#include "iconfixtures.h"
#include "platform/filebytesource.h"
#include "platform/peicons.h"
#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace iconfixtures;

namespace {

// Every field of the entries, one line each, so two readings compare whole.
QString describe(const QList<IconImageEntry>& entries)
{
    QStringList lines;
    for (const IconImageEntry& e : entries)
        lines << QStringLiteral("%1x%2 c%3 p%4 b%5 r%6 %7")
                     .arg(e.width).arg(e.height).arg(e.colorCount).arg(e.planes).arg(e.bitCount)
                     .arg(e.resourceId).arg(QString::fromLatin1(e.data.toBase64()));
    return lines.join(QLatin1Char('\n'));
}

QString describe(const QList<IconGroup>& groups)
{
    QStringList lines;
    for (const IconGroup& g : groups)
        lines << QStringLiteral("group %1 '%2'").arg(g.id).arg(g.name) << describe(g.entries);
    return lines.join(QLatin1Char('\n'));
}

QString fixturePath(const QString& name)
{
    return testsupport::testRoot() + QStringLiteral("/tmp/") + name;
}

} // namespace

class TestPeIcons : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsGroups_data();
    void readsGroups();
    void icoFiles();
    void rejectsDamage_data();
    void rejectsDamage();
    void fileCutAfterOpening_data();
    void fileCutAfterOpening();
    void agreesWithWrestool();
};

void TestPeIcons::readsGroups_data()
{
    QTest::addColumn<QList<GroupFixture>>("groups");
    QTest::addColumn<bool>("pe32plus");
    QTest::addColumn<int>("largest");

    QTest::newRow("one group, png and bitmap")
        << QList<GroupFixture>{{1, {}, {{squareIcon(16, Qt::red), false}, {squareIcon(48, Qt::green), true}}}}
        << true << 48;
    QTest::newRow("256 stored as 0")
        << QList<GroupFixture>{{7, {}, {{squareIcon(32, Qt::red), true}, {squareIcon(256, Qt::blue), true}}}}
        << true << 256;
    QTest::newRow("32-bit image, named group first")
        << QList<GroupFixture>{{3, {}, {{squareIcon(24, Qt::red), false}}},
                            {0, QStringLiteral("MAINICON"), {{squareIcon(64, Qt::blue), true}}}}
        << false << 64;
    QTest::newRow("image larger than the cached blocks")
        << QList<GroupFixture>{{2, {}, {{squareIcon(128, Qt::red), false}, {squareIcon(20, Qt::blue), false}}}}
        << true << 128;
    QTest::newRow("no groups") << QList<GroupFixture>{} << true << 0;
}

void TestPeIcons::readsGroups()
{
    QFETCH(QList<GroupFixture>, groups);
    QFETCH(bool, pe32plus);
    QFETCH(int, largest);
    const QByteArray pe = buildPeWithIcons(groups, pe32plus);
    QCOMPARE(largestGroupIconWidth(pe), largest);

    const QList<IconGroup> read = readPeIconGroups(pe);
    QCOMPARE(read.size(), groups.size());
    // Read from the file in pieces, the same groups come out.
    const QString file = fixturePath(QStringLiteral("groups.exe"));
    QVERIFY(testsupport::writeFile(file, pe));
    QCOMPARE(describe(readPeIconGroups(FileByteSource(file))), describe(read));
    // Named groups come first in the resource directory, as the loader
    // enumerates them.
    QList<GroupFixture> expected = groups;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const GroupFixture& a, const GroupFixture& b) { return !a.name.isEmpty() && b.name.isEmpty(); });
    for (int g = 0; g < read.size(); ++g) {
        const GroupFixture& want = expected.at(g);
        QCOMPARE(read[g].name, want.name);
        QCOMPARE(read[g].id, want.name.isEmpty() ? want.id : -1);
        QCOMPARE(read[g].entries.size(), want.icons.size());
        for (int i = 0; i < want.icons.size(); ++i) {
            QCOMPARE(read[g].entries[i].width, want.icons[i].image.width());
            QCOMPARE(read[g].entries[i].data, iconImageData(want.icons[i]));
        }
    }
}

void TestPeIcons::icoFiles()
{
    const QList<IconFixture> icons{{squareIcon(16, Qt::red), false}, {squareIcon(256, Qt::blue), true},
                                {squareIcon(48, Qt::green), false}};
    const QList<IconImageEntry> entries = readIcoFile(buildIcoFile(icons));
    QCOMPARE(entries.size(), 3);
    const QString file = fixturePath(QStringLiteral("icons.ico"));
    QVERIFY(testsupport::writeFile(file, buildIcoFile(icons)));
    QCOMPARE(describe(readIcoFile(FileByteSource(file))), describe(entries));
    const IconImageEntry best = largestIconEntry(entries);
    QCOMPARE(best.width, 256);
    QCOMPARE(best.data, iconImageData(icons[1]));
    // A rebuilt file decodes to the same pixels as the original image.
    const QImage decoded = QImage::fromData(icoFileFromEntries({entries[2]}), "ICO");
    QCOMPARE(decoded.convertToFormat(QImage::Format_ARGB32), icons[2].image);
}

void TestPeIcons::rejectsDamage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("groups");
    const QByteArray pe = buildPeWithIcons({{1, {}, {{squareIcon(32, Qt::red), true}}}});
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("only the DOS magic") << QByteArray("MZ") << 0;
    QTest::newRow("headers only") << pe.left(0x200) << 0;
    QTest::newRow("resource section cut") << pe.left(0x200 + 40) << 0;
    QByteArray farHeader = pe;
    farHeader[0x3C] = char(0xF0);
    farHeader[0x3F] = char(0x7F);
    QTest::newRow("PE header offset past the end") << farHeader << 0;
    QByteArray badDirectory = pe;
    badDirectory[0x200 + 14] = char(0xFF); // the root claims 65535 entries
    badDirectory[0x200 + 15] = char(0xFF);
    QTest::newRow("root directory overflows") << badDirectory << 1;
}

void TestPeIcons::rejectsDamage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, groups);
    // Nothing may be read past the end: what does not fit is dropped, and
    // intact entries before a damaged count are still found.
    QCOMPARE(readPeIconGroups(bytes).size(), groups);
    QCOMPARE(largestGroupIconWidth(bytes), groups ? 32 : 0);
    QVERIFY(readIcoFile(bytes).isEmpty());
}

void TestPeIcons::fileCutAfterOpening_data()
{
    QTest::addColumn<int>("cut");
    QTest::addColumn<int>("groups");
    QTest::newRow("inside the headers") << 0x100 << 0;
    QTest::newRow("inside the resource directory") << 0x228 << 0;
    QTest::newRow("inside an image") << 0x200 + 0x4000 << 0;
    QTest::newRow("nothing cut") << -1 << 1;
}

void TestPeIcons::fileCutAfterOpening()
{
    QFETCH(int, cut);
    QFETCH(int, groups);
    // A user's file may shrink between being opened and being read: what
    // is gone counts as missing, and what is read is the file's own bytes.
    const QByteArray pe = buildPeWithIcons({{1, {}, {{squareIcon(128, Qt::red), false}, {squareIcon(48, Qt::green), true}}}});
    const QString file = fixturePath(QStringLiteral("shrinking.exe"));
    QVERIFY(testsupport::writeFile(file, pe));
    const FileByteSource source(file);
    QVERIFY(source.isOpen());
    QCOMPARE(source.size(), std::uint64_t(pe.size()));
    if (cut >= 0)
        QVERIFY(QFile::resize(file, cut));
    const QList<IconGroup> read = readPeIconGroups(source);
    QCOMPARE(read.size(), groups);
    if (groups > 0)
        QCOMPARE(describe(read), describe(readPeIconGroups(pe)));
}

namespace {
QString runTool(const QStringList& args, bool* ok)
{
    QProcess p;
    p.start(QStringLiteral("wrestool"), args);
    *ok = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(p.readAllStandardOutput());
}
} // namespace

void TestPeIcons::agreesWithWrestool()
{
    if (QStandardPaths::findExecutable(QStringLiteral("wrestool")).isEmpty())
        QSKIP("wrestool (icoutils) is not installed");
    const QList<GroupFixture> groups{
        {5, {}, {{squareIcon(16, Qt::red), false}, {squareIcon(32, Qt::green), true}}},
        {9, {}, {{squareIcon(256, Qt::blue), true}}},
        {0, QStringLiteral("APPICON"), {{squareIcon(48, Qt::yellow), false}}}};
    const QString file = testsupport::testRoot() + QStringLiteral("/tmp/fixture.exe");
    QVERIFY(testsupport::writeFile(file, buildPeWithIcons(groups)));

    bool ok = false;
    const QString listing = runTool({QStringLiteral("-l"), QStringLiteral("--type=14"), file}, &ok);
    QVERIFY2(ok, qPrintable(listing));
    QStringList toolNames;
    const QRegularExpression nameRe(QStringLiteral("--name=(\\S+)"));
    for (auto it = nameRe.globalMatch(listing); it.hasNext();)
        toolNames << it.next().captured(1).remove(QLatin1Char('\''));

    const QList<IconGroup> ours = readPeIconGroups(FileByteSource(file));
    QCOMPARE(describe(ours), describe(readPeIconGroups(testsupport::readFile(file))));
    QStringList ourNames;
    for (const IconGroup& g : ours)
        ourNames << (g.name.isEmpty() ? QString::number(g.id) : g.name);
    QCOMPARE(ourNames, toolNames);

    // The tool's extracted icon file holds the same images as ours.
    for (const IconGroup& g : ours) {
        const QString out = file + QStringLiteral(".g.ico");
        runTool({QStringLiteral("-x"), QStringLiteral("--type=14"),
                 QStringLiteral("--name=") + (g.name.isEmpty() ? QString::number(g.id) : g.name),
                 QStringLiteral("-o"), out, file}, &ok);
        QVERIFY(ok);
        const QList<IconImageEntry> theirs = readIcoFile(testsupport::readFile(out));
        QCOMPARE(theirs.size(), g.entries.size());
        for (int i = 0; i < theirs.size(); ++i) {
            QCOMPARE(theirs[i].width, g.entries[i].width);
            QCOMPARE(theirs[i].height, g.entries[i].height);
            QCOMPARE(theirs[i].data, g.entries[i].data);
        }
    }
    QCOMPARE(largestGroupIconWidth(testsupport::readFile(file)), 256);
}

QTEST_GUILESS_MAIN(TestPeIcons)
#include "test_peicons.moc"
