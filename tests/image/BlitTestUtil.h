// Helpers of the blit and line tests: seeded random images, sentinel-filled destinations, and a
// fixture that runs each test once with the SSE2 kernels and once with their scalar twins.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "image/BlendKernels.h"
#include "image/CImage32.h"

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

inline uint32_t gray(uint32_t b) { return b * 0x01010101u; }

// Runs a test body with SIMD on (param false) and with the scalar twins forced (param true).
class BothPaths : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { blend::setForceScalar(GetParam()); }
    void TearDown() override { blend::setForceScalar(false); }
};

inline std::string pathName(const ::testing::TestParamInfo<bool>& info) { return info.param ? "Scalar" : "Simd"; }

} // namespace blittest
