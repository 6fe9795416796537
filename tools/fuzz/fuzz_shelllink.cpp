// libFuzzer target: the shell link reader.
#include "platform/shelllink.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    ShellLinkData link;
    QString error;
    if (parseShellLink(bytes, &link, &error))
        link.target();
    return 0;
}
