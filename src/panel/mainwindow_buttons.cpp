// The eleven panel buttons and the settings dialog's placement.
#include "panel/mainwindow.h"

#include "panel/windowrules.h"

#include <QScreen>

void MainWindow::handleUiButton(int ub)
{
    switch (uiButtonAction(ub, settings.uiLocked, dockRevealed && dockSticky)) {
    case UiButtonAction::None:
        break;
    case UiButtonAction::ShowLockScreen:
        showLockOverlay();
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
    if (!moveUiButtonInLayouts(settings.btnLayoutTitle, settings.btnLayoutBottom, ub, toArea, insertIndex))
        return;
    normalizeButtonLayouts(settings);
    saveSettings();
    applyAppSettings(settings);
}

void MainWindow::toggleDarkTheme()
{
    settings.darkTheme = !settings.darkTheme;
    saveSettings();
    applyAllSettings();
}

void MainWindow::openSettings()
{
    if (settings.uiLocked) {
        showLockOverlay();
        return;
    }
    // The settings dialog is built here with the live settings, the folder
    // of the settings file, the group list and the window's callbacks; the
    // summon hot key rests while it is open, and showSettingsDialogBeside()
    // places it.
}

void MainWindow::showSettingsDialogBeside(QWidget* dialog)
{
    const QScreen* s = screen();
    const QRect area = s ? s->availableGeometry() : QRect(QPoint(0, 0), QSize(1920, 1080));
    dialog->move(settingsDialogPosition(frameGeometry(), area, dialog->size()));
}
