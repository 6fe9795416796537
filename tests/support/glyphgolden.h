#pragma once

#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdlib>

// Small golden pictures of painted glyphs under tests/golden/. With
// QY_UPDATE_GOLDEN=1 in the environment a comparison writes the picture
// instead (look at it before committing it).
namespace testsupport {

// True when both images have the same size and at most `maxBadPixels`
// pixels differ by more than `channelTolerance` in any channel.
inline bool imagesClose(const QImage& a, const QImage& b, int channelTolerance, int maxBadPixels)
{
    if (a.size() != b.size())
        return false;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int bad = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb u = x.pixel(col, row);
            const QRgb v = y.pixel(col, row);
            const int d = qMax(qMax(std::abs(qRed(u) - qRed(v)), std::abs(qGreen(u) - qGreen(v))),
                               qMax(std::abs(qBlue(u) - qBlue(v)), std::abs(qAlpha(u) - qAlpha(v))));
            if (d > channelTolerance)
                ++bad;
        }
    }
    return bad <= maxBadPixels;
}

// Compares `image` with tests/golden/<name>.png: channels may differ by 48
// (antialiasing of another rasteriser), on at most 1% of the pixels.
inline bool matchesGolden(const QImage& image, const QString& name)
{
    const QString path = sourceDir() + QStringLiteral("/tests/golden/") + name + QStringLiteral(".png");
    if (qEnvironmentVariable("QY_UPDATE_GOLDEN") == QLatin1String("1")) {
        QDir().mkpath(QFileInfo(path).path());
        return image.save(path, "PNG");
    }
    const QImage golden(path);
    if (golden.isNull()) {
        qWarning("missing golden picture %s", qPrintable(path));
        return false;
    }
    return imagesClose(image, golden, 48, image.width() * image.height() / 100);
}

} // namespace testsupport
