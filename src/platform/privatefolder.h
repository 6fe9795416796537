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

// A folder of its own for one run's files (a script, a downloaded
// installer): "<prefix>-" and six random characters inside `base`, made by
// this call with mode 0700, so that no other user can have prepared it,
// put anything into it or swap what lies there. `base` is made sure of
// first with ensurePrivateFolder. Returns the new folder's path, or an empty
// string with `error` filled.
QString makeRunFolder(const QString& base, const QString& prefix, QString* error = nullptr);

// Creates `path` as a new file with `mode` holding `bytes`. Fails when
// anything already lies at `path`, a link included, so it never writes
// through one or into a file someone else prepared. A file that could not
// be written whole is removed again.
bool writeNewFile(const QString& path, const QByteArray& bytes, int mode, QString* error = nullptr);

// Takes group and other access away from `root` and everything below it
// (folders 0700, files keep only their owner's bits), without following
// links. Entries of other users are left alone. Returns how many entries
// were changed.
int tightenTree(const QString& root);
