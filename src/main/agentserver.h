#pragma once

#include "main/agentrequestreader.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

class LocalSocketListener;
class QLocalSocket;

// The per-user local socket of the panel and the agent: one compact JSON
// object per line in, one reply line out, then the connection closes.
// Commands "ping" and "show".
class AgentServer : public QObject {
    Q_OBJECT
public:
    explicit AgentServer(QObject* parent = nullptr);

    // Listens on agentServerName(), reachable only by this user. On failure
    // writes the error text through `error` when given and returns false.
    // Once listening it stays so: a failed accept (no descriptor left) is
    // logged and retried, and the socket file is kept.
    bool start(QString* error = nullptr);

    // Removes a socket file left by a process that died without closing it.
    // Only the holder of the single-instance lock may call it: otherwise it
    // could cut a live server off.
    static void removeStaleSocket();

    // Longest request line, line feed not counted.
    static constexpr qsizetype kMaxLine = kAgentMaxLine;
    // Connections served at once; one more is closed unanswered as soon as
    // it is accepted, so that idle clients cannot use up the process's
    // descriptors.
    static constexpr int kMaxConnections = 64;
    // A connection is closed this long after it was accepted, answered or
    // not: a client that has not sent its line by then never will.
    static constexpr int kConnectionDeadlineMs = 3000;

Q_SIGNALS:
    void activity();
    void showMainRequested();

private:
    struct Connection;

    void onNewConnection(QLocalSocket* socket);
    void onReadyRead(QLocalSocket* socket, Connection& connection);
    void handleRequest(QLocalSocket* socket, const QJsonObject& request);
    void sendReply(QLocalSocket* socket, const QJsonObject& reply);
    void rejectOversize(QLocalSocket* socket, QByteArray& buffer);

    LocalSocketListener* m_listener = nullptr;
    QString m_name;
    int m_open = 0;
    int m_refused = 0;
};

// The socket's name: "TarnavelPanel_" and the numeric user id, as a path in
// the per-user runtime folder; empty when there is no such folder.
QString agentServerName();

// The sign-in stored in "auth.json" of the data root, read as the panel
// reads it; signed out when the file is missing, damaged or not a regular
// file.
struct StoredSignIn {
    bool signedIn = false;
    QString username;
};
StoredSignIn storedSignIn();

// Asks a running agent to open the panel: sends {"cmd":"show"} and waits
// (at most 1.5 s each) for the connection and for the agent's answer.
// True when the agent said yes; otherwise false, and the failure is logged
// when `logFailure` is set.
bool agentRequestShow(bool logFailure = true);
