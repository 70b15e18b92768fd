// Choosing the pixel operation of a material and the span routine of a key.
#include "raster/PolySpan.h"

#include <cstddef>
#include <iterator>

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"
#include "raster/PolySpanTable.h"

namespace polyspan {

PixelOp choosePixelOp(int blendMode, int opacityKind, float opacity)
{
    const bool weighted = opacityKind == 20;
    if (blendMode == 0) {
        if (weighted) return PixelOp::Alpha;
        if (opacity == 0.5f) return PixelOp::Average;
        if (opacity == 1.0f) return PixelOp::Replace;
        return PixelOp::Alpha;
    }
    if (blendMode == 3) return weighted ? PixelOp::SubScaled : PixelOp::Sub;
    return weighted ? PixelOp::AddScaled : PixelOp::Add;
}

uint32_t modulationFactor(PixelOp op, uint32_t alpha)
{
    switch (op) {
    case PixelOp::Average: return 128;
    case PixelOp::Alpha:
    case PixelOp::AddScaled:
    case PixelOp::SubScaled: return alpha;
    default: return 256;
    }
}

namespace {

// The span loops of each source, one row per source in Source's order: the finder of its scalar
// twins and SSE2 loops (by `simd`) and the finder of its AVX2 loops, null where a key has none
// (the SSE2 loop stands in). A new source's row goes here.
struct SourceLoops {
    Source source;
    PolySpanFn (*find)(const SpanKey& key, bool simd);
    PolySpanFn (*findAvx2)(const SpanKey& key);
};
constexpr SourceLoops kSourceLoops[] = {
    {Source::Flat, findPaletteSpan, TL_AVX2_LOOP(findPaletteSpanAvx2)},
    {Source::Palette, findPaletteSpan, TL_AVX2_LOOP(findPaletteSpanAvx2)},
    {Source::PaletteWeight, findPaletteSpan, TL_AVX2_LOOP(findPaletteSpanAvx2)},
    {Source::Texture, findTextureSpan, TL_AVX2_LOOP(findTextureSpanAvx2)},
    {Source::Perspective, findTextureSpan, TL_AVX2_LOOP(findTextureSpanAvx2)},
    {Source::LitTexture, findLitTextureSpan, TL_AVX2_LOOP(findLitTextureSpanAvx2)},
};

constexpr bool inSourceOrder()
{
    for (size_t i = 0; i < std::size(kSourceLoops); ++i)
        if (size_t(kSourceLoops[i].source) != i) return false;
    return true;
}
static_assert(inSourceOrder(), "kSourceLoops holds one row per source, in Source's order");

} // namespace

PolySpanFn selectPolySpan(const SpanKey& key, SimdLevel level)
{
    if (size_t(key.source) >= std::size(kSourceLoops)) return nullptr;
    const SourceLoops& loops = kSourceLoops[size_t(key.source)];
    if (level == SimdLevel::Avx2 && simdLevelSupported(SimdLevel::Avx2) && loops.findAvx2)
        if (const PolySpanFn fn = loops.findAvx2(key)) return fn;
    return loops.find(key, level != SimdLevel::Scalar);
}

// The one place the filler asks the process-wide SIMD switch.
PolySpanFn selectPolySpan(const SpanKey& key) { return selectPolySpan(key, simdLevel()); }

} // namespace polyspan
