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
                                                   : defaultLogo;
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
    menu->addAction(translate("显示面板"), this, [this] { showAndCentre(); });
    menu->addAction(translate("设置..."), this, [this] {
        showAndCentre();
        openSettings();
    });
    menu->addSeparator();
    menu->addAction(translate("退出"), this, [this] { quitFromTray(); });
    trayIcon->setContextMenu(menu);
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            showAndCentre();
    });
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
