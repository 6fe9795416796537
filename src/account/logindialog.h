#pragma once

#include "account/authmanager.h"

#include <QDialog>
#include <QRect>
#include <QString>

class QLineEdit;
class QPainter;
struct ThemePalette;

// The modal sign-in and sign-up card. Run it with exec(): Accepted only after
// the service signed the user in (token() and userName() are then set),
// Rejected when the user closed it. It owns its own account client.
class LoginDialog : public QDialog {
    Q_OBJECT
public:
    enum Element {
        None = 0,
        PrimaryButton = 1,
        ModeSwitch = 2,
        Close = 3,
        CaptchaBox = 4,
        Links = 5,
        AgreementBox = 6,
        RememberBox = 7,
        AutoLoginBox = 8,
    };

    struct Layout {
        QRect close, logo, title, subtitle;
        QRect userEdit, passwordEdit, confirmEdit, captchaEdit;  // null when hidden
        QRect captchaBox, agreementBox, userAgreementLink, privacyLink;
        QRect rememberBox, autoLoginBox;
        QRect message, primaryButton, modeSwitch;
    };
    // Where everything sits for a dialog `width` wide in either mode.
    static Layout layoutFor(int width, bool signIn);

    explicit LoginDialog(QWidget* parent = nullptr);

    // Pre-fills the form; the password only when one is given. Auto-login
    // always starts clear.
    void setCredentials(const QString& userName, const QString& password, bool remember);

    QString password() const;
    QString token() const { return m_token; }
    QString userName() const { return m_userName; }
    bool rememberPassword() const { return m_remember; }
    bool autoLogin() const { return m_autoLogin; }

    // State shown on the card, for its owner's checks.
    bool isSignInMode() const { return m_signIn; }
    bool isBusy() const { return m_busy; }
    bool isAgreed() const { return m_agreed; }
    QString message() const { return m_message; }
    bool messageIsError() const { return m_messageIsError; }
    QString captchaQuestion() const { return m_captchaQuestion; }
    const Layout& layout() const { return m_layout; }
    int hitTest(const QPoint& pos) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setMode(bool signIn);
    void refreshCaptcha();
    bool validateForm(QString* error) const;
    void submit();
    void doLogin(const QString& userName, const QString& password, bool confirm);
    void onReply(const AuthManager::Result& r, const QString& userName, const QString& password);
    void relayout();
    void showMessage(const QString& text, bool isError);
    void paintSignUpExtras(QPainter& p, const ThemePalette& pal);

    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLineEdit* m_confirmEdit = nullptr;
    QLineEdit* m_captchaEdit = nullptr;
    Layout m_layout;
    int m_hover = None;
    int m_pressed = None;
    bool m_signIn = true;
    bool m_busy = false;
    bool m_captchaLoading = false;
    bool m_agreed = false;
    bool m_remember = false;
    bool m_autoLogin = false;
    QString m_message;
    bool m_messageIsError = true;
    QString m_captchaId;
    QString m_captchaQuestion;
    QString m_token;
    QString m_userName;
    AuthManager m_auth;
};

// The screenshot sheets of the sign-in form, empty and filled in with a
// sample account, in Chinese and in English.
void previewSignInForm(const QString& folder);

// A 16 x 16 tick box with an optional label to its right.
void paintCheckBox(QPainter& p, const QRect& rect, bool ticked, const QString& label, bool hovered,
                   const ThemePalette& pal);
