// The account session of the panel: the token and what keeps it alive.
#include "panel/mainwindow.h"

#include "account/authmanager.h"
#include "account/logindialog.h"
#include "account/onlinerequest.h"
#include "account/sessionkickeddialog.h"
#include "app/lang.h"
#include "app/paths.h"
#include "app/servicehost.h"
#include "platform/launcher.h"
#include "platform/secretstore.h"
#include "widgets/gearmenupopup.h"
#include "widgets/titlebaractions.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

namespace {

QString authFilePath()
{
    return cachedAppDataDir() + QStringLiteral("/auth.json");
}

} // namespace

QNetworkAccessManager* MainWindow::onlineManager()
{
    if (!networkManager)
        networkManager = new QNetworkAccessManager();
    return networkManager;
}

void MainWindow::startAccountSession()
{
    authManager = new AuthManager();
    loadAuth();
    if (auth.token.isEmpty()) {
        tryAutoLogin();
        return;
    }
    const QString asked = auth.token;
    QPointer<MainWindow> self(this);
    authManager->me(asked, [self, asked](const AuthManager::Result& r) {
        // An answer about a token that was replaced meanwhile (a sign-in or
        // sign-out while it was under way) says nothing about the session.
        if (!self || r.ok || self->auth.token != asked)
            return;
        if (r.code == QLatin1String("NOT_LOGIN"))
            self->onAuthLost(r.msg);
        // A network or server failure is no verdict on the token.
    });
}

void MainWindow::loadAuth()
{
    switch (loadAuthFile(authFilePath(), auth, userSecretStore())) {
    case AuthLoad::Missing:
        return;
    case AuthLoad::BadJson:
        qWarning() << "loadAuth: bad JSON, ignored";
        break;
    case AuthLoad::Loaded:
        break;
    }
    lockSyncUser = auth.username;
}

void MainWindow::saveAuth()
{
    const AuthFileWrite w = authFileBytes(auth, userSecretStore());
    QString error;
    if (!saveFileAtomically(authFilePath(), w.bytes, &error)) {
        qWarning() << "saveAuth:" << error;
        reportConfigSaveFailure(authFilePath(), translate(u"登录状态写入失败，下次启动可能需要重新登录"));
        return;
    }
    if (w.passwordDropped) {
        qWarning() << "saveAuth: the password could not be sealed and was not stored";
        showToast(translate(u"无法安全保存密码，下次登录需要重新输入"), 1);
    }
}

void MainWindow::tryAutoLogin()
{
    if (!auth.token.isEmpty() || !auth.autologin || !auth.remember || auth.username.isEmpty()
        || auth.password.isEmpty())
        return;
    QPointer<MainWindow> self(this);
    authManager->loginOrRegister(
        QStringLiteral("login"), auth.username, auth.password, QString(),
        [self](const AuthManager::Result& r) {
            // Signed in by hand while the answer was under way: that stands.
            if (!self || !self->auth.token.isEmpty())
                return;
            // Only a sign-in that brings its token counts. One that needs the
            // user's consent to sign out other PCs never goes ahead alone.
            if (r.ok && !r.needConfirm && !r.token.isEmpty()) {
                self->auth.token = r.token;
                self->auth.username = r.username.isEmpty() ? self->auth.username : r.username;
                self->lockSyncUser = self->auth.username;
                self->saveAuth();
                self->handTokenToMarket();
                self->showToast(translate(u"已自动登录：%1").arg(self->auth.username), 0);
                return;
            }
            if (!self->auth.username.isEmpty())
                self->showToast(translate(u"自动登录失败，请重新登录"), 1);
        });
}

void MainWindow::checkTokenAlive()
{
    if (auth.token.isEmpty())
        return;
    syncLockState();
    const QString asked = auth.token;
    QPointer<MainWindow> self(this);
    authManager->me(asked, [self, asked](const AuthManager::Result& r) {
        if (!self || r.ok || self->auth.token != asked)
            return;
        // Only the service's own verdict ends a session; an outage, an error
        // page or a broken answer is waited out like a lost network.
        if (r.code != QLatin1String("NOT_LOGIN"))
            return;
        qInfo() << "token heartbeat: session invalid ->" << r.msg;
        self->onAuthLost(r.msg);
    });
}

void MainWindow::syncAfterStartup()
{
    syncLockState();
    reportHostIfNewSession();
}

void MainWindow::reportHostIfNewSession()
{
    if (auth.token.isEmpty() || auth.token == lastReportedToken)
        return;
    lastReportedToken = auth.token;
    authManager->reportHost(auth.token);
}

void MainWindow::syncLockState()
{
    if (auth.token.isEmpty())
        return;
    if (lockSyncPending) {
        // A request of this session ends by its deadline at the latest; one
        // asked for another session says nothing about this one and gives way.
        if (!lockSyncReply || lockSyncToken == auth.token)
            return;
        QNetworkReply* old = lockSyncReply;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    lockSyncPending = true;
    lockSyncToken = auth.token;
    QJsonObject o;
    o.insert(QStringLiteral("token"), auth.token);
    QNetworkReply* reply =
        postOnline(onlineManager(), serviceActionUrl(QStringLiteral("/api/uc.php"), QStringLiteral("lock_sync")),
                   QJsonDocument(o).toJson(QJsonDocument::Compact), 12000);
    reply->setProperty(kLockSyncUserProperty, auth.username);
    lockSyncReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onLockSyncReply(reply); });
}

bool MainWindow::showLogin()
{
    // Nobody signs in past the lock screen, neither with the remembered
    // password nor with another account.
    if (settings.uiLocked) {
        showUnlockPrompt();
        return false;
    }
    // One sign-in at a time: a second request (the market, the chat) while
    // a dialog is up brings that one forward instead of stacking another;
    // its answer reaches every window through the token.
    if (LoginDialog* open = findChild<LoginDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
        open->raise();
        open->activateWindow();
        return false;
    }
    // On the heap and guarded: the window may go away while the dialog's
    // own event loop runs.
    QPointer<LoginDialog> dialog = new LoginDialog(this);
    dialog->setCredentials(auth.username, auth.password, auth.remember);
    const int verdict = dialog->exec();
    if (!dialog)
        return false;
    const bool accepted = verdict == QDialog::Accepted && !dialog->token().isEmpty();
    if (accepted) {
        auth.token = dialog->token();
        auth.username = dialog->userName();
        auth.remember = dialog->rememberPassword();
        auth.autologin = dialog->autoLogin();
        auth.password = auth.remember ? dialog->password() : QString();
    }
    delete dialog.data();
    if (!accepted)
        return false;
    lockSyncUser = auth.username;
    if (signedOutDialog)
        signedOutDialog->close();
    saveAuth();
    syncLockState();
    reportHostIfNewSession();
    showToast(translate(u"欢迎你，%1").arg(auth.username), 0);
    return true;
}

void MainWindow::signOut()
{
    if (auth.token.isEmpty()) {
        showToast(translate(u"尚未登录账户"), 1);
        return;
    }
    const QString old = auth.token;
    auth.token.clear();
    auth.autologin = false;
    if (!auth.remember) {
        auth.username.clear();
        auth.password.clear();
    }
    saveAuth();
    handTokenToMarket();
    authManager->loginOrRegister(QStringLiteral("logout"), QString(), QString(), old, {});
    showToast(translate(u"退出成功"), 0);
}

void MainWindow::onAuthLost(const QString& reason)
{
    if (authLostBusy)
        return;
    authLostBusy = true;
    QElapsedTimer since;
    since.start();
    const bool held = !auth.token.isEmpty();
    auth.token.clear();
    if (held) {
        saveAuth();
        handTokenToMarket();
        qWarning() << "auth lost:" << (reason.isEmpty() ? QStringLiteral("token invalid") : reason);
        if (!signedOutDialog) {
            showSignedOut(reason);
            qInfo() << "auth lost timing: showKicked done @" << since.elapsed() << "ms";
        }
    }
    authLostBusy = false;
}

void MainWindow::showSignedOut(const QString& reason)
{
    ++signedOutShown;
    signedOutDialog = SessionKickedDialog::showKicked(reason, this);
    holdWindowWhileLocked(signedOutDialog);
}

void MainWindow::updateGearMenuUser()
{
    if (titleBar && titleBar->gearMenu())
        titleBar->gearMenu()->setUserName(auth.token.isEmpty() ? QString() : auth.username);
}

void MainWindow::onGearMenuAction(int action)
{
    if (settings.uiLocked) {
        showUnlockPrompt();
        return;
    }
    switch (action) {
    case GearMenuPopup::SignIn:
        if (auth.token.isEmpty() && showLogin())
            handTokenToMarket();
        break;
    case GearMenuPopup::OpenSettings:
        openSettings();
        break;
    case GearMenuPopup::VisitWebsite:
        launcher().openUrl(serviceUrl(QStringLiteral("/")));
        break;
    case GearMenuPopup::CheckUpdates:
        checkForUpdates(settings.updateChannel == 1, true);
        break;
    case GearMenuPopup::SignOut:
        signOut();
        break;
    default:
        break;
    }
}
