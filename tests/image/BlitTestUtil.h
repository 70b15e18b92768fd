// Helpers of the blit and line tests: seeded random images, sentinel-filled destinations, and the
// blend rules and bilinear filter written out independently of the kernels.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "image/BlendKernels.h"
#include "image/CImage32.h"
#include "support/SimdLevels.h"

namespace blittest {

constexpr uint32_t kSentinel = 0x12345678u;

inline void fillRandom(CImage32& img, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int64_t i = 0; i < img.pixelCount(); ++i) img.m_pPixels[i] = rng();
}

// Pixel value = x + 256 * y + topByte << 24: each pixel tells where it came from.
inline void fillCoordinates(CImage32& img, uint32_t topByte = 0)
{
    for (int y = 0; y < img.m_height; ++y)
        for (int x = 0; x < img.m_width; ++x)
            img.m_pPixels[y * img.m_width + x] = uint32_t(x) + 256u * uint32_t(y) + (topByte << 24);
}

inline uint32_t at(const CImage32& img, int x, int y) { return img.m_pPixels[y * img.m_width + x]; }

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // inclusive; x1 < 0 when empty
    int64_t count = 0;
};
// Bounding box and number of pixels that differ from value.
inline Box changedBox(const CImage32& img, uint32_t value)
{
    Box b;
    for (int y = 0; y < img.m_height; ++y)
        for (int x = 0; x < img.m_width; ++x)
            if (at(img, x, y) != value) {
                b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
                ++b.count;
            }
    return b;
}

// One pixel of destination d blended with source s by a rule, straight from the rules' formulas:
// the weight per byte is the map byte (m), the opacity weight (a) or the source's top byte.
inline uint32_t referenceBlend(blend::Rule rule, blend::Weight weight, uint32_t d, uint32_t s, uint32_t m, uint32_t a)
{
    uint32_t want = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t db = (d >> 8 * i) & 255, sb = (s >> 8 * i) & 255;
        const uint32_t w = weight == blend::Weight::Map ? (m >> 8 * i) & 255 : weight == blend::Weight::Opacity ? a : s >> 24;
        uint32_t x = 0;
        switch (rule) {
        case blend::Rule::Copy: x = sb; break;
        case blend::Rule::Half: x = (db + sb) / 2; break;
        case blend::Rule::Weighted: x = sb * w / 256 + db * (255 - w) / 256; break;
        case blend::Rule::Add: x = std::min(255u, db + sb); break;
        case blend::Rule::AddWeighted: x = std::min(255u, db + sb * w / 256); break;
        case blend::Rule::Sub: x = db > sb ? db - sb : 0; break;
        case blend::Rule::SubWeighted: x = db > sb * w / 256 ? db - sb * w / 256 : 0; break;
        case blend::Rule::AverageHalves: x = db / 2 + sb / 2; break;
        }
        want |= x << 8 * i;
    }
    return want;
}

// The bilinear sample at 16.16 source position (u, v) of an image, from the filter's definition:
// fractions fx, fy are the top 12 fraction bits, the weights ((4096 - fx)(4096 - fy)) >> 16 and so
// on, each channel (sum of weight x byte) >> 8. `at(i)` gives the pixel at linear index i (the
// neighbours are i + 1, i + width and i + width + 1, wherever that lands in memory).
template <class PixelAt>
uint32_t referenceBilinear(PixelAt at, int64_t width, int64_t u, int64_t v)
{
    const int64_t fx = (u & 0xFFFF) >> 4, fy = (v & 0xFFFF) >> 4;
    const int64_t i = (v >> 16) * width + (u >> 16);
    const int64_t weight[4] = {((4096 - fx) * (4096 - fy)) >> 16, (fx * (4096 - fy)) >> 16, ((4096 - fx) * fy) >> 16,
                               (fx * fy) >> 16};
    const uint32_t pixel[4] = {at(i), at(i + 1), at(i + width), at(i + width + 1)};
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        int64_t sum = 0;
        for (int k = 0; k < 4; ++k) sum += weight[k] * ((pixel[k] >> (8 * c)) & 255);
        out |= uint32_t(sum >> 8) << (8 * c);
    }
    return out;
}

inline uint32_t gray(uint32_t b) { return b * 0x01010101u; }

} // namespace blittest
