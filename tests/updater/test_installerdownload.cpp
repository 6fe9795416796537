// The installer download (https only, size and SHA-256 checked before the
// installer is kept) and the hand-off, whose script is run for real in a
// sandbox against a stand-in installer and stand-in copies of the panel.
#include "app/lang.h"
#include "app/servicehost.h"
#include "testsupport.h"
#include "updater/updatedialog.h"
#include "updater/updatehandoff.h"
#include "updaterharness.h"

#include <QProcess>
#include <QTemporaryDir>

using testsupport::StandInService;
using namespace updatertest;

namespace {

// Leaves a copy of itself beside its run's folder, where the script's
// clean-up does not reach.
const char kQuietInstaller[] = "#!/bin/sh\ncat \"$0\" > \"${0%/*}/../installer.ran.part\"\n"
                               "mv \"${0%/*}/../installer.ran.part\" \"${0%/*}/../installer.ran\"\n";

QString ranFile()
{
    return updateRunBase() + QStringLiteral("/installer.ran");
}

// The folders of update runs that are still there.
QStringList runFolders()
{
    return QDir(updateRunBase()).entryList({QStringLiteral("update-*")}, QDir::AllEntries | QDir::Hidden);
}

bool copyExecutable(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    return QFile::copy(from, to)
           && QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace

class TestInstallerDownload : public QObject {
    Q_OBJECT
    StandInService svc;
    QTemporaryDir sandbox;

    QString fileUrl(const QString& path) const { return QStringLiteral("https://") + svc.host() + path; }

    // Offers an update whose manifest names `url`, `sha` and `size`; the
    // dialog is up afterwards.
    bool offer(UpdaterHarness& h, const QString& url, const QString& sha, qint64 size)
    {
        if (!publish(svc, QStringLiteral("panel"), manifestFields(QStringLiteral("1.0.252"), url, sha, size)).isEmpty())
            return false;
        h.updater->checkForUpdates(false, true);
        return h.settle() && h.updater->dialog() && h.updater->dialog()->isVisible();
    }

    // A harness whose hand-off can never reach a real process: it waits for
    // no process and ends copies of an executable nothing runs.
    void confine(UpdaterHarness& h)
    {
        h.updater->setHandOffTarget(0, sandbox.filePath(QStringLiteral("nothing-runs-this/TarnavelPanel")));
    }

    bool clickAndWait(UpdaterHarness& h)
    {
        h.updater->onUpdateClicked();
        return QTest::qWaitFor(
            [&] { return h.noticeStops > 0 && (!h.updater->isDownloading() || h.endCalls > 0); }, 30000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(sandbox.isValid());
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
        svc.control(QStringLiteral("update.history"));
        QFile::remove(ranFile());
    }

    void failures_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("sha");
        QTest::addColumn<qint64>("announced");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("status");
        const QString network = translate(u"下载失败，请检查网络后重试");
        const QString verify = translate(u"安装包校验失败，已取消更新");
        QTest::newRow("http address") << "http" << "right" << qint64(-1) << qint64(0)
                                      << translate(u"更新地址无效，已取消");
        QTest::newRow("not an address") << "garbage" << "right" << qint64(-1) << qint64(0)
                                        << translate(u"更新地址无效，已取消");
        QTest::newRow("not found") << "missing" << "right" << qint64(-1) << qint64(0) << network;
        QTest::newRow("digest differs") << "file" << "wrong" << qint64(-1) << qint64(0) << verify;
        QTest::newRow("no digest") << "file" << "empty" << qint64(-1) << qint64(0) << verify;
        QTest::newRow("longer than announced") << "file" << "right" << qint64(4000) << qint64(0) << verify;
        QTest::newRow("shorter than announced") << "file" << "right" << qint64(5000) << qint64(0) << verify;
        QTest::newRow("over the size limit") << "file" << "right" << qint64(0) << qint64(1000) << network;
        QTest::newRow("untrusted certificate") << "untrusted" << "right" << qint64(-1) << qint64(0)
                                               << translate(u"下载失败（服务器证书校验未通过）");
    }
    void failures()
    {
        QFETCH(QString, where);
        QFETCH(QString, sha);
        QFETCH(qint64, announced);
        QFETCH(qint64, limit);
        QFETCH(QString, status);
        const QJsonObject file = svc.control(QStringLiteral("update.installer"),
                                             {{QStringLiteral("name"), QStringLiteral("setup.bin")},
                                              {QStringLiteral("bytes"), 4096}});
        const QString digest = sha == QLatin1String("right") ? file.value(QStringLiteral("sha256")).toString()
                               : sha == QLatin1String("wrong") ? QString(64, QLatin1Char('0'))
                                                              : QString();
        StandInService other;
        QString url = fileUrl(file.value(QStringLiteral("path")).toString());
        if (where == QLatin1String("http"))
            url.replace(QStringLiteral("https:"), QStringLiteral("http:"));
        else if (where == QLatin1String("garbage"))
            url = QStringLiteral("https://[::1");
        else if (where == QLatin1String("missing"))
            url = fileUrl(QStringLiteral("/update/files/none.bin"));
        else if (where == QLatin1String("untrusted")) {
            QString error;
            QVERIFY2(other.start(&error, StandInService::Trust::Untrusted), qPrintable(error));
            url = QStringLiteral("https://") + other.host() + QStringLiteral("/update/files/setup.bin");
        }

        QVERIFY(testsupport::writeFile(updateRunBase() + QStringLiteral("/update-killed/panel_update_setup.exe.Ab12Cd"), "part"));
        QVERIFY(QDir().mkpath(updateRunBase() + QStringLiteral("/update-recent")));
        QVERIFY(QProcess::execute(QStringLiteral("touch"), {QStringLiteral("-d"), QStringLiteral("2 days ago"),
                                                            updateRunBase() + QStringLiteral("/update-killed")}) == 0);
        UpdaterHarness h;
        confine(h);
        if (limit > 0)
            h.updater->setInstallerSizeLimit(limit);
        QVERIFY(offer(h, url, digest, announced < 0 ? 4096 : announced));
        // Only the failures of the transfer itself log the rejection.
        if (status == translate(u"下载失败，请检查网络后重试") || status == translate(u"下载失败（服务器证书校验未通过）"))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^update download rejected: http =")));
        QVERIFY(clickAndWait(h));

        QCOMPARE(h.endCalls, 0);
        QVERIFY(!h.updater->isDownloading());
        QCOMPARE(h.noticeStops, 1);
        QCOMPARE(h.noticeResumes, 1);
        QCOMPARE(h.updater->dialog()->status(), status);
        // Nothing of the failed run stays behind, nor what a killed run left
        // a day ago; a recent run's folder may still be in use.
        QCOMPARE(runFolders(), QStringList{QStringLiteral("update-recent")});
        if (where == QLatin1String("http"))
            QVERIFY(svc.requestsTo(QStringLiteral("/update/files/setup.bin")).isEmpty());

        QDir(updateRunBase() + QStringLiteral("/update-recent")).removeRecursively();
        // The failure text stays, with the busy button, until the next offer.
        UpdateDialog* d = h.updater->dialog();
        QTest::mouseClick(d, Qt::LeftButton, {}, UpdateDialog::areasFor(d->size()).update.center());
        QTest::qWait(20);
        QCOMPARE(d->status(), status);
        QCOMPARE(h.noticeStops, 1);
        h.updater->checkForUpdates(false, true);
        QVERIFY(h.settle());
        QVERIFY(h.updater->dialog()->status().isEmpty());
    }

    void clicksThatDoNothing()
    {
        UpdaterHarness h;
        confine(h);
        h.updater->onUpdateClicked();
        QTest::qWait(50);
        QCOMPARE(h.noticeStops, 0);
        QVERIFY(svc.requests().isEmpty());
    }

    // While the installer streams in, a second click and a manual check
    // change nothing.
    void busyDownload()
    {
        const QJsonObject file = svc.control(QStringLiteral("update.installer"),
                                             {{QStringLiteral("name"), QStringLiteral("slow.bin")},
                                              {QStringLiteral("bytes"), 4096}});
        svc.fault({{QStringLiteral("path"), QStringLiteral("/update/files/slow.bin")},
                   {QStringLiteral("mode"), QStringLiteral("trickle")},
                   {QStringLiteral("chunk"), 256},
                   {QStringLiteral("gap"), 0.2}});
        UpdaterHarness h;
        confine(h);
        QVERIFY(offer(h, fileUrl(file.value(QStringLiteral("path")).toString()), QString(64, QLatin1Char('0')), 4096));
        h.updater->onUpdateClicked();
        QTRY_VERIFY(h.updater->isDownloading());
        h.updater->onUpdateClicked();
        h.updater->checkForUpdates(false, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.nam.findChildren<QNetworkReply*>().size() == 1, 10000);
        QVERIFY(h.updater->isDownloading());
        QVERIFY(h.toasts.isEmpty());
        QVERIFY(h.updater->dialog()->isVisible());
        QVERIFY(!h.updater->dialog()->status().isEmpty());
        QVERIFY(h.settle(30000));
        QCOMPARE(svc.requestsTo(QStringLiteral("/update/files/slow.bin")).size(), 1);
        QCOMPARE(h.updater->dialog()->status(), translate(u"安装包校验失败，已取消更新"));
    }

    // A disk that takes only part of the installer: nothing is kept and
    // nothing is handed over.
    void diskFull()
    {
        const QJsonObject file = svc.control(QStringLiteral("update.installer"),
                                             {{QStringLiteral("name"), QStringLiteral("big.bin")},
                                              {QStringLiteral("bytes"), 8192}});
        UpdaterHarness h;
        confine(h);
        QVERIFY(offer(h, fileUrl(file.value(QStringLiteral("path")).toString()),
                      file.value(QStringLiteral("sha256")).toString(), 8192));
        testsupport::FileSizeLimit full(1000);
        QVERIFY(full.active());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^update download rejected: http =")));
        QVERIFY(clickAndWait(h));
        QCOMPARE(h.endCalls, 0);
        QVERIFY(runFolders().isEmpty());
        QCOMPARE(h.updater->dialog()->status(), translate(u"下载失败，请检查网络后重试"));
    }

    // The accepted installer is run by the hand-off script, which is
    // written and started before the process ends; both are removed after
    // use.
    void handOff_data()
    {
        QTest::addColumn<bool>("upperCaseDigest");
        QTest::newRow("digest as served") << false;
        QTest::newRow("digest in upper case") << true;
    }
    void handOff()
    {
        QFETCH(bool, upperCaseDigest);
        const QJsonObject file = svc.control(QStringLiteral("update.installer"),
                                             {{QStringLiteral("name"), QStringLiteral("quiet.bin")},
                                              {QStringLiteral("text"), QString::fromLatin1(kQuietInstaller)}});
        QString digest = file.value(QStringLiteral("sha256")).toString();
        if (upperCaseDigest)
            digest = digest.toUpper();
        UpdaterHarness h;
        confine(h);
        QVERIFY(offer(h, fileUrl(file.value(QStringLiteral("path")).toString()), digest,
                      file.value(QStringLiteral("size")).toInteger()));
        QTest::ignoreMessage(QtInfoMsg, "update: installer launched, hard-exiting process");
        QVERIFY(clickAndWait(h));
        QCOMPARE(h.endCalls, 1);
        QCOMPARE(h.noticeResumes, 0);
        QCOMPARE(h.updater->dialog()->status(), translate(u"准备安装…"));
        // The script runs the installer at once: nothing it waits for runs.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ranFile()), 30000);
        QCOMPARE(testsupport::readFile(ranFile()), QByteArray(kQuietInstaller));
        QTRY_VERIFY_WITH_TIMEOUT(runFolders().isEmpty(), 30000);
    }

    // The script itself, run detached in the sandbox: it waits for the
    // panel's process, ends the other copy of the panel's executable but
    // not a program of the same name elsewhere, and then runs the
    // installer with the silent switches.
    void handOffInSandbox()
    {
        const QString realSleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
        QVERIFY(!realSleep.isEmpty());
        const QString panelExe = sandbox.filePath(QStringLiteral("it's a \"portable\" copy/TarnavelPanel"));
        const QString decoyExe = sandbox.filePath(QStringLiteral("elsewhere/TarnavelPanel"));
        QVERIFY(copyExecutable(realSleep, panelExe));
        QVERIFY(copyExecutable(realSleep, decoyExe));
        QProcess panel, sibling, decoy;
        for (QProcess* p : {&panel, &sibling}) {
            p->start(panelExe, {QStringLiteral("60")});
            QVERIFY(p->waitForStarted());
        }
        decoy.start(decoyExe, {QStringLiteral("60")});
        QVERIFY(decoy.waitForStarted());

        QString installer = QStringLiteral("#!/bin/sh\n{\n  printf '%s\\n' \"$@\"\n");
        for (const QProcess* p : {&panel, &sibling, &decoy})
            installer += QStringLiteral("  readlink /proc/%1/exe >/dev/null 2>&1 && echo alive || echo gone\n")
                             .arg(p->processId());
        const QString ran = sandbox.filePath(QStringLiteral("handoff.ran"));
        QFile::remove(ran);
        installer += QStringLiteral("} > %1.part && mv %1.part %1\n").arg(QString::fromUtf8(shellQuoted(QFile::encodeName(ran))));
        const QJsonObject file = svc.control(QStringLiteral("update.installer"),
                                             {{QStringLiteral("name"), QStringLiteral("setup.sh.bin")},
                                              {QStringLiteral("text"), installer}});

        UpdaterHarness h;
        h.updater->setHandOffTarget(panel.processId(), panelExe);
        // The panel's process ends a moment after the script started: the
        // script must wait for it.
        h.onEnd = [&panel] { QTimer::singleShot(1000, &panel, [&panel] { panel.kill(); }); };
        QVERIFY(offer(h, fileUrl(file.value(QStringLiteral("path")).toString()),
                      file.value(QStringLiteral("sha256")).toString(), file.value(QStringLiteral("size")).toInteger()));
        QTest::ignoreMessage(QtInfoMsg, "update: installer launched, hard-exiting process");
        QVERIFY(clickAndWait(h));
        QCOMPARE(h.endCalls, 1);

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ran), 60000);
        const QStringList lines = QString::fromUtf8(testsupport::readFile(ran)).split(QLatin1Char('\n'),
                                                                                          Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{QStringLiteral("/SILENT"), QStringLiteral("/SUPPRESSMSGBOXES"),
                                     QStringLiteral("/NORESTART"), QStringLiteral("/CLOSEAPPLICATIONS"),
                                     QStringLiteral("/FORCECLOSEAPPLICATIONS"), QStringLiteral("gone"),
                                     QStringLiteral("gone"), QStringLiteral("alive")}));
        QTRY_COMPARE(sibling.state(), QProcess::NotRunning);
        QCOMPARE(sibling.exitStatus(), QProcess::CrashExit);
        QCOMPARE(decoy.state(), QProcess::Running);
        decoy.kill();
        decoy.waitForFinished();
        panel.waitForFinished();
    }

    // The real default: a link planted in the shared temporary folder under
    // the name the script once had is never written through, and the
    // script and installer run from a folder only this user can enter,
    // which is gone once the installer has ended.
    void handOffIgnoresAPlantedLink()
    {
        const QString victim = sandbox.filePath(QStringLiteral("victim/.profile"));
        QVERIFY(testsupport::writeFile(victim, "export PATH=/usr/bin\n"));
        const QString planted = QDir::tempPath() + QStringLiteral("/Quillory_update.sh");
        QFile::remove(planted);
        QVERIFY(QFile::link(victim, planted));
        const QString ran = sandbox.filePath(QStringLiteral("planted-link.ran"));
        QFile::remove(ran);
        // The installer notes where it lies and who may enter that folder.
        const QString text = QStringLiteral("#!/bin/sh\nstat -c '%a %n' \"${0%/*}\" > %1.part && mv %1.part %1\n")
                                 .arg(QString::fromUtf8(shellQuoted(QFile::encodeName(ran))));
        const QJsonObject file = svc.control(QStringLiteral("update.installer"),
                                             {{QStringLiteral("name"), QStringLiteral("noting.bin")},
                                              {QStringLiteral("text"), text}});
        UpdaterHarness h;
        h.updater->setHandOffTarget(0, sandbox.filePath(QStringLiteral("nothing-runs-this/TarnavelPanel")));
        QVERIFY(offer(h, fileUrl(file.value(QStringLiteral("path")).toString()),
                      file.value(QStringLiteral("sha256")).toString(), file.value(QStringLiteral("size")).toInteger()));
        QTest::ignoreMessage(QtInfoMsg, "update: installer launched, hard-exiting process");
        QVERIFY(clickAndWait(h));
        QCOMPARE(h.endCalls, 1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ran), 30000);

        QCOMPARE(testsupport::readFile(victim), QByteArray("export PATH=/usr/bin\n"));
        QCOMPARE(QFileInfo(victim).permissions() & QFileDevice::ExeOwner, QFileDevice::Permissions());
        QCOMPARE(QFileInfo(planted).symLinkTarget(), victim);
        const QString line = QString::fromUtf8(testsupport::readFile(ran)).trimmed();
        const QString folder = line.section(QLatin1Char(' '), 1);
        QCOMPARE(line.section(QLatin1Char(' '), 0, 0), QStringLiteral("700"));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(folder), 30000);
        QFile::remove(planted);
    }

    // Values reach sh as one word whatever they hold.
    void quoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "/opt/panel/TarnavelPanel";
        QTest::newRow("blanks") << "/home/a b/x y";
        QTest::newRow("single quotes") << "/tmp/it's/'quoted'";
        QTest::newRow("shell syntax") << "/tmp/$(touch pwned)/`id`/$HOME/\"x\"/;|&<>*?";
        QTest::newRow("non-ASCII") << QString::fromUtf8("/数据/更新");
        QTest::newRow("empty") << "";
    }
    void quoting()
    {
        QFETCH(QString, value);
        QProcess sh;
        sh.setWorkingDirectory(sandbox.path());
        sh.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QString::fromUtf8("printf '%s' " + shellQuoted(value.toUtf8()))});
        QVERIFY(sh.waitForFinished());
        QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), value);
        QVERIFY(!QFile::exists(sandbox.filePath(QStringLiteral("pwned"))));
    }
};

QTEST_MAIN(TestInstallerDownload)
#include "test_installerdownload.moc"
