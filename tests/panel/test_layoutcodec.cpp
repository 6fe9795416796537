#include "panel/layoutcodec.h"
#include "panel/layoutfile.h"

#include <QtTest>

// The direct reader and writer must be indistinguishable from the general
// JSON library path: same bytes written, same groups (or the same refusal)
// read back.

namespace {

const QString kFallback = QStringLiteral("默认分组");

LayoutRead referenceParse(const QByteArray& bytes)
{
    LayoutRead r;
    if (bytes.isEmpty()) {
        r.state = LayoutFileState::Empty;
        return r;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError)
        r.state = LayoutFileState::Damaged;
    else if (!doc.isObject())
        r.state = LayoutFileState::NotObject;
    else {
        r.state = LayoutFileState::Loaded;
        QString loss;
        r.groups = layoutFromJson(doc.object(), kFallback, &loss);
        r.partlyRead = !loss.isEmpty();
    }
    return r;
}

QString str(std::initializer_list<char16_t> units)
{
    QString s;
    for (char16_t u : units)
        s.append(QChar(u));
    return s;
}

QList<PanelGroup> oneItem(const QString& text)
{
    PanelGroup g;
    g.name = text;
    PanelItem it;
    it.path = text.isEmpty() ? QStringLiteral("/x") : text;
    it.name = text;
    it.args = text;
    it.hidden = true;
    g.items << it;
    return {g};
}

} // namespace

class TestLayoutCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writerMatchesLibrary_data();
    void writerMatchesLibrary();
    void readerMatchesLibrary_data();
    void readerMatchesLibrary();
    void wellFormedFilesTakeTheDirectRoad();
    void mutatedFilesMatchLibrary();
};

void TestLayoutCodec::writerMatchesLibrary_data()
{
    QTest::addColumn<QList<PanelGroup>>("groups");
    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls.append(QChar(c));
    QTest::newRow("no groups") << QList<PanelGroup>();
    QTest::newRow("group without items") << QList<PanelGroup>{PanelGroup{QStringLiteral("g"), {}}};
    QTest::newRow("empty strings") << oneItem(QString());
    QTest::newRow("control characters") << oneItem(controls + QChar(0x7f));
    QTest::newRow("quote, backslash, slash") << oneItem(QStringLiteral("a\"b\\c/d"));
    QTest::newRow("two and three byte") << oneItem(str({0xe9, 0x7ff, 0x800, 0x4e2d, 0xfffd, 0xffff}));
    QTest::newRow("surrogate pair") << oneItem(str({0xd83d, 0xde00, u'x'}));
    QTest::newRow("lone high then text") << oneItem(str({0xd800, u'a', 0xdc00}));
    QTest::newRow("high at the end") << oneItem(str({u'a', 0xdbff}));
    QTest::newRow("two highs then low") << oneItem(str({0xd800, 0xd801, 0xdc01}));
}

void TestLayoutCodec::writerMatchesLibrary()
{
    QFETCH(QList<PanelGroup>, groups);
    QCOMPARE(writeLayoutJson(groups), QJsonDocument(layoutToJson(groups)).toJson(QJsonDocument::Indented));
}

void TestLayoutCodec::readerMatchesLibrary_data()
{
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char* name, const QByteArray& bytes) { QTest::newRow(name) << bytes; };
    row("duplicate path, last wins", R"({"groups":[{"items":[{"path":"/a","path":"/b"}]}]})");
    row("duplicate groups", R"({"groups":[{"name":"A"}],"groups":[{"name":"B"}]})");
    row("duplicate name", R"({"groups":[{"name":"A","name":"B"}]})");
    row("escaped key", R"({"groups":[{"n\u0061me":"A"}]})");
    row("escapes in values", R"({"groups":[{"name":"a\"b\\c\/d\b\f\n\r\t\u4e2d\ud83d\ude00"}]})");
    row("escaped NUL", R"({"groups":[{"name":"a\u0000b"}]})");
    row("lone escaped surrogate", R"({"groups":[{"name":"a\ud800b"}]})");
    row("escaped low surrogate", R"({"groups":[{"name":"\udc00"}]})");
    row("bad escape", R"({"groups":[{"name":"\x"}]})");
    row("raw control character", "{\"groups\":[{\"name\":\"a\tb\"}]}");
    row("noncharacter", "{\"groups\":[{\"name\":\"\xef\xbf\xbe\"}]}");
    row("overlong utf-8", "{\"groups\":[{\"name\":\"\xc0\xaf\"}]}");
    row("encoded surrogate", "{\"groups\":[{\"name\":\"\xed\xa0\x80\"}]}");
    row("truncated utf-8", "{\"groups\":[{\"name\":\"\xe4\xb8\"}]}");
    row("byte order mark", "\xef\xbb\xbf{\"groups\":[{\"name\":\"A\"}]}");
    row("numbers of all kinds", R"({"n":[0,-1,1.5,-0.25,1e3,1E-2,123456789012345678,1e999],"groups":[]})");
    row("bad number", R"({"n":01,"groups":[]})");
    row("literals", R"({"groups":[{"name":null,"items":[{"path":"/p","hidden":true,"runAsAdmin":null}]}],"x":false})");
    row("wrong literal", R"({"groups":[],"x":tru})");
    row("trailing comma", R"({"groups":[1,],})");
    row("garbage after", R"({"groups":[]} x)");
    row("NUL after", QByteArray("{\"groups\":[]}\0", 14));
    row("blanks everywhere", " \r\n\t{ \"groups\" : [ { \"name\" : \"A\" , \"items\" : [ ] } ] } \n");
    row("top level array", R"([])");
    row("top level string", R"("x")");
    row("deep nesting", "{\"x\":" + QByteArray(60, '[') + QByteArray(60, ']') + ",\"groups\":[]}");
    row("very deep nesting", "{\"x\":" + QByteArray(2000, '[') + QByteArray(2000, ']') + "}");
    row("unknown nested object", R"({"groups":[{"meta":{"a":[1,{"b":"c"}]},"name":"A"}]})");
    row("items not an array", R"({"groups":[{"name":"A","items":{"path":"/x"}}]})");
    row("missing colon", R"({"groups" []})");
    row("unterminated string", R"({"groups":[{"name":"A)");
}

void TestLayoutCodec::readerMatchesLibrary()
{
    QFETCH(QByteArray, bytes);
    const LayoutRead expected = referenceParse(bytes);
    const LayoutRead got = parseLayout(bytes, kFallback);
    QCOMPARE(int(got.state), int(expected.state));
    QCOMPARE(got.groups, expected.groups);
    QCOMPARE(got.partlyRead, expected.partlyRead);
}

void TestLayoutCodec::wellFormedFilesTakeTheDirectRoad()
{
    QList<PanelGroup> groups = oneItem(str({0xd83d, 0xde00, u'"', u'\\', 0x4e2d, u'\n'}));
    groups << PanelGroup{QStringLiteral("empty"), {}};
    QList<PanelGroup> back;
    QVERIFY(readLayoutJsonFast(writeLayoutJson(groups), &back));
    QCOMPARE(back, groups);
    // What other writers produce (compact form, other key order) too.
    QVERIFY(readLayoutJsonFast(R"({"groups":[{"name":"A","items":[{"runAsAdmin":false,"path":"/p"}]}]})", &back));
    QCOMPARE(back.size(), 1);
    QCOMPARE(back[0].items.size(), 1);
}

void TestLayoutCodec::mutatedFilesMatchLibrary()
{
    PanelGroup g;
    g.name = QStringLiteral("常用 \"g\"");
    for (int i = 0; i < 4; ++i) {
        PanelItem it;
        it.path = QStringLiteral("/home/u/文件%1\\x").arg(i);
        it.name = QStringLiteral("n%1").arg(i);
        it.hidden = i & 1;
        it.args = QStringLiteral("-v");
        g.items << it;
    }
    const QByteArray seed = writeLayoutJson({g, PanelGroup{QStringLiteral("B"), {}}});
    const char alphabet[] = "{}[]\",:\\/ u0123456789aeflnrstx-.\t\n\xe4\xb8\xad\xff\x80";
    QRandomGenerator rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = seed;
        const int edits = 1 + int(rng.bounded(3));
        for (int k = 0; k < edits && !bytes.isEmpty(); ++k) {
            const int at = int(rng.bounded(bytes.size()));
            const char c = alphabet[rng.bounded(int(sizeof alphabet - 1))];
            switch (rng.bounded(3)) {
            case 0: bytes[at] = c; break;
            case 1: bytes.insert(at, c); break;
            default: bytes.remove(at, 1 + int(rng.bounded(4))); break;
            }
        }
        const LayoutRead expected = referenceParse(bytes);
        const LayoutRead got = parseLayout(bytes, kFallback);
        if (got.state != expected.state || got.groups != expected.groups || got.partlyRead != expected.partlyRead)
            QFAIL(qPrintable(QStringLiteral("differs from the library on: ") + QString::fromLatin1(bytes.toPercentEncoding())));
    }
}

QTEST_GUILESS_MAIN(TestLayoutCodec)
#include "test_layoutcodec.moc"
