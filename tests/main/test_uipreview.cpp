// The screenshot mode's glyph sheets: every file, its size, and the checks
// the mode makes of its own pictures.
#include "main/uipreview.h"
#include "main/uipreviewglyphs.h"

#include "testsupport.h"

#include <QtTest>

class TestUiPreview : public QObject {
    Q_OBJECT
    QString m_folder;

private Q_SLOTS:
    void initTestCase()
    {
        m_folder = testsupport::testRoot() + QStringLiteral("/preview/sub");
        QCOMPARE(runUiPreview(m_folder), 0);
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::newRow("glyph rows") << "uibtn-glyphs.png" << QSize(632, 180);
        QTest::newRow("orientation on green") << "rotate-icon-green.png" << QSize(240, 130);
        QTest::newRow("obfuscation frames") << "uibtn-obfuscate-frames.png" << QSize(512, 150);
        QTest::newRow("hover animation") << "uibtn-hover-anim.png" << QSize(406, 192);
    }
    void pictures()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        const QImage image(m_folder + QLatin1Char('/') + file);
        QVERIFY2(!image.isNull(), qPrintable(file));
        QCOMPARE(image.size(), size);
    }

    void checkFilesPass_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("glyph rows") << "uibtn-glyphs-check.txt" << "max_channel_diff=0\nresult=PASS\n";
        QTest::newRow("obfuscation") << "uibtn-obfuscate-anim-check.txt" << "";
    }
    void checkFilesPass()
    {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        const QString text = QString::fromUtf8(testsupport::readFile(m_folder + QLatin1Char('/') + file));
        if (!expected.isEmpty())
            QCOMPARE(text, expected);
        QVERIFY2(text.endsWith(QStringLiteral("result=PASS\n")), qPrintable(text));
        if (file.contains(QStringLiteral("obfuscate"))) {
            const QStringList lines = text.split(QLatin1Char('\n'));
            QVERIFY(lines.at(0).startsWith(QStringLiteral("animated_max_diff=")));
            QVERIFY(lines.at(0).mid(18).toInt() >= 1);
            QCOMPARE(lines.at(1), QStringLiteral("static_max_diff=0"));
        }
    }

    void theRowCheckSeesADifference()
    {
        // The check itself must catch a glyph that does depend on the second
        // colour: a mark in one block of the lower row.
        QImage rows = renderUiBtnGlyphRows();
        QCOMPARE(glyphRowsDifference(rows), 0);
        rows.setPixelColor(51 + 56 * 4 - 10, 90, Qt::red);
        QVERIFY(glyphRowsDifference(rows) > 0);
    }

    void inkOfEveryGlyph()
    {
        const QStringList lines = QString::fromUtf8(testsupport::readFile(m_folder + QStringLiteral("/uibtn-ink.txt")))
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 11);
        QVERIFY(lines.at(0).startsWith(QStringLiteral("0(横竖切换): ink w=")));
        QVERIFY(lines.at(10).startsWith(QStringLiteral("10(混淆保护): ink w=")));
        // Close: two 8 px diagonals with a 1 px flat pen, about 9 x 9.
        const QRegularExpression closeLine(QStringLiteral("^4\\(关闭\\): ink w=(\\d+) h=(\\d+)$"));
        const QRegularExpressionMatch m = closeLine.match(lines.at(4));
        QVERIFY2(m.hasMatch(), qPrintable(lines.at(4)));
        QVERIFY(qAbs(m.captured(1).toInt() - 9) <= 1 && qAbs(m.captured(2).toInt() - 9) <= 1);
        for (const QString& line : lines)
            QVERIFY2(!line.contains(QStringLiteral("EMPTY")), qPrintable(line));
    }
};

QTEST_MAIN(TestUiPreview)
#include "test_uipreview.moc"
