#pragma once

#include <QString>

// The identity of this installation, sent with every online request that
// identifies the PC. "device.id" holds the identifier and "device.bind" seals
// it to the machine name it was bound under, so that an edited identifier is
// noticed and replaced while renaming the PC keeps the identity.

// The identifier, computed on the first call of the process.
QString deviceId();

// Reads, checks and where needed renews both files in the data root.
QString computeDeviceId();
// The same for a given data root (tests use their own folder).
QString computeDeviceIdIn(const QString& dataRoot);

// Makes, stores and binds a new identifier; returns it even when the files
// could not be written (the process then uses it and the next start makes
// another).
QString registerNewDevice(const QString& dataRoot, const QString& bindPath);

void writeBindFile(const QString& path, const QString& id, const QString& machine);

// Lower-case hex SHA-256 of the bind prefix, the identifier, "|" and the name.
QString deviceBindHash(const QString& id, const QString& machine);

// The host name, else "COMPUTERNAME", trimmed; may be empty.
QString machineName();

// machineName(), "未命名电脑" (translated) when empty, at most 64 units.
QString deviceDisplayName();

// 8 to 64 characters of hex digits and "-" after trimming.
bool isValidDeviceId(const QString& id);
