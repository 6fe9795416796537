#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace testsupport {

FileTree treeOf(const QString& root)
{
    FileTree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        const QString rel = fi.absoluteFilePath().mid(root.size() + 1);
        if (fi.isSymLink())
            tree.insert(rel + QStringLiteral(" ->"), fi.symLinkTarget().toUtf8());
        else if (fi.isDir())
            tree.insert(rel + QLatin1Char('/'), QByteArray());
        else
            tree.insert(rel, readFile(fi.absoluteFilePath()));
    }
    return tree;
}

QStringList zipListing(const QString& zip)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), { QStringLiteral("-Z1"), zip });
    p.waitForFinished(60000);
    QStringList names = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

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
    return qEnvironmentVariable("QY_BUILD_DIR") + QStringLiteral("/src/main/TarnavelPanel");
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

bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeSocketFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address {};
    if (name.size() >= int(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

bool writeFileAtRawPath(const QByteArray& path, const QByteArray& bytes)
{
    for (int slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
        const QByteArray folder = path.left(slash);
        if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
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

DescriptorLimit::DescriptorLimit(qint64 pid, quint64 limit) : m_pid(pid)
{
    rlimit old {};
    if (::prlimit(pid_t(pid), RLIMIT_NOFILE, nullptr, &old) != 0)
        return;
    m_oldSoft = old.rlim_cur;
    m_oldHard = old.rlim_max;
    rlimit lim = old;
    lim.rlim_cur = rlim_t(limit);
    m_active = ::prlimit(pid_t(pid), RLIMIT_NOFILE, &lim, nullptr) == 0;
}

void DescriptorLimit::restore()
{
    if (!m_active)
        return;
    m_active = false;
    rlimit old {};
    old.rlim_cur = rlim_t(m_oldSoft);
    old.rlim_max = rlim_t(m_oldHard);
    ::prlimit(pid_t(m_pid), RLIMIT_NOFILE, &old, nullptr);
}

int lowestFreeDescriptor(qint64 pid)
{
    if (pid == 0) {
        // The kernel hands out the lowest free number.
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        return fd;
    }
    QSet<int> used;
    const QStringList names = QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    if (names.isEmpty())
        return -1;
    for (const QString& name : names)
        used.insert(name.toInt());
    int fd = 0;
    while (used.contains(fd))
        ++fd;
    return fd;
}

FailReadDevice::FailReadDevice(QObject* parent)
    : QIODevice(parent)
{
    open(QIODevice::ReadOnly);
    setErrorString(QStringLiteral("simulated read error"));
}

} // namespace testsupport

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

StderrCapture::StderrCapture()
{
    m_path = testRoot() + QStringLiteral("/stderr-capture-%1.txt").arg(QDateTime::currentMSecsSinceEpoch());
    std::fflush(stderr);
    m_saved = ::dup(2);
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
}

StderrCapture::~StderrCapture()
{
    std::fflush(stderr);
    ::dup2(m_saved, 2);
    ::close(m_saved);
    QFile::remove(m_path);
}

QByteArray StderrCapture::text() const
{
    std::fflush(stderr);
    return readFile(m_path);
}

struct FakeWindowSystem::Watch : WindowSystem::WakeWatch {
    FakeWindowSystem* owner;
    WId window;
    quint32 code;
    std::function<void()> onWake;
    ~Watch() override { owner->m_watches.removeAll(this); }
};

bool FakeWindowSystem::setWindowMarker(WId window, const QString& name)
{
    for (Window& w : windows) {
        if (w.id == window) {
            w.markers << name;
            return true;
        }
    }
    windows.append({ window, { name }, QString(), true });
    return true;
}

WId FakeWindowSystem::findPanelWindow(const QString& marker, const QString& title)
{
    for (const Window& w : windows) {
        if (w.markers.contains(marker) && w.ownExecutable)
            return w.id;
    }
    for (const Window& w : windows) {
        if (w.title == title && w.ownExecutable)
            return w.id;
    }
    return 0;
}

bool FakeWindowSystem::postWake(WId window, quint32 code)
{
    posted.append({ window, code });
    return true;
}

std::unique_ptr<WindowSystem::WakeWatch> FakeWindowSystem::watchWake(WId window, quint32 code, std::function<void()> onWake)
{
    auto watch = std::make_unique<Watch>();
    watch->owner = this;
    watch->window = window;
    watch->code = code;
    watch->onWake = std::move(onWake);
    m_watches.append(watch.get());
    return watch;
}

bool FakeWindowSystem::deliverWake(WId window, quint32 code)
{
    for (Watch* w : m_watches) {
        if (w->window == window && w->code == code) {
            w->onWake();
            return true;
        }
    }
    return false;
}

bool setModificationTime(const QString& path, const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    struct timespec times[2];
    times[0].tv_sec = ms / 1000;
    times[0].tv_nsec = (ms % 1000) * 1000000;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QString todayLogPath(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("/logs/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral("/app.log");
}

QString panelDataRoot()
{
    return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Tarnavel/TarnavelPanel");
}

QString panelLogPath()
{
    return todayLogPath(panelDataRoot());
}

QByteArray panelLog()
{
    return readFile(panelLogPath());
}

QString panelSocketPath()
{
    return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/TarnavelPanel_") + QString::number(::getuid());
}

PanelProcess::PanelProcess(const QStringList& args, const QProcessEnvironment& env)
{
    p.setProcessEnvironment(env);
    p.start(panelBinary(), args);
}

PanelProcess::~PanelProcess()
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
}

bool PanelProcess::finishedWith(int code, int timeoutMs)
{
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == code;
}

QList<qint64> panelsOfThisTest()
{
    QList<qint64> out;
    const QByteArray marker = "QY_TEST_ROOT=" + testRoot().toUtf8();
    const QString binary = QFileInfo(panelBinary()).canonicalFilePath();
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (!ok || QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != binary)
            continue;
        if (readFile(QStringLiteral("/proc/%1/environ").arg(pid)).split('\0').contains(marker))
            out << pid;
    }
    return out;
}

bool waitForFileText(const QString& path, const QByteArray& needle, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (readFile(path).contains(needle))
            return true;
        QTest::qWait(50);
    }
    return readFile(path).contains(needle);
}

} // namespace testsupport

#include <QTcpSocket>

namespace testsupport {

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return QByteArrayLiteral("OK");
    case 204: return QByteArrayLiteral("No Content");
    case 400: return QByteArrayLiteral("Bad Request");
    case 401: return QByteArrayLiteral("Unauthorized");
    case 403: return QByteArrayLiteral("Forbidden");
    case 404: return QByteArrayLiteral("Not Found");
    case 500: return QByteArrayLiteral("Internal Server Error");
    case 502: return QByteArrayLiteral("Bad Gateway");
    case 503: return QByteArrayLiteral("Service Unavailable");
    default: return QByteArrayLiteral("Status");
    }
}

// True once `data` holds a whole request: the head and as many body bytes as
// its Content-Length announces.
bool requestComplete(const QByteArray& data)
{
    const int headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return false;
    qint64 length = 0;
    for (const QByteArray& line : data.left(headEnd).split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
            length = line.mid(colon + 1).trimmed().toLongLong();
    }
    return data.size() - (headEnd + 4) >= length;
}

} // namespace

CannedHttpServer::CannedHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            if (response.isEmpty())
                socket->disconnectFromHost();
        }
    });
}

bool CannedHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl CannedHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void CannedHttpServer::answer(QTcpSocket* socket)
{
    QByteArray data = socket->property("qyRequest").toByteArray() + socket->readAll();
    socket->setProperty("qyRequest", data);
    if (!requestComplete(data))
        return;
    requests.append(data);
    socket->write(response);
    socket->disconnectFromHost();
}

QByteArray CannedHttpServer::reply(int status, const QByteArray& body, const QByteArray& contentType)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        out += "Content-Type: " + contentType + "\r\n";
    // A 204 has no body and must not announce one.
    if (status != 204)
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (status != 204)
        out += body;
    return out;
}

quint16 closedLocalPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 1;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace testsupport
