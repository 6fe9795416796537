// The installer download and the hand-off to the installer.
#include "updater/panelupdater.h"

#include "account/onlinerequest.h"
#include "app/lang.h"
#include "platform/privatefolder.h"
#include "updater/updatedialog.h"
#include "updater/updatehandoff.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kDownloadTimeoutMs = 30000;

} // namespace

// What the three reply handlers of one download share.
struct PanelUpdater::Download {
    QNetworkReply* reply = nullptr;
    QSaveFile file;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    qint64 written = 0;
    // More bytes came than the signed manifest announced.
    bool longerThanAnnounced = false;

    explicit Download(const QString& path) : file(path) { file.setDirectWriteFallback(false); }
};

void PanelUpdater::setDialogStatus(const QString& text)
{
    if (updateDialog)
        updateDialog->setStatusText(text);
}

void PanelUpdater::onUpdateClicked()
{
    if (updateDownloading || updateUrl.isEmpty())
        return;
    if (updateDialog) {
        updateDialog->setStatusText(translate(u"正在连接服务器…"));
        updateDialog->repaint();
    }
    const QString url = updateUrl;
    QTimer::singleShot(0, this, [this, url] { downloadUpdate(url); });
}

void PanelUpdater::downloadUpdate(const QString& url)
{
    if (updateDownloading)
        return;
    updateDownloading = true;
    if (hooks.stopNoticePoll)
        hooks.stopNoticePoll();
    removeStaleRuns();

    const QUrl target(url);
    if (!target.isValid() || target.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
        forwardUpdateStatus(translate(u"更新地址无效，已取消"));
        return;
    }
    // The file is opened before anything is asked of the network, so that
    // a data root that cannot be written costs no request. Each run gets a
    // folder of its own that nobody else can enter, so that what is run
    // later is what was written and checked here.
    QString why;
    runFolder = makeRunFolder(updateRunBase(), QStringLiteral("update"), &why);
    if (runFolder.isEmpty()) {
        qWarning() << "update download: no private folder:" << why;
        forwardUpdateStatus(translate(u"无法写入临时文件"));
        return;
    }
    installer = runFolder + QStringLiteral("/panel_update_setup.exe");
    auto d = std::make_shared<Download>(installer);
    // Unbuffered: a write the disk refuses fails at once, in the handler
    // that can still abort the transfer.
    if (!d->file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        forwardUpdateStatus(translate(u"无法写入临时文件"));
        return;
    }
    // Read piece by piece onto the disk: Qt holds no more than its small
    // buffer whatever the speed. The address comes from the signed manifest
    // and the request carries nothing of the user's, so a redirect may lead
    // to another https host.
    ReplyLimits limits;
    limits.silenceMs = kDownloadTimeoutMs;
    limits.deadlineMs = transferDeadlineMs(updateSize > 0 ? updateSize : sizeLimit);
    limits.maxBytes = sizeLimit;
    limits.streamed = true;
    d->reply = getOnline(hooks.network(), QNetworkRequest(target), limits, Redirects::NoLessSafe);
    download = d;
    connect(d->reply, &QNetworkReply::readyRead, this, &PanelUpdater::onUpdateDownloadReadyRead);
    connect(d->reply, &QNetworkReply::downloadProgress, this, &PanelUpdater::onUpdateDownloadProgress);
    connect(d->reply, &QNetworkReply::finished, this, &PanelUpdater::onUpdateDownloadFinished);
}

void PanelUpdater::onUpdateDownloadReadyRead()
{
    const std::shared_ptr<Download> d = download;
    if (!d || !d->reply)
        return;
    const QByteArray chunk = d->reply->readAll();
    if (!chunk.isEmpty()) {
        if (d->file.write(chunk) != chunk.size()) {
            d->reply->abort();
            return;
        }
        d->hash.addData(chunk);
        d->written += chunk.size();
    }
    if (updateSize > 0 && d->written > updateSize) {
        d->longerThanAnnounced = true;
        d->reply->abort();
        return;
    }
    if (d->written > sizeLimit)
        d->reply->abort();
}

void PanelUpdater::onUpdateDownloadProgress(qint64 received, qint64 total)
{
    if (updateDialog && total > 0)
        updateDialog->setProgress(int(received * 100 / total));
}

void PanelUpdater::onUpdateDownloadFinished()
{
    const std::shared_ptr<Download> d = std::exchange(download, nullptr);
    if (!d || !d->reply)
        return;
    QNetworkReply* reply = d->reply;
    reply->disconnect(this);
    reply->deleteLater();
    // An aborted reply is closed; it has nothing left to read.
    const QByteArray tail = reply->isOpen() ? reply->readAll() : QByteArray();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const bool transportError = error != QNetworkReply::NoError;

    if (d->longerThanAnnounced) {
        d->file.cancelWriting();
        forwardUpdateStatus(translate(u"安装包校验失败，已取消更新"));
        return;
    }
    if (transportError || status < 200 || status > 299 || d->written + tail.size() > sizeLimit) {
        qWarning() << "update download rejected: http =" << status << "transportError =" << transportError;
        d->file.cancelWriting();
        forwardUpdateStatus(error == QNetworkReply::SslHandshakeFailedError
                                ? translate(u"下载失败（服务器证书校验未通过）")
                                : translate(u"下载失败，请检查网络后重试"));
        return;
    }
    if (!tail.isEmpty()) {
        if (d->file.write(tail) != tail.size()) {
            qWarning() << "update download: tail write/commit failed:" << d->file.errorString();
            d->file.cancelWriting();
            forwardUpdateStatus(translate(u"下载失败，磁盘空间不足或临时文件被占用"));
            return;
        }
        d->hash.addData(tail);
        d->written += tail.size();
    }

    // Checked before the file takes the installer's name: a file that fails
    // here never appears there.
    const QString expected = updateSha256.toLower();
    const QString actual = QString::fromLatin1(d->hash.result().toHex());
    const bool sizeOk = updateSize <= 0 || d->written == updateSize;
    if (expected.isEmpty() || expected != actual || !sizeOk) {
        d->file.cancelWriting();
        forwardUpdateStatus(translate(u"安装包校验失败，已取消更新"));
        return;
    }
    if (!d->file.commit()) {
        qWarning() << "update download: tail write/commit failed:" << d->file.errorString();
        forwardUpdateStatus(translate(u"下载失败，磁盘空间不足或临时文件被占用"));
        return;
    }
    // A file system that took fewer bytes than it said must not hand a
    // cut installer over.
    if (QFileInfo(installer).size() != d->written) {
        qWarning() << "update download: tail write/commit failed: the installer on disk is short";
        forwardUpdateStatus(translate(u"下载失败，磁盘空间不足或临时文件被占用"));
        return;
    }
    QFile::setPermissions(installer, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    setDialogStatus(translate(u"准备安装…"));
    if (!startHandOff())
        return;
    if (updateDialog)
        updateDialog->disconnect();
    qInfo() << "update: installer launched, hard-exiting process";
    if (hooks.endProcess)
        hooks.endProcess();
}

bool PanelUpdater::startHandOff()
{
    const QString scriptPath = runFolder + QStringLiteral("/Quillory_update.sh");
    const QByteArray text = updateHandOffScript(handOffPid, handOffExe, installer);
    QString why;
    if (!writeNewFile(scriptPath, text, 0700, &why)) {
        qWarning() << "update: hand-off script not written:" << why;
        forwardUpdateStatus(translate(u"更新脚本写入不完整，请检查磁盘空间后重试"));
        return false;
    }
    // Through sh: a data root mounted without execute rights still runs it.
    // Not started in its own folder, which it removes at the end while the
    // installer may have started the new panel from there.
    if (!QProcess::startDetached(QStringLiteral("/bin/sh"), {scriptPath}, QDir::tempPath())) {
        forwardUpdateStatus(translate(u"无法启动安装程序，请到官网手动下载新版"));
        return false;
    }
    return true;
}

void PanelUpdater::removeStaleRuns()
{
    // A run whose panel was killed during the download left its folder. A
    // hand-off script still running its installer owns a recent one.
    const QDateTime before = QDateTime::currentDateTime().addDays(-1);
    const QFileInfoList runs = QDir(updateRunBase()).entryInfoList({QStringLiteral("update-*")},
                                                                  QDir::Dirs | QDir::NoSymLinks | QDir::Hidden);
    for (const QFileInfo& run : runs) {
        if (run.lastModified() < before && !QDir(run.absoluteFilePath()).removeRecursively())
            qWarning() << "update: stale run folder left behind:" << run.absoluteFilePath();
    }
}

void PanelUpdater::discardRun()
{
    if (!runFolder.isEmpty() && !QDir(runFolder).removeRecursively())
        qWarning() << "update: run folder left behind:" << runFolder;
    runFolder.clear();
    installer.clear();
}

void PanelUpdater::forwardUpdateStatus(const QString& text)
{
    // Every failure ends here: nothing of the run may stay behind.
    discardRun();
    updateDownloading = false;
    if (hooks.resumeNoticePoll)
        hooks.resumeNoticePoll();
    setDialogStatus(text);
}
