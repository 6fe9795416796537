#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>
#include "platform/applicationfinder.h"
#include "platform/volumes.h"

#include <QHash>

namespace testsupport {

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
