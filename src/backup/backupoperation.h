#pragma once

#include "backup/backupprogressdialog.h"
#include "backup/scriptrunner.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QWidget;
template <typename T> class QFutureWatcher;

// The long operations a settings page starts on demand: make a snapshot now,
// restore one (after a pre-restore snapshot) and export one. They run one at
// a time on the global thread pool behind a BackupProgressDialog.

enum class BackupOp { Create = 1, Restore = 2, Export = 3 };

// What an operation's worker gives back, copied to the GUI thread.
struct BackupResult {
    bool ok = false;
    QString message;    // the engine's error text, may be empty
    bool restoreOp = false;
    bool cancelled = false;
    QString notice;     // what the user should also be told, see uncarriedNamesNotice
};

struct BackupOpRequest {
    int op = 0;            // a BackupOp value; any other fails with opFailText
    QString dataDir;
    QString backupDir;
    QString source;        // the snapshot, for restore and export
    QString target;        // the export's destination
    int retain = 10;
    QString opFailText;    // taken on the GUI thread: translate("未知操作")
};

// The progress label of `op` (translated once, kept for the process): empty,
// "正在创建备份快照…", "正在还原快照…", "正在导出备份…" for 0..3 (clamped).
QString backupOpLabel(int op);

// The user's text about entries left out of a snapshot because their names
// cannot be stored (BackupEngine::takeUncarriedNames); empty for none.
QString uncarriedNamesNotice(const QStringList& names);

// `percent` (clamped to 0..100) mapped into lo..hi.
int rangedPercent(int lo, int hi, int percent);

// The worker: runs on a pool thread and touches only its arguments. A
// restore first makes a pre-restore snapshot (0..45 % of the bar), then
// restores (45..100 %); a failed or cancelled pre-restore snapshot restores
// nothing. Old snapshots are purged after the restore, never its source. An
// export takes no cancel flag.
BackupResult runBackupOperation(const BackupOpRequest& request, const BackupProgress& progress,
                                const std::atomic<bool>* cancel);

// Runs the operations of one settings page: one at a time, each behind its
// progress card, progress posted back to the GUI thread, the result handed
// to `onFinished` only while this object lives. Destroying it raises the
// cancel flag of a running operation, whose result is then dropped.
class BackupOperationRunner : public QObject {
public:
    using FinishedCallback = std::function<void(const BackupResult& result)>;

    explicit BackupOperationRunner(FinishedCallback onFinished, QObject* parent = nullptr);
    ~BackupOperationRunner() override;

    // Starts `request`; false (and nothing changes) while one runs. The
    // progress card is a child of `progressParent` and is shown at once.
    bool start(BackupOpRequest request, QWidget* progressParent);

    // The exit hook: raises the cancel flag and waits at most `budgetMs`
    // on the GUI thread for the worker (no events processed meanwhile).
    void stop(int budgetMs);

    // The same for every operation any runner started whose worker has not
    // returned, its runner destroyed or not: a cancelled restore rolls the
    // data root back before its worker returns. True when all returned.
    static bool stopAll(int budgetMs);

    bool isBusy() const { return busy; }
    int lastOp() const { return lastOperation; }
    BackupProgressDialog* progressDialog() const { return progress; }

private:
    void handleFinished(const BackupResult& result);

    FinishedCallback finishedCallback;
    bool busy = false;
    int lastOperation = 0;
    std::shared_ptr<std::atomic<bool>> cancelFlag;
    QPointer<BackupProgressDialog> progress;
    QFutureWatcher<BackupResult>* watcher = nullptr;
};
