#include "protect/lockdialog.h"

#include "app/paths.h"
#include "app/theme.h"

#include <QCryptographicHash>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The older stored form costs one SHA-256, so checks finish at once.
QString quickHash(const QString& password)
{
    const QString salt = QStringLiteral("s");
    return salt + QLatin1Char('$')
        + QString::fromLatin1(QCryptographicHash::hash((salt + password).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void click(QWidget* w, const QRect& r)
{
    QTest::mouseMove(w, r.center());
    QTest::mouseClick(w, Qt::LeftButton, {}, r.center());
}

} // namespace

class TestLockDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setModeChecksItsFields_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("errorOnSecond");
        QTest::newRow("empty") << QString() << QString() << QStringLiteral("密码不能为空") << false;
        QTest::newRow("three") << QStringLiteral("abc") << QStringLiteral("abc") << QStringLiteral("密码长度需在 4~32 位之间") << false;
        QTest::newRow("thirty-three") << QString(33, QLatin1Char('a')) << QString(33, QLatin1Char('a'))
                                      << QStringLiteral("密码长度需在 4~32 位之间") << false;
        QTest::newRow("mismatch") << QStringLiteral("abcd") << QStringLiteral("abce") << QStringLiteral("两次输入的密码不一致") << true;
        QTest::newRow("prefix only") << QStringLiteral("abcd") << QStringLiteral("abcde") << QStringLiteral("两次输入的密码不一致") << true;
        QTest::newRow("four") << QStringLiteral("abcd") << QStringLiteral("abcd") << QString() << false;
        QTest::newRow("thirty-two") << QString(32, QLatin1Char('z')) << QString(32, QLatin1Char('z')) << QString() << false;
    }
    void setModeChecksItsFields()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, error);
        QFETCH(bool, errorOnSecond);
        LockDialog d(LockDialog::Set);
        d.firstField()->setText(first);
        d.secondField()->setText(second);
        QSignalSpy finished(&d, &QDialog::finished);
        const bool accepted = d.tryAccept(false);
        QCOMPARE(accepted, error.isEmpty());
        QVERIFY(!d.isBusy());   // setting a password never starts a check
        QCOMPARE(d.errorText(), error);
        if (accepted) {
            QCOMPARE(finished.count(), 1);
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QCOMPARE(d.password(), first);
        } else {
            QCOMPARE(finished.count(), 0);
            QCOMPARE(d.shakeAmount(), 1.0);
            // The field at fault is the one selected for retyping.
            if (!first.isEmpty()) {
                QCOMPARE(d.secondField()->hasSelectedText(), errorOnSecond);
                QCOMPARE(d.firstField()->hasSelectedText(), !errorOnSecond);
            }
        }
    }

    void checkedModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("error");
        const QString none;
        QTest::newRow("verify right") << int(LockDialog::Verify) << QStringLiteral("open sesame") << none << none;
        QTest::newRow("verify wrong") << int(LockDialog::Verify) << QStringLiteral("nope") << none << QStringLiteral("密码错误，请重试");
        QTest::newRow("remove right") << int(LockDialog::Remove) << QStringLiteral("open sesame") << none << none;
        QTest::newRow("remove wrong") << int(LockDialog::Remove) << QStringLiteral("nope") << none << QStringLiteral("密码错误，无法移除");
        QTest::newRow("change, clear") << int(LockDialog::Change) << QStringLiteral("open sesame") << none << none;
        QTest::newRow("change, new") << int(LockDialog::Change) << QStringLiteral("open sesame") << QStringLiteral("next") << none;
        QTest::newRow("change, new too short") << int(LockDialog::Change) << QStringLiteral("open sesame") << QStringLiteral("abc")
                                               << QStringLiteral("密码长度需在 4~32 位之间");
        QTest::newRow("change, old wrong") << int(LockDialog::Change) << QStringLiteral("nope") << QStringLiteral("next")
                                           << QStringLiteral("旧密码错误，请重试");
    }
    void checkedModes()
    {
        QFETCH(int, mode);
        QFETCH(QString, entered);
        QFETCH(QString, newPassword);
        QFETCH(QString, error);
        LockDialog d(mode);
        d.setStoredHash(quickHash(QStringLiteral("open sesame")));
        QStringList verified;
        d.verifiedHook = [&](const QString& p) { verified << p; };
        d.firstField()->setText(entered);
        if (d.secondField())
            d.secondField()->setText(newPassword);
        QSignalSpy finished(&d, &QDialog::finished);

        QVERIFY(!d.tryAccept(false));          // the check runs in the background
        QVERIFY(d.isBusy());
        QVERIFY(!d.firstField()->isEnabled());
        QVERIFY(!d.tryAccept(false));          // a second OK starts no second check
        QTRY_VERIFY(!d.isBusy());

        const bool oldRight = entered == QLatin1String("open sesame");
        QCOMPARE(verified, oldRight ? QStringList { entered } : QStringList());
        QCOMPARE(d.errorText(), error);
        QCOMPARE(finished.count(), error.isEmpty() ? 1 : 0);
        if (!error.isEmpty()) {
            QVERIFY(d.firstField()->isEnabled());
            // Started; the animation may have taken a step before the poll.
            QVERIFY(d.shakeAmount() > 0.0);
        }
    }

    void emptyStoredHashIsRefusedWithoutACheck_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("verify") << int(LockDialog::Verify);
        QTest::newRow("change") << int(LockDialog::Change);
        QTest::newRow("remove") << int(LockDialog::Remove);
    }
    void emptyStoredHashIsRefusedWithoutACheck()
    {
        QFETCH(int, mode);
        LockDialog d(mode);
        d.firstField()->setText(QStringLiteral("anything"));
        QVERIFY(!d.tryAccept(false));
        QVERIFY(!d.isBusy());
        QCOMPARE(d.errorText(), QStringLiteral("校验器未初始化，操作被拒绝"));
    }

    void layoutFollowsTheMode()
    {
        const LockDialogLayout one = lockDialogLayout(LockDialog::Verify, 48, 50);
        QCOMPARE(one.size, QSize(340, 300));
        QVERIFY(one.secondField.isNull());
        QCOMPARE(one.errorTop, 174);
        QCOMPARE(one.okButton, QRect(28, 200, 284, 42));
        const int g = (314 - 48 - 50) / 2;
        QCOMPARE(one.removeLink, QRect(QPoint(g - 4, 258), QPoint(48 + g + 3, 279)));
        QCOMPARE(one.forgotLink, QRect(QPoint(48 + g + 22, 258), QPoint(48 + 50 + g + 29, 279)));
        QVERIFY(!one.removeLink.intersects(one.forgotLink));

        const LockDialogLayout two = lockDialogLayout(LockDialog::Change, 48, 50);
        QCOMPARE(two.size, QSize(340, 346));
        QCOMPARE(two.secondField, QRect(28, 174, 284, 42));
        QCOMPARE(two.okButton, QRect(28, 254, 284, 42));
        QVERIFY(two.removeLink.isNull());
        QCOMPARE(two.hint, QRect(0, 307, 340, 18));

        LockDialog d(LockDialog::Set);
        QCOMPARE(d.firstField()->geometry(), d.layout().firstField);
        QCOMPARE(d.secondField()->geometry(), d.layout().secondField);
    }

    void clicksActOnlyWhereTheyWereReleased()
    {
        LockDialog d(LockDialog::Set);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QSignalSpy finished(&d, &QDialog::finished);
        d.firstField()->setText(QStringLiteral("abcd"));
        d.secondField()->setText(QStringLiteral("abcd"));
        // Pressed on OK, released over the close button: nothing happens.
        QTest::mouseMove(&d, d.layout().okButton.center());
        QTest::mousePress(&d, Qt::LeftButton, {}, d.layout().okButton.center());
        QTest::mouseMove(&d, d.layout().closeButton.center());
        QTest::mouseRelease(&d, Qt::LeftButton, {}, d.layout().closeButton.center());
        QVERIFY(!d.isClosing());
        QCOMPARE(finished.count(), 0);
        click(&d, d.layout().okButton);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }

    void escapeInAFieldRejects()
    {
        LockDialog d(LockDialog::Change);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QSignalSpy finished(&d, &QDialog::finished);
        QTest::keyClick(d.secondField(), Qt::Key_Escape);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(d.result(), int(QDialog::Rejected));
    }

    void closingDuringTheFadeInIsImmediate()
    {
        LockDialog d(LockDialog::Verify);
        d.show();
        QSignalSpy finished(&d, &QDialog::finished);
        d.done(QDialog::Rejected);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.windowOpacity(), 1.0);
    }

    void closingLaterFadesOutFirst()
    {
        LockDialog d(LockDialog::Verify);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTRY_COMPARE(d.windowOpacity(), 1.0);   // risen into place
        QTRY_COMPARE(d.pos(), d.homePosition());
        QSignalSpy finished(&d, &QDialog::finished);
        d.done(QDialog::Accepted);
        QCOMPARE(finished.count(), 0);
        QVERIFY(d.isClosing());
        d.done(QDialog::Rejected);               // ignored while closing
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
        QVERIFY(!d.tryAccept(true));
    }

    void removeLinkRunsTheNestedDialog_data()
    {
        QTest::addColumn<bool>("acceptNested");
        QTest::newRow("accepted") << true;
        QTest::newRow("rejected") << false;
    }
    void removeLinkRunsTheNestedDialog()
    {
        QFETCH(bool, acceptNested);
        LockDialog d(LockDialog::Verify);
        d.setStoredHash(quickHash(QStringLiteral("open sesame")));
        int removed = 0;
        d.removeHook = [&] { ++removed; };
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QSignalSpy finished(&d, &QDialog::finished);

        QTimer::singleShot(50, &d, [&] {
            LockDialog* nested = d.findChild<LockDialog*>();
            QVERIFY(nested);
            QCOMPARE(nested->mode(), int(LockDialog::Remove));
            if (acceptNested) {
                nested->firstField()->setText(QStringLiteral("open sesame"));
                nested->tryAccept(false);
            } else {
                nested->done(QDialog::Rejected);
            }
        });
        click(&d, d.layout().removeLink);   // returns when the nested dialog has closed

        QCOMPARE(removed, acceptNested ? 1 : 0);
        if (acceptNested) {
            QTRY_COMPARE(finished.count(), 1);
            QCOMPARE(d.result(), int(QDialog::Accepted));
        } else {
            QVERIFY(!d.isClosing());
            QCOMPARE(finished.count(), 0);
        }
    }

    // Guessing meets a wait after a few failures; the refused attempt is no
    // check and the dialog stays usable.
    void repeatedFailuresMeetAWait()
    {
        const QString attempts = cachedAppDataDir() + QStringLiteral("/lock_attempts.json");
        QFile::remove(attempts);
        LockDialog d(LockDialog::Verify);
        d.setStoredHash(quickHash(QStringLiteral("open sesame")));
        QStringList errors;
        for (int i = 0; i < 4; ++i) {
            d.firstField()->setText(QStringLiteral("guess"));
            d.tryAccept(false);
            QTRY_VERIFY(!d.isBusy());
            errors << d.errorText();
        }
        const QString wrong = QStringLiteral("密码错误，请重试");
        QCOMPARE(errors, (QStringList { wrong, wrong, wrong, QStringLiteral("尝试次数过多，请 1 秒后再试") }));
        QVERIFY(d.firstField()->isEnabled());
        QVERIFY(!d.isClosing());
        QFile::remove(attempts);
    }
};

QTEST_MAIN(TestLockDialog)
#include "test_lockdialog.moc"
