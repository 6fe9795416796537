#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>

// Which notice of the web service this installation has already shown:
// "notice_seen.txt" in the data root, the server's generation on the first
// line and the last notice id seen on the second.
struct NoticeSeen {
    int gen = 0;
    qint64 id = 0;
};

// The file's bytes as read; an older file of one line is the id with
// generation 0. Anything that does not parse in full is generation 0, id 0.
NoticeSeen parseNoticeSeen(const QByteArray& bytes);
// "<gen>\n<id>" without a trailing line feed.
QByteArray noticeSeenBytes(int gen, qint64 id);

QString noticeSeenPath();
// Both outputs are 0 first; a missing, unreadable or oversized file leaves them so.
void loadNoticeSeen(int& gen, qint64& id);
// Failures are logged only.
void saveNoticeSeen(int gen, qint64 id);

// The latest notice of a "latest" answer.
struct NoticeInfo {
    int gen = 0;
    qint64 id = 0;
    QString created;
    QString title;
    QString body;
    QString url;
    QString titleColor;
};

enum class NoticeVerdict {
    Ignore,     // nothing to show
    Show,       // new: open the popup
    MarkSeen,   // old notice met by a fresh installation: record it, show nothing
};

// Decides on an accepted "latest" answer. `seenFileExists` and `now` feed the
// rule that keeps a fresh installation from showing notices older than three
// days. `out` is filled whenever the answer carries a notice.
NoticeVerdict judgeNotice(const QJsonObject& reply, const NoticeSeen& seen, bool seenFileExists,
                          const QDateTime& now, NoticeInfo* out);
