#include "app/environment.h"

#include <QGuiApplication>
#include <QtTest>

class TestEnvironment : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void qpaPlatformRule_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("kept");
        QTest::newRow("empty") << QByteArray("") << true;
        QTest::newRow("blanks only") << QByteArray("   ") << true;
        QTest::newRow("xcb") << QByteArray("xcb") << true;
        QTest::newRow("xcb in capitals with blanks") << QByteArray("  XCB \t") << true;
        QTest::newRow("xcb with options") << QByteArray("xcb:no-grab") << true;
        QTest::newRow("wayland") << QByteArray("wayland") << false;
        QTest::newRow("offscreen") << QByteArray("offscreen") << false;
        QTest::newRow("windows") << QByteArray("windows") << false;
        QTest::newRow("xcbx is another name") << QByteArray("xcbx") << false;
        QTest::newRow("list with xcb second") << QByteArray("wayland;xcb") << false;
    }
    void qpaPlatformRule()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, kept);
        QCOMPARE(keepQpaPlatform(value), kept);
    }

    void cleanUp_data()
    {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("other plug-in becomes xcb") << QByteArray("wayland-egl") << QByteArray("xcb");
        QTest::newRow("xcb options stay") << QByteArray(" xcb:foo=1") << QByteArray(" xcb:foo=1");
    }
    void cleanUp()
    {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, expected);
        qputenv("QT_QPA_PLATFORM", platform);
        qputenv("QT_QPA_PLATFORM_PLUGIN_PATH", "/somewhere");
        qputenv("QT_PLUGIN_PATH", "/elsewhere");
        cleanStartupEnvironment();
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), expected);
        QVERIFY(!qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH"));
        QVERIFY(!qEnvironmentVariableIsSet("QT_PLUGIN_PATH"));
        QCOMPARE(QGuiApplication::highDpiScaleFactorRoundingPolicy(), Qt::HighDpiScaleFactorRoundingPolicy::Floor);
    }
};

QTEST_APPLESS_MAIN(TestEnvironment)
#include "test_environment.moc"
