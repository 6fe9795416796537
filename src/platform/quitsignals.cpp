#include "platform/quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_writeFd = -1;
const int kSignals[] = { SIGTERM, SIGINT, SIGHUP };

void onQuitSignal(int sig)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    if (g_writeFd >= 0) {
        // A full pipe already holds a pending request; dropping this one is fine.
        [[maybe_unused]] ssize_t n = ::write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

QuitSignals* QuitSignals::install(QObject* parent)
{
    if (g_writeFd >= 0)
        return nullptr;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    g_writeFd = fds[1];
    struct sigaction sa {};
    sa.sa_handler = onQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
    return new QuitSignals(fds[0], parent);
}

QuitSignals::QuitSignals(int readFd, QObject* parent)
    : QObject(parent), m_readFd(readFd), m_notifier(new QSocketNotifier(readFd, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::onReadable);
}

QuitSignals::~QuitSignals()
{
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : kSignals)
        ::sigaction(sig, &sa, nullptr);
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    ::close(writeFd);
    ::close(m_readFd);
}

void QuitSignals::onReadable()
{
    unsigned char buf[16];
    ssize_t n;
    while ((n = ::read(m_readFd, buf, sizeof buf)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            Q_EMIT quitRequested(buf[i]);
    }
}
