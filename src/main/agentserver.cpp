#include "main/agentserver.h"

#include "account/authstore.h"
#include "app/jsonutil.h"
#include "app/paths.h"
#include "main/agentrequestreader.h"
#include "platform/localsocketlistener.h"
#include "platform/privatefolder.h"
#include "platform/process.h"
#include "platform/secretstore.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QTimer>

#include <memory>

namespace {

constexpr int kClientWaitMs = 1500;

QJsonObject errorReply(const QString& code, const QString& msg)
{
    return QJsonObject { { QStringLiteral("ok"), false },
                         { QStringLiteral("code"), code },
                         { QStringLiteral("msg"), msg } };
}

} // namespace

StoredSignIn storedSignIn()
{
    // Its own once-computed root, apart from the entry function's.
    static const QString root = appDataDir();
    AuthState state;
    loadAuthFile(root + QStringLiteral("/auth.json"), state, userSecretStore());
    return StoredSignIn{!state.token.isEmpty(), state.username};
}

QString agentServerName()
{
    const QString folder = runtimeDirectory();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/TarnavelPanel_") + currentUserKey();
}

AgentServer::AgentServer(QObject* parent) : QObject(parent) {}

void AgentServer::removeStaleSocket()
{
    // Whatever else sits at the name is not ours to delete; listening then
    // fails and says why.
    const QString name = agentServerName();
    if (isOwnSocketFile(name))
        QFile::remove(name);
}

// What one connection has received and whether its one reply is decided.
struct AgentServer::Connection {
    QByteArray buffer;
    // Once set, whatever the client still sends is dropped unread and
    // unlogged: its connection is closing.
    bool done = false;
};

bool AgentServer::start(QString* error)
{
    m_name = agentServerName();
    m_listener = new LocalSocketListener(this);
    QString text;
    if (!m_listener->listen(m_name, &text)) {
        if (error)
            *error = text;
        qWarning() << "agent server listen failed:" << m_name << text;
        return false;
    }
    connect(m_listener, &LocalSocketListener::connectionAccepted, this, &AgentServer::onNewConnection);
    connect(m_listener, &LocalSocketListener::acceptFailed, this, [](const QString& why) {
        qWarning() << "agent server: accept failed, retrying:" << why;
    });
    // Out of descriptors the warning above may not reach the log file; this
    // line, written once they are back, keeps a trace of the outage.
    connect(m_listener, &LocalSocketListener::acceptResumed, this, [](int failed, const QString& why) {
        qWarning() << "agent server: accepting again after" << failed << "failed attempts:" << why;
    });
    qInfo() << "agent server listening:" << m_name << QStringLiteral("(socket %1)").arg(m_listener->path());
    return true;
}

void AgentServer::onNewConnection(QLocalSocket* socket)
{
    if (m_open >= kMaxConnections) {
        if (m_refused++ == 0)
            qWarning() << "agent server: too many connections, refusing new ones; limit" << kMaxConnections;
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (m_refused > 0) {
        qInfo() << "agent server: accepting connections again, refused" << m_refused;
        m_refused = 0;
    }
    ++m_open;
    socket->setParent(this);
    auto connection = std::make_shared<Connection>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, connection] { onReadyRead(socket, *connection); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this] { --m_open; });
    QTimer::singleShot(kConnectionDeadlineMs, socket, [socket, connection] {
        if (!connection->done)
            qDebug() << "agent: no complete request within" << kConnectionDeadlineMs << "ms, closing the connection";
        socket->abort();
        socket->deleteLater();
    });
    Q_EMIT activity();
}

void AgentServer::onReadyRead(QLocalSocket* socket, Connection& connection)
{
    if (connection.done) {
        socket->readAll();
        return;
    }
    const AgentRead read = readAgentRequest(connection.buffer, socket->readAll());
    switch (read.kind) {
    case AgentRead::NeedMore:
        return;
    case AgentRead::Oversize:
        rejectOversize(socket, connection.buffer);
        break;
    case AgentRead::Request:
        handleRequest(socket, read.request);
        break;
    case AgentRead::NotObject:
        qWarning() << "agent: 收到非法报文:" << read.line;
        sendReply(socket, errorReply(QStringLiteral("BAD_PARAM"), QStringLiteral("报文不是 JSON 对象")));
        break;
    }
    // Every decision closes the connection: one line per connection is all
    // that is handled.
    connection.done = true;
    connection.buffer = QByteArray();
}

void AgentServer::handleRequest(QLocalSocket* socket, const QJsonObject& request)
{
    const QString cmd = request.value(QStringLiteral("cmd")).toString();
    const QString app = request.value(QStringLiteral("app")).toString();
    qInfo() << "agent request: cmd =" << cmd << "app =" << app;
    Q_EMIT activity();
    if (cmd == QLatin1String("ping")) {
        const StoredSignIn stored = storedSignIn();
        sendReply(socket, QJsonObject { { QStringLiteral("v"), 1 },
                                        { QStringLiteral("ok"), true },
                                        { QStringLiteral("cmd"), cmd },
                                        { QStringLiteral("logged_in"), stored.signedIn },
                                        { QStringLiteral("user"), stored.username },
                                        { QStringLiteral("panel"), appVersionString() } });
    } else if (cmd == QLatin1String("show")) {
        sendReply(socket, QJsonObject { { QStringLiteral("v"), 1 },
                                        { QStringLiteral("ok"), true },
                                        { QStringLiteral("cmd"), cmd } });
        Q_EMIT showMainRequested();
    } else {
        sendReply(socket, errorReply(QStringLiteral("BAD_CMD"), QStringLiteral("未知指令：") + cmd));
    }
}

void AgentServer::sendReply(QLocalSocket* socket, const QJsonObject& reply)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    // QJsonObject keeps its keys sorted, which is the order the wire promises.
    socket->write(QJsonDocument(reply).toJson(QJsonDocument::Compact) + '\n');
    socket->flush();
    socket->disconnectFromServer();
}

void AgentServer::rejectOversize(QLocalSocket* socket, QByteArray& buffer)
{
    buffer.clear();
    qWarning() << "agent: 报文超过长度上限，拒绝并关闭连接";
    if (socket->state() == QLocalSocket::ConnectedState) {
        socket->write(QJsonDocument(errorReply(QStringLiteral("BAD_PARAM"), QStringLiteral("报文超过长度上限")))
                          .toJson(QJsonDocument::Compact)
                      + '\n');
        socket->flush();
        socket->disconnectFromServer();
    }
}

bool agentRequestShow(bool logFailure)
{
    const QString name = agentServerName();
    // A socket someone else made could answer in the agent's name.
    if (!isOwnSocketFile(name)) {
        if (logFailure)
            qWarning() << "agentRequestShow: no socket of this user at" << name;
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);
    if (!socket.waitForConnected(kClientWaitMs)) {
        if (logFailure)
            qWarning() << "agentRequestShow: connect failed:" << socket.errorString();
        return false;
    }
    socket.write(QJsonDocument(QJsonObject { { QStringLiteral("cmd"), QStringLiteral("show") } })
                     .toJson(QJsonDocument::Compact)
                 + '\n');
    socket.flush();
    // Only the answer tells a request the agent took from one it never
    // read: a busy server closes surplus connections unanswered.
    const QDeadlineTimer deadline(kClientWaitMs);
    while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    const QJsonObject reply = QJsonDocument::fromJson(socket.readLine()).object();
    const bool accepted = reply.value(QStringLiteral("ok")).toBool();
    if (!accepted && logFailure)
        qWarning() << "agentRequestShow: no answer:" << socket.errorString();
    socket.abort();
    return accepted;
}
