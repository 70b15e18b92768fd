// AVX2 span routines of the untextured sources (PolySpanPalette.cpp's keys).
#include "raster/PolySpanAvx2.h"

namespace polyspan {

PolySpanFn findPaletteSpanAvx2(const SpanKey& key)
{
    switch (key.source) {
    case Source::Flat: return avx2::findSpan<SrcFlat>(key);
    case Source::Palette: return avx2::findSpan<SrcPalette>(key);
    case Source::PaletteWeight: return avx2::findSpan<SrcPaletteWeight>(key);
    default: return nullptr;
    }
}

} // namespace polyspan
