#include "account/onlinerequest.h"

#include "app/lang.h"

#include <QDebug>
#include <QTimer>

#include <limits>

namespace {

int timeoutOverride = 0;
int deadlineOverride = 0;

const char kTimedOutProperty[] = "qyTimedOut";
const char kOverCapProperty[] = "qyOverCap";

// Enough for a steady transfer without holding more than a moment of it.
constexpr qint64 kStreamBufferBytes = 1024 * 1024;

void endReply(QNetworkReply* reply, const char* why)
{
    if (reply->isFinished())
        return;
    reply->setProperty(why, true);
    // Without the query, which may hold the token.
    qWarning() << "online reply ended:" << (why == kOverCapProperty ? "over its cap" : "time-out")
               << reply->url().adjusted(QUrl::RemoveQuery | QUrl::RemoveUserInfo).toString();
    reply->abort();
}

} // namespace

void setOnlineTimeoutOverride(int ms)
{
    timeoutOverride = ms;
}

void setOnlineDeadlineOverride(int ms)
{
    deadlineOverride = ms;
}

int onlineTimeout(int ms)
{
    return timeoutOverride > 0 ? timeoutOverride : ms;
}

ReplyLimits answerLimits(int silenceMs)
{
    ReplyLimits limits;
    limits.silenceMs = silenceMs;
    limits.deadlineMs = 2 * silenceMs;
    return limits;
}

int transferDeadlineMs(qint64 bytes)
{
    const qint64 ms = 60000 + qMax<qint64>(bytes, 0) / 32;
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

QNetworkRequest withRedirects(QNetworkRequest request, Redirects redirects)
{
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         redirects == Redirects::SameOrigin ? QNetworkRequest::SameOriginRedirectPolicy
                                                            : QNetworkRequest::NoLessSafeRedirectPolicy);
    return request;
}

QNetworkRequest jsonPostRequest(const QUrl& url)
{
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json; charset=utf-8"));
    return withRedirects(req, Redirects::SameOrigin);
}

void limitReply(QNetworkReply* reply, const ReplyLimits& limits)
{
    const qint64 cap = qMax<qint64>(limits.maxBytes, 0);
    // Qt stops reading from the connection while this much waits unread:
    // a body that is read whole needs room for one byte beyond the cap,
    // which tells it is too large.
    reply->setReadBufferSize(limits.streamed ? qMin(kStreamBufferBytes, cap + 1) : cap + 1);

    auto* silence = new QTimer(reply);
    silence->setSingleShot(true);
    silence->setInterval(onlineTimeout(limits.silenceMs));
    QObject::connect(silence, &QTimer::timeout, reply, [reply] { endReply(reply, kTimedOutProperty); });
    auto restart = [silence] { silence->start(); };
    QObject::connect(reply, &QNetworkReply::downloadProgress, silence, restart);
    QObject::connect(reply, &QNetworkReply::uploadProgress, silence, restart);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, silence, restart);
    QObject::connect(reply, &QNetworkReply::encrypted, silence, restart);
    QObject::connect(reply, &QNetworkReply::finished, silence, &QTimer::stop);
    silence->start();

    // A trickle is never silent: only the deadline ends it.
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    deadline->setInterval(deadlineOverride > 0 ? deadlineOverride : qMax(limits.deadlineMs, 1));
    QObject::connect(deadline, &QTimer::timeout, reply, [reply] { endReply(reply, kTimedOutProperty); });
    QObject::connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    deadline->start();

    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cap] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!length.isValid() || length.toLongLong() <= cap)
            return;
        reply->setProperty(kOverCapProperty, true);
        // Not from inside the header signal, which Qt does not expect.
        QMetaObject::invokeMethod(
            reply, [reply] { endReply(reply, kOverCapProperty); }, Qt::QueuedConnection);
    });
    // The progress signal is throttled and may hold back the last piece; a
    // body read whole is all still buffered, so readyRead sees each piece.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, cap](qint64 received, qint64) {
        if (received > cap)
            endReply(reply, kOverCapProperty);
    });
    if (!limits.streamed) {
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, cap] {
            if (reply->bytesAvailable() > cap)
                endReply(reply, kOverCapProperty);
        });
    }
}

bool timedOut(const QNetworkReply* reply)
{
    return reply && reply->property(kTimedOutProperty).toBool();
}

bool overCap(const QNetworkReply* reply)
{
    return reply && reply->property(kOverCapProperty).toBool();
}

QNetworkReply* postOnline(QNetworkAccessManager* nam, const QUrl& url, const QByteArray& json,
                          const ReplyLimits& limits)
{
    QNetworkReply* reply = nam->post(jsonPostRequest(url), json);
    limitReply(reply, limits);
    return reply;
}

QNetworkReply* postOnline(QNetworkAccessManager* nam, const QUrl& url, const QByteArray& json, int timeoutMs)
{
    return postOnline(nam, url, json, answerLimits(timeoutMs));
}

QNetworkReply* getOnline(QNetworkAccessManager* nam, const QNetworkRequest& request, const ReplyLimits& limits,
                         Redirects redirects)
{
    QNetworkReply* reply = nam->get(withRedirects(request, redirects));
    limitReply(reply, limits);
    return reply;
}

QNetworkReply* getOnline(QNetworkAccessManager* nam, const QNetworkRequest& request, int timeoutMs)
{
    return getOnline(nam, request, answerLimits(timeoutMs));
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
