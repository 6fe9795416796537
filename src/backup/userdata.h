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
// "layout" and "settings" objects; installed apps of "registry" must carry plain
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

// Replaces every entry's file all or none, also across a crash: previous
// contents are read first; the new files and copies of the old ones are
// written beside their targets ("<name>.import-new", "<name>.import-old"),
// then "import-state.json" records the switch and the new files are moved
// into place one by one. A failure before the record changes nothing; one
// during the switch puts the old files back. `failedPath` names the entry
// that stopped it. Only "layout.json", "settings.json" and
// "apps_registry.json" directly in the data root are accepted as targets.
ImportResult replaceUserDataFiles(QList<ImportEntry>& entries, const QString& dataRoot, QString* failedPath = nullptr);

enum class ImportRecovery {
    NothingToDo,
    Dropped,    // an import died before its switch: its copies were removed, nothing had changed
    Completed,  // it died during the switch: the imported files are all in place
    RolledBack, // it died while putting the old files back: they are all back
    Failed,     // the record is unreadable or a file could not be moved: left for the next start
};
// Run at start before the data root is read, and before each import:
// finishes what an import cut short by a crash left.
ImportRecovery finishInterruptedImport(const QString& dataRoot);
