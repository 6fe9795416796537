// Locking, unlocking and obfuscation: keeps "uiLocked", "obfuscateEnabled"
// and the password hash consistent with each other and with buttons 8 and 10.
#include "panel/mainwindow.h"

#include "app/jsonutil.h"
#include "app/lang.h"
#include "market/appmarketdialog.h"
#include "panel/borderframe.h"
#include "protect/lockdialog.h"
#include "protect/passwordguard.h"
#include "protect/passwordhash.h"
#include "protect/uilockoverlay.h"
#include "widgets/bottombar.h"
#include "widgets/gearmenupopup.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/titlebaractions.h"
#include "widgets/toast.h"
#include "widgets/uibtn.h"

#include <QApplication>
#include <QDebug>
#include <QDialog>
#include <QJsonObject>
#include <QMenu>
#include <QNetworkReply>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {
constexpr int kLockButton = 8;
constexpr int kObfuscationButton = 10;
} // namespace

void MainWindow::setHeaderDividerHidden(bool hidden)
{
    if (!borderFrame)
        return;
    const int y = hidden ? -100 : BorderFrame::kTitleHeight;
    if (borderFrame->titleHeight != y) {
        borderFrame->titleHeight = y;
        borderFrame->update();
    }
}

void MainWindow::checkLockScreenPassword(const QString& password, const std::function<void(const PasswordCheckOutcome&)>& answer)
{
    const QString asked = settings.protectPasswordHash;
    checkProtectionPassword(asked, password, this, [this, asked, answer](const PasswordCheckOutcome& outcome) {
        // A password removed or replaced meanwhile keeps what it became.
        if (!outcome.renewedHash.isEmpty() && settings.protectPasswordHash == asked) {
            settings.protectPasswordHash = outcome.renewedHash;
            saveSettings();
        }
        answer(outcome);
    });
}

bool MainWindow::askProtectionPassword()
{
    LockDialog dialog(LockDialog::Verify, this);
    const QString asked = settings.protectPasswordHash;
    dialog.setStoredHash(asked);
    dialog.removeHook = [this] {
        settings.protectPasswordHash.clear();
        settings.obfuscateEnabled = false;
        settings.uiLocked = false;
        saveSettings();
        setUiButtonLit(kObfuscationButton, false);
    };
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (!dialog.renewedHash().isEmpty() && settings.protectPasswordHash == asked) {
        settings.protectPasswordHash = dialog.renewedHash();
        saveSettings();
    }
    return true;
}

void MainWindow::takeProtectionOwnership()
{
    // Only the account signed in now may lift this password from afar, and
    // only with an unlock it grants from here on: its next answer is the
    // new starting point.
    settings.progUnlockOwner = auth.token.isEmpty() ? QString() : auth.username;
    settings.progUnlockEpochUser.clear();
}

void MainWindow::setWindowsAsideForLock()
{
    closeSettingsDialog();
    const QWidget* trayMenu = trayIcon ? trayIcon->contextMenu() : nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || w == trayMenu || !w->isVisible() || qobject_cast<Toast*>(w))
            continue;
        auto* dialog = qobject_cast<QDialog*>(w);
        if (dialog && dialog->isModal()) {
            // Its caller goes on as after a cancel.
            dialog->reject();
        } else if (w->windowType() == Qt::Popup || qobject_cast<GearMenuPopup*>(w)) {
            w->close();
        } else {
            w->hide();
            if (!windowsHiddenForLock.contains(w))
                windowsHiddenForLock.append(w);
        }
    }
}

void MainWindow::holdWindowWhileLocked(QWidget* w)
{
    if (!settings.uiLocked || !w)
        return;
    w->hide();
    if (!windowsHiddenForLock.contains(w))
        windowsHiddenForLock.append(w);
}

void MainWindow::bringBackWindowsAfterLock()
{
    const QList<QPointer<QWidget>> hidden = std::exchange(windowsHiddenForLock, {});
    for (const QPointer<QWidget>& w : hidden) {
        if (w)
            w->show();
    }
    if (marketDialog)
        marketDialog->releaseHeldInstalls();
}

void MainWindow::closePasswordPrompts()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* prompt = qobject_cast<LockDialog*>(w); prompt && prompt->isVisible())
            prompt->reject();
    }
}

// The lock screen covers the panel for the mouse; disabling what lies
// beneath keeps Tab and the widgets' own shortcuts away from it too.
void MainWindow::setPanelContentEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*> { sidebar, iconGrid,
                        titleBar, bottomBar, searchPanel }) {
        if (w)
            w->setEnabled(enabled);
    }
}

void MainWindow::showLockOverlay()
{
    if (!lockOverlay) {
        lockOverlay = new UiLockOverlay(this);
        lockOverlay->checkPassword = [this](const QString& p, UiLockOverlay::CheckAnswer answer) {
            checkLockScreenPassword(p, answer);
        };
        lockOverlay->onUnlocked = [this] { unlockUi(); };
        lockOverlay->onRemovePassword = [this] { removePasswordFromLockScreen(); };
        lockOverlay->onHidden = [this] { hideLockOverlay(); };
        lockOverlay->setBackgroundImage(settings.lockBgPath);
    }
    lockOverlay->setGeometry(0, 0, width(), height());
    setHeaderDividerHidden(true);
    setPanelContentEnabled(false);
    lockOverlay->show();
    lockOverlay->raise();
    // The border frame draws above every child and lets clicks through.
    if (borderFrame)
        borderFrame->raise();
    lockOverlay->setFocus(Qt::OtherFocusReason);
    update();
}

void MainWindow::showStartupLockOverlay()
{
    if (settings.uiLocked && !settings.protectPasswordHash.isEmpty()) {
        setUiButtonLit(kLockButton, true);
        setWindowsAsideForLock();
        showLockOverlay();
    }
}

void MainWindow::showUnlockPrompt()
{
    showLockOverlay();
    lockOverlay->showPasswordInput(false);
}

void MainWindow::hideLockOverlay()
{
    if (lockOverlay) {
        lockOverlay->hide();
        lockOverlay->deleteLater();
        lockOverlay = nullptr;
    }
    setHeaderDividerHidden(false);
    setPanelContentEnabled(true);
    update();
}

void MainWindow::dropLockOverlayNow()
{
    hideLockOverlay();
}

void MainWindow::removePasswordFromLockScreen()
{
    settings.protectPasswordHash.clear();
    settings.uiLocked = false;
    settings.obfuscateEnabled = false;
    saveSettings();
    setUiButtonLit(kObfuscationButton, false);
    unlockUi();
    showToast(translate("程序保护密码已移除"), 0);
}

void MainWindow::lockUi()
{
    settings.uiLocked = true;
    saveSettings();
    setWindowsAsideForLock();
    setUiButtonLit(kLockButton, true);
    showLockOverlay();
}

void MainWindow::lockInterface()
{
    if (settings.uiLocked) {
        showUnlockPrompt();
        return;
    }
    if (settings.protectPasswordHash.isEmpty()) {
        LockDialog dialog(LockDialog::Set, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        settings.protectPasswordHash = hashPassword(dialog.password());
        takeProtectionOwnership();
        saveSettings();
        syncLockState();
        showToast(translate("程序保护密码已设置"), 0);
    }
    lockUi();
}

void MainWindow::unlockUi()
{
    settings.uiLocked = false;
    saveSettings();
    setUiButtonLit(kLockButton, false);
    bringBackWindowsAfterLock();
    if (!lockOverlay) {
        update();
        return;
    }
    lockOverlay->beginFadeOut();
}

void MainWindow::toggleObfuscation()
{
    if (settings.obfuscateEnabled) {
        if (settings.protectPasswordHash.isEmpty()) {
            showToast(translate("未设置程序保护密码，无法解除混淆保护"), 1);
            return;
        }
        if (!askProtectionPassword())
            return;
        settings.obfuscateEnabled = false;
        saveSettings();
        setUiButtonLit(kObfuscationButton, false);
        showToast(translate("混淆保护已关闭"), 0);
        return;
    }
    if (settings.protectPasswordHash.isEmpty()) {
        LockDialog dialog(LockDialog::Set, this);
        if (dialog.exec() != QDialog::Accepted || dialog.password().isEmpty())
            return;
        settings.protectPasswordHash = hashPassword(dialog.password());
        takeProtectionOwnership();
        saveSettings();
        syncLockState();
    }
    settings.obfuscateEnabled = true;
    saveSettings();
    setUiButtonLit(kObfuscationButton, true);
    showToast(settings.obfuscateMap.isEmpty() ? translate("混淆保护已启用，请先在 设置→保护 配置规则")
                                              : translate("混淆保护已启用"),
              0);
}

void MainWindow::onLockSyncReply(QNetworkReply* reply)
{
    lockSyncPending = false;
    // The account the request spoke for; a sign-in since then does not
    // make its answer another account's.
    const QVariant asked = reply ? reply->property(kLockSyncUserProperty) : QVariant();
    const QString user = asked.isValid() ? asked.toString() : lockSyncUser;
    QJsonObject o;
    const bool parsed = parseReplyObject(reply, o);
    if (reply)
        reply->deleteLater();
    if (!parsed || o.value(QStringLiteral("ok")).toInt() != 1 || user.isEmpty())
        return;
    const int epoch = o.value(QStringLiteral("epoch")).toInt(0);
    const bool wasProtected =
        !settings.protectPasswordHash.isEmpty() || settings.uiLocked || settings.obfuscateEnabled;
    // Protection is lifted only by the account that set it: another one
    // signed in since (or any, when none was) neither unlocks nor becomes
    // the starting point.
    if (wasProtected && user != settings.progUnlockOwner)
        return;
    // The first answer for an account is only its starting point: an unlock
    // the account granted before must not clear a password set since.
    if (settings.progUnlockEpochUser != user) {
        settings.progUnlockEpochUser = user;
        settings.progUnlockEpoch = epoch;
        saveSettings();
        return;
    }
    if (epoch <= settings.progUnlockEpoch)
        return;
    settings.progUnlockEpoch = epoch;
    settings.protectPasswordHash.clear();
    settings.obfuscateEnabled = false;
    settings.uiLocked = false;
    saveSettings();
    setUiButtonLit(kObfuscationButton, false);
    setUiButtonLit(kLockButton, false);
    dropLockOverlayNow();
    closePasswordPrompts();
    closeSettingsDialog();
    bringBackWindowsAfterLock();
    if (wasProtected)
        showToast(translate("已通过账户解除程序锁定"), 0);
}

void MainWindow::applyProtectionFromSettings(const QString& hash, const QMap<QString, QString>& map)
{
    const bool newPassword = !hash.isEmpty() && hash != settings.protectPasswordHash;
    if (newPassword)
        takeProtectionOwnership();
    settings.protectPasswordHash = hash;
    settings.obfuscateMap = map;
    if (hash.isEmpty())
        settings.uiLocked = false;
    saveSettings();
    if (newPassword)
        syncLockState();
}

void MainWindow::applyLockBackgroundFromSettings(const QString& path)
{
    settings.lockBgPath = path;
    saveSettings();
    if (lockOverlay)
        lockOverlay->setBackgroundImage(path);
}
