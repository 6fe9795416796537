#pragma once

#include "settings/settingsglyphs.h"

#include <QList>
#include <QRect>
#include <QString>

// Where the parts of the backup page sit, in content coordinates: the
// automatic-backup card with its four rows and the snapshot card with its
// list buttons, summary and one entry per snapshot.

struct BackupEntryGeometry {
    QRect box;
    QRect title;
    QRect detail;
    QRect restore;
    QRect remove;
};

struct BackupPageGeometry {
    BackupCardGeometry cards[2];
    // Switch, interval, retain and folder rows.
    QRect rowTitles[4];
    QRect rowDescriptions[4];
    QRect autoSwitch;
    QRect interval;
    QRect retain;
    QRect pathBox;
    QRect changeDir;
    QRect openDir;
    QRect defaultDir;
    QRect exportNewest;
    QRect backupNow;
    QRect refresh;
    QRect summary;
    QList<BackupEntryGeometry> entries;
    QRect emptyState;     // null while there are entries
    int contentHeight = 0;
};

// The page for a dialog `width` pixels wide listing `entries` snapshots.
BackupPageGeometry backupPageGeometry(int width, int entries);

// The texts of the interval and keep-count buttons (and menu entries): the
// four named intervals, any other number of days as "n 天"; "n 份".
QString backupIntervalText(int days);
QString backupRetainText(int count);
