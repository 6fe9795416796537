#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

// The user-data bundle: one JSON file with the panel's groups and items,
// its settings and the list of installed market apps, written by the export
// and read back by the import. The sign-in state is never part of it.

struct UserDataFiles {
    QString dataRoot;
    QString layout;   // "layout.json"
    QString settings; // "settings.json"
    QString registry; // "apps_registry.json" beside the settings
};

// Bundles bigger than this are refused before they are read.
constexpr qint64 kMaxBundleBytes = 32 * 1024 * 1024;

// The bundle object: "app", "version", "exportedAt" and the three files'
// objects ({} for a file that is missing, unreadable or not an object).
QJsonObject buildUserDataBundle(const UserDataFiles& files, const QString& version, const QDateTime& now);

enum class BundleWrite { Ok, OpenFailed, Blocked };
// Writes the bundle (indented, keys sorted) all or nothing.
BundleWrite writeUserDataBundle(const QString& path, const QJsonObject& bundle);

enum class BundleRead { Ok, Unreadable, TooLarge, Invalid };
// Reads and checks a bundle: "app" must be "TarnavelPanel" exactly and
// "layout" an object; installed apps of "registry" must carry plain
// identifiers, since the market builds folder paths from them.
BundleRead readUserDataBundle(const QString& path, QJsonObject& bundle);

// One file the import replaces.
struct ImportEntry {
    QString path;
    QByteArray newContent;
    QByteArray previous;
    bool existed = false;
    bool readOk = false;
};

// Layout, settings and (only when the bundle's is not empty) the registry,
// in that order.
QList<ImportEntry> importEntriesFor(const QJsonObject& bundle, const UserDataFiles& files);

enum class ImportResult {
    Done,
    // Refused before anything was written:
    UnsafeTarget,        // a target is a link, not a regular file, or lies outside the data root
    OriginalUnreadable,  // an existing target could not be opened
    OriginalShortRead,   // an existing target read short
    // A write failed; the files written before it were put back:
    RolledBack,
    RollbackIncomplete,  // and at least one could not be put back
};

// Replaces every entry's file all or none: previous contents are read
// first, then each file is written through its own save file; when one
// fails, those already written get their old bytes back (or are removed
// when they did not exist). `failedPath` names the entry that stopped it.
ImportResult replaceUserDataFiles(QList<ImportEntry>& entries, const QString& dataRoot, QString* failedPath = nullptr);
