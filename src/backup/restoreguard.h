#pragma once

#include <QString>

#include <atomic>
#include <mutex>

// The safety net of a restore: a record beside the data root of what state
// its safety copy is in, so that a process that dies during a restore is
// rolled back at the next start, and the roll-back itself.

namespace restoreguard {

// Copying: the safety copy is being taken, the data root is untouched.
// Ready: the copy is complete; the script may be writing over the data root.
// Discarding: the data root is final (restored or rolled back); the copy is
// being deleted. The record is removed only after the copy is gone.
enum class State { None, Copying, Ready, Discarding };

struct Record {
    State state = State::None;
    QString skipDir; // the folder the walks of that restore left out
    bool damaged = false; // unreadable: which folder was left out is unknown
    // The script's process, which leads its own process group, and when it
    // started (processStartTime); 0 before it started.
    qint64 pid = 0;
    quint64 started = 0;
    // How far the run got: "copying", "ready", "extracting", "writing",
    // "restored", "rolled back".
    QString phase;
};

// "<data root>.__restore_bak.state"
QString recordPath(const QString& dataRoot);
Record readRecord(const QString& dataRoot);
bool writeRecord(const QString& dataRoot, const Record& record);
bool removeRecord(const QString& dataRoot);

// True for what the crash handler writes into the data root ("crash.log",
// "crash-*.dmp" at its top): records of this run's own crash, never undone.
bool isCrashRecord(const QString& relativePath);

// Makes the data root hold exactly the data files of `safetyCopy` again:
// files and folders the failed run added are removed, overwritten files are
// copied back, crash records are left alone. True when every file was
// copied back. With `removeAdded`
// false nothing is deleted, only copied back.
bool rollBack(const QString& dataRoot, const QString& safetyCopy, const QString& skipDir, bool removeAdded = true);

// One snapshot, restore or start-up recovery at a time in this process.
std::mutex& dataRootMutex();

// Counts restores whose files are not yet loaded by the program.
std::atomic<int>& savesHeldCount();

} // namespace restoreguard
