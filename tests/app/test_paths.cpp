#include "app/paths.h"

#include "app/buildinfo.h"

#include "testsupport.h"

#include <QtTest>

#include <cstdio>

namespace {

// The copy of this test started by the cases below prints its data root.
const char kChildMode[] = "QY_PRINT_DATA_ROOT";

struct ChildRun {
    QString root;
    QByteArray err;
};

ChildRun runCopy(const QString& exePath, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exePath, {});
    if (!p.waitForFinished(30000))
        return {};
    return { QString::fromUtf8(p.readAllStandardOutput()), p.readAllStandardError() };
}

} // namespace

class TestPaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    }
    void perUserRootUnderXdgDataHome()
    {
        const QString root = appDataDir();
        QCOMPARE(root, qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tarnavel/TarnavelPanel"));
        QVERIFY(QFileInfo(root).isDir());
        QVERIFY(!root.endsWith(QLatin1Char('/')));
        // Private to the user, also when an earlier version left it open.
        const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QCOMPARE(QFileInfo(root).permissions() & 0x7077, owner);
        QVERIFY(QFile::setPermissions(root, owner | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                                | QFileDevice::ReadOther | QFileDevice::ExeOther));
        QCOMPARE(appDataDir(), root);
        QCOMPARE(QFileInfo(root).permissions() & 0x7077, owner);
    }
    void cachedRootIsStable()
    {
        QCOMPARE(cachedAppDataDir(), cachedAppDataDir());
    }
    void versionComesFromTheBuild()
    {
        QCOMPARE(appVersionString(), fileVersionString());
    }

    // Each case copies this executable into its own folder, shapes that
    // folder and the environment, and reads what the copy reports.
    void rootOfACopy_data()
    {
        QTest::addColumn<QString>("portable");   // "", "file" or "folder"
        QTest::addColumn<bool>("dataBlocked");   // a file where "data" should be
        QTest::addColumn<bool>("userBlocked");   // XDG_DATA_HOME below a file
        QTest::newRow("portable.ini file") << "file" << false << false;
        QTest::newRow("portable.ini folder counts too") << "folder" << false << false;
        QTest::newRow("portable data cannot be created") << "file" << true << false;
        QTest::newRow("per-user root cannot be created") << "" << false << true;
    }
    void rootOfACopy()
    {
        QFETCH(QString, portable);
        QFETCH(bool, dataBlocked);
        QFETCH(bool, userBlocked);
        const QString dir = testsupport::testRoot() + QStringLiteral("/copy-") + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
        QVERIFY(QDir().mkpath(dir));
        const QString exe = dir + QStringLiteral("/app");
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), exe));
        QVERIFY(QFile::setPermissions(exe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (portable == QLatin1String("file"))
            QVERIFY(testsupport::writeFile(dir + QStringLiteral("/portable.ini"), ""));
        else if (portable == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(dir + QStringLiteral("/portable.ini")));
        if (dataBlocked)
            QVERIFY(testsupport::writeFile(dir + QStringLiteral("/data"), "not a folder"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildMode), QStringLiteral("1"));
        const QString userHome = userBlocked ? dir + QStringLiteral("/plainfile/share") : dir + QStringLiteral("/share");
        if (userBlocked)
            QVERIFY(testsupport::writeFile(dir + QStringLiteral("/plainfile"), "x"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), userHome);

        const ChildRun run = runCopy(exe, env);
        const QString expected = portable.isEmpty() ? userHome + QStringLiteral("/Tarnavel/TarnavelPanel")
                                                    : dir + QStringLiteral("/data");
        // Never a silent fall-back to another root.
        QCOMPARE(run.root, expected);
        if (dataBlocked || userBlocked) {
            QCOMPARE(run.err, "appDataDir: mkpath failed: " + expected.toUtf8() + "\n");
        } else {
            QCOMPARE(run.err, QByteArray());
            QVERIFY(QFileInfo(expected).isDir());
        }
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet(kChildMode)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        std::fputs(appDataDir().toUtf8().constData(), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestPaths t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_paths.moc"
