// The market against the stand-in service, through the real network code and
// the real extraction under pwsh: browsing, downloads with resume and their
// faults, installation, launch, removal, and the files it leaves.
#include "market/appmarketdialog.h"

#include "account/onlinerequest.h"
#include "app/lang.h"
#include "app/paths.h"
#include "app/servicehost.h"
#include "backup/scriptrunner.h"
#include "fakelauncher.h"
#include "market/packagecache.h"
#include "standin.h"
#include "testsupport.h"
#include "zipfixture.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QtTest>

using testsupport::StandInService;
using testsupport::ZipEntry;

namespace {

constexpr int kInstallWaitMs = 90000;

QJsonObject obj(std::initializer_list<QPair<QString, QJsonValue>> pairs)
{
    QJsonObject o;
    for (const auto& p : pairs)
        o.insert(p.first, p.second);
    return o;
}

QByteArray pngOf(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// A package padded so that its transfer can be cut, paused and resumed.
QByteArray packageBytes(const QByteArray& marker = "v1")
{
    return testsupport::makeZip({
        {QStringLiteral("run.sh"), "#!/bin/sh\necho " + marker + "\n", 0100644},
        {QStringLiteral("lib/data.bin"), QByteArray(64 * 1024, 'd') + marker, 0100644},
    });
}

QStringList treeOf(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out << QDir(root).relativeFilePath(path) + QLatin1Char('=')
                + QString::fromLatin1(testsupport::readFile(path).toHex());
    }
    out.sort();
    return out;
}

} // namespace

class TestAppMarket : public QObject {
    Q_OBJECT
    StandInService svc;
    testsupport::RecordingLauncher launches;
    std::unique_ptr<testsupport::LauncherOverride> launcherGuard;
    std::unique_ptr<AppMarketDialog> dlg;

    const AppMarketDialog::AppRow* row(const QString& id) const
    {
        for (const AppMarketDialog::AppRow& r : dlg->appRows()) {
            if (r.id == id)
                return &r;
        }
        return nullptr;
    }
    AppMarketDialog::AppRow* mutableRow(const QString& id) { return dlg->findRow(id); }

    QJsonObject appEntry(const QString& id, const QString& version = QStringLiteral("1.0"), qint64 size = 0)
    {
        return obj({{"id", id}, {"name", QString("App " + id)}, {"desc", "d"}, {"category", "Tools"}, {"version", version},
                    {"size", size}});
    }
    void setPage(const QJsonArray& apps)
    {
        svc.control("market.page", obj({{"page", 1}, {"body", obj({{"apps", apps}})}}));
    }
    // Publishes a package with its manifest; returns the package size.
    qint64 publish(const QString& id, const QByteArray& zip, const QJsonObject& manifestExtra = {})
    {
        QJsonObject manifest = obj({{"url", QString("https://cdn.example/files/" + id + "-pkg.zip")},
                                    {"launch", "run.sh"},
                                    {"version", "1.0"}});
        for (auto it = manifestExtra.begin(); it != manifestExtra.end(); ++it)
            manifest.insert(it.key(), it.value());
        svc.control("market.package",
                    obj({{"id", id}, {"b64", QString::fromLatin1(zip.toBase64())}, {"manifest", manifest}}));
        return zip.size();
    }
    QJsonArray downloads() { return svc.control("market.downloads").value("downloads").toArray(); }
    void openMarket(const QString& token = QStringLiteral("tok"))
    {
        dlg->openAndRefresh(token);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->isIndexLoaded() || dlg->isIndexFailed(), 20000);
    }
    void click(const QString& id, int element)
    {
        dlg->relayout();
        int index = -1;
        for (int i = 0; i < dlg->appRows().size(); ++i) {
            if (dlg->appRows().at(i).id == id) {
                index = i;
                break;
            }
        }
        QVERIFY(index >= 0);
        const int wanted = index * AppMarketDialog::kRowIdStride + element;
        for (const MarketHitArea& a : dlg->lastHitAreas()) {
            if (a.id == wanted) {
                QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, a.rect.center());
                return;
            }
        }
        QFAIL("no such button on screen");
    }
    bool waitIdle(const QString& id, int ms = kInstallWaitMs)
    {
        return QTest::qWaitFor([&] {
            const auto* r = row(id);
            return r && !r->downloading && !r->installing && !r->extracting;
        }, ms);
    }
    QString partPath(const QString& id) const { return appsRootDir() + "/" + id + ".package.zip.part"; }

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
        launcherGuard = std::make_unique<testsupport::LauncherOverride>(&launches);
    }
    void init()
    {
        setServiceHostOverride(svc.host());
        setOnlineTimeoutOverride(0);
        svc.control("clear_faults");
        svc.control("market.clear");
        svc.control("clear_log");
        svc.control("market.sdk_min", QJsonObject());
        QDir(appsRootDir()).removeRecursively();
        QFile::remove(registryPath());
        QDir(QDir::homePath() + "/Desktop").removeRecursively();
        launches.calls.clear();
        dlg = std::make_unique<AppMarketDialog>();
    }
    void cleanup() { dlg.reset(); }

    void browsing()
    {
        svc.control("market.icon", obj({{"name", "ok.png"}, {"b64", QString::fromLatin1(pngOf(96, 96).toBase64())}}));
        svc.control("market.icon", obj({{"name", "wide.png"}, {"b64", QString::fromLatin1(pngOf(5000, 10).toBase64())}}));
        svc.control("market.sdk_min", obj({{"body", obj({{"minSdkVersion", "2.0.0"}})}}));
        QJsonObject a = appEntry("a");
        a.insert("icon", QString("https://" + svc.host() + "/icons/ok.png"));
        QJsonObject b = appEntry("b");
        b.insert("icon", QString("https://" + svc.host() + "/icons/wide.png"));
        QJsonObject web = obj({{"id", "w"}, {"name", "Web"}, {"type", "web"}, {"url", "https://example.org/"}});
        QJsonObject theme = appEntry("t");
        theme.insert("category", QStringLiteral("界面美化"));
        setPage({a, b, web, theme});
        openMarket();
        QVERIFY(dlg->isIndexLoaded());
        QCOMPARE(dlg->appRows().size(), 4);
        QTRY_VERIFY(!row("a")->icon.isNull());
        QTRY_COMPARE(dlg->minimumSdk(), QStringLiteral("2.0.0"));
        QCOMPARE(row("a")->icon.width(), qRound(48 * dlg->devicePixelRatioF()));
        QTest::qWait(300);
        QVERIFY(row("b")->icon.isNull());
        dlg->relayout();
        QCOMPARE(dlg->visibleCards(), 2);   // programs tab: a and b

        // A failed refresh keeps the rows and says so.
        svc.control("market.page", obj({{"page", 1}, {"raw", "<html>"}}));
        dlg->fetchIndex(1);
        QTRY_VERIFY(dlg->isIndexFailed());
        QCOMPARE(dlg->appRows().size(), 4);
    }

    // A reply to an index request that was superseded is never applied.
    void staleIndexReplyIsIgnored()
    {
        setPage({appEntry("old")});
        svc.fault(obj({{"path", "/update/index/page-1.json"}, {"mode", "delay"}, {"seconds", 1.5}}));
        dlg->fetchIndex(1);
        QTest::qWait(300);
        setPage({appEntry("new")});
        dlg->fetchIndex(1);
        QTRY_VERIFY(dlg->isIndexLoaded());
        QTest::qWait(2000);
        QCOMPARE(dlg->appRows().size(), 1);
        QCOMPARE(dlg->appRows().first().id, QStringLiteral("new"));
    }

    void installLaunchAddRemove()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        // The name from the service holds a line break and a slash.
        QJsonObject entry = appEntry("notes", "1.0");
        entry.insert("name", "Notes\nExec=evil /x");
        setPage({entry});
        publish("notes", packageBytes());
        openMarket("tok-1");
        QSignalSpy added(dlg.get(), &AppMarketDialog::addToPanelRequested);
        click("notes", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("notes"));
        QVERIFY2(row("notes")->error.isEmpty(), qPrintable(row("notes")->error));
        QCOMPARE(row("notes")->installedVersion, QStringLiteral("1.0"));

        const QString appDir = appsRootDir() + "/notes";
        const QString exe = appDir + "/run.sh";
        QVERIFY(QFileInfo(exe).isExecutable());
        QVERIFY(!QFileInfo::exists(appDir + ".__new"));
        QVERIFY(!QFileInfo::exists(appDir + ".__old"));
        QCOMPARE(row("notes")->installedSize, QFileInfo(exe).size());

        // The registry reads back exactly.
        const QJsonObject registry = QJsonDocument::fromJson(testsupport::readFile(registryPath())).object();
        QCOMPARE(registry, obj({{"installed", QJsonArray{obj({{"id", "notes"}, {"version", "1.0"}, {"launch", "run.sh"},
                                                             {"dir", appDir}})}}}));
        // The verified package went into the cache under its version.
        QVERIFY(!QFileInfo::exists(appsRootDir() + "/notes.package.zip"));
        const QJsonObject cached = readCacheIndex(packageCacheDir()).value("notes").toObject();
        QCOMPARE(cached.keys(), QStringList({"1.0"}));
        QCOMPARE(testsupport::readFile(packageCacheDir() + "/notes/1.0.zip"), packageBytes());

        QCOMPARE(added.size(), 1);
        QCOMPARE(added[0][1].toString(), exe);

        // The shortcut holds the name on one line, escaped, and is startable.
        const QString desktopFile = QDir::homePath() + "/Desktop/Notes_Exec=evil _x.desktop";
        const QByteArray shortcut = testsupport::readFile(desktopFile);
        QVERIFY2(!shortcut.isEmpty(), qPrintable(desktopFile));
        QVERIFY(shortcut.contains("\nName=Notes\\nExec=evil /x\n"));
        QCOMPARE(shortcut.count("\nExec="), 1);
        QVERIFY(shortcut.contains(QByteArray("\nExec=" + exe.toUtf8() + "\n")));
        QVERIFY(QFileInfo(desktopFile).permissions().testFlag(QFile::ExeOwner));

        QTRY_COMPARE(svc.requestsTo("/api/appstat.php").size(), 1);

        // Up to date: the action button starts it, without any sign-in.
        dlg->setToken(QString());
        QSignalSpy login(dlg.get(), &AppMarketDialog::loginRequested);
        QCOMPARE(AppMarketDialog::actionButtonText(*row("notes")), translate(u"已安装"));
        click("notes", AppMarketDialog::kActionButton);
        QCOMPARE(login.size(), 0);
        QCOMPARE(launches.calls.size(), 1);
        QCOMPARE(launches.calls[0].request.target, exe);
        QCOMPARE(launches.calls[0].request.workDir, appDir);

        dlg->runRowMenuAction("notes", AppMarketDialog::MenuAddToPanel);
        QCOMPARE(added.size(), 2);

        dlg->runRowMenuAction("notes", AppMarketDialog::MenuUninstall);
        QVERIFY(!QFileInfo::exists(appDir));
        QVERIFY(row("notes")->installedVersion.isEmpty());
        QCOMPARE(QJsonDocument::fromJson(testsupport::readFile(registryPath())).object(),
                 obj({{"installed", QJsonArray()}}));
        QVERIFY(QFileInfo::exists(desktopFile));   // shortcuts stay
        QTRY_COMPARE(svc.requestsTo("/api/appstat.php").size(), 2);
        const QJsonObject lastStat =
            QJsonDocument::fromJson(svc.requestsTo("/api/appstat.php").last().toObject().value("body").toString().toUtf8())
                .object();
        QCOMPARE(lastStat.value("event").toString(), QStringLiteral("uninstall"));

        // Installing again takes the verified package from the cache.
        dlg->setToken("tok-1");
        const int before = downloads().size();
        click("notes", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("notes"));
        QCOMPARE(row("notes")->installedVersion, QStringLiteral("1.0"));
        QCOMPARE(downloads().size(), before);
    }

    // While the window holds installs, a finished download is unpacked but
    // neither moved into place, registered nor handed to the panel; the
    // release installs it.
    void heldInstallWaitsForTheRelease()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        setPage({appEntry("held")});
        publish("held", packageBytes());
        openMarket();
        bool held = true;
        dlg->setInstallHold([&held] { return held; });
        QSignalSpy added(dlg.get(), &AppMarketDialog::addToPanelRequested);
        click("held", AppMarketDialog::kActionButton);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->hasHeldInstalls(), kInstallWaitMs);

        const QString appDir = appsRootDir() + "/held";
        QVERIFY(row("held")->installing);
        QVERIFY(row("held")->installedVersion.isEmpty());
        QVERIFY(!QFileInfo::exists(appDir));
        QVERIFY(!dlg->installedAppMap().contains("held"));
        QVERIFY(!QFileInfo::exists(registryPath()));
        QCOMPARE(added.size(), 0);

        held = false;
        dlg->releaseHeldInstalls();
        QVERIFY(!dlg->hasHeldInstalls());
        QVERIFY(waitIdle("held"));
        QCOMPARE(row("held")->installedVersion, QStringLiteral("1.0"));
        QVERIFY(QFileInfo(appDir + "/run.sh").isExecutable());
        QVERIFY(!QFileInfo::exists(appDir + ".__new"));
        QCOMPARE(added.size(), 1);
    }

    // A transfer that ends early keeps its part file; the next start asks
    // for the rest with a Range header and completes the package.
    void resumeAfterCut_data()
    {
        QTest::addColumn<bool>("declaredLength");
        QTest::addColumn<QString>("message");
        QTest::newRow("clean close") << false << translate(u"下载不完整，可重试续传");
        QTest::newRow("connection lost") << true << translate(u"下载失败（网络中断，请重试）");
    }
    void resumeAfterCut()
    {
        QFETCH(bool, declaredLength);
        QFETCH(QString, message);
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        const qint64 size = publish("cut", packageBytes());
        setPage({appEntry("cut", "1.0", size)});
        svc.control("market.download_fault",
                    obj({{"mode", "cut"}, {"after", 20000}, {"omit_length", !declaredLength}}));
        openMarket();
        click("cut", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("cut", 20000));
        QCOMPARE(row("cut")->error, message);
        QCOMPARE(QFileInfo(partPath("cut")).size(), qint64(20000));
        QCOMPARE(AppMarketDialog::actionButtonText(*row("cut")), translate(u"重试"));

        click("cut", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("cut"));
        QVERIFY2(row("cut")->error.isEmpty(), qPrintable(row("cut")->error));
        QCOMPARE(row("cut")->installedVersion, QStringLiteral("1.0"));
        const QJsonArray d = downloads();
        QCOMPARE(d.size(), 2);
        QCOMPARE(d[0].toObject().value("range").toString(), QString());
        QCOMPARE(d[1].toObject().value("range").toString(), QStringLiteral("bytes=20000-"));
    }

    // A resume answered with the wrong bytes throws the part file away.
    void resumeAnsweredWrongly_data()
    {
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("partKept");
        QTest::newRow("206 at the wrong byte") << obj({{"mode", "wrong_start"}, {"delta", 5}})
                                               << translate(u"续传数据错位，已重置，请重新下载") << false;
        QTest::newRow("206 without the length") << obj({{"mode", "range_header"}, {"value", "bytes 20000-20100"}})
                                                << translate(u"续传数据错位，已重置，请重新下载") << false;
        QTest::newRow("206 from byte 0") << obj({{"mode", "range_header"}, {"value", "bytes 0-99/100"}})
                                         << translate(u"续传数据错位，已重置，请重新下载") << false;
    }
    void resumeAnsweredWrongly()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, message);
        QFETCH(bool, partKept);
        const QByteArray zip = packageBytes();
        publish("rs", zip);
        setPage({appEntry("rs", "1.0", zip.size())});
        QVERIFY(testsupport::writeFile(partPath("rs"), zip.left(20000)));
        svc.control("market.download_fault", fault);
        openMarket();
        click("rs", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("rs", 20000));
        QCOMPARE(row("rs")->error, message);
        QCOMPARE(QFileInfo::exists(partPath("rs")), partKept);
        QCOMPARE(downloads().first().toObject().value("range").toString(), QStringLiteral("bytes=20000-"));
    }

    void serverIgnoresRange()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        const QByteArray zip = packageBytes();
        publish("ir", zip);
        setPage({appEntry("ir", "1.0", zip.size())});
        QVERIFY(testsupport::writeFile(partPath("ir"), zip.left(20000)));
        svc.control("market.download_fault", obj({{"mode", "ignore_range"}}));
        openMarket();
        click("ir", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("ir"));
        QVERIFY2(row("ir")->error.isEmpty(), qPrintable(row("ir")->error));
        QCOMPARE(row("ir")->installedVersion, QStringLiteral("1.0"));
    }

    // A resumed package that fails its check is fetched once more from the
    // start, never twice.
    void hashMismatchRetriesOnce_data()
    {
        QTest::addColumn<int>("corruptCount");
        QTest::addColumn<bool>("installs");
        QTest::newRow("resumed copy bad") << 1 << true;
        QTest::newRow("fresh copy bad too") << -1 << false;
    }
    void hashMismatchRetriesOnce()
    {
        QFETCH(int, corruptCount);
        QFETCH(bool, installs);
        if (installs && powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        const QByteArray zip = packageBytes();
        publish("hm", zip);
        setPage({appEntry("hm", "1.0", zip.size())});
        QVERIFY(testsupport::writeFile(partPath("hm"), zip.left(20000)));
        svc.control("market.download_fault", obj({{"mode", "corrupt"}, {"count", corruptCount}}));
        openMarket();
        click("hm", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("hm"));
        const QJsonArray d = downloads();
        QCOMPARE(d.size(), 2);
        QCOMPARE(d[0].toObject().value("range").toString(), QStringLiteral("bytes=20000-"));
        QCOMPARE(d[1].toObject().value("range").toString(), QString());
        if (installs) {
            QVERIFY2(row("hm")->error.isEmpty(), qPrintable(row("hm")->error));
            QCOMPARE(row("hm")->installedVersion, QStringLiteral("1.0"));
        } else {
            QCOMPARE(row("hm")->error, translate(u"校验失败（文件损坏）"));
            QVERIFY(!QFileInfo::exists(partPath("hm")));
        }
    }

    void corruptPartIsDiscarded()
    {
        const QByteArray zip = packageBytes();
        publish("cp", zip, obj({{"sha256", QString(64, QLatin1Char('0'))}}));
        setPage({appEntry("cp", "1.0", zip.size())});
        QVERIFY(testsupport::writeFile(partPath("cp"), "not a zip at all"));
        openMarket();
        click("cp", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("cp", 20000));
        QCOMPARE(downloads().first().toObject().value("range").toString(), QString());
        // The wrong checksum ends it, after one fresh transfer only.
        QCOMPARE(downloads().size(), 1);
        QCOMPARE(row("cp")->error, translate(u"校验失败（文件损坏）"));
    }

    void sizeLimits_data()
    {
        QTest::addColumn<qint64>("catalogueSize");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");
        QTest::newRow("declared length over 2 GiB")
            << qint64(0) << obj({{"mode", "declare"}, {"value", 2147483649.0}})
            << translate(u"下载超出大小上限，已中止") << 1;
        // Without a declared length the catalogue size is the measure.
        QTest::newRow("more than half again the catalogue size")
            << qint64(1000) << obj({{"mode", "cut"}, {"after", 10000000}, {"omit_length", true}})
            << translate(u"下载超出大小上限，已中止") << 1;
    }
    void sizeLimits()
    {
        QFETCH(qint64, catalogueSize);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, message);
        QFETCH(int, requests);
        publish("big", packageBytes());
        setPage({appEntry("big", "1.0", catalogueSize)});
        if (!fault.isEmpty())
            svc.control("market.download_fault", fault);
        openMarket();
        click("big", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("big", 20000));
        QCOMPARE(row("big")->error, message);
        QCOMPARE(downloads().size(), requests);
        QVERIFY(!QFileInfo::exists(partPath("big")));
    }

    void catalogueSizeOver2GiBIsRefused()
    {
        publish("huge", packageBytes());
        QJsonObject e = appEntry("huge");
        e.insert("size", "9999999999");
        setPage({e});
        openMarket();
        // The catalogue clamps to 2 GiB, which is still allowed; a row
        // larger than that can only come from elsewhere.
        QCOMPARE(row("huge")->size, qint64(2147483648LL));
        mutableRow("huge")->size = 2147483649LL;
        mutableRow("huge")->packageUrl = "https://cdn.example/x.zip";
        dlg->beginNetworkDownload(*mutableRow("huge"));
        QCOMPARE(row("huge")->error, translate(u"应用包大小异常，已拒绝下载"));
        QTest::qWait(200);
        QCOMPARE(downloads().size(), 0);
    }

    void expiredSignInResumesAfterSignIn()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        const QByteArray zip = packageBytes();
        publish("ex", zip);
        setPage({appEntry("ex", "1.0", zip.size())});
        svc.control("market.reject_token", obj({{"token", "stale"}}));
        openMarket("stale");
        QSignalSpy login(dlg.get(), &AppMarketDialog::loginRequested);
        click("ex", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("ex", 20000));
        QCOMPARE(row("ex")->error, translate(u"登录已失效，请重新登录（登录后自动继续下载）"));
        QCOMPARE(login.size(), 1);
        QVERIFY(dlg->loginWaitingIds().contains("ex"));
        dlg->setToken("fresh");
        QVERIFY(dlg->loginWaitingIds().isEmpty());
        QVERIFY(waitIdle("ex"));
        QCOMPARE(row("ex")->installedVersion, QStringLiteral("1.0"));
        QCOMPARE(downloads().last().toObject().value("token").toString(), QStringLiteral("fresh"));
    }

    void signedOutInstallAsksFirst()
    {
        publish("so", packageBytes());
        setPage({appEntry("so")});
        openMarket(QString());
        QSignalSpy login(dlg.get(), &AppMarketDialog::loginRequested);
        click("so", AppMarketDialog::kActionButton);
        QCOMPARE(login.size(), 1);
        QTest::qWait(300);
        // Nothing is fetched while nobody signed in.
        QCOMPARE(svc.requestsTo("/update/apps/so.json").size(), 0);
        QVERIFY(!row("so")->installing);
    }

    void failuresShowInTheRow_data()
    {
        QTest::addColumn<QJsonObject>("manifestExtra");
        QTest::addColumn<QJsonObject>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("server message") << QJsonObject()
                                        << obj({{"path", "/api/download.php"}, {"mode", "status"}, {"status", 500},
                                                {"raw", R"({"ok":0,"msg":"维护中"})"}})
                                        << QStringLiteral("维护中");
        QTest::newRow("server status") << QJsonObject()
                                       << obj({{"path", "/api/download.php"}, {"mode", "status"}, {"status", 503},
                                               {"raw", "down"}})
                                       << translate(u"下载失败（服务器 HTTP %1）").arg(503);
        QTest::newRow("launch with a backslash") << obj({{"launch", "bin\\run.sh"}}) << QJsonObject()
                                                 << translate(u"清单数据不完整");
        QTest::newRow("package url not http") << obj({{"url", "ftp://x/y.zip"}}) << QJsonObject()
                                              << translate(u"清单数据不完整");
        QTest::newRow("no checksum") << obj({{"sha256", ""}}) << QJsonObject() << translate(u"清单缺少校验值，已中止");
        QTest::newRow("manifest missing") << QJsonObject()
                                          << obj({{"path", "/update/apps/ff.json"}, {"mode", "status"}, {"status", 404},
                                                  {"raw", "{}"}})
                                          << translate(u"清单获取失败");
    }
    void failuresShowInTheRow()
    {
        QFETCH(QJsonObject, manifestExtra);
        QFETCH(QJsonObject, fault);
        QFETCH(QString, message);
        publish("ff", packageBytes(), manifestExtra);
        setPage({appEntry("ff")});
        if (!fault.isEmpty())
            svc.fault(fault);
        openMarket();
        click("ff", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("ff", 20000));
        QCOMPARE(row("ff")->error, message);
        QVERIFY(!QFileInfo::exists(partPath("ff")));
    }

    // A "+" in a version or a token reaches the service as a "+", not as
    // the blank a bare "+" in a query stands for; so do "&", "=" and "/".
    void queryValuesArriveAsSent()
    {
        publish("pv", packageBytes(), obj({{"version", "1.0.0+1"}}));
        setPage({appEntry("pv", "1.0.0+1")});
        const QString token = QStringLiteral("t+k/n=a&b c");
        openMarket(token);
        click("pv", AppMarketDialog::kActionButton);
        QTRY_VERIFY_WITH_TIMEOUT(!downloads().isEmpty(), 20000);
        const QJsonObject sent = downloads().first().toObject();
        QCOMPARE(sent.value("ver").toString(), QStringLiteral("1.0.0+1"));
        QCOMPARE(sent.value("token").toString(), token);
        QCOMPARE(sent.value("app").toString(), QStringLiteral("pv"));
        QVERIFY(waitIdle("pv"));
    }

    // The download address carries the token: a redirect may not take it
    // to another host, port or scheme.
    void downloadRedirectStaysOnTheServiceHost()
    {
        StandInService other;
        QString error;
        QVERIFY2(other.start(&error), qPrintable(error));
        setServiceHostOverride(svc.host());
        publish("rd", packageBytes());
        setPage({appEntry("rd")});
        svc.fault(obj({{"path", "/api/download.php"}, {"mode", "redirect"}, {"status", 307},
                       {"location", QString("https://" + other.host() + "/api/download.php?app=rd&token=tok")}}));
        openMarket();
        click("rd", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("rd", 20000));
        QVERIFY(!row("rd")->error.isEmpty());
        QCOMPARE(other.requests().size(), 0);
        QVERIFY(!QFileInfo::exists(partPath("rd")));
    }

    // An icon is cut off at its cap while it arrives, not buffered whole.
    void endlessIconStopsAtItsCap()
    {
        QJsonObject a = appEntry("big");
        a.insert("icon", QString("https://" + svc.host() + "/icons/big.png"));
        setPage({a});
        svc.fault(obj({{"path", "/icons/big.png"}, {"mode", "endless"}, {"chunk", 65536},
                       {"content_type", "image/png"}}));
        static QStringList ended;
        static QtMessageHandler previous = nullptr;
        ended.clear();
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text.startsWith(QLatin1String("online reply ended:")))
                ended << text;
            previous(type, context, text);
        });
        openMarket();
        const bool cut = QTest::qWaitFor([] { return !ended.isEmpty(); }, 30000);
        qInstallMessageHandler(previous);
        QVERIFY(cut);
        QVERIFY2(ended.first().contains(QLatin1String("over its cap")), qPrintable(ended.first()));
        QVERIFY2(ended.first().contains(QLatin1String("/icons/big.png")), qPrintable(ended.first()));
        // Qt stops reading at its buffer of the cap and one byte; what the
        // stand-in could send beside that sits in the sockets.
        const QJsonArray seen = svc.requestsTo("/icons/big.png");
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen.at(0).toObject().value("sent").toDouble() < 18.0 * 1024 * 1024,
                 qPrintable(QString::number(seen.at(0).toObject().value("sent").toDouble())));
        QVERIFY(row("big")->icon.isNull());
    }

    // The manifest's version names the package when the catalogue lags.
    void manifestVersionWins()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        publish("mv", packageBytes(), obj({{"version", "1.1"}}));
        setPage({appEntry("mv", "1.0")});
        openMarket();
        click("mv", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("mv"));
        QCOMPARE(downloads().first().toObject().value("ver").toString(), QStringLiteral("1.1"));
        QCOMPARE(downloads().first().toObject().value("file").toString(), QStringLiteral("mv-pkg.zip"));
        QCOMPARE(row("mv")->installedVersion, QStringLiteral("1.1"));
        QCOMPARE(AppMarketDialog::actionButtonText(*row("mv")), translate(u"升级"));
        QVERIFY(!lookupCachedPackage("mv", "1.1").isEmpty());
    }

    void pauseAndResume()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        const QByteArray zip = packageBytes();
        publish("pr", zip);
        setPage({appEntry("pr", "1.0", zip.size())});
        svc.control("market.download_fault", obj({{"mode", "slow"}, {"chunk", 2048}, {"gap", 0.05}}));
        openMarket();
        click("pr", AppMarketDialog::kActionButton);
        QTRY_VERIFY_WITH_TIMEOUT(row("pr")->received > 4096, 20000);
        click("pr", AppMarketDialog::kPauseButton);
        QTRY_VERIFY(!row("pr")->downloading);
        QVERIFY(row("pr")->paused);
        const qint64 kept = QFileInfo(partPath("pr")).size();
        QVERIFY(kept > 0 && kept < zip.size());
        QCOMPARE(AppMarketDialog::rowStatusText(*row("pr")).left(3), translate(u"已暂停 %1%").left(3));

        click("pr", AppMarketDialog::kPauseButton);   // now "继续"
        QVERIFY(waitIdle("pr"));
        QCOMPARE(row("pr")->installedVersion, QStringLiteral("1.0"));
        QCOMPARE(downloads().last().toObject().value("range").toString(), "bytes=" + QString::number(kept) + "-");
    }

    void cancelRemovesThePart()
    {
        const QByteArray zip = packageBytes();
        publish("cc", zip);
        setPage({appEntry("cc", "1.0", zip.size())});
        svc.control("market.download_fault", obj({{"mode", "slow"}, {"chunk", 1024}, {"gap", 0.1}}));
        openMarket();
        click("cc", AppMarketDialog::kActionButton);
        QTRY_VERIFY_WITH_TIMEOUT(row("cc")->received > 2048, 20000);
        click("cc", AppMarketDialog::kCancelButton);
        QTRY_VERIFY(!row("cc")->downloading && !row("cc")->reply);
        QVERIFY(!QFileInfo::exists(partPath("cc")));
        QVERIFY(row("cc")->error.isEmpty());
        QCOMPARE(AppMarketDialog::actionButtonText(*row("cc")), translate(u"安装"));
    }

    // Packages with unsafe entries are refused; the installed version and
    // the registry stay exactly as they were.
    void unsafePackagesLeaveTheOldInstall_data()
    {
        QTest::addColumn<QList<ZipEntry>>("entries");
        const ZipEntry run{QStringLiteral("run.sh"), "#!/bin/sh\necho v2\n", 0100755};
        auto with = [&](const ZipEntry& bad) { return QList<ZipEntry>{run, bad}; };
        QTest::newRow("../evil.txt") << with({QStringLiteral("../evil.txt"), "evil", 0100644});
        QTest::newRow("sub/../../evil.txt") << with({QStringLiteral("sub/../../evil.txt"), "evil", 0100644});
        QTest::newRow("sub\\..\\..\\evil.txt") << with({QStringLiteral("sub\\..\\..\\evil.txt"), "evil", 0});
        QTest::newRow("/abs.txt") << with({QStringLiteral("/abs.txt"), "evil", 0100644});
        QTest::newRow("C:evil.txt") << with({QStringLiteral("C:evil.txt"), "evil", 0});
        QTest::newRow("symbolic link") << with({QStringLiteral("out"), "../..", 0120777});
        QTest::newRow("file beneath a link")
            << QList<ZipEntry>{run, {QStringLiteral("out/evil.txt"), "evil", 0100644}, {QStringLiteral("out"), "../..", 0120777}};
    }
    void unsafePackagesLeaveTheOldInstall()
    {
        QFETCH(QList<ZipEntry>, entries);
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        // Version 1 as an earlier install left it.
        const QString appDir = appsRootDir() + "/safe";
        QVERIFY(testsupport::writeFile(appDir + "/run.sh", "#!/bin/sh\necho v1\n"));
        QVERIFY(testsupport::writeFile(appDir + "/data/keep.txt", "keep"));
        QVERIFY(testsupport::writeFile(registryPath(),
            QJsonDocument(obj({{"installed", QJsonArray{obj({{"id", "safe"}, {"version", "1.0"}, {"launch", "run.sh"},
                                                             {"dir", appDir}})}}})).toJson()));
        const QByteArray registryBefore = testsupport::readFile(registryPath());
        const QStringList treeBefore = treeOf(appsRootDir());

        publish("safe", testsupport::makeZip(entries), obj({{"version", "2.0"}}));
        setPage({appEntry("safe", "2.0")});
        openMarket();
        QCOMPARE(AppMarketDialog::actionButtonText(*row("safe")), translate(u"升级"));
        click("safe", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("safe"));
        QCOMPARE(row("safe")->error, translate(u"解压失败"));
        QCOMPARE(row("safe")->installedVersion, QStringLiteral("1.0"));
        QCOMPARE(testsupport::readFile(registryPath()), registryBefore);
        QCOMPARE(treeOf(appsRootDir()), treeBefore);
        QVERIFY(!QFileInfo::exists(QFileInfo(appsRootDir()).path() + "/evil.txt"));
        QVERIFY(!QFileInfo::exists(cachedAppDataDir() + "/evil.txt"));
    }

    void packageWithoutLaunchFileKeepsTheOldInstall()
    {
        if (powerShellProgram().isEmpty())
            QSKIP("pwsh is not installed");
        const QString appDir = appsRootDir() + "/nol";
        QVERIFY(testsupport::writeFile(appDir + "/run.sh", "v1"));
        QVERIFY(testsupport::writeFile(registryPath(),
            QJsonDocument(obj({{"installed", QJsonArray{obj({{"id", "nol"}, {"version", "1.0"}, {"launch", "run.sh"}})}}}))
                .toJson()));
        const QStringList before = treeOf(appDir);
        publish("nol", testsupport::makeZip({{QStringLiteral("readme.txt"), "no program", 0100644}}),
                obj({{"version", "2.0"}}));
        setPage({appEntry("nol", "2.0")});
        openMarket();
        click("nol", AppMarketDialog::kActionButton);
        QVERIFY(waitIdle("nol"));
        QCOMPARE(row("nol")->error, translate(u"包内缺少启动文件"));
        QCOMPARE(treeOf(appDir), before);
        QVERIFY(!QFileInfo::exists(appDir + ".__new"));
        QVERIFY(!QFileInfo::exists(appDir + ".__old"));
    }

    void registryEntriesAreValidated()
    {
        QVERIFY(testsupport::writeFile(registryPath(), R"({"installed":[
            {"id":"good","version":"1.0","launch":"run.sh"},
            {"id":"good","version":"1.1","launch":"run2.sh"},
            {"id":"../up","version":"1.0","launch":"run.sh"},
            {"id":"climb","version":"1.0","launch":"../../bin/sh"},
            {"id":"slash","version":"1.0","launch":"bin/sh"},
            {"id":"panel","version":"1.0","launch":"run.sh"}
        ]})"));
        dlg->loadRegistry();
        QCOMPARE(dlg->installedAppMap().keys(), QStringList({"good"}));
        QCOMPARE(dlg->installedAppMap().value("good"), (InstalledApp{"1.1", "run2.sh"}));
    }

    void launchStaysInsideTheAppFolder()
    {
        QTemporaryDir outside;
        QVERIFY(testsupport::writeFile(outside.path() + "/tool", "#!/bin/sh\n"));
        QVERIFY(QDir().mkpath(appsRootDir() + "/lk"));
        QVERIFY(QFile::link(outside.path() + "/tool", appsRootDir() + "/lk/run"));
        QVERIFY(testsupport::writeFile(appsRootDir() + "/ok/Run", "#!/bin/sh\n"));
        QVERIFY(testsupport::writeFile(registryPath(), R"({"installed":[
            {"id":"lk","version":"1.0","launch":"run"},
            {"id":"ok","version":"1.0","launch":"Run"},
            {"id":"case","version":"1.0","launch":"run"}
        ]})"));
        QVERIFY(testsupport::writeFile(appsRootDir() + "/case/RUN", "#!/bin/sh\n"));
        dlg->loadRegistry();
        QVERIFY(!dlg->launchApp("lk"));
        QVERIFY(!dlg->launchApp("case"));
        QVERIFY(!dlg->launchApp("none"));
        QVERIFY(launches.calls.isEmpty());
        QVERIFY(dlg->launchApp("ok"));
        QCOMPARE(launches.calls.size(), 1);
    }

    void webAppsOpenWithoutSignIn()
    {
        setPage({obj({{"id", "w"}, {"name", "Web"}, {"type", "web"}, {"url", "https://example.org/w"}})});
        openMarket(QString());
        QSignalSpy login(dlg.get(), &AppMarketDialog::loginRequested);
        // Web apps live on the second tab.
        dlg->relayout();
        for (const MarketHitArea& a : dlg->lastHitAreas()) {
            if (a.id == AppMarketDialog::kTabIdBase + 1)
                QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, a.rect.center());
        }
        QCOMPARE(dlg->selectedTab(), 1);
        click("w", AppMarketDialog::kActionButton);
        QCOMPARE(login.size(), 0);
        QCOMPARE(launches.calls.size(), 1);
        QCOMPARE(launches.calls[0].url, QUrl("https://example.org/w"));
    }

    // "Retry" on an installed, up-to-date row installs again; it does not
    // start the app.
    void retryDoesNotLaunch()
    {
        QVERIFY(testsupport::writeFile(appsRootDir() + "/rt/run.sh", "#!/bin/sh\n"));
        QVERIFY(testsupport::writeFile(registryPath(), R"({"installed":[{"id":"rt","version":"1.0","launch":"run.sh"}]})"));
        setPage({appEntry("rt", "1.0")});
        svc.fault(obj({{"path", "/update/apps/rt.json"}, {"mode", "status"}, {"status", 500}, {"raw", "{}"}, {"count", -1}}));
        openMarket();
        mutableRow("rt")->error = QStringLiteral("earlier failure");
        QCOMPARE(AppMarketDialog::actionButtonText(*row("rt")), translate(u"重试"));
        click("rt", AppMarketDialog::kActionButton);
        QVERIFY(launches.calls.isEmpty());
        QTRY_COMPARE(svc.requestsTo("/update/apps/rt.json").size(), 1);
    }
};

QTEST_MAIN(TestAppMarket)
#include "test_appmarket.moc"
