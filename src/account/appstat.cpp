#include "account/appstat.h"

#include "account/deviceidentity.h"
#include "account/onlinerequest.h"
#include "app/paths.h"
#include "app/servicehost.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

void reportAppStat(const QString& appId, const QString& event, const QString& token)
{
    if (appId.isEmpty() || event.isEmpty())
        return;
    QJsonObject o;
    o.insert(QStringLiteral("app_id"), appId);
    o.insert(QStringLiteral("event"), event);
    o.insert(QStringLiteral("device"), deviceId());
    if (!token.isEmpty())
        o.insert(QStringLiteral("token"), token);
    static QNetworkAccessManager* const nam = new QNetworkAccessManager();
    QNetworkReply* reply = postOnline(nam, serviceUrl(QStringLiteral("/api/appstat.php")),
                                      QJsonDocument(o).toJson(QJsonDocument::Compact), 10000);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool transportError = reply->error() != QNetworkReply::NoError;
        if (!transportError && status >= 200 && status <= 299)
            return;
        qWarning() << "appstat report failed: http =" << status << "transportError ="
                   << (transportError ? "true" : "false") << "err =" << reply->errorString();
    });
}

QString marketAppIdFromPath(const QString& path, const QString& dataRoot)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString root = dataRoot;
    root.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString prefix = root + QStringLiteral("/apps/");
    if (!p.startsWith(prefix, Qt::CaseInsensitive))
        return QString();
    const QString rest = p.mid(prefix.size());
    const int slash = rest.indexOf(QLatin1Char('/'));
    if (rest.isEmpty() || slash <= 0)
        return QString();
    return rest.left(slash);
}

QString marketAppIdFromPath(const QString& path)
{
    return marketAppIdFromPath(path, cachedAppDataDir());
}
