// Screenshot-mode sheets of the panel-button glyphs and their checks.
#include "main/uipreviewglyphs.h"

#include "app/configsafety.h"
#include "app/theme.h"
#include "widgets/uibtn.h"

#include <QBuffer>
#include <QDebug>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <cstdlib>

namespace {

constexpr int kGlyphSlot = 9;
constexpr int kPanelSlot = 1;

bool savePng(const QImage& image, const QString& path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        qWarning() << "ui preview: cannot encode" << path;
        return false;
    }
    QString error;
    if (!saveFileAtomically(path, bytes, &error)) {
        qWarning() << "ui preview: cannot write" << path << error;
        return false;
    }
    return true;
}

bool saveText(const QString& text, const QString& path)
{
    QString error;
    if (!saveFileAtomically(path, text.toUtf8(), &error)) {
        qWarning() << "ui preview: cannot write" << path << error;
        return false;
    }
    return true;
}

// Draws glyph `id` scaled by `scale` about `centre`.
void drawScaled(QPainter& p, int id, const QPointF& centre, qreal scale, const QColor& colour, bool on,
                const QColor& second, bool animate)
{
    p.save();
    p.translate(centre);
    p.scale(scale, scale);
    paintUiBtnGlyph(p, id, QPointF(0, 0), colour, on, second, animate);
    p.restore();
}

QImage glyphTile(int id, bool on, bool animate)
{
    QImage tile(64, 64, QImage::Format_ARGB32_Premultiplied);
    tile.fill(Qt::white);
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    drawScaled(p, id, QPointF(32, 28), 3, currentTheme().c[kGlyphSlot], on, QColor(), animate);
    return tile;
}

void label(QPainter& p, const QPointF& at, const QString& text)
{
    QFont f = p.font();
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(QColor(0x44, 0x44, 0x44));
    p.drawText(at, text);
}

} // namespace

int maxChannelDiff(const QImage& a, const QImage& b, const QRect& areaA, const QPoint& offsetB)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int worst = 0;
    for (int row = areaA.top(); row <= areaA.bottom(); ++row) {
        for (int col = areaA.left(); col <= areaA.right(); ++col) {
            const QPoint q(col + offsetB.x(), row + offsetB.y());
            if (!x.valid(col, row) || !y.valid(q))
                continue;
            const QRgb u = x.pixel(col, row);
            const QRgb v = y.pixel(q);
            worst = qMax(worst, std::abs(qRed(u) - qRed(v)));
            worst = qMax(worst, std::abs(qGreen(u) - qGreen(v)));
            worst = qMax(worst, std::abs(qBlue(u) - qBlue(v)));
            worst = qMax(worst, std::abs(qAlpha(u) - qAlpha(v)));
        }
    }
    return worst;
}

QImage renderUiBtnGlyphRows()
{
    QImage image(632, 180, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const ThemePalette& pal = currentTheme();
    for (int id = 0; id < kUiBtnCount; ++id) {
        const qreal x = 28 + 56 * id;
        drawScaled(p, id, QPointF(x, 30), 1.25, pal.c[kGlyphSlot], false, pal.c[kPanelSlot], false);
        drawScaled(p, id, QPointF(x, 86), 1.25, pal.c[kGlyphSlot], false, QColor(), false);
    }
    return image;
}

int glyphRowsDifference(const QImage& rows)
{
    int worst = 0;
    for (int id = 0; id < kUiBtnCount; ++id) {
        const QRect lower(51 + 56 * id - 45, 70, 45, 33);
        worst = qMax(worst, maxChannelDiff(rows, rows, lower, QPoint(0, -56)));
    }
    return worst;
}

void writeUiBtnGlyphSheets(const QString& folder)
{
    const ThemePalette& pal = currentTheme();

    const QImage rows = renderUiBtnGlyphRows();
    savePng(rows, folder + QStringLiteral("/uibtn-glyphs.png"));
    const int rowDiff = glyphRowsDifference(rows);
    saveText(QStringLiteral("max_channel_diff=%1\nresult=%2\n").arg(rowDiff).arg(rowDiff == 0 ? "PASS" : "FAIL"),
             folder + QStringLiteral("/uibtn-glyphs-check.txt"));

    {
        QImage green(240, 130, QImage::Format_ARGB32_Premultiplied);
        green.fill(QColor(0x1E, 0x7A, 0x3C));
        QPainter p(&green);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink(0x22, 0x22, 0x22);
        drawScaled(p, uiBtnId(UiBtn::Orientation), QPointF(62, 65), 5, ink, false, Qt::white, false);
        drawScaled(p, uiBtnId(UiBtn::Orientation), QPointF(178, 65), 5, ink, true, Qt::white, false);
        p.end();
        savePng(green, folder + QStringLiteral("/rotate-icon-green.png"));
    }

    {
        QImage sheet(512, 150, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        p.setRenderHint(QPainter::Antialiasing);
        int animatedDiff = 0;
        int staticDiff = 0;
        QImage lastAnimated;
        QImage lastStatic;
        for (int i = 0; i < 8; ++i) {
            const double t = i * 0.125;
            setObfuscateGlyphPhase(t);
            const QImage animated = glyphTile(uiBtnId(UiBtn::Obfuscation), true, true);
            const QImage still = glyphTile(uiBtnId(UiBtn::Obfuscation), true, false);
            if (i > 0) {
                animatedDiff = qMax(animatedDiff, maxChannelDiff(lastAnimated, animated, animated.rect(), QPoint()));
                staticDiff = qMax(staticDiff, maxChannelDiff(lastStatic, still, still.rect(), QPoint()));
            }
            lastAnimated = animated;
            lastStatic = still;
            p.drawImage(QPoint(64 * i, 0), animated);
            p.drawImage(QPoint(64 * i, 86), still);
            const QString text = QStringLiteral("t=%1").arg(t, 0, 'f', 2);
            label(p, QPointF(64 * i + 4, 62), text);
            label(p, QPointF(64 * i + 4, 148), text);
        }
        setObfuscateGlyphPhase(-1);
        label(p, QPointF(6, 81), QStringLiteral("animated (8 phases)   /   below: static reference"));
        p.end();
        savePng(sheet, folder + QStringLiteral("/uibtn-obfuscate-frames.png"));
        const bool pass = animatedDiff >= 1 && staticDiff == 0;
        saveText(QStringLiteral("animated_max_diff=%1\nstatic_max_diff=%2\nresult=%3\n")
                     .arg(animatedDiff)
                     .arg(staticDiff)
                     .arg(pass ? "PASS" : "FAIL"),
                 folder + QStringLiteral("/uibtn-obfuscate-anim-check.txt"));
    }

    {
        QImage sheet(406, 192, QImage::Format_ARGB32_Premultiplied);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        p.setRenderHint(QPainter::Antialiasing);
        struct Row {
            int id;
            bool on;
            const char* caption;
        };
        const Row glyphRows[] = {
            {uiBtnId(UiBtn::Settings), false, "gear (hover spin)"},
            {uiBtnId(UiBtn::ThemeToggle), false, "sun  (hover spin)"},
            {uiBtnId(UiBtn::ThemeToggle), true, "moon (hover rock)"},
        };
        for (int r = 0; r < 3; ++r) {
            label(p, QPointF(6, 64 * r + 34), QString::fromLatin1(glyphRows[r].caption));
            for (int i = 0; i < 4; ++i) {
                const double t = i * 0.25;
                setUiBtnGlyphPhase(t);
                p.drawImage(QPoint(150 + 64 * i, 64 * r), glyphTile(glyphRows[r].id, glyphRows[r].on, true));
                label(p, QPointF(150 + 64 * i + 4, 64 * r + 62), QStringLiteral("t=%1").arg(t));
            }
        }
        setUiBtnGlyphPhase(-1);
        p.end();
        savePng(sheet, folder + QStringLiteral("/uibtn-hover-anim.png"));
    }

    QString ink;
    for (int id = 0; id < kUiBtnCount; ++id) {
        QImage canvas(400, 400, QImage::Format_ARGB32);
        canvas.fill(Qt::transparent);
        {
            QPainter p(&canvas);
            p.setRenderHint(QPainter::Antialiasing);
            paintUiBtnGlyph(p, id, QPointF(200, 200), pal.c[kGlyphSlot], false, QColor(), false);
        }
        int left = canvas.width(), top = canvas.height(), right = -1, bottom = -1;
        for (int y = 0; y < canvas.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            for (int x = 0; x < canvas.width(); ++x) {
                if (qAlpha(line[x]) == 0)
                    continue;
                left = qMin(left, x);
                right = qMax(right, x);
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
        if (right < 0)
            ink += QStringLiteral("%1: EMPTY\n").arg(id);
        else
            ink += QStringLiteral("%1(%2): ink w=%3 h=%4\n")
                       .arg(id)
                       .arg(uiBtnLabel(id))
                       .arg(right - left + 1)
                       .arg(bottom - top + 1);
    }
    saveText(ink, folder + QStringLiteral("/uibtn-ink.txt"));
}
