// The screen-monitor button of the main window: without a usable folder it
// asks for the configuration and records nothing; otherwise it starts and
// stops the process's monitor and keeps button 9 lit on both bars while it
// records; the disk warning unlights it and leaves the monitor running.
#include "app/appsettings.h"
#include "app/paths.h"
#include "panel/mainwindow.h"
#include "protect/lockdialog.h"
#include "protect/screenmonitor.h"
#include "settings/settingsdialog.h"
#include "settings/settingspagemodel.h"
#include "testsupport.h"
#include "widgets/bottombar.h"
#include "widgets/titlebaractions.h"
#include "widgets/toast.h"
#include "widgets/uibtn.h"
#include "widgetwaits.h"

#include <QCryptographicHash>
#include <QLineEdit>
#include <QtTest>

namespace {

constexpr int kMonitorButton = uiBtnId(UiBtn::ScreenMonitor);

QString settingsFile() { return cachedAppDataDir() + QStringLiteral("/settings.json"); }

// The older stored form: one SHA-256, so checks finish at once.
QString quickHash(const QString& password)
{
    return QStringLiteral("s$")
        + QString::fromLatin1(QCryptographicHash::hash(("s" + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void writeMonitorFolder(const QString& folder, const QString& passwordHash = QString())
{
    AppSettings s;
    s.protectPasswordHash = passwordHash;
    s.monitorDir = folder;
    s.monitorFormat = 0;
    s.monitorFps = 2;
    QString error;
    QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
}

QString toastText(MainWindow& w)
{
    const Toast* t = w.findChild<Toast*>();
    return t ? t->text() : QString();
}

bool lit(MainWindow& w)
{
    const bool title = w.titleBarActions()->isButtonActive(kMonitorButton);
    const bool bottom = w.bottomBarWidget()->isButtonActive(kMonitorButton);
    return title && bottom;
}

bool litAnywhere(MainWindow& w)
{
    return w.titleBarActions()->isButtonActive(kMonitorButton) || w.bottomBarWidget()->isButtonActive(kMonitorButton);
}

} // namespace

class TestMonitorControl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(cachedAppDataDir().startsWith(testsupport::testRoot()));
    }

    void cleanup() { ScreenMonitor::instance()->stop(); }

    void withoutUsableFolderAsksForConfiguration_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("kind");
        QTest::newRow("none configured") << QString() << 0;
        // A folder that cannot be made: its parent is a file.
        QTest::newRow("cannot be written") << testsupport::testRoot() + QStringLiteral("/a-file/recordings") << 1;
    }

    void withoutUsableFolderAsksForConfiguration()
    {
        QFETCH(QString, folder);
        QVERIFY(testsupport::writeFile(testsupport::testRoot() + QStringLiteral("/a-file"), "x"));
        writeMonitorFolder(folder);
        MainWindow w;
        if (!folder.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^screen monitor: folder cannot be written")));
        w.handleUiButton(kMonitorButton);
        QCOMPARE(toastText(w), QStringLiteral("请先在 设置→屏幕监控 完成配置"));
        QVERIFY(!ScreenMonitor::instance()->isRunning());
        QVERIFY(!litAnywhere(w));
        QVERIFY(!QFileInfo::exists(testsupport::testRoot() + QStringLiteral("/a-file/recordings")));
    }

    void startsAndStops()
    {
        const QString folder = testsupport::testRoot() + QStringLiteral("/recordings");
        writeMonitorFolder(folder);
        MainWindow w;
        w.handleUiButton(kMonitorButton);
        QCOMPARE(toastText(w), QStringLiteral("屏幕监控已启动"));
        ScreenMonitor* monitor = ScreenMonitor::instance();
        QVERIFY(monitor->isRunning());
        QVERIFY(lit(w));
        QCOMPARE(monitor->folder(), folder);
        QCOMPARE(monitor->framesPerSecond(), 2);
        QVERIFY(!monitor->recordsMp4());

        w.handleUiButton(kMonitorButton);
        QCOMPARE(toastText(w), QStringLiteral("屏幕监控已停止"));
        QVERIFY(!monitor->isRunning());
        QVERIFY(!litAnywhere(w));
        // Nothing half-written is left behind.
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            QVERIFY2(!name.endsWith(QStringLiteral(".part")), qPrintable(name));
    }

    // A stall (low disk, a recording folder that cannot be made again) is
    // told and unlights the button; recording that resumes by itself lights
    // it again, so the button always says whether it records.
    void stallUnlightsUntilRecordingResumes_data()
    {
        QTest::addColumn<bool>("disk");
        QTest::addColumn<QString>("toast");
        QTest::newRow("low disk") << true << QStringLiteral("磁盘剩余空间不足，录屏已暂停（腾出空间后会自动继续）");
        QTest::newRow("folder gone") << false
                                     << QStringLiteral("录屏文件夹已不存在且无法重新创建，录屏已暂停：/gone/recordings");
    }
    void stallUnlightsUntilRecordingResumes()
    {
        QFETCH(bool, disk);
        QFETCH(QString, toast);
        writeMonitorFolder(testsupport::testRoot() + QStringLiteral("/recordings"));
        MainWindow w;
        w.handleUiButton(kMonitorButton);
        ScreenMonitor* monitor = ScreenMonitor::instance();
        QVERIFY(monitor->isRunning());
        // The signals come from the capture thread; the window hears them
        // through its event loop.
        std::thread([monitor, disk] {
            if (disk)
                Q_EMIT monitor->diskFull();
            else
                Q_EMIT monitor->folderUnavailable(QStringLiteral("/gone/recordings"));
        }).join();
        QTRY_COMPARE(toastText(w), toast);
        QVERIFY(!litAnywhere(w));
        QVERIFY(monitor->isRunning());
        std::thread([monitor] { Q_EMIT monitor->recordingResumed(); }).join();
        QTRY_VERIFY(lit(w));
        // Pressed again, the button stops the monitor that still runs.
        w.handleUiButton(kMonitorButton);
        QCOMPARE(toastText(w), QStringLiteral("屏幕监控已停止"));
        QVERIFY(!monitor->isRunning());
        QVERIFY(!litAnywhere(w));
    }

    // With a protection password, stopping the recorder asks for it: a
    // cancel or a wrong password leaves it recording.
    void stoppingAsksForTheProtectionPassword()
    {
        writeMonitorFolder(testsupport::testRoot() + QStringLiteral("/recordings"), quickHash(QStringLiteral("pw12")));
        MainWindow w;
        ScreenMonitor* monitor = ScreenMonitor::instance();
        w.handleUiButton(kMonitorButton);
        QVERIFY(monitor->isRunning());

        QStringList asked;
        testsupport::whenWidget([] { return qobject_cast<LockDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* d) {
                                    asked << static_cast<LockDialog*>(d)->title();
                                    static_cast<QDialog*>(d)->reject();
                                },
                                5000, &w);
        w.handleUiButton(kMonitorButton);
        QCOMPARE(asked, QStringList { QStringLiteral("验证程序保护密码") });
        QVERIFY(monitor->isRunning());
        QVERIFY(lit(w));

        testsupport::whenWidget([] { return qobject_cast<LockDialog*>(QApplication::activeModalWidget()); },
                                [](QWidget* d) {
                                    auto* prompt = static_cast<LockDialog*>(d);
                                    prompt->firstField()->setText(QStringLiteral("pw12"));
                                    prompt->tryAccept(false);
                                },
                                5000, &w);
        w.handleUiButton(kMonitorButton);
        QVERIFY(!monitor->isRunning());
        QCOMPARE(toastText(w), QStringLiteral("屏幕监控已停止"));
    }

    // Sent to the set-up on the protection page, the button passes the
    // page's password question only with the password.
    void setUpBehindAPasswordAsksForIt()
    {
        writeMonitorFolder(QString(), quickHash(QStringLiteral("pw12")));
        MainWindow w;
        QString asked;
        testsupport::whenWidget([] { return qobject_cast<LockDialog*>(QApplication::activeModalWidget()); },
                                [&](QWidget* d) {
                                    asked = static_cast<LockDialog*>(d)->title();
                                    static_cast<QDialog*>(d)->reject();
                                },
                                5000, &w);
        w.handleUiButton(kMonitorButton);
        QCOMPARE(asked, QStringLiteral("验证程序保护密码"));
        QTRY_VERIFY(w.openSettingsDialog());
        QVERIFY(w.openSettingsDialog()->currentPage() != settingspage::kProtect);
        QVERIFY(!w.openSettingsDialog()->isProtectUnlocked());
        w.openSettingsDialog()->reject();
    }
};

QTEST_MAIN(TestMonitorControl)
#include "test_monitorcontrol.moc"
