#include "app/jsonutil.h"

#include "testsupport.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QtTest>

#include <memory>

namespace {

const QJsonObject kStale { { QStringLiteral("stale"), 1 } };

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class TestJsonUtil : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A failure must log exactly one line: anything beyond the one a test
    // expects fails it.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void parsesBytes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("reason");
        QTest::newRow("object") << QByteArray(R"({"ok":1,"msg":"好"})") << true << QString();
        QTest::newRow("empty object") << QByteArray("{}") << true << QString();
        QTest::newRow("surrounding blanks") << QByteArray(" \n{\"a\":[1]}\n ") << true << QString();
        // Valid documents that are no object carry the parser's "no error" text.
        QTest::newRow("array") << QByteArray("[1,2]") << false << QStringLiteral("no error occurred");
        // This parser takes only arrays and objects at the top level.
        QTest::newRow("string") << QByteArray("\"text\"") << false << QStringLiteral("illegal value");
        QTest::newRow("number") << QByteArray("42") << false << QStringLiteral("illegal value");
        QTest::newRow("empty") << QByteArray() << false << QStringLiteral("illegal value");
        QTest::newRow("html") << QByteArray("<html></html>") << false << QStringLiteral("illegal value");
        QTest::newRow("cut short") << QByteArray("{\"a\":") << false << QStringLiteral("unterminated object");
        QTest::newRow("trailing garbage") << QByteArray("{\"a\":1} x") << false
                                          << QStringLiteral("garbage at the end of the document");
        QTest::newRow("two objects") << QByteArray("{}{}") << false << QStringLiteral("garbage at the end of the document");
    }
    void parsesBytes()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, ok);
        QFETCH(QString, reason);
        if (!ok)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("[jsonutil] object parse failed: \"%1\"").arg(reason)));
        QJsonObject out = kStale;
        QCOMPARE(parseJsonObject(data, out), ok);
        QCOMPARE(out, ok ? QJsonDocument::fromJson(data).object() : QJsonObject());
    }

    void nullReplyIsFalseAndSilent()
    {
        QJsonObject out = kStale;
        QVERIFY(!parseReplyObject(nullptr, out));
        QVERIFY(out.isEmpty());
    }

    void judgesRepliesOfALocalServer_data()
    {
        using testsupport::CannedHttpServer;
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QJsonObject>("expected");
        // The one warning expected; "%u" stands for the request's URL.
        QTest::addColumn<QString>("warning");

        const QByteArray body = R"({"ok":1,"code":"","msg":"done"})";
        QTest::newRow("200 object") << CannedHttpServer::reply(200, body) << true << object(body) << QString();
        QTest::newRow("201 object") << CannedHttpServer::reply(201, body) << true << object(body) << QString();
        // The body's own "ok" is the caller's business.
        QTest::newRow("200 ok false") << CannedHttpServer::reply(200, R"({"ok":0,"code":"NOT_LOGIN"})") << true
                                      << object(R"({"ok":0,"code":"NOT_LOGIN"})") << QString();
        QTest::newRow("200 array") << CannedHttpServer::reply(200, "[1,2]") << false << QJsonObject()
                                   << QStringLiteral("[jsonutil] reply object parse failed: \"no error occurred\"");
        QTest::newRow("200 html") << CannedHttpServer::reply(200, "<html>busy</html>", "text/html") << false << QJsonObject()
                                  << QStringLiteral("[jsonutil] reply object parse failed: \"illegal value\"");
        QTest::newRow("200 cut short") << CannedHttpServer::reply(200, "{\"ok\":") << false << QJsonObject()
                                       << QStringLiteral("[jsonutil] reply object parse failed: \"unterminated object\"");
        QTest::newRow("204 empty") << CannedHttpServer::reply(204, QByteArray()) << false << QJsonObject()
                                   << QStringLiteral("[jsonutil] reply object parse failed: \"illegal value\"");
        QTest::newRow("401 object") << CannedHttpServer::reply(401, body) << false << QJsonObject()
                                    << QStringLiteral("[jsonutil] reply rejected before parse: http = 401 transportError = true "
                                                      "detail = \"Host requires authentication\"");
        QTest::newRow("404 object") << CannedHttpServer::reply(404, body) << false << QJsonObject()
                                    << QStringLiteral("[jsonutil] reply rejected before parse: http = 404 transportError = true "
                                                      "detail = \"Error transferring %u - server replied: Not Found\"");
        QTest::newRow("500 object") << CannedHttpServer::reply(500, body) << false << QJsonObject()
                                    << QStringLiteral("[jsonutil] reply rejected before parse: http = 500 transportError = true "
                                                      "detail = \"Error transferring %u - server replied: Internal Server Error\"");
        QTest::newRow("503 html") << CannedHttpServer::reply(503, "<html>down</html>", "text/html") << false << QJsonObject()
                                  << QStringLiteral("[jsonutil] reply rejected before parse: http = 503 transportError = true "
                                                    "detail = \"Error transferring %u - server replied: Service Unavailable\"");
        // A status outside 2xx is refused even when the transport saw no error.
        QTest::newRow("304 no error") << QByteArray("HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n") << false
                                      << QJsonObject()
                                      << QStringLiteral("[jsonutil] reply rejected before parse: http = 304 transportError = false "
                                                        "detail = \"Unknown error\"");
        // The server hangs up before any status arrives.
        QTest::newRow("closed without answer") << QByteArray() << false << QJsonObject()
                                               << QStringLiteral("[jsonutil] reply rejected before parse: http = 0 transportError = true "
                                                                 "detail = \"Connection closed\"");
    }
    void judgesRepliesOfALocalServer()
    {
        QFETCH(QByteArray, response);
        QFETCH(bool, ok);
        QFETCH(QJsonObject, expected);
        QFETCH(QString, warning);

        testsupport::CannedHttpServer server;
        server.response = response;
        QVERIFY(server.listen());
        const QUrl url = server.url(QStringLiteral("/api/x.php"));

        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));

        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QString(warning).replace(QLatin1String("%u"), url.toString())));
        QJsonObject out = kStale;
        QCOMPARE(parseReplyObject(reply.get(), out), ok);
        QCOMPARE(out, expected);
        // Neither closed nor deleted: the caller still owns an open reply.
        QVERIFY(reply->isOpen());
    }

    // A rejected reply's body stays unread, for a caller that wants to look
    // at what the server said about the error.
    void rejectedReplyKeepsItsBody()
    {
        testsupport::CannedHttpServer server;
        const QByteArray body = R"({"ok":0,"code":"SERVER","msg":"维护中"})";
        server.response = testsupport::CannedHttpServer::reply(500, body);
        QVERIFY(server.listen());
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(server.url())));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] reply rejected before parse: http = 500 ")));
        QJsonObject out;
        QVERIFY(!parseReplyObject(reply.get(), out));
        QCOMPARE(reply->readAll(), body);
    }

    void closedPortIsATransportErrorWithoutStatus()
    {
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/api/auth.php").arg(testsupport::closedLocalPort()));
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        QVERIFY(finished.wait(10000));

        QTest::ignoreMessage(QtWarningMsg, "[jsonutil] reply rejected before parse: http = 0 transportError = true "
                                           "detail = \"Connection refused\"");
        QJsonObject out = kStale;
        QVERIFY(!parseReplyObject(reply.get(), out));
        QVERIFY(out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestJsonUtil)
#include "test_jsonutil.moc"
