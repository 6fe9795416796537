#pragma once

#include "settings/settingspagemodel.h"

#include <QList>
#include <QRect>

struct AppSettings;

// Where everything of one page of the settings dialog sits. One layout pass
// produces it; the painter, the input handlers and the child placement only
// read it. Content rectangles are in content coordinates (window y plus the
// scroll offset); the frame's are in window coordinates.

struct HitRect {
    QRect rect;
    int kind = 0;       // settingshit
    int id = 0;         // settingsid
    bool content = false;
};

struct SettingsRowRects {
    QRect row;
    QList<QRect> chips;
};

// The button-icon rows of the appearance page: which cells exist.
struct ButtonRowShape {
    bool hideable = true;
    bool light = false;
    bool dark = false;
    bool hover = false;
    bool active = false;
};

// The item rows of the icons page, grouped.
struct IconListShape {
    QList<int> groupItemCounts;
    QList<bool> itemHasCustomIcon;   // all items of all groups, in order
};

struct SettingsPageLayout {
    int width = 0;
    int height = 0;
    QRect close;
    QRect nav[6];
    QRect restoreDefaults;
    QRect cancel;
    QRect ok;
    QList<HitRect> hits;
    QList<int> sectionTops;
    QList<int> sectionHeights;
    // Per section, per row: the row's rectangle and its chips'.
    QList<QList<SettingsRowRects>> rows;
    // The button-icon card of the appearance page and its rows, or the
    // group cards and item rows of the icons page.
    QRect buttonsCard;
    QList<QRect> groupCards;
    QList<QRect> iconRows;
    int contentTop = 78;
    int contentHeight = 78;
    int maxScroll = 0;
    QRect scrollTrack;
    QRect scrollThumb;
};

namespace settingsgeom {
constexpr int kNavWidth = 152;
constexpr int kContentLeft = 176;
constexpr int kRowLeft = 192;
constexpr int kContentTop = 78;
constexpr int kSectionGap = 13;
constexpr int kTitleAreaHeight = 45;
constexpr int kFooterHeight = 62;
constexpr int kHeaderHeight = 58;
constexpr int kContentPointMinX = 200;
// The visible band of the scrolling content, in window coordinates.
QRect contentViewport(int width, int height);
} // namespace settingsgeom

// The dialog's fixed size for an available screen area (null: no screen).
QSize settingsDialogSize(const QRect& available);

int settingsSectionHeight(const SettingsSection& s);
bool sectionIsWholeCard(const SettingsSection& s);

// The width of a chip sized from the texts it can show (never narrower than
// the model's width), and the room it needs to its left for a caption or a
// picture drawn outside it.
int settingsChipWidth(const SettingsChip& chip);
int settingsChipLeadingRoom(const SettingsChip& chip);
// The width of the button of a button row, from the texts it can show.
int settingsRowButtonWidth(const SettingsRow& row);
// The width of a two-way segmented row control, from its two labels.
// The show/hide column of the button-icon rows, as wide as its widest text.
int settingsVisibilityColumnWidth();
int settingsSegmentedWidth(const SettingsRow& row);

// The chips of a chip row, in chip order, placed right to left.
QList<QRect> placeRowChips(const SettingsRow& row, const QRect& rowRect, bool wholeCard);

// The rows and chips of every section of the model, from the content top.
QList<QList<SettingsRowRects>> buildRowRects(const QList<SettingsSection>& sections, int width);

// The frame: close button, navigation and footer (the footer's hits are
// appended last by finishSettingsLayout).
void layoutSettingsFrame(SettingsPageLayout& l, int width, int height);
// The model's sections with their targets; returns the y after the last
// section.
int layoutSettingsSections(SettingsPageLayout& l, const QList<SettingsSection>& sections, const AppSettings& s);
// The button-icon card of the appearance page below `top`.
void layoutButtonRows(SettingsPageLayout& l, const QList<ButtonRowShape>& rows, int top);
// The group cards and item rows of the icons page.
void layoutIconList(SettingsPageLayout& l, const IconListShape& shape);
// Scroll range, footer hits, scroll bar; returns the scroll offset clamped
// into the new range.
int finishSettingsLayout(SettingsPageLayout& l, int page, int scroll);
// The scroll track and thumb for a scroll offset; pages 0, 1 and 4 have none.
void updateSettingsScrollBar(SettingsPageLayout& l, int page, int scroll);

// The first hit under a window point (content hits only inside the content
// viewport, moved by the scroll offset), or null.
const HitRect* settingsHitAt(const SettingsPageLayout& l, const QPoint& windowPos, int scroll,
                             bool nonZeroKindOnly = true);
// The rectangle of `id`, or null.
QRect settingsHitRect(const SettingsPageLayout& l, int id);
