#pragma once

#include <QDateTime>
#include <QString>

#include <atomic>
#include <memory>

// The automatic backup: when a run is due, and the run itself.

// The backup folder of the settings: `backupDirSetting` when not empty,
// else the default folder in the data root.
QString backupFolderFor(const QString& backupDirSetting, const QString& dataRoot);

// Due when `lastAt` (ISO 8601 local date-time) is empty or unreadable, or
// when `now` has reached it plus `intervalDays` days.
bool isAutoBackupDue(const QString& lastAt, int intervalDays, const QDateTime& now);

// One automatic run on a pool thread: a snapshot of `dataRoot` into
// `backupDir`, then pruning to the `keep` newest unless cancelled meanwhile.
// Returns empty on success and on cancellation, else the error text.
QString runAutoBackup(const QString& dataRoot, const QString& backupDir, int keep,
                      std::shared_ptr<std::atomic<bool>> cancel);
