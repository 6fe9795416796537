// The account session of the panel against the stand-in service: start-up
// check and auto-login, heartbeat, loss of the sign-in, lock sync, host
// report and sign-out, through the window's real network code.
#include "panel/mainwindow.h"

#include "account/authstore.h"
#include "account/kickconfirmdialog.h"
#include "account/logindialog.h"
#include "account/sessionkickeddialog.h"
#include "account/onlinerequest.h"
#include "app/appsettings.h"
#include "app/lang.h"
#include "app/paths.h"
#include "app/servicehost.h"
#include "platform/secretstore.h"
#include "standin.h"
#include "testsupport.h"
#include "widgets/gearmenupopup.h"
#include "widgets/titlebaractions.h"
#include "widgets/toast.h"
#include "widgetwaits.h"

#include <QCryptographicHash>
#include <QLineEdit>
#include <QJsonDocument>
#include <QtTest>

using testsupport::StandInService;

namespace {

QString root() { return cachedAppDataDir(); }
QString authFile() { return root() + QStringLiteral("/auth.json"); }
QString settingsFile() { return root() + QStringLiteral("/settings.json"); }

void writeAuth(const AuthState& s)
{
    QVERIFY(testsupport::writeFile(authFile(), authFileBytes(s, userSecretStore()).bytes));
}

AuthState storedAuth()
{
    AuthState s;
    applyAuthFile(testsupport::readFile(authFile()), s, userSecretStore());
    return s;
}

QString toastText(MainWindow& w)
{
    Toast* t = w.findChild<Toast*>();
    return t ? t->text() : QString();
}

QList<SessionKickedDialog*> signedOutCards()
{
    QList<SessionKickedDialog*> open;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<SessionKickedDialog*>(w); d && d->isVisible())
            open << d;
    return open;
}

// What a user does in the sign-in card once it opens: types, sets the two
// boxes and presses the button (or closes the card).
struct SignInInput {
    QString user;
    QString password;
    bool remember = false;
    bool autologin = false;
    bool close = false;
};

void whenSignInCard(QObject* context, const SignInInput& in)
{
    testsupport::whenWidget([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                            [in](QWidget* w) {
                                auto* d = static_cast<LoginDialog*>(w);
                                const auto click = [d](const QRect& r) {
                                    QTest::mouseClick(d, Qt::LeftButton, {}, r.center());
                                };
                                if (in.close) {
                                    click(d->layout().close);
                                    return;
                                }
                                d->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->setText(in.user);
                                d->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText(in.password);
                                if (in.autologin)
                                    click(d->layout().autoLoginBox);
                                else if (in.remember != d->rememberPassword())
                                    click(d->layout().rememberBox);
                                click(d->layout().primaryButton);
                            },
                            10000, context);
}

void whenDeviceLimitCard(QObject* context, bool accept)
{
    testsupport::whenWidget([] { return qobject_cast<KickConfirmDialog*>(QApplication::activeModalWidget()); },
                            [accept](QWidget* w) {
                                auto* k = static_cast<KickConfirmDialog*>(w);
                                QTest::mouseClick(k, Qt::LeftButton, {},
                                                  accept ? k->layout().continueButton.center()
                                                         : k->layout().close.center());
                            },
                            10000, context);
}

void chooseAccountEntry(MainWindow& w)
{
    Q_EMIT w.findChild<TitleBarActions*>()->gearMenuAction(GearMenuPopup::SignIn);
}

} // namespace

class TestMainWindowAccount : public QObject {
    Q_OBJECT
    StandInService svc;

    QString signInElsewhere(const QString& device)
    {
        return svc.control(QStringLiteral("account.sign_in"),
                           {{QStringLiteral("username"), QStringLiteral("ada")}, {QStringLiteral("device"), device}})
            .value(QStringLiteral("token"))
            .toString();
    }
    int sessions()
    {
        return svc.control(QStringLiteral("account.state"))
            .value(QStringLiteral("accounts"))
            .toObject()
            .value(QStringLiteral("ada"))
            .toObject()
            .value(QStringLiteral("sessions"))
            .toObject()
            .size();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(svc.start(&error), qPrintable(error));
    }
    void init()
    {
        QFile::remove(authFile());
        QFile::remove(settingsFile());
        qunsetenv("KRV_TOKEN_HEARTBEAT_SEC");
        setOnlineTimeoutOverride(0);
        setOnlineDeadlineOverride(0);
        svc.control(QStringLiteral("clear_faults"));
        svc.control(QStringLiteral("clear_log"));
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), QStringLiteral("ada")},
                                                    {QStringLiteral("password"), QStringLiteral("pw-1")},
                                                    {QStringLiteral("max_devices"), 1}});
    }

    // What the start-up check does with each verdict on a stored token.
    void startupCheck_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("valid token") << QJsonObject() << true << true;
        QTest::newRow("token revoked") << QJsonObject() << false << false;
        QTest::newRow("server error") << QJsonObject{{QStringLiteral("mode"), QStringLiteral("status")},
                                                     {QStringLiteral("status"), 502}}
                                      << true << true;
        QTest::newRow("html page with 200") << QJsonObject{{QStringLiteral("mode"), QStringLiteral("corrupt")}}
                                            << true << true;
        QTest::newRow("hang-up") << QJsonObject{{QStringLiteral("mode"), QStringLiteral("hangup")},
                                                {QStringLiteral("count"), -1}}
                                 << true << true;
    }
    void startupCheck()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(bool, valid);
        QFETCH(bool, signedIn);
        const QString token = valid ? signInElsewhere(QStringLiteral("this-pc")) : QStringLiteral("stale-token");
        writeAuth(AuthState{token, QStringLiteral("ada"), QString(), false, false});
        if (!fault.isEmpty()) {
            fault.insert(QStringLiteral("path"), QStringLiteral("/api/auth.php"));
            fault.insert(QStringLiteral("action"), QStringLiteral("me"));
            svc.fault(fault);
        }
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("me")).size() >= 1,
                                 10000);
        QTest::qWait(500);
        QCOMPARE(w.authState().token.isEmpty(), !signedIn);
        QCOMPARE(storedAuth().token.isEmpty(), !signedIn);
        QCOMPARE(w.signedOutNotices(), signedIn ? 0 : 1);
    }

    // A FIFO left where the sign-in file goes is not opened: the panel
    // starts signed out instead of hanging on it.
    void signInFileThatIsAFifoIsSkipped()
    {
        QVERIFY(testsupport::makeFifo(authFile()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^auth file not read:")));
        MainWindow w;
        QVERIFY(w.authState().token.isEmpty());
        QVERIFY(w.authState().username.isEmpty());
        QFile::remove(authFile());
    }

    // An answer about a token that is no longer the current one is ignored.
    void startupAnswerForReplacedTokenIsIgnored()
    {
        writeAuth(AuthState{QStringLiteral("stale-token"), QStringLiteral("ada"), QString(), true, false});
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("me")},
                   {QStringLiteral("mode"), QStringLiteral("delay")},
                   {QStringLiteral("seconds"), 1}});
        MainWindow w;
        w.signOut();
        QTRY_VERIFY_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("logout")).size() == 1,
                                 10000);
        QTest::qWait(1500);
        QCOMPARE(w.signedOutNotices(), 0);
        QCOMPARE(toastText(w), translate(u"退出成功"));
    }

    void autoLogin_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("otherDevice");
        QTest::addColumn<bool>("signedIn");
        QTest::newRow("remembered password") << QStringLiteral("pw-1") << false << true;
        QTest::newRow("wrong password") << QStringLiteral("old") << false << false;
        // At the device limit the service asks before signing others out:
        // that is a failed auto-login, and the other PC stays signed in.
        QTest::newRow("device limit") << QStringLiteral("pw-1") << true << false;
    }
    void autoLogin()
    {
        QFETCH(QString, password);
        QFETCH(bool, otherDevice);
        QFETCH(bool, signedIn);
        svc.control(QStringLiteral("account.revoke"), {{QStringLiteral("username"), QStringLiteral("ada")}});
        if (otherDevice)
            signInElsewhere(QStringLiteral("other-pc"));
        writeAuth(AuthState{QString(), QStringLiteral("ada"), password, true, true});
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(!toastText(w).isEmpty(), 10000);
        QCOMPARE(w.authState().token.isEmpty(), !signedIn);
        QCOMPARE(storedAuth().token.isEmpty(), !signedIn);
        QCOMPARE(toastText(w), signedIn ? translate(u"已自动登录：%1").arg(QStringLiteral("ada"))
                                        : translate(u"自动登录失败，请重新登录"));
        QCOMPARE(sessions(), (signedIn || otherDevice) ? 1 : 0);
        // The remembered credentials stay for the next try.
        QCOMPARE(storedAuth().password, password);
        const QByteArray file = testsupport::readFile(authFile());
        QVERIFY(!file.contains(password.toUtf8()));
        if (signedIn)
            QVERIFY(!file.contains(w.authState().token.toUtf8()));
    }

    // Two heartbeats find the session gone: the user is told once.
    void heartbeatLosesSessionOnce()
    {
        qputenv("KRV_TOKEN_HEARTBEAT_SEC", "1");
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), QString(), false, false});
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("me")).size() >= 2,
                                 10000);
        QCOMPARE(w.authState().token, token);
        svc.control(QStringLiteral("account.revoke"), {{QStringLiteral("username"), QStringLiteral("ada")}});
        QTRY_VERIFY_WITH_TIMEOUT(w.authState().token.isEmpty(), 10000);
        QTest::qWait(2500);
        QCOMPARE(w.signedOutNotices(), 1);
        const QList<SessionKickedDialog*> cards = signedOutCards();
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.at(0)->reason(), QStringLiteral("你的账号已在其他设备登录"));
        QCOMPARE(storedAuth().token, QString());
        cards.at(0)->close();
    }

    void heartbeatWaitsOutServerErrors()
    {
        qputenv("KRV_TOKEN_HEARTBEAT_SEC", "1");
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), QString(), false, false});
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("mode"), QStringLiteral("status")},
                   {QStringLiteral("status"), 500},
                   {QStringLiteral("count"), -1}});
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("me")).size() >= 3,
                                 10000);
        QCOMPARE(w.authState().token, token);
        QCOMPARE(w.signedOutNotices(), 0);
    }

    // The first answer for an account is its baseline; a later unlock from
    // the account lifts the protection.
    void lockSyncUnlocksFromTheAccount()
    {
        qputenv("KRV_TOKEN_HEARTBEAT_SEC", "1");
        AppSettings s;
        s.protectPasswordHash = QStringLiteral("s$") + QString(64, QLatin1Char('0'));
        s.progUnlockOwner = QStringLiteral("ada");
        QString error;
        QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), QStringLiteral("ada")},
                                                    {QStringLiteral("password"), QStringLiteral("pw-1")},
                                                    {QStringLiteral("max_devices"), 1},
                                                    {QStringLiteral("epoch"), 4}});
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), QString(), false, false});
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(
            svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")).size() >= 2, 10000);
        AppSettings saved;
        QSize size;
        loadAppSettings(settingsFile(), saved, &size);
        QCOMPARE(saved.progUnlockEpochUser, QStringLiteral("ada"));
        QCOMPARE(saved.progUnlockEpoch, 4);
        QVERIFY(!saved.protectPasswordHash.isEmpty());

        svc.control(QStringLiteral("account.unlock"), {{QStringLiteral("username"), QStringLiteral("ada")}});
        QTRY_COMPARE_WITH_TIMEOUT(toastText(w), translate(u"已通过账户解除程序锁定"), 10000);
        loadAppSettings(settingsFile(), saved, &size);
        QCOMPARE(saved.protectPasswordHash, QString());
        QCOMPARE(saved.progUnlockEpoch, 5);
    }

    // A lock sync that trickles in for ever ends at its deadline; the
    // heartbeat's next sync goes out and brings the account's unlock.
    void stuckLockSyncGivesWay()
    {
        qputenv("KRV_TOKEN_HEARTBEAT_SEC", "1");
        setOnlineTimeoutOverride(1000);
        setOnlineDeadlineOverride(2000);
        AppSettings s;
        s.protectPasswordHash = QStringLiteral("s$") + QString(64, QLatin1Char('0'));
        s.progUnlockOwner = QStringLiteral("ada");
        s.progUnlockEpochUser = QStringLiteral("ada");
        s.progUnlockEpoch = 0;
        QString error;
        QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), QString(), false, false});
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/uc.php")},
                   {QStringLiteral("action"), QStringLiteral("lock_sync")},
                   {QStringLiteral("mode"), QStringLiteral("endless")},
                   {QStringLiteral("chunk"), 1},
                   {QStringLiteral("gap"), 0.3}});
        svc.control(QStringLiteral("account.unlock"), {{QStringLiteral("username"), QStringLiteral("ada")}});
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")).size() >= 1,
                                 10000);
        QTRY_COMPARE_WITH_TIMEOUT(toastText(w), translate(u"已通过账户解除程序锁定"), 20000);
        setOnlineTimeoutOverride(0);
        setOnlineDeadlineOverride(0);
        AppSettings saved;
        QSize size;
        loadAppSettings(settingsFile(), saved, &size);
        QCOMPARE(saved.protectPasswordHash, QString());
    }

    // Another account signed in on the panel since the password was set
    // cannot lift it: neither its first answer nor its unlock counts.
    void lockSyncIgnoresAnotherAccount()
    {
        qputenv("KRV_TOKEN_HEARTBEAT_SEC", "1");
        AppSettings s;
        s.protectPasswordHash = QStringLiteral("s$") + QString(64, QLatin1Char('0'));
        s.uiLocked = true;
        s.progUnlockOwner = QStringLiteral("ada");
        s.progUnlockEpochUser = QStringLiteral("ada");
        s.progUnlockEpoch = 4;
        QString error;
        QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), QStringLiteral("eve")},
                                                    {QStringLiteral("password"), QStringLiteral("pw-2")},
                                                    {QStringLiteral("max_devices"), 1}});
        const QString token = svc.control(QStringLiteral("account.sign_in"),
                                          {{QStringLiteral("username"), QStringLiteral("eve")},
                                           {QStringLiteral("device"), QStringLiteral("this-pc")}})
                                  .value(QStringLiteral("token"))
                                  .toString();
        writeAuth(AuthState{token, QStringLiteral("eve"), QString(), false, false});
        MainWindow w;
        QTRY_VERIFY_WITH_TIMEOUT(
            svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")).size() >= 2, 10000);
        svc.control(QStringLiteral("account.unlock"), {{QStringLiteral("username"), QStringLiteral("eve")}});
        svc.control(QStringLiteral("clear_log"));
        QTRY_VERIFY_WITH_TIMEOUT(
            svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")).size() >= 2, 10000);
        AppSettings saved;
        QSize size;
        loadAppSettings(settingsFile(), saved, &size);
        QVERIFY(!saved.protectPasswordHash.isEmpty());
        QVERIFY(saved.uiLocked);
        QCOMPARE(saved.progUnlockEpochUser, QStringLiteral("ada"));
        QCOMPARE(saved.progUnlockEpoch, 4);
        QVERIFY(w.currentSettings().uiLocked);
    }

    void lockSyncAndHostReportAreNotRepeated()
    {
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), QString(), false, false});
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/uc.php")},
                   {QStringLiteral("action"), QStringLiteral("lock_sync")},
                   {QStringLiteral("mode"), QStringLiteral("delay")},
                   {QStringLiteral("seconds"), 1}});
        MainWindow w;
        w.syncLockState();
        w.syncLockState();
        w.reportHostIfNewSession();
        w.reportHostIfNewSession();
        QTest::qWait(3500);  // past the delayed start-up sync
        QCOMPARE(svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("report_host")).size(), 1);
        // The start-up sync ran once the first had come back.
        QCOMPARE(svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")).size(), 2);
    }

    void signOut_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remember on") << true;
        QTest::newRow("remember off") << false;
    }
    void signOut()
    {
        QFETCH(bool, remember);
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), remember ? QStringLiteral("pw-1") : QString(), remember, true});
        MainWindow w;
        w.signOut();
        QCOMPARE(toastText(w), translate(u"退出成功"));
        const AuthState after = storedAuth();
        QCOMPARE(after.token, QString());
        QVERIFY(!after.autologin);
        QCOMPARE(after.username, remember ? QStringLiteral("ada") : QString());
        QCOMPARE(after.password, remember ? QStringLiteral("pw-1") : QString());
        QTRY_COMPARE_WITH_TIMEOUT(sessions(), 0, 10000);
        const QJsonObject body = QJsonDocument::fromJson(svc.requestsTo(QStringLiteral("/api/auth.php"),
                                                                        QStringLiteral("logout"))
                                                             .at(0)
                                                             .toObject()
                                                             .value(QStringLiteral("body"))
                                                             .toString()
                                                             .toUtf8())
                                     .object();
        QCOMPARE(body.value(QStringLiteral("token")).toString(), token);
        QCOMPARE(body.value(QStringLiteral("username")).toString(), QString());

        w.signOut();
        QCOMPARE(toastText(w), translate(u"尚未登录账户"));
    }

    // A damaged key or box signs the user out quietly; nothing crashes.
    void damagedSecretsMeanSignedOut()
    {
        const QString token = signInElsewhere(QStringLiteral("this-pc"));
        writeAuth(AuthState{token, QStringLiteral("ada"), QStringLiteral("pw-1"), true, false});
        QVERIFY(testsupport::writeFile(defaultSecretKeyPath(), QByteArray(32, 'z')));
        MainWindow w;
        QCOMPARE(w.authState().token, QString());
        QCOMPARE(w.authState().password, QString());
        QCOMPARE(w.authState().username, QStringLiteral("ada"));
        QTest::qWait(300);
        QCOMPARE(w.signedOutNotices(), 0);
    }

    // The account entry of the gear menu opens the sign-in card; what the
    // user chose in it is what the panel keeps.
    void signInFromTheMenu_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::addColumn<bool>("autologin");
        QTest::newRow("nothing remembered") << false << false;
        QTest::newRow("password remembered") << true << false;
        QTest::newRow("automatic sign-in") << true << true;
    }
    void signInFromTheMenu()
    {
        QFETCH(bool, remember);
        QFETCH(bool, autologin);
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), QStringLiteral("grace")},
                                                    {QStringLiteral("password"), QStringLiteral("pw-12345")},
                                                    {QStringLiteral("max_devices"), 1}});
        MainWindow w;
        whenSignInCard(&w, {QStringLiteral("grace"), QStringLiteral("pw-12345"), remember, autologin, false});
        chooseAccountEntry(w);
        const QString token = w.authState().token;
        QVERIFY(!token.isEmpty());
        QCOMPARE(w.authState().username, QStringLiteral("grace"));
        QCOMPARE(toastText(w), translate(u"欢迎你，%1").arg(QStringLiteral("grace")));
        const AuthState stored = storedAuth();
        QCOMPARE(stored.token, token);
        QCOMPARE(stored.username, QStringLiteral("grace"));
        QCOMPARE(stored.remember, remember);
        QCOMPARE(stored.autologin, autologin);
        QCOMPARE(stored.password, remember ? QStringLiteral("pw-12345") : QString());
        // The new session is reported and its lock state asked for at once.
        QTRY_COMPARE_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("report_host")).size(),
                                  1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")).size() >= 1,
                                 10000);
        // Signed in, the account entry opens nothing.
        bool opened = false;
        testsupport::whenWidget([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* d) {
                                    opened = true;
                                    static_cast<LoginDialog*>(d)->reject();
                                },
                                300, &w);
        chooseAccountEntry(w);
        QTest::qWait(400);
        QVERIFY(!opened);
    }

    // Closing the card changes nothing; the stored name and password are
    // offered again.
    void signInCancelled()
    {
        writeAuth(AuthState{QString(), QStringLiteral("ada"), QStringLiteral("pw-1"), true, false});
        MainWindow w;
        QString offeredName;
        QString offeredPassword;
        testsupport::whenWidget([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* wd) {
                                    auto* d = static_cast<LoginDialog*>(wd);
                                    offeredName = d->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->text();
                                    offeredPassword = d->password();
                                    QTest::mouseClick(d, Qt::LeftButton, {}, d->layout().close.center());
                                },
                                10000, &w);
        const QByteArray before = testsupport::readFile(authFile());
        QVERIFY(!w.showLogin());
        QCOMPARE(offeredName, QStringLiteral("ada"));
        QCOMPARE(offeredPassword, QStringLiteral("pw-1"));
        QCOMPARE(w.authState().token, QString());
        QCOMPARE(testsupport::readFile(authFile()), before);
        QCOMPARE(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("login")).size(), 0);
    }

    // A second request to sign in (the market, the chat) while the card is
    // up brings that card forward instead of stacking another.
    void oneSignInAtATime()
    {
        MainWindow w;
        int cards = 0;
        int secondAnswer = -1;
        testsupport::whenWidget([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* first) {
                                    secondAnswer = w.showLogin() ? 1 : 0;
                                    cards = int(w.findChildren<LoginDialog*>().size());
                                    QTest::mouseClick(first, Qt::LeftButton, {},
                                                      static_cast<LoginDialog*>(first)->layout().close.center());
                                },
                                10000, &w);
        QVERIFY(!w.showLogin());
        QCOMPARE(secondAnswer, 0);
        QCOMPARE(cards, 1);
        QVERIFY(w.findChildren<LoginDialog*>().isEmpty());
    }

    // Signed out from another PC while the panel runs: one signed-out card;
    // signing in again here (past the device limit, after confirming)
    // closes it. Declining the limit keeps the panel signed out.
    void signedOutElsewhereThenBackAtTheLimit()
    {
        qputenv("KRV_TOKEN_HEARTBEAT_SEC", "1");
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), QStringLiteral("grace")},
                                                    {QStringLiteral("password"), QStringLiteral("pw-12345")},
                                                    {QStringLiteral("max_devices"), 1}});
        MainWindow w;
        whenSignInCard(&w, {QStringLiteral("grace"), QStringLiteral("pw-12345"), false, false, false});
        chooseAccountEntry(w);
        const QString first = w.authState().token;
        QVERIFY(!first.isEmpty());

        // Another PC takes the one seat of the account.
        svc.control(QStringLiteral("account.sign_in"),
                    {{QStringLiteral("username"), QStringLiteral("grace")}, {QStringLiteral("device"), QStringLiteral("other-pc")}});
        QTRY_VERIFY_WITH_TIMEOUT(w.authState().token.isEmpty(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(signedOutCards().size(), 1, 5000);
        QTest::qWait(2500);
        QCOMPARE(signedOutCards().size(), 1);
        QCOMPARE(w.signedOutNotices(), 1);
        QPointer<SessionKickedDialog> card = signedOutCards().at(0);
        QCOMPARE(storedAuth().token, QString());

        // Back here: the card asks before signing the other PC out.
        whenSignInCard(&w, {QStringLiteral("grace"), QStringLiteral("pw-12345"), false, false, false});
        whenDeviceLimitCard(&w, false);
        testsupport::whenWidget(
            [] {
                auto* d = qobject_cast<LoginDialog*>(QApplication::activeModalWidget());
                return d && d->message() == translate(u"已取消登录，其他电脑不受影响") ? d : nullptr;
            },
            [](QWidget* d) { QTest::mouseClick(d, Qt::LeftButton, {}, static_cast<LoginDialog*>(d)->layout().close.center()); },
            10000, &w);
        QVERIFY(!w.showLogin());
        QVERIFY(card);
        QCOMPARE(w.authState().token, QString());

        whenSignInCard(&w, {QStringLiteral("grace"), QStringLiteral("pw-12345"), false, false, false});
        whenDeviceLimitCard(&w, true);
        QVERIFY(w.showLogin());
        QVERIFY(!w.authState().token.isEmpty());
        QVERIFY(w.authState().token != first);
        QTRY_VERIFY(card.isNull());
        const QJsonArray logins = svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("login"));
        QCOMPARE(QJsonDocument::fromJson(logins.last().toObject().value(QStringLiteral("body")).toString().toUtf8())
                     .object()
                     .value(QStringLiteral("confirm"))
                     .toInt(),
                 1);
        // The heartbeat keeps the new session.
        QTest::qWait(2500);
        QVERIFY(!w.authState().token.isEmpty());
        QCOMPARE(w.signedOutNotices(), 1);
    }
};

QTEST_MAIN(TestMainWindowAccount)
#include "test_mainwindow_account.moc"
