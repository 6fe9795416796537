#pragma once

#include <QString>

#include <memory>

// One system-wide (per user) lock that tells the first running instance from
// the ones started after it. The lock belongs to the process: the system
// frees it when the process ends in any way, crashes and kill -9 included.
class SingleInstanceLock {
public:
    enum class Result {
        Acquired,     // this process now holds the lock
        HeldElsewhere, // another live process holds it
        Failed        // the lock could not be made; `errorText()` says why
    };

    virtual ~SingleInstanceLock() = default;

    // Tries to take the lock without waiting. Calling it while holding the
    // lock returns Acquired again.
    virtual Result tryAcquire() = 0;
    // Gives the lock up (no-op when not held); another process can take it.
    virtual void release() = 0;
    virtual bool isHeld() const = 0;
    virtual QString errorText() const = 0;
};

// The lock named `name`, kept as a file of that name in the per-user runtime
// folder (in the temporary folder, with the user id added, when there is
// none). Programs this process starts do not inherit it.
std::unique_ptr<SingleInstanceLock> createSingleInstanceLock(const QString& name);

// Path of the lock file createSingleInstanceLock() uses for `name`.
QString singleInstanceLockPath(const QString& name);
