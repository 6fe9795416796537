#include "backup/logexport.h"

#include "app/lang.h"
#include "platform/process.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include <memory>

namespace {

QString canonicalOrClean(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

bool copyInto(const QString& src, const QString& dst, const QString& skip)
{
    if (!QDir().mkpath(dst))
        return false;
    bool ok = true;
    const QDir source(src);
    const QFileInfoList files = source.entryInfoList(QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::NoSort);
    for (const QFileInfo& fi : files) {
        const QString target = dst + QLatin1Char('/') + fi.fileName();
        if (QFileInfo::exists(target) && !QFile::remove(target)) {
            qWarning() << "copyDirRecursive: cannot replace" << target;
            ok = false;
            continue;
        }
        if (!QFile::copy(fi.absoluteFilePath(), target)) {
            qWarning() << "copyDirRecursive: copy failed:" << fi.absoluteFilePath();
            ok = false;
        }
    }
    const QFileInfoList dirs = source.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::NoSort);
    for (const QFileInfo& fi : dirs) {
        // A target inside the source would otherwise be copied into itself
        // without end.
        if (canonicalOrClean(fi.absoluteFilePath()) == skip)
            continue;
        if (!copyInto(fi.absoluteFilePath(), dst + QLatin1Char('/') + fi.fileName(), skip))
            ok = false;
    }
    return ok;
}

struct ExportRun {
    QString logDir;
    QString zipPath;
    QString partPath;
    LogExportReport report;
    bool handled = false;
};

void runFallback(const ExportRun& run)
{
    const QString dir = logExportFallbackDir(run.zipPath);
    const bool ok = copyDirRecursive(run.logDir, dir);
    if (ok)
        run.report(translate("日志已导出：%1").arg(QDir::toNativeSeparators(dir)), 0);
    else
        run.report(translate("日志导出失败，请打开日志目录手动复制"), 1);
}

// A temporary file beside the target for the archiver to fill; empty when
// none can be made there.
QString makePartFile(const QString& zipPath)
{
    QTemporaryFile part(zipPath + QStringLiteral(".XXXXXX.part"));
    part.setAutoRemove(false);
    if (!part.open())
        return QString();
    return part.fileName();
}

} // namespace

QString logExportFallbackDir(const QString& zipPath)
{
    QString base = zipPath;
    if (base.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        base.chop(4);
    QString candidate = base;
    for (int n = 2; QFileInfo(candidate).exists() || QFileInfo(candidate).isSymLink(); ++n)
        candidate = base + QStringLiteral(" (%1)").arg(n);
    return candidate;
}

bool copyDirRecursive(const QString& src, const QString& dst)
{
    if (!QDir().mkpath(dst))
        return false;
    return copyInto(src, dst, canonicalOrClean(dst));
}

void startLogExport(const QString& logDir, const QString& zipPath, QObject* context, LogExportReport report,
                    const QString& archiver, int watchdogMs)
{
    auto run = std::make_shared<ExportRun>();
    run->logDir = logDir;
    run->zipPath = zipPath;
    run->report = std::move(report);
    run->partPath = makePartFile(zipPath);

    auto* process = new QProcess(context);
    auto* watchdog = new QTimer(process);
    watchdog->setSingleShot(true);
    watchdog->setInterval(watchdogMs);
    QObject::connect(watchdog, &QTimer::timeout, process, [process] { process->kill(); });

    QObject::connect(process, &QProcess::finished, context, [run, process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (run->handled)
            return;
        run->handled = true;
        const bool written = code == 0 && status == QProcess::NormalExit && QFileInfo(run->partPath).size() > 0;
        if (written && renameReplacing(run->partPath, run->zipPath)) {
            run->report(translate("日志已导出：%1").arg(QDir::toNativeSeparators(run->zipPath)), 0);
            return;
        }
        QFile::remove(run->partPath);
        qWarning() << "exportLogs: tar failed, fallback to dir copy; code =" << code << "status =" << int(status);
        runFallback(*run);
    });
    QObject::connect(process, &QProcess::errorOccurred, context, [run, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            process->deleteLater(); // no finished() follows
        if (run->handled)
            return;
        run->handled = true;
        if (!run->partPath.isEmpty())
            QFile::remove(run->partPath);
        qWarning() << "exportLogs: tar process error" << error;
        runFallback(*run);
    });

    if (run->partPath.isEmpty()) {
        // Nothing can be written beside the target; the fallback reports it.
        run->handled = true;
        process->deleteLater();
        qWarning() << "exportLogs: cannot create archive beside" << zipPath;
        runFallback(*run);
        return;
    }
    watchdog->start();
    // "--format zip" rather than "-a": a name the user typed without ".zip"
    // still gets a zip, not a tar.
    process->start(archiver,
                   { QStringLiteral("--format"), QStringLiteral("zip"), QStringLiteral("-c"), QStringLiteral("-f"),
                     run->partPath, QStringLiteral("-C"), logDir, QStringLiteral(".") },
                   QIODevice::ReadWrite);
}
