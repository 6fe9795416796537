// The whole executable under a real X server: single instance, wake, quit.
#include "platform/singleinstance.h"
#include "platform/windowsystem.h"

#include "testsupport.h"

#include <QLocalSocket>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

using testsupport::panelDataRoot;
using testsupport::panelLog;
using testsupport::panelLogPath;
using testsupport::panelSocketPath;
using testsupport::panelsOfThisTest;
using Panel = testsupport::PanelProcess;

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
    }
    void init() { QDir(panelDataRoot() + QStringLiteral("/logs")).removeRecursively(); }

    void installPathStaysInTheTestsOwnFolders()
    {
        // As root the panel records its folder machine-wide, in the first
        // XDG_CONFIG_DIRS entry: that must be this test's folder, never /etc/xdg.
        const QString machineWide = qEnvironmentVariable("XDG_CONFIG_DIRS").section(QLatin1Char(':'), 0, 0);
        QVERIFY2(machineWide.startsWith(testsupport::testRoot()), "the test runner isolates XDG_CONFIG_DIRS");
        Panel panel;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "install path written to"));
        const QString written = (::geteuid() == 0 ? machineWide : qEnvironmentVariable("XDG_CONFIG_HOME"))
            + QStringLiteral("/Tarnavel/registry.ini");
        QVERIFY2(testsupport::readFile(written).contains("InstallPath"), qPrintable(written));
        ::kill(pid_t(panel.p.processId()), SIGTERM);
        QVERIFY(panel.finishedWith(0));
    }

    // What an earlier version left readable by others is made private at
    // start: the data root, its folders and files (owner bits kept).
    void dataRootMadePrivateAtStart()
    {
        const QString old = panelDataRoot() + QStringLiteral("/old/settings.json");
        const QString tool = panelDataRoot() + QStringLiteral("/apps/tool/run.sh");
        QVERIFY(testsupport::writeFile(old, "{}"));
        QVERIFY(testsupport::writeFile(tool, "#!/bin/sh\n"));
        const auto open = QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const auto dirOpen = open | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto rwx = rw | QFileDevice::ExeOwner;
        for (const QString& dir : QStringList{panelDataRoot(), panelDataRoot() + QStringLiteral("/old"), panelDataRoot() + QStringLiteral("/apps/tool")})
            QVERIFY(QFile::setPermissions(dir, rwx | dirOpen));
        QVERIFY(QFile::setPermissions(old, rw | open));
        QVERIFY(QFile::setPermissions(tool, rwx | dirOpen));
        Panel panel;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown, entering event loop"));
        const auto others = [](const QString& path) { return QFileInfo(path).permissions() & 0x0077; };
        QTRY_COMPARE_WITH_TIMEOUT(others(tool), QFileDevice::Permissions(), 10000);
        QCOMPARE(others(panelDataRoot()), QFileDevice::Permissions());
        QCOMPARE(others(panelDataRoot() + QStringLiteral("/old")), QFileDevice::Permissions());
        QCOMPARE(others(old), QFileDevice::Permissions());
        QCOMPARE(QFileInfo(tool).permissions() & 0x7000, rwx);
        ::kill(pid_t(panel.p.processId()), SIGTERM);
        QVERIFY(panel.finishedWith(0));
    }

    void secondStartWakesTheFirstAndSigtermQuits()
    {
        Panel first({ QStringLiteral("--bogus"), QStringLiteral("-x"), QStringLiteral("--agentx") });
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown, entering event loop"));
        QVERIFY(panelLog().contains("startup: \"1.0.0\" args: \""));
        QVERIFY(panelLog().contains(" --bogus -x --agentx\"\n"));

        Panel second;
        QVERIFY(second.finishedWith(0));
        QVERIFY(panelLog().contains("second instance detected, wake existing window and exit"));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "panel wake: show and activate"));

        Panel agent({ QStringLiteral("--agent") });
        QVERIFY(agent.finishedWith(0));
        QVERIFY(panelLog().contains("agent mode: panel already running, exit without waking window"));
        QCOMPARE(panelLog().count("panel wake:"), 1);

        ::kill(pid_t(first.p.processId()), SIGTERM);
        QVERIFY(first.finishedWith(0));
        const QByteArray text = panelLog();
        const qsizetype sig = text.indexOf("quit signal received: 15");
        const qsizetype quit = text.indexOf("aboutToQuit: stopping recorder, persisting state and releasing icon cache");
        const qsizetype exited = text.indexOf("[INFO ] [default] event loop exited, code 0\n");
        QVERIFY(sig >= 0 && quit > sig && exited > quit);
        QVERIFY2(text.endsWith("event loop exited, code 0\n"), "nothing is logged after the event loop");
        // A normal return would have run the server's destructor, which removes
        // its socket file; the hard exit leaves it for the next start.
        QVERIFY(QFileInfo::exists(panelSocketPath()));
    }

    void killedInstanceDoesNotBlockTheNext()
    {
        {
            Panel victim;
            QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown"));
            victim.p.kill();
            QVERIFY(victim.p.waitForFinished(5000));
        }
        QVERIFY(QFileInfo::exists(panelSocketPath()));
        QVERIFY(QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/TarnavelPanel_SingleInstanceMutex")));
        Panel next;
        QTRY_COMPARE_WITH_TIMEOUT(panelLog().count("main window shown"), 2, 15000);
        QCOMPARE(panelLog().count("agent server listening:"), 2);
        QVERIFY(!panelLog().contains("listen failed"));
        QVERIFY(!panelLog().contains("second instance"));
        ::kill(pid_t(next.p.processId()), SIGTERM);
        QVERIFY(next.finishedWith(0));
    }

    // This test holds the lock and shows a window with the panel's title; it
    // is not the panel's executable, so a later start must not wake it. With
    // no window to wake and no agent to ask, the start shows the panel
    // itself when the holder lets go meanwhile; otherwise it says so and
    // ends: never a panel without the lock beside another.
    void silentLockHolder_data()
    {
        QTest::addColumn<bool>("letGo");
        QTest::newRow("holder keeps the lock") << false;
        QTest::newRow("holder ends while waited for") << true;
    }
    void silentLockHolder()
    {
        QFETCH(bool, letGo);
        auto lock = createSingleInstanceLock(QStringLiteral("TarnavelPanel_SingleInstanceMutex"));
        QCOMPARE(lock->tryAcquire(), SingleInstanceLock::Result::Acquired);
        QWidget impostor;
        impostor.setWindowTitle(QStringLiteral("Quillory"));
        impostor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&impostor));
        int woken = 0;
        auto watch = windowSystem().watchWake(impostor.winId(), 0xDA5A, [&] { ++woken; });

        Panel second;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agentRequestShow: connect failed:"));
        QVERIFY(panelLog().contains("agent running without main window, request show"));
        if (letGo) {
            lock->release();
            QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown, entering event loop", 20000));
            QVERIFY(panelLog().contains("second instance: the running instance ended, starting as the first"));
            ::kill(pid_t(second.p.processId()), SIGTERM);
            QVERIFY(second.finishedWith(0));
        } else {
            QVERIFY(second.finishedWith(1, 20000));
            QVERIFY(second.p.readAllStandardError().contains("holds the single-instance lock"));
            QVERIFY(panelLog().contains("startup refused: another instance holds the single-instance lock"));
            QVERIFY(!panelLog().contains("main window shown"));
        }
        // Asked again and again while waiting; logged once.
        QCOMPARE(panelLog().count("agentRequestShow: connect failed:"), 1);
        QCOMPARE(woken, 0);
    }

    // A lock that cannot be made at all (a folder stands where its file
    // goes) is no reason to start a panel that could run beside another.
    void lockThatCannotBeMadeRefusesTheStart()
    {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        QVERIFY(QDir(runtime.path()).mkdir(QStringLiteral("TarnavelPanel_SingleInstanceMutex")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        Panel panel({}, env);
        QVERIFY(panel.finishedWith(1));
        QVERIFY(panel.p.readAllStandardError().contains("single-instance lock cannot be made"));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "startup refused: the single-instance lock cannot be made"));
        QVERIFY(!panelLog().contains("main window shown"));
    }

    // An agent that ran out of descriptors keeps its socket and serves again
    // once they are back: a later start still gets the panel from it.
    void agentOutOfDescriptorsStillHandsOver()
    {
        Panel agent({ QStringLiteral("--agent") });
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        const qint64 pid = agent.p.processId();
        testsupport::DescriptorLimit limit(pid, quint64(testsupport::lowestFreeDescriptor(pid)));
        QVERIFY(limit.active());
        QLocalSocket queued;
        queued.connectToServer(panelSocketPath());
        QVERIFY(queued.waitForConnected(3000));
        // The agent cannot open its log file either: its try to log the
        // failed accept shows on its standard error.
        QByteArray err;
        QTRY_VERIFY_WITH_TIMEOUT((err += agent.p.readAllStandardError()).contains("log open failed"), 10000);
        QVERIFY(QFileInfo::exists(panelSocketPath()));
        limit.restore();
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent server: accepting again after"));
        QVERIFY(panelLog().contains(std::strerror(EMFILE)));

        Panel second;
        QVERIFY(second.finishedWith(0));
        QVERIFY(agent.finishedWith(0));
        QVERIFY(panelLog().contains("agent: promoting to GUI panel"));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown, entering event loop"));
        const QList<qint64> panels = panelsOfThisTest();
        QCOMPARE(panels.size(), 1);
        ::kill(pid_t(panels[0]), SIGTERM);
        QTRY_VERIFY(panelsOfThisTest().isEmpty());
    }

    void screenshotModesNeedNoLock_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("previewRan");
        const QString dir = testsupport::testRoot() + QStringLiteral("/shots");
        QTest::newRow("icon probe wins") << QStringList { QStringLiteral("--ui-preview=") + dir, QStringLiteral("--icon-probe=") + dir + QStringLiteral("-icons") } << false;
        QTest::newRow("screenshot mode") << QStringList { QStringLiteral("--ui-preview=") + dir } << true;
    }
    void screenshotModesNeedNoLock()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, previewRan);
        QDir(testsupport::testRoot() + QStringLiteral("/shots")).removeRecursively();
        auto lock = createSingleInstanceLock(QStringLiteral("TarnavelPanel_SingleInstanceMutex"));
        QCOMPARE(lock->tryAcquire(), SingleInstanceLock::Result::Acquired);
        Panel run(args);
        QVERIFY(run.finishedWith(0));
        QCOMPARE(panelLog().contains("ui preview: done"), previewRan);
        QCOMPARE(QFileInfo(testsupport::testRoot() + QStringLiteral("/shots")).isDir(), previewRan);
        QVERIFY(!panelLog().contains("second instance"));
        QVERIFY(!panelLog().contains("agent running without main window"));
    }

    void unwritableDataRootStillRuns()
    {
        const QString blocker = testsupport::testRoot() + QStringLiteral("/plainfile");
        QVERIFY(testsupport::writeFile(blocker, "x"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), blocker + QStringLiteral("/share"));
        env.insert(QStringLiteral("KRV_BENCH_FIRST_PAINT"), QStringLiteral("1"));
        Panel panel({}, env);
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += panel.p.readAllStandardOutput()).contains("first-paint") || panel.p.state() == QProcess::NotRunning, 15000);
        QCOMPARE(panel.p.state(), QProcess::Running);
        ::kill(pid_t(panel.p.processId()), SIGTERM);
        QVERIFY(panel.finishedWith(0));
        const QByteArray err = panel.p.readAllStandardError();
        const QByteArray root = blocker.toUtf8() + "/share/Tarnavel/TarnavelPanel";
        QVERIFY2(err.contains(QByteArray("appDataDir: mkpath failed: " + root + "\n")), err);
        QVERIFY2(err.contains(QByteArray("[TarnavelPanel] log root mkdir failed: " + root + "/logs\n")), err);
        QVERIFY2(err.contains(QByteArray("[TarnavelPanel] log mkdir failed: " + root + "/logs/")), err);
    }

    // An import whose process died during its switch: the start completes it
    // before the layout is read, so the panel shows the imported groups and
    // never a mix.
    void interruptedImportIsFinishedBeforeTheDataIsRead()
    {
        const QString layout = panelDataRoot() + QStringLiteral("/layout.json");
        QVERIFY(testsupport::writeFile(layout, "{\"groups\":[{\"name\":\"Before\",\"items\":[]}]}"));
        QVERIFY(testsupport::writeFile(layout + QStringLiteral(".import-old"), testsupport::readFile(layout)));
        QVERIFY(testsupport::writeFile(layout + QStringLiteral(".import-new"),
                                       "{\"groups\":[{\"name\":\"Imported\",\"items\":[]}]}"));
        QVERIFY(testsupport::writeFile(panelDataRoot() + QStringLiteral("/import-state.json"),
                                       "{\"phase\":\"forward\",\"files\":[{\"name\":\"layout.json\",\"existed\":true}]}"));
        Panel panel;
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown"));
        QVERIFY(panelLog().contains("importUserData: interrupted import completed:"));
        ::kill(pid_t(panel.p.processId()), SIGTERM);
        QVERIFY(panel.finishedWith(0));
        const QByteArray after = testsupport::readFile(layout);
        QVERIFY2(after.contains("Imported") && !after.contains("Before"), after.constData());
        QVERIFY(!QFileInfo::exists(panelDataRoot() + QStringLiteral("/import-state.json")));
        QVERIFY(!QFileInfo::exists(layout + QStringLiteral(".import-new")));
        QVERIFY(!QFileInfo::exists(layout + QStringLiteral(".import-old")));
    }

    void agentHandsOverToThePanel()
    {
        Panel agent({ QStringLiteral("--agent") });
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "agent mode: tray shown (resident)"));
        QVERIFY(panelLog().contains("agent mode: resident mode (no idle exit)"));

        Panel second;
        QVERIFY(second.finishedWith(0));
        QVERIFY(panelLog().contains("agent running without main window, request show"));
        QVERIFY(agent.finishedWith(0));
        QVERIFY(panelLog().contains("agent: promoting to GUI panel"));
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "main window shown, entering event loop"));
        QVERIFY(!panelLog().contains("second instance detected"));

        const QList<qint64> panels = panelsOfThisTest();
        QCOMPARE(panels.size(), 1);
        ::kill(pid_t(panels[0]), SIGTERM);
        QVERIFY(testsupport::waitForFileText(panelLogPath(), "[INFO ] [default] event loop exited, code 0"));
        QTRY_VERIFY(panelsOfThisTest().isEmpty());
    }

    void agentEndsWhenIdle()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KRV_AGENT_IDLE_SEC"), QStringLiteral("1"));
        Panel agent({ QStringLiteral("--agent") }, env);
        QVERIFY(agent.finishedWith(0));
        QVERIFY(panelLog().contains("agent mode: idle auto-exit enabled, idle(s) = 1"));
        QVERIFY(panelLog().contains("agent mode: idle timeout, quitting"));
        QVERIFY(panelLog().endsWith("agent mode: event loop exited, code 0\n"));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
