#include "backup/backupengine.h"

#include "app/lang.h"
#include "backup/backupscripts.h"
#include "backup/restoreguard.h"
#include "backup/snapshotfiles.h"
#include "backup/zipdirectory.h"
#include "platform/childprocess.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QThread>
#include <QUuid>

#include <mutex>

namespace {

constexpr qint64 kStalePartSecs = 21600;
constexpr int kLockPollMs = 50;
// How long the start-up waits for a killed restore script to be gone.
constexpr int kScriptEndWaitMs = 10000;

const QString kCreateTitle = QStringLiteral("正在创建备份快照…");
const QString kRestoreTitle = QStringLiteral("正在还原快照…");

bool isSet(const std::atomic<bool>* flag)
{
    return flag && flag->load(std::memory_order_relaxed);
}

QString uuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString resolved(const QString& path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(fi.absoluteFilePath()) : canonical;
}

void removeTree(const QString& path, const char* warning)
{
    if (QFileInfo::exists(path) && !QDir(path).removeRecursively())
        qWarning() << warning << path;
}

// Holds the process-wide data-root lock; waits for it while the cancel flag
// stays clear, so a queued backup can still be cancelled.
class DataRootLock {
public:
    explicit DataRootLock(const std::atomic<bool>* cancel)
        : m_lock(restoreguard::dataRootMutex(), std::defer_lock)
    {
        while (!m_lock.try_lock()) {
            if (isSet(cancel))
                return;
            QThread::msleep(kLockPollMs);
        }
    }
    bool held() const { return m_lock.owns_lock(); }
private:
    std::unique_lock<std::mutex> m_lock;
};

// Why no file can be made in `dir` (created when missing), in the system's
// words ("Read-only file system", "Permission denied"); empty when one can.
QString folderWriteProblem(const QString& dir)
{
    QString probeIn = dir;
    if (!QDir().mkpath(dir)) {
        // The reason is found where the folder would have been made.
        QFileInfo up(dir);
        while (!up.exists() && up.absolutePath() != up.absoluteFilePath())
            up = QFileInfo(up.absolutePath());
        probeIn = up.absoluteFilePath();
    }
    QTemporaryFile probe(probeIn + QStringLiteral("/.krvprobe_XXXXXX"));
    if (probe.open())
        return probeIn == dir ? QString() : translate(u"无法创建该目录");
    return probe.errorString();
}

bool hasAnyEntry(const QString& dir)
{
    return !QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty();
}

bool emptyFolder(const QString& dir)
{
    bool ok = true;
    const QFileInfoList entries =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : entries) {
        const bool removed = fi.isDir() && !fi.isSymLink() ? QDir(fi.absoluteFilePath()).removeRecursively()
                                                           : QFile::remove(fi.absoluteFilePath());
        ok = ok && removed;
    }
    return ok;
}

// Bytes free where `path` (or its nearest existing parent) lies.
QStorageInfo volumeOf(const QString& path)
{
    QFileInfo fi(path);
    while (!fi.exists() && !fi.absolutePath().isEmpty() && fi.absoluteFilePath() != fi.absolutePath())
        fi = QFileInfo(fi.absolutePath());
    return QStorageInfo(fi.absoluteFilePath());
}

// Moves an old safety copy out of the way under a stamped name: it is the
// only copy of someone's data and is never deleted unseen (the start-up
// names every such copy to the user).
bool setAsideOldSafetyCopy(const QString& safety)
{
    const QString aside = safety + QLatin1Char('-') + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (QDir().rename(safety, aside)) {
        qWarning() << "restoreSnapshot: earlier safety copy kept as" << aside;
        return true;
    }
    qWarning() << "restoreSnapshot: earlier safety copy could not be set aside:" << safety;
    return false;
}

// The last step of every restore that got as far as a complete safety copy:
// the record says so first, so that a death halfway through the deletion
// is finished at the next start instead of leaving half a copy unrecorded.
void discardSafetyCopy(const QString& dataRoot, const QString& safety, restoreguard::Record record, const QString& phase)
{
    record.state = restoreguard::State::Discarding;
    record.phase = phase;
    if (!restoreguard::writeRecord(dataRoot, record))
        restoreguard::removeRecord(dataRoot);
    if (QFileInfo::exists(safety) && !QDir(safety).removeRecursively()) {
        qWarning() << "restoreSnapshot: failed to clean rollback snapshot:" << safety;
        return;
    }
    restoreguard::removeRecord(dataRoot);
}

// The user's text for a roll-back that could not finish.
QString safetyCopyKeptText(const QString& safety)
{
    return translate(u"未能回滚到还原前的数据，原数据的安全副本保留在 %1").arg(QDir::toNativeSeparators(safety));
}

// Ends what is left of the script of an interrupted restore: nothing may
// write into the data root while it is rolled back. False when a process of
// it could not be ended.
bool endRestoreScript(const restoreguard::Record& record)
{
    if (record.pid <= 0)
        return true;
    const QString phase = record.phase.isEmpty() ? QStringLiteral("?") : record.phase;
    const QString pid = QString::number(record.pid);
    switch (endProcessGroup(record.pid, record.started, kScriptEndWaitMs)) {
    case GroupEnd::Gone:
        qInfo().noquote() << QStringLiteral("interrupted restore: its script (process %1) is no longer running").arg(pid);
        return true;
    case GroupEnd::NotOurs:
        qInfo().noquote() << QStringLiteral("interrupted restore: process id %1 now belongs to another program").arg(pid);
        return true;
    case GroupEnd::Ended:
        qWarning().noquote() << QStringLiteral("interrupted restore: its script (process group %1) was still running "
                                               "in phase %2 and was ended before the roll-back")
                                    .arg(pid, phase);
        return true;
    case GroupEnd::StillAlive:
        break;
    }
    qWarning().noquote()
        << QStringLiteral("interrupted restore: its script (process group %1) could not be ended; roll-back postponed").arg(pid);
    return false;
}

BackupEngine::Recovery finishLocked(const QString& dataRoot, QString* notice)
{
    using Recovery = BackupEngine::Recovery;
    const QString safety = BackupEngine::safetyCopyPath(dataRoot);
    const restoreguard::Record record = restoreguard::readRecord(dataRoot);
    const bool haveCopy = QFileInfo(safety).isDir();
    switch (record.state) {
    case restoreguard::State::None:
        if (!haveCopy)
            return Recovery::NothingToDo;
        qWarning() << "restore safety copy of an earlier run left in place:" << safety;
        return Recovery::SafetyCopyKept;
    case restoreguard::State::Copying:
        // The run died before its script started: the data root was never
        // touched and the copy is incomplete.
        if (haveCopy && !QDir(safety).removeRecursively()) {
            qWarning() << "restoreSnapshot: failed to clean incomplete pre-snapshot:" << safety;
            return Recovery::Failed;
        }
        restoreguard::removeRecord(dataRoot);
        qInfo() << "incomplete restore safety copy removed:" << safety;
        return Recovery::PartialCopyDropped;
    case restoreguard::State::Discarding:
        // The data root was already final; only the deletion was cut short.
        if (haveCopy && !QDir(safety).removeRecursively()) {
            qWarning() << "restore safety copy still cannot be removed:" << safety;
            return Recovery::Failed;
        }
        restoreguard::removeRecord(dataRoot);
        qInfo().noquote() << QStringLiteral("safety copy of a finished restore (%1) removed: %2").arg(record.phase, safety);
        return Recovery::CopyDiscarded;
    case restoreguard::State::Ready:
        break;
    }
    if (!endRestoreScript(record)) {
        if (notice)
            *notice = translate(u"上一次被中断的还原仍有进程无法结束，尚未回滚；原数据的安全副本保留在 %1")
                          .arg(QDir::toNativeSeparators(safety));
        return Recovery::Failed;
    }
    if (!haveCopy) {
        qWarning() << "interrupted restore found but its safety copy is gone:" << safety;
        restoreguard::removeRecord(dataRoot);
        return Recovery::Failed;
    }
    // Without a readable record a backup folder inside the data root is
    // not known, and its snapshots would look like files the restore added:
    // copy back only, delete nothing.
    if (record.damaged)
        qWarning() << "restore state record unreadable; files added by that restore are left in place:" << dataRoot;
    if (!restoreguard::rollBack(dataRoot, safety, record.skipDir, !record.damaged)) {
        qWarning() << "restoreSnapshot: rollback from snapshot failed:" << safety;
        if (notice)
            *notice = safetyCopyKeptText(safety);
        return Recovery::Failed;
    }
    discardSafetyCopy(dataRoot, safety, record, QStringLiteral("rolled back"));
    qWarning().noquote() << QStringLiteral("interrupted restore rolled back (it had reached phase %1): %2")
                                .arg(record.phase.isEmpty() ? QStringLiteral("?") : record.phase, dataRoot);
    return Recovery::RolledBack;
}

QString& recoveryNotice()
{
    static QString text;
    return text;
}

std::mutex& uncarriedMutex()
{
    static std::mutex m;
    return m;
}

// Names left out of snapshots: `told` those already handed to the user,
// `pending` those still to hand out.
QSet<QString>& uncarriedTold()
{
    static QSet<QString> told;
    return told;
}

QStringList& uncarriedPending()
{
    static QStringList pending;
    return pending;
}

void noteLeftOut(const QString& listingPath)
{
    QFile f(listingPath);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const LeftOutEntries left = leftOutEntries(f.readAll());
    for (const QString& path : left.special)
        qInfo() << "createSnapshot: special file left out:" << path;
    std::lock_guard<std::mutex> lock(uncarriedMutex());
    for (const QString& path : left.uncarried) {
        qWarning() << "createSnapshot: name is not valid UTF-8, left out:" << path;
        if (!uncarriedTold().contains(path) && !uncarriedPending().contains(path))
            uncarriedPending() << path;
    }
}

} // namespace

QStringList BackupEngine::takeUncarriedNames()
{
    std::lock_guard<std::mutex> lock(uncarriedMutex());
    const QStringList names = uncarriedPending();
    uncarriedPending().clear();
    for (const QString& name : names)
        uncarriedTold().insert(name);
    return names;
}

QString BackupEngine::safetyCopyPath(const QString& dataRoot)
{
    return QDir::cleanPath(QFileInfo(dataRoot).absoluteFilePath()) + QStringLiteral(".__restore_bak");
}

bool BackupEngine::savesHeld()
{
    return restoreguard::savesHeldCount().load() > 0;
}

void BackupEngine::releaseSaves()
{
    int held = restoreguard::savesHeldCount().load();
    while (held > 0 && !restoreguard::savesHeldCount().compare_exchange_weak(held, held - 1)) {
    }
}

BackupEngine::Recovery BackupEngine::finishInterruptedRestore(const QString& dataRoot)
{
    std::lock_guard<std::mutex> lock(restoreguard::dataRootMutex());
    // The restore named its safety copy after the resolved data root; a data
    // root reached through a link must find the same one.
    const QString root = resolved(dataRoot);
    QString notice;
    const Recovery result = finishLocked(root, &notice);
    if (notice.isEmpty()) {
        const QStringList kept = keptSafetyCopies(root);
        if (!kept.isEmpty()) {
            qWarning() << "restore safety copies kept beside the data root:" << kept;
            notice = translate(u"数据目录旁保留着 %1 份早先还原留下的安全副本（%2），确认不再需要后可删除")
                         .arg(kept.size())
                         .arg(QDir::toNativeSeparators(kept.first()));
        }
    }
    recoveryNotice() = notice;
    return result;
}

QStringList BackupEngine::keptSafetyCopies(const QString& dataRoot)
{
    const QString safety = safetyCopyPath(resolved(dataRoot));
    QStringList kept;
    if (QFileInfo(safety).isDir() && restoreguard::readRecord(resolved(dataRoot)).state == restoreguard::State::None)
        kept << safety;
    const QFileInfo fi(safety);
    const QFileInfoList aside = QDir(fi.absolutePath())
                                    .entryInfoList({ fi.fileName() + QStringLiteral("-*") },
                                                   QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& a : aside) {
        if (!a.isSymLink())
            kept << a.absoluteFilePath();
    }
    return kept;
}

QString BackupEngine::takeRecoveryNotice()
{
    std::lock_guard<std::mutex> lock(restoreguard::dataRootMutex());
    return std::exchange(recoveryNotice(), QString());
}

QString BackupEngine::createSnapshot(const QString& backupDir, const QString& dataRoot, QString& error, bool preRestore,
                                     const BackupProgress& progress, const std::atomic<bool>* cancel, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (isSet(cancel)) {
        markCancelled(error, cancelled);
        return QString();
    }
    const DataRootLock lock(cancel);
    if (!lock.held()) {
        markCancelled(error, cancelled);
        return QString();
    }
    const QString unwritable = folderWriteProblem(backupDir);
    if (!unwritable.isEmpty()) {
        qWarning() << "createSnapshot: backup folder not writable:" << backupDir << unwritable;
        error = translate(u"无法写入备份目录 %1：%2").arg(QDir::toNativeSeparators(backupDir), unwritable);
        return QString();
    }
    removeStaleParts(backupDir, kStalePartSecs);

    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    CreateScriptValues v;
    v.src = resolved(dataRoot);
    v.final = QDir(resolved(backupDir)).filePath(
        (preRestore ? QStringLiteral("Quillory-PreRestore-") : QStringLiteral("Quillory-Auto-")) + stamp + QStringLiteral(".zip"));
    v.dst = v.final + QLatin1Char('.') + QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".part");
    v.tmp = QDir::tempPath() + QStringLiteral("/krvbak_") + uuidText();
    v.prog = QDir::tempPath() + QStringLiteral("/krvbak_prog_") + uuidText() + QStringLiteral(".txt");
    v.skip = nestedFolderToSkip(dataRoot, backupDir);
    v.left = v.prog.chopped(4) + QStringLiteral("-left.txt");
    QFile::remove(v.prog);
    QFile::remove(v.left);
    QFile::remove(v.dst);

    const QString script = writePsScript(createScriptText(v, kRunningDialect));
    if (script.isEmpty()) {
        error = QStringLiteral("无法写入临时脚本");
        QFile::remove(v.prog);
        return QString();
    }
    ProgressReporter reporter(progress, kCreateTitle);
    reporter.report(1);
    const qint64 sourceBytes = treeSizeBytes(v.src, cancel, v.skip);
    auto cleanUp = [&] {
        QFile::remove(script);
        QFile::remove(v.prog);
        QFile::remove(v.left);
        removeTree(v.tmp, "createSnapshot: temp dir cleanup failed:");
    };
    if (isSet(cancel)) {
        cleanUp();
        markCancelled(error, cancelled);
        return QString();
    }
    const bool ok = runPowerShellScript(script, error,
                                        snapshotProgressTick(v.prog, v.tmp, sourceBytes, cancel, &reporter),
                                        snapshotTimeoutMs(sourceBytes), cancel, cancelled);
    if (ok)
        noteLeftOut(v.left);
    cleanUp();
    if (!ok) {
        qWarning() << "createSnapshot: script failed:" << error;
        QFile::remove(v.dst);
        return QString();
    }
    if (!QFileInfo::exists(v.final)) {
        error = QStringLiteral("快照创建失败：未生成 zip 文件");
        QFile::remove(v.dst);
        return QString();
    }
    reporter.report(100);
    return v.final;
}

bool BackupEngine::restoreSnapshot(const QString& zip, const QString& dataRoot, QString& error,
                                   const BackupProgress& progress, const std::atomic<bool>* cancel, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (!QFileInfo(zip).isFile()) {
        error = QStringLiteral("快照文件不存在");
        return false;
    }
    if (isSet(cancel)) {
        markCancelled(error, cancelled);
        return false;
    }
    const DataRootLock lock(cancel);
    if (!lock.held()) {
        markCancelled(error, cancelled);
        return false;
    }
    const QString root = resolved(dataRoot);
    const QString safety = safetyCopyPath(root);
    if (restoreguard::readRecord(root).state != restoreguard::State::None) {
        if (finishLocked(root, nullptr) == Recovery::Failed) {
            error = translate(u"上一次还原未能完成回滚，请检查数据目录旁的安全副本后重试：%1")
                        .arg(QDir::toNativeSeparators(safety));
            return false;
        }
    }

    // The archive's own directory says how much it will unpack to; that,
    // not the size of the zip, bounds the run.
    const ZipDirectorySummary contents = readZipDirectory(zip);
    if (!contents.ok) {
        qWarning() << "restoreSnapshot: unreadable zip:" << zip << contents.error;
        error = QStringLiteral("快照文件已损坏，无法还原");
        return false;
    }
    const qint64 unpacked = static_cast<qint64>(qMin<quint64>(contents.unpackedBytes, quint64(1) << 62));
    const QString skip = nestedFolderToSkip(root, QFileInfo(zip).absolutePath());
    const qint64 rootBytes = QFileInfo(root).isDir() ? treeSizeBytes(root, cancel, skip) : 0;
    const QStorageInfo tempVolume = volumeOf(QDir::tempPath());
    const QStorageInfo rootVolume = volumeOf(root);
    const qint64 needOnRoot = unpacked + rootBytes + (tempVolume == rootVolume ? unpacked : 0);
    const auto short_ = [](const QStorageInfo& v, qint64 need) {
        return v.isValid() && v.bytesAvailable() >= 0 && v.bytesAvailable() < need;
    };
    if (short_(tempVolume, unpacked) || short_(rootVolume, needOnRoot)) {
        qWarning() << "restoreSnapshot: not enough free space, unpacks to" << unpacked << "bytes:" << zip;
        error = QStringLiteral("磁盘空间不足，无法还原此快照（解压后约 %1）").arg(formatSize(unpacked));
        return false;
    }

    RestoreScriptValues v;
    v.zip = QFileInfo(zip).absoluteFilePath();
    v.dst = root;
    v.tmp = QDir::tempPath() + QStringLiteral("/krvrest_") + uuidText();
    v.prog = QDir::tempPath() + QStringLiteral("/krvrest_prog_") + uuidText() + QStringLiteral(".txt");
    v.keep = skip;
    QFile::remove(v.prog);
    const QString script = writePsScript(restoreScriptText(v, kRunningDialect));
    if (script.isEmpty()) {
        error = QStringLiteral("无法写入临时脚本");
        QFile::remove(v.prog);
        return false;
    }
    auto cleanUp = [&] {
        QFile::remove(script);
        QFile::remove(v.prog);
        removeTree(v.tmp, "restoreSnapshot: failed to clean temp dir:");
    };
    ProgressReporter reporter(progress, kRestoreTitle);
    reporter.report(1);
    if (isSet(cancel)) {
        cleanUp();
        markCancelled(error, cancelled);
        return false;
    }

    restoreguard::savesHeldCount().fetch_add(1);
    bool keepHold = false;
    bool haveSafety = false;
    restoreguard::Record record { restoreguard::State::Copying, skip };
    record.phase = QStringLiteral("copying");
    if (QFileInfo(root).isDir() && hasAnyEntry(root)) {
        if (QFileInfo::exists(safety) && !setAsideOldSafetyCopy(safety)) {
            error = QStringLiteral("数据目录旁已有无法移开的安全副本，已中止还原");
            cleanUp();
            restoreguard::savesHeldCount().fetch_sub(1);
            return false;
        }
        bool copied = restoreguard::writeRecord(root, record) && copyDirIfExists(root, safety, cancel, skip);
        record.state = restoreguard::State::Ready;
        record.phase = QStringLiteral("ready");
        copied = copied && restoreguard::writeRecord(root, record);
        if (!copied) {
            qWarning() << "restoreSnapshot: pre-snapshot incomplete, rollback will be skipped:" << root;
            if (isSet(cancel))
                markCancelled(error, cancelled);
            else
                error = QStringLiteral("还原前无法为现有数据建立完整的安全快照，已中止还原以保护数据（请检查磁盘空间，或关闭正在占用数据目录的程序后重试）");
            if (QFileInfo::exists(safety) && !QDir(safety).removeRecursively())
                qWarning() << "restoreSnapshot: failed to clean incomplete pre-snapshot:" << safety;
            else
                restoreguard::removeRecord(root);
            cleanUp();
            restoreguard::savesHeldCount().fetch_sub(1);
            return false;
        }
        haveSafety = true;
    }

    // The record names the script's process group and how far it got, so
    // that a start after a crash ends a script still writing before it
    // rolls back.
    const auto recordStart = [&](qint64 pid) {
        if (!haveSafety)
            return;
        record.pid = pid;
        record.started = processStartTime(pid);
        record.phase = QStringLiteral("extracting");
        restoreguard::writeRecord(root, record);
    };
    const std::function<void()> progressTick = restoreProgressTick(v.prog, &reporter);
    const auto tick = [&] {
        progressTick();
        if (!haveSafety || record.phase != QLatin1String("extracting"))
            return;
        qint64 done = 0;
        qint64 total = 0;
        QChar phase;
        if (readProgressFile(v.prog, done, total, &phase) && phase == QLatin1Char('W')) {
            record.phase = QStringLiteral("writing");
            restoreguard::writeRecord(root, record);
        }
    };

    bool ok = false;
    if (isSet(cancel)) {
        markCancelled(error, cancelled);
    } else {
        ok = runPowerShellScript(script, error, tick, snapshotTimeoutMs(unpacked), cancel, cancelled, recordStart);
    }

    if (!ok) {
        qWarning() << "restoreSnapshot: run failed:" << error;
        static const QLatin1String linkRefused("restore target is a symbolic link: ");
        if (error.startsWith(linkRefused))
            error = translate(u"数据目录中的 %1 是符号链接，还原不会写入链接指向的位置，已中止还原")
                        .arg(error.mid(linkRefused.size()));
        if (haveSafety && !QFileInfo(safety).isDir()) {
            qWarning() << "restoreSnapshot: safety copy vanished during the run:" << safety;
            restoreguard::removeRecord(root);
        } else if (haveSafety) {
            if (restoreguard::rollBack(root, safety, skip)) {
                discardSafetyCopy(root, safety, record, QStringLiteral("rolled back"));
            } else {
                qWarning() << "restoreSnapshot: rollback from snapshot failed:" << safety;
                error += QStringLiteral("；") + safetyCopyKeptText(safety);
                keepHold = true;
            }
        } else {
            if (!emptyFolder(root)) {
                qWarning() << "restoreSnapshot: failed to clean partial first-install data:" << root;
                error += QStringLiteral("（部分临时数据可能未清除，请检查数据目录后重试）");
            }
        }
    } else {
        keepHold = true; // until the caller has loaded the restored files
        if (haveSafety)
            discardSafetyCopy(root, safety, record, QStringLiteral("restored"));
    }
    cleanUp();
    if (!keepHold)
        restoreguard::savesHeldCount().fetch_sub(1);
    if (ok)
        reporter.report(100);
    return ok;
}
