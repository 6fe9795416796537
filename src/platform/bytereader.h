#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

// Little-endian reads from untrusted bytes. Every read says whether it fits;
// a read that would leave the data (or overflow while computing its end)
// yields nothing instead of touching memory outside it.
class ByteReader {
public:
    explicit ByteReader(const QByteArray& data)
        : m_data(reinterpret_cast<const unsigned char*>(data.constData())),
          m_size(static_cast<std::uint64_t>(data.size())) {}

    std::uint64_t size() const { return m_size; }

    bool fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= m_size && length <= m_size - offset;
    }

    std::optional<std::uint8_t> u8(std::uint64_t offset) const
    {
        if (!fits(offset, 1))
            return std::nullopt;
        return m_data[offset];
    }

    std::optional<std::uint16_t> u16(std::uint64_t offset) const
    {
        if (!fits(offset, 2))
            return std::nullopt;
        return static_cast<std::uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
    }

    std::optional<std::uint32_t> u32(std::uint64_t offset) const
    {
        if (!fits(offset, 4))
            return std::nullopt;
        return static_cast<std::uint32_t>(m_data[offset])
            | (static_cast<std::uint32_t>(m_data[offset + 1]) << 8)
            | (static_cast<std::uint32_t>(m_data[offset + 2]) << 16)
            | (static_cast<std::uint32_t>(m_data[offset + 3]) << 24);
    }

    // A copy of [offset, offset + length), or nothing when it does not fit.
    std::optional<QByteArray> bytes(std::uint64_t offset, std::uint64_t length) const
    {
        if (!fits(offset, length))
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(m_data + offset), static_cast<qsizetype>(length));
    }

    const unsigned char* at(std::uint64_t offset) const { return m_data + offset; }

private:
    const unsigned char* m_data;
    std::uint64_t m_size;
};
