#include "app/configsafety.h"

#include "app/lang.h"

#include <QDebug>
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

bool saveFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Writing in place would leave a half-written file behind on failure.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("cannot open for writing: ") + file.errorString();
        return false;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        if (error)
            *error = QStringLiteral("short write (%1 of %2 bytes): %3")
                         .arg(written).arg(bytes.size()).arg(file.errorString());
        file.cancelWriting();
        return false;
    }
    // The commit does not notice a failed flush of buffered bytes (a full
    // disk at the last block) and would put a truncated file in place.
    if (!file.flush()) {
        if (error)
            *error = QStringLiteral("flush failed: ") + file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("commit failed: ") + file.errorString();
        return false;
    }
    return true;
}

bool saveConfigFile(const QString& path, const QByteArray& bytes, QString* error)
{
    if (isConfigOverwriteBlocked(path)) {
        if (error)
            *error = QStringLiteral("damaged file could not be set aside; not overwriting it");
        return false;
    }
    return saveFileAtomically(path, bytes, error);
}

bool preserveCorruptConfig(const QString& path, const std::function<QDateTime()>& now)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    const auto stamp = [&now] { return now ? now() : QDateTime::currentDateTime(); };

    QString candidate = stampedName(path, stamp());
    bool nameFree = !QFileInfo::exists(candidate);
    for (int i = 0; !nameFree && i < 100; ++i) {
        candidate = stampedName(path, stamp()) + QLatin1Char('-') + QString::number(i);
        nameFree = !QFileInfo::exists(candidate);
    }

    bool ok = false;
    // Every numbered name taken: moving onto one of them would destroy an
    // earlier copy, so the damaged file stays where it is instead.
    if (nameFree) {
        ok = QFile::rename(path, candidate);
        if (!ok && QFile::copy(path, candidate)) {
            ok = true;
            QFile::remove(path);
        }
    }
    qWarning() << "corrupt config preserved:" << path << "->" << candidate << "ok =" << ok;
    if (!ok)
        blockedPaths().insert(blockKey(path));
    return ok;
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

QString ConfigDamageNotice::preservedText(File file)
{
    return file == File::Settings
        ? QStringLiteral("设置文件已损坏，已保留副本并使用默认值；可从「备份与恢复」还原最近快照")
        : QStringLiteral("布局文件已损坏，已保留副本并重建默认分组；可从「备份与恢复」还原最近快照");
}

QString ConfigDamageNotice::notPreservedText(File file)
{
    return file == File::Settings
        ? QStringLiteral("设置文件已损坏且无法另存副本；为免覆盖原文件，本次运行不会保存设置")
        : QStringLiteral("布局文件已损坏且无法另存副本；为免覆盖原文件，本次运行不会保存分组布局");
}

bool ConfigDamageNotice::report(File file, bool preserved)
{
    QString text;
    if (!preserved) {
        text = notPreservedText(file);
    } else {
        if (m_claimed)
            return false;
        text = preservedText(file);
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
