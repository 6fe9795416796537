#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reader of Windows shell links (".lnk"), the documented binary format.
// A pure function over untrusted bytes: every offset is checked, and a
// structure that does not fit ends the parse with an error instead of a
// guess. Only reading lives here; nothing of the link is executed.

struct ShellLinkData {
    quint32 linkFlags = 0;
    QString name;             // description
    QString relativePath;
    QString workingDir;
    QString arguments;
    QString iconLocation;     // as stored: environment form when the link has one
    int iconIndex = 0;
    QString localBasePath;    // from the link information
    QString networkPath;      // share name plus common path suffix
    QString environmentTarget; // unexpanded target of the environment block
    bool runAsUser = false;   // "run as administrator"

    // The target as the link stores it, unexpanded: the environment form
    // when present, else the local path, else the network path.
    QString target() const;
};

// Parses the bytes of a ".lnk" file. Returns false and fills `error` (a short
// English reason for the log) when the header is not a shell link or a
// structure runs past the data.
bool parseShellLink(const QByteArray& bytes, ShellLinkData* out, QString* error = nullptr);

// The parts of a link an edit replaces; what is not set is kept byte for
// byte. A new target replaces everything that located the old one (target
// id list, link information, relative path, environment target and the
// blocks that point into the id list or track the old file); a new icon
// drops the icon environment block. Empty strings remove their field.
struct ShellLinkEdit {
    std::optional<QString> target;
    std::optional<QString> name;
    std::optional<QString> workingDir;
    std::optional<QString> arguments;
    std::optional<QString> iconLocation;
    std::optional<int> iconIndex;
    std::optional<bool> runAsUser;
};

// Applies `edit` to the link `original` (empty: a new link with nothing
// but the edit). False with `error` set when `original` is not a readable
// link or a string is longer than the format allows (65535 units).
bool editShellLink(const QByteArray& original, const ShellLinkEdit& edit, QByteArray* out,
                   QString* error = nullptr);
