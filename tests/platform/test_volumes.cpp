#include "platform/volumes.h"
#include "testsupport.h"

#include <QtTest>

class TestVolumes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parseLines_data();
    void parseLines();
    void listsFixedVolumesOncePerDevice();
    void unreadableTableGivesNothing();
};

void TestVolumes::parseLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QString>("mountPoint");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("fsType");
    QTest::addColumn<QString>("source");
    QTest::newRow("no optional fields")
        << QByteArray("36 35 98:0 / /mnt1 rw,noatime - ext3 /dev/root rw,errors=continue")
        << true << "/mnt1" << "/" << "ext3" << "/dev/root";
    QTest::newRow("two optional fields")
        << QByteArray("36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 shared:2 - ext3 /dev/root rw")
        << true << "/mnt2" << "/mnt1" << "ext3" << "/dev/root";
    QTest::newRow("escaped blank, tab and backslash")
        << QByteArray("40 22 8:2 / /media/my\\040disk\\011x\\134y rw - ext4 /dev/sda2 rw")
        << true << "/media/my disk\tx\\y" << "/" << "ext4" << "/dev/sda2";
    QTest::newRow("utf-8 path") << QByteArray("40 22 8:2 / /mnt/数据 rw - ext4 /dev/sda2 rw")
                                << true << QString::fromUtf8("/mnt/数据") << "/" << "ext4" << "/dev/sda2";
    QTest::newRow("no separator") << QByteArray("36 35 98:0 / /mnt1 rw ext3 /dev/root rw") << false
                                  << "" << "" << "" << "";
    QTest::newRow("bad device") << QByteArray("36 35 x:0 / /mnt1 rw - ext3 /dev/root rw") << false
                                << "" << "" << "" << "";
    QTest::newRow("cut short") << QByteArray("36 35 98:0 / /mnt1 rw -") << false << "" << "" << "" << "";
    QTest::newRow("empty") << QByteArray() << false << "" << "" << "" << "";
}

void TestVolumes::parseLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, parsed);
    const QList<MountInfoEntry> entries = parseMountInfo(line + "\n");
    QCOMPARE(entries.size(), parsed ? 1 : 0);
    if (!parsed)
        return;
    QTEST(entries[0].mountPoint, "mountPoint");
    QTEST(entries[0].root, "root");
    QTEST(entries[0].fsType, "fsType");
    QTEST(entries[0].source, "source");
}

void TestVolumes::listsFixedVolumesOncePerDevice()
{
    const QString root = testsupport::testRoot() + QStringLiteral("/vol");
    const QString sys = root + QStringLiteral("/sys");
    // A sysfs in miniature: /sys/dev/block/M:m links to the partition (or
    // whole disk); the removable flag sits on the disk.
    auto disk = [&](const QString& name, const char* removable) {
        QVERIFY(testsupport::writeFile(sys + QStringLiteral("/devices/block/") + name + QStringLiteral("/removable"), removable));
    };
    auto node = [&](const QString& key, const QString& target, bool partition) {
        const QString dir = sys + QStringLiteral("/devices/block/") + target;
        QVERIFY(QDir().mkpath(dir));
        if (partition)
            QVERIFY(testsupport::writeFile(dir + QStringLiteral("/partition"), "1"));
        QDir().mkpath(sys + QStringLiteral("/dev/block"));
        QVERIFY(QFile::link(QStringLiteral("../../devices/block/") + target, sys + QStringLiteral("/dev/block/") + key));
    };
    disk(QStringLiteral("sda"), "0\n");
    disk(QStringLiteral("sdb"), "1\n");
    disk(QStringLiteral("loop0"), "0\n");
    disk(QStringLiteral("dm-0"), "0\n");
    node(QStringLiteral("8:1"), QStringLiteral("sda/sda1"), true);
    node(QStringLiteral("8:2"), QStringLiteral("sda/sda2"), true);
    node(QStringLiteral("8:17"), QStringLiteral("sdb/sdb1"), true);
    node(QStringLiteral("7:0"), QStringLiteral("loop0"), false);
    node(QStringLiteral("253:0"), QStringLiteral("dm-0"), false);

    const QString m = root + QStringLiteral("/mnt");
    for (const char* d : {"root", "my data", "usb", "snap", "home", "btr", "ghost", "second", "proc"})
        QVERIFY(QDir().mkpath(m + QLatin1Char('/') + QLatin1String(d)));
    QVERIFY(testsupport::writeFile(m + QStringLiteral("/hostsfile"), "x"));
    const QByteArray mp = m.toUtf8();
    const QByteArray table =
        "22 1 8:1 / " + mp + "/root rw shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:5 / " + mp + "/proc rw - proc proc rw\n"
        "24 22 8:2 / " + mp + "/my\\040data rw - ext4 /dev/sda2 rw\n"
        "25 22 8:17 / " + mp + "/usb rw - vfat /dev/sdb1 rw\n"
        "26 22 7:0 / " + mp + "/snap ro - squashfs /dev/loop0 ro\n"
        "27 22 253:0 /@home " + mp + "/home rw - btrfs /dev/mapper/x rw\n"
        "28 22 253:0 / " + mp + "/btr rw - btrfs /dev/mapper/x rw\n"
        "29 22 8:1 /etc/hosts " + mp + "/hostsfile rw - ext4 /dev/sda1 rw\n"
        "30 22 8:99 / " + mp + "/ghost rw - ext4 /dev/sdz rw\n"
        "31 22 8:2 / " + mp + "/second rw - ext4 /dev/sda2 rw\n";
    QVERIFY(testsupport::writeFile(root + QStringLiteral("/mountinfo"), table));

    const SystemVolumeLister lister(root + QStringLiteral("/mountinfo"), sys);
    QStringList got;
    for (const LocalVolume& v : lister.localVolumes())
        got << v.mountPoint + QLatin1Char('=') + v.device;
    // Removable, loop and virtual devices are left out; a device mounted
    // twice appears once, by its whole-file-system mount, else its first.
    const QStringList expected{
        m + QStringLiteral("/btr=/dev/mapper/x"),
        m + QStringLiteral("/my data=/dev/sda2"),
        m + QStringLiteral("/root=/dev/sda1"),
    };
    QCOMPARE(got, expected);
}

void TestVolumes::unreadableTableGivesNothing()
{
    const SystemVolumeLister lister(testsupport::testRoot() + QStringLiteral("/no-such-mountinfo"));
    QVERIFY(lister.localVolumes().isEmpty());
}

QTEST_GUILESS_MAIN(TestVolumes)
#include "test_volumes.moc"
