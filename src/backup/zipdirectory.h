#pragma once

#include <QByteArray>
#include <QString>

// What a zip's central directory says about its contents, read before a
// restore so that its time-out and free-space check come from the sizes
// the entries will unpack to, not from the size of the archive: a zip bomb
// is refused instead of being unpacked for hours.

struct ZipDirectorySummary {
    bool ok = false;
    QString error;           // why not ok, in English, for the log
    qint64 entries = 0;
    quint64 unpackedBytes = 0; // sum of the entries' uncompressed sizes
};

// Where the central directory lies, from the last bytes of the file (`tail`,
// the final min(fileSize, 65557 + 20) bytes) and the file size; zip64
// archives included. Pure: no I/O.
struct ZipDirectoryLocation {
    bool ok = false;
    QString error;
    quint64 offset = 0;
    quint64 size = 0;
    quint64 entries = 0;
};
ZipDirectoryLocation locateZipDirectory(const QByteArray& tail, quint64 fileSize);

// Sums the entries of the central directory bytes `directory`, expecting
// `entries` records. Pure: no I/O.
ZipDirectorySummary summarizeZipDirectory(const QByteArray& directory, quint64 entries);

// Reads and sums the central directory of the zip at `path`.
ZipDirectorySummary readZipDirectory(const QString& path);
