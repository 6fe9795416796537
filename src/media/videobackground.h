#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Whether a chosen background file is a video, by its name.
bool isVideoFile(const QString& path);

// The size a video of `native` size is decoded at for frames of `target`:
// reduced so that neither side falls below 1.5 times the target (even sides,
// at least 64), the native size when that needs no reduction.
QSize videoDecodeSize(const QSize& native, const QSize& target);

// `frame` scaled to cover `target` and cut to it around its centre; as it
// is when the target is empty.
QImage fitFrameToTarget(const QImage& frame, const QSize& target);

// Pacing of frames by their time stamps (milliseconds) against a monotonic
// clock (milliseconds). No wait exceeds kMaxWaitMs; a frame that needed the
// cap, or that lies before its predecessor, becomes the new base, so a jump
// in the time stamps costs one capped wait and no burst.
class FramePacer {
public:
    static constexpr qint64 kMaxWaitMs = 200;
    // How long to wait before showing the frame stamped `timestampMs` at
    // clock time `nowMs`.
    qint64 waitMs(qint64 timestampMs, qint64 nowMs);
    void reset() { m_based = false; }

private:
    bool m_based = false;
    qint64 m_baseStamp = 0;
    qint64 m_baseClock = 0;
    qint64 m_lastStamp = 0;
};

// A video played as the panel's background: a thread of its own decodes,
// scales and paces the frames, loops at the end, and leaves the newest frame
// in one slot that the GUI pulls on its own timer. The decoder comes from
// the media module, loaded by that thread when the first video plays.
class VideoBackground : public QObject {
public:
    explicit VideoBackground(QObject* parent = nullptr);
    ~VideoBackground() override;

    // The size frames are delivered in; a side that is not positive becomes 1.
    void setTargetSize(const QSize& size);
    QSize targetSize() const;
    // Stops a running decode, then plays `path` from its start when it
    // exists (a missing file leaves the last frame in place).
    void start(const QString& path);
    // Ends the decode; returns once the thread has ended.
    void stop();
    bool isRunning() const { return m_running; }
    // The decode of the file last started has given up without a frame to
    // show: no media module, no decoder for the file, or not a video.
    bool hasFailed() const { return m_failed; }
    // The newest frame (null before the first) and the number of frames
    // stored since the start.
    QImage latestFrame(quint64* serialOut = nullptr) const;
    void storeFrame(const QImage& frame);

private:
    void decodeLoop(QString path);
    // Sleeps up to `ms`, or less when a stop is asked for; false then.
    bool pause(qint64 ms);

    QString m_path;
    std::thread m_thread;
    std::atomic_bool m_stop{false};
    std::atomic_bool m_failed{false};
    std::atomic_int m_targetWidth{0};
    std::atomic_int m_targetHeight{0};
    bool m_running = false;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    mutable QMutex m_frameMutex;
    QImage m_latest;
    quint64 m_frameSerial = 0;
};
