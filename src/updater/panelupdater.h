#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QWidget;
class UpdateDialog;

// The panel's own updates: fetches the signed manifest of a channel,
// verifies it, offers a newer version in UpdateDialog, downloads the
// installer (size and SHA-256 checked while it streams to disk) and hands
// over to it through a detached script, after which the process ends.
// Everything runs on the GUI thread; the window owns one instance.
class PanelUpdater : public QObject {
    Q_OBJECT
public:
    // What the updater needs of its window.
    struct Hooks {
        // The window's network access manager (made on first use).
        std::function<QNetworkAccessManager*()> network;
        // A toast on the window: kind 0 ordinary, 1 failure.
        std::function<void(const QString& text, int kind)> toast;
        // The notice poll stops while a download runs and starts again
        // after a failure.
        std::function<void()> stopNoticePoll;
        std::function<void()> resumeNoticePoll;
        // Ends the process once the hand-off script runs; never returns in
        // the panel.
        std::function<void()> endProcess;
        // While it answers true, a newer version found is not offered; the
        // next check offers it again.
        std::function<bool()> offerHeld;
    };

    // `window` owns the updater, parents the dialog and says on which
    // screen it appears.
    PanelUpdater(QWidget* window, Hooks hooks);
    ~PanelUpdater() override;

    // One check of the beta or the stable channel; `manual` checks tell the
    // user about failures and an up-to-date version.
    void checkForUpdates(bool beta, bool manual);
    // The user accepted the offer.
    void onUpdateClicked();

    bool isDownloading() const { return updateDownloading; }
    QString offeredUrl() const { return updateUrl; }
    QString offeredSha256() const { return updateSha256; }
    bool offerIsBeta() const { return updateIsBeta; }
    UpdateDialog* dialog() const;

    // "panel_update_setup.exe" in the current download's private folder
    // (see updateRunBase); empty before the first download.
    QString installerPath() const { return installer; }

    // Seams for tests: the version compared with the offer, the installer's
    // size limit, and whose process the script waits for and which
    // executable's copies it ends.
    void setLocalVersion(const QString& v) { localVersion = v; }
    void setInstallerSizeLimit(qint64 bytes) { sizeLimit = bytes; }
    void setHandOffTarget(qint64 pid, const QString& exe);

private:
    struct Download;

    void onUpdateManifestReply(QNetworkReply* reply, bool beta, bool manual);
    void handleUpdateManifest(const QByteArray& body, bool ok, bool manual, bool beta);
    void fetchUpdateHistory(const QString& version, const QString& notes, const QString& title);
    void onUpdateHistoryReply(QNetworkReply* reply, const QString& version, const QString& notes,
                              const QString& title);
    void showUpdateDialog(const QString& version, const QString& notes, const QString& title);

    void downloadUpdate(const QString& url);
    void onUpdateDownloadReadyRead();
    void onUpdateDownloadProgress(qint64 received, qint64 total);
    void onUpdateDownloadFinished();
    void forwardUpdateStatus(const QString& text);
    // Writes and starts the script; false (status set) when it could not.
    bool startHandOff();
    void setDialogStatus(const QString& text);
    // Removes the current run's folder with whatever it holds.
    void discardRun();
    // Removes the folders of earlier runs untouched for a day.
    void removeStaleRuns();
    void toast(const QString& text, int kind);

    QWidget* window;
    Hooks hooks;

    bool updateDownloading = false;
    QString updateUrl;
    QString updateSha256;
    qint64 updateSize = 0;
    bool updateIsBeta = false;
    QPointer<UpdateDialog> updateDialog;
    std::shared_ptr<Download> download;

    QString localVersion;
    QString runFolder;
    QString installer;
    qint64 sizeLimit;
    qint64 handOffPid;
    QString handOffExe;
};
