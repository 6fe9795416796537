// Drops on the icon grid and the sidebar: which signal each payload gives,
// which action a drop is accepted with, and what a payload that does not
// hold up against the model does.
#include "widgets/dragpayloads.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"

#include "app/lang.h"
#include "testsupport.h"

#include <QMimeData>
#include <QtTest>

#include <memory>

namespace {

const QString kTrashUri = QStringLiteral("trash:///");
const QString kTrash = QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}");

// Three groups: A holds a0, a1, a2 (hidden) and a3; B holds b0 and b1; C is
// empty.
QList<PanelGroup> model()
{
    QList<PanelGroup> groups(3);
    const char* names[] = { "A", "B", "C" };
    const int counts[] = { 4, 2, 0 };
    for (int g = 0; g < 3; ++g) {
        groups[g].name = QString::fromLatin1(names[g]);
        for (int i = 0; i < counts[g]; ++i) {
            PanelItem it;
            it.path = QStringLiteral("/opt/%1%2").arg(QString::fromLatin1(names[g]).toLower()).arg(i);
            it.name = it.path.mid(5);
            groups[g].items.append(it);
        }
    }
    groups[0].items[2].hidden = true;
    return groups;
}

// Every signal a drop can give, as text: "reordered 0 3", "moved 1 0 2",
// "urls <group> <uri> ...", "places <group> <display>=<parsing> ...". The
// grid's signals carry no group and show -1.
struct Recorder {
    QStringList events;

    static QString urlsText(int group, const QList<QUrl>& urls)
    {
        QStringList parts { QStringLiteral("urls"), QString::number(group) };
        for (const QUrl& url : urls)
            parts << url.toString();
        return parts.join(QLatin1Char(' '));
    }
    static QString placesText(int group, const QList<std::pair<QString, QString>>& places)
    {
        QStringList parts { QStringLiteral("places"), QString::number(group) };
        for (const auto& [display, parsing] : places)
            parts << display + QLatin1Char('=') + parsing;
        return parts.join(QLatin1Char(' '));
    }

    void watch(IconGrid* grid)
    {
        QObject::connect(grid, &IconGrid::itemReordered, grid,
                         [this](int from, int to) { events << QStringLiteral("reordered %1 %2").arg(from).arg(to); });
        QObject::connect(grid, &IconGrid::itemMoved, grid, [this](int g, int i, int to) {
            events << QStringLiteral("moved %1 %2 %3").arg(g).arg(i).arg(to);
        });
        QObject::connect(grid, &IconGrid::urlsDropped, grid, [this](QList<QUrl> urls) { events << urlsText(-1, urls); });
        QObject::connect(grid, &IconGrid::shellItemsDropped, grid,
                         [this](QList<std::pair<QString, QString>> items) { events << placesText(-1, items); });
    }
    void watch(Sidebar* bar)
    {
        QObject::connect(bar, &Sidebar::itemMoved, bar, [this](int g, int i, int to) {
            events << QStringLiteral("moved %1 %2 %3").arg(g).arg(i).arg(to);
        });
        QObject::connect(bar, &Sidebar::urlsDropped, bar, [this](int g, QList<QUrl> urls) { events << urlsText(g, urls); });
        QObject::connect(bar, &Sidebar::shellItemsDropped, bar,
                         [this](int g, QList<std::pair<QString, QString>> items) { events << placesText(g, items); });
        QObject::connect(bar, &Sidebar::groupDragDisplace, bar, [this](int from, int to) {
            events << QStringLiteral("displace %1 %2").arg(from).arg(to);
        });
    }
};

std::unique_ptr<QMimeData> itemMime(const QByteArray& payload)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(kItemMimeType, payload);
    return mime;
}

std::unique_ptr<QMimeData> uriMime(const QStringList& uris)
{
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& uri : uris)
        urls << QUrl(uri);
    mime->setUrls(urls);
    return mime;
}

// A drag event with the action the window system proposes: with no
// modifier a file manager proposes a move whenever the source offers one.
template <class Event>
struct Proposed : Event {
    Proposed(const QPoint& at, Qt::DropActions possible, const QMimeData* mime, Qt::DropAction proposed)
        : Event(at, possible, mime, Qt::LeftButton, {})
    {
        this->m_defaultAction = this->m_dropAction = proposed;
    }
};

struct DropResult {
    bool entered = false;  // the widget took the drag's entry
    bool accepted = false; // and then the drop
    Qt::DropAction action = Qt::IgnoreAction;
};

// The whole road of a drop as the window system plays it: enter, one move,
// drop. The drop goes only to a widget that took the entry.
DropResult playDrop(QWidget* target, const QPoint& at, const QMimeData* mime, Qt::DropActions possible,
                    Qt::DropAction proposed)
{
    DropResult result;
    Proposed<QDragEnterEvent> enter(at, possible, mime, proposed);
    QApplication::sendEvent(target, &enter);
    result.entered = enter.isAccepted();
    if (!result.entered)
        return result;
    Proposed<QDragMoveEvent> move(at, possible, mime, proposed);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted() || move.dropAction() != enter.dropAction())
        return result;
    Proposed<QDropEvent> drop(at, possible, mime, proposed);
    QApplication::sendEvent(target, &drop);
    result.accepted = drop.isAccepted();
    result.action = drop.dropAction();
    return result;
}

const Qt::DropActions kAll = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

} // namespace

class TestDrops : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        setLanguage(0);
        QVERIFY(m_files.isValid());
        QVERIFY(testsupport::writeFile(m_files.filePath(QStringLiteral("a.txt")), "x"));
    }

    void itemDropsOnTheGrid_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("slot"); // visible insertion slot the drop points at
        QTest::addColumn<QString>("event");

        // Group A shows a0, a1, a3 at positions 0, 1, 2 (a2 is hidden).
        const QByteArray a0 = itemPayload(0, 0, QStringLiteral("/opt/a0"));
        const QByteArray a3 = itemPayload(0, 3, QStringLiteral("/opt/a3"));
        QTest::newRow("to the front") << a3 << 0 << 0 << "reordered 3 0";
        QTest::newRow("before a hidden gap") << a0 << 0 << 2 << "reordered 0 3";
        QTest::newRow("after the last visible") << a0 << 0 << 3 << "reordered 0 4";
        QTest::newRow("from another group") << itemPayload(1, 1, QStringLiteral("/opt/b1")) << 0 << 1 << "moved 1 1 0";
        QTest::newRow("into an empty group") << a3 << 2 << 0 << "moved 0 3 2";
        // Payloads that do not hold up are taken and change nothing: above
        // all, a missing index must not move item 0.
        QTest::newRow("g missing") << QByteArray(R"({"i":0,"path":"/opt/a0"})") << 1 << 0 << "";
        QTest::newRow("i missing") << QByteArray(R"({"g":1,"path":"/opt/b0"})") << 0 << 0 << "";
        QTest::newRow("g fraction") << QByteArray(R"({"g":0.5,"i":0,"path":"/opt/a0"})") << 1 << 0 << "";
        QTest::newRow("i past the group") << itemPayload(1, 2, QStringLiteral("/opt/b1")) << 0 << 0 << "";
        QTest::newRow("g past the list") << itemPayload(3, 0, QStringLiteral("/opt/a0")) << 0 << 0 << "";
        QTest::newRow("stale path") << itemPayload(1, 0, QStringLiteral("/opt/b1")) << 0 << 0 << "";
        QTest::newRow("no path") << QByteArray(R"({"g":1,"i":0})") << 0 << 0 << "";
        QTest::newRow("not an object") << QByteArray("[1,0]") << 0 << 0 << "";
    }
    void itemDropsOnTheGrid()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, current);
        QFETCH(int, slot);
        QFETCH(QString, event);
        QList<PanelGroup> groups = model();
        IconGrid grid;
        grid.resize(416, 400);
        grid.setModel(&groups, &current);
        Recorder rec;
        rec.watch(&grid);

        const QList<int> visible = grid.visibleItems();
        const QPoint at = slot < visible.size() ? grid.itemRect(slot).topLeft() + QPoint(3, 20)
                        : visible.isEmpty()     ? QPoint(30, 30)
                                                : grid.itemRect(int(visible.size()) - 1).topRight() + QPoint(-3, 20);
        if (!QJsonDocument::fromJson(payload).isObject())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] object parse failed: ")));
        const auto mime = itemMime(payload);
        const DropResult result = playDrop(&grid, at, mime.get(), Qt::MoveAction, Qt::MoveAction);
        QVERIFY(result.accepted);
        QCOMPARE(result.action, Qt::MoveAction);
        QCOMPARE(rec.events.join(QLatin1Char(',')), event);
        QCOMPARE(grid.dropPos(), -1);
        QVERIFY(!grid.isDragging());
        QCOMPARE(groups, model());
    }

    void foreignDrops_data()
    {
        QTest::addColumn<QStringList>("uris");
        QTest::addColumn<int>("possible");
        QTest::addColumn<int>("proposed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("event"); // %f: the existing file's URI, %g: the group

        const int all = int(kAll);
        const int copyMove = int(Qt::CopyAction | Qt::MoveAction);
        const QString file = QStringLiteral("%f");
        const QString missing = QStringLiteral("file:///nowhere/gone.txt");
        const QString web = QStringLiteral("https://example.org/page");
        const int move = int(Qt::MoveAction);
        // The drop proposes a move; the panel takes a copy.
        QTest::newRow("existing file") << QStringList { file } << all << move << true << int(Qt::CopyAction)
                                       << "urls %g %f";
        QTest::newRow("missing file") << QStringList { missing } << copyMove << move << true << int(Qt::CopyAction)
                                      << "urls %g " + missing;
        QTest::newRow("web address") << QStringList { web } << copyMove << move << true << int(Qt::CopyAction)
                                     << "urls %g " + web;
        QTest::newRow("file and web address") << QStringList { web, file } << all << move << true << int(Qt::CopyAction)
                                              << "urls %g " + web + " %f";
        QTest::newRow("explicit copy") << QStringList { file } << all << int(Qt::CopyAction) << true
                                       << int(Qt::CopyAction) << "urls %g %f";
        QTest::newRow("explicit link") << QStringList { file } << int(Qt::CopyAction | Qt::LinkAction)
                                       << int(Qt::LinkAction) << true << int(Qt::LinkAction) << "urls %g %f";
        QTest::newRow("link offered besides move") << QStringList { file } << int(Qt::MoveAction | Qt::LinkAction) << move
                                                   << true << int(Qt::LinkAction) << "urls %g %f";
        // A source that only lets go of its file by a move is refused.
        QTest::newRow("move only") << QStringList { file } << move << move << false << int(Qt::IgnoreAction)
                                   << "";
        QTest::newRow("trash place") << QStringList { kTrashUri } << copyMove << move << true << int(Qt::CopyAction)
                                     << "places %g 回收站=" + kTrash;
        QTest::newRow("web address and place") << QStringList { web, kTrashUri } << copyMove << move << true
                                               << int(Qt::CopyAction) << "places %g 回收站=" + kTrash;
        // Local files win over the places that come with them.
        QTest::newRow("file and place") << QStringList { kTrashUri, file } << copyMove << move << true
                                        << int(Qt::CopyAction) << "urls %g " + kTrashUri + " %f";
    }
    void foreignDrops()
    {
        QFETCH(QStringList, uris);
        QFETCH(int, possible);
        QFETCH(int, proposed);
        QFETCH(bool, accepted);
        QFETCH(int, action);
        QFETCH(QString, event);
        const QString fileUri = QUrl::fromLocalFile(m_files.filePath(QStringLiteral("a.txt"))).toString();
        uris.replaceInStrings(QStringLiteral("%f"), fileUri);
        event.replace(QStringLiteral("%f"), fileUri);
        const auto mime = uriMime(uris);

        QList<PanelGroup> groups = model();
        int current = 1;
        IconGrid grid;
        grid.resize(416, 400);
        grid.setModel(&groups, &current);
        Sidebar bar;
        bar.resize(172, 400);
        bar.setModel(&groups, &current);
        Recorder rec;
        rec.watch(&grid);
        rec.watch(&bar);

        struct Target { QWidget* widget; QPoint at; int group; };
        for (const Target& t : { Target { &grid, QPoint(200, 300), -1 },
                                 Target { &bar, bar.layoutNow().rowRect(2).center(), 2 } }) {
            rec.events.clear();
            const DropResult result = playDrop(t.widget, t.at, mime.get(), Qt::DropActions(possible),
                                               Qt::DropAction(proposed));
            // A source offering only a move is refused at once.
            QCOMPARE(result.entered, accepted);
            QCOMPARE(result.accepted, accepted);
            QCOMPARE(int(result.action), action);
            QCOMPARE(rec.events.join(QLatin1Char(',')), QString(event).replace(QStringLiteral("%g"), QString::number(t.group)));
        }
        QCOMPARE(grid.dropPos(), -1);
        QCOMPARE(bar.dropTarget(), -1);
        QCOMPARE(groups, model());
    }

    void textIsNotTaken()
    {
        QList<PanelGroup> groups = model();
        int current = 0;
        IconGrid grid;
        grid.resize(416, 400);
        grid.setModel(&groups, &current);
        Sidebar bar;
        bar.resize(172, 400);
        bar.setModel(&groups, &current);
        QMimeData text;
        text.setText(QStringLiteral("file:///etc/passwd"));
        for (QWidget* w : { static_cast<QWidget*>(&grid), static_cast<QWidget*>(&bar) }) {
            QVERIFY(!playDrop(w, QPoint(60, 30), &text, kAll, Qt::CopyAction).entered);
        }
    }

    void itemDropsOnTheSidebar_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("warning");

        QTest::newRow("other group") << itemPayload(0, 3, QStringLiteral("/opt/a3")) << 1 << true << "moved 0 3 1" << "";
        QTest::newRow("into an empty group") << itemPayload(1, 0, QStringLiteral("/opt/b0")) << 2 << true << "moved 1 0 2"
                                             << "";
        QTest::newRow("its own group") << itemPayload(1, 1, QStringLiteral("/opt/b1")) << 1 << true << "" << "";

        const QString invalid = QStringLiteral("sidebar drop: invalid item mime, ignored g = %1 i = %2");
        QTest::newRow("g fraction") << QByteArray(R"({"g":1.5,"i":0,"path":"/opt/b0"})") << 0 << false << ""
                                    << invalid.arg(-1).arg(-1);
        QTest::newRow("g negative") << QByteArray(R"({"g":-1,"i":0,"path":"/opt/a0"})") << 1 << false << ""
                                    << invalid.arg(-1).arg(-1);
        QTest::newRow("g past int") << QByteArray(R"({"g":2147483648,"i":0,"path":"/opt/a0"})") << 1 << false << ""
                                    << invalid.arg(-1).arg(-1);
        QTest::newRow("g missing") << QByteArray(R"({"i":0,"path":"/opt/a0"})") << 1 << false << ""
                                   << invalid.arg(-1).arg(-1);
        QTest::newRow("i past the group") << itemPayload(1, 2, QStringLiteral("/opt/b1")) << 0 << false << ""
                                          << invalid.arg(1).arg(-1);
        QTest::newRow("stale path") << itemPayload(0, 1, QStringLiteral("/opt/a0")) << 1 << false << ""
                                    << invalid.arg(0).arg(1);
        QTest::newRow("not an object") << QByteArray("\"g\"") << 1 << false << ""
                                       << QStringLiteral("sidebar drop: unparsable item mime, ignored");
        QTest::newRow("group payload") << QByteArray() << 1 << true << "" << "";
    }
    void itemDropsOnTheSidebar()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, row);
        QFETCH(bool, accepted);
        QFETCH(QString, event);
        QFETCH(QString, warning);
        QList<PanelGroup> groups = model();
        int current = 0;
        Sidebar bar;
        bar.resize(172, 400);
        bar.setModel(&groups, &current);
        Recorder rec;
        rec.watch(&bar);

        std::unique_ptr<QMimeData> mime;
        if (payload.isEmpty()) {
            mime = std::make_unique<QMimeData>();
            mime->setData(kGroupMimeType, groupPayload(0));
        } else {
            mime = itemMime(payload);
        }
        if (warning.startsWith(QLatin1String("sidebar drop: unparsable")))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] object parse failed: ")));
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        const DropResult result =
            playDrop(&bar, bar.layoutNow().rowRect(row).center(), mime.get(), Qt::MoveAction, Qt::MoveAction);
        QVERIFY(result.entered);
        QCOMPARE(result.accepted, accepted);
        QCOMPARE(rec.events.join(QLatin1Char(',')), event);
        QCOMPARE(bar.dropTarget(), -1);
        QVERIFY(!bar.isGroupDragActive());
        QCOMPARE(groups, model());
    }

    // Between two rows and below the last one there is no group to drop on.
    void sidebarDropsOffTheRowsAreIgnored_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::newRow("gap under row 0") << QPoint(80, 34 * 0 + 42);
        QTest::newRow("below the last row") << QPoint(80, 34 * 3 + 20);
        QTest::newRow("left margin") << QPoint(4, 25);
    }
    void sidebarDropsOffTheRowsAreIgnored()
    {
        QFETCH(QPoint, at);
        QList<PanelGroup> groups = model();
        int current = 0;
        Sidebar bar;
        bar.resize(172, 400);
        bar.setModel(&groups, &current);
        QCOMPARE(bar.groupAt(at), -1);
        Recorder rec;
        rec.watch(&bar);
        const auto item = itemMime(itemPayload(0, 0, QStringLiteral("/opt/a0")));
        const auto files = uriMime({ QUrl::fromLocalFile(m_files.filePath(QStringLiteral("a.txt"))).toString() });
        const auto places = uriMime({ kTrashUri });
        for (const QMimeData* mime : { item.get(), files.get(), places.get() }) {
            // The sidebar takes the drag's entry anywhere; only the drop
            // needs a group.
            const DropResult result = playDrop(&bar, at, mime, kAll, Qt::CopyAction);
            QVERIFY(result.entered);
            QVERIFY(!result.accepted);
            QCOMPARE(bar.dropTarget(), -1);
        }
        QVERIFY(rec.events.isEmpty());
    }

private:
    QTemporaryDir m_files;
};

QTEST_MAIN(TestDrops)
#include "test_drops.moc"
