#include "platform/singleinstance.h"

#include "platform/process.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class FlockSingleInstanceLock final : public SingleInstanceLock {
public:
    explicit FlockSingleInstanceLock(QString path) : m_path(std::move(path)) {}
    ~FlockSingleInstanceLock() override { release(); }

    Result tryAcquire() override
    {
        if (m_fd >= 0)
            return Result::Acquired;
        const QByteArray native = QFile::encodeName(m_path);
        int fd;
        do {
            fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            m_error = QStringLiteral("open %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
            return Result::Failed;
        }
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0) {
            m_fd = fd;
            return Result::Acquired;
        }
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return Result::HeldElsewhere;
        m_error = QStringLiteral("flock %1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(err)));
        return Result::Failed;
    }

    void release() override
    {
        if (m_fd < 0)
            return;
        // The file stays: removing it would let a third process lock a fresh
        // inode while a second one still waits on the old one.
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }

    bool isHeld() const override { return m_fd >= 0; }
    QString errorText() const override { return m_error; }

private:
    QString m_path;
    QString m_error;
    int m_fd = -1;
};

} // namespace

QString singleInstanceLockPath(const QString& name)
{
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QDir(xdg).exists())
        return QDir::cleanPath(xdg) + QLatin1Char('/') + name;
    // A shared temporary folder holds the locks of every user.
    return QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + name + QLatin1Char('_') + currentUserKey();
}

std::unique_ptr<SingleInstanceLock> createSingleInstanceLock(const QString& name)
{
    return std::make_unique<FlockSingleInstanceLock>(singleInstanceLockPath(name));
}
