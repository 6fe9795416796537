#include "widgets/toast.h"

#include "app/theme.h"
#include "app/windowshape.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

Toast::Toast(QWidget* parent)
    : QWidget(parent), m_hideTimer(this), m_recentreTimer(this), m_fade(this)
{
    // A separate tool window rather than a child widget, so that it can float
    // over the panel's own painting and children; no input of any kind.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus
                   | Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_TranslucentBackground);
    // Without a compositor the fade has no effect; the pill is then cut out
    // of a square window instead of lying on black corners, inside its
    // faint rim, which would come out dark.
    WindowShape::install(this, [this] { return height() / 2.0 - 1; }, QMargins(1, 1, 1, 1));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);

    m_hideTimer.setObjectName(QStringLiteral("toastHideTimer"));
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kShowMs);
    connect(&m_hideTimer, &QTimer::timeout, this, &Toast::startFade);

    m_recentreTimer.setObjectName(QStringLiteral("toastRecentreTimer"));
    m_recentreTimer.setInterval(kRecentreMs);
    connect(&m_recentreTimer, &QTimer::timeout, this, &Toast::recentre);

    m_fade.setObjectName(QStringLiteral("toastFade"));
    m_fade.setStartValue(1.0);
    m_fade.setEndValue(0.0);
    m_fade.setDuration(kFadeMs);
    m_fade.setEasingCurve(QEasingCurve::InQuad);
    connect(&m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        const qreal opacity = v.toReal();
        setWindowOpacity(opacity);
        if (opacity <= 0.01)
            hide();
    });
}

QFont Toast::messageFont() const
{
    QFont f(uiFontFamily());
    f.setPixelSize(13);
    return f;
}

int Toast::widthFor(int textAdvance, int parentWidth)
{
    const int maxWidth = parentWidth >= 0 ? parentWidth - 40 : 620;
    return qMax(120, qMin(textAdvance + 52, maxWidth));
}

ToastLayout Toast::layoutFor(QSize size, int textAdvance)
{
    const int w = size.width();
    const int h = size.height();
    ToastLayout l;
    l.pill = QRectF(0.5, 0.5, w - 1, h - 1);
    l.radius = (h - 1) / 2.0;
    const int x0 = (w - 1 - textAdvance - 15) / 2;
    l.dotCentre = QPointF(x0 + 3.5, h / 2.0);
    l.textRect = QRect(QPoint(x0 + 16, 0), QPoint(w - 1, h - 1));
    return l;
}

void Toast::showMessage(const QString& text, int failure)
{
    m_text = text;
    m_failure = failure != 0;
    const int advance = QFontMetrics(messageFont()).horizontalAdvance(text);
    resize(widthFor(advance, parentWidget() ? parentWidget()->width() : -1), kHeight);
    recentre();
    m_fade.stop();
    setWindowOpacity(1.0);
    show();
    raise();
    update();
    m_hideTimer.start();
    m_recentreTimer.start();
}

void Toast::recentre()
{
    QWidget* p = parentWidget();
    if (!p)
        return;
    const QPoint origin = p->isWindow() ? p->pos() : p->mapToGlobal(QPoint(0, 0));
    move(origin.x() + (p->width() - width()) / 2, origin.y() + kTopOffset);
}

void Toast::startFade()
{
    m_recentreTimer.stop();
    m_fade.stop();
    m_fade.start();
}

void Toast::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = messageFont();
    painter.setFont(font);
    const ToastLayout l = layoutFor(size(), QFontMetrics(font).horizontalAdvance(m_text));

    painter.setPen(QPen(QColor(255, 255, 255, 28), 1));
    const ThemePalette& theme = currentTheme();
    painter.setBrush(theme.isDark ? QColor(0x2C, 0x31, 0x3E) : QColor(0x33, 0x39, 0x47));
    painter.drawRoundedRect(l.pill, l.radius, l.radius);

    painter.setPen(Qt::NoPen);
    painter.setBrush(m_failure ? QColor(0xE8, 0x11, 0x23) : theme.c[28]);
    painter.drawEllipse(l.dotCentre, l.dotDiameter / 2, l.dotDiameter / 2);

    painter.setPen(Qt::white);
    painter.drawText(l.textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
