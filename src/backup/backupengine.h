#pragma once

#include "backup/scriptrunner.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// Snapshots of the data root: zip files in a backup folder, made and
// restored by generated PowerShell scripts, listed, pruned, exported, and
// the housekeeping around them. Static functions without state of their
// own; the long operations block and belong on a worker thread.
//
// Call shape of the long operations: `error` is written only on failure
// (one text for the user; "已取消" after a cancellation); `progress` (may be
// empty) is called on the calling thread with a percent that rises from 1
// to 100 and never falls; `cancel` (may be null) is only read; `cancelled`
// (may be null) is set to false on entry and to true only when the cancel
// flag stopped the operation.
class BackupEngine {
public:
    struct SnapshotInfo {
        QString path;      // absolute
        QString fileName;
        QDateTime time;    // the local time stamp in the name
        qint64 size = 0;
        bool preRestore = false;
    };

    // The default backup folder: "Backups" in the data root.
    static QString backupsDir(const QString& dataRoot);

    // True for the names our snapshots carry: "Quillory-Auto-",
    // "Quillory-PreRestore-" or "Tarnavel-PreRestore-", a
    // "yyyyMMdd-HHmmss-zzz" stamp and ".zip". Other zips in the folder are
    // the user's and are never listed, pruned or counted.
    static bool isSnapshotFileName(const QString& fileName);

    // Our snapshots in `backupDir`, newest first by the stamp in the name,
    // equal stamps by descending name; empty when the folder is missing.
    static QList<SnapshotInfo> listSnapshots(const QString& backupDir);

    // Removes all but the `keep` newest snapshots (nothing when keep <= 0).
    // The snapshot at `spare` (the source of a restore) is never removed: it
    // stays beside the `keep` newest until a later purge.
    static void purgeOld(const QString& backupDir, int keep, const QString& spare = QString());

    // Zips the data root (without logs, caches, backups, "*.log" files, a
    // backup folder placed inside it, special files and names that are not
    // valid UTF-8, see takeUncarriedNames) into a new snapshot in `backupDir`.
    // Returns the snapshot's path, or empty with `error` set.
    static QString createSnapshot(const QString& backupDir, const QString& dataRoot, QString& error, bool preRestore,
                                  const BackupProgress& progress, const std::atomic<bool>* cancel, bool* cancelled);

    // Entries the snapshots of this process left out because their names
    // are not valid UTF-8 (as the copy saw them), not handed out before:
    // each is handed out once, for the user to be told once.
    static QStringList takeUncarriedNames();

    // Writes the snapshot's files over the data root. The archive is checked
    // entry by entry and unpacked to a temporary folder first; a safety copy
    // of the data root beside it (safetyCopyPath) rolls the data root back
    // when the run fails, is cancelled or times out, and, should the process
    // die during the run, at the next start (finishInterruptedRestore).
    // While it runs, and after a success until releaseSaves(), savesHeld()
    // is true.
    static bool restoreSnapshot(const QString& zip, const QString& dataRoot, QString& error,
                                const BackupProgress& progress, const std::atomic<bool>* cancel, bool* cancelled);

    // The data root's path with ".__restore_bak" appended: the safety copy.
    static QString safetyCopyPath(const QString& dataRoot);

    // What the start-up found of a restore that did not finish.
    enum class Recovery {
        NothingToDo,        // no unfinished restore
        RolledBack,         // the data root is back as it was before that restore
        PartialCopyDropped, // the run died while taking the safety copy; data root untouched
        SafetyCopyKept,     // a safety copy without a record of its state: left in place, logged
        CopyDiscarded,      // a finished restore's half-deleted safety copy: deleted now
        Failed,             // the roll-back failed (or a process of that restore could not be
                            // ended); safety copy and record kept for the next try
    };
    // Run at start-up before anything of the data root is loaded: finishes
    // the roll-back of a restore whose process died mid-run, after ending
    // whatever is left of its script.
    static Recovery finishInterruptedRestore(const QString& dataRoot);

    // Safety copies beside the data root that no record accounts for: one
    // under the copy's own name, and those an earlier restore set aside
    // under a stamped name.
    static QStringList keptSafetyCopies(const QString& dataRoot);

    // What the last finishInterruptedRestore() has to tell the user (a
    // roll-back that failed, safety copies left beside the data root), once;
    // empty when nothing.
    static QString takeRecoveryNotice();

    // True while a restore may have changed the data root under the running
    // program: configuration saves must wait, or they would write the old
    // in-memory state over the restored files. The caller of a successful
    // restore calls releaseSaves() once it has loaded the restored files.
    static bool savesHeld();
    static void releaseSaves();

    // Removes leftovers of interrupted runs from `folder` (the temporary
    // folder when empty): "krvbak_*", "krvrest_*" and "krvps_*" folders, "krvbk_*.ps1",
    // "krvbak_prog_*.txt" and "krvrest_prog_*.txt" files, each only when
    // owned by this user and modified more than a day ago. `stop` (may be
    // null) is read before each entry. Returns how many were removed.
    static int cleanupTempLeftovers(const QString& folder, const std::atomic_bool* stop);

    // Removes partial snapshots ("<snapshot name>.<pid>.part", the id in
    // 1..INT_MAX) whose writer is gone and which are at least `maxAgeSecs`
    // old; every other "*.part" is left alone. Returns how many.
    static int removeStaleParts(const QString& backupDir, qint64 maxAgeSecs);

    // Copies a snapshot to `target` all or nothing.
    static bool exportSnapshot(const QString& source, const QString& target, QString& error);
};
