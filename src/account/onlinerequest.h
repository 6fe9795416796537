#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// The request form every online call of the panel shares.

// The silence time-out counts silence, not the length of the transfer.
constexpr int kAuthTimeoutMs = 15000;

// The largest JSON answer any call of the service takes whole.
constexpr qint64 kMaxAnswerBytes = 8 * 1024 * 1024;

// What one reply may cost. Each limit ends the reply when it is passed: the
// body grows beyond `maxBytes` (checked while it arrives, and against the
// announced length), nothing moves for `silenceMs`, or the whole exchange
// takes longer than `deadlineMs`.
struct ReplyLimits {
    int silenceMs = kAuthTimeoutMs;
    int deadlineMs = 2 * kAuthTimeoutMs;
    qint64 maxBytes = kMaxAnswerBytes;
    // The caller reads the body as it arrives, so that Qt holds only a small
    // buffer; otherwise the body is read whole at the end and the buffer
    // holds up to the cap.
    bool streamed = false;
};

// A JSON answer read whole: silence `silenceMs`, deadline twice that.
ReplyLimits answerLimits(int silenceMs);
// A deadline for a transfer of `bytes`: a minute plus the time the bytes
// take at a slow but usable 32 KB/s.
int transferDeadlineMs(qint64 bytes);

// Where a redirect may lead.
enum class Redirects {
    // Requests to the service, which may carry the user's token or password:
    // the same scheme, host and port only.
    SameOrigin,
    // A file at an address the catalogue or the signed manifest gave, sent
    // without credentials: any https address.
    NoLessSafe,
};

// Replaces every silence time-out of the online requests (tests; 0 restores them).
void setOnlineTimeoutOverride(int ms);
// Replaces every deadline (tests; 0 restores them).
void setOnlineDeadlineOverride(int ms);
// `ms`, or the override when one is set.
int onlineTimeout(int ms);

// Puts `limits` on `reply`. networkErrorText then gives the time-out text
// for a silence or deadline, the format text for an answer beyond the cap.
// Qt's own transfer timeout is not used: Qt 6.4 reports it as
// OperationCanceledError, the same error as any abort, so the time-out text
// could not be told apart.
void limitReply(QNetworkReply* reply, const ReplyLimits& limits);
// True when limitReply ended the reply for its silence or deadline.
bool timedOut(const QNetworkReply* reply);
// True when limitReply ended the reply for a body beyond its cap.
bool overCap(const QNetworkReply* reply);

// `request` with the redirect rule set.
QNetworkRequest withRedirects(QNetworkRequest request, Redirects redirects);
// A POST request of one compact JSON object to the service.
QNetworkRequest jsonPostRequest(const QUrl& url);

// Sends and limits in one step. A POST always goes to the service.
QNetworkReply* postOnline(QNetworkAccessManager* nam, const QUrl& url, const QByteArray& json,
                          const ReplyLimits& limits);
QNetworkReply* postOnline(QNetworkAccessManager* nam, const QUrl& url, const QByteArray& json, int timeoutMs);
QNetworkReply* getOnline(QNetworkAccessManager* nam, const QNetworkRequest& request, const ReplyLimits& limits,
                         Redirects redirects = Redirects::SameOrigin);
QNetworkReply* getOnline(QNetworkAccessManager* nam, const QNetworkRequest& request, int timeoutMs);

// The user text for a failed reply, from its error, HTTP status (0 = none)
// and Qt's own error string.
// (A time-out or cap of limitReply is told by timedOut() and overCap(), not by the error.)
QString networkErrorTextFor(QNetworkReply::NetworkError error, int status, const QString& errorString);
