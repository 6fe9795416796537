#include "account/supportchat.h"

#include <QBuffer>
#include <QFontMetrics>

#include <climits>
#include <cmath>

namespace {

QRect inclusive(int l, int t, int r, int b)
{
    return QRect(QPoint(l, t), QPoint(r, b));
}

constexpr int kTextWrapWidth = 236;
constexpr int kBubbleMaxWidth = 258;
constexpr int kPictureMaxWidth = 190;
constexpr int kPictureMaxHeight = 140;
constexpr int kEncodeMaxSide = 1280;

} // namespace

ChatControls chatControls(int inputHeight, bool attached, int width)
{
    const int a = inputHeight;
    ChatControls c;
    c.title = inclusive(44, 0, 283, 43);
    c.close = inclusive(386, 10, 409, 33);
    c.view = inclusive(1, 48, width - 2, 419 - a);
    if (attached)
        c.thumbnail = inclusive(16, 354 - a, 71, 409 - a);
    c.inputDividerY = 420 - a;
    c.pictureButton = inclusive(16, 426 - a, 51, 457 - a);
    c.input = inclusive(60, 426 - a, 345, 405);
    c.send = inclusive(350, 426 - a, 415, 457 - a);
    return c;
}

ChatLayout layoutChatMessages(const QList<ChatMessage>& messages, const QFont& font,
                              const std::function<QSize(const QString&)>& pictureSize)
{
    const QFontMetrics fm(font);
    ChatLayout out;
    int y = 54;
    for (const ChatMessage& m : messages) {
        int t = 0;
        int advance = 0;
        if (!m.text.isEmpty()) {
            const QRect box = fm.boundingRect(QRect(0, 0, kTextWrapWidth, INT_MAX / 2), Qt::TextWordWrap, m.text);
            t = box.height();
            // The widest wrapped line, so that a text with line breaks is
            // not measured as one long line.
            advance = box.width();
        }
        const int textWidth = qMin(advance + 22, kBubbleMaxWidth);
        int w = 0;
        int h = 0;
        QRect picture;
        if (m.img.isEmpty()) {
            w = textWidth;
            h = qMax(t + 20, 34);
        } else {
            QSize size = pictureSize ? pictureSize(m.img) : QSize();
            if (!size.isValid() || size.isEmpty())
                size = QSize(160, 120);
            int iw = size.width();
            int ih = size.height();
            bool flat = false;
            if (iw > kPictureMaxWidth) {
                ih = ih * kPictureMaxWidth / iw;
                iw = kPictureMaxWidth;
                if (ih < 25) {
                    ih = 24;
                    flat = true;
                }
            }
            if (!flat && ih > kPictureMaxHeight) {
                iw = qMax(iw * kPictureMaxHeight / ih, 40);
                ih = kPictureMaxHeight;
            }
            if (m.text.isEmpty()) {
                h = ih + 16;
                w = iw + 16;
            } else {
                h = t + 24 + ih;
                w = qMax(iw + 16, textWidth);
            }
            picture = QRect(m.mine ? 412 - w : 24, y + 8, iw, ih);
        }
        out.bubbles << (m.mine ? inclusive(404 - w, y, 403, y + h - 1) : inclusive(16, y, w + 15, y + h - 1));
        out.images << picture;
        y += h + 10;
    }
    out.contentHeight = y;
    return out;
}

bool isFetchableImageName(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1String("..")))
        return false;
    for (const QChar ch : name) {
        const ushort u = ch.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '.'
            || u == '_' || u == '-';
        if (!ok)
            return false;
    }
    return true;
}

QImage fitChatPicture(const QImage& image, qreal dpr)
{
    QSize box(kPictureMaxWidth, kPictureMaxHeight);
    qreal ratio = 1.0;
    if (dpr > 2.0) {
        box = QSize(2 * kPictureMaxWidth, 2 * kPictureMaxHeight);
        ratio = 2.0;
    } else if (dpr > 1.0) {
        box = QSize(qMax(1, int(std::lround(kPictureMaxWidth * dpr))),
                    qMax(1, int(std::lround(kPictureMaxHeight * dpr))));
        ratio = dpr;
    }
    if (image.width() <= box.width() && image.height() <= box.height())
        return image;
    QImage fitted = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(ratio);
    return fitted;
}

QString encodeChatPicture(const QImage& image)
{
    QImage picture = image;
    if (picture.width() > kEncodeMaxSide || picture.height() > kEncodeMaxSide)
        picture = picture.scaled(kEncodeMaxSide, kEncodeMaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

void ChatImageCache::insert(const QString& name, const QImage& image)
{
    while (m_images.size() >= kCapacity && !m_order.isEmpty())
        m_images.remove(m_order.takeFirst());
    if (m_images.size() >= kCapacity)
        m_images.clear();
    if (!m_order.contains(name))
        m_order << name;
    m_images.insert(name, image);
}

void ChatImageCache::remove(const QString& name)
{
    m_images.remove(name);
    m_order.removeAll(name);
}
