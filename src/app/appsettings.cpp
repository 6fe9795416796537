#include "app/appsettings.h"

#include "app/configsafety.h"
#include "app/lang.h"
#include "platform/regularfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace {

constexpr int kMaxTitleUnits = 24;
constexpr int kMaxUiBtnId = AppSettings::kUiBtnCount - 1;

int clampInt(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

bool validId(int id) { return id >= 0 && id <= kMaxUiBtnId; }

QJsonArray toArray(const QList<bool>& list)
{
    QJsonArray a;
    for (bool b : list)
        a.append(b);
    return a;
}

QJsonArray toArray(const QStringList& list)
{
    QJsonArray a;
    for (const QString& s : list)
        a.append(s);
    return a;
}

QJsonArray toArray(const QList<int>& list)
{
    QJsonArray a;
    for (int v : list)
        a.append(v);
    return a;
}

void readIconList(const QJsonObject& obj, const QString& key, QStringList& list)
{
    const QJsonArray a = obj.value(key).toArray();
    const int n = std::min<int>(a.size(), AppSettings::kUiBtnCount);
    for (int i = 0; i < n; ++i)
        list[i] = a.at(i).toString();
}

// Removes later repeats and, when `other` is given, ids the other bar holds.
void keepFirstValid(QList<int>& list, const QList<int>* other)
{
    for (int i = list.size() - 1; i >= 0; --i) {
        const int id = list.at(i);
        const bool drop = !validId(id)
            || (other && other->contains(id))
            || list.indexOf(id) < i;
        if (drop)
            list.removeAt(i);
    }
}

// The first value of `o` that the loader drops because of its type, as text
// for the log; empty when there is none. The types are those the saver
// writes. A null carries nothing to lose.
QString firstValueOfWrongType(const QJsonObject& o)
{
    static const QJsonObject shapes = [] {
        QJsonObject proto = settingsToObject(AppSettings(), QSize(0, 0));
        proto.insert(QStringLiteral("uiPasswordHash"), QString());
        return proto;
    }();
    const auto fits = [](const QJsonValue& v, const QJsonValue& shape) {
        if (v.isNull() || v.type() == shape.type()) {
            // Numbers are read as integers: 2.5 or 1e12 fall back to the default.
            return !v.isDouble() || double(v.toInt()) == v.toDouble();
        }
        return false;
    };
    for (auto it = o.begin(); it != o.end(); ++it) {
        const auto shape = shapes.constFind(it.key());
        if (shape == shapes.constEnd())
            continue;
        if (!fits(it.value(), *shape))
            return QStringLiteral("\"%1\" has the wrong type").arg(it.key());
        if (!shape->isArray() || !it.value().isArray())
            continue;
        const QJsonValue element = shape->toArray().first();
        for (const QJsonValue& v : it.value().toArray()) {
            if (!fits(v, element))
                return QStringLiteral("an entry of \"%1\" has the wrong type").arg(it.key());
        }
    }
    return QString();
}

} // namespace

AppSettings::AppSettings()
    : summonHotkey(QStringLiteral("Ctrl+Alt+G")),
      btnVisible(kUiBtnCount, true),
      btnLayoutTitle{0, 1, 2, 3, 4},
      btnLayoutBottom{10, 9, 8, 7, 6, 5}
{
    for (QStringList* list : {&btnIcons, &btnIconsHover, &btnIconsActive, &btnIconsNight}) {
        for (int i = 0; i < kUiBtnCount; ++i)
            list->append(QString());
    }
}

QString cutToUtf16Units(const QString& text, int maxUnits)
{
    if (maxUnits <= 0)
        return QString();
    if (text.size() <= maxUnits)
        return text;
    int n = maxUnits;
    if (text.at(n - 1).isHighSurrogate() && text.at(n).isLowSurrogate())
        --n;
    return text.left(n);
}

void readButtonLayout(const QJsonObject& obj, const QString& key, QList<int>& list)
{
    const QJsonArray a = obj.value(key).toArray();
    if (a.isEmpty())
        return;
    list.clear();
    for (const QJsonValue& v : a) {
        const int id = v.toInt(-1);
        if (validId(id) && !list.contains(id))
            list.append(id);
    }
}

void normalizeButtonLayouts(QList<int>& title, QList<int>& bottom)
{
    title.removeAll(-1);
    bottom.removeAll(-1);
    keepFirstValid(title, nullptr);
    keepFirstValid(bottom, &title);

    // The screen-monitor button belongs to the bottom bar unless the user put
    // it in the title bar; never in both.
    if (!bottom.contains(9) && !title.contains(9)) {
        const int at = bottom.indexOf(8);
        bottom.insert(at >= 0 ? at : 0, 9);
    }
    if (!title.contains(10) && !bottom.contains(10)) {
        const int at = bottom.indexOf(9);
        bottom.insert(at >= 0 ? at : 0, 10);
    }
    for (int id = 0; id <= kMaxUiBtnId; ++id) {
        if (title.contains(id) || bottom.contains(id))
            continue;
        if (id == 8)
            bottom.insert(0, id);
        else if (id <= 4)
            title.append(id);
        else
            bottom.append(id);
    }
}

void normalizeButtonLayouts(AppSettings& s)
{
    normalizeButtonLayouts(s.btnLayoutTitle, s.btnLayoutBottom);
}

void applySettingsObject(const QJsonObject& o, AppSettings& s, QSize* geometry)
{
    const AppSettings d;
    const auto b = [&o](const char* key, bool def) { return o.value(QLatin1String(key)).toBool(def); };
    const auto i = [&o](const char* key, int def) { return o.value(QLatin1String(key)).toInt(def); };
    const auto str = [&o](const char* key, const QString& def) {
        return o.value(QLatin1String(key)).toString(def);
    };
    const auto clamped = [&i](const char* key, int def, int lo, int hi) { return clampInt(i(key, def), lo, hi); };
    const auto rgb = [&i](const char* key, int def) { return i(key, def) & 0xFFFFFF; };
    const auto flag = [&i](const char* key, int def) { return i(key, def) > 0 ? 1 : 0; };

    // First, so that every text produced from here on is in the chosen language.
    s.language = flag("language", d.language);
    setLanguage(s.language);

    s.startPinned = b("startPinned", d.startPinned);
    s.rememberGeometry = b("rememberGeometry", d.rememberGeometry);
    s.closeToTray = b("closeToTray", d.closeToTray);
    s.minimizeToTray = b("minimizeToTray", d.minimizeToTray);
    s.autoStart = b("autoStart", d.autoStart);
    s.iconSize = clamped("iconSize", d.iconSize, 32, 96);
    s.iconSizePortrait = clamped("iconSizePortrait", d.iconSizePortrait, 32, 60);
    s.showItemNames = b("showItemNames", d.showItemNames);
    s.cornerRadius = clamped("cornerRadius", d.cornerRadius, 0, 24);
    s.opacity = clamped("opacity", d.opacity, 0, 100);
    s.darkTheme = b("darkTheme", d.darkTheme);
    s.horizontalGroups = b("horizontalGroups", d.horizontalGroups);
    s.singleClickOpen = b("singleClickOpen", d.singleClickOpen);
    s.edgeSnap = b("edgeSnap", d.edgeSnap);
    s.snapRevealPx = clamped("snapRevealPx", d.snapRevealPx, 0, 24);
    s.revealMethod = clamped("revealMethod", d.revealMethod, 0, 4);
    s.summonHotkey = str("summonHotkey", d.summonHotkey);
    s.autoClassify = b("autoClassify", d.autoClassify);
    s.updateChannel = flag("updateChannel", d.updateChannel);
    s.skippedVersion = str("skippedVersion", d.skippedVersion);
    s.titleBarColor = clamped("titleBarColor", d.titleBarColor, 0, 6);
    s.titleBarCustomRgb = rgb("titleBarCustomRgb", d.titleBarCustomRgb);
    s.titleBarOpacity = clamped("titleBarOpacity", d.titleBarOpacity, 0, 100);
    s.bottomBarColor = clamped("bottomBarColor", d.bottomBarColor, 0, 6);
    s.bottomBarCustomRgb = rgb("bottomBarCustomRgb", d.bottomBarCustomRgb);
    s.bottomBarOpacity = clamped("bottomBarOpacity", d.bottomBarOpacity, 0, 100);
    s.midColor = clamped("midColor", d.midColor, 0, 6);
    s.midCustomRgb = rgb("midCustomRgb", d.midCustomRgb);
    s.midOpacity = clamped("midOpacity", d.midOpacity, 0, 100);
    s.clickThroughAtZero = b("clickThroughAtZero", d.clickThroughAtZero);
    s.customTitle = cutToUtf16Units(str("customTitle", d.customTitle), kMaxTitleUnits);
    s.customLogoPath = str("customLogoPath", d.customLogoPath);
    s.appIconPath = str("appIconPath", d.appIconPath);
    s.bgImagePath = str("bgImagePath", d.bgImagePath);
    s.bgImageOpacity = clamped("bgImageOpacity", d.bgImageOpacity, 0, 100);
    s.bgImagePortrait = str("bgImagePortrait", d.bgImagePortrait);
    s.bgImageOpacityPortrait = clamped("bgImageOpacityPortrait", d.bgImageOpacityPortrait, 0, 100);
    s.borderColor = clamped("borderColor", d.borderColor, 0, 6);
    s.borderCustomRgb = rgb("borderCustomRgb", d.borderCustomRgb);
    s.borderOpacity = clamped("borderOpacity", d.borderOpacity, 0, 100);
    s.showTitle = b("showTitle", d.showTitle);
    s.showLogo = b("showLogo", d.showLogo);
    s.textColor = clamped("textColor", d.textColor, 0, 6);
    s.textCustomRgb = rgb("textCustomRgb", d.textCustomRgb);
    s.textOpacity = clamped("textOpacity", d.textOpacity, 0, 100);
    s.fontFamily = str("fontFamily", d.fontFamily);
    s.dividerColor = clamped("dividerColor", d.dividerColor, 0, 6);
    s.dividerCustomRgb = rgb("dividerCustomRgb", d.dividerCustomRgb);
    s.dividerWidth = clamped("dividerWidth", d.dividerWidth, 0, 4);
    s.dividerOpacity = clamped("dividerOpacity", d.dividerOpacity, 0, 100);
    s.hoverMode = flag("hoverMode", d.hoverMode);
    s.hoverColor = clamped("hoverColor", d.hoverColor, 0, 6);
    s.hoverCustomRgb = rgb("hoverCustomRgb", d.hoverCustomRgb);
    s.hoverOpacity = clamped("hoverOpacity", d.hoverOpacity, 0, 100);

    const QJsonValue geo = o.value(QLatin1String("geometry"));
    if (geometry && geo.isArray() && geo.toArray().size() == 2) {
        const QJsonArray a = geo.toArray();
        *geometry = QSize(a.at(0).toInt(0), a.at(1).toInt(0));
    }

    // A record built elsewhere may not hold all entries; the file must not
    // index past them.
    s.btnVisible.resize(AppSettings::kUiBtnCount, true);
    for (QStringList* list : {&s.btnIcons, &s.btnIconsHover, &s.btnIconsActive, &s.btnIconsNight}) {
        while (list->size() < AppSettings::kUiBtnCount)
            list->append(QString());
    }
    const QJsonArray visible = o.value(QLatin1String("btnVisible")).toArray();
    for (int k = 0; k < visible.size() && k < AppSettings::kUiBtnCount; ++k)
        s.btnVisible[k] = visible.at(k).toBool(true);
    s.btnVisible[1] = true;  // the settings button is the way back to all others
    readIconList(o, QStringLiteral("btnIconsHover"), s.btnIconsHover);
    readIconList(o, QStringLiteral("btnIcons"), s.btnIcons);
    readIconList(o, QStringLiteral("btnIconsActive"), s.btnIconsActive);
    readIconList(o, QStringLiteral("btnIconsNight"), s.btnIconsNight);
    s.showNewGroupBtn = b("showNewGroupBtn", d.showNewGroupBtn);

    s.uiLocked = b("uiLocked", d.uiLocked);
    s.lockBgPath = str("lockBgPath", d.lockBgPath);
    s.monitorDir = str("monitorDir", d.monitorDir);
    s.monitorMaxMB = clamped("monitorMaxMB", d.monitorMaxMB, 10, 512);
    s.monitorIdleSec = clamped("monitorIdleSec", d.monitorIdleSec, 10, 600);
    s.monitorTrigger = clamped("monitorTrigger", d.monitorTrigger, 0, 2);
    s.monitorFormat = flag("monitorFormat", d.monitorFormat);
    s.monitorFps = clamped("monitorFps", d.monitorFps, 2, 60);
    s.progUnlockEpoch = i("progUnlockEpoch", d.progUnlockEpoch);
    s.progUnlockEpochUser = str("progUnlockEpochUser", d.progUnlockEpochUser);
    // A file from before the owner was kept: the account of the baseline is
    // the one that has been unlocking this panel.
    s.progUnlockOwner = o.contains(QLatin1String("progUnlockOwner")) ? str("progUnlockOwner", d.progUnlockOwner)
                                                                      : s.progUnlockEpochUser;

    s.protectPasswordHash = str("protectPasswordHash", d.protectPasswordHash);
    const QString legacyHash = str("uiPasswordHash", QString());
    if (s.protectPasswordHash.isEmpty() && !legacyHash.isEmpty())
        s.protectPasswordHash = legacyHash;

    s.obfuscateMap.clear();
    const QJsonObject map = o.value(QLatin1String("obfuscateMap")).toObject();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        s.obfuscateMap.insert(it.key(), it->isString() ? it->toString() : it->toVariant().toString());
    s.obfuscateEnabled = b("obfuscateEnabled", d.obfuscateEnabled);

    readButtonLayout(o, QStringLiteral("btnLayoutTitle"), s.btnLayoutTitle);
    readButtonLayout(o, QStringLiteral("btnLayoutBottom"), s.btnLayoutBottom);
    normalizeButtonLayouts(s);

    s.backupAuto = b("backupAuto", d.backupAuto);
    const int interval = i("backupIntervalDays", d.backupIntervalDays);
    s.backupIntervalDays = interval <= 0 ? 1 : std::min(interval, 30);
    s.backupRetain = clamped("backupRetain", d.backupRetain, 10, 100);
    s.backupDir = str("backupDir", d.backupDir);
    s.backupLastAt = str("backupLastAt", d.backupLastAt);
}

QJsonObject settingsToObject(const AppSettings& s, const QSize& geometry)
{
    QJsonObject o;
    o.insert(QStringLiteral("startPinned"), s.startPinned);
    o.insert(QStringLiteral("rememberGeometry"), s.rememberGeometry);
    o.insert(QStringLiteral("closeToTray"), s.closeToTray);
    o.insert(QStringLiteral("minimizeToTray"), s.minimizeToTray);
    o.insert(QStringLiteral("autoStart"), s.autoStart);
    o.insert(QStringLiteral("iconSize"), s.iconSize);
    o.insert(QStringLiteral("iconSizePortrait"), s.iconSizePortrait);
    o.insert(QStringLiteral("showItemNames"), s.showItemNames);
    o.insert(QStringLiteral("cornerRadius"), s.cornerRadius);
    o.insert(QStringLiteral("opacity"), s.opacity);
    o.insert(QStringLiteral("darkTheme"), s.darkTheme);
    o.insert(QStringLiteral("language"), s.language);
    o.insert(QStringLiteral("horizontalGroups"), s.horizontalGroups);
    o.insert(QStringLiteral("singleClickOpen"), s.singleClickOpen);
    o.insert(QStringLiteral("edgeSnap"), s.edgeSnap);
    o.insert(QStringLiteral("snapRevealPx"), s.snapRevealPx);
    o.insert(QStringLiteral("revealMethod"), s.revealMethod);
    o.insert(QStringLiteral("summonHotkey"), s.summonHotkey);
    o.insert(QStringLiteral("autoClassify"), s.autoClassify);
    o.insert(QStringLiteral("updateChannel"), s.updateChannel);
    o.insert(QStringLiteral("skippedVersion"), s.skippedVersion);
    o.insert(QStringLiteral("titleBarColor"), s.titleBarColor);
    o.insert(QStringLiteral("titleBarCustomRgb"), s.titleBarCustomRgb);
    o.insert(QStringLiteral("titleBarOpacity"), s.titleBarOpacity);
    o.insert(QStringLiteral("bottomBarColor"), s.bottomBarColor);
    o.insert(QStringLiteral("bottomBarCustomRgb"), s.bottomBarCustomRgb);
    o.insert(QStringLiteral("bottomBarOpacity"), s.bottomBarOpacity);
    o.insert(QStringLiteral("midColor"), s.midColor);
    o.insert(QStringLiteral("midCustomRgb"), s.midCustomRgb);
    o.insert(QStringLiteral("midOpacity"), s.midOpacity);
    o.insert(QStringLiteral("clickThroughAtZero"), s.clickThroughAtZero);
    o.insert(QStringLiteral("customTitle"), s.customTitle);
    o.insert(QStringLiteral("customLogoPath"), s.customLogoPath);
    o.insert(QStringLiteral("appIconPath"), s.appIconPath);
    o.insert(QStringLiteral("bgImagePath"), s.bgImagePath);
    o.insert(QStringLiteral("bgImageOpacity"), s.bgImageOpacity);
    o.insert(QStringLiteral("bgImagePortrait"), s.bgImagePortrait);
    o.insert(QStringLiteral("bgImageOpacityPortrait"), s.bgImageOpacityPortrait);
    o.insert(QStringLiteral("borderColor"), s.borderColor);
    o.insert(QStringLiteral("borderCustomRgb"), s.borderCustomRgb);
    o.insert(QStringLiteral("borderOpacity"), s.borderOpacity);
    o.insert(QStringLiteral("showTitle"), s.showTitle);
    o.insert(QStringLiteral("showLogo"), s.showLogo);
    o.insert(QStringLiteral("textColor"), s.textColor);
    o.insert(QStringLiteral("textCustomRgb"), s.textCustomRgb);
    o.insert(QStringLiteral("textOpacity"), s.textOpacity);
    o.insert(QStringLiteral("fontFamily"), s.fontFamily);
    o.insert(QStringLiteral("dividerColor"), s.dividerColor);
    o.insert(QStringLiteral("dividerCustomRgb"), s.dividerCustomRgb);
    o.insert(QStringLiteral("dividerWidth"), s.dividerWidth);
    o.insert(QStringLiteral("dividerOpacity"), s.dividerOpacity);
    o.insert(QStringLiteral("hoverMode"), s.hoverMode);
    o.insert(QStringLiteral("hoverColor"), s.hoverColor);
    o.insert(QStringLiteral("hoverCustomRgb"), s.hoverCustomRgb);
    o.insert(QStringLiteral("hoverOpacity"), s.hoverOpacity);
    o.insert(QStringLiteral("btnVisible"), toArray(s.btnVisible));
    o.insert(QStringLiteral("btnIcons"), toArray(s.btnIcons));
    o.insert(QStringLiteral("btnIconsHover"), toArray(s.btnIconsHover));
    o.insert(QStringLiteral("btnIconsActive"), toArray(s.btnIconsActive));
    o.insert(QStringLiteral("btnIconsNight"), toArray(s.btnIconsNight));
    o.insert(QStringLiteral("showNewGroupBtn"), s.showNewGroupBtn);
    o.insert(QStringLiteral("btnLayoutTitle"), toArray(s.btnLayoutTitle));
    o.insert(QStringLiteral("btnLayoutBottom"), toArray(s.btnLayoutBottom));
    o.insert(QStringLiteral("uiLocked"), s.uiLocked);
    o.insert(QStringLiteral("lockBgPath"), s.lockBgPath);
    o.insert(QStringLiteral("monitorDir"), s.monitorDir);
    o.insert(QStringLiteral("monitorMaxMB"), s.monitorMaxMB);
    o.insert(QStringLiteral("monitorIdleSec"), s.monitorIdleSec);
    o.insert(QStringLiteral("monitorTrigger"), s.monitorTrigger);
    o.insert(QStringLiteral("monitorFormat"), s.monitorFormat);
    o.insert(QStringLiteral("monitorFps"), s.monitorFps);
    o.insert(QStringLiteral("progUnlockEpoch"), s.progUnlockEpoch);
    o.insert(QStringLiteral("progUnlockEpochUser"), s.progUnlockEpochUser);
    o.insert(QStringLiteral("progUnlockOwner"), s.progUnlockOwner);
    o.insert(QStringLiteral("protectPasswordHash"), s.protectPasswordHash);
    QJsonObject map;
    for (auto it = s.obfuscateMap.constBegin(); it != s.obfuscateMap.constEnd(); ++it)
        map.insert(it.key(), it.value());
    o.insert(QStringLiteral("obfuscateMap"), map);
    o.insert(QStringLiteral("obfuscateEnabled"), s.obfuscateEnabled);
    o.insert(QStringLiteral("backupAuto"), s.backupAuto);
    o.insert(QStringLiteral("backupIntervalDays"), s.backupIntervalDays);
    o.insert(QStringLiteral("backupRetain"), s.backupRetain);
    o.insert(QStringLiteral("backupDir"), s.backupDir);
    o.insert(QStringLiteral("backupLastAt"), s.backupLastAt);
    o.insert(QStringLiteral("geometry"), QJsonArray{geometry.width(), geometry.height()});
    return o;
}

SettingsLoadResult loadAppSettings(const QString& path, AppSettings& settings, QSize* geometry)
{
    SettingsLoadResult result;
    // A file that exists but cannot be read, or that holds JSON of the wrong
    // shape, is the user's data all the same: set it aside like a damaged
    // one, so that the defaults saved later never replace it.
    auto setAside = [&](SettingsLoadResult::Status status, const QString& why) {
        qWarning() << "settings file not usable:" << path << why;
        result.status = status;
        result.preserved = preserveCorruptConfig(path);
        return result;
    };
    const RegularFileRead file = readRegularFile(path, kMaxConfigFileBytes);
    switch (file.status) {
    case RegularFileRead::Missing:
        return result;
    case RegularFileRead::NotRegular:
        return setAside(SettingsLoadResult::NotRegular, file.error);
    case RegularFileRead::TooLarge:
        return setAside(SettingsLoadResult::Damaged, file.error);
    case RegularFileRead::Error:
        return setAside(SettingsLoadResult::Unreadable, file.error);
    case RegularFileRead::Ok:
        break;
    }
    const QByteArray& bytes = file.bytes;

    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError) {
        if (bytes.isEmpty()) {
            result.status = SettingsLoadResult::Empty;
            return result;
        }
        return setAside(SettingsLoadResult::Damaged, err.errorString());
    }
    if (!doc.isObject())
        return setAside(SettingsLoadResult::NotAnObject, QStringLiteral("not an object"));
    // The file parses, so whatever blocked writing it earlier is resolved.
    clearConfigOverwriteBlock(path);
    const QJsonObject object = doc.object();
    const QString loss = firstValueOfWrongType(object);
    if (!loss.isEmpty()) {
        // The defaults that replace those values would be saved over the
        // file; a copy keeps what the user wrote.
        qWarning() << "settings file read in part:" << path << loss;
        result.partlyRead = true;
        result.preserved = keepCopyOfConfig(path, bytes);
    }
    const int languageBefore = currentLanguage();
    applySettingsObject(object, settings, geometry);
    result.status = SettingsLoadResult::Loaded;
    result.languageChanged = currentLanguage() != languageBefore;
    return result;
}

QString settingsBytesLoss(const QByteArray& bytes)
{
    if (bytes.size() > kMaxConfigFileBytes)
        return QStringLiteral("larger than %1 bytes").arg(kMaxConfigFileBytes);
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &err);
    if (err.error != QJsonParseError::NoError)
        return err.errorString();
    if (!doc.isObject())
        return QStringLiteral("not an object");
    return firstValueOfWrongType(doc.object());
}

bool saveAppSettings(const QString& path, const AppSettings& settings, const QSize& geometry,
                     QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray bytes = QJsonDocument(settingsToObject(settings, geometry)).toJson(QJsonDocument::Indented);
    QString reason;
    if (saveConfigFile(path, bytes, &reason))
        return true;
    qWarning() << "saveAppSettings:" << path << reason;
    if (error)
        *error = translate("设置文件写入失败");
    return false;
}
