#pragma once

#include <QtGlobal>

class QProcess;

// Child processes that must be ended together with everything they start.

// Makes `process` start its program as the leader of a new session and
// process group, so that killProcessGroup() reaches every descendant that
// did not leave the group on purpose. What the child creates is private to
// the user (umask 077). Call before QProcess::start().
void startInOwnProcessGroup(QProcess& process);

// startInOwnProcessGroup(), and the child is also killed by the kernel when
// the thread that starts it ends: a kill -9 or a crash of this process takes
// the child along. The starting thread must outlive the run (it waits for
// it).
void startTiedToThisProcess(QProcess& process);

// Sends SIGKILL to the whole process group led by `leaderPid`. Returns
// false when no such group exists (any more) or the signal was refused.
bool killProcessGroup(qint64 leaderPid);

// True while a process with this id exists (of any user), zombies included;
// false for ids outside 1..the largest process id.
bool isProcessAlive(qint64 pid);

// When the live process `pid` started, in clock ticks since boot; 0 when
// there is no such process or it is a zombie. With the id it names one
// process: an id given again to a later process comes with another time.
quint64 processStartTime(qint64 pid);

// What endProcessGroup() found.
enum class GroupEnd {
    Gone,      // no live process of that group was left
    Ended,     // live members were killed and are gone now
    StillAlive,// live members remain after the wait
    NotOurs,   // the id now leads another process's group
};

// Ends what is left of the group that the process `leaderPid`, started at
// `leaderStart` (processStartTime), led: kills every live member and waits
// at most `waitMs` for them to be gone. Zombies count as gone: they write
// nothing any more. `leaderStart` 0 takes any group of that id as ours.
GroupEnd endProcessGroup(qint64 leaderPid, quint64 leaderStart, int waitMs);
