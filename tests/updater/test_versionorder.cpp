// The version order of the updater and the market, and which offered
// versions count as newer.
#include "updater/versionorder.h"

#include <QtTest>

class TestVersionOrder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void order_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("before");
        QTest::newRow("smaller patch") << "1.2.3" << "1.2.4" << true;
        QTest::newRow("larger patch") << "1.2.4" << "1.2.3" << false;
        QTest::newRow("equal") << "1.2.3" << "1.2.3" << false;
        QTest::newRow("missing part is 0") << "1.2" << "1.2.0" << false;
        QTest::newRow("missing part is 0, reversed") << "1.2.0" << "1.2" << false;
        QTest::newRow("missing part before 1") << "1.2" << "1.2.1" << true;
        QTest::newRow("numbers, not text: 1.9 < 1.10") << "1.9" << "1.10" << true;
        QTest::newRow("numbers, not text: 1.10 > 1.9") << "1.10" << "1.9" << false;
        QTest::newRow("suffix before plain") << "1.2.0-beta" << "1.2.0" << true;
        QTest::newRow("plain after suffix") << "1.2.0" << "1.2.0-beta" << false;
        QTest::newRow("suffix without dash") << "1.2.0rc" << "1.2.0" << true;
        QTest::newRow("over ten digits caps") << "1.99999999999" << "1.2147483647" << false;
        QTest::newRow("over ten digits caps, reversed") << "1.2147483647" << "1.99999999999" << false;
        QTest::newRow("cap still above smaller") << "1.2147483646" << "1.99999999999" << true;
        QTest::newRow("empty part counts 0") << "1..2" << "1.0.2" << false;
        QTest::newRow("letters only count 0 with suffix") << "x" << "0" << true;
        QTest::newRow("suffix words in text order") << "1.0-alpha" << "1.0-beta" << true;
        QTest::newRow("suffix words, case-sensitive") << "1.0-Beta" << "1.0-alpha" << true;
        QTest::newRow("parts after a suffix by value") << "1.0-rc.2" << "1.0-rc.10" << true;
        QTest::newRow("parts after a suffix by value, reversed") << "1.0-rc.10" << "1.0-rc.2" << false;
        QTest::newRow("integer suffix before a word") << "1.0-1" << "1.0-alpha" << true;
        QTest::newRow("word suffix after an integer") << "1.0-alpha" << "1.0-1" << false;
        QTest::newRow("missing part after a suffix") << "1.0-rc" << "1.0-rc.1" << true;
        QTest::newRow("extra part after a suffix") << "1.0-rc.1" << "1.0-rc" << false;
        QTest::newRow("same value spelled differently: a after b") << "1.0-01" << "1.0-1" << false;
        QTest::newRow("same value spelled differently, reversed") << "1.0-1" << "1.0-01" << false;
        QTest::newRow("equal suffix goes on") << "1-rc.2" << "1-rc.3" << true;
        QTest::newRow("equal suffix, then a missing part") << "1-rc.2" << "1-rc.2.1" << true;
        QTest::newRow("the dash after the digits is not part of the suffix") << "1-x" << "1x" << false;
        QTest::newRow("only one dash is dropped") << "1--x" << "1-x" << true;
        QTest::newRow("other scripts' digits are digits") << QString::fromUtf8("1.٣") << "1.4" << true;
        QTest::newRow("empty against 1") << "" << "1" << true;
    }
    void order()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, before);
        QCOMPARE(compareVersions(a, b), before);
    }

    void newer_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("newer");
        QTest::newRow("newer patch") << "1.0.252" << "1.0.251" << true;
        QTest::newRow("same") << "1.0.252" << "1.0.252" << false;
        QTest::newRow("older") << "1.0.250" << "1.0.251" << false;
        QTest::newRow("beta of the own version is not newer") << "1.0.252-beta" << "1.0.252" << false;
        QTest::newRow("beta of the next version is newer") << "1.0.252-beta" << "1.0.251" << true;
        QTest::newRow("release after its beta") << "1.0.252" << "1.0.252-beta" << true;
        QTest::newRow("eight parts") << "1.0.0.0.0.0.0.1" << "1.0" << true;
        QTest::newRow("nine parts never") << "1.0.0.0.0.0.0.0.1" << "0.1" << false;
        QTest::newRow("letter first never") << "v2.0" << "1.0" << false;
        QTest::newRow("letter inside a part") << "2.0a" << "1.0" << false;
        QTest::newRow("part starting with dash") << "2.-3" << "1.0" << false;
        QTest::newRow("empty part") << "2..0" << "1.0" << false;
        QTest::newRow("empty remote") << "" << "1.0" << false;
        QTest::newRow("dash after a digit with anything after") << "2.0-rc+build.5" << "1.0" << true;
        QTest::newRow("trailing dash") << "2.0-" << "1.0" << true;
        QTest::newRow("malformed local") << "2.0" << "dev" << false;
        QTest::newRow("blank around") << " 2.0" << "1.0" << false;
    }
    void newer()
    {
        QFETCH(QString, remote);
        QFETCH(QString, local);
        QFETCH(bool, newer);
        QCOMPARE(isRemoteVersionNewer(remote, local), newer);
    }
};

QTEST_APPLESS_MAIN(TestVersionOrder)
#include "test_versionorder.moc"
