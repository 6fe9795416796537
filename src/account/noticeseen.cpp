#include "account/noticeseen.h"

#include "app/paths.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr qint64 kMaxSeenFileBytes = 4096;
constexpr int kFreshInstallDays = 3;

qint64 jsonId(const QJsonValue& v)
{
    if (v.isString()) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok, 10);
        return ok ? n : 0;
    }
    return v.toInteger(0);
}

} // namespace

NoticeSeen parseNoticeSeen(const QByteArray& bytes)
{
    NoticeSeen seen;
    const QList<QByteArray> parts = bytes.trimmed().split('\n');
    bool ok = false;
    if (parts.size() == 1) {
        const qint64 id = parts.first().trimmed().toLongLong(&ok, 10);
        if (ok)
            seen.id = id;
        return seen;
    }
    const int gen = parts.at(0).trimmed().toInt(&ok, 10);
    if (!ok)
        return seen;
    const qint64 id = parts.at(1).trimmed().toLongLong(&ok, 10);
    if (!ok)
        return seen;
    seen.gen = gen;
    seen.id = id;
    return seen;
}

QByteArray noticeSeenBytes(int gen, qint64 id)
{
    return QByteArray::number(gen) + '\n' + QByteArray::number(id);
}

QString noticeSeenPath()
{
    return cachedAppDataDir() + QStringLiteral("/notice_seen.txt");
}

void loadNoticeSeen(int& gen, qint64& id)
{
    gen = 0;
    id = 0;
    QFile f(noticeSeenPath());
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxSeenFileBytes)
        return;
    const NoticeSeen seen = parseNoticeSeen(f.read(kMaxSeenFileBytes + 1));
    gen = seen.gen;
    id = seen.id;
}

void saveNoticeSeen(int gen, qint64 id)
{
    QSaveFile f(noticeSeenPath());
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly))
        return;
    const QByteArray bytes = noticeSeenBytes(gen, id);
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        qWarning() << "saveNoticeSeen: short write";
        return;
    }
    if (!f.commit())
        qWarning() << "saveNoticeSeen: commit failed" << f.errorString();
}

NoticeVerdict judgeNotice(const QJsonObject& reply, const NoticeSeen& seen, bool seenFileExists,
                          const QDateTime& now, NoticeInfo* out)
{
    const QJsonObject notice = reply.value(QStringLiteral("notice")).toObject();
    if (reply.value(QStringLiteral("ok")).toInt() != 1 || notice.isEmpty())
        return NoticeVerdict::Ignore;
    NoticeInfo info;
    info.gen = reply.value(QStringLiteral("gen")).toInt(0);
    info.id = jsonId(notice.value(QStringLiteral("id")));
    info.created = notice.value(QStringLiteral("created")).toString();
    info.title = notice.value(QStringLiteral("title")).toString();
    info.body = notice.value(QStringLiteral("body")).toString();
    info.url = notice.value(QStringLiteral("url")).toString();
    info.titleColor = notice.value(QStringLiteral("title_color")).toString();
    if (out)
        *out = info;

    // A new generation restarts the numbering; generation 0 or below in the
    // file is the older form, whose id holds for every generation.
    qint64 seenId = (seen.gen == info.gen || seen.gen < 1) ? seen.id : 0;
    if (seenId < 0)
        seenId = 0;
    if (info.id <= seenId)
        return NoticeVerdict::Ignore;

    const QDateTime created = QDateTime::fromString(info.created, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!seenFileExists && created.isValid() && created.date().daysTo(now.date()) > kFreshInstallDays)
        return NoticeVerdict::MarkSeen;
    return NoticeVerdict::Show;
}
