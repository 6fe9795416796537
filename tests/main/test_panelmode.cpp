#include "main/panelmode.h"
#include "panel/mainwindow.h"

#include <QScreen>
#include <QtTest>

class TestPanelMode : public QObject {
    Q_OBJECT
    QStringList m_lines;
    static TestPanelMode* s_self;
    // Our own lines only, not what the platform plug-in says.
    static void capture(QtMsgType, const QMessageLogContext& context, const QString& text)
    {
        if (context.category && qstrcmp(context.category, "default") == 0
            && !text.startsWith(QLatin1String("This plugin does not support")))
            s_self->m_lines << text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        s_self = this;
        qInstallMessageHandler(capture);
    }

    void centring_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("centred") << QRect(0, 0, 1920, 1080) << QSize(800, 560) << QPoint(560, 260);
        QTest::newRow("odd room is halved down") << QRect(0, 0, 1001, 1001) << QSize(800, 800) << QPoint(100, 100);
        QTest::newRow("one pixel smaller sits at the edge") << QRect(10, 20, 801, 561) << QSize(800, 560) << QPoint(10, 20);
        QTest::newRow("larger than the area sits at the edge") << QRect(-1920, 0, 640, 480) << QSize(800, 560) << QPoint(-1920, 0);
        QTest::newRow("no screen: 1920 x 1080 at the origin") << QRect(0, 0, 1920, 1080) << QSize(1920, 1080) << QPoint(0, 0);
    }
    void centring()
    {
        QFETCH(QRect, area);
        QFETCH(QSize, size);
        QFETCH(QPoint, topLeft);
        QCOMPARE(centredTopLeft(area, size), topLeft);
    }

    void selfCheckPassesAVisibleWindow()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        m_lines.clear();
        startupSelfCheck(&w);
        QCOMPARE(m_lines, QStringList { QStringLiteral("启动体检通过：可视且位置有效") });
    }

    void selfCheckRepairs_data()
    {
        QTest::addColumn<bool>("offScreen");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<QString>("fixes");
        QTest::newRow("off every screen") << true << false << QStringLiteral("geo -30000,-30000 -> 居中");
        QTest::newRow("hidden") << false << true << QStringLiteral("hidden/minimized -> showNormal");
        QTest::newRow("both") << true << true << QStringLiteral("geo -30000,-30000 -> 居中; hidden/minimized -> showNormal");
    }
    void selfCheckRepairs()
    {
        QFETCH(bool, offScreen);
        QFETCH(bool, hidden);
        QFETCH(QString, fixes);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (offScreen)
            w.move(-30000, -30000);
        if (hidden)
            w.hide();
        m_lines.clear();
        startupSelfCheck(&w);
        QVERIFY(w.isVisible());
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(area.intersects(w.frameGeometry()));
        QVERIFY2(m_lines.size() == 1, qPrintable(m_lines.join(QLatin1Char('\n'))));
        QVERIFY2(m_lines[0].startsWith(QStringLiteral("启动自愈：窗口不可见，已复位 -> \"") + fixes + QStringLiteral("\" | 现在 opacity 1 geo QRect(")), qPrintable(m_lines[0]));
    }
};

TestPanelMode* TestPanelMode::s_self = nullptr;

QTEST_MAIN(TestPanelMode)
#include "test_panelmode.moc"
