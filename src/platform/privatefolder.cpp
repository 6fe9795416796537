#include "platform/privatefolder.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString errnoText(const QString& path, int err)
{
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err)));
}

} // namespace

bool ensurePrivateFolder(const QString& path, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        return fail(error, QStringLiteral("empty folder path"));
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return fail(error, errnoText(path, errno));
    // Checked through a descriptor of the folder itself, so that a swap of
    // the name between the check and the chmod cannot redirect the chmod.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(error, errnoText(path, errno));
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    QString why = ok ? QString() : errnoText(path, errno);
    if (ok && st.st_uid != ::getuid()) {
        ok = false;
        why = QStringLiteral("%1: owned by user %2, not by this user").arg(path).arg(st.st_uid);
    }
    if (ok && (st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) {
        ok = false;
        why = errnoText(path, errno);
    }
    ::close(fd);
    return ok || fail(error, why);
}

bool isOwnSocketFile(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::getuid();
}

QString makeRunFolder(const QString& base, const QString& prefix, QString* error)
{
    if (!ensurePrivateFolder(base, error))
        return QString();
    QByteArray pattern = QFile::encodeName(base) + '/' + QFile::encodeName(prefix) + "-XXXXXX";
    // mkdtemp makes the folder 0700 and fails rather than take a name that
    // exists, whatever lies there.
    if (!::mkdtemp(pattern.data())) {
        fail(error, errnoText(base, errno));
        return QString();
    }
    return QFile::decodeName(pattern);
}

bool writeNewFile(const QString& path, const QByteArray& bytes, int mode, QString* error)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(error, errnoText(path, errno));
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    int err = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            err = n < 0 ? errno : ENOSPC;
            break;
        }
        at += n;
        left -= n;
    }
    // The umask may have narrowed `mode`, never widened it; fchmod makes it exact.
    if (err == 0 && ::fchmod(fd, static_cast<mode_t>(mode)) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0)
        return true;
    ::unlink(native.constData());
    return fail(error, errnoText(path, err));
}

namespace {

int tightenBelow(int dirFd, int depth)
{
    // Deeper than any tree the panel writes: a bound, not a limit in use.
    if (depth > 64)
        return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int changed = 0;
    const uid_t me = ::getuid();
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != me)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0)
                continue;
            if ((st.st_mode & 077) != 0 && ::fchmod(sub, 0700) == 0)
                ++changed;
            changed += tightenBelow(sub, depth + 1);
        } else if (S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
            // Through a descriptor of the file itself: a name swapped for
            // a link meanwhile is not followed.
            const int f = ::openat(::dirfd(dir), e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (f < 0)
                continue;
            struct stat now {};
            if (::fstat(f, &now) == 0 && S_ISREG(now.st_mode) && now.st_uid == me
                && ::fchmod(f, now.st_mode & 0700) == 0)
                ++changed;
            ::close(f);
        }
    }
    ::closedir(dir);
    return changed;
}

} // namespace

int tightenTree(const QString& root)
{
    // The root itself may be reached through a link (a data root moved to
    // another disk): that link is followed, nothing below it is.
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st {};
    int changed = 0;
    if (::fstat(fd, &st) == 0 && st.st_uid == ::getuid() && (st.st_mode & 077) != 0 && ::fchmod(fd, 0700) == 0)
        ++changed;
    return changed + tightenBelow(fd, 0);
}
