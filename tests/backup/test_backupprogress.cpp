// The progress card: clamped reports, the one cancel, the moving segment,
// and a card that neither Esc nor the window system closes.
#include "backup/backupprogressdialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>

class TestBackupProgress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reportsAreClamped_data();
    void reportsAreClamped();
    void cancelRunsTheCallbackOnce();
    void withoutCallbackThereIsNoButton();
    void segmentSpan_data();
    void segmentSpan();
    void staysOpenOnEscAndWindowClose();
    void centredOnParent();
};

void TestBackupProgress::reportsAreClamped_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("shown");
    QTest::newRow("negative") << -5 << 0;
    QTest::newRow("middle") << 45 << 45;
    QTest::newRow("above") << 250 << 100;
}

void TestBackupProgress::reportsAreClamped()
{
    QFETCH(int, percent);
    QFETCH(int, shown);
    BackupProgressDialog d(nullptr, QStringLiteral("start"), [] {});
    QVERIFY(d.isAnimating());
    QCOMPARE(d.progressTrack()->value, -1);
    d.setProgress(percent, QStringLiteral("T"));
    QCOMPARE(d.statusLabel()->text(), QStringLiteral("T   %1%").arg(shown));
    QCOMPARE(d.progressTrack()->value, shown);
    QVERIFY(!d.isAnimating());
    QCOMPARE(ProgressTrack::fillWidth(320, shown), 320 * shown / 100);
}

void TestBackupProgress::cancelRunsTheCallbackOnce()
{
    int calls = 0;
    BackupProgressDialog d(nullptr, QStringLiteral("start"), [&calls] { ++calls; });
    QPushButton* button = d.cancelButtonWidget();
    QVERIFY(!button->isHidden());
    button->click();
    QCOMPARE(calls, 1);
    QVERIFY(!button->isEnabled());
    QCOMPARE(button->text(), QStringLiteral("正在取消…"));
    QCOMPARE(d.statusLabel()->text(), QStringLiteral("正在取消…"));
    // A click queued before the button was disabled.
    Q_EMIT button->clicked();
    QCOMPARE(calls, 1);
    // Reports after the cancel change nothing; cancelling before the first
    // report leaves the segment moving.
    d.setProgress(60, QStringLiteral("T"));
    QCOMPARE(d.statusLabel()->text(), QStringLiteral("正在取消…"));
    QCOMPARE(d.progressTrack()->value, -1);
    QVERIFY(d.isAnimating());
}

void TestBackupProgress::withoutCallbackThereIsNoButton()
{
    BackupProgressDialog with(nullptr, QStringLiteral("x"), [] {});
    BackupProgressDialog without(nullptr, QStringLiteral("x"), {});
    QVERIFY(without.cancelButtonWidget()->isHidden());
    QCOMPARE(with.width(), 380);
    QCOMPARE(without.width(), 380);
    QVERIFY(without.height() < with.height());
}

void TestBackupProgress::segmentSpan_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("phase");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    // seg = 112 for 320: x = 432 * phase / 100 - 112.
    QTest::newRow("start sits at the left") << 320 << 0 << 0 << 112;
    QTest::newRow("still left while x < 0") << 320 << 24 << 0 << 112;
    QTest::newRow("sliding") << 320 << 50 << 104 << 216;
    QTest::newRow("last sliver") << 320 << 99 << 315 << 320;
    QTest::newRow("zero width") << 0 << 50 << 0 << 0;
}

void TestBackupProgress::segmentSpan()
{
    QFETCH(int, width);
    QFETCH(int, phase);
    QFETCH(int, left);
    QFETCH(int, right);
    const auto span = ProgressTrack::segmentSpan(width, phase);
    QCOMPARE(span.first, left);
    QCOMPARE(span.second, right);
}

void TestBackupProgress::staysOpenOnEscAndWindowClose()
{
    BackupProgressDialog d(nullptr, QStringLiteral("x"), [] {});
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(d.isVisible());

    // A close request of the window system (Alt+F4, a task bar).
    QCloseEvent fromWindowSystem;
    QSpontaneKeyEvent::setSpontaneous(&fromWindowSystem);
    QCoreApplication::instance()->notify(&d, &fromWindowSystem);
    QVERIFY(!fromWindowSystem.isAccepted());
    QVERIFY(d.isVisible());

    // The caller's close goes through.
    QVERIFY(d.close());
    QVERIFY(!d.isVisible());
}

void TestBackupProgress::centredOnParent()
{
    QWidget parent;
    parent.setGeometry(100, 200, 801, 601);
    BackupProgressDialog d(&parent, QStringLiteral("x"), [] {});
    const QRect g = parent.geometry();
    QCOMPARE(d.pos(), QPoint((g.left() + g.right()) / 2 - d.width() / 2, (g.top() + g.bottom()) / 2 - d.height() / 2));
}

QTEST_MAIN(TestBackupProgress)
#include "test_backupprogress.moc"
