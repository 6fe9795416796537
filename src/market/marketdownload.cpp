// Package download: the cache check, the transfer with resume from the part
// file, the size caps and the SHA-256 check before installation.
#include "market/appmarketdialog.h"

#include "account/onlinerequest.h"
#include "app/asynctask.h"
#include "app/jsonutil.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "market/marketcatalogue.h"
#include "market/packagecache.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr int kDownloadTimeoutMs = 30000;
constexpr int kMaxErrorBody = 8192;

QString packagePathOf(const QString& id)
{
    return appsRootDir() + QStringLiteral("/%1.package.zip").arg(id);
}

int httpStatus(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccessStatus(int status)
{
    return status >= 200 && status <= 299;
}

} // namespace

// What the handlers of one transfer share.
struct AppMarketDialog::DownloadAttempt {
    QPointer<AppMarketDialog> dialog;
    QNetworkReply* reply = nullptr;
    QString id;
    QString packagePath;
    QString partPath;
    QFile* part = nullptr;          // owned by the dialog
    qint64 resumeOffset = 0;
    qint64 generation = 0;
    bool firstChunkHandled = false;
    // Why this side ended the transfer, so that the user learns the cause
    // and not the abort's own error.
    bool overCap = false;
    bool writeFailed = false;
};

void AppMarketDialog::computeSha256Async(QObject* context, const QString& path,
                                          std::function<void(const QByteArray&)> callback)
{
    AsyncTask::runThenCallback([path] { return sha256OfFile(path); }, context,
                               [callback = std::move(callback)](const QByteArray& digest) { callback(digest); });
}

void AppMarketDialog::startDownload(AppRow& row)
{
    if (!row.error.isEmpty())
        row.error.clear();
    if (row.reply || row.downloading)
        return;
    const QString candidate = lookupCachedPackage(row.id, row.packageVersion());
    if (candidate.isEmpty()) {
        beginNetworkDownload(row);
        return;
    }
    const qint64 serial = ++row.generation;
    row.cancelRequested = false;
    row.downloading = true;
    update();
    const QString id = row.id;
    QPointer<AppMarketDialog> self(this);
    computeSha256Async(this, candidate, [self, id, serial, candidate](const QByteArray& digest) {
        if (!self)
            return;
        AppRow* r = self->findRow(id);
        if (!r || r->generation != serial || r->cancelRequested)
            return;
        const QString hex = QString::fromLatin1(digest.toHex()).toLower();
        if (!digest.isEmpty() && !r->sha256.isEmpty() && hex == r->sha256.toLower()) {
            r->downloading = r->paused = false;
            r->received = r->total = r->size;
            qInfo() << "package cache hit:" << id << candidate;
            self->startExtract(*r, candidate);
            return;
        }
        r->downloading = false;
        removeFileLogged(candidate, "corrupt-cache");
        self->beginNetworkDownload(*r);
    });
}

void AppMarketDialog::beginNetworkDownload(AppRow& row)
{
    row.received = row.total = 0;
    if (token.isEmpty()) {
        row.downloading = row.paused = false;
        pendingLoginIds.insert(row.id);
        resetRowDownload(row, translate(u"请先登录Quillory账号后再下载"));
        // The sign-in may run a dialog of its own: `row` is not touched after.
        Q_EMIT loginRequested();
        return;
    }
    row.downloading = true;
    row.paused = row.cancelRequested = row.installing = false;
    const qint64 serial = ++row.generation;
    row.errorBody.clear();
    row.rangeMismatch = false;
    if (row.size > kMaxPackageBytes) {
        row.received = row.total = 0;
        row.downloading = row.paused = false;
        resetRowDownload(row, translate(u"应用包大小异常，已拒绝下载"));
        return;
    }
    row.total = row.size;
    update();
    QDir().mkpath(appsRootDir());

    auto a = std::make_shared<DownloadAttempt>();
    a->dialog = this;
    a->id = row.id;
    a->packagePath = packagePathOf(row.id);
    a->partPath = a->packagePath + QStringLiteral(".part");
    a->generation = serial;

    const QFileInfo partInfo(a->partPath);
    if (partInfo.exists() && partInfo.size() > 0) {
        QFile probe(a->partPath);
        if (!probe.open(QIODevice::ReadOnly)) {
            a->resumeOffset = partInfo.size();
        } else if (probe.read(4) == QByteArray("PK\x03\x04", 4)) {
            a->resumeOffset = partInfo.size();
        } else {
            probe.close();
            qWarning() << "discard corrupt .part (" << partInfo.size() << "bytes ):" << a->partPath;
            if (!removeFileLogged(a->partPath, "corrupt-part")) {
                resetRowDownload(row, translate(u"续传文件损坏且无法清理，请稍后重试"));
                return;
            }
            a->resumeOffset = 0;
        }
    }
    if (a->resumeOffset == 0)
        row.resumeRetried = false;

    QUrl url = serviceUrl(QStringLiteral("/api/download.php"));
    // Every value fully percent-encoded: QUrlQuery leaves "+" as it is, and
    // the service reads a bare "+" as a blank ("1.0.0+1", a token with "+").
    QByteArray query;
    const auto add = [&query](const char* key, const QString& value) {
        if (!query.isEmpty())
            query += '&';
        query += key;
        query += '=';
        query += QUrl::toPercentEncoding(value);
    };
    add("app", row.id);
    const QString version = row.packageVersion();
    if (!version.isEmpty())
        add("ver", version);
    const QString file = QUrl(row.packageUrl).fileName(QUrl::FullyDecoded);
    if (!file.isEmpty())
        add("file", file);
    add("token", token);
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    QNetworkRequest request(url);
    if (a->resumeOffset > 0)
        request.setRawHeader("Range", "bytes=" + QByteArray::number(a->resumeOffset) + '-');
    // The address carries the token: it stays on the service host.
    ReplyLimits limits;
    limits.silenceMs = kDownloadTimeoutMs;
    limits.deadlineMs = transferDeadlineMs(row.size > 0 ? row.size : kMaxPackageBytes);
    limits.maxBytes = kMaxPackageBytes;
    limits.streamed = true;
    QNetworkReply* reply = getOnline(networkManager(), request, limits, Redirects::SameOrigin);
    a->reply = reply;
    row.reply = reply;
    row.received = a->resumeOffset;

    a->part = new QFile(a->partPath, this);
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | (a->resumeOffset == 0 ? QIODevice::Truncate : QIODevice::Append);
    if (!a->part->open(mode)) {
        a->part->deleteLater();
        row.reply = nullptr;
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
        reply->abort();
        reply->deleteLater();
        resetRowDownload(row, translate(u"无法写入临时文件"));
        return;
    }
    connect(reply, &QNetworkReply::metaDataChanged, reply, [a] {
        if (a->dialog)
            a->dialog->onDownloadMetaData(a);
    });
    connect(reply, &QIODevice::readyRead, reply, [a] {
        if (a->dialog)
            a->dialog->onDownloadData(a);
    });
    connect(reply, &QNetworkReply::finished, reply, [a] {
        if (!a->dialog) {
            a->reply->deleteLater();
            return;
        }
        a->dialog->onDownloadFinished(a);
    });
}

void AppMarketDialog::onDownloadMetaData(const std::shared_ptr<DownloadAttempt>& a)
{
    QNetworkReply* reply = a->reply;
    AppRow* row = findRow(a->id);
    if (!row || reply->error() != QNetworkReply::NoError || !isSuccessStatus(httpStatus(reply)))
        return;
    const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 length = header.isValid() ? header.toLongLong() : 0;
    if (length <= 0)
        return;
    if (length <= kMaxPackageBytes && row->received <= kMaxPackageBytes - length) {
        row->total = length + row->received;
        return;
    }
    qWarning() << "download Content-Length exceeds cap, abort:" << a->id << length;
    a->overCap = true;
    // Not from inside the header signal, which Qt does not expect; the data
    // handler writes nothing meanwhile.
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void AppMarketDialog::onDownloadData(const std::shared_ptr<DownloadAttempt>& a)
{
    QNetworkReply* reply = a->reply;
    if (a->overCap || overCap(reply)) {
        reply->readAll();
        return;
    }
    AppRow* row = findRow(a->id);
    const int status = httpStatus(reply);
    if (reply->error() != QNetworkReply::NoError || !isSuccessStatus(status)) {
        const QByteArray bytes = reply->readAll();
        if (row && row->reply == reply && row->errorBody.size() < kMaxErrorBody)
            row->errorBody.append(bytes.left(kMaxErrorBody - row->errorBody.size()));
        return;
    }
    if (a->resumeOffset > 0 && !a->firstChunkHandled) {
        a->firstChunkHandled = true;
        if (status == 200) {
            // The server ignored the range and sends the whole package.
            a->part->resize(0);
            a->part->seek(0);
            const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
            const qint64 length = header.isValid() ? header.toLongLong() : 0;
            if (length > kMaxPackageBytes) {
                qWarning() << "download(200) Content-Length exceeds cap, abort:" << a->id << length;
                a->overCap = true;
                reply->abort();
                return;
            }
            if (row) {
                if (length > 0)
                    row->total = length;
                row->received = 0;
            }
        } else if (status == 206) {
            const qint64 start = contentRangeStart(reply->rawHeader("Content-Range"));
            if (start != a->resumeOffset) {
                qWarning() << "resume Content-Range mismatch, discard reply:" << a->id << "expected"
                           << a->resumeOffset << "got" << start;
                if (row) {
                    row->rangeMismatch = true;
                    row->received = row->total = 0;
                }
                reply->abort();
                return;
            }
        }
    }
    const QByteArray bytes = reply->readAll();
    if (!bytes.isEmpty()) {
        if (a->part->write(bytes) != bytes.size() || !a->part->flush()) {
            a->writeFailed = true;
            reply->abort();
            return;
        }
    }
    const qint64 onDisk = a->part->size();
    qint64 declared = row ? row->total : 0;
    if (row && declared < 1)
        declared = row->size;
    if (declared > kMaxPackageBytes) {
        qWarning() << "download declared size exceeds cap, abort:" << a->id << declared;
        a->overCap = true;
        reply->abort();
        return;
    }
    const qint64 cap = declared < 1 ? kMaxPackageBytes : qMin(kMaxPackageBytes, declared * 3 / 2);
    if (onDisk > cap) {
        qWarning() << "download on-disk bytes exceed cap, abort:" << a->id << onDisk << cap;
        a->overCap = true;
        reply->abort();
        return;
    }
    if (row && row->reply == reply) {
        row->received = onDisk;
        scheduleRepaint();
    }
}

void AppMarketDialog::onDownloadFinished(const std::shared_ptr<DownloadAttempt>& a)
{
    QNetworkReply* reply = a->reply;
    QObject::disconnect(reply, nullptr, nullptr, nullptr);
    reply->deleteLater();
    a->part->close();
    a->part->deleteLater();
    AppRow* row = findRow(a->id);
    if (!row)
        return;
    if (row->cancelRequested) {
        row->cancelRequested = row->downloading = row->paused = false;
        row->reply = nullptr;
        removeFileLogged(a->partPath, "download-aborted");
        update();
        return;
    }
    if (row->reply != reply)
        return;
    row->reply = nullptr;
    if (row->rangeMismatch) {
        row->rangeMismatch = false;
        row->downloading = row->paused = false;
        row->received = row->total = 0;
        row->errorBody.clear();
        removeFileLogged(a->partPath, "resume-range-mismatch");
        resetRowDownload(*row, translate(u"续传数据错位，已重置，请重新下载"));
        return;
    }
    if (row->paused) {
        row->downloading = false;
        update();
        return;
    }
    if (a->overCap) {
        removeFileLogged(a->partPath, "size-limit");
        resetRowDownload(*row, translate(u"下载超出大小上限，已中止"));
        return;
    }
    if (a->writeFailed) {
        removeFileLogged(a->partPath, "dirty-part");
        resetRowDownload(*row, translate(u"无法写入临时文件"));
        return;
    }

    const int status = httpStatus(reply);
    const QNetworkReply::NetworkError error = reply->error();
    if (error != QNetworkReply::NoError || !isSuccessStatus(status)) {
        const bool sslFailure = error == QNetworkReply::SslHandshakeFailedError;
        // A transfer cut short after the server said yes (or before it said
        // anything) leaves a part file that is still a true prefix of the
        // package: it is kept, and the next start resumes from it.
        if (!sslFailure && error != QNetworkReply::NoError && (status == 0 || isSuccessStatus(status))) {
            row->downloading = row->paused = false;
            row->errorBody.clear();
            resetRowDownload(*row, translate(u"下载失败（网络中断，请重试）"));
            return;
        }
        QByteArray body = row->errorBody;
        if (body.isEmpty())
            body = reply->readAll().left(kMaxErrorBody);
        QJsonObject o;
        if (!body.isEmpty())
            parseJsonObject(body, o);
        const QString code = o.value(QLatin1String("code")).toVariant().toString();
        const QString msg = o.value(QLatin1String("msg")).toVariant().toString();
        row->received = row->total = 0;
        row->downloading = row->paused = false;
        row->errorBody.clear();
        removeFileLogged(a->partPath, "dirty-part");
        if (status == 401 || code == QLatin1String("NOT_LOGIN")) {
            pendingLoginIds.insert(row->id);
            resetRowDownload(*row, translate(u"登录已失效，请重新登录（登录后自动继续下载）"));
            Q_EMIT loginRequested();
        } else if (!msg.isEmpty()) {
            resetRowDownload(*row, msg);
        } else if (sslFailure) {
            resetRowDownload(*row, translate(u"下载失败（服务器证书校验未通过）"));
        } else if (status == 0) {
            resetRowDownload(*row, translate(u"下载失败（网络中断，请重试）"));
        } else {
            resetRowDownload(*row, translate(u"下载失败（服务器 HTTP %1）").arg(status));
        }
        return;
    }

    row->errorBody.clear();
    const qint64 size = QFileInfo(a->partPath).size();
    if (size > kMaxPackageBytes || row->total > kMaxPackageBytes) {
        removeFileLogged(a->partPath, "size-limit");
        row->downloading = row->paused = false;
        row->received = row->total = 0;
        resetRowDownload(*row, translate(u"下载超出大小上限，已中止"));
        return;
    }
    if (size < row->total) {
        row->downloading = false;
        resetRowDownload(*row, translate(u"下载不完整，可重试续传"));
        return;
    }
    if (row->sha256.isEmpty()) {
        removeFileLogged(a->partPath, "no-checksum");
        resetRowDownload(*row, translate(u"清单缺少校验值，已中止"));
        return;
    }
    QPointer<AppMarketDialog> self(this);
    computeSha256Async(this, a->partPath, [self, a](const QByteArray& digest) {
        if (self)
            self->onDownloadHashed(a, digest);
    });
}

void AppMarketDialog::onDownloadHashed(const std::shared_ptr<DownloadAttempt>& a, const QByteArray& digest)
{
    AppRow* row = findRow(a->id);
    if (!row || row->cancelRequested || row->generation != a->generation)
        return;
    const QString hex = QString::fromLatin1(digest.toHex()).toLower();
    if (!digest.isEmpty() && hex == row->sha256.toLower()) {
        row->resumeRetried = false;
        removeFileLogged(a->packagePath, "assembled-zip-replace");
        if (!QFile::rename(a->partPath, a->packagePath)) {
            resetRowDownload(*row, translate(u"写入失败"));
            return;
        }
        row->downloading = false;
        startExtract(*row, a->packagePath);
        return;
    }
    if (a->resumeOffset > 0 && !row->resumeRetried) {
        row->resumeRetried = true;
        removeFileLogged(a->partPath, "resume-retry");
        qWarning() << "resume hash mismatch, restart from scratch:" << a->id;
        beginNetworkDownload(*row);
        return;
    }
    removeFileLogged(a->partPath, "hash-mismatch");
    resetRowDownload(*row, translate(u"校验失败（文件损坏）"));
}
