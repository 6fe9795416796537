#pragma once

#include "account/onlinerequest.h"
#include "market/marketrow.h"

#include <QHash>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QProcess>
#include <QRect>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QLineEdit;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// One clickable area of the last painted frame.
struct MarketHitArea {
    QRect rect;
    int id = -1;
};

// The app market: a frameless, self-painted window listing the apps of the
// vendor's catalogue in two columns, with their download, installation,
// launch and removal. Created once by the panel and only hidden when closed,
// so downloads go on while it is out of sight.
class AppMarketDialog : public QWidget {
    Q_OBJECT
public:
    using AppRow = MarketAppRow;

    // Hit-area ids: fixed ones, and per row `row * kRowIdStride + kind`.
    enum HitId { kCloseId = 3, kTabIdBase = 10 };
    enum RowElement { kActionButton = 1, kMenuButton = 2, kPauseButton = 4, kCancelButton = 5 };
    static constexpr int kRowIdStride = 256;
    // Tabs: 0 programs, 1 web apps, 2 themes.
    static constexpr int kTabCount = 3;
    // The entries of the row menu.
    enum RowMenuAction { MenuOpenWeb = 1, MenuCopyLink, MenuOpen, MenuInstall, MenuOpenFolder, MenuUninstall,
                         MenuAddToPanel, MenuDemo };

    explicit AppMarketDialog(QWidget* parent = nullptr);
    ~AppMarketDialog() override;

    // Catalogue (appmarketdialog.cpp).
    void openAndRefresh(const QString& token);
    void setToken(const QString& token);
    void fetchIndex(int page);
    // A service answer by default; an icon gives its own cap and, for an
    // address of the catalogue, lets redirects leave the service host.
    void sendGet(const QUrl& url, std::function<void(QNetworkReply*)> callback, qint64 maxBytes = kMaxAnswerBytes,
                 Redirects redirects = Redirects::SameOrigin);
    void fetchIcon(AppRow& row);
    void fetchManifest(AppRow& row);
    AppRow* findRow(const QString& id);
    void resetRowDownload(AppRow& row, const QString& message);
    QNetworkAccessManager* networkManager();
    void showRegistryWriteNotice();

    // Download (marketdownload.cpp).
    void startDownload(AppRow& row);
    void beginNetworkDownload(AppRow& row);
    static void computeSha256Async(QObject* context, const QString& path,
                                   std::function<void(const QByteArray&)> callback);

    // Installation and registry (marketinstall.cpp).
    void loadRegistry();
    void saveRegistry();
    void startExtract(AppRow& row, const QString& zipPath);
    void completeInstall(AppRow& row);
    // While `held` answers true, an unpacked app waits before it is moved
    // into place; releaseHeldInstalls() then finishes what waited.
    void setInstallHold(std::function<bool()> held) { installHold = std::move(held); }
    void releaseHeldInstalls();
    bool hasHeldInstalls() const { return !heldExtracts.isEmpty(); }

    // Launch, row menu and removal (marketlaunch.cpp).
    bool launchApp(const QString& id);
    void showRowMenu(AppRow& row);
    // Fills `menu` with the row's entries, each carrying its RowMenuAction.
    void fillRowMenu(QMenu* menu, const AppRow& row);
    void runRowMenuAction(const QString& id, int action);
    void uninstallApp(AppRow& row);

    // Window (marketpaint.cpp, marketinput.cpp).
    int hitTest(const QPoint& pos) const;
    static QString actionButtonText(const AppRow& row);
    static QString rowStatusText(const AppRow& row);
    // Rebuilds the hit areas, the close cross and the visible count as the
    // next paint will draw them.
    void relayout();

    // Read access, for the panel and for tests.
    const QList<AppRow>& appRows() const { return rows; }
    const InstalledAppMap& installedAppMap() const { return installedApps; }
    const QString& sessionToken() const { return token; }
    const QSet<QString>& loginWaitingIds() const { return pendingLoginIds; }
    const QList<MarketHitArea>& lastHitAreas() const { return hitAreas; }
    int visibleCards() const { return visibleCount; }
    int scroll() const { return scrollOffset; }
    int selectedTab() const { return currentTab; }
    bool isIndexLoaded() const { return indexLoaded; }
    bool isIndexFailed() const { return indexFailed; }
    const QString& minimumSdk() const { return minSdkVersion; }
    const QString& notice() const { return noticeText; }
    QLineEdit* searchBox() const { return searchEdit; }
    QSize fixedWindowSize() const { return QSize(windowWidth, windowHeight); }

    // The most an extraction may run before it is killed.
    static constexpr int kExtractTimeoutMs = 180000;

Q_SIGNALS:
    void addToPanelRequested(QString name, QString exePath);
    void loginRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct DownloadAttempt;
    struct ExtractRun;
    void onDownloadMetaData(const std::shared_ptr<DownloadAttempt>& a);
    void onDownloadData(const std::shared_ptr<DownloadAttempt>& a);
    void onDownloadFinished(const std::shared_ptr<DownloadAttempt>& a);
    void onDownloadHashed(const std::shared_ptr<DownloadAttempt>& a, const QByteArray& digest);
    void onExtractStartFailed(const std::shared_ptr<ExtractRun>& run);
    void onExtractFinished(const std::shared_ptr<ExtractRun>& run, int exitCode, QProcess::ExitStatus status);
    void installExtracted(AppRow& row, const ExtractRun& run);
    void onActionButton(int rowIndex);
    void onPauseButton(int rowIndex);
    void onCancelButton(int rowIndex);
    void scheduleRepaint();
    int rowTab(const AppRow& row) const;
    bool rowVisible(const AppRow& row) const;

    qint64 lastNoticeMs = 0;
    QString noticeText;
    QTimer* noticeTimer = nullptr;
    QString token;
    QSet<QString> pendingLoginIds;
    // Created on first use through networkManager(), never deleted.
    QNetworkAccessManager* netManager = nullptr;
    QList<AppRow> rows;
    InstalledAppMap installedApps;
    std::function<bool()> installHold;
    QList<std::shared_ptr<ExtractRun>> heldExtracts;
    QList<MarketHitArea> hitAreas;
    QRect closeRect;
    int scrollOffset = 0;
    int currentTab = 0;
    QLineEdit* searchEdit = nullptr;
    QString searchText;
    int visibleCount = 0;
    int hoverId = -1;
    int pressId = -1;
    // Moving the window by its header without the window manager.
    bool windowDragging = false;
    QPoint windowDragOffset;
    bool indexLoaded = false;
    bool indexFailed = false;
    int indexGeneration = 0;
    QString minSdkVersion;
    QTimer* repaintTimer = nullptr;
    // The cards of the last layout: row index and top-left corner.
    QList<std::pair<int, QPoint>> placedCards;
    int windowWidth = 780;
    int windowHeight = 540;
    int columnWidth = 368;
};

// The 16 px glyphs of the row menu, kinds 0 to 5.
QIcon paintMenuIcon(int kind);

// Writes a desktop entry that starts `target` from `workingDir` onto the
// user's desktop, named after `name`; false when the target is missing or
// the file cannot be written.
bool createDesktopShortcut(const QString& target, const QString& workingDir, const QString& name,
                           const QString& iconPath);
// The file name (without ".desktop") that createDesktopShortcut uses.
QString desktopShortcutBaseName(const QString& name);

// The program of an installed app or a folder: `path` itself when it is a
// startable file, else the first startable file of the folder (or of the
// file's folder) in name order. A startable file is a regular file with an
// executable bit, an AppImage or a desktop entry. Empty when none.
QString findAppExecutable(const QString& path);
bool isStartableFile(const QString& path);
