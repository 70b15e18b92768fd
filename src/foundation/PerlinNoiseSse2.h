// The SSE2 pieces of gradient noise shared by PerlinNoise::noise3 and the kernels that evaluate it over rows
// of points: each does, per lane, the operations of the scalar lattice, s-curve and lerp in the same order,
// so a lane's float is the scalar one.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "foundation/PerlinNoise.h"

namespace perlin_sse2 {

constexpr int kMask = PerlinNoise::kTableSize - 1;
constexpr float kOffset = 10000.0f;

// s(t) = t^2 (3 - 2t) of four values: the product t*t in single precision, the rest in double.
inline __m128 sCurve4(__m128 t)
{
    const __m128 t2 = _mm_mul_ps(t, t);
    const auto pair = [](__m128 r, __m128 r2) {
        const __m128d d = _mm_cvtps_pd(r);
        return _mm_cvtpd_ps(_mm_mul_pd(_mm_cvtps_pd(r2), _mm_sub_pd(_mm_set1_pd(3.0), _mm_add_pd(d, d))));
    };
    return _mm_movelh_ps(pair(t, t2), pair(_mm_movehl_ps(t, t), _mm_movehl_ps(t2, t2)));
}

// a + t (b - a)
inline __m128 lerp4(__m128 t, __m128 a, __m128 b) { return _mm_add_ps(a, _mm_mul_ps(t, _mm_sub_ps(b, a))); }

// Lattice cells of four coordinates: t = v + offset, i = trunc(t) (INT_MIN when out of range or NaN, as
// cvttps2dq gives), offsets r0 = t - i and r1 = r0 - 1, cell indices b0 = i & 511 and b1 = (b0 + 1) & 511.
struct Lattice4 {
    __m128 r0, r1;
    alignas(16) uint32_t b0[4], b1[4];
    explicit Lattice4(__m128 v)
    {
        const __m128 t = _mm_add_ps(v, _mm_set1_ps(kOffset));
        const __m128i i = _mm_cvttps_epi32(t);
        r0 = _mm_sub_ps(t, _mm_cvtepi32_ps(i));
        r1 = _mm_sub_ps(r0, _mm_set1_ps(1.0f));
        const __m128i mask = _mm_set1_epi32(kMask);
        const __m128i lo = _mm_and_si128(i, mask);
        _mm_store_si128(reinterpret_cast<__m128i*>(b0), lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(b1), _mm_and_si128(_mm_add_epi32(lo, _mm_set1_epi32(1)), mask));
    }
};

} // namespace perlin_sse2
