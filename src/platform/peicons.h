#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reader of the icons stored in Windows program files (".exe", ".dll",
// ".cpl") and in icon files (".ico"). Pure functions over bytes: the input
// is untrusted, every offset is checked, and malformed parts are skipped
// rather than guessed at. The readers of a source read only the parts they
// need and give the same result as the readers of the same bytes in memory;
// bytes the source cannot deliver count as missing.

class ByteSource;

struct IconImageEntry {
    int width = 0;         // 0 in the directory byte means 256
    int height = 0;
    int colorCount = 0;
    int planes = 0;
    int bitCount = 0;
    int resourceId = -1;   // id of the image resource (program files only)
    QByteArray data;       // a PNG stream or a device-independent bitmap
};

struct IconGroup {
    int id = -1;           // numeric resource id, -1 for a named group
    QString name;          // resource name of a named group
    QList<IconImageEntry> entries; // images found, in the group's order
};

// The icon groups of a program file in resource-directory order (named
// groups first, then numeric ids ascending). Entries whose image resource is
// missing are left out. Empty for anything that is not a readable PE image.
QList<IconGroup> readPeIconGroups(const QByteArray& image);
QList<IconGroup> readPeIconGroups(const ByteSource& image);

// Largest width over every entry of every icon group, 0 counting as 256;
// 0 when the file holds no group with an entry.
int largestGroupIconWidth(const QByteArray& image);

// The images listed in an icon file's directory; empty when malformed.
QList<IconImageEntry> readIcoFile(const QByteArray& ico);
QList<IconImageEntry> readIcoFile(const ByteSource& ico);

// A complete icon file holding the given entries in order, so the images
// can be handed to an ordinary image decoder.
QByteArray icoFileFromEntries(const QList<IconImageEntry>& entries);

// The entry with the most pixels, ties going to the deeper colour; null
// entry (empty data) for an empty list.
IconImageEntry largestIconEntry(const QList<IconImageEntry>& entries);
