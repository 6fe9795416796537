#pragma once

#include "app/appsettings.h"
#include "backup/backupengine.h"
#include "settings/settingsabout.h"
#include "settings/settingsbackup.h"
#include "settings/settingslayout.h"
#include "settings/settingspagemodel.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class BackupOperationRunner;
class ElideCombo;
class QKeySequenceEdit;
class QLineEdit;
class SettingsPrompts;
class SliderWidget;
struct BackupResult;
struct PanelGroup;

// One row of the button-icon card (appearance page) or of the icon list
// (icons page).
struct IconRow {
    int btnId = -1;
    int groupIndex = -1;
    int itemIndex = -1;
    QString subtitle;
    QString title;
    QString path;
    bool hidden = false;
    QString iconLight;
    QString iconDark;
    QString iconHover;
    QString iconActive;
};

// One panel item on the obfuscation card of the protection page.
struct ProtectRow {
    QString groupName;
    QString itemName;
    QString path;
    QString target;       // the substitute the panel opens; empty when none
    QString customIcon;
    int groupIndex = -1;
    int itemIndex = -1;
};

// Where the obfuscation card sits, in content coordinates.
struct ProtectCardLayout {
    QRect header;
    QRect passwordButton;
    QList<QRect> groupCards;   // one per group; exactly one without groups
    QList<QRect> tiles;        // one per ProtectRow
    QList<QRect> chooseButtons;
    QList<QRect> clearButtons;
};

// The settings window: frameless, self-painted and modeless. It edits a
// working copy of the live settings and previews every change on the panel
// through the apply callback; OK hands the user's edits to the live record,
// Cancel puts the live look back. It emits no signals: whatever it needs of
// the main window goes through the callbacks it is given, any of which may
// be empty. Questions, pickers and menus go through the prompts seam
// (settingsprompts.h).
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    using Callback = std::function<void()>;
    using ApplyCallback = std::function<void(const AppSettings&)>;
    using UninstallCallback = std::function<void(bool withData)>;
    using LockBackgroundCallback = std::function<void(const QString& path)>;
    using ProtectionCallback = std::function<void(const QString& hash, const QMap<QString, QString>& map)>;

    SettingsDialog(AppSettings* settings, QString dataDir, Callback onClearIconCache, ApplyCallback onApply,
                   Callback onExportUserData, Callback onImportUserData, Callback onCheckUpdate, Callback onExportLogs,
                   UninstallCallback onUninstall, QList<PanelGroup>* groups, Callback onLayoutChanged,
                   LockBackgroundCallback onLockBackground, ProtectionCallback onProtectionChanged,
                   Callback onRestoreFinished, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Held while a prompt or a callback of the dialog runs an event loop of
    // its own: whatever closes the dialog meanwhile (a lock, a remote
    // unlock, the quit) closes those prompts, and the dialog itself is
    // deleted only once the last of them has returned.
    class BusyScope {
    public:
        explicit BusyScope(SettingsDialog* dialog);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        QPointer<SettingsDialog> m_dialog;
    };
    // True while the dialog closes under one of its open prompts: nothing
    // more is asked.
    bool isClosingUnderPrompt() const { return m_closing && m_busyDepth > 0; }

    // Lays out and paints a dialog for `settings` off screen once, so that
    // the first real open finds the fonts, glyphs and field styles it needs
    // already loaded instead of loading them while the user waits. Meant
    // for the moment the user heads for the dialog; touches no file and
    // calls no callback.
    static void prepareFirstOpen(const AppSettings& settings, const QString& dataDir);

    void setFactoryResetHandler(Callback handler);
    // Clamped to 0..6; drops the hint bubble.
    void setCurrentPage(int page);
    // The protection page without the password question (the recorder's
    // set-up from the panel).
    void gotoMonitorSettings();
    // The protection page, asking for the password unless given already.
    void gotoProtectPage();
    // Takes the live protection password, clears hover, ends a thumb drag,
    // re-lays out and repaints (the main window's model or settings changed
    // under an open dialog).
    void resetPointerState();
    // Shows the dialog's edits on the panel again (the panel re-applied its
    // own settings under the open dialog).
    void reapplyPreview() { preview(); }
    // The exit hook: raises the cancel flag of a running backup operation
    // and waits at most `budgetMs` for its worker.
    void stopBackupWorker(int budgetMs);

    void relayout();
    void applyStyle();
    bool ensureProtectAccess();
    void showColourMenu(int area, const QPoint& globalPos);
    void editButtonCell(int row, int cell);
    void editItemCell(int row, int cell);

    // True when the window point lies on element `id`.
    bool hitTest(const QPoint& pos, int id) const;
    SliderWidget* sliderByNumber(int number) const;

    // Read by the main window, the screenshot mode and tests.
    int currentPage() const { return m_currentPage; }
    const AppSettings& workingSettings() const { return m_working; }
    int scrollOffset() const { return m_scroll; }
    void setScrollOffset(int offset);
    const SettingsPageLayout& pageLayout() const { return m_layout; }
    const QList<SettingsSection>& pageModel() const { return m_model; }
    const QList<IconRow>& iconRows() const { return m_iconRows; }
    int hoveredId() const { return m_hoverId; }
    int pressedId() const { return m_pressedId; }
    bool isCloseHovered() const { return m_closeHovered; }
    bool isThumbDragging() const { return m_thumbDragging; }
    QString hintText() const { return m_hintText; }
    QRect hintAnchor() const { return m_hintAnchor; }
    bool isProtectUnlocked() const { return m_protectUnlocked; }
    QKeySequenceEdit* hotkeyEditor() const { return m_hotkeyEdit; }
    QLineEdit* titleEditor() const { return m_titleEdit; }
    ElideCombo* fontComboBox() const { return m_fontCombo; }
    QString dataDirectory() const { return m_dataDir; }

    // Backup page.
    using BackupResult = ::BackupResult;
    // The working copy's backup folder, or the default one of the data root.
    QString backupDirectory() const;
    const QList<BackupEngine::SnapshotInfo>& snapshotRows() const { return m_snapshots; }
    QString snapshotSummary() const { return m_snapshotSummary; }
    bool isBackupBusy() const;

    // Protection page.
    void layoutProtectPage(int width, int top);
    void pickObfuscationTarget(int row, int action);
    void primeProtectIcons();
    QPixmap protectRowPixmap(const ProtectRow& row) const;
    const QList<ProtectRow>& protectRows() const { return m_protectRows; }
    const ProtectCardLayout& protectCardLayout() const { return m_protectLayout; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

    bool event(QEvent* event) override;

public:
    void reject() override;
    void done(int result) override;

private:
    // The shell (settingsdialog.cpp).
    void buildChildWidgets();
    void ensureFontList();
    void commitAndAccept();
    void restoreDefaults();
    void switchPage(int page, bool dropHint);
    // Previews the working copy on the panel.
    void preview();

    // Layout and child placement (settingsdialog_layout.cpp).
    void buildButtonRows();
    void buildItemRows();
    void placeChildWidgets();
    void syncFontCombo();

    // Input (settingsdialog_input.cpp).
    void dispatchClick(int id, const QPoint& globalPos);
    void dropHint();
    void endThumbDrag();
    void updateHover(const QPoint& pos);
    int thumbLength() const;

    // Actions of the pages (settingsdialog_actions.cpp).
    void toggleSwitch(int n);
    void setSegment(int row, int value);
    void onSliderChanged(int number, int value);
    void showRevealMenu(const QPoint& globalPos);
    void chooseLogo();
    void chooseBackground(bool portrait);
    void clearBackground(bool portrait);
    void chooseLockBackground();
    void restoreLockBackground();
    void chooseMonitorDir();
    void openMonitorDir();
    void showTriggerMenu(const QPoint& globalPos);
    void editProtectPassword();
    void notifyProtection();
    void syncProtectionHash();

    // Backup page (settingsdialog_backup.cpp).
    void layoutBackupPage();
    void paintBackupPage(QPainter& p, const QColor& cardColour);
    // True when `id` is a control of the backup page and was handled.
    bool backupPageClick(int id, const QPoint& globalPos);
    void showIntervalMenu(const QPoint& globalPos);
    void showRetainMenu(const QPoint& globalPos);
    void chooseBackupDir();
    void exportNewestSnapshot();
    void deleteSnapshot(int row);
    void confirmRestore(int row);
    void runBackupOp(int op, const QString& a, const QString& b);
    void onBackupOpFinished(const BackupResult& result);
    void refreshSnapshotList(bool force);

    // About page (settingsdialog_about.cpp).
    void layoutAboutPage(int w);
    void paintAboutPage(QPainter& p);
    void runAboutAction(int id);

    // Painting (settingsdialog_paint.cpp).
    void paintSections(QPainter& p, const QColor& cardColour);
    void paintRow(QPainter& p, const SettingsRow& row, const SettingsRowRects& rr, bool whole, int& plainButtons);
    void paintChip(QPainter& p, const SettingsRow& row, const SettingsChip& chip, const QRect& c, const QRect& rowRect);
    void paintBackgroundThumb(QPainter& p, const QRect& c, const QString& path, const QString& tag, int clearId);
    void paintLogoInChip(QPainter& p, const QRect& c);
    void paintFooter(QPainter& p);
    void paintHintBubble(QPainter& p);
    void paintScrollBar(QPainter& p);
    void paintButtonsCard(QPainter& p, const QColor& cardColour);
    void paintIconList(QPainter& p, const QColor& cardColour);
    void paintRowButton(QPainter& p, const QRect& r, const QString& label, int id, const QColor& swatch);
    QPixmap iconRowPixmap(const IconRow& row) const;
    QColor colourOfSetting(int elementId) const;
    int colourModeOfSetting(int elementId) const;

    // Protection page (settingsdialog_protect.cpp).
    void paintProtectCard(QPainter& p, const QColor& cardColour);
    // Icons page: the right button on an item row.
    void iconListRightPress(const QPoint& pos);

    AppSettings* m_settings = nullptr;
    AppSettings m_working;
    // The live settings as they were when the dialog opened: what the user
    // changed is what differs from it.
    AppSettings m_opened;
    QString m_dataDir;
    Callback m_onClearIconCache;
    ApplyCallback m_onApply;
    Callback m_onExportUserData;
    Callback m_onImportUserData;
    Callback m_onCheckUpdate;
    Callback m_onExportLogs;
    UninstallCallback m_onUninstall;
    Callback m_onFactoryReset;
    QList<PanelGroup>* m_groups = nullptr;
    Callback m_onLayoutChanged;
    LockBackgroundCallback m_onLockBackground;
    ProtectionCallback m_onProtectionChanged;
    Callback m_onRestoreFinished;
    std::shared_ptr<SettingsPrompts> m_prompts;
    int m_busyDepth = 0;
    bool m_closing = false;
    bool m_deletePending = false;

    int m_currentPage = 0;
    bool m_protectUnlocked = false;
    QKeySequenceEdit* m_hotkeyEdit = nullptr;
    QLineEdit* m_titleEdit = nullptr;
    ElideCombo* m_fontCombo = nullptr;
    QList<SliderWidget*> m_sliders;
    bool m_fontListFilled = false;
    int m_dialogWidth = 780;
    int m_dialogHeight = 800;

    // Page state.
    QList<SettingsSection> m_model;
    SettingsPageLayout m_layout;
    QList<IconRow> m_iconRows;
    int m_scroll = 0;

    // The part of the content being repainted, in content coordinates: a
    // slider's repaint must not redraw every row beneath the translucent
    // window.
    QRect m_paintArea;
    // Texts painted shortened, in window coordinates, with their whole text:
    // the tool tip of the place under the pointer.
    QList<std::pair<QRect, QString>> m_shortenedTexts;
    void noteShortened(const QRect& windowRect, const QString& shown, const QString& whole);

    // Pointer state.
    int m_hoverId = -1;
    bool m_closeHovered = false;
    int m_pressedId = -1;
    bool m_thumbDragging = false;
    // Moving the window by its title area without the window manager.
    bool m_windowDragging = false;
    QPoint m_windowDragOffset;
    int m_dragStartY = 0;
    int m_dragStartScroll = 0;
    QString m_hintText;
    QRect m_hintAnchor;
    int m_hintOwnerId = -1;

    // Icons of the item rows asked of the icon service, and the coalesced
    // repaint for their answers.
    QSet<QString> m_requestedIconPaths;
    bool m_iconRepaintPending = false;

    // Backup page: the one-at-a-time operation runner, the listed
    // snapshots (newest first) and where the page's parts sit.
    std::unique_ptr<BackupOperationRunner> m_backupRunner;
    QList<BackupEngine::SnapshotInfo> m_snapshots;
    qint64 m_snapshotTotalBytes = 0;
    QString m_snapshotSummary;
    qint64 m_lastSnapshotRefreshMs = 0;
    BackupPageGeometry m_backupGeometry;

    // Protection page.
    QList<ProtectRow> m_protectRows;
    ProtectCardLayout m_protectLayout;

    // About page.
    AboutPageLayout m_about;
};

// The formats hint shown before a background is chosen.
QString backgroundFormatsHintHtml();

// The first entry of the font list: "默认（…）" naming the font the platform
// actually draws the interface with.
QString defaultFontItemText();
// True when the lower-cased path ends with a video suffix the background
// player takes.
bool isVideoBackground(const QString& path);
