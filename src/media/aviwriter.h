#pragma once

#include "media/segmentwriter.h"

#include <QFile>
#include <QPair>
#include <QVector>

// Motion-JPEG AVI: a RIFF header of fixed size, one JPEG chunk per frame
// and the "idx1" index, kept in memory and appended when the file closes.
class AviWriter : public SegmentWriter {
public:
    // The header's length; frame chunks follow it.
    static constexpr qint64 kHeaderSize = 224;
    // Where the "movi" list type sits: index offsets count from there.
    static constexpr qint64 kMoviOffset = 220;
    static constexpr int kJpegQuality = 85;

    // The rate stored in the header: microseconds per frame and rate over
    // a scale of 1000.
    struct Rate {
        quint32 microsPerFrame = 0;
        quint32 rateTimes1000 = 0;
    };
    // The rate that makes `frames` frames, the first stamped `firstMs` and
    // the last `lastMs`, last as long as the recording did: until `endMs`,
    // and the last frame at least one interval of the nominal `fps`.
    static Rate measuredRate(int frames, qint64 firstMs, qint64 lastMs, qint64 endMs, int fps);

    ~AviWriter() override;

    bool open(const QString& path, const QSize& screen, int fps, QString* error) override;
    Added addFrame(const QImage& frame, qint64 captureMs) override;
    bool close(qint64 endMs, QString* error) override;
    QString errorString() const override { return m_error; }
    int frameCount() const override { return m_frames; }
    qint64 byteCount() const override { return m_bytes; }
    QSize frameSize() const override { return m_size; }

private:
    QByteArray header() const;
    bool patch(qint64 offset, quint32 value);

    QFile m_file;
    QSize m_size;
    int m_fps = 0;
    int m_frames = 0;
    qint64 m_bytes = 0;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
    // Per frame: chunk offset from "movi", JPEG length.
    QVector<QPair<quint32, quint32>> m_index;
    QString m_error;
};
