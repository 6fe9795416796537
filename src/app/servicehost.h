#pragma once

#include <QString>
#include <QUrl>

// The one HTTPS host of the vendor web service is fixed when the program is
// built (CMake cache value QY_SERVICE_HOST). The default ".invalid" name can
// never resolve, so a build that names no service reaches nothing.
QString serviceHost();

// "https://" + host + path, path starting with "/".
QUrl serviceUrl(const QString& path);

// Points every online request at another host ("127.0.0.1:<port>"), for
// tests that run against the stand-in service; empty restores the built one.
void setServiceHostOverride(const QString& host);
