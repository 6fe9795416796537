#include "platform/process.h"

#include "platform/privatefolder.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

QString currentUserKey()
{
    return QString::number(static_cast<qulonglong>(::getuid()));
}

QString runtimeDirectory()
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QFileInfo(xdg).isDir())
        return QDir::cleanPath(xdg);
    // The shared temporary folder lets any local user create names first, so
    // our files go into a folder of our own there.
    const QString own = QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/TarnavelPanel-") + currentUserKey();
    QString error;
    if (ensurePrivateFolder(own, &error))
        return own;
    qWarning() << "runtime folder refused:" << error;
    return QString();
}

void hardExit(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
}

bool isOwnExecutableOfThisUser(qint64 pid)
{
    if (pid <= 0)
        return false;
    const QByteArray proc = "/proc/" + QByteArray::number(pid);
    struct stat st {};
    if (::stat(proc.constData(), &st) != 0 || st.st_uid != ::getuid())
        return false;
    // Compare the files themselves (device and inode): the paths may differ
    // through links, and a replaced binary is not the same program.
    struct stat theirs {}, ours {};
    if (::stat(QByteArray(proc + "/exe").constData(), &theirs) != 0)
        return false;
    if (::stat("/proc/self/exe", &ours) != 0)
        return false;
    return theirs.st_dev == ours.st_dev && theirs.st_ino == ours.st_ino;
}

AppendResult appendToFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return AppendResult::OpenFailed;
    ssize_t n;
    do {
        n = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n == bytes.size() ? AppendResult::Ok : AppendResult::ShortWrite;
}

bool renameReplacing(const QString& from, const QString& to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}
