#include "app/environment.h"

#include <QGuiApplication>

bool keepQpaPlatform(const QByteArray& value)
{
    const QByteArray v = value.trimmed().toLower();
    return v.isEmpty() || v == "xcb" || v.startsWith("xcb:");
}

void cleanStartupEnvironment()
{
    if (!keepQpaPlatform(qgetenv("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM_PLUGIN_PATH"))
        qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!qEnvironmentVariableIsEmpty("QT_PLUGIN_PATH"))
        qunsetenv("QT_PLUGIN_PATH");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
}
