// The settings dialog's page model and layout as pure functions: sizes,
// section heights, the rows and chips that appear and go with the
// settings, element ids, scrolling and the hit test.
#include "app/appsettings.h"
#include "settings/settingslayout.h"
#include "settings/settingspagemodel.h"

#include <QtTest>

namespace {

constexpr int kW = 780;
constexpr int kH = 800;

SettingsPageLayout layoutOf(int page, const AppSettings& s, int scroll = 0, int* scrollOut = nullptr)
{
    QList<SettingsSection> model;
    buildPageModel(page, s, model);
    SettingsPageLayout l;
    layoutSettingsFrame(l, kW, kH);
    layoutSettingsSections(l, model, s);
    const int after = finishSettingsLayout(l, page, scroll);
    if (scrollOut)
        *scrollOut = after;
    return l;
}

bool hasId(const SettingsPageLayout& l, int id) { return !settingsHitRect(l, id).isNull(); }

int sectionIndex(int page, const AppSettings& s, const QString& title)
{
    QList<SettingsSection> model;
    buildPageModel(page, s, model);
    for (int i = 0; i < model.size(); ++i)
        if (QString::fromUtf16(model.at(i).title) == title)
            return i;
    return -1;
}

} // namespace

class TestSettingsLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialogSizeFollowsTheWorkArea_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("size");
        QTest::newRow("large") << QRect(0, 0, 1920, 1040) << QSize(780, 800);
        QTest::newRow("1366x728") << QRect(0, 0, 1366, 728) << QSize(780, 656);
        QTest::newRow("1024x400") << QRect(0, 0, 1024, 400) << QSize(780, 360);
        QTest::newRow("300x350") << QRect(0, 0, 300, 350) << QSize(304, 342);
        QTest::newRow("tiny") << QRect(0, 0, 10, 10) << QSize(304, 192);
        QTest::newRow("no screen") << QRect() << QSize(780, 800);
    }
    void dialogSizeFollowsTheWorkArea()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, size);
        QCOMPARE(settingsDialogSize(available), size);
    }

    void hoverModeAddsAndRemovesTheHoverColourRow()
    {
        AppSettings s;
        s.hoverMode = 0;
        const int i = sectionIndex(0, s, QStringLiteral("交互"));
        QVERIFY(i >= 0);
        const SettingsPageLayout highlight = layoutOf(0, s);
        s.hoverMode = 1;
        const SettingsPageLayout motion = layoutOf(0, s);
        QCOMPARE(highlight.sectionHeights.at(i) - motion.sectionHeights.at(i), 48);
        QVERIFY(hasId(highlight, settingsid::kHoverColour));
        QVERIFY(!hasId(motion, settingsid::kHoverColour));
        QCOMPARE(highlight.contentHeight - motion.contentHeight, 48);
    }

    void optionalTargetsFollowTheSettings_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("id");
        QTest::newRow("lock background restore") << 0 << "lockBgPath" << settingsid::kLockBackgroundRestore;
        QTest::newRow("logo clear dot") << 1 << "customLogoPath" << settingsid::kLogoClear;
        QTest::newRow("landscape clear dot") << 1 << "bgImagePath" << settingsid::kBackgroundClear;
        QTest::newRow("portrait clear dot") << 1 << "bgImagePortrait" << settingsid::kPortraitBackgroundClear;
    }
    void optionalTargetsFollowTheSettings()
    {
        QFETCH(int, page);
        QFETCH(QString, field);
        QFETCH(int, id);
        AppSettings s;
        QVERIFY(!hasId(layoutOf(page, s), id));
        const QString path = QStringLiteral("/pictures/a.png");
        if (field == QLatin1String("lockBgPath"))
            s.lockBgPath = path;
        else if (field == QLatin1String("customLogoPath"))
            s.customLogoPath = path;
        else if (field == QLatin1String("bgImagePath"))
            s.bgImagePath = path;
        else
            s.bgImagePortrait = path;
        const SettingsPageLayout with = layoutOf(page, s);
        QVERIFY(hasId(with, id));
        // A clear dot lies over its button and must win the hit test there.
        if (id != settingsid::kLockBackgroundRestore) {
            const QRect dot = settingsHitRect(with, id);
            const QPoint inWindow = dot.center();
            const HitRect* hit = settingsHitAt(with, inWindow, 0);
            QVERIFY(hit);
            QCOMPARE(hit->id, id);
        }
    }

    void segmentedRowsAreTwoHalves_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("width");
        QTest::newRow("language") << 0 << 4 << 200;
        QTest::newRow("theme") << 0 << 0 << 200;
        QTest::newRow("group layout") << 0 << 1 << 200;
        QTest::newRow("open mode") << 0 << 2 << 200;
        QTest::newRow("hover mode") << 0 << 3 << 218;
        QTest::newRow("recording format") << 5 << 5 << 200;
    }
    void segmentedRowsAreTwoHalves()
    {
        QFETCH(int, page);
        QFETCH(int, row);
        QFETCH(int, width);
        const SettingsPageLayout l = layoutOf(page, AppSettings());
        const QRect left = settingsHitRect(l, settingsid::kSegmentBase + 2 * row);
        const QRect right = settingsHitRect(l, settingsid::kSegmentBase + 2 * row + 1);
        QCOMPARE(right.right() - left.left() + 1, width);
        QCOMPARE(right.right(), kW - 42);
        QCOMPARE(left.height(), 28);
        QCOMPARE(right.left(), left.left() + width / 2);
    }

    void everySwitchOfThePagesHasItsTarget()
    {
        const SettingsPageLayout general = layoutOf(0, AppSettings());
        const SettingsPageLayout look = layoutOf(1, AppSettings());
        for (int n : {0, 1, 2, 3, 4, 5, 6, 8, 12, 16})
            QVERIFY2(hasId(general, settingsid::kSwitchBase + n), qPrintable(QString::number(n)));
        for (int n : {13, 14})
            QVERIFY2(hasId(look, settingsid::kSwitchBase + n), qPrintable(QString::number(n)));
        // Row switches are 40 x 20 at 13 px from the row's right edge.
        const QRect pinned = settingsHitRect(general, settingsid::kSwitchBase);
        QCOMPARE(pinned.size(), QSize(40, 20));
        QCOMPARE(pinned.right(), kW - 41 - 13);
        // An inline switch with a caption reaches left over the caption.
        const QRect showTitle = settingsHitRect(look, settingsid::kSwitchBase + 13);
        QVERIFY(showTitle.width() > 60);
    }

    void fontComboTakesTheFreeWidth()
    {
        QList<SettingsSection> model;
        buildPageModel(1, AppSettings(), model);
        const QList<QList<SettingsRowRects>> rects = buildRowRects(model, kW);
        int found = 0;
        for (int si = 0; si < model.size(); ++si) {
            const SettingsRow& row = model.at(si).rows.first();
            for (int k = 0; k < row.chips.size(); ++k) {
                const QRect c = rects.at(si).first().chips.at(k);
                if (row.chips.at(k).type == settingschip::kFontCombo) {
                    QCOMPARE(c.left(), 192 + 82);
                    ++found;
                }
                // 12 px apart, plus the room a chip keeps at its left (a
                // switch's caption, a background's thumbnail).
                if (k + 1 < row.chips.size())
                    QCOMPARE(rects.at(si).first().chips.at(k + 1).left() - c.right() - 1,
                             12 + settingsChipLeadingRoom(row.chips.at(k + 1)));
                QCOMPARE(c.height(), 28);
            }
            QCOMPARE(rects.at(si).first().chips.last().right(), kW - 41);
        }
        QCOMPARE(found, 1);
    }

    void wholeCardSectionsAreFortyHigh()
    {
        QList<SettingsSection> model;
        buildPageModel(1, AppSettings(), model);
        QCOMPARE(model.size(), 12);
        for (const SettingsSection& s : model)
            QCOMPARE(settingsSectionHeight(s), 40);
        SettingsSection zero = model.first();
        zero.ownHeight = 0;
        QCOMPARE(settingsSectionHeight(zero), 46);
        SettingsSection empty;
        QCOMPARE(settingsSectionHeight(empty), 45);
    }

    void theMonitorPageIsOnlyTheFrame()
    {
        int scroll = 0;
        const SettingsPageLayout l = layoutOf(4, AppSettings(), 120, &scroll);
        QCOMPARE(l.hits.size(), 1 + 6 + 3);
        QCOMPARE(scroll, 0);
        QVERIFY(l.scrollThumb.isNull());
        QVERIFY(hasId(l, settingsid::kClose));
        for (int page : {0, 1, 2, 3, 5, 6})
            QVERIFY(hasId(l, settingsid::kNavBase + page));
        QVERIFY(!hasId(l, settingsid::kNavBase + 4));
    }

    void navigationAndFooterGeometry()
    {
        const SettingsPageLayout l = layoutOf(0, AppSettings());
        QCOMPARE(l.close, QRect(QPoint(kW - 44, 6), QPoint(kW - 11, 37)));
        QCOMPARE(l.nav[3], QRect(QPoint(10, 58 + 46 * 3), QPoint(141, 95 + 46 * 3)));
        QCOMPARE(settingsHitRect(l, settingsid::kNavBase + 5), l.nav[3]);
        QCOMPARE(l.ok, QRect(QPoint(kW - 130, kH - 54), QPoint(kW - 21, kH - 21)));
        QCOMPARE(l.cancel, QRect(QPoint(kW - 252, kH - 54), QPoint(kW - 143, kH - 21)));
        QCOMPARE(l.restoreDefaults, QRect(QPoint(20, kH - 54), QPoint(137, kH - 21)));
    }

    void scrollRangeAndThumb()
    {
        // Pages 0 and 1 scroll with the wheel only: no thumb.
        int scroll = 0;
        const SettingsPageLayout general = layoutOf(0, AppSettings(), 10000, &scroll);
        QVERIFY(general.maxScroll > 0);
        QCOMPARE(scroll, general.maxScroll);
        QVERIFY(general.scrollThumb.isNull());

        // The icons page with many groups has a thumb that runs down the track.
        SettingsPageLayout icons;
        layoutSettingsFrame(icons, kW, kH);
        IconListShape shape;
        for (int g = 0; g < 10; ++g)
            shape.groupItemCounts << 6;
        shape.itemHasCustomIcon = QList<bool>(60, false);
        layoutIconList(icons, shape);
        QCOMPARE(icons.contentHeight, 78 + 10 * (50 + 48 * 3) + 9 * 15 + 27);
        finishSettingsLayout(icons, 3, 0);
        QCOMPARE(icons.scrollTrack, QRect(QPoint(kW - 20, 58), QPoint(kW - 4, kH - 63)));
        const int length = std::max(28, int(std::lround(double(kH - 120) * (kH - 120) / icons.contentHeight)));
        QCOMPARE(icons.scrollThumb.height(), length);
        QCOMPARE(icons.scrollThumb.top(), 58);
        updateSettingsScrollBar(icons, 3, icons.maxScroll);
        QCOMPARE(icons.scrollThumb.bottom(), 57 + (kH - length - 120) + length);
        // Without groups there is one empty card.
        SettingsPageLayout empty;
        layoutSettingsFrame(empty, kW, kH);
        layoutIconList(empty, IconListShape());
        QCOMPARE(empty.groupCards.size(), 1);
        QCOMPARE(empty.contentHeight, 187);
    }

    void iconListCardsAndCells()
    {
        SettingsPageLayout l;
        layoutSettingsFrame(l, kW, kH);
        IconListShape shape;
        shape.groupItemCounts = {2, 3, 0};
        shape.itemHasCustomIcon = {false, true, false, false, false};
        layoutIconList(l, shape);
        QCOMPARE(l.groupCards.size(), 3);
        QCOMPARE(l.groupCards.at(0).height(), 98);
        QCOMPARE(l.groupCards.at(1).height(), 50 + 48 * 2);
        QCOMPARE(l.groupCards.at(1).top(), l.groupCards.at(0).bottom() + 1 + 15);
        QCOMPARE(l.iconRows.size(), 5);
        const int g = (kW - 200 - 48) / 2;
        QCOMPARE(l.iconRows.at(0), QRect(192, 78 + 46, g, 40));
        QCOMPARE(l.iconRows.at(1).left(), 192 + g + 16);
        QCOMPARE(l.iconRows.at(4).top(), l.groupCards.at(1).top() + 46 + 48);
        // Row 1 has a custom icon: its clear dot exists; row 0's does not.
        QVERIFY(hasId(l, settingsid::kIconRowBase + 16 * 1 + 2));
        QVERIFY(!hasId(l, settingsid::kIconRowBase + 2));
        QCOMPARE(settingsHitRect(l, settingsid::kIconRowBase + 16 * 3).right(), l.iconRows.at(3).right() - 1);
    }

    void buttonRowsKeepTheSettingsButtonVisible()
    {
        SettingsPageLayout l;
        layoutSettingsFrame(l, kW, kH);
        QList<ButtonRowShape> rows(11);
        rows[1].hideable = false;
        rows[4].dark = true;
        layoutButtonRows(l, rows, 500);
        QCOMPARE(l.iconRows.size(), 11);
        QCOMPARE(l.buttonsCard, QRect(QPoint(176, 500), QPoint(kW - 25, 500 + 56 * 11 + 57)));
        QCOMPARE(l.contentHeight, 500 + 56 * 11 + 57 + 12);
        QVERIFY(hasId(l, settingsid::kIconRowBase + 0));
        QVERIFY(!hasId(l, settingsid::kIconRowBase + 16));
        QVERIFY(hasId(l, settingsid::kIconRowBase + 16 * 4 + 8));
        QVERIFY(!hasId(l, settingsid::kIconRowBase + 16 * 3 + 8));
        for (int cell : {1, 3, 4, 7})
            QVERIFY(hasId(l, settingsid::kIconRowBase + 16 * 2 + cell));
    }

    void contentHitsFollowTheScrollAndStayInTheViewport()
    {
        AppSettings s;
        int scroll = 0;
        const SettingsPageLayout l = layoutOf(0, s, 100, &scroll);
        QCOMPARE(scroll, 100);
        const QRect pinned = settingsHitRect(l, settingsid::kSwitchBase);
        const QPoint shown = pinned.center() - QPoint(0, 100);
        const HitRect* hit = settingsHitAt(l, shown, 100);
        QVERIFY(hit);
        QCOMPARE(hit->id, settingsid::kSwitchBase);
        QVERIFY(!settingsHitAt(l, pinned.center(), 100) || settingsHitAt(l, pinned.center(), 100)->id != settingsid::kSwitchBase);
        // A row scrolled under the page header is not clickable there.
        const QRect language = settingsHitRect(l, settingsid::kSegmentBase + 8);
        const QPoint underHeader(language.center().x(), 40);
        QVERIFY(language.top() - 100 < 58);
        const HitRect* hidden = settingsHitAt(l, underHeader, language.center().y() - 40);
        QVERIFY(!hidden || hidden->id != settingsid::kSegmentBase + 8);
        // Frame elements never move.
        QCOMPARE(settingsHitAt(l, l.nav[2].center(), 100)->id, settingsid::kNavBase + 3);
    }

    void optionLabelsClamp()
    {
        QCOMPARE(QString::fromUtf16(colourModeLabel(-3)), QStringLiteral("跟随主题"));
        QCOMPARE(QString::fromUtf16(colourModeLabel(6)), QStringLiteral("自定义颜色"));
        QCOMPARE(QString::fromUtf16(colourModeLabel(60)), QStringLiteral("自定义颜色"));
        QCOMPARE(QString::fromUtf16(revealMethodLabel(AppSettings().revealMethod)), QStringLiteral("按下中键"));
        QCOMPARE(QString::fromUtf16(revealMethodMenuLabel(4)), QStringLiteral("长按鼠标右键"));
        QCOMPARE(QString::fromUtf16(monitorTriggerLabel(9)), QStringLiteral("仅鼠标输入"));
    }
};

QTEST_MAIN(TestSettingsLayout)
#include "test_settingslayout.moc"
