#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// Icons of the desktop's icon theme, looked up by name without QIcon so that
// the icon pool's threads can use it: the theme folders are indexed once
// (one directory listing each) and every later lookup is a memory search.

// The icon theme in use: the one the user chose for GTK or KDE
// ($XDG_CONFIG_HOME/gtk-3.0/settings.ini "gtk-icon-theme-name", then
// gtk-4.0, then kdeglobals [Icons] Theme), else the first common theme that
// is installed, else "hicolor". Decided once per process.
QString iconThemeName();

// Folders searched for themes: $XDG_DATA_HOME/icons, ~/.icons and every
// $XDG_DATA_DIRS entry plus "/icons", in that order.
QStringList iconThemeSearchPaths();

// The image of the first of `names` that the theme (then the themes it
// inherits, then "hicolor", then the unthemed pixmaps folders) holds, as
// ARGB32. Prefers the smallest fixed size of at least `size`, then a
// scalable image rendered at `size`, then the largest fixed size. Null when
// no name is found. Thread-safe.
QImage themeIconImage(const QStringList& names, int size);

// Makes QIcon use the same theme and folders, for the widgets that ask QIcon
// directly. GUI thread only; does nothing after the first call.
void applyIconThemeToQt();
