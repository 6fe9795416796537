#pragma once

#include <QDateTime>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class InputActivity;
class ScreenCapture;
class SegmentWriter;

// The screen recorder: while the user is active at the keyboard or mouse it
// records the whole screen into segment files ("Screen_<time>.mp4" or
// ".avi") in a folder, cut at a size limit; it stops when the user has been
// idle for a set time and pauses while the disk runs low. A capture thread
// of its own grabs and encodes; every setting it reads is an atomic.
class ScreenMonitor : public QObject {
    Q_OBJECT
public:
    // What the monitor takes from the system. The process's monitor uses
    // the real ones; tests and benchmarks make monitors of their own.
    struct Services {
        // Made on the capture thread at the first segment, ended there.
        std::function<std::unique_ptr<ScreenCapture>()> openCapture;
        // Made by start(), ended by stop(); null counts as an idle user.
        std::function<std::unique_ptr<InputActivity>()> watchActivity;
        // Free bytes on the folder's volume; -1 when unknown (no limit).
        std::function<qint64(const QString& folder)> availableBytes;
        // A monotonic clock in milliseconds: frame stamps, retry times.
        std::function<qint64()> monotonicMs;
        // The local time that names the segments.
        std::function<QDateTime()> localTime;

        static Services system();
    };

    enum ActivitySource { KeyboardOrMouse = 0, KeyboardOnly = 1, MouseOnly = 2 };

    // Segments stop being opened below max(2 x segment size, this).
    static constexpr qint64 kMinFreeBytes = 524288000;
    static constexpr qint64 kRetryMs = 10000;

    explicit ScreenMonitor(Services services, QObject* parent = nullptr);
    ~ScreenMonitor() override;

    // The one monitor of the process, made on first use; never fails.
    static ScreenMonitor* instance();

    // Free space needed to open a segment of `segmentMB`.
    static qint64 freeSpaceThreshold(int segmentMB);
    // The nearest whole millisecond to one frame at `fps` (clamped 2..60).
    static int frameIntervalMs(int fps);

    // Stores the settings, clamped: segment 10..512 MiB, idle 10..600 s,
    // 2..60 frames per second, format > 0 MP4 else AVI, source 0..2. Takes
    // effect at the next segment; meant for a stopped monitor.
    void configure(const QString& folder, int segmentMB, int idleSeconds, int fps, int format, int activitySource);

    // False when no folder is configured, or when it cannot be created or
    // written; otherwise starts recording (once) and returns true.
    Q_INVOKABLE bool start();
    // Stops recording and completes an open segment; safe to call when the
    // monitor never ran, and more than once.
    Q_INVOKABLE void stop();

    bool isRunning() const { return m_running.load(); }
    // Low disk space or a failed write: no segment until the retry time.
    bool isPaused() const { return m_paused.load(); }
    // The file the open segment becomes when it closes; empty between
    // segments.
    QString currentSegmentPath() const;
    // Frames written since the monitor was made.
    quint64 framesWritten() const { return m_framesWritten.load(); }

    // The stored settings.
    QString folder() const;
    int segmentLimitMB() const { return m_segmentMB.load(); }
    int idleTimeoutMs() const { return m_idleMs.load(); }
    int framesPerSecond() const { return m_fps.load(); }
    int frameInterval() const { return m_intervalMs.load(); }
    bool recordsMp4() const { return m_mp4.load(); }
    int activitySource() const { return m_source.load(); }

Q_SIGNALS:
    // The disk ran low and recording paused; once per low-disk episode,
    // from the capture thread.
    void diskFull();
    // The folder is gone and cannot be made again: recording paused, retried
    // every 10 s; once per episode, from the capture thread.
    void folderUnavailable(const QString& folder);
    // A segment opened again after diskFull() or folderUnavailable(); from
    // the capture thread.
    void recordingResumed();

private:
    void captureLoop();
    bool userActive() const;
    bool segmentOpen() const { return m_writer != nullptr; }
    bool openSegment();
    bool captureFrame();
    void closeSegment();
    QString nextSegmentPath() const;
    void setCurrentSegmentPath(const QString& path);
    void pauseUntilRetry();
    bool ensureFolder(const QString& dir);
    bool segmentFileGone();
    void abandonSegment();
    void segmentOpened();
    void removeStaleParts(const QString& dir);

    Services m_services;

    mutable std::mutex m_folderMutex;
    QString m_folder;
    std::atomic<int> m_segmentMB{100};
    std::atomic<int> m_idleMs{60000};
    std::atomic<int> m_intervalMs{125};
    std::atomic<int> m_fps{59};
    std::atomic<bool> m_mp4{false};
    std::atomic<int> m_source{KeyboardOrMouse};

    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    std::unique_ptr<InputActivity> m_activity;

    // The capture thread's own (and stop()'s once it has joined).
    std::unique_ptr<ScreenCapture> m_capture;
    std::unique_ptr<SegmentWriter> m_writer;
    QString m_partPath;
    QString m_segmentPath;
    QSize m_segmentScreen;
    bool m_segmentIsMp4 = false;
    qint64 m_segmentBytes = 0;
    bool m_openFailing = false;
    bool m_folderTold = false;
    qint64 m_partCheckedMs = 0;

    mutable std::mutex m_pathMutex;
    QString m_currentPath;

    // diskFull() or folderUnavailable() was sent and no segment opened since.
    std::atomic<bool> m_stallTold{false};
    std::atomic<bool> m_paused{false};
    std::atomic<qint64> m_retryAtMs{0};
    std::atomic<quint64> m_framesWritten{0};
};
