// Span routines of the untextured sources: the flat colour, the palette by light index, and the
// palette weighed against the destination by the weight.
#include "raster/PolySpanTable.h"

namespace polyspan {

PolySpanFn findPaletteSpan(const SpanKey& key, bool simd)
{
    switch (key.source) {
    case Source::Flat: return findSpan<SrcFlat>(key, simd);
    case Source::Palette: return findSpan<SrcPalette>(key, simd);
    case Source::PaletteWeight: return findSpan<SrcPaletteWeight>(key, simd);
    default: return nullptr;
    }
}

} // namespace polyspan
