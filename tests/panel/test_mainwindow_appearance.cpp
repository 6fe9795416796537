// Settings reaching the window: opacity and bar alphas over a picture,
// pictures, GIFs and videos as background (damaged ones included), no
// reload on a repeated apply, the orientation switch, the tray roads when
// no tray exists, and the window shape without a compositor.
#include "panel/mainwindow.h"

#include "app/appsettings.h"
#include "app/lang.h"
#include "app/paths.h"
#include "app/theme.h"
#include "panel/borderframe.h"
#include "protect/uilockoverlay.h"
#include "testsupport.h"
#include "videoclips.h"
#include "widgets/toast.h"

#include <QMovie>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {

QString file(const QString& name) { return testsupport::testRoot() + QStringLiteral("/media/") + name; }

QString writePicture(const QString& name, QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(10, 200, 30));
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return img.save(path) ? path : QString();
}

// A GIF whose logical screen is `size`, holding `frames` 1 x 1 frames.
QString writeGif(const QString& name, QSize size, int frames)
{
    QByteArray b("GIF89a");
    auto le16 = [&b](int v) { b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    le16(size.width());
    le16(size.height());
    b.append(char(0x80)).append(char(0)).append(char(0)); // 2-colour table
    b.append("\x00\x00\x00\xFF\xFF\xFF", 6);
    for (int i = 0; i < frames; ++i) {
        b.append("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8); // 100 ms
        b.append(char(0x2C));
        le16(0), le16(0), le16(1), le16(1);
        b.append(char(0));
        b.append("\x02\x02\x44\x01\x00", 5);
    }
    b.append(char(0x3B));
    const QString path = file(name);
    return testsupport::writeFile(path, b) ? path : QString();
}

} // namespace

class TestMainWindowAppearance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnavel"));
        QCoreApplication::setApplicationName(QStringLiteral("TarnavelPanel"));
    }
    void opacityAndBars_data();
    void opacityAndBars();
    void repeatedApplyReloadsNothing();
    void damagedPictures_data();
    void damagedPictures();
    void largeGifIsNotCached();
    void videoBackground();
    void notAVideoGivesToast();
    void orientationSwitch();
    void noTrayMinimises();
    void shapeWithoutCompositor();
    void lockScreenKeepsItsLook();
    void manualPinSurvivesAnApply();
};

void TestMainWindowAppearance::opacityAndBars_data()
{
    QTest::addColumn<int>("opacity");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<int>("titleMode");
    QTest::addColumn<qreal>("windowOpacity");
    QTest::addColumn<int>("titleAlpha");
    QTest::addColumn<int>("midAlpha");
    QTest::addColumn<int>("backgroundOpacity");
    QTest::newRow("opaque, theme colours") << 100 << false << 0 << 1.0 << 255 << 255 << 60;
    QTest::newRow("picture: theme-coloured title is see-through") << 100 << true << 0 << 1.0 << 0 << 0 << 60;
    QTest::newRow("picture, preset title keeps its alpha") << 100 << true << 2 << 1.0 << 255 << 0 << 60;
    QTest::newRow("opacity 0 without click-through: full alpha, picture at 100 %")
        << 0 << false << 2 << 1.0 / 255 << 255 << 255 << 100;
    QTest::newRow("opacity 50") << 50 << false << 0 << 128.0 / 255 << 255 << 255 << 60;
}

void TestMainWindowAppearance::opacityAndBars()
{
    QFETCH(int, opacity);
    QFETCH(bool, picture);
    QFETCH(int, titleMode);
    QFETCH(qreal, windowOpacity);
    QFETCH(int, titleAlpha);
    QFETCH(int, midAlpha);
    QFETCH(int, backgroundOpacity);
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.opacity = opacity;
    s.titleBarColor = titleMode;
    s.bgImageOpacity = 60;
    s.bgImagePath = picture ? writePicture(QStringLiteral("still.png"), QSize(400, 300)) : QString();
    w.setSettingsAndApply(s);
    QVERIFY(qAbs(w.windowOpacity() - windowOpacity) < 0.002);
    QCOMPARE(currentTheme().c[6].alpha(), titleAlpha);
    if (titleMode == 2)
        QCOMPARE(currentTheme().c[6].rgb() & 0xFFFFFF, QColor(0x2F, 0x6F, 0xBF).rgb() & 0xFFFFFF);
    QCOMPARE(currentTheme().c[10].alpha(), midAlpha);
    QCOMPARE(w.appearance().backgroundOpacity, backgroundOpacity);
    QCOMPARE(w.appearance().stillBackground.isNull(), !picture);
    // Painting works in every state.
    QVERIFY(!w.grab().isNull());
}

void TestMainWindowAppearance::repeatedApplyReloadsNothing()
{
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.bgImagePath = writePicture(QStringLiteral("again.png"), QSize(300, 200));
    s.customLogoPath = writePicture(QStringLiteral("logo.png"), QSize(64, 64));
    w.setSettingsAndApply(s);
    const qint64 still = w.appearance().stillBackground.cacheKey();
    const qint64 logo = w.appearance().customLogo.cacheKey();
    QVERIFY(!w.appearance().customLogo.isNull());
    w.setSettingsAndApply(s);
    QCOMPARE(w.appearance().stillBackground.cacheKey(), still);
    QCOMPARE(w.appearance().customLogo.cacheKey(), logo);
}

void TestMainWindowAppearance::damagedPictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QByteArray cutGif("GIF89a\x10\x00\x10\x00\x80\x00\x00", 13);
    QTest::newRow("damaged png") << "bad.png" << QByteArray("\x89PNG\r\n\x1a\nthis is no picture");
    QTest::newRow("damaged gif") << "bad.gif" << cutGif;
    QTest::newRow("missing file") << "none.jpg" << QByteArray();
}

void TestMainWindowAppearance::damagedPictures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = file(name);
    if (!bytes.isEmpty())
        QVERIFY(testsupport::writeFile(path, bytes));
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.bgImagePath = path;
    w.setSettingsAndApply(s);
    QTest::qWait(50);
    // The theme colours show instead: the body is opaque again.
    QVERIFY(w.appearance().stillBackground.isNull());
    QCOMPARE(currentTheme().c[10].alpha(), 255);
    QVERIFY(!w.grab().isNull());
}

void TestMainWindowAppearance::largeGifIsNotCached()
{
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.bgImagePath = writeGif(QStringLiteral("large.gif"), QSize(1000, 200), 64);
    w.setSettingsAndApply(s);
    QVERIFY(w.appearance().movie);
    QCOMPARE(w.appearance().movie->cacheMode(), QMovie::CacheNone);
    s.bgImagePath = writeGif(QStringLiteral("small.gif"), QSize(1000, 200), 60);
    w.setSettingsAndApply(s);
    QVERIFY(w.appearance().movie);
    QCOMPARE(w.appearance().movie->cacheMode(), QMovie::CacheAll);
    // Its first frame becomes the still picture and is prepared for painting.
    QTRY_VERIFY(!w.appearance().stillBackground.isNull());
    QTRY_VERIFY(!w.appearance().scaledGifFrame.isNull());
    QVERIFY(!w.grab().isNull());
}

void TestMainWindowAppearance::videoBackground()
{
    const QString path = file(QStringLiteral("clip.mp4"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(testsupport::writeTestClip(path, QSize(320, 240), 10, 25));
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.bgImagePath = path;
    w.setSettingsAndApply(s);
    QVERIFY(w.appearance().videoActive);
    QCOMPARE(currentTheme().c[6].alpha(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!w.appearance().videoFrame.isNull(), 3000);
    QCOMPARE(w.appearance().videoFrame.size(), w.size() * w.devicePixelRatioF());
    s.bgImagePath.clear();
    w.setSettingsAndApply(s);
    QVERIFY(!w.appearance().videoActive);
    QCOMPARE(currentTheme().c[6].alpha(), 255);
}

void TestMainWindowAppearance::notAVideoGivesToast()
{
    const QString path = file(QStringLiteral("text.mp4"));
    QVERIFY(testsupport::writeFile(path, "not a video at all"));
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.bgImagePath = path;
    w.setSettingsAndApply(s);
    QVERIFY(w.appearance().videoActive);
    QTRY_VERIFY_WITH_TIMEOUT(!w.appearance().videoActive, 4000);
    QCOMPARE(w.appearance().failedVideoPath, path);
    auto* toast = w.findChild<Toast*>();
    QVERIFY(toast);
    QCOMPARE(toast->text(), translate("该视频无法播放，请更换格式（MP4 / WMV / AVI）"));
    QCOMPARE(currentTheme().c[10].alpha(), 255);
    // Applying again does not retry the failed file.
    w.setSettingsAndApply(s);
    QVERIFY(!w.appearance().videoActive);
}

void TestMainWindowAppearance::orientationSwitch()
{
    MainWindow w;
    const QRect landscape = w.geometry();
    w.handleUiButton(0);
    QVERIFY(w.isPortrait());
    QCOMPARE(w.width(), 300);
    QCOMPARE(w.minimumWidth(), 300);
    w.toggleOrientation();
    QVERIFY(!w.isPortrait());
    QCOMPARE(w.size(), landscape.size());
}

void TestMainWindowAppearance::noTrayMinimises()
{
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.closeToTray = true;
    s.minimizeToTray = true;
    w.setSettingsAndApply(s);
    QVERIFY(!w.tray() || !w.tray()->isVisible());
    w.show();
    w.hideToTray();
    // Never hidden without a way back.
    QVERIFY(w.isVisible());
    QVERIFY(w.isMinimized());
}

void TestMainWindowAppearance::shapeWithoutCompositor()
{
    MainWindow w;
    AppSettings s = w.currentSettings();
    s.cornerRadius = 12;
    w.setSettingsAndApply(s);
    QVERIFY(!w.mask().isEmpty());
    QVERIFY(!w.mask().contains(QPoint(0, 0)));
    QVERIFY(w.mask().contains(QPoint(w.width() / 2, w.height() / 2)));
    s.cornerRadius = 0;
    w.setSettingsAndApply(s);
    QVERIFY(w.mask().isEmpty());
}

// Under the lock screen the header divider stays hidden through a resize
// and a re-apply of the settings, and a new pixel ratio loads the lock
// screen's own GIF again for it.
void TestMainWindowAppearance::lockScreenKeepsItsLook()
{
    const QString settingsFile = cachedAppDataDir() + QStringLiteral("/settings.json");
    QFile::remove(settingsFile);
    {
        MainWindow w;
        AppSettings s = w.currentSettings();
        s.lockBgPath = writeGif(QStringLiteral("lock.gif"), QSize(40, 30), 2);
        w.setSettingsAndApply(s);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.lockUi();
        QTRY_VERIFY(w.lockScreen());
        const BorderFrame* frame = w.findChild<BorderFrame*>();
        QVERIFY(frame);
        const int hidden = frame->titleHeight;
        QVERIFY(hidden < 0);
        w.resize(w.width() + 40, w.height() + 20);
        QTRY_COMPARE(w.lockScreen()->width(), w.width());
        QCOMPARE(frame->titleHeight, hidden);
        w.applyAllSettings();
        QCOMPARE(frame->titleHeight, hidden);

        const QPointer<QMovie> before = w.lockScreen()->movie();
        QVERIFY(before);
        w.rerenderForPixelRatio();
        QTRY_VERIFY(before.isNull());
        QVERIFY(w.lockScreen()->movie());
        QCOMPARE(w.lockScreen()->backgroundPath(), s.lockBgPath);
    }
    QFile::remove(settingsFile);
}

// A pin set by hand stays through an apply of the settings (the theme
// button); only a change of the start setting itself pins or unpins.
void TestMainWindowAppearance::manualPinSurvivesAnApply()
{
    const QString settingsFile = cachedAppDataDir() + QStringLiteral("/settings.json");
    QFile::remove(settingsFile);
    {
        MainWindow w;
        QVERIFY(!w.currentSettings().startPinned);
        QVERIFY(!w.isPinned());
        w.setPinned(true);
        const bool dark = w.currentSettings().darkTheme;
        w.handleUiButton(6);
        QCOMPARE(w.currentSettings().darkTheme, !dark);
        QVERIFY(w.isPinned());
        AppSettings s = w.currentSettings();
        s.startPinned = true;
        w.setSettingsAndApply(s);
        QVERIFY(w.isPinned());
        s.startPinned = false;
        w.setSettingsAndApply(s);
        QVERIFY(!w.isPinned());
    }
    QFile::remove(settingsFile);
}

QTEST_MAIN(TestMainWindowAppearance)
#include "test_mainwindow_appearance.moc"
