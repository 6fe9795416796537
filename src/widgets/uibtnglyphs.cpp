// The vector glyphs of the panel buttons. Coordinates are logical pixels
// around the glyph's centre, y downwards.
#include "widgets/uibtn.h"

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cmath>

namespace {

double g_sharedPhase = -1.0;
double g_obfuscatePhase = -1.0;

// The gear is drawn once per colour at four times its size and then only
// scaled: the hover animation repaints it every 40 ms.
struct GearCache {
    QImage image;
    QColor colour;
};

GearCache& gearCache()
{
    static GearCache cache;
    return cache;
}

qint64 nowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// The fixed phase, or the clock's position in a cycle of `periodMs`.
double phaseOf(double fixed, int periodMs)
{
    if (fixed >= 0)
        return fixed;
    return double(nowMs() % periodMs) / periodMs;
}

QPen linePen(const QColor& colour, qreal width = 1.05, Qt::PenCapStyle cap = Qt::RoundCap)
{
    QPen pen(colour, width, Qt::SolidLine, cap, Qt::RoundJoin);
    return pen;
}

QPointF polar(double degrees, double radius)
{
    const double a = qDegreesToRadians(degrees);
    return QPointF(radius * std::cos(a), radius * std::sin(a));
}

const QImage& gearImage(const QColor& colour)
{
    GearCache& cache = gearCache();
    if (!cache.image.isNull() && cache.colour == colour)
        return cache.image;
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(4, 4);
    p.translate(16, 16);
    p.scale(0.9, 0.9);
    QPen pen(colour, 1.05, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(2);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);

    constexpr int kTeeth = 7;
    constexpr double kStep = 360.0 / kTeeth;
    constexpr double kBaseRadius = 4.451123453691214;
    constexpr double kHalfTooth = 14.972875766786919;
    QPainterPath outline;
    for (int k = 0; k < kTeeth; ++k) {
        const double t = k * kStep - 90;
        const QPointF v = polar(t, 1);
        const QPointF n = QPointF(-v.y(), v.x()) * 1.15;
        const QPointF corners[] = {4.3 * v - n, 6.3 * v - n, 6.3 * v + n, 4.3 * v + n};
        if (k == 0)
            outline.moveTo(corners[0]);
        else
            outline.lineTo(corners[0]);
        for (int c = 1; c < 4; ++c)
            outline.lineTo(corners[c]);
        // The last of these points is the next tooth's first corner.
        for (int i = 1; i <= 8; ++i)
            outline.lineTo(polar(t + kHalfTooth + i * (kStep - 2 * kHalfTooth) / 8, kBaseRadius));
    }
    outline.closeSubpath();
    p.drawPath(outline);
    p.drawEllipse(QPointF(0, 0), 2, 2);
    p.end();
    cache.image = image;
    cache.colour = colour;
    return cache.image;
}

void drawScreens(QPainter& p, const QColor& colour, bool on)
{
    const QRectF landscape(-5.3, -4.8, 8.8, 5.8);
    const QRectF portrait(-0.5, -3.4, 5.8, 8.8);
    const QRectF front = on ? portrait : landscape;
    const QRectF back = on ? landscape : portrait;
    p.setRenderHint(QPainter::Antialiasing, true);

    p.save();
    QPainterPath everything;
    everything.addRect(QRectF(-50, -50, 100, 100));
    QPainterPath frontHalo;
    frontHalo.addRoundedRect(front.adjusted(-1.6, -1.6, 1.6, 1.6), 2.4, 2.4);
    p.setClipPath(everything.subtracted(frontHalo), Qt::IntersectClip);
    QColor faint = colour;
    faint.setAlpha(70);
    p.setPen(QPen(faint, 1.05, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.drawRoundedRect(back, 1.5, 1.5);
    p.restore();

    p.drawRoundedRect(front, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(front.adjusted(2, 2, -2, -2), 0.6, 0.6);
}

void drawPin(QPainter& p, bool on)
{
    if (on)
        p.rotate(45);
    QPainterPath head;
    head.moveTo(-2.3, -5.83);
    head.lineTo(2.3, -5.83);
    head.lineTo(0.68, -3.55);
    head.quadTo(2.3, -1.3, 3.1, 1.17);
    head.lineTo(-3.1, 1.17);
    head.quadTo(-2.3, -1.3, -0.68, -3.55);
    head.closeSubpath();
    p.drawPath(head);
    p.drawLine(QPointF(0, 1.17), QPointF(0, 5.83));
}

void drawBox(QPainter& p)
{
    const QPointF hex[] = {{0, -5.3}, {4.6, -2.65}, {4.6, 2.65}, {0, 5.3}, {-4.6, 2.65}, {-4.6, -2.65}};
    p.drawPolygon(hex, 6);
    p.drawLine(QPointF(0, 0), hex[0]);
    p.drawLine(QPointF(0, 0), hex[4]);
    p.drawLine(QPointF(0, 0), hex[2]);
}

// Angle of `pt` seen from `centre` in the painter's arc convention
// (counter-clockwise from three o'clock, y downwards on screen).
double arcAngle(const QPointF& centre, const QPointF& pt)
{
    return qRadiansToDegrees(std::atan2(-(pt.y() - centre.y()), pt.x() - centre.x()));
}

QPointF onArc(const QPointF& centre, double radius, double degrees)
{
    const double a = qDegreesToRadians(degrees);
    return centre + QPointF(radius * std::cos(a), -radius * std::sin(a));
}

double wrap360(double d)
{
    d = std::fmod(d, 360.0);
    return d < 0 ? d + 360.0 : d;
}

void drawCrescent(QPainter& p)
{
    const QPointF a(0, 0);
    const double ra = 5;
    const QPointF b(1.85, -1.85);
    const double rb = 3.9;
    const double d = std::hypot(b.x(), b.y());
    if (d < 0.001 || d > ra + rb || d < std::abs(ra - rb)) {
        p.drawEllipse(a, ra, ra);
        return;
    }
    const double along = (ra * ra - rb * rb + d * d) / (2 * d);
    const double h = std::sqrt(qMax(0.0, ra * ra - along * along));
    const QPointF u = b / d;
    const QPointF perp(-u.y(), u.x());
    const QPointF p1 = a + along * u + h * perp;
    const QPointF p2 = a + along * u - h * perp;

    auto dist = [](const QPointF& x, const QPointF& y) { return std::hypot(x.x() - y.x(), x.y() - y.y()); };

    // Along A, the arc whose middle lies farther from B.
    double start = arcAngle(a, p1);
    double sweep = wrap360(arcAngle(a, p2) - start);
    if (dist(onArc(a, ra, start + sweep / 2), b) < dist(onArc(a, ra, start + sweep / 2 + 180), b)) {
        start = arcAngle(a, p2);
        sweep = wrap360(arcAngle(a, p1) - start);
    }
    const QPointF from = onArc(a, ra, start);
    const QPointF to = onArc(a, ra, start + sweep);

    // Back along B, the arc that lies inside A.
    const double bStart = arcAngle(b, to);
    double bSweep = wrap360(arcAngle(b, from) - bStart);
    if (dist(onArc(b, rb, bStart + bSweep / 2), a) > ra)
        bSweep -= 360;

    QPainterPath path;
    path.moveTo(from);
    path.arcTo(QRectF(a.x() - ra, a.y() - ra, 2 * ra, 2 * ra), start, sweep);
    path.arcTo(QRectF(b.x() - rb, b.y() - rb, 2 * rb, 2 * rb), bStart, bSweep);
    path.closeSubpath();
    p.drawPath(path);
}

void drawSunOrMoon(QPainter& p, bool dark, bool animate)
{
    if (!dark) {
        if (animate)
            p.rotate(360 * phaseOf(g_sharedPhase, 6000));
        p.drawEllipse(QPointF(0, 0), 2.75, 2.75);
        for (int i = 0; i < 8; ++i)
            p.drawLine(polar(i * 45, 4.2), polar(i * 45, 5.5));
        return;
    }
    if (animate)
        p.rotate(12 * std::sin(2 * M_PI * phaseOf(g_sharedPhase, 1600)));
    drawCrescent(p);
}

void drawBubble(QPainter& p, const QColor& colour)
{
    const double a = -5.4;
    const double b = -4.8;
    const double r = 2.6;
    QPainterPath path;
    path.moveTo(a + 2.6, b);
    path.lineTo(a + 8.2, b);
    path.arcTo(QRectF(a + 8.2 - r, b, 2 * r, 2 * r), 90, -90);
    path.lineTo(a + 10.8, b + 4.8);
    path.arcTo(QRectF(a + 8.2 - r, b + 4.8 - r, 2 * r, 2 * r), 0, -90);
    path.lineTo(a + 5.4, b + 7.4);
    path.lineTo(a + 2.8, b + 10.4);
    path.lineTo(a + 2.6, b + 7.4);
    path.arcTo(QRectF(a, b + 4.8 - r, 2 * r, 2 * r), 270, -90);
    path.lineTo(a, b + 2.6);
    path.arcTo(QRectF(a, b, 2 * r, 2 * r), 180, -90);
    path.closeSubpath();
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    for (double x : {3.2, 5.4, 7.6})
        p.drawEllipse(QPointF(a + x, b + 3.7), 0.85, 0.85);
}

void drawPadlock(QPainter& p, const QColor& colour)
{
    QPainterPath shackle;
    shackle.moveTo(-2.6, -1.2);
    shackle.lineTo(-2.6, -3.6);
    shackle.arcTo(QRectF(-2.6, -6, 5.2, 4.8), 180, -180);
    shackle.lineTo(2.6, -1.2);
    p.drawPath(shackle);
    p.drawRoundedRect(QRectF(-4.3, -1.2, 8.6, 6.8), 1.8, 1.8);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QRectF(-1.2, 1.0, 2.4, 2.4));
}

void drawCamera(QPainter& p, bool on)
{
    p.drawRoundedRect(QRectF(-6.2, -4.4, 9.8, 8.8), 1.8, 1.8);
    const QPointF lens[] = {{3.6, -1.5}, {6.8, -3.6}, {6.8, 3.6}, {3.6, 1.5}};
    p.drawPolyline(lens, 4);
    if (on) {
        QColor red(0xE8, 0x11, 0x23);
        red.setAlpha((nowMs() / 500) % 2 == 1 ? 60 : 255);
        p.setPen(Qt::NoPen);
        p.setBrush(red);
        p.drawEllipse(QRectF(-3.05, -1.75, 3.5, 3.5));
    }
}

void drawShield(QPainter& p)
{
    QPainterPath shield;
    shield.moveTo(-5.2, -4.3);
    shield.lineTo(0, -5.8);
    shield.lineTo(5.2, -4.3);
    shield.lineTo(5.2, 0.1);
    shield.quadTo(5.2, 3.7, 0, 6.1);
    shield.quadTo(-5.2, 3.7, -5.2, 0.1);
    shield.closeSubpath();
    p.drawPath(shield);
}

void drawMovingArrow(QPainter& p, double x0, double x1, double y, QColor colour, double alphaFactor, double phase)
{
    const double g = x0 < x1 ? 1 : -1;
    const int unfaded = colour.alpha();
    colour.setAlpha(qBound(0, qRound(unfaded * alphaFactor), 255));
    p.setPen(linePen(colour));
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
    p.drawLine(QPointF(x1, y), QPointF(x1 - 1.3 * g, y - 1.3));
    p.drawLine(QPointF(x1, y), QPointF(x1 - 1.3 * g, y + 1.3));

    QColor spark = colour;
    spark.setAlpha(qBound(0, qRound(unfaded * qMax(0.0, std::sin(M_PI * phase))), 255));
    p.setPen(QPen(spark, 1.25, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double x = x0 + g * phase * qMax(0.0, std::abs(x1 - x0) - 1.5);
    p.drawLine(QPointF(x, y), QPointF(x + 1.5 * g, y));
}

void drawObfuscation(QPainter& p, const QColor& colour, bool on, bool animate)
{
    drawShield(p);
    if (!animate) {
        p.drawLine(QPointF(-2.6, -1.3), QPointF(2.4, -1.3));
        p.drawLine(QPointF(2.4, -1.3), QPointF(1.1, -2.6));
        p.drawLine(QPointF(2.4, -1.3), QPointF(1.1, 0));
        p.drawLine(QPointF(2.6, 1.5), QPointF(-2.4, 1.5));
        p.drawLine(QPointF(-2.4, 1.5), QPointF(-1.1, 0.2));
        p.drawLine(QPointF(-2.4, 1.5), QPointF(-1.1, 2.8));
        return;
    }
    const double phase = phaseOf(g_obfuscatePhase, 1600);
    const double s = std::sin(2 * M_PI * phase);
    const QColor upper = on ? QColor(0x4C, 0x7D, 0xF0) : colour;
    const QColor lower = on ? QColor(0x1F, 0xB5, 0x8A) : colour;
    const double lowerPhase = phase >= 0.5 ? phase + 0.5 - 1 : phase + 0.5;
    drawMovingArrow(p, 1.15 * s - 2.6, 2.4 + 1.15 * s, -1.3, upper, 0.6 + 0.4 * (0.5 + s / 2), phase);
    drawMovingArrow(p, 2.6 - 1.15 * s, -2.4 - 1.15 * s, 1.5, lower, 0.6 + 0.4 * (0.5 - s / 2), lowerPhase);
}

} // namespace

void setUiBtnGlyphPhase(double phase) { g_sharedPhase = phase; }
void setObfuscateGlyphPhase(double phase) { g_obfuscatePhase = phase; }

void paintUiBtnGlyph(QPainter& p, int id, const QPointF& centre, const QColor& colour, bool on,
                     const QColor& /*second*/, bool animate)
{
    if (!isUiBtnId(id))
        return;
    p.save();
    p.translate(centre);
    p.setPen(linePen(colour));
    p.setBrush(Qt::NoBrush);
    switch (UiBtn(id)) {
    case UiBtn::Orientation:
        drawScreens(p, colour, on);
        break;
    case UiBtn::Settings:
        if (animate)
            p.rotate(360 * phaseOf(g_sharedPhase, 2200));
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(-16, -16, 32, 32), gearImage(colour));
        break;
    case UiBtn::Pin:
        drawPin(p, on);
        break;
    case UiBtn::Minimize:
        p.setPen(linePen(colour, 1.0, Qt::FlatCap));
        p.drawLine(QPointF(-5, 0), QPointF(5, 0));
        break;
    case UiBtn::Close:
        p.setPen(linePen(colour, 1.0, Qt::FlatCap));
        p.drawLine(QPointF(-4, -4), QPointF(4, 4));
        p.drawLine(QPointF(4, -4), QPointF(-4, 4));
        break;
    case UiBtn::AppMarket:
        drawBox(p);
        break;
    case UiBtn::ThemeToggle:
        drawSunOrMoon(p, on, animate);
        break;
    case UiBtn::Feedback:
        drawBubble(p, colour);
        break;
    case UiBtn::UiLock:
        drawPadlock(p, colour);
        break;
    case UiBtn::ScreenMonitor:
        drawCamera(p, on);
        break;
    case UiBtn::Obfuscation:
        drawObfuscation(p, colour, on, animate);
        break;
    }
    p.restore();
}
