#include "backup/backupoperation.h"

#include "app/lang.h"
#include "backup/backupengine.h"
#include "backup/backupprogressdialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <mutex>

namespace {

constexpr int kStopStepMs = 40;
constexpr int kPreRestoreShare = 45;

// Every worker started and not yet returned, with its cancel flag: the exit
// must reach them even after their runner and its page are gone.
struct RunningOp {
    QFuture<BackupResult> future;
    std::shared_ptr<std::atomic<bool>> cancel;
};

std::mutex& runningOpsMutex()
{
    static std::mutex m;
    return m;
}

QList<RunningOp>& runningOps()
{
    static QList<RunningOp> ops;
    return ops;
}

void registerRunningOp(const QFuture<BackupResult>& future, const std::shared_ptr<std::atomic<bool>>& cancel)
{
    const std::lock_guard<std::mutex> lock(runningOpsMutex());
    QList<RunningOp>& ops = runningOps();
    ops.removeIf([](const RunningOp& op) { return op.future.isFinished(); });
    ops.append({ future, cancel });
}

// Posts one report to the GUI thread; it reaches the card only if the card
// still exists by then.
BackupProgress forwarderTo(QPointer<BackupProgressDialog> dialog)
{
    return [dialog](int percent, const QString& text) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [dialog, percent, text] {
                if (dialog)
                    dialog->setProgress(percent, text);
            },
            Qt::QueuedConnection);
    };
}

} // namespace

QString backupOpLabel(int op)
{
    static const QString labels[4] = {
        QString(),
        translate("正在创建备份快照…"),
        translate("正在还原快照…"),
        translate("正在导出备份…"),
    };
    return labels[std::clamp(op, 0, 3)];
}

QString uncarriedNamesNotice(const QStringList& names)
{
    if (names.isEmpty())
        return QString();
    return translate("%1 个文件或文件夹的名称不是有效的 UTF-8，无法存入快照，已跳过：%2")
        .arg(names.size())
        .arg(QDir::toNativeSeparators(names.first()));
}

int rangedPercent(int lo, int hi, int percent)
{
    return lo + std::clamp(percent, 0, 100) * (hi - lo) / 100;
}

BackupResult runBackupOperation(const BackupOpRequest& r, const BackupProgress& progress,
                                const std::atomic<bool>* cancel)
{
    BackupResult result;
    QString error;
    bool cancelled = false;
    const auto ranged = [&progress](int lo, int hi) -> BackupProgress {
        if (!progress)
            return {};
        return [progress, lo, hi](int p, const QString& text) { progress(rangedPercent(lo, hi, p), text); };
    };
    switch (r.op) {
    case int(BackupOp::Create): {
        const QString zip = BackupEngine::createSnapshot(r.backupDir, r.dataDir, error, false, progress, cancel, &cancelled);
        if (!zip.isEmpty())
            BackupEngine::purgeOld(r.backupDir, r.retain);
        result.ok = !zip.isEmpty();
        result.notice = uncarriedNamesNotice(BackupEngine::takeUncarriedNames());
        result.message = error;
        result.cancelled = cancelled;
        return result;
    }
    case int(BackupOp::Restore): {
        result.restoreOp = true;
        const QString pre = BackupEngine::createSnapshot(r.backupDir, r.dataDir, error, true,
                                                         ranged(0, kPreRestoreShare), cancel, &cancelled);
        result.notice = uncarriedNamesNotice(BackupEngine::takeUncarriedNames());
        if (cancelled) {
            result.message = error;
            result.cancelled = true;
            return result;
        }
        if (pre.isEmpty()) {
            result.message = error.isEmpty() ? translate("还原前快照创建失败，已中止还原") : error;
            return result;
        }
        result.ok = BackupEngine::restoreSnapshot(r.source, r.dataDir, error, ranged(kPreRestoreShare, 100), cancel,
                                                  &cancelled);
        // Only now: with the keep limit reached, a purge before the restore
        // could remove the very snapshot the user chose.
        BackupEngine::purgeOld(r.backupDir, r.retain, r.source);
        result.message = error;
        result.cancelled = cancelled;
        return result;
    }
    case int(BackupOp::Export):
        result.ok = BackupEngine::exportSnapshot(r.source, r.target, error);
        result.message = error;
        return result;
    default:
        result.message = r.opFailText;
        return result;
    }
}

BackupOperationRunner::BackupOperationRunner(FinishedCallback onFinished, QObject* parent)
    : QObject(parent), finishedCallback(std::move(onFinished))
{
}

BackupOperationRunner::~BackupOperationRunner()
{
    if (cancelFlag)
        cancelFlag->store(true);
    // The watcher has no parent so that a result arriving after this object
    // is gone finds nobody to call; it is released here, its task runs on.
    if (watcher) {
        watcher->disconnect();
        watcher->deleteLater();
    }
}

bool BackupOperationRunner::start(BackupOpRequest request, QWidget* progressParent)
{
    if (busy)
        return false;
    busy = true;
    lastOperation = request.op;
    auto flag = std::make_shared<std::atomic<bool>>(false);
    cancelFlag = flag;

    if (progress) {
        progress->deleteLater();
        progress = nullptr;
    }
    auto* dialog = new BackupProgressDialog(progressParent, backupOpLabel(request.op), [flag] { flag->store(true); });
    progress = dialog;
    dialog->show();
    const QPointer<BackupProgressDialog> guard(dialog);

    if (watcher)
        watcher->deleteLater();
    auto* w = new QFutureWatcher<BackupResult>();
    watcher = w;
    const QPointer<BackupOperationRunner> self(this);
    connect(w, &QFutureWatcherBase::finished, w, [self, w] {
        const BackupResult result = w->future().result();
        w->deleteLater();
        if (!self)
            return;
        if (self->watcher == w)
            self->watcher = nullptr;
        self->handleFinished(result);
    });
    const BackupProgress report = forwarderTo(guard);
    const QFuture<BackupResult> future =
        QtConcurrent::run(QThreadPool::globalInstance(), [request = std::move(request), report, flag] {
            return runBackupOperation(request, report, flag.get());
        });
    registerRunningOp(future, flag);
    w->setFuture(future);
    return true;
}

void BackupOperationRunner::handleFinished(const BackupResult& result)
{
    busy = false;
    if (progress) {
        progress->hide();
        progress->deleteLater();
        progress = nullptr;
    }
    cancelFlag.reset();
    if (finishedCallback)
        finishedCallback(result);
}

void BackupOperationRunner::stop(int budgetMs)
{
    if (cancelFlag)
        cancelFlag->store(true);
    if (!watcher || !watcher->isRunning())
        return;
    QElapsedTimer clock;
    clock.start();
    while (watcher && watcher->isRunning() && clock.elapsed() < budgetMs)
        QThread::msleep(kStopStepMs);
    if (watcher && watcher->isRunning())
        qWarning() << "settings backup worker still running on exit; cancel requested";
}

bool BackupOperationRunner::stopAll(int budgetMs)
{
    QList<RunningOp> ops;
    {
        const std::lock_guard<std::mutex> lock(runningOpsMutex());
        ops = runningOps();
    }
    for (const RunningOp& op : std::as_const(ops))
        op.cancel->store(true);
    const auto allFinished = [&ops] {
        return std::all_of(ops.cbegin(), ops.cend(), [](const RunningOp& op) { return op.future.isFinished(); });
    };
    QElapsedTimer clock;
    clock.start();
    while (!allFinished() && clock.elapsed() < budgetMs)
        QThread::msleep(kStopStepMs);
    if (allFinished())
        return true;
    qWarning() << "backup operation still running on exit; cancel requested, its script ends with the process";
    return false;
}
