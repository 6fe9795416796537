// The market window's layout and painting: header, tabs, the two-column
// card grid and the footer.
#include "market/appmarketdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "market/marketcatalogue.h"
#include "updater/versionorder.h"

#include <QCursor>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Theme slots the window reads.
constexpr int kWindowFillSlot = 0;
constexpr int kHeaderSlot = 1;
constexpr int kSeparatorSlot = 2;
constexpr int kBorderSlot = 3;
constexpr int kTextSlot = 16;
constexpr int kTitleSlot = 17;
constexpr int kSecondaryTextSlot = 18;
constexpr int kEmptyTextSlot = 24;
constexpr int kAccentSlot = 28;
constexpr int kPlaceholderSlot = 30;
constexpr int kSecondaryFillSlot = 31;
constexpr int kSecondaryBorderSlot = 32;
constexpr int kTrackSlot = 33;

constexpr int kHeaderHeight = 44;
constexpr int kListTop = 80;
constexpr int kCardHeight = 76;
constexpr int kCardPitch = 86;
constexpr int kFirstCardTop = 88;

QFont uiFont(int pixelSize, bool bold = false)
{
    QFont f(uiFontFamily());
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// Rectangles are given by their first and last pixel.
QRect span(int left, int top, int right, int bottom)
{
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QRect pauseRect(int R, int y)
{
    return span(R - 109, y + 25, R - 60, y + 50);
}
QRect cancelRect(int R, int y)
{
    return span(R - 55, y + 25, R - 6, y + 50);
}
QRect actionRect(int R, int y, bool web)
{
    const int L = R - (web ? 85 : 93);
    return span(L, y + 23, L + 71, y + 52);
}
QRect menuRect(int R, int y)
{
    return span(R - 17, y + 23, R - 6, y + 52);
}

} // namespace

int AppMarketDialog::rowTab(const AppRow& row) const
{
    if (row.isWeb)
        return 1;
    return row.category == QStringLiteral("界面美化") ? 2 : 0;
}

bool AppMarketDialog::rowVisible(const AppRow& row) const
{
    return rowTab(row) == currentTab && (searchText.isEmpty() || row.searchKey.contains(searchText));
}

QString AppMarketDialog::actionButtonText(const AppRow& row)
{
    if (row.installing)
        return translate(u"安装中");
    if (row.paused)
        return translate(u"继续");
    if (row.downloading)
        return translate(u"暂停");
    if (!row.error.isEmpty())
        return translate(u"重试");
    if (row.isWeb)
        return translate(u"打开");
    if (row.upToDate())
        return translate(u"已安装");
    if (row.installed())
        return translate(u"升级");
    return translate(u"安装");
}

QString AppMarketDialog::rowStatusText(const AppRow& row)
{
    const qint64 percent = row.total > 0 ? row.received * 100 / row.total : 0;
    if (row.installing)
        return translate(u"安装中…");
    if (row.paused)
        return translate(u"已暂停 %1%").arg(percent);
    if (row.downloading && row.exeSize > 0 && row.received > row.exeSize)
        return translate(u"环境部署中 %1%").arg(percent);
    if (row.downloading)
        return translate(u"下载中 %1%").arg(percent);
    if (!row.error.isEmpty())
        return row.error;
    if (row.upToDate())
        return translate(u"已安装 %1").arg(row.installedVersion);
    if (row.installed())
        return QStringLiteral("%1 → %2").arg(row.installedVersion, row.version);
    return translate(u"未安装");
}

void AppMarketDialog::relayout()
{
    const int W = windowWidth;
    const int H = windowHeight;
    hitAreas.clear();
    placedCards.clear();
    closeRect = span(W - 34, 8, W - 9, 33);
    hitAreas.append({closeRect, kCloseId});
    for (int i = 0; i < kTabCount; ++i) {
        const int x = 16 + 96 * i;
        hitAreas.append({span(x, 44, x + 87, 79), kTabIdBase + i});
    }
    visibleCount = 0;
    if (!indexLoaded || rows.isEmpty())
        return;
    int k = 0;
    for (int i = 0; i < rows.size(); ++i) {
        const AppRow& row = rows.at(i);
        if (!rowVisible(row))
            continue;
        const int x = k % 2 == 0 ? 16 : 28 + columnWidth;
        const int y = kFirstCardTop + kCardPitch * (k / 2) - scrollOffset;
        ++k;
        if (!(y > 4 && y < H - 23))
            continue;
        placedCards.append({i, QPoint(x, y)});
        const int R = x + columnWidth;
        const int base = i * kRowIdStride;
        if (row.downloading || row.paused) {
            hitAreas.append({cancelRect(R, y), base + kCancelButton});
            hitAreas.append({pauseRect(R, y), base + kPauseButton});
        } else {
            hitAreas.append({actionRect(R, y, row.isWeb), base + kActionButton});
            if (!row.isWeb)
                hitAreas.append({menuRect(R, y), base + kMenuButton});
        }
    }
    visibleCount = k;
}

int AppMarketDialog::hitTest(const QPoint& pos) const
{
    for (const MarketHitArea& area : hitAreas) {
        if (area.rect.contains(pos))
            return area.id;
    }
    return -1;
}

void AppMarketDialog::paintEvent(QPaintEvent*)
{
    relayout();
    const ThemePalette& pal = currentTheme();
    const bool dark = pal.c[kHeaderSlot].lightness() < 128;
    const int W = windowWidth;
    const int H = windowHeight;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal radius = qMax(themeCornerRadius(), 4);
    p.setPen(QPen(pal.c[kBorderSlot], 1));
    p.setBrush(pal.c[kWindowFillSlot]);
    p.drawRoundedRect(QRectF(0.5, 0.5, W - 1, H - 1), radius, radius);

    p.setFont(uiFont(16, true));
    p.setPen(pal.c[kTitleSlot]);
    p.drawText(span(20, 0, 139, 43), Qt::AlignLeft | Qt::AlignVCenter, translate(u"应用市场"));
    p.setFont(uiFont(11));
    p.setPen(pal.c[kSecondaryTextSlot]);
    p.drawText(span(130, 0, W - 51, 43), Qt::AlignLeft | Qt::AlignVCenter,
               translate(u"没装的显示「安装」，有新版本显示「升级」，已装的可以打开 / 重装 / 卸载"));

    const bool closeHot = closeRect.contains(mapFromGlobal(QCursor::pos()));
    QPen crossPen(closeHot ? QColor(0xE8, 0x11, 0x23) : pal.c[kSecondaryTextSlot], 1.5);
    crossPen.setCapStyle(Qt::RoundCap);
    p.setPen(crossPen);
    p.drawLine(QPoint(closeRect.left() + 8, closeRect.top() + 8), QPoint(closeRect.right() - 8, closeRect.bottom() - 8));
    p.drawLine(QPoint(closeRect.right() - 8, closeRect.top() + 8), QPoint(closeRect.left() + 8, closeRect.bottom() - 8));

    static const char16_t* const tabNames[kTabCount] = {u"程序应用", u"网页应用", u"界面美化"};
    p.setFont(uiFont(13));
    for (int i = 0; i < kTabCount; ++i) {
        const int x = 16 + 96 * i;
        p.setPen(i == currentTab ? pal.c[kAccentSlot] : pal.c[kTextSlot]);
        p.drawText(span(x, 44, x + 87, 79), Qt::AlignCenter, translate(tabNames[i]));
        if (i == currentTab)
            p.fillRect(QRect(x + 18, 77, 52, 2), pal.c[kAccentSlot]);
    }
    p.setPen(QPen(pal.c[kSeparatorSlot], 1));
    p.drawLine(QPoint(1, kListTop), QPoint(W - 1, kListTop));

    const QRect listArea = span(0, kListTop, W - 1, H - 25);
    auto centreText = [&](const QString& text) {
        p.setFont(uiFont(13));
        p.setPen(pal.c[kEmptyTextSlot]);
        p.drawText(listArea, Qt::AlignCenter, text);
    };
    if (!indexLoaded || rows.isEmpty()) {
        if (!indexLoaded)
            centreText(indexFailed ? translate(u"加载失败，请检查网络后重开") : translate(u"正在加载应用市场…"));
        else
            centreText(translate(u"该分类下暂无应用"));
        return;
    }
    if (visibleCount == 0) {
        centreText(searchText.isEmpty() ? translate(u"该分类下暂无应用")
                                        : translate(u"没有找到与「%1」匹配的应用").arg(searchText));
        return;
    }

    p.save();
    p.setClipRect(listArea);
    const QColor accent = pal.c[kAccentSlot];
    for (const auto& [rowIndex, topLeft] : placedCards) {
        const AppRow& row = rows.at(rowIndex);
        const int x = topLeft.x();
        const int y = topLeft.y();
        const int R = x + columnWidth;
        const int base = rowIndex * kRowIdStride;

        p.setPen(QPen(dark ? QColor(0x4B, 0x54, 0x66) : QColor(0xDD, 0xE2, 0xEB), 1));
        p.setBrush(dark ? QColor(0x3A, 0x41, 0x52) : QColor(0xFF, 0xFF, 0xFF));
        p.drawRoundedRect(QRect(x, y, columnWidth, kCardHeight), 10, 10);

        const QRect iconBox(x + 14, y + 14, 48, 48);
        if (!row.icon.isNull()) {
            const qreal dpr = row.icon.devicePixelRatio() > 0 ? row.icon.devicePixelRatio() : 1.0;
            const QSize logical(int(std::lround(row.icon.width() / dpr)), int(std::lround(row.icon.height() / dpr)));
            QRect target(QPoint(0, 0), logical);
            target.moveCenter(iconBox.center());
            p.drawPixmap(target, row.icon);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kPlaceholderSlot]);
            p.drawRoundedRect(iconBox, 8, 8);
            p.setFont(uiFont(20, true));
            p.setPen(accent);
            p.drawText(iconBox, Qt::AlignCenter, row.name.isEmpty() ? QStringLiteral("?") : row.name.left(1));
        }

        const int textWidth = columnWidth - 168;
        p.setFont(uiFont(13, true));
        p.setPen(pal.c[kTextSlot]);
        const QRect nameRect = span(x + 71, y + 9, x + 71 + textWidth - 1, y + 26);
        p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(p.font()).elidedText(row.name, Qt::ElideRight, textWidth));
        p.setFont(uiFont(11));
        p.setPen(pal.c[kSecondaryTextSlot]);
        const QRect descRect = span(x + 71, y + 28, x + 71 + textWidth - 1, y + 43);
        p.drawText(descRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(p.font()).elidedText(row.desc, Qt::ElideRight, textWidth));
        QString status = rowStatusText(row);
        if (!row.isWeb) {
            qint64 shown = 0;
            if (row.installed() && row.installedSize > 0)
                shown = row.installedSize;
            else if (row.exeSize > 0)
                shown = row.exeSize;
            else if (row.size > 0)
                shown = row.size;
            if (shown > 0)
                status += QStringLiteral(" · ") + market::formatSize(shown);
        }
        p.drawText(span(x + 71, y + 47, x + 71 + textWidth - 1, y + 62), Qt::AlignLeft | Qt::AlignVCenter, status);

        if (!row.sdkVersion.isEmpty() && !minSdkVersion.isEmpty() && compareVersions(row.sdkVersion, minSdkVersion)) {
            const QFont badgeFont = uiFont(10, true);
            const QString badge = translate(u"SDK 过旧");
            const int tw = QFontMetrics(badgeFont).horizontalAdvance(badge);
            const QRect badgeRect = span(R - tw - 35, y + 8, R - 22, y + 25);
            p.setPen(Qt::NoPen);
            p.setBrush(dark ? QColor(0x5A, 0x3A, 0x12) : QColor(0xFE, 0xF0, 0xD8));
            p.drawRoundedRect(badgeRect, 9, 9);
            p.setFont(badgeFont);
            p.setPen(dark ? QColor(0xFF, 0xB7, 0x4A) : QColor(0xC8, 0x6A, 0x00));
            p.drawText(badgeRect, Qt::AlignCenter, badge);
        }

        if (row.downloading || row.paused) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kTrackSlot]);
            p.drawRoundedRect(QRect(x + 71, y + 63, 150, 4), 2, 2);
            if (row.total > 0 && row.received > 0) {
                const double ratio = double(row.received) / double(row.total);
                p.setBrush(accent);
                p.drawRoundedRect(QRectF(x + 71, y + 63, qMax(150.0 * qMin(ratio, 1.0), 2.0), 4), 2, 2);
            }
            const QRect cancel = cancelRect(R, y);
            p.setPen(QPen(pal.c[kSecondaryBorderSlot], 1));
            p.setBrush(pal.c[kSecondaryFillSlot]);
            p.drawRoundedRect(cancel, 6, 6);
            p.setFont(uiFont(12));
            p.setPen(hoverId == base + kCancelButton ? accent : pal.c[kTextSlot]);
            p.drawText(cancel, Qt::AlignCenter, translate(u"取消"));
            const QRect pause = pauseRect(R, y);
            p.setPen(QPen(accent, 1));
            p.setBrush(accent);
            p.drawRoundedRect(pause, 6, 6);
            p.setPen(Qt::white);
            p.drawText(pause, Qt::AlignCenter, row.paused ? translate(u"继续") : translate(u"暂停"));
            continue;
        }

        const QRect action = actionRect(R, y, row.isWeb);
        const bool primary = row.isWeb || !row.upToDate() || !row.error.isEmpty();
        p.setFont(uiFont(12));
        if (primary) {
            p.setPen(QPen(accent, 1));
            p.setBrush(accent);
            p.drawRoundedRect(action, 7, 7);
            p.setPen(Qt::white);
        } else {
            p.setPen(QPen(pal.c[kSecondaryBorderSlot], 1));
            p.setBrush(pal.c[kSecondaryFillSlot]);
            p.drawRoundedRect(action, 7, 7);
            p.setPen(hoverId == base + kActionButton ? accent : pal.c[kTextSlot]);
        }
        p.drawText(action, Qt::AlignCenter, actionButtonText(row));
        if (!row.isWeb) {
            const QRect menu = menuRect(R, y);
            const int cx = (menu.left() + menu.right()) / 2;
            const int cy = (2 * y + 75) / 2;
            p.setPen(Qt::NoPen);
            p.setBrush(hoverId == base + kMenuButton ? accent : pal.c[kSecondaryTextSlot]);
            for (const double dy : {-5.5, 0.0, 5.5})
                p.drawEllipse(QPointF(cx, cy + dy), 1.5, 1.5);
        }
    }
    p.restore();

    const QRect footer = span(16, H - 24, W - 17, H - 1);
    if (noticeText.isEmpty()) {
        p.setFont(uiFont(11));
        p.setPen(pal.c[kSecondaryTextSlot]);
        p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter,
                   translate(u"点右侧按钮即可安装或升级；安装完成后会自动创建「应用市场」分组并把程序图标加入面板，也可通过「⋮」菜单重装 / 卸载。"));
        return;
    }
    p.setPen(QPen(QColor(0xE8, 0x11, 0x23), 1));
    p.setBrush(QColor(0xFD, 0xEC, 0xEC));
    p.drawRoundedRect(QRectF(footer).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    p.setFont(uiFont(12));
    p.setPen(QColor(0xB0, 0x1B, 0x2E));
    const QString text = QFontMetrics(p.font()).elidedText(translate(noticeText), Qt::ElideRight, footer.width() - 20);
    p.drawText(footer.adjusted(10, 0, -10, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

QIcon paintMenuIcon(int kind)
{
    static QHash<int, QIcon> drawn;
    const auto it = drawn.constFind(kind);
    if (it != drawn.constEnd())
        return *it;
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x55, 0x5F, 0x6E);
    auto pen = [&](qreal width, Qt::PenJoinStyle join) {
        QPen q(ink, width);
        q.setCapStyle(Qt::RoundCap);
        q.setJoinStyle(join);
        p.setPen(q);
        p.setBrush(Qt::NoBrush);
    };
    switch (kind) {
    case 0: {
        QPainterPath tri;
        tri.moveTo(5.5, 4.5);
        tri.lineTo(12, 8);
        tri.lineTo(5.5, 11.5);
        tri.closeSubpath();
        p.fillPath(tri, ink);
        break;
    }
    case 1:
        pen(1.3, Qt::RoundJoin);
        p.drawLine(QPointF(8, 3.5), QPointF(8, 10.2));
        p.drawLine(QPointF(5, 7.4), QPointF(8, 11.2));
        p.drawLine(QPointF(11, 7.4), QPointF(8, 11.2));
        break;
    case 2:
        pen(1.3, Qt::RoundJoin);
        p.drawPolyline(QPolygonF({QPointF(4, 8.5), QPointF(8, 4.2), QPointF(12, 8.5)}));
        p.drawLine(QPointF(4, 8.5), QPointF(12, 8.5));
        p.drawLine(QPointF(4, 8.5), QPointF(4, 12));
        p.drawLine(QPointF(12, 8.5), QPointF(12, 12));
        p.drawLine(QPointF(4, 12), QPointF(12, 12));
        break;
    case 3:
        pen(1.3, Qt::RoundJoin);
        p.drawLine(QPointF(4.8, 5), QPointF(11.2, 5));
        p.drawLine(QPointF(5.6, 5), QPointF(5.6, 12));
        p.drawLine(QPointF(10.4, 5), QPointF(10.4, 12));
        p.drawLine(QPointF(5.6, 12), QPointF(10.4, 12));
        p.drawLine(QPointF(6.8, 3.4), QPointF(9.2, 3.4));
        p.drawLine(QPointF(6.8, 3.4), QPointF(6.8, 5));
        p.drawLine(QPointF(9.2, 3.4), QPointF(9.2, 5));
        break;
    case 4:
        pen(1.2, Qt::BevelJoin);
        for (const QPointF& at : {QPointF(4, 4), QPointF(8.6, 4), QPointF(4, 8.6), QPointF(8.6, 8.6)})
            p.drawRoundedRect(QRectF(at, QSizeF(3.4, 3.4)), 0.8, 0.8);
        break;
    case 5:
        pen(1.2, Qt::BevelJoin);
        p.drawRoundedRect(QRectF(QPointF(4, 6.6), QSizeF(3.4, 3.4)), 0.8, 0.8);
        p.drawRoundedRect(QRectF(QPointF(8.6, 5.4), QSizeF(3.4, 3.4)), 0.8, 0.8);
        break;
    default:
        break;
    }
    p.end();
    const QIcon icon(pm);
    drawn.insert(kind, icon);
    return icon;
}
