// The same-size blits (the layer mixes): source and destination of equal size, pixel for pixel,
// one direct span over width x height pixels in memory order.
#include <string>

#include "image/BlitInternal.h"
#include "image/CImage32.h"

using blend::Rule;
using blend::Weight;

namespace {

enum class Width { Any, Even };

// Checks the sizes (and the width where required) with fatal reports through the source's error(),
// then blends the whole image with one span loop. (error() is a reporting slot that leaves the
// image unchanged, hence the const_cast on the const source.)
void sameSize(const CImage32& src, CImage32* dest, const char* name, Width width, Rule rule, Weight weight,
              const CImage32* map, float opacity)
{
    if (!dest) return;
    if (dest->m_width != src.m_width || dest->m_height != src.m_height)
        return const_cast<CImage32&>(src).error((std::string(name) + ": must be same dimensions").c_str());
    if (width == Width::Even && (src.m_width & 1))
        return const_cast<CImage32&>(src).error((std::string(name) + ": width must be even").c_str());
    const int64_t n = src.pixelCount();
    if (n <= 0 || dest->pixelCount() <= 0) return;
    // The map is taken to have the source's size; one with fewer pixels is not read past its end.
    if (weight == Weight::Map && (!map || map->pixelCount() < n)) return;

    blit::SpanSource s;
    s.pixels = src.m_pPixels;
    s.map = weight == Weight::Map ? map->m_pPixels : nullptr;
    s.width = src.m_width;
    s.count = n;
    s.weight = uint32_t(blend::opacityWeight(opacity));
    blit::selectSpan(rule, weight, blit::Fetch::Direct)(dest->m_pPixels, n, s);
}

} // namespace

void CImage32::blit(CImage32* dest) const
{
    sameSize(*this, dest, "blit", Width::Any, Rule::Copy, Weight::None, nullptr, 1.0f);
}

void CImage32::blitTransDiv(CImage32* dest) const
{
    sameSize(*this, dest, "blitTransDiv", Width::Even, Rule::AverageHalves, Weight::None, nullptr, 1.0f);
}

void CImage32::blitAlpha(CImage32* dest, float opacity) const
{
    sameSize(*this, dest, "blitAlpha", Width::Even, Rule::Weighted, Weight::Opacity, nullptr, opacity);
}

void CImage32::blitAlpha(CImage32* dest) const
{
    // Weighted with the source's own top byte; the alpha flag is not consulted.
    sameSize(*this, dest, "blitAlpha", Width::Any, Rule::Weighted, Weight::SourceAlpha, nullptr, 1.0f);
}

void CImage32::blitAlpha(CImage32* dest, const CImage32* alphaMap) const
{
    sameSize(*this, dest, "blitAlpha", Width::Even, Rule::Weighted, Weight::Map, alphaMap, 1.0f);
}

void CImage32::blitTransAdd(CImage32* dest) const
{
    sameSize(*this, dest, "blitTransAdd", Width::Even, Rule::Add, Weight::None, nullptr, 1.0f);
}

void CImage32::blitTransSub(CImage32* dest) const
{
    sameSize(*this, dest, "blitTransSub", Width::Even, Rule::Sub, Weight::None, nullptr, 1.0f);
}

void CImage32::blitAlphaTransAdd(CImage32* dest, float opacity) const
{
    sameSize(*this, dest, "blitAlphaTransAdd", Width::Even, Rule::AddWeighted, Weight::Opacity, nullptr, opacity);
}

void CImage32::blitAlphaTransAdd(CImage32* dest, const CImage32* alphaMap) const
{
    sameSize(*this, dest, "blitAlphaTransAdd", Width::Even, Rule::AddWeighted, Weight::Map, alphaMap, 1.0f);
}

void CImage32::blitAlphaTransSub(CImage32* dest, float opacity) const
{
    sameSize(*this, dest, "blitAlphaTransSub", Width::Even, Rule::SubWeighted, Weight::Opacity, nullptr, opacity);
}

void CImage32::blitAlphaTransSub(CImage32* dest, const CImage32* alphaMap) const
{
    sameSize(*this, dest, "blitAlphaTransSub", Width::Even, Rule::SubWeighted, Weight::Map, alphaMap, 1.0f);
}
