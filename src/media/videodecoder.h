#pragma once

#include "media/mediacodecs.h"

#include <memory>

// The media module's decoder: libavformat reads the file, libavcodec
// decodes on one thread, libswscale scales into the output size.
class LibavVideoDecoder final : public VideoDecoder {
public:
    LibavVideoDecoder();
    ~LibavVideoDecoder() override;
    LibavVideoDecoder(const LibavVideoDecoder&) = delete;
    LibavVideoDecoder& operator=(const LibavVideoDecoder&) = delete;

    bool open(const QString& path) override;
    QSize nativeSize() const override;
    void setOutputSize(const QSize& size) override;
    QSize outputSize() const override;
    Read read(QImage* frame, qint64* timestampMs) override;
    bool rewind() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
