// The crash handler, exercised in forked children that really crash.
#include "main/crashhandler.h"
#include "platform/crashsignals.h"

#include "testsupport.h"

#include <QtTest>

#include <csignal>
#include <cstdint>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `crash` in a child with the handler installed for `folder`; returns
// the signal that ended the child (0 when it exited).
int crashInChild(const QString& folder, void (*crash)())
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!installCrashSignalHandler(folder))
            ::_exit(3);
        crash();
        ::_exit(4);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// Through a volatile so that the compiler cannot see the address.
volatile std::uintptr_t g_writeTarget = 0x10;
volatile std::uintptr_t g_readTarget = 0x20;

void writeThroughBadPointer()
{
    *reinterpret_cast<volatile int*>(g_writeTarget) = 1;
}
void readThroughBadPointer()
{
    const int value = *reinterpret_cast<volatile int*>(g_readTarget);
    ::_exit(value);
}
void abortNow() { ::abort(); }

QStringList dumps(const QString& folder)
{
    return QDir(folder).entryList({ QStringLiteral("crash-*.dmp") }, QDir::Files, QDir::Name);
}

QString crashLog(const QString& folder)
{
    const QByteArray bytes = testsupport::readFile(folder + QStringLiteral("/crash.log"));
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

} // namespace

class TestCrashHandler : public QObject {
    Q_OBJECT
    QString m_folder;

private Q_SLOTS:
    void init()
    {
        m_folder = testsupport::testRoot() + QStringLiteral("/crash-") + QString::number(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(m_folder));
    }
    void cleanup() { QDir(m_folder).removeRecursively(); }

    void crashLeavesDumpAndLine_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("tail");
        QTest::newRow("write access") << 0 << SIGSEGV << QStringLiteral(" access=write target=0x0000000000000010");
        QTest::newRow("read access") << 1 << SIGSEGV << QStringLiteral(" access=read target=0x0000000000000020");
        QTest::newRow("abort") << 2 << SIGABRT << QString();
    }
    void crashLeavesDumpAndLine()
    {
        QFETCH(int, which);
        QFETCH(int, signal);
        QFETCH(QString, tail);
        void (*const crashes[])() = { writeThroughBadPointer, readThroughBadPointer, abortNow };
        QCOMPARE(crashInChild(m_folder, crashes[which]), signal);

        const QStringList names = dumps(m_folder);
        QCOMPARE(names.size(), 1);
        const QByteArray dump = testsupport::readFile(m_folder + QLatin1Char('/') + names[0]);
        QVERIFY(dump.contains(QByteArray(QByteArray("signal=") + QByteArray::number(signal))));
        QVERIFY(dump.contains("\nrip=0x") || !dump.contains("registers:\nr8"));
        QVERIFY(dump.contains("\nbacktrace:\n"));
        QVERIFY(dump.contains("\nmaps:\n") && dump.contains("[stack]"));

        const QString log = crashLog(m_folder);
        const QString code = QStringLiteral("%1").arg(crashExceptionCode(signal), 8, 16, QLatin1Char('0')).toUpper();
        const QRegularExpression line(QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] code=0x%1 addr=0x[0-9A-F]{16} thread=\\d+%2\\n$")
                                          .arg(code, QRegularExpression::escape(tail)));
        QVERIFY2(line.match(log).hasMatch(), qPrintable(log));
        // The dump's name carries the same moment as the line.
        const QString stamp = log.mid(1, 19).remove(QLatin1Char('-')).remove(QLatin1Char(':')).replace(QLatin1Char(' '), QLatin1Char('-'));
        QCOMPARE(names[0], QStringLiteral("crash-%1.dmp").arg(stamp));
    }

    void fiveNewestDumpsKept()
    {
        // Upper case sorts before lower case byte by byte; the order by
        // name must ignore case, so this one is the newest of the old.
        const QStringList old = { QStringLiteral("crash-20000101-000000.dmp"), QStringLiteral("crash-20000102-000000.dmp"),
                                  QStringLiteral("crash-20000103-000000.dmp"), QStringLiteral("crash-20000104-000000.dmp"),
                                  QStringLiteral("crash-20000105-000000.dmp"), QStringLiteral("CRASH-20000107-000000.DMP") };
        for (const QString& name : old)
            QVERIFY(testsupport::writeFile(m_folder + QLatin1Char('/') + name, "old"));
        QVERIFY(testsupport::writeFile(m_folder + QStringLiteral("/other.dmp"), "kept"));
        QCOMPARE(crashInChild(m_folder, writeThroughBadPointer), SIGSEGV);

        const QStringList left = QDir(m_folder).entryList(QDir::Files, QDir::Name);
        const QStringList expected = { old[5], old[2], old[3], old[4] };
        QCOMPARE(left.mid(0, 4), expected);
        QCOMPARE(left.size(), 7); // five dumps, "crash.log" and "other.dmp"
        QVERIFY(left[4].startsWith(QLatin1String("crash-20")) && !left[4].startsWith(QLatin1String("crash-2000")));
        QCOMPARE(left.mid(5), QStringList({ QStringLiteral("crash.log"), QStringLiteral("other.dmp") }));
        QCOMPARE(crashLog(m_folder).count(QLatin1Char('\n')), 1);
    }

    void folderChoice_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("ownRoot");
        QTest::newRow("218 characters") << 218 << true;
        QTest::newRow("219 characters") << 219 << false;
        QTest::newRow("300 characters") << 300 << false;
    }
    void folderChoice()
    {
        QFETCH(int, length);
        QFETCH(bool, ownRoot);
        const QString root = QLatin1Char('/') + QString(length - 1, QLatin1Char('a'));
        const QString fallback = QLatin1String(kCrashFallbackFolder);
        QCOMPARE(crashFolderFor(root, fallback), ownRoot ? root : fallback);
        QCOMPARE(crashFolderFor(QString(), fallback), QString());
    }
};

QTEST_GUILESS_MAIN(TestCrashHandler)
#include "test_crashhandler.moc"
