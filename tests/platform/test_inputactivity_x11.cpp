// The input watch on the real X server, fed by xdotool: raw events tell the
// keyboard from the mouse, the screen-saver fallback sees any input.
#include "platform/inputactivity.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

namespace {

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

bool typeKey() { return xdotool({QStringLiteral("key"), QStringLiteral("shift")}); }
bool nudgeMouse()
{
    return xdotool({QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("7"),
                    QStringLiteral("-5")});
}

using Kind = InputActivity::Kind;

} // namespace

class TestInputActivityX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (!testsupport::haveX11())
            QSKIP("needs an X server");
    }

    void rawEventsTellKeyboardFromMouse()
    {
        auto watch = watchInputActivity();
        QVERIFY(watch);
        QVERIFY(watch->tellsKindsApart());
        // Both count as just used when the watch starts.
        QVERIFY(watch->idleMs(Kind::Keyboard) < 1000);
        QVERIFY(watch->idleMs(Kind::Mouse) < 1000);
        QTest::qWait(700);

        QVERIFY(typeKey());
        QTRY_VERIFY(watch->idleMs(Kind::Keyboard) < 300);
        QVERIFY(watch->idleMs(Kind::Mouse) >= 600);
        QVERIFY(watch->idleMs(Kind::Any) < 300);

        QTest::qWait(700);
        QVERIFY(nudgeMouse());
        QTRY_VERIFY(watch->idleMs(Kind::Mouse) < 300);
        QVERIFY(watch->idleMs(Kind::Keyboard) >= 600);
        QVERIFY(watch->idleMs(Kind::Any) < 300);
    }

    void screenSaverSeesAnyInput()
    {
        auto watch = watchInputActivity(true);
        QVERIFY(watch);
        QVERIFY(!watch->tellsKindsApart());
        QTest::qWait(700);
        QVERIFY(watch->idleMs(Kind::Any) >= 600);
        QVERIFY(typeKey());
        QTRY_VERIFY(watch->idleMs(Kind::Any) < 300);
        QTest::qWait(700);
        // The kind asked for makes no difference without raw events.
        QVERIFY(watch->idleMs(Kind::Keyboard) >= 600);
        QVERIFY(nudgeMouse());
        QTRY_VERIFY(watch->idleMs(Kind::Keyboard) < 300);
    }
};

QTEST_MAIN(TestInputActivityX11)
#include "test_inputactivity_x11.moc"
