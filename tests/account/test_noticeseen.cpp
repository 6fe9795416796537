// The seen state of notices and the rule that decides whether the latest
// notice is shown, recorded without showing, or left alone.
#include "account/noticeseen.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QtTest>

namespace {

QJsonObject answer(int gen, const QJsonValue& id, const QString& created = QString(), int ok = 1)
{
    QJsonObject notice{{QStringLiteral("title"), QStringLiteral("t")}, {QStringLiteral("body"), QStringLiteral("b")}};
    if (!id.isUndefined())
        notice.insert(QStringLiteral("id"), id);
    if (!created.isEmpty())
        notice.insert(QStringLiteral("created"), created);
    return {{QStringLiteral("ok"), ok}, {QStringLiteral("gen"), gen}, {QStringLiteral("notice"), notice}};
}

QString daysAgo(const QDateTime& now, int days)
{
    return now.addDays(-days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

class TestNoticeSeen : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(noticeSeenPath()); }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("gen");
        QTest::addColumn<qint64>("id");
        QTest::newRow("two lines") << QByteArray("4\n10") << 4 << qint64(10);
        QTest::newRow("older single line") << QByteArray("10") << 0 << qint64(10);
        QTest::newRow("blanks and CRLF") << QByteArray("  4 \r\n 10 \r\n") << 4 << qint64(10);
        QTest::newRow("further lines ignored") << QByteArray("2\n7\nxyz") << 2 << qint64(7);
        QTest::newRow("negative id") << QByteArray("1\n-3") << 1 << qint64(-3);
        QTest::newRow("64-bit id") << QByteArray("1\n9007199254740993") << 1 << qint64(9007199254740993LL);
        QTest::newRow("bad generation drops both") << QByteArray("x\n10") << 0 << qint64(0);
        QTest::newRow("bad id drops both") << QByteArray("4\n1O") << 0 << qint64(0);
        QTest::newRow("hex is not decimal") << QByteArray("0x10") << 0 << qint64(0);
        QTest::newRow("empty") << QByteArray() << 0 << qint64(0);
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, gen);
        QFETCH(qint64, id);
        const NoticeSeen seen = parseNoticeSeen(bytes);
        QCOMPARE(seen.gen, gen);
        QCOMPARE(seen.id, id);
    }

    void fileRoundTrip()
    {
        QCOMPARE(noticeSeenBytes(3, -12), QByteArray("3\n-12"));
        saveNoticeSeen(5, 42);
        QCOMPARE(testsupport::readFile(noticeSeenPath()), QByteArray("5\n42"));
        int gen = -1;
        qint64 id = -1;
        loadNoticeSeen(gen, id);
        QCOMPARE(gen, 5);
        QCOMPARE(id, qint64(42));
        // No temporary files are left beside it.
        const QStringList left = QDir(QFileInfo(noticeSeenPath()).path())
                                     .entryList({QStringLiteral("notice_seen*")}, QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{QStringLiteral("notice_seen.txt")});
    }

    void unusableFilesCountAsNothingSeen_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("over 4096 bytes") << QByteArray("1\n5") + QByteArray(4100, ' ');
        QTest::newRow("garbage") << QByteArray("seen: yes");
    }
    void unusableFilesCountAsNothingSeen()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(testsupport::writeFile(noticeSeenPath(), bytes));
        int gen = -1;
        qint64 id = -1;
        loadNoticeSeen(gen, id);
        QCOMPARE(gen, 0);
        QCOMPARE(id, qint64(0));
    }

    void missingFile()
    {
        int gen = -1;
        qint64 id = -1;
        loadNoticeSeen(gen, id);
        QCOMPARE(gen, 0);
        QCOMPARE(id, qint64(0));
    }

    void verdict_data()
    {
        const QDateTime now(QDate(2024, 5, 10), QTime(9, 0));
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<int>("seenGen");
        QTest::addColumn<qint64>("seenId");
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<qint64>("id");
        const int show = int(NoticeVerdict::Show);
        const int ignore = int(NoticeVerdict::Ignore);
        const int mark = int(NoticeVerdict::MarkSeen);
        QTest::newRow("new generation restarts numbering") << answer(5, 3) << 4 << qint64(10) << true << show << qint64(3);
        QTest::newRow("same generation, seen") << answer(4, 10) << 4 << qint64(10) << true << ignore << qint64(10);
        QTest::newRow("same generation, newer") << answer(4, 11) << 4 << qint64(10) << true << show << qint64(11);
        QTest::newRow("older form holds for every generation") << answer(9, 10) << 0 << qint64(10) << true << ignore
                                                               << qint64(10);
        QTest::newRow("older form, newer id") << answer(9, 11) << 0 << qint64(10) << true << show << qint64(11);
        QTest::newRow("negative seen id counts as 0") << answer(1, 1) << 1 << qint64(-5) << true << show << qint64(1);
        QTest::newRow("id as text") << answer(0, QStringLiteral("12")) << 0 << qint64(0) << true << show << qint64(12);
        QTest::newRow("id missing") << answer(0, QJsonValue::Undefined) << 0 << qint64(0) << true << ignore << qint64(0);
        QTest::newRow("id 0") << answer(0, 0) << 0 << qint64(0) << true << ignore << qint64(0);
        QTest::newRow("ok 0") << answer(0, 5, QString(), 0) << 0 << qint64(0) << true << ignore << qint64(0);
        QTest::newRow("fresh install, 4 days old") << answer(2, 7, daysAgo(now, 4)) << 0 << qint64(0) << false << mark
                                                   << qint64(7);
        QTest::newRow("fresh install, 3 days old") << answer(2, 7, daysAgo(now, 3)) << 0 << qint64(0) << false << show
                                                   << qint64(7);
        QTest::newRow("fresh install, no time") << answer(2, 7) << 0 << qint64(0) << false << show << qint64(7);
        QTest::newRow("fresh install, bad time") << answer(2, 7, QStringLiteral("yesterday")) << 0 << qint64(0) << false
                                                 << show << qint64(7);
        QTest::newRow("old notice, not a fresh install") << answer(2, 7, daysAgo(now, 40)) << 0 << qint64(0) << true
                                                         << show << qint64(7);
        QJsonObject empty{{QStringLiteral("ok"), 1}, {QStringLiteral("notice"), QJsonObject()}};
        QTest::newRow("empty notice") << empty << 0 << qint64(0) << true << ignore << qint64(0);
    }
    void verdict()
    {
        QFETCH(QJsonObject, reply);
        QFETCH(int, seenGen);
        QFETCH(qint64, seenId);
        QFETCH(bool, fileExists);
        QFETCH(int, verdict);
        QFETCH(qint64, id);
        NoticeSeen seen;
        seen.gen = seenGen;
        seen.id = seenId;
        NoticeInfo info;
        const QDateTime now(QDate(2024, 5, 10), QTime(9, 0));
        QCOMPARE(int(judgeNotice(reply, seen, fileExists, now, &info)), verdict);
        QCOMPARE(info.id, id);
    }

    void missingTextsReadAsEmpty()
    {
        const QJsonObject reply = QJsonDocument::fromJson(R"({"ok":1,"gen":3,"notice":{"id":4,"title":" T ","url":5}})")
                                      .object();
        NoticeInfo info;
        QCOMPARE(judgeNotice(reply, NoticeSeen(), true, QDateTime::currentDateTime(), &info), NoticeVerdict::Show);
        QCOMPARE(info.gen, 3);
        QCOMPARE(info.title, QStringLiteral(" T "));
        QCOMPARE(info.body, QString());
        QCOMPARE(info.url, QString());
        QCOMPARE(info.titleColor, QString());
    }
};

QTEST_MAIN(TestNoticeSeen)
#include "test_noticeseen.moc"
