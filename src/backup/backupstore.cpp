#include "backup/backupengine.h"

#include "platform/childprocess.h"
#include "platform/process.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kLeftoverAgeSecs = 86400;
constexpr qint64 kExportBlock = 65536;

const QRegularExpression& snapshotNamePattern()
{
    static const QRegularExpression re(
        QStringLiteral("^(?:Quillory-(?:Auto|PreRestore)|Tarnavel-PreRestore)-(\\d{8}-\\d{6})(?:-(\\d{3}))?\\.zip$"));
    return re;
}

// Snapshot names carry milliseconds; names made to the second (by hand, or
// by sample data) are ours too and count as the start of that second.
QDateTime snapshotStamp(const QRegularExpressionMatch& m)
{
    if (!m.hasMatch())
        return QDateTime();
    const QString ms = m.captured(2).isEmpty() ? QStringLiteral("000") : m.captured(2);
    return QDateTime::fromString(m.captured(1) + QLatin1Char('-') + ms, QStringLiteral("yyyyMMdd-HHmmss-zzz"));
}

// The temporary folder is shared: what another user put there under one of
// our names is not a leftover of ours, and a folder of theirs could be
// swapped for a link between the check and the removal.
bool ownedByThisUser(const QFileInfo& fi)
{
    return QString::number(fi.ownerId()) == currentUserKey();
}

bool stopRequested(const std::atomic_bool* stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

} // namespace

QString BackupEngine::backupsDir(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("/Backups");
}

bool BackupEngine::isSnapshotFileName(const QString& fileName)
{
    return snapshotStamp(snapshotNamePattern().match(fileName)).isValid();
}

QList<BackupEngine::SnapshotInfo> BackupEngine::listSnapshots(const QString& backupDir)
{
    QList<SnapshotInfo> list;
    const QDir dir(backupDir);
    if (!dir.exists())
        return list;
    const QFileInfoList files = dir.entryInfoList({ QStringLiteral("*.zip") }, QDir::Files, QDir::Unsorted);
    for (const QFileInfo& fi : files) {
        // A copied-in file keeps the stamp of its name, whatever its birth
        // time on this disk says, so the order follows the name.
        const QDateTime time = snapshotStamp(snapshotNamePattern().match(fi.fileName()));
        if (!time.isValid())
            continue;
        SnapshotInfo info;
        info.path = fi.absoluteFilePath();
        info.fileName = fi.fileName();
        info.time = time;
        info.size = fi.size();
        info.preRestore = info.fileName.startsWith(QLatin1String("Quillory-PreRestore"))
            || info.fileName.startsWith(QLatin1String("Tarnavel-PreRestore"));
        list.append(info);
    }
    std::sort(list.begin(), list.end(), [](const SnapshotInfo& a, const SnapshotInfo& b) {
        if (a.time != b.time)
            return a.time > b.time;
        return a.fileName > b.fileName;
    });
    return list;
}

void BackupEngine::purgeOld(const QString& backupDir, int keep, const QString& spare)
{
    if (keep <= 0)
        return;
    const QList<SnapshotInfo> list = listSnapshots(backupDir);
    const QString spared = spare.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(spare).absoluteFilePath());
    int failed = 0;
    for (int i = keep; i < list.size(); ++i) {
        if (!spared.isEmpty() && QDir::cleanPath(QFileInfo(list[i].path).absoluteFilePath()) == spared)
            continue;
        if (!QFile::remove(list[i].path)) {
            qWarning() << "purgeOld: remove failed:" << list[i].path;
            ++failed;
        }
    }
    if (failed > 0)
        qWarning() << "purgeOld:" << failed << "old snapshot(s) could not be removed";
}

int BackupEngine::cleanupTempLeftovers(const QString& folder, const std::atomic_bool* stop)
{
    const QDir dir(folder.isEmpty() ? QDir::tempPath() : folder);
    if (!dir.exists())
        return 0;
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-kLeftoverAgeSecs);
    int removed = 0;
    auto report = [&removed] {
        if (removed > 0)
            qInfo() << "temp backup leftovers cleaned:" << removed;
        return removed;
    };

    const QFileInfoList folders = dir.entryInfoList({ QStringLiteral("krvbak_*"), QStringLiteral("krvrest_*"), QStringLiteral("krvps_*") },
                                                    QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& fi : folders) {
        if (stopRequested(stop))
            return report();
        // A link named like a leftover is not ours to follow and empty.
        if (fi.isSymLink() || !ownedByThisUser(fi) || fi.lastModified() >= cutoff)
            continue;
        if (QDir(fi.absoluteFilePath()).removeRecursively())
            ++removed;
        else
            qWarning() << "cleanupTempLeftovers: failed to remove dir:" << fi.absoluteFilePath();
    }

    const QFileInfoList files = dir.entryInfoList(
        { QStringLiteral("krvbk_*.ps1"), QStringLiteral("krvbak_prog_*.txt"), QStringLiteral("krvrest_prog_*.txt") },
        QDir::Files, QDir::Unsorted);
    for (const QFileInfo& fi : files) {
        if (stopRequested(stop))
            return report();
        if (ownedByThisUser(fi) && fi.lastModified() < cutoff && QFile::remove(fi.absoluteFilePath()))
            ++removed;
    }
    return report();
}

int BackupEngine::removeStaleParts(const QString& backupDir, qint64 maxAgeSecs)
{
    const QDir dir(backupDir);
    if (!dir.exists())
        return 0;
    // The backup folder may be one the user keeps other things in (a
    // downloads folder): only a snapshot name followed by a writer's process
    // id is ours; any other "*.part" belongs to someone else.
    static const QRegularExpression partName(QStringLiteral("^(.+)\\.([0-9]{1,10})\\.part$"));
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 ownPid = QCoreApplication::applicationPid();
    int removed = 0;
    const QFileInfoList files = dir.entryInfoList({ QStringLiteral("*.part") }, QDir::Files, QDir::Unsorted);
    for (const QFileInfo& fi : files) {
        const QRegularExpressionMatch m = partName.match(fi.fileName());
        if (!m.hasMatch() || !isSnapshotFileName(m.captured(1)))
            continue;
        // No process of ours can carry an id outside this range.
        const qint64 pid = m.captured(2).toLongLong();
        if (pid < 1 || pid > std::numeric_limits<int>::max())
            continue;
        if (pid == ownPid || isProcessAlive(pid))
            continue;
        const QDateTime modified = fi.lastModified();
        if (modified.isValid() && modified.secsTo(now) < maxAgeSecs)
            continue;
        if (QFile::remove(fi.absoluteFilePath())) {
            qInfo() << "stale backup part removed:" << fi.absoluteFilePath();
            ++removed;
        }
    }
    return removed;
}

bool BackupEngine::exportSnapshot(const QString& source, const QString& target, QString& error)
{
    if (!QFileInfo(source).isFile()) {
        error = QStringLiteral("快照文件不存在");
        return false;
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        error = QStringLiteral("导出失败，目标目录不可写");
        return false;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("导出失败，无法读取快照文件");
        return false;
    }
    // Streamed in blocks through a save-file: a snapshot may be far larger
    // than what should be held in memory, and the old target must survive
    // any failure.
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("导出失败，请检查目标路径是否可写");
        return false;
    }
    QByteArray block;
    while (!in.atEnd()) {
        block = in.read(kExportBlock);
        if (block.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            error = QStringLiteral("导出失败，读取快照出错");
            return false;
        }
        if (block.isEmpty())
            break;
        if (out.write(block) != block.size()) {
            out.cancelWriting();
            error = QStringLiteral("导出失败，请检查磁盘空间");
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        out.cancelWriting();
        error = QStringLiteral("导出失败，读取快照出错");
        return false;
    }
    if (!out.commit()) {
        error = QStringLiteral("导出失败，写入被拦截");
        return false;
    }
    return true;
}
