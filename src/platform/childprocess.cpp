#include "platform/childprocess.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <limits>
#include <sys/types.h>
#include <unistd.h>

void startInOwnProcessGroup(QProcess& process)
{
    // Runs in the forked child before exec: only async-signal-safe calls.
    process.setChildProcessModifier([] { ::setsid(); });
}

bool killProcessGroup(qint64 leaderPid)
{
    if (leaderPid <= 1)
        return false;
    return ::kill(-static_cast<pid_t>(leaderPid), SIGKILL) == 0;
}

bool isProcessAlive(qint64 pid)
{
    // A larger id would be cut to another process's (or to 0, the caller's
    // own group) by the conversion below.
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    // EPERM: the process exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
