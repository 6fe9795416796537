// The log viewer: what it finds and reads, its header, and its exports.
#include "app/lang.h"
#include "app/logging.h"
#include "widgets/logviewercontent.h"
#include "widgets/logviewerdialog.h"

#include "testsupport.h"

#include <QPlainTextEdit>
#include <QtTest>

namespace {

QString dayFolder(const QString& root, const QDate& day) { return root + QLatin1Char('/') + day.toString(QStringLiteral("yyyy-MM-dd")); }

} // namespace

class TestLogViewer : public QObject {
    Q_OBJECT
    QString m_dataRoot;
    QString m_scratch;

    QString waitForText(LogViewerDialog& dialog)
    {
        static_cast<void>(QTest::qWaitFor([&] { return !dialog.logViewWidget()->toPlainText().isEmpty(); }, 5000));
        return dialog.logViewWidget()->toPlainText();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_dataRoot = testsupport::testRoot() + QStringLiteral("/data");
        initLogging(m_dataRoot);
        QVERIFY(!logRoot().isEmpty());
        qInfo() << "log viewer test: a line in today's log";
    }
    void init()
    {
        m_scratch = testsupport::testRoot() + QStringLiteral("/scratch-") + QString::number(QRandomGenerator::global()->generate());
        QVERIFY(QDir().mkpath(m_scratch));
    }
    void cleanup() { QDir(m_scratch).removeRecursively(); }

    void findsTheNewestDay()
    {
        const QString root = m_scratch + QStringLiteral("/logs");
        const QDate today = QDate::currentDate();
        QCOMPARE(findLogFile(QString()), QString());
        QCOMPARE(findLogFile(root), dayFolder(root, today) + QStringLiteral("/app.log"));
        QVERIFY(testsupport::writeFile(dayFolder(root, today.addDays(-9)) + QStringLiteral("/app.log"), "old\n"));
        QVERIFY(testsupport::writeFile(dayFolder(root, today.addDays(-2)) + QStringLiteral("/app.log"), "newer\n"));
        QVERIFY(QDir().mkpath(dayFolder(root, today.addDays(-1)))); // a day without a log
        QCOMPARE(findLogFile(root), dayFolder(root, today.addDays(-2)) + QStringLiteral("/app.log"));
        QVERIFY(testsupport::writeFile(dayFolder(root, today) + QStringLiteral("/app.log"), "today\n"));
        QCOMPARE(findLogFile(root), dayFolder(root, today) + QStringLiteral("/app.log"));
    }

    void readsTails_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain, final feed kept") << QByteArray("a\nb\n") << QStringLiteral("a\nb\n");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF\xE6\x97\xA5\xE5\xBF\x97\n") << QStringLiteral("日志\n");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void readsTails()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        const QString path = m_scratch + QStringLiteral("/app.log");
        QVERIFY(testsupport::writeFile(path, bytes));
        QCOMPARE(readLogTail(path), text);
        QCOMPARE(readLogTail(m_scratch + QStringLiteral("/missing.log")), QString());
    }

    void largeFileShowsWholeLinesOfItsEnd()
    {
        const QString path = m_scratch + QStringLiteral("/app.log");
        QByteArray bytes = "first line that is cut off\n";
        const QByteArray line = QByteArray(99, 'x') + '\n';
        while (bytes.size() < kLogTailBytes + 50)
            bytes += line;
        bytes += "last\n";
        QVERIFY(testsupport::writeFile(path, bytes));
        const QString text = readLogTail(path);
        const QString note = translate("（日志较大，仅显示最近 8 MB）") + QStringLiteral("\n\n");
        QVERIFY(text.startsWith(note + QString::fromLatin1(line)));
        QVERIFY(text.endsWith(QStringLiteral("last\n")));
        QVERIFY(text.size() - note.size() <= kLogTailBytes);
    }

    void previousFileComesFirst()
    {
        QVERIFY(testsupport::writeFile(m_scratch + QStringLiteral("/app.1.log"), "older\n"));
        QVERIFY(testsupport::writeFile(m_scratch + QStringLiteral("/app.log"), "newer\n"));
        QCOMPARE(readLogContent(m_scratch + QStringLiteral("/app.log")), QStringLiteral("older\n\nnewer\n"));
        QCOMPARE(readLogContent(QString()), translate("(暂无日志文件)\n"));
    }

    void headerNamesTheRunningQt()
    {
        LogViewerDialog dialog(m_dataRoot);
        const QString text = waitForText(dialog);
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), translate("日志文件: %1\n").arg(QDir::toNativeSeparators(findLogFile(logRoot()))).chopped(1));
        QVERIFY(lines.contains(translate("Qt 版本: %1\n").arg(QString::fromLatin1(qVersion())).chopped(1)));
        QVERIFY(lines.contains(translate("设置文件: %1\n").arg(m_dataRoot + QStringLiteral("/settings.json")).chopped(1)));
        QCOMPARE(lines.value(11), QString(56, QChar(0x2500)));
        QVERIFY(text.contains(QStringLiteral("log viewer test: a line in today's log")));
        QVERIFY(dialog.statusText().endsWith(translate("%1 行 · 明文展示").arg(dialog.logViewWidget()->document()->blockCount())));
        QCOMPARE(LogViewerDialog::closeRectFor(920), QRect(876, 10, 34, 30));
    }

    void exportsText()
    {
        LogViewerDialog dialog(m_dataRoot);
        const QString text = waitForText(dialog);
        const QString path = m_scratch + QStringLiteral("/out.txt");
        dialog.exportTextTo(path);
        QTRY_COMPARE(dialog.statusText(), translate("已导出：%1").arg(path));
        QCOMPARE(QString::fromUtf8(testsupport::readFile(path)), text);

        dialog.exportTextTo(m_scratch + QStringLiteral("/no/such/folder/out.txt"));
        QTRY_COMPARE(dialog.statusText(), translate("导出失败，请检查目标路径是否可写"));

        // A disk that fills up during the write is not a path problem.
        const QString full = m_scratch + QStringLiteral("/full.txt");
        {
            testsupport::FileSizeLimit limit(16);
            QVERIFY(limit.active());
            dialog.exportTextTo(full);
            QTRY_COMPARE(dialog.statusText(), translate("导出失败：写入不完整，请检查磁盘空间"));
        }
        QVERIFY(!QFileInfo::exists(full));
    }

    // The window moves only by its title strip (the top 52 px), and the
    // close button shows the pointing hand.
    void dragsByTheTitleStripOnly()
    {
        LogViewerDialog dialog(m_dataRoot);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // Points the dialog itself receives (no child widget there).
        auto bare = [&](int fromY, int toY) {
            for (int y = fromY; y < toY; y += 2)
                for (int x = 20; x < dialog.width() - 60; x += 4)
                    if (!dialog.childAt(x, y))
                        return QPoint(x, y);
            return QPoint(-1, -1);
        };
        auto dragFrom = [&](const QPoint& at) {
            const QPoint start = dialog.pos();
            QTest::mousePress(&dialog, Qt::LeftButton, {}, at);
            QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(30, 20)), dialog.mapToGlobal(QPointF(at + QPoint(30, 20))),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&dialog, &move);
            QTest::mouseRelease(&dialog, Qt::LeftButton, {}, at + QPoint(30, 20));
            return dialog.pos() - start;
        };
        const QPoint below = bare(60, dialog.height());
        QVERIFY(below.x() >= 0);
        QCOMPARE(dragFrom(below), QPoint(0, 0));
        const QPoint strip = bare(2, 50);
        QVERIFY(strip.x() >= 0);
        QVERIFY(dragFrom(strip) != QPoint(0, 0));

        auto hover = [&](const QPoint& at) {
            QMouseEvent e(QEvent::MouseMove, QPointF(at), dialog.mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
            QApplication::sendEvent(&dialog, &e);
        };
        hover(LogViewerDialog::closeRectFor(dialog.width()).center());
        QCOMPARE(dialog.cursor().shape(), Qt::PointingHandCursor);
        hover(strip);
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    }

    void exportsArchive()
    {
        LogViewerDialog dialog(m_dataRoot);
        waitForText(dialog);
        const QString zip = m_scratch + QStringLiteral("/logs.zip");
        dialog.exportZipTo(zip);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusText(), translate("已导出：%1").arg(zip), 20000);
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), { QStringLiteral("-t"), zip });
        QVERIFY(unzip.waitForFinished(20000));
        const QByteArray out = unzip.readAllStandardOutput();
        QVERIFY2(unzip.exitCode() == 0, out.constData());
        const QByteArray today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
        QVERIFY2(out.contains(QByteArray(today + "/app.log")), out.constData());
    }

    void archiveProgramMissing()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", m_scratch.toLocal8Bit());
        LogViewerDialog dialog(m_dataRoot);
        waitForText(dialog);
        const QString zip = m_scratch + QStringLiteral("/logs.zip");
        dialog.exportZipTo(zip);
        QTRY_COMPARE(dialog.statusText(), translate("导出失败，请用「日志文件夹」手动复制"));
        qputenv("PATH", path);
        QVERIFY(!QFileInfo::exists(zip));
        // The failed run is over: the next export starts.
        dialog.exportZipTo(zip);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.statusText(), translate("已导出：%1").arg(zip), 20000);
    }
};

QTEST_MAIN(TestLogViewer)
#include "test_logviewer.moc"
