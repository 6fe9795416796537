#pragma once

#include "media/segmentwriter.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

// What the media module offers its callers. The module is a shared library
// of its own, loaded the first time something asks for it (mediamodule.h):
// the codec libraries behind it cost more at every start than the rest of
// the panel, and most users never play a video or record the screen.
//
// Only Qt values and these abstract classes cross between the program and
// the module, and what the module makes is destroyed by the module's code.

// Decodes the first video stream of a file into 32-bit RGB images of a
// chosen size, one frame per read, on whatever thread calls it (one thread
// at a time).
class VideoDecoder {
public:
    virtual ~VideoDecoder() = default;

    // Opens `path` and its first video stream among the first 16 streams.
    // False when the file cannot be read, holds no video or has no decoder.
    virtual bool open(const QString& path) = 0;
    // The stream's own frame size.
    virtual QSize nativeSize() const = 0;
    // The size frames are delivered in; the native size until set.
    virtual void setOutputSize(const QSize& size) = 0;
    virtual QSize outputSize() const = 0;

    enum class Read { Frame, EndOfStream, Nothing, Error };
    // The next frame with its time stamp in milliseconds from the stream's
    // start (Frame), the end of the stream, a read that gave no frame yet
    // (Nothing) or a failure after which nothing more can be read.
    virtual Read read(QImage* frame, qint64* timestampMs) = 0;
    // Back to the first frame, after the end of the stream.
    virtual bool rewind() = 0;
};

class MediaCodecs {
public:
    // Raised with every change of these classes: a module built against
    // another version is refused instead of being called wrongly.
    static constexpr int kInterfaceVersion = 1;

    virtual std::unique_ptr<VideoDecoder> newVideoDecoder() = 0;
    // H.264 in an MP4 file through the libx264 encoder. Frames are stamped
    // with their capture time; the byte count is the nominal bit rate's
    // share of every frame (mp4BitRateFor), so size checks need not ask the
    // file.
    virtual std::unique_ptr<SegmentWriter> newMp4Writer() = 0;

protected:
    ~MediaCodecs() = default;
};

// Bits per second of an MP4 recording for an even frame size at `fps`: 15 %
// of a bit per pixel and frame, kept within 4 and 40 Mbit/s.
inline qint64 mp4BitRateFor(const QSize& evenSize, int fps)
{
    const qint64 raw = qint64(evenSize.width()) * qint64(evenSize.height()) * qint64(fps) * 15 / 100;
    return qBound(qint64(4000000), raw, qint64(40000000));
}

// The function the module exports: its codecs, or null when the module was
// built for another interface version.
#define QY_MEDIA_ENTRY quilloryMediaCodecs
using MediaEntryFunction = MediaCodecs* (*)(int interfaceVersion);
