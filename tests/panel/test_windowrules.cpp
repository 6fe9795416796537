#include "panel/windowrules.h"

#include <QtTest>

Q_DECLARE_METATYPE(UiButtonAction)

class TestWindowRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initialSize_data();
    void initialSize();
    void minimumSize_data();
    void minimumSize();
    void heartbeat_data();
    void heartbeat();
    void buttonAction_data();
    void buttonAction();
    void moveButton_data();
    void moveButton();
    void settingsDialogPlace_data();
    void settingsDialogPlace();
};

void TestWindowRules::initialSize_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<QSize>("remembered");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("expected");
    const QRect work(0, 0, 1920, 1040);
    QTest::newRow("clamped to the maxima") << true << QSize(2000, 1200) << work << QSize(1400, 1000);
    QTest::newRow("small screen takes its size") << true << QSize(2000, 1200) << QRect(0, 0, 600, 400) << QSize(600, 400);
    QTest::newRow("not remembered") << false << QSize(900, 600) << work << QSize(680, 496);
    QTest::newRow("width unknown") << true << QSize(-1, 600) << work << QSize(680, 496);
    QTest::newRow("remembered fits") << true << QSize(900, 600) << work << QSize(900, 600);
    QTest::newRow("below the minimum") << true << QSize(100, 100) << work << QSize(680, 460);
    QTest::newRow("zero is a known size") << true << QSize(0, 0) << work << QSize(680, 460);
    QTest::newRow("screen narrower than maximum") << true << QSize(1400, 1000) << QRect(0, 0, 1024, 700)
                                                  << QSize(1024, 700);
    QTest::newRow("screen exactly minimum") << true << QSize(900, 600) << QRect(0, 0, 680, 460) << QSize(680, 460);
    QTest::newRow("no screen: 1366 x 690") << true << QSize(2000, 2000) << QRect() << QSize(1366, 690);
}

void TestWindowRules::initialSize()
{
    QFETCH(bool, remember);
    QFETCH(QSize, remembered);
    QFETCH(QRect, available);
    QTEST(initialWindowSize(remember, remembered, available), "expected");
}

void TestWindowRules::minimumSize_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("large screen") << QRect(0, 0, 1920, 1040) << QSize(680, 460);
    QTest::newRow("small screen") << QRect(0, 0, 600, 400) << QSize(600, 400);
    QTest::newRow("no screen") << QRect() << QSize(680, 460);
}

void TestWindowRules::minimumSize()
{
    QFETCH(QRect, available);
    QTEST(minimumWindowSize(available), "expected");
}

void TestWindowRules::heartbeat_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("seconds");
    QTest::newRow("unset") << QByteArray() << 60;
    QTest::newRow("zero") << QByteArray("0") << 60;
    QTest::newRow("negative") << QByteArray("-5") << 60;
    QTest::newRow("five") << QByteArray("5") << 5;
    QTest::newRow("blanks around") << QByteArray(" 7 ") << 7;
    QTest::newRow("not a number") << QByteArray("ten") << 60;
    QTest::newRow("trailing junk") << QByteArray("5s") << 60;
}

void TestWindowRules::heartbeat()
{
    QFETCH(QByteArray, value);
    QTEST(tokenHeartbeatSeconds(value), "seconds");
}

void TestWindowRules::buttonAction_data()
{
    QTest::addColumn<int>("ub");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("revealed");
    QTest::addColumn<UiButtonAction>("action");
    using A = UiButtonAction;
    const A unlocked[] = {A::ToggleOrientation, A::OpenSettings, A::TogglePinned, A::Minimize, A::Close,
                          A::AppMarket, A::ToggleTheme, A::SupportChat, A::LockInterface,
                          A::ToggleScreenMonitor, A::ToggleObfuscation};
    for (int ub = 0; ub <= 10; ++ub) {
        QTest::addRow("button %d", ub) << ub << false << false << unlocked[ub];
        const A lockedAction = ub == 3 ? A::Minimize : ub == 4 ? A::Close : A::ShowLockScreen;
        QTest::addRow("button %d while locked", ub) << ub << true << false << lockedAction;
    }
    QTest::newRow("minimise slides back when summoned") << 3 << false << true << A::CollapseToEdge;
    QTest::newRow("close slides back when summoned") << 4 << true << true << A::CollapseToEdge;
    QTest::newRow("pin is unaffected by the reveal") << 2 << false << true << A::TogglePinned;
    QTest::newRow("unknown id") << 11 << false << false << A::None;
    QTest::newRow("negative id") << -1 << true << false << A::None;
}

void TestWindowRules::buttonAction()
{
    QFETCH(int, ub);
    QFETCH(bool, locked);
    QFETCH(bool, revealed);
    QTEST(uiButtonAction(ub, locked, revealed), "action");
}

void TestWindowRules::moveButton_data()
{
    QTest::addColumn<int>("ub");
    QTest::addColumn<int>("toArea");
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("hidden");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<QList<int>>("title");
    QTest::addColumn<QList<int>>("bottom");
    // Start: title [0 1 2 3 4], bottom [10 9 8 7 6 5]; the index counts the
    // buttons a bar shows.
    QTest::newRow("forward within a list counts the gap") << 9 << 1 << 4 << QList<int>{} << true
                                                          << QList<int>{0, 1, 2, 3, 4} << QList<int>{10, 8, 7, 9, 6, 5};
    QTest::newRow("backward within a list") << 6 << 1 << 0 << QList<int>{} << true << QList<int>{0, 1, 2, 3, 4}
                                            << QList<int>{6, 10, 9, 8, 7, 5};
    QTest::newRow("after the last button of its own bar") << 2 << 0 << 5 << QList<int>{} << true
                                                          << QList<int>{0, 1, 3, 4, 2} << QList<int>{10, 9, 8, 7, 6, 5};
    QTest::newRow("first button to its own end") << 10 << 1 << 6 << QList<int>{} << true << QList<int>{0, 1, 2, 3, 4}
                                                 << QList<int>{9, 8, 7, 6, 5, 10};
    QTest::newRow("onto its own place") << 8 << 1 << 2 << QList<int>{} << true << QList<int>{0, 1, 2, 3, 4}
                                        << QList<int>{10, 9, 8, 7, 6, 5};
    QTest::newRow("to the other bar") << 1 << 1 << 2 << QList<int>{} << true << QList<int>{0, 2, 3, 4}
                                      << QList<int>{10, 9, 1, 8, 7, 6, 5};
    QTest::newRow("hidden buttons before the drop are stepped over")
        << 4 << 1 << 1 << QList<int>{10, 9} << true << QList<int>{0, 1, 2, 3} << QList<int>{10, 9, 8, 4, 7, 6, 5};
    QTest::newRow("hidden buttons at the front, drop at the front")
        << 4 << 1 << 0 << QList<int>{10, 9} << true << QList<int>{0, 1, 2, 3} << QList<int>{10, 9, 4, 8, 7, 6, 5};
    QTest::newRow("hidden buttons, drop after the last shown")
        << 0 << 0 << 3 << QList<int>{1, 2} << true << QList<int>{1, 2, 3, 4, 0} << QList<int>{10, 9, 8, 7, 6, 5};
    QTest::newRow("index clamped to the end") << 5 << 0 << 99 << QList<int>{} << true << QList<int>{0, 1, 2, 3, 4, 5}
                                              << QList<int>{10, 9, 8, 7, 6};
    QTest::newRow("negative index to the front") << 4 << 0 << -3 << QList<int>{} << true << QList<int>{4, 0, 1, 2, 3}
                                                 << QList<int>{10, 9, 8, 7, 6, 5};
    QTest::newRow("id above 10 ignored") << 11 << 0 << 0 << QList<int>{} << false << QList<int>{0, 1, 2, 3, 4}
                                         << QList<int>{10, 9, 8, 7, 6, 5};
    QTest::newRow("negative id ignored") << -1 << 0 << 0 << QList<int>{} << false << QList<int>{0, 1, 2, 3, 4}
                                         << QList<int>{10, 9, 8, 7, 6, 5};
}

void TestWindowRules::moveButton()
{
    QFETCH(int, ub);
    QFETCH(int, toArea);
    QFETCH(int, index);
    QFETCH(QList<int>, hidden);
    QList<bool> visible(11, true);
    for (int id : hidden)
        visible[id] = false;
    QList<int> title{0, 1, 2, 3, 4};
    QList<int> bottom{10, 9, 8, 7, 6, 5};
    QTEST(moveUiButtonInLayouts(title, bottom, visible, ub, toArea, index), "moved");
    QTEST(title, "title");
    QTEST(bottom, "bottom");
}

void TestWindowRules::settingsDialogPlace_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("expected");
    // Screen 1920 x 1040, dialog 600 x 500; right and bottom are the last
    // pixel column and row, so "8 px away" starts 8 past them.
    QTest::newRow("room on the right") << QRect(100, 100, 680, 496) << QPoint(787, 100);
    QTest::newRow("room on the left only") << QRect(1200, 100, 680, 496) << QPoint(592, 100);
    QTest::newRow("neither side: below") << QRect(350, 100, 1300, 400) << QPoint(350, 507);
    QTest::newRow("no room anywhere: least overlap, first on tie") << QRect(0, 0, 1920, 1040) << QPoint(1320, 0);
    QTest::newRow("window partly off screen") << QRect(-300, 700, 680, 496) << QPoint(387, 540);
}

void TestWindowRules::settingsDialogPlace()
{
    QFETCH(QRect, frame);
    QTEST(settingsDialogPosition(frame, QRect(0, 0, 1920, 1040), QSize(600, 500)), "expected");
}

QTEST_GUILESS_MAIN(TestWindowRules)
#include "test_windowrules.moc"
