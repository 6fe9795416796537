// The main window under a real X server: the start size rules against the
// screen, and the whole executable saving its layout and size when asked to
// quit by SIGTERM.
#include "panel/mainwindow.h"

#include "app/paths.h"
#include "panel/layoutfile.h"
#include "testsupport.h"

#include <QScreen>
#include <QtTest>

#include <csignal>

namespace {

QString root() { return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tarnavel/TarnavelPanel"); }
QString layoutFile() { return root() + QStringLiteral("/layout.json"); }
QString settingsFile() { return root() + QStringLiteral("/settings.json"); }

} // namespace

class TestMainWindowX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void startSize_data();
    void startSize();
    void sigtermSavesLayoutAndSize();
};

void TestMainWindowX11::initTestCase()
{
    if (!testsupport::haveX11())
        QSKIP("needs an X server");
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    QCOMPARE(cachedAppDataDir(), root());
}

void TestMainWindowX11::init()
{
    QFile::remove(layoutFile());
    QFile::remove(settingsFile());
}

void TestMainWindowX11::startSize_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("larger than the screen allows") << QByteArray("{\"geometry\": [2000, 1200]}") << QSize(1400, 1000);
    QTest::newRow("remembered") << QByteArray("{\"geometry\": [900, 600]}") << QSize(900, 600);
    QTest::newRow("not to be remembered") << QByteArray("{\"geometry\": [900, 600], \"rememberGeometry\": false}")
                                          << QSize(680, 496);
    QTest::newRow("below the minimum") << QByteArray("{\"geometry\": [300, 200]}") << QSize(680, 460);
    QTest::newRow("nothing remembered") << QByteArray("{}") << QSize(680, 496);
}

void TestMainWindowX11::startSize()
{
    QFETCH(QByteArray, settings);
    QFETCH(QSize, expected);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (screen.width() < 1400 || screen.height() < 1000)
        QSKIP("needs a screen of at least 1400 x 1000");
    QVERIFY(testsupport::writeFile(settingsFile(), settings));
    MainWindow w;
    QCOMPARE(w.size(), expected);
    QCOMPARE(w.minimumSize(), QSize(680, 460));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(w.windowHandle()->geometry().size(), expected);
    QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
}

void TestMainWindowX11::sigtermSavesLayoutAndSize()
{
    QVERIFY(testsupport::writeFile(settingsFile(), "{\"geometry\": [900, 600]}"));
    QProcess panel;
    panel.start(testsupport::panelBinary());
    const QString log = testsupport::todayLogPath(root());
    QVERIFY(testsupport::waitForFileText(log, "main window shown, entering event loop", 15000));

    // The first start wrote the default groups; take the file away so that
    // only the save on quitting can bring it back.
    const QByteArray firstSave = testsupport::readFile(layoutFile());
    QCOMPARE(parseLayout(firstSave, QString()).groups.size(), 2);
    QVERIFY(QFile::remove(layoutFile()));
    QVERIFY(testsupport::writeFile(settingsFile(), "{}"));

    ::kill(pid_t(panel.processId()), SIGTERM);
    QVERIFY(panel.waitForFinished(15000));
    QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(panel.exitCode(), 0);

    QCOMPARE(testsupport::readFile(layoutFile()), firstSave);
    const QJsonObject saved = QJsonDocument::fromJson(testsupport::readFile(settingsFile())).object();
    QCOMPARE(saved.value(QStringLiteral("geometry")).toArray(), (QJsonArray{900, 600}));
}

QTEST_MAIN(TestMainWindowX11)
#include "test_mainwindow_x11.moc"
