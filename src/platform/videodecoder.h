#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

// Decodes the first video stream of a file into 32-bit RGB images of a
// chosen size, one frame per read, on whatever thread calls it (one thread
// at a time).
class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Opens `path` and its first video stream among the first 16 streams.
    // False when the file cannot be read, holds no video or has no decoder.
    bool open(const QString& path);
    // The stream's own frame size.
    QSize nativeSize() const;
    // The size frames are delivered in; the native size until set.
    void setOutputSize(const QSize& size);
    QSize outputSize() const;

    enum class Read { Frame, EndOfStream, Nothing, Error };
    // The next frame with its time stamp in milliseconds from the stream's
    // start (Frame), the end of the stream, a read that gave no frame yet
    // (Nothing) or a failure after which nothing more can be read.
    Read read(QImage* frame, qint64* timestampMs);
    // Back to the first frame, after the end of the stream.
    bool rewind();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
