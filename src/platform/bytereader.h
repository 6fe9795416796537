#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstring>
#include <optional>

// Bytes read on demand rather than held in memory: a file read piece by
// piece, so that a large file costs no more memory than the parts asked for.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The extent readers may ask for; fixed for the source's life.
    virtual std::uint64_t size() const = 0;
    // Copies [offset, offset + length) to `out`. False when those bytes
    // cannot be had: outside size(), a read error, or a file that has
    // shrunk since it was opened.
    virtual bool read(std::uint64_t offset, std::uint64_t length, char* out) const = 0;
};

// Little-endian reads from untrusted bytes, in memory or from a source.
// Every read says whether it could be done; a read that would leave the
// data (or overflow while computing its end) yields nothing instead of
// touching memory outside it. Over a source, a read inside size() may
// still yield nothing, so callers check every result.
class ByteReader {
public:
    explicit ByteReader(const QByteArray& data)
        : m_data(reinterpret_cast<const unsigned char*>(data.constData())),
          m_size(static_cast<std::uint64_t>(data.size())) {}
    explicit ByteReader(const ByteSource& source) : m_source(&source), m_size(source.size()) {}

    std::uint64_t size() const { return m_size; }

    bool fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

    std::optional<std::uint8_t> u8(std::uint64_t offset) const
    {
        unsigned char b[1];
        if (!copy(offset, 1, b))
            return std::nullopt;
        return b[0];
    }

    std::optional<std::uint16_t> u16(std::uint64_t offset) const
    {
        unsigned char b[2];
        if (!copy(offset, 2, b))
            return std::nullopt;
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }

    std::optional<std::uint32_t> u32(std::uint64_t offset) const
    {
        unsigned char b[4];
        if (!copy(offset, 4, b))
            return std::nullopt;
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8)
            | (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }

    // A copy of [offset, offset + length), or nothing when it cannot be read.
    std::optional<QByteArray> bytes(std::uint64_t offset, std::uint64_t length) const
    {
        if (!fits(offset, length))
            return std::nullopt;
        if (!m_source)
            return QByteArray(reinterpret_cast<const char*>(m_data + offset), static_cast<qsizetype>(length));
        QByteArray out(static_cast<qsizetype>(length), Qt::Uninitialized);
        if (!m_source->read(offset, length, out.data()))
            return std::nullopt;
        return out;
    }

    // Direct access; readers over bytes in memory only.
    const unsigned char* at(std::uint64_t offset) const
    {
        Q_ASSERT(!m_source);
        return m_data + offset;
    }

private:
    bool copy(std::uint64_t offset, std::uint64_t length, unsigned char* out) const
    {
        if (!fits(offset, length))
            return false;
        if (!m_source) {
            if (length > 0)
                std::memcpy(out, m_data + offset, length);
            return true;
        }
        return m_source->read(offset, length, reinterpret_cast<char*>(out));
    }

    const unsigned char* m_data = nullptr;
    const ByteSource* m_source = nullptr;
    std::uint64_t m_size;
};
