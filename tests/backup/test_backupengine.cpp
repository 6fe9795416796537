#include "backup/backupengine.h"

#include "testsupport.h"

#include <QtTest>

class TestBackupEngine : public QObject {
    Q_OBJECT
    QString m_dir;

    void make(const QString& name, bool folder, qint64 ageSecs)
    {
        const QString path = m_dir + QLatin1Char('/') + name;
        if (folder)
            QVERIFY(testsupport::writeFile(path + QStringLiteral("/inside.txt"), "x"));
        else
            QVERIFY(testsupport::writeFile(path, "x"));
        QVERIFY(testsupport::setModificationTime(path, QDateTime::currentDateTime().addSecs(-ageSecs)));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = testsupport::testRoot() + QStringLiteral("/tmpfolder");
        QDir(m_dir).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir));
    }

    void leftovers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<qint64>("age");
        QTest::addColumn<bool>("removed");
        const qint64 day = 86400, old = 2 * day, fresh = 3600;
        QTest::newRow("old copy folder") << "krvbak_123" << true << old << true;
        QTest::newRow("fresh copy folder stays") << "krvbak_456" << true << fresh << false;
        QTest::newRow("old restore folder") << "krvrest_1" << true << old << true;
        QTest::newRow("old script") << "krvbk_a.ps1" << false << old << true;
        QTest::newRow("old creation progress file") << "krvbak_prog_7.txt" << false << old << true;
        QTest::newRow("old restore progress file") << "krvrest_prog_7.txt" << false << old << true;
        QTest::newRow("fresh progress file stays") << "krvbak_prog_8.txt" << false << fresh << false;
        QTest::newRow("file named like a copy folder stays") << "krvbak_9" << false << old << false;
        QTest::newRow("folder named like a script stays") << "krvbk_b.ps1" << true << old << false;
        QTest::newRow("other names stay") << "krvbackup_1" << true << old << false;
        QTest::newRow("script of another extension stays") << "krvbk_c.txt" << false << old << false;
    }
    void leftovers()
    {
        QFETCH(QString, name);
        QFETCH(bool, folder);
        QFETCH(qint64, age);
        QFETCH(bool, removed);
        make(name, folder, age);
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, nullptr), removed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(m_dir + QLatin1Char('/') + name), !removed);
    }

    void stopFlagEndsAtOnce()
    {
        make(QStringLiteral("krvbak_1"), true, 2 * 86400);
        make(QStringLiteral("krvbak_prog_1.txt"), false, 2 * 86400);
        std::atomic_bool stop { true };
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, &stop), 0);
        QVERIFY(QFileInfo::exists(m_dir + QStringLiteral("/krvbak_1")));
        stop = false;
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, &stop), 2);
    }

    void linkToAFolderIsNotEmptied()
    {
        // In a shared temporary folder anyone may plant a link with our name.
        const QString target = testsupport::testRoot() + QStringLiteral("/precious");
        QVERIFY(testsupport::writeFile(target + QStringLiteral("/keep.txt"), "x"));
        QVERIFY(testsupport::setModificationTime(target, QDateTime::currentDateTime().addDays(-3)));
        QVERIFY(QFile::link(target, m_dir + QStringLiteral("/krvbak_link")));
        BackupEngine::cleanupTempLeftovers(m_dir, nullptr);
        QVERIFY(QFileInfo::exists(target + QStringLiteral("/keep.txt")));
    }

    void foreignLeftoversStay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("folder");
        QTest::newRow("folder") << "krvbak_foreign" << true;
        QTest::newRow("file") << "krvbak_prog_foreign.txt" << false;
    }
    void foreignLeftoversStay()
    {
        // Another user's run in the shared temporary folder is not ours to clear.
        QFETCH(QString, name);
        QFETCH(bool, folder);
        make(name, folder, 2 * 86400);
        const QString path = m_dir + QLatin1Char('/') + name;
        if (QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-h"), QStringLiteral("65534"), path}) != 0)
            QSKIP("needs to run as root to give a file away");
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir, nullptr), 0);
        QVERIFY(QFileInfo::exists(path));
    }

    void missingFolder()
    {
        QCOMPARE(BackupEngine::cleanupTempLeftovers(m_dir + QStringLiteral("/nope"), nullptr), 0);
    }
};

QTEST_GUILESS_MAIN(TestBackupEngine)
#include "test_backupengine.moc"
