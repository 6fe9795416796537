#include "platform/childprocess.h"
#include "platform/libcrypto.h"
#include "platform/process.h"
#include "platform/quitsignals.h"
#include "platform/registry.h"
#include "platform/singleinstance.h"

#include "testsupport.h"

#include <QtTest>

#include <csignal>

class TestPlatformServices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lockIsExclusiveUntilReleased()
    {
        auto first = createSingleInstanceLock(QStringLiteral("QyTestLock"));
        auto second = createSingleInstanceLock(QStringLiteral("QyTestLock"));
        QCOMPARE(first->tryAcquire(), SingleInstanceLock::Result::Acquired);
        QCOMPARE(first->tryAcquire(), SingleInstanceLock::Result::Acquired);
        QCOMPARE(second->tryAcquire(), SingleInstanceLock::Result::HeldElsewhere);
        QVERIFY(!second->isHeld());
        first->release();
        QCOMPARE(second->tryAcquire(), SingleInstanceLock::Result::Acquired);
        first.reset();
        QVERIFY(second->isHeld());
        QCOMPARE(singleInstanceLockPath(QStringLiteral("QyTestLock")),
                 qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/QyTestLock"));
    }

    void lockPathWithoutRuntimeFolder()
    {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        const QString path = singleInstanceLockPath(QStringLiteral("QyTestLock"));
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(path, QDir::tempPath() + QStringLiteral("/QyTestLock_") + currentUserKey());
    }

    void lockThatCannotBeMadeFails()
    {
        // A folder where the lock file should be.
        QVERIFY(QDir().mkpath(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/QyBlockedLock")));
        auto lock = createSingleInstanceLock(QStringLiteral("QyBlockedLock"));
        QCOMPARE(lock->tryAcquire(), SingleInstanceLock::Result::Failed);
        QVERIFY(!lock->errorText().isEmpty());
        QVERIFY(!lock->isHeld());
    }

    void registryHives()
    {
        QCOMPARE(registryFilePath(RegistryHive::CurrentUser), qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Tarnavel/registry.ini"));
        QCOMPARE(registryFilePath(RegistryHive::LocalMachine), qEnvironmentVariable("XDG_CONFIG_DIRS") + QStringLiteral("/Tarnavel/registry.ini"));
        QString error;
        QVERIFY(writeRegistryValue(RegistryHive::CurrentUser, QStringLiteral("SOFTWARE\\TarnavelPanel"), QStringLiteral("InstallPath"), QStringLiteral("/opt/q"), &error));
        QCOMPARE(readRegistryValue(RegistryHive::CurrentUser, QStringLiteral("SOFTWARE/TarnavelPanel"), QStringLiteral("InstallPath")), QStringLiteral("/opt/q"));
        QVERIFY(testsupport::readFile(registryFilePath(RegistryHive::CurrentUser)).contains("/opt/q"));
    }

    void registryWriteFailureIsReported()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_DIRS");
        const QString blocker = testsupport::testRoot() + QStringLiteral("/etc-file");
        QVERIFY(testsupport::writeFile(blocker, "not a folder"));
        qputenv("XDG_CONFIG_DIRS", blocker.toUtf8() + ":/etc/xdg");
        QString error;
        const bool ok = writeRegistryValue(RegistryHive::LocalMachine, QStringLiteral("SOFTWARE\\TarnavelPanel"), QStringLiteral("InstallPath"), QStringLiteral("x"), &error);
        qputenv("XDG_CONFIG_DIRS", saved);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
    }

    void quitSignalsArriveOnTheEventLoop_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void quitSignalsArriveOnTheEventLoop()
    {
        QFETCH(int, sig);
        std::unique_ptr<QuitSignals> signals_(QuitSignals::install());
        QVERIFY(signals_);
        QVERIFY2(!QuitSignals::install(), "only one watcher per process");
        QSignalSpy spy(signals_.get(), &QuitSignals::quitRequested);
        std::raise(sig);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.at(0).at(0).toInt(), sig);
    }

    void appendIsOneWholeLine()
    {
        const QString path = testsupport::testRoot() + QStringLiteral("/append/a.log");
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QCOMPARE(appendToFile(path, "one\n"), AppendResult::Ok);
        QCOMPARE(appendToFile(path, "two\n"), AppendResult::Ok);
        QCOMPARE(testsupport::readFile(path), QByteArray("one\ntwo\n"));
        // Logs are the user's alone.
        QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(appendToFile(testsupport::testRoot() + QStringLiteral("/append/missing/b.log"), "x"), AppendResult::OpenFailed);
    }

    // What a script child (a snapshot, a restore) creates is private to the
    // user, whatever the panel's own umask.
    void childProcessFilesArePrivate()
    {
        const QString dir = testsupport::testRoot() + QStringLiteral("/child-umask");
        QVERIFY(QDir().mkpath(dir));
        QProcess sh;
        startInOwnProcessGroup(sh);
        sh.setWorkingDirectory(dir);
        sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo x > snapshot.zip && mkdir folder")});
        QVERIFY(sh.waitForFinished(10000));
        QCOMPARE(sh.exitCode(), 0);
        QCOMPARE(QFileInfo(dir + QStringLiteral("/snapshot.zip")).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(dir + QStringLiteral("/folder")).permissions() & 0x0077, QFileDevice::Permissions());
    }

    // libcrypto is opened when first asked for: a library that is missing,
    // or one that lacks the functions, is an error that names it.
    void libCryptoOpensOnFirstUse_data()
    {
        QTest::addColumn<QByteArray>("soname");
        QTest::addColumn<QString>("said");
        QTest::newRow("missing") << QByteArray("libcrypto-absent.so.0") << QStringLiteral("libcrypto-absent.so.0");
        QTest::newRow("not libcrypto") << QByteArray("libc.so.6") << QStringLiteral("libc.so.6 lacks RAND_bytes");
    }

    void libCryptoOpensOnFirstUse()
    {
        QFETCH(QByteArray, soname);
        QFETCH(QString, said);
        QString error;
        QVERIFY(!openLibCrypto(soname.constData(), &error));
        QVERIFY2(error.contains(said), qPrintable(error));

        const LibCrypto* real = libCrypto();
        QVERIFY(real);
        unsigned char buf[16] = {};
        QCOMPARE(real->RAND_bytes(buf, int(sizeof buf)), 1);
    }

    void ownExecutableCheck()
    {
        QVERIFY(isOwnExecutableOfThisUser(QCoreApplication::applicationPid()));
        QVERIFY(!isOwnExecutableOfThisUser(0));
        QVERIFY(!isOwnExecutableOfThisUser(1)); // init runs another program
        QProcess other;
        other.start(QStringLiteral("sleep"), { QStringLiteral("30") });
        QVERIFY(other.waitForStarted());
        QVERIFY(!isOwnExecutableOfThisUser(other.processId()));
        other.kill();
        other.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestPlatformServices)
#include "test_platformservices.moc"
