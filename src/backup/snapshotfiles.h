#pragma once

#include <QString>
#include <QStringList>

#include <atomic>

// What the snapshot operations share: the rules that keep logs, caches,
// backups and the restore safety copy out of snapshots, the tree walks that
// apply them, and the small helpers of the long operations.
//
// Every walk visits hidden entries (dot-files are data like any other) and
// skips symbolic links. `skipDir`, when not empty, is the canonical path of
// one more folder to leave out: a backup folder the user placed inside the
// data root, whose snapshots must not be zipped into the next snapshot nor
// removed by a roll-back.

// "logs", "cache", "Backups" or ".__restore_bak", ignoring case.
bool isExcludedTopLevelName(const QString& name);
// Any folder part "logs", "cache" or "Backups" (ignoring case), or a last
// part ending in ".log"; either separator.
bool isExcludedRelativePath(const QString& relativePath);

// Time-out of a script run handling `bytes`: 120 s plus 1 s per 8 MiB, at
// most four hours.
int snapshotTimeoutMs(qint64 bytes);

// Bytes of all files under `root` the rules let through. The cancel flag is
// looked at once every 256 files; once set, the sum so far is returned.
qint64 treeSizeBytes(const QString& root, const std::atomic<bool>* cancel, const QString& skipDir = {});

// Copies `sourceRoot`/`relativeFolder` to `targetRoot`/`relativeFolder`,
// with the rules when `filter` is on (empty folders are copied too). Stops
// at the first failure or when the cancel flag is set and returns false,
// leaving what was copied so far.
bool copyTreeFiltered(const QString& sourceRoot, const QString& targetRoot, const QString& relativeFolder,
                      bool filter, const std::atomic<bool>* cancel, const QString& skipDir = {});
// copyTreeFiltered of the whole folder with the filter on; false when the
// source does not exist.
bool copyDirIfExists(const QString& source, const QString& target, const std::atomic<bool>* cancel,
                     const QString& skipDir = {});
// Appends the absolute path of every file under `root`/`relativeFolder` that
// the rules let through.
void collectDataFiles(const QString& root, const QString& relativeFolder, QStringList& out,
                      const QString& skipDir = {});

// The canonical path of `folder` when it lies strictly inside `dataRoot`
// (both resolved), else empty: what the walks get as `skipDir`.
QString nestedFolderToSkip(const QString& dataRoot, const QString& folder);

// Every cancellation ends here: sets *cancelled (when given) and the error
// text "已取消".
void markCancelled(QString& error, bool* cancelled);

// The size text of the snapshot list: "512 B", "1 KB", "1.5 MB".
QString formatSize(qint64 bytes);
