#include "zipfixture.h"

#include <QtEndian>

namespace testsupport {

namespace {

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

QByteArray makeZip(const QList<ZipEntry>& entries)
{
    QByteArray out;
    QByteArray directory;
    for (const ZipEntry& e : entries) {
        const QByteArray name = e.name.toUtf8();
        const quint32 crc = crc32(e.data);
        // qCompress gives a zlib stream: a 4-byte length, a 2-byte header
        // and a 4-byte checksum around the raw deflate data zip wants.
        const QByteArray body = e.deflate ? qCompress(e.data, 9).mid(6).chopped(4) : e.data;
        const quint16 method = e.deflate ? 8 : 0;
        const quint32 size = quint32(e.declaredSize >= 0 ? e.declaredSize : e.data.size());
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);                 // version needed
        put16(out, 0x0800);             // names in UTF-8
        put16(out, method);
        put16(out, 0);                  // time
        put16(out, 0x21);               // date: 1980-01-01
        put32(out, crc);
        put32(out, quint32(body.size()));
        put32(out, size);
        put16(out, quint16(name.size()));
        put16(out, 0);
        out.append(name);
        out.append(body);

        put32(directory, 0x02014b50);
        put16(directory, e.unixMode ? quint16((3 << 8) | 20) : quint16(20));   // made by Unix / DOS
        put16(directory, 20);
        put16(directory, 0x0800);
        put16(directory, method);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, quint32(body.size()));
        put32(directory, size);
        put16(directory, quint16(name.size()));
        put16(directory, 0);            // extra
        put16(directory, 0);            // comment
        put16(directory, 0);            // disk
        put16(directory, 0);            // internal attributes
        put32(directory, e.unixMode << 16);
        put32(directory, offset);
        directory.append(name);
    }
    const quint32 dirOffset = quint32(out.size());
    out.append(directory);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, dirOffset);
    put16(out, 0);
    return out;
}

} // namespace testsupport
