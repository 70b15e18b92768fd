// Span loops with AVX2: the loop shape of BlitSpan.cpp eight pixels at a time, with samplers that
// fetch eight samples per step. Positions are stepped exactly as the scalar samplers step them, so
// the caller can finish a span's last pixels with the narrower loops.
#include "image/BlitSpanAvx2.h"

#include <immintrin.h>

#include "image/BlendKernelsAvx2.h"
#include "image/BlitInternal.h"

namespace blit {

using blend::Rule;
using blend::Weight;
using blend::avx2::lanes64;
using blend::avx2::load64;

namespace {

inline int64_t whole(int64_t c) { return c >> 16; }

// Pixels p[c[0]] .. p[c[7]] into one register: broadcast loads kept by blends (no shuffles).
TL_TARGET_AVX2 inline __m256i gather8(const uint32_t* p, const int64_t c[8])
{
    const __m256i b01 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[0]])), _mm256_set1_epi32(int(p[c[1]])), 0x02);
    const __m256i b23 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[2]])), _mm256_set1_epi32(int(p[c[3]])), 0x08);
    const __m256i b45 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[4]])), _mm256_set1_epi32(int(p[c[5]])), 0x20);
    const __m256i b67 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[6]])), _mm256_set1_epi32(int(p[c[7]])), 0x80);
    return _mm256_blend_epi32(_mm256_blend_epi32(b01, b23, 0x0C), _mm256_blend_epi32(b45, b67, 0xC0), 0xF0);
}

// The 16-bit fraction of a 16.16 position in both 16-bit halves of a 32-bit lane.
inline int fraction2(int64_t c) { return int(uint32_t(uint16_t(c)) * 0x00010001u); }

// The 16-bit fractions of eight samples of position c stepped by dc, one per 32-bit lane (both
// halves). Stepping adds 8 dc to every 16-bit lane, which wraps exactly as the fraction does.
struct Fractions {
    __m256i lanes, step;
    TL_TARGET_AVX2 Fractions(int64_t c, int64_t dc)
        : lanes(_mm256_setr_epi32(fraction2(c), fraction2(c + dc), fraction2(c + 2 * dc), fraction2(c + 3 * dc),
                                  fraction2(c + 4 * dc), fraction2(c + 5 * dc), fraction2(c + 6 * dc),
                                  fraction2(c + 7 * dc))),
          step(_mm256_set1_epi16(int16_t(uint16_t(8 * dc))))
    {
    }
    TL_TARGET_AVX2 __m256i next()
    {
        const __m256i now = lanes;
        lanes = _mm256_add_epi16(lanes, step);
        return now;
    }
};

// Column offsets k * du of the eight samples of a step.
struct Steps {
    int64_t k[8];
    explicit Steps(int64_t du)
    {
        for (int i = 0; i < 8; ++i) k[i] = i * du;
    }
};

// Pixel pairs p[c], p[c + 1] of eight samples, into the first and the second pixel of each.
TL_TARGET_AVX2 inline void pairs8(const uint32_t* p, const int64_t c[8], __m256i& first, __m256i& second)
{
    blend::avx2::unpair(lanes64(load64(p + c[0]), load64(p + c[2]), load64(p + c[4]), load64(p + c[6])),
                        lanes64(load64(p + c[1]), load64(p + c[3]), load64(p + c[5]), load64(p + c[7])), first, second);
}

template <Fetch F, bool kMap>
struct Sampler8;

template <bool kMap>
struct Sampler8<Fetch::Direct, kMap> {
    const uint32_t* p;
    const uint32_t* m;
    explicit Sampler8(const SpanSource& s) : p(s.pixels), m(s.map) {}
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        if constexpr (kMap) mo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m)), m += 8;
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        p += 8;
        return s;
    }
};

template <bool kMap>
struct Sampler8<Fetch::RowNearest, kMap> {
    const uint32_t* row;
    const uint32_t* mrow;
    int64_t u, du;
    Steps steps;
    explicit Sampler8(const SpanSource& s)
        : row(s.pixels + whole(s.v) * s.width), mrow(kMap ? s.map + whole(s.v) * s.width : nullptr), u(s.u),
          du(s.du), steps(s.du)
    {
    }
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        int64_t c[8];
        for (int k = 0; k < 8; ++k) c[k] = whole(u + steps.k[k]);
        u += 8 * du;
        if constexpr (kMap) mo = gather8(mrow, c);
        return gather8(row, c);
    }
};

template <bool kMap>
struct Sampler8<Fetch::RowBilinear, kMap> {
    const uint32_t* row;
    const uint32_t* below;
    const uint32_t* mrow;
    int64_t u, du;
    Steps steps;
    Fractions fu;
    __m256i fv;  // the row's fraction, the same for every sample
    TL_TARGET_AVX2 explicit Sampler8(const SpanSource& s)
        : row(s.pixels + whole(s.v) * s.width), below(row + s.width),
          mrow(kMap ? s.map + whole(s.v) * s.width : nullptr), u(s.u), du(s.du), steps(s.du), fu(s.u, s.du),
          fv(_mm256_set1_epi16(int16_t(uint16_t(s.v))))
    {
    }
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        int64_t c[8];
        for (int k = 0; k < 8; ++k) c[k] = whole(u + steps.k[k]);
        u += 8 * du;
        if constexpr (kMap) mo = gather8(mrow, c);
        __m256i p00, p10, p01, p11;
        pairs8(row, c, p00, p10);
        pairs8(below, c, p01, p11);
        return blend::avx2::bilinearEight(p00, p10, p01, p11, fu.next(), fv);
    }
};

// The row fetches when 0 <= du <= 1 pixel: the eight samples of a step lie within nine columns
// from the first one, c0, so each source row gives its pixels by one load of the eight pixels
// from c0 (and one from c0 + 1 for the right neighbours) and a permute by the samples' column
// offsets. The loads reach column c0 + 8; windowBlocks says for how many steps of a span that
// stays within the columns the span reads anyway.
template <Fetch F, bool kMap>
struct Window8 {
    const uint32_t* row;
    const uint32_t* below;
    const uint32_t* mrow;
    int64_t u, du;
    __m256i steps;  // k * du, k = 0..7
    __m256i fv;     // the row's fraction, the same for every sample
    TL_TARGET_AVX2 explicit Window8(const SpanSource& s)
        : row(s.pixels + whole(s.v) * s.width), below(row + s.width),
          mrow(kMap ? s.map + whole(s.v) * s.width : nullptr), u(s.u), du(s.du),
          steps(_mm256_mullo_epi32(_mm256_set1_epi32(int(s.du)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7))),
          fv(_mm256_set1_epi16(int16_t(uint16_t(s.v))))
    {
    }
    static TL_TARGET_AVX2 __m256i load8(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        const int64_t c0 = whole(u);
        // (u & 0xFFFF) + k du: the offset of sample k's column from c0 above bit 16, its fraction below
        const __m256i f = _mm256_add_epi32(_mm256_set1_epi32(int(u & 0xFFFF)), steps);
        const __m256i offsets = _mm256_srli_epi32(f, 16);
        u += 8 * du;
        if constexpr (kMap) mo = _mm256_permutevar8x32_epi32(load8(mrow + c0), offsets);
        const __m256i p00 = _mm256_permutevar8x32_epi32(load8(row + c0), offsets);
        if constexpr (F == Fetch::RowNearest) {
            return p00;
        } else {
            const __m256i p10 = _mm256_permutevar8x32_epi32(load8(row + c0 + 1), offsets);
            const __m256i p01 = _mm256_permutevar8x32_epi32(load8(below + c0), offsets);
            const __m256i p11 = _mm256_permutevar8x32_epi32(load8(below + c0 + 1), offsets);
            // the fraction (the low 16 bits) into both halves of each lane
            const __m256i dupLow = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13,  //
                                                    0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
            return blend::avx2::bilinearEight(p00, p10, p01, p11, _mm256_shuffle_epi8(f, dupLow), fv);
        }
    }
};

// How many steps of eight from the start of a span a window can take: those whose loads (up to
// column c0 + 8, or c0 + 7 for the map) stay within the last column the span reads plus one.
inline int64_t windowBlocks(int64_t n, const SpanSource& s)
{
    if (s.du < 0 || s.du > 65536) return 0;
    const int64_t last = whole(s.u + (n - 1) * s.du);
    int64_t blocks = n / 8;
    while (blocks > 0 && whole(s.u + 8 * (blocks - 1) * s.du) + 7 > last) --blocks;
    return blocks;
}

// Linear indices of the samples of a 2D span; u and v stepped once per sample.
struct Walk2D {
    int64_t width, u, v, du, dv;
    int64_t next()
    {
        const int64_t i = whole(v) * width + whole(u);
        u += du;
        v += dv;
        return i;
    }
};

template <bool kMap>
struct Sampler8<Fetch::Nearest2D, kMap> {
    CheckedPixels src, map;
    Walk2D walk;
    explicit Sampler8(const SpanSource& s)
        : src{s.pixels, uint64_t(s.count)}, map{s.map, uint64_t(s.count)}, walk{s.width, s.u, s.v, s.du, s.dv}
    {
    }
    // Four samples (the sample loop of the narrower levels; wider index work does not pay here).
    TL_TARGET_AVX2 __m128i four(__m128i& mo)
    {
        uint32_t s[4], m[4] = {};
        for (int k = 0; k < 4; ++k) {
            const int64_t i = walk.next();
            s[k] = src.at(i);
            if constexpr (kMap) m[k] = map.at(i);
        }
        if constexpr (kMap) mo = _mm_setr_epi32(int(m[0]), int(m[1]), int(m[2]), int(m[3]));
        return _mm_setr_epi32(int(s[0]), int(s[1]), int(s[2]), int(s[3]));
    }
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        __m128i m0 = _mm_setzero_si128(), m1 = _mm_setzero_si128();
        const __m128i s0 = four(m0), s1 = four(m1);
        if constexpr (kMap) mo = _mm256_set_m128i(m1, m0);
        return _mm256_set_m128i(s1, s0);
    }
};

template <bool kMap>
struct Sampler8<Fetch::Bilinear2D, kMap> {
    CheckedPixels src, map;
    Walk2D walk;
    Fractions fu, fv;
    TL_TARGET_AVX2 explicit Sampler8(const SpanSource& s)
        : src{s.pixels, uint64_t(s.count)}, map{s.map, uint64_t(s.count)}, walk{s.width, s.u, s.v, s.du, s.dv},
          fu(s.u, s.du), fv(s.v, s.dv)
    {
    }
    // Pixels i and i + 1 in every 64-bit lane: one broadcast read inside the image, else checked.
    TL_TARGET_AVX2 __m256i pair(int64_t i) const
    {
        if (src.pairInside(i)) return _mm256_set1_epi64x(int64_t(load64(src.p + i)));
        return _mm256_set1_epi64x(int64_t(src.at(i) | uint64_t(src.at(i + 1)) << 32));
    }
    // The pairs at a + o, b + o, c + o and d + o in the four 64-bit lanes.
    TL_TARGET_AVX2 __m256i quad(int64_t a, int64_t b, int64_t c, int64_t d, int64_t o) const
    {
        return blend::avx2::blendLanes64(pair(a + o), pair(b + o), pair(c + o), pair(d + o));
    }
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        int64_t i[8];
        for (int64_t& x : i) x = walk.next();
        if constexpr (kMap)
            mo = _mm256_setr_epi32(int(map.at(i[0])), int(map.at(i[1])), int(map.at(i[2])), int(map.at(i[3])),
                                   int(map.at(i[4])), int(map.at(i[5])), int(map.at(i[6])), int(map.at(i[7])));
        const int64_t w = walk.width;
        __m256i p00, p10, p01, p11;
        blend::avx2::unpair(quad(i[0], i[2], i[4], i[6], 0), quad(i[1], i[3], i[5], i[7], 0), p00, p10);
        blend::avx2::unpair(quad(i[0], i[2], i[4], i[6], w), quad(i[1], i[3], i[5], i[7], w), p01, p11);
        return blend::avx2::bilinearEight(p00, p10, p01, p11, fu.next(), fv.next());
    }
};

// The loop shape, eight pixels per step.
template <Rule R, Weight W, class Sampler>
TL_TARGET_AVX2 int64_t blocks(uint32_t* d, int64_t n, Sampler& sampler, uint32_t weight)
{
    const __m256i a16 = _mm256_set1_epi16(int16_t(weight));
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i m = _mm256_setzero_si256();
        const __m256i s = sampler.eight(m);
        __m256i* q = reinterpret_cast<__m256i*>(d + i);
        if constexpr (R == Rule::Copy) _mm256_storeu_si256(q, s);
        else _mm256_storeu_si256(q, blend::avx2::blend8<R, W>(_mm256_loadu_si256(q), s, m, a16));
    }
    return i;
}

} // namespace

template <Rule R, Weight W, Fetch F>
TL_TARGET_AVX2 int64_t spanAvx2Blocks(uint32_t* d, int64_t n, const SpanSource& src)
{
    constexpr bool kMap = W == Weight::Map;
    if constexpr (F == Fetch::RowNearest || F == Fetch::RowBilinear) {
        // Windows where they fit, then the general row sampler from where they end.
        const int64_t k = 8 * windowBlocks(n, src);
        if (k > 0) {
            Window8<F, kMap> window(src);
            blocks<R, W>(d, k, window, src.weight);
            SpanSource rest = src;
            rest.u += k * src.du;
            Sampler8<F, kMap> sampler(rest);
            return k + blocks<R, W>(d + k, n - k, sampler, src.weight);
        }
    }
    Sampler8<F, kMap> sampler(src);
    return blocks<R, W>(d, n, sampler, src.weight);
}

// Every rule/weight pair of the span table, with every fetch kind.
#define TL_SPAN_AVX2_FETCH(R, W, F) \
    template int64_t spanAvx2Blocks<Rule::R, Weight::W, Fetch::F>(uint32_t*, int64_t, const SpanSource&);
#define TL_SPAN_AVX2(R, W)                   \
    TL_SPAN_AVX2_FETCH(R, W, Direct)         \
    TL_SPAN_AVX2_FETCH(R, W, RowNearest)     \
    TL_SPAN_AVX2_FETCH(R, W, RowBilinear)    \
    TL_SPAN_AVX2_FETCH(R, W, Nearest2D)      \
    TL_SPAN_AVX2_FETCH(R, W, Bilinear2D)
TL_SPAN_AVX2(Copy, None)
TL_SPAN_AVX2(Half, None)
TL_SPAN_AVX2(Weighted, Opacity)
TL_SPAN_AVX2(Weighted, Map)
TL_SPAN_AVX2(Weighted, SourceAlpha)
TL_SPAN_AVX2(Add, None)
TL_SPAN_AVX2(AddWeighted, Opacity)
TL_SPAN_AVX2(AddWeighted, Map)
TL_SPAN_AVX2(Sub, None)
TL_SPAN_AVX2(SubWeighted, Opacity)
TL_SPAN_AVX2(SubWeighted, Map)
TL_SPAN_AVX2(AverageHalves, None)

} // namespace blit
