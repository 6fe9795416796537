// The lock and obfuscation of the main window, driven through the window's
// own event path: a locked panel launches nothing, lets no key or click
// reach the grid, and unlocking gives back the panel as it was.
#include "panel/mainwindow.h"

#include "account/authstore.h"
#include "account/logindialog.h"
#include "app/appsettings.h"
#include "app/paths.h"
#include "fakelauncher.h"
#include "market/appmarketdialog.h"
#include "panel/layoutfile.h"
#include "platform/secretstore.h"
#include "protect/lockdialog.h"
#include "protect/passwordhash.h"
#include "protect/uilockoverlay.h"
#include "testsupport.h"
#include "widgets/bottombar.h"
#include "widgets/floaticon.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/toast.h"
#include "widgetwaits.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QtTest>

namespace {

QString root() { return cachedAppDataDir(); }
QString settingsFile() { return root() + QStringLiteral("/settings.json"); }
QString target() { return root() + QStringLiteral("/files/report.pdf"); }

// The older stored form: one SHA-256, so checks are instant in tests.
QString quickHash(const QString& password)
{
    return QStringLiteral("s$")
        + QString::fromLatin1(QCryptographicHash::hash(("s" + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void writeSettings(const std::function<void(AppSettings&)>& edit)
{
    AppSettings s;
    edit(s);
    QString error;
    QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
}

QString attemptsFile() { return root() + QStringLiteral("/lock_attempts.json"); }

QJsonObject settingsJson()
{
    return QJsonDocument::fromJson(testsupport::readFile(settingsFile())).object();
}

// The account that set the protection, written into the stored settings.
void setStoredOwner(const QString& owner)
{
    QJsonObject o = settingsJson();
    o.insert(QStringLiteral("progUnlockOwner"), owner);
    QVERIFY(testsupport::writeFile(settingsFile(), QJsonDocument(o).toJson()));
}

AppSettings savedSettings()
{
    AppSettings s;
    QSize size;
    loadAppSettings(settingsFile(), s, &size);
    return s;
}

void writeLayoutWithOneItem()
{
    QVERIFY(testsupport::writeFile(target(), "pdf"));
    PanelItem it;
    it.path = target();
    it.name = QStringLiteral("report");
    PanelGroup g;
    g.name = QStringLiteral("G");
    g.items = { it };
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/layout.json"), serializeLayout({ g })));
}

Toast* toastOf(MainWindow& w) { return w.findChild<Toast*>(); }

// Every log line of the process while it lives, passed on as before.
class LogCapture {
public:
    LogCapture() { previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(previous); }
    static QStringList& lines()
    {
        static QStringList all;
        return all;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        lines().append(text);
        if (previous)
            previous(type, context, text);
    }
    static inline QtMessageHandler previous = nullptr;
};

QNetworkReply* fetch(QNetworkAccessManager& manager, testsupport::CannedHttpServer& server, const QByteArray& response)
{
    server.response = response;
    QNetworkReply* reply = manager.get(QNetworkRequest(server.url(QStringLiteral("/api/uc.php"))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(10000);
    return reply;
}

} // namespace

class TestMainWindowProtect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(root().startsWith(testsupport::testRoot()));
    }
    void init()
    {
        QFile::remove(settingsFile());
        QFile::remove(root() + QStringLiteral("/layout.json"));
        QFile::remove(attemptsFile());
        QFile::remove(root() + QStringLiteral("/auth.json"));
    }

    void lockedPanelLetsNothingThroughAndUnlocksAsItWas()
    {
        LogCapture log;
        LogCapture::lines().clear();
        writeLayoutWithOneItem();
        writeSettings([](AppSettings& s) {
            s.uiLocked = true;
            s.protectPasswordHash = quickHash(QStringLiteral("open sesame"));
        });
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.resize(800, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.lockScreen() && w.lockScreen()->isVisible());
        UiLockOverlay* overlay = w.lockScreen();
        QCOMPARE(overlay->geometry(), w.rect());

        auto* grid = w.findChild<IconGrid*>();
        auto* sidebar = w.findChild<Sidebar*>();
        QVERIFY(grid && sidebar);
        // A double click where the item lies lands on the lock screen.
        const QPoint onItem = grid->mapTo(&w, grid->itemRect(0).center());
        QCOMPARE(w.childAt(onItem), overlay);
        QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, onItem);
        // Tab and the search shortcut reach neither the grid nor the sidebar.
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(w.windowHandle(), Qt::Key_Tab);
        QVERIFY(!grid->hasFocus() && !sidebar->hasFocus());
        QTest::keyClick(w.windowHandle(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!w.searchPanelWidget() || !w.searchPanelWidget()->isVisible());
        // Even a direct request to launch is refused while locked.
        w.launchTarget(target(), QString(), QString(), false);
        QCOMPARE(rec.calls.size(), 0);

        // Unlock through the lock screen: wrong, then right.
        QVERIFY(overlay->isInputVisible());   // the click opened the entry
        QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("wrong"));
        QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
        QTRY_COMPARE(overlay->errorText(), QStringLiteral("密码错误，请重试"));
        QVERIFY(savedSettings().uiLocked);
        overlay->passwordEdit()->clear();
        QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("open sesame"));
        QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
        QTRY_VERIFY(!w.lockScreen());

        const AppSettings saved = savedSettings();
        QVERIFY(!saved.uiLocked);
        // The older stored form was renewed by the successful check.
        QVERIFY(!passwordNeedsRehash(saved.protectPasswordHash));
        QVERIFY(verifyPassword(saved.protectPasswordHash, QStringLiteral("open sesame")));
        QVERIFY(grid->isEnabled() && sidebar->isEnabled());
        w.onItemActivated(0);
        QCOMPARE(rec.calls.size(), 1);

        // The password itself is neither logged nor stored.
        QVERIFY(!LogCapture::lines().isEmpty());
        for (const QString& line : LogCapture::lines())
            QVERIFY2(!line.contains(QStringLiteral("open sesame")), qPrintable(line));
        QVERIFY(!testsupport::readFile(settingsFile()).contains("open sesame"));
    }

    // Without a password both buttons ask for one first; cancelling that
    // changes nothing.
    void lockAndObfuscationButtonsAskForAPassword_data()
    {
        QTest::addColumn<int>("ub");
        QTest::newRow("lock") << 8;
        QTest::newRow("obfuscation") << 10;
    }
    void lockAndObfuscationButtonsAskForAPassword()
    {
        QFETCH(int, ub);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString title;
        QTimer::singleShot(50, &w, [&] {
            auto* d = qobject_cast<LockDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            title = d->title();
            d->reject();
        });
        w.handleUiButton(ub);
        QCOMPARE(title, QStringLiteral("设置保护密码"));
        QVERIFY(!w.lockScreen());
        QVERIFY(!w.currentSettings().uiLocked);
        QVERIFY(!w.currentSettings().obfuscateEnabled);
        QVERIFY(w.currentSettings().protectPasswordHash.isEmpty());
    }

    void obfuscationOffThroughTheRemoveLink()
    {
        writeSettings([](AppSettings& s) {
            s.obfuscateEnabled = true;
            s.uiLocked = false;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
        });
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTimer::singleShot(50, &w, [&] {
            auto* outer = qobject_cast<LockDialog*>(QApplication::activeModalWidget());
            QVERIFY(outer);
            QTimer::singleShot(50, outer, [outer] {
                LockDialog* nested = outer->findChild<LockDialog*>();
                QVERIFY(nested);
                nested->firstField()->setText(QStringLiteral("pw12"));
                nested->tryAccept(false);
            });
            QTest::mouseMove(outer, outer->layout().removeLink.center());
            QTest::mouseClick(outer, Qt::LeftButton, {}, outer->layout().removeLink.center());
        });
        w.toggleObfuscation();
        const AppSettings saved = savedSettings();
        QVERIFY(saved.protectPasswordHash.isEmpty());
        QVERIFY(!saved.obfuscateEnabled);
        QVERIFY(!w.bottomBarWidget()->isButtonActive(10));
        QVERIFY(toastOf(w));
        QCOMPARE(toastOf(w)->text(), QStringLiteral("混淆保护已关闭"));
    }

    void lockedFileWithoutPasswordStartsUnlocked()
    {
        writeSettings([](AppSettings& s) { s.uiLocked = true; });
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(20);
        QVERIFY(!w.lockScreen());
    }

    void lockingAsksForAPasswordFirst()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Cancelled: nothing stored, not locked.
        QTimer::singleShot(50, &w, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        w.lockInterface();
        QVERIFY(!w.lockScreen());
        QVERIFY(savedSettings().protectPasswordHash.isEmpty());

        QTimer::singleShot(50, &w, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            const auto fields = d->findChildren<QLineEdit*>();
            QCOMPARE(fields.size(), 2);
            for (QLineEdit* f : fields)
                f->setText(QStringLiteral("abcd"));
            QTest::keyClick(fields.first(), Qt::Key_Return);
        });
        w.lockInterface();
        QVERIFY(w.lockScreen());
        const AppSettings saved = savedSettings();
        QVERIFY(saved.uiLocked);
        QVERIFY(verifyPassword(saved.protectPasswordHash, QStringLiteral("abcd")));
        QVERIFY(!saved.protectPasswordHash.contains(QStringLiteral("abcd")));
        QVERIFY(!testsupport::readFile(settingsFile()).contains("abcd"));
    }

    void settingsCallbacksSaveAtOnce()
    {
        writeSettings([](AppSettings& s) {
            s.uiLocked = true;
            s.obfuscateEnabled = true;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
        });
        MainWindow w;
        w.applyProtectionFromSettings(QString(), { { QStringLiteral("/a"), QStringLiteral("/b") } });
        const AppSettings saved = savedSettings();
        QVERIFY(!saved.uiLocked);
        QVERIFY(saved.obfuscateEnabled);   // kept as it was
        QCOMPARE(saved.obfuscateMap.value(QStringLiteral("/a")), QStringLiteral("/b"));
    }

    // The first answer for an account is only its baseline; a later, higher
    // epoch unlocks, an equal one does nothing. Only the account signed in
    // when the password was set counts: another one signed in since neither
    // unlocks nor becomes the baseline.
    void lockSyncTakesABaselineFirst_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("storedUser");
        QTest::addColumn<int>("storedEpoch");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("unlocked");
        QTest::addColumn<int>("epochAfter");
        const QString ann = QStringLiteral("ann");
        const QString eve = QStringLiteral("eve");
        QTest::newRow("first sync of the account") << ann << ann << QString() << 0 << QByteArray(R"({"ok":1,"epoch":7})") << false << 7;
        QTest::newRow("another account's epoch stored") << ann << ann << QStringLiteral("bob") << 9 << QByteArray(R"({"ok":1,"epoch":3})") << false << 3;
        QTest::newRow("higher epoch") << ann << ann << ann << 7 << QByteArray(R"({"ok":1,"epoch":8})") << true << 8;
        QTest::newRow("same epoch") << ann << ann << ann << 7 << QByteArray(R"({"ok":1,"epoch":7})") << false << 7;
        QTest::newRow("lower epoch") << ann << ann << ann << 7 << QByteArray(R"({"ok":1,"epoch":2})") << false << 7;
        QTest::newRow("refused") << ann << ann << ann << 7 << QByteArray(R"({"ok":0,"epoch":9})") << false << 7;
        QTest::newRow("not json") << ann << ann << ann << 7 << QByteArray("<html>") << false << 7;
        QTest::newRow("a new account's first answer") << ann << eve << ann << 7 << QByteArray(R"({"ok":1,"epoch":1})") << false << 7;
        QTest::newRow("a new account's unlock") << ann << eve << eve << 3 << QByteArray(R"({"ok":1,"epoch":9})") << false << 3;
        QTest::newRow("set while signed out") << QString() << ann << ann << 7 << QByteArray(R"({"ok":1,"epoch":8})") << false << 7;
    }
    void lockSyncTakesABaselineFirst()
    {
        QFETCH(QString, owner);
        QFETCH(QString, user);
        QFETCH(QString, storedUser);
        QFETCH(int, storedEpoch);
        QFETCH(QByteArray, body);
        QFETCH(bool, unlocked);
        QFETCH(int, epochAfter);
        writeSettings([&](AppSettings& s) {
            s.uiLocked = true;
            s.obfuscateEnabled = true;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
            s.progUnlockEpoch = storedEpoch;
            s.progUnlockEpochUser = storedUser;
        });
        setStoredOwner(owner);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.lockScreen());
        w.lockSyncUser = user;
        w.lockSyncPending = true;

        testsupport::CannedHttpServer server;
        QVERIFY(server.listen());
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QNetworkReply* reply = fetch(manager, server, testsupport::CannedHttpServer::reply(200, body));
        if (body.startsWith('<'))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("jsonutil")));
        w.onLockSyncReply(reply);

        QVERIFY(!w.lockSyncPending);
        const AppSettings saved = savedSettings();
        QCOMPARE(saved.progUnlockEpoch, epochAfter);
        QCOMPARE(saved.uiLocked, !unlocked);
        QCOMPARE(saved.obfuscateEnabled, !unlocked);
        QCOMPARE(saved.protectPasswordHash.isEmpty(), unlocked);
        QCOMPARE(bool(w.lockScreen()), !unlocked);
        if (unlocked) {
            QVERIFY(toastOf(w));
            QCOMPARE(toastOf(w)->text(), QStringLiteral("已通过账户解除程序锁定"));
        }
    }

    // Setting the password makes the account signed in at that moment its
    // owner, with a fresh baseline.
    void settingThePasswordRecordsItsAccount_data()
    {
        QTest::addColumn<QString>("signedIn");
        QTest::newRow("signed in") << QStringLiteral("ada");
        QTest::newRow("signed out") << QString();
    }
    void settingThePasswordRecordsItsAccount()
    {
        QFETCH(QString, signedIn);
        writeSettings([](AppSettings& s) {
            s.progUnlockEpochUser = QStringLiteral("ada");
            s.progUnlockEpoch = 4;
        });
        if (!signedIn.isEmpty()) {
            const AuthState auth { QStringLiteral("token-1"), signedIn, QString(), false, false };
            QVERIFY(testsupport::writeFile(root() + QStringLiteral("/auth.json"),
                                           authFileBytes(auth, userSecretStore()).bytes));
        }
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.authState().token.isEmpty(), signedIn.isEmpty());
        testsupport::whenModal([](QWidget* d) {
            for (QLineEdit* f : d->findChildren<QLineEdit*>())
                f->setText(QStringLiteral("abcd"));
            QTest::keyClick(d->findChildren<QLineEdit*>().first(), Qt::Key_Return);
        }, &w);
        w.lockInterface();
        QVERIFY(w.lockScreen());
        const QJsonObject stored = settingsJson();
        QCOMPARE(stored.value(QStringLiteral("progUnlockOwner")).toString(), signedIn);
        QCOMPARE(stored.value(QStringLiteral("progUnlockEpochUser")).toString(), QString());
    }

    // Locking puts every other window of the panel out of reach: open
    // windows are hidden (and come back with the unlock), a modal one is
    // cancelled, and nothing opens, signs in or launches until the unlock.
    void lockSetsTheOtherWindowsAside()
    {
        writeLayoutWithOneItem();
        writeSettings([](AppSettings& s) { s.protectPasswordHash = quickHash(QStringLiteral("pw12")); });
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.handleUiButton(5);
        QPointer<AppMarketDialog> market = w.appMarket();
        QVERIFY(market && market->isVisible());
        QPointer<FloatIcon> tile = w.addFloatIcon(0);
        QVERIFY(tile && tile->isVisible());

        // An editor is open when the lock comes.
        QDialog editor(&w);
        editor.setModal(true);
        bool stillOpen = false;
        QTimer::singleShot(0, &w, [&] { w.lockInterface(); });
        QTimer::singleShot(3000, &editor, [&] {
            stillOpen = true;
            editor.reject();
        });
        QCOMPARE(editor.exec(), int(QDialog::Rejected));
        QVERIFY(!stillOpen);

        QVERIFY(w.lockScreen());
        QVERIFY(!market->isVisible());
        QVERIFY(!tile->isVisible());
        w.handleUiButton(5);
        w.handleUiButton(7);
        QVERIFY(!market->isVisible());
        QVERIFY(!w.addFloatIcon(0));
        // The market's sign-in request finds no card over the lock screen.
        bool signInShown = false;
        testsupport::whenWidget([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* d) {
                                    signInShown = true;
                                    static_cast<QDialog*>(d)->reject();
                                },
                                2000, &w);
        Q_EMIT market->loginRequested();
        QVERIFY(!signInShown);
        QVERIFY(w.authState().token.isEmpty());
        Q_EMIT tile->openRequested();
        QCOMPARE(rec.calls.size(), 0);
        for (QWidget* top : QApplication::topLevelWidgets())
            QVERIFY2(top == &w || !top->isVisible() || qobject_cast<Toast*>(top), top->metaObject()->className());

        UiLockOverlay* overlay = w.lockScreen();
        QTest::keyClick(overlay, Qt::Key_Return);
        QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("pw12"));
        QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
        QTRY_VERIFY(!w.lockScreen());
        QVERIFY(market->isVisible());
        QVERIFY(tile->isVisible());
        Q_EMIT tile->openRequested();
        QCOMPARE(rec.calls.size(), 1);
    }

    // The lock screen's check runs off the GUI thread (the key press is
    // handled before the answer), and repeated failures make the next
    // check wait, also after a restart.
    void lockScreenGuessingIsSlowedDown()
    {
        writeSettings([](AppSettings& s) {
            s.uiLocked = true;
            s.protectPasswordHash = quickHash(QStringLiteral("open sesame"));
        });
        const QString wrong = QStringLiteral("密码错误，请重试");
        {
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_VERIFY(w.lockScreen() && w.lockScreen()->isVisible());
            UiLockOverlay* overlay = w.lockScreen();
            QTest::keyClick(overlay, Qt::Key_Return);
            QStringList answers;
            for (int i = 0; i < 4; ++i) {
                overlay->passwordEdit()->clear();
                QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("guess %1").arg(i));
                QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
                QCOMPARE(overlay->errorText(), QString());
                QTRY_VERIFY(!overlay->errorText().isEmpty());
                answers << overlay->errorText();
            }
            QCOMPARE(answers, (QStringList { wrong, wrong, wrong, QStringLiteral("尝试次数过多，请 1 秒后再试") }));
        }
        // The count is on disk; a longer wait there is honoured by the next
        // start, even for the right password.
        QJsonObject attempts = QJsonDocument::fromJson(testsupport::readFile(attemptsFile())).object();
        QCOMPARE(attempts.value(QStringLiteral("failures")).toInt(), 3);
        attempts.insert(QStringLiteral("failures"), 10);
        attempts.insert(QStringLiteral("notBefore"), double(QDateTime::currentMSecsSinceEpoch() + 120000));
        QVERIFY(testsupport::writeFile(attemptsFile(), QJsonDocument(attempts).toJson()));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.lockScreen() && w.lockScreen()->isVisible());
        UiLockOverlay* overlay = w.lockScreen();
        QTest::keyClick(overlay, Qt::Key_Return);
        QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("open sesame"));
        QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
        QTRY_VERIFY(overlay->errorText().startsWith(QStringLiteral("尝试次数过多")));
        QVERIFY(w.lockScreen());
        QVERIFY(savedSettings().uiLocked);
    }

    // A remote unlock ends a password dialog that asks for the old password.
    void remoteUnlockClosesThePasswordPrompt()
    {
        writeSettings([](AppSettings& s) {
            s.obfuscateEnabled = true;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
            s.progUnlockEpoch = 7;
            s.progUnlockEpochUser = QStringLiteral("ann");
        });
        setStoredOwner(QStringLiteral("ann"));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.lockSyncUser = QStringLiteral("ann");
        w.lockSyncPending = true;
        testsupport::CannedHttpServer server;
        QVERIFY(server.listen());
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        bool promptSeen = false;
        bool stillOpen = false;
        testsupport::whenWidget([] { return qobject_cast<LockDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* d) {
                                    promptSeen = true;
                                    QPointer<QDialog> prompt = static_cast<QDialog*>(d);
                                    w.onLockSyncReply(fetch(manager, server,
                                                            testsupport::CannedHttpServer::reply(
                                                                200, R"({"ok":1,"epoch":8})")));
                                    QTimer::singleShot(3000, prompt, [&, prompt] {
                                        stillOpen = true;
                                        prompt->reject();
                                    });
                                },
                                5000, &w);
        w.toggleObfuscation();
        QVERIFY(promptSeen);
        QVERIFY(!stillOpen);
        QVERIFY(savedSettings().protectPasswordHash.isEmpty());
        QVERIFY(toastOf(w));
        QCOMPARE(toastOf(w)->text(), QStringLiteral("已通过账户解除程序锁定"));
    }
};

QTEST_MAIN(TestMainWindowProtect)
#include "test_mainwindow_protect.moc"
