#include "account/loginform.h"

#include "app/lang.h"

#include <QRegularExpression>

namespace {

bool fail(QString* error, const char16_t* text)
{
    if (error)
        *error = translate(text);
    return false;
}

// Word characters are the ASCII ones on purpose: letters of other scripts
// are refused, except the common CJK block.
const QRegularExpression& userNamePattern()
{
    static const QRegularExpression re(QStringLiteral("^[\\w\\x{4e00}-\\x{9fa5}-]+$"));
    return re;
}

} // namespace

bool validateLoginForm(const LoginForm& form, QString* error)
{
    const QString name = form.userName.trimmed();
    if (name.isEmpty() || form.password.isEmpty())
        return fail(error, u"请输入用户名和密码");
    if (name.size() < 2 || name.size() > 24)
        return fail(error, u"用户名需 2~24 个字符");
    if (!userNamePattern().match(name).hasMatch())
        return fail(error, u"用户名仅支持中文、字母、数字、下划线、中划线");
    if (form.password.size() < 6 || form.password.size() > 64)
        return fail(error, u"密码需 6~64 位");
    if (form.signIn)
        return true;
    if (form.confirmation.isEmpty())
        return fail(error, u"请再次输入密码");
    if (form.confirmation != form.password)
        return fail(error, u"两次输入的密码不一致");
    if (form.captchaAnswer.trimmed().isEmpty())
        return fail(error, u"请输入验证码计算结果");
    if (!form.agreed)
        return fail(error, u"请先阅读并同意《用户协议》与《隐私政策》");
    return true;
}
