// The small line glyphs: each against its golden picture, the fallback
// triangle and the shape of the icons.
#include "widgets/lineglyphs.h"

#include "glyphgolden.h"

#include <QtTest>

namespace {

QImage glyphAt2x(int type)
{
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    drawGlyph(p, type, Qt::black);
    return image;
}

} // namespace

class TestLineGlyphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void goldens_data()
    {
        QTest::addColumn<int>("type");
        for (int t = 0; t <= 14; ++t)
            QTest::addRow("%d", t) << t;
    }
    void goldens()
    {
        QFETCH(int, type);
        QVERIFY(testsupport::matchesGolden(glyphAt2x(type), QStringLiteral("line-%1").arg(type)));
    }

    void unknownTypesDrawTheTriangle()
    {
        const QImage triangle = glyphAt2x(0);
        QCOMPARE(glyphAt2x(15), triangle);
        QCOMPARE(glyphAt2x(-1), triangle);
        QVERIFY(glyphAt2x(1) != triangle);
    }

    void iconIsOneImageAtRatioTwo()
    {
        for (int type : {0, 4, 14}) {
            const QIcon icon = makeGlyphIcon(type, QColor(0x30, 0x60, 0xC0));
            const QPixmap pixmap = icon.pixmap(QSize(16, 16), 2.0);
            QCOMPARE(pixmap.size(), QSize(32, 32));
            QCOMPARE(pixmap.devicePixelRatio(), 2.0);
            const QImage image = pixmap.toImage();
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
            QCOMPARE(image.pixelColor(31, 31).alpha(), 0);
        }
    }
};

QTEST_MAIN(TestLineGlyphs)
#include "test_lineglyphs.moc"
