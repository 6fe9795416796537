#include "main/installpath.h"

#include "platform/registry.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

void writeInstallPath()
{
    const QString path = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString key = QStringLiteral("SOFTWARE\\TarnavelPanel");
    const QString name = QStringLiteral("InstallPath");
    if (writeRegistryValue(RegistryHive::LocalMachine, key, name, path)) {
        qInfo() << "install path written to HKLM:" << path;
        return;
    }
    if (writeRegistryValue(RegistryHive::CurrentUser, key, name, path))
        qInfo() << "install path written to HKCU:" << path;
    else
        qWarning() << "install path not written (no permission):" << path;
}
