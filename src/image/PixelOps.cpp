#include "image/PixelOps.h"

#include <emmintrin.h>

#include "image/BlendKernels.h"
#include "image/KernelTable.h"
#include "image/PixelOpsAvx2.h"

// The saturating add and subtract are the blend family's add and subtract rules (one kernel per
// rule in the whole image code); grey, XOR and AND are whole-image operations of their own. Each
// operation has one loop per SIMD level in a table (the AVX2 ones in PixelOpsAvx2.cpp), picked
// once per call (KernelTable.h).

namespace pixelops {
namespace scalar {

namespace {
uint32_t addBytes(uint32_t a, uint32_t b) { return blend::scalar::apply<blend::Rule::Add>(a, b, 0); }
uint32_t subBytes(uint32_t a, uint32_t b) { return blend::scalar::apply<blend::Rule::Sub>(a, b, 0); }
} // namespace

void greyInto(uint32_t* p, int64_t n, uint32_t keepMask)
{
    for (int64_t i = 0; i < n; ++i) p[i] = (greyOf(p[i]) * 0x01010101u) & keepMask;
}
void addSaturate(uint32_t* d, int64_t n, const uint32_t* s)
{
    for (int64_t i = 0; i < n; ++i) d[i] = addBytes(d[i], s[i]);
}
void addSaturateValue(uint32_t* d, int64_t n, uint32_t v)
{
    for (int64_t i = 0; i < n; ++i) d[i] = addBytes(d[i], v);
}
void subSaturateValue(uint32_t* d, int64_t n, uint32_t v)
{
    for (int64_t i = 0; i < n; ++i) d[i] = subBytes(d[i], v);
}
void xorBytes(uint32_t* d, int64_t n, uint32_t v)
{
    for (int64_t i = 0; i < n; ++i) d[i] ^= v;
}
void andBytes(uint32_t* d, int64_t n, uint32_t v)
{
    for (int64_t i = 0; i < n; ++i) d[i] &= v;
}

} // namespace scalar

namespace {
// Runs op over blocks of four pixels with SSE2 and hands the tail to the scalar twin.
template <class Op, class Tail>
void fourAtATime(uint32_t* d, int64_t n, Op op, Tail tail)
{
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i* q = reinterpret_cast<__m128i*>(d + i);
        _mm_storeu_si128(q, op(_mm_loadu_si128(q), i));
    }
    if (i < n) tail(d + i, n - i, i);
}
inline __m128i addRule(__m128i d, __m128i s) { return blend::sse2::apply<blend::Rule::Add>(d, s, s, s); }
inline __m128i subRule(__m128i d, __m128i s) { return blend::sse2::apply<blend::Rule::Sub>(d, s, s, s); }
} // namespace

namespace sse2 {

void greyInto(uint32_t* p, int64_t n, uint32_t keepMask)
{
    // Bytes b, g, r of each pixel weighted 5, 16, 11 with pmaddwd, then spread into all bytes.
    const __m128i weights = _mm_setr_epi16(5, 16, 11, 0, 5, 16, 11, 0);
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi32(int(keepMask));
    fourAtATime(
        p, n,
        [&](__m128i v, int64_t) {
            const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weights);  // (5b+16g, 11r) x2
            const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weights);
            // Sum the adjacent pairs: lo = [p0a, p0b, p1a, p1b], hi = [p2a, p2b, p3a, p3b].
            const __m128i a = _mm_castps_si128(
                _mm_shuffle_ps(_mm_castsi128_ps(lo), _mm_castsi128_ps(hi), _MM_SHUFFLE(2, 0, 2, 0)));
            const __m128i b = _mm_castps_si128(
                _mm_shuffle_ps(_mm_castsi128_ps(lo), _mm_castsi128_ps(hi), _MM_SHUFFLE(3, 1, 3, 1)));
            const __m128i g = _mm_srli_epi32(_mm_add_epi32(a, b), 5);
            // g * 0x01010101 without a 32-bit multiply: g | g<<8 | g<<16 | g<<24.
            __m128i all = _mm_or_si128(g, _mm_slli_epi32(g, 8));
            all = _mm_or_si128(all, _mm_slli_epi32(all, 16));
            return _mm_and_si128(all, keep);
        },
        [&](uint32_t* t, int64_t m, int64_t) { scalar::greyInto(t, m, keepMask); });
}

void addSaturate(uint32_t* d, int64_t n, const uint32_t* s)
{
    fourAtATime(
        d, n,
        [&](__m128i v, int64_t i) {
            return addRule(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
        },
        [&](uint32_t* t, int64_t m, int64_t i) { scalar::addSaturate(t, m, s + i); });
}

void addSaturateValue(uint32_t* d, int64_t n, uint32_t v)
{
    const __m128i c = _mm_set1_epi32(int(v));
    fourAtATime(
        d, n, [&](__m128i x, int64_t) { return addRule(x, c); },
        [&](uint32_t* t, int64_t m, int64_t) { scalar::addSaturateValue(t, m, v); });
}

void subSaturateValue(uint32_t* d, int64_t n, uint32_t v)
{
    const __m128i c = _mm_set1_epi32(int(v));
    fourAtATime(
        d, n, [&](__m128i x, int64_t) { return subRule(x, c); },
        [&](uint32_t* t, int64_t m, int64_t) { scalar::subSaturateValue(t, m, v); });
}

void xorBytes(uint32_t* d, int64_t n, uint32_t v)
{
    const __m128i c = _mm_set1_epi32(int(v));
    fourAtATime(
        d, n, [&](__m128i x, int64_t) { return _mm_xor_si128(x, c); },
        [&](uint32_t* t, int64_t m, int64_t) { scalar::xorBytes(t, m, v); });
}

void andBytes(uint32_t* d, int64_t n, uint32_t v)
{
    const __m128i c = _mm_set1_epi32(int(v));
    fourAtATime(
        d, n, [&](__m128i x, int64_t) { return _mm_and_si128(x, c); },
        [&](uint32_t* t, int64_t m, int64_t) { scalar::andBytes(t, m, v); });
}

} // namespace sse2

namespace {
using ValueFn = void (*)(uint32_t*, int64_t, uint32_t);
using SourceFn = void (*)(uint32_t*, int64_t, const uint32_t*);
constexpr ValueFn kGreyLoops[kSimdLevelCount] = {&scalar::greyInto, &sse2::greyInto, TL_AVX2_LOOP(&avx2::greyInto)};
constexpr SourceFn kAddLoops[kSimdLevelCount] = {&scalar::addSaturate, &sse2::addSaturate, TL_AVX2_LOOP(&avx2::addSaturate)};
constexpr ValueFn kAddValueLoops[kSimdLevelCount] = {&scalar::addSaturateValue, &sse2::addSaturateValue, TL_AVX2_LOOP(&avx2::addSaturateValue)};
constexpr ValueFn kSubValueLoops[kSimdLevelCount] = {&scalar::subSaturateValue, &sse2::subSaturateValue, TL_AVX2_LOOP(&avx2::subSaturateValue)};
constexpr ValueFn kXorLoops[kSimdLevelCount] = {&scalar::xorBytes, &sse2::xorBytes, TL_AVX2_LOOP(&avx2::xorBytes)};
constexpr ValueFn kAndLoops[kSimdLevelCount] = {&scalar::andBytes, &sse2::andBytes, TL_AVX2_LOOP(&avx2::andBytes)};
} // namespace

void greyInto(uint32_t* p, int64_t n, uint32_t keepMask) { loopForLevel(kGreyLoops, simdLevel())(p, n, keepMask); }
void addSaturate(uint32_t* d, int64_t n, const uint32_t* s) { loopForLevel(kAddLoops, simdLevel())(d, n, s); }
void addSaturateValue(uint32_t* d, int64_t n, uint32_t v) { loopForLevel(kAddValueLoops, simdLevel())(d, n, v); }
void subSaturateValue(uint32_t* d, int64_t n, uint32_t v) { loopForLevel(kSubValueLoops, simdLevel())(d, n, v); }
void xorBytes(uint32_t* d, int64_t n, uint32_t v) { loopForLevel(kXorLoops, simdLevel())(d, n, v); }
void andBytes(uint32_t* d, int64_t n, uint32_t v) { loopForLevel(kAndLoops, simdLevel())(d, n, v); }

} // namespace pixelops
