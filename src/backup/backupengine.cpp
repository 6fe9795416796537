#include "backup/backupengine.h"

#include "platform/process.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr qint64 kLeftoverAgeSecs = 86400;

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

    const QFileInfoList folders = dir.entryInfoList({ QStringLiteral("krvbak_*"), QStringLiteral("krvrest_*") },
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
