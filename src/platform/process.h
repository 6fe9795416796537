#pragma once

#include <QByteArray>
#include <QString>

// Facts about this process and its user, and the way it ends.

// The numeric id of the user running this process, as text ("1000").
QString currentUserKey();

// The per-user runtime folder: $XDG_RUNTIME_DIR when it is set and is a
// folder, else "TarnavelPanel-<uid>" in the temporary folder, created 0700
// and used only while it is this user's private folder (see
// ensurePrivateFolder). Empty, with a warning, when that folder is refused.
QString runtimeDirectory();

// Ends the process at once with `code`: no destructors, no atexit handlers,
// no static clean-up. Standard output and error are flushed first so that
// nothing already printed is lost.
[[noreturn]] void hardExit(int code);

// True when `pid` is a live process of the current user whose executable is
// the same file as this process's own executable.
bool isOwnExecutableOfThisUser(qint64 pid);

// Appends `bytes` to `path` in a single write on a file opened for appending
// (created 0600 when missing), so that lines of concurrent writers are never
// interleaved. Tells whether opening or writing failed.
enum class AppendResult { Ok, OpenFailed, ShortWrite };
AppendResult appendToFile(const QString& path, const QByteArray& bytes);

// Moves `from` to `to`, replacing `to` in one step; when the move fails the
// old `to` is left untouched.
bool renameReplacing(const QString& from, const QString& to);
