#include "widgets/dragpayloads.h"

#include "testsupport.h"

#include <QMimeData>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(ItemPayloadRead::Status)
Q_DECLARE_METATYPE(GridItemDrop::Kind)
Q_DECLARE_METATYPE(ForeignDrop::Kind)

namespace {

PanelItem item(const QString& path)
{
    PanelItem it;
    it.path = path;
    it.name = QFileInfo(path).completeBaseName();
    return it;
}

PanelGroup group(const QString& name, const QStringList& paths)
{
    PanelGroup g;
    g.name = name;
    for (const QString& path : paths)
        g.items.append(item(path));
    return g;
}

// Three groups: two items, one item, none.
QList<PanelGroup> model()
{
    return { group(QStringLiteral("A"), { QStringLiteral("/a/one.txt"), QStringLiteral("/a/two.txt") }),
             group(QStringLiteral("B"), { QStringLiteral("/b/Report.pdf") }),
             group(QStringLiteral("C"), {}) };
}

} // namespace

class TestDragPayloads : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void payloadsAreCompactObjectsWithSortedKeys()
    {
        QCOMPARE(itemPayload(1, 0, QStringLiteral("/b/Report \"x\".pdf")),
                 QByteArray("{\"g\":1,\"i\":0,\"path\":\"/b/Report \\\"x\\\".pdf\"}"));
        QCOMPARE(itemPayload(0, 7, QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}")),
                 QByteArray(R"({"g":0,"i":7,"path":"::{645FF040-5081-101B-9F08-00AA002F954E}"})"));
        QCOMPARE(groupPayload(3), QByteArray(R"({"g":3})"));
        QCOMPARE(uiBtnPayload(4, 1), QByteArray(R"({"from":1,"ub":4})"));
    }

    void writtenItemPayloadReadsBack()
    {
        const QList<PanelGroup> groups = model();
        const ItemPayloadRead read = readItemPayload(itemPayload(0, 1, QStringLiteral("/a/two.txt")), &groups);
        QCOMPARE(read.status, ItemPayloadRead::Valid);
        QCOMPARE(read.group, 0);
        QCOMPARE(read.item, 1);
    }

    void readsItemPayloadsAgainstTheModel_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<ItemPayloadRead::Status>("status");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("item");
        const auto Valid = ItemPayloadRead::Valid;
        const auto Invalid = ItemPayloadRead::Invalid;
        const auto Unparsable = ItemPayloadRead::Unparsable;

        QTest::newRow("valid") << QByteArray(R"({"g":1,"i":0,"path":"/b/Report.pdf"})") << Valid << 1 << 0;
        QTest::newRow("exponent form") << QByteArray(R"({"g":1e0,"i":0.0,"path":"/b/Report.pdf"})") << Valid << 1 << 0;
        QTest::newRow("keys in any order") << QByteArray(R"({"path":"/a/one.txt","i":0,"g":0})") << Valid << 0 << 0;

        // A bad group makes both indexes -1.
        QTest::newRow("g fraction") << QByteArray(R"({"g":1.5,"i":0,"path":"/b/Report.pdf"})") << Invalid << -1 << -1;
        QTest::newRow("g negative") << QByteArray(R"({"g":-1,"i":0,"path":"/a/one.txt"})") << Invalid << -1 << -1;
        QTest::newRow("g past int") << QByteArray(R"({"g":2147483648,"i":0,"path":"/a/one.txt"})") << Invalid << -1 << -1;
        QTest::newRow("g largest int") << QByteArray(R"({"g":2147483647,"i":0,"path":"/a/one.txt"})") << Invalid << -1 << -1;
        QTest::newRow("g = group count") << QByteArray(R"({"g":3,"i":0,"path":"/a/one.txt"})") << Invalid << -1 << -1;
        QTest::newRow("g text") << QByteArray(R"({"g":"1","i":0,"path":"/b/Report.pdf"})") << Invalid << -1 << -1;
        QTest::newRow("g true") << QByteArray(R"({"g":true,"i":0,"path":"/b/Report.pdf"})") << Invalid << -1 << -1;
        QTest::newRow("g null") << QByteArray(R"({"g":null,"i":0,"path":"/a/one.txt"})") << Invalid << -1 << -1;
        // A missing index must not read as 0 and move the first item.
        QTest::newRow("g missing") << QByteArray(R"({"i":0,"path":"/a/one.txt"})") << Invalid << -1 << -1;
        QTest::newRow("empty object") << QByteArray("{}") << Invalid << -1 << -1;

        QTest::newRow("i missing") << QByteArray(R"({"g":0,"path":"/a/one.txt"})") << Invalid << 0 << -1;
        QTest::newRow("i = item count") << QByteArray(R"({"g":1,"i":1,"path":"/b/Report.pdf"})") << Invalid << 1 << -1;
        QTest::newRow("i in empty group") << QByteArray(R"({"g":2,"i":0,"path":"/a/one.txt"})") << Invalid << 2 << -1;
        QTest::newRow("i fraction") << QByteArray(R"({"g":0,"i":0.5,"path":"/a/one.txt"})") << Invalid << 0 << -1;
        QTest::newRow("i negative") << QByteArray(R"({"g":0,"i":-1,"path":"/a/one.txt"})") << Invalid << 0 << -1;

        // Indexes that name another item than the one dragged.
        QTest::newRow("other item's path") << QByteArray(R"({"g":0,"i":0,"path":"/a/two.txt"})") << Invalid << 0 << 0;
        QTest::newRow("path in other case") << QByteArray(R"({"g":1,"i":0,"path":"/b/report.pdf"})") << Invalid << 1 << 0;
        QTest::newRow("path missing") << QByteArray(R"({"g":1,"i":0})") << Invalid << 1 << 0;
        QTest::newRow("path not text") << QByteArray(R"({"g":1,"i":0,"path":1})") << Invalid << 1 << 0;

        QTest::newRow("array") << QByteArray("[1,0]") << Unparsable << -1 << -1;
        QTest::newRow("garbage") << QByteArray("g=1&i=0") << Unparsable << -1 << -1;
        QTest::newRow("empty") << QByteArray() << Unparsable << -1 << -1;
    }
    void readsItemPayloadsAgainstTheModel()
    {
        QFETCH(QByteArray, data);
        QFETCH(ItemPayloadRead::Status, status);
        QFETCH(int, group);
        QFETCH(int, item);
        if (status == ItemPayloadRead::Unparsable)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] object parse failed: ")));
        const QList<PanelGroup> groups = model();
        const ItemPayloadRead read = readItemPayload(data, &groups);
        QCOMPARE(read.status, status);
        QCOMPARE(read.group, group);
        QCOMPARE(read.item, item);
    }

    void itemPayloadWithoutModelIsInvalid()
    {
        const ItemPayloadRead read = readItemPayload(itemPayload(0, 0, QStringLiteral("/a/one.txt")), nullptr);
        QCOMPARE(read.status, ItemPayloadRead::Invalid);
        QCOMPARE(read.group, -1);
    }

    void readsButtonIds_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("ub");
        QTest::newRow("first") << uiBtnPayload(0, 0) << 0;
        QTest::newRow("last") << uiBtnPayload(10, 1) << 10;
        QTest::newRow("from missing") << QByteArray(R"({"ub":3})") << 3;
        QTest::newRow("above") << uiBtnPayload(11, 0) << -1;
        QTest::newRow("negative") << uiBtnPayload(-2, 0) << -1;
        QTest::newRow("missing") << QByteArray(R"({"from":0})") << -1;
        QTest::newRow("text") << QByteArray(R"({"ub":"3"})") << -1;
        QTest::newRow("fraction") << QByteArray(R"({"ub":2.5})") << -1;
        QTest::newRow("not json") << QByteArray("3") << -1;
    }
    void readsButtonIds()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, ub);
        if (!QJsonDocument::fromJson(data).isObject())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] object parse failed: ")));
        QCOMPARE(readUiBtnPayload(data), ub);
    }

    void decidesGridItemDrops_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("insertPos");
        QTest::addColumn<GridItemDrop::Kind>("kind");
        QTest::addColumn<int>("a"); // from, or the source group
        QTest::addColumn<int>("b"); // to, or the item
        const QByteArray first = itemPayload(0, 0, QStringLiteral("/a/one.txt"));
        const QByteArray third = itemPayload(0, 2, QStringLiteral("/a/three.txt"));
        const QByteArray other = itemPayload(1, 0, QStringLiteral("/b/Report.pdf"));

        // Group 0 holds one, two (hidden), three: visible positions 0 and 1
        // are items 0 and 2.
        QTest::newRow("before first") << third << 0 << 0 << GridItemDrop::Reorder << 2 << 0;
        QTest::newRow("on hidden gap") << first << 0 << 1 << GridItemDrop::Reorder << 0 << 2;
        QTest::newRow("after last visible") << first << 0 << 2 << GridItemDrop::Reorder << 0 << 3;
        QTest::newRow("far past the end") << first << 0 << 9 << GridItemDrop::Reorder << 0 << 3;
        QTest::newRow("no insert position") << first << 0 << -1 << GridItemDrop::Nothing << -1 << -1;
        QTest::newRow("from another group") << other << 0 << 0 << GridItemDrop::Move << 1 << 0;
        QTest::newRow("from another group, no position") << other << 0 << -1 << GridItemDrop::Move << 1 << 0;
        QTest::newRow("into empty group") << first << 2 << 0 << GridItemDrop::Move << 0 << 0;
        QTest::newRow("current invalid") << other << -1 << 0 << GridItemDrop::Nothing << -1 << -1;
        QTest::newRow("current past end") << other << 3 << 0 << GridItemDrop::Nothing << -1 << -1;
        QTest::newRow("stale path") << itemPayload(0, 1, QStringLiteral("/a/one.txt")) << 0 << 0
                                    << GridItemDrop::Nothing << -1 << -1;
        QTest::newRow("index out of range") << itemPayload(1, 4, QStringLiteral("/b/Report.pdf")) << 0 << 0
                                            << GridItemDrop::Nothing << -1 << -1;
    }
    void decidesGridItemDrops()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, current);
        QFETCH(int, insertPos);
        QFETCH(GridItemDrop::Kind, kind);
        QFETCH(int, a);
        QFETCH(int, b);
        QList<PanelGroup> groups = model();
        groups[0].items.append(item(QStringLiteral("/a/three.txt")));
        groups[0].items[1].hidden = true;
        const GridItemDrop drop = decideGridItemDrop(readItemPayload(data, &groups), &groups, current, insertPos,
                                                     current == 0 ? QList<int> { 0, 2 } : QList<int> {});
        QCOMPARE(drop.kind, kind);
        QCOMPARE(kind == GridItemDrop::Move ? drop.fromGroup : drop.from, a);
        QCOMPARE(kind == GridItemDrop::Move ? drop.item : drop.to, b);
    }

    void acceptsForeignDropsWithoutMove_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("possible");
        QTest::addColumn<int>("proposed");
        QTest::addColumn<int>("action");
        const int copy = Qt::CopyAction, move = Qt::MoveAction, link = Qt::LinkAction;
        const QString uris = QStringLiteral("text/uri-list");

        QTest::newRow("item") << kItemMimeType << move << move << move;
        QTest::newRow("group") << kGroupMimeType << move << move << move;
        QTest::newRow("button") << kUiBtnMimeType << move << move << move;
        // A file manager proposing a move must not lose the user's file.
        QTest::newRow("files, move proposed") << uris << (copy | move | link) << move << copy;
        QTest::newRow("files, copy proposed") << uris << (copy | move) << copy << copy;
        QTest::newRow("files, link proposed") << uris << (copy | link) << link << link;
        QTest::newRow("files, move or link") << uris << (move | link) << move << link;
        QTest::newRow("files, move only") << uris << move << move << int(Qt::IgnoreAction);
        QTest::newRow("files, copy not offered") << uris << (move | link) << copy << link;
        QTest::newRow("text") << QStringLiteral("text/plain") << (copy | move) << move << copy;
    }
    void acceptsForeignDropsWithoutMove()
    {
        QFETCH(QString, format);
        QFETCH(int, possible);
        QFETCH(int, proposed);
        QFETCH(int, action);
        QMimeData mime;
        mime.setData(format, QByteArray("{}"));
        QCOMPARE(int(panelDropAction(&mime, Qt::DropActions(possible), Qt::DropAction(proposed))), action);
    }

    void readsForeignDrops_data()
    {
        using Places = QList<std::pair<QString, QString>>;
        QTest::addColumn<QStringList>("uris");
        QTest::addColumn<ForeignDrop::Kind>("kind");
        QTest::addColumn<Places>("places");
        const QString trash = QStringLiteral("trash:///");
        const QString computer = QStringLiteral("computer:///");
        const QString file = QStringLiteral("file:///home/u/a.txt");
        const std::pair<QString, QString> trashPlace { QStringLiteral("回收站"), QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}") };
        const std::pair<QString, QString> computerPlace { QStringLiteral("此电脑"), QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}") };

        QTest::newRow("local files") << QStringList { file, QStringLiteral("file:///gone/b") } << ForeignDrop::Urls << Places {};
        // Local files win; the place among them is skipped by the receiver.
        QTest::newRow("file and trash") << QStringList { trash, file } << ForeignDrop::Urls << Places {};
        QTest::newRow("trash") << QStringList { trash } << ForeignDrop::ShellPlaces << Places { trashPlace };
        QTest::newRow("two places in order") << QStringList { computer, trash } << ForeignDrop::ShellPlaces
                                             << Places { computerPlace, trashPlace };
        QTest::newRow("web and place") << QStringList { QStringLiteral("https://example.org/"), trash }
                                       << ForeignDrop::ShellPlaces << Places { trashPlace };
        QTest::newRow("web only") << QStringList { QStringLiteral("https://example.org/") } << ForeignDrop::Urls << Places {};
        QTest::newRow("file inside trash") << QStringList { QStringLiteral("trash:///a.txt") } << ForeignDrop::Urls << Places {};
        QTest::newRow("unknown scheme") << QStringList { QStringLiteral("foo:///") } << ForeignDrop::Urls << Places {};
    }
    void readsForeignDrops()
    {
        using Places = QList<std::pair<QString, QString>>;
        QFETCH(QStringList, uris);
        QFETCH(ForeignDrop::Kind, kind);
        QFETCH(Places, places);
        QList<QUrl> urls;
        for (const QString& uri : uris)
            urls.append(QUrl(uri));
        QMimeData mime;
        mime.setUrls(urls);
        const ForeignDrop drop = readForeignDrop(&mime);
        QCOMPARE(drop.kind, kind);
        QCOMPARE(drop.places, places);
        QCOMPARE(drop.urls, kind == ForeignDrop::Urls ? urls : QList<QUrl>());
    }

    void dropWithoutUrlsCarriesNothing()
    {
        QMimeData mime;
        mime.setText(QStringLiteral("file:///home/u/a.txt"));
        QCOMPARE(readForeignDrop(&mime).kind, ForeignDrop::None);
        QCOMPARE(readForeignDrop(nullptr).kind, ForeignDrop::None);
    }
};

QTEST_GUILESS_MAIN(TestDragPayloads)
#include "test_dragpayloads.moc"
