#include "fx2d/FxHVBlur.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "foundation/Report.h"
#include "fx2d/FxHVBlurAvx2.h"
#include "fx2d/FxHVBlurSpans.h"
#include "image/CImage32.h"
#include "image/KernelTable.h"
#include "image/PixelOps.h"

// Running window sums live in unsigned 16-bit saturating lanes: each step adds the entering pixel
// then subtracts the leaving one, both saturating (at 65535 and at 0). A clipped sum is never above
// the true one, so every mean stays within 0..255. Windows longer than 257 pixels can clip on bright
// lines; that is the filter's behaviour, not an overflow.

namespace {

const char* const kCaption = "FxHVBlur : ";
constexpr int kMaxWindow = 65536;

// ---- lane policies: eight 16-bit lanes hold the four channels of two pixels ----------------------

struct SimdLanes {
    using V = __m128i;     // 8 x u16
    using Bytes = __m128i; // low 8 bytes: two pixels

    // (sum * m) >> s computed as ((hi << left) | (lo >> right)) >> right2 from the 16x16-bit product
    // halves; a shift by k is the same with m = 2^(16 - k) and s = 16.
    struct Div {
        __m128i m, left, right, right2;
        explicit Div(const FxHVBlur::Divisor& d)
        {
            int mult = d.multiplier, s = d.shift;
            if (d.powerOfTwo) {
                mult = 1 << (16 - d.shift);
                s = 16;
            }
            m = _mm_set1_epi16(short(mult));
            left = _mm_cvtsi32_si128(s <= 16 ? 16 - s : 0);
            right = _mm_cvtsi32_si128(s <= 16 ? s : 16);
            right2 = _mm_cvtsi32_si128(s <= 16 ? 0 : s - 16);
        }
    };

    static V zero() { return _mm_setzero_si128(); }
    static Bytes bytes8(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
    static Bytes bytes4(const void* p)
    {
        int v;
        std::memcpy(&v, p, 4);
        return _mm_cvtsi32_si128(v);
    }
    static V widen(Bytes b) { return _mm_unpacklo_epi8(b, _mm_setzero_si128()); }
    static V loadSums(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void storeSums(uint16_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    // s = min(s + v, 65535) per lane
    static V add(V s, V v) { return _mm_adds_epu16(s, v); }
    // s = max(s - v, 0) per lane
    static V sub(V s, V v) { return _mm_subs_epu16(s, v); }
    static V divide(V s, const Div& d)
    {
        const __m128i hi = _mm_mulhi_epu16(s, d.m);
        const __m128i lo = _mm_mullo_epi16(s, d.m);
        return _mm_srl_epi16(_mm_or_si128(_mm_sll_epi16(hi, inLoop(d.left)), _mm_srl_epi16(lo, inLoop(d.right))),
                             inLoop(d.right2));
    }
    // WebAssembly's shifts take one count for all lanes, but its compiler (LLVM 14) recognises
    // that only for a count made in the loop's own block: hoisted out of the loop, the count
    // turns into one per lane and every shift into eight scalar ones. An empty asm statement
    // keeps the count where it is used; elsewhere it is the count itself.
    static __m128i inLoop(__m128i count)
    {
#if defined(__EMSCRIPTEN__)
        __asm__ volatile("" : "+r"(count));
#endif
        return count;
    }
    // normal: mean; add: min(in + mean, 255); subtract: max(in - mean, 0), per byte
    template <BlendMode Mode>
    static Bytes combine(V mean, Bytes in)
    {
        const __m128i m = _mm_packus_epi16(mean, mean);
        if constexpr (Mode == kBlendAdd) return _mm_adds_epu8(in, m);
        else if constexpr (Mode == kBlendSub) return _mm_subs_epu8(in, m);
        else return m;
    }
    static void put8(void* p, Bytes b) { _mm_storel_epi64(static_cast<__m128i*>(p), b); }
    static void put4(void* p, Bytes b)
    {
        const int v = _mm_cvtsi128_si32(b);
        std::memcpy(p, &v, 4);
    }
    static void putHalves(uint32_t* a, uint32_t* b, Bytes v)
    {
        *a = uint32_t(_mm_cvtsi128_si32(v));
        *b = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    }
};

struct ScalarLanes {
    struct V {
        uint16_t l[8];
    };
    using Bytes = uint64_t;
    using Div = FxHVBlur::Divisor;

    static V zero() { return V{}; }
    static Bytes bytes8(const void* p)
    {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    static Bytes bytes4(const void* p)
    {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static V widen(Bytes b)
    {
        V v;
        for (int i = 0; i < 8; ++i) v.l[i] = uint16_t((b >> (8 * i)) & 0xFF);
        return v;
    }
    static V loadSums(const uint16_t* p)
    {
        V v;
        std::memcpy(v.l, p, sizeof v.l);
        return v;
    }
    static void storeSums(uint16_t* p, const V& v) { std::memcpy(p, v.l, sizeof v.l); }
    static V add(V s, const V& v)
    {
        for (int i = 0; i < 8; ++i) s.l[i] = uint16_t(std::min(uint32_t(s.l[i]) + v.l[i], 65535u));
        return s;
    }
    static V sub(V s, const V& v)
    {
        for (int i = 0; i < 8; ++i) s.l[i] = s.l[i] > v.l[i] ? uint16_t(s.l[i] - v.l[i]) : uint16_t(0);
        return s;
    }
    static V divide(V s, const Div& d)
    {
        for (uint16_t& lane : s.l) lane = uint16_t(d.divide(lane));
        return s;
    }
    template <BlendMode Mode>
    static Bytes combine(const V& mean, Bytes in)
    {
        uint64_t out = 0;
        for (int i = 0; i < 8; ++i) {
            const int p = int((in >> (8 * i)) & 0xFF);
            int r = mean.l[i];
            if constexpr (Mode == kBlendAdd) r = std::min(p + r, 255);
            else if constexpr (Mode == kBlendSub) r = std::max(p - r, 0);
            out |= uint64_t(r) << (8 * i);
        }
        return out;
    }
    static void put8(void* p, Bytes b) { std::memcpy(p, &b, 8); }
    static void put4(void* p, Bytes b)
    {
        const uint32_t v = uint32_t(b);
        std::memcpy(p, &v, 4);
    }
    static void putHalves(uint32_t* a, uint32_t* b, Bytes v)
    {
        *a = uint32_t(v);
        *b = uint32_t(v >> 32);
    }
};

// ---- rows: two rows at a time, saved interleaved in `line` --------------------------------------

// The window of output x covers x - h + 1 .. x + h; `sum` holds it clipped to the line.
template <class L, BlendMode Mode>
struct RowPair {
    const uint64_t* line;
    uint32_t* rowA;
    uint32_t* rowB;
    int h;
    const typename L::Div& div;
    typename L::V sum;

    template <bool In, bool Out>
    void span(int from, int to)
    {
        for (int x = from; x < to; ++x) {
            if constexpr (In) sum = L::add(sum, L::widen(L::bytes8(line + x + h)));
            if constexpr (Out) sum = L::sub(sum, L::widen(L::bytes8(line + x - h)));
            L::putHalves(rowA + x, rowB + x, L::template combine<Mode>(L::divide(sum, div), L::bytes8(line + x)));
        }
    }

    void run(int len)
    {
        sum = L::zero();
        const int prefill = std::min(h, len);
        for (int x = 0; x < prefill; ++x) sum = L::add(sum, L::widen(L::bytes8(line + x)));
        const hvblur::WindowSpans w = hvblur::splitWindow(len, h);
        span<true, false>(0, w.first);
        if (w.both) span<true, true>(w.first, w.second);
        else span<false, false>(w.first, w.second);
        span<false, true>(w.second, len);
    }
};

template <class L, BlendMode Mode>
void blurRowsT(uint32_t* pixels, int width, int firstRow, int lastRow, int h, const typename L::Div& div,
               uint64_t* line)
{
    for (int y = firstRow; y <= lastRow; y += 2) {
        uint32_t* rowA = pixels + int64_t(y) * width;
        // An odd last row is paired with itself: both halves compute the same values.
        uint32_t* rowB = y + 1 <= lastRow ? rowA + width : rowA;
        for (int x = 0; x < width; ++x) line[x] = uint64_t(rowA[x]) | uint64_t(rowB[x]) << 32;
        RowPair<L, Mode>{line, rowA, rowB, h, div, L::zero()}.run(width);
    }
}

// ---- columns: a row at a time, running sums per column ------------------------------------------

template <class L, BlendMode Mode>
struct ColumnPass {
    uint32_t* pixels;
    int width;
    int height;
    int h;
    const typename L::Div& div;
    uint16_t* sums;     // width + 1 columns (the last is scratch for an odd width)
    uint32_t* saved;    // ring of ringRows unfiltered rows
    int ringRows;

    template <bool In, bool Out, bool Single>
    void step(uint32_t* row, const uint32_t* entering, uint32_t* slot, int x)
    {
        typename L::V s = L::loadSums(sums + 4 * x);
        if constexpr (In) s = L::add(s, L::widen(Single ? L::bytes4(entering + x) : L::bytes8(entering + x)));
        if constexpr (Out) s = L::sub(s, L::widen(Single ? L::bytes4(slot + x) : L::bytes8(slot + x)));
        L::storeSums(sums + 4 * x, s);
        const typename L::Bytes in = Single ? L::bytes4(row + x) : L::bytes8(row + x);
        const typename L::Bytes out = L::template combine<Mode>(L::divide(s, div), in);
        if constexpr (Single) {
            L::put4(slot + x, in);
            L::put4(row + x, out);
        } else {
            L::put8(slot + x, in);
            L::put8(row + x, out);
        }
    }

    // Rows from..to-1; the leaving row y - h is read from the ring slot that row y then takes over.
    template <bool In, bool Out>
    void span(int from, int to)
    {
        for (int y = from; y < to; ++y) {
            uint32_t* row = pixels + int64_t(y) * width;
            const uint32_t* entering = In ? pixels + int64_t(y + h) * width : nullptr;
            uint32_t* slot = saved + int64_t(y % ringRows) * width;
            int x = 0;
            for (; x + 2 <= width; x += 2) step<In, Out, false>(row, entering, slot, x);
            if (x < width) step<In, Out, true>(row, entering, slot, x);
        }
    }

    void run()
    {
        std::fill(sums, sums + 4 * (width + 1), uint16_t(0));
        const int prefill = std::min(h, height);
        for (int y = 0; y < prefill; ++y) {
            const uint32_t* row = pixels + int64_t(y) * width;
            int x = 0;
            for (; x + 2 <= width; x += 2)
                L::storeSums(sums + 4 * x, L::add(L::loadSums(sums + 4 * x), L::widen(L::bytes8(row + x))));
            if (x < width)
                L::storeSums(sums + 4 * x, L::add(L::loadSums(sums + 4 * x), L::widen(L::bytes4(row + x))));
        }
        const hvblur::WindowSpans w = hvblur::splitWindow(height, h);
        span<true, false>(0, w.first);
        if (w.both) span<true, true>(w.first, w.second);
        else span<false, false>(w.first, w.second);
        span<false, true>(w.second, height);
    }
};

template <class L, BlendMode Mode>
void rowsKernel(uint32_t* pixels, int width, int firstRow, int lastRow, int h, const FxHVBlur::Divisor& d,
                uint64_t* line)
{
    const typename L::Div div(d);
    blurRowsT<L, Mode>(pixels, width, firstRow, lastRow, h, div, line);
}

template <class L, BlendMode Mode>
void columnsKernel(uint32_t* pixels, int width, int height, int h, const FxHVBlur::Divisor& d, uint16_t* sums,
                   uint32_t* saved)
{
    const typename L::Div div(d);
    ColumnPass<L, Mode>{pixels, width, height, h, div, sums, saved, std::min(h, height)}.run();
}

// The loops by mode (the last row takes every other mode), along rows and along columns, at every
// SIMD level.
using RowsFn = void (*)(uint32_t*, int, int, int, int, const FxHVBlur::Divisor&, uint64_t*);
using ColumnsFn = void (*)(uint32_t*, int, int, int, const FxHVBlur::Divisor&, uint16_t*, uint32_t*);
struct BlurRow {
    int mode;
    RowsFn rows[kSimdLevelCount];
    ColumnsFn columns[kSimdLevelCount];
};
template <BlendMode Mode>
constexpr BlurRow loopsFor(int mode)
{
    return {mode,
            {&rowsKernel<ScalarLanes, Mode>, &rowsKernel<SimdLanes, Mode>, TL_AVX2_LOOP(&hvblur::rowsAvx2<Mode>)},
            {&columnsKernel<ScalarLanes, Mode>, &columnsKernel<SimdLanes, Mode>, TL_AVX2_LOOP(&hvblur::columnsAvx2<Mode>)}};
}
constexpr BlurRow kBlurLoops[] = {
    loopsFor<kBlendAdd>(int(kBlendAdd)),
    loopsFor<kBlendSub>(int(kBlendSub)),
    loopsFor<kBlendNormal>(kAnyMode),
};

} // namespace

FxHVBlur::Divisor FxHVBlur::Divisor::make(int size)
{
    Divisor d;
    d.n = std::min(size, kMaxWindow);
    if (d.n & 1) d.n += 1;
    if (d.n < 1) return d;
    int high = 0;
    while ((d.n >> (high + 1)) != 0) ++high;
    if ((d.n & (d.n - 1)) == 0) {
        d.powerOfTwo = true;
        d.shift = high;
        return d;
    }
    d.shift = high + 8;
    const int64_t scaled = int64_t(1) << d.shift;
    d.multiplier = int(scaled / d.n);
    if (2 * (scaled % d.n) > d.n) d.multiplier += 1; // fractional part above one half rounds up
    return d;
}

FxHVBlur::FxHVBlur(int width, int height) : FxEffect(kCaption, width, height), m_divisor(Divisor::make(64))
{
    if (width <= 0) reportWarning(kCaption, "width <= 0");
    if (height <= 0) reportWarning(kCaption, "height <= 0");
    if (!usable()) return;
    m_line.resize(size_t(width) * 4);
    m_columnSums.resize(size_t(width + 1) * 4);
    m_savedRows.resize(size_t(width) * size_t(height));
}

void FxHVBlur::setSize(int size)
{
    m_divisor = Divisor::make(size);
}

bool FxHVBlur::ready() const
{
    if (!m_pScreen) return reportWarning(kCaption, "m_pScreen NULL", false);
    return m_pScreen->m_pPixels && !m_line.empty();
}

void FxHVBlur::apply()
{
    if (!ready()) return;
    if (m_divisor.n < 1) return applyWithoutWindow(m_pScreen->m_pPixels, int64_t(m_width) * m_height);
    if (m_direction == Direction::Horizontal) return blurRows(0, m_height - 1, m_divisor);
    const ColumnsFn columns = loopForLevel(rowForMode(kBlurLoops, m_mode).columns, simdLevel());
    columns(m_pScreen->m_pPixels, m_width, m_height, m_divisor.n / 2, m_divisor, m_columnSums.data(),
            m_savedRows.data());
}

void FxHVBlur::blurRow(int y, int size)
{
    if (!ready() || y < 0 || y >= m_height) return;
    const Divisor divisor = Divisor::make(size);
    if (divisor.n < 1) applyWithoutWindow(m_pScreen->m_pPixels + int64_t(y) * m_width, m_width);
    else blurRows(y, y, divisor);
}

void FxHVBlur::applyWithoutWindow(uint32_t* pixels, int64_t count) const
{
    if (m_mode == kBlendAdd) pixelops::addSaturate(pixels, count, pixels);
    else if (m_mode == kBlendSub) std::fill(pixels, pixels + count, 0u);
}

void FxHVBlur::blurRows(int firstRow, int lastRow, const Divisor& divisor)
{
    // The AVX2 loop filters four rows at a time: a single row takes the SSE2 one.
    const SimdLevel level = firstRow == lastRow ? std::min(simdLevel(), SimdLevel::Sse2) : simdLevel();
    const RowsFn rows = loopForLevel(rowForMode(kBlurLoops, m_mode).rows, level);
    rows(m_pScreen->m_pPixels, m_width, firstRow, lastRow, divisor.n / 2, divisor, m_line.data());
}
