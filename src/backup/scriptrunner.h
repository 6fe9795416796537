#pragma once

#include <QString>

#include <atomic>
#include <functional>

class QProcess;

// The PowerShell child that carries snapshot creation and restore: the
// script file, values quoted into it, the watched run and the progress file
// through which the script tells how far it got.

using BackupProgress = std::function<void(int percent, const QString& text)>;

// A single-quoted PowerShell literal of `value`. PowerShell ends such a
// literal at U+0027 and at the curly quotes U+2018 to U+201B alike, so each
// of them is doubled.
QString psQuote(const QString& value);

// Writes `text` (UTF-8 with a byte order mark) to a new "krvbk_XXXXXX.ps1"
// in the temporary folder; returns its path, or empty when it could not be
// written completely.
QString writePsScript(const QString& text);

// The PowerShell program: "pwsh" on the search path, else the .NET global
// tool folder of the user. Empty when there is none.
QString powerShellProgram();

// Runs the script and watches it every 120 ms until it ends, the cancel
// flag is set or `timeoutMs` passes. True when it ended with exit code 0;
// otherwise `error` holds a short text for the user: the first line of the
// script's own error message, "PowerShell 进程意外终止" when it died of a
// signal, "PowerShell 退出码 N" when it said nothing, "已取消" (and
// *cancelled set) or "备份操作超时"; its whole output goes to the log.
// `tick` is called after every wait and once after the end; `started` (may
// be empty) once with the child's process id before the first wait. The
// child and everything it starts run in a process group of their own, which
// is gone when this returns, and die with this process should it die first.
// The runtime's pipes and sockets go to a temporary folder of the run's own,
// removed afterwards.
bool runPowerShellScript(const QString& scriptPath, QString& error, const std::function<void()>& tick, int timeoutMs,
                         const std::atomic<bool>* cancel, bool* cancelled,
                         const std::function<void(qint64 pid)>& started = {});

// The text runPowerShellScript() shows for a failed script's `output`: its
// first line, without the runtime's "Exception calling …:" wrapping.
// Empty when the output holds no message.
QString scriptErrorHeadline(const QByteArray& output);

// Ends the running `process` and every process of its group.
void killProcessTree(QProcess& process);

// One report of the progress file: "done total", or a phase letter, done
// and total. False when the file is missing or holds no valid report (a
// report whose done exceeds its total is a torn read and not valid).
bool readProgressFile(const QString& path, qint64& done, qint64& total, QChar* phase);

// Reports `percent` when it is above the last one reported: a progress bar
// that never moves back, whatever a torn read of the progress file says.
class ProgressReporter {
public:
    ProgressReporter(BackupProgress progress, QString title)
        : m_progress(std::move(progress)), m_title(std::move(title)) {}
    void report(int percent);
    int last() const { return m_last; }
private:
    BackupProgress m_progress;
    QString m_title;
    int m_last = -1;
};

// Creation's tick: 3 to 48 while the data root is copied (the copy measured
// against `sourceBytes` at most every 450 ms), 50 to 98 while zipping; 3 to
// 98 for a script that zips in place and says so with a "Z" line.
std::function<void()> snapshotProgressTick(const QString& progPath, const QString& tmpDir, qint64 sourceBytes,
                                           const std::atomic<bool>* cancel, ProgressReporter* reporter);

// Restore's tick: 3 to 60 while extracting, 60 to 98 while writing.
std::function<void()> restoreProgressTick(const QString& progPath, ProgressReporter* reporter);
