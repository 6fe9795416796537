#pragma once

#include "media/segmentwriter.h"

#include <memory>

// H.264 in an MP4 file, through libavformat and the libx264 encoder. Frames
// are converted to NV12 by our own converter (full-range BT.601, declared so
// in the stream) and stamped with their capture time.
class Mp4Writer final : public SegmentWriter {
public:
    Mp4Writer();
    ~Mp4Writer() override;

    bool open(const QString& path, const QSize& screen, int fps, QString* error) override;
    Added addFrame(const QImage& frame, qint64 captureMs) override;
    bool close(qint64 endMs, QString* error) override;
    QString errorString() const override;
    int frameCount() const override;
    // The nominal size of what was written: the bit rate's share of every
    // frame, so that size checks need not ask the file.
    qint64 byteCount() const override;
    QSize frameSize() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
