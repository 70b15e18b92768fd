// The blend-kernel family on eight pixels (32 bytes) with AVX2: the rules of BlendKernels.h with
// the same rounding, step for step like the SSE2 kernels (every 128-bit half works as the SSE2
// kernel does on its four pixels). Every function here carries TL_TARGET_AVX2; include this only
// from the *Avx2.cpp files, whose loops are taken when the CPU has AVX2.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"

namespace blend::avx2 {

// floor(x * w / 256) per 16-bit lane from the byte x in the lane's high half (pmulhuw).
TL_TARGET_AVX2 inline __m256i mulDiv256(__m256i xHigh, __m256i w16) { return _mm256_mulhi_epu16(xHigh, w16); }
// Bytes 0-7 and 8-15 of each 128-bit half into the high halves of 16-bit lanes.
TL_TARGET_AVX2 inline __m256i highLo(__m256i v) { return _mm256_unpacklo_epi8(_mm256_setzero_si256(), v); }
TL_TARGET_AVX2 inline __m256i highHi(__m256i v) { return _mm256_unpackhi_epi8(_mm256_setzero_si256(), v); }

// s * w / 256 per byte, w as 16-bit lanes for the low and high halves.
TL_TARGET_AVX2 inline __m256i scaleBytes(__m256i s, __m256i wlo, __m256i whi)
{
    return _mm256_packus_epi16(mulDiv256(highLo(s), wlo), mulDiv256(highHi(s), whi));
}

template <Rule R>
TL_TARGET_AVX2 inline __m256i apply(__m256i d, __m256i s, __m256i wlo, __m256i whi)
{
    if constexpr (R == Rule::Copy) {
        (void)d, (void)wlo, (void)whi;
        return s;
    } else if constexpr (R == Rule::Half) {
        (void)wlo, (void)whi;  // avg_epu8 rounds up: subtract the odd bit of d + s
        return _mm256_sub_epi8(_mm256_avg_epu8(d, s), _mm256_and_si256(_mm256_xor_si256(d, s), _mm256_set1_epi8(1)));
    } else if constexpr (R == Rule::Weighted) {
        const __m256i c255 = _mm256_set1_epi16(255);
        const __m256i lo = _mm256_add_epi16(mulDiv256(highLo(s), wlo), mulDiv256(highLo(d), _mm256_sub_epi16(c255, wlo)));
        const __m256i hi = _mm256_add_epi16(mulDiv256(highHi(s), whi), mulDiv256(highHi(d), _mm256_sub_epi16(c255, whi)));
        return _mm256_packus_epi16(lo, hi);
    } else if constexpr (R == Rule::Add) {
        (void)wlo, (void)whi;
        return _mm256_adds_epu8(d, s);
    } else if constexpr (R == Rule::AddWeighted) {
        return _mm256_adds_epu8(d, scaleBytes(s, wlo, whi));
    } else if constexpr (R == Rule::Sub) {
        (void)wlo, (void)whi;
        return _mm256_subs_epu8(d, s);
    } else if constexpr (R == Rule::SubWeighted) {
        return _mm256_subs_epu8(d, scaleBytes(s, wlo, whi));
    } else {
        (void)wlo, (void)whi;  // d / 2 + s / 2
        const __m256i m7f = _mm256_set1_epi8(0x7F);
        return _mm256_add_epi8(_mm256_and_si256(_mm256_srli_epi16(d, 1), m7f), _mm256_and_si256(_mm256_srli_epi16(s, 1), m7f));
    }
}

// Weight lanes for eight pixels, laid out like highLo/highHi: a16 = opacity in every 16-bit lane;
// m = eight map pixels.
template <Weight W>
TL_TARGET_AVX2 inline void weights(__m256i s, __m256i m, __m256i a16, __m256i& wlo, __m256i& whi)
{
    const __m256i zero = _mm256_setzero_si256();
    if constexpr (W == Weight::Opacity) {
        wlo = whi = a16;
    } else if constexpr (W == Weight::Map) {
        wlo = _mm256_unpacklo_epi8(m, zero);
        whi = _mm256_unpackhi_epi8(m, zero);
    } else if constexpr (W == Weight::SourceAlpha) {
        // the top byte of each pixel into the four 16-bit lanes of that pixel (-1 gives zero)
        const __m256i lo = _mm256_setr_epi8(3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1,  //
                                            3, -1, 3, -1, 3, -1, 3, -1, 7, -1, 7, -1, 7, -1, 7, -1);
        const __m256i hi = _mm256_add_epi8(lo, _mm256_set1_epi16(8));  // the -1 bytes stay negative
        wlo = _mm256_shuffle_epi8(s, lo);
        whi = _mm256_shuffle_epi8(s, hi);
    } else {
        (void)s, (void)m, (void)a16;
        wlo = whi = zero;
    }
}

template <Rule R, Weight W>
TL_TARGET_AVX2 inline __m256i blend8(__m256i d, __m256i s, __m256i m, __m256i a16)
{
    __m256i wlo, whi;
    weights<W>(s, m, a16, wlo, whi);
    return apply<R>(d, s, wlo, whi);
}

// ---------------------------------------------------------------------------------------------
// Eight bilinear samples: p00, p10, p01 and p11 hold the four neighbours of each sample, one
// sample per 32-bit lane; u16 and v16 hold the 16-bit fractions of the sample's u and v in both
// 16-bit halves of its lane. As in the SSE2 kernel the bytes are split into (blue, red) and
// (green, top) 16-bit lanes so each weight multiplies two channels at once; the weights
// ((4096 - fx)(4096 - fy)) >> 16 etc. come from pmulhuw, and as they add up to at most 256 the
// 16-bit sums are exact.
TL_TARGET_AVX2 inline __m256i bilinearEight(__m256i p00, __m256i p10, __m256i p01, __m256i p11, __m256i u16, __m256i v16)
{
    const __m256i c4096 = _mm256_set1_epi16(4096);
    const __m256i fx = _mm256_srli_epi16(u16, 4), fy = _mm256_srli_epi16(v16, 4);
    const __m256i ifx = _mm256_sub_epi16(c4096, fx), ify = _mm256_sub_epi16(c4096, fy);
    const __m256i w00 = _mm256_mulhi_epu16(ifx, ify), w10 = _mm256_mulhi_epu16(fx, ify);
    const __m256i w01 = _mm256_mulhi_epu16(ifx, fy), w11 = _mm256_mulhi_epu16(fx, fy);
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    const __m256i br = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(p00, lowBytes), w00),
                         _mm256_mullo_epi16(_mm256_and_si256(p10, lowBytes), w10)),
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(p01, lowBytes), w01),
                         _mm256_mullo_epi16(_mm256_and_si256(p11, lowBytes), w11)));
    const __m256i ga = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(p00, 8), w00), _mm256_mullo_epi16(_mm256_srli_epi16(p10, 8), w10)),
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(p01, 8), w01), _mm256_mullo_epi16(_mm256_srli_epi16(p11, 8), w11)));
    // (sum >> 8) per channel: blue and red shifted down, green and top already in the high bytes.
    return _mm256_or_si256(_mm256_srli_epi16(br, 8), _mm256_andnot_si256(lowBytes, ga));
}

// Pixel pairs (a, b) of eight samples, samples 0, 2, 4, 6 in the 64-bit lanes of `even` and
// 1, 3, 5, 7 in those of `odd`, into a and b of every sample in sample order.
TL_TARGET_AVX2 inline void unpair(__m256i even, __m256i odd, __m256i& a, __m256i& b)
{
    a = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    b = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
}

// Four 64-bit values into the lanes of one register, each broadcast from memory (a plain load)
// and kept by a blend, so no shuffle unit is needed.
TL_TARGET_AVX2 inline __m256i bcast64(uint64_t x) { return _mm256_set1_epi64x(int64_t(x)); }
TL_TARGET_AVX2 inline __m256i lanes64(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
{
    return _mm256_blend_epi32(_mm256_blend_epi32(bcast64(a), bcast64(b), 0x0C),
                              _mm256_blend_epi32(bcast64(c), bcast64(d), 0xC0), 0xF0);
}
// Pixels p[0] and p[1] as one 64-bit value.
inline uint64_t load64(const uint32_t* p)
{
    uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}

} // namespace blend::avx2
