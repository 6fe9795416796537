#pragma once

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

// The request form every online call of the panel shares.

// Time-outs count silence, not the length of the transfer.
constexpr int kAuthTimeoutMs = 15000;

// Replaces every time-out of the online requests (tests; 0 restores them).
void setOnlineTimeoutOverride(int ms);
// `ms`, or the override when one is set.
int onlineTimeout(int ms);

// Ends `reply` when nothing moves for `ms` (each byte sent or received
// starts the wait again), so that a slow but live transfer is never cut off.
// networkErrorText then gives the time-out text. Qt's own transfer timeout
// is not used: Qt 6.4 reports it as OperationCanceledError, the same error
// as any abort, so the time-out text could not be told apart.
void watchInactivity(QNetworkReply* reply, int ms);
// True when watchInactivity ended the reply.
bool timedOut(const QNetworkReply* reply);

// A POST request of one compact JSON object; `noLessSafeRedirects` refuses
// a redirect from https to http.
QNetworkRequest jsonPostRequest(const QUrl& url, bool noLessSafeRedirects);

// Sends and watches for inactivity in one step.
QNetworkReply* postOnline(QNetworkAccessManager* nam, const QUrl& url, const QByteArray& json, int timeoutMs,
                          bool noLessSafeRedirects);
QNetworkReply* getOnline(QNetworkAccessManager* nam, const QNetworkRequest& request, int timeoutMs);

// The user text for a failed reply, from its error, HTTP status (0 = none)
// and Qt's own error string.
// (A time-out of watchInactivity is told by timedOut(), not by the error.)
QString networkErrorTextFor(QNetworkReply::NetworkError error, int status, const QString& errorString);
