#include "platform/windowsystem.h"

#include "testsupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <QtTest>

namespace {

bool xprop(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xprop"), args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestX11WindowSystem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
        QVERIFY(windowSystem().available());
    }

    void markerIsFound()
    {
        QWidget plain, marked;
        plain.setWindowTitle(QStringLiteral("Some other window"));
        marked.setWindowTitle(QStringLiteral("Marked"));
        plain.show();
        marked.show();
        QVERIFY(QTest::qWaitForWindowExposed(&marked));
        QCOMPARE(windowSystem().findPanelWindow(QStringLiteral("QyTestMarker"), QStringLiteral("Nothing")), WId(0));
        QVERIFY(windowSystem().setWindowMarker(marked.winId(), QStringLiteral("QyTestMarker")));
        QCOMPARE(windowSystem().findPanelWindow(QStringLiteral("QyTestMarker"), QStringLiteral("Nothing")), marked.winId());
    }

    void markerOfAnotherProgramIsPassedOver_data()
    {
        QTest::addColumn<bool>("otherProgram"); // else the window names no process
        QTest::newRow("another program of this user") << true;
        QTest::newRow("no process named") << false;
    }
    void markerOfAnotherProgramIsPassedOver()
    {
        QFETCH(bool, otherProgram);
        if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
            QSKIP("xprop (x11-utils) is not installed");
        // The foreign window comes first in the stacking order, so a lookup
        // that trusted the marker alone would take it.
        QWidget foreign;
        foreign.setWindowTitle(QStringLiteral("Qy Foreign"));
        foreign.show();
        QVERIFY(QTest::qWaitForWindowExposed(&foreign));
        const QString id = QString::number(foreign.winId());
        QProcess other;
        if (otherProgram) {
            other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
            QVERIFY(other.waitForStarted());
            QVERIFY(xprop({QStringLiteral("-id"), id, QStringLiteral("-f"), QStringLiteral("_NET_WM_PID"),
                           QStringLiteral("32c"), QStringLiteral("-set"), QStringLiteral("_NET_WM_PID"),
                           QString::number(other.processId())}));
        } else {
            QVERIFY(xprop({QStringLiteral("-id"), id, QStringLiteral("-remove"), QStringLiteral("_NET_WM_PID")}));
        }
        QVERIFY(windowSystem().setWindowMarker(foreign.winId(), QStringLiteral("QyForeignMarker")));
        QCOMPARE(windowSystem().findPanelWindow(QStringLiteral("QyForeignMarker"), QStringLiteral("Qy Foreign")), WId(0));

        QWidget own;
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        QVERIFY(windowSystem().setWindowMarker(own.winId(), QStringLiteral("QyForeignMarker")));
        QCOMPARE(windowSystem().findPanelWindow(QStringLiteral("QyForeignMarker"), QStringLiteral("Nothing")), own.winId());
        if (otherProgram) {
            other.kill();
            other.waitForFinished();
        }
    }

    void titleOfOwnProgramIsFound()
    {
        QWidget w;
        w.setWindowTitle(QStringLiteral("Qy Title Probe"));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(windowSystem().findPanelWindow(QStringLiteral("QyNoSuchMarker"), QStringLiteral("Qy Title Probe")), w.winId());
        QCOMPARE(windowSystem().findPanelWindow(QStringLiteral("QyNoSuchMarker"), QStringLiteral("Qy Title")), WId(0));
    }

    void wakeReachesOnlyItsWindow()
    {
        QWidget a, b;
        a.show();
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        int wokenA = 0, wokenB = 0;
        auto watchA = windowSystem().watchWake(a.winId(), 0xDA5A, [&] { ++wokenA; });
        auto watchB = windowSystem().watchWake(b.winId(), 0xDA5A, [&] { ++wokenB; });
        QVERIFY(windowSystem().postWake(a.winId(), 0xDA5A));
        QTRY_COMPARE(wokenA, 1);
        QVERIFY(windowSystem().postWake(b.winId(), 0x1111)); // another code: ignored
        QVERIFY(windowSystem().postWake(b.winId(), 0xDA5A));
        QTRY_COMPARE(wokenB, 1);
        QCOMPARE(wokenA, 1);
        watchA.reset();
        QVERIFY(windowSystem().postWake(a.winId(), 0xDA5A));
        QVERIFY(windowSystem().postWake(b.winId(), 0xDA5A));
        QTRY_COMPARE(wokenB, 2);
        QCOMPARE(wokenA, 1);
        QVERIFY(!windowSystem().postWake(WId(0x7ffffff0), 0xDA5A)); // no such window
    }
};

QTEST_MAIN(TestX11WindowSystem)
#include "test_x11windowsystem.moc"
