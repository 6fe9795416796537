#include "protect/screenmonitor.h"

#include "media/aviwriter.h"
#include "platform/diskspace.h"
#include "platform/inputactivity.h"
#include "media/mediamodule.h"
#include "platform/process.h"
#include "platform/screencapture.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <chrono>

namespace {

// A segment is written under this suffix and renamed when it is complete,
// so that a file cut short by a crash never passes for a finished one.
const QString kPartSuffix = QStringLiteral(".part");
constexpr qint64 kMiB = 1048576;
// How often a recording segment checks that its file is still there.
constexpr qint64 kPartCheckMs = 1000;
// A part not written for this long has no writer: a live one grows with
// every frame.
constexpr qint64 kStalePartSecs = 600;

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// mkpath() succeeds on a folder we may not write to; only a file made
// there tells.
bool folderWritable(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.screen_probe_XXXXXX"));
    return probe.open();
}

} // namespace

ScreenMonitor::Services ScreenMonitor::Services::system()
{
    Services s;
    s.openCapture = [] { return openScreenCapture(); };
    s.watchActivity = [] { return watchInputActivity(); };
    s.availableBytes = [](const QString& folder) { return availableDiskBytes(folder); };
    s.monotonicMs = steadyMs;
    s.localTime = [] { return QDateTime::currentDateTime(); };
    return s;
}

ScreenMonitor::ScreenMonitor(Services services, QObject* parent) : QObject(parent), m_services(std::move(services))
{
}

ScreenMonitor::~ScreenMonitor()
{
    stop();
}

ScreenMonitor* ScreenMonitor::instance()
{
    // Never destroyed: the process ends by a hard exit, after stop().
    static ScreenMonitor* const monitor = new ScreenMonitor(Services::system());
    return monitor;
}

qint64 ScreenMonitor::freeSpaceThreshold(int segmentMB)
{
    return qMax<qint64>(2 * qint64(segmentMB) * kMiB, kMinFreeBytes);
}

int ScreenMonitor::frameIntervalMs(int fps)
{
    const int f = qBound(2, fps, 60);
    return (1000 + f / 2) / f;
}

void ScreenMonitor::configure(const QString& folder, int segmentMB, int idleSeconds, int fps, int format,
                              int activitySource)
{
    {
        std::lock_guard<std::mutex> lock(m_folderMutex);
        m_folder = folder;
    }
    m_segmentMB.store(qBound(10, segmentMB, 512));
    m_idleMs.store(qBound(10, idleSeconds, 600) * 1000);
    m_mp4.store(format > 0);
    m_source.store(qBound(0, activitySource, 2));
    m_fps.store(qBound(2, fps, 60));
    m_intervalMs.store(frameIntervalMs(fps));
}

QString ScreenMonitor::folder() const
{
    std::lock_guard<std::mutex> lock(m_folderMutex);
    return m_folder;
}

bool ScreenMonitor::start()
{
    const QString dir = folder();
    if (dir.isEmpty())
        return false;
    if (!folderWritable(dir)) {
        qWarning() << "screen monitor: folder cannot be written:" << QDir::toNativeSeparators(dir);
        return false;
    }
    if (m_running.load())
        return true;
    m_paused.store(false);
    m_retryAtMs.store(0);
    m_openFailing = false;
    m_folderTold = false;
    m_stallTold.store(false);
    m_activity = m_services.watchActivity ? m_services.watchActivity() : nullptr;
    if (!m_activity)
        qWarning() << "screen monitor: no keyboard or mouse activity can be read; nothing will be recorded";
    m_running.store(true);
    m_thread = std::thread(&ScreenMonitor::captureLoop, this);
    return true;
}

void ScreenMonitor::stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_waitMutex);
            m_running.store(false);
        }
        m_wake.notify_all();
        m_thread.join();
    }
    m_running.store(false);
    m_activity.reset();
    // The loop completes its segment as it ends; this only matters if it
    // never ran.
    closeSegment();
    m_capture.reset();
}

QString ScreenMonitor::currentSegmentPath() const
{
    std::lock_guard<std::mutex> lock(m_pathMutex);
    return m_currentPath;
}

void ScreenMonitor::setCurrentSegmentPath(const QString& path)
{
    std::lock_guard<std::mutex> lock(m_pathMutex);
    m_currentPath = path;
}

void ScreenMonitor::captureLoop()
{
    using Clock = std::chrono::steady_clock;
    // Frames follow a fixed schedule rather than a fixed pause after each
    // capture, so the time a capture takes does not lower the rate. A frame
    // that comes late is made up at once; one that falls further behind
    // than a whole interval moves the schedule instead of bunching frames.
    Clock::time_point next = Clock::now();
    removeStaleParts(folder());
    while (m_running.load()) {
        bool open = segmentOpen();
        if (userActive()) {
            const bool waiting = m_paused.load() && m_services.monotonicMs() < m_retryAtMs.load();
            if (!open && !waiting)
                open = openSegment();
            if (open)
                captureFrame();
        } else if (open) {
            // Each stretch of activity gets segments of its own.
            closeSegment();
        }
        const int interval = m_intervalMs.load();
        const std::chrono::milliseconds step(interval < 5 ? 4 : interval);
        next += step;
        const Clock::time_point now = Clock::now();
        if (now - next > step)
            next = now;
        std::unique_lock<std::mutex> lock(m_waitMutex);
        m_wake.wait_until(lock, next, [this] { return !m_running.load(); });
    }
    closeSegment();
    m_capture.reset();
}

bool ScreenMonitor::userActive() const
{
    if (!m_activity)
        return false;
    InputActivity::Kind kind = InputActivity::Kind::Any;
    if (m_source.load() == KeyboardOnly)
        kind = InputActivity::Kind::Keyboard;
    else if (m_source.load() == MouseOnly)
        kind = InputActivity::Kind::Mouse;
    const qint64 age = m_activity->idleMs(kind);
    return age >= 0 && age < m_idleMs.load();
}

void ScreenMonitor::pauseUntilRetry()
{
    m_paused.store(true);
    m_retryAtMs.store(m_services.monotonicMs() + kRetryMs);
}

QString ScreenMonitor::nextSegmentPath() const
{
    const QString stamp = m_services.localTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    const QString base = folder() + QLatin1Char('/') + QStringLiteral("Screen_%1").arg(stamp);
    const QString extension = m_mp4.load() ? QStringLiteral(".mp4") : QStringLiteral(".avi");
    QString path = base + extension;
    for (int n = 2; QFileInfo::exists(path) || QFileInfo::exists(path + kPartSuffix); ++n)
        path = base + QStringLiteral("_%1").arg(n) + extension;
    return path;
}

// The folder may have been removed while recording (by the user, or with
// the drive it was on); the segments need it back before anything opens,
// or a failed MP4 open would turn the monitor to AVI for good.
bool ScreenMonitor::ensureFolder(const QString& dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    if (QDir().mkpath(dir)) {
        qWarning() << "screen monitor: recording folder was gone, made again:" << QDir::toNativeSeparators(dir);
        return true;
    }
    if (!m_folderTold) {
        qWarning() << "screen monitor: recording folder cannot be made, retrying every 10 s:"
                   << QDir::toNativeSeparators(dir);
        m_folderTold = true;
        m_stallTold.store(true);
        Q_EMIT folderUnavailable(dir);
    }
    pauseUntilRetry();
    return false;
}

// Leftovers of a recorder that was killed: an MP4 part has no index and
// plays nowhere. An AVI part holds its frames and is left for the user, as
// a segment that could not be completed is.
void ScreenMonitor::removeStaleParts(const QString& dir)
{
    if (dir.isEmpty())
        return;
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-kStalePartSecs);
    const QFileInfoList parts = QDir(dir).entryInfoList({ QStringLiteral("Screen_*.mp4") + kPartSuffix },
                                                        QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QFileInfo& fi : parts) {
        if (fi.isSymLink() || QString::number(fi.ownerId()) != currentUserKey() || fi.lastModified() >= cutoff)
            continue;
        if (QFile::remove(fi.absoluteFilePath()))
            qInfo() << "screen monitor: unfinished segment of an earlier run removed:"
                    << QDir::toNativeSeparators(fi.absoluteFilePath());
    }
}

bool ScreenMonitor::segmentFileGone()
{
    const qint64 now = m_services.monotonicMs();
    if (now - m_partCheckedMs < kPartCheckMs)
        return false;
    m_partCheckedMs = now;
    return !QFileInfo::exists(m_partPath);
}

// The open file was removed (its folder with it): frames written there are
// lost whatever happens, so the writer is dropped without a rename.
void ScreenMonitor::abandonSegment()
{
    qWarning() << "screen monitor: the open segment was removed, starting a new one:"
               << QDir::toNativeSeparators(m_partPath);
    QString ignored;
    m_writer->close(m_services.monotonicMs(), &ignored);
    m_writer.reset();
    setCurrentSegmentPath(QString());
}

bool ScreenMonitor::openSegment()
{
    const QString dir = folder();
    if (!dir.isEmpty() && !ensureFolder(dir))
        return false;
    m_folderTold = false;
    if (!dir.isEmpty() && m_services.availableBytes) {
        const qint64 free = m_services.availableBytes(dir);
        const qint64 threshold = freeSpaceThreshold(m_segmentMB.load());
        if (free >= 0 && free < threshold) {
            if (!m_paused.exchange(true)) {
                qWarning() << "screen monitor paused: low disk space" << free << "<" << threshold;
                m_stallTold.store(true);
                Q_EMIT diskFull();
            }
            m_retryAtMs.store(m_services.monotonicMs() + kRetryMs);
            return false;
        }
        m_paused.store(false);
    }
    if (!m_capture && m_services.openCapture)
        m_capture = m_services.openCapture();
    if (!m_capture)
        return false;
    const QSize screen = m_capture->screenSize();
    if (screen.width() < 1 || screen.height() < 1)
        return false;

    const int fps = m_fps.load();
    m_segmentScreen = screen;
    m_segmentBytes = 0;
    QString error;
    if (m_mp4.load()) {
        const QString path = nextSegmentPath();
        std::unique_ptr<SegmentWriter> mp4 = media::newMp4Writer(&error);
        if (mp4 && mp4->open(path + kPartSuffix, screen, fps, &error)) {
            m_writer = std::move(mp4);
            m_segmentIsMp4 = true;
            m_segmentPath = path;
            m_partPath = path + kPartSuffix;
            setCurrentSegmentPath(path);
            m_openFailing = false;
            segmentOpened();
            return true;
        }
        // Recording goes on as AVI until the monitor is configured again.
        qWarning() << "screen monitor: MP4 recording failed, recording AVI instead:" << error;
        QFile::remove(path + kPartSuffix);
        m_mp4.store(false);
    }
    const QString path = nextSegmentPath();
    auto avi = std::make_unique<AviWriter>();
    if (!avi->open(path + kPartSuffix, screen, fps, &error)) {
        if (!m_openFailing)
            qWarning() << "screen monitor: cannot create a segment, retrying every 10 s:"
                       << QDir::toNativeSeparators(path) << error;
        m_openFailing = true;
        pauseUntilRetry();
        return false;
    }
    m_writer = std::move(avi);
    m_segmentIsMp4 = false;
    m_segmentPath = path;
    m_partPath = path + kPartSuffix;
    m_segmentBytes = m_writer->byteCount();
    setCurrentSegmentPath(path);
    m_openFailing = false;
    segmentOpened();
    return true;
}

void ScreenMonitor::segmentOpened()
{
    m_partCheckedMs = m_services.monotonicMs();
    if (m_stallTold.exchange(false))
        Q_EMIT recordingResumed();
}

bool ScreenMonitor::captureFrame()
{
    if (segmentFileGone()) {
        abandonSegment();
        return openSegment();
    }
    QImage frame;
    if (!m_capture || !m_capture->grab(&frame))
        return false;
    if (frame.size() != m_segmentScreen) {
        closeSegment();
        if (!openSegment() || frame.size() != m_segmentScreen)
            return false;
    }
    switch (m_writer->addFrame(frame, m_services.monotonicMs())) {
    case SegmentWriter::Added::Written:
        m_segmentBytes = m_writer->byteCount();
        m_framesWritten.fetch_add(1);
        break;
    case SegmentWriter::Added::Dropped:
        return false;
    case SegmentWriter::Added::Failed:
        qWarning() << (m_segmentIsMp4 ? "screen monitor MP4 write failed, closing segment:"
                                      : "screen monitor AVI write failed, closing segment:")
                   << m_writer->errorString();
        closeSegment();
        pauseUntilRetry();
        return true;
    }
    if (m_segmentBytes >= qint64(m_segmentMB.load()) * kMiB) {
        closeSegment();
        openSegment();
    }
    return true;
}

void ScreenMonitor::closeSegment()
{
    if (!m_writer)
        return;
    QString error;
    const bool complete = m_writer->close(m_services.monotonicMs(), &error);
    const int frames = m_writer->frameCount();
    m_writer.reset();
    if (!complete) {
        if (m_segmentIsMp4) {
            // Without its index an MP4 cannot be played at all.
            qWarning() << "Mp4Writer Finalize failed, removing broken segment:" << error
                       << QDir::toNativeSeparators(m_partPath);
            QFile::remove(m_partPath);
        } else {
            // The frames are there; the name says the file is incomplete.
            qWarning() << "screen monitor: segment could not be completed, left as"
                       << QDir::toNativeSeparators(m_partPath) << error;
        }
    } else if (frames == 0) {
        QFile::remove(m_partPath);
    } else if (!QFile::rename(m_partPath, m_segmentPath)) {
        qWarning() << "screen monitor: finished segment cannot take its name"
                   << QDir::toNativeSeparators(m_segmentPath) << "- left as" << QDir::toNativeSeparators(m_partPath);
    }
    setCurrentSegmentPath(QString());
}
