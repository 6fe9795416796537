#include "panel/mainwindow.h"

#include "app/asynctask.h"
#include "app/paths.h"
#include "panel/layoutfile.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QtConcurrent>
#include <QtTest>

// Gives the test the automatic-backup task slot the window waits for.
class WindowWithBackup : public MainWindow {
public:
    void startTask(bool honoursCancel, int maxMs)
    {
        autoBackupCancel = std::make_shared<std::atomic_bool>(false);
        auto cancel = autoBackupCancel;
        autoBackupTask = QtConcurrent::run([cancel, honoursCancel, maxMs] {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < maxMs && !(honoursCancel && cancel->load()))
                QThread::msleep(5);
            return QString();
        });
    }
    bool taskFinished() const { return autoBackupTask.isFinished(); }
    bool cancelled() const { return autoBackupCancel && autoBackupCancel->load(); }
};

// The missing-item check's view of the file system, as a dead network mount
// gives it: every question hangs until the test opens the gate, and from
// then on the paths in `gone` do not exist.
struct HangingProbe {
    QSemaphore gate;
    QSemaphore entered; // one per question that reached the probe
    QSet<QString> gone;
};

class WindowWithProbe : public MainWindow {
public:
    explicit WindowWithProbe(std::shared_ptr<HangingProbe> probe)
    {
        pathExists = [probe](const QString& path) {
            probe->entered.release();
            probe->gate.acquire();
            probe->gate.release();
            return !probe->gone.contains(path);
        };
    }
};

class TestMainWindow : public QObject {
    Q_OBJECT
    QStringList m_warnings;
    static TestMainWindow* s_self;
    static void capture(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtWarningMsg)
            s_self->m_warnings << text;
    }

private Q_SLOTS:
    void initTestCase() { s_self = this; }

    void shell()
    {
        MainWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Quillory"));
        QVERIFY(w.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(w.isWindow());
    }

    void stopBackupWorkers_data()
    {
        QTest::addColumn<bool>("honoursCancel");
        QTest::addColumn<int>("budget");
        QTest::addColumn<bool>("warned");
        QTest::newRow("task stops when asked") << true << 2500 << false;
        QTest::newRow("stuck task is left after the budget") << false << 200 << true;
    }
    void stopBackupWorkers()
    {
        QFETCH(bool, honoursCancel);
        QFETCH(int, budget);
        QFETCH(bool, warned);
        WindowWithBackup w;
        w.startTask(honoursCancel, 1000);
        m_warnings.clear();
        auto previous = qInstallMessageHandler(capture);
        QElapsedTimer clock;
        clock.start();
        w.stopBackupWorkers(budget);
        const qint64 spent = clock.elapsed();
        qInstallMessageHandler(previous);
        QVERIFY(w.cancelled());
        QVERIFY2(spent < budget + 500, qPrintable(QString::number(spent)));
        QCOMPARE(w.taskFinished(), !warned);
        QCOMPARE(m_warnings.join(QLatin1Char('\n')).contains(QStringLiteral("auto backup worker still running on exit; cancel requested, orphan powershell may remain (hard exit)")), warned);
        if (!warned)
            QVERIFY(spent < 1000);
    }

    void stopWithoutBackupReturnsAtOnce()
    {
        MainWindow w;
        QElapsedTimer clock;
        clock.start();
        w.stopBackupWorkers(2500);
        QVERIFY(clock.elapsed() < 100);
    }

    void captionAndBordersWorkThroughTheBorderFrame()
    {
        // The outline drawn over every child must not swallow the caption.
        MainWindow w;
        w.move(200, 200);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QPoint start = w.pos();
        QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, QPoint(100, 14));
        QTest::mouseMove(w.windowHandle(), QPoint(130, 34));
        QTRY_COMPARE(w.pos(), start + QPoint(30, 20));
        QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, QPoint(100, 14));

        const QSize size = w.size();
        const QPoint corner(size.width() - 2, size.height() - 2);
        QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, corner);
        QTest::mouseMove(w.windowHandle(), corner + QPoint(20, 10));
        QTRY_COMPARE(w.size(), size + QSize(20, 10));
        QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, corner + QPoint(20, 10));
    }

    void missingCheckNeverBlocksTheWindow()
    {
        const QString dir = testsupport::testRoot() + QStringLiteral("/items/");
        const QString here = dir + QStringLiteral("here"), gone = dir + QStringLiteral("gone"),
                      removed = dir + QStringLiteral("removed");
        QList<PanelGroup> groups(1);
        groups[0].name = QStringLiteral("A");
        for (const QString& path : {here, gone, removed})
            appendPanelItem(groups[0], path, path);
        const QString layout = cachedAppDataDir() + QStringLiteral("/layout.json");
        QVERIFY(testsupport::writeFile(layout, serializeLayout(groups)));

        auto probe = std::make_shared<HangingProbe>();
        probe->gone = {gone, removed};
        {
            WindowWithProbe w(probe);
            QCOMPARE(w.panelGroups(), groups);
            // The first check starts from the event loop and hangs.
            QTRY_VERIFY(probe->entered.available() > 0);
            probe->entered.acquire();
            bool timerFired = false;
            QTimer::singleShot(0, &w, [&timerFired] { timerFired = true; });
            QTRY_VERIFY(timerFired);
            // Ticks while it hangs start no second check.
            w.refreshMissingItems();
            w.refreshMissingItems();
            QVERIFY(!probe->entered.tryAcquire(1, 200));
            QVERIFY(w.missingItems().isEmpty());

            // The list changes before the answer comes: the answer still
            // lands, on the items there are now.
            w.onItemRemoveRequested(2);
            QCOMPARE(w.panelGroups()[0].items.size(), 2);
            probe->gate.release();
            QTRY_COMPARE(w.missingItems(), QSet<QString>{gone});

            // Closed while a check hangs: its answer goes nowhere.
            probe->entered.tryAcquire(probe->entered.available());
            probe->gate.acquire();
            w.refreshMissingItems();
            QTRY_VERIFY(probe->entered.available() > 0);
        }
        probe->gate.release();
        AsyncTask::pool()->waitForDone();
        QCoreApplication::processEvents();
        QFile::remove(layout);
    }

    void wakeRestoresTheWindow()
    {
        testsupport::FakeWindowSystem fake;
        setWindowSystemOverride(&fake);
        {
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.showMinimized();
            QTRY_VERIFY(w.isMinimized());
            QVERIFY(!fake.deliverWake(w.winId(), 0x1234));
            QVERIFY(fake.deliverWake(w.winId(), MainWindow::kWakeMessage));
            QTRY_VERIFY(!w.isMinimized());
            QVERIFY(w.isVisible());
            w.hide();
            QVERIFY(fake.deliverWake(w.winId(), MainWindow::kWakeMessage));
            QTRY_VERIFY(w.isVisible());
        }
        setWindowSystemOverride(nullptr);
    }
};

TestMainWindow* TestMainWindow::s_self = nullptr;

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
