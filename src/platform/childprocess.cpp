#include "platform/childprocess.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

void startInOwnProcessGroup(QProcess& process)
{
    // Runs in the forked child before exec: only async-signal-safe calls.
    // These children write the panel's own files (snapshots, restored data):
    // whatever they create is private to the user.
    process.setChildProcessModifier([] {
        ::umask(077);
        ::setsid();
    });
}

bool killProcessGroup(qint64 leaderPid)
{
    if (leaderPid <= 1)
        return false;
    return ::kill(-static_cast<pid_t>(leaderPid), SIGKILL) == 0;
}

bool isProcessAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    // EPERM: the process exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
