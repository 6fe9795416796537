// The panel's update entry points: the gear menu's "检查更新" and the settings
// dialog's check, each on the channel it should use.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "app/paths.h"
#include "app/servicehost.h"
#include "settings/settingsabout.h"
#include "settings/settingsdialog.h"
#include "settingsclicks.h"
#include "standin.h"
#include "testsupport.h"
#include "updater/panelupdater.h"
#include "updater/updatedialog.h"
#include "updaterharness.h"
#include "widgets/gearmenupopup.h"
#include "widgets/titlebaractions.h"
#include "widgets/toast.h"

#include <QScopeGuard>
#include <QtTest>

using testsupport::StandInService;

namespace {

QString settingsFile() { return cachedAppDataDir() + QStringLiteral("/settings.json"); }

void saveChannel(int channel)
{
    AppSettings s;
    s.updateChannel = channel;
    QString error;
    QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
}

// How many offers the updater has come to decide on: it logs the notes it
// found just before showing its dialog.
int decidedOffers = 0;
QtMessageHandler previousHandler = nullptr;

void countDecidedOffers(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("update notes:")))
        ++decidedOffers;
    if (previousHandler)
        previousHandler(type, context, message);
}

QStringList manifestRequests(StandInService& svc)
{
    QStringList out;
    for (const QJsonValue& v : svc.requests()) {
        const QString path = v.toObject().value(QStringLiteral("path")).toString();
        if (path.startsWith(QLatin1String("/update/apps/panel")))
            out << path.mid(int(qstrlen("/update/apps/")));
    }
    return out;
}

} // namespace

class TestMainWindowUpdate : public QObject {
    Q_OBJECT
    StandInService svc;

private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(cachedAppDataDir().startsWith(testsupport::testRoot()));
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
    }
    void init()
    {
        setServiceHostOverride(svc.host());
        svc.control(QStringLiteral("clear_log"));
        svc.control(QStringLiteral("update.unset"), {{QStringLiteral("channel"), QStringLiteral("panel")}});
    }

    // No manifest is published: a manual check ends in the failure toast
    // after the beta channel fell back to the stable one.
    void gearMenu_data()
    {
        QTest::addColumn<int>("savedChannel");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("stable") << 0 << QStringList{QStringLiteral("panel.json")};
        QTest::newRow("beta") << 1 << QStringList{QStringLiteral("panel-beta.json"), QStringLiteral("panel.json")};
    }
    void gearMenu()
    {
        QFETCH(int, savedChannel);
        QFETCH(QStringList, asked);
        saveChannel(savedChannel);
        MainWindow w;
        Q_EMIT w.titleBarActions()->gearMenuAction(GearMenuPopup::CheckUpdates);
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<Toast*>(), 20000);
        QCOMPARE(w.findChild<Toast*>()->text(), translate(u"检查更新失败，请检查网络后重试"));
        QVERIFY(w.findChild<Toast*>()->isFailure());
        QCOMPARE(manifestRequests(svc), asked);
    }

    // The channel shown on the open settings dialog wins over the saved one,
    // even before the dialog's OK.
    void fromSettings_data()
    {
        QTest::addColumn<int>("savedChannel");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<QString>("first");
        QTest::newRow("beta chosen, stable saved") << 0 << 1 << "panel-beta.json";
        QTest::newRow("stable chosen, beta saved") << 1 << 0 << "panel.json";
        QTest::newRow("nothing chosen, beta saved") << 1 << -1 << "panel-beta.json";
        QTest::newRow("no dialog, stable saved") << 0 << -2 << "panel.json";
    }
    void fromSettings()
    {
        QFETCH(int, savedChannel);
        QFETCH(int, chosen);
        QFETCH(QString, first);
        saveChannel(savedChannel);
        MainWindow w;
        if (chosen > -2)
            w.settingsUpdateChannelChoice = [chosen] { return chosen; };
        w.checkUpdatesFromSettings();
        QTRY_VERIFY_WITH_TIMEOUT(w.findChild<Toast*>(), 20000);
        QCOMPARE(manifestRequests(svc).value(0), first);
    }

    // The help page of the real dialog: the test channel chosen there is
    // checked at once, while the saved channel stays until OK.
    void fromTheHelpPage()
    {
        saveChannel(0);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.openSettings();
        SettingsDialog* d = w.openSettingsDialog();
        QVERIFY(d);
        d->setCurrentPage(settingspage::kAbout);
        QVERIFY(clickElement(*d, aboutid::kTestChannel));
        QVERIFY(clickElement(*d, aboutid::kCheckUpdate));
        QTRY_VERIFY_WITH_TIMEOUT(!manifestRequests(svc).isEmpty(), 20000);
        QCOMPARE(manifestRequests(svc).value(0), QStringLiteral("panel-beta.json"));
        QCOMPARE(w.currentSettings().updateChannel, 0);
        d->reject();
    }

    // A silent check that answers while the panel is locked offers nothing
    // over the lock screen; the next check after the unlock offers it.
    void noOfferBehindTheLock()
    {
        QVERIFY(updatertest::trustServiceKey(svc));
        QCOMPARE(updatertest::publish(svc, QStringLiteral("panel"), updatertest::manifestFields(QStringLiteral("999.0.1"))),
                 QString());
        saveChannel(0);
        decidedOffers = 0;
        previousHandler = qInstallMessageHandler(countDecidedOffers);
        auto restore = qScopeGuard([] { qInstallMessageHandler(previousHandler); });
        MainWindow w;
        w.lockUi();
        w.checkForUpdates(false, false);
        QTRY_COMPARE_WITH_TIMEOUT(decidedOffers, 1, 20000);
        QCOMPARE(w.updater()->offeredUrl(), QStringLiteral("https://example.invalid/setup.bin"));
        QVERIFY(!w.updater()->dialog() || !w.updater()->dialog()->isVisible());

        w.unlockUi();
        QVERIFY(!w.updater()->dialog() || !w.updater()->dialog()->isVisible());
        w.checkForUpdates(false, false);
        QTRY_COMPARE_WITH_TIMEOUT(decidedOffers, 2, 20000);
        QVERIFY(w.updater()->dialog() && w.updater()->dialog()->isVisible());
        QCOMPARE(w.updater()->dialog()->versionText(), QStringLiteral("999.0.1"));
        w.updater()->dialog()->hide();
    }
};

QTEST_MAIN(TestMainWindowUpdate)
#include "test_mainwindow_update.moc"
