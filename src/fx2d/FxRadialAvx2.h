// Internal to the radial blur: the factors and one-pixel blend its loops share, and the
// signatures of the packed loops (SSE2 in FxRadial.cpp, AVX2 in FxRadialAvx2.cpp).
#pragma once

#include <algorithm>
#include <cstdint>

#include "image/SimdLevel.h"

namespace radial {

struct Factors {
    int e, f; // smooth, 14-bit
    int m, a; // fast, 8-bit
};

// One pixel, four channels: P' from P, the axial neighbour A, the diagonal one D and weight w.
template <bool Smooth>
inline uint32_t blendPixel(uint32_t p, uint32_t a, uint32_t d, int w, const Factors& f)
{
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const uint32_t pc = (p >> (8 * c)) & 0xFF;
        const uint32_t ac = (a >> (8 * c)) & 0xFF;
        const uint32_t dc = (d >> (8 * c)) & 0xFF;
        const uint32_t n = std::min(uint32_t(w) * ac + uint32_t(256 - w) * dc, 65535u);
        uint32_t r;
        if constexpr (Smooth) r = (uint32_t(f.e) * pc + ((uint32_t(f.f) * n) >> 8)) >> 14;
        else r = (uint32_t(f.m) * pc + 2 * (((n >> 1) * uint32_t(f.a)) >> 8)) >> 8;
        out |= std::min(r, 255u) << (8 * c);
    }
    return out;
}

// Pixels whose axial neighbour is in the row one step closer to the centre: columns
// x = cx + sx i for i0 <= i < i1 of `row`, from the already filtered row `prev`
// (A = prev[x], D = prev[x - sx], w = weights[i]).
using RowFn = void (*)(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
                       const Factors& f);

// A band of consecutive rows (rows[j] one step further from the centre than rows[j - 1], `above`
// the row before rows[0]) whose axial neighbour is the pixel one column closer: columns
// x = cx + sx i for iFirst <= i <= iLast, one column at a time, every row of the band together
// (A = the row's pixel at column i - 1, D = the previous row's). Column iFirst - 1 is filtered.
// The weight of row j at column i is weights[i * stride + j].
using BandFn = void (*)(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
                        const int16_t* weights, int stride, const Factors& f);

// Up to kColumnRows pixels of one column x, one row apart (pixel j at top[j * stride]), whose axial
// neighbour is the pixel one column closer (A = top[j * stride - sx], D = the previous row's,
// top[(j - 1) * stride - sx]); the weight of pixel j is weights[j].
using ColumnFn = void (*)(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights, const Factors& f);

// Rows per band of the AVX2 loops; they run only where simdLevelSupported(SimdLevel::Avx2).
constexpr int kAvx2BandRows = 16;

TL_TARGET_AVX2 void rowSmoothAvx2(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
                   const Factors& f);
TL_TARGET_AVX2 void rowFastAvx2(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
                 const Factors& f);
TL_TARGET_AVX2 void columnSmoothAvx2(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights,
                                     const Factors& f);
TL_TARGET_AVX2 void columnFastAvx2(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights,
                                   const Factors& f);
TL_TARGET_AVX2 void bandSmoothAvx2(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
                    const int16_t* weights, int stride, const Factors& f);
TL_TARGET_AVX2 void bandFastAvx2(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
                  const int16_t* weights, int stride, const Factors& f);

} // namespace radial
