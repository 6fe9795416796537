#pragma once

#include <QByteArray>
#include <QJsonObject>

class QNetworkReply;

// The one way bytes and server replies become JSON objects outside the two
// configuration loaders. Only transport and syntax are judged here; what
// "ok", "code" or "msg" of a reply mean is the caller's business. Every
// failure logs exactly one "[jsonutil]" warning and returns false with `out`
// left empty.

// Parses `data` as a JSON document whose top level must be an object.
bool parseJsonObject(const QByteArray& data, QJsonObject& out);

// Judges a finished reply: a transport error or an HTTP status outside
// 200..299 rejects it without reading the body; otherwise the whole body is
// read and parsed as with parseJsonObject. A null reply is false without a
// log line. The reply is neither closed nor deleted.
bool parseReplyObject(QNetworkReply* reply, QJsonObject& out);
