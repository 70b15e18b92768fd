// The radial blur's AVX2 loops: eight pixels per vector, channels in 16-bit lanes, in the order
// the in-lane unpacks give (low half: pixels 0 1 | 4 5, high half: 2 3 | 6 7).
#include "fx2d/FxRadialAvx2.h"

#include <immintrin.h>

#include <cstring>

#include "image/SimdLevel.h"

namespace radial {
namespace {

struct Wide {
    __m256i lo, hi;
};

struct Consts {
    __m256i e, f, m, a;
    __m256i byteMask, w256, max255;
};

TL_TARGET_AVX2 Consts makeConsts(const Factors& f)
{
    return {_mm256_set1_epi16(short(f.e)), _mm256_set1_epi16(short(f.f)), _mm256_set1_epi16(short(f.m)),
            _mm256_set1_epi16(short(f.a)), _mm256_set1_epi16(0xFF), _mm256_set1_epi16(256),
            _mm256_set1_epi16(255)};
}

TL_TARGET_AVX2 Wide widen(__m256i v)
{
    const __m256i zero = _mm256_setzero_si256();
    return {_mm256_unpacklo_epi8(v, zero), _mm256_unpackhi_epi8(v, zero)};
}

TL_TARGET_AVX2 __m256i narrow(const Wide& v)
{
    return _mm256_packus_epi16(v.lo, v.hi);
}

// Per channel, exact with 16-bit products: smooth splits E P + ((F N) >> 8) into 256 (E P >> 8 +
// F N >> 16) plus the two low bytes, whose carry is added before the final shift (>> 14 = >> 6
// after the 256).
template <bool Smooth>
TL_TARGET_AVX2 __m256i blend16(__m256i p, __m256i a, __m256i d, __m256i w, const Consts& k)
{
    const __m256i n = _mm256_add_epi16(_mm256_mullo_epi16(a, w), _mm256_mullo_epi16(d, _mm256_sub_epi16(k.w256, w)));
    if constexpr (Smooth) {
        const __m256i epLo = _mm256_mullo_epi16(p, k.e);
        const __m256i e1 = _mm256_or_si256(_mm256_slli_epi16(_mm256_mulhi_epu16(p, k.e), 8), _mm256_srli_epi16(epLo, 8));
        const __m256i e0 = _mm256_and_si256(epLo, k.byteMask);
        const __m256i lo = _mm256_mullo_epi16(n, k.f);
        const __m256i hi = _mm256_mulhi_epu16(n, k.f);
        const __m256i carry = _mm256_srli_epi16(_mm256_add_epi16(_mm256_srli_epi16(lo, 8), e0), 8);
        const __m256i r = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(hi, e1), carry), 6);
        return _mm256_min_epi16(r, k.max255);
    } else {
        const __m256i half = _mm256_srli_epi16(n, 1);
        const __m256i t = _mm256_or_si256(_mm256_slli_epi16(_mm256_mulhi_epu16(half, k.a), 8),
                                          _mm256_srli_epi16(_mm256_mullo_epi16(half, k.a), 8));
        const __m256i s = _mm256_adds_epu16(_mm256_adds_epu16(_mm256_mullo_epi16(p, k.m), t), t);
        return _mm256_srli_epi16(s, 8);
    }
}

// Byte indices into eight broadcast 16-bit weights: each pixel's weight in its four channel lanes,
// in the unpack order (pixels 0 1 | 4 5, then 2 3 | 6 7); reversed, pixel m takes weight 7 - m.
#define TL_W(p) int8_t(2 * (p)), int8_t(2 * (p) + 1)
#define TL_W4(p) TL_W(p), TL_W(p), TL_W(p), TL_W(p)
alignas(32) const int8_t kWeightMasks[2][2][32] = {
    {{TL_W4(0), TL_W4(1), TL_W4(4), TL_W4(5)}, {TL_W4(2), TL_W4(3), TL_W4(6), TL_W4(7)}},
    {{TL_W4(7), TL_W4(6), TL_W4(3), TL_W4(2)}, {TL_W4(5), TL_W4(4), TL_W4(1), TL_W4(0)}},
};
#undef TL_W4
#undef TL_W

struct WeightMasks {
    __m256i lo, hi;
};

TL_TARGET_AVX2 WeightMasks weightMasks(bool reversed)
{
    const int8_t(*m)[32] = kWeightMasks[reversed ? 1 : 0];
    return {_mm256_load_si256(reinterpret_cast<const __m256i*>(m[0])),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(m[1]))};
}

TL_TARGET_AVX2 Wide weights8(const int16_t* w, const WeightMasks& masks)
{
    const __m256i all = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
    return {_mm256_shuffle_epi8(all, masks.lo), _mm256_shuffle_epi8(all, masks.hi)};
}

template <bool Smooth>
TL_TARGET_AVX2 __m256i blend8(__m256i p8, const Wide& a, const Wide& d, const Wide& w, const Consts& k, Wide& out)
{
    const Wide p = widen(p8);
    out.lo = blend16<Smooth>(p.lo, a.lo, d.lo, w.lo, k);
    out.hi = blend16<Smooth>(p.hi, a.hi, d.hi, w.hi, k);
    return narrow(out);
}

template <bool Smooth>
TL_TARGET_AVX2 void rowT(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
                         const Factors& f)
{
    const Consts k = makeConsts(f);
    const WeightMasks masks = weightMasks(sx < 0);
    int i = i0;
    for (; i + 8 <= i1; i += 8) {
        const int x = sx > 0 ? cx + i : cx - i - 7; // leftmost pixel of the eight
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
        const Wide a = widen(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(prev + x)));
        const Wide d = widen(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(prev + x - sx)));
        Wide r;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x), blend8<Smooth>(p, a, d, weights8(weights + i, masks), k, r));
    }
    if (i == i1) return;
    // The last 1..7 pixels through buffers, pixel m of the buffers at column i + m.
    const int n = i1 - i;
    alignas(32) uint32_t p[8] = {}, a[8] = {}, d[8] = {};
    alignas(16) int16_t w[8] = {};
    for (int m = 0; m < n; ++m) {
        const int x = cx + sx * (i + m);
        p[m] = row[x];
        a[m] = prev[x];
        d[m] = prev[x - sx];
        w[m] = weights[i + m];
    }
    Wide r;
    _mm256_store_si256(reinterpret_cast<__m256i*>(p),
                       blend8<Smooth>(_mm256_load_si256(reinterpret_cast<const __m256i*>(p)),
                                      widen(_mm256_load_si256(reinterpret_cast<const __m256i*>(a))),
                                      widen(_mm256_load_si256(reinterpret_cast<const __m256i*>(d))),
                                      weights8(w, weightMasks(false)), k, r));
    for (int m = 0; m < n; ++m) row[cx + sx * (i + m)] = p[m];
}

template <bool Smooth>
TL_TARGET_AVX2 void columnT(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights, const Factors& f)
{
    const Consts k = makeConsts(f);
    alignas(32) uint32_t p[kAvx2BandRows] = {}, a[kAvx2BandRows] = {}, d[kAvx2BandRows] = {};
    alignas(16) int16_t w[kAvx2BandRows] = {};
    for (int j = 0; j < count; ++j) {
        p[j] = top[j * stride];
        a[j] = top[j * stride - sx];
        d[j] = top[(j - 1) * stride - sx];
        w[j] = weights[j];
    }
    const WeightMasks masks = weightMasks(false);
    for (int g = 0; g < (count + 7) / 8; ++g) {
        Wide r;
        _mm256_store_si256(reinterpret_cast<__m256i*>(p + 8 * g),
                           blend8<Smooth>(_mm256_load_si256(reinterpret_cast<const __m256i*>(p + 8 * g)),
                                          widen(_mm256_load_si256(reinterpret_cast<const __m256i*>(a + 8 * g))),
                                          widen(_mm256_load_si256(reinterpret_cast<const __m256i*>(d + 8 * g))),
                                          weights8(w + 8 * g, masks), k, r));
    }
    for (int j = 0; j < count; ++j) top[j * stride] = p[j];
}

// 8 x 8 transpose of 32-bit elements (its own inverse).
TL_TARGET_AVX2 void transpose8(__m256i* r)
{
    __m256i t[8], u[8];
    for (int q = 0; q < 4; ++q) {
        t[2 * q] = _mm256_unpacklo_epi32(r[2 * q], r[2 * q + 1]);
        t[2 * q + 1] = _mm256_unpackhi_epi32(r[2 * q], r[2 * q + 1]);
    }
    for (int h = 0; h < 2; ++h) {
        u[4 * h + 0] = _mm256_unpacklo_epi64(t[4 * h + 0], t[4 * h + 2]);
        u[4 * h + 1] = _mm256_unpackhi_epi64(t[4 * h + 0], t[4 * h + 2]);
        u[4 * h + 2] = _mm256_unpacklo_epi64(t[4 * h + 1], t[4 * h + 3]);
        u[4 * h + 3] = _mm256_unpackhi_epi64(t[4 * h + 1], t[4 * h + 3]);
    }
    for (int q = 0; q < 4; ++q) {
        r[q] = _mm256_permute2x128_si256(u[q], u[q + 4], 0x20);
        r[q + 4] = _mm256_permute2x128_si256(u[q], u[q + 4], 0x31);
    }
}

constexpr int kGroups = kAvx2BandRows / 8;

// Columns x0 .. x0 + n - 1 (n <= 8) of the band's rows, transposed: cols[g][m] holds column x0 + m
// of rows 8g .. 8g + 7.
TL_TARGET_AVX2 void loadTile(uint32_t* const* rows, int x0, int n, __m256i (*cols)[8])
{
    for (int g = 0; g < kGroups; ++g) {
        for (int j = 0; j < 8; ++j) {
            const uint32_t* src = rows[8 * g + j] + x0;
            if (n == 8) {
                cols[g][j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
            } else {
                alignas(32) uint32_t buf[8] = {};
                std::memcpy(buf, src, size_t(n) * 4);
                cols[g][j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(buf));
            }
        }
        transpose8(cols[g]);
    }
}

TL_TARGET_AVX2 void storeTile(uint32_t* const* rows, int x0, int n, __m256i (*cols)[8])
{
    for (int g = 0; g < kGroups; ++g) {
        transpose8(cols[g]);
        for (int j = 0; j < 8; ++j) {
            uint32_t* dst = rows[8 * g + j] + x0;
            if (n == 8) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), cols[g][j]);
            } else {
                alignas(32) uint32_t buf[8];
                _mm256_store_si256(reinterpret_cast<__m256i*>(buf), cols[g][j]);
                std::memcpy(dst, buf, size_t(n) * 4);
            }
        }
    }
}

// The diagonal neighbours of a group: each pixel's row predecessor at the previous column, the
// first taking the wide pixel in the top 64 bits of `before` (the previous group's high half, or
// the row above the band broadcast).
TL_TARGET_AVX2 Wide shiftedRows(const Wide& c, __m256i before)
{
    const __m256i x = _mm256_permute2x128_si256(c.hi, before, 0x03);
    return {_mm256_alignr_epi8(c.lo, x, 8), _mm256_alignr_epi8(c.hi, c.lo, 8)};
}

template <bool Smooth>
TL_TARGET_AVX2 void bandT(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
                          const int16_t* weights, int stride, const Factors& f)
{
    const Consts k = makeConsts(f);
    const WeightMasks masks = weightMasks(false);
    Wide carry[kGroups];
    {
        const int x = cx + sx * (iFirst - 1);
        for (int g = 0; g < kGroups; ++g) {
            const uint32_t* const* r = rows + 8 * g;
            carry[g] = widen(_mm256_setr_epi32(int(r[0][x]), int(r[1][x]), int(r[2][x]), int(r[3][x]), int(r[4][x]),
                                               int(r[5][x]), int(r[6][x]), int(r[7][x])));
        }
    }
    __m256i cols[kGroups][8];
    for (int i = iFirst; i <= iLast;) {
        const int n = std::min(8, iLast - i + 1);
        const int x0 = sx > 0 ? cx + i : cx - i - (n - 1);
        loadTile(rows, x0, n, cols);
        for (int s = 0; s < n; ++s, ++i) {
            const int m = sx > 0 ? s : n - 1 - s;
            const __m256i q = _mm256_broadcastq_epi64(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(above[x0 + m - sx])), _mm_setzero_si128()));
            Wide next[kGroups];
            for (int g = 0; g < kGroups; ++g) {
                const Wide d = shiftedRows(carry[g], g == 0 ? q : carry[g - 1].hi);
                const Wide w = weights8(weights + int64_t(i) * stride + 8 * g, masks);
                cols[g][m] = blend8<Smooth>(cols[g][m], carry[g], d, w, k, next[g]);
            }
            for (int g = 0; g < kGroups; ++g) carry[g] = next[g];
        }
        storeTile(rows, x0, n, cols);
    }
}

} // namespace

TL_TARGET_AVX2 void rowSmoothAvx2(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
                   const Factors& f)
{
    rowT<true>(row, prev, weights, cx, sx, i0, i1, f);
}

TL_TARGET_AVX2 void rowFastAvx2(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
                 const Factors& f)
{
    rowT<false>(row, prev, weights, cx, sx, i0, i1, f);
}

TL_TARGET_AVX2 void columnSmoothAvx2(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights,
                                     const Factors& f)
{
    columnT<true>(top, stride, count, sx, weights, f);
}

TL_TARGET_AVX2 void columnFastAvx2(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights,
                                   const Factors& f)
{
    columnT<false>(top, stride, count, sx, weights, f);
}

TL_TARGET_AVX2 void bandSmoothAvx2(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
                    const int16_t* weights, int stride, const Factors& f)
{
    bandT<true>(rows, above, cx, sx, iFirst, iLast, weights, stride, f);
}

TL_TARGET_AVX2 void bandFastAvx2(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
                  const int16_t* weights, int stride, const Factors& f)
{
    bandT<false>(rows, above, cx, sx, iFirst, iLast, weights, stride, f);
}

} // namespace radial
