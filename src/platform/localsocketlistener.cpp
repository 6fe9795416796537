#include "platform/localsocketlistener.h"

#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kBacklog = 64;
// Accepts per wake-up: a burst of clients must not starve the rest of the
// event loop.
constexpr int kAcceptBurst = 32;

QString errnoText(const char* what, int err)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(err)));
}

} // namespace

LocalSocketListener::LocalSocketListener(QObject* parent) : QObject(parent), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(kRetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

LocalSocketListener::~LocalSocketListener()
{
    close();
}

bool LocalSocketListener::listen(const QString& path, QString* error)
{
    close();
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (native.isEmpty() || std::size_t(native.size()) >= sizeof addr.sun_path)
        return fail(QStringLiteral("socket path empty or too long: %1").arg(path));
    std::memcpy(addr.sun_path, native.constData(), std::size_t(native.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(errnoText("socket", errno));
    // bind() refuses a path that exists, which keeps a live server's socket.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(errnoText("bind", err));
    }
    // Nobody can connect before listen(), so tightening the mode first
    // leaves no moment in which another user could get in.
    struct stat st {};
    const char* step = "chmod";
    bool ok = ::chmod(native.constData(), 0600) == 0;
    if (ok) {
        step = "stat";
        ok = ::stat(native.constData(), &st) == 0;
    }
    if (ok) {
        step = "listen";
        ok = ::listen(fd, kBacklog) == 0;
    }
    if (!ok) {
        const int err = errno;
        ::close(fd);
        ::unlink(native.constData());
        return fail(errnoText(step, err));
    }
    m_fd = fd;
    m_path = path;
    m_device = quint64(st.st_dev);
    m_inode = quint64(st.st_ino);
    m_notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalSocketListener::onReadable);
    return true;
}

void LocalSocketListener::close()
{
    if (m_fd < 0)
        return;
    m_retry->stop();
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
    // Another server may have taken the name meanwhile (after this one's
    // file was removed by hand); its socket is not ours to remove.
    const QByteArray native = QFile::encodeName(m_path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0 && quint64(st.st_dev) == m_device && quint64(st.st_ino) == m_inode)
        ::unlink(native.constData());
}

void LocalSocketListener::onReadable()
{
    for (int i = 0; i < kAcceptBurst && m_fd >= 0; ++i) {
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            const int err = errno;
            if (err == EINTR || err == ECONNABORTED)
                continue;
            if (err == EAGAIN || err == EWOULDBLOCK)
                return;
            // Out of descriptors (or kernel memory) the client stays queued
            // and the socket stays readable: without a pause the notifier
            // would fire again at once, for ever.
            m_notifier->setEnabled(false);
            m_retry->start();
            m_lastError = errnoText("accept", err);
            if (m_failedAttempts++ == 0)
                Q_EMIT acceptFailed(m_lastError);
            return;
        }
        if (m_failedAttempts > 0) {
            Q_EMIT acceptResumed(m_failedAttempts, m_lastError);
            m_failedAttempts = 0;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(qintptr(client))) {
            ::close(client);
            delete socket;
            continue;
        }
        Q_EMIT connectionAccepted(socket);
    }
}
