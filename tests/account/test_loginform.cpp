// The checks of the sign-in form, in their order, with the limits of each.
#include "account/loginform.h"
#include "app/lang.h"

#include <QtTest>

class TestLoginForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void checks_data()
    {
        QTest::addColumn<bool>("signIn");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("captcha");
        QTest::addColumn<bool>("agreed");
        QTest::addColumn<QString>("error");  // empty: valid

        const QString pw = QStringLiteral("secret");
        const QString fill = translate(u"请输入用户名和密码");
        const QString length = translate(u"用户名需 2~24 个字符");
        const QString pattern = translate(u"用户名仅支持中文、字母、数字、下划线、中划线");
        const QString pwLength = translate(u"密码需 6~64 位");
        QTest::newRow("empty name") << true << "" << pw << "" << "" << false << fill;
        QTest::newRow("blank name") << true << "   " << pw << "" << "" << false << fill;
        QTest::newRow("empty password") << true << "ada" << "" << "" << "" << false << fill;
        QTest::newRow("one character") << true << "a" << pw << "" << "" << false << length;
        QTest::newRow("25 characters") << true << QString(25, QLatin1Char('a')) << pw << "" << "" << false << length;
        QTest::newRow("24 characters") << true << QString(24, QLatin1Char('a')) << pw << "" << "" << false << "";
        QTest::newRow("spaces around a short name count not")
            << true << "  a  " << pw << "" << "" << false << length;
        QTest::newRow("spaces around are trimmed") << true << "  ada  " << pw << "" << "" << false << "";
        QTest::newRow("chinese, hyphen, underscore") << true << "张三-abc_1" << pw << "" << "" << false << "";
        QTest::newRow("dot") << true << "a.b" << pw << "" << "" << false << pattern;
        QTest::newRow("inner space") << true << "a b" << pw << "" << "" << false << pattern;
        QTest::newRow("letters of another script") << true << "ädam" << pw << "" << "" << false << pattern;
        QTest::newRow("5-character password") << true << "ada" << "12345" << "" << "" << false << pwLength;
        QTest::newRow("65-character password")
            << true << "ada" << QString(65, QLatin1Char('x')) << "" << "" << false << pwLength;
        QTest::newRow("6-character password") << true << "ada" << "123456" << "" << "" << false << "";
        QTest::newRow("64-character password") << true << "ada" << QString(64, QLatin1Char('x')) << "" << ""
                                               << false << "";
        QTest::newRow("spaces in the password count") << true << "ada" << "  12  " << "" << "" << false << "";
        // Sign-up goes on where sign-in stops.
        QTest::newRow("sign-in ignores the sign-up fields") << true << "ada" << pw << "other" << "" << false << "";
        QTest::newRow("no confirmation") << false << "ada" << pw << "" << "7" << true
                                         << translate(u"请再次输入密码");
        QTest::newRow("confirmation differs") << false << "ada" << pw << "secreT" << "7" << true
                                              << translate(u"两次输入的密码不一致");
        QTest::newRow("no captcha answer") << false << "ada" << pw << pw << "  " << true
                                           << translate(u"请输入验证码计算结果");
        QTest::newRow("not agreed") << false << "ada" << pw << pw << "7" << false
                                    << translate(u"请先阅读并同意《用户协议》与《隐私政策》");
        QTest::newRow("complete sign-up") << false << "ada" << pw << pw << "7" << true << "";
    }
    void checks()
    {
        QFETCH(bool, signIn);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(QString, captcha);
        QFETCH(bool, agreed);
        QFETCH(QString, error);
        LoginForm form{signIn, user, password, confirmation, captcha, agreed};
        QString got;
        QCOMPARE(validateLoginForm(form, &got), error.isEmpty());
        if (!error.isEmpty())
            QCOMPARE(got, error);
    }
};

QTEST_GUILESS_MAIN(TestLoginForm)
#include "test_loginform.moc"
