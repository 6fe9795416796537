// libFuzzer target: the request reader of the agent socket. The first byte
// chooses how the rest is cut into deliveries, so that line feeds land at
// the edges of deliveries as well as inside them.
#include "main/agentrequestreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t step = std::size_t(data[0]) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    QByteArray buffer;
    for (std::size_t at = 0; at < length; at += step) {
        const std::size_t n = at + step < length ? step : length - at;
        const AgentRead read = readAgentRequest(buffer, QByteArray(bytes + at, qsizetype(n)));
        if (read.kind != AgentRead::NeedMore) {
            if (read.kind == AgentRead::NotObject && read.line.size() > 120)
                std::abort();
            return 0;
        }
        // Between deliveries only part of one line may wait.
        if (buffer.size() > kAgentMaxLine || buffer.contains('\n'))
            std::abort();
    }
    return 0;
}
