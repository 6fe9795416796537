// The notice popup: body wrapping, its buttons and keys, dragging, and the
// reports it sends to the stand-in service.
#include "account/noticedialog.h"
#include "app/lang.h"
#include "fakelauncher.h"
#include "standin.h"

#include <QFontMetricsF>
#include <QJsonArray>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using testsupport::StandInService;

namespace {

QFont bodyFont()
{
    NoticeDialog probe(0, QString(), QString(), QString(), QString());
    QFont f = probe.font();
    f.setPixelSize(13);
    return f;
}

// How many 'a' fit in `width` pixels, counted one by one.
int fittingLetters(const QFontMetricsF& fm, int width)
{
    int n = 0;
    while (fm.horizontalAdvance(QString(n + 1, QLatin1Char('a'))) <= width)
        ++n;
    return n;
}

QJsonArray reports(StandInService& svc)
{
    return svc.control(QStringLiteral("notice.reports")).value(QStringLiteral("reports")).toArray();
}

// The actions reported after the first `skip` reports.
QStringList actionsReported(StandInService& svc, int skip = 0)
{
    QStringList out;
    const QJsonArray all = reports(svc);
    for (int i = skip; i < all.size(); ++i)
        out << all.at(i).toObject().value(QStringLiteral("action")).toString();
    return out;
}

} // namespace

class TestNoticeDialog : public QObject {
    Q_OBJECT
    StandInService svc;

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!svc.start(&error))
            QFAIL(qPrintable(error));
    }
    void init() { svc.control(QStringLiteral("clear_log")); }

    void wrapping()
    {
        const QFontMetricsF fm(bodyFont());
        const int k = fittingLetters(fm, 420);
        QVERIFY(k > 20);

        QCOMPARE(wrapNoticeBody(QString(), fm, 420, 50), QStringList{QString()});
        QCOMPARE(wrapNoticeBody(QStringLiteral("a\n\nb"), fm, 420, 50),
                 (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));

        // A word longer than the line is cut at the limit, nothing lost.
        const QString word(3 * k + 7, QLatin1Char('a'));
        const QStringList cut = wrapNoticeBody(word, fm, 420, 50);
        QCOMPARE(cut.size(), 4);
        QCOMPARE(cut.first().size(), k);
        QCOMPARE(cut.join(QString()), word);

        // A space among the last eleven characters before the limit is the
        // break, and is dropped; one further back is not.
        const QString nearSpace = QString(k - 5, QLatin1Char('a')) + QLatin1Char(' ') + QString(40, QLatin1Char('b'));
        const QStringList near = wrapNoticeBody(nearSpace, fm, 420, 50);
        QCOMPARE(near.first(), QString(k - 5, QLatin1Char('a')));
        QCOMPARE(near.at(1), QString(40, QLatin1Char('b')));
        const QString farSpace = QString(k - 30, QLatin1Char('a')) + QLatin1Char(' ') + QString(80, QLatin1Char('b'));
        const QStringList far = wrapNoticeBody(farSpace, fm, 420, 50);
        QVERIFY(far.first().size() > k - 29);
        QVERIFY(fm.horizontalAdvance(far.first()) <= 420);

        // Over the budget: cut, and the last kept line says so.
        QStringList many;
        for (int i = 0; i < 200; ++i)
            many << QStringLiteral("line %1").arg(i);
        const QStringList kept = wrapNoticeBody(many.join(QLatin1Char('\n')), fm, 420, 10);
        QCOMPARE(kept.size(), 10);
        QCOMPARE(kept.last(), QStringLiteral("line 9 \u2026"));
    }

    void geometry()
    {
        NoticeDialog empty(1, QStringLiteral("t"), QString(), QString(), QString());
        QCOMPARE(empty.bodyLines(), QStringList{QString()});
        QCOMPARE(empty.size(), QSize(470, 264));
        QCOMPARE(empty.layout().primary, QRect(356, 210, 92, 34));
        QVERIFY(empty.layout().secondary.isNull());

        NoticeDialog linked(1, QStringLiteral("t"), QString(), QStringLiteral("https://x.test/"), QString());
        QCOMPARE(linked.layout().primary, QRect(348, 210, 100, 34));
        QCOMPARE(linked.layout().secondary, QRect(266, 210, 72, 34));
        QCOMPARE(linked.elementAt(QPoint(440, 20)), int(NoticeDialog::CloseIcon));

        // A long notice is cut to what the screen can hold.
        QStringList many;
        for (int i = 0; i < 200; ++i)
            many << QStringLiteral("line");
        NoticeDialog tall(1, QStringLiteral("t"), many.join(QLatin1Char('\n')), QString(), QString());
        const int step = qMax(1, qRound(QFontMetricsF(bodyFont()).lineSpacing() * 1.12));
        const int budget = qMax(1, (tall.screen()->availableGeometry().height() - 186) / step);
        QCOMPARE(tall.bodyLines().size(), qMin(200, budget));
        QCOMPARE(tall.height(), NoticeDialog::heightFor(step, int(tall.bodyLines().size())));
        if (budget < 200)
            QVERIFY(tall.bodyLines().last().endsWith(QStringLiteral(" \u2026")));
    }

    // Every way of closing reports "closed" once and emits dismissed().
    void dismissals_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QPoint>("click");   // (-1, -1): Escape
        QTest::newRow("close icon") << QString() << QPoint(440, 20);
        QTest::newRow("got it") << QString() << QPoint(400, 227);
        QTest::newRow("close button") << QStringLiteral("https://x.test/") << QPoint(300, 227);
        QTest::newRow("escape") << QString() << QPoint(-1, -1);
    }
    void dismissals()
    {
        QFETCH(QString, url);
        QFETCH(QPoint, click);
        const int before = int(reports(svc).size());
        QPointer<NoticeDialog> dlg = new NoticeDialog(77, QStringLiteral("Title"), QStringLiteral("Body"), url, QString());
        QSignalSpy spy(dlg.data(), &NoticeDialog::dismissed);
        dlg->popup();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.data()));
        QTRY_COMPARE_WITH_TIMEOUT(actionsReported(svc, before), QStringList{QStringLiteral("delivered")}, 10000);
        if (click.x() < 0)
            QTest::keyClick(dlg.data(), Qt::Key_Escape);
        else
            QTest::mouseClick(dlg.data(), Qt::LeftButton, {}, click);
        QCOMPARE(spy.count(), 1);
        QTRY_VERIFY(dlg.isNull());   // closed and deleted
        QTRY_COMPARE_WITH_TIMEOUT(actionsReported(svc, before),
                                  (QStringList{QStringLiteral("delivered"), QStringLiteral("closed")}), 10000);
        const QJsonObject last = reports(svc).last().toObject();
        QCOMPARE(last.value(QStringLiteral("notice_id")).toInteger(), qint64(77));
        QCOMPARE(last.keys(), (QStringList{QStringLiteral("action"), QStringLiteral("device"),
                                           QStringLiteral("notice_id")}));
        // The body keeps its order: notice_id, device, action.
        const QJsonArray sent = svc.requestsTo(QStringLiteral("/api/notice.php"), QStringLiteral("report"));
        QVERIFY(sent.last().toObject().value(QStringLiteral("body")).toString().startsWith(
            QStringLiteral("{\"notice_id\":77,\"device\":")));
    }

    void links_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("opened");
        QTest::newRow("https") << QStringLiteral(" https://x.test/news?id=1 ") << QStringLiteral("https://x.test/news?id=1");
        QTest::newRow("http upper case") << QStringLiteral("HTTP://x.test/") << QStringLiteral("http://x.test/");
        QTest::newRow("ftp") << QStringLiteral("ftp://x.test/file") << QString();
        QTest::newRow("no host") << QStringLiteral("https:///path") << QString();
        QTest::newRow("local file") << QStringLiteral("file:///etc/passwd") << QString();
        QTest::newRow("not a link") << QStringLiteral("see the forum") << QString();
    }
    void links()
    {
        QFETCH(QString, url);
        QFETCH(QString, opened);
        const int before = int(reports(svc).size());
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        NoticeDialog dlg(5, QStringLiteral("T"), QStringLiteral("B"), url, QString());
        QSignalSpy spy(&dlg, &NoticeDialog::dismissed);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::mouseClick(&dlg, Qt::LeftButton, {}, QPoint(400, dlg.height() - 37));
        QCOMPARE(spy.count(), 0);
        QVERIFY(dlg.isVisible());   // the popup stays until dismissed
        if (opened.isEmpty()) {
            QVERIFY(rec.calls.isEmpty());
        } else {
            QCOMPARE(rec.calls.size(), 1);
            QCOMPARE(rec.calls.first().url, QUrl(opened));
        }
        QTRY_VERIFY_WITH_TIMEOUT(actionsReported(svc, before).contains(QStringLiteral("opened")), 10000);
    }

    void noReportsWithoutAnId()
    {
        auto* dlg = new NoticeDialog(0, QStringLiteral("T"), QStringLiteral("B"), QString(), QString());
        QSignalSpy spy(dlg, &NoticeDialog::dismissed);
        dlg->popup();
        QVERIFY(QTest::qWaitForWindowExposed(dlg));
        QTest::keyClick(dlg, Qt::Key_Escape);
        QCOMPARE(spy.count(), 1);
        QTest::qWait(300);
        QCOMPARE(svc.requestsTo(QStringLiteral("/api/notice.php")).size(), 0);
    }

    void pressAndRelease()
    {
        NoticeDialog dlg(0, QStringLiteral("T"), QStringLiteral("B"), QStringLiteral("https://x.test/"), QString());
        QSignalSpy spy(&dlg, &NoticeDialog::dismissed);
        dlg.move(100, 100);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QPoint home = dlg.pos();

        // A press on a button does not drag the window.
        QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(300, 227));
        QTest::mouseMove(&dlg, QPoint(320, 240));
        QCOMPARE(dlg.pos(), home);
        // Released over another button: nothing happens.
        QTest::mouseRelease(&dlg, Qt::LeftButton, {}, QPoint(400, 227));
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_MAIN(TestNoticeDialog)
#include "test_noticedialog.moc"
