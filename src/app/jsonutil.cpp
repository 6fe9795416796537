#include "app/jsonutil.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

// The object in `data`, or the parser's reason why there is none. A valid
// document that is not an object keeps the parser's "no error" text, which
// is what the log line then shows.
bool readObject(const QByteArray& data, QJsonObject& out, QString& reason)
{
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) {
        out = doc.object();
        return true;
    }
    reason = error.errorString();
    return false;
}

} // namespace

bool parseJsonObject(const QByteArray& data, QJsonObject& out)
{
    out = QJsonObject();
    QString reason;
    if (readObject(data, out, reason))
        return true;
    qWarning() << "[jsonutil] object parse failed:" << reason;
    return false;
}

bool parseReplyObject(QNetworkReply* reply, QJsonObject& out)
{
    out = QJsonObject();
    if (!reply)
        return false;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool transportError = reply->error() != QNetworkReply::NoError;
    if (transportError || status < 200 || status > 299) {
        qWarning() << "[jsonutil] reply rejected before parse: http =" << status
                   << "transportError =" << transportError << "detail =" << reply->errorString();
        return false;
    }
    QString reason;
    if (readObject(reply->readAll(), out, reason))
        return true;
    qWarning() << "[jsonutil] reply object parse failed:" << reason;
    return false;
}
