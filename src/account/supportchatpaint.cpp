// Painting of the support chat window.
#include "account/supportchatdialog.h"

#include "app/theme.h"
#include "app/lang.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kWindowSlot = 0;
constexpr int kHeaderSlot = 1;
constexpr int kDividerSlot = 2;
constexpr int kBorderSlot = 3;
constexpr int kTitleSlot = 17;
constexpr int kSecondarySlot = 18;
constexpr int kAccentSlot = 28;

const QColor kOwnBubble(0x2F, 0x6F, 0xED);
const QColor kOtherBubble(0xF0, 0xF2, 0xF7);
const QColor kOtherText(0x39, 0x40, 0x4C);
const QColor kCloseHot(0xE8, 0x11, 0x23);
const QColor kButtonFill(0xF0, 0xF2, 0xF7);
const QColor kButtonHotFill(0xE8, 0xF0, 0xFE);
const QColor kGlyph(0x8A, 0x93, 0xA3);
const QColor kSendHot(0x25, 0x5F, 0xD6);

QFont chatFont(int pixelSize, int weight = 400)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

// Inclusive pixel rectangles drawn as filled shapes cover their last pixel.
QRectF filled(const QRect& r)
{
    return QRectF(r.x(), r.y(), r.width(), r.height());
}

void paintHeadset(QPainter& p, const QColor& ink)
{
    p.save();
    QPen pen(ink, 1.5);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(20, 16.5, 12, 11), 0, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(19, 20.8, 3, 6.6), 1.5, 1.5);
    p.drawRoundedRect(QRectF(30, 20.8, 3, 6.6), 1.5, 1.5);
    p.setPen(pen);
    p.drawLine(QPointF(31.5, 27.4), QPointF(28.2, 27.4));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(25.8, 26, 2.8, 2.8));
    p.restore();
}

} // namespace

void SupportChatDialog::paintEvent(QPaintEvent*)
{
    relayoutControls();
    const ThemePalette& pal = currentTheme();
    const int w = width();
    const int a = inputHeight;
    const ChatControls& c = m_controls;
    const int hot = hitTest(mapFromGlobal(QCursor::pos()));

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const qreal radius = qMax(4, themeCornerRadius());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0.5, 0.5, w - 1, height() - 1), radius, radius);
    p.setPen(QPen(pal.c[kBorderSlot], 1));
    p.setBrush(pal.c[kWindowSlot]);
    p.drawPath(shape);

    p.save();
    p.setClipPath(shape);
    p.fillRect(QRectF(0, 0, w, 44), pal.c[kHeaderSlot]);
    p.restore();
    p.setPen(QPen(pal.c[kDividerSlot], 1));
    p.drawLine(QPointF(1, 44.5), QPointF(w - 1, 44.5));

    paintHeadset(p, pal.c[kAccentSlot]);
    p.setFont(chatFont(14, 700));
    p.setPen(pal.c[kTitleSlot]);
    p.drawText(filled(c.title), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(headerTitle, Qt::ElideRight, c.title.width()));

    {
        QPen pen(hot == CloseCross ? kCloseHot : pal.c[kSecondarySlot], 1.5);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QRectF x = filled(c.close).adjusted(7, 7, -7, -7);
        p.drawLine(x.topLeft(), x.bottomRight());
        p.drawLine(x.topRight(), x.bottomLeft());
    }

    // Messages, scrolled up from the newest.
    messageLayout();
    const int top = maxScroll();
    scrollFromBottom = qBound(0, scrollFromBottom, top);
    const int shift = scrollFromBottom - top;
    p.save();
    p.setClipRect(filled(c.view));
    p.translate(0, shift);
    const QFont bubbleFont = chatFont(12);
    p.setFont(bubbleFont);
    for (int i = 0; i < messages.size() && i < m_layout.bubbles.size(); ++i) {
        const QRect& bubble = m_layout.bubbles.at(i);
        if (bubble.bottom() + shift <= 49 || bubble.top() + shift > 414 - a)
            continue;
        const ChatMessage& m = messages.at(i);
        p.setPen(Qt::NoPen);
        p.setBrush(m.mine ? kOwnBubble : kOtherBubble);
        p.drawRoundedRect(filled(bubble), 10, 10);
        const QRect& pictureRect = m_layout.images.at(i);
        QRect textBox = bubble.adjusted(11, 8, -11, -8);
        if (!pictureRect.isNull()) {
            if (imageCache.contains(m.img)) {
                p.save();
                p.setRenderHint(QPainter::SmoothPixmapTransform);
                p.drawImage(filled(pictureRect), imageCache.value(m.img));
                p.restore();
            }
            textBox.setTop(pictureRect.bottom() + 1 + 6);
            textBox.setBottom(bubble.bottom() - 5);
        }
        if (!m.text.isEmpty()) {
            p.setPen(m.mine ? QColor(Qt::white) : kOtherText);
            p.drawText(filled(textBox), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m.text);
        }
    }
    p.restore();

    p.setPen(QPen(pal.c[kDividerSlot], 1));
    p.drawLine(QPointF(1, c.inputDividerY + 0.5), QPointF(w - 1, c.inputDividerY + 0.5));

    // Picture button: a circle with a plus.
    {
        const bool on = hot == PictureButton;
        p.setPen(Qt::NoPen);
        p.setBrush(on ? kButtonHotFill : kButtonFill);
        p.drawRoundedRect(filled(c.pictureButton), 8, 8);
        QPen pen(on ? kOwnBubble : kGlyph, 1.4);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QPointF mid = filled(c.pictureButton).center();
        p.drawEllipse(mid, 7, 7);
        p.drawLine(mid - QPointF(3.2, 0), mid + QPointF(3.2, 0));
        p.drawLine(mid - QPointF(0, 3.2), mid + QPointF(0, 3.2));
    }

    if (!c.thumbnail.isNull() && !preview.isNull()) {
        const QRectF r = filled(c.thumbnail);
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(r, preview);
        p.restore();
        p.setPen(QPen(kOwnBubble, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        QPen pen(hot == Thumbnail ? kCloseHot : kGlyph, 1.4);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const qreal x2 = c.thumbnail.right();
        const qreal y1 = c.thumbnail.top();
        p.drawLine(QPointF(x2 - 9, y1 + 9), QPointF(x2 - 3, y1 + 3));
        p.drawLine(QPointF(x2 - 3, y1 + 9), QPointF(x2 - 9, y1 + 3));
    }

    p.setPen(Qt::NoPen);
    p.setBrush(hot == SendButton ? kSendHot : kOwnBubble);
    p.drawRoundedRect(filled(c.send), 8, 8);
    p.setFont(chatFont(13, 700));
    p.setPen(Qt::white);
    p.drawText(filled(c.send), Qt::AlignCenter, translate(u"发送"));
}
