#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QSizeF>
#include <QSize>
#include <QString>

class QFontMetrics;
class QPainter;
struct ThemePalette;

// The drawing pieces the settings dialog and its page painters share. The
// dialog paints from the fixed dialog palette and always in "Microsoft
// YaHei UI": the panel's custom font never reaches it.

namespace settingsslot {
constexpr int kCard = 0;
constexpr int kCardOutline = 3;
constexpr int kCloseGlyph = 5;
constexpr int kNavFill = 11;
constexpr int kHover = 13;
constexpr int kPressed = 14;
constexpr int kBodyText = 16;
constexpr int kTitleText = 17;
constexpr int kSecondaryText = 18;
constexpr int kAccent = 28;
constexpr int kAccentHover = 29;
constexpr int kAccentTint = 30;
constexpr int kControl = 31;
constexpr int kControlBorder = 32;
} // namespace settingsslot

// Colours beside the palette, dark / light.
QColor settingsCardColour(bool dark);          // section cards
QColor settingsTileColour(bool dark);          // rows of the icon and protection lists
QColor settingsNavSelectedColour(bool dark);
QColor settingsSegmentTrackColour(bool dark);
QColor settingsCloseHotColour();

// Fonts kept for the life of the process.
const QFont& settingsFont13();
const QFont& settingsFont13Bold();
const QFont& settingsFont11();
const QFont& settingsDialogTitleFont();
const QFont& settingsNavFont(bool bold);
const QFont& settingsHeaderFont();
// Metrics of the 13 px font, for eliding values.
const QFontMetrics& settingsFont13Metrics();
QFont settingsHintFont();

// The on/off switch of rows, chips and the backup page. Leaves no brush and
// a pen of the body text colour behind.
void paintSettingsSwitch(QPainter& p, const QRect& r, bool on);

// An image file scaled for `size` logical pixels at the primary screen's
// ratio, kept in the process-wide pixmap cache under the tag, path, size and
// ratio. `expand` covers the size instead of fitting inside it. Null for an
// empty path or a file that does not load (nothing is cached then).
QPixmap loadScaledPixmapCached(const QString& path, const QSize& size, const QString& tag, bool expand);
// The cache key of that function for a given ratio.
QString scaledPixmapKey(const QString& tag, const QString& path, const QSize& size, qreal dpr);

// A rectangle from its edges, both end pixels included (how the page tables
// give them).
inline QRect settingsRect(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
// A rectangle moved half a pixel inwards, so that a 1 px outline falls on
// whole pixels.
inline QRectF settingsOutlineRect(const QRect& r) { return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5); }

// The largest rectangle of the proportions of `picture` (logical size)
// centred in `box`: an icon that is not square is not stretched.
QRect settingsFitRect(const QRect& box, const QSizeF& picture);

// The primary screen's device pixel ratio, 1 without a screen.
qreal settingsPixelRatio();
