// The group and item operations of the main window on a real data root:
// what each does to the list and the current group, that it is saved at
// once and read back by the next start, and what a failed save leaves.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/paths.h"
#include "panel/layoutfile.h"
#include "widgets/dragpayloads.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/toast.h"
#include "panelshape.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

// "A:a|b;B:c" and back.
QString shape(const QList<PanelGroup>& groups) { return testsupport::panelShape(groups); }
QList<PanelGroup> fromShape(const QString& text)
{
    return testsupport::groupsFromShape(text, [](const QString& path) -> QString { return QStringLiteral("n") + path; });
}

QString root() { return cachedAppDataDir(); }
QString layoutFile() { return root() + QStringLiteral("/layout.json"); }

QList<PanelGroup> savedGroups()
{
    const LayoutRead read = readLayoutFile(layoutFile(), QStringLiteral("-"));
    return read.state == LayoutFileState::Loaded ? read.groups : QList<PanelGroup>();
}

Toast* toastOf(MainWindow& w) { return w.findChild<Toast*>(); }

// Answers the next modal message box with `button` from inside its loop and
// remembers its text.
void answerNextBox(QMessageBox::StandardButton button, QString* text)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        if (text)
            *text = box->text();
        box->button(button)->click();
    });
    timer->start();
}

// An operation of a table row on a window.
using Operation = std::function<void(MainWindow&)>;

} // namespace

Q_DECLARE_METATYPE(Operation)

class TestMainWindowGroups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY2(root().startsWith(testsupport::testRoot()), "the data root must be the isolated one");
        QVERIFY(m_files.isValid());
        QVERIFY(QDir(m_files.path()).mkpath(QStringLiteral("Folder")));
        for (const char* name : { "a.txt", "README", "Word.lnk" })
            QVERIFY(testsupport::writeFile(m_files.filePath(QString::fromLatin1(name)), "x"));
    }

    void init()
    {
        setLanguage(0);
        QFile::remove(layoutFile());
        QDir(layoutFile()).removeRecursively();
    }

    void operations_data();
    void operations();
    void duplicateGroupNamesAreRefused_data();
    void duplicateGroupNamesAreRefused();
    void longGroupNamesAreStoredAsTheyReadBack();
    void clearingAsksFirst_data();
    void clearingAsksFirst();
    void droppedFilesAndFolders();
    void droppedWebAddressesChangeNothing();
    void droppedPlaces();
    void liveGroupDragIsNotSaved();
    void failedSaveKeepsTheChangeAndReportsIt();
    void dropsOnTheWindowReachTheModel();
    void groupDragOfTheSidebarIsSavedAtItsEnd();

private:
    // Writes `layout` as the saved layout and opens a window on it with
    // group `current` shown.
    void openOn(const QString& layout, int current, const std::function<void(MainWindow&)>& body)
    {
        QVERIFY(testsupport::writeFile(layoutFile(), serializeLayout(fromShape(layout))));
        MainWindow w;
        w.setCurrentGroupIndex(current);
        QCOMPARE(w.currentGroup(), current);
        body(w);
    }

    // The layout file holds the window's list and a new start reads it back.
    static void verifySavedAndRestored(const MainWindow& w)
    {
        QCOMPARE(shape(savedGroups()), shape(w.panelGroups()));
        QCOMPARE(savedGroups(), w.panelGroups());
        MainWindow again;
        QCOMPARE(again.panelGroups(), w.panelGroups());
    }

    QTemporaryDir m_files;
};

void TestMainWindowGroups::operations_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("current");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<bool>("saved"); // false: refused, the file is untouched

    const QString three = QStringLiteral("A:/a|/b;B:/b|/c;C:/d");
    auto op = [](auto f) { return Operation(f); };

    QTest::newRow("create") << three << 1 << op([](MainWindow& w) { w.onCreateGroup(QStringLiteral("New")); })
                            << "A:/a|/b;B:/b|/c;C:/d;New:" << 3 << true;
    QTest::newRow("create in other case") << three << 0 << op([](MainWindow& w) { w.onCreateGroup(QStringLiteral("b")); })
                                          << "A:/a|/b;B:/b|/c;C:/d;b:" << 3 << true;
    QTest::newRow("rename") << three << 0 << op([](MainWindow& w) { w.onRenameGroup(2, QStringLiteral("Z")); })
                            << "A:/a|/b;B:/b|/c;Z:/d" << 0 << true;
    QTest::newRow("rename to own name") << three << 0 << op([](MainWindow& w) { w.onRenameGroup(1, QStringLiteral("B")); })
                                        << three << 0 << true;
    QTest::newRow("rename past end") << three << 0 << op([](MainWindow& w) { w.onRenameGroup(3, QStringLiteral("Z")); })
                                     << three << 0 << false;

    // Items of a deleted group go to the first group unless it has their path.
    QTest::newRow("delete current second") << three << 1 << op([](MainWindow& w) { w.onDeleteGroup(1); })
                                           << "A:/a|/b|/c;C:/d" << 0 << true;
    QTest::newRow("delete before current") << three << 2 << op([](MainWindow& w) { w.onDeleteGroup(1); })
                                           << "A:/a|/b|/c;C:/d" << 1 << true;
    QTest::newRow("delete after current") << three << 1 << op([](MainWindow& w) { w.onDeleteGroup(2); })
                                          << "A:/a|/b|/d;B:/b|/c" << 1 << true;
    QTest::newRow("delete current last") << three << 2 << op([](MainWindow& w) { w.onDeleteGroup(2); })
                                         << "A:/a|/b|/d;B:/b|/c" << 1 << true;
    QTest::newRow("first cannot be deleted") << three << 0 << op([](MainWindow& w) { w.onDeleteGroup(0); })
                                             << three << 0 << false;
    QTest::newRow("delete past end") << three << 0 << op([](MainWindow& w) { w.onDeleteGroup(3); }) << three << 0 << false;

    // The current index follows the group it showed.
    QTest::newRow("reorder 0 to 2, current 1") << three << 1 << op([](MainWindow& w) { w.onGroupsReordered(0, 2); })
                                               << "B:/b|/c;C:/d;A:/a|/b" << 0 << true;
    QTest::newRow("reorder the current") << three << 0 << op([](MainWindow& w) { w.onGroupsReordered(0, 2); })
                                         << "B:/b|/c;C:/d;A:/a|/b" << 2 << true;
    QTest::newRow("reorder 2 to 0, current 1") << three << 1 << op([](MainWindow& w) { w.onGroupsReordered(2, 0); })
                                               << "C:/d;A:/a|/b;B:/b|/c" << 2 << true;
    QTest::newRow("reorder onto itself") << three << 1 << op([](MainWindow& w) { w.onGroupsReordered(1, 1); })
                                         << three << 1 << false;
    QTest::newRow("reorder past end") << three << 1 << op([](MainWindow& w) { w.onGroupsReordered(0, 3); })
                                      << three << 1 << false;

    QTest::newRow("move item") << three << 2 << op([](MainWindow& w) { w.onItemMoved(0, 0, 2); })
                               << "A:/b;B:/b|/c;C:/d|/a" << 2 << true;
    QTest::newRow("move item to a group holding its path") << three << 0 << op([](MainWindow& w) { w.onItemMoved(0, 1, 1); })
                                                           << three << 0 << false;
    QTest::newRow("move item of stale index") << three << 0 << op([](MainWindow& w) { w.onItemMoved(2, 1, 0); })
                                              << three << 0 << false;

    QTest::newRow("reorder item to the end") << "A:/a|/b|/c" << 0 << op([](MainWindow& w) { w.onItemReordered(0, 3); })
                                             << "A:/b|/c|/a" << 0 << true;
    QTest::newRow("reorder item to the front") << "A:/a|/b|/c" << 0 << op([](MainWindow& w) { w.onItemReordered(2, 0); })
                                               << "A:/c|/a|/b" << 0 << true;
    QTest::newRow("reorder item in current only") << "A:/a;B:/x|/y" << 1 << op([](MainWindow& w) { w.onItemReordered(1, 0); })
                                                  << "A:/a;B:/y|/x" << 1 << true;
    QTest::newRow("reorder item past end") << "A:/a|/b|/c" << 0 << op([](MainWindow& w) { w.onItemReordered(0, 4); })
                                           << "A:/a|/b|/c" << 0 << false;

    QTest::newRow("remove item") << three << 1 << op([](MainWindow& w) { w.onItemRemoveRequested(0); })
                                 << "A:/a|/b;B:/c;C:/d" << 1 << true;
    QTest::newRow("remove item past end") << three << 1 << op([](MainWindow& w) { w.onItemRemoveRequested(2); })
                                          << three << 1 << true;
    QTest::newRow("settings changed the layout") << three << 1 << op([](MainWindow& w) { w.onLayoutChangedBySettings(); })
                                                 << three << 1 << true;
}

void TestMainWindowGroups::operations()
{
    QFETCH(QString, layout);
    QFETCH(int, current);
    QFETCH(Operation, operation);
    QFETCH(QString, after);
    QFETCH(int, currentAfter);
    QFETCH(bool, saved);
    openOn(layout, current, [&](MainWindow& w) {
        // Marks the file so that an untouched one can be told apart.
        QVERIFY(testsupport::writeFile(layoutFile(), serializeLayout(fromShape(QStringLiteral("untouched:")))));
        operation(w);
        QCOMPARE(shape(w.panelGroups()), after);
        QCOMPARE(w.currentGroup(), currentAfter);
        if (saved)
            verifySavedAndRestored(w);
        else
            QCOMPARE(shape(savedGroups()), QStringLiteral("untouched:"));
    });
}

void TestMainWindowGroups::duplicateGroupNamesAreRefused_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("name");
    QTest::newRow("create") << Operation([](MainWindow& w) { w.onCreateGroup(QStringLiteral("B")); }) << "B";
    QTest::newRow("rename") << Operation([](MainWindow& w) { w.onRenameGroup(0, QStringLiteral("B")); }) << "B";
    QTest::newRow("rename to a repeated name") << Operation([](MainWindow& w) { w.onRenameGroup(1, QStringLiteral("A")); }) << "A";
}

void TestMainWindowGroups::duplicateGroupNamesAreRefused()
{
    QFETCH(Operation, operation);
    QFETCH(QString, name);
    openOn(QStringLiteral("A:/a;B:;A:"), 0, [&](MainWindow& w) {
        const QByteArray before = testsupport::readFile(layoutFile());
        QString text;
        answerNextBox(QMessageBox::Ok, &text);
        operation(w);
        QCOMPARE(text, QStringLiteral("已存在同名分组：%1").arg(name));
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a;B:;A:"));
        QCOMPARE(w.currentGroup(), 0);
        QCOMPARE(testsupport::readFile(layoutFile()), before);
    });
}

void TestMainWindowGroups::longGroupNamesAreStoredAsTheyReadBack()
{
    const QString base = QString(kMaxGroupNameUnits, QLatin1Char('x'));
    openOn(QStringLiteral("A:"), 0, [&](MainWindow& w) {
        w.onCreateGroup(base + QStringLiteral("-one"));
        QCOMPARE(w.panelGroups().last().name, base);
        verifySavedAndRestored(w);
        // Another name that differs only past the limit is the same name.
        QString text;
        answerNextBox(QMessageBox::Ok, &text);
        w.onRenameGroup(0, base + QStringLiteral("-two"));
        QVERIFY(!text.isEmpty());
        QCOMPARE(w.panelGroups().first().name, QStringLiteral("A"));
    });
}

void TestMainWindowGroups::clearingAsksFirst_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("after");
    QTest::newRow("yes") << int(QMessageBox::Yes) << "A:/a;B:";
    QTest::newRow("no") << int(QMessageBox::No) << "A:/a;B:/b|/c";
}

void TestMainWindowGroups::clearingAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(QString, after);
    openOn(QStringLiteral("A:/a;B:/b|/c"), 0, [&](MainWindow& w) {
        QString text;
        answerNextBox(QMessageBox::StandardButton(answer), &text);
        w.onGroupCleared(1);
        QCOMPARE(text, QStringLiteral("确定清空“B”中的所有图标？"));
        QCOMPARE(shape(w.panelGroups()), after);
        QCOMPARE(shape(savedGroups()), after);
        verifySavedAndRestored(w);
    });
}

void TestMainWindowGroups::droppedFilesAndFolders()
{
    const QString dir = m_files.path();
    openOn(QStringLiteral("A:/a;B:"), 0, [&](MainWindow& w) {
        w.onUrlsDroppedToGroup(1, { QUrl::fromLocalFile(dir + QStringLiteral("/Folder")),
                                    QUrl::fromLocalFile(dir + QStringLiteral("/a.txt")),
                                    QUrl::fromLocalFile(dir + QStringLiteral("/README")),
                                    QUrl::fromLocalFile(dir + QStringLiteral("/gone.txt")),
                                    QUrl::fromLocalFile(dir + QStringLiteral("/a.txt")),
                                    QUrl::fromLocalFile(dir + QStringLiteral("/Word.lnk")) });
        const PanelGroup& group = w.panelGroups().at(1);
        QStringList names;
        for (const PanelItem& item : group.items)
            names << item.name;
        QCOMPARE(names, (QStringList { QStringLiteral("Folder"), QStringLiteral("a"), QStringLiteral("README"),
                                       QStringLiteral("Word") }));
        QCOMPARE(group.items.at(1).path, dir + QStringLiteral("/a.txt"));
        QCOMPARE(w.currentGroup(), 1);
        QVERIFY(toastOf(w));
        QCOMPARE(toastOf(w)->text(), QStringLiteral("已跳过 1 个不存在的路径"));
        QVERIFY(toastOf(w)->isFailure());
        QCOMPARE(w.queuedIconRequests() > 0, true);
        verifySavedAndRestored(w);

        // A drop through the grid lands in the group shown.
        w.setCurrentGroupIndex(0);
        w.dropUrlsOnCurrentGroup({ QUrl::fromLocalFile(dir + QStringLiteral("/README")) });
        QCOMPARE(w.panelGroups().at(0).items.last().path, dir + QStringLiteral("/README"));
        verifySavedAndRestored(w);
    });
}

void TestMainWindowGroups::droppedWebAddressesChangeNothing()
{
    openOn(QStringLiteral("A:/a;B:"), 0, [&](MainWindow& w) {
        const QByteArray before = testsupport::readFile(layoutFile());
        w.onUrlsDroppedToGroup(1, { QUrl(QStringLiteral("https://example.org/")), QUrl(QStringLiteral("trash:///")) });
        w.onUrlsDroppedToGroup(2, { QUrl::fromLocalFile(m_files.filePath(QStringLiteral("a.txt"))) });
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a;B:"));
        QCOMPARE(w.currentGroup(), 0);
        QVERIFY(!toastOf(w) || !toastOf(w)->isVisible());
        QCOMPARE(testsupport::readFile(layoutFile()), before);
    });
}

void TestMainWindowGroups::droppedPlaces()
{
    const QString trash = QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}");
    const QString network = QStringLiteral("::{208D2C60-3AEA-1069-A2D7-08002B30309D}");
    openOn(QStringLiteral("A:/a;B:") + trash, 0, [&](MainWindow& w) {
        const QByteArray before = testsupport::readFile(layoutFile());
        w.onShellItemsDroppedToGroup(1, { { QStringLiteral("回收站"), trash }, { QStringLiteral("空"), QString() } });
        QCOMPARE(testsupport::readFile(layoutFile()), before);
        QCOMPARE(w.currentGroup(), 0);

        w.onShellItemsDroppedToGroup(1, { { QStringLiteral("网络"), network }, { QStringLiteral("网络 2"), network } });
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a;B:") + trash + QLatin1Char('|') + network);
        QCOMPARE(w.panelGroups().at(1).items.last().name, QStringLiteral("网络"));
        QCOMPARE(w.currentGroup(), 1);
        QVERIFY(!toastOf(w) || !toastOf(w)->isVisible());
        verifySavedAndRestored(w);

        w.setCurrentGroupIndex(0);
        w.dropShellItemsOnCurrentGroup({ { QStringLiteral("网络"), network } });
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a|") + network + QStringLiteral(";B:") + trash
                     + QLatin1Char('|') + network);
        verifySavedAndRestored(w);
    });
}

void TestMainWindowGroups::liveGroupDragIsNotSaved()
{
    openOn(QStringLiteral("A:;B:;C:"), 1, [&](MainWindow& w) {
        const QByteArray before = testsupport::readFile(layoutFile());
        // B is dragged down over C, then up over A: the current group follows.
        w.onGroupDragDisplace(1, 2);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:;C:;B:"));
        QCOMPARE(w.currentGroup(), 2);
        w.onGroupDragDisplace(2, 0);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("B:;A:;C:"));
        QCOMPARE(w.currentGroup(), 0);
        w.onGroupDragDisplace(0, 0);
        w.onGroupDragDisplace(-1, 0);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("B:;A:;C:"));
        QCOMPARE(testsupport::readFile(layoutFile()), before);
    });
}

void TestMainWindowGroups::failedSaveKeepsTheChangeAndReportsIt()
{
    openOn(QStringLiteral("A:/a;B:/b"), 0, [&](MainWindow& w) {
        // A folder in the file's place: no commit can replace it.
        QVERIFY(QFile::remove(layoutFile()));
        QVERIFY(QDir().mkpath(layoutFile()));
        w.onUrlsDroppedToGroup(1, { QUrl::fromLocalFile(m_files.filePath(QStringLiteral("a.txt"))),
                                    QUrl::fromLocalFile(m_files.filePath(QStringLiteral("gone"))) });
        // The failure of the save is what the user reads last.
        QVERIFY(toastOf(w));
        QCOMPARE(toastOf(w)->text(), QStringLiteral("分组布局写入失败"));
        QVERIFY(toastOf(w)->isFailure());
        QCOMPARE(w.panelGroups().at(1).items.size(), 2);
        QCOMPARE(w.currentGroup(), 1);

        // The grid shows the group as it is now, saved or not.
        auto* grid = w.findChild<IconGrid*>();
        QVERIFY(grid);
        QCOMPARE(grid->visibleItems(), (QList<int> { 0, 1 }));
        w.onItemMoved(1, 0, 0);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a|/b;B:") + m_files.filePath(QStringLiteral("a.txt")));
        QCOMPARE(grid->visibleItems(), (QList<int> { 0 }));
        Q_EMIT grid->itemRemoveRequested(0);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a|/b;B:"));
        QCOMPARE(grid->visibleItems(), QList<int>());
        w.onUrlsDroppedToGroup(1, { QUrl::fromLocalFile(m_files.filePath(QStringLiteral("a.txt"))) });

        // The next save that can write takes every change made meanwhile.
        QVERIFY(QDir(layoutFile()).removeRecursively());
        w.onGroupsReordered(0, 1);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("B:") + m_files.filePath(QStringLiteral("a.txt"))
                     + QStringLiteral(";A:/a|/b"));
        QCOMPARE(w.currentGroup(), 0);
        verifySavedAndRestored(w);
    });
}

void TestMainWindowGroups::dropsOnTheWindowReachTheModel()
{
    const QString file = m_files.filePath(QStringLiteral("a.txt"));
    openOn(QStringLiteral("A:/a|/b;B:"), 0, [&](MainWindow& w) {
        w.show();
        auto* grid = w.findChild<IconGrid*>();
        auto* bar = w.findChild<Sidebar*>();
        QVERIFY(grid && bar);
        // As the window system plays it: the drop goes to the widget that
        // took the drag's entry.
        auto drop = [](QWidget* target, const QPoint& at, const QMimeData& mime, Qt::DropActions actions) {
            QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent event(at, actions, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(target, &event);
            return event.isAccepted();
        };

        QMimeData files;
        files.setUrls({ QUrl::fromLocalFile(file) });
        QVERIFY(drop(grid, grid->rect().center(), files, Qt::CopyAction | Qt::MoveAction));
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/a|/b|") + file + QStringLiteral(";B:"));
        QCOMPARE(shape(savedGroups()), shape(w.panelGroups()));

        // The first item dragged out of the grid onto the second group's row.
        QMimeData item;
        item.setData(kItemMimeType, itemPayload(0, 0, QStringLiteral("/a")));
        QVERIFY(drop(bar, bar->layoutNow().rowRect(1).center(), item, Qt::MoveAction));
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/b|") + file + QStringLiteral(";B:/a"));
        QCOMPARE(shape(savedGroups()), shape(w.panelGroups()));

        // The same payload again no longer names an item there: nothing moves.
        QTest::ignoreMessage(QtWarningMsg, "sidebar drop: invalid item mime, ignored g = 0 i = 0");
        QVERIFY(!drop(bar, bar->layoutNow().rowRect(1).center(), item, Qt::MoveAction));
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/b|") + file + QStringLiteral(";B:/a"));

        QMimeData trash;
        trash.setUrls({ QUrl(QStringLiteral("trash:///")) });
        QVERIFY(drop(bar, bar->layoutNow().rowRect(1).center(), trash, Qt::CopyAction));
        QCOMPARE(w.panelGroups().at(1).items.last().path, QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}"));
        QCOMPARE(w.panelGroups().at(1).items.last().name, QStringLiteral("回收站"));
        QCOMPARE(w.currentGroup(), 1);

        // Reordered inside the group the grid shows: /a goes to the end.
        QMimeData own;
        own.setData(kItemMimeType, itemPayload(1, 0, QStringLiteral("/a")));
        const QPoint end = grid->itemRect(1).topRight() + QPoint(-3, 20);
        QVERIFY(drop(grid, end, own, Qt::MoveAction));
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("A:/b|") + file
                     + QStringLiteral(";B:::{645FF040-5081-101B-9F08-00AA002F954E}|/a"));
        verifySavedAndRestored(w);
    });
}

void TestMainWindowGroups::groupDragOfTheSidebarIsSavedAtItsEnd()
{
    openOn(QStringLiteral("A:;B:;C:"), 0, [&](MainWindow& w) {
        auto* bar = w.findChild<Sidebar*>();
        QVERIFY(bar);
        const QByteArray before = testsupport::readFile(layoutFile());
        Q_EMIT bar->groupDragDisplace(0, 1);
        Q_EMIT bar->groupDragDisplace(1, 2);
        QCOMPARE(shape(w.panelGroups()), QStringLiteral("B:;C:;A:"));
        QCOMPARE(w.currentGroup(), 2);
        QCOMPARE(testsupport::readFile(layoutFile()), before);
        Q_EMIT bar->groupDragFinished();
        verifySavedAndRestored(w);
    });
}

QTEST_MAIN(TestMainWindowGroups)
#include "test_mainwindow_groups.moc"
