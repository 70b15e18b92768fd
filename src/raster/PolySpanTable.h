// The span tables of the polygon filler: for each source, one row per (operation, depth mode)
// it is drawn with, built once per SIMD level from the loops of that level. Internal to the
// PolySpan*.cpp files.
#pragma once

#include <cstddef>

#include "raster/PolySpanLoop.h"

namespace polyspan {

// --- tables ------------------------------------------------------------------------------------
// One row per (operation, depth mode) a source is drawn with: plain sources take every operation,
// weighing sources the three rules their weighted forms need (replace, add, subtract stand for
// their families), the texel-weighted combine only its own operation. Only replacing spans write
// depth.

// The loop of each level for (Src, Op, Dm), as Loop<Src, Op, Dm>::fn: the scalar twin and the
// SSE2 loop of PolySpanLoop.h, the AVX2 loop of PolySpanAvx2.h.
template <class Src, PixelOp Op, DepthMode Dm>
struct ScalarLoop {
    static constexpr PolySpanFn fn = &Span<Src, Op, Dm>::scalar;
};
template <class Src, PixelOp Op, DepthMode Dm>
struct Sse2Loop {
    static constexpr PolySpanFn fn = &Span<Src, Op, Dm>::simd;
};

struct SpanRow {
    PixelOp op;
    DepthMode depth;
    PolySpanFn fn;
};

template <template <class, PixelOp, DepthMode> class Loop, class Src, PixelOp Op, DepthMode Dm>
constexpr SpanRow spanRow()
{
    return {Op, Dm, Loop<Src, Op, Dm>::fn};
}

template <template <class, PixelOp, DepthMode> class Loop, class Src, PixelOp Op>
constexpr SpanRow offRow()
{
    return spanRow<Loop, Src, Op, DepthMode::Off>();
}
template <template <class, PixelOp, DepthMode> class Loop, class Src, PixelOp Op>
constexpr SpanRow testRow()
{
    return spanRow<Loop, Src, Op, Op == PixelOp::Replace ? DepthMode::TestWrite : DepthMode::Test>();
}

template <size_t N>
PolySpanFn pick(const SpanRow (&rows)[N], PixelOp op, DepthMode depth)
{
    for (const SpanRow& row : rows)
        if (row.op == op && row.depth == depth) return row.fn;
    return nullptr;
}

// The row of a key among the loops of one level.
template <template <class, PixelOp, DepthMode> class Loop, class Src>
PolySpanFn findSpanIn(const SpanKey& key)
{
    if constexpr (Src::kTexelWeight) {
        static constexpr SpanRow kRows[] = {
            spanRow<Loop, Src, PixelOp::TexelWeighted, DepthMode::Off>(),
            spanRow<Loop, Src, PixelOp::TexelWeighted, DepthMode::Test>(),
            spanRow<Loop, Src, PixelOp::TexelWeighted, DepthMode::TestWrite>(),
        };
        return pick(kRows, key.op, key.depth);
    } else if constexpr (Src::kModulated) {
        static constexpr SpanRow kRows[] = {
            offRow<Loop, Src, PixelOp::Replace>(),  offRow<Loop, Src, PixelOp::Add>(),
            offRow<Loop, Src, PixelOp::Sub>(),      testRow<Loop, Src, PixelOp::Replace>(),
            testRow<Loop, Src, PixelOp::Add>(),     testRow<Loop, Src, PixelOp::Sub>(),
            spanRow<Loop, Src, PixelOp::Replace, DepthMode::Test>(),
        };
        // The weighted forms fold each family onto one rule; the factor tells them apart.
        const PixelOp op = key.op == PixelOp::Add || key.op == PixelOp::AddScaled   ? PixelOp::Add
                           : key.op == PixelOp::Sub || key.op == PixelOp::SubScaled ? PixelOp::Sub
                           : key.op == PixelOp::TexelWeighted                        ? PixelOp::TexelWeighted
                                                                                     : PixelOp::Replace;
        return pick(kRows, op, key.depth);
    } else {
        static constexpr SpanRow kRows[] = {
            offRow<Loop, Src, PixelOp::Replace>(),    offRow<Loop, Src, PixelOp::Average>(),
            offRow<Loop, Src, PixelOp::Alpha>(),      offRow<Loop, Src, PixelOp::Add>(),
            offRow<Loop, Src, PixelOp::Sub>(),        offRow<Loop, Src, PixelOp::AddScaled>(),
            offRow<Loop, Src, PixelOp::SubScaled>(),  testRow<Loop, Src, PixelOp::Replace>(),
            testRow<Loop, Src, PixelOp::Average>(),   testRow<Loop, Src, PixelOp::Alpha>(),
            testRow<Loop, Src, PixelOp::Add>(),       testRow<Loop, Src, PixelOp::Sub>(),
            testRow<Loop, Src, PixelOp::AddScaled>(), testRow<Loop, Src, PixelOp::SubScaled>(),
        };
        return pick(kRows, key.op, key.depth);
    }
}

// The SSE2 loop (simd) or the scalar twin of a key.
template <class Src>
PolySpanFn findSpan(const SpanKey& key, bool simd)
{
    return simd ? findSpanIn<Sse2Loop, Src>(key) : findSpanIn<ScalarLoop, Src>(key);
}

// Per source family, in their own translation units.
PolySpanFn findPaletteSpan(const SpanKey& key, bool simd);
PolySpanFn findTextureSpan(const SpanKey& key, bool simd);
PolySpanFn findLitTextureSpan(const SpanKey& key, bool simd);
// Their AVX2 loops (PolySpan*Avx2.cpp), null where a key has none (the SSE2 loop stands in).
PolySpanFn findPaletteSpanAvx2(const SpanKey& key);
PolySpanFn findTextureSpanAvx2(const SpanKey& key);
PolySpanFn findLitTextureSpanAvx2(const SpanKey& key);

} // namespace polyspan
