// libFuzzer target: the reader of a zip's central directory, which sizes a
// restore before anything is unpacked. The input is taken as a whole file:
// its tail locates the directory, which is then summed.
#include "backup/zipdirectory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype tailSize = std::min<qsizetype>(file.size(), 65557 + 20);
    const ZipDirectoryLocation where = locateZipDirectory(file.right(tailSize), quint64(file.size()));
    if (!where.ok || where.offset > quint64(file.size()) || where.size > quint64(file.size()) - where.offset)
        return 0;
    summarizeZipDirectory(file.mid(qsizetype(where.offset), qsizetype(where.size)), where.entries);
    return 0;
}
