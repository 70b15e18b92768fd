// The scaling blit: axis-aligned, any scale, mirroring by a negative scale, clipped to the
// destination; source coordinates stepped in 16.16 fixed point, one span loop per call.
#include <algorithm>
#include <cmath>
#include <optional>

#include "image/BlitInternal.h"
#include "image/CImage32.h"

using blend::Rule;
using blend::Weight;

namespace blit {

std::optional<Variant> chooseScaledVariant(BlendMode mode, bool sourceAlpha, bool alphaMap, float opacity, bool filter)
{
    if (mode == kBlendNormal) {
        // The source's alpha is only honoured unfiltered; filtered, that combination draws nothing.
        if (sourceAlpha) return filter ? std::nullopt : std::optional<Variant>({Rule::Weighted, Weight::SourceAlpha, false});
        if (alphaMap) return Variant{Rule::Weighted, Weight::Map, false};  // the filter flag is ignored
        if (opacity == 0.5f) return Variant{Rule::Half, Weight::None, filter};
        if (opacity == 1.0f) return Variant{Rule::Copy, Weight::None, filter};
        return Variant{Rule::Weighted, Weight::Opacity, filter};
    }
    // Subtract subtracts, every other value adds; neither draws a source whose alpha flag is set.
    const bool sub = mode == kBlendSub;
    if (sourceAlpha) return std::nullopt;
    if (alphaMap) return Variant{sub ? Rule::SubWeighted : Rule::AddWeighted, Weight::Map, false};
    if (opacity == 1.0f) return Variant{sub ? Rule::Sub : Rule::Add, Weight::None, filter};
    return Variant{sub ? Rule::SubWeighted : Rule::AddWeighted, Weight::Opacity, filter};
}

std::optional<ScaledGeometry> scaledGeometry(int srcW, int srcH, int dstW, int dstH, float centreX, float centreY,
                                             float scaleX, float scaleY)
{
    if (!std::isfinite(centreX) || !std::isfinite(centreY) || !std::isfinite(scaleX) || !std::isfinite(scaleY))
        return std::nullopt;
    if (scaleX == 0.0f || scaleY == 0.0f) return std::nullopt;
    // 1. Extent; a negative scale starts the source coordinate at the far edge (mirroring).
    const double e = double(srcW) * scaleX, f = double(srcH) * scaleY;
    double left = centreX - std::fabs(e) / 2, right = centreX + std::fabs(e) / 2;
    double top = centreY - std::fabs(f) / 2, bottom = centreY + std::fabs(f) / 2;
    double u0 = scaleX > 0 ? 0.0 : double(srcW), v0 = scaleY > 0 ? 0.0 : double(srcH);
    // 2. Reject.
    if (right < 0 || left > dstW || bottom < 0 || top > dstH) return std::nullopt;
    // 3. Clip; e and f are signed, so a mirrored image moves its start backwards.
    if (left < 0) u0 += -left * srcW / e, left = 0;
    if (top < 0) v0 += -top * srcH / f, top = 0;
    right = std::min(right, double(dstW));
    bottom = std::min(bottom, double(dstH));
    // Source steps; a step of more than 2^40 (a scale below 2^-24) is nothing to draw.
    const double du = 65536.0 / scaleX, dv = 65536.0 / scaleY;
    if (std::fabs(du) > 1099511627776.0 || std::fabs(dv) > 1099511627776.0) return std::nullopt;
    if (std::fabs(u0) > 1e9 || std::fabs(v0) > 1e9) return std::nullopt;
    // 4. Edges in 16.16 (rounded); first column/row = ceil, count = ceil(right) - ceil(left).
    const int64_t L = fixed16(left), R = fixed16(right), T = fixed16(top), B = fixed16(bottom);
    ScaledGeometry g;
    g.x0 = ceil16(L);
    g.y0 = ceil16(T);
    g.columns = ceil16(R) - g.x0;
    g.rows = ceil16(B) - g.y0;
    if (g.columns < 1 || g.rows < 1) return std::nullopt;
    // 5. Steps, and the start corrected by the distance from the clipped edge to the first
    // integer column and row (no half-pixel offset).
    g.du = std::llround(du);
    g.dv = std::llround(dv);
    g.u = fixed16(u0) + floorMul16((g.x0 << 16) - L, g.du);
    g.v = fixed16(v0) + floorMul16((g.y0 << 16) - T, g.dv);
    return g;
}

bool readsInside(const CImage32& image, int64_t first, int64_t last)
{
    const int64_t w = image.m_width, h = image.m_height;
    if (image.hasGuardRows()) return first >= -2 * w && last <= (h + 2) * w - 1;
    return first >= 0 && last <= w * h - 1;
}

} // namespace blit

void CImage32::blitScaled(CImage32* dest, float centreX, float centreY, float scaleX, float scaleY, BlendMode mode,
                          const CImage32* alphaMap, float opacity, bool filter) const
{
    using namespace blit;
    if (opacity <= 0 && !alphaMap && !m_hasAlpha) return;
    if (scaleX == 0.0f || scaleY == 0.0f || !dest) return;
    if (pixelCount() <= 0 || dest->pixelCount() <= 0) return;
    const std::optional<Variant> variant = chooseScaledVariant(mode, m_hasAlpha != 0, alphaMap != nullptr, opacity, filter);
    if (!variant) return;
    const bool usesMap = variant->weight == Weight::Map;
    // The alpha map is read with the source's indices; one of another size is not drawn with.
    if (usesMap && (alphaMap->m_width != m_width || alphaMap->m_height != m_height || !alphaMap->m_pPixels)) return;

    const std::optional<ScaledGeometry> g =
        scaledGeometry(m_width, m_height, dest->m_width, dest->m_height, centreX, centreY, scaleX, scaleY);
    if (!g) return;

    // Which source pixels the spans read (u and v are monotonic): the unchecked row fetches when
    // all of them, bilinear neighbours included, lie inside the allocation, else checked fetches.
    const int64_t W = m_width;
    const int64_t uLast = g->u + (g->columns - 1) * g->du, vLast = g->v + (g->rows - 1) * g->dv;
    const int64_t c0 = std::min(g->u, uLast) >> 16, c1 = std::max(g->u, uLast) >> 16;
    const int64_t r0 = std::min(g->v, vLast) >> 16, r1 = std::max(g->v, vLast) >> 16;
    const int64_t b = variant->filter ? 1 : 0;
    const bool unchecked = readsInside(*this, r0 * W + c0, (r1 + b) * W + c1 + b) &&
                           (!usesMap || readsInside(*alphaMap, r0 * W + c0, r1 * W + c1));
    const Fetch fetch = unchecked ? (variant->filter ? Fetch::RowBilinear : Fetch::RowNearest)
                                  : (variant->filter ? Fetch::Bilinear2D : Fetch::Nearest2D);
    const SpanFn span = selectSpan(variant->rule, variant->weight, fetch);

    SpanSource src;
    src.pixels = m_pPixels;
    src.map = usesMap ? alphaMap->m_pPixels : nullptr;
    src.width = W;
    src.count = W * m_height;
    src.u = g->u;
    src.du = g->du;
    src.dv = 0;  // rows are stepped here, not along the span
    src.weight = uint32_t(blend::opacityWeight(opacity));
    uint32_t* out = dest->m_pPixels + g->y0 * int64_t(dest->m_width) + g->x0;
    for (int64_t j = 0; j < g->rows; ++j, out += dest->m_width) {
        src.v = g->v + j * g->dv;
        span(out, g->columns, src);
    }
}

void CImage32::blitScaledAnchored(CImage32* dest, float anchorX, float anchorY, float posX, float posY, float scaleX,
                                  float scaleY, BlendMode mode, const CImage32* alphaMap, float opacity, bool filter) const
{
    const float centreX = posX - float(m_width) * anchorX * scaleX;
    const float centreY = posY - float(m_height) * anchorY * scaleY;
    blitScaled(dest, centreX, centreY, scaleX, scaleY, mode, alphaMap, opacity, filter);
}
