#include "app/servicehost.h"

namespace {
QString& hostOverride()
{
    static QString host;
    return host;
}
} // namespace

QString serviceHost()
{
    const QString& o = hostOverride();
    return o.isEmpty() ? QStringLiteral(QY_SERVICE_HOST) : o;
}

void setServiceHostOverride(const QString& host)
{
    hostOverride() = host;
}

QUrl serviceUrl(const QString& path)
{
    return QUrl(QStringLiteral("https://") + serviceHost() + path);
}
