#include "app/paths.h"

#include <QtTest>

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
    }
    void cachedRootIsStable()
    {
        QCOMPARE(cachedAppDataDir(), cachedAppDataDir());
    }
    void versionComesFromTheBuild()
    {
        QCOMPARE(appVersionString(), QStringLiteral("%1.%2.%3").arg(QY_VERSION_MAJOR).arg(QY_VERSION_MINOR).arg(QY_VERSION_PATCH));
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
