#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// One PC that a confirmed sign-in would sign out.
struct DeviceEntry {
    QString name;
    QString ip;
    QString lastSeen;
};

// Client of the account endpoints of the web service. Every call is
// asynchronous on the GUI thread and ends in its callback, unless the
// manager is destroyed first: then the callback is never called.
class AuthManager : public QObject
{
public:
    struct Result {
        bool ok = false;
        QString msg;
        QString token;
        QString username;
        QString code;
        // The sign-in would sign out other PCs and needs the user's say.
        bool needConfirm = false;
        int maxDevices = 1;
        QList<DeviceEntry> willKick;
    };
    using Callback = std::function<void(const Result&)>;
    using CaptchaCallback = std::function<void(bool ok, const QString& id, const QString& question, const QString& msg)>;

    explicit AuthManager(QObject* parent = nullptr);

    void fetchCaptcha(CaptchaCallback callback);
    // action is "login", "register" or "logout".
    void loginOrRegister(const QString& action, const QString& username, const QString& password,
                         const QString& token, Callback callback, const QString& captchaId = QString(),
                         const QString& captchaAnswer = QString(), bool agree = false, bool confirm = false);
    void me(const QString& token, Callback callback);
    // Fire and forget; nothing for an empty token.
    void reportHost(const QString& token);
    void postJson(const QUrl& url, const QByteArray& body, Callback callback);

private:
    QNetworkAccessManager* manager();
    QNetworkAccessManager* nam = nullptr;
};

// Judges a finished answer of the account endpoints by the reply convention
// (status 0 = none; `networkText` is networkErrorText of the reply).
AuthManager::Result judgeAuthReply(int status, bool transportError, const QByteArray& body,
                                   const QString& networkText);

// The user text for a failed reply.
QString networkErrorText(QNetworkReply* reply);

// "https://<service host><path>?action=<action>".
QUrl serviceActionUrl(const QString& path, const QString& action);
