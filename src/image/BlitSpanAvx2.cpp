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

// Eight pixels p[c[0]] .. p[c[7]] into one register: broadcast loads kept by blends.
TL_TARGET_AVX2 inline __m256i gather8(const uint32_t* p, const int64_t c[8])
{
    const __m256i b01 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[0]])), _mm256_set1_epi32(int(p[c[1]])), 0x02);
    const __m256i b23 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[2]])), _mm256_set1_epi32(int(p[c[3]])), 0x08);
    const __m256i b45 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[4]])), _mm256_set1_epi32(int(p[c[5]])), 0x20);
    const __m256i b67 = _mm256_blend_epi32(_mm256_set1_epi32(int(p[c[6]])), _mm256_set1_epi32(int(p[c[7]])), 0x80);
    return _mm256_blend_epi32(_mm256_blend_epi32(b01, b23, 0x0C), _mm256_blend_epi32(b45, b67, 0xC0), 0xF0);
}

// The 16-bit fraction of a 16.16 position in all four 16-bit lanes of a 64-bit lane.
inline int64_t fraction4(int64_t c) { return int64_t(uint64_t(uint16_t(c)) * 0x0001000100010001u); }

// Fractions of the samples of the two bilinear groups (BlendKernelsAvx2.h): group 0 holds samples
// 0, 2, 4, 6 from position c stepped by dc, group 1 samples 1, 3, 5, 7. Stepping adds 8 dc to
// every lane; 16-bit lanes wrap exactly as the fraction of c + 8 dc does.
struct Fractions {
    __m256i lanes[2], step;
    TL_TARGET_AVX2 Fractions(int64_t c, int64_t dc)
    {
        for (int g = 0; g < 2; ++g)
            lanes[g] = _mm256_setr_epi64x(fraction4(c + g * dc), fraction4(c + (g + 2) * dc), fraction4(c + (g + 4) * dc),
                                          fraction4(c + (g + 6) * dc));
        step = _mm256_set1_epi16(int16_t(uint16_t(8 * dc)));
    }
    TL_TARGET_AVX2 void advance()
    {
        lanes[0] = _mm256_add_epi16(lanes[0], step);
        lanes[1] = _mm256_add_epi16(lanes[1], step);
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
        __m256i top[2], bottom[2], wTop[2], wBottom[2];
        for (int g = 0; g < 2; ++g) {
            top[g] = lanes64(load64(row + c[g]), load64(row + c[g + 2]), load64(row + c[g + 4]), load64(row + c[g + 6]));
            bottom[g] = lanes64(load64(below + c[g]), load64(below + c[g + 2]), load64(below + c[g + 4]),
                                load64(below + c[g + 6]));
            blend::avx2::bilinearWeights(fu.lanes[g], fv, wTop[g], wBottom[g]);
        }
        fu.advance();
        return blend::avx2::bilinearEight(top, bottom, wTop, wBottom);
    }
};

// Linear indices of the eight samples of a 2D step; u and v stepped once per sample.
struct Walk2D {
    int64_t width, u, v, du, dv;
    void next(int64_t idx[8])
    {
        for (int k = 0; k < 8; ++k) {
            idx[k] = whole(v) * width + whole(u);
            u += du;
            v += dv;
        }
    }
};

TL_TARGET_AVX2 inline __m256i checked8(const CheckedPixels& p, const int64_t i[8])
{
    return _mm256_setr_epi32(int(p.at(i[0])), int(p.at(i[1])), int(p.at(i[2])), int(p.at(i[3])), int(p.at(i[4])),
                             int(p.at(i[5])), int(p.at(i[6])), int(p.at(i[7])));
}

template <bool kMap>
struct Sampler8<Fetch::Nearest2D, kMap> {
    CheckedPixels src, map;
    Walk2D walk;
    explicit Sampler8(const SpanSource& s)
        : src{s.pixels, uint64_t(s.count)}, map{s.map, uint64_t(s.count)}, walk{s.width, s.u, s.v, s.du, s.dv}
    {
    }
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        int64_t idx[8];
        walk.next(idx);
        if constexpr (kMap) mo = checked8(map, idx);
        return checked8(src, idx);
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
    TL_TARGET_AVX2 __m256i eight(__m256i& mo)
    {
        int64_t idx[8];
        walk.next(idx);
        if constexpr (kMap) mo = checked8(map, idx);
        const int64_t w = walk.width;
        __m256i top[2], bottom[2], wTop[2], wBottom[2];
        for (int g = 0; g < 2; ++g) {
            top[g] = lanes64(src.pair(idx[g]), src.pair(idx[g + 2]), src.pair(idx[g + 4]), src.pair(idx[g + 6]));
            bottom[g] = lanes64(src.pair(idx[g] + w), src.pair(idx[g + 2] + w), src.pair(idx[g + 4] + w),
                                src.pair(idx[g + 6] + w));
            blend::avx2::bilinearWeights(fu.lanes[g], fv.lanes[g], wTop[g], wBottom[g]);
        }
        fu.advance();
        fv.advance();
        return blend::avx2::bilinearEight(top, bottom, wTop, wBottom);
    }
};

} // namespace

template <Rule R, Weight W, Fetch F>
TL_TARGET_AVX2 int64_t spanAvx2Blocks(uint32_t* d, int64_t n, const SpanSource& src)
{
    Sampler8<F, W == Weight::Map> sampler(src);
    const __m256i a16 = _mm256_set1_epi16(int16_t(src.weight));
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
