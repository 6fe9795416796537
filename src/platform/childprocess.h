#pragma once

#include <QtGlobal>

class QProcess;

// Child processes that must be ended together with everything they start.

// Makes `process` start its program as the leader of a new session and
// process group, so that killProcessGroup() reaches every descendant that
// did not leave the group on purpose. What the child creates is private to
// the user (umask 077). Call before QProcess::start().
void startInOwnProcessGroup(QProcess& process);

// Sends SIGKILL to the whole process group led by `leaderPid`. Returns
// false when no such group exists (any more) or the signal was refused.
bool killProcessGroup(qint64 leaderPid);

// True while a process with this id exists (of any user), zombies included.
bool isProcessAlive(qint64 pid);
