// The update check against the stand-in service: signed manifests made at
// test time, the channels, the version comparison, the release notes and
// the offer in the dialog.
#include "app/lang.h"
#include "app/servicehost.h"
#include "updater/updatedialog.h"
#include "updaterharness.h"

#include <QRegularExpression>

using testsupport::StandInService;
using namespace updatertest;

namespace {

const char kRejected[] = "update manifest signature invalid, rejected";

} // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT
    StandInService svc;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
        QVERIFY(trustServiceKey(svc));
    }
    void init()
    {
        setServiceHostOverride(svc.host());
        svc.control(QStringLiteral("clear_faults"));
        svc.control(QStringLiteral("clear_log"));
        svc.control(QStringLiteral("update.unset"), {{QStringLiteral("channel"), QStringLiteral("panel")}});
        svc.control(QStringLiteral("update.unset"), {{QStringLiteral("channel"), QStringLiteral("panel-beta")}});
        svc.control(QStringLiteral("update.history"));
    }

    // Any change of a signed field, and every form of signature other than
    // a raw ES256 one by the built-in key, is refused the same way.
    void refused_data()
    {
        QTest::addColumn<QJsonObject>("extra");
        auto tamper = [](const char* key, const QJsonValue& v) {
            return QJsonObject{{QStringLiteral("tamper"), QJsonObject{{QLatin1String(key), v}}}};
        };
        QTest::newRow("version changed") << tamper("version", QStringLiteral("1.0.301"));
        QTest::newRow("sha256 changed") << tamper("sha256", QString(64, QLatin1Char('b')));
        QTest::newRow("size changed") << tamper("size", 4097);
        QTest::newRow("url changed") << tamper("url", QStringLiteral("https://elsewhere.invalid/setup.bin"));
        QTest::newRow("time changed") << tamper("time", QStringLiteral("2024-05-01 10:00:01"));
        QTest::newRow("other algorithm") << tamper("sig_alg", QStringLiteral("ES384"));
        QTest::newRow("algorithm missing") << tamper("sig_alg", QJsonValue(QJsonValue::Null));
        QTest::newRow("signature missing") << tamper("sig", QJsonValue(QJsonValue::Null));
        QTest::newRow("signature not text") << tamper("sig", 42);
        QTest::newRow("DER signature") << QJsonObject{{QStringLiteral("sign"), QStringLiteral("der")}};
        QTest::newRow("63-byte signature") << QJsonObject{{QStringLiteral("sign"), QStringLiteral("short")}};
        QTest::newRow("another key") << QJsonObject{{QStringLiteral("sign"), QStringLiteral("other")}};
        QTest::newRow("unsigned") << QJsonObject{{QStringLiteral("sign"), QStringLiteral("none")}};
        QTest::newRow("body not JSON") << QJsonObject{{QStringLiteral("raw"), QStringLiteral("<html>oops</html>")}};
        QTest::newRow("body a JSON array") << QJsonObject{{QStringLiteral("raw"), QStringLiteral("[1,2]")}};
    }
    void refused()
    {
        QFETCH(QJsonObject, extra);
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.300")), extra), QString());
        if (extra.contains(QStringLiteral("raw"))) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^\\[jsonutil\\] object parse failed:")));
            QTest::ignoreMessage(QtWarningMsg, "update manifest parse failed, treat as unsigned");
        }
        QTest::ignoreMessage(QtWarningMsg, kRejected);
        UpdaterHarness h;
        h.updater->checkForUpdates(false, true);
        QVERIFY(h.settle());
        QCOMPARE(h.toasts.size(), 1);
        QCOMPARE(h.toasts.first().first, translate(u"更新清单签名无效，为安全起见已拒绝本次更新"));
        QCOMPARE(h.toasts.first().second, 1);
        QVERIFY(!h.updater->dialog());
        QVERIFY(h.updater->offeredUrl().isEmpty());
        QVERIFY(h.updater->offeredSha256().isEmpty());
    }

    // The signed text joins the fields with "|" as they are: a signed field
    // holding one can be split otherwise under the same signature (here
    // part of the address moved into the time). Such a manifest is refused.
    void barInsideASignedField()
    {
        const QJsonObject split{{QStringLiteral("url"), QStringLiteral("https://example.invalid/a")},
                                {QStringLiteral("time"), QStringLiteral("b.bin|2024-05-01 10:00:00")}};
        QCOMPARE(publish(svc, QStringLiteral("panel"),
                         manifestFields(QStringLiteral("1.0.300"), QStringLiteral("https://example.invalid/a|b.bin")),
                         {{QStringLiteral("tamper"), split}}),
                 QString());
        QTest::ignoreMessage(QtWarningMsg, kRejected);
        UpdaterHarness h;
        h.updater->checkForUpdates(false, true);
        QVERIFY(h.settle());
        QVERIFY(!h.updater->dialog());
        QVERIFY(h.updater->offeredUrl().isEmpty());
    }

    void refusedSilentlyWhenAutomatic()
    {
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.300")),
                         {{QStringLiteral("sign"), QStringLiteral("other")}}),
                 QString());
        QTest::ignoreMessage(QtWarningMsg, kRejected);
        UpdaterHarness h;
        h.updater->checkForUpdates(false, false);
        QVERIFY(h.settle());
        QVERIFY(h.toasts.isEmpty());
        QVERIFY(!h.updater->dialog());
    }

    void builtInKeyMustBeComplete_data()
    {
        QTest::addColumn<QString>("x");
        QTest::addColumn<QString>("y");
        QTest::newRow("short X") << QStringLiteral("ab") << QString(64, QLatin1Char('0'));
        QTest::newRow("X not hexadecimal") << QString(62, QLatin1Char('0')) + QStringLiteral("zz") << QString(64, QLatin1Char('0'));
        QTest::newRow("point not on the curve") << QString(64, QLatin1Char('1')) << QString(64, QLatin1Char('2'));
    }
    void builtInKeyMustBeComplete()
    {
        QFETCH(QString, x);
        QFETCH(QString, y);
        UpdateManifest m = readUpdateManifest(QJsonDocument::fromJson(
            svc.control(QStringLiteral("update.manifest"),
                        {{QStringLiteral("channel"), QStringLiteral("panel")},
                         {QStringLiteral("fields"), manifestFields(QStringLiteral("1.0.300"))}})
                .value(QStringLiteral("body")).toString().toUtf8()).object());
        QVERIFY(isManifestSignatureValid(m));
        setUpdatePublicKeyOverride(x, y);
        const bool valid = isManifestSignatureValid(m);
        QVERIFY(trustServiceKey(svc));
        QVERIFY(!valid);
    }

    // A valid manifest offers its version; fields outside the signature and
    // the letter case of the algorithm do not matter.
    void offered_data()
    {
        QTest::addColumn<QJsonObject>("fields");
        QTest::addColumn<QJsonObject>("extra");
        const QJsonObject plain = manifestFields(QStringLiteral("1.0.252"));
        QTest::newRow("ES256") << plain << QJsonObject();
        QTest::newRow("es256 in lower case")
            << plain << QJsonObject{{QStringLiteral("tamper"), QJsonObject{{QStringLiteral("sig_alg"), QStringLiteral("es256")}}}};
        QJsonObject textSize = plain;
        textSize.insert(QStringLiteral("size"), QStringLiteral("4096"));
        QTest::newRow("size as text") << textSize << QJsonObject();
        QTest::newRow("notes and title are not signed")
            << plain << QJsonObject{{QStringLiteral("tamper"), QJsonObject{{QStringLiteral("notes"), QStringLiteral("other notes")}}}};
        QTest::newRow("newer than a beta of the own version")
            << manifestFields(QStringLiteral("1.0.252-beta")) << QJsonObject();
    }
    void offered()
    {
        QFETCH(QJsonObject, fields);
        QFETCH(QJsonObject, extra);
        QCOMPARE(publish(svc, QStringLiteral("panel"), fields, extra), QString());
        UpdaterHarness h;
        h.updater->checkForUpdates(false, true);
        QVERIFY(h.settle());
        QVERIFY(h.toasts.isEmpty());
        QVERIFY(h.updater->dialog());
        QVERIFY(h.updater->dialog()->isVisible());
        const QString version = fields.value(QStringLiteral("version")).toString();
        QCOMPARE(h.updater->dialog()->versionText(), version);
        QCOMPARE(h.updater->dialog()->heading(), translate(u"发现新版本 v%1").arg(version));
        QCOMPARE(h.updater->offeredUrl(), fields.value(QStringLiteral("url")).toString());
        QCOMPARE(h.updater->offeredSha256(), fields.value(QStringLiteral("sha256")).toString());
        QVERIFY(!h.updater->offerIsBeta());
    }

    void notOffered_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<bool>("manual");
        QTest::newRow("own version, manual") << "1.0.251" << true;
        QTest::newRow("own version, automatic") << "1.0.251" << false;
        QTest::newRow("older, manual") << "1.0.9" << true;
        QTest::newRow("beta of the own version") << "1.0.251-beta" << true;
        QTest::newRow("nine parts") << "1.0.252.0.0.0.0.0.1" << true;
        QTest::newRow("letter first") << "v1.0.252" << true;
    }
    void notOffered()
    {
        QFETCH(QString, remote);
        QFETCH(bool, manual);
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(remote)), QString());
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(
            QStringLiteral("^update check: local \"1\\.0\\.251\" remote \"%1\" manual %2$")
                .arg(QRegularExpression::escape(remote), manual ? QStringLiteral("true") : QStringLiteral("false"))));
        UpdaterHarness h;
        h.updater->checkForUpdates(false, manual);
        QVERIFY(h.settle());
        QVERIFY(!h.updater->dialog());
        if (!manual) {
            QVERIFY(h.toasts.isEmpty());
            return;
        }
        QCOMPARE(h.toasts.size(), 1);
        QCOMPARE(h.toasts.first().first, translate(u"当前已是最新版本 v%1").arg(QStringLiteral("1.0.251")));
        QCOMPARE(h.toasts.first().second, 0);
    }

    // The beta channel falls back to the stable one with the same manual
    // flag; a failure there is told once, and only to a manual check.
    void betaFallback_data()
    {
        QTest::addColumn<bool>("stableThere");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<int>("failureToasts");
        QTest::newRow("stable answers") << true << true << 0;
        QTest::newRow("both missing, manual") << false << true << 1;
        QTest::newRow("both missing, automatic") << false << false << 0;
    }
    void betaFallback()
    {
        QFETCH(bool, stableThere);
        QFETCH(bool, manual);
        QFETCH(int, failureToasts);
        if (stableThere)
            QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.252"))), QString());
        QTest::ignoreMessage(QtInfoMsg,
                             "beta manifest unavailable, fallback to stable; http = 404 transportError = true");
        UpdaterHarness h;
        h.updater->checkForUpdates(true, manual);
        QVERIFY(h.settle());
        QStringList paths;
        for (const QJsonValue& v : svc.requests())
            paths << v.toObject().value(QStringLiteral("path")).toString();
        QCOMPARE(paths.mid(0, 2), (QStringList{QStringLiteral("/update/apps/panel-beta.json"),
                                               QStringLiteral("/update/apps/panel.json")}));
        QCOMPARE(h.toasts.size(), failureToasts);
        if (failureToasts)
            QCOMPARE(h.toasts.first(), std::make_pair(translate(u"检查更新失败，请检查网络后重试"), 1));
        QCOMPARE(bool(h.updater->dialog()), stableThere);
        if (stableThere)
            QVERIFY(!h.updater->offerIsBeta());
    }

    void stableFailures_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::newRow("HTTP 500") << QJsonObject{{QStringLiteral("mode"), QStringLiteral("status")},
                                                 {QStringLiteral("status"), 500}};
        QTest::newRow("hang-up") << QJsonObject{{QStringLiteral("mode"), QStringLiteral("hangup")},
                                                {QStringLiteral("count"), -1}};
    }
    void stableFailures()
    {
        QFETCH(QJsonObject, fault);
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.252"))), QString());
        fault.insert(QStringLiteral("path"), QStringLiteral("/update/apps/panel.json"));
        svc.fault(fault);
        UpdaterHarness h;
        h.updater->checkForUpdates(false, true);
        QVERIFY(h.settle());
        QCOMPARE(h.toasts, (QList<std::pair<QString, int>>{{translate(u"检查更新失败，请检查网络后重试"), 1}}));
        QVERIFY(!h.updater->dialog());
    }

    void betaOffer()
    {
        QCOMPARE(publish(svc, QStringLiteral("panel-beta"), manifestFields(QStringLiteral("1.0.253-beta"))), QString());
        UpdaterHarness h;
        h.updater->checkForUpdates(true, false);
        QVERIFY(h.settle());
        QVERIFY(h.updater->dialog());
        QVERIFY(h.updater->offerIsBeta());
        QCOMPARE(h.updater->dialog()->heading(), translate(u"发现测试版 v%1").arg(QStringLiteral("1.0.253-beta")));

        // A manifest title wins over the beta heading.
        QJsonObject titled = manifestFields(QStringLiteral("1.0.254-beta"));
        titled.insert(QStringLiteral("title"), QStringLiteral("  Spring beta  "));
        QCOMPARE(publish(svc, QStringLiteral("panel-beta"), titled), QString());
        h.updater->checkForUpdates(true, false);
        QVERIFY(h.settle());
        QCOMPARE(h.updater->dialog()->heading(), QStringLiteral("Spring beta"));
    }

    // Which notes the offer shows: the first history entry of the version
    // when it has notes, else the manifest's.
    void releaseNotes_data()
    {
        QTest::addColumn<QJsonObject>("history");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("warning");
        auto entries = [](const QJsonArray& a) { return QJsonObject{{QStringLiteral("entries"), a}}; };
        auto entry = [](const char* v, const QJsonValue& n) {
            return QJsonObject{{QStringLiteral("version"), QLatin1String(v)}, {QStringLiteral("notes"), n}};
        };
        QTest::newRow("history entry")
            << entries({entry("1.0.250", QStringLiteral("old")), entry("1.0.252", QStringLiteral("  from history \n"))})
            << "from history" << QString();
        QTest::newRow("blank history notes keep the manifest's")
            << entries({entry("1.0.252", QStringLiteral("   "))}) << "manifest notes" << QString();
        QTest::newRow("only the first entry of a version counts")
            << entries({entry("1.0.252", QString()), entry("1.0.252", QStringLiteral("later"))})
            << "manifest notes" << QString();
        QTest::newRow("version compared exactly")
            << entries({entry("1.0.252.0", QStringLiteral("close"))}) << "manifest notes" << QString();
        QTest::newRow("notes of another type")
            << entries({entry("1.0.252", 5)}) << "manifest notes" << QString();
        QTest::newRow("no history") << QJsonObject() << "manifest notes" << QString();
        QTest::newRow("history an object")
            << QJsonObject{{QStringLiteral("raw"), QStringLiteral("{\"version\":\"1.0.252\"}")}} << "manifest notes"
            << "[jsonutil] array parse failed:";
        QTest::newRow("history broken")
            << QJsonObject{{QStringLiteral("raw"), QStringLiteral("[{")}} << "manifest notes"
            << "[jsonutil] array parse failed:";
    }
    void releaseNotes()
    {
        QFETCH(QJsonObject, history);
        QFETCH(QString, notes);
        QFETCH(QString, warning);
        svc.control(QStringLiteral("update.history"), history);
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.252"))), QString());
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(warning)));
        const QString source = notes == QLatin1String("manifest notes") ? QStringLiteral("panel.json")
                                                                        : QStringLiteral("history.json");
        QTest::ignoreMessage(QtInfoMsg, qPrintable(QStringLiteral("update notes: \"%1\" version \"1.0.252\" len %2")
                                                       .arg(source).arg(notes.size())));
        UpdaterHarness h;
        h.updater->checkForUpdates(false, false);
        QVERIFY(h.settle());
        QVERIFY(h.updater->dialog());
        QCOMPARE(h.updater->dialog()->lines(), QStringList{notes});
    }

    // Dismissing hides the dialog; the next offer shows the same one again.
    void dialogLivesForTheNextOffer()
    {
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.252"))), QString());
        UpdaterHarness h;
        h.updater->checkForUpdates(false, false);
        QVERIFY(h.settle());
        QPointer<UpdateDialog> first = h.updater->dialog();
        QVERIFY(first);
        Q_EMIT first->dismissed();
        QVERIFY(!first->isVisible());
        QVERIFY(!first->isModal());
        Q_EMIT first->minimized();
        QCOMPARE(h.toasts.size(), 1);
        QCOMPARE(h.toasts.first(),
                 std::make_pair(translate(u"更新提示已最小化，可在齿轮菜单「检查更新」重新打开"), 1));

        h.updater->checkForUpdates(false, true);
        QVERIFY(h.settle());
        QCOMPARE(h.updater->dialog(), first.data());
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowModality(), Qt::ApplicationModal);
    }

    // The dialog is placed on the window's screen: centred, a third of the
    // free height from the top.
    void placement()
    {
        QCOMPARE(publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.252"))), QString());
        UpdaterHarness h;
        h.updater->checkForUpdates(false, false);
        QVERIFY(h.settle());
        UpdateDialog* d = h.updater->dialog();
        QVERIFY(d);
        const QRect area = h.window.screen()->availableGeometry();
        const int free = area.height() - d->height();
        QCOMPARE(d->pos(), QPoint(area.left() + (area.width() - d->width()) / 2,
                                  area.top() + (free > 122 ? free / 3 : 40)));
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "test_updatecheck.moc"
