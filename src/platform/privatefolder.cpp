#include "platform/privatefolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
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
