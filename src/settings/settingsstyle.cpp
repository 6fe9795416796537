#include "settings/settingsstyle.h"

#include "app/theme.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

const QString kDialogFamily = QStringLiteral("Microsoft YaHei UI");

QFont makeFont(int pixelSize, bool bold)
{
    QFont f(kDialogFamily);
    f.setPixelSize(pixelSize);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

} // namespace

const QFont& settingsFont13()
{
    static const QFont f = makeFont(13, false);
    return f;
}

const QFont& settingsFont13Bold()
{
    static const QFont f = makeFont(13, true);
    return f;
}

const QFont& settingsFont11()
{
    static const QFont f = makeFont(11, false);
    return f;
}

QColor settingsCardColour(bool dark) { return dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xFF, 0xFF, 0xFF); }
QColor settingsTileColour(bool dark) { return dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xF4, 0xF5, 0xF8); }
QColor settingsNavSelectedColour(bool dark) { return dark ? QColor(0x33, 0x33, 0x33) : QColor(0xE9, 0xE9, 0xE9); }
QColor settingsSegmentTrackColour(bool dark) { return dark ? QColor(0x33, 0x33, 0x33) : QColor(0xF0, 0xF0, 0xF0); }
QColor settingsCloseHotColour() { return QColor(0xE8, 0x11, 0x23); }

const QFont& settingsDialogTitleFont()
{
    static const QFont f = makeFont(15, true);
    return f;
}

const QFont& settingsNavFont(bool bold)
{
    static const QFont normal = makeFont(13, false);
    static const QFont strong = makeFont(13, true);
    return bold ? strong : normal;
}

const QFont& settingsHeaderFont()
{
    static const QFont f = makeFont(17, true);
    return f;
}

const QFontMetrics& settingsFont13Metrics()
{
    static const QFontMetrics fm(settingsFont13());
    return fm;
}

QFont settingsHintFont() { return makeFont(12, false); }

void paintSettingsSwitch(QPainter& p, const QRect& r, bool on)
{
    const ThemePalette& pal = dialogPalette();
    const bool dark = pal.isDark;
    const double radius = r.height() / 2.0;
    if (on) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.c[settingsslot::kAccent]);
    } else {
        p.setPen(QPen(dark ? QColor(0x9A, 0x9A, 0x9A) : QColor(0x8A, 0x8A, 0x8A), 1));
        p.setBrush(dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xFF, 0xFF, 0xFF));
    }
    p.drawRoundedRect(QRectF(r), radius, radius);

    const int d = r.height() - 8;
    const double left = on ? double(r.right() - d - 4) : double(r.left() + 4);
    const double top = (r.top() + r.bottom()) / 2 - d / 2 + 0.5;
    p.setPen(Qt::NoPen);
    p.setBrush(on ? QColor(Qt::white) : (dark ? QColor(0xCF, 0xCF, 0xCF) : QColor(0x5D, 0x5D, 0x5D)));
    p.drawEllipse(QRectF(left, top, d, d));
    p.setBrush(Qt::NoBrush);
    p.setPen(pal.c[settingsslot::kBodyText]);
}

qreal settingsPixelRatio()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->devicePixelRatio() : 1.0;
}

QString scaledPixmapKey(const QString& tag, const QString& path, const QSize& size, qreal dpr)
{
    return QStringLiteral("%1|%2|%3x%4|dpr%5")
        .arg(tag, path)
        .arg(size.width())
        .arg(size.height())
        .arg(dpr, 0, 'f', 2);
}

QPixmap loadScaledPixmapCached(const QString& path, const QSize& size, const QString& tag, bool expand)
{
    if (path.isEmpty())
        return QPixmap();
    const qreal dpr = settingsPixelRatio();
    const QString key = scaledPixmapKey(tag, path, size, dpr);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
    const QSize target(int(std::lround(size.width() * dpr)), int(std::lround(size.height() * dpr)));
    const Qt::AspectRatioMode mode = expand ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A thumbnail of a large photo is decoded at thumbnail size where the
    // format allows it, instead of at full size on the painting thread.
    const QSize original = reader.size();
    if (original.isValid() && !target.isEmpty() && original.width() > 2 * target.width()
        && original.height() > 2 * target.height())
        reader.setScaledSize(original.scaled(target, mode) * 2);
    const QImage image = reader.read();
    if (image.isNull())
        return QPixmap();
    QPixmap scaled = QPixmap::fromImage(image.scaled(target, mode, Qt::SmoothTransformation));
    scaled.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, scaled);
    return scaled;
}

QRect settingsFitRect(const QRect& box, const QSizeF& picture)
{
    if (picture.width() <= 0 || picture.height() <= 0 || box.isEmpty())
        return box;
    const QSizeF fitted = picture.scaled(QSizeF(box.size()), Qt::KeepAspectRatio);
    const int w = std::max(1, int(std::lround(fitted.width())));
    const int h = std::max(1, int(std::lround(fitted.height())));
    return QRect(box.left() + (box.width() - w) / 2, box.top() + (box.height() - h) / 2, w, h);
}
