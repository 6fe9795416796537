#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>
#include "platform/applicationfinder.h"
#include "platform/volumes.h"

#include <QHash>
#include <QMap>
#include <QProcess>

namespace testsupport {

// Every entry below `root`, hidden ones included: files with their bytes,
// folders with a trailing slash, links (" ->") with their target.
using FileTree = QMap<QString, QByteArray>;
FileTree treeOf(const QString& root);

// The entry names of a zip as `unzip -Z1` lists them, sorted.
QStringList zipListing(const QString& zip);

// The isolated root run-isolated.sh made for this test (HOME, XDG_* and TMPDIR
// live under it); a fresh temporary folder when the test runs by hand.
QString testRoot();

// Path of the built panel executable.
QString panelBinary();

// Source tree root, for fixtures.
QString sourceDir();

// True when a real X server is reachable (DISPLAY set and the xcb platform).
bool haveX11();

// Writes a file, creating its folder; returns false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Creates a FIFO at `path` (its folder must exist): a reader that opens it
// without care waits for ever.
bool makeFifo(const QString& path);
// Creates a listening-free Unix socket file at `path` (its folder must exist).
bool makeSocketFile(const QString& path);
// Writes a file whose path is given as raw bytes (names that are not valid
// UTF-8, which no QString can carry), creating missing folders on the way.
bool writeFileAtRawPath(const QByteArray& path, const QByteArray& bytes);

// A device that accepts `limit` bytes and then fails every write: shows what
// a full disk does to a save.
class FailAfterDevice : public QIODevice {
public:
    explicit FailAfterDevice(qint64 limit, QObject* parent = nullptr);
    QByteArray written;
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 len) override;
private:
    qint64 m_limit;
};

// Limits the size of any file this process writes to `bytes` while it
// lives (writes past it fail as on a full disk); the old limit comes back on
// destruction.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return m_active; }
private:
    bool m_active = false;
    quint64 m_oldSoft = 0;
    quint64 m_oldHard = 0;
};

// Lowers the soft limit on open descriptors of process `pid` (0: this
// process) to `limit` while alive; the old limit comes back on restore() or
// destruction. Shows what running out of descriptors does to a server.
class DescriptorLimit {
public:
    DescriptorLimit(qint64 pid, quint64 limit);
    ~DescriptorLimit() { restore(); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;
    bool active() const { return m_active; }
    void restore();
private:
    qint64 m_pid;
    bool m_active = false;
    quint64 m_oldSoft = 0;
    quint64 m_oldHard = 0;
};

// The lowest descriptor number free in process `pid` (0: this process); -1
// when it cannot be told. With the limit set to it, the process can open
// nothing more.
int lowestFreeDescriptor(qint64 pid = 0);

// A monotonic millisecond clock the test moves by hand.
struct FakeClock {
    qint64 now = 0;
    std::function<qint64()> source() { return [this] { return now; }; }
};

// A readable device whose every read fails: shows what an I/O error in the
// middle of loading a file does.
class FailReadDevice : public QIODevice {
public:
    explicit FailReadDevice(QObject* parent = nullptr);
protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

// Volumes given by the test instead of the machine's mount table.
class FakeVolumeLister : public VolumeLister {
public:
    QList<LocalVolume> volumes;
    QList<LocalVolume> localVolumes() const override { return volumes; }
};

// Desktop entries given by the test: desktop id -> path of the entry.
class FakeApplicationFinder : public ApplicationFinder {
public:
    QHash<QString, QString> entries;
    QString findDesktopEntry(const QStringList& desktopIds) const override
    {
        for (const QString& id : desktopIds)
            if (entries.contains(id))
                return entries.value(id);
        return QString();
    }
};

} // namespace testsupport

#include <QDateTime>

#include <functional>
#include <memory>

#include "platform/windowsystem.h"

namespace testsupport {

// Sends everything written to this process's standard error into a buffer
// while alive; text() returns what was captured so far.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    QByteArray text() const;
private:
    int m_saved = -1;
    QString m_path;
};

// Window services without a display: remembers markers, finds what the test
// put in `windows`, and lets the test deliver wake requests.
class FakeWindowSystem : public WindowSystem {
public:
    struct Window { WId id; QStringList markers; QString title; bool ownExecutable; };
    QList<Window> windows;
    QList<QPair<WId, quint32>> posted;

    bool available() const override { return true; }
    bool setWindowMarker(WId window, const QString& name) override;
    WId findPanelWindow(const QString& marker, const QString& title) override;
    bool postWake(WId window, quint32 code) override;
    std::unique_ptr<WakeWatch> watchWake(WId window, quint32 code, std::function<void()> onWake) override;

    // Delivers a wake request as the window system would; true when a watch took it.
    bool deliverWake(WId window, quint32 code);

private:
    struct Watch;
    QList<Watch*> m_watches;
};

// Sets the last-modified time of a file or folder; false on failure.
bool setModificationTime(const QString& path, const QDateTime& when);

// The "app.log" of today under `dataRoot`.
QString todayLogPath(const QString& dataRoot);

// Waits until `path` contains `needle` (polling the file); false on timeout.
bool waitForFileText(const QString& path, const QByteArray& needle, int timeoutMs = 10000);

// The panel's data root, today's log in it (path and bytes) and the agent's
// socket, all under this test's own XDG folders.
QString panelDataRoot();
QString panelLogPath();
QByteArray panelLog();
QString panelSocketPath();

// The panel executable started with `args`; killed when it goes out of
// scope if it still runs.
struct PanelProcess {
    explicit PanelProcess(const QStringList& args = {},
                          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    ~PanelProcess();
    PanelProcess(const PanelProcess&) = delete;
    PanelProcess& operator=(const PanelProcess&) = delete;
    // Ended on its own within `timeoutMs` with exit code `code`.
    bool finishedWith(int code, int timeoutMs = 15000);
    QProcess p;
};

// Pids of the panel processes started from this test's isolated
// environment, also those that are not our children (a panel the agent
// started).
QList<qint64> panelsOfThisTest();

} // namespace testsupport

#include <QTcpServer>
#include <QUrl>

namespace testsupport {

// An HTTP server on 127.0.0.1 that answers every request with the bytes of
// `response` exactly as given (status line, headers, body) and then closes
// the connection; an empty `response` closes it without a word. Lets the
// network code run through the real QNetworkAccessManager.
class CannedHttpServer : public QObject {
public:
    explicit CannedHttpServer(QObject* parent = nullptr);
    // Listens on a free port of 127.0.0.1.
    bool listen();
    QUrl url(const QString& path = QStringLiteral("/")) const;

    QByteArray response;
    // Every request received so far, head and body as sent.
    QList<QByteArray> requests;

    // A complete response with the given status, Content-Type and body.
    static QByteArray reply(int status, const QByteArray& body,
                            const QByteArray& contentType = QByteArrayLiteral("application/json"));

private:
    void answer(QTcpSocket* socket);
    QTcpServer m_server;
};

// A port of 127.0.0.1 on which nothing listens (it was free a moment ago).
quint16 closedLocalPort();

} // namespace testsupport
