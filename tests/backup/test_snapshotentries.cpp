// Entries of the data root that a snapshot cannot hold, through a real pwsh:
// special files and names that are not valid UTF-8 are left out, and the
// snapshot of everything else is made.
#include "backup/backupengine.h"
#include "backup/scriptrunner.h"

#include "testsupport.h"

#include <QtTest>

namespace {

QByteArray unzipped(const QString& zip, const QString& entry)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), { QStringLiteral("-p"), zip, entry });
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

} // namespace

class TestSnapshotEntries : public QObject {
    Q_OBJECT
    QString m_root;
    QString m_backups;

    QString snapshot(QString& error)
    {
        error.clear();
        return BackupEngine::createSnapshot(m_backups, m_root, error, false, {}, nullptr, nullptr);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
    }

    void init()
    {
        const QString base = testsupport::testRoot() + QStringLiteral("/entries");
        QDir(base).removeRecursively();
        m_root = base + QStringLiteral("/root");
        m_backups = base + QStringLiteral("/backups");
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/settings.json"), "{}"));
        QVERIFY(testsupport::writeFile(m_root + QStringLiteral("/sub/inner.txt"), "inner"));
    }

    void cleanup()
    {
        const QStringList left = QDir(QDir::tempPath()).entryList({ QStringLiteral("krv*") },
                                                                  QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    // A FIFO used to hold the run (and the data-root lock) until the time-out,
    // a socket or a device failed it at once.
    void specialFilesAreLeftOut_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << QStringLiteral("fifo");
        QTest::newRow("socket") << QStringLiteral("socket");
    }
    void specialFilesAreLeftOut()
    {
        QFETCH(QString, kind);
        const QString path = m_root + QStringLiteral("/sub/odd");
        QVERIFY(kind == QStringLiteral("fifo") ? testsupport::makeFifo(path) : testsupport::makeSocketFile(path));
        QString error;
        const QString zip = snapshot(error);
        QVERIFY2(!zip.isEmpty(), qPrintable(error));
        QCOMPARE(testsupport::zipListing(zip), (QStringList{ QStringLiteral("settings.json"), QStringLiteral("sub/inner.txt") }));
        QVERIFY(BackupEngine::takeUncarriedNames().isEmpty());
    }

    // Such a name reaches pwsh altered and names nothing: it failed every
    // snapshot, and with it every restore.
    void namesThatCannotBeCarriedAreLeftOutAndToldOnce()
    {
        const QByteArray raw = QFile::encodeName(m_root);
        QVERIFY(testsupport::writeFileAtRawPath(raw + "/bad\xff.txt", "b"));
        QVERIFY(testsupport::writeFileAtRawPath(raw + "/dir\xfe/in.txt", "d"));
        // The replacement character itself is a valid name and is kept.
        const QString kept = QString::fromUtf8("ok\xef\xbf\xbd.txt");
        QVERIFY(testsupport::writeFile(m_root + QLatin1Char('/') + kept, "k"));
        QString error;
        const QString zip = snapshot(error);
        QVERIFY2(!zip.isEmpty(), qPrintable(error));
        QCOMPARE(testsupport::zipListing(zip), (QStringList{ kept, QStringLiteral("settings.json"), QStringLiteral("sub/inner.txt") }));
        QCOMPARE(unzipped(zip, kept), QByteArray("k"));

        QStringList told = BackupEngine::takeUncarriedNames();
        told.sort();
        QCOMPARE(told, (QStringList{ m_root + QString::fromUtf8("/bad\xef\xbf\xbd.txt"),
                                     m_root + QString::fromUtf8("/dir\xef\xbf\xbd") }));
        QVERIFY(BackupEngine::takeUncarriedNames().isEmpty());
        // The next snapshot leaves them out again without telling again.
        QVERIFY2(!snapshot(error).isEmpty(), qPrintable(error));
        QVERIFY(BackupEngine::takeUncarriedNames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSnapshotEntries)
#include "test_snapshotentries.moc"
