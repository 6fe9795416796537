#include "backup/autobackup.h"

#include "backup/backupengine.h"

QString backupFolderFor(const QString& backupDirSetting, const QString& dataRoot)
{
    return backupDirSetting.isEmpty() ? BackupEngine::backupsDir(dataRoot) : backupDirSetting;
}

bool isAutoBackupDue(const QString& lastAt, int intervalDays, const QDateTime& now)
{
    const QDateTime last = QDateTime::fromString(lastAt, Qt::ISODate);
    if (!last.isValid())
        return true;
    return last.addDays(intervalDays) <= now;
}

QString runAutoBackup(const QString& dataRoot, const QString& backupDir, int keep,
                      std::shared_ptr<std::atomic<bool>> cancel)
{
    QString error;
    bool cancelled = false;
    const QString zip = BackupEngine::createSnapshot(backupDir, dataRoot, error, false, {}, cancel.get(), &cancelled);
    if (!zip.isEmpty()) {
        if (!cancel->load())
            BackupEngine::purgeOld(backupDir, keep);
        return QString();
    }
    return cancelled ? QString() : error;
}
