#include "widgets/hintcarddialog.h"
#include "widgets/msgdialog.h"
#include "widgets/namedialog.h"

#include "app/lang.h"
#include "testsupport.h"
#include "widgetwaits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QList<QPushButton*> buttonsOf(QWidget* w)
{
    return w->findChildren<QPushButton*>();
}

QPushButton* buttonWithText(QWidget* w, const QString& text)
{
    for (QPushButton* b : buttonsOf(w))
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { setLanguage(0); }

    void askReturnsTheChosenButton_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("press"); // button text, or "Escape"
        QTest::addColumn<int>("expected");
        QTest::newRow("no") << 0 << "否" << 0;
        QTest::newRow("yes") << 0 << "是" << 1;
        QTest::newRow("escape") << 0 << "Escape" << -1;
        QTest::newRow("english yes") << 1 << "Yes" << 1;
        QTest::newRow("english no") << 1 << "No" << 0;
    }
    void askReturnsTheChosenButton()
    {
        QFETCH(int, language);
        QFETCH(QString, press);
        setLanguage(language);
        QStringList shown;
        QString defaultText;
        testsupport::whenModal([&](QWidget* dlg) {
            for (QPushButton* b : buttonsOf(dlg)) {
                shown << b->text();
                if (b->isDefault())
                    defaultText = b->text();
            }
            if (press == QLatin1String("Escape"))
                QTest::keyClick(dlg, Qt::Key_Escape);
            else if (QPushButton* b = buttonWithText(dlg, press))
                b->click();
            else
                dlg->close();
        });
        const int result = MsgDialog::ask(nullptr, QStringLiteral("标题"), QStringLiteral("正文"));
        QTEST(result, "expected");
        // No first, yes second; yes is the blue default.
        QCOMPARE(shown, (QStringList{translate("否"), translate("是")}));
        QCOMPARE(defaultText, translate("是"));
    }

    void askKeepsGivenButtonTexts()
    {
        QStringList shown;
        testsupport::whenModal([&](QWidget* dlg) {
            for (QPushButton* b : buttonsOf(dlg))
                shown << b->text();
            buttonWithText(dlg, QStringLiteral("删除"))->click();
        });
        QCOMPARE(MsgDialog::ask(nullptr, QStringLiteral("t"), QStringLiteral("x"), QStringLiteral("删除"),
                                QStringLiteral("保留")),
                 1);
        QCOMPARE(shown, (QStringList{QStringLiteral("保留"), QStringLiteral("删除")}));
    }

    void unknownKindDrawsTheInformationIcon()
    {
        const QImage info = MsgDialog::iconPixmap(0).toImage();
        QCOMPARE(MsgDialog::iconPixmap(0).size(), QSize(36, 36));
        QCOMPARE(MsgDialog::iconPixmap(5).toImage(), info);
        QVERIFY(MsgDialog::iconPixmap(1).toImage() != info);
        QVERIFY(MsgDialog::iconPixmap(2).toImage() != info);
    }

    void msgDialogIsCentredOverItsParent()
    {
        QWidget parent;
        parent.setGeometry(100, 120, 800, 600);
        MsgDialog dlg(&parent, 0, QStringLiteral("标题"), QStringLiteral("正文"), {QStringLiteral("好")}, 0);
        QCOMPARE(dlg.width(), 420);
        QCOMPARE(dlg.pos(), parent.geometry().center() - QPoint(dlg.width() / 2, dlg.height() / 2));
    }

    void msgDialogButtonSetsChosenIndex()
    {
        MsgDialog dlg(nullptr, 2, QStringLiteral("t"), QStringLiteral("x"),
                      {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, 0);
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        buttonWithText(&dlg, QStringLiteral("c"))->click();
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(dlg.chosenIndex(), 2);
    }

    void hintCardButtons_data()
    {
        QTest::addColumn<QString>("secondary");
        QTest::addColumn<QString>("click");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("result");
        QTest::newRow("primary accepts") << "稍后" << "hintPrimary" << 3 << int(QDialog::Accepted);
        QTest::newRow("secondary rejects") << "稍后" << "hintSecondary" << 3 << int(QDialog::Rejected);
        QTest::newRow("close rejects") << "稍后" << "hintClose" << 3 << int(QDialog::Rejected);
        QTest::newRow("no secondary: close and primary only") << "" << "hintClose" << 2 << int(QDialog::Rejected);
    }
    void hintCardButtons()
    {
        QFETCH(QString, secondary);
        QFETCH(QString, click);
        HintCardDialog dlg(QStringLiteral("提示"), QStringLiteral("<b>正文</b>"), QStringLiteral("知道了"), secondary);
        QCOMPARE(dlg.width(), 476);
        QTEST(int(buttonsOf(&dlg).size()), "buttons");
        QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("hintSecondary")) != nullptr, !secondary.isEmpty());
        QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("hintPrimary"))->isDefault());
        testsupport::whenModal([&](QWidget* w) { w->findChild<QPushButton*>(click)->click(); });
        QTEST(dlg.exec(), "result");
    }

    // A long text makes the card as tall as it needs: the last paragraph is
    // shown whole.
    void hintCardShowsItsWholeText()
    {
        QString text = QStringLiteral("<div style=\"line-height:168%\">");
        for (int i = 0; i < 6; ++i)
            text += QStringLiteral("· 第 %1 行：比例不符时按等比放大铺满裁切显示，文件过大可能影响性能。<br>").arg(i);
        text += QStringLiteral("最后一段</div>");
        HintCardDialog dlg(QStringLiteral("选择背景"), text, QStringLiteral("选择文件"), QStringLiteral("取消"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const auto* body = dlg.findChild<QLabel*>(QStringLiteral("hintBody"));
        QVERIFY(body);
        QVERIFY2(body->height() >= body->heightForWidth(body->width()),
                 qPrintable(QStringLiteral("%1 < %2").arg(body->height()).arg(body->heightForWidth(body->width()))));
    }

    void hintCardMovesOnlyByItsHeader_data()
    {
        QTest::addColumn<int>("pressY");
        QTest::addColumn<bool>("moves");
        QTest::newRow("40 px below the top") << 40 << true;
        QTest::newRow("70 px below the top") << 70 << false;
    }
    void hintCardMovesOnlyByItsHeader()
    {
        QFETCH(int, pressY);
        QFETCH(bool, moves);
        HintCardDialog dlg(QStringLiteral("提示"), QStringLiteral("正文"), QStringLiteral("好"));
        dlg.setModal(false);
        dlg.move(200, 200);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QPoint start = dlg.pos();
        // A point of the card's margin area, away from every child.
        const QPoint press(4, pressY);
        QTest::mousePress(&dlg, Qt::LeftButton, {}, press);
        QMouseEvent move(QEvent::MouseMove, QPointF(press + QPoint(30, 20)),
                         QPointF(dlg.mapToGlobal(press + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&dlg, &move);
        QTest::mouseRelease(&dlg, Qt::LeftButton, {}, press + QPoint(30, 20));
        QCOMPARE(dlg.pos() != start, moves);
        if (moves)
            QCOMPARE(dlg.pos(), start + QPoint(30, 20));
    }

    void nameDialogTitleAndLimits()
    {
        NameDialog create(false);
        QCOMPARE(create.title(), translate("新建分组"));
        QCOMPARE(create.size(), QSize(300, 168));
        NameDialog rename(true);
        QCOMPARE(rename.title(), translate("重命名分组"));
        QCOMPARE(rename.lineEdit()->maxLength(), 24);
        rename.setText(QStringLiteral("  工作  "));
        QCOMPARE(rename.text(), QStringLiteral("工作"));
        QCOMPARE(rename.lineEdit()->selectedText(), QStringLiteral("  工作  "));
        QTest::keyClicks(rename.lineEdit(), QString(30, QLatin1Char('x')));
        QCOMPARE(rename.lineEdit()->text().size(), 24);
        QCOMPARE(rename.okRect(), QRect(24, 112, 120, 34));
        QCOMPARE(rename.cancelRect(), QRect(156, 112, 120, 34));
        QCOMPARE(rename.lineEdit()->geometry(), QRect(24, 62, 252, 34));
    }

    void nameDialogButtons_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pressOn");   // ok, cancel, none
        QTest::addColumn<QString>("releaseOn");
        QTest::addColumn<int>("finished");      // -1 still open, else the result
        QTest::newRow("ok with a name") << "工作" << "ok" << "ok" << int(QDialog::Accepted);
        QTest::newRow("cancel") << "工作" << "cancel" << "cancel" << int(QDialog::Rejected);
        QTest::newRow("ok released elsewhere") << "工作" << "ok" << "none" << -1;
        QTest::newRow("cancel released on ok") << "工作" << "cancel" << "ok" << -1;
        QTest::newRow("ok with a blank name stays open") << "   " << "ok" << "ok" << -1;
        QTest::newRow("press elsewhere, release on ok") << "工作" << "none" << "ok" << -1;
    }
    void nameDialogButtons()
    {
        QFETCH(QString, text);
        QFETCH(QString, pressOn);
        QFETCH(QString, releaseOn);
        QFETCH(int, finished);
        NameDialog dlg(false);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.setText(text);
        QSignalSpy spy(&dlg, &QDialog::finished);
        auto at = [&](const QString& which) {
            if (which == QLatin1String("ok"))
                return dlg.okRect().center();
            if (which == QLatin1String("cancel"))
                return dlg.cancelRect().center();
            return QPoint(150, 10);
        };
        QTest::mousePress(&dlg, Qt::LeftButton, {}, at(pressOn));
        QTest::mouseMove(&dlg, at(releaseOn));
        QTest::mouseRelease(&dlg, Qt::LeftButton, {}, at(releaseOn));
        if (finished < 0) {
            QCOMPARE(spy.size(), 0);
            QVERIFY(dlg.isVisible());
        } else {
            QCOMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), finished);
        }
        if (pressOn == QLatin1String("ok") && releaseOn == QLatin1String("ok") && finished < 0)
            QVERIFY(dlg.lineEdit()->hasFocus() || QApplication::focusWidget() == dlg.lineEdit());
    }

    void nameDialogKeys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("enter accepts a name") << "工作" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("enter accepts a blank entry") << "  " << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("escape rejects") << "工作" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void nameDialogKeys()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        NameDialog dlg(false);
        dlg.setText(text);
        testsupport::whenModal([&](QWidget*) { QTest::keyClick(dlg.lineEdit(), Qt::Key(key)); });
        QTEST(dlg.exec(), "result");
        if (text.trimmed().isEmpty())
            QVERIFY(dlg.text().isEmpty());
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
