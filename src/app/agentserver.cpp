#include "app/agentserver.h"

#include "app/jsonutil.h"

#include "app/paths.h"
#include "platform/process.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>

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

QString readAuthJson(const QString& key)
{
    // Its own once-computed root, apart from the entry function's.
    static const QString root = appDataDir();
    QFile file(root + QStringLiteral("/auth.json"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QJsonObject object;
    if (!parseJsonObject(file.readAll(), object))
        return QString();
    return object.value(key).toString();
}

QString currentUsername()
{
    return readAuthJson(QStringLiteral("username"));
}

QString agentServerName()
{
    return runtimeDirectory() + QStringLiteral("/TarnavelPanel_") + currentUserKey();
}

AgentServer::AgentServer(QObject* parent) : QObject(parent) {}

void AgentServer::removeStaleSocket()
{
    QLocalServer::removeServer(agentServerName());
}

bool AgentServer::start(QString* error)
{
    m_name = agentServerName();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        const QString text = m_server->errorString();
        if (error)
            *error = text;
        qWarning() << "agent server listen failed:" << m_name << text;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &AgentServer::onNewConnection);
    qInfo() << "agent server listening:" << m_name << QStringLiteral("(socket %1)").arg(m_server->fullServerName());
    return true;
}

void AgentServer::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] { onReadyRead(socket, *buffer); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        Q_EMIT activity();
    }
}

void AgentServer::onReadyRead(QLocalSocket* socket, QByteArray& buffer)
{
    // The pending bytes may hold the line feed that ends a line of exactly
    // the limit, so one byte more than the limit is still acceptable here.
    if (buffer.size() + socket->bytesAvailable() > kMaxLine + 1 && !buffer.contains('\n')) {
        rejectOversize(socket, buffer);
        return;
    }
    buffer.append(socket->readAll());
    qsizetype nl;
    while (!buffer.isEmpty() && (nl = buffer.indexOf('\n')) >= 0) {
        if (nl > kMaxLine) {
            rejectOversize(socket, buffer);
            return;
        }
        const QByteArray line = buffer.left(nl).trimmed();
        buffer.remove(0, nl + 1);
        if (line.isEmpty())
            continue;
        QJsonParseError err {};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &err);
        if (err.error == QJsonParseError::NoError && doc.isObject()) {
            handleRequest(socket, doc.object());
        } else {
            qWarning() << "agent: 收到非法报文:" << line.left(120);
            sendReply(socket, errorReply(QStringLiteral("BAD_PARAM"), QStringLiteral("报文不是 JSON 对象")));
        }
    }
    if (buffer.size() > kMaxLine)
        rejectOversize(socket, buffer);
}

void AgentServer::handleRequest(QLocalSocket* socket, const QJsonObject& request)
{
    const QString cmd = request.value(QStringLiteral("cmd")).toString();
    const QString app = request.value(QStringLiteral("app")).toString();
    qInfo() << "agent request: cmd =" << cmd << "app =" << app;
    Q_EMIT activity();
    if (cmd == QLatin1String("ping")) {
        sendReply(socket, QJsonObject { { QStringLiteral("v"), 1 },
                                        { QStringLiteral("ok"), true },
                                        { QStringLiteral("cmd"), cmd },
                                        // The stored token is only readable once the
                                        // account's secret store exists.
                                        { QStringLiteral("logged_in"), false },
                                        { QStringLiteral("user"), currentUsername() },
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

void agentRequestShow()
{
    QLocalSocket socket;
    socket.connectToServer(agentServerName(), QIODevice::ReadWrite);
    if (!socket.waitForConnected(kClientWaitMs)) {
        qWarning() << "agentRequestShow: connect failed:" << socket.errorString();
        return;
    }
    socket.write(QJsonDocument(QJsonObject { { QStringLiteral("cmd"), QStringLiteral("show") } })
                     .toJson(QJsonDocument::Compact)
                 + '\n');
    socket.flush();
    socket.waitForBytesWritten(kClientWaitMs);
    socket.disconnectFromServer();
}
