#include "panel/groupops.h"

#include "panelshape.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// "A:a|b;B:c" and back.
QString shape(const QList<PanelGroup>& groups) { return testsupport::panelShape(groups); }
QList<PanelGroup> fromShape(const QString& text)
{
    return testsupport::groupsFromShape(text, [](const QString& path) { return path.toUpper(); });
}

QStringList names(const PanelGroup& group)
{
    QStringList out;
    for (const PanelItem& it : group.items)
        out << it.name;
    return out;
}

} // namespace

class TestGroupOps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString root = m_dir.path();
        for (const char* folder : { "Folder", "My.Folder" })
            QVERIFY(QDir(root).mkpath(QString::fromLatin1(folder)));
        for (const char* file : { "a.txt", "README", "report.final.docx", "Word.lnk", "site.url", ".profile",
                                  "archive.tar.gz", "Folder/inner.txt" })
            QVERIFY(testsupport::writeFile(root + QLatin1Char('/') + QString::fromLatin1(file), "x"));
    }

    void namesDroppedPaths_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << "Folder" << "Folder";
        QTest::newRow("folder with a dot") << "My.Folder" << "My.Folder";
        QTest::newRow("folder with a slash") << "Folder/" << "Folder";
        QTest::newRow("file") << "a.txt" << "a";
        QTest::newRow("no suffix") << "README" << "README";
        QTest::newRow("last suffix only") << "report.final.docx" << "report.final";
        QTest::newRow("double suffix") << "archive.tar.gz" << "archive.tar";
        QTest::newRow("shortcut") << "Word.lnk" << "Word";
        QTest::newRow("internet shortcut") << "site.url" << "site";
        // Nothing before the dot would leave the item without a label.
        QTest::newRow("dot file") << ".profile" << ".profile";
    }
    void namesDroppedPaths()
    {
        QFETCH(QString, relative);
        QFETCH(QString, name);
        QCOMPARE(droppedItemName(m_dir.path() + QLatin1Char('/') + relative), name);
    }

    void rootIsNamedByItsPath() { QCOMPARE(droppedItemName(QStringLiteral("/")), QStringLiteral("/")); }

    void findsGroupsByExactName()
    {
        const QList<PanelGroup> groups = fromShape(QStringLiteral("Work:;Games:;Work:"));
        QCOMPARE(findGroupNamed(groups, QStringLiteral("Work")), 0);
        QCOMPARE(findGroupNamed(groups, QStringLiteral("Work"), 0), 2);
        QCOMPARE(findGroupNamed(groups, QStringLiteral("Games"), 1), -1);
        QCOMPARE(findGroupNamed(groups, QStringLiteral("games")), -1);
        QCOMPARE(findGroupNamed(groups, QStringLiteral("Work ")), -1);
    }

    void movesGroups_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("order");
        QTest::addColumn<int>("shifted");
        // Four groups 0..3; `current` is never the moved group here.
        QTest::newRow("0 to 2 past current") << 0 << 2 << 1 << "1:;2:;0:;3:" << 0;
        QTest::newRow("0 to 2 onto current") << 0 << 2 << 2 << "1:;2:;0:;3:" << 1;
        QTest::newRow("0 to 2 before current") << 0 << 2 << 3 << "1:;2:;0:;3:" << 3;
        QTest::newRow("3 to 1 past current") << 3 << 1 << 2 << "0:;3:;1:;2:" << 3;
        QTest::newRow("3 to 1 onto current") << 3 << 1 << 1 << "0:;3:;1:;2:" << 2;
        QTest::newRow("3 to 1 after current") << 3 << 1 << 0 << "0:;3:;1:;2:" << 0;
        QTest::newRow("neighbours") << 1 << 2 << 0 << "0:;2:;1:;3:" << 0;
        QTest::newRow("same index") << 2 << 2 << 0 << "0:;1:;2:;3:" << 0;
        QTest::newRow("from negative") << -1 << 2 << 0 << "0:;1:;2:;3:" << 0;
        QTest::newRow("to past end") << 1 << 4 << 0 << "0:;1:;2:;3:" << 0;
    }
    void movesGroups()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, current);
        QFETCH(QString, order);
        QFETCH(int, shifted);
        QList<PanelGroup> groups = fromShape(QStringLiteral("0:;1:;2:;3:"));
        const bool valid = from >= 0 && to >= 0 && from < 4 && to < 4 && from != to;
        QCOMPARE(moveGroupInList(groups, from, to), valid);
        QCOMPARE(shape(groups), order);
        if (valid)
            QCOMPARE(shiftedCurrentAfterGroupMove(current, from, to), shifted);
    }

    void removesGroupsIntoTheFirst_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("removed");
        QTest::addColumn<QString>("after");
        const QString before = QStringLiteral("A:/a|/b;B:/b|/c|/d;C:/e");
        QTest::newRow("second: its new items follow") << 1 << true << "A:/a|/b|/c|/d;C:/e";
        QTest::newRow("last") << 2 << true << "A:/a|/b|/e;B:/b|/c|/d";
        QTest::newRow("first is kept") << 0 << false << before;
        QTest::newRow("past end") << 3 << false << before;
        QTest::newRow("negative") << -1 << false << before;
    }
    void removesGroupsIntoTheFirst()
    {
        QFETCH(int, index);
        QFETCH(bool, removed);
        QFETCH(QString, after);
        QList<PanelGroup> groups = fromShape(QStringLiteral("A:/a|/b;B:/b|/c|/d;C:/e"));
        QCOMPARE(removeGroupIntoFirst(groups, index), removed);
        QCOMPARE(shape(groups), after);
    }

    void movedItemKeepsEveryField()
    {
        QList<PanelGroup> groups = fromShape(QStringLiteral("A:/a|/b;B:/c"));
        PanelItem& item = groups[0].items[1];
        item.customIcon = QStringLiteral("/icons/b.png");
        item.args = QStringLiteral("--x");
        item.workDir = QStringLiteral("/w");
        item.runAsAdmin = true;
        item.hidden = true;
        const PanelItem copy = item;
        QVERIFY(moveItemToGroup(groups, 0, 1, 1));
        QCOMPARE(groups[1].items.last(), copy);
    }

    void movesItemsBetweenGroups_data()
    {
        QTest::addColumn<int>("fromGroup");
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("toGroup");
        QTest::addColumn<QString>("after");
        const QString before = QStringLiteral("A:/a|/b;B:/c|/a;C:");
        QTest::newRow("to the end") << 0 << 1 << 1 << "A:/a;B:/c|/a|/b;C:";
        QTest::newRow("into empty group") << 1 << 0 << 2 << "A:/a|/b;B:/a;C:/c";
        // The target already holds the path: both groups stay as they were.
        QTest::newRow("duplicate path") << 0 << 0 << 1 << before;
        QTest::newRow("same group") << 0 << 0 << 0 << before;
        QTest::newRow("item past end") << 0 << 2 << 2 << before;
        QTest::newRow("item negative") << 0 << -1 << 2 << before;
        QTest::newRow("from past end") << 3 << 0 << 2 << before;
        QTest::newRow("to past end") << 0 << 0 << 3 << before;
        QTest::newRow("to negative") << 0 << 0 << -1 << before;
    }
    void movesItemsBetweenGroups()
    {
        QFETCH(int, fromGroup);
        QFETCH(int, item);
        QFETCH(int, toGroup);
        QFETCH(QString, after);
        const QString before = QStringLiteral("A:/a|/b;B:/c|/a;C:");
        QList<PanelGroup> groups = fromShape(before);
        QCOMPARE(moveItemToGroup(groups, fromGroup, item, toGroup), after != before);
        QCOMPARE(shape(groups), after);
    }

    void reordersItems_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("after");
        QTest::newRow("first to the end") << 0 << 3 << "G:/b|/c|/a";
        QTest::newRow("last to the front") << 2 << 0 << "G:/c|/a|/b";
        QTest::newRow("first before last") << 0 << 2 << "G:/b|/a|/c";
        QTest::newRow("last forward one") << 2 << 1 << "G:/a|/c|/b";
        QTest::newRow("onto its own slot") << 1 << 1 << "G:/a|/b|/c";
        QTest::newRow("just after itself") << 1 << 2 << "G:/a|/b|/c";
        QTest::newRow("slot past the end") << 0 << 4 << "G:/a|/b|/c";
        QTest::newRow("from past the end") << 3 << 0 << "G:/a|/b|/c";
        QTest::newRow("negative") << -1 << 0 << "G:/a|/b|/c";
    }
    void reordersItems()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, after);
        const QString before = QStringLiteral("G:/a|/b|/c");
        QList<PanelGroup> groups = fromShape(before);
        QCOMPARE(reorderItemInGroup(groups[0], from, to), after != before);
        QCOMPARE(shape(groups), after);
    }

    void addsDroppedFilesAndFolders()
    {
        const QString root = m_dir.path();
        PanelGroup group;
        appendPanelItem(group, root + QStringLiteral("/README"), QStringLiteral("kept"));
        const QList<QUrl> urls {
            QUrl::fromLocalFile(root + QStringLiteral("/Folder")),
            QUrl::fromLocalFile(root + QStringLiteral("/a.txt")),
            QUrl(QStringLiteral("https://example.org/a.txt")),
            QUrl::fromLocalFile(root + QStringLiteral("/gone.txt")),
            QUrl::fromLocalFile(root + QStringLiteral("/a.txt")),
            QUrl::fromLocalFile(root + QStringLiteral("/README")),
            QUrl(QStringLiteral("trash:///")),
            QUrl::fromLocalFile(root + QStringLiteral("/Word.lnk")),
            QUrl::fromLocalFile(root + QStringLiteral("/gone.txt")),
        };
        const DropAddResult result = addDroppedUrls(group, urls);
        QCOMPARE(result.added, (QStringList { root + QStringLiteral("/Folder"), root + QStringLiteral("/a.txt"),
                                              root + QStringLiteral("/Word.lnk") }));
        // Each missing path counts once per time it appears in the drop.
        QCOMPARE(result.missing, 2);
        QCOMPARE(names(group), (QStringList { QStringLiteral("kept"), QStringLiteral("Folder"), QStringLiteral("a"),
                                              QStringLiteral("Word") }));
    }

    void webAddressesAddNothingAndCountNothing()
    {
        PanelGroup group;
        const DropAddResult result = addDroppedUrls(group, { QUrl(QStringLiteral("https://example.org/")),
                                                             QUrl(QStringLiteral("ftp://host/file")) });
        QVERIFY(result.added.isEmpty());
        QCOMPARE(result.missing, 0);
        QVERIFY(group.items.isEmpty());
    }

    void addsDroppedPlaces()
    {
        PanelGroup group;
        appendPanelItem(group, QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"), QStringLiteral("此电脑"));
        const QList<std::pair<QString, QString>> places {
            { QStringLiteral("回收站"), QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}") },
            { QStringLiteral("空"), QString() },
            { QStringLiteral("电脑"), QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}") },
            { QStringLiteral("回收站 2"), QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}") },
            { QStringLiteral("网络"), QStringLiteral("::{208D2C60-3AEA-1069-A2D7-08002B30309D}") },
        };
        QCOMPARE(addDroppedPlaces(group, places),
                 (QStringList { QStringLiteral("::{645FF040-5081-101B-9F08-00AA002F954E}"),
                                QStringLiteral("::{208D2C60-3AEA-1069-A2D7-08002B30309D}") }));
        QCOMPARE(names(group), (QStringList { QStringLiteral("此电脑"), QStringLiteral("回收站"), QStringLiteral("网络") }));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestGroupOps)
#include "test_groupops.moc"
