// Desktop sync on a temporary desktop: categories, names, duplicates,
// hidden entries, the toasts, and a desktop that is the home folder.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/paths.h"
#include "panel/desktopsync.h"
#include "panel/layoutfile.h"
#include "testsupport.h"
#include "widgets/toast.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

QString desktop() { return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation); }

void writeGroups(const QList<PanelGroup>& groups)
{
    QVERIFY(testsupport::writeFile(cachedAppDataDir() + QStringLiteral("/layout.json"), serializeLayout(groups)));
}

QString toastText(MainWindow& w)
{
    const Toast* t = w.findChild<Toast*>();
    return t ? t->text() : QString();
}

const PanelGroup* groupNamed(const MainWindow& w, const QString& name)
{
    for (const PanelGroup& g : w.panelGroups()) {
        if (g.name == name)
            return &g;
    }
    return nullptr;
}

QStringList names(const PanelGroup* g)
{
    QStringList out;
    if (g) {
        for (const PanelItem& it : g->items)
            out << it.name;
    }
    return out;
}

} // namespace

class TestDesktopSync : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(desktop().startsWith(testsupport::testRoot()));
    }
    void init()
    {
        setLanguage(0);
        QDir(desktop()).removeRecursively();
        QVERIFY(QDir().mkpath(desktop()));
    }

    void categories_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("group");
        QTest::newRow("program") << "Chrome.LNK" << QStringLiteral("程序");
        QTest::newRow("desktop entry") << "firefox.desktop" << QStringLiteral("程序");
        QTest::newRow("AppImage") << "Tool-1.2.AppImage" << QStringLiteral("程序");
        QTest::newRow("document") << "report.final.docx" << QStringLiteral("文档");
        QTest::newRow("folder with an archive suffix") << "Old.zip" << QStringLiteral("压缩包");
        QTest::newRow("no suffix") << "notes" << QString();
        QTest::newRow("unknown suffix") << "data.xyz" << QString();
    }
    void categories()
    {
        QFETCH(QString, name);
        QFETCH(QString, group);
        QCOMPARE(desktopCategoryOf(name), group);
    }

    void syncsOnceAndSaysSo()
    {
        for (const char* f : {"Chrome.lnk", "report.docx", "notes", "shot.png", ".secret.txt", "listed.txt"})
            QVERIFY(testsupport::writeFile(desktop() + QLatin1Char('/') + QString::fromUtf8(f), "x"));
        QVERIFY(QDir().mkpath(desktop() + QStringLiteral("/Projects")));
        QVERIFY(testsupport::writeFile(desktop() + QStringLiteral("/.hidden"), "listed.txt\n"));
        QVERIFY(QFile::link(desktop() + QStringLiteral("/notes"), desktop() + QStringLiteral("/link.txt")));
        // The user's own "程序" group takes the programs; the same path in
        // other letter case is a different file here and is added.
        PanelGroup mine;
        mine.name = QStringLiteral("程序");
        appendPanelItem(mine, desktop() + QStringLiteral("/SHOT.png"), QStringLiteral("Shot"));
        writeGroups({mine});

        MainWindow w;
        w.syncDesktopIcons();
        QTRY_COMPARE(toastText(w), QStringLiteral("已收纳 5 个桌面新图标"));
        QCOMPARE(names(groupNamed(w, QStringLiteral("程序"))), (QStringList{QStringLiteral("Shot"), QStringLiteral("Chrome")}));
        QCOMPARE(names(groupNamed(w, QStringLiteral("文档"))), QStringList{QStringLiteral("report")});
        QCOMPARE(names(groupNamed(w, QStringLiteral("图片"))), QStringList{QStringLiteral("shot")});
        QCOMPARE(names(groupNamed(w, QStringLiteral("其他"))), (QStringList{QStringLiteral("Projects"), QStringLiteral("notes")}));
        QCOMPARE(w.panelGroups().size(), 4);
        QCOMPARE(w.currentGroup(), 0);
        QCOMPARE(groupNamed(w, QStringLiteral("文档"))->items.first().path, desktop() + QStringLiteral("/report.docx"));

        w.syncDesktopIcons();
        QTRY_COMPARE(toastText(w), QStringLiteral("桌面没有需要收纳的新图标"));
        QCOMPARE(w.panelGroups().size(), 4);
    }

    void otherGroupInEnglish()
    {
        setLanguage(1);
        QVERIFY(testsupport::writeFile(desktop() + QStringLiteral("/readme"), "x"));
        QVERIFY(testsupport::writeFile(desktop() + QStringLiteral("/a.pdf"), "x"));
        writeGroups({PanelGroup{QStringLiteral("G"), {}}});
        MainWindow w;
        w.syncDesktopIcons();
        QTRY_COMPARE(w.panelGroups().size(), 3);
        QVERIFY(groupNamed(w, QStringLiteral("文档")));
        QVERIFY(groupNamed(w, translate(u"其他")));
        QVERIFY(translate(u"其他") != QStringLiteral("其他"));
    }

    void homeAsDesktopIsLeftAlone()
    {
        QCOMPARE(desktopSyncFolders(QDir::homePath(), QDir::homePath()), QStringList{});
        QCOMPARE(desktopSyncFolders(QDir::homePath() + QStringLiteral("/nowhere"), QDir::homePath()), QStringList{});
        QCOMPARE(desktopSyncFolders(desktop(), QDir::homePath()), QStringList{desktop()});
    }
};

QTEST_MAIN(TestDesktopSync)
#include "test_desktopsync.moc"
