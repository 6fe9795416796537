// Notices of the web service: the poll, the seen state and the popup.
#include "panel/mainwindow.h"

#include "account/authmanager.h"
#include "account/noticedialog.h"
#include "account/noticeseen.h"
#include "account/onlinerequest.h"
#include "app/jsonutil.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>

namespace {
constexpr int kNoticeTimeoutMs = 10000;
}

QObject* MainWindow::onlineGuard()
{
    // Connections made with this context end with the window's members,
    // before its children (a popup, the chat) are torn down.
    if (!onlineGuardObject)
        onlineGuardObject = std::make_unique<QObject>();
    return onlineGuardObject.get();
}

void MainWindow::fetchLatestNotice()
{
    // One notice at a time: no request while a popup is open. None pops up
    // over the lock screen; the next poll after the unlock brings it.
    if (pendingNoticeId > 0 || settings.uiLocked)
        return;
    QJsonObject o;
    if (!auth.token.isEmpty())
        o.insert(QStringLiteral("token"), auth.token);
    QNetworkReply* reply = postOnline(onlineManager(),
                                      serviceActionUrl(QStringLiteral("/api/notice.php"), QStringLiteral("latest")),
                                      QJsonDocument(o).toJson(QJsonDocument::Compact), kNoticeTimeoutMs);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { showLatestNotice(reply); });
}

void MainWindow::showLatestNotice(QNetworkReply* reply)
{
    QJsonObject answer;
    const bool accepted = parseReplyObject(reply, answer);
    reply->disconnect();
    reply->deleteLater();
    if (!accepted)
        return;
    NoticeSeen seen;
    loadNoticeSeen(seen.gen, seen.id);
    NoticeInfo notice;
    const NoticeVerdict verdict = judgeNotice(answer, seen, QFileInfo::exists(noticeSeenPath()),
                                              QDateTime::currentDateTime(), &notice);
    if (verdict == NoticeVerdict::Ignore || pendingNoticeId > 0 || settings.uiLocked)
        return;
    if (verdict == NoticeVerdict::MarkSeen) {
        saveNoticeSeen(notice.gen, notice.id);
        return;
    }
    const int gen = notice.gen;
    const qint64 id = notice.id;
    pendingNoticeId = id;
    auto* popup = new NoticeDialog(id, notice.title, notice.body, notice.url, notice.titleColor, this);
    connect(popup, &NoticeDialog::dismissed, onlineGuard(), [this, gen, id] {
        saveNoticeSeen(gen, id);
        pendingNoticeId = 0;
    });
    // A popup closed without a dismissal (the system's close command)
    // still counts as seen, without lowering a larger id seen meanwhile in
    // the same generation. An id of another generation says nothing about
    // this one.
    connect(popup, &QObject::destroyed, onlineGuard(), [this, gen, id] {
        NoticeSeen stored;
        loadNoticeSeen(stored.gen, stored.id);
        const qint64 seenHere = (stored.gen == gen || stored.gen < 1) ? stored.id : 0;
        if (seenHere < id)
            saveNoticeSeen(gen, id);
        if (pendingNoticeId == id)
            pendingNoticeId = 0;
    });
    popup->popup();
}
