// A 4 x 4 transpose of 32-bit elements in SSE2 registers (its own inverse): four rows of four
// pixels become four columns. Shared by the effects that walk columns in packed loops.
#pragma once

#include <emmintrin.h>

inline void transpose4(__m128i* r)
{
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
    const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
    r[0] = _mm_unpacklo_epi64(t0, t1);
    r[1] = _mm_unpackhi_epi64(t0, t1);
    r[2] = _mm_unpacklo_epi64(t2, t3);
    r[3] = _mm_unpackhi_epi64(t2, t3);
}
