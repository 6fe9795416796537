#pragma once

#include <QString>

// Small machine-wide and per-user key/value stores, one INI file per hive:
// the per-user one in $XDG_CONFIG_HOME/Tarnavel/registry.ini, the machine one
// in the first folder of $XDG_CONFIG_DIRS (default /etc/xdg) plus
// /Tarnavel/registry.ini. Keys are paths such as "SOFTWARE\TarnavelPanel";
// "\" and "/" both separate their parts.
enum class RegistryHive { LocalMachine, CurrentUser };

QString registryFilePath(RegistryHive hive);

// Writes a text value and flushes it to disk. Returns false and fills
// `error` when the file cannot be written (no permission, a folder in the
// way, a full disk); the store is then left as it was.
bool writeRegistryValue(RegistryHive hive, const QString& key, const QString& name,
                        const QString& value, QString* error = nullptr);

// Reads a text value; `fallback` when the file or the value is missing.
QString readRegistryValue(RegistryHive hive, const QString& key, const QString& name,
                          const QString& fallback = QString());
