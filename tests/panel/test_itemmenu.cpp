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
#include "widgets/floaticon.h"
#include "widgets/icongrid.h"
#include "widgets/toast.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTimer>
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
    using MainWindow::chooseRelocation;
};

// Runs `action` once inside the event loop of the next menu or modal
// dialog that opens, and remembers that window.
class OnPrompt : public QObject {
public:
    explicit OnPrompt(std::function<void(QWidget*)> action) : m_action(std::move(action))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget* prompt = QApplication::activePopupWidget();
            if (!prompt)
                prompt = QApplication::activeModalWidget();
            if (!prompt || !prompt->isVisible())
                return;
            m_poll.stop();
            seen = prompt;
            m_action(prompt);
        });
        m_poll.start(20);
    }
    QPointer<QWidget> seen;

private:
    QTimer m_poll;
    std::function<void(QWidget*)> m_action;
};

// Clicks the entry of `menu` carrying `action` as its data.
void clickMenuEntry(QMenu* menu, int action)
{
    for (QAction* a : menu->actions()) {
        if (!a->menu() && a->data().toInt() == action) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
            return;
        }
    }
    QFAIL("no such menu entry");
}

QStringList pathsOf(const QList<PanelItem>& items)
{
    QStringList out;
    for (const PanelItem& it : items)
        out << QFileInfo(it.path).fileName();
    return out;
}

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

    // An item that still draws its own custom icon is not missing, even
    // when another item of the same path elsewhere is: the clearing takes
    // only the missing one, and only the missing one is marked.
    void clearMissingJudgesEachItemByItself()
    {
        const QString gone = files() + QStringLiteral("/gone.pdf");
        PanelItem withIcon = item(gone);
        withIcon.customIcon = files() + QStringLiteral("/report.pdf");
        writeLayout({{withIcon}, {item(gone), item(files() + QStringLiteral("/other.pdf"))}});
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.missingItems(), QSet<QString>{gone});
        const IconGrid* grid = w.findChild<IconGrid*>();
        QVERIFY(grid);
        // The first group is shown: its item carries no missing badge.
        const QImage cell = w.findChild<IconGrid*>()->grab().toImage().copy(grid->itemRect(0));
        int badge = 0;
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x)
                badge += cell.pixelColor(x, y) == QColor(0xD9, 0x53, 0x4F) ? 1 : 0;
        QCOMPARE(badge, 0);

        w.clearMissingItems();
        QTRY_COMPARE(toastText(w), QStringLiteral("已清除 1 个失效图标"));
        QCOMPARE(w.panelGroups().at(0).items.size(), 1);
        QCOMPARE(w.panelGroups().at(0).items.at(0).customIcon, withIcon.customIcon);
        QCOMPARE(pathsOf(w.panelGroups().at(1).items), QStringList{QStringLiteral("other.pdf")});
    }

    // The menu, the editor and the relocation act on the item they were
    // opened for; when the clearing of missing items removed it meanwhile,
    // they refuse instead of hitting the item now at its index.
    void itemActionsFollowTheItemNotItsIndex_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("menu entry") << QStringLiteral("menu");
        QTest::newRow("editor") << QStringLiteral("edit");
        QTest::newRow("relocation") << QStringLiteral("relocate");
    }
    void itemActionsFollowTheItemNotItsIndex()
    {
        QFETCH(QString, how);
        const QString gone = files() + QStringLiteral("/x.txt");
        const QString kept = files() + QStringLiteral("/y.txt");
        QVERIFY(testsupport::writeFile(kept, "y"));
        writeLayout({{item(gone), item(kept)}});
        Window w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto clearGone = [&w] {
            w.clearMissingItems();
            QTRY_COMPARE(w.panelGroups().at(0).items.size(), 1);
        };
        if (how == QLatin1String("relocate")) {
            w.chooseRelocation = [&]() -> QString {
                clearGone();
                return files() + QStringLiteral("/other.pdf");
            };
            w.runItemMenuAction(MainWindow::Relocate, 0);
        } else if (how == QLatin1String("edit")) {
            QVERIFY(testsupport::writeFile(gone, "x"));
            OnPrompt editor([&](QWidget* dialog) {
                QVERIFY(QFile::remove(gone));
                clearGone();
                if (auto* line = dialog->findChild<QLineEdit*>())
                    line->setText(QStringLiteral("renamed"));
                static_cast<QDialog*>(dialog)->accept();
            });
            w.runItemMenuAction(MainWindow::Edit, 0);
            QVERIFY(editor.seen.isNull());
        } else {
            OnPrompt menu([&](QWidget* popup) {
                clearGone();
                clickMenuEntry(qobject_cast<QMenu*>(popup), MainWindow::Remove);
            });
            w.showItemMenu(0, w.mapToGlobal(QPoint(40, 40)));
        }
        QCOMPARE(pathsOf(w.panelGroups().at(0).items), QStringList{QStringLiteral("y.txt")});
        QCOMPARE(w.panelGroups().at(0).items.at(0).name, QStringLiteral("y"));
        QCOMPARE(toastText(w), QStringLiteral("该项目已不在面板中"));
    }

    // A float tile shows and opens its item as it is now: relocated, it
    // opens the new target with the new picture.
    void floatTileFollowsRelocation()
    {
        testsupport::RecordingLauncher launcher;
        const testsupport::LauncherOverride scope(&launcher);
        const QString pdf = files() + QStringLiteral("/report.pdf");
        writeLayout({{item(files() + QStringLiteral("/gone.pdf")), item(pdf)}});
        MainWindow w;
        FloatIcon* tile = w.addFloatIcon(0);
        QVERIFY(tile);
        const int pictures = tile->rescaleCount();
        w.relocateItem(0, files() + QStringLiteral("/other.pdf"));
        QCOMPARE(toastText(w), QStringLiteral("已重新定位"));
        QVERIFY(tile->rescaleCount() > pictures);
        Q_EMIT tile->openRequested();
        QCOMPARE(launcher.calls.size(), 1);
        QCOMPARE(launcher.calls.first().url.toLocalFile(), files() + QStringLiteral("/other.pdf"));
        w.removeAllFloatIcons();
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
