// The settings dialog on the live panel: opened from the window (not while
// locked), its controls previewed on the window at once, Cancel giving the
// window back exactly as it was, OK saving the settings file.
#include "panel/mainwindow.h"

#include "account/supportchatdialog.h"
#include "app/appsettings.h"
#include "app/lang.h"
#include "app/logging.h"
#include "app/paths.h"
#include "app/theme.h"
#include "backup/backupengine.h"
#include "backup/restoreguard.h"
#include "backup/scriptrunner.h"
#include "fakeprompts.h"
#include "market/appmarketdialog.h"
#include "panel/windowrules.h"
#include "protect/lockdialog.h"
#include "protect/uilockoverlay.h"
#include "settings/settingsabout.h"
#include "settings/settingsdialog.h"
#include "settings/valuewidgets.h"
#include "settingsclicks.h"
#include "testsupport.h"
#include "widgets/gearmenupopup.h"
#include "widgets/titlebaractions.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QThreadPool>
#include <QTimer>
#include <QtTest>

namespace {

QString settingsFile() { return cachedAppDataDir() + QStringLiteral("/settings.json"); }

AppSettings savedSettings()
{
    AppSettings s;
    loadAppSettings(settingsFile(), s, nullptr);
    return s;
}

// A grab of the window once icons and deferred work have settled: the
// same picture for half a second.
QImage settledGrab(MainWindow& w)
{
    QImage last;
    int same = 0;
    for (int i = 0; i < 200 && same < 8; ++i) {
        QTest::qWait(60);
        const QImage now = w.grab().toImage();
        same = now == last && w.queuedIconRequests() == 0 ? same + 1 : 0;
        last = now;
    }
    return last;
}

// The window shown with its settings dialog open, on `page` unless negative;
// null when either does not come up.
SettingsDialog* showWithSettings(MainWindow& w, int page)
{
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return nullptr;
    w.openSettings();
    SettingsDialog* d = w.openSettingsDialog();
    if (d && page >= 0)
        d->setCurrentPage(page);
    return d;
}

void dragSlider(SliderWidget* s, int fromX, int toX)
{
    QTest::mousePress(s, Qt::LeftButton, {}, QPoint(fromX, 14));
    const int step = toX > fromX ? 4 : -4;
    for (int x = fromX + step;; x += step) {
        if (step > 0 ? x > toX : x < toX)
            x = toX;
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 14), s->mapToGlobal(QPointF(x, 14)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s, &move);
        if (x == toX)
            break;
    }
    QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(toX, 14));
}

// The prompt window open right now: a modal dialog or a popup menu.
QWidget* openPrompt()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    return QApplication::activeModalWidget();
}

// Runs `action` inside the event loop of the next prompt that opens, once,
// and remembers that prompt.
class OnPrompt : public QObject {
public:
    explicit OnPrompt(std::function<void()> action) : m_action(std::move(action))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget* prompt = openPrompt();
            if (!prompt || !prompt->isVisible())
                return;
            m_poll.stop();
            seen = prompt;
            seenClass = QString::fromLatin1(prompt->metaObject()->className());
            m_action();
        });
        m_poll.start(20);
    }
    QPointer<QWidget> seen;
    QString seenClass;

private:
    QTimer m_poll;
    std::function<void()> m_action;
};

// Counts the settings dialogs polished while it lives: every dialog made to
// be shown or painted is.
class PolishCounter : public QObject {
public:
    PolishCounter() { qApp->installEventFilter(this); }
    int dialogs = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Polish && qobject_cast<SettingsDialog*>(watched))
            ++dialogs;
        return false;
    }
};

} // namespace

class TestSettingsMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    }
    void init()
    {
        QFile::remove(settingsFile());
        setLanguage(0);
    }

    void lockedPanelOpensNoDialog()
    {
        FakePromptsScope prompts;
        AppSettings s;
        s.uiLocked = true;
        s.protectPasswordHash = QStringLiteral("s$abc");
        QString error;
        QVERIFY(saveAppSettings(settingsFile(), s, QSize(800, 500), &error));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.openSettings();
        QVERIFY(!w.openSettingsDialog());
        QTRY_VERIFY(w.lockScreen() && w.lockScreen()->isVisible());
    }

    void opensOnceBesideThePanel()
    {
        FakePromptsScope prompts;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.handleUiButton(1);
        SettingsDialog* d = w.openSettingsDialog();
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QVERIFY(d->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(!d->isModal());
        QVERIFY(!w.summonHotkeyRegistered());
        QCOMPARE(d->dataDirectory(), QFileInfo(w.layoutFilePath()).absolutePath());
        QCOMPARE(d->pos(), settingsDialogPosition(w.frameGeometry(), w.screen()->availableGeometry(), d->size()));
        w.openSettings();
        QCOMPARE(w.openSettingsDialog(), d);
        QPointer<SettingsDialog> guard(d);
        d->reject();
        QVERIFY(!w.openSettingsDialog());
        QTRY_VERIFY(!guard);
    }

    // The gear menu prepares the dialog's first frame off screen: nothing of
    // that shows, is saved or changes the panel, and the dialog opened later
    // edits the settings as they are then.
    void gearMenuPreparesTheDialogUnseen()
    {
        FakePromptsScope prompts;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString customTitle = QStringLiteral("Before the menu");
        AppSettings s = w.currentSettings();
        s.customTitle = customTitle;
        w.setSettingsAndApply(s);
        auto* titleBar = w.findChild<TitleBarActions*>();
        QVERIFY(titleBar);
        titleBar->showGearMenu();
        QTRY_VERIFY(titleBar->isGearMenuOpen());
        PolishCounter prepared;
        QTRY_COMPARE(prepared.dialogs, 1);
        QTest::qWait(50);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(!qobject_cast<SettingsDialog*>(top), "the prepared dialog was left behind");
        QVERIFY(!w.openSettingsDialog());
        QCOMPARE(w.currentSettings().customTitle, customTitle);

        s.customTitle = QStringLiteral("After the menu");
        w.setSettingsAndApply(s);
        Q_EMIT titleBar->gearMenu()->actionRequested(GearMenuPopup::OpenSettings);
        QVERIFY(w.openSettingsDialog());
        QCOMPARE(w.openSettingsDialog()->workingSettings().customTitle, s.customTitle);
        w.openSettingsDialog()->reject();
    }

    // Every change previews on the window; Cancel gives it back exactly.
    void cancelRestoresTheWindowExactly()
    {
        FakePromptsScope prompts;
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, -1);
        QVERIFY(d);
        const QImage before = settledGrab(w);
        const AppSettings liveBefore = w.currentSettings();
        QFile::remove(settingsFile());

        QVERIFY(clickElement(*d, settingsid::kSegmentBase + 2 * settingssegment::kTheme + 1));
        QVERIFY(currentTheme().isDark);
        QVERIFY(clickElement(*d, settingsid::kSegmentBase + 2 * settingssegment::kGroupLayout + 1));
        d->setCurrentPage(1);
        SliderWidget* radius = d->sliderByNumber(2);
        QVERIFY(radius->isVisible());
        dragSlider(radius, radius->handleX(), 12);
        QCOMPARE(w.appearance().appliedRadius, 0);
        prompts->menuAnswers << 4;
        QVERIFY(clickElement(*d, settingsid::kTitleBarColour));
        QCOMPARE(d->workingSettings().titleBarColor, 4);
        QVERIFY(settledGrab(w) != before);
        QVERIFY(!QFile::exists(settingsFile()));
        QCOMPARE(w.currentSettings().cornerRadius, liveBefore.cornerRadius);

        QVERIFY(clickElement(*d, settingsid::kCancel));
        QVERIFY(!w.openSettingsDialog());
        QCOMPARE(w.currentSettings().cornerRadius, liveBefore.cornerRadius);
        QCOMPARE(w.currentSettings().darkTheme, liveBefore.darkTheme);
        QVERIFY(settledGrab(w) == before);
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void okSavesTheSettings()
    {
        FakePromptsScope prompts;
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, -1);
        QVERIFY(d);
        QFile::remove(settingsFile());
        d->setCurrentPage(1);
        dragSlider(d->sliderByNumber(3), d->sliderByNumber(3)->handleX(), 60);
        const int opacity = d->workingSettings().opacity;
        QVERIFY(opacity < 100);
        QVERIFY(clickElement(*d, settingsid::kSwitchBase + settingsswitch::kShowTitle));
        QVERIFY(!QFile::exists(settingsFile()));
        QVERIFY(clickElement(*d, settingsid::kOk));
        QVERIFY(!w.openSettingsDialog());
        QVERIFY(QFile::exists(settingsFile()));
        const AppSettings saved = savedSettings();
        QCOMPARE(saved.opacity, opacity);
        QVERIFY(!saved.showTitle);
        QCOMPARE(w.currentSettings().opacity, opacity);
    }

    void lockingClosesTheDialog()
    {
        FakePromptsScope prompts;
        AppSettings s;
        s.protectPasswordHash = QStringLiteral("s$abc");
        QString error;
        QVERIFY(saveAppSettings(settingsFile(), s, QSize(800, 500), &error));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.openSettings();
        QVERIFY(w.openSettingsDialog());
        w.lockUi();
        QVERIFY(!w.openSettingsDialog());
    }

    // The recorder's button without a recording folder lands on the
    // protection page without asking for the password, and the page stays
    // locked for the navigation.
    // The button without a folder sends the user to the set-up on the
    // protection page; with a password set, the page asks for it first.
    void monitorButtonWithoutFolderOpensItsSettings_data()
    {
        QTest::addColumn<bool>("passwordSet");
        QTest::addColumn<bool>("given");
        QTest::newRow("no password") << false << false;
        QTest::newRow("password given") << true << true;
        QTest::newRow("password cancelled") << true << false;
    }
    void monitorButtonWithoutFolderOpensItsSettings()
    {
        QFETCH(bool, passwordSet);
        QFETCH(bool, given);
        FakePromptsScope prompts;
        if (given)
            prompts->lockAnswers << LockPromptAnswer { true, QStringLiteral("pw12"), QString() };
        AppSettings s;
        s.protectPasswordHash = passwordSet ? QStringLiteral("s$abc") : QString();
        s.monitorDir.clear();
        QString error;
        QVERIFY(saveAppSettings(settingsFile(), s, QSize(800, 500), &error));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.handleUiButton(9);
        SettingsDialog* d = w.openSettingsDialog();
        QVERIFY(d);
        QCOMPARE(prompts->lockModes, passwordSet ? QList<int> { int(LockDialog::Verify) } : QList<int>());
        const bool reached = !passwordSet || given;
        QCOMPARE(d->currentPage() == int(settingspage::kProtect), reached);
        QCOMPARE(d->isProtectUnlocked(), passwordSet && given);
        if (reached) {
            // Pressed again while the dialog is open: the same dialog, same
            // page, and no second question.
            d->setCurrentPage(settingspage::kGeneral);
            w.handleUiButton(9);
            QCOMPARE(w.openSettingsDialog(), d);
            QCOMPARE(d->currentPage(), int(settingspage::kProtect));
            QCOMPARE(prompts->lockModes.size(), passwordSet ? 1 : 0);
        }
        d->reject();
    }
    // The language segment of the general page switches every open window
    // at once, not only the dialog and not only on the next paint.
    void languageSwitchRetranslatesOpenWindows()
    {
        FakePromptsScope prompts;
        MainWindow w;
        SupportChatDialog chat;
        AppMarketDialog market;
        w.toggleSearch(); // the search field is made on first use
        SettingsDialog* d = showWithSettings(w, settingspage::kGeneral);
        QVERIFY(d);
        const int segment = settingsid::kSegmentBase + 2 * settingssegment::kLanguage;
        for (const int language : {1, 0}) {
            QVERIFY(clickElement(*d, segment + language));
            QCOMPARE(currentLanguage(), language);
            const bool english = language == 1;
            QCOMPARE(chat.windowTitle(), english ? QStringLiteral("Feedback") : QStringLiteral("反馈中心"));
            QCOMPARE(market.windowTitle(), english ? QStringLiteral("App Market") : QStringLiteral("应用市场"));
            QCOMPARE(w.searchLineEdit()->placeholderText(),
                     english ? QStringLiteral("Search items in the panel… (Esc to close)")
                             : QStringLiteral("搜索面板内的项目…（Esc 关闭）"));
        }
        d->reject();
    }
    // The backup page on the live panel: a real snapshot, a change of the
    // panel's data, a real restore of the snapshot, and the panel showing
    // the restored groups at once with the dialog's working copy reloaded.
    void restoreFromTheBackupPageReloadsThePanel()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        FakePromptsScope prompts;
        const QString dataDir = cachedAppDataDir();
        QDir(BackupEngine::backupsDir(dataDir)).removeRecursively();
        QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/layout.json"),
                                       R"({"groups": [{"name": "Before", "items": [{"path": "/usr/bin/env"}]}]})"));
        AppSettings s;
        s.customTitle = QStringLiteral("before");
        QString error;
        QVERIFY(saveAppSettings(settingsFile(), s, QSize(800, 500), &error));
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, settingspage::kBackup);
        QVERIFY(d);
        QVERIFY(clickElement(*d, settingsid::kBackupFirst + 4));   // back up now
        QTRY_VERIFY_WITH_TIMEOUT(!d->isBackupBusy(), 240000);
        QCOMPARE(prompts->messages.size(), 1);
        QCOMPARE(d->snapshotRows().size(), 1);

        // Changed after the snapshot, and loaded by the panel.
        QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/layout.json"),
                                       R"({"groups": [{"name": "After", "items": []}]})"));
        s.customTitle = QStringLiteral("after");
        QVERIFY(saveAppSettings(settingsFile(), s, QSize(800, 500), &error));
        w.reloadAfterRestore();
        QCOMPARE(w.panelGroups().first().name, QStringLiteral("After"));

        prompts->askAnswers = {1};
        QVERIFY(clickElement(*d, settingsid::kSnapshotRestoreBase + d->snapshotRows().size() - 1));
        QTRY_VERIFY_WITH_TIMEOUT(!d->isBackupBusy(), 240000);
        QCOMPARE(prompts->messages.size(), 2);
        QVERIFY2(prompts->messages.last().startsWith(QStringLiteral("0|")), qPrintable(prompts->messages.last()));
        QCOMPARE(w.panelGroups().first().name, QStringLiteral("Before"));
        QCOMPARE(w.currentSettings().customTitle, QStringLiteral("before"));
        QCOMPARE(d->workingSettings().customTitle, QStringLiteral("before"));
        QVERIFY(!BackupEngine::savesHeld());
        d->reject();
    }

    // At exit the panel hands what the automatic backup left of the budget
    // to the dialog's own operation, which is then cancelled.
    // Whatever closes the dialog while one of its own prompts is open (the
    // lock, the account's remote unlock) closes that prompt too; the prompt
    // returns "closed" to the page, the dialog goes once it has, and the
    // panel lives on. Real prompts: the fault was theirs.
    void closingUnderAnOpenPrompt_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("element");
        QTest::addColumn<bool>("remote");
        QTest::newRow("question, lock") << int(settingspage::kGeneral) << int(settingsid::kRestoreDefaults) << false;
        QTest::newRow("question, remote unlock")
            << int(settingspage::kGeneral) << int(settingsid::kRestoreDefaults) << true;
        QTest::newRow("password, lock") << int(settingspage::kGeneral)
                                        << int(settingsid::kNavBase + settingspage::kProtect) << false;
        QTest::newRow("password, remote unlock")
            << int(settingspage::kGeneral) << int(settingsid::kNavBase + settingspage::kProtect) << true;
        QTest::newRow("menu, remote unlock") << int(settingspage::kGeneral) << int(settingsid::kRevealMethod) << true;
        QTest::newRow("file dialog, lock") << int(settingspage::kAppearance) << int(settingsid::kLogoChoose) << false;
    }
    void closingUnderAnOpenPrompt()
    {
        QFETCH(int, page);
        QFETCH(int, element);
        QFETCH(bool, remote);
        setSettingsPrompts(nullptr);
        AppSettings s;
        s.protectPasswordHash = QStringLiteral("s$abc");
        s.progUnlockOwner = QStringLiteral("ann");
        s.progUnlockEpochUser = QStringLiteral("ann");
        s.progUnlockEpoch = 1;
        QString error;
        QVERIFY(saveAppSettings(settingsFile(), s, QSize(800, 500), &error));
        MainWindow w;
        w.lockSyncUser = QStringLiteral("ann");
        testsupport::CannedHttpServer server;
        QVERIFY(server.listen());
        server.response = testsupport::CannedHttpServer::reply(200, R"({"ok":1,"epoch":2})");
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QNetworkReply* reply = manager.get(QNetworkRequest(server.url(QStringLiteral("/api/uc.php"))));
        QSignalSpy finished(reply, &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));

        const QPointer<SettingsDialog> d = showWithSettings(w, page);
        QVERIFY(d);
        OnPrompt closer([&] {
            if (remote)
                w.onLockSyncReply(reply);
            else
                w.lockUi();
        });
        QVERIFY(clickElement(*d, element));
        QVERIFY2(closer.seenClass.size() > 0, "no prompt opened");
        QVERIFY2(!closer.seen || !closer.seen->isVisible(), qPrintable(closer.seenClass));
        QVERIFY(!w.openSettingsDialog());
        QTRY_VERIFY(!d);
        QVERIFY(!closer.seen);
        QVERIFY(w.isVisible());
        if (remote)
            QVERIFY(w.currentSettings().protectPasswordHash.isEmpty());
        else
            QVERIFY(w.lockScreen());
    }

    // A password set from the panel (the obfuscation button) while the
    // dialog is open is what the protection page then asks for: it is
    // checked, never replaced by a new one without a word.
    void protectionPageChecksAPasswordSetMeanwhile()
    {
        FakePromptsScope prompts;
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, settingspage::kGeneral);
        QVERIFY(d);
        {
            OnPrompt setter([] {
                auto* lock = qobject_cast<LockDialog*>(openPrompt());
                QVERIFY(lock);
                lock->firstField()->setText(QStringLiteral("pw12"));
                if (lock->secondField())
                    lock->secondField()->setText(QStringLiteral("pw12"));
                lock->accept();
            });
            w.toggleObfuscation();
            QVERIFY(setter.seen.isNull() || !setter.seen->isVisible());
        }
        const QString hash = w.currentSettings().protectPasswordHash;
        QVERIFY(!hash.isEmpty());
        // The save of the panel refreshes the open dialog.
        QTRY_COMPARE(d->workingSettings().protectPasswordHash, hash);
        prompts->lockAnswers = {LockPromptAnswer{true, QStringLiteral("other"), QString()}};
        QVERIFY(clickElement(*d, settingsid::kNavBase + settingspage::kProtect));
        QCOMPARE(prompts->lockModes, QList<int>{int(LockDialog::Verify)});
        QCOMPARE(w.currentSettings().protectPasswordHash, hash);
        QCOMPARE(savedSettings().protectPasswordHash, hash);
        // The button of the page changes it, after asking for it.
        prompts->lockAnswers = {LockPromptAnswer{false, QString(), QString()}};
        QVERIFY(clickElement(*d, settingsid::kProtectPassword));
        QCOMPARE(prompts->lockModes.last(), int(LockDialog::Change));
        d->reject();
    }

    // Turning the panel while the dialog is open keeps the dialog's live
    // preview on it (a dark preview stays dark over a light panel).
    void orientationKeepsThePreview()
    {
        FakePromptsScope prompts;
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, settingspage::kGeneral);
        QVERIFY(d);
        QVERIFY(!currentTheme().isDark);
        QVERIFY(clickElement(*d, settingsid::kSegmentBase + 2 * settingssegment::kTheme + 1));
        QVERIFY(currentTheme().isDark);
        w.toggleOrientation();
        QVERIFY(w.isPortrait());
        QVERIFY(currentTheme().isDark);
        QVERIFY(!w.currentSettings().darkTheme);
        d->reject();
        QVERIFY(!currentTheme().isDark);
        w.toggleOrientation();
    }

    // The frameless dialogs move by their title area even when no window
    // manager does it for them (here: none at all).
    void framelessDialogsMoveThemselves_data()
    {
        QTest::addColumn<bool>("market");
        QTest::newRow("settings dialog") << false;
        QTest::newRow("app market") << true;
    }
    void framelessDialogsMoveThemselves()
    {
        QFETCH(bool, market);
        FakePromptsScope prompts;
        MainWindow w;
        AppMarketDialog marketDialog;
        QWidget* dialog = nullptr;
        if (market) {
            marketDialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&marketDialog));
            dialog = &marketDialog;
        } else {
            dialog = showWithSettings(w, settingspage::kGeneral);
        }
        QVERIFY(dialog);
        dialog->move(100, 80);
        const QPoint start = dialog->pos();
        const QPoint grip(dialog->width() / 3, 20);
        QVERIFY(!dialog->childAt(grip));
        QTest::mousePress(dialog, Qt::LeftButton, {}, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(40, 30)), dialog->mapToGlobal(QPointF(grip + QPoint(40, 30))),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog, &move);
        QTest::mouseRelease(dialog, Qt::LeftButton, {}, grip + QPoint(40, 30));
        QCOMPARE(dialog->pos(), start + QPoint(40, 30));
        if (!market)
            w.openSettingsDialog()->reject();
    }

    // A restore that finishes after the dialog has gone (closed by a lock
    // while its worker ran) still reaches the panel, and saving is allowed
    // again: before, its result was dropped with the dialog and every later
    // save of the session was held back.
    void restoreFinishingAfterTheDialogWentReleasesSaves()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        FakePromptsScope prompts;
        const QString dataDir = cachedAppDataDir();
        QDir(BackupEngine::backupsDir(dataDir)).removeRecursively();
        QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/layout.json"),
                                       R"({"groups": [{"name": "Before", "items": []}]})"));
        MainWindow w;
        SettingsDialog* opened = showWithSettings(w, settingspage::kBackup);
        QVERIFY(opened);
        const QPointer<SettingsDialog> d = opened;
        QVERIFY(clickElement(*d, settingsid::kBackupFirst + 4));
        QTRY_VERIFY_WITH_TIMEOUT(!d->isBackupBusy(), 240000);
        QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/layout.json"),
                                       R"({"groups": [{"name": "After", "items": []}]})"));
        w.reloadAfterRestore();
        QCOMPARE(w.panelGroups().first().name, QStringLiteral("After"));

        prompts->askAnswers = {1};
        QVERIFY(clickElement(*d, settingsid::kSnapshotRestoreBase + d->snapshotRows().size() - 1));
        QVERIFY(d->isBackupBusy());
        // The worker ends while the window does not look at its result yet;
        // then the dialog goes.
        QThreadPool::globalInstance()->waitForDone();
        QVERIFY(BackupEngine::savesHeld());
        w.lockUi();
        QTRY_VERIFY(!d);
        QTRY_VERIFY_WITH_TIMEOUT(!BackupEngine::savesHeld(), 30000);
        QCOMPARE(w.panelGroups().first().name, QStringLiteral("Before"));
    }

    void exitBudgetReachesTheDialogsBackup()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        FakePromptsScope prompts;
        QDir(BackupEngine::backupsDir(cachedAppDataDir())).removeRecursively();
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, settingspage::kBackup);
        QVERIFY(d);
        QVERIFY(clickElement(*d, settingsid::kBackupFirst + 4));
        QVERIFY(d->isBackupBusy());
        w.stopBackupWorkers(2500);
        QTRY_VERIFY_WITH_TIMEOUT(!d->isBackupBusy(), 240000);
        QCOMPARE(prompts->messages, QStringList{QStringLiteral("0|备份与恢复|已取消。")});
        d->reject();
    }
    // A quit closes the dialog before the exit hook runs, and the window
    // then no longer knows it: a restore the dialog started must still be
    // ended and rolled back (or finish) before the hook returns, never left
    // writing into the data root of an exiting panel.
    void quitDuringARestoreAfterTheDialogClosed()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        FakePromptsScope prompts;
        const QString dataDir = cachedAppDataDir();
        QDir(BackupEngine::backupsDir(dataDir)).removeRecursively();
        QDir(dataDir + QStringLiteral("/bulk")).removeRecursively();
        // Enough files that the restore is still at work when the quit comes.
        for (int i = 0; i < 3000; ++i)
            QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/bulk/f%1.txt").arg(i), "snapshot"));
        MainWindow w;
        SettingsDialog* d = showWithSettings(w, settingspage::kBackup);
        QVERIFY(d);
        QVERIFY(clickElement(*d, settingsid::kBackupFirst + 4));
        QTRY_VERIFY_WITH_TIMEOUT(!d->isBackupBusy(), 240000);
        QCOMPARE(d->snapshotRows().size(), 1);
        for (int i = 0; i < 3000; ++i)
            QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/bulk/f%1.txt").arg(i), "current"));
        QVERIFY(testsupport::writeFile(dataDir + QStringLiteral("/bulk/added.txt"), "current"));
        const QString canonical = QFileInfo(dataDir).canonicalFilePath();
        const testsupport::FileTree current = testsupport::treeOf(canonical + QStringLiteral("/bulk"));

        prompts->askAnswers = {1};
        QVERIFY(clickElement(*d, settingsid::kSnapshotRestoreBase + d->snapshotRows().size() - 1));
        // The restore's own script runs.
        QTRY_VERIFY_WITH_TIMEOUT(restoreguard::readRecord(canonical).pid > 0 || !d->isBackupBusy(), 240000);
        QVERIFY2(d->isBackupBusy(), "the restore ended before the quit; nothing to stop");
        d->reject();
        w.stopBackupWorkers(60000);

        const QStringList scripts =
            QDir(QDir::tempPath()).entryList({ QStringLiteral("krvbk_*.ps1"), QStringLiteral("krvps_*") },
                                             QDir::AllEntries | QDir::NoDotAndDotDot);
        QVERIFY2(scripts.isEmpty(), qPrintable(scripts.join(QLatin1Char(' '))));
        QVERIFY(!QFileInfo::exists(BackupEngine::safetyCopyPath(canonical)));
        QCOMPARE(restoreguard::readRecord(canonical).state, restoreguard::State::None);
        // Rolled back as the quit cancelled it, or restored whole when the
        // script was done first: never a mix.
        const testsupport::FileTree after = testsupport::treeOf(canonical + QStringLiteral("/bulk"));
        if (after != current) {
            QCOMPARE(after.size(), 3000);
            QCOMPARE(after.value(QStringLiteral("f0.txt")), QByteArray("snapshot"));
            QCOMPARE(after.value(QStringLiteral("f2999.txt")), QByteArray("snapshot"));
            QCOMPARE(std::count(after.cbegin(), after.cend(), QByteArray("snapshot")), qsizetype(3000));
        }
        BackupEngine::releaseSaves();
        QDir(dataDir + QStringLiteral("/bulk")).removeRecursively();
    }

    // The help page's maintenance buttons reach the window's own actions,
    // which ask first; every question is declined here, so nothing runs.
    void aboutPageButtonsReachTheWindow_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("asked");
        QTest::newRow("export logs") << int(aboutid::kExportLogs) << QStringLiteral("save: 导出日志");
        QTest::newRow("uninstall keeping data") << int(aboutid::kUninstallKeepData) << QStringLiteral("ask: 保留配置卸载");
        QTest::newRow("uninstall with data") << int(aboutid::kUninstallWithData) << QStringLiteral("ask: 完全卸载");
        QTest::newRow("factory reset") << int(aboutid::kFactoryReset) << QStringLiteral("ask: 完全初始化");
    }
    void aboutPageButtonsReachTheWindow()
    {
        QFETCH(int, id);
        QFETCH(QString, asked);
        FakePromptsScope prompts;
        initLogging(cachedAppDataDir());
        QVERIFY(QDir().mkpath(logRoot()));
        MainWindow w;
        QStringList questions;
        int started = 0;
        w.maintenanceUi.confirm = [&questions](QWidget*, const QString& title, const QString&, bool) {
            questions << QStringLiteral("ask: ") + title;
            return false;
        };
        w.maintenanceUi.saveFileName = [&questions](QWidget*, const QString& caption, const QString&, const QString&) {
            questions << QStringLiteral("save: ") + caption;
            return QString();
        };
        w.maintenanceUi.startDetached = [&started](const QString&, const QStringList&, const QString&) {
            ++started;
            return false;
        };
        SettingsDialog* d = showWithSettings(w, settingspage::kAbout);
        QVERIFY(d);
        QVERIFY(clickElement(*d, id));
        QCOMPARE(questions, QStringList{asked});
        QCOMPARE(started, 0);
        QVERIFY(w.openSettingsDialog());
        d->reject();
    }
};

QTEST_MAIN(TestSettingsMainWindow)
#include "test_settings_mainwindow.moc"
