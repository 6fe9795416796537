// The lock and obfuscation of the main window, driven through the window's
// own event path: a locked panel launches nothing, lets no key or click
// reach the grid, and unlocking gives back the panel as it was.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/paths.h"
#include "fakelauncher.h"
#include "panel/layoutfile.h"
#include "protect/lockdialog.h"
#include "protect/passwordhash.h"
#include "protect/uilockoverlay.h"
#include "testsupport.h"
#include "widgets/bottombar.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/toast.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QtTest>

namespace {

QString root() { return cachedAppDataDir(); }
QString settingsFile() { return root() + QStringLiteral("/settings.json"); }
QString target() { return root() + QStringLiteral("/files/report.pdf"); }

// The older stored form: one SHA-256, so checks are instant in tests.
QString quickHash(const QString& password)
{
    return QStringLiteral("s$")
        + QString::fromLatin1(QCryptographicHash::hash(("s" + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void writeSettings(const std::function<void(AppSettings&)>& edit)
{
    AppSettings s;
    edit(s);
    QString error;
    QVERIFY2(saveAppSettings(settingsFile(), s, QSize(800, 500), &error), qPrintable(error));
}

AppSettings savedSettings()
{
    AppSettings s;
    QSize size;
    loadAppSettings(settingsFile(), s, &size);
    return s;
}

void writeLayoutWithOneItem()
{
    QVERIFY(testsupport::writeFile(target(), "pdf"));
    PanelItem it;
    it.path = target();
    it.name = QStringLiteral("report");
    PanelGroup g;
    g.name = QStringLiteral("G");
    g.items = { it };
    QVERIFY(testsupport::writeFile(root() + QStringLiteral("/layout.json"), serializeLayout({ g })));
}

Toast* toastOf(MainWindow& w) { return w.findChild<Toast*>(); }

// Every log line of the process while it lives, passed on as before.
class LogCapture {
public:
    LogCapture() { previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(previous); }
    static QStringList& lines()
    {
        static QStringList all;
        return all;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        lines().append(text);
        if (previous)
            previous(type, context, text);
    }
    static inline QtMessageHandler previous = nullptr;
};

QNetworkReply* fetch(QNetworkAccessManager& manager, testsupport::CannedHttpServer& server, const QByteArray& response)
{
    server.response = response;
    QNetworkReply* reply = manager.get(QNetworkRequest(server.url(QStringLiteral("/api/uc.php"))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(10000);
    return reply;
}

} // namespace

class TestMainWindowProtect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
        QVERIFY(root().startsWith(testsupport::testRoot()));
    }
    void init()
    {
        QFile::remove(settingsFile());
        QFile::remove(root() + QStringLiteral("/layout.json"));
    }

    void lockedPanelLetsNothingThroughAndUnlocksAsItWas()
    {
        LogCapture log;
        LogCapture::lines().clear();
        writeLayoutWithOneItem();
        writeSettings([](AppSettings& s) {
            s.uiLocked = true;
            s.protectPasswordHash = quickHash(QStringLiteral("open sesame"));
        });
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        MainWindow w;
        w.resize(800, 500);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.lockScreen() && w.lockScreen()->isVisible());
        UiLockOverlay* overlay = w.lockScreen();
        QCOMPARE(overlay->geometry(), w.rect());

        auto* grid = w.findChild<IconGrid*>();
        auto* sidebar = w.findChild<Sidebar*>();
        QVERIFY(grid && sidebar);
        // A double click where the item lies lands on the lock screen.
        const QPoint onItem = grid->mapTo(&w, grid->itemRect(0).center());
        QCOMPARE(w.childAt(onItem), overlay);
        QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, onItem);
        // Tab and the search shortcut reach neither the grid nor the sidebar.
        for (int i = 0; i < 6; ++i)
            QTest::keyClick(w.windowHandle(), Qt::Key_Tab);
        QVERIFY(!grid->hasFocus() && !sidebar->hasFocus());
        QTest::keyClick(w.windowHandle(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!w.searchPanelWidget() || !w.searchPanelWidget()->isVisible());
        // Even a direct request to launch is refused while locked.
        w.launchTarget(target(), QString(), QString(), false);
        QCOMPARE(rec.calls.size(), 0);

        // Unlock through the lock screen: wrong, then right.
        QVERIFY(overlay->isInputVisible());   // the click opened the entry
        QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("wrong"));
        QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
        QCOMPARE(overlay->errorText(), QStringLiteral("密码错误，请重试"));
        QVERIFY(savedSettings().uiLocked);
        overlay->passwordEdit()->clear();
        QTest::keyClicks(overlay->passwordEdit(), QStringLiteral("open sesame"));
        QTest::keyClick(overlay->passwordEdit(), Qt::Key_Return);
        QTRY_VERIFY(!w.lockScreen());

        const AppSettings saved = savedSettings();
        QVERIFY(!saved.uiLocked);
        // The older stored form was renewed by the successful check.
        QVERIFY(!passwordNeedsRehash(saved.protectPasswordHash));
        QVERIFY(verifyPassword(saved.protectPasswordHash, QStringLiteral("open sesame")));
        QVERIFY(grid->isEnabled() && sidebar->isEnabled());
        w.onItemActivated(0);
        QCOMPARE(rec.calls.size(), 1);

        // The password itself is neither logged nor stored.
        QVERIFY(!LogCapture::lines().isEmpty());
        for (const QString& line : LogCapture::lines())
            QVERIFY2(!line.contains(QStringLiteral("open sesame")), qPrintable(line));
        QVERIFY(!testsupport::readFile(settingsFile()).contains("open sesame"));
    }

    // Without a password both buttons ask for one first; cancelling that
    // changes nothing.
    void lockAndObfuscationButtonsAskForAPassword_data()
    {
        QTest::addColumn<int>("ub");
        QTest::newRow("lock") << 8;
        QTest::newRow("obfuscation") << 10;
    }
    void lockAndObfuscationButtonsAskForAPassword()
    {
        QFETCH(int, ub);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QString title;
        QTimer::singleShot(50, &w, [&] {
            auto* d = qobject_cast<LockDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            title = d->title();
            d->reject();
        });
        w.handleUiButton(ub);
        QCOMPARE(title, QStringLiteral("设置保护密码"));
        QVERIFY(!w.lockScreen());
        QVERIFY(!w.currentSettings().uiLocked);
        QVERIFY(!w.currentSettings().obfuscateEnabled);
        QVERIFY(w.currentSettings().protectPasswordHash.isEmpty());
    }

    void obfuscationOffThroughTheRemoveLink()
    {
        writeSettings([](AppSettings& s) {
            s.obfuscateEnabled = true;
            s.uiLocked = false;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
        });
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTimer::singleShot(50, &w, [&] {
            auto* outer = qobject_cast<LockDialog*>(QApplication::activeModalWidget());
            QVERIFY(outer);
            QTimer::singleShot(50, outer, [outer] {
                LockDialog* nested = outer->findChild<LockDialog*>();
                QVERIFY(nested);
                nested->firstField()->setText(QStringLiteral("pw12"));
                nested->tryAccept(false);
            });
            QTest::mouseMove(outer, outer->layout().removeLink.center());
            QTest::mouseClick(outer, Qt::LeftButton, {}, outer->layout().removeLink.center());
        });
        w.toggleObfuscation();
        const AppSettings saved = savedSettings();
        QVERIFY(saved.protectPasswordHash.isEmpty());
        QVERIFY(!saved.obfuscateEnabled);
        QVERIFY(!w.bottomBarWidget()->isButtonActive(10));
        QVERIFY(toastOf(w));
        QCOMPARE(toastOf(w)->text(), QStringLiteral("混淆保护已关闭"));
    }

    void lockedFileWithoutPasswordStartsUnlocked()
    {
        writeSettings([](AppSettings& s) { s.uiLocked = true; });
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(20);
        QVERIFY(!w.lockScreen());
    }

    void lockingAsksForAPasswordFirst()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Cancelled: nothing stored, not locked.
        QTimer::singleShot(50, &w, [&] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        w.lockInterface();
        QVERIFY(!w.lockScreen());
        QVERIFY(savedSettings().protectPasswordHash.isEmpty());

        QTimer::singleShot(50, &w, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            const auto fields = d->findChildren<QLineEdit*>();
            QCOMPARE(fields.size(), 2);
            for (QLineEdit* f : fields)
                f->setText(QStringLiteral("abcd"));
            QTest::keyClick(fields.first(), Qt::Key_Return);
        });
        w.lockInterface();
        QVERIFY(w.lockScreen());
        const AppSettings saved = savedSettings();
        QVERIFY(saved.uiLocked);
        QVERIFY(verifyPassword(saved.protectPasswordHash, QStringLiteral("abcd")));
        QVERIFY(!saved.protectPasswordHash.contains(QStringLiteral("abcd")));
        QVERIFY(!testsupport::readFile(settingsFile()).contains("abcd"));
    }

    void settingsCallbacksSaveAtOnce()
    {
        writeSettings([](AppSettings& s) {
            s.uiLocked = true;
            s.obfuscateEnabled = true;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
        });
        MainWindow w;
        w.applyProtectionFromSettings(QString(), { { QStringLiteral("/a"), QStringLiteral("/b") } });
        const AppSettings saved = savedSettings();
        QVERIFY(!saved.uiLocked);
        QVERIFY(saved.obfuscateEnabled);   // kept as it was
        QCOMPARE(saved.obfuscateMap.value(QStringLiteral("/a")), QStringLiteral("/b"));
    }

    // The first answer for an account is only its baseline; a later, higher
    // epoch unlocks, and an equal one does nothing.
    void lockSyncTakesABaselineFirst_data()
    {
        QTest::addColumn<QString>("storedUser");
        QTest::addColumn<int>("storedEpoch");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("unlocked");
        QTest::addColumn<int>("epochAfter");
        QTest::newRow("first sync of the account") << QString() << 0 << QByteArray(R"({"ok":1,"epoch":7})") << false << 7;
        QTest::newRow("another account's epoch") << QStringLiteral("bob") << 9 << QByteArray(R"({"ok":1,"epoch":3})") << false << 3;
        QTest::newRow("higher epoch") << QStringLiteral("ann") << 7 << QByteArray(R"({"ok":1,"epoch":8})") << true << 8;
        QTest::newRow("same epoch") << QStringLiteral("ann") << 7 << QByteArray(R"({"ok":1,"epoch":7})") << false << 7;
        QTest::newRow("lower epoch") << QStringLiteral("ann") << 7 << QByteArray(R"({"ok":1,"epoch":2})") << false << 7;
        QTest::newRow("refused") << QStringLiteral("ann") << 7 << QByteArray(R"({"ok":0,"epoch":9})") << false << 7;
        QTest::newRow("not json") << QStringLiteral("ann") << 7 << QByteArray("<html>") << false << 7;
    }
    void lockSyncTakesABaselineFirst()
    {
        QFETCH(QString, storedUser);
        QFETCH(int, storedEpoch);
        QFETCH(QByteArray, body);
        QFETCH(bool, unlocked);
        QFETCH(int, epochAfter);
        writeSettings([&](AppSettings& s) {
            s.uiLocked = true;
            s.obfuscateEnabled = true;
            s.protectPasswordHash = quickHash(QStringLiteral("pw12"));
            s.progUnlockEpoch = storedEpoch;
            s.progUnlockEpochUser = storedUser;
        });
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(w.lockScreen());
        w.lockSyncUser = QStringLiteral("ann");
        w.lockSyncPending = true;

        testsupport::CannedHttpServer server;
        QVERIFY(server.listen());
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QNetworkReply* reply = fetch(manager, server, testsupport::CannedHttpServer::reply(200, body));
        if (body.startsWith('<'))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("jsonutil")));
        w.onLockSyncReply(reply);

        QVERIFY(!w.lockSyncPending);
        const AppSettings saved = savedSettings();
        QCOMPARE(saved.progUnlockEpoch, epochAfter);
        QCOMPARE(saved.uiLocked, !unlocked);
        QCOMPARE(saved.obfuscateEnabled, !unlocked);
        QCOMPARE(saved.protectPasswordHash.isEmpty(), unlocked);
        QCOMPARE(bool(w.lockScreen()), !unlocked);
        if (unlocked) {
            QVERIFY(toastOf(w));
            QCOMPARE(toastOf(w)->text(), QStringLiteral("已通过账户解除程序锁定"));
        }
    }
};

QTEST_MAIN(TestMainWindowProtect)
#include "test_mainwindow_protect.moc"
