#include "main/agentmode.h"
#include "main/agentrequestreader.h"
#include "main/agentserver.h"

#include "account/authstore.h"
#include "app/paths.h"
#include "platform/localsocketlistener.h"
#include "platform/secretstore.h"

#include "testsupport.h"

#include <QLocalSocket>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

// Client side of one connection: sends bytes, collects the reply line.
struct Client {
    QLocalSocket socket;
    QByteArray received;
    Client()
    {
        socket.connectToServer(agentServerName());
        QObject::connect(&socket, &QLocalSocket::readyRead, [this] { received += socket.readAll(); });
    }
    bool connected() { return socket.state() == QLocalSocket::ConnectedState || socket.waitForConnected(3000); }
    void send(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    bool waitForClose() { return QTest::qWaitFor([this] { return socket.state() == QLocalSocket::UnconnectedState; }, 5000); }
};

// Collects every message logged while it lives.
class LogCapture {
public:
    LogCapture()
    {
        s_lines = &m_lines;
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { s_lines->append(text); });
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        s_lines = nullptr;
    }
    qsizetype count(const QString& needle) const { return m_lines.filter(needle).size(); }
    qsizetype size() const { return m_lines.size(); }
    QString all() const { return m_lines.join(QLatin1Char('\n')); }

private:
    static inline QStringList* s_lines = nullptr;
    QStringList m_lines;
    QtMessageHandler m_previous;
};

const QByteArray kPingReplyStart = "{\"cmd\":\"ping\",\"logged_in\":false,\"ok\":true,";

class TestAgentServer : public QObject {
    Q_OBJECT
    AgentServer* m_server = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(agentServerName().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/TarnavelPanel_")));
    }
    // A fresh server per test: the count of its open connections starts at 0.
    void init()
    {
        m_server = new AgentServer(this);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
    }
    void cleanup()
    {
        delete m_server;
        m_server = nullptr;
        QVERIFY(!QFileInfo::exists(agentServerName()));
    }

    // A second server fails instead of taking the name from the live one
    // (which then still answers), and only the user may connect.
    void aLiveSocketIsNeverReplaced()
    {
        AgentServer second;
        QString error;
        QVERIFY(!second.start(&error));
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(EADDRINUSE))), qPrintable(error));
        QCOMPARE(QFileInfo(agentServerName()).permissions(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
        Client c;
        QVERIFY(c.connected());
        c.send("{\"cmd\":\"ping\"}\n");
        QVERIFY(c.waitForClose());
        QVERIFY(c.received.startsWith(kPingReplyStart));
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("ping keys in alphabetical order")
            << QByteArray("{\"cmd\":\"ping\",\"app\":\"x\"}\n")
            << "{\"cmd\":\"ping\",\"logged_in\":false,\"ok\":true,\"panel\":\"" + appVersionString().toUtf8() + "\",\"user\":\"\",\"v\":1}\n";
        QTest::newRow("show") << QByteArray("  {\"cmd\":\"show\"}  \n") << QByteArray("{\"cmd\":\"show\",\"ok\":true,\"v\":1}\n");
        QTest::newRow("command is case-sensitive")
            << QByteArray("{\"cmd\":\"PING\"}\n")
            << QByteArray("{\"code\":\"BAD_CMD\",\"msg\":\"") + QStringLiteral("未知指令：PING").toUtf8() + "\",\"ok\":false}\n";
        QTest::newRow("missing command")
            << QByteArray("{}\n")
            << QByteArray("{\"code\":\"BAD_CMD\",\"msg\":\"") + QStringLiteral("未知指令：").toUtf8() + "\",\"ok\":false}\n";
        const QByteArray notObject = "{\"code\":\"BAD_PARAM\",\"msg\":\"" + QStringLiteral("报文不是 JSON 对象").toUtf8() + "\",\"ok\":false}\n";
        QTest::newRow("array") << QByteArray("[1,2]\n") << notObject;
        QTest::newRow("garbage") << QByteArray("not json\n") << notObject;
        QTest::newRow("blank lines are skipped") << QByteArray("\n   \n{\"cmd\":\"show\"}\n") << QByteArray("{\"cmd\":\"show\",\"ok\":true,\"v\":1}\n");
    }
    void replies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        Client c;
        QVERIFY(c.connected());
        c.send(request);
        QVERIFY(c.waitForClose());
        QCOMPARE(c.received, reply);
    }

    void showIsSignalledAfterTheReply()
    {
        QSignalSpy show(m_server, &AgentServer::showMainRequested);
        QSignalSpy activity(m_server, &AgentServer::activity);
        Client c;
        QVERIFY(c.connected());
        c.send("{\"cmd\":\"show\"}\n");
        QVERIFY(show.wait(5000));
        QCOMPARE(activity.size(), 2); // the connection and the request
    }

    void noLineFeedNoAnswer()
    {
        Client c;
        QVERIFY(c.connected());
        c.send("{\"cmd\":\"ping\"}");
        c.send("\n \n");
        QVERIFY(c.waitForClose());
        QVERIFY(c.received.startsWith("{\"cmd\":\"ping\""));

        Client blank;
        QVERIFY(blank.connected());
        blank.send("   \n\n");
        QTest::qWait(300); // nothing must happen: no reply, the connection stays
        QCOMPARE(blank.received, QByteArray());
        QCOMPARE(blank.socket.state(), QLocalSocket::ConnectedState);
        blank.send("{\"cmd\":\"show\"}\n");
        QVERIFY(blank.waitForClose());
        QVERIFY(blank.received.contains("\"show\""));
    }

    void lengthLimit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exactly the limit") << int(AgentServer::kMaxLine) << true;
        QTest::newRow("one byte more") << int(AgentServer::kMaxLine + 1) << false;
    }
    void lengthLimit()
    {
        QFETCH(int, length);
        QFETCH(bool, accepted);
        // A show request padded with blanks to the given length.
        QByteArray line = "{\"cmd\":\"show\"}";
        line += QByteArray(length - line.size(), ' ');
        Client c;
        QVERIFY(c.connected());
        c.send(line + '\n');
        QVERIFY(c.waitForClose());
        if (accepted)
            QCOMPARE(c.received, QByteArray("{\"cmd\":\"show\",\"ok\":true,\"v\":1}\n"));
        else
            QVERIFY2(c.received.contains("\"BAD_PARAM\""), c.received.left(200));
    }

    void unterminatedDataOverTheLimit()
    {
        Client c;
        QVERIFY(c.connected());
        c.send(QByteArray(1100000, ' '));
        QVERIFY(c.waitForClose());
        QVERIFY2(c.received.contains("\"BAD_PARAM\""), c.received.left(200));
    }

    // The ping answers from the stored sign-in, read as the panel reads it:
    // a FIFO left at the file's name neither hangs nor stops the agent.
    void pingAnswersFromTheStoredSignIn_data()
    {
        QTest::addColumn<QByteArray>("auth");
        QTest::addColumn<bool>("fifo");
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("loggedIn");
        const QByteArray sealed = protectToken(QStringLiteral("t0k3n"), userSecretStore()).toUtf8();
        QVERIFY(sealed.startsWith("dpapi1:"));
        QTest::newRow("signed in") << "{\"username\":\"alice\",\"token\":\"" + sealed + "\"}" << false
                                   << QStringLiteral("alice") << true;
        QTest::newRow("hand-edited token") << QByteArray("{\"username\":\"alice\",\"token\":\"x\"}") << false
                                           << QStringLiteral("alice") << true;
        QTest::newRow("signed out") << QByteArray("{\"username\":\"alice\",\"token\":\"\"}") << false
                                    << QStringLiteral("alice") << false;
        QTest::newRow("token of another key") << QByteArray("{\"username\":\"bob\",\"token\":\"dpapi1:AAAA\"}")
                                              << false << QStringLiteral("bob") << false;
        QTest::newRow("damaged file") << QByteArray("{\"username\":") << false << QString() << false;
        QTest::newRow("not an object") << QByteArray("[\"alice\"]") << false << QString() << false;
        QTest::newRow("a FIFO") << QByteArray() << true << QString() << false;
    }
    void pingAnswersFromTheStoredSignIn()
    {
        QFETCH(QByteArray, auth);
        QFETCH(bool, fifo);
        QFETCH(QString, user);
        QFETCH(bool, loggedIn);
        const QString path = appDataDir() + QStringLiteral("/auth.json");
        if (fifo) {
            QVERIFY(testsupport::makeFifo(path));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^auth file not read:")));
        } else {
            QVERIFY(testsupport::writeFile(path, auth));
        }
        Client c;
        QVERIFY(c.connected());
        c.send("{\"cmd\":\"ping\"}\n");
        QVERIFY(c.waitForClose());
        const QJsonObject reply = QJsonDocument::fromJson(c.received).object();
        QCOMPARE(reply.value(QStringLiteral("user")).toString(), user);
        QCOMPARE(reply.value(QStringLiteral("logged_in")).toBool(), loggedIn);
        QFile::remove(path);
    }

    void oneReplyPerConnection_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QByteArray>("replyStart");
        QTest::addColumn<QString>("logged");
        const QByteArray badParam = "{\"code\":\"BAD_PARAM\"";
        QTest::newRow("valid requests") << QByteArray("{\"cmd\":\"ping\"}\n").repeated(70000) << kPingReplyStart
                                        << QStringLiteral("agent request: cmd = \"ping\"");
        QTest::newRow("unknown commands") << QByteArray("{\"cmd\":\"x\"}\n").repeated(90000) << QByteArray("{\"code\":\"BAD_CMD\"")
                                          << QStringLiteral("agent request: cmd = \"x\"");
        QTest::newRow("not JSON") << QByteArray("x\n").repeated(500000) << badParam << QStringLiteral("agent: 收到非法报文:");
        // Taking each blank line off the front of the buffer moved the rest
        // of the megabyte once per line.
        QTest::newRow("blank lines, then garbage")
            << QByteArray("\n").repeated(1000000) + "x\n" + QByteArray("x\n").repeated(10000) << badParam
            << QStringLiteral("agent: 收到非法报文:");
    }
    void oneReplyPerConnection()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QByteArray, replyStart);
        QFETCH(QString, logged);
        LogCapture logs;
        Client flood;
        QVERIFY(flood.connected());
        flood.send(lines);
        QVERIFY(flood.waitForClose());
        QVERIFY2(flood.received.startsWith(replyStart), flood.received.left(200));
        QCOMPARE(flood.received.count('\n'), 1);
        // The first line is logged; the rest of the flood is dropped unread.
        QVERIFY2(logs.count(logged) == 1 && logs.size() == 1, qPrintable(logs.all().left(2000)));

        Client next;
        QVERIFY(next.connected());
        next.send("{\"cmd\":\"ping\"}\n");
        QVERIFY(next.waitForClose());
        QVERIFY(next.received.startsWith(kPingReplyStart));
    }

    void connectionsAreBoundedAndIdleOnesClosed()
    {
        LogCapture logs;
        QSignalSpy accepted(m_server, &AgentServer::activity);
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < AgentServer::kMaxConnections; ++i) {
            idle.push_back(std::make_unique<Client>());
            QVERIFY(idle.back()->connected());
            idle.back()->send("{\"cmd\":"); // never finished
            QTRY_COMPARE(accepted.size(), i + 1);
        }

        Client extra1;
        Client extra2;
        QVERIFY(extra1.connected() && extra2.connected());
        QVERIFY(extra1.waitForClose() && extra2.waitForClose());
        QCOMPARE(extra1.received + extra2.received, QByteArray());
        // Refused on arrival, not closed for idling: the older ones still wait.
        QCOMPARE(idle.front()->socket.state(), QLocalSocket::ConnectedState);
        QCOMPARE(logs.count(QStringLiteral("agent server: too many connections")), 1);

        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(idle.begin(), idle.end(), [](const auto& c) { return c->socket.state() == QLocalSocket::UnconnectedState; }),
                                 AgentServer::kConnectionDeadlineMs + 5000);
        for (const auto& c : idle)
            QCOMPARE(c->received, QByteArray());

        Client late;
        QVERIFY(late.connected());
        late.send("{\"cmd\":\"ping\"}\n");
        QVERIFY(late.waitForClose());
        QVERIFY(late.received.startsWith(kPingReplyStart));
        QCOMPARE(logs.count(QStringLiteral("agent server: accepting connections again, refused 2")), 1);
    }

    void acceptFailureIsLoggedAndRetried()
    {
        LogCapture logs;
        // Connected clients wait in the kernel's queue until the server
        // accepts them, which needs a descriptor.
        std::vector<std::unique_ptr<Client>> queued;
        for (int i = 0; i < 3; ++i) {
            queued.push_back(std::make_unique<Client>());
            QVERIFY(queued.back()->connected());
        }
        testsupport::DescriptorLimit limit(0, quint64(testsupport::lowestFreeDescriptor()));
        QVERIFY(limit.active());
        QTRY_COMPARE(logs.count(QStringLiteral("agent server: accept failed, retrying:")), 1);
        QVERIFY2(logs.all().contains(QString::fromLocal8Bit(std::strerror(EMFILE))), qPrintable(logs.all()));
        QVERIFY(QFileInfo::exists(agentServerName()));
        // Further failed attempts are not logged again.
        QTest::qWait(4 * LocalSocketListener::kRetryMs);
        QCOMPARE(logs.count(QStringLiteral("accept failed")), 1);
        QVERIFY(QFileInfo::exists(agentServerName()));

        limit.restore();
        QTRY_COMPARE(logs.count(QStringLiteral("agent server: accepting again after")), 1);
        for (const auto& c : queued) {
            c->send("{\"cmd\":\"ping\"}\n");
            QVERIFY(c->waitForClose());
            QVERIFY(c->received.startsWith(kPingReplyStart));
        }
        Client fresh;
        QVERIFY(fresh.connected());
        fresh.send("{\"cmd\":\"ping\"}\n");
        QVERIFY(fresh.waitForClose());
        QVERIFY(fresh.received.startsWith(kPingReplyStart));
    }

    void idleSeconds_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<qint64>("secs");
        QTest::newRow("unset") << QByteArray() << qint64(0);
        QTest::newRow("zero") << QByteArray("0") << qint64(0);
        QTest::newRow("negative") << QByteArray("-5") << qint64(0);
        QTest::newRow("letters") << QByteArray("abc") << qint64(0);
        QTest::newRow("decimal") << QByteArray("30") << qint64(30);
        QTest::newRow("hexadecimal") << QByteArray("0x1E") << qint64(30);
        QTest::newRow("octal") << QByteArray("036") << qint64(30);
        QTest::newRow("trailing junk") << QByteArray("30s") << qint64(0);
    }
    void idleSeconds()
    {
        QFETCH(QByteArray, value);
        QFETCH(qint64, secs);
        QCOMPARE(agentIdleSeconds(value), secs);
    }

    void idleInterval_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("ms");
        constexpr int kMax = std::numeric_limits<int>::max();
        QTest::newRow("30 s") << QByteArray("30") << 30000;
        QTest::newRow("last whole fit") << QByteArray("2147483") << 2147483000;
        QTest::newRow("one more") << QByteArray("2147484") << kMax;
        // The product overflowed 64 bits before it was bounded.
        QTest::newRow("largest 64-bit value") << QByteArray("0x7fffffffffffffff") << kMax;
        QTest::newRow("product wraps to a small value") << QByteArray("18446744073709552") << kMax;
    }
    void idleInterval()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, ms);
        QCOMPARE(agentIdleIntervalMs(agentIdleSeconds(value)), ms);
    }

    // Deliveries split at chosen places, which a real socket does not let
    // a test choose.
    void readerDeliveries_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<int>("kind");
        const QByteArray show = "{\"cmd\":\"show\"}";
        const QByteArray atLimit = show + QByteArray(kAgentMaxLine - show.size(), ' ');
        QTest::newRow("line at the limit, feed alone")
            << QList<QByteArray> { atLimit, "\n" } << int(AgentRead::Request);
        QTest::newRow("line at the limit in pieces")
            << QList<QByteArray> { atLimit.left(1000), atLimit.mid(1000), "\n" } << int(AgentRead::Request);
        QTest::newRow("one byte over, feed alone")
            << QList<QByteArray> { atLimit + ' ', "\n" } << int(AgentRead::Oversize);
        QTest::newRow("buffered near the limit, early feed in the rest")
            << QList<QByteArray> { QByteArray(1000000, ' '), show + '\n' + QByteArray(100000, ' ') } << int(AgentRead::Oversize);
        QTest::newRow("half a line") << QList<QByteArray> { "{\"cmd\":" } << int(AgentRead::NeedMore);
        QTest::newRow("blank lines only") << QList<QByteArray> { "\n \t\n", "\r\n" } << int(AgentRead::NeedMore);
        QTest::newRow("scalar") << QList<QByteArray> { "42\n" } << int(AgentRead::NotObject);
    }
    void readerDeliveries()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, kind);
        QByteArray buffer;
        AgentRead read;
        for (const QByteArray& chunk : chunks) {
            read = readAgentRequest(buffer, chunk);
            if (read.kind != AgentRead::NeedMore)
                break;
            QVERIFY(buffer.size() <= kAgentMaxLine && !buffer.contains('\n'));
        }
        QCOMPARE(int(read.kind), kind);
        if (kind == AgentRead::Request)
            QCOMPARE(read.request.value(QStringLiteral("cmd")).toString(), QStringLiteral("show"));
    }
};

QTEST_GUILESS_MAIN(TestAgentServer)
#include "test_agentserver.moc"
