#pragma once

#include <QString>

// Folders and socket files that only this user may have made.

// Makes sure `path` is a folder of this user that nobody else can enter:
// created with mode 0700 when missing; an existing one must be a real
// folder (not a link) owned by this user, and loses any group or other
// access. On failure fills `error` (when given) and returns false; a
// folder another user made is then left alone.
bool ensurePrivateFolder(const QString& path, QString* error = nullptr);

// True when `path` is a socket file (not a link to one) owned by this user.
bool isOwnSocketFile(const QString& path);
