#include "panel/defaultgroups.h"

#include "app/lang.h"
#include "testsupport.h"

#include <QtTest>

namespace {

const QString kThisPc = QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}");

QStringList describe(const PanelGroup& g)
{
    QStringList out;
    for (const PanelItem& it : g.items)
        out << it.name + QLatin1Char('=') + it.path;
    return out;
}

// Installed desktop entries and programs on PATH, as listed.
struct FakeInstalled : testsupport::FakeApplicationFinder {
    QHash<QString, QString> programs;
    QString findProgram(const QString& name) const override { return programs.value(name); }
};

UserFolders sampleFolders()
{
    UserFolders f;
    f.home = QStringLiteral("/home/u");
    f.desktop = QStringLiteral("/home/u/Desktop");
    f.download = QStringLiteral("/home/u/Downloads");
    f.documents = QStringLiteral("/home/u/Documents");
    f.pictures = QStringLiteral("/home/u/Pictures");
    f.music = QStringLiteral("/home/u/Music");
    f.movies = QStringLiteral("/home/u/Videos");
    return f;
}

} // namespace

class TestDefaultGroups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void commonGroupOrder();
    void userFolderThatIsHomeIsSkipped_data();
    void userFolderThatIsHomeIsSkipped();
    void onlyExistingUserFoldersFromTheSystem();
    void systemGroupFollowsToolTable();
    void systemGroupOnBareMachine();
    void volumeName_data();
    void volumeName();
    void itemsCarryOnlyPathAndName();
    void settingsPlacesNeedAnOpener_data();
    void settingsPlacesNeedAnOpener();
    void namesAreTranslatedWhenBuilt();
};

void TestDefaultGroups::commonGroupOrder()
{
    testsupport::FakeVolumeLister volumes;
    volumes.volumes = {{QStringLiteral("/"), QStringLiteral("/dev/sda1")},
                       {QStringLiteral("/data"), QStringLiteral("/dev/sdb1")}};
    FakeInstalled apps;
    apps.programs.insert(QStringLiteral("gnome-control-center"), QStringLiteral("/usr/bin/gnome-control-center"));
    const QList<PanelGroup> groups = buildDefaultGroups(sampleFolders(), volumes, apps);
    QCOMPARE(groups.size(), 2);
    QCOMPARE(groups[0].name, QStringLiteral("常用"));
    QCOMPARE(groups[1].name, QStringLiteral("系统"));
    const QStringList expected{
        QStringLiteral("此电脑=") + kThisPc,
        QStringLiteral("回收站=::{645FF040-5081-101B-9F08-00AA002F954E}"),
        QStringLiteral("桌面=/home/u/Desktop"),
        QStringLiteral("下载=/home/u/Downloads"),
        QStringLiteral("文档=/home/u/Documents"),
        QStringLiteral("图片=/home/u/Pictures"),
        QStringLiteral("音乐=/home/u/Music"),
        QStringLiteral("视频=/home/u/Videos"),
        QStringLiteral("网络=::{208D2C60-3AEA-1069-A2D7-08002B30309D}"),
        QStringLiteral("网络连接=::{7007ACC7-3202-11D1-AAD2-00805FC1270E}"),
        QStringLiteral("打印机=::{2227A280-3AEA-1069-A2DE-08002B30309D}"),
        QStringLiteral("本地磁盘 (/)=/"),
        QStringLiteral("本地磁盘 (/data)=/data"),
    };
    QCOMPARE(describe(groups[0]), expected);
}

void TestDefaultGroups::userFolderThatIsHomeIsSkipped_data()
{
    QTest::addColumn<QString>("documents");
    QTest::addColumn<bool>("kept");
    QTest::newRow("home itself") << QStringLiteral("/home/u") << false;
    QTest::newRow("home with slash") << QStringLiteral("/home/u/") << false;
    QTest::newRow("home through dot-dot") << QStringLiteral("/home/u/x/..") << false;
    QTest::newRow("unset") << QString() << false;
    QTest::newRow("elsewhere, even if absent") << QStringLiteral("/nowhere/Docs") << true;
}

void TestDefaultGroups::userFolderThatIsHomeIsSkipped()
{
    QFETCH(QString, documents);
    QFETCH(bool, kept);
    UserFolders f = sampleFolders();
    f.documents = documents;
    // Both settings places present, whatever this machine has installed.
    FakeInstalled apps;
    apps.programs.insert(QStringLiteral("systemsettings"), QStringLiteral("/usr/bin/systemsettings"));
    const QList<PanelGroup> groups = buildDefaultGroups(f, testsupport::FakeVolumeLister(), apps);
    bool found = false;
    for (const PanelItem& it : groups[0].items)
        found = found || it.name == QStringLiteral("文档");
    QCOMPARE(found, kept);
    QCOMPARE(groups[0].items.size(), kept ? 11 : 10);
}

void TestDefaultGroups::onlyExistingUserFoldersFromTheSystem()
{
    // The isolated home has no user folders and no user-dirs file: the
    // standard locations still name ~/Desktop, ~/Music... which do not exist.
    const QString home = QDir::homePath();
    if (!home.startsWith(testsupport::testRoot()))
        QSKIP("needs the isolated home of the test command");
    for (const char* name : {"Desktop", "Downloads", "Documents", "Pictures", "Music", "Videos"})
        QDir(home).rmdir(QString::fromLatin1(name));
    UserFolders f = UserFolders::fromSystem();
    QCOMPARE(f.home, home);
    QCOMPARE(QStringList({f.desktop, f.download, f.documents, f.pictures, f.music, f.movies}),
             QStringList(6, QString()));

    QVERIFY(QDir(home).mkpath(QStringLiteral("Music")));
    f = UserFolders::fromSystem();
    QCOMPARE(f.music, home + QStringLiteral("/Music"));
    QVERIFY(f.movies.isEmpty());
    const QList<PanelGroup> groups =
        buildDefaultGroups(f, testsupport::FakeVolumeLister(), testsupport::FakeApplicationFinder());
    QStringList names;
    for (const PanelItem& it : groups[0].items)
        names << it.name;
    QVERIFY(names.contains(QStringLiteral("音乐")));
    QVERIFY(!names.contains(QStringLiteral("视频")));
    QVERIFY(!names.contains(QStringLiteral("桌面")));
    QVERIFY(QDir(home).rmdir(QStringLiteral("Music")));
}

void TestDefaultGroups::systemGroupFollowsToolTable()
{
    testsupport::FakeApplicationFinder apps;
    // Installed in "wrong" order and with a second candidate of one tool:
    // the table decides the order, the first candidate of a row wins.
    apps.entries = {
        {QStringLiteral("org.gnome.TextEditor.desktop"), QStringLiteral("/a/texteditor.desktop")},
        {QStringLiteral("org.kde.kate.desktop"), QStringLiteral("/a/kate.desktop")},
        {QStringLiteral("xterm.desktop"), QStringLiteral("/a/xterm.desktop")},
        {QStringLiteral("org.gnome.SystemMonitor.desktop"), QStringLiteral("/a/sysmon.desktop")},
        {QStringLiteral("gucharmap.desktop"), QStringLiteral("/a/gucharmap.desktop")},
        {QStringLiteral("org.gnome.baobab.desktop"), QStringLiteral("/a/baobab.desktop")},
        {QStringLiteral("system-config-printer.desktop"), QStringLiteral("/a/printers.desktop")},
    };
    const QList<PanelGroup> groups = buildDefaultGroups(sampleFolders(), testsupport::FakeVolumeLister(), apps);
    const QStringList expected{
        QStringLiteral("任务管理器=/a/sysmon.desktop"),
        QStringLiteral("命令提示符=/a/xterm.desktop"),
        QStringLiteral("字符映射表=/a/gucharmap.desktop"),
        QStringLiteral("打印管理=/a/printers.desktop"),
        QStringLiteral("此电脑=") + kThisPc,
        QStringLiteral("磁盘清理=/a/baobab.desktop"),
        QStringLiteral("记事本=/a/texteditor.desktop"),
    };
    QCOMPARE(describe(groups[1]), expected);
}

void TestDefaultGroups::systemGroupOnBareMachine()
{
    const QList<PanelGroup> groups =
        buildDefaultGroups(sampleFolders(), testsupport::FakeVolumeLister(), testsupport::FakeApplicationFinder());
    // "此电脑" is always there, in both groups, with the same path.
    QCOMPARE(describe(groups[1]), QStringList{QStringLiteral("此电脑=") + kThisPc});
    QCOMPARE(groups[0].items[0].path, groups[1].items[0].path);
}

void TestDefaultGroups::volumeName_data()
{
    QTest::addColumn<QString>("mountPoint");
    QTest::addColumn<QString>("name");
    QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("本地磁盘 (/)");
    QTest::newRow("nested") << QStringLiteral("/mnt/data") << QStringLiteral("本地磁盘 (/mnt/data)");
    QTest::newRow("percent in path") << QStringLiteral("/mnt/%2 x") << QStringLiteral("本地磁盘 (/mnt/%2 x)");
}

void TestDefaultGroups::volumeName()
{
    QFETCH(QString, mountPoint);
    QTEST(localVolumeName(mountPoint), "name");
}

void TestDefaultGroups::itemsCarryOnlyPathAndName()
{
    testsupport::FakeVolumeLister volumes;
    volumes.volumes = {{QStringLiteral("/"), QStringLiteral("/dev/sda1")}};
    const QList<PanelGroup> groups = buildDefaultGroups(sampleFolders(), volumes, testsupport::FakeApplicationFinder());
    for (const PanelGroup& g : groups) {
        for (const PanelItem& it : g.items) {
            QVERIFY(!it.path.isEmpty());
            QVERIFY(!it.hidden && !it.runAsAdmin);
            QVERIFY(it.customIcon.isEmpty() && it.workDir.isEmpty() && it.args.isEmpty());
        }
    }
}

void TestDefaultGroups::namesAreTranslatedWhenBuilt()
{
    testsupport::FakeVolumeLister volumes;
    volumes.volumes = {{QStringLiteral("/srv"), QStringLiteral("/dev/sdb1")}};
    testsupport::FakeApplicationFinder apps;
    apps.entries = {{QStringLiteral("xterm.desktop"), QStringLiteral("/a/xterm.desktop")}};
    setLanguage(1);
    const QList<PanelGroup> groups = buildDefaultGroups(sampleFolders(), volumes, apps);
    setLanguage(0);
    QCOMPARE(groups[0].name, QStringLiteral("Favorites"));
    QCOMPARE(groups[1].name, QStringLiteral("System"));
    QCOMPARE(groups[0].items[0].name, QStringLiteral("This PC"));
    QCOMPARE(groups[0].items[5].name, QStringLiteral("Pictures"));
    QCOMPARE(groups[0].items.last().name, QStringLiteral("Local Disk (/srv)"));
    QCOMPARE(describe(groups[1]), (QStringList{QStringLiteral("Command Prompt=/a/xterm.desktop"),
                                               QStringLiteral("This PC=") + kThisPc}));
}

void TestDefaultGroups::settingsPlacesNeedAnOpener_data()
{
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<QStringList>("places");
    QTest::newRow("nothing installed") << QStringList() << QStringList();
    QTest::newRow("network editor only")
        << QStringList{QStringLiteral("nm-connection-editor")} << QStringList{QStringLiteral("网络连接")};
    QTest::newRow("printer tool only")
        << QStringList{QStringLiteral("system-config-printer")} << QStringList{QStringLiteral("打印机")};
    QTest::newRow("a desktop's settings opens both")
        << QStringList{QStringLiteral("systemsettings")} << QStringList{QStringLiteral("网络连接"), QStringLiteral("打印机")};
}

// The network and printer places open through a settings program; without
// one an item would do nothing when clicked.
void TestDefaultGroups::settingsPlacesNeedAnOpener()
{
    QFETCH(QStringList, programs);
    QFETCH(QStringList, places);
    FakeInstalled apps;
    for (const QString& p : programs)
        apps.programs.insert(p, QStringLiteral("/usr/bin/") + p);
    const QList<PanelGroup> groups = buildDefaultGroups(sampleFolders(), testsupport::FakeVolumeLister(), apps);
    QStringList got;
    for (const PanelItem& it : groups[0].items) {
        if (it.name == QStringLiteral("网络连接") || it.name == QStringLiteral("打印机"))
            got << it.name;
    }
    QCOMPARE(got, places);
    // The network place itself opens by its address and always stays.
    QVERIFY(describe(groups[0]).contains(QStringLiteral("网络=::{208D2C60-3AEA-1069-A2D7-08002B30309D}")));
}

QTEST_GUILESS_MAIN(TestDefaultGroups)
#include "test_defaultgroups.moc"
