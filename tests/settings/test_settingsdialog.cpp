// The settings dialog driven as a user drives it: clicks, drags, the wheel
// and keys on the painted surface, with the prompts answered by a fake.
// Checks the working copy, the previews, OK, Cancel and restore defaults.
#include "settings/settingsdialog.h"

#include "app/lang.h"
#include "app/theme.h"
#include "fakeprompts.h"
#include "model/panelmodel.h"
#include "protect/passwordhash.h"
#include "settings/valuewidgets.h"
#include "settingsclicks.h"
#include "testsupport.h"

#include <QKeySequenceEdit>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A dialog over a live record, with callbacks that record what they got.
struct Harness {
    AppSettings live;
    QList<PanelGroup> groups;
    QList<AppSettings> applied;
    QStringList lockBackgrounds;
    QList<QString> protectionHashes;
    int layoutChanges = 0;
    std::unique_ptr<SettingsDialog> dialog;

    void open()
    {
        dialog = std::make_unique<SettingsDialog>(
            &live, QStringLiteral("/data/root"), [] {}, [this](const AppSettings& s) { applied << s; }, nullptr,
            nullptr, nullptr, nullptr, nullptr, &groups, [this] { ++layoutChanges; },
            [this](const QString& path) {
                lockBackgrounds << path;
                live.lockBgPath = path;
            },
            [this](const QString& hash, const QMap<QString, QString>& map) {
                protectionHashes << hash;
                live.protectPasswordHash = hash;
                live.obfuscateMap = map;
            },
            nullptr);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    SettingsDialog& d() { return *dialog; }
};

void hoverAt(QWidget* w, const QPoint& p)
{
    QMouseEvent e(QEvent::MouseMove, p, w->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void sendWheel(QWidget* w, int delta)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// The slider numbered `number`, scrolled to where the dialog shows it.
SliderWidget* showSlider(SettingsDialog& d, int number)
{
    for (int page : {0, 1, 5}) {
        d.setCurrentPage(page);
        for (int scroll = 0; scroll <= std::max(0, d.pageLayout().maxScroll) + 40; scroll += 40) {
            d.setScrollOffset(scroll);
            if (d.sliderByNumber(number)->isVisible())
                return d.sliderByNumber(number);
        }
    }
    return nullptr;
}

// Scrolls the current page until `w` shows; false when it never does.
bool scrollIntoView(SettingsDialog& d, QWidget* w)
{
    for (int scroll = 0; scroll <= std::max(0, d.pageLayout().maxScroll) + 40; scroll += 40) {
        d.setScrollOffset(scroll);
        if (w->isVisible())
            return true;
    }
    return false;
}

PanelItem item(const QString& path, const QString& name)
{
    PanelItem it;
    it.path = path;
    it.name = name;
    return it;
}

QString writePng(const QString& name)
{
    const QString path = testsupport::testRoot() + QLatin1Char('/') + name;
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.save(path, "PNG");
    return path;
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        setLanguage(0);
        setDarkTheme(false);
    }

    void constructionCopiesAndForcesTheSettingsButton()
    {
        FakePromptsScope prompts;
        Harness h;
        h.live.btnVisible[1] = false;
        h.live.customTitle = QStringLiteral("Desk");
        h.open();
        QVERIFY(h.d().workingSettings().btnVisible.at(1));
        QCOMPARE(h.d().titleEditor()->text(), QStringLiteral("Desk"));
        QCOMPARE(h.d().titleEditor()->maxLength(), 24);
        QCOMPARE(h.d().currentPage(), 0);
        QVERIFY(h.d().windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!h.d().isModal());
        QCOMPARE(h.d().fontComboBox()->itemData(0).toString(), QString());
        for (int n = 0; n < kSliderCount; ++n)
            QCOMPARE(h.d().sliderByNumber(n)->value(), sliderFieldValue(h.live, n));
        QVERIFY(!h.d().sliderByNumber(18));
    }

    // The dialog must not undo what the panel changed while it was open.
    void okKeepsWhatThePanelChangedMeanwhile()
    {
        FakePromptsScope prompts;
        Harness h;
        h.live.protectPasswordHash = QStringLiteral("s$abc");
        h.open();
        QVERIFY(clickElement(h.d(), settingsid::kSwitchBase + settingsswitch::kStartPinned));
        // The panel: obfuscation switched on, a backup ran, an unlock from
        // the account removed the password.
        h.live.obfuscateEnabled = true;
        h.live.backupLastAt = QStringLiteral("2026-03-01T10:00:00");
        h.live.protectPasswordHash.clear();
        QVERIFY(clickElement(h.d(), settingsid::kSwitchBase + settingsswitch::kShowItemNames));
        QVERIFY(h.applied.last().obfuscateEnabled);
        QVERIFY(!h.applied.last().showItemNames);
        QSignalSpy finished(&h.d(), &QDialog::finished);
        QVERIFY(clickElement(h.d(), settingsid::kOk));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Accepted));
        QVERIFY(h.live.startPinned);
        QVERIFY(!h.live.showItemNames);
        QVERIFY(h.live.obfuscateEnabled);
        QCOMPARE(h.live.backupLastAt, QStringLiteral("2026-03-01T10:00:00"));
        QVERIFY(h.live.protectPasswordHash.isEmpty());
    }

    void okStoresTheTrimmedName()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().titleEditor()->setText(QStringLiteral("  My Desk  "));
        QCOMPARE(h.d().workingSettings().customTitle, QStringLiteral("My Desk"));
        QCOMPARE(h.applied.last().customTitle, QStringLiteral("My Desk"));
        QVERIFY(clickElement(h.d(), settingsid::kOk));
        QCOMPARE(h.live.customTitle, QStringLiteral("My Desk"));
    }

    void cancelPutsTheLiveLookBackAndKeepsTheRecordingFolder()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QVERIFY(clickElement(h.d(), settingsid::kSegmentBase + 2 * settingssegment::kLanguage + 1));
        QCOMPARE(currentLanguage(), 1);
        QCOMPARE(h.d().workingSettings().language, 1);
        h.d().gotoMonitorSettings();
        QCOMPARE(h.d().currentPage(), 5);
        QVERIFY(!h.d().isProtectUnlocked());
        prompts->fileAnswers << QStringLiteral("/recordings");
        prompts->menuAnswers << 2;
        QVERIFY(clickElement(h.d(), settingsid::kMonitorDirChoose));
        QVERIFY(clickElement(h.d(), settingsid::kMonitorTrigger));
        QCOMPARE(h.live.monitorDir, QStringLiteral("/recordings"));
        QCOMPARE(h.live.monitorTrigger, 2);
        h.applied.clear();
        QSignalSpy finished(&h.d(), &QDialog::finished);
        QVERIFY(clickElement(h.d(), settingsid::kCancel));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QCOMPARE(currentLanguage(), 0);
        QCOMPARE(h.live.language, 0);
        QCOMPARE(h.live.monitorDir, QStringLiteral("/recordings"));
        QCOMPARE(h.live.monitorTrigger, 2);
        QCOMPARE(h.applied.size(), 1);
        QCOMPARE(h.applied.first().language, 0);
    }

    void okKeepsTheNewLanguage()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.applied.clear();
        QVERIFY(clickElement(h.d(), settingsid::kSegmentBase + 2 * settingssegment::kLanguage + 1));
        QVERIFY(h.applied.isEmpty());   // the language switches without a preview
        QVERIFY(clickElement(h.d(), settingsid::kOk));
        QCOMPARE(h.live.language, 1);
        QCOMPARE(currentLanguage(), 1);
    }

    void restoreDefaults_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("restored");
        QTest::newRow("confirmed") << 1 << true;
        QTest::newRow("no") << 0 << false;
        QTest::newRow("closed") << -1 << false;
    }
    void restoreDefaults()
    {
        QFETCH(int, answer);
        QFETCH(bool, restored);
        FakePromptsScope prompts;
        Harness h;
        h.live.customTitle = QStringLiteral("Mine");
        h.live.language = 1;
        setLanguage(1);
        h.live.summonHotkey = QStringLiteral("Ctrl+Alt+K");
        h.live.cornerRadius = 3;
        h.live.rememberGeometry = false;
        h.live.monitorFps = 20;
        h.open();
        prompts->askAnswers << answer;
        QVERIFY(clickElement(h.d(), settingsid::kRestoreDefaults));
        QCOMPARE(prompts->asked.size(), 1);
        const AppSettings& w = h.d().workingSettings();
        QCOMPARE(w.summonHotkey, restored ? QStringLiteral("Ctrl+Alt+G") : QStringLiteral("Ctrl+Alt+K"));
        QCOMPARE(h.d().hotkeyEditor()->keySequence().toString(QKeySequence::NativeText), w.summonHotkey);
        QCOMPARE(w.cornerRadius, restored ? 8 : 3);
        QCOMPARE(h.d().sliderByNumber(2)->value(), w.cornerRadius);
        QCOMPARE(w.customTitle, QStringLiteral("Mine"));
        QCOMPARE(h.d().titleEditor()->text(), QStringLiteral("Mine"));
        QCOMPARE(w.language, 1);
        QVERIFY(!w.rememberGeometry);
        QCOMPARE(w.monitorFps, 20);
        QCOMPARE(h.applied.isEmpty(), !restored);
    }

    void pressOnOkReleaseOnCancelCancels()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QVERIFY(clickElement(h.d(), settingsid::kSwitchBase + settingsswitch::kAutoStart));
        QSignalSpy finished(&h.d(), &QDialog::finished);
        const QPoint ok = pointOf(h.d(), settingsid::kOk);
        const QPoint cancel = pointOf(h.d(), settingsid::kCancel);
        QTest::mousePress(&h.d(), Qt::LeftButton, {}, ok);
        QCOMPARE(h.d().pressedId(), settingsid::kOk);
        QTest::mouseRelease(&h.d(), Qt::LeftButton, {}, cancel);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QVERIFY(h.live.autoStart);
    }

    void releaseOffTheSwitchChangesNothing()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        const QPoint on = pointOf(h.d(), settingsid::kSwitchBase + settingsswitch::kCloseToTray);
        QTest::mousePress(&h.d(), Qt::LeftButton, {}, on);
        QTest::mouseRelease(&h.d(), Qt::LeftButton, {}, on + QPoint(-200, 0));
        QVERIFY(h.d().workingSettings().closeToTray);
        QVERIFY(h.applied.isEmpty());
        QCOMPARE(h.d().pressedId(), -1);
    }

    void closeButtonActsOnPress()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QSignalSpy finished(&h.d(), &QDialog::finished);
        QTest::mousePress(&h.d(), Qt::LeftButton, {}, h.d().pageLayout().close.topLeft() - QPoint(3, 3));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    }

    void everySwitchEditsAndPreviews_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("n");
        for (int n : {0, 1, 2, 3, 4, 5, 6, 8, 12, 16})
            QTest::addRow("general %d", n) << 0 << n;
        for (int n : {13, 14})
            QTest::addRow("appearance %d", n) << 1 << n;
    }
    void everySwitchEditsAndPreviews()
    {
        QFETCH(int, page);
        QFETCH(int, n);
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(page);
        const bool before = settingsSwitchValue(h.d().workingSettings(), n);
        QVERIFY(clickElement(h.d(), settingsid::kSwitchBase + n));
        QCOMPARE(settingsSwitchValue(h.d().workingSettings(), n), !before);
        QCOMPARE(h.applied.size(), 1);
        QCOMPARE(settingsSwitchValue(h.applied.last(), n), !before);
        QCOMPARE(settingsSwitchValue(h.live, n), before);
    }

    void everySliderEdits_data()
    {
        QTest::addColumn<int>("n");
        for (int n = 0; n < kSliderCount; ++n)
            QTest::addRow("slider %d", n) << n;
    }
    void everySliderEdits()
    {
        QFETCH(int, n);
        FakePromptsScope prompts;
        Harness h;
        h.live.hoverMode = 0;
        h.open();
        SliderWidget* slider = showSlider(h.d(), n);
        QVERIFY2(slider, "the slider is never shown");
        h.applied.clear();
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(12, 14));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(12, 14));
        QCOMPARE(sliderFieldValue(h.d().workingSettings(), n), sliderSpec(n).min);
        QCOMPARE(h.applied.size(), sliderSpec(n).preview ? 1 : 0);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(sliderFieldValue(h.d().workingSettings(), n), sliderSpec(n).max);
        if (sliderSpec(n).preview)
            QCOMPARE(sliderFieldValue(h.applied.last(), n), sliderSpec(n).max);
        QCOMPARE(sliderFieldValue(h.live, n), sliderFieldValue(AppSettings(), n));
    }

    void segmentsEditTheirFields_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("previews");
        QTest::newRow("theme") << 0 << 0 << true;
        QTest::newRow("group layout") << 0 << 1 << true;
        QTest::newRow("open mode") << 0 << 2 << true;
        QTest::newRow("hover mode") << 0 << 3 << true;
        QTest::newRow("recording format") << 5 << 5 << true;
    }
    void segmentsEditTheirFields()
    {
        QFETCH(int, page);
        QFETCH(int, row);
        QFETCH(bool, previews);
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(page);
        auto value = [&](const AppSettings& s) {
            switch (row) {
            case 0: return int(s.darkTheme);
            case 1: return int(s.horizontalGroups);
            case 2: return int(s.singleClickOpen);
            case 3: return s.hoverMode;
            default: return s.monitorFormat;
            }
        };
        for (int v : {0, 1}) {
            h.applied.clear();
            QVERIFY(clickElement(h.d(), settingsid::kSegmentBase + 2 * row + v));
            QCOMPARE(value(h.d().workingSettings()), v);
            QCOMPARE(h.applied.isEmpty(), !previews);
        }
    }

    void hoverModeShowsAndHidesItsColourRow()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QVERIFY(!findHit(h.d(), settingsid::kHoverColour));
        QVERIFY(clickElement(h.d(), settingsid::kSegmentBase + 6));
        QVERIFY(findHit(h.d(), settingsid::kHoverColour));
        QVERIFY(clickElement(h.d(), settingsid::kSegmentBase + 7));
        QVERIFY(!findHit(h.d(), settingsid::kHoverColour));
    }

    void colourMenu_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("choice");
        QTest::addColumn<QColor>("picked");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("rgb");
        QTest::newRow("title bar preset") << int(settingsid::kTitleBarColour) << 2 << QColor() << 2 << 0x2F6FBF;
        QTest::newRow("border custom") << int(settingsid::kBorderColour) << 6 << QColor(0x12, 0x34, 0x56) << 6 << 0x123456;
        QTest::newRow("text custom cancelled") << int(settingsid::kTextColour) << 6 << QColor() << 0 << 0x39404C;
        QTest::newRow("menu closed") << int(settingsid::kMidColour) << -1 << QColor() << 0 << 0x2F6FBF;
        QTest::newRow("divider follows theme") << int(settingsid::kDividerColour) << 0 << QColor() << 0 << 0xC6C9D2;
    }
    void colourMenu()
    {
        QFETCH(int, id);
        QFETCH(int, choice);
        QFETCH(QColor, picked);
        QFETCH(int, mode);
        QFETCH(int, rgb);
        FakePromptsScope prompts;
        Harness h;
        h.live.dividerColor = 3;
        h.open();
        h.d().setCurrentPage(1);
        prompts->menuAnswers << choice;
        if (picked.isValid())
            prompts->colourAnswers << picked;
        QVERIFY(clickElement(h.d(), id));
        QCOMPARE(prompts->menus.size(), 1);
        QCOMPARE(prompts->menus.first().size(), 8);
        QVERIFY(prompts->menus.first().at(6).separator);
        const AppSettings& w = h.d().workingSettings();
        int gotMode = 0;
        int gotRgb = 0;
        switch (id) {
        case settingsid::kTitleBarColour: gotMode = w.titleBarColor; gotRgb = w.titleBarCustomRgb; break;
        case settingsid::kBorderColour: gotMode = w.borderColor; gotRgb = w.borderCustomRgb; break;
        case settingsid::kTextColour: gotMode = w.textColor; gotRgb = w.textCustomRgb; break;
        case settingsid::kMidColour: gotMode = w.midColor; gotRgb = w.midCustomRgb; break;
        default: gotMode = w.dividerColor; gotRgb = w.dividerCustomRgb; break;
        }
        QCOMPARE(gotMode, mode);
        QCOMPARE(gotRgb, rgb);
        const bool changed = choice >= 0 && (choice <= 5 || picked.isValid());
        QCOMPARE(h.applied.isEmpty(), !changed);
    }

    void customColourStartsFromTheThemeForTheBorder()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        h.d().showColourMenu(3, QPoint());
        QCOMPARE(prompts->menus.last().at(0).checked, true);
        QCOMPARE(prompts->menus.last().at(7).value, 6);
        QCOMPARE(prompts->asked.size(), 0);
        prompts->menuAnswers << 6;
        h.d().showColourMenu(3, QPoint());
        QCOMPARE(prompts->asked.last(), QStringLiteral("colour: 边框颜色"));
    }

    void revealMenuNeverOffersTheEdge()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        prompts->menuAnswers << 3;
        QVERIFY(clickElement(h.d(), settingsid::kRevealMethod));
        const QList<PromptMenuEntry> entries = prompts->menus.first();
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries.first().value, 1);
        QCOMPARE(entries.first().text, QStringLiteral("按下鼠标中键"));
        QVERIFY(entries.first().checked);
        QCOMPARE(h.d().workingSettings().revealMethod, 3);
        QVERIFY(h.applied.isEmpty());
    }

    void logoIsCheckedBeforeItIsTaken()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        const QString fake = testsupport::testRoot() + QStringLiteral("/notes.png");
        QVERIFY(testsupport::writeFile(fake, "not a picture"));
        prompts->fileAnswers << fake;
        QVERIFY(clickElement(h.d(), settingsid::kLogoChoose));
        QCOMPARE(prompts->warnings.size(), 1);
        QVERIFY(prompts->warnings.first().startsWith(QStringLiteral("自定义 LOGO|")));
        QVERIFY(h.d().workingSettings().customLogoPath.isEmpty());

        const QString real = writePng(QStringLiteral("logo.png"));
        prompts->fileAnswers << real;
        QVERIFY(clickElement(h.d(), settingsid::kLogoChoose));
        QCOMPARE(h.d().workingSettings().customLogoPath, real);
        QCOMPARE(h.applied.last().customLogoPath, real);
        QVERIFY(findHit(h.d(), settingsid::kLogoClear));
        QVERIFY(clickElement(h.d(), settingsid::kLogoClear));
        QVERIFY(h.d().workingSettings().customLogoPath.isEmpty());
        QVERIFY(!findHit(h.d(), settingsid::kLogoClear));
    }

    void backgroundVideoIsTakenByItsSuffix()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        prompts->hintAnswers << false;
        QVERIFY(clickElement(h.d(), settingsid::kBackgroundChoose));
        QCOMPARE(prompts->asked, QStringList{QStringLiteral("hint: 选择背景")});
        prompts->hintAnswers << true;
        prompts->fileAnswers << QStringLiteral("/nowhere/holiday.MP4");
        QVERIFY(clickElement(h.d(), settingsid::kPortraitBackgroundChoose));
        QCOMPARE(h.d().workingSettings().bgImagePortrait, QStringLiteral("/nowhere/holiday.MP4"));
        QVERIFY(prompts->warnings.isEmpty());
        QVERIFY(findHit(h.d(), settingsid::kPortraitBackgroundClear));
        QVERIFY(clickElement(h.d(), settingsid::kPortraitBackgroundClear));
        QVERIFY(h.d().workingSettings().bgImagePortrait.isEmpty());
        QVERIFY(backgroundFormatsHintHtml().contains(QStringLiteral("背景支持格式")));
        QVERIFY(isVideoBackground(QStringLiteral("a.WebM")));
        QVERIFY(!isVideoBackground(QStringLiteral("a.gif")));
    }

    void lockBackgroundSurvivesCancel()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QVERIFY(!findHit(h.d(), settingsid::kLockBackgroundRestore));
        prompts->fileAnswers << QStringLiteral("/walls/night.mkv");
        QVERIFY(clickElement(h.d(), settingsid::kLockBackgroundChoose));
        QCOMPARE(h.lockBackgrounds, QStringList{QStringLiteral("/walls/night.mkv")});
        QVERIFY(findHit(h.d(), settingsid::kLockBackgroundRestore));
        h.d().reject();
        QCOMPARE(h.live.lockBgPath, QStringLiteral("/walls/night.mkv"));
    }

    void protectionPageAsksForAPassword()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QVERIFY(clickElement(h.d(), settingsid::kNavBase + 5));
        QCOMPARE(prompts->lockModes, QList<int>{0});
        QCOMPARE(h.d().currentPage(), 0);
        QVERIFY(h.protectionHashes.isEmpty());

        LockPromptAnswer set;
        set.accepted = true;
        set.password = QStringLiteral("abcd");
        prompts->lockAnswers << set;
        QVERIFY(clickElement(h.d(), settingsid::kNavBase + 5));
        QCOMPARE(h.d().currentPage(), 5);
        QVERIFY(h.d().isProtectUnlocked());
        QCOMPARE(h.protectionHashes.size(), 1);
        QVERIFY(verifyPassword(h.live.protectPasswordHash, QStringLiteral("abcd")));

        // Once given, the page opens without asking again.
        h.d().setCurrentPage(0);
        QVERIFY(clickElement(h.d(), settingsid::kNavBase + 5));
        QCOMPARE(prompts->lockModes.size(), 2);
        QCOMPARE(h.d().currentPage(), 5);
    }

    void removingThePasswordAtThePromptEntersThePage()
    {
        FakePromptsScope prompts;
        Harness h;
        h.live.protectPasswordHash = QStringLiteral("s$abc");
        h.open();
        prompts->onLock = [](const LockPrompt& p) {
            QCOMPARE(p.mode, 1);
            QCOMPARE(p.storedHash, QStringLiteral("s$abc"));
            p.removeHook();
        };
        LockPromptAnswer accepted;
        accepted.accepted = true;
        prompts->lockAnswers << accepted;
        h.d().gotoProtectPage();
        QCOMPARE(h.d().currentPage(), 5);
        QCOMPARE(h.protectionHashes, QList<QString>{QString()});
        QVERIFY(h.live.protectPasswordHash.isEmpty());
    }

    void buttonCells()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        QCOMPARE(h.d().iconRows().size(), 11);
        QVERIFY(!findHit(h.d(), settingsid::kIconRowBase + 16 * 1));   // the settings button
        h.d().editButtonCell(1, 0);
        QVERIFY(h.d().workingSettings().btnVisible.at(1));
        QVERIFY(clickElement(h.d(), settingsid::kIconRowBase + 16 * 3));
        QVERIFY(!h.d().workingSettings().btnVisible.at(3));
        QVERIFY(!h.applied.last().btnVisible.at(3));

        const QString picture = writePng(QStringLiteral("night.png"));
        prompts->fileAnswers << picture;
        QVERIFY(clickElement(h.d(), settingsid::kIconRowBase + 16 * 3 + 7));
        QCOMPARE(h.d().workingSettings().btnIconsNight.at(3), QDir::toNativeSeparators(picture));
        QVERIFY(h.d().workingSettings().btnIcons.at(3).isEmpty());
        QVERIFY(findHit(h.d(), settingsid::kIconRowBase + 16 * 3 + 8));
        QVERIFY(clickElement(h.d(), settingsid::kIconRowBase + 16 * 3 + 8));
        QVERIFY(h.d().workingSettings().btnIconsNight.at(3).isEmpty());

        const QString text = testsupport::testRoot() + QStringLiteral("/readme.png");
        QVERIFY(testsupport::writeFile(text, "hello"));
        prompts->fileAnswers << text;
        QVERIFY(clickElement(h.d(), settingsid::kIconRowBase + 16 * 3 + 1));
        QCOMPARE(prompts->warnings.size(), 1);
        QVERIFY(h.d().workingSettings().btnIcons.at(3).isEmpty());
    }

    void hintBubbleOverThePictureSlots()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        const QPoint light = pointOf(h.d(), settingsid::kIconRowBase + 16 * 2 + 1);
        hoverAt(&h.d(), light);
        QVERIFY(h.d().hintText().startsWith(QStringLiteral("点击上传浅色模式图标")));
        QVERIFY(!h.d().hintAnchor().isNull());
        sendWheel(&h.d(), -120);
        QVERIFY(h.d().hintText().isEmpty());
    }

    void itemCellsChangeTheItemsAtOnce()
    {
        FakePromptsScope prompts;
        Harness h;
        PanelGroup g;
        g.name = QStringLiteral("Work");
        g.items << item(QStringLiteral("/bin/true"), QStringLiteral("true"));
        h.groups << g;
        h.open();
        h.d().setCurrentPage(3);
        QCOMPARE(h.d().iconRows().size(), 1);
        QVERIFY(clickElement(h.d(), settingsid::kIconRowBase));
        QVERIFY(h.groups.first().items.first().hidden);
        QCOMPARE(h.layoutChanges, 1);
        const QString picture = writePng(QStringLiteral("item.png"));
        prompts->fileAnswers << picture;
        QVERIFY(clickElement(h.d(), settingsid::kIconRowBase + 1));
        QCOMPARE(h.groups.first().items.first().customIcon, QDir::toNativeSeparators(picture));
        // The clear dot acts on the press.
        const QPoint dot = pointOf(h.d(), settingsid::kIconRowBase + 2);
        QTest::mousePress(&h.d(), Qt::LeftButton, {}, dot);
        QVERIFY(h.groups.first().items.first().customIcon.isEmpty());
        QTest::mouseRelease(&h.d(), Qt::LeftButton, {}, dot);
        QCOMPARE(h.layoutChanges, 3);
        h.d().reject();
        QVERIFY(h.groups.first().items.first().hidden);
    }

    // A picture twice as wide as high keeps its proportions in the 24 px
    // box of its row: half the box high, not stretched to fill it.
    void nonSquareItemIconIsNotStretched()
    {
        FakePromptsScope prompts;
        Harness h;
        const QString path = testsupport::testRoot() + QStringLiteral("/wide.png");
        QImage wide(64, 32, QImage::Format_ARGB32);
        wide.fill(QColor(255, 0, 0));
        QVERIFY(wide.save(path, "PNG"));
        PanelGroup g;
        g.name = QStringLiteral("Work");
        PanelItem it = item(QStringLiteral("/bin/true"), QStringLiteral("true"));
        it.customIcon = path;
        g.items << it;
        h.groups << g;
        h.open();
        h.d().setCurrentPage(3);
        QCOMPARE(h.d().iconRows().size(), 1);
        const QImage shot = h.d().grab().toImage();
        auto isRed = [&](int x, int y) {
            const QColor c = shot.pixelColor(x, y);
            return c.red() > 200 && c.green() < 60 && c.blue() < 60;
        };
        // The row's box is the leftmost red picture; its red height and width.
        int left = shot.width();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < left; ++x)
                if (isRed(x, y))
                    left = x;
        QVERIFY(left < shot.width());
        const int ratio = int(std::lround(shot.devicePixelRatio()));
        QRect red;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = left; x < std::min(shot.width(), left + 30 * ratio); ++x)
                if (isRed(x, y))
                    red |= QRect(x, y, 1, 1);
        QVERIFY2(red.width() >= 22 * ratio && red.width() <= 24 * ratio, qPrintable(QString::number(red.width())));
        QVERIFY2(red.height() >= 10 * ratio && red.height() <= 13 * ratio, qPrintable(QString::number(red.height())));
    }

    void itemCellOfAnItemThatMovedIsIgnored()
    {
        FakePromptsScope prompts;
        Harness h;
        PanelGroup g;
        g.name = QStringLiteral("Work");
        g.items << item(QStringLiteral("/bin/true"), QStringLiteral("true"))
                << item(QStringLiteral("/bin/false"), QStringLiteral("false"));
        h.groups << g;
        h.open();
        h.d().setCurrentPage(3);
        // The panel removes the first item while the page shows it.
        h.groups[0].items.removeFirst();
        h.d().editItemCell(0, 0);
        QVERIFY(!h.groups.first().items.first().hidden);
        QCOMPARE(h.layoutChanges, 0);
    }

    void rightPressOnTheVisibilityButtonDoesNothing()
    {
        FakePromptsScope prompts;
        Harness h;
        PanelGroup g;
        g.name = QStringLiteral("Work");
        g.items << item(QStringLiteral("/bin/true"), QStringLiteral("true"));
        h.groups << g;
        h.open();
        h.d().setCurrentPage(3);
        const QPoint row = pointOf(h.d(), settingsid::kIconRowBase);
        QTest::mouseClick(&h.d(), Qt::RightButton, {}, row);
        QVERIFY(prompts->asked.isEmpty());
        QVERIFY(!h.groups.first().items.first().hidden);
    }

    void wheelScrollsInFortyFourPixelSteps_data()
    {
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("scroll");
        QTest::newRow("one notch") << -120 << 44;
        QTest::newRow("four notches") << -480 << 176;
        QTest::newRow("below two notches") << -200 << 44;
        QTest::newRow("up at the top") << 120 << 0;
    }
    void wheelScrollsInFortyFourPixelSteps()
    {
        QFETCH(int, delta);
        QFETCH(int, scroll);
        FakePromptsScope prompts;
        Harness h;
        h.open();
        // The dialog's height, and so how far the page scrolls, follows the
        // screen.
        const int maxScroll = h.d().pageLayout().maxScroll;
        QVERIFY(maxScroll > 44);
        sendWheel(&h.d(), delta);
        QCOMPARE(h.d().scrollOffset(), std::min(scroll, maxScroll));
    }

    // Qt hands a wheel event its receiver ignored on to the parent: over
    // the sliders and the font box the wheel scrolls the page and changes no
    // value.
    void valueWidgetsLeaveTheWheelAlone()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        QWidget* slider = h.d().sliderByNumber(0);
        QWidget* combo = h.d().fontComboBox();
        for (QWidget* w : {slider, combo}) {
            // Where each one shows depends on the dialog's height (the
            // screen's): scrolled to it first.
            QVERIFY(scrollIntoView(h.d(), w));
            QWheelEvent e(QPointF(20, 14), w->mapToGlobal(QPointF(20, 14)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            e.setAccepted(true);
            QApplication::sendEvent(w, &e);
            QVERIFY(!e.isAccepted());
        }
        QCOMPARE(h.d().workingSettings().iconSize, h.live.iconSize);
        QCOMPARE(h.d().workingSettings().fontFamily, h.live.fontFamily);
        QVERIFY(h.applied.isEmpty());
    }

    void hotkeyEditorKeys()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QKeySequenceEdit* edit = h.d().hotkeyEditor();
        QVERIFY(edit->isVisible());
        QCOMPARE(edit->keySequence().toString(QKeySequence::NativeText), QStringLiteral("Ctrl+Alt+G"));
        QSignalSpy finished(&h.d(), &QDialog::finished);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(edit->keySequence().isEmpty());
        QVERIFY(h.d().workingSettings().summonHotkey.isEmpty());
        QCOMPARE(finished.size(), 0);
        QVERIFY(clickElement(h.d(), settingsid::kHotkeyRow));
        QTest::keyClick(edit, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        // The editor reports the combination once recording ends.
        QTRY_COMPARE_WITH_TIMEOUT(h.d().workingSettings().summonHotkey, QStringLiteral("Ctrl+Shift+K"), 5000);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(edit->keySequence().isEmpty());
        QCOMPARE(finished.size(), 0);
        QVERIFY(h.applied.isEmpty());
    }

    void escapeCancels()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QSignalSpy finished(&h.d(), &QDialog::finished);
        QTest::keyClick(&h.d(), Qt::Key_Escape);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
    }

    void fontComboPreviewsAndFollowsTheSettings()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        h.d().setCurrentPage(1);
        ElideCombo* combo = h.d().fontComboBox();
        QVERIFY(combo->count() > 1);
        const QString family = combo->itemData(1).toString();
        combo->setCurrentIndex(1);
        QCOMPARE(h.d().workingSettings().fontFamily, family);
        QCOMPARE(h.applied.last().fontFamily, family);
        QCOMPARE(combo->property("fullText").toString(), family);
        combo->setCurrentIndex(0);
        QVERIFY(h.d().workingSettings().fontFamily.isEmpty());
    }

    void paintsThePaletteOfTheTheme_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<QColor>("nav");
        QTest::addColumn<QColor>("card");
        QTest::newRow("light") << false << QColor(0xF3, 0xF3, 0xF3) << QColor(0xFA, 0xFA, 0xFA);
        QTest::newRow("dark") << true << QColor(0x27, 0x27, 0x27) << QColor(0x20, 0x20, 0x20);
    }
    void paintsThePaletteOfTheTheme()
    {
        QFETCH(bool, dark);
        QFETCH(QColor, nav);
        QFETCH(QColor, card);
        setDarkTheme(dark);
        FakePromptsScope prompts;
        Harness h;
        h.live.cornerRadius = 30;
        h.open();
        const QImage shot = h.d().grab().toImage();
        const qreal r = shot.devicePixelRatio();
        auto at = [&](int x, int y) { return shot.pixelColor(int(x * r), int(y * r)); };
        QCOMPARE(at(5, 400).rgb(), nav.rgb());
        QCOMPARE(at(600, 30).rgb(), card.rgb());
        // Radius 30 is drawn as 24: the corner is see-through.
        QCOMPARE(at(2, 2).alpha(), 0);
        // Hovering the current entry keeps its selected fill.
        hoverAt(&h.d(), h.d().pageLayout().nav[0].topLeft() + QPoint(100, 4));
        QCOMPARE(h.d().hoveredId(), settingsid::kNavBase);
        const QImage hovered = h.d().grab().toImage();
        const QColor selected = dark ? QColor(0x33, 0x33, 0x33) : QColor(0xE9, 0xE9, 0xE9);
        QCOMPARE(hovered.pixelColor(int(110 * r), int(62 * r)).rgb(), selected.rgb());
    }

    void squareCornersWithANegativeRadius()
    {
        FakePromptsScope prompts;
        Harness h;
        h.live.cornerRadius = -4;
        h.open();
        const QImage shot = h.d().grab().toImage();
        QVERIFY(shot.pixelColor(1, 1).alpha() > 0);
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "test_settingsdialog.moc"
