#pragma once

#include <QByteArray>
#include <QString>

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
