#include "app/agentmode.h"
#include "app/agentserver.h"
#include "app/paths.h"

#include "testsupport.h"

#include <QLocalSocket>
#include <QtTest>

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

class TestAgentServer : public QObject {
    Q_OBJECT
    AgentServer* m_server = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(agentServerName().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/TarnavelPanel_")));
        m_server = new AgentServer(this);
        QString error;
        QVERIFY2(m_server->start(&error), qPrintable(error));
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

    void pingNamesTheStoredUser_data()
    {
        QTest::addColumn<QByteArray>("auth");
        QTest::addColumn<QString>("user");
        QTest::newRow("signed in before") << QByteArray("{\"username\":\"alice\",\"token\":\"x\"}") << QStringLiteral("alice");
        QTest::newRow("damaged file") << QByteArray("{\"username\":") << QString();
        QTest::newRow("not an object") << QByteArray("[\"alice\"]") << QString();
    }
    void pingNamesTheStoredUser()
    {
        QFETCH(QByteArray, auth);
        QFETCH(QString, user);
        QVERIFY(testsupport::writeFile(appDataDir() + QStringLiteral("/auth.json"), auth));
        Client c;
        QVERIFY(c.connected());
        c.send("{\"cmd\":\"ping\"}\n");
        QVERIFY(c.waitForClose());
        QFile::remove(appDataDir() + QStringLiteral("/auth.json"));
        const QJsonObject reply = QJsonDocument::fromJson(c.received).object();
        QCOMPARE(reply.value(QStringLiteral("user")).toString(), user);
        QCOMPARE(reply.value(QStringLiteral("logged_in")).toBool(), false);
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
};

QTEST_GUILESS_MAIN(TestAgentServer)
#include "test_agentserver.moc"
