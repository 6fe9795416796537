#pragma once

#include <QString>

// What the sign-in dialog checks before it sends anything.
struct LoginForm {
    bool signIn = true;
    QString userName;       // as typed; trimmed by the checks
    QString password;       // as typed; every character counts
    QString confirmation;   // sign-up only
    QString captchaAnswer;  // sign-up only
    bool agreed = false;    // sign-up only
};

// True when the form may be sent; otherwise false with the user text of the
// first failing check in `error`.
bool validateLoginForm(const LoginForm& form, QString* error);
