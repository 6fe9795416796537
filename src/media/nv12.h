#pragma once

#include <cstdint>

// Converts 32-bit RGB pixels (bytes B, G, R, X in memory, as QImage's RGB32
// lays them out on little-endian machines) to NV12: a full-resolution luma
// plane followed by one interleaved U, V pair per 2 x 2 block.
//
// The result is full-range BT.601 ("JPEG" levels), which is what a writer
// must declare in its stream. Integer-only:
//   Y = (77 R + 150 G + 29 B) >> 8
//   U = ((128 B - 43 R - 85 G) >> 8) + 128
//   V = ((128 R - 107 G - 21 B) >> 8) + 128
// with flooring shifts; chroma is taken from the top-left pixel of each block
// rather than averaged, which keeps the pass cheap enough for 1080p at 60 Hz.
//
// `width` and `height` must be even and positive; strides are in bytes.
void convertRgb32ToNv12(const uint8_t* rgb, int rgbStride, int width, int height, uint8_t* luma, int lumaStride,
                        uint8_t* chroma, int chromaStride);
