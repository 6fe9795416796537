// The own process's memory figures: the status-file reader over damaged and
// unusual texts, and the real service on this system.
#include "platform/processmemory.h"

#include <QtTest>

#include <vector>

class TestProcessMemory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parsesStatusText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("rss");
        QTest::addColumn<qint64>("peak");

        const QByteArray head = "Name:\tTarnavelPanel\nUmask:\t0022\nState:\tS (sleeping)\nVmPeak:\t  812344 kB\n";
        QTest::newRow("kernel layout") << head + "VmHWM:\t  150528 kB\nVmRSS:\t  102400 kB\nRssAnon:\t 1 kB\n"
                                       << true << qint64(102400) * 1024 << qint64(150528) * 1024;
        QTest::newRow("no trailing newline") << QByteArray("VmRSS: 1 kB\nVmHWM: 2 kB") << true << qint64(1024)
                                             << qint64(2048);
        QTest::newRow("carriage returns") << QByteArray("VmRSS:\t4 kB\r\nVmHWM:\t8 kB\r\n") << true << qint64(4096)
                                          << qint64(8192);
        QTest::newRow("units in other cases and sizes")
            << QByteArray("VmRSS: 3 MB\nVmHWM: 1 gb\n") << true << (qint64(3) << 20) << (qint64(1) << 30);
        QTest::newRow("plain bytes") << QByteArray("VmRSS: 512\nVmHWM: 1024 B\n") << true << qint64(512)
                                     << qint64(1024);
        QTest::newRow("peak below current is raised to it") << QByteArray("VmRSS: 10 kB\nVmHWM: 4 kB\n") << true
                                                            << qint64(10240) << qint64(10240);
        QTest::newRow("zero") << QByteArray("VmRSS: 0 kB\nVmHWM: 0 kB\n") << true << qint64(0) << qint64(0);

        QTest::newRow("empty") << QByteArray() << false << qint64(0) << qint64(0);
        QTest::newRow("kernel thread without counters") << head << false << qint64(0) << qint64(0);
        QTest::newRow("peak missing") << QByteArray("VmRSS: 10 kB\n") << false << qint64(0) << qint64(0);
        QTest::newRow("current missing") << QByteArray("VmHWM: 10 kB\n") << false << qint64(0) << qint64(0);
        QTest::newRow("look-alike names") << QByteArray("VmRSSx: 10 kB\nxVmHWM: 10 kB\n") << false << qint64(0)
                                          << qint64(0);
        QTest::newRow("pages are no unit") << QByteArray("VmRSS: 10 pages\nVmHWM: 10 kB\n") << false << qint64(0)
                                           << qint64(0);
        QTest::newRow("unit without number") << QByteArray("VmRSS: kB\nVmHWM: 10 kB\n") << false << qint64(0)
                                             << qint64(0);
        QTest::newRow("negative") << QByteArray("VmRSS: -10 kB\nVmHWM: 10 kB\n") << false << qint64(0) << qint64(0);
        QTest::newRow("fraction") << QByteArray("VmRSS: 1.5 MB\nVmHWM: 10 kB\n") << false << qint64(0) << qint64(0);
        QTest::newRow("trailing words") << QByteArray("VmRSS: 10 kB extra\nVmHWM: 10 kB\n") << false << qint64(0)
                                        << qint64(0);
        QTest::newRow("overflowing number") << QByteArray("VmRSS: 99999999999999999999 kB\nVmHWM: 1 kB\n") << false
                                            << qint64(0) << qint64(0);
        QTest::newRow("overflow through the unit") << QByteArray("VmRSS: 9223372036854775 GB\nVmHWM: 1 kB\n")
                                                   << false << qint64(0) << qint64(0);
        QTest::newRow("named twice") << QByteArray("VmRSS: 1 kB\nVmHWM: 2 kB\nVmRSS: 3 kB\n") << false << qint64(0)
                                     << qint64(0);
    }
    void parsesStatusText()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        const std::optional<ProcessMemoryFigures> f = parseProcStatusMemory(text);
        QCOMPARE(f.has_value(), ok);
        if (!ok)
            return;
        QFETCH(qint64, rss);
        QFETCH(qint64, peak);
        QCOMPARE(f->workingSetBytes, rss);
        QCOMPARE(f->peakWorkingSetBytes, peak);
    }

    void readsTheOwnProcess()
    {
        const std::optional<ProcessMemoryFigures> before = processMemory().figures();
        QVERIFY(before.has_value());
        QVERIFY(before->workingSetBytes > 0);
        QVERIFY(before->peakWorkingSetBytes >= before->workingSetBytes);
        // Touch 64 MiB of heap, free it and trim: the peak stays, and what is
        // resident now falls back below it.
        {
            std::vector<char> block(64 << 20);
            for (size_t i = 0; i < block.size(); i += 4096)
                block[i] = char(i);
            const std::optional<ProcessMemoryFigures> during = processMemory().figures();
            QVERIFY(during.has_value());
            QVERIFY(during->workingSetBytes >= before->workingSetBytes + (48 << 20));
        }
        processMemory().trim();
        const std::optional<ProcessMemoryFigures> after = processMemory().figures();
        QVERIFY(after.has_value());
        QVERIFY(after->peakWorkingSetBytes >= before->workingSetBytes + (48 << 20));
        QVERIFY(after->workingSetBytes < after->peakWorkingSetBytes - (32 << 20));
    }
};

QTEST_GUILESS_MAIN(TestProcessMemory)
#include "test_processmemory.moc"
