// The sign-in card against the stand-in service through the real network
// code: sign-in, refused sign-ins, sign-up with its captcha, the device
// limit confirmed and declined, and the card's own controls.
#include "account/kickconfirmdialog.h"
#include "account/logindialog.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "fakelauncher.h"
#include "standin.h"
#include "widgetwaits.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

using testsupport::StandInService;

namespace {

QLineEdit* edit(LoginDialog& d, const char* name)
{
    return d.findChild<QLineEdit*>(QLatin1String(name));
}

void fill(LoginDialog& d, const QString& user, const QString& password)
{
    edit(d, "userNameEdit")->setText(user);
    edit(d, "passwordEdit")->setText(password);
}

void click(LoginDialog& d, const QRect& rect)
{
    QTest::mouseClick(&d, Qt::LeftButton, {}, rect.center());
}

void mouse(QWidget& w, QEvent::Type type, const QPoint& pos)
{
    QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::MouseButtons(Qt::LeftButton) : Qt::NoButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

QJsonObject bodyOf(const QJsonValue& request)
{
    return QJsonDocument::fromJson(request.toObject().value(QStringLiteral("body")).toString().toUtf8()).object();
}

// The sum the captcha asks for, as a user reads it off the card.
QString captchaAnswer(const LoginDialog& d)
{
    static const QRegularExpression sum(QStringLiteral("^(\\d+) \\+ (\\d+) = \\?$"));
    const QRegularExpressionMatch m = sum.match(d.captchaQuestion());
    return m.hasMatch() ? QString::number(m.captured(1).toInt() + m.captured(2).toInt()) : QString();
}

// Clicks a button of the device-limit card once it is shown.
void whenConfirmation(QObject* context, bool accept)
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

} // namespace

class TestLoginDialog : public QObject {
    Q_OBJECT
    StandInService svc;

    void signInElsewhere()
    {
        svc.control(QStringLiteral("account.sign_in"),
                    {{QStringLiteral("username"), QStringLiteral("ada")}, {QStringLiteral("device"), QStringLiteral("other-pc")}});
    }
    QJsonObject sessions()
    {
        return svc.control(QStringLiteral("account.state"))
            .value(QStringLiteral("accounts"))
            .toObject()
            .value(QStringLiteral("ada"))
            .toObject()
            .value(QStringLiteral("sessions"))
            .toObject();
    }
    QJsonArray requests(const char* action)
    {
        return svc.requestsTo(QStringLiteral("/api/auth.php"), QLatin1String(action));
    }

    // Opens sign-up and waits for its first captcha.
    bool openSignUp(LoginDialog& d)
    {
        click(d, d.layout().modeSwitch);
        return QTest::qWaitFor([&] { return !captchaAnswer(d).isEmpty(); }, 10000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(svc.start(&error), qPrintable(error));
    }
    void init()
    {
        svc.control(QStringLiteral("clear_faults"));
        svc.control(QStringLiteral("clear_log"));
        svc.control(QStringLiteral("account.add"), {{QStringLiteral("username"), QStringLiteral("ada")},
                                                    {QStringLiteral("password"), QStringLiteral("pw-123")},
                                                    {QStringLiteral("max_devices"), 1}});
    }

    void signIn_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");  // empty: signed in
        QTest::newRow("right password, name typed with spaces") << "  ada " << "pw-123" << "";
        QTest::newRow("wrong password") << "ada" << "pw-124" << "用户名或密码错误";
        QTest::newRow("unknown user") << "bob" << "pw-123" << "用户名或密码错误";
    }
    void signIn()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, message);
        LoginDialog d;
        d.show();
        fill(d, user, password);
        click(d, d.layout().primaryButton);
        QVERIFY(d.isBusy());
        QCOMPARE(d.message(), translate(u"正在登录…"));
        QVERIFY(!d.messageIsError());
        QTRY_VERIFY_WITH_TIMEOUT(!d.isBusy(), 10000);
        const QJsonObject body = bodyOf(requests("login").at(0));
        QCOMPARE(body.value(QStringLiteral("username")).toString(), user.trimmed());
        QCOMPARE(body.value(QStringLiteral("password")).toString(), password);
        // Sign-in sends none of the sign-up fields.
        for (const char* key : {"captcha_id", "captcha_code", "agree", "confirm"})
            QVERIFY2(!body.contains(QLatin1String(key)), key);
        if (message.isEmpty()) {
            QVERIFY(!d.isVisible());
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(d.userName(), QStringLiteral("ada"));
            QCOMPARE(d.token(), sessions().constBegin()->toObject().value(QStringLiteral("token")).toString());
        } else {
            QVERIFY(d.isVisible());
            QCOMPARE(d.message(), message);
            QVERIFY(d.messageIsError());
            QVERIFY(d.token().isEmpty());
            // The form keeps what was typed.
            QCOMPARE(edit(d, "passwordEdit")->text(), password);
        }
    }

    void invalidFormSendsNothing()
    {
        LoginDialog d;
        d.show();
        fill(d, QStringLiteral("a"), QStringLiteral("pw-123"));
        QTest::keyClick(edit(d, "passwordEdit"), Qt::Key_Return);
        QCOMPARE(d.message(), translate(u"用户名需 2~24 个字符"));
        QVERIFY(d.messageIsError());
        QVERIFY(!d.isBusy());
        QTest::qWait(200);
        QCOMPARE(requests("login").size(), 0);
    }

    // The device limit: the card lists the other PC; continuing repeats the
    // request with the confirm flag, declining sends nothing more.
    void deviceLimit_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("continue") << true;
        QTest::newRow("decline") << false;
    }
    void deviceLimit()
    {
        QFETCH(bool, confirm);
        svc.control(QStringLiteral("account.revoke"), {{QStringLiteral("username"), QStringLiteral("ada")}});
        signInElsewhere();
        LoginDialog d;
        d.show();
        fill(d, QStringLiteral("ada"), QStringLiteral("pw-123"));
        whenConfirmation(&d, confirm);
        click(d, d.layout().primaryButton);
        if (confirm) {
            QTRY_COMPARE_WITH_TIMEOUT(d.result(), int(QDialog::Accepted), 10000);
            const QJsonArray sent = requests("login");
            QCOMPARE(sent.size(), 2);
            QVERIFY(!bodyOf(sent.at(0)).contains(QStringLiteral("confirm")));
            QCOMPARE(bodyOf(sent.at(1)).value(QStringLiteral("confirm")).toInt(), 1);
            QCOMPARE(bodyOf(sent.at(1)).value(QStringLiteral("username")).toString(), QStringLiteral("ada"));
            QVERIFY(!d.token().isEmpty());
            QVERIFY(!sessions().contains(QStringLiteral("other-pc")));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(d.message(), translate(u"已取消登录，其他电脑不受影响"), 10000);
            QVERIFY(d.messageIsError());
            QVERIFY(d.isVisible());
            QVERIFY(d.token().isEmpty());
            QTest::qWait(300);
            QCOMPARE(requests("login").size(), 1);
            QVERIFY(sessions().contains(QStringLiteral("other-pc")));
            // The user may try again.
            whenConfirmation(&d, true);
            click(d, d.layout().primaryButton);
            QTRY_COMPARE_WITH_TIMEOUT(d.result(), int(QDialog::Accepted), 10000);
        }
    }

    // A success that brings no token is no sign-in.
    void successWithoutTokenIsRefused()
    {
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("login")},
                   {QStringLiteral("mode"), QStringLiteral("status")},
                   {QStringLiteral("status"), 200},
                   {QStringLiteral("raw"), QStringLiteral(R"({"ok":1,"username":"ada"})")}});
        LoginDialog d;
        d.show();
        fill(d, QStringLiteral("ada"), QStringLiteral("pw-123"));
        click(d, d.layout().primaryButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isBusy(), 10000);
        QVERIFY(d.isVisible());
        QVERIFY(d.messageIsError());
        QCOMPARE(d.message(), translate(u"服务端返回格式异常，请稍后重试"));
        QVERIFY(d.token().isEmpty());
    }

    void signUp()
    {
        LoginDialog d;
        d.show();
        QVERIFY(openSignUp(d));
        QVERIFY(!d.isSignInMode());
        QCOMPARE(d.height(), 456);
        fill(d, QStringLiteral("newbie"), QStringLiteral("pw-999"));
        edit(d, "confirmEdit")->setText(QStringLiteral("pw-999"));
        edit(d, "captchaEdit")->setText(QStringLiteral(" ") + captchaAnswer(d) + QStringLiteral(" "));
        click(d, d.layout().agreementBox);
        QVERIFY(d.isAgreed());
        click(d, d.layout().primaryButton);
        QCOMPARE(d.message(), translate(u"正在注册…"));
        QTRY_COMPARE_WITH_TIMEOUT(d.message(), translate(u"注册成功，欢迎你，%1").arg(QStringLiteral("newbie")), 10000);
        QElapsedTimer shown;
        shown.start();
        QVERIFY(!d.messageIsError());
        QVERIFY(d.isBusy());
        QVERIFY(d.isVisible());
        // While the welcome shows, the button does nothing.
        click(d, d.layout().primaryButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), 5000);
        QVERIFY(shown.elapsed() >= 800);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.userName(), QStringLiteral("newbie"));
        QVERIFY(!d.token().isEmpty());
        const QJsonArray sent = requests("register");
        QCOMPARE(sent.size(), 1);
        const QJsonObject body = bodyOf(sent.at(0));
        QCOMPARE(body.value(QStringLiteral("agree")).toInt(), 1);
        QCOMPARE(body.value(QStringLiteral("captcha_code")).toString(), captchaAnswer(d));
        QVERIFY(!body.value(QStringLiteral("captcha_id")).toString().isEmpty());
    }

    // A refused sign-up fetches a new captcha, which clears the old answer.
    void wrongCaptcha()
    {
        LoginDialog d;
        d.show();
        QVERIFY(openSignUp(d));
        fill(d, QStringLiteral("newbie2"), QStringLiteral("pw-999"));
        edit(d, "confirmEdit")->setText(QStringLiteral("pw-999"));
        edit(d, "captchaEdit")->setText(QStringLiteral("99"));
        click(d, d.layout().agreementBox);
        click(d, d.layout().primaryButton);
        QTRY_COMPARE_WITH_TIMEOUT(d.message(), QStringLiteral("验证码错误"), 10000);
        QVERIFY(d.messageIsError());
        QTRY_COMPARE_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("captcha")).size(), 2,
                                  10000);
        QTRY_VERIFY_WITH_TIMEOUT(!captchaAnswer(d).isEmpty(), 10000);
        QVERIFY(edit(d, "captchaEdit")->text().isEmpty());
        QVERIFY(d.isVisible());
        // With the new captcha answered the same form goes through.
        edit(d, "captchaEdit")->setText(captchaAnswer(d));
        click(d, d.layout().primaryButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.isVisible(), 10000);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    // The device limit asked in sign-up mode repeats the sign-up with the
    // confirm flag, under "signing in".
    void deviceLimitInSignUpMode()
    {
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("register")},
                   {QStringLiteral("mode"), QStringLiteral("status")},
                   {QStringLiteral("status"), 200},
                   {QStringLiteral("raw"), QStringLiteral(R"({"ok":1,"needConfirm":1,"maxDevices":2,"willKick":[]})")}});
        LoginDialog d;
        d.show();
        QVERIFY(openSignUp(d));
        fill(d, QStringLiteral("newbie3"), QStringLiteral("pw-999"));
        edit(d, "confirmEdit")->setText(QStringLiteral("pw-999"));
        edit(d, "captchaEdit")->setText(captchaAnswer(d));
        click(d, d.layout().agreementBox);
        // The repeated request is held back so that the card can be seen
        // waiting for it.
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("register")},
                   {QStringLiteral("mode"), QStringLiteral("delay")},
                   {QStringLiteral("seconds"), 2}});
        testsupport::whenWidget([] { return qobject_cast<KickConfirmDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* w) {
                                    auto* k = static_cast<KickConfirmDialog*>(w);
                                    QCOMPARE(k->rows().size(), 1);
                                    QCOMPARE(k->rows().at(0).name, translate(u"另一台电脑"));
                                    QCOMPARE(k->badgeText(), translate(u"授权 %1 台设备").arg(2));
                                    QCOMPARE(d.message(), translate(u"该账户已在其他电脑登录，请确认"));
                                    QTest::mouseClick(k, Qt::LeftButton, {}, k->layout().continueButton.center());
                                },
                                10000, &d);
        click(d, d.layout().primaryButton);
        QTRY_COMPARE_WITH_TIMEOUT(requests("register").size(), 2, 10000);
        QCOMPARE(d.message(), translate(u"正在登录…"));
        QVERIFY(!d.messageIsError());
        QVERIFY(d.isBusy());
        const QJsonObject again = bodyOf(requests("register").at(1));
        QCOMPARE(again.value(QStringLiteral("confirm")).toInt(), 1);
        QCOMPARE(again.value(QStringLiteral("agree")).toInt(), 1);
        QCOMPARE(again.value(QStringLiteral("username")).toString(), QStringLiteral("newbie3"));
    }

    void captchaFailureAndOneRequestAtATime()
    {
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("captcha")},
                   {QStringLiteral("mode"), QStringLiteral("delay")},
                   {QStringLiteral("seconds"), 1}});
        LoginDialog d;
        d.show();
        click(d, d.layout().modeSwitch);
        QCOMPARE(d.captchaQuestion(), translate(u"获取中…"));
        click(d, d.layout().modeSwitch);
        QVERIFY(d.isSignInMode());
        click(d, d.layout().modeSwitch);
        click(d, d.layout().captchaBox);
        QTRY_VERIFY_WITH_TIMEOUT(!captchaAnswer(d).isEmpty(), 10000);
        QCOMPARE(svc.requestsTo(QStringLiteral("/api/auth.php"), QStringLiteral("captcha")).size(), 1);

        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("captcha")},
                   {QStringLiteral("mode"), QStringLiteral("status")},
                   {QStringLiteral("status"), 503}});
        click(d, d.layout().captchaBox);
        QTRY_COMPARE_WITH_TIMEOUT(d.captchaQuestion(), translate(u"获取失败 点击刷新"), 10000);
        QCOMPARE(d.message(), translate(u"服务器返回 HTTP %1，请稍后重试").arg(503));
        click(d, d.layout().captchaBox);
        QTRY_VERIFY_WITH_TIMEOUT(!captchaAnswer(d).isEmpty(), 10000);
    }

    void boxes()
    {
        LoginDialog d;
        d.show();
        d.setCredentials(QStringLiteral("ada"), QString(), false);
        QVERIFY(!d.rememberPassword());
        QVERIFY(!d.autoLogin());
        click(d, d.layout().autoLoginBox);
        QVERIFY(d.autoLogin());
        QVERIFY(d.rememberPassword());
        click(d, d.layout().rememberBox);
        QVERIFY(!d.rememberPassword());
        QVERIFY(!d.autoLogin());
        click(d, d.layout().autoLoginBox);
        click(d, d.layout().autoLoginBox);
        QVERIFY(d.rememberPassword());
        QVERIFY(!d.autoLogin());

        // Pre-filled: the password only when given, auto-login never.
        LoginDialog e;
        e.setCredentials(QStringLiteral("ada"), QStringLiteral("pw-123"), true);
        QCOMPARE(edit(e, "userNameEdit")->text(), QStringLiteral("ada"));
        QCOMPARE(e.password(), QStringLiteral("pw-123"));
        QVERIFY(e.rememberPassword());
        QVERIFY(!e.autoLogin());
        e.setCredentials(QStringLiteral("ada"), QString(), true);
        QCOMPARE(e.password(), QStringLiteral("pw-123"));
    }

    void pressAndReleaseOnDifferentElementsDoNothing()
    {
        LoginDialog d;
        d.show();
        mouse(d, QEvent::MouseButtonPress, d.layout().primaryButton.center());
        mouse(d, QEvent::MouseButtonRelease, d.layout().modeSwitch.center());
        QVERIFY(d.isSignInMode());
        QVERIFY(d.message().isEmpty());
        mouse(d, QEvent::MouseButtonPress, d.layout().close.center());
        mouse(d, QEvent::MouseButtonRelease, d.layout().close.center());
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void agreementLinksOpenTheirPages()
    {
        testsupport::RecordingLauncher launcher;
        testsupport::LauncherOverride guard(&launcher);
        LoginDialog d;
        d.show();
        QVERIFY(openSignUp(d));
        click(d, d.layout().userAgreementLink);
        click(d, d.layout().privacyLink);
        QCOMPARE(launcher.calls.size(), 2);
        QCOMPARE(launcher.calls.at(0).url, QUrl(QStringLiteral("https://") + svc.host() + "/protocol.php?type=user"));
        QCOMPARE(launcher.calls.at(1).url,
                 QUrl(QStringLiteral("https://") + svc.host() + "/protocol.php?type=privacy"));
        // The links sit right of the box and do not tick it.
        QVERIFY(!d.isAgreed());
        QVERIFY(d.layout().userAgreementLink.left() > d.layout().agreementBox.right());
        QVERIFY(d.layout().privacyLink.left() > d.layout().userAgreementLink.right());
    }

    void escapeInAnEditRejects()
    {
        LoginDialog d;
        QTimer::singleShot(0, &d, [&] { QTest::keyClick(edit(d, "passwordEdit"), Qt::Key_Escape); });
        QCOMPARE(d.exec(), int(QDialog::Rejected));
        QVERIFY(d.token().isEmpty());
    }

    // Closing the card while a request is under way: its answer finds no
    // dialog and nothing happens.
    void closedWhileWaiting()
    {
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/auth.php")},
                   {QStringLiteral("action"), QStringLiteral("login")},
                   {QStringLiteral("mode"), QStringLiteral("delay")},
                   {QStringLiteral("seconds"), 1}});
        {
            LoginDialog d;
            d.show();
            fill(d, QStringLiteral("ada"), QStringLiteral("pw-123"));
            click(d, d.layout().primaryButton);
            QTRY_COMPARE_WITH_TIMEOUT(requests("login").size(), 1, 10000);
        }
        QTest::qWait(1500);
    }
};

QTEST_MAIN(TestLoginDialog)
#include "test_logindialog.moc"
