#include "app/theme.h"

#include <algorithm>
#include <cmath>

namespace {

struct Theme {
    ThemePalette dark;
    ThemePalette light;
    bool darkCurrent = false;
    int cornerRadius = 12;
    QString fontFamily;
    QColor baseText;
    bool baseTextSet = false;
};

void fill(ThemePalette& p, const char* const (&hex)[ThemePalette::kSlotCount], bool isDark)
{
    for (int i = 0; i < ThemePalette::kSlotCount; ++i)
        p.c[i] = hex[i] ? QColor(QLatin1String(hex[i])) : QColor();
    p.isDark = isDark;
}

Theme& theme()
{
    static Theme t = [] {
        static const char* const dark[ThemePalette::kSlotCount] = {
            "#23262E", "#2B2F3A", "#3A3F4C", "#3A3F4C", "#E8EAF0", "#B8BDC9", "#2B2F3A", "#E8EAF0",
            "#2B2F3A", nullptr,   "#23262E", "#262A34", "#333845", "#2E333F", "#353B4C", "#2C3D63",
            "#D5D8E2", "#FFFFFF", "#7A8090", "#4A5060", "#2C303C", "#353B48", "#444A58", "#23262E",
            "#6B7180", "#2E333F", "#2C3D63", "#D5D8E2", "#5E8BF3", "#7199F5", "#2F3D5C", "#313745",
            "#444A58", "#333845"};
        static const char* const light[ThemePalette::kSlotCount] = {
            "#F7F8FB", "#E4E7EC", "#D5D8E0", "#C6C9D2", "#39404C", "#6C7482", "#E4E7EC", "#39404C",
            "#E4E7EC", nullptr,   "#F7F8FB", "#F1F2F7", "#E0E2EA", "#E9EBF2", "#E1E5EF", "#D6E2FC",
            "#39404C", "#1F2937", "#9A9FAC", "#C2C7D3", "#FAFBFD", "#E7EAF2", "#C9CDD8", "#F7F8FB",
            "#A6ABB8", "#ECEEF4", "#E0E8FA", "#39404C", "#4C7DF0", "#5F8BF2", "#E3ECFD", "#F5F6FA",
            "#D9DDE6", "#EDF0F6"};
        Theme th;
        fill(th.dark, dark, true);
        fill(th.light, light, false);
        return th;
    }();
    return t;
}

ThemePalette& current()
{
    Theme& t = theme();
    return t.darkCurrent ? t.dark : t.light;
}

struct DialogPalettes {
    ThemePalette dark;
    ThemePalette light;
};

const DialogPalettes& dialogPalettes()
{
    static const DialogPalettes d = [] {
        static const char* const dark[ThemePalette::kSlotCount] = {
            "#202020", "#272727", "#3A3A3A", "#3A3A3A", "#F2F2F2", "#C8C8C8", "#272727", "#F2F2F2",
            "#272727", "#A9A9A9", "#202020", "#272727", "#3A3A3A", "#303030", "#3A3A3A", "#143352",
            "#F2F2F2", "#FFFFFF", "#A9A9A9", "#4D4D4D", "#2D2D2D", "#383838", "#454545", "#202020",
            "#8A8A8A", "#2E2E2E", "#143352", "#F2F2F2", "#0067C0", "#2E8BE0", "#143352", "#2D2D2D",
            "#3F3F3F", "#5A5A5A"};
        static const char* const light[ThemePalette::kSlotCount] = {
            "#FAFAFA", "#F3F3F3", "#E5E5E5", "#E0E0E0", "#1A1A1A", "#5C5C5C", "#F3F3F3", "#1A1A1A",
            "#F3F3F3", "#5C5C5C", "#FAFAFA", "#F3F3F3", "#E5E5E5", "#EEEEEE", "#E8E8E8", "#E8F2FC",
            "#1A1A1A", "#1A1A1A", "#5D5D5D", "#C4C4C4", "#FDFDFD", "#F2F2F2", "#D6D6D6", "#FAFAFA",
            "#8A8A8A", "#F0F0F0", "#E8F2FC", "#1A1A1A", "#0067C0", "#1A7AD9", "#E8F2FC", "#FDFDFD",
            "#E1E1E1", "#C4C4C4"};
        DialogPalettes p;
        fill(p.dark, dark, true);
        fill(p.light, light, false);
        return p;
    }();
    return d;
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(std::clamp(alpha, 0, 255));
    return c;
}

int dimmedAlpha(int alpha)
{
    return std::clamp(int(alpha * 0.62), 40, 255);
}

void writeTextSlots(const QColor& text)
{
    ThemePalette& p = current();
    for (int slot : {5, 16, 17, 27})
        p.c[slot] = text;
    const QColor dim = withAlpha(text, dimmedAlpha(text.alpha()));
    p.c[18] = dim;
    p.c[24] = dim;
}

} // namespace

const ThemePalette& currentTheme()
{
    return current();
}

void setDarkTheme(bool dark)
{
    Theme& t = theme();
    t.darkCurrent = dark;
    t.baseText = QColor();
    t.baseTextSet = false;
}

const ThemePalette& dialogPalette()
{
    return current().isDark ? dialogPalettes().dark : dialogPalettes().light;
}

QColor presetColor(int mode)
{
    switch (mode) {
    case 1: return QColor(0x33, 0x37, 0x3F);
    case 2: return QColor(0x2F, 0x6F, 0xBF);
    case 3: return QColor(0x2E, 0x6B, 0x52);
    case 4: return QColor(0x9E, 0x3B, 0x3B);
    case 5: return QColor(0xF5, 0xF6, 0xF8);
    default: return current().c[1];
    }
}

int percentToAlpha(int percent)
{
    const int p = std::clamp(percent, 0, 100);
    // Non-negative, so adding half before the integer division rounds half
    // away from zero.
    return (p * 255 + 50) / 100;
}

void setThemeCornerRadius(int r) { theme().cornerRadius = std::clamp(r, 0, 24); }
int themeCornerRadius() { return theme().cornerRadius; }

void setThemeTitleBarColors(const QColor& a, const QColor& b)
{
    ThemePalette& p = current();
    p.c[6] = a;
    p.c[7] = b;
}

void setThemeBottomBarColors(const QColor& a, const QColor& b)
{
    ThemePalette& p = current();
    p.c[8] = a;
    p.c[9] = b;
}

void setThemeMidColors(const QColor& a, const QColor& b, const QColor& m)
{
    ThemePalette& p = current();
    p.c[10] = a;
    p.c[11] = b;
    p.c[23] = m;
}

void setThemeTextColor(const QColor& t)
{
    Theme& th = theme();
    th.baseText = t;
    th.baseTextSet = true;
    writeTextSlots(t);
}

void setThemeTextOpacity(int percent)
{
    Theme& th = theme();
    if (!th.baseTextSet) {
        th.baseText = current().c[16];
        th.baseTextSet = true;
    }
    writeTextSlots(withAlpha(th.baseText, percentToAlpha(percent)));
}

void setThemeDivider(const QColor& color, int width, int alpha)
{
    ThemePalette& p = current();
    p.dividerSet = color.isValid();
    if (p.dividerSet)
        p.dividerColor = color;
    p.dividerWidth = std::clamp(width, 0, 4);
    p.dividerAlpha = std::clamp(alpha, 0, 255);
}

QColor themeDividerColor(const QColor& fallback)
{
    const ThemePalette& p = current();
    QColor c = p.dividerSet ? p.dividerColor : fallback;
    if (!c.isValid())
        return c;
    c.setAlpha(int(std::lround(p.dividerAlpha / 255.0 * c.alpha())));
    return c;
}

void setCustomFontFamily(const QString& name) { theme().fontFamily = name.trimmed(); }

QString uiFontFamily()
{
    const QString& f = theme().fontFamily;
    return f.isEmpty() ? QStringLiteral("Microsoft YaHei UI") : f;
}
