// Span routines of the texture-only sources: affine (16.16 u, v) and perspective (u w, v w, w as
// floats), nearest or bilinear, with or without the texel's own opacity.
#include "raster/PolySpanTable.h"

namespace polyspan {

namespace {
template <template <bool, bool> class Src>
PolySpanFn findFiltered(const SpanKey& key, bool simd)
{
    if (key.bilinear)
        return key.texelAlpha ? findSpan<Src<true, true>>(key, simd) : findSpan<Src<true, false>>(key, simd);
    return key.texelAlpha ? findSpan<Src<false, true>>(key, simd) : findSpan<Src<false, false>>(key, simd);
}
} // namespace

PolySpanFn findTextureSpan(const SpanKey& key, bool simd)
{
    switch (key.source) {
    case Source::Texture: return findFiltered<SrcTexture>(key, simd);
    case Source::Perspective: return findFiltered<SrcPerspective>(key, simd);
    default: return nullptr;
    }
}

} // namespace polyspan
