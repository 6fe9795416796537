#include "app/servicehost.h"

QString serviceHost()
{
    return QStringLiteral(QY_SERVICE_HOST);
}

QUrl serviceUrl(const QString& path)
{
    return QUrl(QStringLiteral("https://") + serviceHost() + path);
}
