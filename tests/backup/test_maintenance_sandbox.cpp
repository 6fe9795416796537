// Uninstall and factory reset run for real: a copy of a panel executable in
// a temporary folder with its own HOME, XDG folders and TMPDIR starts its
// maintenance action, ends, and its script does the work. Afterwards
// exactly the expected files are gone.
#include "backup/maintenancescripts.h"

#include "testsupport.h"

#include <QProcess>
#include <QtTest>

namespace {

using Tree = testsupport::FileTree;
using testsupport::treeOf;

bool under(const QString& key, const QString& prefix)
{
    return key == prefix || key == prefix + QLatin1Char('/') || key.startsWith(prefix + QLatin1Char('/'));
}

// Processes whose command line mentions `needle`, zombies left out.
bool anyProcessMentions(const QByteArray& needle)
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool ok = false;
        pid.toLongLong(&ok);
        if (!ok)
            continue;
        QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!cmd.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray st = stat.readAll();
        const int close = st.lastIndexOf(')');
        if (close > 0 && st.mid(close + 2, 1) == "Z")
            continue;
        if (cmd.readAll().contains(needle))
            return true;
    }
    return false;
}

} // namespace

class TestMaintenanceSandbox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void uninstall_data();
    void uninstall();
    void factoryResetStartsAFreshPanel();

private:
    // Copies the driver into `programDir` as the panel's executable.
    void install(const QString& programDir, bool portable, bool marked);
    // Runs the copy with `action` in the sandbox's environment; its exit code.
    int runPanel(const QString& action);
    QString dataRootOf(bool portable) const;
    // The start of every folder a maintenance script runs from.
    QString runFolders() const { return sandbox + QStringLiteral("/runtime/maintenance-"); }

    QString sandbox;
    QString program;
    QString executable;
};

void TestMaintenanceSandbox::init()
{
    sandbox = testsupport::testRoot() + QStringLiteral("/box-") + QString::fromLatin1(QTest::currentTestFunction())
        + QLatin1Char('-') + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    QDir(sandbox).removeRecursively();
    for (const char* d : { "home/Desktop", "config/autostart", "data/applications", "cache", "state", "runtime", "tmp",
                           "etc-xdg" })
        QVERIFY(QDir().mkpath(sandbox + QLatin1Char('/') + QLatin1String(d)));
    QFile::setPermissions(sandbox + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    program = sandbox + QStringLiteral("/opt/Quillory");
    executable = program + QStringLiteral("/TarnavelPanel");
}

void TestMaintenanceSandbox::cleanup()
{
    // Nothing started in the sandbox may outlive the test.
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessMentions(sandbox.toUtf8()), 30000);
}

void TestMaintenanceSandbox::install(const QString& programDir, bool portable, bool marked)
{
    const QString driver = QCoreApplication::applicationDirPath() + QStringLiteral("/qy_maintenance_driver");
    QVERIFY2(QFileInfo(driver).isExecutable(), qPrintable(driver));
    QVERIFY(QDir().mkpath(programDir));
    QVERIFY(QFile::copy(driver, executable));
    QVERIFY(QFile::setPermissions(executable, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(testsupport::writeFile(programDir + QStringLiteral("/lib/readme.txt"), "shipped"));
    if (portable)
        QVERIFY(testsupport::writeFile(programDir + QStringLiteral("/portable.ini"), ""));
    if (marked)
        QVERIFY(testsupport::writeFile(installMarkerPath(programDir), "TarnavelPanel install\n"));
}

QString TestMaintenanceSandbox::dataRootOf(bool portable) const
{
    return portable ? program + QStringLiteral("/data") : sandbox + QStringLiteral("/data/Tarnavel/TarnavelPanel");
}

int TestMaintenanceSandbox::runPanel(const QString& action)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), sandbox + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), sandbox + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), sandbox + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), sandbox + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), sandbox + QStringLiteral("/state"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), sandbox + QStringLiteral("/runtime"));
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), sandbox + QStringLiteral("/etc-xdg"));
    env.insert(QStringLiteral("TMPDIR"), sandbox + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QY_SANDBOX_MARK"), sandbox + QStringLiteral("/restarted.txt"));
    QProcess panel;
    panel.setProcessEnvironment(env);
    panel.setWorkingDirectory(sandbox);
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(executable, { action });
    if (!panel.waitForFinished(60000)) {
        panel.kill();
        panel.waitForFinished();
        return -1;
    }
    return panel.exitStatus() == QProcess::NormalExit ? panel.exitCode() : -2;
}

void TestMaintenanceSandbox::uninstall_data()
{
    QTest::addColumn<bool>("portable");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<bool>("full");
    QTest::addColumn<bool>("programGone");
    QTest::addColumn<bool>("dataGone");
    QTest::newRow("installed copy, full") << false << true << true << true << true;
    QTest::newRow("installed copy, keep config") << false << true << false << true << false;
    QTest::newRow("copy without marker, full") << false << false << true << false << true;
    QTest::newRow("portable copy, keep config") << true << false << false << false << false;
    QTest::newRow("portable copy, full") << true << false << true << false << true;
}

void TestMaintenanceSandbox::uninstall()
{
    QFETCH(bool, portable);
    QFETCH(bool, marked);
    QFETCH(bool, full);
    QFETCH(bool, programGone);
    QFETCH(bool, dataGone);
    install(program, portable, marked);
    const QString data = dataRootOf(portable);
    QVERIFY(testsupport::writeFile(data + QStringLiteral("/notes/mine.txt"), "user data"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/home/Desktop/Quillory.desktop"), "[Desktop Entry]\n"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/home/Desktop/Other.desktop"), "[Desktop Entry]\n"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/data/applications/Quillory.desktop"), "[Desktop Entry]\n"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/home/keep.txt"), "home"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/opt/Other/keep.txt"), "neighbour"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/data/Tarnavel/Other/keep.txt"), "other program"));
    // Where the script's name once lay in the shared temporary folder, a
    // link to a file of the user's.
    QVERIFY(QFile::link(sandbox + QStringLiteral("/home/keep.txt"), sandbox + QStringLiteral("/tmp/Quillory_uninstall.sh")));
    const Tree before = treeOf(sandbox);

    QCOMPARE(runPanel(full ? QStringLiteral("--uninstall-full") : QStringLiteral("--uninstall-keep")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessMentions(QFile::encodeName(runFolders())), 30000);
    QVERIFY(QDir(sandbox + QStringLiteral("/runtime")).entryList({ QStringLiteral("maintenance-*") }, QDir::AllEntries | QDir::Hidden).isEmpty());

    QCOMPARE(!QFileInfo::exists(program), programGone);
    QCOMPARE(!QFileInfo::exists(data), dataGone);
    QVERIFY(!QFileInfo::exists(sandbox + QStringLiteral("/home/Desktop/Quillory.desktop")));
    QVERIFY(!QFileInfo::exists(sandbox + QStringLiteral("/data/applications/Quillory.desktop")));
    QVERIFY(!QFileInfo::exists(sandbox + QStringLiteral("/config/autostart/TarnavelPanel.desktop")));
    if (!dataGone)
        QCOMPARE(testsupport::readFile(data + QStringLiteral("/notes/mine.txt")), QByteArray("user data"));

    // Everything else that was there is there as it was. The data root of
    // a kept configuration was saved again on the way out.
    const Tree after = treeOf(sandbox);
    QStringList changed;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (under(it.key(), QStringLiteral("home/Desktop/Quillory.desktop"))
            || under(it.key(), QStringLiteral("data/applications/Quillory.desktop"))
            || (programGone && under(it.key(), QStringLiteral("opt/Quillory")))
            || under(it.key(), data.mid(sandbox.size() + 1)))
            continue;
        if (after.value(it.key(), "\x01missing") != it.value())
            changed << it.key();
    }
    QVERIFY2(changed.isEmpty(), qPrintable(changed.join(QLatin1Char(' '))));
}

void TestMaintenanceSandbox::factoryResetStartsAFreshPanel()
{
    install(program, true, false);
    const QString data = dataRootOf(true);
    QVERIFY(testsupport::writeFile(data + QStringLiteral("/notes/mine.txt"), "user data"));
    QVERIFY(testsupport::writeFile(data + QStringLiteral("/layout.json"),
                                   "{\"groups\":[{\"name\":\"Mine\",\"items\":[]}]}"));
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/home/keep.txt"), "home"));

    QCOMPARE(runPanel(QStringLiteral("--factory-reset")), 0);
    // The script started the panel again, detached, in a session of its own.
    const QString mark = sandbox + QStringLiteral("/restarted.txt");
    QTRY_VERIFY_WITH_TIMEOUT(testsupport::readFile(mark).endsWith('\n'), 60000);
    const QList<QByteArray> ids = testsupport::readFile(mark).trimmed().split(' ');
    QCOMPARE(ids.size(), 2);
    QCOMPARE(ids.at(0), ids.at(1));

    QVERIFY(!QFileInfo::exists(data + QStringLiteral("/notes")));
    // The first run's state: default groups, not the user's.
    const QByteArray layout = testsupport::readFile(data + QStringLiteral("/layout.json"));
    QVERIFY(!layout.isEmpty());
    QVERIFY(!layout.contains("Mine"));
    QCOMPARE(testsupport::readFile(sandbox + QStringLiteral("/home/keep.txt")), QByteArray("home"));
    QVERIFY(QFileInfo::exists(executable));
    QTRY_VERIFY_WITH_TIMEOUT(!anyProcessMentions(QFile::encodeName(runFolders())), 30000);
    QVERIFY(QDir(sandbox + QStringLiteral("/runtime")).entryList({ QStringLiteral("maintenance-*") }, QDir::AllEntries | QDir::Hidden).isEmpty());
}

QTEST_MAIN(TestMaintenanceSandbox)
#include "test_maintenance_sandbox.moc"
