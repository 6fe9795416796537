// libFuzzer target: the readers of program icon resources and icon files.
#include "platform/peicons.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<IconGroup> groups = readPeIconGroups(bytes);
    for (const IconGroup& g : groups)
        icoFileFromEntries(g.entries);
    largestGroupIconWidth(bytes);
    const QList<IconImageEntry> ico = readIcoFile(bytes);
    icoFileFromEntries({largestIconEntry(ico)});
    return 0;
}
