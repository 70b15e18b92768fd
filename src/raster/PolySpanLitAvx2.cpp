// AVX2 span routines of the lit texture (PolySpanLit.cpp's keys).
#include "raster/PolySpanAvx2.h"

namespace polyspan {

namespace {
template <bool kBilinear, Combine C>
PolySpanFn findAlpha(const SpanKey& key)
{
    return key.texelAlpha ? avx2::findSpan<SrcLitTexture<kBilinear, C, true>>(key)
                          : avx2::findSpan<SrcLitTexture<kBilinear, C, false>>(key);
}

template <bool kBilinear>
PolySpanFn findCombined(const SpanKey& key)
{
    switch (key.combine) {
    case Combine::Sub: return findAlpha<kBilinear, Combine::Sub>(key);
    case Combine::Mul: return findAlpha<kBilinear, Combine::Mul>(key);
    case Combine::Add: return findAlpha<kBilinear, Combine::Add>(key);
    case Combine::Stencil: return avx2::findSpan<SrcLitTexture<kBilinear, Combine::Stencil, false>>(key);
    case Combine::TexelWeight: return avx2::findSpan<SrcLitTexture<kBilinear, Combine::TexelWeight, false>>(key);
    }
    return nullptr;
}
} // namespace

PolySpanFn findLitTextureSpanAvx2(const SpanKey& key)
{
    if (key.source != Source::LitTexture) return nullptr;
    return key.bilinear ? findCombined<true>(key) : findCombined<false>(key);
}

} // namespace polyspan
