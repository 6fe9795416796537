// Painting of the settings dialog: the card, navigation, header, the rows
// and chips of the page model, the icon lists, the footer and the hint.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "icons/iconservice.h"
#include "model/panelmodel.h"
#include "settings/settingsglyphs.h"
#include "settings/settingsstyle.h"
#include "widgets/uibtn.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>
#include <QPixmapCache>

#include <algorithm>
#include <cmath>

namespace {

using namespace settingsslot;

constexpr int kSettingsButton = 1;
constexpr int kThemeButton = 6;

// One picture slot of a button row, measured from the row's right edge.
struct UploadSlotPlace {
    int fromRight;
    const char16_t* label;
    const QString* path;
    int cell;
    int clearCell;
};

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QColor controlFill(const ThemePalette& pal, int id, int hoverId, int pressedId)
{
    if (id >= 0 && id == pressedId)
        return pal.c[kPressed];
    if (id >= 0 && id == hoverId)
        return pal.c[kHover];
    return pal.c[kControl];
}

// The white X of a clear dot.
void drawDotCross(QPainter& p, const QRectF& r, double width, double insetFrom, double insetTo)
{
    p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + insetFrom, r.top() + insetFrom), QPointF(r.right() - insetTo, r.bottom() - insetTo));
    p.drawLine(QPointF(r.right() - insetFrom, r.top() + insetFrom), QPointF(r.left() + insetTo, r.bottom() - insetTo));
}

QColor dotFill(const ThemePalette& pal, int id, int hoverId, int pressedId, int alpha)
{
    if (id == pressedId)
        return pal.c[kPressed];
    if (id == hoverId)
        return pal.c[kAccentHover];
    return QColor(0, 0, 0, alpha);
}

// Row buttons whose element id follows from the row id; the others are
// numbered from 150 in painting order.
bool rowButtonHasOwnId(int rowId)
{
    return rowId == 7 || rowId == 9 || rowId == 10 || rowId == 11 || rowId == 18 || (rowId >= 120 && rowId <= 132);
}

bool segmentValue(const AppSettings& s, int row)
{
    switch (row) {
    case settingssegment::kTheme: return s.darkTheme;
    case settingssegment::kGroupLayout: return s.horizontalGroups;
    case settingssegment::kOpenMode: return s.singleClickOpen;
    case settingssegment::kHoverMode: return s.hoverMode == 1;
    case settingssegment::kLanguage: return currentLanguage() == 1;
    case settingssegment::kMonitorFormat: return s.monitorFormat == 1;
    default: return false;
    }
}

} // namespace

int SettingsDialog::colourModeOfSetting(int elementId) const
{
    switch (elementId) {
    case settingsid::kTitleBarColour: return m_working.titleBarColor;
    case settingsid::kBottomBarColour: return m_working.bottomBarColor;
    case settingsid::kMidColour: return m_working.midColor;
    case settingsid::kBorderColour: return m_working.borderColor;
    case settingsid::kTextColour: return m_working.textColor;
    case settingsid::kDividerColour: return m_working.dividerColor;
    case settingsid::kHoverColour: return m_working.hoverColor;
    default: return 0;
    }
}

QColor SettingsDialog::colourOfSetting(int elementId) const
{
    const int mode = std::clamp(colourModeOfSetting(elementId), 0, 6);
    int rgb = 0;
    int themeSlot = -1;
    switch (elementId) {
    case settingsid::kTitleBarColour: rgb = m_working.titleBarCustomRgb; break;
    case settingsid::kBottomBarColour: rgb = m_working.bottomBarCustomRgb; break;
    case settingsid::kMidColour: rgb = m_working.midCustomRgb; break;
    case settingsid::kBorderColour: rgb = m_working.borderCustomRgb; themeSlot = 3; break;
    case settingsid::kTextColour: rgb = m_working.textCustomRgb; themeSlot = 16; break;
    case settingsid::kDividerColour: rgb = m_working.dividerCustomRgb; themeSlot = 32; break;
    case settingsid::kHoverColour: rgb = m_working.hoverCustomRgb; themeSlot = 25; break;
    default: break;
    }
    if (mode == 6)
        return QColor::fromRgb(QRgb(rgb) & 0xFFFFFF);
    if (mode == 0 && themeSlot >= 0)
        return currentTheme().c[themeSlot];
    return presetColor(mode);
}

void SettingsDialog::paintEvent(QPaintEvent* event)
{
    const ThemePalette& pal = dialogPalette();
    const bool dark = pal.isDark;
    const int W = m_dialogWidth;
    const int H = m_dialogHeight;
    const QRect dirty = event->rect();
    m_paintArea = dirty.translated(0, m_scroll);
    m_shortenedTexts.removeIf([&dirty](const std::pair<QRect, QString>& e) { return e.first.intersects(dirty); });
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);

    const int radius = std::clamp(m_working.cornerRadius, 0, 24);
    QPainterPath card;
    card.addRoundedRect(QRectF(0.5, 0.5, W - 1, H - 1), radius, radius);
    p.setPen(QPen(pal.c[kCardOutline], 1));
    p.setBrush(pal.c[kCard]);
    p.drawPath(card);
    p.save();
    p.setClipPath(card);
    p.fillRect(QRect(0, 0, settingsgeom::kNavWidth, H), pal.c[kNavFill]);
    p.restore();

    p.setFont(settingsDialogTitleFont());
    p.setPen(pal.c[kTitleText]);
    p.drawText(QRect(20, 0, 118, 44), Qt::AlignLeft | Qt::AlignVCenter, translate(u"设置"));

    const QPointF cc = QRectF(m_layout.close).center();
    const bool closeHot = m_closeHovered || m_pressedId == settingsid::kClose;
    p.setPen(QPen(closeHot ? settingsCloseHotColour() : pal.c[kCloseGlyph], 1.3));
    p.drawLine(cc + QPointF(-4, -4), cc + QPointF(4, 4));
    p.drawLine(cc + QPointF(4, -4), cc + QPointF(-4, 4));

    for (int j = 0; j < 6 && dirty.intersects(QRect(0, 0, settingsgeom::kNavWidth, H)); ++j) {
        const int page = settingspage::kNavOrder[j];
        const QRect& r = m_layout.nav[j];
        const int cy = (r.top() + r.bottom()) / 2;
        const bool current = page == m_currentPage;
        const bool hovered = m_hoverId == settingsid::kNavBase + page;
        if (current || hovered) {
            p.setPen(Qt::NoPen);
            p.setBrush(current ? settingsNavSelectedColour(dark) : pal.c[kHover]);
            p.drawRoundedRect(QRectF(r), 6, 6);
        }
        if (current) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kAccent]);
            p.drawRoundedRect(QRectF(r.left() + 3, cy - 8, 3, 16), 1.5, 1.5);
        }
        paintNavGlyph(p, page, QPointF(r.left() + 26, cy), current ? pal.c[kAccent] : pal.c[kSecondaryText]);
        p.setPen(current ? pal.c[kAccent] : pal.c[kBodyText]);
        // Longer English labels may use the entry's right padding and a
        // slightly smaller size; what still does not fit is elided.
        const QRect labelRect(QPoint(r.left() + 48, r.top()), QPoint(r.right() - 2, r.bottom()));
        const QString label = translate(settingsNavLabel(page));
        QFont navFont = settingsNavFont(current);
        while (navFont.pixelSize() > 11 && QFontMetrics(navFont).horizontalAdvance(label) > labelRect.width())
            navFont.setPixelSize(navFont.pixelSize() - 1);
        p.setFont(navFont);
        const QString shown = QFontMetrics(navFont).elidedText(label, Qt::ElideRight, labelRect.width());
        noteShortened(labelRect, shown, label);
        p.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }

    p.setFont(settingsHeaderFont());
    p.setPen(pal.c[kTitleText]);
    p.drawText(QRect(176, 0, 500, 58), Qt::AlignLeft | Qt::AlignVCenter, translate(settingsPageTitle(m_currentPage)));

    const QColor cardColour = settingsCardColour(dark);
    p.save();
    p.setClipRect(settingsgeom::contentViewport(W, H));
    p.translate(0, -m_scroll);
    switch (m_currentPage) {
    case settingspage::kIcons: paintIconList(p, cardColour); break;
    case settingspage::kAbout: paintAboutPage(p); break;
    case settingspage::kBackup:
        paintSections(p, cardColour);
        paintBackupPage(p, cardColour);
        break;
    default:
        paintSections(p, cardColour);
        if (m_currentPage == settingspage::kAppearance)
            paintButtonsCard(p, cardColour);
        if (m_currentPage == settingspage::kProtect)
            paintProtectCard(p, cardColour);
        break;
    }
    paintScrollBar(p);
    p.restore();

    if (dirty.bottom() >= H - settingsgeom::kFooterHeight)
        paintFooter(p);
    paintHintBubble(p);
}

void SettingsDialog::paintSections(QPainter& p, const QColor& cardColour)
{
    const ThemePalette& pal = dialogPalette();
    const int W = m_dialogWidth;
    int plainButtons = 0;
    for (int si = 0; si < m_model.size() && si < m_layout.sectionTops.size(); ++si) {
        const SettingsSection& section = m_model.at(si);
        const int y = m_layout.sectionTops.at(si);
        const int h = m_layout.sectionHeights.at(si);
        const bool whole = sectionIsWholeCard(section);
        if (!m_paintArea.intersects(QRect(176, y, W - 200, h))) {
            // Row buttons without an id of their own are numbered in
            // painting order, skipped sections included.
            for (const SettingsRow& row : section.rows)
                if (row.kind == settingsrow::kButton && !rowButtonHasOwnId(row.id))
                    ++plainButtons;
            continue;
        }
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(cardColour);
        p.drawRoundedRect(settingsOutlineRect(QRect(176, y, W - 200, h)), 8, 8);
        const int t = h >= 46 ? 13 : (h >= 34 ? (h - 20) / 2 : 6);
        p.setFont(settingsFont13Bold());
        p.setPen(pal.c[kBodyText]);
        // A card that is one row keeps its title clear of the row's controls.
        int titleRight = W - 37;
        const QList<SettingsRowRects>& sectionRows = m_layout.rows.at(si);
        if (whole && !sectionRows.isEmpty() && !sectionRows.first().chips.isEmpty()
            && !section.rows.first().chips.isEmpty())
            titleRight = std::min(titleRight, sectionRows.first().chips.first().left()
                                                  - settingsChipLeadingRoom(section.rows.first().chips.first()) - 12);
        const QRect sectionTitleRect(210, y + t, std::max(0, titleRight - 210), 20);
        const QString sectionTitle = translate(section.title);
        const QString shownTitle = p.fontMetrics().elidedText(sectionTitle, Qt::ElideRight, sectionTitleRect.width());
        noteShortened(sectionTitleRect.translated(0, -m_scroll), shownTitle, sectionTitle);
        p.drawText(sectionTitleRect, Qt::AlignLeft | Qt::AlignVCenter, shownTitle);
        paintSectionGlyph(p, QPointF(196, y + t + 10), pal.c[kAccent], section.glyph);

        const QList<SettingsRowRects>& rects = m_layout.rows.at(si);
        for (int ri = 0; ri < section.rows.size() && ri < rects.size(); ++ri) {
            const SettingsRow& row = section.rows.at(ri);
            const SettingsRowRects& rr = rects.at(ri);
            if (!whole && row.title) {
                // The title takes what the controls at the right leave.
                int titleWidth = rr.row.width() - 210;
                if (row.kind == settingsrow::kButton)
                    titleWidth = rr.row.width() - settingsRowButtonWidth(row) - 16;
                if (row.kind == settingsrow::kSegmented)
                    titleWidth = std::min(titleWidth, rr.row.width() - settingsSegmentedWidth(row) - 16);
                if (row.kind == settingsrow::kChips && !rr.chips.isEmpty())
                    titleWidth = rr.chips.first().left() - settingsChipLeadingRoom(row.chips.first()) - 12
                               - rr.row.left();
                p.setFont(settingsFont13());
                p.setPen(pal.c[kBodyText]);
                const QString wholeTitle = translate(row.title);
                const QString title = p.fontMetrics().elidedText(wholeTitle, Qt::ElideRight, std::max(0, titleWidth));
                const QRect titleRect(rr.row.left(), rr.row.top(), std::max(0, titleWidth), rr.row.height());
                noteShortened(titleRect.translated(0, -m_scroll), title, wholeTitle);
                p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, title);
            }
            paintRow(p, row, rr, whole, plainButtons);
        }
    }
}

void SettingsDialog::paintRow(QPainter& p, const SettingsRow& row, const SettingsRowRects& rr, bool whole,
                              int& plainButtons)
{
    const ThemePalette& pal = dialogPalette();
    const QRect& r = rr.row;
    const int right = r.right();
    const int top = r.top();
    const int bottom = r.bottom();
    switch (row.kind) {
    case settingsrow::kSwitch:
        paintSettingsSwitch(p, QRect(right - 52, top + (bottom - top - 19) / 2, 40, 20),
                            settingsSwitchValue(m_working, row.id));
        break;
    case settingsrow::kSegmented: {
        const int w = settingsSegmentedWidth(row);
        const int trackTop = whole ? top + (bottom - top - 27) / 2 : top + 3;
        const QRect track(right - w, trackTop, w, 28);
        p.setPen(Qt::NoPen);
        p.setBrush(settingsSegmentTrackColour(pal.isDark));
        p.drawRoundedRect(QRectF(track), 8, 8);
        const int selected = segmentValue(m_working, row.id) ? 1 : 0;
        p.setFont(settingsFont13());
        for (int i = 0; i < 2; ++i) {
            const QRect seg(track.left() + 2 + (i * w) / 2, track.top() + 2, w / 2 - 4, 24);
            if (i == selected) {
                p.setPen(QPen(pal.c[kControlBorder], 1));
                p.setBrush(pal.c[kControl]);
                p.drawRoundedRect(settingsOutlineRect(seg), 6, 6);
            }
            p.setPen(i == selected ? pal.c[kAccent] : pal.c[kSecondaryText]);
            p.drawText(seg, Qt::AlignCenter, translate(settingsSegmentLabel(row.id, i)));
        }
        break;
    }
    case settingsrow::kButton: {
        int id = settingsid::kPlainButtonBase;
        QString label = translate(row.title);
        QColor swatch;
        switch (row.id) {
        case 7:
            id = settingsid::kRevealMethod;
            label = translate(revealMethodLabel(m_working.revealMethod));
            break;
        case 9:
        case 10:
        case 11:
        case 120:
        case 129: {
            id = row.id == 9 ? settingsid::kTitleBarColour
               : row.id == 10 ? settingsid::kBottomBarColour
               : row.id == 11 ? settingsid::kMidColour
                              : row.id;
            label = translate(colourModeLabel(colourModeOfSetting(id)));
            swatch = colourOfSetting(id);
            break;
        }
        case 18:
            id = settingsid::kMonitorTrigger;
            label = translate(monitorTriggerLabel(m_working.monitorTrigger));
            break;
        case 121:
            id = row.id;
            label = translate(m_working.customLogoPath.isEmpty() ? u"选择图片" : u"更换图片");
            break;
        case 124:
            id = row.id;
            label = translate(m_working.bgImagePath.isEmpty() ? u"选择图片" : u"更换图片");
            break;
        default:
            id = rowButtonHasOwnId(row.id) ? row.id : settingsid::kPlainButtonBase + plainButtons++;
            break;
        }
        const int buttonWidth = settingsRowButtonWidth(row);
        paintRowButton(p, QRect(right - buttonWidth, top + 2, buttonWidth, 30), label, id, swatch);
        break;
    }
    case settingsrow::kValueText:
        if (m_currentPage == settingspage::kGeneral && row.id == 0) {
            p.setFont(settingsFont13());
            p.setPen(pal.c[kBodyText]);
            const QString text = settingsFont13Metrics().elidedText(QDir::toNativeSeparators(m_dataDir),
                                                                    Qt::ElideMiddle, r.width() - 210);
            p.drawText(QRect(QPoint(r.left() + 130, top), QPoint(right - 10, bottom)), Qt::AlignLeft | Qt::AlignVCenter,
                       text);
        }
        break;
    case settingsrow::kChips:
        for (int k = 0; k < row.chips.size() && k < rr.chips.size(); ++k)
            paintChip(p, row, row.chips.at(k), rr.chips.at(k), r);
        break;
    default: break;
    }
}

void SettingsDialog::paintRowButton(QPainter& p, const QRect& r, const QString& label, int id, const QColor& swatch)
{
    const ThemePalette& pal = dialogPalette();
    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(controlFill(pal, id, m_hoverId, m_pressedId));
    p.drawRoundedRect(settingsOutlineRect(r), 4, 4);
    if (swatch.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(swatch);
        p.drawRoundedRect(QRectF(r.left() + 10, r.top() + (r.height() - 14) / 2, 14, 14), 4, 4);
    }
    p.setFont(settingsFont13());
    p.setPen(pal.c[kBodyText]);
    // Longer translations are elided inside the button rather than cut at
    // both of its edges.
    const int room = r.width() - (swatch.isValid() ? 60 : 16);
    p.drawText(r, Qt::AlignCenter, QFontMetrics(settingsFont13()).elidedText(label, Qt::ElideRight, room));
}

void SettingsDialog::paintChip(QPainter& p, const SettingsRow& row, const SettingsChip& chip, const QRect& c,
                               const QRect& rowRect)
{
    const ThemePalette& pal = dialogPalette();
    auto chipButton = [&](int id) {
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(controlFill(pal, id, m_hoverId, m_pressedId));
        p.drawRoundedRect(settingsOutlineRect(c), 4, 4);
    };
    auto rowHasChip = [&row](int id) {
        return std::any_of(row.chips.cbegin(), row.chips.cend(), [id](const SettingsChip& x) { return x.id == id; });
    };
    switch (chip.type) {
    case settingschip::kSlider: {
        // Only the caption: the slider widget covers the chip.
        const QString text = chip.text ? translate(chip.text) : QString();
        p.setFont(settingsFont11());
        p.setPen(pal.c[kSecondaryText]);
        const int a = std::max(c.width() - 1 - 75, 0);
        const int w = std::max(p.fontMetrics().horizontalAdvance(text), a);
        const int x = std::max(c.left() + 2, c.left() + 12 + a / 2 - (w + 8) / 2);
        p.drawText(QRect(x, rowRect.top() + 2, w + 8, 14), Qt::AlignCenter, text);
        break;
    }
    case settingschip::kColour: {
        int id = settingsid::kNone;
        switch (chip.id) {
        case 9: id = settingsid::kTitleBarColour; break;
        case 10: id = settingsid::kBottomBarColour; break;
        case 11: id = settingsid::kMidColour; break;
        case 15: id = settingsid::kDividerColour; break;
        case 17: id = settingsid::kHoverColour; break;
        case 120:
        case 129: id = chip.id; break;
        default: break;
        }
        chipButton(id);
        const QString name = translate(colourModeLabel(colourModeOfSetting(id)));
        const QFontMetrics& fm = settingsFont13Metrics();
        const int room = std::max(c.width() - 1 - 25, 20);
        const int advance = fm.horizontalAdvance(name);
        const int labelWidth = std::min(advance, room);
        const int sx = c.left() + (c.width() - 1 - labelWidth - 19) / 2;
        const int sy = c.top() + (c.height() - 1 - 13) / 2;
        p.setPen(Qt::NoPen);
        p.setBrush(colourOfSetting(id));
        p.drawRoundedRect(QRectF(sx, sy, 14, 14), 4, 4);
        p.setFont(settingsFont13());
        p.setPen(pal.c[kBodyText]);
        // The rounded advance may fall short of the exact width that eliding
        // measures: a name that fits is drawn as it is.
        p.drawText(QRect(sx + 20, c.top(), labelWidth + 2, c.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   advance <= room ? name : fm.elidedText(name, Qt::ElideRight, labelWidth));
        break;
    }
    case settingschip::kSwitch: {
        if (chip.text) {
            const QString label = translate(chip.text);
            const int advance = settingsFont13Metrics().horizontalAdvance(label);
            p.setFont(settingsFont13());
            p.setPen(pal.c[kBodyText]);
            p.drawText(QRect(QPoint(c.left() - 8 - advance, c.top()), QPoint(c.left() - 9, c.bottom())),
                       Qt::AlignRight | Qt::AlignVCenter, label);
        }
        const bool on = chip.id == settingsswitch::kEdgeSnap || chip.id == settingsswitch::kShowTitle
                             || chip.id == settingsswitch::kShowLogo || chip.id == settingsswitch::kShowNewGroupBtn
                         ? settingsSwitchValue(m_working, chip.id)
                         : false;
        paintSettingsSwitch(p, QRect(c.left() + (c.width() - 40) / 2, c.top() + (c.height() - 20) / 2, 40, 20), on);
        break;
    }
    case settingschip::kTitleEditor:
    case settingschip::kFontCombo: break;
    case settingschip::kValueText: {
        QString text;
        if (chip.text)
            text = translate(chip.text);
        else if (rowHasChip(settingsid::kLockBackgroundChoose))
            text = m_working.lockBgPath.isEmpty()
                     ? translate(u"内置动态光晕")
                     : translate(u"自定义 · ") + QFileInfo(m_working.lockBgPath).fileName();
        else if (rowHasChip(settingsid::kMonitorDirChoose))
            text = m_working.monitorDir.isEmpty() ? translate(u"未配置 · 点击右侧选择目录")
                                                  : QDir::toNativeSeparators(m_working.monitorDir);
        else
            text = QDir::toNativeSeparators(m_dataDir);
        p.save();
        p.setClipRect(c);
        p.setFont(settingsFont13());
        p.setPen(pal.c[kSecondaryText]);
        // A path loses its middle, a sentence its end.
        const bool path = text.contains(QLatin1Char('/'));
        const QString shown =
            settingsFont13Metrics().elidedText(text, path ? Qt::ElideMiddle : Qt::ElideRight, c.width());
        noteShortened(c.translated(0, -m_scroll), shown, text);
        p.drawText(c, Qt::AlignLeft | Qt::AlignVCenter, shown);
        p.restore();
        break;
    }
    default: {
        chipButton(chip.id);
        QString label = chip.text ? translate(chip.text) : QString();
        QRect labelRect = c;
        QColor labelColour = pal.c[kBodyText];
        switch (chip.id) {
        case settingsid::kBackgroundChoose:
            label = translate(m_working.bgImagePath.isEmpty() ? u"选择背景" : u"更换背景");
            paintBackgroundThumb(p, c, m_working.bgImagePath, QStringLiteral("bgthumb"), settingsid::kBackgroundClear);
            break;
        case settingsid::kPortraitBackgroundChoose:
            label = translate(m_working.bgImagePortrait.isEmpty() ? u"选择背景" : u"更换背景");
            paintBackgroundThumb(p, c, m_working.bgImagePortrait, QStringLiteral("bgthumbP"),
                                 settingsid::kPortraitBackgroundClear);
            break;
        case settingsid::kLogoChoose:
            label = translate(m_working.customLogoPath.isEmpty() ? u"选择图片" : u"更换图片");
            if (!m_working.customLogoPath.isEmpty()) {
                paintLogoInChip(p, c);
                labelRect = QRect(QPoint(c.left() + 30, c.top()), c.bottomRight());
                labelColour = pal.c[kAccent];
            }
            break;
        case settingsid::kLockBackgroundChoose:
            label = translate(m_working.lockBgPath.isEmpty() ? u"选择背景" : u"更换背景");
            break;
        default: break;
        }
        p.setFont(settingsFont13());
        p.setPen(labelColour);
        p.drawText(labelRect, Qt::AlignCenter, label);
        break;
    }
    }
}

void SettingsDialog::paintBackgroundThumb(QPainter& p, const QRect& c, const QString& path, const QString& tag,
                                          int clearId)
{
    if (path.isEmpty())
        return;
    const ThemePalette& pal = dialogPalette();
    const QRect thumb(c.left() - 72, c.top() + (c.height() - 1 - 35) / 2, 64, 36);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(thumb), 6, 6);
    p.save();
    p.setClipPath(clip, Qt::IntersectClip);
    if (isVideoBackground(path)) {
        p.fillRect(thumb, pal.isDark ? QColor(0x25, 0x2A, 0x33) : QColor(0x2E, 0x33, 0x3D));
        const QPointF centre = QRectF(thumb).center();
        const QPointF triangle[] = {centre + QPointF(-5, -7), centre + QPointF(-5, 7), centre + QPointF(7, 0)};
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawPolygon(triangle, 3);
    } else {
        const QPixmap pm = loadScaledPixmapCached(path, QSize(64, 36), tag, true);
        if (!pm.isNull())
            p.drawPixmap(thumb, pm);
    }
    p.restore();
    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(settingsOutlineRect(thumb), 6, 6);
    const QRectF dot(thumb.right() - 13, thumb.top() + 1, 12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(dotFill(pal, clearId, m_hoverId, m_pressedId, 170));
    p.drawEllipse(dot);
    drawDotCross(p, dot, 1.6, 3, 3);
}

void SettingsDialog::paintLogoInChip(QPainter& p, const QRect& c)
{
    const ThemePalette& pal = dialogPalette();
    const QPixmap logo = loadScaledPixmapCached(m_working.customLogoPath, QSize(24, 24), QStringLiteral("logothumb"), true);
    if (logo.isNull())
        return;
    const QRectF box(c.left() + 4, c.top() + 2, 24, 24);
    QPainterPath clip;
    clip.addRoundedRect(box, 5, 5);
    p.save();
    p.setClipPath(clip, Qt::IntersectClip);
    p.drawPixmap(box.toRect(), logo);
    p.restore();
    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    const QRectF dot(c.left() + 18, c.top() - 3, 14, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(dotFill(pal, settingsid::kLogoClear, m_hoverId, m_pressedId, 190));
    p.drawEllipse(dot);
    drawDotCross(p, dot, 1.7, 4, 3);
}

void SettingsDialog::paintHintBubble(QPainter& p)
{
    if (m_hintText.isEmpty())
        return;
    const bool dark = dialogPalette().isDark;
    const int W = m_dialogWidth;
    const int H = m_dialogHeight;
    const QFont font = settingsHintFont();
    const QFontMetrics fm(font);
    const QRect measured = fm.boundingRect(QRect(0, 0, 300, 2000), Qt::TextWordWrap, m_hintText);
    const int tw = std::min(measured.width(), 300);
    const int th = measured.height();
    const int bw = tw + 20;
    const int bh = th + 16;
    int x = 9;
    int y = 0;
    if (!m_hintAnchor.isNull()) {
        x = m_hintAnchor.right() + 10;
        if (x + bw >= W - 6)
            x = m_hintAnchor.left() - 10 - bw;
        y = (m_hintAnchor.top() + m_hintAnchor.bottom()) / 2 - bh / 2;
    }
    auto clampInto = [](int v, int lo, int hi) { return hi < lo ? lo : std::clamp(v, lo, hi); };
    x = clampInto(x, 8, W - 7 - bw);
    y = clampInto(y, 8, H - 7 - bh);
    const QRectF bubble(x + 0.5, y + 0.5, bw, bh);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, dark ? 90 : 22));
    p.drawRoundedRect(bubble.translated(1, 2).adjusted(0, 0, 1, 1), 6, 6);
    p.setBrush(QColor(0, 0, 0, dark ? 50 : 12));
    p.drawRoundedRect(bubble.translated(1, 1).adjusted(0, 0, 0, 1), 6, 6);
    p.setPen(QPen(dark ? QColor(0x45, 0x45, 0x45) : QColor(0xD6, 0xD6, 0xD6), 1));
    p.setBrush(dark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xFC, 0xFC, 0xFC));
    p.drawRoundedRect(bubble, 6, 6);
    p.setFont(font);
    p.setPen(dark ? QColor(0xF2, 0xF2, 0xF2) : QColor(0x20, 0x20, 0x20));
    p.drawText(QRect(x + 10, y + 8, tw, th), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, m_hintText);
    p.restore();
}

void SettingsDialog::paintScrollBar(QPainter& p)
{
    if (m_layout.scrollTrack.isNull() || m_layout.scrollThumb.isNull())
        return;
    const ThemePalette& pal = dialogPalette();
    p.save();
    p.translate(0, m_scroll);
    p.setPen(Qt::NoPen);
    const QRect& track = m_layout.scrollTrack;
    const QRect& thumb = m_layout.scrollThumb;
    p.setBrush(withAlpha(pal.c[kSecondaryText], 28));
    p.drawRoundedRect(QRectF(track.left() + 6, track.top(), track.width() - 12, track.height()), 2, 2);
    p.setBrush(m_thumbDragging ? pal.c[kAccent] : withAlpha(pal.c[kSecondaryText], 90));
    p.drawRoundedRect(QRectF(thumb.left() + 3, thumb.top(), thumb.width() - 6, thumb.height()), 2, 2);
    p.restore();
}

QPixmap SettingsDialog::iconRowPixmap(const IconRow& row) const
{
    const qreal dpr = settingsPixelRatio();
    const int side = int(std::lround(46 * dpr));
    const QString ratio = QString::number(dpr, 'f', 2);
    if (row.btnId < 0) {
        if (!row.iconLight.isEmpty()) {
            const QPixmap custom = loadScaledPixmapCached(row.iconLight, QSize(46, 46), QStringLiteral("iconrowprev"), false);
            if (!custom.isNull())
                return custom;
        }
        const QMap<QString, QPixmap>* cache = iconPixmapCache();
        const auto hit = cache->constFind(row.path);
        if (hit == cache->constEnd() || hit->isNull())
            return QPixmap();
        const QString key = QStringLiteral("iconrowshell|%1|46x46|dpr%2").arg(row.path, ratio);
        QPixmap pm;
        if (QPixmapCache::find(key, &pm))
            return pm;
        pm = hit->scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pm.setDevicePixelRatio(dpr);
        QPixmapCache::insert(key, pm);
        return pm;
    }
    const ThemePalette& pal = dialogPalette();
    const QString key = QStringLiteral("iconrowglyph|%1|%2|dpr%3").arg(row.btnId).arg(currentTheme().isDark ? 1 : 0).arg(ratio);
    QPixmap pm;
    if (QPixmapCache::find(key, &pm))
        return pm;
    pm = QPixmap(side, side);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    {
        QPainter g(&pm);
        g.setRenderHint(QPainter::Antialiasing, true);
        g.translate(23, 23);
        g.scale(1.6, 1.6);
        paintUiBtnGlyph(g, row.btnId, QPointF(0, 0), pal.c[kBodyText],
                        row.btnId == kThemeButton ? pal.isDark : false,
                        pal.isDark ? QColor(0x2B, 0x2B, 0x2B) : QColor(0xFC, 0xFC, 0xFE), false);
    }
    QPixmapCache::insert(key, pm);
    return pm;
}

void SettingsDialog::paintButtonsCard(QPainter& p, const QColor& cardColour)
{
    const ThemePalette& pal = dialogPalette();
    const QRect& card = m_layout.buttonsCard;
    if (card.isNull())
        return;
    p.setPen(QPen(pal.c[kControlBorder], 1));
    p.setBrush(cardColour);
    p.drawRoundedRect(settingsOutlineRect(card), 8, 8);
    paintSectionGlyph(p, QPointF(card.left() + 20, card.top() + 23), pal.c[kAccent], 0);
    const QString title = translate(u"界面按钮");
    p.setFont(settingsFont13Bold());
    p.setPen(pal.c[kBodyText]);
    const QRect titleRect(card.left() + 34, card.top() + 13, card.width() - 50, 20);
    p.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, title);
    const int after = card.left() + 34 + QFontMetrics(settingsFont13Bold()).horizontalAdvance(title) + 12;
    p.setFont(settingsFont11());
    p.setPen(pal.c[kSecondaryText]);
    p.drawText(QRect(after, card.top() + 13, card.right() - 16 - after, 20), Qt::AlignLeft | Qt::AlignVCenter,
               translate(u"标题栏与底部栏功能按钮的显示与自定义图标"));

    const QColor tile = settingsTileColour(pal.isDark);
    for (int i = 0; i < m_iconRows.size() && i < m_layout.iconRows.size(); ++i) {
        const IconRow& row = m_iconRows.at(i);
        const QRect& r = m_layout.iconRows.at(i);
        if (!m_paintArea.intersects(r.adjusted(0, -10, 0, 10)))
            continue;
        const int R = r.right();
        const int visibilityWidth = settingsVisibilityColumnWidth();
        const int U = R - (visibilityWidth - 64); // where the upload cells end
        const int b = r.top() + (r.bottom() - r.top() - 27) / 2;
        const int base = settingsid::kIconRowBase + settingsid::kIconRowStride * i;
        p.setPen(Qt::NoPen);
        p.setBrush(tile);
        p.drawRoundedRect(QRectF(r), 6, 6);
        const QPixmap picture = iconRowPixmap(row);
        if (!picture.isNull())
            p.drawPixmap(QRect(r.left() + 8, r.top() + (r.height() - 46) / 2, 46, 46), picture);
        p.setFont(settingsFont13());
        p.setPen(row.hidden ? pal.c[kSecondaryText] : pal.c[kBodyText]);
        p.drawText(QRect(QPoint(r.left() + 64, r.top() + 7), QPoint(U - 384, r.top() + 26)),
                   Qt::AlignLeft | Qt::AlignVCenter, row.title);
        p.setFont(settingsFont11());
        p.setPen(pal.c[kSecondaryText]);
        p.drawText(QRect(QPoint(r.left() + 64, r.top() + 28), QPoint(U - 384, r.top() + 43)),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   row.subtitle + (row.hidden ? translate(u"  · 已隐藏") : QString()));

        const UploadSlotPlace places[] = {{376, u"浅色模式", &row.iconLight, 1, 2},
                     {292, u"深色模式", &row.iconDark, 7, 8},
                     {208, u"悬停图", &row.iconHover, 3, 5},
                     {136, u"按下图", &row.iconActive, 4, 6}};
        for (const UploadSlotPlace& s : places) {
            IconUploadSlot slot;
            slot.pos = QPoint(U - s.fromRight, b);
            slot.label = translate(s.label);
            slot.iconPath = *s.path;
            slot.slotId = base + s.cell;
            slot.removeId = base + s.clearCell;
            // Up to the end of the slot's own cell, short of the next one.
            slot.labelWidth = s.fromRight > 208 ? 45 : 33;
            paintIconUploadSlot(p, pal, tile, settingsFont11(), slot, m_hoverId, m_pressedId);
        }

        const QRect visibility(QPoint(R - visibilityWidth, b), QPoint(R - 1, b + 27));
        const QString visibilityText =
            translate(row.btnId == kSettingsButton ? u"常显" : (row.hidden ? u"显示" : u"隐藏"));
        // The column is narrow: a longer text takes a smaller size first.
        QFont visibilityFont = settingsFont13();
        while (visibilityFont.pixelSize() > 10
               && QFontMetrics(visibilityFont).horizontalAdvance(visibilityText) > visibility.width() - 8)
            visibilityFont.setPixelSize(visibilityFont.pixelSize() - 1);
        const QString shownVisibility =
            QFontMetrics(visibilityFont).elidedText(visibilityText, Qt::ElideRight, visibility.width() - 8);
        p.setFont(visibilityFont);
        if (row.btnId == kSettingsButton) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal.c[kAccentTint]);
            p.drawRoundedRect(QRectF(visibility), 6, 6);
            p.setPen(pal.c[kAccent]);
            p.drawText(visibility, Qt::AlignCenter, shownVisibility);
        } else {
            p.setPen(QPen(pal.c[kControlBorder], 1));
            p.setBrush(controlFill(pal, base, m_hoverId, m_pressedId));
            p.drawRoundedRect(settingsOutlineRect(visibility), 6, 6);
            p.setPen(pal.c[kBodyText]);
            p.drawText(visibility, Qt::AlignCenter, shownVisibility);
        }
    }
}

void SettingsDialog::paintIconList(QPainter& p, const QColor& cardColour)
{
    const ThemePalette& pal = dialogPalette();
    const QColor tile = settingsTileColour(pal.isDark);
    int row = 0;
    for (int gi = 0; gi < m_layout.groupCards.size(); ++gi) {
        const QRect& card = m_layout.groupCards.at(gi);
        const bool hasGroup = m_groups && gi < m_groups->size();
        p.setPen(QPen(pal.c[kControlBorder], 1));
        p.setBrush(cardColour);
        p.drawRoundedRect(settingsOutlineRect(card), 8, 8);
        paintSectionGlyph(p, QPointF(card.left() + 20, card.top() + 23), pal.c[kAccent], 5);
        const QString name = hasGroup ? translate(m_groups->at(gi).name) : translate(u"分组");
        const int count = hasGroup ? int(m_groups->at(gi).items.size()) : 0;
        p.setFont(settingsFont13Bold());
        p.setPen(pal.c[kBodyText]);
        const QFontMetrics bold(settingsFont13Bold());
        const int nameWidth = std::min(bold.horizontalAdvance(name), card.width() - 250);
        p.drawText(QRect(card.left() + 34, card.top() + 13, nameWidth, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   bold.elidedText(name, Qt::ElideRight, nameWidth));
        p.setFont(settingsFont11());
        p.setPen(pal.c[kSecondaryText]);
        p.drawText(QRect(card.left() + 34 + nameWidth + 12, card.top() + 13, 220, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   translate(u"%1 个图标 · 显示与自定义图标").arg(count));
        if (!hasGroup)
            continue;
        const int items = int(m_groups->at(gi).items.size());
        for (int j = 0; j < items; ++j, ++row) {
            if (row >= m_iconRows.size() || row >= m_layout.iconRows.size())
                return;
            const IconRow& ir = m_iconRows.at(row);
            const QRect& r = m_layout.iconRows.at(row);
            if (!m_paintArea.intersects(r.adjusted(0, -10, 0, 10)))
                continue;
            const int R = r.right();
            const int b = r.top() + (r.bottom() - r.top() - 27) / 2;
            const int base = settingsid::kIconRowBase + settingsid::kIconRowStride * row;
            const bool hovered = m_hoverId >= base && m_hoverId <= base + 8;
            p.setPen(Qt::NoPen);
            p.setBrush(hovered ? pal.c[kHover] : tile);
            p.drawRoundedRect(QRectF(r), 6, 6);
            const QRect box(r.left() + 8, r.top() + (r.height() - 24) / 2, 24, 24);
            const QPixmap picture = iconRowPixmap(ir);
            if (picture.isNull()) {
                p.setPen(QPen(pal.c[kSecondaryText], 1));
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(QRectF(box.left() + 0.5, box.top() + 0.5, 23, 23), 5, 5);
            } else {
                p.drawPixmap(settingsFitRect(box, picture.deviceIndependentSize()), picture);
            }
            p.setFont(settingsFont13());
            p.setPen(ir.hidden ? pal.c[kSecondaryText] : pal.c[kBodyText]);
            const QRect nameRect(QPoint(r.left() + 40, r.top()), QPoint(R - 96, r.bottom()));
            const QString text = translate(ir.title) + (ir.hidden ? translate(u"  · 已隐藏") : QString());
            p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                       settingsFont13Metrics().elidedText(text, Qt::ElideRight, nameRect.width()));
            IconUploadSlot slot;
            slot.pos = QPoint(R - 86, b);
            slot.iconPath = ir.iconLight;
            slot.slotId = base + 1;
            slot.removeId = base + 2;
            paintIconUploadSlot(p, pal, tile, settingsFont11(), slot, m_hoverId, m_pressedId);
            const QRect visibility(QPoint(R - 52, b), QPoint(R - 1, b + 27));
            QColor fill = controlFill(pal, base, m_hoverId, m_pressedId);
            if (ir.hidden && base != m_hoverId && base != m_pressedId)
                fill = pal.c[kAccentTint];
            p.setPen(QPen(pal.c[kControlBorder], 1));
            p.setBrush(fill);
            p.drawRoundedRect(settingsOutlineRect(visibility), 6, 6);
            p.setPen(ir.hidden ? pal.c[kAccent] : pal.c[kBodyText]);
            p.drawText(visibility, Qt::AlignCenter, translate(ir.hidden ? u"显示" : u"隐藏"));
        }
    }
}

void SettingsDialog::paintFooter(QPainter& p)
{
    const ThemePalette& pal = dialogPalette();
    p.setFont(settingsFont13());
    paintRowButton(p, m_layout.restoreDefaults, translate(u"恢复默认"), settingsid::kRestoreDefaults, QColor());
    paintRowButton(p, m_layout.cancel, translate(u"取 消"), settingsid::kCancel, QColor());
    QColor fill = pal.c[kAccent];
    if (m_pressedId == settingsid::kOk)
        fill = pal.c[kAccent].darker(115);
    else if (m_hoverId == settingsid::kOk)
        fill = pal.c[kAccentHover];
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(m_layout.ok), 4, 4);
    p.setFont(settingsFont13());
    p.setPen(Qt::white);
    p.drawText(m_layout.ok, Qt::AlignCenter, translate(u"确 定"));
}

void SettingsDialog::noteShortened(const QRect& windowRect, const QString& shown, const QString& whole)
{
    if (shown != whole)
        m_shortenedTexts.append({windowRect, whole});
}
