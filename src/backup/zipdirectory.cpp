#include "backup/zipdirectory.h"

#include <QFile>

namespace {

constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kZip64EndSignature = 0x06064b50;
constexpr quint32 kZip64LocatorSignature = 0x07064b50;
constexpr quint32 kEntrySignature = 0x02014b50;
constexpr int kEndSize = 22;
constexpr int kZip64LocatorSize = 20;
constexpr int kZip64EndSize = 56;
constexpr int kEntrySize = 46;
constexpr int kMaxComment = 65535;
// Far above any snapshot's directory; a bigger one is not ours.
constexpr quint64 kMaxDirectoryBytes = 256ull * 1024 * 1024;

quint64 readLe(const QByteArray& b, qint64 at, int bytes)
{
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

bool fits(const QByteArray& b, qint64 at, qint64 len)
{
    return at >= 0 && len >= 0 && at <= b.size() && len <= b.size() - at;
}

ZipDirectoryLocation failed(const char* why)
{
    ZipDirectoryLocation l;
    l.error = QString::fromLatin1(why);
    return l;
}

} // namespace

ZipDirectoryLocation locateZipDirectory(const QByteArray& tail, quint64 fileSize)
{
    if (tail.size() < kEndSize || static_cast<quint64>(tail.size()) > fileSize)
        return failed("too short for a zip");
    const quint64 tailStart = fileSize - static_cast<quint64>(tail.size());
    qint64 end = -1;
    for (qint64 at = tail.size() - kEndSize; at >= 0 && at >= tail.size() - kEndSize - kMaxComment; --at) {
        if (readLe(tail, at, 4) == kEndSignature && at + kEndSize + static_cast<qint64>(readLe(tail, at + 20, 2)) == tail.size()) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return failed("no end of central directory");
    ZipDirectoryLocation l;
    l.entries = readLe(tail, end + 10, 2);
    l.size = readLe(tail, end + 12, 4);
    l.offset = readLe(tail, end + 16, 4);
    if (l.entries == 0xFFFF || l.size == 0xFFFFFFFF || l.offset == 0xFFFFFFFF) {
        const qint64 locator = end - kZip64LocatorSize;
        if (!fits(tail, locator, kZip64LocatorSize) || readLe(tail, locator, 4) != kZip64LocatorSignature)
            return failed("zip64 locator missing");
        const quint64 record = readLe(tail, locator + 8, 8);
        if (record < tailStart || record - tailStart > static_cast<quint64>(tail.size()))
            return failed("zip64 record outside the tail");
        const qint64 at = static_cast<qint64>(record - tailStart);
        if (!fits(tail, at, kZip64EndSize) || readLe(tail, at, 4) != kZip64EndSignature)
            return failed("zip64 record damaged");
        l.entries = readLe(tail, at + 32, 8);
        l.size = readLe(tail, at + 40, 8);
        l.offset = readLe(tail, at + 48, 8);
    }
    if (l.offset > fileSize || l.size > fileSize - l.offset)
        return failed("central directory outside the file");
    if (l.size > kMaxDirectoryBytes || l.entries > l.size / kEntrySize + 1)
        return failed("central directory too large");
    l.ok = true;
    return l;
}

ZipDirectorySummary summarizeZipDirectory(const QByteArray& directory, quint64 entries)
{
    ZipDirectorySummary s;
    qint64 at = 0;
    for (quint64 i = 0; i < entries; ++i) {
        if (!fits(directory, at, kEntrySize) || readLe(directory, at, 4) != kEntrySignature) {
            s.error = QStringLiteral("central directory record %1 damaged").arg(i);
            return s;
        }
        quint64 unpacked = readLe(directory, at + 24, 4);
        const qint64 nameLen = static_cast<qint64>(readLe(directory, at + 28, 2));
        const qint64 extraLen = static_cast<qint64>(readLe(directory, at + 30, 2));
        const qint64 commentLen = static_cast<qint64>(readLe(directory, at + 32, 2));
        const qint64 extra = at + kEntrySize + nameLen;
        if (!fits(directory, at + kEntrySize, nameLen + extraLen + commentLen)) {
            s.error = QStringLiteral("central directory record %1 truncated").arg(i);
            return s;
        }
        if (unpacked == 0xFFFFFFFF) {
            // The zip64 extra field holds the real size first.
            bool found = false;
            for (qint64 f = extra; f + 4 <= extra + extraLen;) {
                const quint64 id = readLe(directory, f, 2);
                const qint64 len = static_cast<qint64>(readLe(directory, f + 2, 2));
                if (f + 4 + len > extra + extraLen)
                    break;
                if (id == 0x0001 && len >= 8) {
                    unpacked = readLe(directory, f + 4, 8);
                    found = true;
                    break;
                }
                f += 4 + len;
            }
            if (!found) {
                s.error = QStringLiteral("central directory record %1 lacks its zip64 size").arg(i);
                return s;
            }
        }
        if (unpacked > (~0ull >> 2) - s.unpackedBytes) {
            s.error = QStringLiteral("unpacked size overflows");
            return s;
        }
        s.unpackedBytes += unpacked;
        ++s.entries;
        at = extra + extraLen + commentLen;
    }
    s.ok = true;
    return s;
}

ZipDirectorySummary readZipDirectory(const QString& path)
{
    ZipDirectorySummary s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        s.error = file.errorString();
        return s;
    }
    const quint64 size = static_cast<quint64>(file.size());
    const quint64 tailLen = qMin<quint64>(size, kEndSize + kMaxComment + kZip64LocatorSize + kZip64EndSize);
    if (!file.seek(static_cast<qint64>(size - tailLen))) {
        s.error = file.errorString();
        return s;
    }
    const QByteArray tail = file.read(static_cast<qint64>(tailLen));
    const ZipDirectoryLocation where = locateZipDirectory(tail, size);
    if (!where.ok) {
        s.error = where.error;
        return s;
    }
    if (!file.seek(static_cast<qint64>(where.offset))) {
        s.error = file.errorString();
        return s;
    }
    const QByteArray directory = file.read(static_cast<qint64>(where.size));
    if (static_cast<quint64>(directory.size()) != where.size) {
        s.error = QStringLiteral("central directory cut short");
        return s;
    }
    return summarizeZipDirectory(directory, where.entries);
}
