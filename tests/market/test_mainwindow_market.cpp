// Installed market apps reaching the panel: the group they go to, the
// program chosen in their folder, and what is saved and shown.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/paths.h"
#include "market/appmarketdialog.h"
#include "panel/layoutfile.h"
#include "testsupport.h"
#include "widgets/toast.h"
#include "widgets/uibtn.h"

#include <QtTest>

namespace {

QString root() { return cachedAppDataDir(); }

QList<PanelGroup> savedGroups()
{
    const LayoutRead read = readLayoutFile(root() + QStringLiteral("/layout.json"), QStringLiteral("-"));
    return read.state == LayoutFileState::Loaded ? read.groups : QList<PanelGroup>();
}

QString toastText(MainWindow& w)
{
    Toast* t = w.findChild<Toast*>();
    return t ? t->text() : QString();
}

void makeFile(const QString& path, bool executable)
{
    QVERIFY(testsupport::writeFile(path, "#!/bin/sh\n"));
    QFile::Permissions p = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        p |= QFile::ExeOwner;
    QVERIFY(QFile::setPermissions(path, p));
}

} // namespace

class TestMainWindowMarket : public QObject {
    Q_OBJECT
    QString apps;

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY2(root().startsWith(testsupport::testRoot()), "the data root must be the isolated one");
        apps = root() + QStringLiteral("/apps");
    }
    void init()
    {
        QFile::remove(root() + QStringLiteral("/layout.json"));
        QDir(apps).removeRecursively();
        setLanguage(0);
    }

    void addsToANewGroupOnce()
    {
        makeFile(apps + "/notes/run.sh", true);
        MainWindow w;
        const int groupsBefore = w.panelGroups().size();
        w.addMarketAppToPanel("Notes", apps + "/notes/run.sh");
        QCOMPARE(w.panelGroups().size(), groupsBefore + 1);
        const PanelGroup& g = w.panelGroups().last();
        QCOMPARE(g.name, QStringLiteral("应用市场"));
        QCOMPARE(g.items.size(), 1);
        QCOMPARE(g.items[0].path, apps + "/notes/run.sh");
        QCOMPARE(g.items[0].name, QStringLiteral("Notes"));
        QCOMPARE(w.currentGroup(), int(w.panelGroups().size()) - 1);
        QCOMPARE(toastText(w), translate(u"「%1」安装完成，图标已放入「应用市场」分类").arg("Notes"));
        QCOMPARE(savedGroups(), w.panelGroups());

        w.addMarketAppToPanel("Notes", apps + "/notes/run.sh");
        QCOMPARE(w.panelGroups().last().items.size(), 1);
        QCOMPARE(toastText(w), translate(u"「%1」已安装在「应用市场」分类中").arg("Notes"));
    }

    void adoptsTheOldGroupName()
    {
        makeFile(apps + "/a/run", true);
        MainWindow w;
        w.onCreateGroup(QStringLiteral("社区应用"));
        const int count = w.panelGroups().size();
        w.addMarketAppToPanel("A", apps + "/a/run");
        QCOMPARE(w.panelGroups().size(), count);
        QCOMPARE(w.panelGroups().last().name, QStringLiteral("应用市场"));
        QCOMPARE(w.panelGroups().last().items.size(), 1);
    }

    void englishGroupName()
    {
        setLanguage(1);
        makeFile(apps + "/a/run", true);
        makeFile(apps + "/b/run", true);
        MainWindow w;
        const int count = w.panelGroups().size();
        w.addMarketAppToPanel("A", apps + "/a/run");
        w.addMarketAppToPanel("B", apps + "/b/run");
        QCOMPARE(w.panelGroups().size(), count + 1);
        QCOMPARE(w.panelGroups().last().name, translate(u"应用市场"));
        QCOMPARE(w.panelGroups().last().items.size(), 2);
        setLanguage(0);
    }

    // The program of a folder is chosen the same way every time.
    void choosesTheProgram_data()
    {
        QTest::addColumn<QStringList>("files");   // "name" or "name*" for an executable one
        QTest::addColumn<QString>("given");       // relative to the app folder; "" the folder
        QTest::addColumn<QString>("chosen");
        QTest::newRow("the file itself") << QStringList{"b*", "a*"} << "b" << "b";
        QTest::newRow("first in name order") << QStringList{"zeta*", "alpha*", "mid*"} << "" << "alpha";
        QTest::newRow("plain files skipped") << QStringList{"a.txt", "b*"} << "" << "b";
        QTest::newRow("AppImage") << QStringList{"readme", "Tool.AppImage"} << "" << "Tool.AppImage";
        QTest::newRow("desktop entry") << QStringList{"z.desktop", "notes"} << "" << "z.desktop";
        QTest::newRow("a plain file given") << QStringList{"doc.txt", "run*"} << "doc.txt" << "run";
        QTest::newRow("nothing startable") << QStringList{"doc.txt"} << "" << "";
        QTest::newRow("missing folder") << QStringList{} << "gone/run" << "";
    }
    void choosesTheProgram()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, given);
        QFETCH(QString, chosen);
        const QString dir = apps + "/pick";
        QVERIFY(QDir().mkpath(dir));
        for (QString f : files) {
            const bool exec = f.endsWith('*');
            f.remove('*');
            makeFile(dir + "/" + f, exec);
        }
        MainWindow w;
        const int count = w.panelGroups().size();
        w.addMarketAppToPanel("Pick", given.isEmpty() ? dir : dir + "/" + given);
        if (chosen.isEmpty()) {
            QCOMPARE(toastText(w), translate(u"未找到可执行文件，「%1」添加失败").arg("Pick"));
            QVERIFY(w.findChild<Toast*>()->isFailure());
            QCOMPARE(w.panelGroups().size(), count);
            QVERIFY(!QFileInfo::exists(root() + "/layout.json") || savedGroups().size() == count);
            return;
        }
        QCOMPARE(w.panelGroups().last().items.value(0).path, dir + "/" + chosen);
    }

    void emptyNameTakesTheProgramName()
    {
        makeFile(apps + "/x/Tool.AppImage", false);
        MainWindow w;
        w.addMarketAppToPanel(QString(), apps + "/x");
        QCOMPARE(w.panelGroups().last().items.value(0).name, QStringLiteral("Tool"));
        QCOMPARE(toastText(w), translate(u"「%1」安装完成，图标已放入「应用市场」分类").arg("Tool"));
    }

    // The market button opens the one market window, with the session of
    // the panel; what the market asks to add lands in the panel.
    void marketButtonOpensOneMarket()
    {
        makeFile(apps + "/s/run", true);
        MainWindow w;
        QVERIFY(!w.appMarket());
        w.handleUiButton(int(UiBtn::AppMarket));
        AppMarketDialog* market = w.appMarket();
        QVERIFY(market);
        QVERIFY(market->isVisible());
        QCOMPARE(market->sessionToken(), w.authState().token);
        market->close();
        w.handleUiButton(int(UiBtn::AppMarket));
        QCOMPARE(w.appMarket(), market);
        QVERIFY(market->isVisible());
        Q_EMIT market->addToPanelRequested(QStringLiteral("S"), apps + "/s/run");
        QCOMPARE(w.panelGroups().last().items.value(0).path, apps + "/s/run");
    }
};

QTEST_MAIN(TestMainWindowMarket)
#include "test_mainwindow_market.moc"
