// The guard against guessing the protection password: failures in a row
// make the next check wait longer, a new process (a restart) finds the wait
// where the last one left it, and a check killed half-way still counts.
#include "protect/passwordguard.h"

#include "protect/passwordhash.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QFutureWatcher>
#include <QPasswordDigestor>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

namespace {

// The older stored form: one SHA-256, so checks finish at once.
QString quickHash(const QString& password)
{
    return QStringLiteral("s$")
        + QString::fromLatin1(QCryptographicHash::hash(("s" + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QJsonObject stored(const QString& path)
{
    return QJsonDocument::fromJson(testsupport::readFile(path)).object();
}

constexpr qint64 kT0 = 1'800'000'000'000;

} // namespace

class TestPasswordGuard : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.path() + QStringLiteral("/lock_attempts.json"); }

private Q_SLOTS:
    void init() { QFile::remove(path()); }

    void delayGrowsAfterTheFreeFailures_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<qint64>("delay");
        QTest::newRow("none") << 0 << qint64(0);
        QTest::newRow("two") << 2 << qint64(0);
        QTest::newRow("three") << 3 << qint64(1000);
        QTest::newRow("four") << 4 << qint64(2000);
        QTest::newRow("eleven") << 11 << qint64(256000);
        QTest::newRow("twelve, capped") << 12 << PasswordGuard::kMaxDelayMs;
        QTest::newRow("a million") << 1000000 << PasswordGuard::kMaxDelayMs;
    }
    void delayGrowsAfterTheFreeFailures()
    {
        QFETCH(int, failures);
        QFETCH(qint64, delay);
        QCOMPARE(PasswordGuard::delayAfter(failures), delay);
    }

    // Scripted guessing: three wrong answers go through, then each check
    // waits, the refused ones count for nothing, and the right password
    // clears the count.
    void guessingIsSlowedDownUntilTheRightPassword()
    {
        const QString hash = quickHash(QStringLiteral("open sesame"));
        PasswordGuard guard(path());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(guard.check(hash, QStringLiteral("guess"), kT0).verdict, PasswordCheckOutcome::Wrong);

        PasswordCheckOutcome refused = guard.check(hash, QStringLiteral("open sesame"), kT0 + 400);
        QCOMPARE(refused.verdict, PasswordCheckOutcome::Wait);
        QCOMPARE(refused.waitMs, qint64(600));
        QCOMPARE(guard.check(hash, QStringLiteral("guess"), kT0 + 999).verdict, PasswordCheckOutcome::Wait);

        QCOMPARE(guard.check(hash, QStringLiteral("guess"), kT0 + 1000).verdict, PasswordCheckOutcome::Wrong);
        QCOMPARE(guard.waitMs(kT0 + 1000), qint64(2000));
        QCOMPARE(stored(path()).value(QStringLiteral("failures")).toInt(), 4);

        QCOMPARE(guard.check(hash, QStringLiteral("open sesame"), kT0 + 3000).verdict, PasswordCheckOutcome::Accepted);
        QCOMPARE(guard.waitMs(kT0 + 3000), qint64(0));
        QCOMPARE(stored(path()).value(QStringLiteral("failures")).toInt(), 0);
        QCOMPARE(guard.check(hash, QStringLiteral("guess"), kT0 + 3001).verdict, PasswordCheckOutcome::Wrong);
    }

    void waitOutlivesARestart()
    {
        const QString hash = quickHash(QStringLiteral("open sesame"));
        {
            PasswordGuard first(path());
            for (int i = 0; i < 5; ++i)
                first.check(hash, QStringLiteral("guess"), kT0 + i * 60000);
        }
        PasswordGuard restarted(path());
        const qint64 last = kT0 + 4 * 60000;
        QCOMPARE(restarted.waitMs(last + 1000), PasswordGuard::delayAfter(5) - 1000);
        QCOMPARE(restarted.check(hash, QStringLiteral("open sesame"), last + 1000).verdict,
                 PasswordCheckOutcome::Wait);
    }

    // What is on disk decides, within reason: a clock turned back does not
    // stretch the wait, and an unreadable file starts from nothing.
    void storedStateIsReadWithCare_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("wait");
        const QByteArray farAhead = QByteArray::number(kT0 + 10LL * 24 * 3600 * 1000);
        QTest::newRow("clock turned back") << QByteArray(R"({"failures":3,"notBefore":)" + farAhead + "}")
                                           << qint64(1000);
        QTest::newRow("negative count") << QByteArray(R"({"failures":-7,"notBefore":)" + farAhead + "}")
                                        << qint64(0);
        QTest::newRow("not json") << QByteArray("\x01\x02garbage") << qint64(0);
    }
    void storedStateIsReadWithCare()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, wait);
        QVERIFY(testsupport::writeFile(path(), file));
        if (!file.startsWith('{'))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^password guard: unreadable")));
        PasswordGuard guard(path());
        QCOMPARE(guard.waitMs(kT0), wait);
    }

    // The attempt is on disk before the password is looked at: a process
    // killed during the key derivation has already paid for the guess.
    void attemptIsWrittenBeforeTheCheck()
    {
        QByteArray salt(16, 'x');
        const int rounds = 2000000;
        const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, "slow", salt, 1, 32);
        // A key that "slow" does not give at this count: the check is wrong
        // but takes the whole derivation.
        const QString hash = QStringLiteral("pbkdf2$%1$%2$%3")
                                 .arg(rounds)
                                 .arg(QString::fromLatin1(salt.toHex()), QString::fromLatin1(key.toHex()));
        PasswordGuard guard(path());
        QFuture<PasswordCheckOutcome> running =
            QtConcurrent::run([&] { return guard.check(hash, QStringLiteral("slow"), kT0); });
        QTRY_COMPARE(stored(path()).value(QStringLiteral("failures")).toInt(), 1);
        QVERIFY(!running.isFinished());
        running.waitForFinished();
        QCOMPARE(running.result().verdict, PasswordCheckOutcome::Wrong);
    }

    void olderStoredFormIsRenewedOffTheCaller()
    {
        PasswordGuard guard(path());
        const PasswordCheckOutcome older = guard.check(quickHash(QStringLiteral("pw12")), QStringLiteral("pw12"), kT0);
        QCOMPARE(older.verdict, PasswordCheckOutcome::Accepted);
        QVERIFY(!passwordNeedsRehash(older.renewedHash));
        QVERIFY(verifyPassword(older.renewedHash, QStringLiteral("pw12")));
        const PasswordCheckOutcome current = guard.check(older.renewedHash, QStringLiteral("pw12"), kT0);
        QCOMPARE(current.verdict, PasswordCheckOutcome::Accepted);
        QVERIFY(current.renewedHash.isEmpty());
    }

    // The asynchronous road: the answer comes through the event loop, and
    // not at all once its receiver is gone.
    void checkAnswersThroughTheEventLoop()
    {
        PasswordGuard guard(path());
        QList<PasswordCheckOutcome::Verdict> answers;
        {
            QObject receiver;
            checkProtectionPassword(quickHash(QStringLiteral("pw12")), QStringLiteral("pw12"), &receiver,
                                    [&](const PasswordCheckOutcome& o) { answers << o.verdict; }, &guard);
            QVERIFY(answers.isEmpty());
            QTRY_COMPARE(answers.size(), 1);
            QCOMPARE(answers.first(), PasswordCheckOutcome::Accepted);
        }
        {
            auto* gone = new QObject;
            checkProtectionPassword(quickHash(QStringLiteral("pw12")), QStringLiteral("nope"), gone,
                                    [&](const PasswordCheckOutcome& o) { answers << o.verdict; }, &guard);
            delete gone;
        }
        QTRY_COMPARE(stored(path()).value(QStringLiteral("failures")).toInt(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(answers.size(), 1);
    }
};

QTEST_MAIN(TestPasswordGuard)
#include "test_passwordguard.moc"
