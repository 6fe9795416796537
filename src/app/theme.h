#pragma once

#include <QColor>
#include <QString>

// One palette of the panel: 34 colour slots (an invalid colour means "none")
// plus the divider override. Readers name slots by number.
struct ThemePalette {
    static constexpr int kSlotCount = 34;

    QColor c[kSlotCount];
    QColor dividerColor;        // invalid until a custom divider is set
    bool dividerSet = false;    // dividerColor is in force
    int dividerWidth = 1;       // px, 0..4
    int dividerAlpha = 255;     // 0..255, scales the divider's alpha
    bool isDark = false;
};

// The current palette (light until setDarkTheme(true)). GUI thread only, like
// every function here.
const ThemePalette& currentTheme();
// Makes the dark or the light palette current and forgets the remembered
// base text colour. Overrides written into a palette earlier stay in it.
void setDarkTheme(bool dark);
// The fixed palettes of the large dialogs, dark or light after the current
// palette; never overridden.
const ThemePalette& dialogPalette();

// Colour of a colour mode: 1..5 the presets, anything else slot 1 of the
// current palette (mode 0 follows the theme; mode 6 is the caller's custom
// colour).
QColor presetColor(int mode);

// p percent (clamped to 0..100) as alpha 0..255, p * 255 / 100 rounded half
// away from zero.
int percentToAlpha(int percent);

void setThemeCornerRadius(int r);   // clamped to 0..24
int themeCornerRadius();            // 12 until first set

void setThemeTitleBarColors(const QColor& a, const QColor& b);                  // slots 6, 7
void setThemeBottomBarColors(const QColor& a, const QColor& b);                 // slots 8, 9
void setThemeMidColors(const QColor& a, const QColor& b, const QColor& m);      // slots 10, 11, 23

// Text slots 5, 16, 17, 27 := t, remembered as the base text colour; the
// dimmed slots 18, 24 := t with 0.62 of its alpha, never below 40.
void setThemeTextColor(const QColor& t);
// The base text colour (slot 16 when none is remembered) with the alpha of
// `percent`, in the same slots and with the same dimming.
void setThemeTextOpacity(int percent);

// Divider of the current palette; an invalid colour keeps the old colour
// but clears dividerSet.
void setThemeDivider(const QColor& color, int width, int alpha);
// The divider colour when one is set, else `fallback`, its alpha scaled by
// the palette's dividerAlpha.
QColor themeDividerColor(const QColor& fallback);

// The interface font: the custom family (trimmed) when not empty, else
// "Microsoft YaHei UI".
void setCustomFontFamily(const QString& name);
QString uiFontFamily();
