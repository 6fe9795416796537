// The device-limit card: which rows it shows, its badge, how a row shares
// its width between name and ip, and its buttons under the mouse.
#include "account/accountdialogpaint.h"
#include "account/kickconfirmdialog.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "fakelauncher.h"

#include <QtTest>

namespace {

QList<DeviceEntry> devices(int n)
{
    QList<DeviceEntry> list;
    for (int i = 0; i < n; ++i)
        list.append(DeviceEntry{QStringLiteral("PC-%1").arg(i), QStringLiteral("10.0.0.%1").arg(i),
                                QStringLiteral("2026-10-3%1 09:00:00").arg(i)});
    return list;
}

void mouse(QWidget& w, QEvent::Type type, const QPoint& pos, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ? button : Qt::NoButton;
    QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), type == QEvent::MouseMove ? Qt::NoButton : button,
                  held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}

} // namespace

class TestKickConfirmDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setServiceHostOverride(QStringLiteral("service.test")); }

    void rows_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("lastRow");
        QTest::newRow("none") << 0 << 1 << translate(u"另一台电脑");
        QTest::newRow("one") << 1 << 1 << "PC-0";
        QTest::newRow("three") << 3 << 3 << "PC-2";
        QTest::newRow("four") << 4 << 4 << translate(u"…另有 %1 台").arg(1);
        QTest::newRow("five") << 5 << 4 << translate(u"…另有 %1 台").arg(2);
    }
    void rows()
    {
        QFETCH(int, entries);
        QFETCH(int, shown);
        QFETCH(QString, lastRow);
        KickConfirmDialog d(devices(entries), 1);
        QCOMPARE(d.rows().size(), shown);
        QCOMPARE(d.rows().last().name, lastRow);
        if (entries == 0 || entries > 3) {
            QVERIFY(d.rows().last().ip.isEmpty());
            QVERIFY(d.rows().last().lastSeen.isEmpty());
        }
        // The card grows by one row height per row and keeps its width.
        const KickConfirmDialog::Layout& l = d.layout();
        QCOMPARE(l.rows.size(), shown);
        QCOMPARE(l.listPanel.height(), 46 * shown + 20);
        QCOMPARE(l.size.width(), 560);
        QCOMPARE(d.size(), l.size);
        QCOMPARE(l.size.height(), 46 * shown + 188 + l.warning.height());
        QCOMPARE(l.devicesButton.top(), l.warning.bottom() + 22);
        QCOMPARE(l.continueButton.right(), 531);
    }

    void badge_data()
    {
        QTest::addColumn<int>("maxDevices");
        QTest::addColumn<QString>("text");
        QTest::newRow("no limit") << 0 << translate(u"不限设备数");
        QTest::newRow("negative") << -3 << translate(u"不限设备数");
        QTest::newRow("two") << 2 << translate(u"授权 %1 台设备").arg(2);
    }
    void badge()
    {
        QFETCH(int, maxDevices);
        QFETCH(QString, text);
        KickConfirmDialog d(devices(1), maxDevices);
        QCOMPARE(d.badgeText(), text);
        // The badge ends 15 px left of the close cross; the title yields to it.
        QCOMPARE(d.layout().badge.right() + 15, d.layout().close.left());
        QVERIFY(d.layout().title.right() < d.layout().badge.left());
    }

    // A long ip leaves the name at least 40 px; the two never overlap.
    void nameAndIpShareTheRow_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<bool>("nameAtMinimum");
        QTest::newRow("no ip") << "" << false;
        QTest::newRow("ipv4") << "203.0.113.24" << false;
        QTest::newRow("very long") << QString(60, QLatin1Char('8')) << true;
    }
    void nameAndIpShareTheRow()
    {
        QFETCH(QString, ip);
        QFETCH(bool, nameAtMinimum);
        const QRect row(44, 76, 472, 46);
        const KickConfirmDialog::RowText t = KickConfirmDialog::rowText(row, ip);
        QCOMPARE(t.nameX, 68);
        if (nameAtMinimum) {
            QCOMPARE(t.nameWidth, 40);
        } else {
            QCOMPARE(t.nameX + t.nameWidth + t.ipWidth, 44 + 471);
            QVERIFY(t.nameWidth > 40);
        }
        QCOMPARE(t.ipX, t.nameX + t.nameWidth);
        QCOMPARE(t.ipWidth, ip.isEmpty() ? 0 : QFontMetrics(dialogFont(12, false)).horizontalAdvance(ip) + 8);
    }

    void continueNeedsPressAndReleaseOnIt()
    {
        KickConfirmDialog d(devices(2), 1);
        d.show();
        const QPoint on = d.layout().continueButton.center();
        const QPoint off = d.layout().warning.center();
        mouse(d, QEvent::MouseButtonPress, on);
        mouse(d, QEvent::MouseMove, off);
        mouse(d, QEvent::MouseButtonRelease, off);
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));

        mouse(d, QEvent::MouseButtonPress, on);
        mouse(d, QEvent::MouseMove, off);
        mouse(d, QEvent::MouseMove, on);
        mouse(d, QEvent::MouseButtonRelease, on);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void devicesPageLeavesTheCardOpen()
    {
        testsupport::RecordingLauncher launcher;
        testsupport::LauncherOverride guard(&launcher);
        KickConfirmDialog d(devices(1), 1);
        d.show();
        QTest::mouseClick(&d, Qt::LeftButton, {}, d.layout().devicesButton.center());
        QCOMPARE(launcher.calls.size(), 1);
        QCOMPARE(launcher.calls.at(0).url, QUrl(QStringLiteral("https://service.test/#devices")));
        QVERIFY(d.isVisible());
        QTest::mouseClick(&d, Qt::LeftButton, {}, d.layout().continueButton.center());
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void closeCrossAndEscapeDecline_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("close cross") << false;
        QTest::newRow("escape") << true;
    }
    void closeCrossAndEscapeDecline()
    {
        QFETCH(bool, escape);
        KickConfirmDialog d(devices(1), 1);
        QTimer::singleShot(0, &d, [&] {
            if (escape)
                QTest::keyClick(&d, Qt::Key_Escape);
            else
                QTest::mouseClick(&d, Qt::LeftButton, {}, d.layout().close.center());
        });
        QCOMPARE(d.exec(), int(QDialog::Rejected));
    }

    // Another button neither acts nor leaves a press behind.
    void otherButtonsDoNothing()
    {
        KickConfirmDialog d(devices(1), 1);
        d.show();
        const QPoint on = d.layout().continueButton.center();
        mouse(d, QEvent::MouseButtonPress, on, Qt::RightButton);
        mouse(d, QEvent::MouseButtonRelease, on, Qt::RightButton);
        mouse(d, QEvent::MouseButtonPress, on);
        mouse(d, QEvent::MouseButtonRelease, on, Qt::RightButton);
        mouse(d, QEvent::MouseButtonRelease, on);
        QVERIFY(d.isVisible());
    }
};

QTEST_MAIN(TestKickConfirmDialog)
#include "test_kickconfirmdialog.moc"
