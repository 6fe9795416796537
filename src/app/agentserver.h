#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

class QLocalServer;
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
    bool start(QString* error = nullptr);

    // Removes a socket file left by a process that died without closing it.
    // Only the holder of the single-instance lock may call it: otherwise it
    // could cut a live server off.
    static void removeStaleSocket();

    // Longest request line, line feed not counted.
    static constexpr qsizetype kMaxLine = 1048576;

Q_SIGNALS:
    void activity();
    void showMainRequested();

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket, QByteArray& buffer);
    void handleRequest(QLocalSocket* socket, const QJsonObject& request);
    void sendReply(QLocalSocket* socket, const QJsonObject& reply);
    void rejectOversize(QLocalSocket* socket, QByteArray& buffer);

    QLocalServer* m_server = nullptr;
    QString m_name;
};

// The socket's name: "TarnavelPanel_" and the numeric user id, as a path in
// the per-user runtime folder.
QString agentServerName();

// A text value of "auth.json" in the data root; empty when the file is
// missing, damaged (logged) or lacks the key.
QString readAuthJson(const QString& key);
QString currentUsername();

// Asks a running agent to open the panel: sends {"cmd":"show"} and does not
// wait for the answer. A failed connection is logged.
void agentRequestShow();
