#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QRect;
struct ThemePalette;

// What the self-painted account dialogs share: the palette slots they read,
// their font and the painters of their buttons and close cross.

constexpr int kAccountWindowSlot = 0;
constexpr int kAccountBorderSlot = 3;
constexpr int kAccountSoftFillSlot = 13;
constexpr int kAccountTextSlot = 16;
constexpr int kAccountTitleSlot = 17;
constexpr int kAccountSecondarySlot = 18;
constexpr int kAccountAccentSlot = 28;
constexpr int kAccountNeutralOutlineSlot = 32;

// The interface font at `pixelSize`, weight 700 when bold, else 400.
QFont dialogFont(int pixelSize, bool bold);

// A rounded button: the accent fill for a primary one, a quiet outlined one
// otherwise; `withPlus` puts a boxed plus glyph before the text.
void paintDialogButton(QPainter& p, const ThemePalette& pal, const QRect& rect, const QString& text, bool primary,
                       bool hovered, bool pressed, bool withPlus);

// The close cross, red on a soft backdrop while hovered.
void paintDialogCloseButton(QPainter& p, const ThemePalette& pal, const QRect& rect, bool hovered);

// The red of warnings and of the destructive buttons.
QColor accountWarningRed();
