#pragma once

#include "iconfixtures.h"
#include "testsupport.h"

#include <QDir>

// A small icon theme "QyFixture" (inheriting "hicolor", which holds one icon
// of its own) under a private XDG_DATA_DIRS, chosen through the user's GTK
// settings. Must run before the application object exists.
inline QString installFixtureIconTheme()
{
    using iconfixtures::ThemeIconFixture;
    const QString share = testsupport::testRoot() + QStringLiteral("/share");
    const QString icons = share + QStringLiteral("/icons");
    iconfixtures::writeIconTheme(icons, QStringLiteral("QyFixture"), QStringLiteral("hicolor"), {
        {QStringLiteral("48x48/places"), 48, QStringLiteral("folder-music"), QColor(200, 0, 0)},
        {QStringLiteral("16x16/places"), 16, QStringLiteral("folder-music"), QColor(0, 0, 0)},
        {QStringLiteral("64x64/places"), 64, QStringLiteral("folder"), QColor(220, 200, 0)},
        {QStringLiteral("256x256/places"), 256, QStringLiteral("user-trash"), QColor(0, 0, 200)},
        {QStringLiteral("48x48/places"), 48, QStringLiteral("user-trash"), QColor(0, 0, 0)},
        {QStringLiteral("scalable/devices"), 64, QStringLiteral("computer"), QColor(0, 160, 0)},
        {QStringLiteral("48x48/mimetypes"), 48, QStringLiteral("text-x-generic"), QColor(120, 120, 120)},
        {QStringLiteral("48x48/mimetypes"), 48, QStringLiteral("image-x-generic"), QColor(0, 200, 200)},
        {QStringLiteral("128x128/apps"), 128, QStringLiteral("qyapp"), QColor(200, 0, 200)},
    });
    iconfixtures::writeIconTheme(icons, QStringLiteral("hicolor"), QString(), {
        {QStringLiteral("32x32/devices"), 32, QStringLiteral("printer"), QColor(100, 50, 0)},
    });
    // The system folders stay behind the fixture: the MIME database lives there.
    qputenv("XDG_DATA_DIRS", share.toUtf8() + ":/usr/local/share:/usr/share");
    testsupport::writeFile(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/gtk-3.0/settings.ini"),
                           "[Settings]\ngtk-icon-theme-name=QyFixture\n");
    return share;
}
