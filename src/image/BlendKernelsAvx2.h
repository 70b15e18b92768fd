// The blend-kernel family on eight pixels (32 bytes) with AVX2: the rules of BlendKernels.h with
// the same rounding (the same bytes as the scalar twins). Every function here carries
// TL_TARGET_AVX2; include this only from the *Avx2.cpp files, whose loops are taken when the CPU
// has AVX2.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"

namespace blend::avx2 {

// The weighted rules work on the even and the odd bytes of each 16-bit lane apart, so no byte
// needs unpacking or packing: a byte moved into the high half of its lane (x << 8) times the
// weight w by pmulhuw gives (x * 256 * w) >> 16 = floor(x * w / 256), exactly the floored quotient.
// `we` and `wo` hold the weights of the even and the odd bytes, one per 16-bit lane.
TL_TARGET_AVX2 inline __m256i evenHigh(__m256i v) { return _mm256_slli_epi16(v, 8); }
TL_TARGET_AVX2 inline __m256i oddHigh(__m256i v) { return _mm256_and_si256(v, _mm256_set1_epi16(int16_t(0xFF00))); }
// Quotients of the even bytes (in the low bytes of the lanes) and of the odd ones, back into bytes.
TL_TARGET_AVX2 inline __m256i joinBytes(__m256i even, __m256i odd) { return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8)); }

// s * w / 256 per byte.
TL_TARGET_AVX2 inline __m256i scaleBytes(__m256i s, __m256i we, __m256i wo)
{
    return joinBytes(_mm256_mulhi_epu16(evenHigh(s), we), _mm256_mulhi_epu16(oddHigh(s), wo));
}

template <Rule R>
TL_TARGET_AVX2 inline __m256i apply(__m256i d, __m256i s, __m256i we, __m256i wo)
{
    if constexpr (R == Rule::Copy) {
        (void)d, (void)we, (void)wo;
        return s;
    } else if constexpr (R == Rule::Half) {
        (void)we, (void)wo;  // avg_epu8 rounds up: subtract the odd bit of d + s
        return _mm256_sub_epi8(_mm256_avg_epu8(d, s), _mm256_and_si256(_mm256_xor_si256(d, s), _mm256_set1_epi8(1)));
    } else if constexpr (R == Rule::Weighted) {
        // Each sum of two quotients stays <= 254, so it never reaches the neighbouring byte.
        const __m256i c255 = _mm256_set1_epi16(255);
        const __m256i ve = _mm256_sub_epi16(c255, we), vo = _mm256_sub_epi16(c255, wo);
        const __m256i even = _mm256_add_epi16(_mm256_mulhi_epu16(evenHigh(s), we), _mm256_mulhi_epu16(evenHigh(d), ve));
        const __m256i odd = _mm256_add_epi16(_mm256_mulhi_epu16(oddHigh(s), wo), _mm256_mulhi_epu16(oddHigh(d), vo));
        return joinBytes(even, odd);
    } else if constexpr (R == Rule::Add) {
        (void)we, (void)wo;
        return _mm256_adds_epu8(d, s);
    } else if constexpr (R == Rule::AddWeighted) {
        return _mm256_adds_epu8(d, scaleBytes(s, we, wo));
    } else if constexpr (R == Rule::Sub) {
        (void)we, (void)wo;
        return _mm256_subs_epu8(d, s);
    } else if constexpr (R == Rule::SubWeighted) {
        return _mm256_subs_epu8(d, scaleBytes(s, we, wo));
    } else {
        (void)we, (void)wo;  // d / 2 + s / 2
        const __m256i m7f = _mm256_set1_epi8(0x7F);
        return _mm256_add_epi8(_mm256_and_si256(_mm256_srli_epi16(d, 1), m7f), _mm256_and_si256(_mm256_srli_epi16(s, 1), m7f));
    }
}

// Weights of the even and the odd bytes of eight pixels: a16 = opacity in every 16-bit lane;
// m = eight map pixels.
template <Weight W>
TL_TARGET_AVX2 inline void weights(__m256i s, __m256i m, __m256i a16, __m256i& we, __m256i& wo)
{
    if constexpr (W == Weight::Opacity) {
        we = wo = a16;
    } else if constexpr (W == Weight::Map) {
        we = _mm256_and_si256(m, _mm256_set1_epi16(0x00FF));
        wo = _mm256_srli_epi16(m, 8);
    } else if constexpr (W == Weight::SourceAlpha) {
        // the top byte of each pixel into both 16-bit lanes of that pixel (-1 gives a zero byte)
        const __m256i top = _mm256_setr_epi8(3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1,  //
                                             3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15, -1);
        we = wo = _mm256_shuffle_epi8(s, top);
    } else {
        (void)s, (void)m, (void)a16;
        we = wo = _mm256_setzero_si256();
    }
}

template <Rule R, Weight W>
TL_TARGET_AVX2 inline __m256i blend8(__m256i d, __m256i s, __m256i m, __m256i a16)
{
    __m256i we, wo;
    weights<W>(s, m, a16, we, wo);
    return apply<R>(d, s, we, wo);
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
// Lane k of broadcast k.
TL_TARGET_AVX2 inline __m256i blendLanes64(__m256i a, __m256i b, __m256i c, __m256i d)
{
    return _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x0C), _mm256_blend_epi32(c, d, 0xC0), 0xF0);
}
TL_TARGET_AVX2 inline __m256i lanes64(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
{
    return blendLanes64(bcast64(a), bcast64(b), bcast64(c), bcast64(d));
}
// Pixels p[0] and p[1] as one 64-bit value.
inline uint64_t load64(const uint32_t* p)
{
    uint64_t x;
    std::memcpy(&x, p, 8);
    return x;
}

} // namespace blend::avx2
