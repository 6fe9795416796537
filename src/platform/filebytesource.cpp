#include "platform/filebytesource.h"

#include <algorithm>
#include <cstring>

FileByteSource::FileByteSource(const QString& path) : m_file(path)
{
    // Unbuffered: the blocks below are the only buffer.
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    const qint64 size = m_file.size();
    if (size < 0 || m_file.isSequential()) {
        m_file.close();
        return;
    }
    m_size = std::uint64_t(size);
}

const FileByteSource::Block* FileByteSource::block(std::uint64_t index) const
{
    for (const Block& b : m_blocks) {
        if (b.valid && b.index == index)
            return &b;
    }
    Block& slot = m_blocks[m_nextSlot];
    m_nextSlot = (m_nextSlot + 1) % m_blocks.size();
    slot.valid = false;
    if (!m_file.seek(qint64(index * kBlockSize)))
        return nullptr;
    slot.bytes = m_file.read(qint64(kBlockSize));
    slot.index = index;
    slot.valid = true;
    return &slot;
}

bool FileByteSource::readDirect(std::uint64_t offset, std::uint64_t length, char* out) const
{
    if (!m_file.seek(qint64(offset)))
        return false;
    return m_file.read(out, qint64(length)) == qint64(length);
}

bool FileByteSource::read(std::uint64_t offset, std::uint64_t length, char* out) const
{
    if (!isOpen() || offset > m_size || length > m_size - offset)
        return false;
    if (length > kBlockSize)
        return readDirect(offset, length, out);
    while (length > 0) {
        const Block* b = block(offset / kBlockSize);
        const std::uint64_t inBlock = offset % kBlockSize;
        // A short block inside the size seen at open: the file has shrunk.
        if (!b || std::uint64_t(b->bytes.size()) <= inBlock)
            return false;
        const std::uint64_t n = std::min<std::uint64_t>(length, std::uint64_t(b->bytes.size()) - inBlock);
        std::memcpy(out, b->bytes.constData() + inBlock, n);
        out += n;
        offset += n;
        length -= n;
    }
    return true;
}
