#pragma once

#include "platform/bytereader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>

// A file read piece by piece for the readers of untrusted bytes. Small reads
// go through a few cached blocks, larger ones straight to the file, so the
// memory used stays small however large the file is. The file is read, never
// mapped: one that shrinks while it is read gives failed reads, not a fault.
class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(const QString& path);

    // False when the file could not be opened; size() is then 0.
    bool isOpen() const { return m_file.isOpen(); }
    // The size when the file was opened.
    std::uint64_t size() const override { return m_size; }
    bool read(std::uint64_t offset, std::uint64_t length, char* out) const override;

    static constexpr std::uint64_t kBlockSize = 4096;

private:
    struct Block {
        std::uint64_t index = 0;
        QByteArray bytes; // shorter than a block at the end of the file
        bool valid = false;
    };
    const Block* block(std::uint64_t index) const;
    bool readDirect(std::uint64_t offset, std::uint64_t length, char* out) const;

    mutable QFile m_file;
    std::uint64_t m_size = 0;
    mutable std::array<Block, 16> m_blocks;
    mutable std::size_t m_nextSlot = 0;
};
