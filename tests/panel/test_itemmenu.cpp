// The item menu: enable rules, the actions that change the model or write
// files, and showing an item in its folder over D-Bus or by the fallback.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/paths.h"
#include "fakelauncher.h"
#include "panel/layoutfile.h"
#include "platform/desktopentry.h"
#include "platform/filemanager.h"
#include "testsupport.h"
#include "widgets/toast.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

QString files() { return testsupport::testRoot() + QStringLiteral("/items"); }
const QString kShell = QStringLiteral("::{20D04FE0-3AEA-1069-A2D8-08002B30309D}");

PanelItem item(const QString& path, const QString& name = QString())
{
    PanelItem it;
    it.path = path;
    it.name = name.isEmpty() ? QFileInfo(path).completeBaseName() : name;
    return it;
}

void writeLayout(const QList<QList<PanelItem>>& groupItems)
{
    QList<PanelGroup> groups;
    for (int i = 0; i < groupItems.size(); ++i) {
        PanelGroup g;
        g.name = QStringLiteral("G%1").arg(i);
        g.items = groupItems.at(i);
        groups << g;
    }
    QVERIFY(testsupport::writeFile(cachedAppDataDir() + QStringLiteral("/layout.json"), serializeLayout(groups)));
}

QString toastText(MainWindow& w)
{
    const Toast* t = w.findChild<Toast*>();
    return t ? t->text() : QString();
}

// Which entries of a built menu are enabled, by action id.
QMap<int, bool> enabledEntries(MainWindow& w, int itemIndex)
{
    QMenu menu;
    w.fillItemMenu(&menu, itemIndex);
    QMap<int, bool> out;
    for (QAction* a : menu.actions()) {
        if (!a->isSeparator() && !a->menu())
            out.insert(a->data().toInt(), a->isEnabled());
    }
    return out;
}

// A stand-in file manager: records what it was asked to show.
class FileManagerStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

class Window : public MainWindow {
public:
    using MainWindow::absentVolumeProbe;
    using MainWindow::askRemoveOffline;
};

} // namespace

class TestItemMenu : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(testsupport::writeFile(files() + QStringLiteral("/report.pdf"), "pdf"));
        QVERIFY(testsupport::writeFile(files() + QStringLiteral("/other.pdf"), "pdf"));
        QVERIFY(QDir().mkpath(files() + QStringLiteral("/Folder")));
    }
    void init() { setLanguage(0); }

    void enableRules_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<int>>("enabled");
        using M = MainWindow;
        QTest::newRow("shell place") << kShell << QList<int>{M::Open, M::CopyPath, M::Float, M::Remove};
        QTest::newRow("folder") << files() + QStringLiteral("/Folder")
                                << QList<int>{M::Open, M::ShowInFolder, M::Edit, M::Relocate, M::CopyPath,
                                              M::DesktopShortcut, M::Float, M::Remove};
        QTest::newRow("file") << files() + QStringLiteral("/report.pdf")
                              << QList<int>{M::Open, M::RunAsAdmin, M::ShowInFolder, M::Edit, M::Relocate,
                                            M::CopyPath, M::DesktopShortcut, M::Float, M::Remove};
        QTest::newRow("missing, with the clear entry")
            << files() + QStringLiteral("/gone.pdf")
            << QList<int>{M::Relocate, M::CopyPath, M::Float, M::Remove, M::ClearMissing};
    }
    void enableRules()
    {
        QFETCH(QString, path);
        QFETCH(QList<int>, enabled);
        writeLayout({{item(path)}, {}});
        MainWindow w;
        const QMap<int, bool> entries = enabledEntries(w, 0);
        QList<int> on;
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if (it.value())
                on << it.key();
        }
        QCOMPARE(on, enabled);
        QCOMPARE(entries.contains(MainWindow::ClearMissing), enabled.contains(MainWindow::ClearMissing));
    }

    void clearEntryCountsMissingOfAllGroups()
    {
        writeLayout({{item(files() + QStringLiteral("/gone.pdf"))}, {item(files() + QStringLiteral("/gone2.pdf"))}});
        MainWindow w;
        QTRY_COMPARE(w.missingItems().size(), 2);
        QMenu menu;
        w.fillItemMenu(&menu, 0);
        QCOMPARE(menu.actions().last()->text(), QStringLiteral("清除所有失效图标 (2)"));
    }

    void moveSubmenuDisablesGroupsHoldingThePath()
    {
        const QString pdf = files() + QStringLiteral("/report.pdf");
        writeLayout({{item(pdf)}, {item(pdf)}, {}});
        MainWindow w;
        QMenu menu;
        w.fillItemMenu(&menu, 0);
        QMenu* move = nullptr;
        for (QAction* a : menu.actions())
            move = a->menu() ? a->menu() : move;
        QVERIFY(move);
        QCOMPARE(move->actions().size(), 3);
        QVERIFY(!move->actions().at(0)->isEnabled()); // current group
        QVERIFY(!move->actions().at(1)->isEnabled()); // holds the same path
        QVERIFY(move->actions().at(2)->isEnabled());
        w.runItemMenuAction(MainWindow::kMoveToGroupBase + 2, 0);
        QCOMPARE(w.panelGroups().at(0).items.size(), 0);
        QCOMPARE(w.panelGroups().at(2).items.first().path, pdf);
        QCOMPARE(w.currentGroup(), 0);
    }

    void copyPathKeepsShellPlaces()
    {
        writeLayout({{item(kShell, QStringLiteral("PC"))}});
        MainWindow w;
        w.runItemMenuAction(MainWindow::CopyPath, 0);
        QCOMPARE(QGuiApplication::clipboard()->text(), kShell);
    }

    void relocateRefusesPathOfAnotherItemInOtherCase()
    {
        const QString pdf = files() + QStringLiteral("/report.pdf");
        writeLayout({{item(files() + QStringLiteral("/gone.pdf")), item(pdf)}});
        MainWindow w;
        w.relocateItem(0, pdf.toUpper());
        QCOMPARE(toastText(w), QStringLiteral("该路径已在当前分组中"));
        QCOMPARE(w.panelGroups().at(0).items.at(0).path, files() + QStringLiteral("/gone.pdf"));
        w.relocateItem(0, files() + QStringLiteral("/other.pdf"));
        QCOMPARE(toastText(w), QStringLiteral("已重新定位"));
        QCOMPARE(w.panelGroups().at(0).items.at(0).path, files() + QStringLiteral("/other.pdf"));
    }

    void desktopShortcutTakesNextFreeNumber()
    {
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QVERIFY(desktop.startsWith(testsupport::testRoot()));
        QVERIFY(testsupport::writeFile(desktop + QStringLiteral("/Notes.desktop"), "x"));
        QVERIFY(testsupport::writeFile(desktop + QStringLiteral("/Notes (2).desktop"), "x"));
        const QString notes = files() + QStringLiteral("/Notes.txt");
        QVERIFY(testsupport::writeFile(notes, "n"));
        writeLayout({{item(notes)}});
        MainWindow w;
        w.runItemMenuAction(MainWindow::DesktopShortcut, 0);
        QCOMPARE(toastText(w), QStringLiteral("已在桌面创建快捷方式"));
        const QString made = desktop + QStringLiteral("/Notes (3).desktop");
        QVERIFY(QFileInfo::exists(made));
        QCOMPARE(int(QFile::permissions(made) & 0x7077),
                 int(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                     | QFile::ReadOther | QFile::ExeOther) & 0x7077);
        DesktopEntry e;
        QVERIFY(readDesktopEntryFile(made, &e));
        QCOMPARE(e.type, QStringLiteral("Link"));
        QCOMPARE(e.name, QStringLiteral("Notes"));
        QCOMPARE(QUrl(e.url).toLocalFile(), notes);
    }

    void desktopShortcutOfProgramStartsIt()
    {
        const QString tool = files() + QStringLiteral("/my tool$%.sh");
        QVERIFY(testsupport::writeFile(tool, "#!/bin/sh\n"));
        QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner);
        writeLayout({{item(tool)}});
        MainWindow w;
        w.runItemMenuAction(MainWindow::DesktopShortcut, 0);
        DesktopEntry e;
        QVERIFY(readDesktopEntryFile(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                                         + QStringLiteral("/my tool$%.desktop"),
                                     &e));
        QStringList argv;
        QString error;
        QVERIFY2(splitDesktopExec(e.exec, &argv, &error), qPrintable(error));
        QCOMPARE(argv, QStringList{tool});
        QCOMPARE(e.path, files());
    }

    void editOfPlainItem()
    {
        const QString pdf = files() + QStringLiteral("/report.pdf");
        writeLayout({{item(pdf, QStringLiteral("Report"))}});
        MainWindow w;
        MainWindow::ItemEdit edit;
        edit.name = QStringLiteral("Report");
        edit.start.target = pdf;
        edit.values = edit.start;
        w.applyItemEdit(0, edit);
        QCOMPARE(toastText(w), QString()); // nothing changed: nothing said
        edit.name = QStringLiteral("Quarterly");
        edit.values.arguments = QStringLiteral(" -x ");
        w.applyItemEdit(0, edit);
        QCOMPARE(toastText(w), QStringLiteral("已保存更改"));
        const QList<PanelGroup> saved =
            parseLayout(testsupport::readFile(w.layoutFilePath()), QStringLiteral("x")).groups;
        QCOMPARE(saved.at(0).items.at(0).name, QStringLiteral("Quarterly"));
        QCOMPARE(saved.at(0).items.at(0).args, QStringLiteral(" -x "));
    }

    void unreadableShortcutIsNeverWritten()
    {
        const QString lnk = files() + QStringLiteral("/Broken.lnk");
        QVERIFY(testsupport::writeFile(lnk, "not a link at all"));
        writeLayout({{item(lnk)}});
        MainWindow w;
        MainWindow::ItemEdit edit;
        edit.name = QStringLiteral("Renamed");
        edit.readOk = false;
        edit.values.target = QStringLiteral("/usr/bin/true");
        w.applyItemEdit(0, edit);
        QCOMPARE(testsupport::readFile(lnk), QByteArray("not a link at all"));
        QCOMPARE(w.panelGroups().at(0).items.at(0).name, QStringLiteral("Renamed"));
    }

    void clearMissingAsksAboutDetachedDisks()
    {
        const QString offline = QStringLiteral("/media/usb/tool.exe");
        writeLayout({{item(files() + QStringLiteral("/gone.pdf")), item(offline)},
                     {item(files() + QStringLiteral("/report.pdf"))}});
        Window w;
        w.absentVolumeProbe = [](const QString& p) { return p.startsWith(QLatin1String("/media/")); };
        int asked = -1;
        w.askRemoveOffline = [&](int n) {
            asked = n;
            return 0; // keep them
        };
        w.clearMissingItems();
        QTRY_COMPARE(toastText(w), QStringLiteral("已清除 1 个失效图标"));
        QCOMPARE(asked, 1);
        QCOMPARE(w.panelGroups().at(0).items.size(), 1);
        QCOMPARE(w.panelGroups().at(0).items.at(0).path, offline);
        QCOMPARE(w.panelGroups().at(1).items.size(), 1);
    }

    void showInFolder()
    {
        // A private session bus, so that no real file manager answers.
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                     QStringLiteral("--print-address")});
        if (!daemon.waitForStarted(5000))
            QSKIP("dbus-daemon is not available");
        QTRY_VERIFY(daemon.canReadLine());
        const QByteArray address = daemon.readLine().trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QVERIFY(QDBusConnection::sessionBus().isConnected());

        const QString pdf = files() + QStringLiteral("/report.pdf");
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        QObject context;

        // No service: the parent folder is opened.
        std::optional<FileManager::Outcome> outcome;
        FileManager::showItem(pdf, &context, [&](FileManager::Outcome o) { outcome = o; });
        QTRY_VERIFY(outcome.has_value());
        QCOMPARE(*outcome, FileManager::Outcome::ParentFolder);
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url, QUrl::fromLocalFile(files()));

        // The stand-in service takes the request; nothing else is opened.
        QDBusConnection standIn = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("standin"));
        FileManagerStandIn service;
        QVERIFY(standIn.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &service,
                                       QDBusConnection::ExportScriptableSlots));
        QVERIFY(standIn.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        outcome.reset();
        FileManager::showItem(pdf, &context, [&](FileManager::Outcome o) { outcome = o; });
        QTRY_VERIFY(outcome.has_value());
        QCOMPARE(*outcome, FileManager::Outcome::Service);
        QCOMPARE(service.shown, QStringList{QUrl::fromLocalFile(pdf).toString()});
        QCOMPARE(rec.calls.size(), 1);

        QDBusConnection::disconnectFromBus(QStringLiteral("standin"));
        daemon.kill();
        daemon.waitForFinished();
    }
};

QTEST_MAIN(TestItemMenu)
#include "test_itemmenu.moc"
