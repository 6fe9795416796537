#include "media/aviwriter.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include <cmath>

namespace {

void putFourCc(QByteArray& out, const char* code)
{
    out.append(code, 4);
}

void put32(QByteArray& out, quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    out.append(bytes, 4);
}

void put16(QByteArray& out, quint16 v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    out.append(bytes, 2);
}

quint32 clampU32(qint64 v)
{
    return quint32(qBound<qint64>(0, v, 0xFFFFFFFFll));
}

// Header fields patched when the file closes.
constexpr qint64 kRiffSizeAt = 4;
constexpr qint64 kMicrosPerFrameAt = 32;
constexpr qint64 kTotalFramesAt = 48;
constexpr qint64 kRateAt = 132;
constexpr qint64 kLengthAt = 140;
constexpr qint64 kMoviSizeAt = 216;
constexpr quint32 kKeyFrame = 16;

} // namespace

AviWriter::Rate AviWriter::measuredRate(int frames, qint64 firstMs, qint64 lastMs, qint64 endMs, int fps)
{
    const double nominalMs = 1000.0 / qMax(1, fps);
    double intervalMs = nominalMs;
    if (frames >= 1 && lastMs >= firstMs) {
        const double total = double(lastMs - firstMs) + qMax(nominalMs, double(endMs - lastMs));
        intervalMs = total / frames;
    }
    Rate r;
    r.microsPerFrame = clampU32(std::llround(intervalMs * 1000.0));
    r.rateTimes1000 = qMax<quint32>(1, clampU32(std::llround(1000000.0 / intervalMs)));
    return r;
}

AviWriter::~AviWriter()
{
    if (m_file.isOpen()) {
        QString ignored;
        close(m_lastMs, &ignored);
    }
}

QByteArray AviWriter::header() const
{
    const qint64 w = m_size.width();
    const qint64 h = m_size.height();
    const Rate nominal = measuredRate(0, 0, 0, 0, m_fps);
    QByteArray out;
    out.reserve(int(kHeaderSize));
    putFourCc(out, "RIFF");
    put32(out, 0);
    putFourCc(out, "AVI ");
    putFourCc(out, "LIST");
    put32(out, 192);
    putFourCc(out, "hdrl");
    putFourCc(out, "avih");
    put32(out, 56);
    put32(out, nominal.microsPerFrame);
    put32(out, clampU32(3 * w * h * m_fps / 8 + 65536));
    put32(out, 0);
    put32(out, 16); // has an index
    put32(out, 0);  // total frames
    put32(out, 0);
    put32(out, 1);
    put32(out, clampU32(3 * w * h));
    put32(out, quint32(w));
    put32(out, quint32(h));
    out.append(16, '\0');
    putFourCc(out, "LIST");
    put32(out, 116);
    putFourCc(out, "strl");
    putFourCc(out, "strh");
    put32(out, 56);
    putFourCc(out, "vids");
    putFourCc(out, "MJPG");
    put32(out, 0);
    put16(out, 0);
    put16(out, 0);
    put32(out, 0);
    put32(out, 1000); // scale
    put32(out, nominal.rateTimes1000);
    put32(out, 0);
    put32(out, 0); // length
    put32(out, clampU32(3 * w * h));
    put32(out, 0xFFFFFFFFu);
    put32(out, 0);
    out.append(8, '\0');
    putFourCc(out, "strf");
    put32(out, 40);
    put32(out, 40);
    put32(out, quint32(w));
    put32(out, quint32(h));
    put16(out, 1);
    put16(out, 24);
    putFourCc(out, "MJPG");
    put32(out, clampU32(3 * w * h));
    out.append(16, '\0');
    putFourCc(out, "LIST");
    put32(out, 4); // movi size
    putFourCc(out, "movi");
    Q_ASSERT(out.size() == kHeaderSize);
    return out;
}

bool AviWriter::open(const QString& path, const QSize& screen, int fps, QString* error)
{
    if (screen.isEmpty() || fps <= 0) {
        *error = QStringLiteral("no frame size or rate");
        return false;
    }
    m_size = screen;
    m_fps = fps;
    m_frames = 0;
    m_index.clear();
    m_error.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *error = m_file.errorString();
        return false;
    }
    const QByteArray head = header();
    if (m_file.write(head) != head.size()) {
        *error = m_file.errorString();
        m_file.close();
        m_file.remove();
        return false;
    }
    m_bytes = kHeaderSize;
    return true;
}

SegmentWriter::Added AviWriter::addFrame(const QImage& frame, qint64 captureMs)
{
    if (!m_file.isOpen() || frame.size() != m_size)
        return Added::Dropped;
    QByteArray chunk;
    chunk.reserve(int(3 * m_size.width() * m_size.height() / 8) + 16);
    putFourCc(chunk, "00dc");
    put32(chunk, 0);
    {
        QBuffer buffer(&chunk);
        buffer.open(QIODevice::WriteOnly | QIODevice::Append);
        QImageWriter writer(&buffer, "jpg");
        writer.setQuality(kJpegQuality);
        if (!writer.write(frame))
            return Added::Dropped;
    }
    const qint64 jpegLength = chunk.size() - 8;
    if (jpegLength <= 0)
        return Added::Dropped;
    qToLittleEndian(quint32(jpegLength), chunk.data() + 4);
    if (jpegLength & 1)
        chunk.append('\0');

    const qint64 at = m_file.pos();
    const qint64 written = m_file.write(chunk);
    if (written != chunk.size() || m_file.error() != QFileDevice::NoError) {
        m_error = m_file.errorString();
        // A torn chunk at the end would be read as a frame: cut it off.
        m_file.unsetError();
        m_file.resize(at);
        m_file.seek(at);
        return Added::Failed;
    }
    if (m_frames == 0)
        m_firstMs = captureMs;
    m_lastMs = captureMs;
    m_index.append({quint32(at - kMoviOffset), quint32(jpegLength)});
    ++m_frames;
    m_bytes += chunk.size();
    return Added::Written;
}

bool AviWriter::patch(qint64 offset, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return m_file.seek(offset) && m_file.write(bytes, 4) == 4;
}

bool AviWriter::close(qint64 endMs, QString* error)
{
    if (!m_file.isOpen())
        return true;
    const Rate rate = measuredRate(m_frames, m_firstMs, m_lastMs, endMs, m_fps);
    const qint64 moviEnd = m_file.size();
    QByteArray index;
    index.reserve(8 + 16 * m_index.size());
    putFourCc(index, "idx1");
    put32(index, quint32(16 * m_index.size()));
    for (const auto& entry : std::as_const(m_index)) {
        putFourCc(index, "00dc");
        put32(index, kKeyFrame);
        put32(index, entry.first);
        put32(index, entry.second);
    }
    bool ok = patch(kMicrosPerFrameAt, rate.microsPerFrame) && patch(kTotalFramesAt, quint32(m_frames))
        && patch(kRateAt, rate.rateTimes1000) && patch(kLengthAt, quint32(m_frames))
        && patch(kMoviSizeAt, clampU32(moviEnd - kMoviOffset)) && m_file.seek(moviEnd)
        && m_file.write(index) == index.size() && patch(kRiffSizeAt, clampU32(m_file.size() - 8));
    if (!ok)
        *error = m_file.errorString();
    m_file.close();
    if (ok && m_file.error() != QFileDevice::NoError) {
        *error = m_file.errorString();
        ok = false;
    }
    m_index.clear();
    return ok;
}
