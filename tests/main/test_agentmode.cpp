// The agent ("--agent") as a black box: the real executable, its socket and
// its log, under a real X server.
#include "testsupport.h"

#include <QLocalSocket>
#include <QtTest>

#include <csignal>

namespace {

using testsupport::panelDataRoot;
using testsupport::panelLog;
using testsupport::panelLogPath;
using testsupport::panelSocketPath;
using testsupport::panelsOfThisTest;

// The executable in agent mode.
struct Agent : testsupport::PanelProcess {
    explicit Agent(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
        : PanelProcess({QStringLiteral("--agent")}, env)
    {
    }
};


// Sends `bytes` (in pieces of `piece` bytes when given) and returns all
// that comes back until the agent closes the connection.
QByteArray exchange(const QByteArray& bytes, bool waitForClose = true)
{
    QLocalSocket socket;
    socket.connectToServer(panelSocketPath());
    if (!socket.waitForConnected(3000))
        return "<no connection>";
    socket.write(bytes);
    socket.flush();
    QByteArray received;
    if (!waitForClose) {
        socket.waitForBytesWritten(3000);
        socket.abort();
        return received;
    }
    while (socket.state() == QLocalSocket::ConnectedState) {
        socket.waitForReadyRead(500);
        received += socket.readAll();
    }
    return received + socket.readAll();
}

QByteArray errorReply(const char* code, const QString& msg)
{
    return "{\"code\":\"" + QByteArray(code) + "\",\"msg\":\"" + msg.toUtf8() + "\",\"ok\":false}\n";
}


QProcessEnvironment idleEnv(const QString& value)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KRV_AGENT_IDLE_SEC"), value);
    return env;
}

} // namespace

class TestAgentMode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
    }
    void init() { QDir(panelDataRoot() + QStringLiteral("/logs")).removeRecursively(); }
    void cleanup()
    {
        for (qint64 pid : panelsOfThisTest())
            ::kill(pid_t(pid), SIGKILL);
        QTRY_VERIFY(panelsOfThisTest().isEmpty());
    }

    void answersOnTheWire()
    {
        Agent agent;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        const QByteArray version = QByteArray(testsupport::readFile(panelLogPath()).split('"').value(1));
        const QByteArray ping = "{\"cmd\":\"ping\",\"logged_in\":false,\"ok\":true,\"panel\":\"" + version + "\",\"user\":\"\",\"v\":1}\n";
        const QByteArray notObject = errorReply("BAD_PARAM", QStringLiteral("报文不是 JSON 对象"));
        const QByteArray tooLong = errorReply("BAD_PARAM", QStringLiteral("报文超过长度上限"));
        const QByteArray pingLine = "{\"cmd\":\"ping\"}";
        const qsizetype limit = 1048576;

        const struct {
            const char* name;
            QByteArray request;
            QByteArray reply;
        } cases[] = {
            { "ping", pingLine + '\n', ping },
            { "app is only logged", "{\"cmd\":\"ping\",\"app\":\"demo\"}\n", ping },
            { "capitals", "{\"cmd\":\"PING\"}\n", errorReply("BAD_CMD", QStringLiteral("未知指令：PING")) },
            { "no command", "{\"app\":\"x\"}\n", errorReply("BAD_CMD", QStringLiteral("未知指令：")) },
            { "number as command", "{\"cmd\":5}\n", errorReply("BAD_CMD", QStringLiteral("未知指令：")) },
            { "array", "[\"ping\"]\n", notObject },
            { "broken JSON", "{\"cmd\":\n", notObject },
            { "blank lines first", "\n  \r\n\t\n" + pingLine + '\n', ping },
            { "several requests, one answer", pingLine + "\n{\"cmd\":\"x\"}\n" + pingLine + '\n', ping },
            { "exactly the limit", pingLine + QByteArray(limit - pingLine.size(), ' ') + '\n', ping },
            { "one byte over", pingLine + QByteArray(limit + 1 - pingLine.size(), ' ') + '\n', tooLong },
            { "unterminated over the limit", QByteArray(limit + 10, 'x'), tooLong },
        };
        for (const auto& c : cases)
            QVERIFY2(exchange(c.request) == c.reply, c.name);

        // Half a line and gone: nothing answered, nothing harmed.
        exchange("{\"cmd\":\"pi", false);
        QCOMPARE(exchange(pingLine + '\n'), ping);
        QVERIFY(panelLog().contains("agent request: cmd = \"ping\" app = \"demo\""));
        QCOMPARE(agent.p.state(), QProcess::Running);
    }

    void idleExit_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("decimal") << QStringLiteral("1");
        QTest::newRow("hexadecimal") << QStringLiteral("0x1");
        QTest::newRow("octal") << QStringLiteral("01");
    }
    void idleExit()
    {
        QFETCH(QString, value);
        QElapsedTimer clock;
        clock.start();
        Agent agent(idleEnv(value));
        QVERIFY(agent.finishedWith(0));
        QVERIFY(panelLog().contains("agent mode: idle auto-exit enabled, idle(s) = 1\n"));
        QVERIFY(panelLog().contains("agent mode: idle timeout, quitting"));
        QVERIFY(clock.elapsed() >= 1000);
    }

    void residentValues_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("negative") << QStringLiteral("-5");
        QTest::newRow("letters") << QStringLiteral("soon");
        QTest::newRow("bad octal digit") << QStringLiteral("09");
    }
    void residentValues()
    {
        QFETCH(QString, value);
        Agent agent(idleEnv(value));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        QVERIFY(panelLog().contains("agent mode: resident mode (no idle exit)"));
    }

    void hugeIdleValueKeepsRunning()
    {
        // Its millisecond count wraps to a few hundred: the agent must not
        // end at once.
        Agent agent(idleEnv(QStringLiteral("18446744073709552")));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        QVERIFY(panelLog().contains("agent mode: idle auto-exit enabled, idle(s) = 18446744073709552\n"));
        QTest::qWait(1500);
        QCOMPARE(agent.p.state(), QProcess::Running);
    }

    void staleSocketAfterKill()
    {
        {
            Agent killed;
            QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
            killed.p.kill();
            killed.p.waitForFinished(5000);
        }
        QVERIFY(QFileInfo::exists(panelSocketPath()));
        QDir(panelDataRoot() + QStringLiteral("/logs")).removeRecursively();
        Agent next;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        QVERIFY(exchange("{\"cmd\":\"ping\"}\n").startsWith("{\"cmd\":\"ping\""));
    }

    void cannotListenExitsWithTwo()
    {
        // Something that is no socket holds the name: it is not ours to remove.
        QFile::remove(panelSocketPath());
        QVERIFY(QDir().mkdir(panelSocketPath()));
        Agent agent;
        const bool exitedWithTwo = agent.finishedWith(2);
        QDir().rmdir(panelSocketPath());
        QVERIFY(exitedWithTwo);
        QVERIFY(panelLog().contains("agent mode: listen failed ->"));
    }

    void showPromotesToThePanel()
    {
        Agent agent;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        QCOMPARE(exchange("{\"cmd\":\"show\"}\n"), QByteArray("{\"cmd\":\"show\",\"ok\":true,\"v\":1}\n"));
        QVERIFY(agent.finishedWith(0));
        QVERIFY(panelLog().contains("agent: promoting to GUI panel"));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown, entering event loop"));
        QCOMPARE(panelsOfThisTest().size(), 1);
        // The panel serves the same socket.
        QTRY_VERIFY(exchange("{\"cmd\":\"ping\"}\n").startsWith("{\"cmd\":\"ping\""));
    }
};

QTEST_MAIN(TestAgentMode)
#include "test_agentmode.moc"
