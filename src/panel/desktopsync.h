#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Sorting what lies on the desktop into groups by file type.

// The group an entry named `fileName` goes to: one of the five category
// names (never translated), or an empty string for "other".
QString desktopCategoryOf(const QString& fileName);

struct DesktopEntryCandidate {
    QString path;   // absolute, forward slashes
    QString name;   // the item name: base name of a file with a suffix, else the file name
};

// The entries of `folders` that the panel does not hold yet, in folder
// order and by name within a folder. Hidden entries (a leading dot, or
// listed in the folder's ".hidden" file) and symbolic links are left out;
// `known` holds the paths already in the panel, compared exactly. Reads
// the file system: not for the GUI thread.
QList<DesktopEntryCandidate> pendingDesktopEntries(const QStringList& folders, const QSet<QString>& known);

// The desktop folders to collect from: the user's desktop unless it is
// missing or is the home folder itself.
QStringList desktopSyncFolders(const QString& desktop, const QString& home);
