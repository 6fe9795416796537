#include "platform/childprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int kGroupPollMs = 20;

struct StatLine {
    bool ok = false;
    char state = '?';
    qint64 group = 0;
    quint64 start = 0;
};

// The fields of /proc/<pid>/stat after the command name, which may itself
// hold spaces and parentheses.
StatLine readStat(const QString& pid)
{
    StatLine out;
    QFile file(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray line = file.readAll();
    const int close = line.lastIndexOf(')');
    if (close < 0)
        return out;
    const QList<QByteArray> f = line.mid(close + 2).split(' ');
    // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt
    // utime stime cutime cstime priority nice threads itrealvalue starttime
    if (f.size() < 20 || f[0].isEmpty())
        return out;
    out.state = f[0][0];
    out.group = f[2].toLongLong();
    out.start = f[19].toULongLong(&out.ok);
    return out;
}

bool isLive(const StatLine& s) { return s.ok && s.state != 'Z' && s.state != 'X' && s.state != 'x'; }

int liveMembers(qint64 group)
{
    int count = 0;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (pid.isEmpty() || !pid.at(0).isDigit())
            continue;
        const StatLine s = readStat(pid);
        if (isLive(s) && s.group == group)
            ++count;
    }
    return count;
}

} // namespace

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

void startTiedToThisProcess(QProcess& process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::umask(077);
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before the signal was asked for.
        if (::getppid() != parent)
            ::_exit(127);
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
    // A larger id would be cut to another process's (or to 0, the caller's
    // own group) by the conversion below.
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    // EPERM: the process exists but belongs to someone else.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

quint64 processStartTime(qint64 pid)
{
    if (pid <= 0)
        return 0;
    const StatLine s = readStat(QString::number(pid));
    return isLive(s) ? s.start : 0;
}

GroupEnd endProcessGroup(qint64 leaderPid, quint64 leaderStart, int waitMs)
{
    if (leaderPid <= 1)
        return GroupEnd::Gone;
    // The kernel gives no process an id still used as a group id, so a live
    // leader of another start time leads a new group, not the old one.
    const quint64 start = processStartTime(leaderPid);
    if (leaderStart != 0 && start != 0 && start != leaderStart)
        return GroupEnd::NotOurs;
    if (liveMembers(leaderPid) == 0)
        return GroupEnd::Gone;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        ::kill(-static_cast<pid_t>(leaderPid), SIGKILL);
        if (liveMembers(leaderPid) == 0)
            return GroupEnd::Ended;
        if (clock.elapsed() >= waitMs)
            return GroupEnd::StillAlive;
        QThread::msleep(kGroupPollMs);
    }
}
