// The media module's one exported function. Everything else in the module
// is hidden, so its names can never meet the program's.
#include "media/mediacodecs.h"
#include "media/mp4writer.h"
#include "media/videodecoder.h"

namespace {

class LibavCodecs final : public MediaCodecs {
public:
    std::unique_ptr<VideoDecoder> newVideoDecoder() override { return std::make_unique<LibavVideoDecoder>(); }
    std::unique_ptr<SegmentWriter> newMp4Writer() override { return std::make_unique<Mp4Writer>(); }
};

} // namespace

extern "C" Q_DECL_EXPORT MediaCodecs* QY_MEDIA_ENTRY(int interfaceVersion)
{
    if (interfaceVersion != MediaCodecs::kInterfaceVersion)
        return nullptr;
    static LibavCodecs codecs;
    return &codecs;
}
