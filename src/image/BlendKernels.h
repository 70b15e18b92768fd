// The one blend-kernel family of the image code: every per-byte blend rule of the blits and lines,
// once as an SSE2 kernel on four pixels and once as its scalar twin on one pixel (the AVX2 kernels
// on eight pixels, in BlendKernelsAvx2.h, follow the SSE2 ones step for step).
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace blend {

// Rounding note (cited by the tests): every division below rounds down. In particular
//  - half is floor((d + s) / 2); _mm_avg_epu8 rounds up, so the SSE2 kernel subtracts the odd bit;
//  - weighted divides each product by 256 before the sum: s = 255, d = 0, w = 255 gives 254, and
//    s = 0, d = 255, w = 0 also gives 254 (255 * 255 / 256 = 254.00..).
//  - the weighted sums never exceed 254 per byte, so nothing saturates there.
enum class Rule : uint8_t {
    Copy,           // s
    Half,           // (d + s) / 2
    Weighted,       // s * w / 256 + d * (255 - w) / 256
    Add,            // min(255, d + s)
    AddWeighted,    // min(255, d + s * w / 256)
    Sub,            // max(0, d - s)
    SubWeighted,    // max(0, d - s * w / 256)
    AverageHalves,  // d / 2 + s / 2
};

// Where the weight w of a weighted rule comes from.
enum class Weight : uint8_t {
    None,         // rules without a weight
    Opacity,      // a = opacity * 255 rounded, the same for every byte
    Map,          // the matching byte of the alpha map, byte by byte
    SourceAlpha,  // the top byte A of the source sample, for all four bytes
};

constexpr bool isWeighted(Rule r) { return r == Rule::Weighted || r == Rule::AddWeighted || r == Rule::SubWeighted; }

// Opacity weight a: opacity * 255 rounded to the nearest integer, kept within 0..255.
int opacityWeight(float opacity);

// ---------------------------------------------------------------------------------------------
// Scalar twins: one pixel, four bytes, the formulas written out byte by byte.
namespace scalar {

// The four byte weights of a pixel: w4 holds w_b, w_g, w_r, w_top in its bytes.
inline uint32_t byteOf(uint32_t p, int i) { return (p >> (8 * i)) & 0xFF; }

template <Rule R>
inline uint32_t apply(uint32_t d, uint32_t s, uint32_t w4)
{
    if constexpr (R == Rule::Copy) {
        (void)d;
        (void)w4;
        return s;
    } else {
        uint32_t out = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32_t db = byteOf(d, i), sb = byteOf(s, i), w = byteOf(w4, i);
            uint32_t r = 0;
            (void)w;
            if constexpr (R == Rule::Half) r = (db + sb) / 2;
            else if constexpr (R == Rule::Weighted) r = sb * w / 256 + db * (255 - w) / 256;
            else if constexpr (R == Rule::Add) r = db + sb > 255 ? 255 : db + sb;
            else if constexpr (R == Rule::AddWeighted) r = db + sb * w / 256 > 255 ? 255 : db + sb * w / 256;
            else if constexpr (R == Rule::Sub) r = db > sb ? db - sb : 0;
            else if constexpr (R == Rule::SubWeighted) r = db > sb * w / 256 ? db - sb * w / 256 : 0;
            else if constexpr (R == Rule::AverageHalves) r = db / 2 + sb / 2;
            out |= r << (8 * i);
        }
        return out;
    }
}

// Four byte weights from a weight source: opacity a in every byte, the map pixel itself, or the
// source's top byte in every byte.
template <Weight W>
inline uint32_t weights(uint32_t s, uint32_t m, uint32_t a)
{
    if constexpr (W == Weight::Opacity) return a * 0x01010101u;
    else if constexpr (W == Weight::Map) return m;
    else if constexpr (W == Weight::SourceAlpha) return (s >> 24) * 0x01010101u;
    else return 0;
}

// Bilinear sample of the four neighbours with 12-bit fractions fx, fy (0..4095):
// per byte (w00 P00 + w10 P10 + w01 P01 + w11 P11) >> 8, the sum kept in unsigned 16 bits with
// saturation (the weights add up to at most 256, so it never saturates in practice).
inline uint32_t bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx, uint32_t fy)
{
    const uint32_t w00 = ((4096 - fx) * (4096 - fy)) >> 16;
    const uint32_t w10 = (fx * (4096 - fy)) >> 16;
    const uint32_t w01 = ((4096 - fx) * fy) >> 16;
    const uint32_t w11 = (fx * fy) >> 16;
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t sum = w00 * byteOf(p00, i) + w10 * byteOf(p10, i) + w01 * byteOf(p01, i) + w11 * byteOf(p11, i);
        if (sum > 0xFFFF) sum = 0xFFFF;
        out |= (sum >> 8) << (8 * i);
    }
    return out;
}

} // namespace scalar

// ---------------------------------------------------------------------------------------------
// SSE2 kernels: four pixels (16 bytes) at once. Weights come as 16-bit lanes, wlo for pixels 0-1
// and whi for pixels 2-3 (one lane per byte).
namespace sse2 {

// floor(x * w / 256) per 16-bit lane, from the byte x unpacked into the lane's high half (x << 8):
// pmulhuw gives (x * 256 * w) >> 16, exactly the floored quotient, in one multiply.
inline __m128i mulDiv256(__m128i xHigh, __m128i w16) { return _mm_mulhi_epu16(xHigh, w16); }
// Bytes 0-7 and 8-15 of v into the high halves of 16-bit lanes.
inline __m128i highLo(__m128i v) { return _mm_unpacklo_epi8(_mm_setzero_si128(), v); }
inline __m128i highHi(__m128i v) { return _mm_unpackhi_epi8(_mm_setzero_si128(), v); }

// s * w / 256 per byte, w as 16-bit lanes for the low and high halves.
inline __m128i scaleBytes(__m128i s, __m128i wlo, __m128i whi)
{
    return _mm_packus_epi16(mulDiv256(highLo(s), wlo), mulDiv256(highHi(s), whi));
}

template <Rule R>
inline __m128i apply(__m128i d, __m128i s, __m128i wlo, __m128i whi)
{
    if constexpr (R == Rule::Copy) {
        (void)d, (void)wlo, (void)whi;
        return s;
    } else if constexpr (R == Rule::Half) {
        // floor((d + s) / 2) = avg_epu8 (which rounds up) minus the odd bit of d + s
        (void)wlo, (void)whi;
        return _mm_sub_epi8(_mm_avg_epu8(d, s), _mm_and_si128(_mm_xor_si128(d, s), _mm_set1_epi8(1)));
    } else if constexpr (R == Rule::Weighted) {
        // s * w / 256 + d * (255 - w) / 256, each quotient floored; the sum stays <= 254
        const __m128i c255 = _mm_set1_epi16(255);
        const __m128i lo = _mm_add_epi16(mulDiv256(highLo(s), wlo), mulDiv256(highLo(d), _mm_sub_epi16(c255, wlo)));
        const __m128i hi = _mm_add_epi16(mulDiv256(highHi(s), whi), mulDiv256(highHi(d), _mm_sub_epi16(c255, whi)));
        return _mm_packus_epi16(lo, hi);
    } else if constexpr (R == Rule::Add) {
        (void)wlo, (void)whi;
        return _mm_adds_epu8(d, s);  // min(255, d + s) per byte
    } else if constexpr (R == Rule::AddWeighted) {
        return _mm_adds_epu8(d, scaleBytes(s, wlo, whi));  // min(255, d + s * w / 256)
    } else if constexpr (R == Rule::Sub) {
        (void)wlo, (void)whi;
        return _mm_subs_epu8(d, s);  // max(0, d - s) per byte
    } else if constexpr (R == Rule::SubWeighted) {
        return _mm_subs_epu8(d, scaleBytes(s, wlo, whi));  // max(0, d - s * w / 256)
    } else {
        // d / 2 + s / 2: halve each byte (shift in 16-bit lanes, drop the bit from the neighbour)
        (void)wlo, (void)whi;
        const __m128i m7f = _mm_set1_epi8(0x7F);
        return _mm_add_epi8(_mm_and_si128(_mm_srli_epi16(d, 1), m7f), _mm_and_si128(_mm_srli_epi16(s, 1), m7f));
    }
}

// Weight lanes for four pixels: a16 = opacity in every 16-bit lane; m = four map pixels.
template <Weight W>
inline void weights(__m128i s, __m128i m, __m128i a16, __m128i& wlo, __m128i& whi)
{
    const __m128i zero = _mm_setzero_si128();
    if constexpr (W == Weight::Opacity) {
        wlo = whi = a16;
    } else if constexpr (W == Weight::Map) {
        wlo = _mm_unpacklo_epi8(m, zero);
        whi = _mm_unpackhi_epi8(m, zero);
    } else if constexpr (W == Weight::SourceAlpha) {
        // top byte of each pixel (16-bit lane 3 of each 64-bit half) into all four lanes of that pixel
        const __m128i lo = _mm_unpacklo_epi8(s, zero), hi = _mm_unpackhi_epi8(s, zero);
        wlo = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lo, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
        whi = _mm_shufflehi_epi16(_mm_shufflelo_epi16(hi, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    } else {
        (void)s, (void)m, (void)a16;
        wlo = whi = zero;
    }
}

// Four bilinear samples from their pixel pairs: top[k] = (P00, P10) and bottom[k] = (P01, P11) of
// sample k in the low 64 bits, with the 12-bit fractions fx and fy of each sample in 32-bit lanes.
// The bytes are split into (blue, red) and (green, top) 16-bit lanes in place, so each weight
// multiplies two channels at once; a weight w00 = ((4096 - fx) (4096 - fy)) >> 16 comes from
// pmulhuw on (4096 - fx) and (4096 - fy) held in both halves of a lane. Products are at most
// 256 * 255 and the four weights add up to at most 256, so the 16-bit sums are exact.
inline __m128i bilinearFour(const __m128i top[4], const __m128i bottom[4], __m128i fx, __m128i fy)
{
    // Transpose the pairs: t0 = P00 of the four samples, t1 = P10, b0 = P01, b1 = P11.
    const __m128i tq01 = _mm_unpacklo_epi32(top[0], top[1]), tq23 = _mm_unpacklo_epi32(top[2], top[3]);
    const __m128i bq01 = _mm_unpacklo_epi32(bottom[0], bottom[1]), bq23 = _mm_unpacklo_epi32(bottom[2], bottom[3]);
    const __m128i t0 = _mm_unpacklo_epi64(tq01, tq23), t1 = _mm_unpackhi_epi64(tq01, tq23);
    const __m128i b0 = _mm_unpacklo_epi64(bq01, bq23), b1 = _mm_unpackhi_epi64(bq01, bq23);
    // Weights, each in both 16-bit halves of its sample's lane.
    const __m128i c4096 = _mm_set1_epi16(4096);
    const __m128i fxx = _mm_or_si128(fx, _mm_slli_epi32(fx, 16)), ifxx = _mm_sub_epi16(c4096, fxx);
    const __m128i fyy = _mm_or_si128(fy, _mm_slli_epi32(fy, 16)), ifyy = _mm_sub_epi16(c4096, fyy);
    const __m128i w00 = _mm_mulhi_epu16(ifxx, ifyy), w10 = _mm_mulhi_epu16(fxx, ifyy);
    const __m128i w01 = _mm_mulhi_epu16(ifxx, fyy), w11 = _mm_mulhi_epu16(fxx, fyy);
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    auto sum = [&](__m128i p00, __m128i p10, __m128i p01, __m128i p11) {
        return _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(p00, w00), _mm_mullo_epi16(p10, w10)),
                             _mm_add_epi16(_mm_mullo_epi16(p01, w01), _mm_mullo_epi16(p11, w11)));
    };
    const __m128i br = sum(_mm_and_si128(t0, lowBytes), _mm_and_si128(t1, lowBytes), _mm_and_si128(b0, lowBytes),
                           _mm_and_si128(b1, lowBytes));
    const __m128i ga = sum(_mm_srli_epi16(t0, 8), _mm_srli_epi16(t1, 8), _mm_srli_epi16(b0, 8), _mm_srli_epi16(b1, 8));
    // (sum >> 8) per channel: blue and red shifted down, green and top already in the high bytes.
    return _mm_or_si128(_mm_srli_epi16(br, 8), _mm_andnot_si128(lowBytes, ga));
}

// Pixels p[0] and p[1] in the low 64 bits.
inline __m128i load2(const uint32_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }

} // namespace sse2

// One rule with its weight source, on four pixels (SSE2) or one (scalar).
template <Rule R, Weight W>
inline __m128i blend4(__m128i d, __m128i s, __m128i m, __m128i a16)
{
    __m128i wlo, whi;
    sse2::weights<W>(s, m, a16, wlo, whi);
    return sse2::apply<R>(d, s, wlo, whi);
}

template <Rule R, Weight W>
inline uint32_t blend1(uint32_t d, uint32_t s, uint32_t m, uint32_t a)
{
    return scalar::apply<R>(d, s, scalar::weights<W>(s, m, a));
}

} // namespace blend
