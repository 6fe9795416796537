// Locking, unlocking and obfuscation: keeps "uiLocked", "obfuscateEnabled"
// and the password hash consistent with each other and with buttons 8 and 10.
#include "panel/mainwindow.h"

#include "app/jsonutil.h"
#include "app/lang.h"
#include "panel/borderframe.h"
#include "protect/lockdialog.h"
#include "protect/passwordhash.h"
#include "protect/uilockoverlay.h"
#include "widgets/bottombar.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/titlebaractions.h"
#include "widgets/uibtn.h"

#include <QDebug>
#include <QJsonObject>
#include <QNetworkReply>
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

bool MainWindow::verifyProtectionPassword(const QString& password)
{
    const QString stored = settings.protectPasswordHash;
    if (!verifyPassword(stored, password))
        return false;
    if (passwordNeedsRehash(stored)) {
        settings.protectPasswordHash = hashPassword(password);
        saveSettings();
    }
    return true;
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
        lockOverlay->verifyPassword = [this](const QString& p) { return verifyProtectionPassword(p); };
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
    closeSettingsDialog();
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
        saveSettings();
        showToast(translate("程序保护密码已设置"), 0);
    }
    lockUi();
}

void MainWindow::unlockUi()
{
    settings.uiLocked = false;
    saveSettings();
    setUiButtonLit(kLockButton, false);
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
        LockDialog dialog(LockDialog::Verify, this);
        dialog.setStoredHash(settings.protectPasswordHash);
        dialog.verifiedHook = [this](const QString& password) {
            if (passwordNeedsRehash(settings.protectPasswordHash)) {
                settings.protectPasswordHash = hashPassword(password);
                saveSettings();
            }
        };
        dialog.removeHook = [this] {
            settings.protectPasswordHash.clear();
            settings.obfuscateEnabled = false;
            settings.uiLocked = false;
            saveSettings();
            setUiButtonLit(kObfuscationButton, false);
        };
        if (dialog.exec() != QDialog::Accepted)
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
        saveSettings();
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
    QJsonObject o;
    const bool parsed = parseReplyObject(reply, o);
    if (reply)
        reply->deleteLater();
    if (!parsed || o.value(QStringLiteral("ok")).toInt() != 1)
        return;
    const int epoch = o.value(QStringLiteral("epoch")).toInt(0);
    // The first answer for an account is only its starting point: an unlock
    // the account granted before must not clear a password set since.
    if (settings.progUnlockEpochUser != lockSyncUser) {
        settings.progUnlockEpochUser = lockSyncUser;
        settings.progUnlockEpoch = epoch;
        saveSettings();
        return;
    }
    if (epoch <= settings.progUnlockEpoch)
        return;
    settings.progUnlockEpoch = epoch;
    const bool wasProtected =
        !settings.protectPasswordHash.isEmpty() || settings.uiLocked || settings.obfuscateEnabled;
    settings.protectPasswordHash.clear();
    settings.obfuscateEnabled = false;
    settings.uiLocked = false;
    saveSettings();
    setUiButtonLit(kObfuscationButton, false);
    setUiButtonLit(kLockButton, false);
    dropLockOverlayNow();
    closeSettingsDialog();
    if (wasProtected)
        showToast(translate("已通过账户解除程序锁定"), 0);
}

void MainWindow::applyProtectionFromSettings(const QString& hash, const QMap<QString, QString>& map)
{
    settings.protectPasswordHash = hash;
    settings.obfuscateMap = map;
    if (hash.isEmpty())
        settings.uiLocked = false;
    saveSettings();
}

void MainWindow::applyLockBackgroundFromSettings(const QString& path)
{
    settings.lockBgPath = path;
    saveSettings();
    if (lockOverlay)
        lockOverlay->setBackgroundImage(path);
}
