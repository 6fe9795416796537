#include "backup/restoreguard.h"

#include "app/configsafety.h"
#include "backup/backupengine.h"
#include "backup/snapshotfiles.h"
#include "platform/regularfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace restoreguard {

namespace {

constexpr qint64 kMaxRecordBytes = 64 * 1024;

void collectFolders(const QString& root, const QString& relative, const QString& skipDir, QStringList& out)
{
    const QString here = relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
    const QFileInfoList dirs = QDir(here).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : dirs) {
        if (fi.isSymLink() || isExcludedTopLevelName(fi.fileName()) || fi.absoluteFilePath() == skipDir)
            continue;
        const QString rel = relative.isEmpty() ? fi.fileName() : relative + QLatin1Char('/') + fi.fileName();
        out.append(rel);
        collectFolders(root, rel, skipDir, out);
    }
}

} // namespace

QString recordPath(const QString& dataRoot)
{
    return BackupEngine::safetyCopyPath(dataRoot) + QStringLiteral(".state");
}

Record readRecord(const QString& dataRoot)
{
    Record record;
    const RegularFileRead read = readRegularFile(recordPath(dataRoot), kMaxRecordBytes);
    if (read.status == RegularFileRead::Missing)
        return record;
    const QJsonObject o = QJsonDocument::fromJson(read.bytes).object();
    const QString state = o.value(QStringLiteral("state")).toString();
    // A record that cannot be read is taken as the riskier state: the run
    // may have started writing.
    if (state == QLatin1String("copying"))
        record.state = State::Copying;
    else if (state == QLatin1String("discarding"))
        record.state = State::Discarding;
    else
        record.state = State::Ready;
    record.damaged = record.state == State::Ready && state != QLatin1String("ready");
    record.skipDir = o.value(QStringLiteral("skip")).toString();
    record.pid = static_cast<qint64>(o.value(QStringLiteral("pid")).toDouble());
    record.started = o.value(QStringLiteral("started")).toString().toULongLong();
    record.phase = o.value(QStringLiteral("phase")).toString();
    return record;
}

bool writeRecord(const QString& dataRoot, const Record& record)
{
    QJsonObject o;
    const char* state = record.state == State::Copying      ? "copying"
                        : record.state == State::Discarding ? "discarding"
                                                            : "ready";
    o.insert(QStringLiteral("state"), QLatin1String(state));
    o.insert(QStringLiteral("skip"), record.skipDir);
    if (record.pid > 0) {
        o.insert(QStringLiteral("pid"), static_cast<double>(record.pid));
        // Clock ticks may exceed what a JSON number carries exactly.
        o.insert(QStringLiteral("started"), QString::number(record.started));
    }
    if (!record.phase.isEmpty())
        o.insert(QStringLiteral("phase"), record.phase);
    QString error;
    if (!saveFileAtomically(recordPath(dataRoot), QJsonDocument(o).toJson(QJsonDocument::Compact), &error)) {
        qWarning() << "restoreSnapshot: state record not written:" << error;
        return false;
    }
    return true;
}

bool removeRecord(const QString& dataRoot)
{
    const QString path = recordPath(dataRoot);
    return !QFileInfo::exists(path) || QFile::remove(path);
}

bool isCrashRecord(const QString& relativePath)
{
    if (relativePath.contains(QLatin1Char('/')))
        return false;
    return relativePath.compare(QLatin1String("crash.log"), Qt::CaseInsensitive) == 0
        || (relativePath.startsWith(QLatin1String("crash-"), Qt::CaseInsensitive)
            && relativePath.endsWith(QLatin1String(".dmp"), Qt::CaseInsensitive));
}

bool rollBack(const QString& dataRoot, const QString& safetyCopy, const QString& skipDir, bool removeAdded)
{
    const QString root = QFileInfo(dataRoot).canonicalFilePath().isEmpty() ? dataRoot
                                                                           : QFileInfo(dataRoot).canonicalFilePath();
    QStringList files;
    if (removeAdded)
        collectDataFiles(root, QString(), files, skipDir);
    for (const QString& file : files) {
        const QString rel = file.mid(root.size() + 1);
        if (isCrashRecord(rel))
            continue;
        if (!QFileInfo(safetyCopy + QLatin1Char('/') + rel).isFile() && !QFile::remove(file))
            qWarning() << "restoreSnapshot: failed to remove unrolled file:" << file;
    }
    const bool copied = copyDirIfExists(safetyCopy, root, nullptr, skipDir);
    // Folders the run created; deepest first so that nested ones go too.
    QStringList folders;
    if (removeAdded)
        collectFolders(root, QString(), skipDir, folders);
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& rel : folders) {
        if (!QFileInfo(safetyCopy + QLatin1Char('/') + rel).isDir())
            QDir(root).rmdir(rel);
    }
    return copied;
}

std::mutex& dataRootMutex()
{
    static std::mutex m;
    return m;
}

std::atomic<int>& savesHeldCount()
{
    // The configuration writers refuse to save while this is held.
    return configSaveHolds();
}

} // namespace restoreguard
