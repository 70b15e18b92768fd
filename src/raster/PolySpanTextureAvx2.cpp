// AVX2 span routines of the texture-only sources (PolySpanTexture.cpp's keys).
#include "raster/PolySpanAvx2.h"

namespace polyspan {

namespace {
template <template <bool, bool> class Src>
PolySpanFn findFiltered(const SpanKey& key)
{
    if (key.bilinear)
        return key.texelAlpha ? avx2::findSpan<Src<true, true>>(key) : avx2::findSpan<Src<true, false>>(key);
    return key.texelAlpha ? avx2::findSpan<Src<false, true>>(key) : avx2::findSpan<Src<false, false>>(key);
}
} // namespace

PolySpanFn findTextureSpanAvx2(const SpanKey& key)
{
    switch (key.source) {
    case Source::Texture: return findFiltered<SrcTexture>(key);
    case Source::Perspective: return findFiltered<SrcPerspective>(key);
    default: return nullptr;
    }
}

} // namespace polyspan
