// The window and tray icon, the tray menu and the roads to and from the tray.
#include "panel/mainwindow.h"

#include "app/lang.h"
#include "widgets/menustyle.h"

#include <QApplication>
#include <QDebug>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

QIcon MainWindow::makeAppIcon() const
{
    const QPixmap& source = !look.appIcon.isNull() ? look.appIcon
        : !look.customLogo.isNull()                ? look.customLogo
                                                   : defaultLogoPixmap();
    QIcon icon;
    if (!source.isNull()) {
        for (int side : {16, 20, 24, 32, 48, 64, 128, 256})
            icon.addPixmap(source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        icon.addPixmap(source);
    }
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_DesktopIcon);
    return icon;
}

namespace {
// The untranslated text of a tray menu entry, kept so that a language
// switch can translate it again.
constexpr char kSourceText[] = "quillorySourceText";
} // namespace

void MainWindow::updateTrayIcon()
{
    if (trayIcon)
        trayIcon->setIcon(makeAppIcon());
}

void MainWindow::ensureTrayIcon()
{
    if (trayIcon)
        return;
    trayIcon = new QSystemTrayIcon(makeAppIcon(), this);
    trayIcon->setToolTip(look.titleText.isEmpty() ? translate("Quillory") : look.titleText);
    auto* menu = new QMenu(this);
    styleMenu(menu);
    menu->addAction(QString(), this, [this] { showAndCentre(); })->setProperty(kSourceText, QStringLiteral("显示面板"));
    menu->addAction(QString(), this, [this] {
            showAndCentre();
            openSettings();
        })->setProperty(kSourceText, QStringLiteral("设置..."));
    menu->addSeparator();
    menu->addAction(QString(), this, [this] { quitFromTray(); })->setProperty(kSourceText, QStringLiteral("退出"));
    connect(menu, &QMenu::aboutToShow, this, &MainWindow::prepareSettingsDialogSoon);
    trayIcon->setContextMenu(menu);
    retranslateTray();
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            showAndCentre();
    });
}

void MainWindow::retranslateTray()
{
    if (!trayIcon)
        return;
    if (QMenu* menu = trayIcon->contextMenu()) {
        for (QAction* action : menu->actions()) {
            const QString source = action->property(kSourceText).toString();
            if (!source.isEmpty())
                action->setText(translate(source));
        }
    }
}

void MainWindow::updateTrayVisibility()
{
    // Without a tray host an icon would be a way back nobody can see.
    if ((settings.closeToTray || settings.minimizeToTray) && QSystemTrayIcon::isSystemTrayAvailable()) {
        ensureTrayIcon();
        trayIcon->show();
    } else if (trayIcon) {
        trayIcon->hide();
    }
}

void MainWindow::hideToTray()
{
    const bool wanted = settings.closeToTray || settings.minimizeToTray;
    if (!wanted || !QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    updateTrayVisibility();
    if (trayIcon && trayIcon->isVisible())
        hide();
    else
        showMinimized();
}

void MainWindow::quitFromTray()
{
    if (trayIcon)
        trayIcon->hide();
    quitRequested = true;
    close();
    QApplication::quit();
}
