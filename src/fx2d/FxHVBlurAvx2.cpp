// The box blur's AVX2 loops: four pixels of 16-bit channel sums per vector. Along rows, four rows
// are interleaved (a column's four pixels side by side), so each running sum step serves four
// rows; along columns, four columns per step.
#include "fx2d/FxHVBlurAvx2.h"
#include "fx2d/FxHVBlurSpans.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "image/Transpose4.h"

namespace hvblur {
namespace {

// (sum * m) >> s from the 16 x 16-bit product halves; a shift by k is the same with
// m = 2^(16 - k) and s = 16.
struct Div {
    __m256i m;
    __m128i left, right, right2;
};

TL_TARGET_AVX2 Div makeDiv(const FxHVBlur::Divisor& d)
{
    int mult = d.multiplier, s = d.shift;
    if (d.powerOfTwo) {
        mult = 1 << (16 - d.shift);
        s = 16;
    }
    return {_mm256_set1_epi16(short(mult)), _mm_cvtsi32_si128(s <= 16 ? 16 - s : 0), _mm_cvtsi32_si128(s <= 16 ? s : 16),
            _mm_cvtsi32_si128(s <= 16 ? 0 : s - 16)};
}

// A power-of-two window: a plain shift.
struct DivShift {
    __m128i shift;
};

TL_TARGET_AVX2 __m256i divide(__m256i s, const DivShift& d)
{
    return _mm256_srl_epi16(s, d.shift);
}

TL_TARGET_AVX2 __m256i divide(__m256i s, const Div& d)
{
    const __m256i hi = _mm256_mulhi_epu16(s, d.m);
    const __m256i lo = _mm256_mullo_epi16(s, d.m);
    return _mm256_srl_epi16(_mm256_or_si256(_mm256_sll_epi16(hi, d.left), _mm256_srl_epi16(lo, d.right)), d.right2);
}

TL_TARGET_AVX2 __m256i widen(const void* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(static_cast<const __m128i*>(p)));
}

// normal: mean; add: min(in + mean, 255); subtract: max(in - mean, 0), per byte (16 bytes)
template <BlendMode Mode>
TL_TARGET_AVX2 __m128i combine(__m256i mean, __m128i in)
{
    const __m128i m = _mm_packus_epi16(_mm256_castsi256_si128(mean), _mm256_extracti128_si256(mean, 1));
    if constexpr (Mode == kBlendAdd) return _mm_adds_epu8(in, m);
    else if constexpr (Mode == kBlendSub) return _mm_subs_epu8(in, m);
    else return m;
}

// Four rows to or from a line of columns (16 bytes per column: row 0's pixel first).
TL_TARGET_AVX2 void interleave(uint32_t* const* rows, int width, uint32_t* line)
{
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        __m128i r[4];
        for (int j = 0; j < 4; ++j) r[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[j] + x));
        transpose4(r);
        for (int j = 0; j < 4; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(line + 4 * (x + j)), r[j]);
    }
    for (; x < width; ++x)
        for (int j = 0; j < 4; ++j) line[4 * x + j] = rows[j][x];
}

TL_TARGET_AVX2 void deinterleave(const uint32_t* line, int width, uint32_t* const* rows)
{
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        __m128i r[4];
        for (int j = 0; j < 4; ++j) r[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 4 * (x + j)));
        transpose4(r);
        for (int j = 0; j < 4; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[j] + x), r[j]);
    }
    for (; x < width; ++x)
        for (int j = 0; j < 4; ++j) rows[j][x] = line[4 * x + j];
}

// The window of output x covers x - h + 1 .. x + h; sums clip to the line.
template <BlendMode Mode, bool In, bool Out, class D>
TL_TARGET_AVX2 __m256i span(const uint32_t* line, uint32_t* out, int h, const D& div, __m256i sum, int from, int to)
{
    for (int x = from; x < to; ++x) {
        if constexpr (In) sum = _mm256_adds_epu16(sum, widen(line + 4 * (x + h)));
        if constexpr (Out) sum = _mm256_subs_epu16(sum, widen(line + 4 * (x - h)));
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), combine<Mode>(divide(sum, div), in));
    }
    return sum;
}

template <BlendMode Mode, class D>
TL_TARGET_AVX2 void rowsT(uint32_t* pixels, int width, int firstRow, int lastRow, int h, const D& div,
                          uint64_t* lineWords)
{
    uint32_t* line = reinterpret_cast<uint32_t*>(lineWords);
    uint32_t* out = line + 4 * int64_t(width);
    for (int y = firstRow; y <= lastRow; y += 4) {
        // Rows past the last repeat it: they compute its values again.
        uint32_t* rows[4];
        for (int j = 0; j < 4; ++j) rows[j] = pixels + int64_t(std::min(y + j, lastRow)) * width;
        interleave(rows, width, line);
        __m256i sum = _mm256_setzero_si256();
        const int prefill = std::min(h, width);
        for (int x = 0; x < prefill; ++x) sum = _mm256_adds_epu16(sum, widen(line + 4 * x));
        const WindowSpans w = splitWindow(width, h);
        sum = span<Mode, true, false>(line, out, h, div, sum, 0, w.first);
        if (w.both) sum = span<Mode, true, true>(line, out, h, div, sum, w.first, w.second);
        else sum = span<Mode, false, false>(line, out, h, div, sum, w.first, w.second);
        span<Mode, false, true>(line, out, h, div, sum, w.second, width);
        deinterleave(out, width, rows);
    }
}

} // namespace

template <BlendMode Mode>
TL_TARGET_AVX2 void rowsAvx2(uint32_t* pixels, int width, int firstRow, int lastRow, int h,
                             const FxHVBlur::Divisor& d, uint64_t* line)
{
    if (d.powerOfTwo) rowsT<Mode>(pixels, width, firstRow, lastRow, h, DivShift{_mm_cvtsi32_si128(d.shift)}, line);
    else rowsT<Mode>(pixels, width, firstRow, lastRow, h, makeDiv(d), line);
}

namespace {

// Columns x .. x + Pixels - 1 of one row (Pixels 4, 2 or 1).
template <BlendMode Mode, bool In, bool Out, int Pixels, class D>
TL_TARGET_AVX2 void columnStep(uint32_t* row, const uint32_t* entering, uint32_t* slot, uint16_t* sums, int x,
                               const D& div)
{
    __m128i in, enter = _mm_setzero_si128(), leave = _mm_setzero_si128();
    if constexpr (Pixels == 4) {
        in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        if constexpr (In) enter = _mm_loadu_si128(reinterpret_cast<const __m128i*>(entering + x));
        if constexpr (Out) leave = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slot + x));
    } else if constexpr (Pixels == 2) {
        in = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x));
        if constexpr (In) enter = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(entering + x));
        if constexpr (Out) leave = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(slot + x));
    } else {
        in = _mm_cvtsi32_si128(int(row[x]));
        if constexpr (In) enter = _mm_cvtsi32_si128(int(entering[x]));
        if constexpr (Out) leave = _mm_cvtsi32_si128(int(slot[x]));
    }
    // Lanes beyond Pixels are computed, never stored (the sums' spare column keeps the loads inside).
    __m256i s;
    if constexpr (Pixels == 4) s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 4 * x));
    else s = _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * x)));
    if constexpr (In) s = _mm256_adds_epu16(s, _mm256_cvtepu8_epi16(enter));
    if constexpr (Out) s = _mm256_subs_epu16(s, _mm256_cvtepu8_epi16(leave));
    const __m128i out = combine<Mode>(divide(s, div), in);
    if constexpr (Pixels == 4) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + 4 * x), s);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(slot + x), in);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), out);
    } else if constexpr (Pixels == 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * x), _mm256_castsi256_si128(s));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(slot + x), in);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row + x), out);
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(sums + 4 * x), _mm256_castsi256_si128(s));
        slot[x] = uint32_t(_mm_cvtsi128_si32(in));
        row[x] = uint32_t(_mm_cvtsi128_si32(out));
    }
}

// Rows from..to-1; the leaving row y - h is read from the ring slot that row y then takes over.
template <BlendMode Mode, bool In, bool Out, class D>
TL_TARGET_AVX2 void columnSpan(uint32_t* pixels, int width, int h, uint16_t* sums, uint32_t* saved, int ringRows,
                               const D& div, int from, int to)
{
    for (int y = from; y < to; ++y) {
        uint32_t* row = pixels + int64_t(y) * width;
        const uint32_t* entering = In ? pixels + int64_t(y + h) * width : nullptr;
        uint32_t* slot = saved + int64_t(y % ringRows) * width;
        int x = 0;
        for (; x + 4 <= width; x += 4) columnStep<Mode, In, Out, 4, D>(row, entering, slot, sums, x, div);
        if (x + 2 <= width) {
            columnStep<Mode, In, Out, 2, D>(row, entering, slot, sums, x, div);
            x += 2;
        }
        if (x < width) columnStep<Mode, In, Out, 1, D>(row, entering, slot, sums, x, div);
    }
}

template <BlendMode Mode, class D>
TL_TARGET_AVX2 void columnsT(uint32_t* pixels, int width, int height, int h, const D& div, uint16_t* sums,
                             uint32_t* saved)
{
    const int ringRows = std::min(h, height);
    std::fill(sums, sums + 4 * (width + 1), uint16_t(0));
    for (int y = 0; y < ringRows; ++y) {
        const uint32_t* row = pixels + int64_t(y) * width;
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            __m256i* s = reinterpret_cast<__m256i*>(sums + 4 * x);
            _mm256_storeu_si256(s, _mm256_adds_epu16(_mm256_loadu_si256(s), widen(row + x)));
        }
        for (; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                sums[4 * x + c] = uint16_t(std::min(int(sums[4 * x + c]) + int((row[x] >> (8 * c)) & 0xFF), 65535));
    }
    const WindowSpans w = splitWindow(height, h);
    columnSpan<Mode, true, false>(pixels, width, h, sums, saved, ringRows, div, 0, w.first);
    if (w.both) columnSpan<Mode, true, true>(pixels, width, h, sums, saved, ringRows, div, w.first, w.second);
    else columnSpan<Mode, false, false>(pixels, width, h, sums, saved, ringRows, div, w.first, w.second);
    columnSpan<Mode, false, true>(pixels, width, h, sums, saved, ringRows, div, w.second, height);
}

} // namespace

template <BlendMode Mode>
TL_TARGET_AVX2 void columnsAvx2(uint32_t* pixels, int width, int height, int h, const FxHVBlur::Divisor& d,
                                uint16_t* sums, uint32_t* saved)
{
    if (d.powerOfTwo) columnsT<Mode>(pixels, width, height, h, DivShift{_mm_cvtsi32_si128(d.shift)}, sums, saved);
    else columnsT<Mode>(pixels, width, height, h, makeDiv(d), sums, saved);
}

#define TL_BLUR_MODE(M)                                                                                          \
    template void rowsAvx2<M>(uint32_t*, int, int, int, int, const FxHVBlur::Divisor&, uint64_t*);              \
    template void columnsAvx2<M>(uint32_t*, int, int, int, const FxHVBlur::Divisor&, uint16_t*, uint32_t*);
TL_BLUR_MODE(kBlendNormal)
TL_BLUR_MODE(kBlendAdd)
TL_BLUR_MODE(kBlendSub)
#undef TL_BLUR_MODE

} // namespace hvblur
