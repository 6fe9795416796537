#include "protect/passwordhash.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString current(int iterations, const QByteArray& salt, const char* keyHex)
{
    return QStringLiteral("pbkdf2$%1$%2$%3")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toHex()), QString::fromLatin1(keyHex));
}

QString older(const QString& salt, const QString& password)
{
    return salt + QLatin1Char('$')
        + QString::fromLatin1(QCryptographicHash::hash((salt + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

} // namespace

class TestPasswordHash : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newTextHasTheCurrentForm()
    {
        const QString a = hashPassword(QStringLiteral("s3cret"));
        const QString b = hashPassword(QStringLiteral("s3cret"));
        const QRegularExpression form(QStringLiteral("^pbkdf2\\$100000\\$[0-9a-f]{32}\\$[0-9a-f]{64}$"));
        QVERIFY2(form.match(a).hasMatch(), qPrintable(a));
        QVERIFY2(form.match(b).hasMatch(), qPrintable(b));
        QVERIFY(a.section(QLatin1Char('$'), 2, 2) != b.section(QLatin1Char('$'), 2, 2));
        QVERIFY(a.section(QLatin1Char('$'), 3, 3) != b.section(QLatin1Char('$'), 3, 3));
        QVERIFY(verifyPassword(a, QStringLiteral("s3cret")));
        QVERIFY(verifyPassword(b, QStringLiteral("s3cret")));
        QVERIFY(!verifyPassword(a, QStringLiteral("s3creT")));
        QVERIFY(!passwordNeedsRehash(a));
    }

    // Published PBKDF2-HMAC-SHA-256 vectors; the key length comes from the
    // stored key, so the 40- and 64-byte vectors check that too.
    void verifiesPublishedVectors_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("password");
        QTest::newRow("c=1") << current(1, "salt", "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b")
                             << QStringLiteral("password");
        QTest::newRow("c=2") << current(2, "salt", "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43")
                             << QStringLiteral("password");
        QTest::newRow("c=4096") << current(4096, "salt", "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a")
                                << QStringLiteral("password");
        QTest::newRow("40-byte key")
            << current(4096, "saltSALTsaltSALTsaltSALTsaltSALTsalt",
                       "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9")
            << QStringLiteral("passwordPASSWORDpassword");
        QTest::newRow("64-byte key")
            << current(1, "salt",
                       "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                       "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783")
            << QStringLiteral("passwd");
        QTest::newRow("upper-case hex")
            << QStringLiteral("pbkdf2$1$73616C74$120FB6CFFCF8B32C43E7225256C4F837A86548C92CCC35480805987CB70BE17B")
            << QStringLiteral("password");
        QTest::newRow("utf-8 password, new rounds")
            << current(100000, QByteArray::fromHex("000102030405060708090a0b0c0d0e0f"),
                       "6e7a14515902c47521f394c4856e14a65ece52c095e31fcd0176466d1f4da21d")
            << QStringLiteral("开门 sesame");
    }
    void verifiesPublishedVectors()
    {
        QFETCH(QString, stored);
        QFETCH(QString, password);
        QVERIFY(verifyPassword(stored, password));
        QVERIFY(!verifyPassword(stored, password + QLatin1Char('x')));
    }

    // Every one of these would match if it were read leniently: the key is
    // right for the password, so only the malformed field can refuse it.
    void refusesMalformedTexts_data()
    {
        const char* key = "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b";
        const QString salt = QStringLiteral("73616c74");
        auto text = [&](const QString& head, const QString& count, const QString& s, const QString& k) {
            return QStringList { head, count, s, k }.join(QLatin1Char('$'));
        };
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << QString();
        QTest::newRow("upper-case tag") << text("PBKDF2", "1", salt, key);
        QTest::newRow("zero rounds") << text("pbkdf2", "0", salt, key);
        QTest::newRow("signed count") << text("pbkdf2", "+1", salt, key);
        QTest::newRow("count with blank") << text("pbkdf2", " 1", salt, key);
        QTest::newRow("count not a number") << text("pbkdf2", "one", salt, key);
        QTest::newRow("count beyond 32 bits") << text("pbkdf2", "4294967297", salt, key);
        QTest::newRow("empty salt") << text("pbkdf2", "1", "", key);
        QTest::newRow("empty key") << text("pbkdf2", "1", salt, "");
        QTest::newRow("odd salt digits") << text("pbkdf2", "1", salt + "7", key);
        QTest::newRow("stray salt character") << text("pbkdf2", "1", "73:616c74", key);
        QTest::newRow("three fields") << QStringLiteral("pbkdf2$1$") + salt;
        QTest::newRow("five fields") << text("pbkdf2", "1", salt, key) + QStringLiteral("$");
        QTest::newRow("one field") << QString::fromLatin1(key);
        // The right key for 5,000,001 rounds: refused for the count alone.
        QTest::newRow("above the round limit")
            << current(5000001, QByteArray::fromHex("0102"),
                       "edeadd79a76c4080b7e44354a2f61a151caffa5aae80303c62ad6b1c001e4f26");
    }
    void refusesMalformedTexts()
    {
        QFETCH(QString, stored);
        const QString password = QString::fromLatin1(QTest::currentDataTag()) == QLatin1String("above the round limit")
            ? QStringLiteral("edge")
            : QStringLiteral("password");
        QVERIFY(!verifyPassword(stored, password));
    }

    void acceptsTheRoundLimitItself()
    {
        QVERIFY(verifyPassword(current(passwordhash::kMaxIterations, QByteArray::fromHex("0102"),
                                       "161cb31e0e98000bc037a0ef65fdc726ded0d448e7489b89d7ae7ce514c69f66"),
                               QStringLiteral("edge")));
    }

    void olderFormVerifiesAndAsksForRehash_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("ok");
        QTest::newRow("salted") << older(QStringLiteral("pepper"), QStringLiteral("密码")) << QStringLiteral("密码") << true;
        QTest::newRow("wrong password") << older(QStringLiteral("pepper"), QStringLiteral("密码")) << QStringLiteral("密") << false;
        QTest::newRow("empty salt") << older(QString(), QStringLiteral("secret")) << QStringLiteral("secret") << true;
        QTest::newRow("salt with spaces") << older(QStringLiteral("a b#c"), QStringLiteral("x")) << QStringLiteral("x") << true;
        // The older form compares texts, so upper-case digits never match.
        QTest::newRow("upper-case digest") << older(QStringLiteral("pepper"), QStringLiteral("密码")).toUpper()
                                           << QStringLiteral("密码") << false;
        QTest::newRow("short digest") << older(QStringLiteral("s"), QStringLiteral("p")).chopped(1)
                                      << QStringLiteral("p") << false;
    }
    void olderFormVerifiesAndAsksForRehash()
    {
        QFETCH(QString, stored);
        QFETCH(QString, password);
        QFETCH(bool, ok);
        QCOMPARE(verifyPassword(stored, password), ok);
        QVERIFY(passwordNeedsRehash(stored));
    }

    void rehashJudgesOnlyTheTag()
    {
        QVERIFY(passwordNeedsRehash(QString()));
        QVERIFY(passwordNeedsRehash(QStringLiteral("PBKDF2$100000$00$00")));
        // A current-form text with fewer rounds is not renewed.
        QVERIFY(!passwordNeedsRehash(QStringLiteral("pbkdf2$1$00$00")));
    }
};

QTEST_GUILESS_MAIN(TestPasswordHash)
#include "test_passwordhash.moc"
