#pragma once

#include "model/panelmodel.h"

#include <QList>
#include <QString>

class ApplicationFinder;
class VolumeLister;

// The user's standard folders as the first-run groups use them.
struct UserFolders {
    QString home;
    QString desktop;
    QString download;
    QString documents;
    QString pictures;
    QString music;
    QString movies;

    // The platform's writable standard locations that exist as folders;
    // empty for the others.
    static UserFolders fromSystem();
};

// The two first-run groups, "常用" then "系统", with names translated now.
// "常用": shell places (kept as "::{GUID}" parsing names), the user folders
// (a folder that is the home folder itself is left out), then one item per
// local volume. "系统": the installed desktop entries of a table of system
// tools, plus "此电脑".
QList<PanelGroup> buildDefaultGroups(const UserFolders& folders, const VolumeLister& volumes,
                                     const ApplicationFinder& apps);

// buildDefaultGroups with the system's folders, volumes and applications.
QList<PanelGroup> buildSystemDefaultGroups();

// "本地磁盘 (%1:)" with the mount point in place of the drive letter and its
// colon: "本地磁盘 (/home)".
QString localVolumeName(const QString& mountPoint);
