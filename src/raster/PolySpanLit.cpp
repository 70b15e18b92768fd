// Span routines of the lit texture: the palette colour of the light index and the texel, met by
// one combine rule.
#include "raster/PolySpanTable.h"

namespace polyspan {

namespace {
template <bool kBilinear>
PolySpanFn findCombined(const SpanKey& key, bool simd)
{
    switch (key.combine) {
    case Combine::Sub:
        return key.texelAlpha ? findSpan<SrcLitTexture<kBilinear, Combine::Sub, true>>(key, simd)
                              : findSpan<SrcLitTexture<kBilinear, Combine::Sub, false>>(key, simd);
    case Combine::Mul:
        return key.texelAlpha ? findSpan<SrcLitTexture<kBilinear, Combine::Mul, true>>(key, simd)
                              : findSpan<SrcLitTexture<kBilinear, Combine::Mul, false>>(key, simd);
    case Combine::Add:
        return key.texelAlpha ? findSpan<SrcLitTexture<kBilinear, Combine::Add, true>>(key, simd)
                              : findSpan<SrcLitTexture<kBilinear, Combine::Add, false>>(key, simd);
    case Combine::Stencil: return findSpan<SrcLitTexture<kBilinear, Combine::Stencil, false>>(key, simd);
    case Combine::TexelWeight: return findSpan<SrcLitTexture<kBilinear, Combine::TexelWeight, false>>(key, simd);
    }
    return nullptr;
}
} // namespace

PolySpanFn findLitTextureSpan(const SpanKey& key, bool simd)
{
    if (key.source != Source::LitTexture) return nullptr;
    return key.bilinear ? findCombined<true>(key, simd) : findCombined<false>(key, simd);
}

} // namespace polyspan
