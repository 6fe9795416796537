#include "protect/passwordguard.h"

#include "app/asynctask.h"
#include "app/configsafety.h"
#include "app/jsonutil.h"
#include "app/lang.h"
#include "app/paths.h"
#include "platform/regularfile.h"
#include "protect/passwordhash.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>

#include <memory>

namespace {

constexpr qint64 kMaxFileBytes = 4096;
constexpr int kMaxCountedFailures = 1000000;

} // namespace

PasswordGuard::PasswordGuard(const QString& path)
    : m_path(path)
{
}

qint64 PasswordGuard::delayAfter(int failures)
{
    if (failures < kFreeFailures)
        return 0;
    const int doublings = failures - kFreeFailures;
    if (doublings >= 20)
        return kMaxDelayMs;
    return qMin(kMaxDelayMs, qint64(1000) << doublings);
}

void PasswordGuard::loadLocked()
{
    // The file is read before every check, so what another run or a restore
    // wrote counts; only while it cannot be written does memory stand in.
    if (m_unsaved)
        return;
    m_failures = 0;
    m_notBeforeMs = 0;
    const RegularFileRead file = readRegularFile(m_path, kMaxFileBytes);
    if (file.status == RegularFileRead::Missing)
        return;
    QJsonObject o;
    if (file.status != RegularFileRead::Ok || !parseJsonObject(file.bytes, o)) {
        qWarning().noquote() << "password guard: unreadable" << m_path << file.error;
        return;
    }
    m_failures = qBound(0, o.value(QStringLiteral("failures")).toInt(0), kMaxCountedFailures);
    m_notBeforeMs = qint64(o.value(QStringLiteral("notBefore")).toDouble(0));
}

void PasswordGuard::saveLocked()
{
    QJsonObject o;
    o.insert(QStringLiteral("failures"), m_failures);
    o.insert(QStringLiteral("notBefore"), double(m_notBeforeMs));
    QString error;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_unsaved = !saveFileAtomically(m_path, QJsonDocument(o).toJson(QJsonDocument::Compact), &error);
    // The count stays in memory when it cannot be written: this run is
    // slowed down all the same.
    if (m_unsaved)
        qWarning().noquote() << "password guard: cannot write" << m_path << error;
}

qint64 PasswordGuard::waitLocked(qint64 nowMs) const
{
    // A wall clock turned back must not stretch the wait beyond what the
    // failures earned.
    return qBound(qint64(0), m_notBeforeMs - nowMs, delayAfter(m_failures));
}

qint64 PasswordGuard::waitMs(qint64 nowMs)
{
    QMutexLocker lock(&m_mutex);
    loadLocked();
    return waitLocked(nowMs);
}

PasswordCheckOutcome PasswordGuard::check(const QString& storedHash, const QString& password, qint64 nowMs)
{
    QMutexLocker lock(&m_mutex);
    loadLocked();
    PasswordCheckOutcome out;
    const qint64 wait = waitLocked(nowMs);
    if (wait > 0) {
        out.verdict = PasswordCheckOutcome::Wait;
        out.waitMs = wait;
        return out;
    }
    m_failures = qMin(m_failures + 1, kMaxCountedFailures);
    m_notBeforeMs = nowMs + delayAfter(m_failures);
    saveLocked();
    if (!verifyPassword(storedHash, password)) {
        out.verdict = PasswordCheckOutcome::Wrong;
        return out;
    }
    m_failures = 0;
    m_notBeforeMs = 0;
    saveLocked();
    out.verdict = PasswordCheckOutcome::Accepted;
    if (passwordNeedsRehash(storedHash))
        out.renewedHash = hashPassword(password);
    return out;
}

PasswordGuard& protectionPasswordGuard()
{
    // Never destroyed: a check may still run on a pool thread at exit.
    static PasswordGuard* const guard = new PasswordGuard(cachedAppDataDir() + QStringLiteral("/lock_attempts.json"));
    return *guard;
}

void checkProtectionPassword(const QString& storedHash, const QString& password, QObject* context,
                             std::function<void(const PasswordCheckOutcome&)> done, PasswordGuard* guard)
{
    AsyncTask::runThenCallback(
        [guard, storedHash, password] {
            return guard->check(storedHash, password, QDateTime::currentMSecsSinceEpoch());
        },
        context, [done = std::move(done)](const PasswordCheckOutcome& outcome) { done(outcome); });
}

QString passwordWaitText(qint64 waitMs)
{
    const qint64 seconds = qMax<qint64>(1, (waitMs + 999) / 1000);
    return translate("尝试次数过多，请 %1 秒后再试").arg(seconds);
}
