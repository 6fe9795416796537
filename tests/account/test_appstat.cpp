// Usage reports of market apps and the rule that finds an app from a path.
#include "account/appstat.h"
#include "app/paths.h"
#include "standin.h"

#include <QJsonDocument>
#include <QtTest>

class TestAppStat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void appIdFromPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("id");
        const QString root = QStringLiteral("/home/u/.local/share/Tarnavel/TarnavelPanel");
        QTest::newRow("inside the app") << root + QStringLiteral("/apps/notes/bin/notes") << QStringLiteral("notes");
        QTest::newRow("back-slashes, other case")
            << QStringLiteral("\\HOME\\u\\.local\\share\\Tarnavel\\TarnavelPanel\\APPS\\X\\run.sh") << QStringLiteral("X");
        QTest::newRow("directly in apps") << root + QStringLiteral("/apps/file.zip") << QString();
        QTest::newRow("sibling named apps-like") << root + QStringLiteral("/appstore/x/run") << QString();
        QTest::newRow("empty rest") << root + QStringLiteral("/apps/") << QString();
        QTest::newRow("double slash") << root + QStringLiteral("/apps//x/run") << QString();
        QTest::newRow("elsewhere") << QStringLiteral("/usr/bin/notes") << QString();
    }
    void appIdFromPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QCOMPARE(marketAppIdFromPath(path, QStringLiteral("/home/u/.local/share/Tarnavel/TarnavelPanel")), id);
    }

    void reports()
    {
        testsupport::StandInService svc;
        QString error;
        QVERIFY2(svc.start(&error), qPrintable(error));
        reportAppStat(QString(), QStringLiteral("launch"), QString());
        reportAppStat(QStringLiteral("notes"), QString(), QString());
        reportAppStat(QStringLiteral("notes"), QStringLiteral("launch"), QString());
        reportAppStat(QStringLiteral("notes"), QStringLiteral("install"), QStringLiteral("tok"));
        QTRY_COMPARE_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/appstat.php")).size(), 2, 10000);
        const QJsonArray seen = svc.requestsTo(QStringLiteral("/api/appstat.php"));
        QStringList keys[2];
        for (int i = 0; i < 2; ++i) {
            const QJsonObject r = seen.at(i).toObject();
            QCOMPARE(r.value(QStringLiteral("query")).toString(), QString());
            QJsonObject body = QJsonDocument::fromJson(r.value(QStringLiteral("body")).toString().toUtf8()).object();
            keys[i] = body.keys();
        }
        // The order of arrival is not fixed; compare as a set.
        QSet<QStringList> got{keys[0], keys[1]};
        QSet<QStringList> want{{QStringLiteral("app_id"), QStringLiteral("device"), QStringLiteral("event")},
                               {QStringLiteral("app_id"), QStringLiteral("device"), QStringLiteral("event"),
                                QStringLiteral("token")}};
        QCOMPARE(got, want);

        // A failed report is only logged.
        svc.fault({{QStringLiteral("path"), QStringLiteral("/api/appstat.php")},
                   {QStringLiteral("mode"), QStringLiteral("status")},
                   {QStringLiteral("status"), 500}});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^appstat report failed: http = 500")));
        reportAppStat(QStringLiteral("notes"), QStringLiteral("uninstall"), QString());
        QTRY_COMPARE_WITH_TIMEOUT(svc.requestsTo(QStringLiteral("/api/appstat.php")).size(), 3, 10000);
        QTest::qWait(300);
    }
};

QTEST_GUILESS_MAIN(TestAppStat)
#include "test_appstat.moc"
