#include "backup/backupengine.h"

#include "backup/backupscripts.h"
#include "backup/restoreguard.h"
#include "backup/snapshotfiles.h"
#include "backup/zipdirectory.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QThread>
#include <QUuid>

#include <mutex>

namespace {

constexpr qint64 kStalePartSecs = 21600;
constexpr int kLockPollMs = 50;

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
// only copy of someone's data and is never deleted unseen.
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

BackupEngine::Recovery finishLocked(const QString& dataRoot)
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
    case restoreguard::State::Ready:
        break;
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
        return Recovery::Failed;
    }
    restoreguard::removeRecord(dataRoot);
    if (!QDir(safety).removeRecursively())
        qWarning() << "restoreSnapshot: failed to clean rollback snapshot:" << safety;
    qWarning() << "interrupted restore rolled back:" << dataRoot;
    return Recovery::RolledBack;
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
    return finishLocked(resolved(dataRoot));
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
    QDir().mkpath(backupDir);
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
        if (finishLocked(root) == Recovery::Failed) {
            error = QStringLiteral("上一次还原未能完成回滚，请检查数据目录旁的安全副本后重试");
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
    if (QFileInfo(root).isDir() && hasAnyEntry(root)) {
        if (QFileInfo::exists(safety) && !setAsideOldSafetyCopy(safety)) {
            error = QStringLiteral("数据目录旁已有无法移开的安全副本，已中止还原");
            cleanUp();
            restoreguard::savesHeldCount().fetch_sub(1);
            return false;
        }
        const bool copied = restoreguard::writeRecord(root, { restoreguard::State::Copying, skip })
            && copyDirIfExists(root, safety, cancel, skip)
            && restoreguard::writeRecord(root, { restoreguard::State::Ready, skip });
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

    bool ok = false;
    if (isSet(cancel)) {
        markCancelled(error, cancelled);
    } else {
        ok = runPowerShellScript(script, error, restoreProgressTick(v.prog, &reporter), snapshotTimeoutMs(unpacked),
                                 cancel, cancelled);
    }

    bool dropSafety = true;
    if (!ok) {
        qWarning() << "restoreSnapshot: run failed:" << error;
        if (haveSafety && QFileInfo(safety).isDir()) {
            if (!restoreguard::rollBack(root, safety, skip)) {
                qWarning() << "restoreSnapshot: rollback from snapshot failed:" << safety;
                dropSafety = false;
                keepHold = true;
            }
        } else if (!haveSafety) {
            if (!emptyFolder(root)) {
                qWarning() << "restoreSnapshot: failed to clean partial first-install data:" << root;
                error += QStringLiteral("（部分临时数据可能未清除，请检查数据目录后重试）");
            }
            dropSafety = false;
        }
    } else {
        keepHold = true; // until the caller has loaded the restored files
    }
    if (dropSafety && haveSafety) {
        restoreguard::removeRecord(root);
        if (QFileInfo::exists(safety) && !QDir(safety).removeRecursively())
            qWarning() << "restoreSnapshot: failed to clean rollback snapshot:" << safety;
    }
    cleanUp();
    if (!keepHold)
        restoreguard::savesHeldCount().fetch_sub(1);
    if (ok)
        reporter.report(100);
    return ok;
}
