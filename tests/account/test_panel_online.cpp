// The panel's side of notices and the support chat, against the stand-in
// service: the notice poll with its seen file, and the unread poll with the
// bottom bar's badge.
#include "panel/mainwindow.h"

#include "account/authstore.h"
#include "account/logindialog.h"
#include "account/noticedialog.h"
#include "account/noticeseen.h"
#include "account/supportchatdialog.h"
#include "app/paths.h"
#include "platform/secretstore.h"
#include "standin.h"
#include "testsupport.h"
#include "widgets/bottombar.h"
#include "widgetwaits.h"

#include <QFile>
#include <QtTest>

using testsupport::StandInService;

namespace {

QString stamp(int daysAgo)
{
    return QDateTime::currentDateTime().addDays(-daysAgo).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QJsonObject noticeOf(qint64 id, const QString& created, const QString& title = QStringLiteral("News"))
{
    return {{QStringLiteral("id"), id}, {QStringLiteral("created"), created}, {QStringLiteral("title"), title},
            {QStringLiteral("body"), QStringLiteral("Body text")}};
}

NoticeDialog* popupOf(MainWindow& w)
{
    return w.findChild<NoticeDialog*>();
}

} // namespace

class TestPanelOnline : public QObject {
    Q_OBJECT
    StandInService svc;
    QString user;
    int users = 0;

    void publish(int gen, const QJsonObject& notice)
    {
        svc.control(QStringLiteral("notice.set"), {{QStringLiteral("gen"), gen}, {QStringLiteral("notice"), notice}});
    }
    int latestRequests() { return int(svc.requestsTo(QStringLiteral("/api/notice.php"), QStringLiteral("latest")).size()); }
    int unreadRequests() { return int(svc.requestsTo(QStringLiteral("/api/support.php"), QStringLiteral("unread")).size()); }
    void say(const QString& text)
    {
        svc.control(QStringLiteral("support.say"), {{QStringLiteral("username"), user}, {QStringLiteral("text"), text}});
    }
    // Signs a new account in on the panel before the window starts.
    void signIn()
    {
        user = QStringLiteral("panel%1").arg(++users);
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), user},
                                                    {QStringLiteral("password"), QStringLiteral("pw")},
                                                    {QStringLiteral("max_devices"), 5}});
        AuthState state;
        state.token = svc.control(QStringLiteral("account.sign_in"), {{QStringLiteral("username"), user}})
                          .value(QStringLiteral("token")).toString();
        state.username = user;
        QVERIFY(testsupport::writeFile(cachedAppDataDir() + QStringLiteral("/auth.json"),
                                       authFileBytes(state, userSecretStore()).bytes));
    }
    // The window's own first polls are answered before a test counts.
    void settle(MainWindow& w)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!w.unreadPollPending(), 10000);
        svc.control(QStringLiteral("clear_log"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
    }
    void init()
    {
        QFile::remove(noticeSeenPath());
        QFile::remove(cachedAppDataDir() + QStringLiteral("/auth.json"));
        svc.control(QStringLiteral("clear_faults"));
        svc.control(QStringLiteral("clear_log"));
        svc.control(QStringLiteral("notice.set"));
        svc.control(QStringLiteral("support.configure"),
                    {{QStringLiteral("welcome"), QJsonObject{{QStringLiteral("title"), QStringLiteral("客服")},
                                                            {QStringLiteral("text"), QString()}}}});
    }

    void noticeShownOncePerGenerationAndId()
    {
        publish(2, noticeOf(5, stamp(0)));
        MainWindow w;
        // The first poll comes 3 s after the start.
        QTRY_VERIFY_WITH_TIMEOUT(popupOf(w), 8000);
        QCOMPARE(w.pendingNotice(), qint64(5));
        QVERIFY(popupOf(w)->isVisible());

        // No request while the popup is open.
        svc.control(QStringLiteral("clear_log"));
        w.fetchLatestNotice();
        QTest::qWait(300);
        QCOMPARE(latestRequests(), 0);

        QTest::keyClick(popupOf(w), Qt::Key_Escape);
        QCOMPARE(w.pendingNotice(), qint64(0));
        QCOMPARE(testsupport::readFile(noticeSeenPath()), QByteArray("2\n5"));
        QTRY_VERIFY(!popupOf(w));

        // The same notice again: nothing.
        w.fetchLatestNotice();
        QTRY_COMPARE_WITH_TIMEOUT(latestRequests(), 1, 10000);
        QTest::qWait(300);
        QVERIFY(!popupOf(w));

        // A new generation starts its ids again; closing the popup without
        // dismissing it still records it.
        publish(3, noticeOf(1, stamp(0), QStringLiteral("Second")));
        w.fetchLatestNotice();
        QTRY_VERIFY_WITH_TIMEOUT(popupOf(w), 10000);
        QCOMPARE(w.pendingNotice(), qint64(1));
        popupOf(w)->close();
        QTRY_VERIFY(!popupOf(w));
        QCOMPARE(w.pendingNotice(), qint64(0));
        QCOMPARE(testsupport::readFile(noticeSeenPath()), QByteArray("3\n1"));
        svc.control(QStringLiteral("clear_log"));
        w.fetchLatestNotice();
        QTRY_COMPARE_WITH_TIMEOUT(latestRequests(), 1, 10000);
        QTest::qWait(300);
        QVERIFY(!popupOf(w));
    }

    void oldNoticeOnAFreshInstallation()
    {
        publish(4, noticeOf(9, stamp(5)));
        MainWindow w;
        QTRY_COMPARE_WITH_TIMEOUT(testsupport::readFile(noticeSeenPath()), QByteArray("4\n9"), 8000);
        QVERIFY(!popupOf(w));
        QCOMPARE(w.pendingNotice(), qint64(0));
    }

    void olderSeenFileForm()
    {
        QVERIFY(testsupport::writeFile(noticeSeenPath(), "10"));
        publish(7, noticeOf(10, stamp(0)));
        MainWindow w;
        w.fetchLatestNotice();
        QTRY_VERIFY_WITH_TIMEOUT(latestRequests() >= 1, 10000);
        QTest::qWait(3500);   // the window's own first poll as well
        QVERIFY(!popupOf(w));
        publish(7, noticeOf(11, stamp(0)));
        w.fetchLatestNotice();
        QTRY_VERIFY_WITH_TIMEOUT(popupOf(w), 10000);
        QCOMPARE(w.pendingNotice(), qint64(11));
    }

    void badgeFollowsTheUnreadCount()
    {
        signIn();
        say(QStringLiteral("one"));
        say(QStringLiteral("two"));
        MainWindow w;
        auto* bar = w.findChild<BottomBar*>();
        QVERIFY(bar);
        // The poll of the start.
        QTRY_COMPARE_WITH_TIMEOUT(bar->badgeCount(), 2, 10000);
        QCOMPARE(w.supportUnreadCount(), 2);
        settle(w);
        say(QStringLiteral("three"));
        w.pollSupportUnread();
        QTRY_COMPARE_WITH_TIMEOUT(bar->badgeCount(), 3, 10000);

        // The same count again leaves the badge alone.
        bar->setBadgeCount(7);
        w.pollSupportUnread();
        QTRY_VERIFY_WITH_TIMEOUT(!w.unreadPollPending(), 10000);
        QCOMPARE(bar->badgeCount(), 7);

        // A refusal changes nothing; an answer without a count means 0.
        const QJsonObject unread{{QStringLiteral("path"), QStringLiteral("/api/support.php")},
                                 {QStringLiteral("action"), QStringLiteral("unread")},
                                 {QStringLiteral("mode"), QStringLiteral("status")},
                                 {QStringLiteral("status"), 200}};
        QJsonObject refusal = unread;
        refusal.insert(QStringLiteral("raw"), QStringLiteral(R"({"ok":0,"unread":9})"));
        svc.fault(refusal);
        w.pollSupportUnread();
        QTRY_VERIFY_WITH_TIMEOUT(!w.unreadPollPending(), 10000);
        QCOMPARE(w.supportUnreadCount(), 3);
        QJsonObject noCount = unread;
        noCount.insert(QStringLiteral("raw"), QStringLiteral(R"({"ok":1})"));
        svc.fault(noCount);
        w.pollSupportUnread();
        QTRY_COMPARE_WITH_TIMEOUT(bar->badgeCount(), 0, 10000);
        QCOMPARE(w.supportUnreadCount(), 0);
    }

    void unreadPollPausesWhileTheChatIsOpen()
    {
        signIn();
        say(QStringLiteral("hello"));
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* bar = w.findChild<BottomBar*>();
        QTRY_COMPARE_WITH_TIMEOUT(bar->badgeCount(), 1, 10000);
        settle(w);

        w.openSupportChat();
        SupportChatDialog* chat = w.supportChatDialog();
        QVERIFY(chat && chat->isVisible());
        QCOMPARE(bar->badgeCount(), 0);
        QCOMPARE(w.supportUnreadCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(chat->conversation().size(), 1, 10000);
        for (int i = 0; i < 5; ++i)
            w.onSupportPollTimer();
        QTest::qWait(300);
        QCOMPARE(unreadRequests(), 0);

        // Hiding the chat polls at once.
        chat->hide();
        QTRY_COMPARE_WITH_TIMEOUT(unreadRequests(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!w.unreadPollPending(), 10000);

        // A tick while a request is still out sends nothing.
        svc.control(QStringLiteral("clear_log"));
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/support.php")},
                   {QStringLiteral("action"), QStringLiteral("unread")},
                   {QStringLiteral("mode"), QStringLiteral("delay")}, {QStringLiteral("seconds"), 1}});
        w.onSupportPollTimer();
        QVERIFY(w.unreadPollPending());
        w.onSupportPollTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!w.unreadPollPending(), 10000);
        QCOMPARE(unreadRequests(), 1);

        // Opened again: the conversation continues, nothing twice.
        say(QStringLiteral("again"));
        w.openSupportChat();
        QTRY_COMPARE_WITH_TIMEOUT(chat->conversation().size(), 2, 10000);
        QTest::qWait(3500);
        QCOMPARE(chat->conversation().size(), 2);
    }

    // Signed out, the support button asks for a sign-in first; cancelling
    // it opens no chat.
    void signedOutSupportButtonAsksForSignIn()
    {
        MainWindow w;
        bool asked = false;
        testsupport::whenWidget([] { return qobject_cast<LoginDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* d) {
                                    asked = true;
                                    static_cast<LoginDialog*>(d)->reject();
                                },
                                5000, &w);
        w.openSupportChat();
        QVERIFY(asked);
        QVERIFY(!w.supportChatDialog() || !w.supportChatDialog()->isVisible());
    }
};

QTEST_MAIN(TestPanelOnline)
#include "test_panel_online.moc"
