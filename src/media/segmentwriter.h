#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// One segment file of a screen recording. A writer is used by one thread;
// it writes exactly where it is told and leaves naming to its caller.
class SegmentWriter {
public:
    virtual ~SegmentWriter() = default;

    // Creates the file at `path` for frames of `screen` size at a nominal
    // rate of `fps`. False, with `error` filled, when the file cannot be
    // created or the format cannot be set up; a failed open leaves no file.
    virtual bool open(const QString& path, const QSize& screen, int fps, QString* error) = 0;

    enum class Added {
        Written,
        // The frame was refused; the file is as good as before.
        Dropped,
        // The file cannot take more (a write failed); close it next.
        Failed,
    };
    // Adds one frame (any QImage format) grabbed at `captureMs` on a
    // monotonic clock. Time stamps, not the nominal rate, say how long each
    // frame lasts, so a capture slower than asked still plays at real speed.
    virtual Added addFrame(const QImage& frame, qint64 captureMs) = 0;

    // Completes the file, the recording having lasted until `endMs` on the
    // capture clock: the last frame stays on screen until then (at least
    // one nominal interval). False, with `error` filled, when the file could
    // not be made whole; it is then left as it is for the caller to judge.
    virtual bool close(qint64 endMs, QString* error) = 0;

    // Why the last frame failed.
    virtual QString errorString() const = 0;
    virtual int frameCount() const = 0;
    // The bytes counted against the segment size limit.
    virtual qint64 byteCount() const = 0;
    // The size frames are written at.
    virtual QSize frameSize() const = 0;
};
