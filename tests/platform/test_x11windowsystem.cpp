#include "platform/windowsystem.h"

#include "testsupport.h"

#include <QWidget>
#include <QtTest>

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
