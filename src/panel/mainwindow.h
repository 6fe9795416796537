#pragma once

#include "account/authstore.h"
#include "app/appsettings.h"
#include "app/configsafety.h"
#include "backup/maintenanceui.h"
#include "model/panelmodel.h"
#include "panel/desktopsync.h"
#include "panel/mainwindowstate.h"
#include "panel/panelsearch.h"
#include "platform/windowsystem.h"
#include "widgets/shortcutfile.h"

#include <QFuture>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

class AppMarketDialog;
class AuthManager;
class PanelUpdater;
class BorderFrame;
class BottomBar;
class FloatIcon;
class FrameInteraction;
class GlobalHotkey;
struct WindowAlpha;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class IconGrid;
class QNetworkAccessManager;
class QNetworkReply;
class QSystemTrayIcon;
class SettingsDialog;
class Sidebar;
class SupportChatDialog;
class TitleBarActions;
class Toast;
class UiLockOverlay;
struct PasswordCheckOutcome;
template <typename T> class QFutureWatcher;

// The panel window: frameless, translucent and self-painted. It owns the
// settings record, the one list of groups with their items, the bars of the
// panel and every timer of the panel process. Only its slots change the
// group list, and every change is saved to "layout.json" at once.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The fixed number carried by the wake request of a later start.
    static constexpr quint32 kWakeMessage = 0xDA5A;

    // Settings file ("settings.json" in the data root). saveSettings
    // reports a failure itself and returns whether the file was written.
    void loadSettings();
    bool saveSettings();

    // Layout file ("layout.json" in the data root). loadLayout returns false
    // when the caller must supply content (missing, empty, damaged file);
    // saveLayout returns true when the file was committed.
    bool loadLayout();
    bool saveLayout();
    // The first-run groups; replaces the list, does not save.
    void createDefaultGroups();
    void setCurrentGroupIndex(int index);
    // Saves after a change of the group list; the success toast only when
    // the file was written (a failure has already been reported).
    bool commitLayoutChange(const QString& successToast = QString());

    // kind 0: ordinary message, 1: a failure.
    void showToast(const QString& text, int kind);
    void reportConfigSaveFailure(const QString& path, const QString& message);

    // Asks a running automatic backup to cancel and waits for it at most
    // `budgetMs`; what is left of the budget goes to a backup started from
    // the settings dialog. Never fails.
    void stopBackupWorkers(int budgetMs);
    // Stops every timer and aborts the online requests.
    void stopBackgroundWork();

    // A later start of the program asked for the window.
    void onPanelWake();

    // A click on panel button `ub` in either bar.
    void handleUiButton(int ub);
    // Moves a panel button to insert position `insertIndex` (counted over
    // the buttons the bar shows) of the title bar (toArea 0) or the bottom
    // bar, then saves and applies the settings.
    void moveUiButton(int ub, int toArea, int insertIndex);

    // Shows item `itemIndex` of the current group as a float icon beside
    // its cell; null when there is no such item.
    FloatIcon* addFloatIcon(int itemIndex);
    // Closes every float icon.
    void removeAllFloatIcons();
    const QList<FloatIcon*>& floatIconList() const { return floatIcons; }
    TitleBarActions* titleBarActions() const { return titleBar; }
    BottomBar* bottomBarWidget() const { return bottomBar; }

    // Icons and the missing-item marks of the grid.
    void requestItemIcon(const PanelItem& item);
    // Requests the icons of the group shown that are neither cached nor on
    // their way; the other groups are asked for when they are shown.
    void requestShownGroupIcons();
    // A cell was painted without an icon.
    void onIconWanted(const QString& path);
    void pumpIconRequests();
    void onIconLoaded(const QString& path, const QImage& image);
    void reloadAllIcons();
    // Checks every item for its target off the GUI thread and marks the
    // missing ones when the answer comes back; does nothing while the
    // previous check still waits on the file system.
    void refreshMissingItems();
    void ensureIcon(const QString& path);

    // Opens an item's target (or its obfuscation substitute) as the user or
    // elevated, through the platform launcher. A target that cannot be
    // opened (no handler, no elevation helper, no terminal) gets the
    // failure toast; false then and while the panel is locked.
    bool launchTarget(const QString& path, const QString& workDir, const QString& args, bool runAsAdmin);

    // The item menu (mainwindow_itemmenu.cpp). fillItemMenu builds it for
    // item `itemIndex` of the current group, each action carrying its
    // ItemMenuAction as data (a move: kMoveToGroupBase + group index);
    // runItemMenuAction carries one out.
    enum ItemMenuAction { Open = 1, RunAsAdmin, ShowInFolder, Edit, Relocate, RestoreIcon, CopyPath,
                          DesktopShortcut, Float, Remove, ClearMissing, kMoveToGroupBase = 1000 };
    void fillItemMenu(QMenu* menu, int itemIndex);
    void runItemMenuAction(int action, int itemIndex);
    // What the shortcut editor gave back; `readOk` false when the shortcut
    // file could not be read, so that it is never overwritten.
    struct ItemEdit {
        QString name;
        ShortcutInfo start;
        bool readOk = true;
        ShortcutInfo values;
        int iconChange = 0;
        QString chosenIconPath;
    };
    void applyItemEdit(int itemIndex, const ItemEdit& edit);
    void relocateItem(int itemIndex, const QString& newPath);
    void createItemDesktopShortcut(int itemIndex);
    // Removes every missing item after a check off the GUI thread; items on
    // a disk that is not attached are removed only when the user agrees.
    void clearMissingItems();
    // Files the new entries of the desktop folder into the groups of their
    // file type; the listing runs off the GUI thread.
    void syncDesktopIcons();

    // The search panel (mainwindow_search.cpp), for tests.
    QWidget* searchPanelWidget() const { return searchPanel; }
    QLineEdit* searchLineEdit() const { return searchEdit; }
    QListWidget* searchResultList() const { return searchList; }
    const QList<SearchHit>& searchHits() const { return searchResults; }

    // Index of the first group other than `except` named exactly `name`, or -1.
    int groupIndexByName(const QString& name, int except = -1) const;

    // Read access for the owners of views and for tests.
    const QList<PanelGroup>& panelGroups() const { return groups; }
    int currentGroup() const { return currentGroupIndex; }
    const AppSettings& currentSettings() const { return settings; }
    QString layoutFilePath() const { return layoutPath; }
    int queuedIconRequests() const { return int(iconRequestQueue.size()); }
    // The paths of the items marked missing by the last check that came
    // back (another item of the same path may be fine).
    const QSet<QString>& missingItems() const { return missingPaths; }
    // Appearance, docking and tray state, for the owners of views and tests.
    const PanelLook& appearance() const { return look; }
    const PanelDock& docking() const { return dock; }
    bool isPinned() const { return pinned; }
    bool summonHotkeyRegistered() const { return hotkeyRegistered; }
    QSystemTrayIcon* tray() const { return trayIcon; }
    bool isPortrait() const { return portraitMode; }

    // Appearance settings reach the window, the theme and the bars only
    // through this (also the settings dialog's live preview); the other adds
    // auto-start, pinning, docking, tray and hot key.
    void applyAppSettings(const AppSettings& s);
    void applyAllSettings();
    // Replaces the settings record and applies it in full.
    void setSettingsAndApply(const AppSettings& s);

    // Docking and summoning.
    void summon();
    void showAndCentre();
    void collapseToEdge();
    void setTaskbarVisible(bool show);
    void registerSummonHotkey(bool announce);
    void unregisterSummonHotkey();
    void onSummonHotkey();
    // The end of a user move or resize.
    void onMoveSizeFinished();
    void pollDockState();
    void toggleOrientation();
    // Everything drawn at the device pixel ratio again, the lock screen's
    // background included (the ratio changed).
    void rerenderForPixelRatio();

    // Tray.
    void hideToTray();
    void quitFromTray();

    // The settings dialog while it is open, else null.
    SettingsDialog* openSettingsDialog() const { return settingsDialog; }
    // OK (Accepted) or Cancel of the settings dialog; the hot key and the
    // desktop-classification flag are those of the moment it opened.
    void onSettingsDialogFinished(int result, const QString& hotkeyAtOpen, bool autoClassifyAtOpen);
    // Queues one refresh of the open settings dialog after a model change.
    void scheduleSettingsDialogRefresh();

public Q_SLOTS:
    void setPinned(bool on);
    void refreshTheme();
    void onGroupSelected(int index);
    void onCreateGroup(QString name);
    void onRenameGroup(int index, QString name);
    void onDeleteGroup(int index);
    void onGroupsReordered(int from, int to);
    void onGroupDragDisplace(int from, int to);
    void onGroupCleared(int index);
    void onUrlsDroppedToGroup(int groupIndex, QList<QUrl> urls);
    void onShellItemsDroppedToGroup(int groupIndex, QList<std::pair<QString, QString>> items);
    void onItemMoved(int fromGroup, int itemIndex, int toGroup);
    void onItemActivated(int itemIndex);
    void onItemReordered(int from, int to);
    void onItemRemoveRequested(int itemIndex);
    // Drops on the icon grid land in the group it shows.
    void dropUrlsOnCurrentGroup(QList<QUrl> urls);
    void dropShellItemsOnCurrentGroup(QList<std::pair<QString, QString>> items);
    // The settings dialog changed items of the layout.
    void onLayoutChangedBySettings();
    void showItemMenu(int itemIndex, QPoint globalPos);
    void removeFloatIcon(FloatIcon* f);
    void openSettings();
    // Opens the settings on the screen-monitor set-up (the recorder's button
    // when it is not set up), asking for the protection password when one
    // is set.
    void openMonitorSettings();
    void toggleSearch();
    void refreshSearch(QString key);
    void runSearchResult(int row);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    // Waits for the automatic backup task; false when it still runs after `budgetMs`.
    bool stopAutoBackupWorker(int budgetMs);

    // The running automatic backup (result: an error text, empty on
    // success) and the cancel flag its task polls; set to true, the backup
    // stops.
    QFuture<QString> autoBackupTask;
    std::shared_ptr<std::atomic_bool> autoBackupCancel;

    // What the missing-item check asks, on a pool thread; empty: the file
    // system itself.
    PathExistsProbe pathExists;
    // Whether a missing path lies on a disk that is not attached (pool
    // thread), and the question whether to remove such items anyway
    // (1 all, 0 the others only, -1 none); empty: the system's and a
    // message box.
    std::function<bool(const QString&)> absentVolumeProbe;
    std::function<int(int offlineCount)> askRemoveOffline;
    // The new target of "relocate"; empty: the file dialog.
    std::function<QString()> chooseRelocation;

private:
    void layoutChildren();
    void updateTitle();
    // Views hold pointers into the group list: they are brought up to date
    // after every change, whether or not it could be saved.
    void refreshModelViews();
    void showSettingsDialogBeside(QWidget* dialog);
    void toggleDarkTheme();
    void applyMissingItems(const QSet<quint64>& found);
    // The index in the current group of the item with `key`, or -1.
    int currentItemIndexByKey(quint64 key) const;
    void connectModelViews();
    // Moves a group and keeps the current index on the group it showed;
    // false when the indexes were refused.
    bool moveGroupKeepingCurrent(int from, int to);
    // The refusal of a group name that another group already has.
    void showDuplicateGroupName(const QString& name);
    // The bars of the panel buttons and their connections.
    void buildButtonBars();
    // Which bar strip a window point lies in: 0 title, 1 bottom, -1 none.
    int buttonDropArea(const QPoint& pos) const;
    // A row of the gear menu: sign in, settings, web site, updates, sign out.
    void onGearMenuAction(int action);
    void updateGearMenuUser();
    // The lit state of a button in both bars.
    void setUiButtonLit(int ub, bool on);
    void closeFloatIcon(FloatIcon* f);
    QPixmap floatPictureOf(const PanelItem& item) const;
    // The item with `key` in any group, or null.
    const PanelItem* itemByKey(quint64 key) const;
    // The float tiles of `item` show it as it is now.
    void refreshFloatIconsOf(const PanelItem& item);
    // The refusal of an item action whose item left the panel meanwhile.
    void refuseGoneItem();

    // Neighbouring subsystems (account, notices, updates, backup, docking,
    // appearance, lock, desktop sync); mainwindow_services.cpp.
    void fitIntoScreen();
    void snapToEdgeAfterMove();
    // Appearance; mainwindow_appearance.cpp, mainwindow_background.cpp.
    bool rescaleBackground();
    void scheduleBackgroundRescale();
    void loadBackground(const QString& path);
    void dropBackground();
    void onGifFrame();
    void onGifResize();
    void pullVideoFrame();
    void applyWindowOpacity(const WindowAlpha& alpha);
    void applyWindowShape();
    void paintPanel(QPainter& p);
    // Tray and window icon; mainwindow_tray.cpp.
    QIcon makeAppIcon() const;
    void updateTrayIcon();
    void ensureTrayIcon();
    void retranslateTray();
    void updateTrayVisibility();
    // Docking; mainwindow_dock.cpp.
    void animateGeometry(const QRect& target);
    void updateDockPollTimer();
    QRect dockArea() const;
    void setTopmost(bool on);
    void revealDocked(const QRect& target, bool sticky);
    // A window manager may keep more of a collapsed panel on screen than
    // the edge strip (openbox keeps a tenth of a normal window): what shows
    // beyond the strip is masked off until the panel moves again.
    void clipCollapsedToStrip();
    void unclipCollapsed();
    void loadAuth();
    void tryAutoLogin();
    void syncAfterStartup();
    void checkTokenAlive();
    void checkUpdatesAtStartup();
    void runAutoBackupIfDue();
    void openAppMarket();
    void toggleScreenMonitor();
    // The recorder paused for want of disk space; mainwindow_monitor.cpp.
    void onScreenMonitorDiskFull();
    void onScreenMonitorFolderUnavailable(const QString& folder);
    void onScreenMonitorResumed();

    // Protection and lock; mainwindow_protect.cpp.
public:
    void showLockOverlay();
    void hideLockOverlay();
    void lockUi();
    void lockInterface();
    void unlockUi();
    void toggleObfuscation();
    // The reply of the lock-sync request of the signed-in account.
    void onLockSyncReply(QNetworkReply* reply);
    // The callbacks the settings dialog saves protection through.
    void applyProtectionFromSettings(const QString& hash, const QMap<QString, QString>& map);
    void applyLockBackgroundFromSettings(const QString& path);
    UiLockOverlay* lockScreen() const { return lockOverlay; }
    // The account whose lock epochs are compared; set by the sign-in.
    QString lockSyncUser;
    bool lockSyncPending = false;
    // The pending lock-sync request and the token it asked with: its
    // deadline ends it, a sign-in meanwhile replaces it.
    QPointer<QNetworkReply> lockSyncReply;
    QString lockSyncToken;
    // The property of a lock-sync reply naming the account it was asked for.
    static constexpr char kLockSyncUserProperty[] = "quilloryLockSyncUser";
    // The panel's other windows that the lock hid and its end brings back.
    const QList<QPointer<QWidget>>& windowsSetAsideByLock() const { return windowsHiddenForLock; }
private:
    void showStartupLockOverlay();
    void showUnlockPrompt();
    // The lock screen's check, off the GUI thread and through the guard
    // against guessing; renews a stored password of an older form.
    void checkLockScreenPassword(const QString& password,
                                 const std::function<void(const PasswordCheckOutcome&)>& answer);
    // Asks for the protection password (the dialog's remove link clears all
    // protection); true once it was given.
    bool askProtectionPassword();
    // A protection password was just set: the account signed in now owns it.
    void takeProtectionOwnership();
    // While locked no other window of the panel can be used: modal ones are
    // cancelled, menus closed, the rest hidden until the unlock.
    void setWindowsAsideForLock();
    // Hides a window that appears while locked until the unlock.
    void holdWindowWhileLocked(QWidget* w);
    void bringBackWindowsAfterLock();
    // Cancels every open password dialog (the protection changed under it).
    void closePasswordPrompts();
    QList<QPointer<QWidget>> windowsHiddenForLock;
    void removePasswordFromLockScreen();
    void dropLockOverlayNow();
    void setHeaderDividerHidden(bool hidden);
    void setPanelContentEnabled(bool enabled);
    // Closes an open settings dialog without saving it.
    void closeSettingsDialog();

    // Settings and the window.
    AppSettings settings;
    QSize rememberedSize{-1, -1};
    QString settingsPath;
    // Read through defaultLogoPixmap(): decoded off the GUI thread at start.
    mutable QPixmap defaultLogo;
    mutable QFuture<QImage> defaultLogoImage;

    // The model.
    QList<PanelGroup> groups;
    int currentGroupIndex = 0;
    QString layoutPath;

    // Bars of the panel; built here once they exist.
    TitleBarActions* titleBar = nullptr;
    Sidebar* sidebar = nullptr;
    IconGrid* iconGrid = nullptr;
    BottomBar* bottomBar = nullptr;
    BorderFrame* borderFrame = nullptr;
    Toast* toast = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    SettingsDialog* settingsDialog = nullptr;
    UiLockOverlay* lockOverlay = nullptr;
    QNetworkAccessManager* networkManager = nullptr;
    FrameInteraction* frameInteraction = nullptr;

    bool pinned = false;
    // The "start pinned" value last applied; -1 before the first apply.
    int appliedStartPinned = -1;
    bool portraitMode = false;
    bool compactGroups = false;
    bool quitRequested = false;
    bool hotkeyRegistered = false;
    bool ready = false;
    bool rerendering = false;
    bool settingsRefreshPending = false;
    // Docked and slid out by the hot key or a gesture (both reveal flags).
    bool dockRevealed = false;
    bool dockSticky = false;
    qreal cachedPixelRatio = 1.0;

    std::function<void()> marketAction;
    std::function<void()> feedbackAction;
    std::function<void()> themeAction;

    // Icon requests waiting for the pump, oldest first.
    QStringList iconRequestQueue;
    // Paths queued or handed to the icon service whose result has not come
    // back yet.
    QSet<QString> iconRequestsPending;

    QSet<QString> missingPaths;
    QSet<quint64> missingKeys;
    bool missingCheckRunning = false;

    // Search; mainwindow_search.cpp.
    void buildSearchPanel();
    void ensureSearchPanel();
    void layoutSearchPanel();
    void onSearchItemActivated(QListWidgetItem* activated);
    void activateSearchResult(int row);
    QWidget* searchPanel = nullptr;
    QLineEdit* searchEdit = nullptr;
    QListWidget* searchList = nullptr;
    QList<SearchHit> searchResults;

    // Desktop sync; mainwindow_desktopsync.cpp.
    void applyDesktopSync(const QStringList& folders, const QList<DesktopEntryCandidate>& candidates);
    bool desktopSyncRunning = false;

    QTimer* iconPumpTimer = nullptr;
    QTimer* repaintTimer = nullptr;
    QTimer* missingCheckTimer = nullptr;
    QTimer* searchTimer = nullptr;
    QTimer* supportPollTimer = nullptr;
    QTimer* dockPollTimer = nullptr;
    QTimer* noticeTimer = nullptr;
    QTimer* heartbeatTimer = nullptr;
    QTimer* backupTimer = nullptr;
    QTimer* pixelRatioTimer = nullptr;
    QTimer* gifResizeTimer = nullptr;
    QTimer* rescaleTimer = nullptr;
    QTimer* videoPullTimer = nullptr;

    // One damage toast per run for the settings and the layout file, and
    // the throttle of save-failure toasts.
    ConfigDamageNotice damageNotice;
    ConfigSaveFailureReporter saveFailureReporter;

    // Float icons, owned here; not stored, they end with the process.
    QList<FloatIcon*> floatIcons;

    PanelLook look;
    PanelDock dock;
    std::unique_ptr<GlobalHotkey> summonKey;
    bool clickThrough = false;

    std::unique_ptr<WindowSystem::WakeWatch> wakeWatch;
    bool firstPaintReported = false;
    // Start-up work the first frame need not wait for; run once the panel
    // has painted, or a second after the start for a panel not shown.
    QList<std::function<void()>> afterFirstFrame;
    bool constructing = true;
    bool firstFrameWorkRan = false;
    bool iconPumpWaitsForFirstFrame = false;
    bool settingsPrepared = false;
    bool pollSupportAfterFirstPaint = false;

    // Account session; mainwindow_account.cpp.
public:
    void saveAuth();
    // Runs the sign-in dialog; true when signed in afterwards.
    bool showLogin();
    void onAuthLost(const QString& reason);
    void syncLockState();
    void reportHostIfNewSession();
    void signOut();
    const AuthState& authState() const { return auth; }
    // How many times a lost sign-in was shown to the user.
    int signedOutNotices() const { return signedOutShown; }
private:
    void startAccountSession();
    void showSignedOut(const QString& reason);
    QNetworkAccessManager* onlineManager();
    AuthState auth;
    AuthManager* authManager = nullptr;
    QString lastReportedToken;
    bool authLostBusy = false;
    int signedOutShown = 0;
    QPointer<QWidget> signedOutDialog;

    // App market; mainwindow_market.cpp.
public:
    // Files an installed market app into the group "应用市场".
    void addMarketAppToPanel(const QString& name, const QString& exePath);
    // The market window, null until the market is first opened.
    AppMarketDialog* appMarket() const;
    // Gives the market window the current session token (empty when signed out).
    void handTokenToMarket();
private:
    void connectAppMarketSignals();
    QPointer<AppMarketDialog> marketDialog;

    // Backup and data maintenance; mainwindow_backup.cpp.
public:
    // Packs the log folder into a zip the user picks (a plain folder copy
    // when the archiver fails); one toast tells the outcome.
    void exportLogs();
    // The user-data bundle: groups, settings and installed apps in one file.
    // The import replaces those files all or none and reloads the panel.
    void exportUserData();
    void importUserData();
    // Reloads groups and settings after a snapshot restore replaced them.
    void reloadAfterRestore();
    // Hands over to the uninstall script and quits (full: data too).
    void uninstallApp(bool full);
    // Hands over to the reset script, which empties the data root and starts
    // the panel again; ends the process without saving.
    void factoryReset();
    // The questions, file dialogs and detached start of the above.
    MaintenanceUi maintenanceUi;

private:
    void onAutoBackupFinished();
    QString maintenanceDataRoot() const;
    QFutureWatcher<QString>* autoBackupWatcher = nullptr;
    friend class TestMainWindowBackup;
    // Notices and the support chat; mainwindow_notice.cpp, mainwindow_support.cpp.
public:
    void fetchLatestNotice();
    void showLatestNotice(QNetworkReply* reply);
    void onSupportPollTimer();
    // One "unread" request, without the skip rules of the timer.
    void pollSupportUnread();
    const QPixmap& defaultLogoPixmap() const;
    // Runs `work` after the first frame (at once when that work has run).
    void runAfterFirstFrame(std::function<void()> work);
    void runFirstFrameWork();
    // The application font of the settings' family.
    void applyUiFont(const AppSettings& s);
    // The folder the settings dialog shows as the data folder.
    QString settingsDataDir() const;
    // Once per process, when a menu that leads to the settings dialog opens:
    // loads what the dialog's first frame needs while the pointer travels.
    void prepareSettingsDialogSoon();
    void openSupportChat();
    // Read by tests.
    qint64 pendingNotice() const { return pendingNoticeId; }
    SupportChatDialog* supportChatDialog() const;
    int supportUnreadCount() const { return supportUnread; }
    bool unreadPollPending() const;
private:
    void onUnreadReply(QNetworkReply* reply);
    void onSupportLoginRequested();
    QObject* onlineGuard();
    qint64 pendingNoticeId = 0;
    QPointer<SupportChatDialog> supportChat;
    QPointer<QNetworkReply> unreadReply;
    int supportUnread = 0;
    std::unique_ptr<QObject> onlineGuardObject;

    // Updates; mainwindow_update.cpp.
public:
    void checkForUpdates(bool beta, bool manual);
    // The settings dialog's "check for updates".
    void checkUpdatesFromSettings();
    // A stand-in for the update channel chosen on the open settings dialog
    // (0 stable, 1 beta, negative: none chosen). Unset, the open dialog's
    // working copy counts, and without a dialog the saved channel.
    std::function<int()> settingsUpdateChannelChoice;
    // The window's updater, made on first use.
    PanelUpdater* updater();
private:
    PanelUpdater* panelUpdater = nullptr;
};
