#include "widgets/toast.h"
#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

// On a real X server: showing a message leaves the keyboard focus and the
// active window where they were, and the bubble takes no clicks. (The
// offscreen platform activates every window it shows, so this needs X.)
class TestToastFocus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void neverTakesFocusOrMouse();
};

void TestToastFocus::neverTakesFocusOrMouse()
{
    if (!testsupport::haveX11())
        QSKIP("needs an X server");
    QWidget window;
    window.resize(680, 496);
    auto* edit = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    Toast toast(&window);
    toast.showMessage(QStringLiteral("不抢焦点"), 0);
    QVERIFY(QTest::qWaitForWindowExposed(&toast));
    // Give a focus change every chance to arrive before looking.
    QTest::qWait(200);
    QCOMPARE(QApplication::activeWindow(), &window);
    QCOMPARE(QApplication::focusWidget(), edit);

    // A click on the bubble goes through to the window below.
    QVERIFY(toast.windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));

    // What a window manager looks at before it hands a new window the focus:
    // the input hint, and a user time of 0 ("do not activate").
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(toast.winId()),
                                          QStringLiteral("WM_HINTS"), QStringLiteral("_NET_WM_USER_TIME")});
    QVERIFY(xprop.waitForFinished(10000));
    const QString props = QString::fromUtf8(xprop.readAllStandardOutput());
    QVERIFY2(props.contains(QStringLiteral("Client accepts input or input focus: False")), qPrintable(props));
    QVERIFY2(props.contains(QStringLiteral("_NET_WM_USER_TIME(CARDINAL) = 0")), qPrintable(props));
}

QTEST_MAIN(TestToastFocus)
#include "test_toast_focus.moc"
