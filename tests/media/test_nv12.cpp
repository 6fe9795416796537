// The colour converter that feeds the H.264 encoder: exact integer results
// for reference colours, agreement with full-range BT.601 (what the MP4
// stream declares), chroma taken from the top-left pixel of each block, and
// strides honoured on both sides.
#include "media/nv12.h"

#include <QImage>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

struct Nv12 {
    std::vector<uint8_t> luma;
    std::vector<uint8_t> chroma;
};

Nv12 convert(const QImage& rgb, int lumaStride, int chromaStride)
{
    Nv12 out;
    out.luma.assign(size_t(lumaStride) * size_t(rgb.height()), 0xEE);
    out.chroma.assign(size_t(chromaStride) * size_t(rgb.height() / 2), 0xEE);
    convertRgb32ToNv12(rgb.constBits(), int(rgb.bytesPerLine()), rgb.width(), rgb.height(), out.luma.data(),
                       lumaStride, out.chroma.data(), chromaStride);
    return out;
}

} // namespace

class TestNv12 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void referenceColours_data()
    {
        QTest::addColumn<QRgb>("rgb");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("u");
        QTest::addColumn<int>("v");
        QTest::newRow("black") << qRgb(0, 0, 0) << 0 << 128 << 128;
        QTest::newRow("white") << qRgb(255, 255, 255) << 255 << 128 << 128;
        QTest::newRow("grey") << qRgb(128, 128, 128) << 128 << 128 << 128;
        QTest::newRow("red") << qRgb(255, 0, 0) << 76 << 85 << 255;
        QTest::newRow("green") << qRgb(0, 255, 0) << 149 << 43 << 21;
        QTest::newRow("blue") << qRgb(0, 0, 255) << 28 << 255 << 107;
        QTest::newRow("yellow") << qRgb(255, 255, 0) << 226 << 0 << 148;
        QTest::newRow("cyan") << qRgb(0, 255, 255) << 178 << 170 << 0;
        QTest::newRow("magenta") << qRgb(255, 0, 255) << 105 << 212 << 234;
        QTest::newRow("orange") << qRgb(255, 128, 0) << 151 << 42 << 202;
        // Negative sums floor (-21.8 gives -22), they do not round to zero.
        QTest::newRow("navy-ish") << qRgb(16, 32, 200) << 46 << 214 << 106;
    }

    void referenceColours()
    {
        QFETCH(QRgb, rgb);
        QFETCH(int, y);
        QFETCH(int, u);
        QFETCH(int, v);
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(rgb);
        const Nv12 out = convert(image, 2, 2);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(out.luma[size_t(i)]), y);
        QCOMPARE(int(out.chroma[0]), u);
        QCOMPARE(int(out.chroma[1]), v);

        // Within rounding of the full-range BT.601 definition.
        const double r = qRed(rgb);
        const double g = qGreen(rgb);
        const double b = qBlue(rgb);
        const double refY = 0.299 * r + 0.587 * g + 0.114 * b;
        const double refU = 128 - 0.168736 * r - 0.331264 * g + 0.5 * b;
        const double refV = 128 + 0.5 * r - 0.418688 * g - 0.081312 * b;
        QVERIFY2(std::abs(y - refY) <= 2, qPrintable(QString::number(refY)));
        QVERIFY2(std::abs(u - refU) <= 2, qPrintable(QString::number(refU)));
        QVERIFY2(std::abs(v - refV) <= 2, qPrintable(QString::number(refV)));
    }

    void chromaFromTopLeftOfEachBlock()
    {
        QImage image(4, 2, QImage::Format_RGB32);
        image.fill(qRgb(0, 0, 255));
        image.setPixel(0, 0, qRgb(255, 0, 0)); // first block: red at its corner
        image.setPixel(3, 1, qRgb(255, 0, 0)); // second block: red away from it
        const Nv12 out = convert(image, 4, 4);
        QCOMPARE(int(out.luma[0]), 76);
        QCOMPARE(int(out.luma[1]), 28);
        QCOMPARE(int(out.luma[4 + 3]), 76);
        QCOMPARE(int(out.chroma[0]), 85);
        QCOMPARE(int(out.chroma[1]), 255);
        QCOMPARE(int(out.chroma[2]), 255);
        QCOMPARE(int(out.chroma[3]), 107);
    }

    void stridesLeavePaddingAlone()
    {
        // A source cropped from a wider image, planes wider than the picture.
        QImage wide(10, 4, QImage::Format_RGB32);
        wide.fill(qRgb(255, 255, 255));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                wide.setPixel(x, y, qRgb(0, 0, 0));
        const QImage view(wide.constBits(), 6, 4, wide.bytesPerLine(), QImage::Format_RGB32);
        const Nv12 out = convert(view, 8, 8);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x)
                QCOMPARE(int(out.luma[size_t(y * 8 + x)]), 0);
            QCOMPARE(int(out.luma[size_t(y * 8 + 6)]), 0xEE);
        }
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 6; ++x)
                QCOMPARE(int(out.chroma[size_t(y * 8 + x)]), 128);
            QCOMPARE(int(out.chroma[size_t(y * 8 + 6)]), 0xEE);
        }
    }
};

QTEST_GUILESS_MAIN(TestNv12)
#include "test_nv12.moc"
