// Under a real X server: the summon hot key pressed with xdotool (also with
// NumLock on) and refused when another client holds it; docking at an edge
// with reveal on approach; the window-manager states under openbox; the
// tray icon in a real tray host.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "platform/hotkey.h"
#include "platform/windowstate.h"
#include "testsupport.h"
#include "widgets/toast.h"

#include <QMenu>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// Starts `program` and keeps it until the end of the test case.
class Helper {
public:
    bool start(const QString& program, const QStringList& args)
    {
        if (QStandardPaths::findExecutable(program).isEmpty())
            return false;
        m_process.start(program, args);
        return m_process.waitForStarted(3000);
    }
    ~Helper()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(2000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

private:
    QProcess m_process;
};

AppSettings quietSettings(const AppSettings& base)
{
    AppSettings s = base;
    s.closeToTray = false;
    s.minimizeToTray = false;
    s.revealMethod = 0;
    return s;
}

} // namespace

class TestSummonX11 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void hotkeySummons_data();
    void hotkeySummons();
    void hotkeyHeldElsewhere();
    void dockAndReveal();
    void windowManagerStates();
    void collapsedUnderAWindowManager_data();
    void collapsedUnderAWindowManager();
    void trayIcon();
};

void TestSummonX11::initTestCase()
{
    if (!testsupport::haveX11())
        QSKIP("needs an X server");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        QSKIP("needs xdotool");
    QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
    QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
}

void TestSummonX11::hotkeySummons_data()
{
    QTest::addColumn<bool>("numLock");
    QTest::newRow("plain") << false;
    QTest::newRow("NumLock on") << true;
}

void TestSummonX11::hotkeySummons()
{
    QFETCH(bool, numLock);
    MainWindow w;
    AppSettings s = quietSettings(w.currentSettings());
    s.summonHotkey = QStringLiteral("Ctrl+Alt+K");
    w.setSettingsAndApply(s);
    QVERIFY(w.summonHotkeyRegistered());
    QVERIFY(!w.isVisible());
    if (numLock)
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+k")}));
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 3000);
    if (numLock)
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")}));
    // Another panel started by a parallel test may hold the default key, so
    // this one uses a key of its own.
}

void TestSummonX11::hotkeyHeldElsewhere()
{
    // Another client (a connection of its own) takes the key first.
    std::unique_ptr<GlobalHotkey> other = createGlobalHotkey([] {});
    QVERIFY(other);
    QVERIFY(other->grab(Qt::Key_H, Qt::ControlModifier | Qt::AltModifier));
    MainWindow w;
    AppSettings s = quietSettings(w.currentSettings());
    s.summonHotkey = QStringLiteral("Ctrl+Alt+H");
    w.setSettingsAndApply(s);
    // Silent when not announced.
    QVERIFY(!w.summonHotkeyRegistered());
    QVERIFY(!w.findChild<Toast*>());
    w.registerSummonHotkey(true);
    QVERIFY(!w.summonHotkeyRegistered());
    auto* toast = w.findChild<Toast*>();
    QVERIFY(toast);
    QCOMPARE(toast->text(), translate("快捷键 %1 注册失败，可能已被其他程序占用").arg(QStringLiteral("Ctrl+Alt+H")));
    // Free again: announced success.
    other->release();
    w.registerSummonHotkey(true);
    QVERIFY(w.summonHotkeyRegistered());
    QCOMPARE(toast->text(), translate("呼出快捷键已启用：%1").arg(QStringLiteral("Ctrl+Alt+H")));
}

void TestSummonX11::dockAndReveal()
{
    MainWindow w;
    AppSettings s = quietSettings(w.currentSettings());
    s.edgeSnap = true;
    s.snapRevealPx = 1;
    s.summonHotkey = QStringLiteral("Ctrl+Alt+J");
    w.setSettingsAndApply(s);
    const QRect a = w.screen()->availableGeometry();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCursor::setPos(a.center());
    w.move(a.left() + 300, a.top() + 10);
    QTRY_COMPARE(w.geometry().top(), a.top() + 10);
    w.onMoveSizeFinished();
    QCOMPARE(w.docking().dockEdge, int(DockTop));
    QTRY_COMPARE_WITH_TIMEOUT(w.geometry().bottom(), a.top(), 2000);

    // The cursor reaches the edge: slid out, not sticky.
    QCursor::setPos(a.left() + 400, a.top());
    QTRY_COMPARE_WITH_TIMEOUT(w.geometry().top(), a.top(), 2000);
    // It leaves: back in.
    QCursor::setPos(a.center().x(), a.bottom() - 5);
    QTRY_COMPARE_WITH_TIMEOUT(w.geometry().bottom(), a.top(), 3000);

    // The hot key slides it out and keeps it out after the cursor moves.
    QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+j")}));
    QTRY_COMPARE_WITH_TIMEOUT(w.geometry().top(), a.top(), 2000);
    QTest::qWait(400);
    QCOMPARE(w.geometry().top(), a.top());
    // Moved away from the edge: undocked at the end of the move.
    w.move(a.left() + 300, a.top() + 200);
    QTRY_COMPARE(w.geometry().top(), a.top() + 200);
    w.onMoveSizeFinished();
    QCOMPARE(w.docking().dockEdge, int(DockNone));
}

void TestSummonX11::windowManagerStates()
{
    Helper wm;
    if (!wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}))
        QSKIP("needs openbox");
    QTest::qWait(700);
    MainWindow w;
    w.setSettingsAndApply(quietSettings(w.currentSettings()));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setPinned(true);
    QTRY_VERIFY_WITH_TIMEOUT(hasNetWmState(w.winId(), NetWmState::Above), 3000);
    w.setPinned(false);
    QTRY_VERIFY_WITH_TIMEOUT(!hasNetWmState(w.winId(), NetWmState::Above), 3000);

    // Docked: no taskbar button; shown and centred: the button is back.
    const QRect a = w.screen()->availableGeometry();
    w.move(a.left() + 5, a.top() + 300);
    QTRY_VERIFY(w.geometry().left() <= a.left() + 20);
    w.onMoveSizeFinished();
    QTRY_VERIFY_WITH_TIMEOUT(hasNetWmState(w.winId(), NetWmState::SkipTaskbar), 3000);
    w.showAndCentre();
    QTRY_VERIFY_WITH_TIMEOUT(!hasNetWmState(w.winId(), NetWmState::SkipTaskbar), 3000);
    QCOMPARE(w.docking().dockEdge, int(DockNone));
}

void TestSummonX11::collapsedUnderAWindowManager_data()
{
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("revealPx");
    QTest::newRow("left, 1 px") << int(DockLeft) << 1;
    QTest::newRow("right, 4 px") << int(DockRight) << 4;
    QTest::newRow("top, 0 px") << int(DockTop) << 0;
}

// openbox keeps a tenth of a normal window on screen, so the collapsed panel
// cannot move all the way out: only the edge strip may show all the same,
// and the approach still slides it out whole.
void TestSummonX11::collapsedUnderAWindowManager()
{
    QFETCH(int, edge);
    QFETCH(int, revealPx);
    Helper wm;
    if (!wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}))
        QSKIP("needs openbox");
    QTest::qWait(700);
    MainWindow w;
    AppSettings s = quietSettings(w.currentSettings());
    s.edgeSnap = true;
    s.snapRevealPx = revealPx;
    w.setSettingsAndApply(s);
    const QRect a = w.screen()->availableGeometry();
    QCursor::setPos(a.center());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize size = w.size();
    QPoint at(a.left() + 300, a.top() + 200);
    if (edge == DockLeft)
        at.setX(a.left() + 5);
    else if (edge == DockRight)
        at.setX(a.right() - size.width() - 4);
    else
        at.setY(a.top() + 5);
    w.move(at);
    QTRY_COMPARE(w.pos(), at);
    w.onMoveSizeFinished();
    QCOMPARE(w.docking().dockEdge, edge);

    QRect strip;
    if (edge == DockLeft)
        strip = QRect(a.left(), a.top(), revealPx, a.height());
    else if (edge == DockRight)
        strip = QRect(a.right() - revealPx + 1, a.top(), revealPx, a.height());
    else
        strip = QRect(a.left(), a.top(), a.width(), revealPx);
    // Where the X server has the window: the toolkit is not told when the
    // window manager keeps it on screen.
    const auto shown = [&w, &a] {
        const QRegion region = w.mask().isEmpty() ? QRegion(w.rect()) : w.mask();
        return region.translated(placedWindowGeometry(w.winId()).topLeft()) & a;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!w.docking().geometryAnimation, 3000);
    QTRY_VERIFY_WITH_TIMEOUT((shown() - QRegion(strip)).isEmpty(), 4000);

    // The cursor reaches the edge: the whole panel slides out in its own shape.
    QPoint edgePoint = a.center();
    if (edge == DockLeft)
        edgePoint.setX(a.left());
    else if (edge == DockRight)
        edgePoint.setX(a.right());
    else
        edgePoint = QPoint(at.x() + size.width() / 2, a.top());
    QCursor::setPos(edgePoint);
    QTRY_VERIFY_WITH_TIMEOUT(a.contains(placedWindowGeometry(w.winId())), 3000);
    QVERIFY(w.mask().isEmpty() || w.mask().boundingRect() == w.rect());
    // Left again: back in, cut down once more.
    QCursor::setPos(a.center().x(), a.bottom() - 5);
    QTRY_VERIFY_WITH_TIMEOUT(!a.contains(placedWindowGeometry(w.winId())), 3000);
    QTRY_VERIFY_WITH_TIMEOUT((shown() - QRegion(strip)).isEmpty(), 4000);
}

void TestSummonX11::trayIcon()
{
    Helper host;
    if (!host.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"),
                                               QStringLiteral("--widthtype"), QStringLiteral("request")}))
        QSKIP("needs a tray host (trayer)");
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 5000);
    MainWindow w;
    AppSettings s = quietSettings(w.currentSettings());
    s.closeToTray = true;
    w.setSettingsAndApply(s);
    QVERIFY(w.tray());
    QVERIFY(w.tray()->isVisible());
    // Embedded by the host: it has a place on the screen.
    QTRY_VERIFY_WITH_TIMEOUT(w.tray()->geometry().isValid(), 5000);
    QCOMPARE(w.tray()->contextMenu()->actions().size(), 4);

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.close();
    QVERIFY(!w.isVisible());
    // The menu's first action shows the panel again.
    w.tray()->contextMenu()->actions().at(0)->trigger();
    QTRY_VERIFY(w.isVisible());

    // A click on the icon itself does too.
    w.close();
    QVERIFY(!w.isVisible());
    // Panels of tests running beside this one may add icons to the same
    // host and move ours: the place is read again before every try.
    for (int attempt = 0; attempt < 5 && !w.isVisible(); ++attempt) {
        const QPoint c = w.tray()->geometry().center();
        QVERIFY(xdotool({QStringLiteral("mousemove"), QString::number(c.x()), QString::number(c.y())}));
        QTest::qWait(100);
        QVERIFY(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
        QTest::qWait(400);
    }
    QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 3000);
}

QTEST_MAIN(TestSummonX11)
#include "test_summon_x11.moc"
