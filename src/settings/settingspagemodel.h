#pragma once

#include <QList>
#include <QRect>
#include <QString>

struct AppSettings;

// The pages of the settings dialog.
namespace settingspage {
constexpr int kGeneral = 0;
constexpr int kAppearance = 1;
constexpr int kAbout = 2;
constexpr int kIcons = 3;
constexpr int kMonitor = 4;   // no navigation entry; only the screenshot mode shows it
constexpr int kProtect = 5;
constexpr int kBackup = 6;
constexpr int kCount = 7;
// The navigation column's entries, top to bottom.
constexpr int kNavOrder[6] = {kGeneral, kAppearance, kIcons, kProtect, kBackup, kAbout};
} // namespace settingspage

// Element ids shared by the layout, the painter and the input handlers.
namespace settingsid {
constexpr int kNone = -1;
constexpr int kClose = 1;
constexpr int kRestoreDefaults = 2;
constexpr int kCancel = 3;
constexpr int kOk = 4;
constexpr int kRevealMethod = 5;
constexpr int kTitleBarColour = 6;
constexpr int kBottomBarColour = 7;
constexpr int kMidColour = 8;
constexpr int kHotkeyRow = 9;
constexpr int kNavBase = 10;          // + page
constexpr int kSwitchBase = 50;       // + switch number
constexpr int kSegmentBase = 100;     // + 2 * segmented row + segment
constexpr int kBorderColour = 120;
constexpr int kLogoChoose = 121;
constexpr int kLogoRestore = 122;
constexpr int kLogoClear = 123;
constexpr int kBackgroundChoose = 124;
constexpr int kBackgroundClear = 126;
constexpr int kPortraitBackgroundChoose = 127;
constexpr int kPortraitBackgroundClear = 128;
constexpr int kTextColour = 129;
constexpr int kDividerColour = 132;
constexpr int kHoverColour = 133;
constexpr int kPlainButtonBase = 150;
constexpr int kAboutFirst = 200;
constexpr int kAboutLast = 222;
constexpr int kLockBackgroundChoose = 233;
constexpr int kLockBackgroundRestore = 234;
constexpr int kMonitorDirChoose = 235;
constexpr int kMonitorDirOpen = 236;
constexpr int kMonitorTrigger = 237;
constexpr int kProtectPassword = 240;
constexpr int kBackupFirst = 300;
constexpr int kBackupLast = 308;
constexpr int kIconRowBase = 1000;    // + 16 * row + cell
constexpr int kIconRowStride = 16;
constexpr int kProtectRowBase = 10000; // + 2 * row + column
constexpr int kSnapshotRestoreBase = 20000;
constexpr int kSnapshotDeleteBase = 21000;
} // namespace settingsid

// Switch numbers (element kSwitchBase + n).
namespace settingsswitch {
constexpr int kStartPinned = 0;
constexpr int kRememberGeometry = 1;
constexpr int kCloseToTray = 2;
constexpr int kMinimizeToTray = 3;
constexpr int kAutoStart = 4;
constexpr int kShowItemNames = 5;
constexpr int kEdgeSnap = 6;
constexpr int kAutoClassify = 8;
constexpr int kClickThroughAtZero = 12;
constexpr int kShowTitle = 13;
constexpr int kShowLogo = 14;
constexpr int kShowNewGroupBtn = 16;
} // namespace settingsswitch

// The flag a switch number edits; null for numbers without one.
bool* settingsSwitchFlag(AppSettings& s, int n);
bool settingsSwitchValue(const AppSettings& s, int n);

// Segmented rows: 0 theme, 1 group layout, 2 open mode, 3 hover mode,
// 4 language, 5 recording format. Left segment 0, right 1.
namespace settingssegment {
constexpr int kTheme = 0;
constexpr int kGroupLayout = 1;
constexpr int kOpenMode = 2;
constexpr int kHoverMode = 3;
constexpr int kLanguage = 4;
constexpr int kMonitorFormat = 5;
constexpr int kCount = 6;
} // namespace settingssegment

// The two labels of a segmented row (untranslated).
const char16_t* settingsSegmentLabel(int row, int segment);

// Chip types of a chip row.
namespace settingschip {
constexpr int kSlider = 0;
constexpr int kColour = 1;
constexpr int kButton = 2;
constexpr int kSwitch = 3;
constexpr int kTitleEditor = 4;
constexpr int kValueText = 5;
constexpr int kFontCombo = 6;
} // namespace settingschip

// Row kinds.
namespace settingsrow {
constexpr int kSwitch = 0;
constexpr int kSegmented = 1;
constexpr int kButton = 2;
constexpr int kValueText = 3;
constexpr int kSlider = 4;
constexpr int kHotkey = 5;
constexpr int kTitleEditor = 6;
constexpr int kChips = 8;
} // namespace settingsrow

// Hit kinds; 0 is never stored.
namespace settingshit {
constexpr int kNavigation = 1;   // navigation entries and the close button
constexpr int kSwitch = 2;
constexpr int kSegment = 3;
constexpr int kButton = 4;
} // namespace settingshit

struct SettingsChip {
    const char16_t* text = nullptr;   // may be null
    int type = 0;
    int id = 0;
    int width = 0;                    // 0 for the font combo box, which takes the free space
};

struct SettingsRow {
    const char16_t* title = nullptr;
    const char16_t* description = nullptr;
    int kind = 0;
    int id = 0;
    QList<SettingsChip> chips;
    bool wholeCard = false;
};

struct SettingsSection {
    const char16_t* title = nullptr;
    const char16_t* description = nullptr;
    QList<SettingsRow> rows;
    int glyph = 0;
    int ownHeight = 46;
};

SettingsRow makeChipRow(const char16_t* title, const char16_t* description, const QList<SettingsChip>& chips);

// Rebuilds `out` with the sections of `page`; pages without a model give an
// empty list. Reads only hoverMode and lockBgPath of the settings.
void buildPageModel(int page, const AppSettings& settings, QList<SettingsSection>& out);

// The slider number a chip or slider row refers to maps to the settings
// field below; other numbers have no slider.
constexpr int kSliderCount = 18;
struct SliderSpec {
    int min;
    int max;
    int kind;          // SliderWidget::Kind
    bool preview;      // the change is shown on the panel at once
};
const SliderSpec& sliderSpec(int number);
int* sliderField(AppSettings& s, int number);
int sliderFieldValue(const AppSettings& s, int number);

// Option labels (untranslated); indexes are clamped into the table.
const char16_t* colourModeLabel(int mode);
const char16_t* revealMethodLabel(int method);     // the short caption of the button
const char16_t* revealMethodMenuLabel(int method); // the menu entry
const char16_t* monitorTriggerLabel(int trigger);
// The page's header title (untranslated).
const char16_t* settingsPageTitle(int page);
// The navigation entry's label (untranslated).
const char16_t* settingsNavLabel(int page);
