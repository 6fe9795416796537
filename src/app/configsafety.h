#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// Shows a transient message; kind 0 is ordinary, kind 1 marks a failure.
// The main window passes its showToast here.
using ToastCallback = std::function<void(const QString& text, int kind)>;

// Replaces `path` with `bytes` all or nothing: the bytes go to a temporary
// file beside the target, which takes the target's place only when every
// byte was written and the commit succeeds. On failure the old file stays as
// it was, the temporary copy is discarded, false is returned and `error`
// (may be null) says why, in English, for the log. A file that did not exist
// before is made readable and writable by its owner only (0600); a replaced
// file keeps its mode.
bool saveFileAtomically(const QString& path, const QByteArray& bytes, QString* error);
// The same, telling a target that cannot be opened from a write that did
// not complete (a full disk: short write, failed flush or commit).
enum class AtomicSave { Ok, OpenFailed, Incomplete };
AtomicSave saveFileAtomicallyDetailed(const QString& path, const QByteArray& bytes, QString* error);

// saveFileAtomically for the panel's own configuration files. It refuses to
// touch a file that is damaged and could not be set aside (see
// preserveCorruptConfig), so that the only copy of the user's data is not
// replaced by defaults; `error` then says so.
bool saveConfigFile(const QString& path, const QByteArray& bytes, QString* error);

// Sets a damaged configuration file aside under its name plus ".corrupt-"
// and a "yyyyMMdd-HHmmss-zzz" stamp, with "-0" to "-99" on a clash; renames,
// or copies and removes when the rename fails. Returns true when the file is
// out of the way (or there was none to move). When it stays in place it is
// remembered for the rest of the run and saveConfigFile will not overwrite
// it. `now` gives the time stamps; tests pass a fixed clock.
bool preserveCorruptConfig(const QString& path,
                           const std::function<QDateTime()>& now = {});

// Keeps a copy of `bytes` (what was read from `path`) under the same kind of
// stamped name, leaving `path` in place: for a file that loaded only in part,
// whose remainder will be lost at the next save. When no copy can be written
// the path is blocked like a damaged file that could not be set aside.
bool keepCopyOfConfig(const QString& path, const QByteArray& bytes,
                      const std::function<QDateTime()>& now = {});

// The most a configuration file may hold; a bigger one is treated as damaged.
constexpr qint64 kMaxConfigFileBytes = 64 * 1024 * 1024;

// Removes the temporary files that interrupted atomic saves of `baseNames`
// (a name, a dot and six letters or digits) left in `dir`: regular files of
// this user only. Call before anything in `dir` is saved. Returns how many
// were removed.
int removeInterruptedSaves(const QString& dir, const QStringList& baseNames);

// The count of holds on configuration saves: while it is above zero,
// saveConfigFile refuses every write. A restore holds it from its start until
// the restored files are loaded, so that no save writes the old in-memory
// state over them. Any thread.
std::atomic<int>& configSaveHolds();

// True while `path` holds a damaged file that could not be set aside.
bool isConfigOverwriteBlocked(const QString& path);
// Lifts the block, for a file that parses again (a restore put it right).
void clearConfigOverwriteBlock(const QString& path);

// The damage notice shared by the settings and the layout loader (the main
// window holds one, built with its showToast): at most one
// "damaged, copy kept" toast per run, shown some time after the load so the
// window is up. A file that could not be set aside is always reported, since
// the user must know it will not be saved this run.
class ConfigDamageNotice {
public:
    enum class File { Settings, Layout };
    // What was wrong: bytes that could not be used, something other than a
    // regular file (a link, FIFO, folder...) moved aside, or a file that
    // loaded except for some values, of which a copy was kept.
    enum class Damage { Unusable, NotRegular, PartlyRead };
    // Runs `fn` after `delayMs` on the GUI thread.
    using Scheduler = std::function<void(int delayMs, std::function<void()> fn)>;

    // `scheduler` empty: a single-shot timer without context (the notice
    // object must outlive the delay; the main window owns it).
    explicit ConfigDamageNotice(ToastCallback toast, Scheduler scheduler = {});

    // Called by a loader that found `file` damaged; `preserved` is what
    // preserveCorruptConfig returned. Returns true when a toast was scheduled.
    bool report(File file, bool preserved, Damage damage = Damage::Unusable);

    // Whether the one damage toast of this run was already claimed.
    bool claimed() const { return m_claimed; }

    static int delayMs(File file);
    // The untranslated texts; translated when shown.
    static QString preservedText(File file, Damage damage = Damage::Unusable);
    static QString notPreservedText(File file);

private:
    ToastCallback m_toast;
    Scheduler m_scheduler;
    bool m_claimed = false;
};

// Logs every failed save and shows at most one toast per path in 5000 ms,
// measured on a monotonic clock so that a change of the wall clock neither
// floods the screen nor silences a failure. The main window holds the one
// reporter of the process; MainWindow::reportConfigSaveFailure forwards to
// report() (settings, layout and sign-in file writers).
class ConfigSaveFailureReporter {
public:
    using Clock = std::function<qint64()>;  // milliseconds, never going back

    explicit ConfigSaveFailureReporter(ToastCallback toast, Clock clock = {});

    // `message` is the writer's translated text; empty shows the general one.
    void report(const QString& path, const QString& message);

    static constexpr qint64 kThrottleMs = 5000;

private:
    ToastCallback m_toast;
    Clock m_clock;
    QHash<QString, qint64> m_lastToast;
};
