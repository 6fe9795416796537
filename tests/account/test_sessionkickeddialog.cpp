// The signed-out card: its kind from the service's message, the texts and
// layout of each kind, its buttons, where it opens, and the screenshot
// sheets of the account cards.
#include "account/kickconfirmdialog.h"
#include "account/sessionkickeddialog.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "fakelauncher.h"
#include "testsupport.h"

#include <QScreen>
#include <QtTest>

namespace {

void mouse(QWidget& w, QEvent::Type type, const QPoint& pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

const QString kElsewhere =
    QStringLiteral("账号已在其他设备登录（当前授权 1 台设备），本机已下线，如需多台电脑同时登录，可增加授权设备数");

} // namespace

class TestSessionKickedDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setServiceHostOverride(QStringLiteral("service.test")); }

    void kinds_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("kind");
        QTest::newRow("other device") << kElsewhere << int(KickReason::Elsewhere);
        QTest::newRow("other PC") << "你的账号已在其他电脑登录" << int(KickReason::Elsewhere);
        QTest::newRow("elsewhere") << "已在别处登录" << int(KickReason::Elsewhere);
        QTest::newRow("administrator") << "账号已被管理员强制下线，请重新登录" << int(KickReason::Admin);
        QTest::newRow("administrator and other PC") << "管理员在其他电脑结束了登录" << int(KickReason::Admin);
        QTest::newRow("expired") << "登录已失效，请重新登录" << int(KickReason::Expired);
        QTest::newRow("empty") << "" << int(KickReason::Expired);
        QTest::newRow("english words are not looked at") << "signed in elsewhere" << int(KickReason::Expired);
    }
    void kinds()
    {
        QFETCH(QString, reason);
        QFETCH(int, kind);
        QCOMPARE(int(classifyKickReason(reason)), kind);
        SessionKickedDialog d(reason);
        QCOMPARE(int(d.kind()), kind);
        // Only the expired kind goes without the warning box.
        QCOMPARE(d.warningText().isEmpty(), kind == int(KickReason::Expired));
        QCOMPARE(d.layout().warning.isNull(), kind == int(KickReason::Expired));
        QCOMPARE(d.actionText(), kind == int(KickReason::Elsewhere) ? translate(u"去官网改密码")
                                                                    : translate(u"我知道了"));
        QCOMPARE(d.statusText(), reason.isEmpty() ? QString() : translate(u"服务端提示：%1").arg(reason));
        QCOMPARE(d.layout().status.isNull(), reason.isEmpty());
    }

    // The card is as tall as what it holds, and the buttons sit centred
    // under it.
    void layout_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::newRow("elsewhere") << kElsewhere;
        QTest::newRow("admin") << "账号已被管理员强制下线，请重新登录";
        QTest::newRow("expired, no reason") << "";
    }
    void layout()
    {
        QFETCH(QString, reason);
        SessionKickedDialog d(reason);
        const SessionKickedDialog::Layout& l = d.layout();
        QCOMPARE(d.width(), 560);
        QCOMPARE(d.size(), l.size);
        QCOMPARE(l.size.height(), l.devicesButton.top() - 4 + 68);
        QCOMPARE(l.actionButton.top(), l.devicesButton.top());
        QCOMPARE(l.actionButton.left(), l.devicesButton.right() + 1 + 12);
        QVERIFY(qAbs(l.devicesButton.left() - (559 - l.actionButton.right())) <= 1);
        int e = l.warning.isNull() ? l.body.bottom() + 16 : l.warning.bottom() + 14;
        if (!l.status.isNull()) {
            QCOMPARE(l.status.top(), e);
            e = l.status.bottom() + 16;
        }
        QCOMPARE(l.devicesButton.top(), e + 4);
        QVERIFY(l.devicesButton.width() >= 150);
        QVERIFY(l.actionButton.width() >= 130);
    }

    void buttons_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("element");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QStringList>("opened");
        const QString devices = QStringLiteral("https://service.test/#devices");
        const QString security = QStringLiteral("https://service.test/uc.html#security");
        QTest::newRow("elsewhere: change password")
            << kElsewhere << int(SessionKickedDialog::ActionButton) << true << QStringList{security};
        QTest::newRow("admin: got it") << "管理员下线" << int(SessionKickedDialog::ActionButton) << true
                                       << QStringList();
        QTest::newRow("expired: got it") << "" << int(SessionKickedDialog::ActionButton) << true << QStringList();
        QTest::newRow("devices page stays open")
            << kElsewhere << int(SessionKickedDialog::DevicesButton) << false << QStringList{devices};
        QTest::newRow("close cross") << kElsewhere << int(SessionKickedDialog::CloseButton) << true
                                     << QStringList();
    }
    void buttons()
    {
        QFETCH(QString, reason);
        QFETCH(int, element);
        QFETCH(bool, closes);
        QFETCH(QStringList, opened);
        testsupport::RecordingLauncher launcher;
        testsupport::LauncherOverride guard(&launcher);
        QPointer<SessionKickedDialog> d = SessionKickedDialog::showKicked(reason, nullptr);
        const SessionKickedDialog::Layout& l = d->layout();
        const QRect rect = element == SessionKickedDialog::ActionButton    ? l.actionButton
                           : element == SessionKickedDialog::DevicesButton ? l.devicesButton
                                                                           : l.close;
        // Pressed, moved off and released: nothing.
        mouse(*d, QEvent::MouseButtonPress, rect.center());
        mouse(*d, QEvent::MouseMove, l.title.center());
        mouse(*d, QEvent::MouseButtonRelease, l.title.center());
        QVERIFY(d->isVisible());
        QVERIFY(launcher.calls.isEmpty());

        mouse(*d, QEvent::MouseMove, rect.center());
        mouse(*d, QEvent::MouseButtonPress, rect.center());
        mouse(*d, QEvent::MouseButtonRelease, rect.center());
        QStringList urls;
        for (const auto& c : launcher.calls)
            urls << c.url.toString();
        QCOMPARE(urls, opened);
        if (closes) {
            // It deletes itself once closed.
            QTRY_VERIFY(d.isNull());
        } else {
            QVERIFY(d->isVisible());
            delete d.data();
        }
    }

    void escapeCloses()
    {
        QPointer<SessionKickedDialog> d = SessionKickedDialog::showKicked(QString(), nullptr);
        QTest::keyClick(d.data(), Qt::Key_Escape);
        QTRY_VERIFY(d.isNull());
    }

    // Over a parent it opens 60 px below a window too short to centre in,
    // else in the middle; it is modal only when another modal dialog runs.
    void placement_data()
    {
        QTest::addColumn<int>("parentHeight");
        QTest::newRow("short window") << 400;
        QTest::newRow("tall window") << 900;
    }
    void placement()
    {
        QFETCH(int, parentHeight);
        QWidget parent;
        parent.setGeometry(100, 50, 800, parentHeight);
        parent.show();
        QPointer<SessionKickedDialog> d = SessionKickedDialog::showKicked(QStringLiteral("管理员下线"), &parent);
        const QRect a = parent.frameGeometry();
        const int dh = a.height() - d->height();
        QCOMPARE(d->pos().x(), (a.left() + a.right()) / 2 - d->width() / 2);
        QCOMPARE(d->pos().y(), dh <= 121 ? a.top() + 60 : a.top() + dh / 2);
        QCOMPARE(d->windowModality(), Qt::NonModal);
        QVERIFY(d->testAttribute(Qt::WA_DeleteOnClose));
        delete d.data();
    }

    // The screenshot mode writes every account card at the card's own size.
    void previewSheets()
    {
        const QString folder = testsupport::testRoot() + QStringLiteral("/preview/account");
        previewKickDialogs(folder);
        const DeviceEntry a{QStringLiteral("A"), QStringLiteral("1.2.3.4"), QStringLiteral("x")};
        const struct {
            const char* file;
            QSize size;
        } sheets[] = {
            {"kick-confirm-1.png", KickConfirmDialog({a}, 1).size()},
            {"kick-confirm-2.png", KickConfirmDialog({a, a}, 1).size()},
            {"kick-confirm-unlimited.png", KickConfirmDialog({a, a}, 0).size()},
            {"kicked-elsewhere.png", SessionKickedDialog(kElsewhere).size()},
            {"kicked-admin.png", SessionKickedDialog(translate(u"账号已被管理员强制下线，请重新登录")).size()},
            {"kicked-expired.png", SessionKickedDialog(QString()).size()},
        };
        for (const auto& s : sheets) {
            const QImage image(folder + QLatin1Char('/') + QLatin1String(s.file));
            QVERIFY2(!image.isNull(), s.file);
            QCOMPARE(image.size(), s.size * image.devicePixelRatio());
            QCOMPARE(image.width(), 560);
        }
        // One row more, one row height more.
        QCOMPARE(KickConfirmDialog({a, a}, 1).height() - KickConfirmDialog({a}, 1).height(), 46);
    }
};

QTEST_MAIN(TestSessionKickedDialog)
#include "test_sessionkickeddialog.moc"
