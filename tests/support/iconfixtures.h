#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

// Builders of icon-related fixtures: program files with icon resources,
// icon files, shell links and a small icon theme. All bytes are made here,
// so the tests need no binary files of any vendor.
namespace iconfixtures {

struct IconFixture {
    QImage image;
    bool png = true; // PNG stream, else a 32-bit device-independent bitmap
};

struct GroupFixture {
    int id = 1;     // numeric resource id; ignored when name is set
    QString name;   // named group
    QList<IconFixture> icons;
};

// A solid square of `color` with a transparent 1-pixel border, so trimming
// and colour checks have something to find.
QImage squareIcon(int side, QColor color);

// The bytes of an icon image as an icon resource stores it.
QByteArray iconImageData(const IconFixture& icon);

// A minimal 64-bit (or 32-bit) PE image whose only section holds the icon
// and icon group resources of `groups`.
QByteArray buildPeWithIcons(const QList<GroupFixture>& groups, bool pe32plus = true);

// An ".ico" file holding the images in order.
QByteArray buildIcoFile(const QList<IconFixture>& icons);

struct LinkFixture {
    QString localPath;          // link information, local base path ("" = none)
    QString name, relativePath, workingDir, arguments, iconLocation;
    int iconIndex = 0;
    bool runAsUser = false;
    bool unicode = true;        // string data in UTF-16, else single-byte
    QString environmentTarget;  // environment block ("" = none)
    QString iconEnvironment;    // icon environment block ("" = none)
    bool withIdList = false;    // a small target id list before the rest
};

// A shell link in the documented binary format.
QByteArray buildShellLink(const LinkFixture& fixture);

struct ThemeIconFixture {
    QString directory; // e.g. "48x48/places" or "scalable/places"
    int size = 48;     // declared size of the directory
    QString name;      // icon name
    QColor color;
};

// Writes the theme `theme` under `iconsDir` with index.theme and one PNG (or
// SVG for scalable folders) per entry.
void writeIconTheme(const QString& iconsDir, const QString& theme, const QString& inherits,
                    const QList<ThemeIconFixture>& icons);

} // namespace iconfixtures
