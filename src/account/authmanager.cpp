#include "account/authmanager.h"

#include "account/deviceidentity.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "account/onlinerequest.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QUrlQuery>

namespace {

QString jsonText(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isString() ? v.toString() : QString();
}

int jsonInt(const QJsonObject& o, const char* key, int fallback = 0)
{
    return o.value(QLatin1String(key)).toInt(fallback);
}

int statusOf(QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

QUrl serviceActionUrl(const QString& path, const QString& action)
{
    QUrl url = serviceUrl(path);
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("action"), action);
    url.setQuery(q);
    return url;
}

QString networkErrorText(QNetworkReply* reply)
{
    if (!reply)
        return translate(u"网络错误：");
    if (timedOut(reply))
        return translate(u"连接服务器超时，请稍后重试");
    if (overCap(reply))
        return translate(u"服务端返回格式异常，请稍后重试");
    return networkErrorTextFor(reply->error(), statusOf(reply), reply->errorString());
}

AuthManager::Result judgeAuthReply(int status, bool transportError, const QByteArray& body,
                                   const QString& networkText)
{
    AuthManager::Result r;
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &perr);
    const bool parseFailed = !doc.isObject();
    const QJsonObject o = doc.object();
    const QString code = jsonText(o, "code");
    const QString msg = jsonText(o, "msg");

    if (status == 401 || code == QLatin1String("NOT_LOGIN")) {
        r.code = QStringLiteral("NOT_LOGIN");
        r.msg = msg.isEmpty() ? translate(u"登录已失效，请重新登录") : msg;
        return r;
    }
    const bool noAnswer = transportError && status == 0;
    const bool unusable = (transportError && status != 0) || (!transportError && (status < 200 || status > 299));
    if (noAnswer || unusable) {
        r.code = noAnswer ? QStringLiteral("NETWORK") : QStringLiteral("SERVER");
        r.msg = msg.isEmpty() ? networkText : msg;
        qWarning() << "auth response rejected: http =" << status << "transportError ="
                   << (transportError ? "true" : "false");
        return r;
    }
    if (parseFailed) {
        qWarning() << "auth response JSON parse failed:"
                   << (perr.error != QJsonParseError::NoError ? perr.errorString()
                                                              : QStringLiteral("not an object"));
        r.code = QStringLiteral("SERVER");
        r.msg = translate(u"服务端返回格式异常，请稍后重试");
        return r;
    }
    r.ok = jsonInt(o, "ok") == 1;
    r.msg = msg;
    r.token = jsonText(o, "token");
    r.username = jsonText(o, "username");
    r.needConfirm = jsonInt(o, "needConfirm") == 1;
    if (o.contains(QLatin1String("maxDevices")))
        r.maxDevices = jsonInt(o, "maxDevices");
    if (r.needConfirm) {
        const QString other = translate(u"另一台电脑");
        for (const QJsonValue& v : o.value(QLatin1String("willKick")).toArray()) {
            const QJsonObject d = v.toObject();
            DeviceEntry e{jsonText(d, "name").trimmed(), jsonText(d, "ip").trimmed(),
                          jsonText(d, "lastSeen").trimmed()};
            if (e.name.isEmpty())
                e.name = other;
            r.willKick.append(e);
        }
        if (r.willKick.isEmpty())
            r.willKick.append(DeviceEntry{other, QString(), QString()});
    }
    if (!r.ok) {
        r.code = code;
        if (r.msg.isEmpty())
            r.msg = translate(u"服务器返回异常（HTTP %1），请稍后重试").arg(status);
    }
    return r;
}

AuthManager::AuthManager(QObject* parent)
    : QObject(parent)
{
}

QNetworkAccessManager* AuthManager::manager()
{
    // One manager for every client of the process, without a parent and never
    // deleted: replies still in flight when an owner goes away must not take
    // the connection pool with them, and a dialog opened many times must not
    // leave a manager (and its thread) behind each time.
    static QNetworkAccessManager* const shared = new QNetworkAccessManager();
    nam = shared;
    return nam;
}

void AuthManager::postJson(const QUrl& url, const QByteArray& body, Callback callback)
{
    QNetworkReply* reply = postOnline(manager(), url, body, kAuthTimeoutMs);
    QPointer<AuthManager> self(this);
    connect(reply, &QNetworkReply::finished, reply, [self, reply, callback] {
        reply->deleteLater();
        if (!self)
            return;
        const int status = statusOf(reply);
        const bool transportError = reply->error() != QNetworkReply::NoError;
        const QByteArray body = reply->readAll();
        const Result r = judgeAuthReply(status, transportError, body, networkErrorText(reply));
        if (callback)
            callback(r);
    });
}

void AuthManager::fetchCaptcha(CaptchaCallback callback)
{
    QNetworkRequest req(serviceActionUrl(QStringLiteral("/api/auth.php"), QStringLiteral("captcha")));
    QNetworkReply* reply = getOnline(manager(), req, kAuthTimeoutMs);
    QPointer<AuthManager> self(this);
    connect(reply, &QNetworkReply::finished, reply, [self, reply, callback] {
        reply->deleteLater();
        if (!self || !callback)
            return;
        const int status = statusOf(reply);
        const bool transportError = reply->error() != QNetworkReply::NoError;
        if (transportError || status < 200 || status > 299) {
            qWarning() << "captcha rejected: http =" << status << "transportError ="
                       << (transportError ? "true" : "false");
            callback(false, QString(), QString(), networkErrorText(reply));
            return;
        }
        QJsonParseError perr{};
        const QJsonDocument doc = QJsonDocument::fromJson(reply->readAll(), &perr);
        if (!doc.isObject()) {
            qWarning() << "[jsonutil] object parse failed:"
                       << (perr.error != QJsonParseError::NoError ? perr.errorString()
                                                                  : QStringLiteral("not an object"));
            callback(false, QString(), QString(), translate(u"服务端返回格式异常，请稍后重试"));
            return;
        }
        const QJsonObject o = doc.object();
        const bool ok = jsonInt(o, "ok") == 1;
        callback(ok, jsonText(o, "id"), jsonText(o, "q"), ok ? QString() : jsonText(o, "msg"));
    });
}

void AuthManager::loginOrRegister(const QString& action, const QString& username, const QString& password,
                                  const QString& token, Callback callback, const QString& captchaId,
                                  const QString& captchaAnswer, bool agree, bool confirm)
{
    QJsonObject o;
    o.insert(QStringLiteral("username"), username);
    o.insert(QStringLiteral("password"), password);
    o.insert(QStringLiteral("token"), token);
    if (agree)
        o.insert(QStringLiteral("agree"), 1);
    if (!captchaId.isEmpty())
        o.insert(QStringLiteral("captcha_id"), captchaId);
    if (!captchaAnswer.isEmpty())
        o.insert(QStringLiteral("captcha_code"), captchaAnswer);
    o.insert(QStringLiteral("device"), deviceId());
    o.insert(QStringLiteral("device_name"), deviceDisplayName());
    o.insert(QStringLiteral("precheck"), 1);
    if (confirm)
        o.insert(QStringLiteral("confirm"), 1);
    postJson(serviceActionUrl(QStringLiteral("/api/auth.php"), action),
             QJsonDocument(o).toJson(QJsonDocument::Compact), std::move(callback));
}

void AuthManager::me(const QString& token, Callback callback)
{
    QJsonObject o;
    o.insert(QStringLiteral("token"), token);
    postJson(serviceActionUrl(QStringLiteral("/api/auth.php"), QStringLiteral("me")),
             QJsonDocument(o).toJson(QJsonDocument::Compact), std::move(callback));
}

void AuthManager::reportHost(const QString& token)
{
    if (token.isEmpty())
        return;
    QJsonObject o;
    o.insert(QStringLiteral("token"), token);
    o.insert(QStringLiteral("host"), deviceDisplayName());
    QNetworkReply* reply =
        postOnline(manager(), serviceActionUrl(QStringLiteral("/api/uc.php"), QStringLiteral("report_host")),
                   QJsonDocument(o).toJson(QJsonDocument::Compact), 10000);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}
