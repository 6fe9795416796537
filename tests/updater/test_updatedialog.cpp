// The update dialog: note lines, size, the hit areas with press-and-release
// on the same area, and the busy look of a running download.
#include "app/lang.h"
#include "app/servicehost.h"
#include "fakelauncher.h"
#include "updater/updatedialog.h"

#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

using Area = UpdateDialog::UpdateArea;
Q_DECLARE_METATYPE(UpdateDialog::UpdateArea)

namespace {

QPoint centreOf(const UpdateDialog& d, Area a)
{
    const UpdateDialog::Areas r = UpdateDialog::areasFor(d.size());
    switch (a) {
    case Area::UpdateButton:
        return r.update.center();
    case Area::LaterButton:
        return r.later.center();
    case Area::CloseButton:
        return r.close.center();
    case Area::SiteLink:
        return r.siteLink.center();
    case Area::MinimizeButton:
        return r.minimize.center();
    case Area::None:
        break;
    }
    return QPoint(d.width() / 2, 40);
}

} // namespace

class TestUpdateDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void notes_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("circled numbers start lines")
            << QString::fromUtf8("修复若干问题①新增搜索②优化启动速度；")
            << QStringList{QString::fromUtf8("修复若干问题"), QString::fromUtf8("①新增搜索"),
                           QString::fromUtf8("②优化启动速度")};
        QTest::newRow("starting with ① gives no empty line")
            << QString::fromUtf8("①一②二") << QStringList{QString::fromUtf8("①一"), QString::fromUtf8("②二")};
        QTest::newRow("only the first occurrence of a mark")
            << QString::fromUtf8("a①b①c") << QStringList{QStringLiteral("a"), QString::fromUtf8("①b①c")};
        QTest::newRow("⑳ is the last mark")
            << QString::fromUtf8("a⑳b㉑c") << QStringList{QStringLiteral("a"), QString::fromUtf8("⑳b㉑c")};
        QTest::newRow("line feeds, blanks and trailing marks")
            << QString::fromUtf8("  one;,\n\n two，；  \n\t\nthree")
            << QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")};
        QTest::newRow("a line of marks only becomes empty")
            << QString::fromUtf8("a\n；;\nb") << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("blank notes") << QStringLiteral(" \n\t ") << QStringList{};
        QTest::newRow("empty notes") << QString() << QStringList{};
    }
    void notes()
    {
        QFETCH(QString, notes);
        QFETCH(QStringList, lines);
        QCOMPARE(UpdateDialog::normaliseNotes(notes), lines);
    }

    void size()
    {
        UpdateDialog d;
        QCOMPARE(d.size(), QSize(440, 236));
        const QRect avail = d.screen()->availableGeometry();
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QString());
        QCOMPARE(d.width(), qBound(320, avail.width() - 40, 440));
        QCOMPARE(d.height(), 300);
        QVERIFY(d.lines().isEmpty());
        QVERIFY(d.notesBlockHeight() > 0);   // the default sentence

        QString longNotes;
        for (int i = 0; i < 20; ++i)
            longNotes += QChar(0x2460 + i) + QString(80, QChar(0x6587));
        d.showUpdate(QStringLiteral("1.2.3"), longNotes, QString());
        QCOMPARE(d.lines().size(), 20);
        QCOMPARE(d.height(), avail.height() - 60);
    }

    void heading()
    {
        UpdateDialog d;
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QStringLiteral("  "));
        QCOMPARE(d.heading(), translate(u"发现新版本 v%1").arg(QStringLiteral("1.2.3")));
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QStringLiteral(" Big one "));
        QCOMPARE(d.heading(), QStringLiteral("Big one"));
        QCOMPARE(d.windowTitle(), translate(u"版本更新"));
    }

    void clicks_data()
    {
        QTest::addColumn<Area>("press");
        QTest::addColumn<Area>("release");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("signal");
        QTest::newRow("later") << Area::LaterButton << Area::LaterButton << false << "dismissed";
        QTest::newRow("close") << Area::CloseButton << Area::CloseButton << false << "dismissed";
        QTest::newRow("minimise") << Area::MinimizeButton << Area::MinimizeButton << false << "minimized";
        QTest::newRow("update") << Area::UpdateButton << Area::UpdateButton << false << "updateClicked";
        QTest::newRow("later pressed, released on the cross") << Area::LaterButton << Area::CloseButton << false << "";
        QTest::newRow("pressed outside, released on update") << Area::None << Area::UpdateButton << false << "";
        QTest::newRow("update while busy") << Area::UpdateButton << Area::UpdateButton << true << "";
        QTest::newRow("later while busy") << Area::LaterButton << Area::LaterButton << true << "dismissed";
    }
    void clicks()
    {
        QFETCH(Area, press);
        QFETCH(Area, release);
        QFETCH(bool, busy);
        QFETCH(QString, signal);
        UpdateDialog d;
        d.showUpdate(QStringLiteral("1.2.3"), QStringLiteral("notes"), QString());
        if (busy)
            d.setStatusText(translate(u"正在连接服务器…"));
        QSignalSpy update(&d, &UpdateDialog::updateClicked);
        QSignalSpy dismissed(&d, &UpdateDialog::dismissed);
        QSignalSpy minimized(&d, &UpdateDialog::minimized);
        QCOMPARE(d.hitTest(centreOf(d, press)), press);
        QTest::mousePress(&d, Qt::LeftButton, {}, centreOf(d, press));
        QTest::mouseRelease(&d, Qt::LeftButton, {}, centreOf(d, release));
        QTest::qWait(20);
        QCOMPARE(update.size(), int(signal == QLatin1String("updateClicked")));
        QCOMPARE(dismissed.size(), int(signal == QLatin1String("dismissed")));
        QCOMPARE(minimized.size(), int(signal == QLatin1String("minimized")));
        if (signal == QLatin1String("minimized")) {
            QVERIFY(d.isMinimized());
            // Minimised, it must not keep the panel blocked.
            QCOMPARE(d.windowModality(), Qt::NonModal);
            d.showUpdate(QStringLiteral("1.2.4"), QString(), QString());
            QVERIFY(!d.isMinimized());
        }
    }

    void otherButtonsAreIgnored()
    {
        UpdateDialog d;
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QString());
        QSignalSpy dismissed(&d, &UpdateDialog::dismissed);
        QTest::mousePress(&d, Qt::RightButton, {}, centreOf(d, Area::LaterButton));
        QTest::mouseRelease(&d, Qt::RightButton, {}, centreOf(d, Area::LaterButton));
        QTest::mousePress(&d, Qt::LeftButton, {}, centreOf(d, Area::None));
        QTest::mouseRelease(&d, Qt::LeftButton, {}, centreOf(d, Area::None));
        QCOMPARE(dismissed.size(), 0);
    }

    // The site link opens the service's site, but not while the busy look
    // hides it.
    void siteLink()
    {
        testsupport::RecordingLauncher rec;
        testsupport::LauncherOverride guard(&rec);
        UpdateDialog d;
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QString());
        QTest::mouseClick(&d, Qt::LeftButton, {}, centreOf(d, Area::SiteLink));
        QCOMPARE(rec.calls.size(), 1);
        QCOMPARE(rec.calls.first().url, serviceUrl(QStringLiteral("/")));
        d.setProgress(10);
        QTest::mouseClick(&d, Qt::LeftButton, {}, centreOf(d, Area::SiteLink));
        QCOMPARE(rec.calls.size(), 1);
    }

    void busyLook()
    {
        UpdateDialog d;
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QString());
        QCOMPARE(d.progressPercent(), -1);
        QVERIFY(d.status().isEmpty());
        d.setProgress(42);
        QCOMPARE(d.progressPercent(), 42);
        QCOMPARE(d.status(), translate(u"正在下载更新… %1%").arg(42));
        d.setStatusText(translate(u"下载失败，请检查网络后重试"));
        QCOMPARE(d.progressPercent(), 42);
        d.grab();   // paints the busy look with a bar
        d.showUpdate(QStringLiteral("1.2.4"), QString(), QString());
        QVERIFY(d.status().isEmpty());
        QCOMPARE(d.progressPercent(), -1);
    }

    void modality()
    {
        UpdateDialog d;
        d.showUpdate(QStringLiteral("1.2.3"), QString(), QString());
        QCOMPARE(d.windowModality(), Qt::ApplicationModal);
        d.hide();
        QCOMPARE(d.windowModality(), Qt::NonModal);
    }
};

QTEST_MAIN(TestUpdateDialog)
#include "test_updatedialog.moc"
