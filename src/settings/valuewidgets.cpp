#include "settings/valuewidgets.h"

#include "app/theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kGrooveSlot = 33;
constexpr int kAccentSlot = 28;
constexpr int kSecondaryTextSlot = 18;
constexpr int kBodyTextSlot = 16;
constexpr int kGrooveInset = 12;

// Halves away from zero, as the geometry rules round.
int roundHalfAway(double v) { return int(std::lround(v)); }

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

} // namespace

// ---------------------------------------------------------------- SliderWidget

SliderWidget::SliderWidget(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    // Keyboard users reach the slider with Tab and move it with the arrows.
    setFocusPolicy(Qt::StrongFocus);
}

void SliderWidget::setRange(int min, int max)
{
    m_min = min;
    m_max = max;
    if (m_value < m_min)
        m_value = m_min;
    if (m_value > m_max)
        m_value = m_max;
}

void SliderWidget::setKind(int kind)
{
    m_kind = kind;
    update();
}

void SliderWidget::setValue(int v)
{
    v = std::clamp(v, m_min, std::max(m_min, m_max));
    if (v == m_value)
        return;
    m_value = v;
    update();
}

int SliderWidget::textRoom() const { return m_kind == Megabytes ? 64 : 52; }

int SliderWidget::grooveLength() const { return width() - 2 * kGrooveInset - textRoom(); }

int SliderWidget::handleX() const
{
    const double frac = m_max > m_min ? double(m_value - m_min) / double(m_max - m_min) : 0.0;
    return roundHalfAway(kGrooveInset + frac * grooveLength());
}

int SliderWidget::valueFromX(int x) const
{
    const int length = grooveLength();
    x = std::clamp(x, kGrooveInset, kGrooveInset + std::max(length, 0));
    const int span = length > 0 ? length : 1;
    const int v = m_min + roundHalfAway(double(x - kGrooveInset) * (m_max - m_min) / span);
    return std::clamp(v, m_min, std::max(m_min, m_max));
}

QString SliderWidget::valueText() const
{
    switch (m_kind) {
    case NoText: return QString();
    case Pixels: return QStringLiteral("%1px").arg(m_value);
    case Degrees: return QStringLiteral("%1°").arg(m_value);
    case Megabytes: return QStringLiteral("%1 MB").arg(m_value);
    case Seconds: return QStringLiteral("%1 s").arg(m_value);
    case Fps: return QStringLiteral("%1 fps").arg(m_value);
    default: return QStringLiteral("%1%").arg(m_value);
    }
}

QSize SliderWidget::sizeHint() const { return QSize(220, 28); }

void SliderWidget::takeValue(int v)
{
    v = std::clamp(v, m_min, std::max(m_min, m_max));
    if (v != m_value) {
        m_value = v;
        update();
    }
    Q_EMIT valueChanged(m_value);
}

void SliderWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_dragging = true;
    update();
    takeValue(valueFromX(roundHalfAway(event->position().x())));
}

void SliderWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    update();
    takeValue(valueFromX(roundHalfAway(event->position().x())));
}

void SliderWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
}

void SliderWidget::enterEvent(QEnterEvent*)
{
    m_hovered = true;
    update();
}

void SliderWidget::leaveEvent(QEvent*)
{
    m_hovered = false;
    update();
}

void SliderWidget::keyPressEvent(QKeyEvent* event)
{
    const int page = std::max(1, (m_max - m_min) / 10);
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down: takeValue(m_value - 1); break;
    case Qt::Key_Right:
    case Qt::Key_Up: takeValue(m_value + 1); break;
    case Qt::Key_PageDown: takeValue(m_value - page); break;
    case Qt::Key_PageUp: takeValue(m_value + page); break;
    case Qt::Key_Home: takeValue(m_min); break;
    case Qt::Key_End: takeValue(m_max); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void SliderWidget::wheelEvent(QWheelEvent* event)
{
    // The slider sits in scrolling content: a wheel turned to scroll past it
    // must not change the value on the way.
    event->ignore();
}

void SliderWidget::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = dialogPalette();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int h = height();
    const int length = grooveLength();
    const int hx = handleX();
    const int grooveTop = h / 2 - 2;

    p.setPen(Qt::NoPen);
    p.setBrush(pal.c[kGrooveSlot]);
    p.drawRoundedRect(QRectF(kGrooveInset, grooveTop, length, 4), 2, 2);
    if (hx > kGrooveInset + 2) {
        p.setBrush(pal.c[kAccentSlot]);
        p.drawRoundedRect(QRectF(kGrooveInset, grooveTop, hx - kGrooveInset, 4), 2, 2);
    }
    const bool lifted = m_dragging || m_hovered || hasFocus();
    const QPointF centre(hx, h / 2.0);
    if (lifted) {
        p.setBrush(withAlpha(pal.c[kAccentSlot], 60));
        p.drawEllipse(centre, 12, 12);
    }
    p.setBrush(pal.c[kAccentSlot]);
    const double knob = lifted ? 7 : 6;
    p.drawEllipse(centre, knob, knob);

    if (m_kind != NoText) {
        QFont f = font();
        f.setPixelSize(12);
        p.setFont(f);
        p.setPen(pal.c[kSecondaryTextSlot]);
        p.drawText(QRect(length + 19, 0, width() - (length + 19), h), Qt::AlignLeft | Qt::AlignVCenter, valueText());
    }
}

// ---------------------------------------------------------------- AngleDial

AngleDial::AngleDial(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void AngleDial::setAngle(int degrees)
{
    degrees = ((degrees % 360) + 360) % 360;
    if (degrees == m_angle)
        return;
    m_angle = degrees;
    update();
}

int AngleDial::angleAt(const QPointF& pos) const
{
    const double dx = double(roundHalfAway(pos.x())) - width() / 2.0;
    const double dy = double(roundHalfAway(pos.y())) - height() / 2.0;
    if (std::abs(dx) <= 1e-12 && std::abs(dy) <= 1e-12)
        return -1;
    const int n = roundHalfAway(std::atan2(dy, dx) * 57.29577951308232);
    return ((n % 360) + 360) % 360;
}

QSize AngleDial::sizeHint() const { return QSize(46, 46); }

void AngleDial::takeAngle(int degrees)
{
    if (degrees < 0 || degrees == m_angle)
        return;
    m_angle = degrees;
    Q_EMIT angleChanged(m_angle);
    update();
}

void AngleDial::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    takeAngle(angleAt(event->position()));
}

void AngleDial::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        takeAngle(angleAt(event->position()));
}

void AngleDial::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void AngleDial::keyPressEvent(QKeyEvent* event)
{
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down: step = 1; break;
    case Qt::Key_Left:
    case Qt::Key_Up: step = -1; break;
    case Qt::Key_PageDown: step = 15; break;
    case Qt::Key_PageUp: step = -15; break;
    default: QWidget::keyPressEvent(event); return;
    }
    takeAngle((((m_angle + step) % 360) + 360) % 360);
    event->accept();
}

void AngleDial::paintEvent(QPaintEvent*)
{
    const ThemePalette& pal = dialogPalette();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0 - 2;
    const double ring = radius - 1.5;

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(pal.c[kGrooveSlot], 3, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(c, ring, ring);
    if (m_angle >= 1) {
        p.setPen(QPen(pal.c[kAccentSlot], 3, Qt::SolidLine, Qt::RoundCap));
        // Qt's arcs run counter-clockwise for positive spans; screen angles
        // grow clockwise, so the span is negative.
        p.drawArc(QRectF(c.x() - ring, c.y() - ring, 2 * ring, 2 * ring), 0, -m_angle * 16);
    }
    const double a = qDegreesToRadians(double(m_angle));
    p.setPen(QPen(pal.c[kAccentSlot], 2));
    p.drawLine(c, c + QPointF((radius - 4) * std::cos(a), (radius - 4) * std::sin(a)));
    p.setPen(Qt::NoPen);
    p.setBrush(pal.c[kAccentSlot]);
    p.drawEllipse(c, 2.4, 2.4);

    QFont f(QStringLiteral("Microsoft YaHei UI"));
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(pal.c[kBodyTextSlot]);
    p.drawText(QRectF(c.x() - 22, c.y() - 8, 44, 16), Qt::AlignCenter, QStringLiteral("%1°").arg(m_angle));
}

// ---------------------------------------------------------------- ElideCombo

ElideCombo::ElideCombo(QWidget* parent)
    : QComboBox(parent)
{
    // Connected before any owner's handler, so that the owner reads the full
    // text of the item that was shortened before.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int) { restoreElidedItem(); });
}

void ElideCombo::restoreElidedItem()
{
    if (m_elidedIndex < 0 || m_elidedIndex == currentIndex())
        return;
    if (m_elidedIndex < count()) {
        const QSignalBlocker blocker(this);
        setItemText(m_elidedIndex, m_elidedFull);
    }
    m_elidedIndex = -1;
    m_elidedFull.clear();
}

// The field's padding, frame and drop-down arrow take about 50 px.
int ElideCombo::elideWidth() const { return std::max(40, width() - 50); }

void ElideCombo::setCurrentTextSilently(const QString& text)
{
    const QSignalBlocker blocker(this);
    setItemText(currentIndex(), text);
}

void ElideCombo::updateElidedText()
{
    const QString full = property("fullText").toString();
    if (full.isEmpty() || currentIndex() < 0)
        return;
    restoreElidedItem();
    const QString elided = fontMetrics().elidedText(full, Qt::ElideRight, elideWidth());
    if (itemText(currentIndex()) == elided)
        return;
    if (elided != full) {
        m_elidedIndex = currentIndex();
        m_elidedFull = full;
    }
    setCurrentTextSilently(elided);
}

void ElideCombo::showPopup()
{
    const QString full = property("fullText").toString();
    if (!full.isEmpty() && currentIndex() >= 0)
        setCurrentTextSilently(full);
    if (m_elidedIndex == currentIndex()) {
        m_elidedIndex = -1;
        m_elidedFull.clear();
    }
    QComboBox::showPopup();
}

void ElideCombo::hidePopup()
{
    QComboBox::hidePopup();
    updateElidedText();
}

void ElideCombo::wheelEvent(QWheelEvent* event) { event->ignore(); }

void ElideCombo::resizeEvent(QResizeEvent* event)
{
    QComboBox::resizeEvent(event);
    updateElidedText();
}

void ElideCombo::paintEvent(QPaintEvent* event)
{
    QComboBox::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(currentTheme().c[kSecondaryTextSlot]);
    const double w = width();
    const double h = height();
    QPainterPath arrow;
    arrow.moveTo(w - 19, h / 2 - 2.5);
    arrow.lineTo(w - 11, h / 2 - 2.5);
    arrow.lineTo(w - 15, h / 2 + 2.5);
    arrow.closeSubpath();
    p.drawPath(arrow);
}
