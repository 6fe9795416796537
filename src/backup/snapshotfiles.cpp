#include "backup/snapshotfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr QDir::Filters kEntries = QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot;

bool cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

QString joined(const QString& root, const QString& relative)
{
    return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
}

QString childRelative(const QString& relativeFolder, const QString& name)
{
    return relativeFolder.isEmpty() ? name : relativeFolder + QLatin1Char('/') + name;
}

// The one walk behind the size, the copy and the listing: calls `onFile`
// for every file and `onFolder` for every folder the rules let through;
// either returning false ends the walk with false.
template <typename OnFolder, typename OnFile>
bool walkData(const QString& root, const QString& relativeFolder, const QString& skipDir, bool filter,
              OnFolder&& onFolder, OnFile&& onFile)
{
    const QFileInfoList entries = QDir(joined(root, relativeFolder)).entryInfoList(kEntries, QDir::Unsorted);
    for (const QFileInfo& fi : entries) {
        if (fi.isSymLink())
            continue;
        const QString rel = childRelative(relativeFolder, fi.fileName());
        if (fi.isDir()) {
            if (filter && (isExcludedTopLevelName(fi.fileName()) || fi.absoluteFilePath() == skipDir))
                continue;
            if (!onFolder(rel) || !walkData(root, rel, skipDir, filter, onFolder, onFile))
                return false;
        } else if (fi.isFile()) {
            if (filter && isExcludedRelativePath(rel))
                continue;
            if (!onFile(rel, fi))
                return false;
        }
    }
    return true;
}

// Walks start from the resolved root so that a skipped folder, given by its
// canonical path, is recognised by plain comparison (links are never
// followed below the root).
QString walkRoot(const QString& root)
{
    const QString canonical = QFileInfo(root).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(root).absoluteFilePath()) : canonical;
}

} // namespace

bool isExcludedTopLevelName(const QString& name)
{
    for (const char* excluded : { "logs", "cache", "Backups", ".__restore_bak" }) {
        if (name.compare(QLatin1String(excluded), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isExcludedRelativePath(const QString& relativePath)
{
    QString path = relativePath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return false;
    for (int i = 0; i + 1 < parts.size(); ++i) {
        for (const char* excluded : { "logs", "cache", "Backups" }) {
            if (parts[i].compare(QLatin1String(excluded), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return parts.last().endsWith(QLatin1String(".log"), Qt::CaseInsensitive);
}

int snapshotTimeoutMs(qint64 bytes)
{
    const double seconds = 120.0 + static_cast<double>(qMax<qint64>(0, bytes)) / 8388608.0;
    if (seconds > 14400.0)
        return 14400000;
    if (seconds > 120.0)
        return static_cast<int>(seconds * 1000.0);
    return 120000;
}

qint64 treeSizeBytes(const QString& root, const std::atomic<bool>* cancel, const QString& skipDir)
{
    qint64 sum = 0;
    qint64 seen = 0;
    walkData(walkRoot(root), QString(), skipDir, true, [](const QString&) { return true; },
             [&](const QString&, const QFileInfo& fi) {
                 if (++seen % 256 == 0 && cancelled(cancel))
                     return false;
                 sum += fi.size();
                 return true;
             });
    return sum;
}

bool copyTreeFiltered(const QString& sourceRoot, const QString& targetRoot, const QString& relativeFolder,
                      bool filter, const std::atomic<bool>* cancel, const QString& skipDir)
{
    const QString source = walkRoot(sourceRoot);
    if (!QDir().mkpath(joined(targetRoot, relativeFolder)))
        return false;
    return walkData(
        source, relativeFolder, skipDir, filter,
        [&](const QString& rel) { return !cancelled(cancel) && QDir().mkpath(joined(targetRoot, rel)); },
        [&](const QString& rel, const QFileInfo& fi) {
            if (cancelled(cancel))
                return false;
            const QString target = joined(targetRoot, rel);
            if (QFileInfo::exists(target) && !QFile::remove(target))
                return false;
            return QFile::copy(fi.absoluteFilePath(), target);
        });
}

bool copyDirIfExists(const QString& source, const QString& target, const std::atomic<bool>* cancel,
                     const QString& skipDir)
{
    if (!QFileInfo(source).isDir())
        return false;
    return copyTreeFiltered(QFileInfo(source).absoluteFilePath(), QFileInfo(target).absoluteFilePath(), QString(),
                            true, cancel, skipDir);
}

void collectDataFiles(const QString& root, const QString& relativeFolder, QStringList& out, const QString& skipDir)
{
    walkData(walkRoot(root), relativeFolder, skipDir, true, [](const QString&) { return true; },
             [&](const QString&, const QFileInfo& fi) {
                 out.append(fi.absoluteFilePath());
                 return true;
             });
}

QString nestedFolderToSkip(const QString& dataRoot, const QString& folder)
{
    const QString root = QFileInfo(dataRoot).canonicalFilePath();
    const QString inner = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || inner.isEmpty() || !inner.startsWith(root + QLatin1Char('/')))
        return QString();
    return inner;
}

void markCancelled(QString& error, bool* cancelledFlag)
{
    if (cancelledFlag)
        *cancelledFlag = true;
    error = QStringLiteral("已取消");
}

QString formatSize(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" B");
    if (bytes < 1048576)
        return QString::number(bytes / 1024) + QStringLiteral(" KB");
    return QString::number(static_cast<double>(bytes) / 1048576.0, 'f', 1) + QStringLiteral(" MB");
}
