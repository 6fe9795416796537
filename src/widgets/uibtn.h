#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QString>

class QDrag;
class QPainter;
class QWidget;

// The eleven command buttons of the panel. Each sits in the title bar or in
// the bottom bar; both bars, the main window and the settings dialog share
// this catalogue.
enum class UiBtn : int {
    Orientation = 0,
    Settings = 1,
    Pin = 2,
    Minimize = 3,
    Close = 4,
    AppMarket = 5,
    ThemeToggle = 6,
    Feedback = 7,
    UiLock = 8,
    ScreenMonitor = 9,
    Obfuscation = 10,
};

constexpr int kUiBtnCount = 11;
constexpr int kTitleBarArea = 0;
constexpr int kBottomBarArea = 1;

constexpr int uiBtnId(UiBtn b) { return int(b); }
constexpr bool isUiBtnId(int id) { return id >= 0 && id < kUiBtnCount; }

// Translated caption of an id 0..10; empty for any other value.
QString uiBtnLabel(int id);
// Translated "标题栏" for ids up to 4, "底部栏" above.
QString uiBtnAreaLabel(int id);
// Width of the id's slot in the title bar: 16, 13 for minimise, 12 for close.
int uiBtnSlotWidth(int id);

// Draws the glyph of `id` centred on `centre` in `colour`; ids outside 0..10
// draw nothing. `on` is the button's lit state, `animate` lets the gear,
// sun, moon and obfuscation glyphs move with their phase. The second colour
// is accepted for the callers' sake and changes nothing. The painter's state
// is restored afterwards; the caller owns the transform (the bars scale by
// 1.25 about the centre). GUI thread only: the gear's image cache is not
// locked.
void paintUiBtnGlyph(QPainter& p, int id, const QPointF& centre, const QColor& colour, bool on,
                     const QColor& second, bool animate);

// A phase in [0, 1) fixes the animated glyphs at that fraction of their
// cycle; a negative phase lets them follow the clock (the default).
void setUiBtnGlyphPhase(double phase);       // gear, sun and moon
void setObfuscateGlyphPhase(double phase);   // obfuscation arrows

// True when an application exists and the caller runs on its thread;
// otherwise logs "[UiBtn] <what> called off GUI thread, ignored".
bool ensureGuiThread(const char* what);

// The image file at `path` fitted into a size x size logical square at the
// given ratio, or a null pixmap. Results are cached by path, size, ratio,
// modification time and file size, so a replaced file is read again; files
// that fail to load are remembered (the last 255 keys) and not retried while
// remembered. GUI thread only (refused elsewhere).
QPixmap customIcon(const QString& path, int size, qreal devicePixelRatio);
// Forgets every cached custom image and every remembered failure when
// `path` is not empty.
void purgeCustomIconCache(const QString& path);

// The picture that follows the cursor while a button is dragged: the glyph
// alone, 22 logical px square, in the bar glyph colour of the current theme.
QPixmap uiBtnDragPixmap(int id, bool pinLit, qreal devicePixelRatio);
// A drag of button `id` out of `fromArea`, with its payload and picture,
// owned by `source`; the caller runs it with the move action only.
QDrag* makeUiBtnDrag(QWidget* source, int id, int fromArea, bool pinLit);
