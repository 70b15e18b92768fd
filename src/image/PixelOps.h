// Packed per-byte operations over runs of pixels, used by the whole-image operations. Each runs
// as an AVX2 or SSE2 loop or as its scalar twin, by the process's SIMD level; all give the same
// bytes.
#pragma once

#include <cstdint>

namespace pixelops {

// Grey value of a pixel: (5 b + 16 g + 11 r) >> 5, 0..255.
inline uint32_t greyOf(uint32_t p)
{
    return (5 * (p & 0xFF) + 16 * ((p >> 8) & 0xFF) + 11 * ((p >> 16) & 0xFF)) >> 5;
}

// p = grey(p) in every byte, then AND keepMask (selects which bytes receive it).
void greyInto(uint32_t* p, int64_t n, uint32_t keepMask);
// d = min(255, d + s) per byte.
void addSaturate(uint32_t* d, int64_t n, const uint32_t* s);
// d = min(255, d + v) per byte, v the same for every pixel.
void addSaturateValue(uint32_t* d, int64_t n, uint32_t v);
// d = max(0, d - v) per byte.
void subSaturateValue(uint32_t* d, int64_t n, uint32_t v);
// d = d XOR v.
void xorBytes(uint32_t* d, int64_t n, uint32_t v);
// d = d AND v.
void andBytes(uint32_t* d, int64_t n, uint32_t v);

} // namespace pixelops
