#include "app/configsafety.h"

#include "app/lang.h"
#include "platform/regularfile.h"

#include <QDebug>
#include <QDir>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTimer>

namespace {

// Damaged files that are still in place; GUI thread only, like the loaders.
QSet<QString>& blockedPaths()
{
    static QSet<QString> paths;
    return paths;
}

QString blockKey(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString stampedName(const QString& path, const QDateTime& at)
{
    return path + QStringLiteral(".corrupt-") + at.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
}

} // namespace

AtomicSave saveFileAtomicallyDetailed(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Writing in place would leave a half-written file behind on failure.
    file.setDirectWriteFallback(false);
    // The save keeps the mode of the file it replaces; a new file is private
    // to the user, whatever the umask would give it.
    const bool fresh = pathKind(path) == PathKind::None;
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("cannot open for writing: ") + file.errorString();
        return AtomicSave::OpenFailed;
    }
    if (fresh && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        if (error)
            *error = QStringLiteral("cannot make private: ") + file.errorString();
        file.cancelWriting();
        return AtomicSave::OpenFailed;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        if (error)
            *error = QStringLiteral("short write (%1 of %2 bytes): %3")
                         .arg(written).arg(bytes.size()).arg(file.errorString());
        file.cancelWriting();
        return AtomicSave::Incomplete;
    }
    // The commit does not notice a failed flush of buffered bytes (a full
    // disk at the last block) and would put a truncated file in place.
    if (!file.flush()) {
        if (error)
            *error = QStringLiteral("flush failed: ") + file.errorString();
        file.cancelWriting();
        return AtomicSave::Incomplete;
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("commit failed: ") + file.errorString();
        return AtomicSave::Incomplete;
    }
    return AtomicSave::Ok;
}

bool saveFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    return saveFileAtomicallyDetailed(path, bytes, error) == AtomicSave::Ok;
}

std::atomic<int>& configSaveHolds()
{
    static std::atomic<int> holds{0};
    return holds;
}

bool saveConfigFile(const QString& path, const QByteArray& bytes, QString* error)
{
    if (configSaveHolds().load() > 0) {
        if (error)
            *error = QStringLiteral("a restore is replacing the data files; not saving over them");
        return false;
    }
    // The atomic save would resolve a link and write wherever it points,
    // outside the data root; the loaders move links aside instead.
    if (pathKind(path) == PathKind::SymLink) {
        if (error)
            *error = QStringLiteral("is a symbolic link; not writing through it");
        return false;
    }
    if (isConfigOverwriteBlocked(path)) {
        if (error)
            *error = QStringLiteral("damaged file could not be set aside; not overwriting it");
        return false;
    }
    return saveFileAtomically(path, bytes, error);
}

namespace {

// A stamped name beside `path` that nothing occupies yet, links included;
// empty when all are taken (taking one would destroy an earlier copy).
QString freeStampedName(const QString& path, const std::function<QDateTime()>& now)
{
    const auto stamp = [&now] { return now ? now() : QDateTime::currentDateTime(); };
    QString candidate = stampedName(path, stamp());
    if (pathKind(candidate) == PathKind::None)
        return candidate;
    for (int i = 0; i < 100; ++i) {
        candidate = stampedName(path, stamp()) + QLatin1Char('-') + QString::number(i);
        if (pathKind(candidate) == PathKind::None)
            return candidate;
    }
    return QString();
}

} // namespace

bool preserveCorruptConfig(const QString& path, const std::function<QDateTime()>& now)
{
    // Links are looked at, not through: a dangling link is something the
    // user left there all the same, and it is moved aside as it is.
    const PathKind kind = path.isEmpty() ? PathKind::None : pathKind(path);
    if (kind == PathKind::None)
        return true;

    const QString candidate = freeStampedName(path, now);
    bool ok = false;
    QString error;
    if (!candidate.isEmpty()) {
        ok = renameEntry(path, candidate, &error);
        // Copying opens the file: only a regular one, since a FIFO would
        // block and a link would be followed.
        if (!ok && kind == PathKind::Regular && QFile::copy(path, candidate)) {
            ok = true;
            QFile::remove(path);
        }
    } else {
        error = QStringLiteral("every numbered name is taken");
    }
    if (!ok)
        qWarning() << "cannot set aside" << path << ":" << error;
    qWarning() << "corrupt config preserved:" << path << "->" << candidate << "ok =" << ok;
    if (!ok)
        blockedPaths().insert(blockKey(path));
    return ok;
}

bool keepCopyOfConfig(const QString& path, const QByteArray& bytes, const std::function<QDateTime()>& now)
{
    const QString candidate = freeStampedName(path, now);
    QString error = QStringLiteral("every numbered name is taken");
    // The name was free a moment ago; the atomic save would replace a file
    // that appeared since, but only another of our own copies can.
    const bool ok = !candidate.isEmpty() && saveFileAtomically(candidate, bytes, &error);
    if (!ok)
        qWarning() << "cannot copy" << path << ":" << error;
    qWarning() << "partly read config copied:" << path << "->" << candidate << "ok =" << ok;
    if (!ok)
        blockedPaths().insert(blockKey(path));
    return ok;
}

int removeInterruptedSaves(const QString& dir, const QStringList& baseNames)
{
    int removed = 0;
    const QDir folder(dir);
    for (const QString& base : baseNames) {
        const QRegularExpression leftover(QLatin1Char('^') + QRegularExpression::escape(base)
                                          + QStringLiteral("\\.[A-Za-z0-9]{6}$"));
        const QStringList names = folder.entryList({base + QStringLiteral(".??????")},
                                                   QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : names) {
            const QString full = folder.filePath(name);
            if (!leftover.match(name).hasMatch() || pathKind(full) != PathKind::Regular
                || !ownedByCurrentUser(full))
                continue;
            if (QFile::remove(full)) {
                ++removed;
                qInfo() << "removed leftover of an interrupted save:" << full;
            }
        }
    }
    return removed;
}

bool isConfigOverwriteBlocked(const QString& path)
{
    return !path.isEmpty() && blockedPaths().contains(blockKey(path));
}

void clearConfigOverwriteBlock(const QString& path)
{
    if (!path.isEmpty())
        blockedPaths().remove(blockKey(path));
}

ConfigDamageNotice::ConfigDamageNotice(ToastCallback toast, Scheduler scheduler)
    : m_toast(std::move(toast)), m_scheduler(std::move(scheduler))
{
    if (!m_scheduler)
        m_scheduler = [](int ms, std::function<void()> fn) {
            // A coarse timer may fire up to 5 % early.
            QTimer::singleShot(ms, Qt::PreciseTimer, std::move(fn));
        };
}

int ConfigDamageNotice::delayMs(File file)
{
    return file == File::Settings ? 3000 : 3200;
}

QString ConfigDamageNotice::preservedText(File file, Damage damage)
{
    const bool settings = file == File::Settings;
    switch (damage) {
    case Damage::NotRegular:
        return settings
            ? QStringLiteral("设置文件不是普通文件，已将其移到一旁并使用默认值")
            : QStringLiteral("布局文件不是普通文件，已将其移到一旁并重建默认分组");
    case Damage::PartlyRead:
        return settings
            ? QStringLiteral("设置文件中有无法读取的值，已保留原文件副本；其余设置照常载入")
            : QStringLiteral("布局文件中有无法读取的内容，已保留原文件副本；其余分组照常载入");
    case Damage::Unusable:
        break;
    }
    return settings
        ? QStringLiteral("设置文件已损坏，已保留副本并使用默认值；可从「备份与恢复」还原最近快照")
        : QStringLiteral("布局文件已损坏，已保留副本并重建默认分组；可从「备份与恢复」还原最近快照");
}

QString ConfigDamageNotice::notPreservedText(File file)
{
    return file == File::Settings
        ? QStringLiteral("设置文件已损坏且无法另存副本；为免覆盖原文件，本次运行不会保存设置")
        : QStringLiteral("布局文件已损坏且无法另存副本；为免覆盖原文件，本次运行不会保存分组布局");
}

bool ConfigDamageNotice::report(File file, bool preserved, Damage damage)
{
    QString text;
    if (!preserved) {
        text = notPreservedText(file);
    } else {
        if (m_claimed)
            return false;
        text = preservedText(file, damage);
    }
    m_claimed = true;
    ToastCallback toast = m_toast;
    m_scheduler(delayMs(file), [toast, text] {
        if (toast)
            toast(translate(text), 1);
    });
    return true;
}

ConfigSaveFailureReporter::ConfigSaveFailureReporter(ToastCallback toast, Clock clock)
    : m_toast(std::move(toast)), m_clock(std::move(clock))
{
    if (!m_clock) {
        m_clock = [] {
            static QElapsedTimer timer;
            if (!timer.isValid())
                timer.start();
            return timer.elapsed();
        };
    }
}

void ConfigSaveFailureReporter::report(const QString& path, const QString& message)
{
    qWarning() << "config save failed:" << path << message;
    const qint64 now = m_clock();
    const auto last = m_lastToast.constFind(path);
    if (last != m_lastToast.constEnd() && now - *last < kThrottleMs)
        return;
    m_lastToast.insert(path, now);
    if (m_toast)
        m_toast(message.isEmpty() ? translate("保存失败：无法写入配置文件") : message, 1);
}
