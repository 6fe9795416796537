#include "panel/layoutfile.h"

#include "app/configsafety.h"
#include "panelshape.h"
#include "testsupport.h"

#include <QtTest>

namespace {

const QString kFallback = QStringLiteral("默认分组");

QString shape(const QList<PanelGroup>& groups) { return testsupport::panelShape(groups); }

} // namespace

class TestLayoutFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void readsEveryItemField();
    void groupNameLimit_data();
    void groupNameLimit();
    void writesSortedKeysIndentedWithEveryField();
    void roundTripKeepsEverything();
    void shortenedNameIsWrittenBack();
    void fileStates();
    void readErrorIsUnreadable();
    void isMissing_data();
    void isMissing();
};

void TestLayoutFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("expected");
    // Something of the file's content was dropped or cut by the lenient rules.
    QTest::addColumn<bool>("partly");

    const int loaded = int(LayoutFileState::Loaded);
    QTest::newRow("no groups") << QByteArray(R"({"groups": []})") << loaded << QStringLiteral("默认分组:") << false;
    QTest::newRow("empty object") << QByteArray(R"({})") << loaded << QStringLiteral("默认分组:") << false;
    QTest::newRow("groups key missing, other key dropped")
        << QByteArray(R"({"other": 1})") << loaded << QStringLiteral("默认分组:") << true;
    QTest::newRow("key in other case")
        << QByteArray(R"({"Groups": [{"name": "A"}]})") << loaded << QStringLiteral("默认分组:") << true;
    QTest::newRow("groups not an array") << QByteArray(R"({"groups": 5})") << loaded << QStringLiteral("默认分组:") << true;
    QTest::newRow("groups as a text") << QByteArray(R"({"groups": "A"})") << loaded << QStringLiteral("默认分组:") << true;
    QTest::newRow("group not an object reads as empty group")
        << QByteArray(R"({"groups": [7, {"name": "B"}]})") << loaded << QStringLiteral(":;B:") << true;
    QTest::newRow("items without path dropped, group kept")
        << QByteArray(R"({"groups": [{"name": "A", "items": [{"path": ""}, {"name": "x"}, 3, {"path": 9}]}]})")
        << loaded << QStringLiteral("A:") << true;
    QTest::newRow("items as an object")
        << QByteArray(R"({"groups": [{"name": "A", "items": {"path": "/x"}}]})") << loaded << QStringLiteral("A:") << true;
    QTest::newRow("unknown item key")
        << QByteArray(R"({"groups": [{"name": "A", "items": [{"path": "/x", "iconIndex": 2}]}]})")
        << loaded << QStringLiteral("A:/x") << true;
    QTest::newRow("flag of the wrong type")
        << QByteArray(R"({"groups": [{"name": "A", "items": [{"path": "/x", "hidden": "yes"}]}]})")
        << loaded << QStringLiteral("A:/x") << true;
    QTest::newRow("nulls carry nothing to lose")
        << QByteArray(R"({"groups": [{"name": null, "items": null}, {"name": "B", "items": [{"path": "/x", "args": null}]}]})")
        << loaded << QStringLiteral(":;B:/x") << false;
    QTest::newRow("order kept, duplicates of names kept")
        << QByteArray(R"({"groups": [{"name": "A", "items": [{"path": "/b"}, {"path": "/a"}, {"path": "/b"}]}, {"name": "A"}]})")
        << loaded << QStringLiteral("A:/b|/a|/b;A:") << false;
    QTest::newRow("wrong name type reads empty")
        << QByteArray(R"({"groups": [{"name": ["x"], "items": "no"}]})") << loaded << QStringLiteral(":") << true;
    QTest::newRow("empty bytes") << QByteArray() << int(LayoutFileState::Empty) << QString() << false;
    QTest::newRow("only blanks are damage") << QByteArray(" \n") << int(LayoutFileState::Damaged) << QString() << false;
    QTest::newRow("truncated") << QByteArray(R"({"groups": [{"name": "A")") << int(LayoutFileState::Damaged) << QString() << false;
    QTest::newRow("array at top") << QByteArray(R"([{"groups": []}])") << int(LayoutFileState::NotObject) << QString() << false;
}

void TestLayoutFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, state);
    QFETCH(QString, expected);
    QFETCH(bool, partly);
    const LayoutRead r = parseLayout(bytes, kFallback);
    QCOMPARE(int(r.state), state);
    QCOMPARE(r.partlyRead, partly);
    if (r.state == LayoutFileState::Loaded) {
        QCOMPARE(shape(r.groups), expected);
        // What a copy must hold, and a reason for the log.
        QCOMPARE(r.bytes, partly ? bytes : QByteArray());
        QCOMPARE(r.error.isEmpty(), !partly);
    } else {
        QVERIFY2(!r.error.isEmpty(), "a refused file names its reason for the log");
    }
}

void TestLayoutFile::readsEveryItemField()
{
    const QByteArray bytes = R"({"groups": [{"name": "G", "items": [
        {"path": "/p", "name": "N", "hidden": true, "customIcon": "/i.png",
         "workDir": "/w", "args": "-a b", "runAsAdmin": true, "extra": 1},
        {"path": "/q", "hidden": "true", "runAsAdmin": 1}]}]})";
    const LayoutRead r = parseLayout(bytes, kFallback);
    QCOMPARE(r.state, LayoutFileState::Loaded);
    QCOMPARE(r.groups.size(), 1);
    const PanelItem& a = r.groups[0].items[0];
    QCOMPARE(a.path, QStringLiteral("/p"));
    QCOMPARE(a.name, QStringLiteral("N"));
    QVERIFY(a.hidden);
    QCOMPARE(a.customIcon, QStringLiteral("/i.png"));
    QCOMPARE(a.workDir, QStringLiteral("/w"));
    QCOMPARE(a.args, QStringLiteral("-a b"));
    QVERIFY(a.runAsAdmin);
    // Booleans of another JSON type read as false, not as "truthy".
    const PanelItem& b = r.groups[0].items[1];
    QVERIFY(!b.hidden);
    QVERIFY(!b.runAsAdmin);
    QVERIFY(b.name.isEmpty());
}

void TestLayoutFile::groupNameLimit_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // one pair
    const QString a63 = QString(63, QLatin1Char('a'));
    QTest::newRow("70 units") << QString(70, QLatin1Char('x')) << QString(64, QLatin1Char('x'));
    QTest::newRow("exactly 64") << QString(64, QLatin1Char('y')) << QString(64, QLatin1Char('y'));
    QTest::newRow("pair across the cut") << a63 + emoji + QStringLiteral("zz") << a63;
    QTest::newRow("pair ending at the cut") << QString(62, QLatin1Char('b')) + emoji + QStringLiteral("z")
                                            << QString(62, QLatin1Char('b')) + emoji;
    QTest::newRow("chinese") << QString(65, QChar(0x4E2D)) << QString(64, QChar(0x4E2D));
}

void TestLayoutFile::groupNameLimit()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(limitGroupName(name), expected);
    // The same rule holds when the name comes from a file.
    QJsonObject g{{QStringLiteral("name"), name}};
    QJsonObject root{{QStringLiteral("groups"), QJsonArray{g}}};
    QCOMPARE(layoutFromJson(root, kFallback).at(0).name, expected);
}

void TestLayoutFile::writesSortedKeysIndentedWithEveryField()
{
    PanelGroup g;
    g.name = QStringLiteral("常用");
    appendPanelItem(g, QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}"), QStringLiteral("回收站"));
    const QByteArray expected =
        "{\n"
        "    \"groups\": [\n"
        "        {\n"
        "            \"items\": [\n"
        "                {\n"
        "                    \"args\": \"\",\n"
        "                    \"customIcon\": \"\",\n"
        "                    \"hidden\": false,\n"
        "                    \"name\": \"回收站\",\n"
        "                    \"path\": \"::{645FF040-5081-101B-9F08-00AA002F954E}\",\n"
        "                    \"runAsAdmin\": false,\n"
        "                    \"workDir\": \"\"\n"
        "                }\n"
        "            ],\n"
        "            \"name\": \"常用\"\n"
        "        }\n"
        "    ]\n"
        "}\n";
    QCOMPARE(serializeLayout({g}), expected);
}

void TestLayoutFile::roundTripKeepsEverything()
{
    QList<PanelGroup> groups(3);
    groups[0].name = QStringLiteral("A \"quoted\" \\ name");
    PanelItem it;
    it.path = QStringLiteral("C:\\Windows\\notepad.exe");
    it.name = QStringLiteral("tab\there\nnewline");
    it.hidden = true;
    it.customIcon = QStringLiteral("/icons/ü.png");
    it.workDir = QStringLiteral("/tmp");
    it.args = QStringLiteral("--x=\"1 2\"");
    it.runAsAdmin = true;
    groups[0].items << it;
    groups[1].name = QString(); // empty names survive
    groups[2].name = QStringLiteral("A \"quoted\" \\ name"); // as do repeats
    appendPanelItem(groups[2], QStringLiteral("/a"), QString());

    const LayoutRead r = parseLayout(serializeLayout(groups), kFallback);
    QCOMPARE(r.state, LayoutFileState::Loaded);
    QCOMPARE(r.groups, groups);
}

void TestLayoutFile::shortenedNameIsWrittenBack()
{
    const QByteArray bytes = QByteArray("{\"groups\":[{\"name\":\"") + QByteArray(70, 'n') + QByteArray("\"}]}");
    const LayoutRead r = parseLayout(bytes, kFallback);
    QVERIFY2(r.partlyRead, "the cut name is kept in a copy");
    const QByteArray again = serializeLayout(r.groups);
    QVERIFY(again.contains(QByteArray('"' + QByteArray(64, 'n') + '"')));
    QVERIFY(!again.contains(QByteArray(65, 'n')));
}

void TestLayoutFile::fileStates()
{
    const QString dir = testsupport::testRoot() + QStringLiteral("/states");
    QDir().mkpath(dir);
    QCOMPARE(readLayoutFile(dir + QStringLiteral("/none.json"), kFallback).state, LayoutFileState::Missing);

    QVERIFY(QDir().mkpath(dir + QStringLiteral("/folder.json")));
    QCOMPARE(readLayoutFile(dir + QStringLiteral("/folder.json"), kFallback).state, LayoutFileState::NotRegular);

    QVERIFY(testsupport::writeFile(dir + QStringLiteral("/empty.json"), QByteArray()));
    QCOMPARE(readLayoutFile(dir + QStringLiteral("/empty.json"), kFallback).state, LayoutFileState::Empty);

    QVERIFY(testsupport::writeFile(dir + QStringLiteral("/ok.json"), R"({"groups":[{"name":"X","items":[{"path":"/x"}]}]})"));
    const LayoutRead ok = readLayoutFile(dir + QStringLiteral("/ok.json"), kFallback);
    QCOMPARE(ok.state, LayoutFileState::Loaded);
    QCOMPARE(shape(ok.groups), QStringLiteral("X:/x"));

    // Links are not followed, whatever they point at; nothing blocks or
    // reads without end.
    QVERIFY(QFile::link(dir + QStringLiteral("/gone"), dir + QStringLiteral("/dangling.json")));
    QVERIFY(QFile::link(dir + QStringLiteral("/ok.json"), dir + QStringLiteral("/tofile.json")));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir + QStringLiteral("/zero.json")));
    QVERIFY(testsupport::makeFifo(dir + QStringLiteral("/fifo.json")));
    for (const char* name : {"/dangling.json", "/tofile.json", "/zero.json", "/fifo.json"}) {
        const LayoutRead r = readLayoutFile(dir + QLatin1String(name), kFallback);
        QVERIFY2(r.state == LayoutFileState::NotRegular, name);
        QVERIFY(layoutNeedsPreserving(r.state));
    }

    // Past the size cap (a sparse file): damaged, without reading it.
    QFile big(dir + QStringLiteral("/big.json"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(kMaxConfigFileBytes + 1));
    big.close();
    QCOMPARE(readLayoutFile(big.fileName(), kFallback).state, LayoutFileState::Damaged);
}

void TestLayoutFile::readErrorIsUnreadable()
{
    testsupport::FailReadDevice dev;
    const LayoutRead r = readLayout(dev, kFallback);
    QCOMPARE(r.state, LayoutFileState::Unreadable);
    QVERIFY(layoutNeedsPreserving(r.state));
    QVERIFY(!layoutNeedsPreserving(LayoutFileState::Empty));
    QVERIFY(!layoutNeedsPreserving(LayoutFileState::Missing));
}

void TestLayoutFile::isMissing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("customIcon");
    QTest::addColumn<bool>("missing");
    const QString root = testsupport::testRoot();
    const QString file = root + QStringLiteral("/present.txt");
    const QString icon = root + QStringLiteral("/icon.png");
    const QString gone = root + QStringLiteral("/gone.txt");
    QTest::newRow("empty path") << QString() << QString() << false;
    QTest::newRow("shell place") << QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}") << QString() << false;
    QTest::newRow("one colon is a path") << QStringLiteral(":{nope}") << QString() << true;
    QTest::newRow("existing file") << file << QString() << false;
    QTest::newRow("existing folder") << root << QString() << false;
    QTest::newRow("gone") << gone << QString() << true;
    QTest::newRow("gone, icon present") << gone << icon << false;
    QTest::newRow("gone, icon gone") << gone << root + QStringLiteral("/noicon.png") << true;
}

void TestLayoutFile::isMissing()
{
    QFETCH(QString, path);
    QFETCH(QString, customIcon);
    QFETCH(bool, missing);
    const QString root = testsupport::testRoot();
    QVERIFY(testsupport::writeFile(root + QStringLiteral("/present.txt"), "x"));
    QVERIFY(testsupport::writeFile(root + QStringLiteral("/icon.png"), "x"));
    PanelItem it;
    it.path = path;
    it.customIcon = customIcon;
    QCOMPARE(it.isMissing(), missing);
}

QTEST_GUILESS_MAIN(TestLayoutFile)
#include "test_layoutfile.moc"
