#include "app/appsettings.h"
#include "app/configsafety.h"
#include "app/lang.h"

#include "testsupport.h"

#include <QtTest>

namespace {

const QJsonValue kMissing(QJsonValue::Undefined);

// Every member of the record: its key, its kind and its default.
struct Member {
    const char* key;
    char kind;  // 'b' bool, 'i' int, 's' string
    QJsonValue def;
};

const QList<Member>& scalarMembers()
{
    static const QList<Member> members = {
        {"startPinned", 'b', false}, {"rememberGeometry", 'b', true}, {"closeToTray", 'b', true},
        {"minimizeToTray", 'b', true}, {"autoStart", 'b', true}, {"iconSize", 'i', 50},
        {"iconSizePortrait", 'i', 40}, {"showItemNames", 'b', true}, {"cornerRadius", 'i', 8},
        {"opacity", 'i', 100}, {"darkTheme", 'b', false}, {"language", 'i', 0},
        {"horizontalGroups", 'b', false}, {"singleClickOpen", 'b', true}, {"edgeSnap", 'b', true},
        {"snapRevealPx", 'i', 1}, {"revealMethod", 'i', 1}, {"summonHotkey", 's', "Ctrl+Alt+G"},
        {"autoClassify", 'b', false}, {"updateChannel", 'i', 0}, {"skippedVersion", 's', ""},
        {"titleBarColor", 'i', 0}, {"titleBarCustomRgb", 'i', 3108799}, {"titleBarOpacity", 'i', 100},
        {"bottomBarColor", 'i', 0}, {"bottomBarCustomRgb", 'i', 3108799}, {"bottomBarOpacity", 'i', 100},
        {"midColor", 'i', 0}, {"midCustomRgb", 'i', 3108799}, {"midOpacity", 'i', 100},
        {"clickThroughAtZero", 'b', false}, {"customTitle", 's', ""}, {"customLogoPath", 's', ""},
        {"appIconPath", 's', ""}, {"bgImagePath", 's', ""}, {"bgImageOpacity", 'i', 100},
        {"bgImagePortrait", 's', ""}, {"bgImageOpacityPortrait", 'i', 100}, {"borderColor", 'i', 0},
        {"borderCustomRgb", 'i', 0xC6C9D2}, {"borderOpacity", 'i', 100}, {"showTitle", 'b', true},
        {"showLogo", 'b', true}, {"textColor", 'i', 0}, {"textCustomRgb", 'i', 0x39404C},
        {"textOpacity", 'i', 100}, {"fontFamily", 's', ""}, {"dividerColor", 'i', 0},
        {"dividerCustomRgb", 'i', 0xC6C9D2}, {"dividerWidth", 'i', 1}, {"dividerOpacity", 'i', 50},
        {"hoverMode", 'i', 1}, {"hoverColor", 'i', 0}, {"hoverCustomRgb", 'i', 3108799},
        {"hoverOpacity", 'i', 100}, {"showNewGroupBtn", 'b', true}, {"uiLocked", 'b', false},
        {"lockBgPath", 's', ""}, {"monitorDir", 's', ""}, {"monitorMaxMB", 'i', 100},
        {"monitorIdleSec", 'i', 30}, {"monitorTrigger", 'i', 0}, {"monitorFormat", 'i', 1},
        {"monitorFps", 'i', 59}, {"progUnlockEpoch", 'i', 0}, {"progUnlockEpochUser", 's', ""},
        {"progUnlockOwner", 's', ""}, {"protectPasswordHash", 's', ""},
        {"obfuscateEnabled", 'b', false}, {"backupAuto", 'b', true}, {"backupIntervalDays", 'i', 1},
        {"backupRetain", 'i', 10}, {"backupDir", 's', ""}, {"backupLastAt", 's', ""},
    };
    return members;
}

QJsonArray repeated(const QJsonValue& v, int n = AppSettings::kUiBtnCount)
{
    QJsonArray a;
    for (int i = 0; i < n; ++i)
        a.append(v);
    return a;
}

// The members that are not plain scalars, with their defaults as stored.
const QList<QPair<QString, QJsonValue>>& listMembers()
{
    static const QList<QPair<QString, QJsonValue>> members = {
        {QStringLiteral("btnVisible"), repeated(true)},
        {QStringLiteral("btnIcons"), repeated(QString())},
        {QStringLiteral("btnIconsHover"), repeated(QString())},
        {QStringLiteral("btnIconsActive"), repeated(QString())},
        {QStringLiteral("btnIconsNight"), repeated(QString())},
        {QStringLiteral("btnLayoutTitle"), QJsonArray{0, 1, 2, 3, 4}},
        {QStringLiteral("btnLayoutBottom"), QJsonArray{10, 9, 8, 7, 6, 5}},
        {QStringLiteral("obfuscateMap"), QJsonObject()},
    };
    return members;
}

class SettingsFile {
public:
    SettingsFile() : m_path(m_dir.path() + QStringLiteral("/settings.json")) {}
    QString path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    void write(const QByteArray& bytes) const { QVERIFY(testsupport::writeFile(m_path, bytes)); }
    void write(const QJsonObject& o) const { write(QJsonDocument(o).toJson()); }
    QJsonObject stored() const { return QJsonDocument::fromJson(testsupport::readFile(m_path)).object(); }
private:
    QTemporaryDir m_dir;
    QString m_path;
};

QJsonObject loadedAsStored(const QJsonObject& file, AppSettings s = AppSettings())
{
    SettingsFile f;
    f.write(file);
    loadAppSettings(f.path(), s, nullptr);
    return settingsToObject(s, QSize());
}

} // namespace

class TestAppSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { setLanguage(0); }

    void recordHoldsExactlyTheStoredMembers()
    {
        QStringList expected{QStringLiteral("geometry")};
        for (const Member& m : scalarMembers())
            expected << QLatin1String(m.key);
        for (const auto& m : listMembers())
            expected << m.first;
        // 80 members, the accounts of the lock-sync baseline and of the
        // protection, and the window size
        QCOMPARE(expected.size(), 83);
        QStringList stored = settingsToObject(AppSettings(), QSize(1, 2)).keys();
        expected.sort();
        stored.sort();
        QCOMPARE(stored, expected);
    }

    void eachMemberLoads_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("input");
        QTest::addColumn<QJsonValue>("expected");

        for (const Member& m : scalarMembers()) {
            const QString key = QLatin1String(m.key);
            const auto row = [&key](const char* what) -> QTestData& { return QTest::addRow("%s/%s", qPrintable(key), what); };
            row("missing") << key << kMissing << m.def;
            row("null") << key << QJsonValue(QJsonValue::Null) << m.def;
            switch (m.kind) {
            case 'b':
                row("wrong type") << key << QJsonValue(QStringLiteral("true")) << m.def;
                row("set") << key << QJsonValue(!m.def.toBool()) << QJsonValue(!m.def.toBool());
                break;
            case 'i':
                row("wrong type") << key << QJsonValue(QStringLiteral("12")) << m.def;
                break;
            case 's':
                row("wrong type") << key << QJsonValue(5) << m.def;
                row("set") << key << QJsonValue(QStringLiteral("值 x")) << QJsonValue(QStringLiteral("值 x"));
                break;
            }
        }

        struct Range { const char* key; int lo; int hi; };
        const Range ranges[] = {
            {"iconSize", 32, 96}, {"iconSizePortrait", 32, 60}, {"cornerRadius", 0, 24},
            {"opacity", 0, 100}, {"snapRevealPx", 0, 24}, {"revealMethod", 0, 4},
            {"titleBarColor", 0, 6}, {"titleBarOpacity", 0, 100}, {"bottomBarColor", 0, 6},
            {"bottomBarOpacity", 0, 100}, {"midColor", 0, 6}, {"midOpacity", 0, 100},
            {"bgImageOpacity", 0, 100}, {"bgImageOpacityPortrait", 0, 100}, {"borderColor", 0, 6},
            {"borderOpacity", 0, 100}, {"textColor", 0, 6}, {"textOpacity", 0, 100},
            {"dividerColor", 0, 6}, {"dividerWidth", 0, 4}, {"dividerOpacity", 0, 100},
            {"hoverColor", 0, 6}, {"hoverOpacity", 0, 100}, {"monitorMaxMB", 10, 512},
            {"monitorIdleSec", 10, 600}, {"monitorTrigger", 0, 2}, {"monitorFps", 2, 60},
            {"backupRetain", 10, 100},
        };
        for (const Range& r : ranges) {
            const QString key = QLatin1String(r.key);
            QTest::addRow("%s/below", r.key) << key << QJsonValue(r.lo - 7) << QJsonValue(r.lo);
            QTest::addRow("%s/above", r.key) << key << QJsonValue(r.hi + 1) << QJsonValue(r.hi);
            QTest::addRow("%s/inside", r.key) << key << QJsonValue(r.hi - 1) << QJsonValue(r.hi - 1);
        }
        for (const char* key : {"language", "updateChannel", "hoverMode", "monitorFormat"}) {
            QTest::addRow("%s/7", key) << QString::fromLatin1(key) << QJsonValue(7) << QJsonValue(1);
            QTest::addRow("%s/-3", key) << QString::fromLatin1(key) << QJsonValue(-3) << QJsonValue(0);
            QTest::addRow("%s/1", key) << QString::fromLatin1(key) << QJsonValue(1) << QJsonValue(1);
        }
        for (const char* key : {"titleBarCustomRgb", "bottomBarCustomRgb", "midCustomRgb", "borderCustomRgb",
                                "textCustomRgb", "dividerCustomRgb", "hoverCustomRgb"}) {
            QTest::addRow("%s/high bits", key) << QString::fromLatin1(key) << QJsonValue(0x7F123456) << QJsonValue(0x123456);
            QTest::addRow("%s/negative", key) << QString::fromLatin1(key) << QJsonValue(-1) << QJsonValue(0xFFFFFF);
        }
        QTest::newRow("backupIntervalDays/0") << "backupIntervalDays" << QJsonValue(0) << QJsonValue(1);
        QTest::newRow("backupIntervalDays/-4") << "backupIntervalDays" << QJsonValue(-4) << QJsonValue(1);
        QTest::newRow("backupIntervalDays/31") << "backupIntervalDays" << QJsonValue(31) << QJsonValue(30);
        QTest::newRow("backupIntervalDays/7") << "backupIntervalDays" << QJsonValue(7) << QJsonValue(7);
        QTest::newRow("progUnlockEpoch/unclamped") << "progUnlockEpoch" << QJsonValue(-1234567) << QJsonValue(-1234567);
        QTest::newRow("customTitle/30 units cut to 24")
            << "customTitle" << QJsonValue(QString(30, QLatin1Char('t'))) << QJsonValue(QString(24, QLatin1Char('t')));
        // A cut inside an emoji would leave half a character behind.
        const QString emoji = QString(23, QLatin1Char('t')) + QString::fromUtf8("😀") + QStringLiteral("xyz");
        QTest::newRow("customTitle/no half emoji")
            << "customTitle" << QJsonValue(emoji) << QJsonValue(QString(23, QLatin1Char('t')));
        const QString emojiFits = QString(22, QLatin1Char('t')) + QString::fromUtf8("😀") + QStringLiteral("xyz");
        QTest::newRow("customTitle/emoji that fits")
            << "customTitle" << QJsonValue(emojiFits) << QJsonValue(emojiFits.left(24));
        QTest::newRow("summonHotkey/empty kept") << "summonHotkey" << QJsonValue(QString()) << QJsonValue(QString());

        for (const auto& m : listMembers()) {
            QTest::addRow("%s/missing", qPrintable(m.first)) << m.first << kMissing << m.second;
            QTest::addRow("%s/wrong type", qPrintable(m.first)) << m.first << QJsonValue(3) << m.second;
        }
        QTest::newRow("obfuscateMap/values as text")
            << "obfuscateMap" << QJsonValue(QJsonObject{{"C:/a", "D:/b"}, {"C:/n", 5}, {"C:/t", true}})
            << QJsonValue(QJsonObject{{"C:/a", "D:/b"}, {"C:/n", "5"}, {"C:/t", "true"}});
        QTest::newRow("btnLayoutTitle/repeats and invalid ids")
            << "btnLayoutTitle" << QJsonValue(QJsonArray{3, 3, 12, -1, 2, "x"})
            << QJsonValue(QJsonArray{3, 2, 0, 1, 4});
        QTest::newRow("btnLayoutTitle/empty keeps current")
            << "btnLayoutTitle" << QJsonValue(QJsonArray{}) << QJsonValue(QJsonArray{0, 1, 2, 3, 4});
    }

    void eachMemberLoads()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, input);
        QFETCH(QJsonValue, expected);
        QJsonObject file;
        if (!input.isUndefined())
            file.insert(key, input);
        QCOMPARE(loadedAsStored(file).value(key), expected);
    }

    void constructorDefaultsEqualLoaderDefaults()
    {
        // Every scalar in the file differs from its default...
        QJsonObject changed;
        for (const Member& m : scalarMembers()) {
            switch (m.kind) {
            case 'b': changed.insert(QLatin1String(m.key), !m.def.toBool()); break;
            case 'i': {
                // A value that stays different after clamping.
                int v = m.def.toInt() == 0 ? 1 : m.def.toInt() - 1;
                if (qstrcmp(m.key, "backupIntervalDays") == 0 || qstrcmp(m.key, "backupRetain") == 0)
                    v = 11;
                changed.insert(QLatin1String(m.key), v);
                break;
            }
            case 's': changed.insert(QLatin1String(m.key), QStringLiteral("other")); break;
            }
        }
        SettingsFile f;
        f.write(changed);
        AppSettings s;
        loadAppSettings(f.path(), s, nullptr);
        const QJsonObject afterChange = settingsToObject(s, QSize());
        for (const Member& m : scalarMembers())
            QVERIFY2(afterChange.value(QLatin1String(m.key)) != m.def, m.key);

        // ...and reloading an empty object brings every scalar back.
        f.write(QJsonObject());
        loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(settingsToObject(s, QSize()), settingsToObject(AppSettings(), QSize()));
    }

    void reloadKeepsEntriesTheFileLacks()
    {
        AppSettings s;
        s.btnVisible[4] = false;
        s.btnIcons[7] = QStringLiteral("/seven.png");
        s.btnLayoutTitle = {0, 1, 2, 3};
        s.btnLayoutBottom = {4, 10, 9, 8, 7, 6, 5};
        s.obfuscateMap.insert(QStringLiteral("C:/old"), QStringLiteral("D:/old"));
        SettingsFile f;
        f.write(QJsonObject{{"btnVisible", QJsonArray{false, false}},
                            {"btnIcons", QJsonArray{"/zero.png"}},
                            {"btnLayoutTitle", QJsonArray{}}});
        loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(s.btnVisible[0], false);
        QCOMPARE(s.btnVisible[1], true);  // the settings button cannot be hidden
        QCOMPARE(s.btnVisible[4], false);
        QCOMPARE(s.btnIcons[0], QStringLiteral("/zero.png"));
        QCOMPARE(s.btnIcons[7], QStringLiteral("/seven.png"));
        QCOMPARE(s.btnLayoutTitle, QList<int>({0, 1, 2, 3}));
        QCOMPARE(s.btnLayoutBottom, QList<int>({4, 10, 9, 8, 7, 6, 5}));
        QVERIFY(s.obfuscateMap.isEmpty());
    }

    void languageIsSwitchedAndReported()
    {
        SettingsFile f;
        f.write(QJsonObject{{"language", 7}});
        AppSettings s;
        SettingsLoadResult r = loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(s.language, 1);
        QVERIFY(isEnglish());
        QVERIFY(r.languageChanged);
        // The same language again: nothing to announce.
        r = loadAppSettings(f.path(), s, nullptr);
        QVERIFY(!r.languageChanged);
        f.write(QJsonObject{});
        r = loadAppSettings(f.path(), s, nullptr);
        QVERIFY(r.languageChanged);
        QCOMPARE(currentLanguage(), 0);
    }

    void legacyPasswordKey_data()
    {
        QTest::addColumn<QJsonObject>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("legacy only") << QJsonObject{{"uiPasswordHash", "old"}} << "old";
        QTest::newRow("both") << QJsonObject{{"uiPasswordHash", "old"}, {"protectPasswordHash", "new"}} << "new";
        QTest::newRow("empty current") << QJsonObject{{"uiPasswordHash", "old"}, {"protectPasswordHash", ""}} << "old";
        QTest::newRow("neither") << QJsonObject{} << "";
    }
    void legacyPasswordKey()
    {
        QFETCH(QJsonObject, file);
        QFETCH(QString, expected);
        SettingsFile f;
        f.write(file);
        AppSettings s;
        loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(s.protectPasswordHash, expected);
        QVERIFY(saveAppSettings(f.path(), s, QSize(10, 20), nullptr));
        QVERIFY(!f.stored().contains(QStringLiteral("uiPasswordHash")));
        QCOMPARE(f.stored().value(QStringLiteral("protectPasswordHash")).toString(), expected);
    }

    // Files from before the protection's account was kept: the account of
    // the lock-sync baseline stands in for it, so its remote unlock still
    // works; a stored value, even empty, is taken as it is.
    void protectionOwnerOfOlderFiles_data()
    {
        QTest::addColumn<QJsonObject>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("older file") << QJsonObject{{"progUnlockEpochUser", "ann"}} << "ann";
        QTest::newRow("stored") << QJsonObject{{"progUnlockEpochUser", "ann"}, {"progUnlockOwner", "bob"}} << "bob";
        QTest::newRow("stored empty") << QJsonObject{{"progUnlockEpochUser", "ann"}, {"progUnlockOwner", ""}} << "";
    }
    void protectionOwnerOfOlderFiles()
    {
        QFETCH(QJsonObject, file);
        QFETCH(QString, expected);
        QCOMPARE(loadedAsStored(file).value(QStringLiteral("progUnlockOwner")).toString(), expected);
    }

    void geometry_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QSize>("expected");
        const QSize untouched(-1, -1);
        QTest::newRow("pair") << QJsonValue(QJsonArray{800, 600}) << QSize(800, 600);
        QTest::newRow("pair with text") << QJsonValue(QJsonArray{"a", 600}) << QSize(0, 600);
        QTest::newRow("one") << QJsonValue(QJsonArray{800}) << untouched;
        QTest::newRow("three") << QJsonValue(QJsonArray{800, 600, 1}) << untouched;
        QTest::newRow("object") << QJsonValue(QJsonObject{{"w", 800}}) << untouched;
        QTest::newRow("missing") << kMissing << untouched;
    }
    void geometry()
    {
        QFETCH(QJsonValue, value);
        QFETCH(QSize, expected);
        SettingsFile f;
        QJsonObject o;
        if (!value.isUndefined())
            o.insert(QStringLiteral("geometry"), value);
        f.write(o);
        AppSettings s;
        QSize size(-1, -1);
        loadAppSettings(f.path(), s, &size);
        QCOMPARE(size, expected);
    }

    void normalizeButtonLayouts_data()
    {
        QTest::addColumn<QList<int>>("title");
        QTest::addColumn<QList<int>>("bottom");
        QTest::addColumn<QList<int>>("titleOut");
        QTest::addColumn<QList<int>>("bottomOut");
        QTest::newRow("defaults") << QList<int>{0, 1, 2, 3, 4} << QList<int>{10, 9, 8, 7, 6, 5}
                                  << QList<int>{0, 1, 2, 3, 4} << QList<int>{10, 9, 8, 7, 6, 5};
        QTest::newRow("refill") << QList<int>{0, 1} << QList<int>{5}
                                << QList<int>{0, 1, 2, 3, 4} << QList<int>{8, 10, 9, 5, 6, 7};
        QTest::newRow("title wins a shared id") << QList<int>{0, 1, 2, 3, 4, 6} << QList<int>{10, 9, 8, 7, 6, 5}
                                                << QList<int>{0, 1, 2, 3, 4, 6} << QList<int>{10, 9, 8, 7, 5};
        QTest::newRow("invalid and repeated") << QList<int>{-1, 0, 0, 11, 1, 2, 3, 4, -7} << QList<int>{5, 5, 6, 7, 8, 9, 10, 99}
                                              << QList<int>{0, 1, 2, 3, 4} << QList<int>{5, 6, 7, 8, 9, 10};
        QTest::newRow("9 and 10 missing") << QList<int>{0, 1, 2, 3, 4} << QList<int>{5, 6, 7, 8}
                                          << QList<int>{0, 1, 2, 3, 4} << QList<int>{5, 6, 7, 10, 9, 8};
        // Dropped on the title bar, the screen-monitor button stays there
        // and nowhere else.
        QTest::newRow("9 in the title bar") << QList<int>{0, 9, 1, 2, 3, 4} << QList<int>{10, 8, 7, 6, 5}
                                            << QList<int>{0, 9, 1, 2, 3, 4} << QList<int>{10, 8, 7, 6, 5};
        QTest::newRow("9 in both") << QList<int>{9, 0, 1, 2, 3, 4} << QList<int>{10, 9, 8, 7, 6, 5}
                                   << QList<int>{9, 0, 1, 2, 3, 4} << QList<int>{10, 8, 7, 6, 5};
        QTest::newRow("both empty") << QList<int>{} << QList<int>{}
                                    << QList<int>{0, 1, 2, 3, 4} << QList<int>{8, 10, 9, 5, 6, 7};
        QTest::newRow("everything in the title bar")
            << QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0} << QList<int>{}
            << QList<int>{10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0} << QList<int>{};
    }
    void normalizeButtonLayouts()
    {
        QFETCH(QList<int>, title);
        QFETCH(QList<int>, bottom);
        QFETCH(QList<int>, titleOut);
        QFETCH(QList<int>, bottomOut);
        ::normalizeButtonLayouts(title, bottom);
        QCOMPARE(title, titleOut);
        QCOMPARE(bottom, bottomOut);
        for (int id = 0; id < AppSettings::kUiBtnCount; ++id)
            QCOMPARE(title.count(id) + bottom.count(id), 1);
    }

    void emptyFileGivesDefaultsWithoutACopy()
    {
        SettingsFile f;
        f.write(QByteArray());
        AppSettings s;
        s.iconSize = 70;
        const SettingsLoadResult r = loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(r.status, SettingsLoadResult::Empty);
        QCOMPARE(s.iconSize, 70);
        QCOMPARE(QDir(f.dir()).entryList(QDir::Files), QStringList{QStringLiteral("settings.json")});
    }

    void damagedFileIsMovedAside()
    {
        SettingsFile f;
        f.write(QByteArray("{\"iconSize\": 60,"));
        AppSettings s;
        s.iconSize = 70;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^corrupt config preserved: .* ok = true$")));
        const SettingsLoadResult r = loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(r.status, SettingsLoadResult::Damaged);
        QVERIFY(r.preserved);
        QCOMPARE(s.iconSize, 70);
        const QStringList files = QDir(f.dir()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^settings\\.json\\.corrupt-\\d{8}-\\d{6}-\\d{3}$"))
                     .match(files.first()).hasMatch(), qPrintable(files.first()));
        QCOMPARE(testsupport::readFile(f.dir() + QLatin1Char('/') + files.first()), QByteArray("{\"iconSize\": 60,"));
        // The next save writes a fresh file.
        QVERIFY(saveAppSettings(f.path(), s, QSize(300, 200), nullptr));
        QCOMPARE(f.stored().value(QStringLiteral("iconSize")).toInt(), 70);
    }

    void otherUnusableFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::newRow("array") << QByteArray("[1, 2]") << int(SettingsLoadResult::NotAnObject);
        QTest::newRow("empty array") << QByteArray("[]") << int(SettingsLoadResult::NotAnObject);
        // Qt's reader refuses a bare scalar at the top: damaged, set aside too.
        QTest::newRow("string") << QByteArray("\"text\"") << int(SettingsLoadResult::Damaged);
        // A folder where the file should be is moved aside as it is.
        QTest::newRow("folder") << QByteArray() << int(SettingsLoadResult::NotRegular);
    }
    void otherUnusableFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        SettingsFile f;
        if (status == int(SettingsLoadResult::NotRegular))
            QVERIFY(QDir().mkpath(f.path()));
        else
            f.write(bytes);
        AppSettings s;
        s.opacity = 40;
        const SettingsLoadResult r = loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(int(r.status), status);
        QVERIFY(r.damaged());
        QVERIFY(r.preserved);
        QCOMPARE(s.opacity, 40);
        // Set aside, never left to be overwritten by the next save.
        QVERIFY(!QFileInfo::exists(f.path()));
        const QStringList files = QDir(f.dir()).entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::Files | QDir::Dirs);
        QCOMPARE(files.size(), 1);
        if (status != int(SettingsLoadResult::NotRegular))
            QCOMPARE(testsupport::readFile(f.dir() + QLatin1Char('/') + files.first()), bytes);
    }

    void valuesOfTheWrongTypeKeepACopy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("partly");
        QTest::newRow("all of the right type") << QByteArray(R"({"iconSize": 64, "darkTheme": true, "btnLayoutTitle": [0, 1]})") << false;
        QTest::newRow("unknown keys are not values of ours") << QByteArray(R"({"futureKey": [1], "iconSize": 64})") << false;
        QTest::newRow("null carries nothing") << QByteArray(R"({"iconSize": null, "customTitle": null})") << false;
        QTest::newRow("number as a text") << QByteArray(R"({"iconSize": "64"})") << true;
        QTest::newRow("flag as a number") << QByteArray(R"({"darkTheme": 1})") << true;
        QTest::newRow("fraction for a whole number") << QByteArray(R"({"opacity": 50.5})") << true;
        QTest::newRow("text as a list") << QByteArray(R"({"customTitle": ["a"]})") << true;
        QTest::newRow("list entry of the wrong type") << QByteArray(R"({"btnLayoutTitle": [0, "1"]})") << true;
        QTest::newRow("legacy password key as a number") << QByteArray(R"({"uiPasswordHash": 5})") << true;
        QTest::newRow("map as a list") << QByteArray(R"({"obfuscateMap": []})") << true;
    }
    void valuesOfTheWrongTypeKeepACopy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, partly);
        SettingsFile f;
        f.write(bytes);
        AppSettings s;
        const SettingsLoadResult r = loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(r.status, SettingsLoadResult::Loaded);
        QCOMPARE(r.partlyRead, partly);
        QVERIFY(!r.damaged());
        const QStringList copies = QDir(f.dir()).entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::Files);
        QCOMPARE(copies.size(), partly ? 1 : 0);
        // The file itself stays until the next save replaces it.
        QCOMPARE(testsupport::readFile(f.path()), bytes);
        if (partly) {
            QVERIFY(r.preserved);
            QCOMPARE(r.damage(), ConfigDamageNotice::Damage::PartlyRead);
            QCOMPARE(testsupport::readFile(f.dir() + QLatin1Char('/') + copies.first()), bytes);
        }
    }

    void fileThatIsNotRegularIsMovedAsItIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << QStringLiteral("fifo");
        QTest::newRow("link to /dev/zero") << QStringLiteral("zero");
        QTest::newRow("link to a good file") << QStringLiteral("good");
        QTest::newRow("dangling link") << QStringLiteral("dangling");
    }
    void fileThatIsNotRegularIsMovedAsItIs()
    {
        QFETCH(QString, kind);
        SettingsFile f;
        const QString target = f.dir() + QStringLiteral("/elsewhere.json");
        if (kind == QLatin1String("fifo")) {
            QVERIFY(testsupport::makeFifo(f.path()));
        } else if (kind == QLatin1String("zero")) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), f.path()));
        } else {
            if (kind == QLatin1String("good"))
                QVERIFY(testsupport::writeFile(target, R"({"iconSize": 64})"));
            QVERIFY(QFile::link(target, f.path()));
        }
        AppSettings s;
        const SettingsLoadResult r = loadAppSettings(f.path(), s, nullptr);
        QCOMPARE(r.status, SettingsLoadResult::NotRegular);
        QVERIFY(r.preserved);
        QCOMPARE(r.damage(), ConfigDamageNotice::Damage::NotRegular);
        QVERIFY(!QFileInfo::exists(f.path()) && !QFileInfo(f.path()).isSymLink());
        QVERIFY(saveAppSettings(f.path(), s, QSize(1, 1), nullptr));
        QVERIFY(QFileInfo(f.path()).isFile() && !QFileInfo(f.path()).isSymLink());
        // A link's target is never written.
        if (kind == QLatin1String("good"))
            QCOMPARE(testsupport::readFile(target), QByteArray(R"({"iconSize": 64})"));
        if (kind == QLatin1String("dangling"))
            QVERIFY(!QFileInfo::exists(target));
    }

    void missingFileLeavesRecord()
    {
        AppSettings s;
        s.opacity = 40;
        QCOMPARE(loadAppSettings(QStringLiteral("/nonexistent/settings.json"), s, nullptr).status,
                 SettingsLoadResult::Missing);
        QCOMPARE(s.opacity, 40);
    }

    void saveRoundTrips()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/sub/folder/settings.json");
        AppSettings s;
        s.customTitle = QStringLiteral("我的面板");
        s.titleBarCustomRgb = 0x123456;
        s.btnLayoutTitle = {1, 0, 2, 3, 4};
        s.obfuscateMap.insert(QStringLiteral("C:/a"), QStringLiteral("D:/b"));
        QVERIFY(saveAppSettings(path, s, QSize(640, 480), nullptr));
        const QByteArray bytes = testsupport::readFile(path);
        QVERIFY(bytes.contains("\n    \""));  // indented
        QVERIFY(bytes.contains("\"titleBarCustomRgb\": 1193046"));
        QCOMPARE(QJsonDocument::fromJson(bytes).object().value(QStringLiteral("geometry")), QJsonValue(QJsonArray{640, 480}));
        AppSettings back;
        QSize size;
        QCOMPARE(loadAppSettings(path, back, &size).status, SettingsLoadResult::Loaded);
        QCOMPARE(size, QSize(640, 480));
        QCOMPARE(settingsToObject(back, size), settingsToObject(s, size));
    }

    void failedSaveKeepsTheOldFile()
    {
        SettingsFile f;
        f.write(QJsonObject{{"iconSize", 60}});
        const QByteArray before = testsupport::readFile(f.path());
        testsupport::FileSizeLimit limit(16);
        QVERIFY(limit.active());
        QString error;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^saveAppSettings: ")));
        QVERIFY(!saveAppSettings(f.path(), AppSettings(), QSize(1, 1), &error));
        QCOMPARE(error, QStringLiteral("设置文件写入失败"));
        QCOMPARE(testsupport::readFile(f.path()), before);
        QCOMPARE(QDir(f.dir()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("settings.json")});

        setLanguage(1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^saveAppSettings: ")));
        QVERIFY(!saveAppSettings(f.path(), AppSettings(), QSize(1, 1), &error));
        QCOMPARE(error, QStringLiteral("Failed to write the settings file"));
    }

    void unpreservedDamageIsNeverOverwritten()
    {
        // A name so long that no ".corrupt-" sibling can exist beside it:
        // rename and copy both fail.
        QTemporaryDir dir;
        const QString path = dir.path() + QLatin1Char('/') + QString(240, QLatin1Char('s'));
        QVERIFY(testsupport::writeFile(path, "{damaged"));
        AppSettings s;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^corrupt config preserved: .* ok = false$")));
        const SettingsLoadResult r = loadAppSettings(path, s, nullptr);
        QCOMPARE(r.status, SettingsLoadResult::Damaged);
        QVERIFY(!r.preserved);
        QVERIFY(isConfigOverwriteBlocked(path));

        QString error;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^saveAppSettings: ")));
        QVERIFY(!saveAppSettings(path, s, QSize(1, 1), &error));
        QCOMPARE(error, QStringLiteral("设置文件写入失败"));
        QCOMPARE(testsupport::readFile(path), QByteArray("{damaged"));

        // Put right from outside (a restore): it loads and saves again.
        QVERIFY(testsupport::writeFile(path, "{\"iconSize\": 64}"));
        QCOMPARE(loadAppSettings(path, s, nullptr).status, SettingsLoadResult::Loaded);
        QVERIFY(!isConfigOverwriteBlocked(path));
        QVERIFY(saveAppSettings(path, s, QSize(1, 1), nullptr));
    }
};

QTEST_GUILESS_MAIN(TestAppSettings)
#include "test_appsettings.moc"
