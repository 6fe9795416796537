#include "account/logindialog.h"

#include "account/kickconfirmdialog.h"
#include "account/loginform.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "app/windowshape.h"
#include "platform/launcher.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kWidth = 360;
constexpr int kSignInHeight = 364;
constexpr int kSignUpHeight = 456;
// How long a successful sign-up shows its welcome before the card closes.
constexpr int kSignUpWelcomeMs = 900;

// The edits keep these light colours in the dark theme as well.
QString editStyle()
{
    return QStringLiteral("QLineEdit{border:1px solid #D3D8E2;border-radius:10px;padding:4px 14px;background:white;"
                          "color:#39404C;font-size:14px;font-family:'%1';selection-background-color:#4C7DF0;}"
                          "QLineEdit:focus{border:1px solid #4C7DF0;background:#FBFCFF;}")
        .arg(uiFontFamily());
}

} // namespace

LoginDialog::LoginDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    WindowShape::install(this, [] { return qreal(qMax(themeCornerRadius(), 4)); });
    setModal(true);
    setFixedSize(kWidth, kSignInHeight);
    setMouseTracking(true);

    const QString style = editStyle();
    const auto makeEdit = [&](const char* name, const char16_t* placeholder, bool secret) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(translate(placeholder));
        edit->setStyleSheet(style);
        if (secret)
            edit->setEchoMode(QLineEdit::Password);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (!m_busy)
                submit();
        });
        return edit;
    };
    m_userEdit = makeEdit("userNameEdit", u"用户名", false);
    m_passwordEdit = makeEdit("passwordEdit", u"密码（至少 6 位）", true);
    m_confirmEdit = makeEdit("confirmEdit", u"再次输入密码", true);
    m_captchaEdit = makeEdit("captchaEdit", u"计算结果", false);
    relayout();
}

void LoginDialog::setCredentials(const QString& userName, const QString& password, bool remember)
{
    m_userEdit->setText(userName);
    if (!password.isEmpty())
        m_passwordEdit->setText(password);
    m_remember = remember;
    if (!remember)
        m_autoLogin = false;
    update();
}

QString LoginDialog::password() const
{
    return m_passwordEdit ? m_passwordEdit->text() : QString();
}

void LoginDialog::showMessage(const QString& text, bool isError)
{
    m_message = text;
    m_messageIsError = isError;
    update();
}

void LoginDialog::setMode(bool signIn)
{
    m_signIn = signIn;
    m_message.clear();
    setFixedSize(kWidth, signIn ? kSignInHeight : kSignUpHeight);
    relayout();
    if (!signIn)
        refreshCaptcha();
    update();
}

void LoginDialog::refreshCaptcha()
{
    if (m_captchaLoading)
        return;
    m_captchaLoading = true;
    m_captchaQuestion = translate(u"获取中…");
    update();
    // The client dies with the dialog and then never calls back.
    m_auth.fetchCaptcha([this](bool ok, const QString& id, const QString& question, const QString& msg) {
        m_captchaLoading = false;
        if (ok) {
            m_captchaId = id;
            m_captchaQuestion = question;
            m_captchaEdit->clear();
        } else {
            m_captchaId.clear();
            m_captchaQuestion = translate(u"获取失败 点击刷新");
            if (!msg.isEmpty())
                m_message = msg;
        }
        update();
    });
}

bool LoginDialog::validateForm(QString* error) const
{
    LoginForm form;
    form.signIn = m_signIn;
    form.userName = m_userEdit->text();
    form.password = m_passwordEdit->text();
    form.confirmation = m_confirmEdit->text();
    form.captchaAnswer = m_captchaEdit->text();
    form.agreed = m_agreed;
    return validateLoginForm(form, error);
}

void LoginDialog::submit()
{
    if (m_busy)
        return;
    QString error;
    if (!validateForm(&error)) {
        showMessage(error, true);
        return;
    }
    m_busy = true;
    showMessage(m_signIn ? translate(u"正在登录…") : translate(u"正在注册…"), false);
    doLogin(m_userEdit->text().trimmed(), m_passwordEdit->text(), false);
}

void LoginDialog::doLogin(const QString& userName, const QString& password, bool confirm)
{
    const bool signUp = !m_signIn;
    m_auth.loginOrRegister(
        signUp ? QStringLiteral("register") : QStringLiteral("login"), userName, password, QString(),
        [this, userName, password](const AuthManager::Result& r) { onReply(r, userName, password); },
        signUp ? m_captchaId : QString(), signUp ? m_captchaEdit->text().trimmed() : QString(),
        signUp && m_agreed, confirm);
}

void LoginDialog::onReply(const AuthManager::Result& r, const QString& userName, const QString& password)
{
    m_busy = false;
    if (!r.ok) {
        showMessage(r.msg.isEmpty() ? translate(u"操作失败") : r.msg, true);
        if (!m_signIn)
            refreshCaptcha();
        return;
    }
    if (r.needConfirm) {
        showMessage(translate(u"该账户已在其他电脑登录，请确认"), true);
        QPointer<LoginDialog> self(this);
        QPointer<KickConfirmDialog> confirm = new KickConfirmDialog(r.willKick, r.maxDevices, this);
        const int verdict = confirm->exec();
        delete confirm.data();
        if (!self)
            return;
        if (verdict != QDialog::Accepted) {
            showMessage(translate(u"已取消登录，其他电脑不受影响"), true);
            return;
        }
        m_busy = true;
        showMessage(translate(u"正在登录…"), false);
        doLogin(userName, password, true);
        return;
    }
    // Only a token signs the user in: a success without one would leave the
    // panel believing in a session the service never opened.
    if (r.token.isEmpty()) {
        showMessage(translate(u"服务端返回格式异常，请稍后重试"), true);
        if (!m_signIn)
            refreshCaptcha();
        return;
    }
    m_token = r.token;
    m_userName = r.username.isEmpty() ? userName : r.username;
    if (m_signIn) {
        accept();
        return;
    }
    m_busy = true;
    showMessage(translate(u"注册成功，欢迎你，%1").arg(m_userName), false);
    QTimer::singleShot(kSignUpWelcomeMs, this, [this] {
        m_busy = false;
        accept();
    });
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        // Consumed: passed on, the dialog's own Escape handling would close
        // the dialog a second time.
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

int LoginDialog::hitTest(const QPoint& pos) const
{
    const Layout& l = m_layout;
    if (l.primaryButton.contains(pos))
        return PrimaryButton;
    if (l.modeSwitch.contains(pos))
        return ModeSwitch;
    if (l.close.contains(pos))
        return Close;
    if (!m_signIn) {
        if (l.captchaBox.contains(pos))
            return CaptchaBox;
        if (l.userAgreementLink.contains(pos) || l.privacyLink.contains(pos))
            return Links;
        if (l.agreementBox.adjusted(-4, -4, 4, 4).contains(pos))
            return AgreementBox;
        return None;
    }
    if (l.rememberBox.contains(pos))
        return RememberBox;
    if (l.autoLoginBox.contains(pos))
        return AutoLoginBox;
    return None;
}

void LoginDialog::mouseMoveEvent(QMouseEvent* event)
{
    const int hit = hitTest(event->position().toPoint());
    if (hit != m_hover) {
        m_hover = hit;
        update();
    }
    setCursor(hit != None ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void LoginDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = hitTest(event->position().toPoint());
}

void LoginDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int hit = hitTest(pos);
    const int pressed = m_pressed;
    m_pressed = None;
    if (hit != pressed || hit == None)
        return;
    switch (hit) {
    case PrimaryButton:
        submit();
        break;
    case ModeSwitch:
        setMode(!m_signIn);
        break;
    case Close:
        reject();
        break;
    case CaptchaBox:
        refreshCaptcha();
        break;
    case Links:
        launcher().openUrl(serviceUrl(m_layout.privacyLink.contains(pos) ? QStringLiteral("/protocol.php?type=privacy")
                                                                         : QStringLiteral("/protocol.php?type=user")));
        break;
    case AgreementBox:
        m_agreed = !m_agreed;
        update();
        break;
    case RememberBox:
        m_remember = !m_remember;
        if (!m_remember)
            m_autoLogin = false;
        update();
        break;
    case AutoLoginBox:
        m_autoLogin = !m_autoLogin;
        if (m_autoLogin)
            m_remember = true;
        update();
        break;
    default:
        break;
    }
}
