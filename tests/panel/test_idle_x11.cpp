// The whole panel, shown on a real X server and left alone, spends no CPU:
// every animation timer has stopped itself.
#include "app/paths.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

QString root() { return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tarnavel/TarnavelPanel"); }

// User plus system CPU time of a process in clock ticks, -1 when unreadable.
qint64 cpuTicks(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which may hold blanks: state is field 3,
    // utime 14 and stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields.at(11).toLongLong() + fields.at(12).toLongLong();
}

} // namespace

class TestIdleX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
    }

    void idlePanelUsesNoCpu()
    {
        QProcess panel;
        panel.start(testsupport::panelBinary());
        QVERIFY(panel.waitForStarted());
        const QString log = testsupport::todayLogPath(root());
        QVERIFY(testsupport::waitForFileText(log, "main window shown, entering event loop", 15000));
        // Let the start-up single shots (self-check, first syncs) pass.
        QTest::qWait(3500);
        const qint64 before = cpuTicks(panel.processId());
        QTest::qWait(4000);
        const qint64 after = cpuTicks(panel.processId());
        ::kill(pid_t(panel.processId()), SIGTERM);
        QVERIFY(panel.waitForFinished(15000));
        QVERIFY(before >= 0 && after >= before);
        // 100 ticks a second: at most 1% of one core over the four seconds.
        QVERIFY2(after - before <= 4, qPrintable(QStringLiteral("%1 ticks in 4 s").arg(after - before)));
    }
};

QTEST_MAIN(TestIdleX11)
#include "test_idle_x11.moc"
