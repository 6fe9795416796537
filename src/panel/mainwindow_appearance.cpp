// Applying the settings record to the window, and painting the panel.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "app/readabletext.h"
#include "app/theme.h"
#include "model/appearancerules.h"
#include "panel/autostart.h"
#include "panel/borderframe.h"
#include "platform/compositor.h"
#include "platform/windowstate.h"
#include "settings/settingsdialog.h"
#include "widgets/bottombar.h"
#include "widgets/icongrid.h"
#include "widgets/sidebar.h"
#include "widgets/titlebaractions.h"
#include "widgets/uibtn.h"

#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QMovie>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int kOutlineSlot = 3;
constexpr int kTitleBarTextSlot = 4;
constexpr int kBottomBarTextSlot = 5;
constexpr int kTitleTextSlot = 7;

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QPixmap loadPixmap(const QString& path)
{
    return path.isEmpty() ? QPixmap() : QPixmap(path);
}

} // namespace

void MainWindow::setSettingsAndApply(const AppSettings& s)
{
    settings = s;
    applyAllSettings();
}

void MainWindow::applyAllSettings()
{
    const auto autoStartAndTray = [this] {
        QString why;
        if (setAutoStart(settings.autoStart, QString(), &why) != 0)
            qWarning().noquote() << "autostart entry not changed:" << why;
        updateTrayVisibility();
    };
    // At the start the tray (a session-bus round trip) and the autostart
    // entry (a file) come after the first frame.
    if (constructing)
        runAfterFirstFrame(autoStartAndTray);
    else
        autoStartAndTray();
    // The start setting pins at the start and when it is changed; any other
    // apply (the theme button, a settings dialog) keeps a pin set by hand.
    if (appliedStartPinned != int(settings.startPinned)) {
        appliedStartPinned = int(settings.startPinned);
        setPinned(settings.startPinned);
    }
    applyAppSettings(settings);
    if (!settings.edgeSnap) {
        dockRevealed = false;
        dockSticky = false;
        setTaskbarVisible(true);
        if (dock.dockEdge != DockNone) {
            animateGeometry(dock.expandedRect.isValid() ? dock.expandedRect : geometry());
            dock.dockEdge = DockNone;
        }
    }
    updateDockPollTimer();
    if (supportPollTimer) {
        if (!supportPollTimer->isActive())
            supportPollTimer->start();
        // The first request sets up the network stack and its TLS library;
        // at start it waits until the panel has been painted.
        if (firstFrameWorkRan) {
            pollSupportUnread();
        } else if (!pollSupportAfterFirstPaint) {
            pollSupportAfterFirstPaint = true;
            runAfterFirstFrame([this] {
                pollSupportAfterFirstPaint = false;
                pollSupportUnread();
            });
        }
    }
    // At the start the key is grabbed after the first frame (a round trip to
    // the X server); an open settings dialog holds it released meanwhile.
    if (constructing)
        runAfterFirstFrame([this] {
            if (!settingsDialog)
                registerSummonHotkey(false);
        });
    else
        registerSummonHotkey(false);
    update();
    qInfo().noquote() << "settings applied: iconSize" << settings.iconSize << "radius" << settings.cornerRadius
                      << "opacity" << settings.opacity << "theme" << (settings.darkTheme ? "dark" : "light")
                      << "layout" << (settings.horizontalGroups ? "horizontal" : "vertical") << "edgeSnap"
                      << (settings.edgeSnap ? "true" : "false") << "autoStart"
                      << (settings.autoStart ? "true" : "false");
}

void MainWindow::applyUiFont(const AppSettings& s)
{
    setCustomFontFamily(s.fontFamily.trimmed());
    QFont font = QApplication::font();
    font.setFamily(uiFontFamily());
    QApplication::setFont(font);
}

void MainWindow::applyAppSettings(const AppSettings& s)
{
    setDarkTheme(s.darkTheme);
    const int radius = qBound(0, s.cornerRadius, 24);
    look.appliedRadius = radius;
    setThemeCornerRadius(radius);
    if (sidebar)
        sidebar->setCornerRadius(radius);
    if (iconGrid)
        iconGrid->setCornerRadius(radius);
    if (bottomBar)
        bottomBar->setCornerRadius(radius);

    if (titleBar) {
        titleBar->setButtonLayout(s.btnLayoutTitle, s.btnVisible, s.btnIcons);
        titleBar->setButtonIcons(s.btnIconsHover, s.btnIconsActive, s.btnIconsNight);
    }
    if (bottomBar) {
        bottomBar->setButtonLayout(s.btnLayoutBottom, s.btnVisible, s.btnIcons);
        bottomBar->setButtonIcons(s.btnIconsHover, s.btnIconsActive, s.btnIconsNight);
    }
    setUiButtonLit(uiBtnId(UiBtn::Obfuscation), s.obfuscateEnabled);

    layoutChildren();
    if (borderFrame && borderFrame->radius != radius) {
        borderFrame->radius = radius;
        borderFrame->update();
    }
    applyWindowShape();

    const WindowAlpha alpha = windowAlphaFor(s.opacity, s.clickThroughAtZero);
    applyWindowOpacity(alpha);

    if (s.customLogoPath != look.appliedLogoPath) {
        look.appliedLogoPath = s.customLogoPath;
        look.customLogo = loadPixmap(s.customLogoPath);
        look.scaledLogo = QPixmap();
        setWindowIcon(makeAppIcon());
        updateTrayIcon();
    }
    if (s.appIconPath != look.appliedAppIconPath) {
        look.appliedAppIconPath = s.appIconPath;
        look.appIcon = loadPixmap(s.appIconPath);
        setWindowIcon(makeAppIcon());
        updateTrayIcon();
    }

    const bool portraitPicture = portraitMode && !s.bgImagePortrait.isEmpty();
    const QString backgroundPath = portraitPicture ? s.bgImagePortrait : s.bgImagePath;
    const int pictureOpacity = portraitPicture ? s.bgImageOpacityPortrait : s.bgImageOpacity;
    look.backgroundOpacity = alpha.fullAlpha ? 100 : qBound(0, pictureOpacity, 100);

    look.titleText = s.customTitle.isEmpty() ? translate("Quillory") : s.customTitle;
    look.showTitle = s.showTitle;
    look.showLogo = s.showLogo;

    if (!look.backgroundApplied || backgroundPath != look.appliedBackgroundPath) {
        look.appliedBackgroundPath = backgroundPath;
        look.backgroundApplied = true;
        loadBackground(backgroundPath);
    }
    const bool pictureShown = look.videoActive || !look.stillBackground.isNull();

    // The body: its three colours, see-through over a picture.
    const QColor mid = colourOfMode(s.midColor, s.midCustomRgb);
    if (s.midColor != 0)
        setDarkTheme(mid.lightness() < 128);
    const ThemePalette& pal = currentTheme();
    const int midAlpha = pictureShown ? 0 : barAlpha(s.midOpacity, alpha);
    if (s.midColor != 0)
        setThemeMidColors(withAlpha(mid, midAlpha), withAlpha(mid, midAlpha), withAlpha(mid, midAlpha));
    else
        setThemeMidColors(withAlpha(pal.c[0], midAlpha), withAlpha(pal.c[11], midAlpha),
                          withAlpha(pal.c[23], midAlpha));

    if (s.textColor != 0)
        setThemeTextColor(colourOfMode(s.textColor, s.textCustomRgb));
    setThemeTextOpacity(qBound(0, s.textOpacity, 100));

    applyUiFont(s);

    setThemeDivider(s.dividerColor == 0 ? QColor() : colourOfMode(s.dividerColor, s.dividerCustomRgb),
                    qBound(0, s.dividerWidth, 4), percentToAlpha(s.dividerOpacity));
    if (borderFrame)
        borderFrame->update();

    if (iconGrid)
        iconGrid->setHoverEffect(s.hoverMode, s.hoverColor == 0 ? QColor() : colourOfMode(s.hoverColor, s.hoverCustomRgb),
                                 qBound(0, s.hoverOpacity, 100));

    auto barColours = [&](int mode, int customRgb, int opacity, int themeTextSlot) {
        QColor background = colourOfMode(mode, customRgb);
        const QColor foreground = barForeground(mode, background, currentTheme().c[themeTextSlot]);
        background.setAlpha(mode == 0 && pictureShown ? 0 : barAlpha(opacity, alpha));
        return std::make_pair(background, foreground);
    };
    const auto title = barColours(s.titleBarColor, s.titleBarCustomRgb, s.titleBarOpacity, kTitleBarTextSlot);
    setThemeTitleBarColors(title.first, title.second);
    const auto bottom = barColours(s.bottomBarColor, s.bottomBarCustomRgb, s.bottomBarOpacity, kBottomBarTextSlot);
    setThemeBottomBarColors(bottom.first, bottom.second);

    compactGroups = s.horizontalGroups;
    if (sidebar)
        sidebar->setCompact(portraitMode || s.horizontalGroups);
    layoutChildren();
    if (iconGrid) {
        iconGrid->setIconSize(portraitMode ? s.iconSizePortrait : s.iconSize);
        iconGrid->setShowNames(s.showItemNames);
        iconGrid->setSingleClickOpen(s.singleClickOpen);
    }
    if (sidebar)
        sidebar->setShowNewGroupButton(s.showNewGroupBtn);

    const QColor outline =
        withAlpha(s.borderColor == 0 ? currentTheme().c[kOutlineSlot] : colourOfMode(s.borderColor, s.borderCustomRgb),
                  percentToAlpha(s.borderOpacity));
    look.borderColor = outline;
    if (borderFrame && borderFrame->color != outline) {
        borderFrame->color = outline;
        borderFrame->update();
    }

    if (windowTitle() != look.titleText)
        setWindowTitle(look.titleText);
    if (trayIcon)
        trayIcon->setToolTip(look.titleText);

    rescaleBackground();
    refreshTheme();
}

void MainWindow::applyWindowOpacity(const WindowAlpha& alpha)
{
    setWindowOpacity(alpha.windowOpacity);
    if (alpha.clickThrough == clickThrough)
        return;
    clickThrough = alpha.clickThrough;
    // Told to the native window directly, as the pin is: setWindowFlags()
    // would hide and re-create a shown panel.
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowTransparentForInput, clickThrough);
    overrideWindowFlags(flags);
    if (QWindow* handle = windowHandle())
        handle->setFlags(flags);
}

void MainWindow::applyWindowShape()
{
    // With a compositor the translucent corners show what lies below; without
    // one they would be painted black, so the window is cut to its shape.
    if (compositorActive() || look.appliedRadius <= 0)
        clearMask();
    else
        setMask(roundedWindowRegion(size(), look.appliedRadius));
}

void MainWindow::paintPanel(QPainter& p)
{
    const int w = width();
    const int h = height();
    const ThemePalette& pal = currentTheme();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const qreal r = qBound(0, look.appliedRadius, 24);
    path.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), r, r);
    p.save();
    p.setClipPath(path);

    p.setOpacity(qMax(look.backgroundOpacity, 1) / 100.0);
    const qreal ratio = devicePixelRatioF();
    auto drawPrepared = [&](const QPixmap& pm) {
        p.drawPixmap(QRect(0, 0, w, h), pm, backgroundSourceRect(pm.size(), pm.devicePixelRatio(), size()));
    };
    if (look.videoActive && !look.videoFrame.isNull()) {
        p.drawPixmap(0, 0, look.videoFrame);
    } else if (!look.stillBackground.isNull()) {
        auto sameRatio = [ratio](qreal a) { return qAbs(a - ratio) <= 1e-12 * qMax(qAbs(a), qAbs(ratio)); };
        if (look.movie) {
            if (look.scaledGifFrame.isNull() || look.movie->currentFrameNumber() != look.scaledGifFrameNumber
                || look.scaledGifSize != size() || !sameRatio(look.scaledGifRatio))
                scheduleBackgroundRescale();
            if (!look.scaledGifFrame.isNull())
                drawPrepared(look.scaledGifFrame);
        } else {
            if (look.scaledStill.isNull() || look.scaledStillSize != size() || !sameRatio(look.scaledStillRatio))
                scheduleBackgroundRescale();
            if (!look.scaledStill.isNull())
                drawPrepared(look.scaledStill);
        }
    }
    p.setOpacity(1.0);

    const bool titleOpaque = pal.c[6].alpha() > 254;
    const bool bottomOpaque = pal.c[8].alpha() > 254;
    for (const StripFill& fill : panelStripFills(size(), titleOpaque, bottomOpaque))
        p.fillRect(fill.rect, pal.c[fill.slot]);
    p.restore();

    if (look.showLogo) {
        if (look.scaledLogo.isNull() || look.scaledLogoRatio != ratio)
            scheduleBackgroundRescale();
        if (!look.scaledLogo.isNull())
            p.drawPixmap(panelLogoRect(), look.scaledLogo);
    }

    if (!look.titleFont) {
        QFont f(uiFontFamily());
        f.setPixelSize(13);
        f.setWeight(QFont::Normal);
        look.titleFont = f;
    }
    // The sidebar paints after the panel, in this same pass.
    const bool picture = (look.videoActive && !look.videoFrame.isNull()) || !look.stillBackground.isNull();
    if (sidebar)
        sidebar->setOverPicture(picture);
    p.setPen(pal.c[kTitleTextSlot]);
    if (look.showTitle) {
        const QRect box = panelTitleRect(w, titleBar ? titleBar->width() : 0, look.showLogo);
        p.setFont(*look.titleFont);
        const QString text = QFontMetrics(*look.titleFont).elidedText(look.titleText, Qt::ElideRight, box.width());
        if (picture && !titleOpaque)
            drawTextOverPicture(p, box, Qt::AlignLeft | Qt::AlignVCenter, text, pal.c[kTitleTextSlot]);
        else
            p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
    }

    p.setPen(QPen(look.borderColor.isValid() ? look.borderColor : pal.c[kOutlineSlot], 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void MainWindow::toggleOrientation()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect primaryArea = primary ? primary->availableGeometry() : QRect(0, 0, 1920, 1080);
    if (dock.dockEdge != DockNone || dockRevealed) {
        dock.dockEdge = DockNone;
        dockRevealed = false;
        dockSticky = false;
        setTaskbarVisible(true);
        updateDockPollTimer();
    }
    QRect w = geometry();
    if (!reachableOn(w, primaryArea))
        w = centredIn(w, primaryArea);

    portraitMode = !portraitMode;
    setUiButtonLit(uiBtnId(UiBtn::Orientation), portraitMode);
    const QScreen* own = screen();
    const QRect area = own ? own->availableGeometry() : QRect();
    if (portraitMode) {
        look.landscapeRect = w;
        const PortraitPlacement place = portraitPlacement(height(), area);
        setMinimumSize(place.minimum);
        if (sidebar) {
            sidebar->setPlainStyle(false);
            sidebar->setCompact(true);
        }
        if (iconGrid) {
            iconGrid->setColumns(4);
            iconGrid->setIconSize(settings.iconSizePortrait);
        }
        setGeometry(place.geometry);
    } else {
        if (iconGrid) {
            iconGrid->setColumns(0);
            iconGrid->setIconSize(settings.iconSize);
        }
        if (sidebar) {
            sidebar->setPlainStyle(false);
            sidebar->setCompact(settings.horizontalGroups);
        }
        const QRect s = area.isValid() ? area : QRect(0, 0, 1920, 1080);
        setMinimumSize(qMin(680, s.width()), qMin(460, s.height()));
        QRect r = look.landscapeRect.isValid() ? look.landscapeRect : w;
        bool onSomeScreen = false;
        for (const QScreen* sc : QGuiApplication::screens())
            onSomeScreen = onSomeScreen || r.intersects(sc->availableGeometry());
        if (!onSomeScreen) {
            const QScreen* under = QGuiApplication::screenAt(QCursor::pos());
            if (!under)
                under = primary;
            r = under ? centredIn(r, under->availableGeometry()) : QRect(QPoint(959, 539) - QPoint(r.width() / 2, r.height() / 2), r.size());
        }
        setGeometry(r);
    }
    applyAppSettings(settings);
    // An open settings dialog keeps its live preview on the turned panel.
    if (settingsDialog)
        settingsDialog->reapplyPreview();
    layoutChildren();
    update();
}
