#include "account/accountdialogpaint.h"

#include "app/theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

QFont dialogFont(int pixelSize, bool bold)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    return f;
}

QColor accountWarningRed()
{
    return QColor(0xE5, 0x48, 0x4D);
}

void paintDialogButton(QPainter& p, const ThemePalette& pal, const QRect& rect, const QString& text, bool primary,
                       bool hovered, bool pressed, bool withPlus)
{
    const bool dark = pal.isDark;
    const QColor accent = pal.c[kAccountAccentSlot];
    QColor fill;
    QColor ink;
    QColor glyph;
    p.save();
    if (primary) {
        fill = pressed ? accent.darker(112) : hovered ? accent.lighter(110) : accent;
        p.setPen(Qt::NoPen);
        ink = glyph = Qt::white;
    } else {
        if (pressed)
            fill = dark ? QColor(0x3E, 0x44, 0x52) : QColor(0xE8, 0xEC, 0xF3);
        else if (hovered)
            fill = dark ? QColor(0x3A, 0x40, 0x4C) : QColor(0xEF, 0xF3, 0xF9);
        else
            fill = dark ? QColor(0x35, 0x3A, 0x46) : QColor(0xF5, 0xF7, 0xFA);
        p.setPen(QPen(hovered ? accent : pal.c[kAccountNeutralOutlineSlot], 1));
        ink = hovered ? accent : pal.c[kAccountTextSlot];
        glyph = hovered ? accent : pal.c[kAccountNeutralOutlineSlot];
    }
    p.setBrush(fill);
    p.drawRoundedRect(rect, 10, 10);

    const QFont font = dialogFont(13, false);
    p.setFont(font);
    if (!withPlus) {
        p.setPen(ink);
        p.drawText(rect, Qt::AlignCenter, text);
        p.restore();
        return;
    }
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    const int h = rect.x() + (rect.right() - rect.x() - advance - 19) / 2;
    const int cy = (rect.top() + rect.bottom()) / 2;
    p.setPen(QPen(glyph, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(h, cy - 6, 12, 12), 3, 3);
    p.drawLine(QPointF(h + 3, cy), QPointF(h + 9, cy));
    p.drawLine(QPointF(h + 6, cy - 3), QPointF(h + 6, cy + 3));
    p.setPen(ink);
    p.drawText(QRect(h + 20, rect.y(), advance + 2, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

void paintDialogCloseButton(QPainter& p, const ThemePalette& pal, const QRect& rect, bool hovered)
{
    p.save();
    QColor cross = pal.c[kAccountSecondarySlot];
    if (hovered) {
        p.setPen(Qt::NoPen);
        p.setBrush(pal.isDark ? QColor(0x4A, 0x2C, 0x32) : QColor(0xFD, 0xED, 0xED));
        p.drawRoundedRect(rect.adjusted(-4, -4, 4, 4), 7, 7);
        cross = QColor(0xE8, 0x11, 0x23);
    }
    p.setPen(QPen(cross, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPoint(rect.x() + 8, rect.y() + 8), QPoint(rect.right() - 8, rect.bottom() - 8));
    p.drawLine(QPoint(rect.right() - 8, rect.y() + 8), QPoint(rect.x() + 8, rect.bottom() - 8));
    p.restore();
}
