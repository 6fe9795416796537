#include "platform/diskspace.h"

#include <QFile>

#include <sys/statvfs.h>

qint64 availableDiskBytes(const QString& path)
{
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    // f_bavail leaves out the blocks kept for root, as a user sees the disk.
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}
