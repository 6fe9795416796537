// The support chat as the panel sees it: opening it, and the unread count on
// the bottom bar's badge while it is closed.
#include "panel/mainwindow.h"

#include "account/authmanager.h"
#include "account/deviceidentity.h"
#include "account/onlinerequest.h"
#include "account/supportchatdialog.h"
#include "app/jsonutil.h"
#include "widgets/bottombar.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

namespace {
constexpr int kUnreadTimeoutMs = 15000;
// Where the chat opens, from the panel's bottom-right corner.
constexpr int kChatOffsetRight = 440;
constexpr int kChatOffsetBottom = 378;
}

SupportChatDialog* MainWindow::supportChatDialog() const
{
    return supportChat.data();
}

bool MainWindow::unreadPollPending() const
{
    return !unreadReply.isNull() || pollSupportAfterFirstPaint;
}

void MainWindow::onSupportPollTimer()
{
    if ((supportChat && supportChat->isVisible()) || unreadReply)
        return;
    pollSupportUnread();
}

void MainWindow::pollSupportUnread()
{
    // Signed out is no reason to skip: the service answers the empty token
    // with a refusal, which changes nothing.
    QJsonObject o;
    o.insert(QStringLiteral("token"), auth.token);
    o.insert(QStringLiteral("device"), deviceId());
    o.insert(QStringLiteral("as_user"), 1);
    QNetworkReply* reply = postOnline(onlineManager(),
                                      serviceActionUrl(QStringLiteral("/api/support.php"), QStringLiteral("unread")),
                                      QJsonDocument(o).toJson(QJsonDocument::Compact), kUnreadTimeoutMs);
    unreadReply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onUnreadReply(reply); });
}

void MainWindow::onUnreadReply(QNetworkReply* reply)
{
    QJsonObject answer;
    const bool accepted = parseReplyObject(reply, answer);
    reply->deleteLater();
    if (unreadReply == reply)
        unreadReply.clear();
    if (!accepted || answer.value(QStringLiteral("ok")).toInt() != 1)
        return;
    const int n = answer.value(QStringLiteral("unread")).toInt(0);
    if (n == supportUnread)
        return;
    supportUnread = n;
    if (bottomBar)
        bottomBar->setBadgeCount(n);
}

void MainWindow::openSupportChat()
{
    if (settings.uiLocked) {
        showUnlockPrompt();
        return;
    }
    if (!supportChat) {
        supportChat = new SupportChatDialog(this);
        connect(supportChat, &SupportChatDialog::unreadChanged, bottomBar, &BottomBar::setBadgeCount);
        connect(supportChat, &SupportChatDialog::chatHidden, onlineGuard(), [this] { pollSupportUnread(); });
        connect(supportChat, &SupportChatDialog::loginRequested, onlineGuard(),
                [this] { onSupportLoginRequested(); });
    }
    if (auth.token.isEmpty()) {
        if (!showLogin())
            return;
        pollSupportUnread();
    }
    supportChat->setSession(auth.token, auth.username);
    supportChat->openAt(mapToGlobal(QPoint(width() - kChatOffsetRight, height() - kChatOffsetBottom)));
    supportUnread = 0;
    if (bottomBar)
        bottomBar->setBadgeCount(0);
}

void MainWindow::onSupportLoginRequested()
{
    if (!showLogin() || !supportChat)
        return;
    supportChat->setSession(auth.token, auth.username);
    supportChat->reloadAfterLogin();
    pollSupportUnread();
}
