#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

namespace testsupport {

// One entry of a test archive, stored without compression unless asked. `unixMode`
// (file type and permission bits, as in st_mode) goes into the entry's
// external attributes the way Unix zip tools write it; 0 leaves them empty,
// as Windows tools do.
// `deflate` compresses the data; `declaredSize`, when not -1, is the
// uncompressed size the headers claim instead of the real one.
struct ZipEntry {
    QString name;
    QByteArray data;
    quint32 unixMode = 0100644;
    bool deflate = false;
    qint64 declaredSize = -1;
};

// A complete zip archive of `entries`, names exactly as given.
QByteArray makeZip(const QList<ZipEntry>& entries);

} // namespace testsupport

Q_DECLARE_METATYPE(testsupport::ZipEntry)
