// How the update dialog looks.
#include "updater/updatedialog.h"

#include "app/lang.h"
#include "app/theme.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kWindowSlot = 0;
constexpr int kBorderSlot = 3;
constexpr int kStatusTextSlot = 16;
constexpr int kTitleSlot = 17;
constexpr int kSecondarySlot = 18;
constexpr int kAccentSlot = 28;
constexpr int kButtonFillSlot = 31;
constexpr int kOutlineSlot = 32;
constexpr int kTrackSlot = 33;

constexpr int kLogoSize = 48;
constexpr int kLogoTop = 18;
constexpr int kButtonRadius = 7;

QFont dialogFont(int px, bool bold)
{
    QFont f(uiFontFamily());
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

const QPixmap& logo()
{
    static const QPixmap pm(QStringLiteral(":/res/resources/logo.png"));
    return pm;
}

// The font at `px`, smaller when `text` would not fit `width` (a longer
// translation in a control of fixed size), but never below 9 px.
QFont fittedFont(int px, bool bold, const QString& text, int width)
{
    QFont f = dialogFont(px, bold);
    while (f.pixelSize() > 9 && QFontMetrics(f).horizontalAdvance(text) > width)
        f.setPixelSize(f.pixelSize() - 1);
    return f;
}

QRectF inner(const QRect& r)
{
    return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
}

} // namespace

void UpdateDialog::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = currentTheme();
    const int w = width();
    const int h = height();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(QPen(pal.c[kBorderSlot], 1));
    p.setBrush(pal.c[kWindowSlot]);
    const qreal radius = qMax(4, themeCornerRadius());
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), radius, radius);

    if (!logo().isNull()) {
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(QRect((w - kLogoSize) / 2, kLogoTop, kLogoSize, kLogoSize), logo());
        p.restore();
    }

    p.setFont(dialogFont(15, true));
    p.setPen(pal.c[kTitleSlot]);
    p.drawText(QRect(QPoint(24, 74), QPoint(w - 25, 97)), Qt::AlignCenter, heading());

    const QFont noteFont = dialogFont(12, false);
    p.setFont(noteFont);
    p.setPen(pal.c[kSecondarySlot]);
    const int textWidth = w - 48;
    int y = 108;
    for (const QString& line : shownLines()) {
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const int lh = p.fontMetrics().boundingRect(QRect(0, 0, textWidth, 10000), flags, line).height();
        p.drawText(QRect(24, y, textWidth, lh), flags, line);
        y += lh + 4;
    }

    if (!statusText.isEmpty()) {
        p.setPen(pal.c[kStatusTextSlot]);
        p.drawText(QRect(QPoint(24, notesHeight + 118), QPoint(w - 25, notesHeight + 137)),
                   Qt::AlignLeft | Qt::AlignVCenter, statusText);
        if (progress >= 0) {
            const QRectF track(24, notesHeight + 142, textWidth, 6);
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kTrackSlot]);
            p.drawRoundedRect(track, 3, 3);
            QRectF bar = track;
            bar.setWidth(qMax(3.0, textWidth * qreal(progress) / 100.0));
            p.setBrush(pal.c[kAccentSlot]);
            p.drawRoundedRect(bar, 3, 3);
        }
    }

    const Areas a = areasFor(size());
    updateButtonRect = a.update;
    laterButtonRect = a.later;
    closeButtonRect = a.close;
    minimizeButtonRect = a.minimize;
    siteLinkRect = a.siteLink;
    const UpdateArea hover = hitTest(mapFromGlobal(QCursor::pos()));
    const bool busy = !statusText.isEmpty();

    if (!busy) {
        const bool hot = hover == UpdateArea::SiteLink;
        const QString site = translate(u"访问官网");
        QFont f = fittedFont(12, false, site, siteLinkRect.width());
        p.setFont(f);
        p.setPen(pal.c[hot ? kAccentSlot : kSecondarySlot]);
        p.drawText(siteLinkRect, Qt::AlignLeft | Qt::AlignVCenter, site);
        if (hot) {
            f.setUnderline(true);
            p.setFont(f);
            p.drawText(siteLinkRect, Qt::AlignLeft | Qt::AlignVCenter, site);
        }
    }

    {
        const bool hot = hover == UpdateArea::LaterButton;
        QColor fill = pal.c[kButtonFillSlot];
        if (hot)
            fill = pressedArea == UpdateArea::LaterButton ? fill.darker(115) : fill.lighter(112);
        p.setBrush(fill);
        p.setPen(QPen(pal.c[hot ? kAccentSlot : kOutlineSlot], 1));
        p.drawRoundedRect(inner(laterButtonRect), kButtonRadius, kButtonRadius);
        const QString later = translate(u"稍后再说");
        p.setFont(fittedFont(12, false, later, laterButtonRect.width() - 8));
        p.setPen(pal.c[hot ? kAccentSlot : kStatusTextSlot]);
        p.drawText(laterButtonRect, Qt::AlignCenter, later);
    }

    {
        QColor fill = pal.c[kAccentSlot];
        if (busy)
            fill = fill.darker(112);
        else if (hover == UpdateArea::UpdateButton)
            fill = pressedArea == UpdateArea::UpdateButton ? fill.darker(115) : fill.lighter(112);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(updateButtonRect), kButtonRadius, kButtonRadius);
        const QString text = busy ? translate(u"下载中…") : translate(u"立即更新");
        p.setFont(fittedFont(12, true, text, updateButtonRect.width() - 8));
        p.setPen(Qt::white);
        p.drawText(updateButtonRect, Qt::AlignCenter, text);
    }

    {
        const QRect r = minimizeButtonRect;
        const bool hot = hover == UpdateArea::MinimizeButton;
        if (hot) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.isDark ? QColor(0x33, 0x3B, 0x49) : QColor(0xEE, 0xF3, 0xFA));
            p.drawRoundedRect(QRectF(r.adjusted(-4, -4, 4, 4)), kButtonRadius, kButtonRadius);
        }
        p.setPen(QPen(pal.c[hot ? kAccentSlot : kSecondarySlot], 1.6, Qt::SolidLine, Qt::RoundCap));
        const qreal m = (r.top() + r.bottom()) / 2.0;
        p.drawLine(QPointF(r.left() + 6, m), QPointF(r.right() - 6, m));
    }

    {
        const QRect r = closeButtonRect;
        const bool hot = hover == UpdateArea::CloseButton;
        p.setPen(QPen(hot ? QColor(0xE8, 0x11, 0x23) : pal.c[kSecondarySlot], 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(r.left() + 6, r.top() + 6), QPointF(r.right() - 6, r.bottom() - 6));
        p.drawLine(QPointF(r.right() - 6, r.top() + 6), QPointF(r.left() + 6, r.bottom() - 6));
    }
}
