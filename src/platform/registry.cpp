#include "platform/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

QString settingsKey(const QString& key, const QString& name)
{
    QString k = key;
    k.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return k + QLatin1Char('/') + name;
}

} // namespace

QString registryFilePath(RegistryHive hive)
{
    QString base;
    if (hive == RegistryHive::CurrentUser) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    } else {
        const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
        const QString first = dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts).value(0);
        base = first.isEmpty() ? QStringLiteral("/etc/xdg") : first;
    }
    return QDir::cleanPath(base) + QStringLiteral("/Tarnavel/registry.ini");
}

bool writeRegistryValue(RegistryHive hive, const QString& key, const QString& name,
                        const QString& value, QString* error)
{
    const QString path = registryFilePath(hive);
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create folder %1").arg(dir);
        return false;
    }
    QSettings store(path, QSettings::IniFormat);
    // QSettings would silently keep an unwritable store in memory only.
    if (!store.isWritable()) {
        if (error)
            *error = QStringLiteral("not writable: %1").arg(path);
        return false;
    }
    store.setValue(settingsKey(key, name), value);
    store.sync();
    if (store.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("write failed: %1").arg(path);
        return false;
    }
    return true;
}

QString readRegistryValue(RegistryHive hive, const QString& key, const QString& name,
                          const QString& fallback)
{
    QSettings store(registryFilePath(hive), QSettings::IniFormat);
    return store.value(settingsKey(key, name), fallback).toString();
}
