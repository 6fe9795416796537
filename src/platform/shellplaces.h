#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Shell places: the locations that layouts store as a "::{GUID}" parsing
// name (this computer, the recycle bin, network, printers, ...). Layouts keep
// that text unchanged so they stay portable; this resolver says what each
// known place is on this desktop.

struct ShellPlace {
    QString parsingName;   // "::{GUID}", GUID in upper case
    QString displayName;   // in Chinese; pass it through translate() to show it
    QStringList iconNames; // theme icon names, best first
    QUrl url;              // the location to open, when the place is one (trash:///)
    // Programs that open the place, each a command line split into words,
    // best first; used when url is empty or nothing handles it.
    QList<QStringList> programs;
};

// Every place the resolver knows, in a fixed order.
const QList<ShellPlace>& knownShellPlaces();

// The place of a parsing name ("::{guid}", the GUID in any letter case), or
// null for anything else.
const ShellPlace* findShellPlace(const QString& parsingName);

// The place a non-file URI of a drop names (trash:, computer:, network:,
// file:// of the home folder is not a place), or null.
const ShellPlace* shellPlaceForUrl(const QUrl& url);

// How to open a place here: `url` when it has one, else the first of its
// programs found on PATH (program plus arguments). `ok` is false when
// nothing can open it.
struct ShellPlaceLaunch {
    bool ok = false;
    QUrl url;
    QString program;
    QStringList arguments;
};
ShellPlaceLaunch resolveShellPlaceLaunch(const ShellPlace& place);

// resolveShellPlaceLaunch with `findProgram` (a program name to its path, or
// empty when absent) in place of the search on PATH.
ShellPlaceLaunch resolveShellPlaceLaunch(const ShellPlace& place,
                                         const std::function<QString(const QString&)>& findProgram);
