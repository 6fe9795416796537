// The guards and pure readers of catalogue data: ids, versions, file names,
// URLs, sizes, index entries and the Content-Range of a resume.
#include "market/marketcatalogue.h"

#include <QJsonDocument>
#include <QtTest>

namespace {

// JSON written with single quotes, which keeps the test readable.
QJsonArray appsOf(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json).replace('\'', '"')).array();
}

} // namespace

class TestMarketCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void names_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("appId");
        QTest::addColumn<bool>("safeId");
        QTest::addColumn<bool>("fileName");
        QTest::newRow("plain") << "notes_2-x" << true << true << true;
        QTest::newRow("dotted version") << "1.2.0-beta+3" << false << true << true;
        QTest::newRow("double dot") << "1..2" << false << false << false;
        QTest::newRow("slash") << "a/b" << false << false << false;
        QTest::newRow("backslash") << "a\\b" << false << false << false;
        QTest::newRow("colon") << "C:x" << false << false << false;
        QTest::newRow("space") << "a b" << false << false << true;
        QTest::newRow("empty") << "" << false << false << false;
        QTest::newRow("48 chars") << QString(48, QLatin1Char('a')) << true << true << true;
        QTest::newRow("49 chars") << QString(49, QLatin1Char('a')) << false << true << true;
        QTest::newRow("65 chars") << QString(65, QLatin1Char('a')) << false << false << true;
        QTest::newRow("129 chars") << QString(129, QLatin1Char('a')) << false << false << false;
        QTest::newRow("non-ascii") << QStringLiteral("笔记") << false << false << true;
        // The updater's own files under /update/apps/.
        QTest::newRow("panel") << "panel" << false << true << true;
        QTest::newRow("Panel-Beta") << "Panel-Beta" << false << true << true;
        QTest::newRow("history") << "history" << false << true << true;
        QTest::newRow("panel2") << "panel2" << true << true << true;
    }
    void names()
    {
        QFETCH(QString, text);
        QFETCH(bool, appId);
        QFETCH(bool, safeId);
        QFETCH(bool, fileName);
        QCOMPARE(isMarketAppId(text), appId);
        QCOMPARE(isSafeAppId(text), safeId);
        QCOMPARE(isSafeFileName(text), fileName);
    }

    void urls_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("ok");
        QTest::newRow("https") << "https://example.org/x" << true;
        QTest::newRow("HTTP upper") << "HTTP://example.org" << true;
        QTest::newRow("ftp") << "ftp://example.org/x" << false;
        QTest::newRow("no host") << "https:///x" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("relative") << "/x" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
    }
    void urls()
    {
        QFETCH(QString, url);
        QFETCH(bool, ok);
        QCOMPARE(isHttpUrl(QUrl(url)), ok);
    }

    void sizes_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<qint64>("size");
        QTest::newRow("number") << QJsonValue(123) << qint64(123);
        QTest::newRow("text") << QJsonValue(QStringLiteral("123")) << qint64(123);
        QTest::newRow("negative") << QJsonValue(-5) << qint64(0);
        QTest::newRow("huge") << QJsonValue(5000000000.0) << qint64(2147483648LL);
        QTest::newRow("huge text") << QJsonValue(QStringLiteral("1e300")) << qint64(2147483648LL);
        QTest::newRow("word") << QJsonValue(QStringLiteral("big")) << qint64(0);
        QTest::newRow("bool") << QJsonValue(true) << qint64(0);
        QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << qint64(0);
    }
    void sizes()
    {
        QFETCH(QJsonValue, value);
        QFETCH(qint64, size);
        QCOMPARE(readClampedSize(value), size);
    }

    void formatSizes()
    {
        QCOMPARE(market::formatSize(0), QString());
        QCOMPARE(market::formatSize(1536), QStringLiteral("1.5 KB"));
        QCOMPARE(market::formatSize(1048575), QStringLiteral("1024.0 KB"));
        QCOMPARE(market::formatSize(1048576 * 3 / 2), QStringLiteral("1.5 MB"));
    }

    void indexEntries()
    {
        const QJsonArray apps = appsOf(
            "["
            "{'id': 'ok', 'name': 'Notes', 'desc': 'Keep Notes', 'category': 'Tools', 'version': '1.0',"
            "'size': '123', 'exeSize': 77, 'icon': 'https://h/i.png'},"
            "{'id': 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa', 'name': 'too long'},"
            "{'id': 'a.b', 'name': 'dotted'},"
            "{'id': '', 'name': 'empty'},"
            "{'name': 'none'},"
            "{'id': 'history', 'name': 'updater file'},"
            "{'id': 'badver', 'version': '../1'},"
            "{'id': 'web1', 'type': 'web', 'url': 'https://example.org'},"
            "{'id': 'web2', 'type': 'web', 'url': 'ftp://example.org'},"
            "{'id': 'web3', 'type': 'web', 'url': 'https://'},"
            "{'id': 'native', 'type': 'exe', 'url': 'ftp://example.org'},"
            "{'id': 'ok', 'name': 'second of the same id'},"
            "5"
            "]");
        const QList<MarketAppRow> rows = parseIndexApps(apps);
        QStringList ids;
        for (const MarketAppRow& r : rows)
            ids << r.id;
        QCOMPARE(ids, QStringList({"ok", "badver", "web1", "native", "ok"}));
        QCOMPARE(rows[0].searchKey, QStringLiteral("notes keep notes tools"));
        QCOMPARE(rows[0].size, qint64(123));
        QCOMPARE(rows[0].exeSize, qint64(77));
        QCOMPARE(rows[1].version, QString());
        QVERIFY(rows[2].isWeb);
        QVERIFY(!rows[3].isWeb);
    }

    // A refresh keeps what the user's actions made of a row.
    void refreshKeepsRowState()
    {
        QList<MarketAppRow> previous(2);
        previous[0].id = QStringLiteral("a");
        previous[0].downloading = true;
        previous[0].received = 10;
        previous[0].total = 100;
        previous[0].generation = 7;
        previous[0].sha256 = QStringLiteral("abc");
        previous[1].id = QStringLiteral("a");     // the later row of an id wins
        previous[1].generation = 9;
        MarketAppRow fresh;
        fresh.id = QStringLiteral("a");
        fresh.name = QStringLiteral("new name");
        QList<MarketAppRow> rows{fresh};

        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("a"));
        QFile exe(root.path() + QStringLiteral("/a/run"));
        QVERIFY(exe.open(QIODevice::WriteOnly));
        exe.write("12345");
        exe.close();
        InstalledAppMap installed;
        installed.insert(QStringLiteral("a"), InstalledApp{QStringLiteral("2.0"), QStringLiteral("run")});
        mergeIndexRows(rows, previous, installed, root.path());
        QCOMPARE(rows[0].name, QStringLiteral("new name"));
        QCOMPARE(rows[0].generation, qint64(9));
        QCOMPARE(rows[0].installedVersion, QStringLiteral("2.0"));
        QCOMPARE(rows[0].installedSize, qint64(5));
    }

    void contentRange_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<qint64>("start");
        QTest::newRow("well formed") << QByteArray("bytes 100-199/200") << qint64(100);
        QTest::newRow("unit case") << QByteArray("BYTES 100-199/200") << qint64(100);
        QTest::newRow("unknown length") << QByteArray("bytes 100-199/*") << qint64(100);
        QTest::newRow("no slash") << QByteArray("bytes 100-199") << qint64(-1);
        QTest::newRow("start after end") << QByteArray("bytes 200-199/300") << qint64(-1);
        QTest::newRow("no start") << QByteArray("bytes -199/200") << qint64(-1);
        QTest::newRow("no end") << QByteArray("bytes 100-/200") << qint64(-1);
        QTest::newRow("other unit") << QByteArray("items 100-199/200") << qint64(-1);
        QTest::newRow("sign") << QByteArray("bytes +1-199/200") << qint64(-1);
        QTest::newRow("empty") << QByteArray() << qint64(-1);
        QTest::newRow("zero") << QByteArray("bytes 0-0/1") << qint64(0);
    }
    void contentRange()
    {
        QFETCH(QByteArray, value);
        QFETCH(qint64, start);
        QCOMPARE(contentRangeStart(value), start);
    }
};

QTEST_MAIN(TestMarketCatalogue)
#include "test_marketcatalogue.moc"
