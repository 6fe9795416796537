#include "settings/settingslayout.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "settings/settingsstyle.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {

using namespace settingsgeom;

int rowRight(int width) { return width - 41; }

int widestAdvance(const QList<const char16_t*>& texts)
{
    int widest = 0;
    for (const char16_t* t : texts)
        widest = std::max(widest, settingsFont13Metrics().horizontalAdvance(translate(t)));
    return widest;
}

bool flexibleChip(const SettingsChip& chip, bool wholeCard)
{
    return chip.type == settingschip::kFontCombo || (chip.type == settingschip::kValueText && !wholeCard);
}

bool hasSliderChip(const SettingsRow& row)
{
    return std::any_of(row.chips.cbegin(), row.chips.cend(),
                       [](const SettingsChip& c) { return c.type == settingschip::kSlider; });
}

QList<SettingsRowRects> sectionRowRects(const SettingsSection& s, int top, int h, int right)
{
    QList<SettingsRowRects> out;
    const bool whole = sectionIsWholeCard(s);
    int y = top + 42;
    for (const SettingsRow& row : s.rows) {
        SettingsRowRects rr;
        const bool chipRow = row.kind == settingsrow::kChips;
        if (whole) {
            const int t = top + (chipRow && hasSliderChip(row) && h >= 43 ? 3 : 0);
            rr.row = settingsRect(kRowLeft, t, right, top + h - 1);
        } else {
            rr.row = settingsRect(kRowLeft, y, right, y + (chipRow ? 45 : 33));
            y += chipRow ? 48 : 36;
        }
        if (chipRow)
            rr.chips = placeRowChips(row, rr.row, whole);
        out.append(rr);
    }
    return out;
}

int colourChipElementId(int chipId)
{
    switch (chipId) {
    case 9: return settingsid::kTitleBarColour;
    case 10: return settingsid::kBottomBarColour;
    case 11: return settingsid::kMidColour;
    case 15: return settingsid::kDividerColour;
    case 17: return settingsid::kHoverColour;
    case 120: return settingsid::kBorderColour;
    case 129: return settingsid::kTextColour;
    default: return settingsid::kNone;
    }
}

int rowButtonElementId(int rowId, int& plainButtons)
{
    switch (rowId) {
    case 7: return settingsid::kRevealMethod;
    case 9: return settingsid::kTitleBarColour;
    case 10: return settingsid::kBottomBarColour;
    case 11: return settingsid::kMidColour;
    case 18: return settingsid::kMonitorTrigger;
    default: break;
    }
    if ((rowId >= 120 && rowId <= 132) || rowId == 231)
        return rowId;
    return settingsid::kPlainButtonBase + plainButtons++;
}

void addHit(SettingsPageLayout& l, const QRect& r, int kind, int id, bool content)
{
    l.hits.append(HitRect{r, kind, id, content});
}

void addRowTargets(SettingsPageLayout& l, const SettingsRow& row, const SettingsRowRects& rr, bool whole,
                   const AppSettings& s, int& plainButtons)
{
    const QRect& r = rr.row;
    const int right = r.right();
    const int top = r.top();
    const int bottom = r.bottom();
    switch (row.kind) {
    case settingsrow::kSwitch: {
        const int t = top + (bottom - top - 19) / 2;
        addHit(l, settingsRect(right - 52, t, right - 13, t + 19), settingshit::kSwitch, settingsid::kSwitchBase + row.id, true);
        break;
    }
    case settingsrow::kSegmented: {
        const int w = settingsSegmentedWidth(row);
        const int segTop = whole ? top + (bottom - top - 27) / 2 : top + 3;
        for (int i = 0; i < 2; ++i) {
            const int left = right - w + i * w / 2;
            addHit(l, settingsRect(left, segTop, left + w / 2 - 1, segTop + 27), settingshit::kSegment,
                   settingsid::kSegmentBase + 2 * row.id + i, true);
        }
        break;
    }
    case settingsrow::kButton:
        addHit(l, settingsRect(right - settingsRowButtonWidth(row), top + 2, right - 1, top + 31), settingshit::kButton,
               rowButtonElementId(row.id, plainButtons), true);
        break;
    case settingsrow::kHotkey:
        addHit(l, settingsRect(322, top, right - 120, bottom), settingshit::kButton, settingsid::kHotkeyRow, true);
        break;
    case settingsrow::kChips:
        for (int k = 0; k < row.chips.size() && k < rr.chips.size(); ++k) {
            const SettingsChip& chip = row.chips.at(k);
            const QRect& c = rr.chips.at(k);
            switch (chip.type) {
            case settingschip::kSwitch: {
                int left = c.left();
                if (chip.text)
                    left -= settingsFont13Metrics().horizontalAdvance(translate(chip.text)) + 8;
                addHit(l, settingsRect(left, c.top(), c.right(), c.bottom()), settingshit::kSwitch,
                       settingsid::kSwitchBase + chip.id, true);
                break;
            }
            case settingschip::kColour: {
                const int id = colourChipElementId(chip.id);
                if (id != settingsid::kNone)
                    addHit(l, c, settingshit::kButton, id, true);
                break;
            }
            case settingschip::kButton: {
                // The clear dots overlap their chips: listed first, they win the hit test.
                const int dotTop = c.top() + (c.bottom() - c.top() - 35) / 2;
                if (chip.id == settingsid::kLogoChoose && !s.customLogoPath.isEmpty())
                    addHit(l, settingsRect(c.left() + 14, c.top() - 7, c.left() + 35, c.top() + 14), settingshit::kButton,
                           settingsid::kLogoClear, true);
                if (chip.id == settingsid::kBackgroundChoose && !s.bgImagePath.isEmpty())
                    addHit(l, settingsRect(c.left() - 24, dotTop - 1, c.left() - 9, dotTop + 14), settingshit::kButton,
                           settingsid::kBackgroundClear, true);
                if (chip.id == settingsid::kPortraitBackgroundChoose && !s.bgImagePortrait.isEmpty())
                    addHit(l, settingsRect(c.left() - 24, dotTop - 1, c.left() - 9, dotTop + 14), settingshit::kButton,
                           settingsid::kPortraitBackgroundClear, true);
                addHit(l, c, settingshit::kButton, chip.id, true);
                break;
            }
            default: break;
            }
        }
        break;
    default: break;
    }
}

} // namespace

QRect settingsgeom::contentViewport(int width, int height) { return QRect(160, 58, width - 168, height - 120); }

QSize settingsDialogSize(const QRect& available)
{
    if (available.isNull())
        return QSize(780, 800);
    const int w = std::max(320, available.width());
    const int h = std::max(200, available.height());
    // English words run longer than Chinese ones: the dialog takes more of
    // the screen rather than cut them.
    const int width = std::min(isEnglish() ? 900 : 780, w - 16);
    int height;
    if (h - 72 > 800)
        height = 800;
    else if (h - 8 <= 360)
        height = h - 8;
    else
        height = std::max(360, h - 72);
    return QSize(width, height);
}

bool sectionIsWholeCard(const SettingsSection& s)
{
    return !s.rows.isEmpty()
        && std::all_of(s.rows.cbegin(), s.rows.cend(), [](const SettingsRow& r) { return r.wholeCard; });
}

int settingsSectionHeight(const SettingsSection& s)
{
    if (s.rows.isEmpty())
        return 45;
    if (sectionIsWholeCard(s))
        return s.ownHeight < 1 ? 46 : s.ownHeight;
    int h = 45;
    for (const SettingsRow& r : s.rows)
        h += r.kind == settingsrow::kChips ? 48 : 36;
    return h;
}

int settingsChipWidth(const SettingsChip& chip)
{
    int needed = 0;
    switch (chip.type) {
    case settingschip::kSlider:
    case settingschip::kSwitch:
    case settingschip::kTitleEditor:
    case settingschip::kFontCombo:
    case settingschip::kValueText:
        return chip.width;
    case settingschip::kColour:
        // Swatch, gap and name.
        needed = widestAdvance({colourModeLabel(0), colourModeLabel(1), colourModeLabel(2), colourModeLabel(3),
                                colourModeLabel(4), colourModeLabel(5), colourModeLabel(6)}) + 32;
        break;
    default:
        switch (chip.id) {
        case settingsid::kBackgroundChoose:
        case settingsid::kPortraitBackgroundChoose:
        case settingsid::kLockBackgroundChoose:
            needed = widestAdvance({u"选择背景", u"更换背景"}) + 24;
            break;
        case settingsid::kLogoChoose:
            // The chosen logo sits in front of the text.
            needed = widestAdvance({u"选择图片", u"更换图片"}) + 24 + 30;
            break;
        default:
            needed = chip.text ? widestAdvance({chip.text}) + 24 : 0;
            break;
        }
        break;
    }
    return std::max(chip.width, needed);
}

int settingsChipLeadingRoom(const SettingsChip& chip)
{
    int room = 0;
    // A switch's caption is drawn to its left, 8 px away.
    if (chip.type == settingschip::kSwitch && chip.text)
        room += settingsFont13Metrics().horizontalAdvance(translate(chip.text));
    // The thumbnail of a chosen background, 72 px left of its button.
    if (chip.id == settingsid::kBackgroundChoose || chip.id == settingsid::kPortraitBackgroundChoose)
        room += 64;
    return room;
}

int settingsVisibilityColumnWidth()
{
    return std::max(64, widestAdvance({u"常显", u"显示", u"隐藏"}) + 16);
}

int settingsSegmentedWidth(const SettingsRow& row)
{
    const int base = row.id == settingssegment::kHoverMode ? 218 : 200;
    // Each half holds its label with 12 px on either side.
    const int half = widestAdvance({settingsSegmentLabel(row.id, 0), settingsSegmentLabel(row.id, 1)}) + 24 + 4;
    return std::max(base, 2 * half);
}

int settingsRowButtonWidth(const SettingsRow& row)
{
    int text = 0;
    int extra = 24;
    switch (row.id) {
    case 7:
        text = widestAdvance({revealMethodLabel(0), revealMethodLabel(1), revealMethodLabel(2), revealMethodLabel(3),
                              revealMethodLabel(4)});
        break;
    case 9:
    case 10:
    case 11:
    case 120:
    case 129:
        text = widestAdvance({colourModeLabel(0), colourModeLabel(1), colourModeLabel(2), colourModeLabel(3),
                              colourModeLabel(4), colourModeLabel(5), colourModeLabel(6)});
        extra = 64; // the swatch
        break;
    case 18: text = widestAdvance({monitorTriggerLabel(0), monitorTriggerLabel(1), monitorTriggerLabel(2)}); break;
    case 121:
    case 124: text = widestAdvance({u"选择图片", u"更换图片"}); break;
    default: text = row.title ? widestAdvance({row.title}) : 0; break;
    }
    return std::max(120, text + extra);
}

QList<QRect> placeRowChips(const SettingsRow& row, const QRect& rowRect, bool wholeCard)
{
    const int n = int(row.chips.size());
    QList<QRect> out(n);
    const int top = rowRect.top() + (rowRect.bottom() - rowRect.top() - 27) / 2;
    const int left = rowRect.left();
    // A row with its own title keeps room for it when a chip stretches.
    const int titleRoom = !wholeCard && row.title
                            ? settingsFont13Metrics().horizontalAdvance(translate(row.title)) + 16
                            : (wholeCard ? 82 : 0);
    int x = rowRect.right() + 1;
    for (int k = n - 1; k >= 0; --k) {
        const SettingsChip& chip = row.chips.at(k);
        int w = settingsChipWidth(chip);
        if (flexibleChip(chip, wholeCard)) {
            int before = 0;
            for (int j = 0; j < k; ++j)
                if (!flexibleChip(row.chips.at(j), wholeCard))
                    before += settingsChipWidth(row.chips.at(j)) + settingsChipLeadingRoom(row.chips.at(j));
            w = std::max(chip.type == settingschip::kFontCombo ? 120 : chip.width,
                         x - left - before - 12 * k - titleRoom);
        }
        out[k] = QRect(x - w, top, w, 28);
        x -= w + 12 + settingsChipLeadingRoom(chip);
    }
    if (wholeCard && n > 0 && row.chips.first().type == settingschip::kValueText && out[0].left() < left + 82) {
        const int narrowed = std::min(left + 82, out[0].right() - 39);
        out[0].setLeft(std::max(out[0].left(), narrowed));
    }
    return out;
}

QList<QList<SettingsRowRects>> buildRowRects(const QList<SettingsSection>& sections, int width)
{
    QList<QList<SettingsRowRects>> out;
    int y = kContentTop;
    for (const SettingsSection& s : sections) {
        const int h = settingsSectionHeight(s);
        out.append(sectionRowRects(s, y, h, rowRight(width)));
        y += h + kSectionGap;
    }
    return out;
}

void layoutSettingsFrame(SettingsPageLayout& l, int width, int height)
{
    l = SettingsPageLayout();
    l.width = width;
    l.height = height;
    l.close = settingsRect(width - 44, 6, width - 11, 37);
    addHit(l, l.close, settingshit::kNavigation, settingsid::kClose, false);
    for (int j = 0; j < 6; ++j) {
        l.nav[j] = settingsRect(10, 58 + 46 * j, 141, 95 + 46 * j);
        addHit(l, l.nav[j], settingshit::kNavigation, settingsid::kNavBase + settingspage::kNavOrder[j], false);
    }
}

int layoutSettingsSections(SettingsPageLayout& l, const QList<SettingsSection>& sections, const AppSettings& s)
{
    int y = kContentTop;
    int plainButtons = 0;
    for (const SettingsSection& section : sections) {
        const int h = settingsSectionHeight(section);
        const bool whole = sectionIsWholeCard(section);
        l.sectionTops.append(y);
        l.sectionHeights.append(h);
        const QList<SettingsRowRects> rows = sectionRowRects(section, y, h, rowRight(l.width));
        for (int i = 0; i < section.rows.size(); ++i)
            addRowTargets(l, section.rows.at(i), rows.at(i), whole, s, plainButtons);
        l.rows.append(rows);
        y += h + kSectionGap;
    }
    l.contentHeight = y;
    return y;
}

void layoutButtonRows(SettingsPageLayout& l, const QList<ButtonRowShape>& rows, int top)
{
    const int w = l.width - 200;
    const int r = rowRight(l.width);
    const int visibility = settingsVisibilityColumnWidth();
    // The upload cells stand left of the show/hide column, however wide it is.
    const int u = r - (visibility - 64);
    const int n = std::min(int(rows.size()), 11);
    l.buttonsCard = settingsRect(kContentLeft, top, w + 175, top + 56 * n + 57);
    for (int i = 0; i < n; ++i) {
        const QRect row = settingsRect(kRowLeft, top + 46 + 56 * i, r, top + 93 + 56 * i);
        l.iconRows.append(row);
        const int b = row.top() + (row.bottom() - row.top() - 27) / 2;
        const int base = settingsid::kIconRowBase + settingsid::kIconRowStride * i;
        const ButtonRowShape& shape = rows.at(i);
        auto dot = [&](int right, int cell) {
            addHit(l, settingsRect(u - right, b - 9, u - right + 23, b + 14), settingshit::kButton, base + cell, true);
        };
        if (shape.light)
            dot(364, 2);
        if (shape.dark)
            dot(280, 8);
        if (shape.hover)
            dot(196, 5);
        if (shape.active)
            dot(124, 6);
        auto cell = [&](int fromRight, int toRight, int cellNo) {
            addHit(l, settingsRect(u - fromRight, b, u - toRight, b + 27), settingshit::kButton, base + cellNo, true);
        };
        if (shape.hideable)
            addHit(l, settingsRect(r - visibility, b, r - 1, b + 27), settingshit::kButton, base, true);
        cell(136, 71, 4);
        cell(208, 143, 3);
        cell(292, 215, 7);
        cell(376, 299, 1);
    }
    l.contentHeight = l.buttonsCard.bottom() + 12;
}

void layoutIconList(SettingsPageLayout& l, const IconListShape& shape)
{
    const int w = l.width - 200;
    const int g = (w - 48) / 2;
    if (shape.groupItemCounts.isEmpty()) {
        l.groupCards.append(settingsRect(kContentLeft, kContentTop, w + 175, 175));
        l.contentHeight = 187;
        return;
    }
    int d = kContentTop;
    int e = d;
    int row = 0;
    for (int items : shape.groupItemCounts) {
        e = items < 3 ? d + 98 : d + 50 + 48 * ((items + 1) / 2);
        l.groupCards.append(settingsRect(kContentLeft, d, w + 175, e - 1));
        for (int j = 0; j < items; ++j, ++row) {
            const int x = j % 2 == 0 ? kRowLeft : kRowLeft + g + 16;
            const QRect rect(x, d + 46 + 48 * (j / 2), g, 40);
            l.iconRows.append(rect);
            const int c = rect.right();
            const int b = rect.top() + (rect.bottom() - rect.top() - 27) / 2;
            const int base = settingsid::kIconRowBase + settingsid::kIconRowStride * row;
            if (row < shape.itemHasCustomIcon.size() && shape.itemHasCustomIcon.at(row))
                addHit(l, settingsRect(c - 74, b - 9, c - 51, b + 14), settingshit::kButton, base + 2, true);
            addHit(l, settingsRect(c - 52, b, c - 1, b + 27), settingshit::kButton, base + 0, true);
            addHit(l, settingsRect(c - 86, b, c - 59, b + 27), settingshit::kButton, base + 1, true);
        }
        d = e + 15;
    }
    l.contentHeight = e + 27;
}

int finishSettingsLayout(SettingsPageLayout& l, int page, int scroll)
{
    const int width = l.width;
    const int height = l.height;
    l.maxScroll = l.contentHeight - height + kFooterHeight;
    scroll = l.maxScroll <= 0 ? 0 : std::clamp(scroll, 0, l.maxScroll);
    const QFontMetrics& fm = settingsFont13Metrics();
    const auto buttonWidth = [&fm](const char16_t* text, int least) {
        return std::max(least, fm.horizontalAdvance(translate(text)) + 24);
    };
    const int okWidth = buttonWidth(u"确 定", 110);
    const int cancelWidth = buttonWidth(u"取 消", 110);
    l.restoreDefaults = QRect(20, height - 54, buttonWidth(u"恢复默认", 118), 34);
    l.ok = QRect(width - 20 - okWidth, height - 54, okWidth, 34);
    l.cancel = QRect(l.ok.left() - 12 - cancelWidth, height - 54, cancelWidth, 34);
    addHit(l, l.restoreDefaults, settingshit::kButton, settingsid::kRestoreDefaults, false);
    addHit(l, l.cancel, settingshit::kButton, settingsid::kCancel, false);
    addHit(l, l.ok, settingshit::kButton, settingsid::kOk, false);
    updateSettingsScrollBar(l, page, scroll);
    return scroll;
}

void updateSettingsScrollBar(SettingsPageLayout& l, int page, int scroll)
{
    l.scrollTrack = QRect();
    l.scrollThumb = QRect();
    const bool hasBar = page == settingspage::kAbout || page == settingspage::kIcons || page == settingspage::kProtect
                     || page == settingspage::kBackup;
    if (!hasBar || l.maxScroll <= 0 || l.height < 121)
        return;
    const int height = l.height;
    const int width = l.width;
    l.scrollTrack = settingsRect(width - 20, 58, width - 4, height - 63);
    const double content = std::max(1, l.contentHeight);
    const int length = std::max(28, int(std::lround(double(height - 120) * double(height - 120) / content)));
    const int s = std::clamp(scroll, 0, l.maxScroll);
    const int g = int(std::lround(double(height - length - 120) * s / l.maxScroll));
    l.scrollThumb = settingsRect(width - 17, 58 + g, width - 7, 57 + g + length);
}

const HitRect* settingsHitAt(const SettingsPageLayout& l, const QPoint& windowPos, int scroll, bool nonZeroKindOnly)
{
    const QRect viewport = settingsgeom::contentViewport(l.width, l.height);
    const bool inViewport = viewport.contains(windowPos);
    const QPoint contentPos = windowPos + QPoint(0, scroll);
    for (const HitRect& h : l.hits) {
        if (nonZeroKindOnly && h.kind == 0)
            continue;
        if (h.content) {
            if (inViewport && h.rect.contains(contentPos))
                return &h;
        } else if (h.rect.contains(windowPos)) {
            return &h;
        }
    }
    return nullptr;
}

QRect settingsHitRect(const SettingsPageLayout& l, int id)
{
    for (const HitRect& h : l.hits)
        if (h.id == id)
            return h.rect;
    return QRect();
}
