// The rotating blit: the source as a textured quadrilateral, clipped to the destination and
// scan-converted row by row with 16.16 edge walking; every span goes through one span loop.
#include <algorithm>
#include <cmath>
#include <optional>

#include "foundation/PortableMath.h"
#include "image/BlitInternal.h"
#include "image/CImage32.h"

using blend::Rule;
using blend::Weight;

namespace blit {

namespace {

struct Vertex {
    double x, y, u, v;
};

constexpr int kMaxVertices = 8;  // a quadrilateral clipped by four half-planes

// One Sutherland-Hodgman pass: keeps the side of coordinate `axis` (0 = x, 1 = y) that is >= bound
// (keepAbove) or <= bound, replacing each crossing edge by its intersection, whose other
// coordinate, u and v are interpolated linearly.
int clipPass(const Vertex* in, int n, Vertex* out, int axis, double bound, bool keepAbove)
{
    auto coord = [axis](const Vertex& p) { return axis == 0 ? p.x : p.y; };
    auto inside = [&](const Vertex& p) { return keepAbove ? coord(p) >= bound : coord(p) <= bound; };
    int m = 0;
    for (int i = 0; i < n; ++i) {
        const Vertex& a = in[i];
        const Vertex& b = in[(i + 1) % n];
        const bool ain = inside(a), bin = inside(b);
        if (ain && m < kMaxVertices) out[m++] = a;
        if (ain != bin && m < kMaxVertices) {
            const double t = (bound - coord(a)) / (coord(b) - coord(a));
            Vertex p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t};
            (axis == 0 ? p.x : p.y) = bound;
            out[m++] = p;
        }
    }
    return m;
}

struct FixedVertex {
    int64_t x, y, u, v;
};

// Walks one chain of polygon edges from the top vertex to the bottom one, giving x, u and v
// (16.16) on each row; the edge covering row y is the one with ceil(ya) <= y < ceil(yb).
class EdgeWalker {
public:
    EdgeWalker(const FixedVertex* verts, int n, int top, int step) : m_verts(verts), m_n(n), m_cur(top), m_step(step)
    {
    }

    void moveTo(int64_t row)
    {
        while (ceil16(m_verts[next()].y) <= row) m_cur = next();
        const FixedVertex& a = m_verts[m_cur];
        const FixedVertex& b = m_verts[next()];
        if (m_edge != m_cur) {
            m_edge = m_cur;
            const int64_t dy = b.y - a.y;  // > 0: this edge covers row `row`
            m_dx = (b.x - a.x) * 65536 / dy;
            m_du = (b.u - a.u) * 65536 / dy;
            m_dv = (b.v - a.v) * 65536 / dy;
        }
        // Pre-step from the edge's top to the row.
        const int64_t pre = row * 65536 - a.y;
        x = a.x + floorMul16(pre, m_dx);
        u = a.u + floorMul16(pre, m_du);
        v = a.v + floorMul16(pre, m_dv);
    }

    int64_t x = 0, u = 0, v = 0;

private:
    int next() const { return (m_cur + m_step + m_n) % m_n; }
    const FixedVertex* m_verts;
    int m_n, m_cur, m_step;
    int m_edge = -1;
    int64_t m_dx = 0, m_du = 0, m_dv = 0;
};

} // namespace

std::optional<Variant> chooseRotationVariant(BlendMode mode, bool sourceAlpha, bool alphaMap, float opacity, bool filter)
{
    // Here add and subtract are their own and every other value is normal (unlike blitScaled).
    if (alphaMap) {
        const Rule r = mode == kBlendAdd ? Rule::AddWeighted : mode == kBlendSub ? Rule::SubWeighted : Rule::Weighted;
        return Variant{r, Weight::Map, filter};
    }
    if (mode == kBlendAdd) return opacity == 1.0f ? Variant{Rule::Add, Weight::None, filter}
                                          : Variant{Rule::AddWeighted, Weight::Opacity, filter};
    if (mode == kBlendSub) return opacity == 1.0f ? Variant{Rule::Sub, Weight::None, filter}
                                          : Variant{Rule::SubWeighted, Weight::Opacity, filter};
    if (sourceAlpha) return Variant{Rule::Weighted, Weight::SourceAlpha, filter};
    if (opacity == 0.5f) return Variant{Rule::Half, Weight::None, filter};
    if (opacity == 1.0f) return Variant{Rule::Copy, Weight::None, filter};
    return Variant{Rule::Weighted, Weight::Opacity, filter};
}

} // namespace blit

void CImage32::blitRotation(CImage32* dest, float angle, float centreX, float centreY, float scaleX, float scaleY,
                            BlendMode mode, const CImage32* alphaMap, float opacity, bool filter) const
{
    using namespace blit;
    if (!dest) return;
    if (alphaMap && (alphaMap->m_width != m_width || alphaMap->m_height != m_height))
        return const_cast<CImage32*>(this)->warning("blitRotation src and alpha map dimensions are different");
    if (pixelCount() <= 0 || dest->pixelCount() <= 0 || (alphaMap && !alphaMap->m_pPixels)) return;
    if (!std::isfinite(angle) || !std::isfinite(centreX) || !std::isfinite(centreY) || !std::isfinite(scaleX) ||
        !std::isfinite(scaleY))
        return;

    // Quadrilateral: offsets from the centre turned by -angle, with their source corners.
    const double W = m_width, H = m_height;
    const double hw = W * scaleX / 2, hh = H * scaleY / 2;
    const double c = pmath::cos(-double(angle)), s = pmath::sin(-double(angle));
    auto corner = [&](double dx, double dy, double u, double v) {
        return Vertex{centreX + dx * c - dy * s, centreY + dx * s + dy * c, u, v};
    };
    Vertex a[kMaxVertices], b[kMaxVertices];
    a[0] = corner(-hw, +hh, 0, H);
    a[1] = corner(+hw, +hh, W, H);
    a[2] = corner(+hw, -hh, W, 0);
    a[3] = corner(-hw, -hh, 0, 0);
    int n = 4;
    // Clip: left, right, top, bottom.
    n = clipPass(a, n, b, 0, 0.0, true);
    n = clipPass(b, n, a, 0, double(dest->m_width), false);
    n = clipPass(a, n, b, 1, 0.0, true);
    n = clipPass(b, n, a, 1, double(dest->m_height), false);
    if (n < 3) return;

    FixedVertex fv[kMaxVertices];
    int top = 0, bottom = 0;
    for (int i = 0; i < n; ++i) {
        fv[i] = {fixed16(a[i].x), fixed16(a[i].y), fixed16(a[i].u), fixed16(a[i].v)};
        if (fv[i].y < fv[top].y) top = i;
        if (fv[i].y > fv[bottom].y) bottom = i;
    }
    const int64_t rowFirst = std::max<int64_t>(ceil16(fv[top].y), 0);
    const int64_t rowEnd = std::min<int64_t>(ceil16(fv[bottom].y), dest->m_height);
    if (rowFirst >= rowEnd) return;

    const Variant variant = *chooseRotationVariant(mode, m_hasAlpha != 0, alphaMap != nullptr, opacity, filter);
    // The quadrilateral's edges sample up to the far source edge (u = width, v = height) and
    // rounding can step a little past it, so the spans always read through checked fetches.
    const SpanFn span = selectSpan(variant.rule, variant.weight, filter ? Fetch::Bilinear2D : Fetch::Nearest2D);
    SpanSource src;
    src.pixels = m_pPixels;
    src.map = alphaMap ? alphaMap->m_pPixels : nullptr;
    src.width = m_width;
    src.count = int64_t(m_width) * m_height;
    src.weight = uint32_t(blend::opacityWeight(opacity));

    EdgeWalker chainA(fv, n, top, +1), chainB(fv, n, top, -1);
    for (int64_t y = rowFirst; y < rowEnd; ++y) {
        chainA.moveTo(y);
        chainB.moveTo(y);
        const EdgeWalker* l = &chainA;
        const EdgeWalker* r = &chainB;
        if (l->x > r->x) std::swap(l, r);
        const int64_t dx = r->x - l->x;
        if (dx <= 0) continue;
        const int64_t xs = std::max<int64_t>(ceil16(l->x), 0);
        const int64_t xe = std::min<int64_t>(ceil16(r->x), dest->m_width);
        if (xe <= xs) continue;
        // Gradients across the span, pre-stepped from x_left to the first column.
        src.du = (r->u - l->u) * 65536 / dx;
        src.dv = (r->v - l->v) * 65536 / dx;
        const int64_t pre = xs * 65536 - l->x;
        src.u = l->u + floorMul16(pre, src.du);
        src.v = l->v + floorMul16(pre, src.dv);
        span(dest->m_pPixels + y * dest->m_width + xs, xe - xs, src);
    }
}

void CImage32::blitRotationAnchored(CImage32* dest, float angle, float anchorX, float anchorY, float posX, float posY,
                                    float scaleX, float scaleY, BlendMode mode, const CImage32* alphaMap, float opacity,
                                    bool filter) const
{
    const float dx = float(m_width) * anchorX * scaleX;
    const float dy = float(m_height) * anchorY * scaleY;
    const float c = pmath::cos(angle), s = pmath::sin(angle);
    blitRotation(dest, angle, posX - dx * c - dy * s, posY + dx * s - dy * c, scaleX, scaleY, mode, alphaMap, opacity,
                 filter);
}
