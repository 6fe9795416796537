// The identity files of this installation and how edits to them are met.
#include "account/deviceidentity.h"
#include "app/lang.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using testsupport::readFile;
using testsupport::writeFile;

class TestDeviceIdentity : public QObject {
    Q_OBJECT
    QString root;
    QTemporaryDir dir;

    QString idFile() const { return root + QStringLiteral("/device.id"); }
    QString bindFile() const { return root + QStringLiteral("/device.bind"); }
    QString bindText(const QString& id, const QString& name) const
    {
        return QStringLiteral("TNBIND1|") + name + QLatin1Char('\n') + deviceBindHash(id, name) + QLatin1Char('\n');
    }

private Q_SLOTS:
    void init()
    {
        root = dir.path() + QStringLiteral("/") + QString::number(QRandomGenerator::global()->generate());
    }

    void firstStartMakesBothFiles()
    {
        const QString id = computeDeviceIdIn(root);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(id).hasMatch());
        QCOMPARE(QString::fromLatin1(readFile(idFile())), id);
        QCOMPARE(QString::fromUtf8(readFile(bindFile())), bindText(id, machineName()));
        QCOMPARE(computeDeviceIdIn(root), id);
    }

    void storedIdentifiers_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("upper hex with hyphens") << QByteArray("ABCDEF01-2345-6789") << true;
        QTest::newRow("padded with white space") << QByteArray("  0123456789abcdef\n") << true;
        QTest::newRow("braces") << QByteArray("{0123456789abcdef}") << false;
        QTest::newRow("too short") << QByteArray("abc1234") << false;
        QTest::newRow("too long") << QByteArray(65, 'a') << false;
        QTest::newRow("not hex") << QByteArray("0123456789abcdeg") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void storedIdentifiers()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, kept);
        QVERIFY(writeFile(idFile(), stored));
        const QString id = computeDeviceIdIn(root);
        QCOMPARE(id == QString::fromLatin1(stored.trimmed()), kept);
        // The bind file now seals whatever identifier is in use.
        QCOMPARE(QString::fromUtf8(readFile(bindFile())), bindText(id, machineName()));
    }

    void editedIdentifierIsReplaced()
    {
        const QString id = computeDeviceIdIn(root);
        QString edited = id;
        edited[5] = edited[5] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        QVERIFY(writeFile(idFile(), edited.toLatin1()));
        QTest::ignoreMessage(QtWarningMsg, "device.id binding mismatch, regenerate device identity");
        const QString fresh = computeDeviceIdIn(root);
        QVERIFY(fresh != id && fresh != edited);
        QCOMPARE(QString::fromLatin1(readFile(idFile())), fresh);
        QCOMPARE(QString::fromUtf8(readFile(bindFile())), bindText(fresh, machineName()));
    }

    // The hash is checked against the name inside the bind file, so a PC
    // renamed since keeps its identity.
    void renamedMachineKeepsIdentity()
    {
        const QString id = QStringLiteral("0123456789abcdef0123456789abcdef");
        QVERIFY(writeFile(idFile(), id.toLatin1()));
        QVERIFY(writeFile(bindFile(), bindText(id, QStringLiteral("OLD-NAME")).toUtf8()));
        QCOMPARE(computeDeviceIdIn(root), id);
        QCOMPARE(QString::fromUtf8(readFile(bindFile())), bindText(id, QStringLiteral("OLD-NAME")));
    }

    void unusableBindFileIsRewritten_data()
    {
        QTest::addColumn<QByteArray>("bind");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("one line") << QByteArray("TNBIND1|PC");
        QTest::newRow("no marker") << QByteArray("TNBIND2|PC\nabc\n");
        QTest::newRow("empty hash line") << QByteArray("TNBIND1|PC\n\n");
    }
    void unusableBindFileIsRewritten()
    {
        QFETCH(QByteArray, bind);
        const QString id = QStringLiteral("fedcba9876543210");
        QVERIFY(writeFile(idFile(), id.toLatin1()));
        if (!bind.isEmpty())
            QVERIFY(writeFile(bindFile(), bind));
        QCOMPARE(computeDeviceIdIn(root), id);
        QCOMPARE(QString::fromUtf8(readFile(bindFile())), bindText(id, machineName()));
    }

    void displayName()
    {
        QCOMPARE(deviceDisplayName(), machineName().isEmpty() ? translate(u"未命名电脑") : machineName().left(64));
        QVERIFY(deviceDisplayName().size() <= 64);
    }
};

QTEST_GUILESS_MAIN(TestDeviceIdentity)
#include "test_deviceidentity.moc"
