// The help and about page: the version and build-date texts, the memory and
// folder lines, every button driven by a click through to its callback or
// the prompts seam, the update channel of the working copy, and the colours
// of the legal links under the pointer.
#include "settings/settingsdialog.h"

#include "app/buildinfo.h"
#include "app/lang.h"
#include "app/servicehost.h"
#include "app/theme.h"
#include "fakeprompts.h"
#include "model/panelmodel.h"
#include "platform/processmemory.h"
#include "settings/settingsstyle.h"
#include "settingsclicks.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// Memory figures a test chooses; counts the trims.
class FakeProcessMemory : public ProcessMemory {
public:
    std::optional<ProcessMemoryFigures> answer;
    int trims = 0;
    std::optional<ProcessMemoryFigures> figures() override { return answer; }
    void trim() override { ++trims; }
};

class ProcessMemoryScope {
public:
    ProcessMemoryScope() { setProcessMemoryOverride(&fake); }
    ~ProcessMemoryScope() { setProcessMemoryOverride(nullptr); }
    ProcessMemoryScope(const ProcessMemoryScope&) = delete;
    ProcessMemoryScope& operator=(const ProcessMemoryScope&) = delete;
    FakeProcessMemory fake;
};

// A dialog on the about page whose callbacks write what they got into
// `events`; `withCallbacks` false leaves every one of them empty.
struct Harness {
    AppSettings live;
    QList<PanelGroup> groups;
    QStringList events;
    std::unique_ptr<SettingsDialog> dialog;

    void open(bool withCallbacks = true)
    {
        SettingsDialog::Callback clear, check, exportLogs;
        SettingsDialog::UninstallCallback uninstall;
        if (withCallbacks) {
            clear = [this] { events << QStringLiteral("clearIconCache"); };
            check = [this] {
                events << QStringLiteral("checkUpdate:%1").arg(dialog->workingSettings().updateChannel);
            };
            exportLogs = [this] { events << QStringLiteral("exportLogs"); };
            uninstall = [this](bool withData) {
                events << (withData ? QStringLiteral("uninstall:withData") : QStringLiteral("uninstall:keepData"));
            };
        }
        dialog = std::make_unique<SettingsDialog>(&live, QStringLiteral("/data/root"), clear, nullptr, nullptr,
                                                  nullptr, check, exportLogs, uninstall, &groups, nullptr, nullptr,
                                                  nullptr, nullptr);
        if (withCallbacks)
            dialog->setFactoryResetHandler([this] { events << QStringLiteral("factoryReset"); });
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->setCurrentPage(settingspage::kAbout);
    }
    SettingsDialog& d() { return *dialog; }
};

// The window rectangle of an element as it is drawn now.
QRect windowRectOf(const SettingsDialog& d, int id)
{
    const HitRect* h = findHit(d, id);
    return h ? h->rect.translated(0, -d.scrollOffset()) : QRect();
}

bool near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// Pixels of `area` within a small distance of `colour`.
int pixelsNear(const QImage& image, const QRect& area, const QColor& colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (near(image.pixelColor(x, y), colour, 6))
                ++n;
    return n;
}

const int kAboutIds[] = {aboutid::kVisitSite,         aboutid::kCheckUpdate,        aboutid::kStableChannel,
                         aboutid::kTestChannel,       aboutid::kTrimMemory,         aboutid::kClearIconCache,
                         aboutid::kOpenDataDir,       aboutid::kViewLog,            aboutid::kExportLogs,
                         aboutid::kUninstallKeepData, aboutid::kUninstallWithData,  aboutid::kFactoryReset,
                         aboutid::kJoinCommunity,     aboutid::kUserAgreement,      aboutid::kPrivacyPolicy,
                         aboutid::kLicence};

} // namespace

class TestSettingsAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        setLanguage(0);
        setDarkTheme(false);
        setServiceHostOverride(QStringLiteral("service.test"));
    }
    void cleanup() { setServiceHostOverride(QString()); }

    void versionText_data()
    {
        QTest::addColumn<QString>("stamped");
        QTest::addColumn<QString>("shown");
        QTest::newRow("four parts") << "1.0.251.0" << "1.0.251";
        QTest::newRow("fourth part never shown") << "2.3.4.9" << "2.3.4";
        QTest::newRow("three parts") << "2.3.4" << "2.3.4";
        QTest::newRow("two parts") << "1.2" << "1.2.0";
        QTest::newRow("one part") << "7" << "7.0.0";
        QTest::newRow("largest words") << "65535.65535.65535.65535" << "65535.65535.65535";
        QTest::newRow("none") << "" << "0.0.0";
        QTest::newRow("word too large") << "1.0.65536.0" << "0.0.0";
        QTest::newRow("five parts") << "1.2.3.4.5" << "0.0.0";
        QTest::newRow("empty part") << "1..3" << "0.0.0";
        QTest::newRow("letters") << "1.0.beta" << "0.0.0";
        QTest::newRow("sign") << "+1.2.3" << "0.0.0";
    }
    void versionText()
    {
        QFETCH(QString, stamped);
        QFETCH(QString, shown);
        QCOMPARE(formatFileVersion(stamped), shown);
    }

    void buildDateText_data()
    {
        QTest::addColumn<QString>("compiler");
        QTest::addColumn<QString>("shown");
        QTest::newRow("two-digit day") << "Nov 18 2026" << "2026-11-18";
        QTest::newRow("blank-padded day") << "Nov  8 2026" << "2026-11-08";
        QTest::newRow("blanks around") << " Jan  1 2027\t" << "2027-01-01";
        QTest::newRow("no such day") << "Feb 30 2026" << "Feb 30 2026";
        QTest::newRow("other order, simplified") << "18  Nov 2026" << "18 Nov 2026";
        QTest::newRow("local month name") << "Dez 18 2026" << "Dez 18 2026";
        QTest::newRow("empty") << "" << "";
    }
    void buildDateText()
    {
        QFETCH(QString, compiler);
        QFETCH(QString, shown);
        // The compiler writes English month names whatever the user's locale.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString got = formatBuildDate(compiler);
        QLocale::setDefault(before);
        QCOMPARE(got, shown);
    }

    void thisBuildIsStamped()
    {
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$")).match(buildDateString()).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$")).match(fileVersionString()).hasMatch());
        // The project's own version, as the top-level CMakeLists declares it.
        const QString lists = QString::fromUtf8(testsupport::readFile(testsupport::sourceDir() + "/CMakeLists.txt"));
        const QRegularExpressionMatch declared =
            QRegularExpression(QStringLiteral("project\\([^)]*VERSION\\s+([0-9.]+)")).match(lists);
        QVERIFY(declared.hasMatch());
        QCOMPARE(fileVersionString(), formatFileVersion(declared.captured(1)));
        QVERIFY(fileVersionString() != QStringLiteral("0.0.0"));
    }

    void memoryLine_data()
    {
        QTest::addColumn<bool>("known");
        QTest::addColumn<qint64>("current");
        QTest::addColumn<qint64>("peak");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole and fractional MiB") << true << qint64(100) * 1048576 << qint64(150.5 * 1048576)
                                                  << QStringLiteral("100.0 MB（本次运行峰值 150.5 MB）");
        QTest::newRow("rounded to one decimal") << true << qint64(1048576 * 0.96) << qint64(1048576 * 2.04)
                                                << QStringLiteral("1.0 MB（本次运行峰值 2.0 MB）");
        QTest::newRow("unknown") << false << qint64(0) << qint64(0) << QStringLiteral("—");
    }
    void memoryLine()
    {
        QFETCH(bool, known);
        QFETCH(qint64, current);
        QFETCH(qint64, peak);
        QFETCH(QString, shown);
        ProcessMemoryScope memory;
        if (known)
            memory.fake.answer = ProcessMemoryFigures{current, peak};
        QCOMPARE(aboutMemoryText(), shown);
    }

    // Long folders lose their middle: the start of the path and the last
    // folder both stay readable.
    void longFoldersAreShortenedInTheMiddle()
    {
        QFont font(QStringLiteral("Microsoft YaHei UI"));
        font.setPixelSize(12);
        const QFontMetrics fm(font);
        QString path = QStringLiteral("/home/someone");
        for (int i = 0; i < 30; ++i)
            path += QStringLiteral("/nested-folder-%1").arg(i);
        path += QStringLiteral("/LastFolder");
        const int width = 300;
        const QString shown = aboutFolderText(path, fm, width);
        QVERIFY(shown.startsWith(QStringLiteral("/home/")));
        QVERIFY(shown.endsWith(QStringLiteral("/LastFolder")));
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(fm.horizontalAdvance(shown) <= width);
        QCOMPARE(aboutFolderText(QStringLiteral("/short/data"), fm, width), QStringLiteral("/short/data"));
    }

    void layoutFollowsTheContentWidth()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        const int w = h.d().width() - 200;
        const QRect checkUpdate = findHit(h.d(), aboutid::kCheckUpdate)->rect;
        QCOMPARE(checkUpdate, QRect(QPoint(w + 60, 360), QPoint(w + 159, 387)));
        QCOMPARE(findHit(h.d(), aboutid::kStableChannel)->rect.right() + 1,
                 findHit(h.d(), aboutid::kTestChannel)->rect.left());
        const QRect keep = findHit(h.d(), aboutid::kUninstallKeepData)->rect;
        const QRect wipe = findHit(h.d(), aboutid::kUninstallWithData)->rect;
        const QRect reset = findHit(h.d(), aboutid::kFactoryReset)->rect;
        QCOMPARE(keep.left(), 192);
        QCOMPARE(keep.width(), (w - 48) / 3);
        QCOMPARE(wipe.left(), keep.right() + 9);
        QCOMPARE(reset.left(), wipe.right() + 9);
        const QRect user = findHit(h.d(), aboutid::kUserAgreement)->rect;
        const QRect privacy = findHit(h.d(), aboutid::kPrivacyPolicy)->rect;
        QCOMPARE(privacy.left(), user.right() + 11);
        QFont font11(QStringLiteral("Microsoft YaHei UI"));
        font11.setPixelSize(11);
        QCOMPARE(user.width(), QFontMetrics(font11).horizontalAdvance(translate(u"用户协议")) + 48);
        for (int id : kAboutIds)
            QVERIFY2(findHit(h.d(), id)->content, qPrintable(QString::number(id)));
        QCOMPARE(h.d().pageLayout().contentHeight, 935);
        QCOMPARE(h.d().pageLayout().maxScroll, 935 - h.d().height() + settingsgeom::kFooterHeight);
    }

    void eachButtonReachesItsTarget_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("logViewer");
        QTest::addColumn<int>("trims");
        const QString none;
        QTest::newRow("visit site") << aboutid::kVisitSite << QStringList() << "https://service.test" << none << none
                                    << 0;
        QTest::newRow("community") << aboutid::kJoinCommunity << QStringList() << "https://service.test/social.html"
                                   << none << none << 0;
        QTest::newRow("user agreement") << aboutid::kUserAgreement << QStringList()
                                        << "https://service.test/protocol.php?type=user" << none << none << 0;
        QTest::newRow("privacy policy") << aboutid::kPrivacyPolicy << QStringList()
                                        << "https://service.test/protocol.php?type=privacy" << none << none << 0;
        QTest::newRow("licence") << aboutid::kLicence << QStringList() << "https://service.test/protocol.php?type=lgpl"
                                 << none << none << 0;
        QTest::newRow("check update") << aboutid::kCheckUpdate << QStringList{"checkUpdate:0"} << none << none << none
                                      << 0;
        QTest::newRow("trim memory") << aboutid::kTrimMemory << QStringList() << none << none << none << 1;
        QTest::newRow("clear icon cache") << aboutid::kClearIconCache << QStringList{"clearIconCache"} << none << none
                                          << none << 0;
        QTest::newRow("open data folder") << aboutid::kOpenDataDir << QStringList() << none << "/data/root" << none
                                          << 0;
        QTest::newRow("view log") << aboutid::kViewLog << QStringList() << none << none << "/data/root" << 0;
        QTest::newRow("export logs") << aboutid::kExportLogs << QStringList{"exportLogs"} << none << none << none << 0;
        QTest::newRow("uninstall keeping data") << aboutid::kUninstallKeepData << QStringList{"uninstall:keepData"}
                                                << none << none << none << 0;
        QTest::newRow("uninstall with data") << aboutid::kUninstallWithData << QStringList{"uninstall:withData"}
                                             << none << none << none << 0;
        QTest::newRow("factory reset") << aboutid::kFactoryReset << QStringList{"factoryReset"} << none << none << none
                                       << 0;
    }
    void eachButtonReachesItsTarget()
    {
        QFETCH(int, id);
        QFETCH(QStringList, events);
        QFETCH(QString, url);
        QFETCH(QString, folder);
        QFETCH(QString, logViewer);
        QFETCH(int, trims);
        FakePromptsScope prompts;
        ProcessMemoryScope memory;
        Harness h;
        h.open();
        QVERIFY(clickElement(h.d(), id));
        QCOMPARE(h.events, events);
        QCOMPARE(prompts->openedUrls.size(), url.isEmpty() ? 0 : 1);
        if (!url.isEmpty())
            QCOMPARE(prompts->openedUrls.first().toString(), url);
        QCOMPARE(prompts->openedFolders, folder.isEmpty() ? QStringList() : QStringList{folder});
        QCOMPARE(prompts->logViewers, logViewer.isEmpty() ? QStringList() : QStringList{logViewer});
        QCOMPARE(memory.fake.trims, trims);
        QVERIFY(prompts->asked.isEmpty());
        QVERIFY(h.d().isVisible());
        QCOMPARE(h.d().workingSettings().updateChannel, 0);
    }

    void emptyCallbacksDoNothing()
    {
        FakePromptsScope prompts;
        ProcessMemoryScope memory;
        Harness h;
        h.open(false);
        for (int id : {aboutid::kCheckUpdate, aboutid::kClearIconCache, aboutid::kExportLogs,
                       aboutid::kUninstallKeepData, aboutid::kUninstallWithData, aboutid::kFactoryReset})
            QVERIFY(clickElement(h.d(), id));
        QVERIFY(h.events.isEmpty());
        QVERIFY(prompts->openedUrls.isEmpty());
        QVERIFY(h.d().isVisible());
        QCOMPARE(h.d().currentPage(), int(settingspage::kAbout));
    }

    // The manual check follows the channel the open dialog shows; only OK
    // makes it the live one.
    void channelChoiceStaysInTheWorkingCopy()
    {
        FakePromptsScope prompts;
        Harness h;
        h.open();
        QVERIFY(clickElement(h.d(), aboutid::kTestChannel));
        QCOMPARE(h.d().workingSettings().updateChannel, 1);
        QCOMPARE(h.live.updateChannel, 0);
        QVERIFY(clickElement(h.d(), aboutid::kCheckUpdate));
        QCOMPARE(h.events, QStringList{"checkUpdate:1"});
        QVERIFY(clickElement(h.d(), aboutid::kStableChannel));
        QCOMPARE(h.d().workingSettings().updateChannel, 0);
        QVERIFY(clickElement(h.d(), aboutid::kTestChannel));
        h.d().reject();
        QCOMPARE(h.live.updateChannel, 0);

        h.open();
        QVERIFY(clickElement(h.d(), aboutid::kTestChannel));
        QVERIFY(clickElement(h.d(), settingsid::kOk));
        QCOMPARE(h.live.updateChannel, 1);
    }

    void legalLinkColoursFollowThePointer_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void legalLinkColoursFollowThePointer()
    {
        QFETCH(bool, dark);
        setDarkTheme(dark);
        FakePromptsScope prompts;
        Harness h;
        h.open();
        const ThemePalette& pal = dialogPalette();
        const QColor raised = dark ? pal.c[settingsslot::kControl] : QColor(Qt::white);
        const QColor tint = pal.c[settingsslot::kAccentTint];
        const QColor accent = pal.c[settingsslot::kAccent];
        const QColor pressedText = accent.darker(115);

        const int id = aboutid::kLicence;
        const QPoint at = pointOf(h.d(), id);
        const QRect pill = windowRectOf(h.d(), id);
        const QPoint fillPoint(pill.left() + 5, pill.center().y());
        const QRect label(QPoint(pill.left() + 34, pill.top() + 4), QPoint(pill.right() - 8, pill.bottom() - 4));
        const QPoint away = pointOf(h.d(), aboutid::kPrivacyPolicy) + QPoint(0, -40);

        QTest::mouseMove(&h.d(), away);
        QImage shot = h.d().grab().toImage();
        QVERIFY(near(shot.pixelColor(fillPoint), raised, 2));
        QVERIFY(pixelsNear(shot, label, pal.c[settingsslot::kBodyText]) > 0);
        QCOMPARE(pixelsNear(shot, label, accent), 0);

        QTest::mouseMove(&h.d(), at);
        QCOMPARE(h.d().hoveredId(), id);
        shot = h.d().grab().toImage();
        QVERIFY(near(shot.pixelColor(fillPoint), tint, 2));
        QVERIFY(pixelsNear(shot, label, accent) > 0);
        QCOMPARE(pixelsNear(shot, label, pressedText), 0);

        QTest::mousePress(&h.d(), Qt::LeftButton, {}, at);
        QCOMPARE(h.d().pressedId(), id);
        shot = h.d().grab().toImage();
        QVERIFY(near(shot.pixelColor(fillPoint), tint, 2));
        QVERIFY(pixelsNear(shot, label, pressedText) > 0);
        QCOMPARE(pixelsNear(shot, label, accent), 0);

        // Released elsewhere: no page opens.
        QTest::mouseMove(&h.d(), away);
        QTest::mouseRelease(&h.d(), Qt::LeftButton, {}, away);
        QVERIFY(prompts->openedUrls.isEmpty());
    }
};

QTEST_MAIN(TestSettingsAbout)
#include "test_settingsabout.moc"
