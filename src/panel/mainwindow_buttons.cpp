// The eleven panel buttons, their bars and drops, the gear menu, float
// icons and the settings dialog's placement.
#include "panel/mainwindow.h"

#include "icons/iconservice.h"
#include "app/paths.h"
#include "panel/windowrules.h"
#include "settings/settingsdialog.h"
#include "widgets/bottombar.h"
#include "widgets/dragpayloads.h"
#include "widgets/floaticon.h"
#include "widgets/gearmenupopup.h"
#include "widgets/icongrid.h"
#include "widgets/titlebaractions.h"

#include <QCursor>
#include <QDebug>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace {

constexpr int kBarHeight = 28;
// Long enough for the menu's first frame, far shorter than a hand's move
// from the menu's edge to its settings row.
constexpr int kPrepareSettingsDelayMs = 60;

} // namespace

void MainWindow::buildButtonBars()
{
    titleBar = new TitleBarActions(this);
    connect(titleBar, &TitleBarActions::actionTriggered, this, &MainWindow::handleUiButton);
    connect(titleBar, &TitleBarActions::gearMenuAboutToShow, this, &MainWindow::updateGearMenuUser);
    connect(titleBar, &TitleBarActions::gearMenuAboutToShow, this, &MainWindow::prepareSettingsDialogSoon);
    connect(titleBar, &TitleBarActions::gearMenuAction, this, &MainWindow::onGearMenuAction);
    connect(titleBar, &TitleBarActions::uibtnDropped, this, &MainWindow::moveUiButton);
}

void MainWindow::handleUiButton(int ub)
{
    switch (uiButtonAction(ub, settings.uiLocked, dockRevealed && dockSticky)) {
    case UiButtonAction::None:
        break;
    case UiButtonAction::ShowLockScreen:
        showUnlockPrompt();
        break;
    case UiButtonAction::ToggleOrientation:
        toggleOrientation();
        break;
    case UiButtonAction::OpenSettings:
        openSettings();
        break;
    case UiButtonAction::TogglePinned:
        setPinned(!pinned);
        break;
    case UiButtonAction::CollapseToEdge:
        collapseToEdge();
        break;
    case UiButtonAction::Minimize:
        showMinimized();
        break;
    case UiButtonAction::Close:
        close();
        break;
    case UiButtonAction::AppMarket:
        if (marketAction)
            marketAction();
        break;
    case UiButtonAction::ToggleTheme:
        if (themeAction)
            themeAction();
        break;
    case UiButtonAction::SupportChat:
        if (feedbackAction)
            feedbackAction();
        break;
    case UiButtonAction::LockInterface:
        lockInterface();
        break;
    case UiButtonAction::ToggleScreenMonitor:
        toggleScreenMonitor();
        break;
    case UiButtonAction::ToggleObfuscation:
        toggleObfuscation();
        break;
    }
}

void MainWindow::moveUiButton(int ub, int toArea, int insertIndex)
{
    if (!moveUiButtonInLayouts(settings.btnLayoutTitle, settings.btnLayoutBottom, settings.btnVisible, ub, toArea,
                               insertIndex))
        return;
    normalizeButtonLayouts(settings);
    saveSettings();
    applyAppSettings(settings);
}

void MainWindow::setUiButtonLit(int ub, bool on)
{
    if (titleBar)
        titleBar->setButtonActive(ub, on);
    if (bottomBar)
        bottomBar->setButtonActive(ub, on);
}

// The gear menu's account entries live in mainwindow_account.cpp.

int MainWindow::buttonDropArea(const QPoint& pos) const
{
    if (pos.y() >= 0 && pos.y() < kBarHeight)
        return kTitleBarArea;
    if (pos.y() >= height() - kBarHeight)
        return kBottomBarArea;
    return -1;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasFormat(kUiBtnMimeType) && buttonDropArea(event->position().toPoint()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasFormat(kUiBtnMimeType)) {
        event->ignore();
        return;
    }
    const QPoint pos = event->position().toPoint();
    const int area = buttonDropArea(pos);
    UiBtnBar* bar = area == kTitleBarArea ? static_cast<UiBtnBar*>(titleBar)
                  : area == kBottomBarArea ? static_cast<UiBtnBar*>(bottomBar)
                                           : nullptr;
    // Drops on a bar's own widget are the bar's.
    if (!bar || bar->geometry().contains(pos)) {
        event->ignore();
        return;
    }
    const int ub = readUiBtnPayload(event->mimeData()->data(kUiBtnMimeType));
    if (!isUiBtnId(ub)) {
        event->ignore();
        return;
    }
    const int index = bar->insertIndexAt(bar->mapFrom(this, pos).x());
    event->acceptProposedAction();
    moveUiButton(ub, area, index);
}

namespace {

// The property of a float tile naming its item (PanelItem::key).
constexpr char kFloatItemKey[] = "itemKey";

} // namespace

FloatIcon* MainWindow::addFloatIcon(int itemIndex)
{
    if (settings.uiLocked)
        return nullptr;
    if (currentGroupIndex < 0 || currentGroupIndex >= groups.size())
        return nullptr;
    const PanelGroup& group = groups.at(currentGroupIndex);
    if (itemIndex < 0 || itemIndex >= group.items.size())
        return nullptr;
    const PanelItem item = group.items.at(itemIndex);
    const QPixmap picture = floatPictureOf(item);

    QPoint position = iconGrid ? iconGrid->itemGlobalRect(itemIndex).topLeft() : QPoint();
    if (iconGrid && iconGrid->columns() > 0)
        position = iconGrid->snapToCell(QCursor::pos()) - QPoint(36, 36);

    auto* tile = new FloatIcon(picture, item.name, position, nullptr);
    tile->setProperty(kFloatItemKey, item.key);
    // The item as it is now (relocated, edited); as it was when the tile
    // was made once it has left the panel.
    connect(tile, &FloatIcon::openRequested, this, [this, item] {
        const PanelItem* live = itemByKey(item.key);
        const PanelItem& target = live ? *live : item;
        launchTarget(target.path, target.workDir, target.args, target.runAsAdmin);
    });
    connect(tile, &FloatIcon::removeRequested, this, [this, tile] { closeFloatIcon(tile); });
    connect(tile, &FloatIcon::removeAllRequested, this, &MainWindow::removeAllFloatIcons);
    tile->show();

    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QPoint at = tile->pos();
    tile->move(qBound(area.left(), at.x(), qMax(area.left(), area.right() - tile->width())),
               qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - tile->height())));
    floatIcons.append(tile);
    return tile;
}

QPixmap MainWindow::floatPictureOf(const PanelItem& item) const
{
    QPixmap picture;
    if (!item.customIcon.isEmpty())
        picture = QPixmap(item.customIcon);
    if (picture.isNull())
        picture = iconPixmapForPath(item.path);
    return picture;
}

const PanelItem* MainWindow::itemByKey(quint64 key) const
{
    for (const PanelGroup& g : groups) {
        for (const PanelItem& it : g.items) {
            if (it.key == key)
                return &it;
        }
    }
    return nullptr;
}

void MainWindow::refreshFloatIconsOf(const PanelItem& item)
{
    for (FloatIcon* tile : std::as_const(floatIcons)) {
        if (tile->property(kFloatItemKey).toULongLong() == item.key)
            tile->setItem(floatPictureOf(item), item.name);
    }
}

void MainWindow::removeFloatIcon(FloatIcon* f)
{
    if (floatIcons.removeOne(f))
        f->deleteLater();
}

void MainWindow::closeFloatIcon(FloatIcon* f)
{
    removeFloatIcon(f);
}

void MainWindow::removeAllFloatIcons()
{
    const QList<FloatIcon*> tiles = std::exchange(floatIcons, {});
    for (FloatIcon* f : tiles)
        f->deleteLater();
}

void MainWindow::toggleDarkTheme()
{
    settings.darkTheme = !settings.darkTheme;
    saveSettings();
    applyAllSettings();
}

QString MainWindow::settingsDataDir() const
{
    return layoutPath.isEmpty() ? cachedAppDataDir() : QFileInfo(layoutPath).absolutePath();
}

void MainWindow::prepareSettingsDialogSoon()
{
    if (settingsPrepared)
        return;
    settingsPrepared = true;
    // After the menu has painted its first frame: the dialog's fonts and
    // glyphs (several megabytes of font pages) are loaded only for a user
    // who heads for it, and the menu does not wait for them.
    QTimer::singleShot(kPrepareSettingsDelayMs, this, [this] {
        if (!settingsDialog && !settings.uiLocked)
            SettingsDialog::prepareFirstOpen(settings, settingsDataDir());
    });
}

void MainWindow::openSettings()
{
    if (settings.uiLocked) {
        showUnlockPrompt();
        return;
    }
    if (settingsDialog) {
        settingsDialog->showNormal();
        settingsDialog->raise();
        settingsDialog->activateWindow();
        return;
    }
    auto* dialog = new SettingsDialog(
        &settings, settingsDataDir(), [this] { reloadAllIcons(); }, [this](const AppSettings& s) { applyAppSettings(s); },
        [this] { exportUserData(); }, [this] { importUserData(); }, [this] { checkUpdatesFromSettings(); },
        [this] { exportLogs(); }, [this](bool withData) { uninstallApp(withData); }, &groups,
        [this] { onLayoutChangedBySettings(); },
        [this](const QString& path) { applyLockBackgroundFromSettings(path); },
        [this](const QString& hash, const QMap<QString, QString>& map) { applyProtectionFromSettings(hash, map); },
        // A restore may report after the dialog has gone.
        [self = QPointer<MainWindow>(this)] {
            if (self)
                self->reloadAfterRestore();
        },
        nullptr);
    dialog->setFactoryResetHandler([this] { factoryReset(); });
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    settingsDialog = dialog;
    // The hot-key editor must be able to record the summon key itself.
    unregisterSummonHotkey();
    showSettingsDialogBeside(dialog);
    const QString hotkeyAtOpen = settings.summonHotkey;
    const bool classifyAtOpen = settings.autoClassify;
    connect(dialog, &QDialog::finished, this, [this, hotkeyAtOpen, classifyAtOpen](int result) {
        onSettingsDialogFinished(result, hotkeyAtOpen, classifyAtOpen);
    });
    connect(dialog, &QObject::destroyed, this, [this, dialog] {
        if (settingsDialog == dialog)
            settingsDialog = nullptr;
    });
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void MainWindow::onSettingsDialogFinished(int result, const QString& hotkeyAtOpen, bool autoClassifyAtOpen)
{
    if (result == QDialog::Accepted) {
        registerSummonHotkey(settings.summonHotkey != hotkeyAtOpen);
        saveSettings();
        if (!autoClassifyAtOpen && settings.autoClassify)
            syncDesktopIcons();
    } else {
        registerSummonHotkey(false);
    }
    applyAllSettings();
    settingsDialog = nullptr;
}

void MainWindow::scheduleSettingsDialogRefresh()
{
    if (!settingsDialog || settingsRefreshPending)
        return;
    settingsRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        settingsRefreshPending = false;
        if (settingsDialog)
            settingsDialog->resetPointerState();
    });
}

void MainWindow::closeSettingsDialog()
{
    if (settingsDialog)
        settingsDialog->reject();
}

void MainWindow::showSettingsDialogBeside(QWidget* dialog)
{
    const QScreen* s = screen();
    const QRect area = s ? s->availableGeometry() : QRect(QPoint(0, 0), QSize(1920, 1080));
    dialog->move(settingsDialogPosition(frameGeometry(), area, dialog->size()));
}
