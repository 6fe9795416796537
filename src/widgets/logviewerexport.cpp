// The log viewer's actions: copy, open the folder, export as text or as an
// archive of the whole log root.
#include "widgets/logviewerdialog.h"

#include "app/asynctask.h"
#include "app/configsafety.h"
#include "app/lang.h"
#include "app/logging.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

namespace {

QString suggestedPath(const char* nameTemplate)
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
        + translate(nameTemplate).arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
}

} // namespace

QString LogViewerDialog::archiveProgram()
{
    // GNU tar cannot write zip; libarchive's tar picks the format from the
    // ".zip" suffix given "-a".
    return QStringLiteral("bsdtar");
}

void LogViewerDialog::copyLog()
{
    QApplication::clipboard()->setText(logView->toPlainText());
    statusLabel->setText(translate("已复制 %1 行到剪贴板").arg(logView->document()->blockCount()));
}

void LogViewerDialog::openLogFolder()
{
    const QString root = logRoot();
    if (!root.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(root));
}

void LogViewerDialog::exportText()
{
    const QString path = QFileDialog::getSaveFileName(this, translate("导出日志文本"), suggestedPath("/Quillory日志_%1.txt"),
                                                      translate("文本文件 (*.txt)"));
    if (!path.isEmpty())
        exportTextTo(path);
}

void LogViewerDialog::exportTextTo(const QString& path)
{
    const QByteArray bytes = logView->toPlainText().toUtf8();
    struct Outcome {
        AtomicSave result = AtomicSave::Ok;
        QString error;
    };
    AsyncTask::runThenCallback(
        [path, bytes] {
            Outcome o;
            o.result = saveFileAtomicallyDetailed(path, bytes, &o.error);
            return o;
        },
        this,
        [this, path, size = bytes.size()](const Outcome& o) {
            switch (o.result) {
            case AtomicSave::Ok:
                statusLabel->setText(translate("已导出：%1").arg(QDir::toNativeSeparators(path)));
                return;
            case AtomicSave::OpenFailed:
                qWarning() << "log export failed:" << path << o.error;
                statusLabel->setText(translate("导出失败，请检查目标路径是否可写"));
                return;
            case AtomicSave::Incomplete:
                qWarning() << "log export short write:" << path << size << "bytes expected," << o.error;
                statusLabel->setText(translate("导出失败：写入不完整，请检查磁盘空间"));
                return;
            }
        });
}

void LogViewerDialog::exportZip()
{
    if (exporting)
        return;
    const QString root = logRoot();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return;
    exporting = true;
    const QString path = QFileDialog::getSaveFileName(this, translate("导出日志压缩包"), suggestedPath("/Quillory日志_%1.zip"),
                                                      translate("Zip 压缩包 (*.zip)"));
    exporting = false;
    if (!path.isEmpty())
        exportZipTo(path);
}

void LogViewerDialog::exportZipTo(const QString& path)
{
    const QString root = logRoot();
    if (exporting || root.isEmpty() || !QFileInfo(root).isDir())
        return;
    exporting = true;
    exportPath = path;
    exportDone = std::make_shared<bool>(false);
    exportProcess = new QProcess(this);
    QProcess* process = exportProcess;
    connect(process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        showExportResult(code == 0 && status == QProcess::NormalExit);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (*exportDone)
            return;
        qWarning() << "log zip export process error:" << QMetaEnum::fromType<QProcess::ProcessError>().valueToKey(error);
        if (process->state() != QProcess::NotRunning)
            process->kill();
        showExportResult(false);
    });
    QTimer::singleShot(kExportWatchdogMs, process, [this, process] {
        if (process->state() == QProcess::NotRunning)
            return;
        process->kill();
        showExportResult(false);
    });
    process->start(archiveProgram(),
                   { QStringLiteral("-a"), QStringLiteral("-c"), QStringLiteral("-f"), path, QStringLiteral("-C"), root, QStringLiteral(".") },
                   QIODevice::ReadWrite);
}

void LogViewerDialog::showExportResult(bool success)
{
    if (!exportDone || *exportDone)
        return;
    *exportDone = true;
    exporting = false;
    if (exportProcess) {
        exportProcess->disconnect();
        exportProcess->deleteLater();
        exportProcess = nullptr;
    }
    if (success && QFileInfo::exists(exportPath))
        statusLabel->setText(translate("已导出：%1").arg(QDir::toNativeSeparators(exportPath)));
    else
        statusLabel->setText(translate("导出失败，请用「日志文件夹」手动复制"));
}
