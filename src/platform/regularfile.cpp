#include "platform/regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool lstatPath(const QString& path, struct stat* st)
{
    const QByteArray native = QFile::encodeName(path);
    return ::lstat(native.constData(), st) == 0;
}

} // namespace

RegularFileRead readRegularFile(const QString& path, qint64 maxBytes)
{
    RegularFileRead r;
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer that never comes. O_NOFOLLOW: a link is refused, not followed.
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        struct stat st;
        if (err == ENOENT && !lstatPath(path, &st)) {
            r.status = RegularFileRead::Missing;
            return r;
        }
        // ELOOP is what O_NOFOLLOW reports for a link, dangling or not.
        const bool isLink = err == ELOOP || (lstatPath(path, &st) && S_ISLNK(st.st_mode));
        r.status = isLink ? RegularFileRead::NotRegular : RegularFileRead::Error;
        r.error = isLink ? QStringLiteral("is a symbolic link") : errnoText(err);
        return r;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        r.status = RegularFileRead::Error;
        r.error = errnoText(errno);
        ::close(fd);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.status = RegularFileRead::NotRegular;
        r.error = S_ISDIR(st.st_mode) ? QStringLiteral("is a folder")
                                      : QStringLiteral("is not a regular file");
        ::close(fd);
        return r;
    }
    if (st.st_size > maxBytes) {
        r.status = RegularFileRead::TooLarge;
        r.error = QStringLiteral("larger than %1 bytes").arg(maxBytes);
        ::close(fd);
        return r;
    }
    // The size may change while we read; never take more than the cap.
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            r.status = RegularFileRead::Error;
            r.error = errnoText(errno);
            ::close(fd);
            return r;
        }
        if (n == 0)
            break;
        if (bytes.size() + n > maxBytes) {
            r.status = RegularFileRead::TooLarge;
            r.error = QStringLiteral("larger than %1 bytes").arg(maxBytes);
            ::close(fd);
            return r;
        }
        bytes.append(buf, n);
    }
    ::close(fd);
    r.status = RegularFileRead::Ok;
    r.bytes = std::move(bytes);
    return r;
}

PathKind pathKind(const QString& path)
{
    struct stat st;
    if (!lstatPath(path, &st))
        return PathKind::None;
    if (S_ISREG(st.st_mode))
        return PathKind::Regular;
    if (S_ISLNK(st.st_mode))
        return PathKind::SymLink;
    return PathKind::Other;
}

bool renameEntry(const QString& from, const QString& to, QString* error)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return true;
    int err = errno;
    // File systems without RENAME_NOREPLACE: check, then rename. The window
    // between the two is ours alone in the panel's own data folder.
    if (err == EINVAL || err == ENOSYS) {
        struct stat st;
        if (lstatPath(to, &st)) {
            err = EEXIST;
        } else if (::rename(src.constData(), dst.constData()) == 0) {
            return true;
        } else {
            err = errno;
        }
    }
    if (error)
        *error = errnoText(err);
    return false;
}

bool ownedByCurrentUser(const QString& path)
{
    struct stat st;
    return lstatPath(path, &st) && st.st_uid == ::geteuid();
}
