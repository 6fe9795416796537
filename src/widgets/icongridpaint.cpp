// Painting of the icon grid: background, grid lines, cells, icons, names,
// the missing-item badge and the drop bar. Every rectangle comes from the
// grid's one layout (GridGeometry).
#include "widgets/icongrid.h"

#include "app/lang.h"
#include "app/theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>

#include <algorithm>
#include <cmath>

namespace {

// How far a cell's painting can reach past its rectangle: the zoomed icon
// of the largest size, the missing badge.
constexpr int kCellOverdraw = 32;

bool fuzzyRatioEqual(qreal a, qreal b)
{
    return std::abs(a - b) * 1000000000000.0 <= std::min(std::abs(a), std::abs(b));
}

// Extent of the name that may be cut before index `n` without splitting a
// surrogate pair.
int safeCut(const QString& s, int n)
{
    if (n > 0 && n < s.size() && s.at(n).isLowSurrogate() && s.at(n - 1).isHighSurrogate())
        return n - 1;
    return n;
}

void paintMissingBadge(QPainter& p, const QPointF& corner, int iconSize)
{
    const qreal r = iconSize > 65 ? 10.0 : std::max(iconSize / 6, 6);
    const qreal inset = iconSize > 65 ? 3.0 : 0.3 * r;
    const QPointF c = corner - QPointF(inset, inset);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD9, 0x53, 0x4F));
    p.drawEllipse(c, r, r);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(c.x() - 0.13 * r, c.y() - 0.55 * r, 0.26 * r, 0.62 * r), 0.13 * r, 0.13 * r);
    p.drawEllipse(QPointF(c.x(), c.y() + 0.42 * r), 0.15 * r, 0.15 * r);
    p.restore();
}

// The background: plain rectangles where it is square (fast), the path
// only inside the rounded corners' squares.
void fillBackground(QPainter& p, const QPainterPath& path, const QColor& color, int radius, bool leftRounded)
{
    const QRect box = path.boundingRect().toAlignedRect();
    if (radius <= 0) {
        p.fillRect(box, color);
        return;
    }
    const int left = leftRounded ? radius : 0;
    p.fillRect(box.adjusted(0, 0, 0, -radius), color);
    p.fillRect(QRect(box.left() + left, box.bottom() - radius + 1, box.width() - left - radius, radius), color);
    QList<QRect> corners{QRect(box.right() - radius + 1, box.bottom() - radius + 1, radius, radius)};
    if (leftRounded)
        corners << QRect(box.left(), box.bottom() - radius + 1, radius, radius);
    for (const QRect& c : corners) {
        QPainterPath square;
        square.addRect(c);
        p.fillPath(path.intersected(square), color);
    }
}

} // namespace

QPainterPath IconGrid::backgroundPath() const
{
    const qreal w = width();
    const qreal h = height();
    const qreal r = std::max(m_cornerRadius - 1, 0);
    const qreal left = m_plainMode ? 1.0 : 0.0;
    QPainterPath path;
    path.moveTo(left, 0);
    path.lineTo(w, 0);
    if (r > 0) {
        path.lineTo(w, h - r);
        path.arcTo(QRectF(w - 2 * r, h - 2 * r, 2 * r, 2 * r), 0, -90);
    } else {
        path.lineTo(w, h);
    }
    if (m_plainMode && r > 0) {
        path.lineTo(left + r, h);
        path.arcTo(QRectF(left, h - 2 * r, 2 * r, 2 * r), 270, -90);
    } else {
        path.lineTo(left, h);
    }
    path.closeSubpath();
    return path;
}

void IconGrid::paintEvent(QPaintEvent* event)
{
    const ThemePalette& pal = currentTheme();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath bg = backgroundPath();
    fillBackground(p, bg, pal.c[23], std::max(m_cornerRadius - 1, 0), m_plainMode);

    const PanelGroup* group = currentGroupPtr();
    if (!group)
        return;
    if (group->items.isEmpty()) {
        QFont f = font();
        f.setPixelSize(14);
        p.setFont(f);
        p.setPen(pal.c[24]);
        p.drawText(rect(), Qt::AlignCenter, translate("将桌面图标拖拽到此处进行整理"));
        return;
    }
    const GridGeometry g = geometryNow();
    const int count = g.count;
    const int H = height();

    if (g.fixedColumns && count > 0) {
        const int dw = std::min(pal.dividerWidth, 4);
        const QColor dc = themeDividerColor(pal.c[32]);
        if (dw >= 1 && dc.alpha() > 0) {
            p.save();
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setClipPath(bg);
            p.translate(0, -m_scrollY);
            p.setPen(QPen(dc, dw, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            const int n = g.columns;
            const int cw = g.cellWidth;
            const int full = count / n;
            const int rest = count % n;
            const int rows = full + (rest > 0 ? 1 : 0);
            auto cellsInRow = [&](int r) { return r < 0 || r >= rows ? 0 : (r < full ? n : rest); };
            const int first = std::max(m_scrollY / cw, 0);
            const int last = std::min(rows, (m_scrollY + H) / cw + 1);
            for (int k = first; k <= last; ++k) {
                const int cells = std::max(cellsInRow(k - 1), cellsInRow(k));
                if (cells > 0)
                    p.drawLine(0, k * cw, cw * cells, k * cw);
            }
            for (int r = first; r < std::min(rows, last + 1); ++r)
                for (int j = 0; j <= cellsInRow(r); ++j)
                    p.drawLine(j * cw, r * cw, j * cw, (r + 1) * cw);
            p.restore();
        }
    }

    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.translate(0, -m_scrollY);
    // Clipping to the rounded background costs on every primitive; only
    // the cells that reach into a rounded corner get the clip.
    const int r = std::max(m_cornerRadius - 1, 0);
    const QRect rightCorner(width() - r, height() - r + m_scrollY, r, r);
    const QRect leftCorner(0, height() - r + m_scrollY, m_plainMode ? r + 1 : 0, r);
    const QPainterPath clip = bg.translated(0, m_scrollY);
    const qreal dpr = devicePixelRatioF();
    const int first = g.firstPainted(m_scrollY);
    const int end = g.endPainted(m_scrollY, H);
    m_scaledLimit = std::max(kScaledCacheLimit, end - first);
    const QRect dirty = event->rect().translated(0, m_scrollY).adjusted(-4, -4, 4, 4);
    p.setFont(m_nameFont);
    for (int pos = first; pos < end; ++pos) {
        const int itemIndex = m_visible.at(pos);
        if (itemIndex < 0 || itemIndex >= group->items.size())
            continue;
        // Zoomed icons reach past their cells; everything else can be
        // skipped when outside the dirty area.
        if (pos != m_hoverInPos && pos != m_hoverOutPos && !dirty.intersects(g.cellRect(pos)))
            continue;
        const QRect reach = g.cellRect(pos).adjusted(-8, -8, 8, 8);
        if (r > 0 && (reach.intersects(rightCorner) || reach.intersects(leftCorner))) {
            // The background cut to the cell's neighbourhood: a clip of the
            // whole path would be rasterised over the whole widget.
            QPainterPath near;
            near.addRect(g.cellRect(pos).adjusted(-kCellOverdraw, -kCellOverdraw, kCellOverdraw, kCellOverdraw));
            p.save();
            p.setClipPath(clip.intersected(near));
            paintCell(p, g, pos, group->items.at(itemIndex), dpr);
            p.restore();
        } else {
            paintCell(p, g, pos, group->items.at(itemIndex), dpr);
        }
    }

    if (m_dropPos >= 0 && count > 0) {
        QRect bar;
        if (m_dropPos < count) {
            const QRect r = g.cellRect(m_dropPos);
            bar = QRect(QPoint(r.left() - 2, r.top() + 4), QPoint(r.left(), r.bottom() - 4));
        } else {
            const QRect r = g.cellRect(count - 1);
            bar = QRect(QPoint(r.right() - 1, r.top() + 4), QPoint(r.right() + 1, r.bottom() - 4));
        }
        p.fillRect(bar, pal.c[28]);
    }
    p.restore();
}

void IconGrid::paintCell(QPainter& p, const GridGeometry& g, int pos, const PanelItem& item, qreal dpr)
{
    const ThemePalette& pal = currentTheme();
    const QRect cell = g.cellRect(pos);
    const qreal radius = g.fixedColumns ? 0 : 10;

    QColor fill;
    if (pos == m_focusPos)
        fill = pal.c[25];
    else if (!m_hoverAnimated && pos == m_hoverPos) {
        if (m_hoverColor.isValid()) {
            fill = m_hoverColor;
            fill.setAlpha(int(std::lround(m_hoverOpacity * 2.55)));
        } else {
            fill = pal.c[25];
        }
    }
    if (fill.isValid() && fill.alpha() >= 1) {
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(cell, radius, radius);
    }
    if (pos == m_focusPos) {
        p.setPen(QPen(pal.c[28], 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), radius, radius);
    }

    const bool missing = m_missingKeys.contains(item.key);
    const QPixmap pm = scaledIcon(item, dpr);
    const int iconTop = g.iconTop(cell);
    if (!pm.isNull()) {
        const qreal ratio = pm.devicePixelRatio();
        const QSize logical(int(std::lround(pm.width() / ratio)), int(std::lround(pm.height() / ratio)));
        const int x = cell.left() + (cell.width() - logical.width()) / 2;
        int y = iconTop;
        if (g.iconSize - logical.height() >= 2)
            y += (g.iconSize - logical.height()) / 2;
        QRectF target(x, y, logical.width(), logical.height());
        double progress = 0.0;
        if (m_hoverAnimated) {
            if (pos == m_hoverInPos)
                progress = m_hoverInProgress;
            else if (pos == m_hoverOutPos)
                progress = m_hoverOutProgress;
        }
        if (progress > 0.001) {
            const qreal scale = 1.0 + 0.18 * progress;
            const QPointF c = target.center();
            target = QRectF(c.x() - target.width() * scale / 2, c.y() - target.height() * scale / 2,
                            target.width() * scale, target.height() * scale);
        }
        if (missing)
            p.setOpacity(0.42);
        if (progress > 0.001)
            p.drawPixmap(target, pm, QRectF(pm.rect()));
        else
            p.drawPixmap(target.topLeft(), pm);
        if (missing)
            p.setOpacity(1.0);
    }
    if (missing) {
        const QPointF corner(cell.left() + (cell.width() - g.iconSize) / 2 + g.iconSize - 1,
                             iconTop + g.iconSize);
        paintMissingBadge(p, corner, g.iconSize);
    }
    if (m_showNames)
        paintName(p, g, cell, item.name, missing);
}

QPixmap IconGrid::scaledIcon(const PanelItem& item, qreal dpr)
{
    if (m_iconSize != m_scaledIconSize || !fuzzyRatioEqual(dpr, m_scaledDpr)) {
        m_scaledCache.clear();
        m_scaledKeys.clear();
        m_scaledIconSize = m_iconSize;
        m_scaledDpr = dpr;
    }
    QPixmap source;
    QString key;
    if (!item.customIcon.isEmpty()) {
        const auto it = m_customIcons.constFind(item.customIcon);
        if (it != m_customIcons.constEnd()) {
            source = it.value();
            key = QStringLiteral("c:") + item.customIcon;
        } else if (!m_customPending.contains(item.customIcon) && !m_customFailed.contains(item.customIcon)) {
            const QString path = item.customIcon;
            QMetaObject::invokeMethod(this, [this, path] { preloadCustomIcon(path); }, Qt::QueuedConnection);
        }
    }
    if (source.isNull()) {
        // The shared map keeps only the newest entries; a copy already scaled
        // for this grid stays valid until a new icon for the path arrives
        // (forgetIcon), so cells in view keep their icons in large groups.
        const auto scaled = m_scaledCache.constFind(item.path);
        if (scaled != m_scaledCache.constEnd())
            return scaled.value();
        if (!m_pixmapCache)
            return QPixmap();
        const auto it = m_pixmapCache->constFind(item.path);
        if (it == m_pixmapCache->constEnd()) {
            // Evicted or never loaded: ask once, not on every frame.
            if (!item.path.isEmpty() && !m_iconsWanted.contains(item.path)) {
                m_iconsWanted.insert(item.path);
                Q_EMIT iconWanted(item.path);
            }
            return QPixmap();
        }
        if (!m_iconsWanted.isEmpty())
            m_iconsWanted.remove(item.path);
        if (it.value().isNull())
            return QPixmap();
        source = it.value();
        key = item.path;
    }
    const auto hit = m_scaledCache.constFind(key);
    if (hit != m_scaledCache.constEnd())
        return hit.value();
    const int side = std::max(int(std::lround(m_iconSize * dpr)), 1);
    QPixmap scaled = source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(dpr);
    m_scaledCache.insert(key, scaled);
    m_scaledKeys.append(key);
    while (m_scaledKeys.size() > m_scaledLimit)
        m_scaledCache.remove(m_scaledKeys.takeFirst());
    return scaled;
}

void IconGrid::paintName(QPainter& p, const GridGeometry& g, const QRect& cell, const QString& rawName,
                         bool missing)
{
    const ThemePalette& pal = currentTheme();
    // The colour goes into the name's picture; the painter's pen is not used.
    QColor pen = pal.c[27];
    if (missing)
        pen.setAlpha(150);
    const QString name = translate(rawName);
    const QRect box = g.nameBox(cell);
    const int avail = box.width();
    if (avail <= 0)
        return;
    NameLines& lines = nameLines(name, avail, g.fixedColumns);
    const QPixmap& image = nameImage(lines, pen, p.device()->devicePixelRatioF());
    p.drawPixmap(box.left(), box.top(), image);
}

IconGrid::NameLines& IconGrid::nameLines(const QString& name, int width, bool fixed)
{
    auto it = m_nameCache.find(name);
    if (it != m_nameCache.end() && it->width == width && it->fixed == fixed)
        return it.value();
    if (it == m_nameCache.end() && m_nameCache.size() >= kNameCacheLimit) {
        m_nameCache.clear();
        it = m_nameCache.end();
    }
    const QFontMetrics fm(m_nameFont);
    NameLines lines;
    lines.width = width;
    lines.fixed = fixed;
    if (fixed) {
        lines.first = fixedName(name, width);
    } else {
        // Two lines only when eliding would hide much: the first line takes
        // as much of the name as fits, the second the rest, elided.
        const QString elided = fm.elidedText(name, Qt::ElideRight, width);
        if (elided == name || fm.horizontalAdvance(elided) < width - fm.horizontalAdvance(QStringLiteral("…"))) {
            lines.first = elided;
        } else {
            int n = int(name.size());
            while (n > 0 && fm.horizontalAdvance(name.left(n)) > width)
                n = safeCut(name, n - 1);
            n = nameLineBreak(name, n);
            lines.first = name.left(n).trimmed();
            lines.second = fm.elidedText(name.mid(n).trimmed(), Qt::ElideRight, width);
        }
    }
    lines.firstX = (width - fm.horizontalAdvance(lines.first)) / 2;
    lines.secondX = (width - fm.horizontalAdvance(lines.second)) / 2;
    if (it != m_nameCache.end()) {
        *it = lines;
        return it.value();
    }
    return *m_nameCache.insert(name, lines);
}

const QPixmap& IconGrid::nameImage(NameLines& lines, const QColor& color, qreal dpr)
{
    if (!lines.image.isNull() && lines.imageColor == color.rgba() && fuzzyRatioEqual(lines.imageDpr, dpr))
        return lines.image;
    const QFontMetrics fm(m_nameFont);
    const int lh = m_nameLineHeight;
    const int h = lines.second.isEmpty() ? lh : 2 * lh;
    QPixmap image(QSize(std::max(lines.width, 1), h) * dpr);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(m_nameFont);
        p.setPen(color);
        const int baseline = (lh - fm.height()) / 2 + fm.ascent();
        p.drawText(QPoint(lines.firstX, baseline), lines.first);
        if (!lines.second.isEmpty())
            p.drawText(QPoint(lines.secondX, lh + baseline), lines.second);
    }
    lines.image = image;
    lines.imageColor = color.rgba();
    lines.imageDpr = dpr;
    return lines.image;
}

QString IconGrid::fixedName(const QString& name, int width)
{
    const QFontMetrics fm(m_nameFont);
    if (fm.horizontalAdvance(name) <= width)
        return name;
    const QString key = name + QChar(1) + QString::number(width);
    const auto it = m_elideCache.constFind(key);
    if (it != m_elideCache.constEnd())
        return it.value();
    int n = 0;
    while (n < name.size()) {
        int next = n + 1;
        if (next < name.size() && name.at(next).isLowSurrogate())
            ++next;
        if (fm.horizontalAdvance(name.left(next)) > width)
            break;
        n = next;
    }
    if (m_elideCache.size() > kElideCacheLimit)
        m_elideCache.clear();
    const QString shortened = name.left(n);
    m_elideCache.insert(key, shortened);
    return shortened;
}
