// The main window's model on a real data root: first start, restart, damaged
// and odd layout files, saving and its failures, the icon request queue.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/paths.h"
#include "icons/iconservice.h"
#include "panel/layoutfile.h"
#include "widgets/toast.h"
#include "panelshape.h"
#include "testsupport.h"

#include <QtTest>

namespace {

QString root() { return cachedAppDataDir(); }
QString layoutFile() { return root() + QStringLiteral("/layout.json"); }
QString settingsFile() { return root() + QStringLiteral("/settings.json"); }

QStringList corruptCopies()
{
    return QDir(root()).entryList({QStringLiteral("layout.json.corrupt-*")},
                                  QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

QByteArray groupsJson(int groupCount, int itemsPerGroup, bool samePaths = false)
{
    QList<PanelGroup> groups;
    for (int g = 0; g < groupCount; ++g) {
        PanelGroup group;
        group.name = QStringLiteral("G%1").arg(g);
        for (int i = 0; i < itemsPerGroup; ++i) {
            const QString path = samePaths ? QStringLiteral("/same/path") : QStringLiteral("/p/%1/%2").arg(g).arg(i);
            appendPanelItem(group, path, QStringLiteral("n%1").arg(i));
        }
        groups << group;
    }
    return serializeLayout(groups);
}

Toast* toastOf(MainWindow& w) { return w.findChild<Toast*>(); }

} // namespace

class TestMainWindowLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void firstStartSavesDefaultsAndRestartKeepsThem();
    void unusableLayoutIsPreservedAndReported_data();
    void unusableLayoutIsPreservedAndReported();
    void partlyReadLayoutIsCopiedBeforeItIsSavedOver_data();
    void partlyReadLayoutIsCopiedBeforeItIsSavedOver();
    void fileThatIsNotRegularNeitherHangsNorIsWrittenThrough_data();
    void fileThatIsNotRegularNeitherHangsNorIsWrittenThrough();
    void leftoversOfInterruptedSavesAreRemovedAtStart();
    void oneDamageToastPerRun();
    void emptyFileTakesDefaultsWithoutCopy();
    void emptyGroupListLoadsOneNamedGroup_data();
    void emptyGroupListLoadsOneNamedGroup();
    void currentGroupAfterReload();
    void failedSaveKeepsTheFailureToast();
    void iconRequestsAreCappedAndPumped();
    void onlyTheShownGroupAsksForIcons();
    void loadedIconsLandInTheSharedCache();
    void closeSavesTheWindowSize();
    void movingAButtonSavesTheSettings();
};

void TestMainWindowLayout::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    QVERIFY2(root().startsWith(testsupport::testRoot()), "the data root must be the isolated one");
}

void TestMainWindowLayout::init()
{
    setLanguage(0);
    clearIconPixmapCache();
    QDir dir(root());
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (name.startsWith(QLatin1String("layout.json")) || name.startsWith(QLatin1String("settings.json"))) {
            const QFileInfo info(dir.filePath(name));
            info.isDir() && !info.isSymLink() ? QDir(dir.filePath(name)).removeRecursively()
                                              : QFile::remove(dir.filePath(name));
        }
    }
}

void TestMainWindowLayout::firstStartSavesDefaultsAndRestartKeepsThem()
{
    QList<PanelGroup> first;
    QByteArray saved;
    {
        MainWindow w;
        first = w.panelGroups();
        QCOMPARE(first.size(), 2);
        QCOMPARE(first[0].name, QStringLiteral("常用"));
        QCOMPARE(first[1].name, QStringLiteral("系统"));
        QCOMPARE(w.currentGroup(), 0);
        QCOMPARE(w.layoutFilePath(), layoutFile());
        saved = testsupport::readFile(layoutFile());
        QCOMPARE(saved, serializeLayout(first));
        // Icons are asked for the group shown only.
        QSet<QString> shown;
        for (const PanelItem& item : first[0].items)
            shown.insert(item.path);
        QCOMPARE(w.queuedIconRequests(), int(shown.size()));
    }
    MainWindow again;
    QCOMPARE(again.panelGroups(), first);
    QVERIFY(again.saveLayout());
    QCOMPARE(testsupport::readFile(layoutFile()), saved);
    QVERIFY(corruptCopies().isEmpty());
}

void TestMainWindowLayout::unusableLayoutIsPreservedAndReported_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("toast");
    const QString damaged = QStringLiteral("布局文件已损坏，已保留副本并重建默认分组；可从「备份与恢复」还原最近快照");
    QTest::newRow("not JSON") << QByteArray("{\"groups\": [ broken") << false << damaged;
    QTest::newRow("JSON but not an object") << QByteArray("[{\"name\": \"mine\"}]") << false << damaged;
    QTest::newRow("a folder") << QByteArray() << true
                              << QStringLiteral("布局文件不是普通文件，已将其移到一旁并重建默认分组");
}

void TestMainWindowLayout::unusableLayoutIsPreservedAndReported()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, folder);
    if (folder) {
        QVERIFY(testsupport::writeFile(layoutFile() + QStringLiteral("/inside.txt"), "keep me"));
    } else {
        QVERIFY(testsupport::writeFile(layoutFile(), content));
    }

    MainWindow w;
    const QStringList copies = corruptCopies();
    QCOMPARE(copies.size(), 1);
    const QString copy = root() + QLatin1Char('/') + copies.first();
    if (folder)
        QCOMPARE(testsupport::readFile(copy + QStringLiteral("/inside.txt")), QByteArray("keep me"));
    else
        QCOMPARE(testsupport::readFile(copy), content);

    // The defaults live in memory and, with the original safe, on disk.
    QCOMPARE(w.panelGroups().size(), 2);
    QCOMPARE(parseLayout(testsupport::readFile(layoutFile()), QString()).state, LayoutFileState::Loaded);

    QTRY_VERIFY_WITH_TIMEOUT(toastOf(w) && toastOf(w)->isVisible(), 6000);
    QFETCH(QString, toast);
    QCOMPARE(toastOf(w)->text(), translate(toast));
    QVERIFY(toastOf(w)->isFailure());
}

void TestMainWindowLayout::partlyReadLayoutIsCopiedBeforeItIsSavedOver_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("loaded");
    QTest::newRow("key in other case")
        << QByteArray(R"({"Groups": [{"name": "Mine", "items": [{"path": "/x"}]}]})") << QStringLiteral("默认分组:");
    QTest::newRow("items as an object")
        << QByteArray(R"({"groups": [{"name": "A", "items": {"path": "/x"}}, {"name": "B", "items": [{"path": "/y"}]}]})")
        << QStringLiteral("A:;B:/y");
    QTest::newRow("path as a number")
        << QByteArray(R"({"groups": [{"name": "A", "items": [{"path": 7}, {"path": "/y"}]}]})") << QStringLiteral("A:/y");
    QTest::newRow("groups as a text") << QByteArray(R"({"groups": "A,B"})") << QStringLiteral("默认分组:");
}

void TestMainWindowLayout::partlyReadLayoutIsCopiedBeforeItIsSavedOver()
{
    QFETCH(QByteArray, content);
    QVERIFY(testsupport::writeFile(layoutFile(), content));
    {
        MainWindow w;
        QTEST(testsupport::panelShape(w.panelGroups()), "loaded");
        // The lenient load keeps the file in place and a copy beside it.
        QCOMPARE(corruptCopies().size(), 1);
        QCOMPARE(testsupport::readFile(root() + QLatin1Char('/') + corruptCopies().first()), content);
        QCOMPARE(testsupport::readFile(layoutFile()), content);
        QTRY_VERIFY_WITH_TIMEOUT(toastOf(w) && toastOf(w)->isVisible(), 6000);
        QCOMPARE(toastOf(w)->text(), translate("布局文件中有无法读取的内容，已保留原文件副本；其余分组照常载入"));
        QVERIFY(w.saveLayout());
    }
    // Saved over once; the next start finds nothing dropped and copies nothing more.
    QCOMPARE(parseLayout(testsupport::readFile(layoutFile()), QString()).partlyRead, false);
    MainWindow again;
    QCOMPARE(corruptCopies().size(), 1);
}

void TestMainWindowLayout::fileThatIsNotRegularNeitherHangsNorIsWrittenThrough_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << QStringLiteral("fifo");
    QTest::newRow("link to /dev/zero") << QStringLiteral("zero");
    QTest::newRow("dangling link") << QStringLiteral("dangling");
    QTest::newRow("link to itself") << QStringLiteral("self");
}

void TestMainWindowLayout::fileThatIsNotRegularNeitherHangsNorIsWrittenThrough()
{
    QFETCH(QString, kind);
    const QString outside = testsupport::testRoot() + QStringLiteral("/outside-") + kind;
    QFile::remove(outside);
    for (const QString& file : {layoutFile(), settingsFile()}) {
        if (kind == QLatin1String("fifo"))
            QVERIFY(testsupport::makeFifo(file));
        else if (kind == QLatin1String("zero"))
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), file));
        else if (kind == QLatin1String("dangling"))
            QVERIFY(QFile::link(outside, file));
        else
            QVERIFY(QFile::link(file, file));
    }
    MainWindow w;
    QCOMPARE(w.panelGroups().size(), 2);
    QVERIFY(w.saveSettings());
    // Both entries were moved aside as they were and regular files took their place.
    for (const QString& file : {layoutFile(), settingsFile()}) {
        QVERIFY2(QFileInfo(file).isFile() && !QFileInfo(file).isSymLink(), qPrintable(file));
        const QStringList aside = QDir(root()).entryList({QFileInfo(file).fileName() + QStringLiteral(".corrupt-*")},
                                                         QDir::AllEntries | QDir::System | QDir::Hidden);
        QCOMPARE(aside.size(), 1);
    }
    QVERIFY2(!QFileInfo::exists(outside), "nothing is written through a link");
    QTRY_VERIFY_WITH_TIMEOUT(toastOf(w) && toastOf(w)->isVisible(), 6000);
    QCOMPARE(toastOf(w)->text(), translate("设置文件不是普通文件，已将其移到一旁并使用默认值"));
}

void TestMainWindowLayout::leftoversOfInterruptedSavesAreRemovedAtStart()
{
    const QStringList leftovers = {QStringLiteral("layout.json.aB3xYz"), QStringLiteral("settings.json.Q1w2E3")};
    const QStringList kept = {QStringLiteral("layout.json.corrupt-20260101-000000-000"),
                              QStringLiteral("layout.json.bak"), QStringLiteral("layout.json.aB3xYz7"),
                              QStringLiteral("notes.json.aB3xYz")};
    for (const QString& name : leftovers + kept)
        QVERIFY(testsupport::writeFile(root() + QLatin1Char('/') + name, "x"));
    const QString linkName = root() + QStringLiteral("/layout.json.LiNk00");
    QVERIFY(QFile::link(root() + QStringLiteral("/notes.json.aB3xYz"), linkName));
    MainWindow w;
    for (const QString& name : leftovers)
        QVERIFY2(!QFileInfo::exists(root() + QLatin1Char('/') + name), qPrintable(name));
    for (const QString& name : kept)
        QVERIFY2(QFileInfo::exists(root() + QLatin1Char('/') + name), qPrintable(name));
    QVERIFY(QFileInfo(linkName).isSymLink());
    for (const QString& name : kept)
        QFile::remove(root() + QLatin1Char('/') + name);
    QFile::remove(linkName);
}

void TestMainWindowLayout::oneDamageToastPerRun()
{
    QVERIFY(testsupport::writeFile(settingsFile(), "{ nope"));
    QVERIFY(testsupport::writeFile(layoutFile(), "{ nope"));
    MainWindow w;
    QCOMPARE(corruptCopies().size(), 1);
    QVERIFY(!QDir(root()).entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::Files).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(toastOf(w) && toastOf(w)->isVisible(), 6000);
    const QString settingsText =
        translate("设置文件已损坏，已保留副本并使用默认值；可从「备份与恢复」还原最近快照");
    QCOMPARE(toastOf(w)->text(), settingsText);
    // The layout's toast would have replaced it 200 ms later.
    QTest::qWait(600);
    QCOMPARE(toastOf(w)->text(), settingsText);
}

void TestMainWindowLayout::emptyFileTakesDefaultsWithoutCopy()
{
    QVERIFY(testsupport::writeFile(layoutFile(), QByteArray()));
    MainWindow w;
    QCOMPARE(w.panelGroups().size(), 2);
    QVERIFY(corruptCopies().isEmpty());
    QCOMPARE(testsupport::readFile(layoutFile()), serializeLayout(w.panelGroups()));
}

void TestMainWindowLayout::emptyGroupListLoadsOneNamedGroup_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("name");
    QTest::newRow("chinese") << 0 << QStringLiteral("默认分组");
    QTest::newRow("english") << 1 << QStringLiteral("Default Group");
}

void TestMainWindowLayout::emptyGroupListLoadsOneNamedGroup()
{
    QFETCH(int, language);
    QVERIFY(testsupport::writeFile(settingsFile(), QStringLiteral("{\"language\": %1}").arg(language).toUtf8()));
    const QByteArray bytes = "{\"groups\": []}";
    QVERIFY(testsupport::writeFile(layoutFile(), bytes));
    MainWindow w;
    QCOMPARE(w.panelGroups().size(), 1);
    QTEST(w.panelGroups()[0].name, "name");
    QVERIFY(w.panelGroups()[0].items.isEmpty());
    // Loaded, not replaced by the first-run groups: the file is as it was.
    QCOMPARE(testsupport::readFile(layoutFile()), bytes);
}

void TestMainWindowLayout::currentGroupAfterReload()
{
    QVERIFY(testsupport::writeFile(layoutFile(), groupsJson(6, 1)));
    MainWindow w;
    w.setCurrentGroupIndex(99);
    QCOMPARE(w.currentGroup(), 5);
    QVERIFY(testsupport::writeFile(layoutFile(), groupsJson(3, 1)));
    QVERIFY(w.loadLayout());
    QCOMPARE(w.currentGroup(), 0);
    w.setCurrentGroupIndex(1);
    QVERIFY(w.loadLayout());
    QCOMPARE(w.currentGroup(), 1);
    w.setCurrentGroupIndex(-4);
    QCOMPARE(w.currentGroup(), 0);
}

void TestMainWindowLayout::failedSaveKeepsTheFailureToast()
{
    MainWindow w;
    // A folder in the file's place: the commit cannot replace it.
    QVERIFY(QFile::remove(layoutFile()));
    QVERIFY(QDir().mkpath(layoutFile()));
    QVERIFY(!w.commitLayoutChange(QStringLiteral("已添加")));
    QVERIFY(toastOf(w));
    QCOMPARE(toastOf(w)->text(), translate("分组布局写入失败"));
    QVERIFY(toastOf(w)->isFailure());

    QVERIFY(QDir(layoutFile()).removeRecursively());
    QVERIFY(w.commitLayoutChange(QStringLiteral("已添加")));
    QCOMPARE(toastOf(w)->text(), QStringLiteral("已添加"));
    QVERIFY(!toastOf(w)->isFailure());
    QCOMPARE(w.findChildren<Toast*>().size(), 1);
}

void TestMainWindowLayout::iconRequestsAreCappedAndPumped()
{
    QVERIFY(testsupport::writeFile(layoutFile(), groupsJson(1, 2500)));
    MainWindow w;
    QCOMPARE(w.queuedIconRequests(), 2000);
    QTRY_COMPARE(w.queuedIconRequests(), 0);

    // The queue itself does not filter: the same path twice is asked for twice.
    PanelItem item;
    item.path = QStringLiteral("/same/path");
    w.requestItemIcon(item);
    w.requestItemIcon(item);
    QCOMPARE(w.queuedIconRequests(), 2);
    QTRY_COMPARE(w.queuedIconRequests(), 0);
}

void TestMainWindowLayout::onlyTheShownGroupAsksForIcons()
{
    QVERIFY(testsupport::writeFile(layoutFile(), groupsJson(3, 4)));
    MainWindow w;
    auto path = [](int g, int i) { return QStringLiteral("/p/%1/%2").arg(g).arg(i); };
    const QMap<QString, QPixmap>& cache = *iconPixmapCache();
    QCOMPARE(w.queuedIconRequests(), 4);
    QTRY_VERIFY(cache.contains(path(0, 0)) && cache.contains(path(0, 3)));
    QVERIFY(!cache.contains(path(1, 0)) && !cache.contains(path(2, 0)));

    // A paint before the answers came asks for nothing more.
    w.onGroupSelected(1);
    QCOMPARE(w.queuedIconRequests(), 4);
    w.onIconWanted(path(1, 2));
    QCOMPARE(w.queuedIconRequests(), 4);
    // Back to a group whose icons are cached: nothing to ask.
    w.onGroupSelected(0);
    QCOMPARE(w.queuedIconRequests(), 4);
    QTRY_VERIFY(cache.contains(path(1, 0)) && cache.contains(path(1, 3)));
    QCOMPARE(w.queuedIconRequests(), 0);

    // With the answer in, the grid's next ask (after an eviction) goes out.
    w.onIconWanted(path(1, 2));
    QCOMPARE(w.queuedIconRequests(), 1);
    QTRY_COMPARE(w.queuedIconRequests(), 0);

    // Reloading asks again for the group shown.
    w.onGroupSelected(2);
    QTRY_VERIFY(cache.contains(path(2, 3)));
    w.reloadAllIcons();
    QVERIFY(cache.isEmpty());
    QCOMPARE(w.queuedIconRequests(), 4);
    QTRY_VERIFY(cache.contains(path(2, 0)) && cache.contains(path(2, 3)));
    QVERIFY(!cache.contains(path(0, 0)));
}

void TestMainWindowLayout::loadedIconsLandInTheSharedCache()
{
    const QString picture = testsupport::testRoot() + QStringLiteral("/pic.png");
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(picture));
    PanelGroup g;
    g.name = QStringLiteral("G");
    appendPanelItem(g, picture, QStringLiteral("pic"));
    QVERIFY(testsupport::writeFile(layoutFile(), serializeLayout({g})));
    clearIconPixmapCache();
    MainWindow w;
    QTRY_VERIFY(iconPixmapCache()->contains(picture));
    QVERIFY(!iconPixmapCache()->value(picture).isNull());
}

void TestMainWindowLayout::closeSavesTheWindowSize()
{
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(900, 600);
    QVERIFY(w.close());
    const QJsonObject saved = QJsonDocument::fromJson(testsupport::readFile(settingsFile())).object();
    QCOMPARE(saved.value(QStringLiteral("geometry")).toArray(), (QJsonArray{900, 600}));
}

void TestMainWindowLayout::movingAButtonSavesTheSettings()
{
    MainWindow w;
    w.moveUiButton(7, 1, 5);
    QCOMPARE(w.currentSettings().btnLayoutBottom, (QList<int>{10, 9, 8, 6, 7, 5}));
    const QJsonObject saved = QJsonDocument::fromJson(testsupport::readFile(settingsFile())).object();
    QCOMPARE(saved.value(QStringLiteral("btnLayoutBottom")).toArray(), (QJsonArray{10, 9, 8, 6, 7, 5}));
}

QTEST_MAIN(TestMainWindowLayout)
#include "test_mainwindow_layout.moc"
