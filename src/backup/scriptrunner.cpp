#include "backup/scriptrunner.h"

#include "backup/snapshotfiles.h"
#include "platform/childprocess.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <memory>

namespace {

constexpr int kStartWaitMs = 10000;
constexpr int kPollMs = 120;
constexpr int kKillWaitMs = 5000;
constexpr int kErrorBytes = 400;
constexpr int kLogBytes = 16384;
constexpr int kLastSignal = 64;
constexpr qint64 kRemeasureMs = 449;
constexpr int kHeadlineChars = 300;

bool isSet(const std::atomic<bool>* flag)
{
    return flag && flag->load(std::memory_order_relaxed);
}

// The first `limit` bytes of UTF-8 output without a character cut in half.
QByteArray headOfOutput(const QByteArray& bytes, int limit)
{
    if (bytes.size() <= limit)
        return bytes;
    int end = limit;
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}

} // namespace

QString psQuote(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('\'');
    for (const QChar c : value) {
        out += c;
        const char16_t u = c.unicode();
        if (u == 0x0027 || (u >= 0x2018 && u <= 0x201B))
            out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

QString writePsScript(const QString& text)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/krvbk_XXXXXX.ps1"));
    file.setAutoRemove(false);
    if (!file.open())
        return QString();
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    const qint64 written = file.write(bytes);
    const bool flushed = file.flush();
    const QString path = file.fileName();
    if (written == bytes.size() && flushed && file.error() == QFileDevice::NoError) {
        file.close();
        return path;
    }
    file.close();
    qWarning() << "writePsScript: incomplete script, discarded:" << path << "wrote" << written << "of" << bytes.size();
    QFile::remove(path);
    return QString();
}

QString powerShellProgram()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pwsh"));
    if (!onPath.isEmpty())
        return onPath;
    const QString tool = QDir::homePath() + QStringLiteral("/.dotnet/tools/pwsh");
    return QFileInfo(tool).isExecutable() ? tool : QString();
}

void killProcessTree(QProcess& process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        killProcessGroup(pid);
    process.kill();
}

QString scriptErrorHeadline(const QByteArray& output)
{
    QString line;
    for (const QByteArray& raw : output.split('\n')) {
        line = QString::fromLocal8Bit(raw).trimmed();
        if (!line.isEmpty())
            break;
    }
    // .NET calls that throw are reported as
    // Exception calling "Move" with "3" argument(s): "<message>"
    static const QLatin1String calling("Exception calling \"");
    if (line.startsWith(calling)) {
        const int colon = line.indexOf(QLatin1String("): "));
        if (colon > 0)
            line = line.mid(colon + 3).trimmed();
    }
    if (line.size() >= 2 && line.startsWith(QLatin1Char('"')) && line.endsWith(QLatin1Char('"')))
        line = line.mid(1, line.size() - 2);
    if (line.size() > kHeadlineChars)
        line = line.left(kHeadlineChars) + QStringLiteral("…");
    return line;
}

bool runPowerShellScript(const QString& scriptPath, QString& error, const std::function<void()>& tick, int timeoutMs,
                         const std::atomic<bool>* cancel, bool* cancelled,
                         const std::function<void(qint64 pid)>& started)
{
    // The runtime leaves debug pipes and diagnostic sockets in its temporary
    // folder, and a killed run never removes them.
    QTemporaryDir runtimeTemp(QDir::tempPath() + QStringLiteral("/krvps_XXXXXX"));
    if (!runtimeTemp.isValid())
        qWarning() << "runPowerShellScript: no private temporary folder:" << runtimeTemp.errorString();

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Plain text errors, and no time spent on telemetry or update checks.
    env.insert(QStringLiteral("NO_COLOR"), QStringLiteral("1"));
    env.insert(QStringLiteral("TERM"), QStringLiteral("dumb"));
    env.insert(QStringLiteral("POWERSHELL_TELEMETRY_OPTOUT"), QStringLiteral("1"));
    env.insert(QStringLiteral("POWERSHELL_UPDATECHECK"), QStringLiteral("Off"));
    env.insert(QStringLiteral("DOTNET_CLI_TELEMETRY_OPTOUT"), QStringLiteral("1"));
    if (runtimeTemp.isValid())
        env.insert(QStringLiteral("TMPDIR"), runtimeTemp.path());
    process.setProcessEnvironment(env);
    // A script left running by a dead panel would go on writing into the
    // data root while the next start rolls it back.
    startTiedToThisProcess(process);

    const QString program = powerShellProgram();
    if (!program.isEmpty()) {
        process.start(program,
                      { QStringLiteral("-NoProfile"), QStringLiteral("-ExecutionPolicy"), QStringLiteral("Bypass"),
                        QStringLiteral("-File"), scriptPath },
                      QIODevice::ReadWrite);
    }
    if (program.isEmpty() || !process.waitForStarted(kStartWaitMs)) {
        error = QStringLiteral("无法启动 PowerShell");
        return false;
    }

    // Whatever way the run ends, nothing of its group outlives the call.
    struct GroupReaper {
        qint64 pid;
        ~GroupReaper() { killProcessGroup(pid); }
    } reaper { process.processId() };
    if (started)
        started(process.processId());

    QElapsedTimer clock;
    clock.start();
    bool timedOut = false;
    bool stopped = false;
    while (process.state() != QProcess::NotRunning) {
        if (isSet(cancel)) {
            stopped = true;
            break;
        }
        if (process.waitForFinished(kPollMs))
            continue;
        if (isSet(cancel)) {
            stopped = true;
            break;
        }
        if (tick)
            tick();
        if (clock.elapsed() > timeoutMs) {
            timedOut = true;
            break;
        }
    }
    if (stopped || timedOut) {
        killProcessTree(process);
        process.waitForFinished(kKillWaitMs);
        if (stopped)
            markCancelled(error, cancelled);
        else
            error = QStringLiteral("备份操作超时");
        return false;
    }

    if (tick)
        tick();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    const QByteArray output = process.readAll().trimmed();
    // A launcher in front of the runtime reports a runtime killed by signal
    // N as exit code 128 + N.
    const bool signalled = process.exitStatus() == QProcess::CrashExit
        || (output.isEmpty() && process.exitCode() > 128 && process.exitCode() <= 128 + kLastSignal);
    if (signalled) {
        qWarning().noquote() << "PowerShell ended by a signal, exit code" << process.exitCode()
                             << "output:" << QString::fromLocal8Bit(headOfOutput(output, kLogBytes));
        error = QStringLiteral("PowerShell 进程意外终止");
        return false;
    }
    qWarning().noquote() << "PowerShell script failed, exit code" << process.exitCode() << "output:"
                         << QString::fromLocal8Bit(headOfOutput(output, kLogBytes));
    error = scriptErrorHeadline(headOfOutput(output, kErrorBytes));
    if (error.isEmpty())
        error = QStringLiteral("PowerShell 退出码 ") + QString::number(process.exitCode());
    return false;
}

bool readProgressFile(const QString& path, qint64& done, qint64& total, QChar* phase)
{
    done = 0;
    total = 0;
    if (phase)
        *phase = QLatin1Char('C');
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(256).trimmed();
    file.close();
    const QList<QByteArray> parts = bytes.split(' ');
    bool okDone = false;
    bool okTotal = false;
    if (parts.size() >= 3) {
        const QByteArray code = parts[0].trimmed();
        if (phase && code.size() == 1)
            *phase = QLatin1Char(code[0]);
        done = parts[1].toLongLong(&okDone);
        total = parts[2].toLongLong(&okTotal);
    } else if (parts.size() == 2) {
        done = parts[0].toLongLong(&okDone);
        total = parts[1].toLongLong(&okTotal);
    } else {
        return false;
    }
    return okDone && okTotal && total > 0 && done >= 0 && done <= total;
}

void ProgressReporter::report(int percent)
{
    if (percent <= m_last)
        return;
    m_last = percent;
    if (m_progress)
        m_progress(percent, m_title);
}

std::function<void()> snapshotProgressTick(const QString& progPath, const QString& tmpDir, qint64 sourceBytes,
                                           const std::atomic<bool>* cancel, ProgressReporter* reporter)
{
    struct State {
        QElapsedTimer clock;
        qint64 copied = 0;
    };
    auto state = std::make_shared<State>();
    state->clock.start();
    return [=] {
        qint64 done = 0;
        qint64 total = 0;
        int percent;
        QChar phase;
        if (readProgressFile(progPath, done, total, &phase)) {
            // "Z": zipped in place, with no copy before it, so the zip is
            // the whole run; otherwise the copy took the first half.
            const double x = static_cast<double>(done) / static_cast<double>(total);
            percent = phase == QLatin1Char('Z') ? qMin(98, 3 + static_cast<int>(x * 95.0))
                                                : qMin(98, 50 + static_cast<int>(x * 48.0));
        } else {
            if (state->clock.elapsed() > kRemeasureMs) {
                state->copied = treeSizeBytes(tmpDir, cancel);
                state->clock.restart();
            }
            if (sourceBytes < 1) {
                percent = 48;
            } else {
                const double x = static_cast<double>(state->copied) / static_cast<double>(sourceBytes);
                percent = x > 1.0 ? 48 : qMin(48, 3 + static_cast<int>(x * 45.0));
            }
        }
        reporter->report(percent);
    };
}

std::function<void()> restoreProgressTick(const QString& progPath, ProgressReporter* reporter)
{
    return [=] {
        qint64 done = 0;
        qint64 total = 0;
        QChar phase;
        int percent = 3;
        if (readProgressFile(progPath, done, total, &phase)) {
            const double x = static_cast<double>(done) / static_cast<double>(total);
            percent = phase == QLatin1Char('W') ? qMin(98, 60 + static_cast<int>(x * 38.0))
                                                : qMin(60, 3 + static_cast<int>(x * 57.0));
        }
        reporter->report(percent);
    };
}
