// The obfuscation card of the protection page, the password button, and
// the right-button actions of the icon list (saving a custom picture
// elsewhere, exporting the built-in icon), driven through the painted
// surface with the prompts answered by a fake.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "fakeprompts.h"
#include "icons/iconservice.h"
#include "model/panelmodel.h"
#include "protect/passwordhash.h"
#include "settings/settingsiconfiles.h"
#include "settings/settingsstyle.h"
#include "settingsclicks.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QtTest>

namespace {

struct Harness {
    AppSettings live;
    QList<PanelGroup> groups;
    QList<QString> protectionHashes;
    QList<QMap<QString, QString>> protectionMaps;
    std::unique_ptr<SettingsDialog> dialog;

    void open()
    {
        dialog = std::make_unique<SettingsDialog>(
            &live, QStringLiteral("/data/root"), [] {}, [](const AppSettings&) {}, nullptr, nullptr, nullptr, nullptr,
            nullptr, &groups, [] {}, [this](const QString& path) { live.lockBgPath = path; },
            [this](const QString& hash, const QMap<QString, QString>& map) {
                protectionHashes << hash;
                protectionMaps << map;
                live.protectPasswordHash = hash;
                live.obfuscateMap = map;
            },
            nullptr);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    // The protection page without the password question.
    void openOnProtectPage()
    {
        open();
        dialog->gotoMonitorSettings();
    }
    SettingsDialog& d() { return *dialog; }
};

PanelItem item(const QString& path, const QString& name, const QString& customIcon = QString())
{
    PanelItem it;
    it.path = path;
    it.name = name;
    it.customIcon = customIcon;
    return it;
}

PanelGroup group(const QString& name, const QList<PanelItem>& items)
{
    PanelGroup g;
    g.name = name;
    g.items = items;
    return g;
}

QString writePng(const QString& name, const QColor& colour = Qt::red)
{
    const QString path = testsupport::testRoot() + QLatin1Char('/') + name;
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(colour);
    image.save(path, "PNG");
    return path;
}

LockPromptAnswer accepted(const QString& password = QString(), const QString& newPassword = QString())
{
    LockPromptAnswer a;
    a.accepted = true;
    a.password = password;
    a.newPassword = newPassword;
    return a;
}

} // namespace

class TestSettingsProtect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        setLanguage(0);
        setDarkTheme(false);
    }

    void cardLayout_data()
    {
        QTest::addColumn<QList<int>>("groupSizes");
        QTest::addColumn<QList<int>>("cardHeights");
        QTest::newRow("no groups") << QList<int>{} << QList<int>{114};
        QTest::newRow("only empty groups") << QList<int>{0, 0} << QList<int>{114, 114};
        QTest::newRow("two items") << QList<int>{2} << QList<int>{114};
        QTest::newRow("three items") << QList<int>{3} << QList<int>{178};
        QTest::newRow("mixed") << QList<int>{5, 0, 4} << QList<int>{242, 114, 178};
    }
    void cardLayout()
    {
        QFETCH(QList<int>, groupSizes);
        QFETCH(QList<int>, cardHeights);
        FakePromptsScope prompts;
        Harness h;
        int n = 0;
        for (int g = 0; g < groupSizes.size(); ++g) {
            QList<PanelItem> items;
            for (int i = 0; i < groupSizes.at(g); ++i, ++n)
                items << item(QStringLiteral("/opt/app%1").arg(n), QStringLiteral("App %1").arg(n));
            h.groups << group(QStringLiteral("G%1").arg(g), items);
        }
        h.openOnProtectPage();
        const ProtectCardLayout& l = h.d().protectCardLayout();
        const int width = h.d().width() - 200;
        QCOMPARE(h.d().protectRows().size(), n);
        QCOMPARE(l.tiles.size(), n);
        QCOMPARE(l.groupCards.size(), cardHeights.size());
        QCOMPARE(l.header.left(), 176);
        QCOMPARE(l.header.width(), width);
        QCOMPARE(l.passwordButton.size(), QSize(120, 30));
        QCOMPARE(l.passwordButton.right(), l.header.right() - 17);
        QCOMPARE(l.groupCards.first().top(), l.header.top() + 141);
        for (int g = 0; g < cardHeights.size(); ++g) {
            QCOMPARE(l.groupCards.at(g).height(), cardHeights.at(g));
            if (g > 0)
                QCOMPARE(l.groupCards.at(g).top(), l.groupCards.at(g - 1).bottom() + 1 + 15);
        }
        QCOMPARE(h.d().pageLayout().contentHeight, l.groupCards.last().bottom() + 12);
        // Every tile lies in its card, two to a line, and carries its two buttons.
        const int column = (width - 48) / 2;
        int row = 0;
        for (int g = 0; g < groupSizes.size(); ++g) {
            for (int j = 0; j < groupSizes.at(g); ++j, ++row) {
                const QRect& t = l.tiles.at(row);
                QCOMPARE(t.left(), j % 2 == 0 ? 192 : 192 + column + 16);
                QCOMPARE(t.top(), l.groupCards.at(g).top() + 46 + 64 * (j / 2));
                QVERIFY(l.groupCards.at(g).contains(t));
                QCOMPARE(settingsHitRect(h.d().pageLayout(), settingsid::kProtectRowBase + 2 * row),
                         l.chooseButtons.at(row));
                QCOMPARE(l.clearButtons.at(row).right(), t.right() - 1);
                QVERIFY(t.contains(l.chooseButtons.at(row)));
            }
        }
        QVERIFY(!findHit(h.d(), settingsid::kProtectRowBase + 2 * n));
        QVERIFY(findHit(h.d(), settingsid::kProtectPassword));
        // Painting walks the same lists, also without groups.
        QVERIFY(!h.d().grab().isNull());
    }

    void choosingATargetIsSharedByItemsOfOnePath()
    {
        FakePromptsScope prompts;
        Harness h;
        h.groups << group(QStringLiteral("Work"), {item(QStringLiteral("/usr/bin/xterm"), QStringLiteral("Term"))})
                 << group(QStringLiteral("Play"), {item(QStringLiteral("/usr/bin/xterm"), QStringLiteral("Shell"))});
        h.openOnProtectPage();
        prompts->menuAnswers << 0;
        prompts->fileAnswers << QStringLiteral("/srv/decoy folder");
        QVERIFY(clickElement(h.d(), settingsid::kProtectRowBase + 2 * 1));
        QCOMPARE(prompts->menus.size(), 1);
        QCOMPARE(prompts->menus.first().size(), 2);
        QCOMPARE(prompts->menus.first().at(0).text, QStringLiteral("选择文件夹..."));
        QCOMPARE(prompts->asked, QStringList{QStringLiteral("folder: 选择混淆后实际打开的文件夹")});
        QCOMPARE(prompts->pickerDirs, QStringList{QStringLiteral("/data/root")});
        const QString stored = QDir::toNativeSeparators(QStringLiteral("/srv/decoy folder"));
        QCOMPARE(h.live.obfuscateMap.size(), 1);
        QCOMPARE(h.live.obfuscateMap.value(QStringLiteral("/usr/bin/xterm")), stored);
        QCOMPARE(h.d().protectRows().at(0).target, stored);
        QCOMPARE(h.d().protectRows().at(1).target, stored);

        // A file target replaces the folder for both.
        prompts->menuAnswers << 1;
        prompts->fileAnswers << QStringLiteral("/usr/bin/xclock");
        QVERIFY(clickElement(h.d(), settingsid::kProtectRowBase));
        QCOMPARE(prompts->asked.last(), QStringLiteral("open: 选择混淆后实际打开的文件或程序"));
        QCOMPARE(h.live.obfuscateMap.size(), 1);
        QCOMPARE(h.d().protectRows().at(1).target, QStringLiteral("/usr/bin/xclock"));
        QCOMPARE(h.protectionHashes.size(), 2);
    }

    void abandonedChoiceChangesNothing_data()
    {
        QTest::addColumn<int>("menuAnswer");
        QTest::newRow("menu closed") << -1;
        QTest::newRow("folder picker cancelled") << 0;
        QTest::newRow("file picker cancelled") << 1;
    }
    void abandonedChoiceChangesNothing()
    {
        QFETCH(int, menuAnswer);
        FakePromptsScope prompts;
        Harness h;
        h.live.obfuscateMap.insert(QStringLiteral("/bin/ls"), QStringLiteral("/bin/true"));
        h.groups << group(QStringLiteral("Work"), {item(QStringLiteral("/bin/ls"), QStringLiteral("ls"))});
        h.openOnProtectPage();
        prompts->menuAnswers << menuAnswer;
        QVERIFY(clickElement(h.d(), settingsid::kProtectRowBase));
        QVERIFY(h.protectionHashes.isEmpty());
        QCOMPARE(h.d().workingSettings().obfuscateMap.value(QStringLiteral("/bin/ls")), QStringLiteral("/bin/true"));
    }

    void clearingSavesTheWholeMapEvenWithoutATarget()
    {
        FakePromptsScope prompts;
        Harness h;
        h.live.protectPasswordHash = QStringLiteral("s$abc");
        // Targets of items that left the panel are kept.
        h.live.obfuscateMap.insert(QStringLiteral("/gone/app"), QStringLiteral("/elsewhere"));
        h.groups << group(QStringLiteral("Work"), {item(QStringLiteral("/bin/ls"), QStringLiteral("ls")),
                                                   item(QStringLiteral("/bin/cat"), QStringLiteral("cat"))});
        h.live.obfuscateMap.insert(QStringLiteral("/bin/cat"), QStringLiteral("/bin/true"));
        h.openOnProtectPage();
        QVERIFY(clickElement(h.d(), settingsid::kProtectRowBase + 1));
        QCOMPARE(h.protectionHashes, QList<QString>{QStringLiteral("s$abc")});
        QCOMPARE(h.protectionMaps.last().size(), 2);
        QVERIFY(clickElement(h.d(), settingsid::kProtectRowBase + 2 + 1));
        QCOMPARE(h.protectionMaps.last(),
                 (QMap<QString, QString>{{QStringLiteral("/gone/app"), QStringLiteral("/elsewhere")}}));
        QVERIFY(h.d().protectRows().at(1).target.isEmpty());
        QVERIFY(prompts->menus.isEmpty());
    }

    void clearingThePasswordLocksThePageAgain()
    {
        FakePromptsScope prompts;
        Harness h;
        h.live.protectPasswordHash = QStringLiteral("s$abc");
        h.open();
        prompts->lockAnswers << accepted();
        h.d().gotoProtectPage();
        QCOMPARE(h.d().currentPage(), 5);
        QVERIFY(h.d().isProtectUnlocked());

        prompts->lockAnswers << accepted(QString(), QString());
        QVERIFY(clickElement(h.d(), settingsid::kProtectPassword));
        QCOMPARE(prompts->lockModes.last(), 2);
        QCOMPARE(h.protectionHashes, QList<QString>{QString()});
        QVERIFY(h.d().workingSettings().protectPasswordHash.isEmpty());
        QVERIFY(!h.d().isProtectUnlocked());

        // Set again from the button: mode 0 this time.
        prompts->lockAnswers << accepted(QStringLiteral("wxyz"));
        QVERIFY(clickElement(h.d(), settingsid::kProtectPassword));
        QCOMPARE(prompts->lockModes.last(), 0);
        QVERIFY(verifyPassword(h.live.protectPasswordHash, QStringLiteral("wxyz")));
        prompts->lockAnswers << accepted(QString(), QString());
        QVERIFY(clickElement(h.d(), settingsid::kProtectPassword));

        // Leaving and coming back asks for a new password.
        h.d().setCurrentPage(0);
        QVERIFY(clickElement(h.d(), settingsid::kNavBase + 5));
        QCOMPARE(prompts->lockModes.last(), 0);
        QCOMPARE(h.d().currentPage(), 0);
    }

    void legacyHashIsReplacedOnEntry()
    {
        FakePromptsScope prompts;
        Harness h;
        const QString salt = QStringLiteral("0a1b2c");
        const QString legacy = salt + QLatin1Char('$')
                             + QString::fromLatin1(QCryptographicHash::hash((salt + QStringLiteral("abcd")).toUtf8(),
                                                                           QCryptographicHash::Sha256)
                                                       .toHex());
        QVERIFY(verifyPassword(legacy, QStringLiteral("abcd")));
        h.live.protectPasswordHash = legacy;
        h.open();
        prompts->onLock = [](const LockPrompt& p) { p.verifiedHook(QStringLiteral("abcd")); };
        prompts->lockAnswers << accepted();
        h.d().gotoProtectPage();
        QCOMPARE(h.d().currentPage(), 5);
        QCOMPARE(h.protectionHashes.size(), 1);
        QVERIFY(!passwordNeedsRehash(h.live.protectPasswordHash));
        QVERIFY(verifyPassword(h.live.protectPasswordHash, QStringLiteral("abcd")));
    }

    void rowIconsComeFromTheCustomPictureOrTheShellCache()
    {
        FakePromptsScope prompts;
        Harness h;
        const QString picture = writePng(QStringLiteral("custom.png"));
        QPixmap shell(64, 32);
        shell.fill(Qt::blue);
        cacheIconPixmap(QStringLiteral("/opt/wide"), shell);
        h.groups << group(QStringLiteral("Work"), {item(QStringLiteral("/opt/custom"), QStringLiteral("c"), picture),
                                                   item(QStringLiteral("/opt/wide"), QStringLiteral("w")),
                                                   item(QStringLiteral("::{none}"), QStringLiteral("n"))});
        h.openOnProtectPage();
        const qreal dpr = settingsPixelRatio();
        const QList<ProtectRow>& rows = h.d().protectRows();
        const QPixmap custom = h.d().protectRowPixmap(rows.at(0));
        QCOMPARE(custom.deviceIndependentSize().toSize(), QSize(24, 24));
        const QPixmap wide = h.d().protectRowPixmap(rows.at(1));
        QCOMPARE(wide.size(), QSize(qRound(24 * dpr), qRound(12 * dpr)));
        QVERIFY(h.d().protectRowPixmap(rows.at(2)).isNull());
        QVERIFY(!h.d().grab().isNull());
    }

    // saveIconAs: what lies at the target before, what the user is told,
    // and what is on disk afterwards.
    void saveIconAs_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");   // "info" or the start of the warning
        QTest::newRow("new file") << "new" << "info";
        QTest::newRow("replaces a file") << "existing" << "info";
        QTest::newRow("onto the source") << "source" << "";
        QTest::newRow("onto the source spelt otherwise") << "source-dotted" << "";
        QTest::newRow("target cannot be replaced") << "directory" << "已写入临时文件，但无法替换原文件";
        QTest::newRow("temporary file in the way") << "temp-directory" << "保存失败：临时文件被占用";
        QTest::newRow("folder missing") << "no-folder" << "保存失败，请检查目标位置是否可写。";
        QTest::newRow("cancelled") << "cancel" << "";
    }
    void saveIconAs()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        const QString root = testsupport::testRoot() + QStringLiteral("/saveas-") + situation;
        QVERIFY(QDir().mkpath(root));
        const QString source = root + QStringLiteral("/icon.png");
        QVERIFY(testsupport::writeFile(source, "picture bytes"));
        QString target = root + QStringLiteral("/copy.png");
        if (situation == QLatin1String("existing"))
            QVERIFY(testsupport::writeFile(target, "older"));
        else if (situation == QLatin1String("source"))
            target = source;
        else if (situation == QLatin1String("source-dotted"))
            target = root + QStringLiteral("/./icon.png");
        else if (situation == QLatin1String("directory"))
            QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
        else if (situation == QLatin1String("temp-directory"))
            QVERIFY(QDir().mkpath(target + QStringLiteral(".krv_tmp/inside")));
        else if (situation == QLatin1String("no-folder"))
            target = root + QStringLiteral("/missing/copy.png");
        else if (situation == QLatin1String("cancel"))
            target.clear();

        FakePrompts prompts;
        prompts.fileAnswers << target;
        ::saveIconAs(nullptr, source, prompts);

        QCOMPARE(prompts.asked.first(), QStringLiteral("save: 另存为图标"));
        QCOMPARE(prompts.pickerDirs.first(), source);
        QCOMPARE(testsupport::readFile(source), QByteArray("picture bytes"));
        const QString temp = target + QStringLiteral(".krv_tmp");
        if (message.isEmpty()) {
            QVERIFY(prompts.warnings.isEmpty());
            QVERIFY(prompts.informations.isEmpty());
            QVERIFY(!QFileInfo::exists(temp));
        } else if (message == QLatin1String("info")) {
            QVERIFY(prompts.warnings.isEmpty());
            QCOMPARE(prompts.informations, QStringList{QStringLiteral("另存为图标|已保存到：\n") + target});
            QCOMPARE(testsupport::readFile(target), QByteArray("picture bytes"));
            QVERIFY(!QFileInfo::exists(temp));
        } else {
            QCOMPARE(prompts.warnings.size(), 1);
            QVERIFY2(prompts.warnings.first().startsWith(QStringLiteral("另存为图标|") + message),
                     qPrintable(prompts.warnings.first()));
            QVERIFY(prompts.informations.isEmpty());
        }
        if (situation == QLatin1String("directory")) {
            // The copy stays beside the target and the message names it.
            QVERIFY(prompts.warnings.first().endsWith(QLatin1Char('\n') + temp));
            QCOMPARE(testsupport::readFile(temp), QByteArray("picture bytes"));
            QVERIFY(QFileInfo(target + QStringLiteral("/inside")).isDir());
        }
    }

    void exportWritesATransparentPictureWithoutAnIcon()
    {
        IconRow row;
        row.path = QStringLiteral("::{00000000-0000-0000-0000-000000000000}");
        row.title = QStringLiteral("a/b:c*d?e\"f<g>h|i\\j");
        const QString answer = testsupport::testRoot() + QStringLiteral("/export.png");
        FakePrompts prompts;
        prompts.fileAnswers << answer;
        exportDefaultIcon(nullptr, row, prompts);
        QCOMPARE(prompts.asked.first(), QStringLiteral("save: 导出系统默认图标"));
        QCOMPARE(prompts.pickerDirs.first(), QDir::homePath() + QStringLiteral("/a_b_c_d_e_f_g_h_i_j.png"));
        QCOMPARE(prompts.informations, QStringList{QStringLiteral("导出系统默认图标|已保存到：\n") + answer});
        const QImage written(answer, "PNG");
        QCOMPARE(written.size(), QSize(256, 256));
        QVERIFY(written.hasAlphaChannel());
        for (int y = 0; y < 256; y += 5)
            for (int x = 0; x < 256; x += 5)
                QCOMPARE(qAlpha(written.pixel(x, y)), 0);

        // An unwritable place is reported and leaves nothing behind.
        prompts.fileAnswers << testsupport::testRoot() + QStringLiteral("/missing/export.png");
        exportDefaultIcon(nullptr, row, prompts);
        QCOMPARE(prompts.warnings, QStringList{QStringLiteral("导出系统默认图标|保存失败，请检查目标位置是否可写。")});
        QVERIFY(!QFileInfo::exists(testsupport::testRoot() + QStringLiteral("/missing")));
    }

    void exportFitsTheShellIcon()
    {
        QPixmap shell(64, 32);
        shell.fill(Qt::blue);
        cacheIconPixmap(QStringLiteral("/opt/banner"), shell);
        IconRow row;
        row.path = QStringLiteral("/opt/banner");
        row.title = QStringLiteral("banner");
        const QString answer = testsupport::testRoot() + QStringLiteral("/banner.png");
        FakePrompts prompts;
        prompts.fileAnswers << answer;
        exportDefaultIcon(nullptr, row, prompts);
        const QImage written(answer, "PNG");
        QCOMPARE(written.size(), QSize(256, 256));
        QCOMPARE(qAlpha(written.pixel(128, 20)), 0);
        QCOMPARE(QColor(written.pixel(128, 128)), QColor(Qt::blue));
        QCOMPARE(qAlpha(written.pixel(128, 235)), 0);
    }

    // A right press on the icons page: the picture square exports, the
    // custom-icon slot saves the picture elsewhere, the rest does nothing.
    void rightPressOnTheIconList()
    {
        FakePromptsScope prompts;
        Harness h;
        const QString picture = writePng(QStringLiteral("right.png"));
        h.groups << group(QStringLiteral("Work"), {item(QStringLiteral("/bin/true"), QStringLiteral("true"), picture),
                                                   item(QStringLiteral("/bin/false"), QStringLiteral("false"))});
        h.open();
        h.d().setCurrentPage(3);
        const QRect row = h.d().pageLayout().iconRows.at(0);
        QTest::mouseClick(&h.d(), Qt::RightButton, {}, windowPointOf(h.d(), row.topLeft() + QPoint(12, 20)));
        QCOMPARE(prompts->asked, QStringList{QStringLiteral("save: 导出系统默认图标")});
        QCOMPARE(prompts->pickerDirs.last(), QDir::homePath() + QStringLiteral("/true.png"));

        const QRect slot = settingsHitRect(h.d().pageLayout(), settingsid::kIconRowBase + 1);
        QTest::mouseClick(&h.d(), Qt::RightButton, {}, windowPointOf(h.d(), slot.center()));
        QCOMPARE(prompts->asked.last(), QStringLiteral("save: 另存为图标"));
        QCOMPARE(prompts->pickerDirs.last(), picture);

        // No custom picture: nothing to save; the visibility button ignores it.
        const int asked = int(prompts->asked.size());
        const QRect bare = settingsHitRect(h.d().pageLayout(), settingsid::kIconRowBase + 16 + 1);
        QTest::mouseClick(&h.d(), Qt::RightButton, {}, windowPointOf(h.d(), bare.center()));
        const QRect visibility = settingsHitRect(h.d().pageLayout(), settingsid::kIconRowBase);
        QTest::mouseClick(&h.d(), Qt::RightButton, {}, windowPointOf(h.d(), visibility.center()));
        QCOMPARE(prompts->asked.size(), asked);
        QVERIFY(!h.groups.first().items.first().hidden);
    }

    void clearingTheLogoDropsItsThumbnail()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        const QString logo = writePng(QStringLiteral("logo-edit.png"), Qt::red);
        prompts->fileAnswers << logo;
        QVERIFY(clickElement(h.d(), settingsid::kLogoChoose));
        const QPixmap before = loadScaledPixmapCached(logo, QSize(24, 24), QStringLiteral("logothumb"), true);
        QCOMPARE(before.toImage().pixelColor(4, 4), QColor(Qt::red));
        writePng(QStringLiteral("logo-edit.png"), Qt::green);
        QVERIFY(clickElement(h.d(), settingsid::kLogoClear));
        const QPixmap after = loadScaledPixmapCached(logo, QSize(24, 24), QStringLiteral("logothumb"), true);
        QCOMPARE(after.toImage().pixelColor(4, 4), QColor(Qt::green));
    }
};

QTEST_MAIN(TestSettingsProtect)
#include "test_settingsprotect.moc"
