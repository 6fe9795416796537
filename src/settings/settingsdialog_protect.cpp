// The obfuscation card of the protection page: one tile per panel item with
// the substitute target the panel opens instead while obfuscation is on,
// and the icon priming the protection and icons pages share.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "icons/iconservice.h"
#include "model/panelmodel.h"
#include "settings/settingsglyphs.h"
#include "settings/settingsprompts.h"
#include "settings/settingsstyle.h"

#include <QCursor>
#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

using namespace settingsslot;

constexpr int kHeaderHeight = 128;
constexpr int kFirstCardGap = 13;
constexpr int kCardGap = 15;
constexpr int kSmallCardHeight = 114;
constexpr int kTileHeight = 56;
constexpr int kTileStep = 64;
constexpr int kTilesTop = 46;
constexpr int kRowButtonHeight = 26;
constexpr int kIconBox = 24;
constexpr int kIconRepaintMs = 40;
constexpr int kGroupGlyph = 5;

enum TargetAction { kChooseTarget = 0, kClearTarget = 1 };
enum TargetKind { kFolderTarget = 0, kFileTarget = 1 };

int groupCardHeight(int items)
{
    return items < 3 ? kSmallCardHeight : (items + 1) / 2 * kTileStep + 50;
}

} // namespace

void SettingsDialog::layoutProtectPage(int width, int top)
{
    m_protectRows.clear();
    m_protectLayout = ProtectCardLayout();
    ProtectCardLayout& l = m_protectLayout;
    const int w = width;
    const int left = settingsgeom::kContentLeft;
    const int column = (w - 48) / 2;

    if (m_groups) {
        for (int g = 0; g < m_groups->size(); ++g) {
            const PanelGroup& group = m_groups->at(g);
            for (int i = 0; i < group.items.size(); ++i) {
                const PanelItem& item = group.items.at(i);
                m_protectRows.append(ProtectRow{group.name, item.name, item.path,
                                                m_working.obfuscateMap.value(item.path), item.customIcon, g, i});
            }
        }
    }

    l.header = settingsRect(left, top, left - 1 + w, top + kHeaderHeight - 1);
    // Right-aligned, as wide as the longer of its two texts needs.
    int passwordWidth = 120;
    for (const char16_t* text : {u"设置程序保护密码", u"修改程序保护密码"})
        passwordWidth = std::max(passwordWidth, settingsFont13Metrics().horizontalAdvance(translate(text)) + 16);
    l.passwordButton = settingsRect(w + 159 - passwordWidth, top + 85, w + 158, top + 114);
    m_layout.hits.append(HitRect{l.passwordButton, settingshit::kButton, settingsid::kProtectPassword, true});

    int selectWidth = 40;
    int clearWidth = 40;
    selectClearChipWidths(&selectWidth, &clearWidth);
    QList<int> counts;
    if (m_groups)
        for (const PanelGroup& g : *m_groups)
            counts.append(int(g.items.size()));
    if (counts.isEmpty())
        counts.append(0);
    int y = l.header.bottom() + 1 + kFirstCardGap;
    int row = 0;
    for (int items : std::as_const(counts)) {
        const QRect card(left, y, w, groupCardHeight(items));
        l.groupCards.append(card);
        for (int j = 0; j < items; ++j, ++row) {
            const int x = j % 2 == 0 ? settingsgeom::kRowLeft : settingsgeom::kRowLeft + column + 16;
            const QRect tile(x, card.top() + kTilesTop + kTileStep * (j / 2), column, kTileHeight);
            const int buttonTop = tile.top() + (kTileHeight - kRowButtonHeight) / 2;
            const QRect clear(tile.right() - clearWidth, buttonTop, clearWidth, kRowButtonHeight);
            const QRect choose(clear.left() - 7 - selectWidth, buttonTop, selectWidth, kRowButtonHeight);
            l.tiles.append(tile);
            l.chooseButtons.append(choose);
            l.clearButtons.append(clear);
            m_layout.hits.append(HitRect{choose, settingshit::kButton, settingsid::kProtectRowBase + 2 * row, true});
            m_layout.hits.append(HitRect{clear, settingshit::kButton, settingsid::kProtectRowBase + 2 * row + 1, true});
        }
        y = card.bottom() + 1 + kCardGap;
    }
    m_layout.contentHeight = l.groupCards.last().bottom() + 12;
    primeProtectIcons();
}

void SettingsDialog::pickObfuscationTarget(int row, int action)
{
    if (row < 0 || row >= m_protectRows.size())
        return;
    const QString key = m_protectRows.at(row).path;
    if (action == kClearTarget) {
        m_working.obfuscateMap.remove(key);
    } else {
        const QList<PromptMenuEntry> entries = {
            PromptMenuEntry{translate(u"选择文件夹..."), kFolderTarget, false, false},
            PromptMenuEntry{translate(u"选择文件或程序..."), kFileTarget, false, false},
        };
        const QPointer<SettingsDialog> self(this);
        const int kind = m_prompts->menu(this, entries, QCursor::pos());
        if (!self || (kind != kFolderTarget && kind != kFileTarget))
            return;
        const QString answer =
            kind == kFolderTarget
                ? m_prompts->existingDirectory(this, QStringLiteral("选择混淆后实际打开的文件夹"), m_dataDir)
                : m_prompts->openFileName(this, QStringLiteral("选择混淆后实际打开的文件或程序"), QString(),
                                          QStringLiteral("*.*"));
        if (!self)
            return;
        m_hoverId = settingsid::kNone;
        m_pressedId = settingsid::kNone;
        if (answer.isEmpty()) {
            update();
            return;
        }
        m_working.obfuscateMap.insert(key, QDir::toNativeSeparators(answer));
    }
    // The panel may have relaid the page while a picker was open.
    if (row < m_protectRows.size() && m_protectRows.at(row).path == key)
        m_protectRows[row].target = m_working.obfuscateMap.value(key);
    notifyProtection();
    relayout();
    update();
}

void SettingsDialog::primeProtectIcons()
{
    m_requestedIconPaths.clear();
    QStringList candidates;
    for (const ProtectRow& r : std::as_const(m_protectRows))
        if (!r.path.isEmpty() && r.customIcon.isEmpty())
            candidates.append(r.path);
    for (const IconRow& r : std::as_const(m_iconRows))
        if (r.btnId < 0 && !r.path.isEmpty() && r.iconLight.isEmpty())
            candidates.append(r.path);

    // Shell icons the shared cache does not hold yet are fetched off the GUI
    // thread; their answers cost at most one repaint per 40 ms.
    const QMap<QString, QPixmap>* cache = iconPixmapCache();
    for (const QString& path : std::as_const(candidates)) {
        if (m_requestedIconPaths.contains(path))
            continue;
        const auto hit = cache->constFind(path);
        if (hit != cache->constEnd() && !hit->isNull())
            continue;
        m_requestedIconPaths.insert(path);
        const QPointer<SettingsDialog> self(this);
        requestIconAsync(path, this, [self](const QString& p, const QImage& image) {
            if (!self)
                return;
            if (!image.isNull())
                cacheIconImage(p, image);
            if (self->m_iconRepaintPending)
                return;
            self->m_iconRepaintPending = true;
            QTimer::singleShot(kIconRepaintMs, self, [self] {
                if (!self)
                    return;
                self->m_iconRepaintPending = false;
                self->update();
            });
        });
    }
}

QPixmap SettingsDialog::protectRowPixmap(const ProtectRow& row) const
{
    if (!row.customIcon.isEmpty()) {
        const QPixmap custom =
            loadScaledPixmapCached(row.customIcon, QSize(kIconBox, kIconBox), QStringLiteral("protectprev"), false);
        if (!custom.isNull())
            return custom;
    }
    const QMap<QString, QPixmap>* cache = iconPixmapCache();
    const auto hit = cache->constFind(row.path);
    if (hit == cache->constEnd() || hit->isNull())
        return QPixmap();
    const qreal dpr = settingsPixelRatio();
    const QString key = QStringLiteral("protectshell|%1|24x24|dpr%2").arg(row.path, QString::number(dpr, 'f', 2));
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    const int side = int(std::lround(kIconBox * dpr));
    pm = hit->scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    pm.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pm);
    return pm;
}

void SettingsDialog::paintProtectCard(QPainter& p, const QColor& cardColour)
{
    const ProtectCardLayout& l = m_protectLayout;
    if (l.header.isNull())
        return;
    const ThemePalette& pal = dialogPalette();
    const QFont f13 = settingsFont13();
    const QFont f13b = settingsFont13Bold();
    const QFont f11 = settingsFont11();
    auto card = [&](const QRect& r) {
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(cardColour);
        p.drawRoundedRect(settingsOutlineRect(r), 8, 8);
    };

    if (m_paintArea.intersects(l.header)) {
        const QRect& h = l.header;
        card(h);
        p.setFont(f13b);
        p.setPen(pal.c[kBodyText]);
        p.drawText(QRect(h.left() + 16, h.top() + 6, h.width() - 32, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   translate(u"混淆保护"));
        const QFontMetrics fm(f13);
        const int lineWidth = h.width() - 31;
        p.setFont(f13);
        p.setPen(pal.c[kSecondaryText]);
        const char16_t* lines[] = {
            u"开启后，面板中的条目名称与图标保持不变，点击时改为打开你指定的文件夹或程序。",
            u"本页的「程序保护密码」同时用于界面锁定，两者为同一套密码，设置一次即可。"};
        for (int i = 0; i < 2; ++i) {
            const QRect lineRect(h.left() + 16, h.top() + 38 + 24 * i, lineWidth, 24);
            const QString whole = translate(lines[i]);
            const QString shown = fm.elidedText(whole, Qt::ElideRight, lineWidth);
            noteShortened(lineRect.translated(0, -m_scroll), shown, whole);
            p.drawText(lineRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
        }
        const PageButtonPainter buttons{p, pal, m_hoverId, m_pressedId, QColor(), f13};
        buttons.protect(l.passwordButton,
                        translate(m_working.protectPasswordHash.isEmpty() ? u"设置程序保护密码" : u"修改程序保护密码"),
                        settingsid::kProtectPassword);
    }

    const QColor tileFill = settingsTileColour(pal.isDark);
    int selectWidth = 40;
    int clearWidth = 40;
    selectClearChipWidths(&selectWidth, &clearWidth);
    int row = 0;
    for (int gi = 0; gi < l.groupCards.size(); ++gi) {
        const QRect& c = l.groupCards.at(gi);
        const bool hasGroup = m_groups && gi < m_groups->size();
        const int items = hasGroup ? int(m_groups->at(gi).items.size()) : 0;
        if (!m_paintArea.intersects(c)) {
            row += items;
            continue;
        }
        card(c);
        paintSectionGlyph(p, QPointF(c.left() + 20, c.top() + 23), pal.c[kAccent], kGroupGlyph);
        // The note at the right takes the width its text needs; the group's
        // name the rest.
        const QString note = translate(u"%1 项 · 指定实际打开位置").arg(items);
        const int noteWidth = std::min(QFontMetrics(f11).horizontalAdvance(note) + 2, c.width() / 2);
        const QRect noteRect(QPoint(c.right() - 17 - noteWidth, c.top() + 13), QPoint(c.right() - 17, c.top() + 32));
        const QRect nameRect(QPoint(c.left() + 34, c.top() + 13), QPoint(noteRect.left() - 12, c.top() + 32));
        p.setFont(f13b);
        p.setPen(pal.c[kBodyText]);
        p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(f13b).elidedText(hasGroup ? translate(m_groups->at(gi).name) : translate(u"分组"),
                                                 Qt::ElideRight, nameRect.width()));
        p.setFont(f11);
        p.setPen(pal.c[kSecondaryText]);
        const QString shownNote = QFontMetrics(f11).elidedText(note, Qt::ElideRight, noteRect.width());
        noteShortened(noteRect.translated(0, -m_scroll), shownNote, note);
        p.drawText(noteRect, Qt::AlignRight | Qt::AlignVCenter, shownNote);
        if (gi == 0 && m_protectRows.isEmpty()) {
            p.setFont(f13);
            p.setPen(pal.c[kSecondaryText]);
            p.drawText(QRect(QPoint(c.left() + 16, c.top() + 46), QPoint(c.right() - 15, c.top() + 101)),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                       translate(u"面板中还没有条目，添加桌面图标后即可在此配置。"));
        }

        for (int j = 0; j < items; ++j, ++row) {
            if (row >= m_protectRows.size() || row >= l.tiles.size())
                return;
            const ProtectRow& pr = m_protectRows.at(row);
            const QRect& t = l.tiles.at(row);
            const int chooseId = settingsid::kProtectRowBase + 2 * row;
            const int clearId = chooseId + 1;
            const bool hovered = m_hoverId == chooseId || m_hoverId == clearId;
            p.setPen(Qt::NoPen);
            p.setBrush(hovered ? pal.c[kHover] : tileFill);
            p.drawRoundedRect(QRectF(t), 6, 6);

            const QRect box(t.left() + 8, t.top() + (t.height() - kIconBox) / 2, kIconBox, kIconBox);
            const QPixmap icon = protectRowPixmap(pr);
            if (icon.isNull()) {
                p.setPen(QPen(pal.c[kSecondaryText], 1));
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(QRectF(box.left() + 0.5, box.top() + 0.5, 23, 23), 5, 5);
            } else {
                p.drawPixmap(settingsFitRect(box, icon.deviceIndependentSize()), icon);
            }

            const int textWidth = std::max(30, t.width() - selectWidth - clearWidth - 53);
            p.setFont(f13b);
            p.setPen(pal.c[kBodyText]);
            p.drawText(QRect(QPoint(t.left() + 40, t.top() + 8), QPoint(t.left() + 40 + textWidth, t.top() + 27)),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetrics(f13b).elidedText(translate(pr.itemName), Qt::ElideRight, textWidth));
            p.setFont(f11);
            p.setPen(pr.target.isEmpty() ? pal.c[kSecondaryText] : pal.c[kAccent]);
            p.drawText(QRect(QPoint(t.left() + 40, t.top() + 30), QPoint(t.left() + 40 + textWidth, t.top() + 47)),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetrics(f11).elidedText(pr.target.isEmpty() ? translate(u"未设置（按原路径打开）") : pr.target,
                                                    Qt::ElideMiddle, textWidth));

            const PageButtonPainter buttons{p, pal, m_hoverId, m_pressedId, pal.c[kControl], f13};
            buttons.about(l.chooseButtons.at(row), translate(u"选择"), chooseId);
            buttons.about(l.clearButtons.at(row), translate(u"清除"), clearId);
        }
    }
}
