// The update check: manifest, signature, version, release notes, the offer.
#include "updater/panelupdater.h"

#include "account/onlinerequest.h"
#include "app/jsonutil.h"
#include "app/lang.h"
#include "app/paths.h"
#include "app/servicehost.h"
#include "updater/updatedialog.h"
#include "updater/updatehandoff.h"
#include "updater/updatemanifest.h"
#include "updater/versionorder.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScreen>
#include <QStandardPaths>

namespace {

constexpr int kManifestTimeoutMs = 15000;
constexpr int kHistoryTimeoutMs = 8000;
constexpr qint64 kInstallerSizeLimit = 536870912;

QNetworkRequest updateRequest(const QString& path)
{
    return QNetworkRequest(serviceUrl(path));
}

int httpStatus(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool succeeded(const QNetworkReply* reply)
{
    const int status = httpStatus(reply);
    return reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
}

} // namespace

PanelUpdater::PanelUpdater(QWidget* w, Hooks h)
    : QObject(w),
      window(w),
      hooks(std::move(h)),
      localVersion(appVersionString()),
      sizeLimit(kInstallerSizeLimit),
      handOffPid(QCoreApplication::applicationPid()),
      handOffExe(QCoreApplication::applicationFilePath())
{
}

PanelUpdater::~PanelUpdater()
{
    // A transfer still running has nothing anyone will use; after the
    // hand-off the folder belongs to the script.
    if (download)
        discardRun();
}

UpdateDialog* PanelUpdater::dialog() const
{
    return updateDialog;
}

void PanelUpdater::setHandOffTarget(qint64 pid, const QString& exe)
{
    handOffPid = pid;
    handOffExe = exe;
}

void PanelUpdater::toast(const QString& text, int kind)
{
    if (hooks.toast)
        hooks.toast(text, kind);
}

void PanelUpdater::checkForUpdates(bool beta, bool manual)
{
    const QString path = beta ? QStringLiteral("/update/apps/panel-beta.json") : QStringLiteral("/update/apps/panel.json");
    QNetworkReply* reply = getOnline(hooks.network(), updateRequest(path), kManifestTimeoutMs);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, beta, manual] { onUpdateManifestReply(reply, beta, manual); });
}

void PanelUpdater::onUpdateManifestReply(QNetworkReply* reply, bool beta, bool manual)
{
    const QByteArray body = reply->readAll();
    const int status = httpStatus(reply);
    const bool transportError = reply->error() != QNetworkReply::NoError;
    const bool ok = succeeded(reply);
    reply->deleteLater();
    if (ok) {
        handleUpdateManifest(body, true, manual, beta);
        return;
    }
    if (beta) {
        qInfo() << "beta manifest unavailable, fallback to stable; http =" << status
                << "transportError =" << transportError;
        checkForUpdates(false, manual);
        return;
    }
    handleUpdateManifest(body, false, manual, false);
}

void PanelUpdater::handleUpdateManifest(const QByteArray& body, bool ok, bool manual, bool beta)
{
    if (updateDownloading)
        return;
    if (!ok) {
        if (manual)
            toast(translate(u"检查更新失败，请检查网络后重试"), 1);
        return;
    }
    QJsonObject o;
    if (!parseJsonObject(body, o))
        qWarning() << "update manifest parse failed, treat as unsigned";
    const UpdateManifest m = readUpdateManifest(o);
    if (!isManifestSignatureValid(m)) {
        qWarning() << "update manifest signature invalid, rejected";
        if (manual)
            toast(translate(u"更新清单签名无效，为安全起见已拒绝本次更新"), 1);
        return;
    }
    qInfo() << "update check: local" << localVersion << "remote" << m.version << "manual" << manual;
    if (isRemoteVersionNewer(m.version, localVersion)) {
        updateIsBeta = beta;
        updateUrl = m.url;
        updateSha256 = m.sha256;
        updateSize = m.size;
        fetchUpdateHistory(m.version, m.notes, m.title);
        return;
    }
    if (manual)
        toast(translate(u"当前已是最新版本 v%1").arg(localVersion), 0);
}

void PanelUpdater::fetchUpdateHistory(const QString& version, const QString& notes, const QString& title)
{
    QNetworkReply* reply =
        getOnline(hooks.network(), updateRequest(QStringLiteral("/update/apps/history.json")), kHistoryTimeoutMs);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, version, notes, title] { onUpdateHistoryReply(reply, version, notes, title); });
}

void PanelUpdater::onUpdateHistoryReply(QNetworkReply* reply, const QString& version, const QString& manifestNotes,
                                        const QString& title)
{
    const QByteArray body = reply->readAll();
    const bool ok = succeeded(reply);
    reply->disconnect();
    reply->deleteLater();
    QString notes = manifestNotes;
    QString source = QStringLiteral("panel.json");
    if (ok) {
        QString fromHistory;
        QString parseError;
        if (!historyNotesFor(body, version, &fromHistory, &parseError))
            qWarning() << "[jsonutil] array parse failed:" << parseError;
        if (!fromHistory.isEmpty()) {
            notes = fromHistory;
            source = QStringLiteral("history.json");
        }
    }
    qInfo() << "update notes:" << source << "version" << version << "len" << notes.size();
    showUpdateDialog(version, notes, title);
}

void PanelUpdater::showUpdateDialog(const QString& version, const QString& notes, const QString& title)
{
    if (hooks.offerHeld && hooks.offerHeld())
        return;
    if (updateDownloading) {
        if (updateDialog) {
            updateDialog->raise();
            updateDialog->activateWindow();
        }
        return;
    }
    if (!updateDialog) {
        updateDialog = new UpdateDialog(window);
        connect(updateDialog, &UpdateDialog::updateClicked, this, &PanelUpdater::onUpdateClicked);
        connect(updateDialog, &UpdateDialog::minimized, this, [this] {
            toast(translate(u"更新提示已最小化，可在齿轮菜单「检查更新」重新打开"), 1);
        });
        connect(updateDialog, &UpdateDialog::dismissed, this, [this] { updateDialog->hide(); });
    }
    QString heading = title;
    if (updateIsBeta && heading.trimmed().isEmpty())
        heading = translate(u"发现测试版 v%1").arg(version);
    updateDialog->showUpdate(version, notes, heading);

    const QScreen* scr = window && window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (scr) {
        const QRect area = scr->availableGeometry();
        const int x = area.left() + (area.width() - updateDialog->width()) / 2;
        const int free = area.height() - updateDialog->height();
        const int y = area.top() + (free > 122 ? free / 3 : 40);
        updateDialog->move(x, y);
    }
    updateDialog->raise();
    updateDialog->activateWindow();
}
