// The support chat against the stand-in service: the conversation across
// reopenings, sending text and pictures, failures, picture downloads and
// their size limit, and the window's input.
#include "account/chatedit.h"
#include "account/supportchatdialog.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "fakelauncher.h"
#include "standin.h"

#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

using testsupport::StandInService;

namespace {

QStringList texts(const SupportChatDialog& dlg)
{
    QStringList out;
    for (const ChatMessage& m : dlg.conversation())
        out << m.text;
    return out;
}

QImage picture(int w, int h, QColor colour = Qt::darkCyan)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QJsonObject bodyOf(const QJsonValue& request)
{
    return QJsonDocument::fromJson(request.toObject().value(QStringLiteral("body")).toString().toUtf8()).object();
}

} // namespace

class TestSupportChatDialog : public QObject {
    Q_OBJECT
    StandInService svc;
    int users = 0;
    QString user;
    QString token;

    void say(const QString& text, const QString& img = QString())
    {
        svc.control(QStringLiteral("support.say"), {{QStringLiteral("username"), user},
                                                    {QStringLiteral("text"), text},
                                                    {QStringLiteral("img"), img}});
    }
    void upload(const QString& name, const QByteArray& bytes)
    {
        svc.control(QStringLiteral("support.upload"),
                    {{QStringLiteral("name"), name}, {QStringLiteral("b64"), QString::fromLatin1(bytes.toBase64())}});
    }
    QJsonArray sends() { return svc.requestsTo(QStringLiteral("/api/support.php"), QStringLiteral("send")); }
    void open(SupportChatDialog& dlg)
    {
        dlg.setSession(token, user);
        dlg.openAt(QPoint(60, 60));
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
    }

    // Every test talks as a new account, so conversations never mix.
    void init()
    {
        user = QStringLiteral("user%1").arg(++users);
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), user},
                                                    {QStringLiteral("password"), QStringLiteral("pw")},
                                                    {QStringLiteral("max_devices"), 5}});
        token = svc.control(QStringLiteral("account.sign_in"), {{QStringLiteral("username"), user}})
                    .value(QStringLiteral("token"))
                    .toString();
        QVERIFY(!token.isEmpty());
        svc.control(QStringLiteral("clear_faults"));
        svc.control(QStringLiteral("clear_log"));
        // No greeting text unless a test asks for one: whether it comes
        // before the first messages depends on which answer arrives first.
        svc.control(QStringLiteral("support.configure"),
                    {{QStringLiteral("ignore_after"), false},
                     {QStringLiteral("welcome"), QJsonObject{{QStringLiteral("title"), QStringLiteral("Quillory 客服")},
                                                            {QStringLiteral("text"), QString()}}}});
    }

    // Reopening continues the conversation: nothing is shown twice, even
    // from a service that answers every poll with the whole history.
    void reopeningShowsNothingTwice_data()
    {
        QTest::addColumn<bool>("wholeHistory");
        QTest::newRow("service honours after") << false;
        QTest::newRow("service ignores after") << true;
    }
    void reopeningShowsNothingTwice()
    {
        QFETCH(bool, wholeHistory);
        svc.control(QStringLiteral("support.configure"), {{QStringLiteral("ignore_after"), wholeHistory}});
        say(QStringLiteral("m1"));
        say(QStringLiteral("m2"));
        SupportChatDialog dlg;
        QSignalSpy unread(&dlg, &SupportChatDialog::unreadChanged);
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg), (QStringList{QStringLiteral("m1"), QStringLiteral("m2")}), 10000);
        QVERIFY(!unread.isEmpty());
        QCOMPARE(unread.last().first().toInt(), 0);
        // The greeting's title replaces the header; its text is not inserted
        // beside customer-service messages.
        QTRY_COMPARE(dlg.title(), QStringLiteral("Quillory 客服"));
        QTRY_COMPARE(svc.control(QStringLiteral("support.state"))
                         .value(QStringLiteral("chats")).toObject().value(user).toObject()
                         .value(QStringLiteral("unread")).toInt(), 0);

        QSignalSpy hidden(&dlg, &SupportChatDialog::chatHidden);
        dlg.hide();
        QCOMPARE(hidden.count(), 1);
        say(QStringLiteral("m3"));
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg).size(), 3, 10000);
        QTest::qWait(3500);   // one more timer poll
        QCOMPARE(texts(dlg), (QStringList{QStringLiteral("m1"), QStringLiteral("m2"), QStringLiteral("m3")}));
    }

    void greetingOpensAnEmptyConversation()
    {
        svc.control(QStringLiteral("support.configure"),
                    {{QStringLiteral("welcome"), QJsonObject{{QStringLiteral("title"), QStringLiteral("Quillory 客服")},
                                                            {QStringLiteral("text"), QStringLiteral("你好，有什么可以帮你？")}}}});
        SupportChatDialog dlg;
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg), QStringList{QStringLiteral("你好，有什么可以帮你？")}, 10000);
        QVERIFY(!dlg.conversation().first().mine);
    }

    void pollWhileHiddenIsDropped()
    {
        say(QStringLiteral("m1"));
        SupportChatDialog dlg;
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg), QStringList{QStringLiteral("m1")}, 10000);
        const qint64 cursor = dlg.pollCursor();
        dlg.hide();
        say(QStringLiteral("m2"));
        svc.control(QStringLiteral("clear_log"));
        dlg.pollOnce();
        QTRY_COMPARE_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/support.php"), QStringLiteral("poll")).size(), 1,
                                  10000);
        QTest::qWait(300);
        QCOMPARE(texts(dlg), QStringList{QStringLiteral("m1")});
        QCOMPARE(dlg.pollCursor(), cursor);
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg), (QStringList{QStringLiteral("m1"), QStringLiteral("m2")}), 10000);
    }

    // A customer-service message written just before the user's own is
    // still shown: sending does not move the poll cursor past it.
    void sendingKeepsEarlierReplies()
    {
        SupportChatDialog dlg;
        open(dlg);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.title() == QStringLiteral("Quillory 客服"), 10000);
        say(QStringLiteral("from support"));
        dlg.inputEdit()->setPlainText(QStringLiteral("  hello  "));
        QTest::keyClick(dlg.inputEdit(), Qt::Key_Return);
        QCOMPARE(dlg.inputEdit()->toPlainText(), QString());
        QVERIFY(dlg.conversation().last().mine);
        QCOMPARE(dlg.conversation().last().text, QStringLiteral("hello"));
        QTRY_COMPARE_WITH_TIMEOUT(sends().size(), 1, 10000);
        const QJsonObject sent = bodyOf(sends().first());
        QCOMPARE(sent.value(QStringLiteral("text")).toString(), QStringLiteral("hello"));
        QVERIFY(!sent.contains(QStringLiteral("img_b64")));
        QCOMPARE(sent.value(QStringLiteral("as_user")).toInt(), 1);
        QVERIFY(!sent.value(QStringLiteral("device")).toString().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(texts(dlg).contains(QStringLiteral("from support")), 10000);
        QTest::qWait(3500);
        QCOMPARE(texts(dlg).count(QStringLiteral("hello")), 1);
        QCOMPARE(texts(dlg).count(QStringLiteral("from support")), 1);
        QVERIFY(!dlg.isPending());
    }

    void oneSendAtATime()
    {
        SupportChatDialog dlg;
        open(dlg);
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/support.php")}, {QStringLiteral("action"), QStringLiteral("send")},
                   {QStringLiteral("mode"), QStringLiteral("delay")}, {QStringLiteral("seconds"), 1}});
        dlg.inputEdit()->setPlainText(QStringLiteral("one"));
        dlg.send();
        dlg.inputEdit()->setPlainText(QStringLiteral("two"));
        dlg.send();
        QVERIFY(dlg.isSending());
        QCOMPARE(dlg.inputEdit()->toPlainText(), QStringLiteral("two"));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.isSending(), 10000);
        QCOMPARE(sends().size(), 1);
    }

    void failedSend_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("notice");
        QTest::newRow("no message") << QStringLiteral(R"({"ok":0,"msg":""})")
                                    << translate(u"⚠ 发送失败：") + translate(u"网络异常，请稍后重试");
        QTest::newRow("service message") << QStringLiteral(R"({"ok":0,"msg":"太频繁"})")
                                         << translate(u"⚠ 发送失败：") + QStringLiteral("太频繁");
        QTest::newRow("not json") << QStringLiteral("<html>")
                                  << translate(u"⚠ 发送失败：") + translate(u"网络异常，请稍后重试");
    }
    void failedSend()
    {
        QFETCH(QString, answer);
        QFETCH(QString, notice);
        SupportChatDialog dlg;
        open(dlg);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.title() == QStringLiteral("Quillory 客服"), 10000);
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/support.php")}, {QStringLiteral("action"), QStringLiteral("send")},
                   {QStringLiteral("mode"), QStringLiteral("status")}, {QStringLiteral("status"), 200},
                   {QStringLiteral("raw"), answer}});
        dlg.attachImage(picture(40, 30));
        QTRY_VERIFY(dlg.attachmentReady());
        const QString b64 = dlg.attachmentBase64();
        dlg.inputEdit()->setPlainText(QStringLiteral("typed words"));
        dlg.send();
        QVERIFY(!dlg.hasAttachment());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.isSending(), 10000);
        // The bubble is withdrawn, the notice says why, and nothing the user
        // gave is lost: text and picture are back.
        QCOMPARE(texts(dlg).last(), notice);
        QCOMPARE(texts(dlg).count(QStringLiteral("typed words")), 0);
        QCOMPARE(dlg.inputEdit()->toPlainText(), QStringLiteral("typed words"));
        QVERIFY(dlg.hasAttachment());
        QVERIFY(dlg.attachmentReady());
        QCOMPARE(dlg.attachmentBase64(), b64);
        QVERIFY(!dlg.pictures().contains(QStringLiteral("local:1")));
    }

    // A picture is sent, stored by the service, sent back by customer
    // service and shown.
    void pictureRoundTrip()
    {
        SupportChatDialog dlg;
        open(dlg);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.title() == QStringLiteral("Quillory 客服"), 10000);
        dlg.attachImage(picture(3000, 1000));
        QVERIFY(dlg.hasAttachment());
        QCOMPARE(dlg.controls().thumbnail.size(), QSize(56, 56));
        // Still encoding: the send waits and says so.
        if (!dlg.attachmentReady()) {
            dlg.send();
            QCOMPARE(texts(dlg).last(), translate(u"图片正在处理中，请稍候再发送。"));
            QVERIFY(dlg.hasAttachment());
        }
        QTRY_VERIFY_WITH_TIMEOUT(dlg.attachmentReady(), 10000);
        dlg.send();
        QCOMPARE(dlg.conversation().last().img, QStringLiteral("local:1"));
        QVERIFY(dlg.pictures().contains(QStringLiteral("local:1")));
        QVERIFY(dlg.controls().thumbnail.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(sends().size(), 1, 10000);
        const QJsonObject sent = bodyOf(sends().first());
        QVERIFY(!sent.contains(QStringLiteral("text")));
        QImage stored;
        QVERIFY(stored.loadFromData(QByteArray::fromBase64(sent.value(QStringLiteral("img_b64")).toString().toLatin1())));
        QCOMPARE(stored.size(), QSize(1280, 426));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.isSending(), 10000);

        const QJsonObject uploads = svc.control(QStringLiteral("support.state")).value(QStringLiteral("uploads")).toObject();
        QCOMPARE(uploads.size() >= 1, true);
        const QString name = uploads.keys().last();
        say(QStringLiteral("got it"), name);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.pictures().contains(name), 10000);
        QCOMPARE(texts(dlg).count(QString()), 1);   // only the user's picture bubble has no text
        const ChatLayout& l = dlg.messageLayout();
        QCOMPARE(l.images.last().size(), QSize(190, 63));

        // Clicking the service's picture opens it in the browser; the local
        // one is not a server path and opens nothing.
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        dlg.repaint();
        const int own = int(dlg.conversation().size()) - 2;
        QCOMPARE(dlg.conversation().at(own).img, QStringLiteral("local:1"));
        const int shift = dlg.scrollOffset() - qMax(l.contentHeight - (364 - dlg.inputAreaHeight()), 0);
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, l.images.at(own).center() + QPoint(0, shift));
        QVERIFY(rec.calls.isEmpty());
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, l.images.last().center() + QPoint(0, shift));
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url, serviceUrl(QStringLiteral("/uploads/") + name));
    }

    // The size limit holds during the transfer, not after it.
    void pictureSizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<bool>("accepted");
        const QJsonObject stall{{QStringLiteral("mode"), QStringLiteral("stall")}, {QStringLiteral("after"), 65536},
                                {QStringLiteral("seconds"), 30}};
        const QJsonObject chunked{{QStringLiteral("mode"), QStringLiteral("chunked")},
                                  {QStringLiteral("after"), 4 * 1024 * 1024 + 300000}, {QStringLiteral("seconds"), 30}};
        QTest::newRow("announced one byte over") << qint64(4 * 1024 * 1024 + 1) << stall << false;
        QTest::newRow("no length, more than the limit") << qint64(5 * 1024 * 1024) << chunked << false;
        QTest::newRow("exactly the limit") << qint64(4 * 1024 * 1024) << QJsonObject() << true;
    }
    void pictureSizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(QJsonObject, fault);
        QFETCH(bool, accepted);
        const QString name = QStringLiteral("big%1.png").arg(users);
        QByteArray bytes = pngBytes(picture(30, 20));
        bytes.append(QByteArray(size - bytes.size(), '\0'));   // a decoder stops at the image's end
        upload(name, bytes);
        if (!fault.isEmpty()) {
            fault.insert(QStringLiteral("path"), QString(QStringLiteral("/uploads/") + name));
            svc.fault(fault);
        }
        SupportChatDialog dlg;
        open(dlg);
        QElapsedTimer clock;
        clock.start();
        dlg.fetchImage(name);
        QVERIFY(dlg.pictureRequested(name));
        // Far below the stall of the service and the transfer time-out.
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.pictureRequested(name), 8000);
        QVERIFY(clock.elapsed() < 8000);
        QCOMPARE(dlg.pictures().contains(name), accepted);
        QCOMPARE(dlg.pictureFailed(name), !accepted);
        if (!accepted) {
            // A refused picture is not asked for again.
            svc.control(QStringLiteral("clear_log"));
            dlg.fetchImage(name);
            QTest::qWait(200);
            QCOMPARE(svc.requestsTo(QStringLiteral("/uploads/") + name).size(), 0);
        }
    }

    void badPictureNamesAreNeverRequested()
    {
        SupportChatDialog dlg;
        for (const QString& name : {QStringLiteral("a/b.png"), QStringLiteral("..x"), QStringLiteral("a b.png"),
                                    QStringLiteral("local:1")}) {
            dlg.fetchImage(name);
            QVERIFY(!dlg.pictureRequested(name));
        }
    }

    void attachingWhileEncoding()
    {
        SupportChatDialog dlg;
        // Three pictures in a row: only the newest is encoded in the end.
        dlg.attachImage(picture(3000, 3000, Qt::red));
        dlg.attachImage(picture(2000, 2000, Qt::green));
        dlg.attachImage(picture(100, 50, Qt::blue));
        QTRY_VERIFY_WITH_TIMEOUT(dlg.attachmentReady(), 10000);
        QImage got;
        QVERIFY(got.loadFromData(QByteArray::fromBase64(dlg.attachmentBase64().toLatin1())));
        QCOMPARE(got.size(), QSize(100, 50));

        // Removed while encoding: the result finds nothing to belong to.
        dlg.attachImage(picture(3000, 3000));
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, dlg.controls().thumbnail.center());
        QVERIFY(!dlg.hasAttachment());
        QTest::qWait(1500);
        QVERIFY(!dlg.attachmentReady());
        QVERIFY(dlg.attachmentBase64().isEmpty());
        // And the next picture encodes as usual.
        dlg.attachImage(picture(10, 10));
        QTRY_VERIFY_WITH_TIMEOUT(dlg.attachmentReady(), 10000);
    }

    void pastedPictures()
    {
        SupportChatDialog dlg;
        auto* data = new QMimeData;
        data->setImageData(picture(20, 20));
        QGuiApplication::clipboard()->setMimeData(data);
        dlg.inputEdit()->paste();
        QVERIFY(dlg.hasAttachment());
        QVERIFY(dlg.inputEdit()->toPlainText().isEmpty());
        QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
        dlg.inputEdit()->paste();
        QCOMPARE(dlg.inputEdit()->toPlainText(), QStringLiteral("plain"));
    }

    void inputKeysAndGrowth()
    {
        SupportChatDialog dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        ChatEdit* edit = dlg.inputEdit();
        const QRect send = dlg.controls().send;
        QTest::keyClicks(edit, QStringLiteral("line one"));
        QCOMPARE(dlg.inputAreaHeight(), 52);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(edit, QStringLiteral("line two"));
        QCOMPARE(edit->toPlainText(), QStringLiteral("line one\nline two"));
        QVERIFY(dlg.inputAreaHeight() > 52);
        QCOMPARE(dlg.controls().send.top(), send.top() - (dlg.inputAreaHeight() - 52));
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(dlg.inputAreaHeight(), 138);
        edit->clear();
        QCOMPARE(dlg.inputAreaHeight(), 52);

        // Enter without a session asks for a sign-in and keeps the text.
        QSignalSpy login(&dlg, &SupportChatDialog::loginRequested);
        QTest::keyClicks(edit, QStringLiteral("hi"));
        QTest::keyClick(edit, Qt::Key_Enter);
        QCOMPARE(login.count(), 1);
        QCOMPARE(texts(dlg).last(), translate(u"请先登录账户后再发送消息。"));
        QCOMPARE(edit->toPlainText(), QStringLiteral("hi"));

        QSignalSpy hidden(&dlg, &SupportChatDialog::chatHidden);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(hidden.count(), 1);
    }

    void pressAndReleaseOnDifferentControls()
    {
        SupportChatDialog dlg;
        dlg.setSession(token, user);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.inputEdit()->setPlainText(QStringLiteral("text"));
        QTest::mousePress(&dlg, Qt::LeftButton, {}, dlg.controls().send.center());
        QTest::mouseRelease(&dlg, Qt::LeftButton, {}, dlg.controls().close.center());
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.inputEdit()->toPlainText(), QStringLiteral("text"));
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, dlg.controls().close.center());
        QVERIFY(!dlg.isVisible());
    }

    void wheelWhenEverythingFits()
    {
        SupportChatDialog dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QWheelEvent up(QPointF(200, 200), dlg.mapToGlobal(QPointF(200, 200)), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&dlg, &up);
        dlg.repaint();
        QCOMPARE(dlg.scrollOffset(), 0);
    }

    void signedOutOpening()
    {
        SupportChatDialog dlg;
        QSignalSpy login(&dlg, &SupportChatDialog::loginRequested);
        dlg.openAt(QPoint(10, 10));
        QCOMPARE(texts(dlg), QStringList{translate(u"请先登录账户后再使用反馈中心。登录后即可与客服实时对话。")});
        QCOMPARE(login.count(), 0);
        QTRY_COMPARE(login.count(), 1);
        // After the sign-in the conversation starts from scratch.
        say(QStringLiteral("welcome back"));
        dlg.setSession(token, user);
        dlg.reloadAfterLogin();
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg), QStringList{QStringLiteral("welcome back")}, 10000);
    }

    void longConversationsAreTrimmed()
    {
        for (int i = 0; i < 501; ++i)
            say(QStringLiteral("n%1").arg(i));
        SupportChatDialog dlg;
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg).size(), 500, 15000);
        QCOMPARE(texts(dlg).first(), QStringLiteral("n1"));
        QCOMPARE(texts(dlg).last(), QStringLiteral("n500"));
    }

    // A poll that brings a flood is cut to the kept 500 before anything is
    // asked for: only pictures of kept messages are fetched, a few at a
    // time, never more than the picture cache holds.
    void floodOfPicturesIsCutFirst()
    {
        svc.control(QStringLiteral("support.flood"), {{QStringLiteral("username"), user},
                                                      {QStringLiteral("count"), 20000},
                                                      {QStringLiteral("img_prefix"), QStringLiteral("f")}});
        svc.fault({{QStringLiteral("path_prefix"), QStringLiteral("/uploads/")},
                   {QStringLiteral("mode"), QStringLiteral("delay")},
                   {QStringLiteral("seconds"), 0.3},
                   {QStringLiteral("count"), -1}});
        SupportChatDialog dlg;
        open(dlg);
        QTRY_COMPARE_WITH_TIMEOUT(texts(dlg).size(), 500, 20000);
        QVERIFY(texts(dlg).first().startsWith(QStringLiteral("19500 ")));
        auto pictureRequests = [&] {
            QStringList names;
            for (const QJsonValue& v : svc.requests()) {
                const QString path = v.toObject().value(QStringLiteral("path")).toString();
                if (path.startsWith(QStringLiteral("/uploads/")))
                    names << path.mid(9);
            }
            return names;
        };
        // The stand-in has none of these pictures: each fails and the next
        // waiting one is asked for, until every wanted one has had its turn.
        QTRY_COMPARE_WITH_TIMEOUT(pictureRequests().size(), ChatImageCache::kCapacity, 30000);
        QVERIFY(dlg.picturesInFlight() <= 4);
        const QStringList names = pictureRequests();
        for (const QString& name : names) {
            const int n = name.mid(1).chopped(4).toInt();
            QVERIFY2(n >= 20000 - ChatImageCache::kCapacity, qPrintable(name));
        }
        QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    }
};

QTEST_MAIN(TestSupportChatDialog)
#include "test_supportchatdialog.moc"
