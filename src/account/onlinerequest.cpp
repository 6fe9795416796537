#include "account/onlinerequest.h"

#include "app/lang.h"

#include <QTimer>

namespace {
int timeoutOverride = 0;
}

void setOnlineTimeoutOverride(int ms)
{
    timeoutOverride = ms;
}

int onlineTimeout(int ms)
{
    return timeoutOverride > 0 ? timeoutOverride : ms;
}

QNetworkRequest jsonPostRequest(const QUrl& url, bool noLessSafeRedirects)
{
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json; charset=utf-8"));
    if (noLessSafeRedirects)
        req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return req;
}

namespace {
const char kTimedOutProperty[] = "qyTimedOut";
}

void watchInactivity(QNetworkReply* reply, int ms)
{
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setInterval(onlineTimeout(ms));
    QObject::connect(timer, &QTimer::timeout, reply, [reply] {
        if (reply->isFinished())
            return;
        reply->setProperty(kTimedOutProperty, true);
        reply->abort();
    });
    auto restart = [timer] { timer->start(); };
    QObject::connect(reply, &QNetworkReply::downloadProgress, timer, restart);
    QObject::connect(reply, &QNetworkReply::uploadProgress, timer, restart);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, timer, restart);
    QObject::connect(reply, &QNetworkReply::encrypted, timer, restart);
    QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
    timer->start();
}

bool timedOut(const QNetworkReply* reply)
{
    return reply && reply->property(kTimedOutProperty).toBool();
}

QNetworkReply* postOnline(QNetworkAccessManager* nam, const QUrl& url, const QByteArray& json, int timeoutMs,
                          bool noLessSafeRedirects)
{
    QNetworkReply* reply = nam->post(jsonPostRequest(url, noLessSafeRedirects), json);
    watchInactivity(reply, timeoutMs);
    return reply;
}

QNetworkReply* getOnline(QNetworkAccessManager* nam, const QNetworkRequest& request, int timeoutMs)
{
    QNetworkReply* reply = nam->get(request);
    watchInactivity(reply, timeoutMs);
    return reply;
}

QString networkErrorTextFor(QNetworkReply::NetworkError error, int status, const QString& errorString)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return translate(u"服务器拒绝连接，请稍后重试");
    case QNetworkReply::HostNotFoundError:
        return translate(u"无法解析服务器域名，请检查网络连接");
    case QNetworkReply::TimeoutError:
        return translate(u"连接服务器超时，请稍后重试");
    case QNetworkReply::SslHandshakeFailedError:
        return translate(u"安全连接（HTTPS）被拦截或证书校验失败，请检查本机代理/防火墙/系统时间后重试");
    default:
        break;
    }
    if (status > 0)
        return translate(u"服务器返回 HTTP %1，请稍后重试").arg(status);
    return translate(u"网络错误：") + errorString;
}
