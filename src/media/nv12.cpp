#include "media/nv12.h"

#include <cstddef>

namespace {

inline uint8_t lumaOf(const uint8_t* px)
{
    return uint8_t((77 * px[2] + 150 * px[1] + 29 * px[0]) >> 8);
}

} // namespace

void convertRgb32ToNv12(const uint8_t* rgb, int rgbStride, int width, int height, uint8_t* luma, int lumaStride,
                        uint8_t* chroma, int chromaStride)
{
    for (int y = 0; y < height; y += 2) {
        const uint8_t* top = rgb + std::ptrdiff_t(y) * rgbStride;
        const uint8_t* bottom = top + rgbStride;
        uint8_t* lumaTop = luma + std::ptrdiff_t(y) * lumaStride;
        uint8_t* lumaBottom = lumaTop + lumaStride;
        uint8_t* uv = chroma + std::ptrdiff_t(y / 2) * chromaStride;
        // Separate plain loops for luma let the compiler vectorise them;
        // the chroma loop touches a quarter of the pixels.
        for (int x = 0; x < width; ++x)
            lumaTop[x] = lumaOf(top + 4 * x);
        for (int x = 0; x < width; ++x)
            lumaBottom[x] = lumaOf(bottom + 4 * x);
        for (int x = 0; x < width; x += 2) {
            const int b = top[4 * x];
            const int g = top[4 * x + 1];
            const int r = top[4 * x + 2];
            // Right shifts of negative ints floor on every compiler we build
            // with (and are defined that way from C++20 on).
            uv[x] = uint8_t(((128 * b - 43 * r - 85 * g) >> 8) + 128);
            uv[x + 1] = uint8_t(((128 * r - 107 * g - 21 * b) >> 8) + 128);
        }
    }
}
