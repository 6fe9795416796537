#include "protect/uilockoverlay.h"

#include "app/lang.h"
#include "app/theme.h"
#include "media/videobackground.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QMovie>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>

#include <cmath>

namespace {

// Four soft discs, made once and shared by every lock screen.
const QImage& glowSprite(bool dark, bool b)
{
    static QImage sprites[4];
    QImage& s = sprites[(dark ? 2 : 0) + (b ? 1 : 0)];
    if (s.isNull()) {
        struct Spec { QColor colour; int alpha; };
        const Spec spec = dark ? (b ? Spec { QColor(74, 138, 230), 112 } : Spec { QColor(44, 95, 190), 138 })
                               : (b ? Spec { QColor(134, 186, 255), 92 } : Spec { QColor(91, 141, 240), 104 });
        s = QImage(256, 256, QImage::Format_ARGB32_Premultiplied);
        s.fill(Qt::transparent);
        QPainter p(&s);
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(128, 128, 128);
        QColor c = spec.colour;
        c.setAlpha(spec.alpha);
        g.setColorAt(0, c);
        c.setAlpha(spec.alpha / 3);
        g.setColorAt(0.55, c);
        c.setAlpha(0);
        g.setColorAt(1, c);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QRectF(0, 0, 256, 256));
    }
    return s;
}

const QImage& logoImage()
{
    static const QImage logo(QStringLiteral(":/res/resources/logo.png"));
    return logo;
}

QFont overlayFont(double pixelSize, int weight = 400)
{
    QFont f(uiFontFamily());
    f.setPixelSize(qMax(1, int(std::lround(pixelSize))));
    f.setWeight(QFont::Weight(weight));
    return f;
}

QColor hintColour(bool onImage, bool dark)
{
    if (onImage)
        return QColor(255, 255, 255, 184);
    return dark ? QColor(195, 203, 220) : QColor(108, 118, 138);
}

} // namespace

QColor lockErrorTextColour(bool onImage, bool dark)
{
    if (onImage || dark)
        return QColor(255, 138, 147);
    return QColor(176, 0, 32);
}

QSize UiLockOverlay::coverTargetSize() const
{
    if (width() > 0 && height() > 0)
        return size();
    if (const QScreen* s = screen(); s && s->size().isValid())
        return s->size();
    return QSize(640, 480);
}

QImage UiLockOverlay::renderBackdrop()
{
    if (m_video)
        return m_videoFrame.isNull() ? m_video->latestFrame() : m_videoFrame;
    if (m_movie)
        return m_movie->currentPixmap().toImage();
    const QSize target = coverTargetSize();
    if (m_backgroundImage.isNull()) {
        QImage loaded(m_backgroundPath);
        if (!loaded.isNull() && (loaded.width() > target.width() || loaded.height() > target.height()))
            loaded = loaded.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        m_backgroundImage = loaded;
    }
    if (m_backgroundImage.isNull())
        return QImage();
    if (m_scaledBackground.isNull() || m_scaledSize != target) {
        m_scaledBackground = scaleImageToCover(m_backgroundImage, target);
        m_scaledSize = target;
    }
    return m_scaledBackground;
}

void UiLockOverlay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QImage frame = m_backgroundPath.isEmpty() ? QImage() : renderBackdrop();
    if (!frame.isNull()) {
        // The same centred cover crop as scaleImageToCover, as a source rect.
        const double targetAspect = double(width()) / qMax(1, height());
        const double frameAspect = double(frame.width()) / qMax(1, frame.height());
        QRectF src = frame.rect();
        if (frameAspect > targetAspect) {
            const double w = frame.height() * targetAspect;
            src = QRectF((frame.width() - w) / 2, 0, w, frame.height());
        } else {
            const double h = frame.width() / targetAspect;
            src = QRectF(0, (frame.height() - h) / 2, frame.width(), h);
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QRectF(rect()), frame, src);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.fillRect(rect(), QColor(8, 12, 22, 92));
        QRadialGradient veil(QPointF(width() / 2.0, height() / 2.0), 0.74 * qMax(width(), height()));
        veil.setColorAt(0, QColor(0, 0, 0, 0));
        veil.setColorAt(1, QColor(0, 0, 0, 132));
        p.fillRect(rect(), veil);
        drawLockCard(p, true);
    } else {
        drawDefaultBackdrop(p);
        drawLockCard(p, false);
    }
    if (m_fadeOut > 0)
        p.fillRect(rect(), QColor(10, 14, 24, int(235 * m_fadeOut * m_fadeOut + 0.5)));
}

void UiLockOverlay::drawDefaultBackdrop(QPainter& p)
{
    const bool dark = currentTheme().isDark;
    QLinearGradient g(0, 0, 0.45 * width(), height());
    g.setColorAt(0, dark ? QColor(16, 21, 33) : QColor(245, 248, 253));
    g.setColorAt(1, dark ? QColor(27, 35, 50) : QColor(219, 228, 245));
    p.fillRect(rect(), g);
    const double S = 1.15 * qMax(width(), height());
    const double t = m_phase;
    struct Glow { double x, y, side, opacity; bool b; };
    const Glow glows[] = {
        { (0.5 + 0.22 * std::sin(0.42 * t)) * width(), (0.5 + 0.16 * std::cos(0.33 * t)) * height(), 0.95 * S,
          dark ? 0.5 : 0.68, false },
        { (0.5 + 0.28 * std::cos(0.27 * t + 1.7)) * width(), (0.5 + 0.20 * std::sin(0.9 + 0.38 * t)) * height(),
          0.72 * S, dark ? 0.42 : 0.52, true },
    };
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const Glow& glow : glows) {
        p.setOpacity(glow.opacity);
        p.drawImage(QRectF(glow.x - glow.side / 2, glow.y - glow.side / 2, glow.side, glow.side),
                    glowSprite(dark, glow.b));
        p.setOpacity(1.0);
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

void UiLockOverlay::drawWindowButton(QPainter& p, const QRectF& r, int id, bool onImage)
{
    const bool dark = currentTheme().isDark;
    const bool pressed = m_pressedWindowButton == id;
    if (m_hoverWindowButton == id || pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(onImage ? QColor(255, 255, 255, pressed ? 54 : 34) : QColor(0, 0, 0, pressed ? 30 : 16));
        p.drawRoundedRect(r, 6, 6);
    }
    QPen pen(onImage ? QColor(255, 255, 255, 232) : dark ? QColor(221, 227, 238) : QColor(74, 83, 99), 1.2);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QPointF c = r.center();
    if (id == 2) {
        p.drawLine(c + QPointF(-4.4, -4.4), c + QPointF(4.4, 4.4));
        p.drawLine(c + QPointF(-4.4, 4.4), c + QPointF(4.4, -4.4));
    } else {
        p.drawLine(c + QPointF(-5, 0.5), c + QPointF(5, 0.5));
    }
}

void UiLockOverlay::drawLockCard(QPainter& p, bool onImage)
{
    const ThemePalette& palette = currentTheme();
    const bool dark = palette.isDark;

    LockCardInput in;
    in.size = size();
    in.inputVisible = m_inputVisible;
    in.removeMode = m_removeMode;
    in.hasError = !m_errorText.isEmpty();
    in.inputAppear = m_inputAppear;
    const double v0 = lockCardLayout(in).v;
    const QFontMetrics linkMetrics(overlayFont(13 * v0));
    const QString modeText = m_removeMode ? translate("返回解锁") : translate("移除密码");
    const QString forgotText = translate("忘记密码");
    in.modeLinkWidth = linkMetrics.horizontalAdvance(modeText);
    in.forgotLinkWidth = m_removeMode ? 0 : linkMetrics.horizontalAdvance(forgotText);
    const LockCardLayout l = lockCardLayout(in);
    const double v = l.v;
    const double t = l.logo;
    const double q = 20 * v;

    m_minimizeRect = l.minimizeRect;
    m_closeRect = l.closeRect;
    drawWindowButton(p, m_minimizeRect, 1, onImage);
    drawWindowButton(p, m_closeRect, 2, onImage);

    const double pulse = 0.5 + 0.5 * std::sin(0.9 * m_phase);
    const double r = (0.92 + 0.12 * pulse) * t;
    const QPointF centre(l.cx, l.top + t / 2);
    QColor base = onImage ? QColor(Qt::white) : palette.c[28];
    QRadialGradient glow(centre, r);
    base.setAlpha(int(18 * pulse + (onImage ? 30 : 40)));
    glow.setColorAt(0, base);
    base.setAlpha(int(8 * pulse + (onImage ? 12 : 16)));
    glow.setColorAt(0.42, base);
    base.setAlpha(0);
    glow.setColorAt(1, base);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, r, r);
    if (!logoImage().isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QRectF(l.cx - t / 2, l.top, t, t), logoImage());
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }

    QFont titleFont = overlayFont(21 * v);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 3 * v);
    p.setFont(titleFont);
    const QString title = translate("程序被锁定");
    if (onImage) {
        p.setPen(QColor(0, 0, 0, 96));
        p.drawText(l.titleRect.translated(0, 1.2), Qt::AlignCenter, title);
    }
    p.setPen(onImage ? QColor(255, 255, 255, 246) : palette.c[16]);
    p.drawText(l.titleRect, Qt::AlignCenter, title);

    if (!m_inputVisible) {
        QFont hintFont = overlayFont(16 * v);
        hintFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5 * v);
        p.setFont(hintFont);
        const QString hint = translate("点击任意位置或按回车输入密码解锁");
        if (onImage) {
            p.setPen(QColor(0, 0, 0, 84));
            p.drawText(l.hintRect.translated(0, 1.0), Qt::AlignCenter, hint);
        }
        p.setPen(hintColour(onImage, dark));
        p.drawText(l.hintRect, Qt::AlignCenter, hint);
        return;
    }

    const double ease = 1 - std::pow(1 - m_inputAppear, 3);
    p.setOpacity(ease);
    const double dx = m_shake > 0 ? 7 * m_shake * std::sin((1 - m_shake) * 12.5663706) : 0.0;
    p.save();
    p.translate(dx, 0);
    if (m_passwordEdit)
        m_passwordEdit->setGeometry(l.editRect.toRect());

    if (l.errorY >= 0) {
        p.setFont(overlayFont(12 * v));
        const int tw = p.fontMetrics().horizontalAdvance(m_errorText);
        const double x0 = l.cx - (8 * v + 6 * v + tw) / 2;
        const QColor red = lockErrorTextColour(onImage, dark);
        p.setPen(Qt::NoPen);
        p.setBrush(red);
        p.drawEllipse(QPointF(x0 + 3 * v, l.errorY + q / 2), 3 * v, 3 * v);
        if (onImage) {
            p.setPen(QColor(0, 0, 0, 120));
            p.drawText(QRectF(x0 + 14 * v, l.errorY + 1.0, tw + 2, q), Qt::AlignLeft | Qt::AlignVCenter, m_errorText);
        }
        p.setPen(red);
        p.drawText(QRectF(x0 + 14 * v, l.errorY, tw + 2, q), Qt::AlignLeft | Qt::AlignVCenter, m_errorText);
    }

    m_submitRect = l.submitRect;
    QColor fill = onImage ? QColor(58, 102, 216) : palette.c[28];
    if (m_pressedItem == 1)
        fill = fill.darker(110);
    else if (m_hoverItem == 1)
        fill = fill.lighter(105);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(m_submitRect, 8, 8);
    p.setFont(overlayFont(16 * v, 600));
    const QString label = m_removeMode ? translate("移除并解锁") : translate("解  锁");
    if (onImage) {
        p.setPen(QColor(0, 0, 0, 80));
        p.drawText(m_submitRect.translated(0, 1.2), Qt::AlignCenter, label);
    }
    p.setPen(Qt::white);
    p.drawText(m_submitRect, Qt::AlignCenter, label);

    m_modeLinkRect = l.modeLinkRect;
    m_forgotLinkRect = l.forgotLinkRect;
    const bool linkHovered = m_hoverItem == 2 || m_hoverItem == 3;
    const int pillAlpha = onImage ? (linkHovered ? 104 : 72) : dark ? (linkHovered ? 96 : 64) : 30;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, pillAlpha));
    p.drawRoundedRect(l.pillRect, l.pillRect.height() / 2, l.pillRect.height() / 2);

    p.setFont(overlayFont(13 * v));
    const QColor idle = onImage ? QColor(255, 255, 255, 244) : hintColour(false, dark);
    const QColor hot = onImage ? QColor(Qt::white) : palette.c[28];
    const double m = in.modeLinkWidth;
    const double G = 26 * v;
    const double N = l.modeLinkRect.left() + 8 * v;
    p.setPen(m_hoverItem == 2 ? hot : idle);
    p.drawText(QRectF(N, l.linksY, m + 2, 22 * v), Qt::AlignLeft | Qt::AlignVCenter, modeText);
    if (!m_removeMode) {
        p.setPen(onImage ? QColor(255, 255, 255, 150) : hintColour(false, dark));
        p.drawText(QRectF(N + m + 2 * v, l.linksY, G - 4 * v, 22 * v), Qt::AlignCenter, QStringLiteral("·"));
        p.setPen(m_hoverItem == 3 ? hot : idle);
        p.drawText(QRectF(N + m + G, l.linksY, in.forgotLinkWidth + 2, 22 * v), Qt::AlignLeft | Qt::AlignVCenter,
                   forgotText);
    }
    p.restore();
    p.setOpacity(1.0);
}
