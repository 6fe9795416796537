// Uninstall and factory-reset scripts, run for real by sh in a sandbox
// (its own home, XDG folders and program folder under the test's temporary
// root): afterwards exactly the expected files are gone and nothing else;
// every refused path leaves everything in place. The panel whose end the
// scripts await is a stand-in process.
#include "backup/maintenancescripts.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

namespace {

using Tree = testsupport::FileTree;
using testsupport::treeOf;

Tree without(Tree tree, const QStringList& removed)
{
    for (auto it = tree.begin(); it != tree.end();) {
        bool gone = false;
        for (const QString& r : removed)
            gone = gone || it.key() == r || it.key().startsWith(r + QLatin1Char('/')) || it.key() == r + QLatin1Char('/');
        it = gone ? tree.erase(it) : std::next(it);
    }
    return tree;
}

// Writes a script text as the panel does, into a run folder of its own in
// `base`, runs it with sh and waits for its end.
bool runScript(const QString& base, const QString& name, const QString& text, QString* written = nullptr)
{
    QString path;
    if (writeMaintenanceScript(base, name, text, &path) != ScriptWrite::Ok)
        return false;
    if (written)
        *written = path;
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"), { path });
    return sh.waitForFinished(60000) && sh.exitStatus() == QProcess::NormalExit;
}

QStringList diffKeys(const Tree& a, const Tree& b)
{
    QStringList keys;
    for (auto it = a.begin(); it != a.end(); ++it)
        if (b.value(it.key(), "\x01missing") != it.value())
            keys << QStringLiteral("-") + it.key();
    for (auto it = b.begin(); it != b.end(); ++it)
        if (!a.contains(it.key()))
            keys << QStringLiteral("+") + it.key();
    return keys;
}

} // namespace

class TestMaintenanceScripts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void quotingSurvivesSh_data();
    void quotingSurvivesSh();
    void removablePath_data();
    void removablePath();
    void installMarkerOnlyForInstalledCopies_data();
    void installMarkerOnlyForInstalledCopies();
    void uninstallRemovesExactlyItsFiles_data();
    void uninstallRemovesExactlyItsFiles();
    void refusedPathsStayInPlace_data();
    void refusedPathsStayInPlace();
    void panelOutlivingTheWaitIsEndedByPid();
    void anotherProgramOnThePidIsLeftAlone();
    void factoryResetEmptiesAndRestarts();
    void factoryResetGuard_data();
    void factoryResetGuard();
    void scriptLiesInAFolderOfItsOwn();
    void linkedDataRoot_data();
    void linkedDataRoot();

private:
    // A sandbox with a home, XDG folders, an installed program folder and a
    // data root, and a context that points at them.
    void buildSandbox();
    // Starts the stand-in panel (a copy of sleep in the program folder).
    qint64 startPanel(const QString& seconds);

    QString sandbox;
    QString program;
    QString data;
    MaintenanceContext context;
    QList<QProcess*> processes;
};

void TestMaintenanceScripts::init()
{
    sandbox = testsupport::testRoot() + QStringLiteral("/sandbox-") + QString::fromLatin1(QTest::currentTestFunction())
        + QLatin1Char('-') + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    QDir(sandbox).removeRecursively();
    buildSandbox();
}

void TestMaintenanceScripts::cleanup()
{
    for (QProcess* p : std::as_const(processes)) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
        delete p;
    }
    processes.clear();
}

void TestMaintenanceScripts::buildSandbox()
{
    using testsupport::writeFile;
    program = sandbox + QStringLiteral("/opt/Quillory");
    data = sandbox + QStringLiteral("/data/Tarnavel/TarnavelPanel");
    QVERIFY(QDir().mkpath(program));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program + QStringLiteral("/TarnavelPanel")));
    QVERIFY(QFile::setPermissions(program + QStringLiteral("/TarnavelPanel"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(writeFile(program + QStringLiteral("/lib/libextra.so"), "lib"));
    QVERIFY(writeFile(program + QStringLiteral("/") + QLatin1String(kInstallMarkerName), "TarnavelPanel install\n"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/opt/Neighbour/keep.txt"), "neighbour"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/opt/Quillory-notes.txt"), "beside the program"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/home/notes.txt"), "home"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/home/Desktop/Quillory.desktop"), "[Desktop Entry]\n"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/home/Desktop/Other.desktop"), "[Desktop Entry]\n"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/share/applications/Quillory.desktop"), "[Desktop Entry]\n"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/share/applications/other.desktop"), "[Desktop Entry]\n"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/config/autostart/TarnavelPanel.desktop"), "[Desktop Entry]\n"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/config/autostart/Other.desktop"), "[Desktop Entry]\n"));
    QVERIFY(writeFile(data + QStringLiteral("/layout.json"), "{}"));
    QVERIFY(writeFile(data + QStringLiteral("/.hidden"), "dot"));
    QVERIFY(writeFile(data + QStringLiteral("/logs/2025-03-01/app.log"), "log"));
    QVERIFY(writeFile(sandbox + QStringLiteral("/data/Tarnavel/Other/keep.txt"), "other program"));
    QVERIFY(QDir().mkpath(sandbox + QStringLiteral("/tmp")));

    context = MaintenanceContext();
    context.executable = program + QStringLiteral("/TarnavelPanel");
    context.programDir = program;
    context.home = sandbox + QStringLiteral("/home");
    context.dataRoot = data;
    context.knownDataRoot = data;
    context.desktopDir = sandbox + QStringLiteral("/home/Desktop");
    context.applicationsDir = sandbox + QStringLiteral("/share/applications");
    context.autostartEntry = sandbox + QStringLiteral("/config/autostart/TarnavelPanel.desktop");
    context.waitTenths = 100;
}

qint64 TestMaintenanceScripts::startPanel(const QString& seconds)
{
    auto* p = new QProcess;
    processes << p;
    p->start(context.executable, { seconds });
    if (!p->waitForStarted(5000))
        return 0;
    return p->processId();
}

void TestMaintenanceScripts::quotingSurvivesSh_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << QStringLiteral("/opt/Quillory");
    QTest::newRow("apostrophes") << QStringLiteral("/home/o'neil/it's'");
    QTest::newRow("shell characters") << QStringLiteral("$HOME `id` $(id) \\ \" ; & | * ? ~ #");
    QTest::newRow("newline") << QStringLiteral("a\nb");
    QTest::newRow("option-like") << QStringLiteral("-rf");
    QTest::newRow("unicode") << QStringLiteral("/tmp/日志 备份");
    QTest::newRow("empty") << QString();
}

void TestMaintenanceScripts::quotingSurvivesSh()
{
    QFETCH(QString, value);
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("v=%1; printf %s \"$v\"").arg(shQuote(value)) });
    QVERIFY(sh.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), value);
}

void TestMaintenanceScripts::removablePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("verdict");
    const QString home = QStringLiteral("/home/u");
    QTest::newRow("root") << QStringLiteral("/") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("root with dots") << QStringLiteral("/./") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("home") << home << int(RemovalVerdict::RootOrHome);
    QTest::newRow("home, trailing slash") << QStringLiteral("/home/u/") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("home through ..") << QStringLiteral("/home/u/x/..") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("ancestor of home") << QStringLiteral("/home") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("two components") << QStringLiteral("/opt") << int(RemovalVerdict::TooShort);
    QTest::newRow("relative") << QStringLiteral("opt/Quillory") << int(RemovalVerdict::NotAbsolute);
    QTest::newRow("empty") << QString() << int(RemovalVerdict::NotAbsolute);
    QTest::newRow("three components") << QStringLiteral("/opt/Quillory") << int(RemovalVerdict::Allowed);
    QTest::newRow("inside home") << QStringLiteral("/home/u/.local/share/Tarnavel/TarnavelPanel")
                                 << int(RemovalVerdict::Allowed);
    QTest::newRow("sibling of home") << QStringLiteral("/home/u2") << int(RemovalVerdict::Allowed);
}

void TestMaintenanceScripts::removablePath()
{
    QFETCH(QString, path);
    QFETCH(int, verdict);
    QCOMPARE(int(checkRemovablePath(path, QStringLiteral("/home/u"))), verdict);
}

void TestMaintenanceScripts::installMarkerOnlyForInstalledCopies_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("portable");
    QTest::addColumn<bool>("marked");
    QTest::newRow("own folder") << QStringLiteral("/apps/Quillory") << false << true;
    QTest::newRow("other spelling") << QStringLiteral("/apps/tarnavelpanel") << false << true;
    QTest::newRow("portable copy") << QStringLiteral("/apps/Quillory") << true << false;
    QTest::newRow("shared folder") << QStringLiteral("/usr/local/bin") << false << false;
    QTest::newRow("build folder") << QStringLiteral("/apps/build") << false << false;
}

void TestMaintenanceScripts::installMarkerOnlyForInstalledCopies()
{
    QFETCH(QString, folder);
    QFETCH(bool, portable);
    QFETCH(bool, marked);
    const QString dir = sandbox + folder;
    QVERIFY(QDir().mkpath(dir));
    if (portable)
        QVERIFY(testsupport::writeFile(dir + QStringLiteral("/portable.ini"), ""));
    QCOMPARE(ensureInstallMarker(dir, context.home), marked);
    QCOMPARE(QFileInfo(installMarkerPath(dir)).isFile(), marked);
    // Not even a folder named after the program when it is the home folder.
    QVERIFY(!isInstalledCopyFolder(dir, dir));
}

void TestMaintenanceScripts::uninstallRemovesExactlyItsFiles_data()
{
    QTest::addColumn<bool>("full");
    QTest::newRow("full") << true;
    QTest::newRow("keep-config") << false;
}

void TestMaintenanceScripts::uninstallRemovesExactlyItsFiles()
{
    QFETCH(bool, full);
    context.pid = startPanel(QStringLiteral("0.5"));
    QVERIFY(context.pid > 0);
    const Tree before = treeOf(sandbox);
    const UninstallPlan plan = planUninstall(context, full);
    QCOMPARE(plan.programDir, program);
    QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kUninstallScriptName), uninstallScriptText(context, plan)));
    // The panel ended on its own: awaited, not killed.
    QVERIFY(processes.first()->waitForFinished(5000));
    QCOMPARE(processes.first()->exitStatus(), QProcess::NormalExit);

    QStringList removed{ QStringLiteral("opt/Quillory"), QStringLiteral("home/Desktop/Quillory.desktop"),
                         QStringLiteral("share/applications/Quillory.desktop"),
                         QStringLiteral("config/autostart/TarnavelPanel.desktop") };
    if (full)
        removed << QStringLiteral("data/Tarnavel/TarnavelPanel");
    const Tree after = without(treeOf(sandbox), { QStringLiteral("tmp") });
    const Tree expected = without(before, removed + QStringList{ QStringLiteral("tmp") });
    QVERIFY2(after == expected, qPrintable(diffKeys(expected, after).join(QLatin1Char(' '))));
    // The script took itself and its folder away.
    QVERIFY(QDir(sandbox + QStringLiteral("/tmp")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
}

void TestMaintenanceScripts::refusedPathsStayInPlace_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("full");
    QTest::addColumn<int>("programVerdict");
    QTest::newRow("program folder is home") << QStringLiteral("home") << false << int(RemovalVerdict::RootOrHome);
    QTest::newRow("program folder is an ancestor of home") << QStringLiteral("ancestor") << false
                                                           << int(RemovalVerdict::RootOrHome);
    QTest::newRow("no install marker") << QStringLiteral("unmarked") << true << int(RemovalVerdict::NoInstallMarker);
    QTest::newRow("program folder reached through a link") << QStringLiteral("link") << false
                                                           << int(RemovalVerdict::Allowed);
    QTest::newRow("data root not at its location") << QStringLiteral("elsewhere") << true
                                                   << int(RemovalVerdict::Allowed);
    QTest::newRow("portable data kept with the program") << QStringLiteral("portable") << false
                                                         << int(RemovalVerdict::Allowed);
}

void TestMaintenanceScripts::refusedPathsStayInPlace()
{
    QFETCH(QString, kind);
    QFETCH(bool, full);
    QFETCH(int, programVerdict);
    const QString marker = QStringLiteral("/") + QLatin1String(kInstallMarkerName);
    QStringList removed{ QStringLiteral("home/Desktop/Quillory.desktop"), QStringLiteral("share/applications/Quillory.desktop"),
                         QStringLiteral("config/autostart/TarnavelPanel.desktop") };
    if (kind == QStringLiteral("home")) {
        context.programDir = context.home;
        QVERIFY(testsupport::writeFile(context.home + marker, "x"));
    } else if (kind == QStringLiteral("ancestor")) {
        context.programDir = sandbox;
        QVERIFY(testsupport::writeFile(sandbox + marker, "x"));
    } else if (kind == QStringLiteral("unmarked")) {
        QVERIFY(QFile::remove(program + marker));
        removed << QStringLiteral("data/Tarnavel/TarnavelPanel");
    } else if (kind == QStringLiteral("link")) {
        QVERIFY(QFile::link(program, sandbox + QStringLiteral("/opt/QuilloryLink")));
        context.programDir = sandbox + QStringLiteral("/opt/QuilloryLink");
    } else if (kind == QStringLiteral("elsewhere")) {
        context.dataRoot = sandbox + QStringLiteral("/data/Tarnavel/Other");
        removed << QStringLiteral("opt/Quillory");
    } else if (kind == QStringLiteral("portable")) {
        context.dataRoot = program + QStringLiteral("/data");
        context.knownDataRoot = context.dataRoot;
        QVERIFY(testsupport::writeFile(context.dataRoot + QStringLiteral("/layout.json"), "{}"));
    }
    const Tree before = treeOf(sandbox);
    const UninstallPlan plan = planUninstall(context, full);
    QCOMPARE(int(plan.programVerdict), programVerdict);
    if (kind == QStringLiteral("elsewhere"))
        QCOMPARE(plan.dataVerdict, RemovalVerdict::UnknownLocation);
    context.pid = 0;
    QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kUninstallScriptName), uninstallScriptText(context, plan)));

    const Tree after = without(treeOf(sandbox), { QStringLiteral("tmp") });
    const Tree expected = without(before, removed + QStringList{ QStringLiteral("tmp") });
    QVERIFY2(after == expected, qPrintable(diffKeys(expected, after).join(QLatin1Char(' '))));
}

void TestMaintenanceScripts::panelOutlivingTheWaitIsEndedByPid()
{
    context.pid = startPanel(QStringLiteral("60"));
    QVERIFY(context.pid > 0);
    context.waitTenths = 3;
    const UninstallPlan plan = planUninstall(context, false);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kUninstallScriptName), uninstallScriptText(context, plan)));
    QVERIFY(processes.first()->waitForFinished(5000));
    QCOMPARE(processes.first()->exitStatus(), QProcess::CrashExit);
    QVERIFY(clock.elapsed() < 20000);
    QVERIFY(!QFileInfo::exists(program));
}

void TestMaintenanceScripts::anotherProgramOnThePidIsLeftAlone()
{
    // The id names a process of another program (as after the panel ended
    // and the id was handed out again): waited for, never killed.
    auto* other = new QProcess;
    processes << other;
    other->start(QStringLiteral("/bin/sleep"), { QStringLiteral("60") });
    QVERIFY(other->waitForStarted(5000));
    context.pid = other->processId();
    context.waitTenths = 3;
    QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kUninstallScriptName),
                      uninstallScriptText(context, planUninstall(context, false))));
    QCOMPARE(other->state(), QProcess::Running);
}

void TestMaintenanceScripts::factoryResetEmptiesAndRestarts()
{
    // The restarted "panel" tells its process id and session.
    const QString started = sandbox + QStringLiteral("/started.txt");
    const QString exe = program + QStringLiteral("/restart.sh");
    QVERIFY(testsupport::writeFile(exe, QStringLiteral("#!/bin/sh\n"
                                                       "printf '%s\\n' \"$$\" > %1.part\n"
                                                       "cat /proc/$$/stat >> %1.part\n"
                                                       "mv %1.part %1\n")
                                            .arg(shQuote(started))
                                            .toUtf8()));
    QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    context.pid = startPanel(QStringLiteral("0.3"));
    QVERIFY(context.pid > 0);
    context.executable = exe;
    QCOMPARE(checkFactoryResetRoot(context), RemovalVerdict::Allowed);

    const Tree before = treeOf(sandbox);
    QString script;
    QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kFactoryResetScriptName),
                      factoryResetScriptText(context), &script));
    // The script and the folder made for it are gone.
    QVERIFY(!QFileInfo::exists(QFileInfo(script).absolutePath()));
    QVERIFY(QDir(sandbox + QStringLiteral("/tmp")).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(started), 10000);

    QVERIFY(QFileInfo(data).isDir());
    QVERIFY(QDir(data).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty());
    Tree expected = without(before, { QStringLiteral("data/Tarnavel/TarnavelPanel"),
                                      QStringLiteral("config/autostart/TarnavelPanel.desktop"), QStringLiteral("tmp") });
    expected.insert(QStringLiteral("data/Tarnavel/TarnavelPanel/"), QByteArray());
    Tree after = without(treeOf(sandbox), { QStringLiteral("tmp"), QStringLiteral("started.txt") });
    QVERIFY2(after == expected, qPrintable(diffKeys(expected, after).join(QLatin1Char(' '))));

    // Detached: the restarted program leads a session of its own.
    const QList<QByteArray> lines = testsupport::readFile(started).split('\n');
    const QByteArray pid = lines.value(0).trimmed();
    const QByteArray stat = lines.value(1);
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    QCOMPARE(fields.value(3), pid); // state, ppid, pgrp, session
}

void TestMaintenanceScripts::factoryResetGuard_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("known");
    QTest::addColumn<int>("verdict");
    QTest::newRow("nine characters") << QStringLiteral("/opt/a/bc") << QStringLiteral("/opt/a/bc")
                                     << int(RemovalVerdict::TooShortText);
    QTest::newRow("home") << QStringLiteral("@/home") << QStringLiteral("@/home") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("missing") << QStringLiteral("@/nothing/here") << QStringLiteral("@/nothing/here")
                             << int(RemovalVerdict::NotAFolder);
    QTest::newRow("not its location") << QStringLiteral("@/data/Tarnavel/Other")
                                      << QStringLiteral("@/data/Tarnavel/TarnavelPanel")
                                      << int(RemovalVerdict::UnknownLocation);
    QTest::newRow("its location") << QStringLiteral("@/data/Tarnavel/TarnavelPanel")
                                  << QStringLiteral("@/data/Tarnavel/TarnavelPanel") << int(RemovalVerdict::Allowed);
}

void TestMaintenanceScripts::factoryResetGuard()
{
    QFETCH(QString, root);
    QFETCH(QString, known);
    QFETCH(int, verdict);
    context.dataRoot = root.replace(QLatin1Char('@'), sandbox);
    context.knownDataRoot = known.replace(QLatin1Char('@'), sandbox);
    QCOMPARE(int(checkFactoryResetRoot(context)), verdict);
}

void TestMaintenanceScripts::scriptLiesInAFolderOfItsOwn()
{
    // A link planted where the script's name once lay in a shared folder
    // is neither followed nor replaced.
    const QString base = sandbox + QStringLiteral("/tmp");
    const QString victim = sandbox + QStringLiteral("/home/notes.txt");
    const QString planted = base + QLatin1Char('/') + QLatin1String(kUninstallScriptName);
    QVERIFY(QFile::link(victim, planted));
    QString first, second;
    QCOMPARE(writeMaintenanceScript(base, QLatin1String(kUninstallScriptName), QStringLiteral("#!/bin/sh\n"), &first),
             ScriptWrite::Ok);
    QCOMPARE(writeMaintenanceScript(base, QLatin1String(kUninstallScriptName), QStringLiteral("#!/bin/sh\n"), &second),
             ScriptWrite::Ok);
    QCOMPARE(testsupport::readFile(victim), QByteArray("home"));
    QCOMPARE(QFileInfo(planted).symLinkTarget(), victim);
    for (const QString& script : { first, second }) {
        const QFileInfo folder(QFileInfo(script).absolutePath());
        QCOMPARE(folder.absolutePath(), base);
        QVERIFY(!folder.isSymLink());
        QCOMPARE(folder.permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(testsupport::readFile(script), QByteArray("#!/bin/sh\n"));
    }
    QVERIFY(QFileInfo(first).absolutePath() != QFileInfo(second).absolutePath());
    removeMaintenanceScript(first);
    QVERIFY(!QFileInfo::exists(QFileInfo(first).absolutePath()));

    // A base that cannot hold a folder: nothing is written.
    QVERIFY(testsupport::writeFile(sandbox + QStringLiteral("/not-a-folder"), "x"));
    QString none;
    QCOMPARE(writeMaintenanceScript(sandbox + QStringLiteral("/not-a-folder"), QLatin1String(kUninstallScriptName),
                                    QStringLiteral("x"), &none),
             ScriptWrite::OpenFailed);
    QVERIFY(none.isEmpty());
}

void TestMaintenanceScripts::linkedDataRoot_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("verdict");
    QTest::newRow("uninstall, another disk") << false << QStringLiteral("disk/panel-data") << int(RemovalVerdict::Allowed);
    QTest::newRow("reset, another disk") << true << QStringLiteral("disk/panel-data") << int(RemovalVerdict::Allowed);
    QTest::newRow("uninstall, to home") << false << QStringLiteral("home") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("reset, to home") << true << QStringLiteral("home") << int(RemovalVerdict::RootOrHome);
    QTest::newRow("uninstall, above the program") << false << QStringLiteral("opt") << int(RemovalVerdict::HoldsProgram);
    QTest::newRow("reset, above the program") << true << QStringLiteral("opt") << int(RemovalVerdict::HoldsProgram);
}

// The data root is a link to a folder elsewhere: deleting only the link
// would leave every file there while the user was told they were gone.
void TestMaintenanceScripts::linkedDataRoot()
{
    QFETCH(bool, reset);
    QFETCH(QString, target);
    QFETCH(int, verdict);
    const QString real = sandbox + QLatin1Char('/') + target;
    QVERIFY(testsupport::writeFile(real + QStringLiteral("/layout.json"), "{}"));
    QVERIFY(testsupport::writeFile(real + QStringLiteral("/logs/app.log"), "log"));
    QVERIFY(QDir(data).removeRecursively());
    QVERIFY(QFile::link(real, data));
    const Tree before = treeOf(sandbox);

    if (reset) {
        QCOMPARE(int(checkFactoryResetRoot(context)), verdict);
        if (verdict != int(RemovalVerdict::Allowed))
            return;
        context.executable = QStringLiteral("/bin/true");
        QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kFactoryResetScriptName),
                          factoryResetScriptText(context)));
        // The link stays where the user put it and leads to an empty,
        // private folder.
        QVERIFY(QFileInfo(data).isSymLink());
        QCOMPARE(QFileInfo(data).canonicalFilePath(), QFileInfo(real).canonicalFilePath());
        QVERIFY(QDir(real).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        QCOMPARE(QFileInfo(real).permissions() & 0x0077, QFileDevice::Permissions());
        return;
    }

    const UninstallPlan plan = planUninstall(context, true);
    QCOMPARE(int(plan.dataVerdict), verdict);
    QVERIFY(runScript(sandbox + QStringLiteral("/tmp"), QLatin1String(kUninstallScriptName), uninstallScriptText(context, plan)));
    QStringList removed{ QStringLiteral("opt/Quillory"), QStringLiteral("home/Desktop/Quillory.desktop"),
                         QStringLiteral("share/applications/Quillory.desktop"),
                         QStringLiteral("config/autostart/TarnavelPanel.desktop"), QStringLiteral("tmp") };
    if (verdict == int(RemovalVerdict::Allowed))
        removed << QStringLiteral("data/Tarnavel/TarnavelPanel ->") << target;
    const Tree after = without(treeOf(sandbox), { QStringLiteral("tmp") });
    QVERIFY2(after == without(before, removed), qPrintable(diffKeys(without(before, removed), after).join(QLatin1Char(' '))));
}

QTEST_MAIN(TestMaintenanceScripts)
#include "test_maintenancescripts.moc"
