#include "app/fontaliases.h"
#include "app/theme.h"

#include "testsupport.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

const int kTextSlots[] = {5, 16, 17, 27};
const int kDimSlots[] = {18, 24};

int inkPixels(const QImage& img)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

} // namespace

class TestTheme : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Runs first: the process-wide state starts untouched.
    void startsLightWithTwelvePixelCorners()
    {
        QVERIFY(!currentTheme().isDark);
        QCOMPARE(themeCornerRadius(), 12);
        QCOMPARE(uiFontFamily(), QStringLiteral("Microsoft YaHei UI"));
        QVERIFY(!currentTheme().dividerSet);
        QCOMPARE(currentTheme().dividerWidth, 1);
        QCOMPARE(currentTheme().dividerAlpha, 255);
    }

    void palettes_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("dialog");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("hex");  // empty: no colour
        QTest::newRow("dark 0") << true << false << 0 << "#23262e";
        QTest::newRow("dark 9") << true << false << 9 << "";
        QTest::newRow("dark 17") << true << false << 17 << "#ffffff";
        QTest::newRow("dark 28") << true << false << 28 << "#5e8bf3";
        QTest::newRow("dark 33") << true << false << 33 << "#333845";
        QTest::newRow("light 0") << false << false << 0 << "#f7f8fb";
        QTest::newRow("light 9") << false << false << 9 << "";
        QTest::newRow("light 17") << false << false << 17 << "#1f2937";
        QTest::newRow("light 28") << false << false << 28 << "#4c7df0";
        QTest::newRow("light 33") << false << false << 33 << "#edf0f6";
        QTest::newRow("dialog dark 0") << true << true << 0 << "#202020";
        QTest::newRow("dialog dark 9") << true << true << 9 << "#a9a9a9";
        QTest::newRow("dialog dark 29") << true << true << 29 << "#2e8be0";
        QTest::newRow("dialog dark 33") << true << true << 33 << "#5a5a5a";
        QTest::newRow("dialog light 0") << false << true << 0 << "#fafafa";
        QTest::newRow("dialog light 18") << false << true << 18 << "#5d5d5d";
        QTest::newRow("dialog light 29") << false << true << 29 << "#1a7ad9";
        QTest::newRow("dialog light 33") << false << true << 33 << "#c4c4c4";
    }
    void palettes()
    {
        QFETCH(bool, dark);
        QFETCH(bool, dialog);
        QFETCH(int, slot);
        QFETCH(QString, hex);
        setDarkTheme(dark);
        const ThemePalette& p = dialog ? dialogPalette() : currentTheme();
        QCOMPARE(p.isDark, dark);
        if (hex.isEmpty()) {
            QVERIFY(!p.c[slot].isValid());
        } else {
            QCOMPARE(p.c[slot].name(), hex);
            QCOMPARE(p.c[slot].alpha(), 255);
        }
        setDarkTheme(false);
    }

    void percentToAlpha_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("alpha");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1 (2.55 up)") << 1 << 3;
        QTest::newRow("2 (5.1 down)") << 2 << 5;
        QTest::newRow("30 (76.5 up)") << 30 << 77;
        QTest::newRow("50 (127.5 up)") << 50 << 128;
        QTest::newRow("100") << 100 << 255;
        QTest::newRow("150") << 150 << 255;
        QTest::newRow("-20") << -20 << 0;
    }
    void percentToAlpha()
    {
        QFETCH(int, percent);
        QFETCH(int, alpha);
        QCOMPARE(::percentToAlpha(percent), alpha);
    }

    void textColourDimsSecondarySlots_data()
    {
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("dim");
        QTest::newRow("255") << 255 << 158;
        QTest::newRow("100") << 100 << 62;
        QTest::newRow("50 floors at 40") << 50 << 40;
        QTest::newRow("0 floors at 40") << 0 << 40;
    }
    void textColourDimsSecondarySlots()
    {
        QFETCH(int, alpha);
        QFETCH(int, dim);
        setDarkTheme(false);
        const QColor t(0x11, 0x22, 0x33, alpha);
        setThemeTextColor(t);
        for (int s : kTextSlots)
            QCOMPARE(currentTheme().c[s], t);
        for (int s : kDimSlots) {
            QCOMPARE(currentTheme().c[s].rgb(), t.rgb());
            QCOMPARE(currentTheme().c[s].alpha(), dim);
        }
    }

    void textOpacity_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("dim");
        QTest::newRow("150 acts as 100") << 150 << 255 << 158;
        QTest::newRow("0") << 0 << 0 << 40;
        QTest::newRow("50") << 50 << 128 << 79;
    }
    void textOpacity()
    {
        QFETCH(int, percent);
        QFETCH(int, alpha);
        QFETCH(int, dim);
        setDarkTheme(false);  // forgets the base colour: slot 16 becomes it
        const QRgb base = currentTheme().c[16].rgb();
        setThemeTextOpacity(percent);
        for (int s : kTextSlots) {
            QCOMPARE(currentTheme().c[s].rgb(), base);
            QCOMPARE(currentTheme().c[s].alpha(), alpha);
        }
        for (int s : kDimSlots)
            QCOMPARE(currentTheme().c[s].alpha(), dim);
    }

    void opacityAppliesToTheRememberedColour()
    {
        setDarkTheme(true);
        setThemeTextColor(QColor(0xAA, 0x10, 0x10));
        setThemeTextOpacity(40);
        setThemeTextOpacity(100);  // back from the remembered colour, not from slot 16
        QCOMPARE(currentTheme().c[16], QColor(0xAA, 0x10, 0x10));
        setDarkTheme(false);
    }

    void overridesStayInTheirPalette()
    {
        setDarkTheme(true);
        setThemeTitleBarColors(Qt::red, Qt::green);
        setThemeBottomBarColors(Qt::blue, QColor());
        setThemeMidColors(Qt::cyan, Qt::magenta, Qt::yellow);
        setDarkTheme(false);
        QCOMPARE(currentTheme().c[6].name(), QStringLiteral("#e4e7ec"));
        setDarkTheme(true);
        const ThemePalette& p = currentTheme();
        QCOMPARE(p.c[6], QColor(Qt::red));
        QCOMPARE(p.c[7], QColor(Qt::green));
        QCOMPARE(p.c[8], QColor(Qt::blue));
        QVERIFY(!p.c[9].isValid());
        QCOMPARE(p.c[10], QColor(Qt::cyan));
        QCOMPARE(p.c[11], QColor(Qt::magenta));
        QCOMPARE(p.c[23], QColor(Qt::yellow));
        QCOMPARE(dialogPalette().c[0].name(), QStringLiteral("#202020"));  // never overridden
        setDarkTheme(false);
    }

    void presetColours_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("hex");
        QTest::newRow("1") << 1 << "#33373f";
        QTest::newRow("2") << 2 << "#2f6fbf";
        QTest::newRow("3") << 3 << "#2e6b52";
        QTest::newRow("4") << 4 << "#9e3b3b";
        QTest::newRow("5") << 5 << "#f5f6f8";
        QTest::newRow("0 follows the theme") << 0 << "slot 1";
        QTest::newRow("6 is the caller's") << 6 << "slot 1";
        QTest::newRow("out of range") << 42 << "slot 1";
    }
    void presetColours()
    {
        QFETCH(int, mode);
        QFETCH(QString, hex);
        for (bool dark : {false, true}) {
            setDarkTheme(dark);
            const QString expected = hex == QLatin1String("slot 1") ? currentTheme().c[1].name() : hex;
            QCOMPARE(presetColor(mode).name(), expected);
        }
        setDarkTheme(false);
    }

    void divider()
    {
        setDarkTheme(false);
        setThemeDivider(QColor(10, 20, 30), 9, 300);
        QVERIFY(currentTheme().dividerSet);
        QCOMPARE(currentTheme().dividerWidth, 4);
        QCOMPARE(currentTheme().dividerAlpha, 255);
        QCOMPARE(themeDividerColor(Qt::white), QColor(10, 20, 30));

        setThemeDivider(QColor(), -1, 128);
        QVERIFY(!currentTheme().dividerSet);
        QCOMPARE(currentTheme().dividerColor, QColor(10, 20, 30));  // kept
        QCOMPARE(currentTheme().dividerWidth, 0);
        const QColor given(200, 100, 50, 100);
        const QColor scaled = themeDividerColor(given);
        QCOMPARE(scaled.rgb(), given.rgb());
        QCOMPARE(scaled.alpha(), 50);  // 128 / 255 * 100 = 50.2
        QCOMPARE(themeDividerColor(QColor(1, 2, 3)).alpha(), 128);
        setThemeDivider(QColor(), 1, 255);
    }

    void cornerRadiusIsClamped_data()
    {
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("stored");
        QTest::newRow("-5") << -5 << 0;
        QTest::newRow("8") << 8 << 8;
        QTest::newRow("30") << 30 << 24;
    }
    void cornerRadiusIsClamped()
    {
        QFETCH(int, r);
        QFETCH(int, stored);
        setThemeCornerRadius(r);
        QCOMPARE(themeCornerRadius(), stored);
    }

    void fontFamily_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::newRow("two blanks") << "  " << "Microsoft YaHei UI";
        QTest::newRow("empty") << "" << "Microsoft YaHei UI";
        QTest::newRow("padded") << "  Noto Serif CJK SC \t" << "Noto Serif CJK SC";
    }
    void fontFamily()
    {
        QFETCH(QString, name);
        QFETCH(QString, family);
        setCustomFontFamily(name);
        QCOMPARE(uiFontFamily(), family);
        setCustomFontFamily(QString());
    }

    void interfaceFontRendersChinese()
    {
        installFontAliases();
        const QFont font(uiFontFamily(), 14);
        const QString family = QFontInfo(font).family();
        QVERIFY2(QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese), qPrintable(family));
        const QString text = QStringLiteral("设置文件写入失败");
        const QFontMetrics fm(font);
        for (const QChar c : text)
            QVERIFY2(fm.inFont(c), qPrintable(family));

        QImage img(240, 40, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            p.setFont(font);
            p.setPen(Qt::black);
            p.drawText(img.rect(), Qt::AlignCenter, text);
        }
        QVERIFY2(inkPixels(img) > 100, qPrintable(family));
    }

    void consolasIsMonospace()
    {
        installFontAliases();
        const QFontInfo info(QFont(QStringLiteral("Consolas"), 9));
        QVERIFY2(info.fixedPitch(), qPrintable(info.family()));
    }

    void fontconfigAliasesForOtherPrograms_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("expected");
        QTest::newRow("YaHei UI") << "Microsoft YaHei UI" << "Noto Sans CJK";
        QTest::newRow("YaHei") << "Microsoft YaHei" << "Noto Sans CJK";
        QTest::newRow("Consolas") << "Consolas" << "Mono";
    }
    void fontconfigAliasesForOtherPrograms()
    {
        QFETCH(QString, family);
        QFETCH(QString, expected);
        const QString conf = testsupport::sourceDir() + QStringLiteral("/src/resources/fonts.conf");
        const QString fcMatch = QStandardPaths::findExecutable(QStringLiteral("fc-match"));
        if (!QFileInfo::exists(conf) || fcMatch.isEmpty())
            QSKIP("needs QY_SOURCE_DIR and fc-match");
        QProcess proc;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FONTCONFIG_FILE"), conf);
        proc.setProcessEnvironment(env);
        proc.start(fcMatch, {QStringLiteral("-f"), QStringLiteral("%{family}"), family});
        QVERIFY(proc.waitForFinished(30000));
        const QString out = QString::fromUtf8(proc.readAllStandardOutput());
        QVERIFY2(out.contains(expected), qPrintable(out));
    }
};

QTEST_MAIN(TestTheme)
#include "test_theme.moc"
