#pragma once

#include <QMutex>
#include <QString>

#include <functional>

class QObject;

// What one check of the protection password came to.
struct PasswordCheckOutcome {
    enum Verdict { Accepted, Wrong, Wait };
    Verdict verdict = Wrong;
    // Wait: how long before the next check is taken; otherwise 0.
    qint64 waitMs = 0;
    // Accepted against a stored text in an older form: the same password in
    // the current form, for the caller to store. Empty otherwise.
    QString renewedHash;
};

// Every check of the protection password passes through one guard, which
// slows guessing down: after a few failures in a row each further check
// waits longer before it is taken. The count and the time of the next
// allowed check are kept in a small file, so a restart does not wipe them.
// The attempt is written down before the password is looked at and cleared
// only once it matched: killing the process mid-check gains nothing.
class PasswordGuard {
public:
    explicit PasswordGuard(const QString& path);

    // The whole check with its bookkeeping; blocks for the key derivation,
    // so it runs on a pool thread. Any thread; checks run one at a time.
    PasswordCheckOutcome check(const QString& storedHash, const QString& password, qint64 nowMs);

    // How long a check at `nowMs` would have to wait.
    qint64 waitMs(qint64 nowMs);

    // The wait after `failures` failed checks in a row: none for the first
    // three, then one second doubling with every failure up to five minutes.
    static qint64 delayAfter(int failures);
    static constexpr int kFreeFailures = 3;
    static constexpr qint64 kMaxDelayMs = 5 * 60 * 1000;

private:
    void loadLocked();
    void saveLocked();
    qint64 waitLocked(qint64 nowMs) const;

    QMutex m_mutex;
    QString m_path;
    bool m_unsaved = false;
    int m_failures = 0;
    qint64 m_notBeforeMs = 0;
};

// The guard of the panel's protection password, its file in the data root.
PasswordGuard& protectionPasswordGuard();

// Checks `password` against `storedHash` with `guard` on the task pool and
// hands the outcome to `done` on the thread of `context`; nothing when the
// context is gone by then.
void checkProtectionPassword(const QString& storedHash, const QString& password, QObject* context,
                             std::function<void(const PasswordCheckOutcome&)> done,
                             PasswordGuard* guard = &protectionPasswordGuard());

// The error line for a refused check ("wait N seconds"), translated.
QString passwordWaitText(qint64 waitMs);
