// Span loops: one loop shape (four pixels per SSE2 step, the scalar twin for the tail and for the
// scalar level), instantiated per rule, weight source and fetch kind into one table, whose AVX2
// column runs the eight-pixel loops of BlitSpanAvx2.cpp and ends each span here.
#include "image/BlitSpan.h"

#include <utility>

#include "image/BlitInternal.h"
#include "image/BlitSpanAvx2.h"
#include "image/KernelTable.h"

namespace blit {

using blend::Rule;
using blend::Weight;

namespace {

// 16.16 coordinate -> integer part and 12-bit fraction (the bilinear weights' precision).
inline int64_t whole(int64_t c) { return c >> 16; }
inline uint32_t frac12(int64_t c) { return uint32_t(c >> 4) & 0xFFF; }

using blend::sse2::bilinearFour;
using blend::sse2::load2;

// ---------------------------------------------------------------------------------------------
// Samplers: one() returns the sample at the current position and steps once; four() returns
// four samples and steps four times. With kMap they also return the alpha-map pixel at the
// nearest position (the filter applies to the source only).

template <Fetch F, bool kMap>
struct Sampler;

template <bool kMap>
struct Sampler<Fetch::Direct, kMap> {
    const uint32_t* p;
    const uint32_t* m;
    explicit Sampler(const SpanSource& s) : p(s.pixels), m(s.map) {}
    uint32_t one(uint32_t& mo)
    {
        if constexpr (kMap) mo = *m++;
        return *p++;
    }
    __m128i four(__m128i& mo)
    {
        if constexpr (kMap) mo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m)), m += 4;
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        p += 4;
        return s;
    }
};

template <bool kMap>
struct Sampler<Fetch::RowNearest, kMap> {
    const uint32_t* row;
    const uint32_t* mrow;
    int64_t u, du;
    explicit Sampler(const SpanSource& s)
        : row(s.pixels + whole(s.v) * s.width), mrow(kMap ? s.map + whole(s.v) * s.width : nullptr), u(s.u),
          du(s.du)
    {
    }
    uint32_t one(uint32_t& mo)
    {
        const int64_t c = whole(u);
        u += du;
        if constexpr (kMap) mo = mrow[c];
        return row[c];
    }
    __m128i four(__m128i& mo)
    {
        const int64_t c0 = whole(u), c1 = whole(u + du), c2 = whole(u + 2 * du), c3 = whole(u + 3 * du);
        u += 4 * du;
        if constexpr (kMap) mo = _mm_setr_epi32(int(mrow[c0]), int(mrow[c1]), int(mrow[c2]), int(mrow[c3]));
        return _mm_setr_epi32(int(row[c0]), int(row[c1]), int(row[c2]), int(row[c3]));
    }
};

template <bool kMap>
struct Sampler<Fetch::RowBilinear, kMap> {
    const uint32_t* row;
    const uint32_t* below;
    const uint32_t* mrow;
    int64_t u, du;
    uint32_t fy;
    __m128i uLanes, du4, fyLanes;  // low 32 bits of u for the next four samples
    explicit Sampler(const SpanSource& s)
        : row(s.pixels + whole(s.v) * s.width), below(row + s.width),
          mrow(kMap ? s.map + whole(s.v) * s.width : nullptr), u(s.u), du(s.du), fy(frac12(s.v))
    {
        uLanes = _mm_setr_epi32(int(uint32_t(u)), int(uint32_t(u + du)), int(uint32_t(u + 2 * du)),
                                int(uint32_t(u + 3 * du)));
        du4 = _mm_set1_epi32(int(uint32_t(4 * du)));
        fyLanes = _mm_set1_epi32(int(fy));
    }
    uint32_t one(uint32_t& mo)
    {
        const int64_t c = whole(u);
        const uint32_t fx = frac12(u);
        u += du;
        if constexpr (kMap) mo = mrow[c];
        return blend::scalar::bilinear(row[c], row[c + 1], below[c], below[c + 1], fx, fy);
    }
    __m128i four(__m128i& mo)
    {
        const int64_t c0 = whole(u), c1 = whole(u + du), c2 = whole(u + 2 * du), c3 = whole(u + 3 * du);
        u += 4 * du;
        const __m128i fx = _mm_and_si128(_mm_srli_epi32(uLanes, 4), _mm_set1_epi32(0xFFF));
        uLanes = _mm_add_epi32(uLanes, du4);
        if constexpr (kMap) mo = _mm_setr_epi32(int(mrow[c0]), int(mrow[c1]), int(mrow[c2]), int(mrow[c3]));
        const __m128i top[4] = {load2(row + c0), load2(row + c1), load2(row + c2), load2(row + c3)};
        const __m128i bottom[4] = {load2(below + c0), load2(below + c1), load2(below + c2), load2(below + c3)};
        return bilinearFour(top, bottom, fx, fyLanes);
    }
};

// Checked 2D fetches: any linear index outside the image reads as 0.
struct Checked : CheckedPixels {
    // Pixels i and i + 1 in the low 64 bits.
    __m128i pair2(int64_t i) const
    {
        if (pairInside(i)) return load2(p + i);
        return _mm_setr_epi32(int(at(i)), int(at(i + 1)), 0, 0);
    }
};

template <bool kMap>
struct Sampler<Fetch::Nearest2D, kMap> {
    Checked src, map;
    int64_t width, u, v, du, dv;
    explicit Sampler(const SpanSource& s)
        : src{{s.pixels, uint64_t(s.count)}}, map{{s.map, uint64_t(s.count)}}, width(s.width), u(s.u), v(s.v),
          du(s.du), dv(s.dv)
    {
    }
    uint32_t one(uint32_t& mo)
    {
        const int64_t i = whole(v) * width + whole(u);
        u += du;
        v += dv;
        if constexpr (kMap) mo = map.at(i);
        return src.at(i);
    }
    __m128i four(__m128i& mo)
    {
        uint32_t m[4] = {}, s[4];
        for (int k = 0; k < 4; ++k) s[k] = one(m[k]);
        if constexpr (kMap) mo = _mm_setr_epi32(int(m[0]), int(m[1]), int(m[2]), int(m[3]));
        return _mm_setr_epi32(int(s[0]), int(s[1]), int(s[2]), int(s[3]));
    }
};

template <bool kMap>
struct Sampler<Fetch::Bilinear2D, kMap> {
    Checked src, map;
    int64_t width, u, v, du, dv;
    __m128i uLanes, vLanes, du4, dv4;  // low 32 bits of u and v for the next four samples
    explicit Sampler(const SpanSource& s)
        : src{{s.pixels, uint64_t(s.count)}}, map{{s.map, uint64_t(s.count)}}, width(s.width), u(s.u), v(s.v),
          du(s.du), dv(s.dv)
    {
        uLanes = _mm_setr_epi32(int(uint32_t(u)), int(uint32_t(u + du)), int(uint32_t(u + 2 * du)),
                                int(uint32_t(u + 3 * du)));
        vLanes = _mm_setr_epi32(int(uint32_t(v)), int(uint32_t(v + dv)), int(uint32_t(v + 2 * dv)),
                                int(uint32_t(v + 3 * dv)));
        du4 = _mm_set1_epi32(int(uint32_t(4 * du)));
        dv4 = _mm_set1_epi32(int(uint32_t(4 * dv)));
    }
    uint32_t one(uint32_t& mo)
    {
        const int64_t i = whole(v) * width + whole(u);
        const uint32_t fx = frac12(u), fy = frac12(v);
        u += du;
        v += dv;
        if constexpr (kMap) mo = map.at(i);
        return blend::scalar::bilinear(src.at(i), src.at(i + 1), src.at(i + width), src.at(i + width + 1), fx, fy);
    }
    __m128i four(__m128i& mo)
    {
        int64_t idx[4];
        for (int k = 0; k < 4; ++k) {
            idx[k] = whole(v) * width + whole(u);
            u += du;
            v += dv;
        }
        const __m128i mask12 = _mm_set1_epi32(0xFFF);
        const __m128i fx = _mm_and_si128(_mm_srli_epi32(uLanes, 4), mask12);
        const __m128i fy = _mm_and_si128(_mm_srli_epi32(vLanes, 4), mask12);
        uLanes = _mm_add_epi32(uLanes, du4);
        vLanes = _mm_add_epi32(vLanes, dv4);
        if constexpr (kMap)
            mo = _mm_setr_epi32(int(map.at(idx[0])), int(map.at(idx[1])), int(map.at(idx[2])), int(map.at(idx[3])));
        const __m128i top[4] = {src.pair2(idx[0]), src.pair2(idx[1]), src.pair2(idx[2]), src.pair2(idx[3])};
        const __m128i bottom[4] = {src.pair2(idx[0] + width), src.pair2(idx[1] + width), src.pair2(idx[2] + width),
                                   src.pair2(idx[3] + width)};
        return bilinearFour(top, bottom, fx, fy);
    }
};

// ---------------------------------------------------------------------------------------------
// The loop shape, written once.

template <Rule R, Weight W, Fetch F>
void spanSimd(uint32_t* d, int64_t n, const SpanSource& src)
{
    Sampler<F, W == Weight::Map> sampler(src);
    const __m128i a16 = _mm_set1_epi16(int16_t(src.weight));
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i m = _mm_setzero_si128();
        const __m128i s = sampler.four(m);
        __m128i* q = reinterpret_cast<__m128i*>(d + i);
        if constexpr (R == Rule::Copy) _mm_storeu_si128(q, s);
        else _mm_storeu_si128(q, blend::blend4<R, W>(_mm_loadu_si128(q), s, m, a16));
    }
    for (; i < n; ++i) {
        uint32_t m = 0;
        const uint32_t s = sampler.one(m);
        d[i] = blend::blend1<R, W>(d[i], s, m, src.weight);
    }
}

// The AVX2 loop's whole blocks of eight, then the SSE2 loop from where they end.
template <Rule R, Weight W, Fetch F>
void spanAvx2(uint32_t* d, int64_t n, const SpanSource& src)
{
    const int64_t done = spanAvx2Blocks<R, W, F>(d, n, src);
    if (done == n) return;
    SpanSource rest = src;
    if constexpr (F == Fetch::Direct) {
        rest.pixels += done;
        if (rest.map) rest.map += done;
    } else {
        rest.u += done * src.du;
        if constexpr (F == Fetch::Nearest2D || F == Fetch::Bilinear2D) rest.v += done * src.dv;
    }
    spanSimd<R, W, F>(d + done, n - done, rest);
}

template <Rule R, Weight W, Fetch F>
void spanScalar(uint32_t* d, int64_t n, const SpanSource& src)
{
    Sampler<F, W == Weight::Map> sampler(src);
    for (int64_t i = 0; i < n; ++i) {
        uint32_t m = 0;
        const uint32_t s = sampler.one(m);
        d[i] = blend::blend1<R, W>(d[i], s, m, src.weight);
    }
}

// The table: one row per rule/weight pair of the family, each with every fetch kind at every level.
struct KernelRow {
    Rule rule;
    Weight weight;
    SpanFn loops[kFetchCount][kSimdLevelCount];  // [fetch][level]
};

template <Rule R, Weight W, size_t... F>
constexpr KernelRow makeRow(std::index_sequence<F...>)
{
    return {R, W, {{&spanScalar<R, W, Fetch(F)>, &spanSimd<R, W, Fetch(F)>, TL_AVX2_LOOP(&spanAvx2<R, W, Fetch(F)>)}...}};
}
template <Rule R, Weight W>
constexpr KernelRow row()
{
    return makeRow<R, W>(std::make_index_sequence<kFetchCount>());
}

constexpr KernelRow kKernels[] = {
    row<Rule::Copy, Weight::None>(),
    row<Rule::Half, Weight::None>(),
    row<Rule::Weighted, Weight::Opacity>(),
    row<Rule::Weighted, Weight::Map>(),
    row<Rule::Weighted, Weight::SourceAlpha>(),
    row<Rule::Add, Weight::None>(),
    row<Rule::AddWeighted, Weight::Opacity>(),
    row<Rule::AddWeighted, Weight::Map>(),
    row<Rule::Sub, Weight::None>(),
    row<Rule::SubWeighted, Weight::Opacity>(),
    row<Rule::SubWeighted, Weight::Map>(),
    row<Rule::AverageHalves, Weight::None>(),
};

} // namespace

SpanFn selectSpan(Rule rule, Weight weight, Fetch fetch, SimdLevel level)
{
    for (const KernelRow& k : kKernels)
        if (k.rule == rule && k.weight == weight) return loopForLevel(k.loops[int(fetch)], level);
    return nullptr;
}

SpanFn selectSpan(Rule rule, Weight weight, Fetch fetch)
{
    return selectSpan(rule, weight, fetch, simdLevel());
}

} // namespace blit
