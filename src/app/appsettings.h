#pragma once

#include "app/configsafety.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QSize>
#include <QString>
#include <QStringList>

// The user's preferences, one plain value record stored in "settings.json".
// Member names are the file's keys. The constructor sets the defaults; the
// loader takes its defaults from a default-constructed record, so both agree.
// The per-button lists (btnVisible, btnIcons*) always hold kUiBtnCount
// entries, indexed by button id.
struct AppSettings {
    static constexpr int kUiBtnCount = 11;

    AppSettings();

    bool startPinned = false;
    bool rememberGeometry = true;
    bool closeToTray = true;
    bool minimizeToTray = true;
    bool autoStart = true;
    int iconSize = 50;
    int iconSizePortrait = 40;
    bool showItemNames = true;
    int cornerRadius = 8;
    int opacity = 100;
    bool darkTheme = false;
    int language = 0;
    bool horizontalGroups = false;
    bool singleClickOpen = true;
    bool edgeSnap = true;
    int snapRevealPx = 1;
    int revealMethod = 1;
    QString summonHotkey;
    bool autoClassify = false;
    int updateChannel = 0;
    QString skippedVersion;
    int titleBarColor = 0;
    int titleBarCustomRgb = 0x2F6FBF;
    int titleBarOpacity = 100;
    int bottomBarColor = 0;
    int bottomBarCustomRgb = 0x2F6FBF;
    int bottomBarOpacity = 100;
    int midColor = 0;
    int midCustomRgb = 0x2F6FBF;
    int midOpacity = 100;
    bool clickThroughAtZero = false;
    QString customTitle;
    QString customLogoPath;
    QString appIconPath;
    QString bgImagePath;
    int bgImageOpacity = 100;
    QString bgImagePortrait;
    int bgImageOpacityPortrait = 100;
    int borderColor = 0;
    int borderCustomRgb = 0xC6C9D2;
    int borderOpacity = 100;
    bool showTitle = true;
    bool showLogo = true;
    int textColor = 0;
    int textCustomRgb = 0x39404C;
    int textOpacity = 100;
    QString fontFamily;
    int dividerColor = 0;
    int dividerCustomRgb = 0xC6C9D2;
    int dividerWidth = 1;
    int dividerOpacity = 50;
    int hoverMode = 1;
    int hoverColor = 0;
    int hoverCustomRgb = 0x2F6FBF;
    int hoverOpacity = 100;
    QList<bool> btnVisible;
    QStringList btnIcons;
    QStringList btnIconsHover;
    QStringList btnIconsActive;
    QStringList btnIconsNight;
    bool showNewGroupBtn = true;
    QList<int> btnLayoutTitle;
    QList<int> btnLayoutBottom;
    bool uiLocked = false;
    QString lockBgPath;
    QString monitorDir;
    int monitorMaxMB = 100;
    int monitorIdleSec = 30;
    int monitorTrigger = 0;
    int monitorFormat = 1;
    int monitorFps = 59;
    int progUnlockEpoch = 0;
    // The account progUnlockEpoch was taken from: the first sync of an
    // account only records its epoch, so an unlock granted before this
    // password existed cannot clear it.
    QString progUnlockEpochUser;
    // The only account whose remote unlock may lift the protection: the one
    // signed in when the protection password was set (empty: none).
    QString progUnlockOwner;
    QString protectPasswordHash;
    QMap<QString, QString> obfuscateMap;
    bool obfuscateEnabled = false;
    bool backupAuto = true;
    int backupIntervalDays = 1;
    int backupRetain = 10;
    QString backupDir;
    QString backupLastAt;
};

// The first `maxUnits` UTF-16 units of `text`, one fewer when the cut would
// split a surrogate pair (an emoji is kept whole or dropped whole).
QString cutToUtf16Units(const QString& text, int maxUnits);

// Reads the button id list under `key`: a missing, non-array or empty value
// leaves `list` alone; otherwise it becomes the ids 0..10 of the array in
// order, each once (non-integers count as -1 and are dropped).
void readButtonLayout(const QJsonObject& obj, const QString& key, QList<int>& list);

// Puts every button id 0..10 into exactly one of the two bars: invalid and
// repeated ids go, the title bar wins an id found in both, the screen-monitor
// and obfuscation buttons (9, 10) return to the bottom bar, every other
// missing id goes back to its home bar. Defaults come out unchanged.
void normalizeButtonLayouts(QList<int>& title, QList<int>& bottom);
void normalizeButtonLayouts(AppSettings& settings);

// Applies a parsed settings object to `settings`: scalars are always
// overwritten (file value or default, clamped), per-button entries and the
// layouts missing from the file keep their current values. Calls setLanguage
// with the loaded language before reading anything else. When "geometry" is
// a pair, `geometry` (may be null) receives it.
void applySettingsObject(const QJsonObject& obj, AppSettings& settings, QSize* geometry);

// The whole record as the file stores it, plus "geometry" [width, height].
// The legacy key "uiPasswordHash" is never written.
QJsonObject settingsToObject(const AppSettings& settings, const QSize& geometry);

// What loadAppSettings found.
struct SettingsLoadResult {
    enum Status {
        Missing,      // nothing at the path: record unchanged
        Unreadable,   // a regular file that cannot be read: set aside
        NotRegular,   // a link, FIFO, folder or device: moved aside as it is
        Empty,        // zero bytes: record unchanged, nothing preserved
        Damaged,      // did not parse: set aside
        NotAnObject,  // valid JSON but not an object: set aside
        Loaded,
    };
    Status status = Missing;
    // For the states that set the file aside: it was moved away. When false
    // it is still in place and saveAppSettings refuses to overwrite it for
    // this run.
    bool preserved = false;
    // Something of the user's was at the path and had to be set aside rather
    // than read: the caller tells the user once.
    bool damaged() const
    {
        return status == Unreadable || status == Damaged || status == NotAnObject
            || status == NotRegular;
    }
    // Loaded, but values of the wrong type were dropped for their defaults.
    // A copy of the file was kept beside it (`preserved`); when none could be
    // written, saveAppSettings refuses to overwrite the file for this run.
    bool partlyRead = false;
    // What to tell the user about a damaged or partly read file.
    ConfigDamageNotice::Damage damage() const
    {
        if (partlyRead)
            return ConfigDamageNotice::Damage::PartlyRead;
        return status == NotRegular ? ConfigDamageNotice::Damage::NotRegular
                                    : ConfigDamageNotice::Damage::Unusable;
    }
    // The interface language differs from the one before the call (the
    // loader has already switched it); a reload announces it with
    // notifyLanguageChanged().
    bool languageChanged = false;
};

// Reads `path` into `settings` (and the window size into `geometry`, may be
// null). A damaged file is moved aside with preserveCorruptConfig; a file
// with values of the wrong type loads the rest and is copied with
// keepCopyOfConfig. Only a regular file of at most kMaxConfigFileBytes is
// read; links are not followed.
//
// MainWindow::loadSettings wraps this: path = cachedAppDataDir() +
// "/settings.json" (recomputed every time); when damaged() it calls
// ConfigDamageNotice::report(File::Settings, preserved, damage()) on the notice it
// shares with the layout loader; on a reload (import, restore) it calls
// notifyLanguageChanged() when languageChanged is set, then its apply step.
SettingsLoadResult loadAppSettings(const QString& path, AppSettings& settings, QSize* geometry);

// What loadAppSettings would not take whole from a file of these bytes (too
// large, not JSON, not an object, a value of the wrong type), as text for
// the log; empty when it would read every value.
QString settingsBytesLoss(const QByteArray& bytes);

// Writes the record and `geometry` to `path` (its folder is created) with
// saveConfigFile. On failure returns false and sets `error` to the
// translated user text to report.
//
// MainWindow::saveSettings wraps this with its settings path member (set on
// first use) and the window's current size, and passes a failure to its
// ConfigSaveFailureReporter::report(path, error).
bool saveAppSettings(const QString& path, const AppSettings& settings, const QSize& geometry,
                     QString* error);
