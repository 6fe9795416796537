#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

QString testRoot()
{
    const QString env = qEnvironmentVariable("QY_TEST_ROOT");
    if (!env.isEmpty())
        return env;
    static QTemporaryDir fallback;
    return fallback.path();
}

QString panelBinary()
{
    return qEnvironmentVariable("QY_BUILD_DIR") + QStringLiteral("/src/app/TarnavelPanel");
}

QString sourceDir()
{
    return qEnvironmentVariable("QY_SOURCE_DIR");
}

bool haveX11()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        && QGuiApplication::platformName() == QLatin1String("xcb");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FailAfterDevice::FailAfterDevice(qint64 limit, QObject* parent)
    : QIODevice(parent), m_limit(limit)
{
}

qint64 FailAfterDevice::writeData(const char* data, qint64 len)
{
    const qint64 room = m_limit - written.size();
    if (room <= 0)
        return -1;
    const qint64 n = qMin(room, len);
    written.append(data, n);
    return n;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit old{};
    if (getrlimit(RLIMIT_FSIZE, &old) != 0)
        return;
    m_oldSoft = old.rlim_cur;
    m_oldHard = old.rlim_max;
    // Without this the kernel ends the process on the first oversized write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim = old;
    lim.rlim_cur = rlim_t(bytes);
    m_active = setrlimit(RLIMIT_FSIZE, &lim) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_active)
        return;
    rlimit old{};
    old.rlim_cur = rlim_t(m_oldSoft);
    old.rlim_max = rlim_t(m_oldHard);
    setrlimit(RLIMIT_FSIZE, &old);
}

FailReadDevice::FailReadDevice(QObject* parent)
    : QIODevice(parent)
{
    open(QIODevice::ReadOnly);
    setErrorString(QStringLiteral("simulated read error"));
}

} // namespace testsupport
