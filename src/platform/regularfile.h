#pragma once

#include <QByteArray>
#include <QString>

// Reading and moving the panel's own data files without trusting what sits
// at their path: a user (or another program) can leave a FIFO, a device, a
// folder or a symbolic link there, and the panel must neither hang, read
// without end, nor follow the link somewhere else.

struct RegularFileRead {
    enum Status {
        Ok,         // `bytes` holds the whole file
        Missing,    // nothing at all at the path (not even a dangling link)
        NotRegular, // a link, FIFO, socket, device or folder is there
        TooLarge,   // a regular file of more than the allowed size
        Error,      // a regular file that could not be opened or read
    };
    Status status = Missing;
    QByteArray bytes;
    QString error; // why it is not Ok, in English, for the log
};

// Reads the regular file at `path`, at most `maxBytes`. Never follows a
// symbolic link in the last component and never blocks on opening.
RegularFileRead readRegularFile(const QString& path, qint64 maxBytes);

// What is at `path` itself, links not followed.
enum class PathKind { None, Regular, SymLink, Other };
PathKind pathKind(const QString& path);

// Renames the directory entry `from` (whatever it is: a dangling link or a
// FIFO moves as it is, nothing is opened) to `to`, which must not exist; an
// existing `to` is never replaced. On failure returns false and sets `error`.
bool renameEntry(const QString& from, const QString& to, QString* error);

// The owner of the entry at `path` (links not followed) is this process's
// user.
bool ownedByCurrentUser(const QString& path);
