// The scanline engine of the polygon filler: vertices to fixed point, edges walked, spans handed
// to the routines the set-up chose (PolyFillerSetup.cpp).
#include "s3d/PolyFiller.h"

#include <emmintrin.h>

#include <cmath>

#include "image/Depth.h"

namespace {

// Vertices beyond +-16384 pixels are held there, and values to +-32767, so every fixed-point
// product of the engine stays inside 64 bits.
constexpr int64_t kMaxPixel = int64_t(16384) << 16;
constexpr int64_t kMaxValue = int64_t(32767) << 16;

// To 16.16 with round to nearest (ties to even), held to +-limit; NaN gives 0. Inside the limits
// the SSE2 conversion rounds in the current mode, as nearbyint does, without a library call.
inline int64_t toFixed(double v, int64_t limit)
{
    const double s = v * 65536.0;
    if (!(s == s)) return 0;
    if (s <= double(-limit)) return -limit;
    if (s >= double(limit)) return limit;
    return _mm_cvtsd_si32(_mm_set_sd(s));
}

// ceil of a 16.16 value, as an integer.
inline int64_t ceil16(int64_t v) { return (v + 0xFFFF) >> 16; }

// Step of a value per unit (scanline or pixel) across a 16.16 length: delta * 65536 / length, or
// for a length that covers exactly one unit (delta * floor(2^30 / length)) >> 14, which may
// differ from it in the last bit.
inline int64_t stepPer(int64_t delta, int64_t length, bool oneUnit)
{
    return oneUnit ? (delta * ((int64_t(1) << 30) / length)) >> 14 : delta * 65536 / length;
}

// A constant gradient held so that it times any pre-step or clip skip stays inside 64 bits.
inline int64_t holdGradient(double g)
{
    constexpr double kMax = 70368744177664.0;  // 2^46
    if (!(g == g)) return 0;
    return std::llrint(g < -kMax ? -kMax : g > kMax ? kMax : g);
}

using polyspan::FloatRamp;
using polyspan::Ramp;
using polyspan::SpanRun;

// One value the engine interpolates in fixed point: where a vertex holds it and where a span
// takes it.
struct Lane {
    float RasterValues::*vertex;
    Ramp SpanRun::*span;
};
constexpr Lane kLight{&RasterValues::light, &SpanRun::light};
constexpr Lane kWeight{&RasterValues::weight, &SpanRun::weight};
constexpr Lane kU{&RasterValues::u, &SpanRun::u};
constexpr Lane kV{&RasterValues::v, &SpanRun::v};

// The values of a kind (PolyFiller::Values) as the engine walks them: the fixed-point lanes in
// order, and whether w, u w, v w go as floats.
template <bool kPerspective, Lane... L>
struct Lanes {
    static constexpr int kCount = sizeof...(L);
    static constexpr Lane kLane[kCount > 0 ? kCount : 1] = {L...};
    static constexpr bool kPersp = kPerspective;
    static constexpr bool kTextured = kPerspective || ((L.vertex == &RasterValues::u) || ...);
};
using LanesNone = Lanes<false>;
using LanesLight = Lanes<false, kLight>;
using LanesLightWeight = Lanes<false, kLight, kWeight>;
using LanesTexture = Lanes<false, kU, kV>;
using LanesLitTexture = Lanes<false, kLight, kU, kV>;
using LanesPerspective = Lanes<true>;

} // namespace

void PolyFiller::drawPolygon(const RasterVertex* vertices, int n, int paletteIndex)
{
    if (!vertices || n < 3 || n > kMaxPolygonVertices || !m_materialValid || !m_pDestination) return;
    const int64_t index = paletteIndex < 0 ? 0 : paletteIndex > 255 ? 255 : paletteIndex;
    m_ctx.flat = m_ctx.palette[index];
    switch (m_values) {
    case Values::None: return fill<LanesNone>(vertices, n, index);
    case Values::Light: return fill<LanesLight>(vertices, n, index);
    case Values::LightWeight: return fill<LanesLightWeight>(vertices, n, index);
    case Values::Texture: return fill<LanesTexture>(vertices, n, index);
    case Values::LitTexture: return fill<LanesLitTexture>(vertices, n, index);
    case Values::FlatLitTexture: return fill<LanesLitTexture, true>(vertices, n, index);
    case Values::Perspective: return fill<LanesPerspective>(vertices, n, index);
    }
}

template <class L, bool kPaletteLight>
void PolyFiller::fill(const RasterVertex* vertices, int n, int64_t paletteIndex)
{
    // 1. Every vertex to fixed point, rounded to nearest; texture coordinates first moved by whole
    // texture sizes towards 0.
    double shiftU = 0.0, shiftV = 0.0;
    if constexpr (L::kTextured) textureShift(vertices, n, shiftU, shiftV);
    double shift[kMaxLanes] = {};
    for (int k = 0; k < L::kCount; ++k) {
        const float RasterValues::*value = L::kLane[k].vertex;
        shift[k] = value == &RasterValues::u ? shiftU : value == &RasterValues::v ? shiftV : 0.0;
    }
    for (int i = 0; i < n; ++i) {
        const RasterVertex& v = vertices[i];
        FixedVertex& f = m_vertex[i];
        f.x = toFixed(v.x, kMaxPixel);
        f.y = toFixed(v.y, kMaxPixel);
        f.z = depthCell(v.w);
        if constexpr (kPaletteLight) f.q[0] = paletteIndex << 16;  // lane 0, the light
        for (int k = kPaletteLight ? 1 : 0; k < L::kCount; ++k)
            f.q[k] = toFixed(double(v.values.*L::kLane[k].vertex) - shift[k], kMaxValue);
        if constexpr (L::kPersp) {
            // w, u w, v w; u and v held like the other values so that the products stay finite
            const float w = v.w == v.w ? v.w : 0.0f;
            const auto held = [](double t) { return t == t ? float(t < -32767.0 ? -32767.0 : t > 32767.0 ? 32767.0 : t) : 0.0f; };
            f.f[0] = w;
            f.f[1] = held(double(v.values.u) - shiftU) * w;
            f.f[2] = held(double(v.values.v) - shiftV) * w;
        }
    }
    n == 3 ? rasterize<L, true>(n) : rasterize<L, false>(n);
}

void PolyFiller::textureShift(const RasterVertex* vertices, int n, double& shiftU, double& shiftV) const
{
    // The middle of the polygon's range moves into the first texture size: a polygon spanning
    // up to twice the held range keeps all its coordinates.
    const auto shift = [&](float RasterValues::*value, int size) {
        if (size <= 0) return 0.0;
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (int i = 0; i < n; ++i) {
            const double t = vertices[i].values.*value;
            if (!std::isfinite(t)) return 0.0;
            lo = t < lo ? t : lo;
            hi = t > hi ? t : hi;
        }
        return size * std::floor((lo + hi) * 0.5 / size);
    };
    shiftU = shift(&RasterValues::u, m_material.texture.width);
    shiftV = shift(&RasterValues::v, m_material.texture.height);
}

namespace {

constexpr int kMaxFloat = 3;

// One edge being walked: its x, depth and values at the current scanline, their steps per
// scanline and the scanlines left.
template <int NQ, bool kPersp>
struct Edge {
    int64_t x = 0, dx = 0, z = 0, dz = 0;
    int64_t q[NQ > 0 ? NQ : 1] = {}, dq[NQ > 0 ? NQ : 1] = {};
    float f[kMaxFloat] = {}, df[kMaxFloat] = {};
    int64_t ys = 0;  // first scanline
    int64_t rows = 0;

    // Enters the edge from a to b: scanlines ceil(ya) .. ceil(yb) - 1, x and values pre-stepped
    // to the first one. False when it covers no scanline. Values only when kValues.
    template <bool kValues, class V>
    bool enter(const V& a, const V& b)
    {
        ys = ceil16(a.y);
        rows = ceil16(b.y) - ys;
        if (rows <= 0) return false;
        const int64_t dy = b.y - a.y;
        const int64_t pre = (ys << 16) - a.y;  // 0 .. 65535, less than dy
        const bool one = rows == 1;
        dx = stepPer(b.x - a.x, dy, one);
        x = a.x + ((pre * dx) >> 16);
        if constexpr (kValues) {
            dz = stepPer(b.z - a.z, dy, one);
            z = a.z + ((pre * dz) >> 16);
            for (int k = 0; k < NQ; ++k) {
                dq[k] = stepPer(b.q[k] - a.q[k], dy, one);
                q[k] = a.q[k] + ((pre * dq[k]) >> 16);
            }
            if constexpr (kPersp) {
                const float perRow = 65536.0f / float(dy), preRows = float(pre) / 65536.0f;
                for (int k = 0; k < kMaxFloat; ++k) {
                    df[k] = (b.f[k] - a.f[k]) * perRow;
                    f[k] = a.f[k] + preRows * df[k];
                }
            }
        }
        return true;
    }

    template <bool kValues>
    void step()
    {
        x += dx;
        if constexpr (kValues) {
            z += dz;
            for (int k = 0; k < NQ; ++k) q[k] += dq[k];
            if constexpr (kPersp)
                for (int k = 0; k < kMaxFloat; ++k) f[k] += df[k];
        }
    }
};

} // namespace

template <class L, bool kTriangle>
void PolyFiller::rasterize(int n)
{
    constexpr int NQ = L::kCount;
    constexpr bool kPersp = L::kPersp;
    const FixedVertex* v = m_vertex;
    // 2. Triangles: constant gradients per pixel, gradient = ((q0 - q2)(y1 - y2) - (q1 - q2)(y0 - y2))
    //    * 65536 / ((y1 - y2)(x0 - x2) - (y0 - y2)(x1 - x2)) in the value's units per pixel.
    int64_t gz = 0, gq[NQ > 0 ? NQ : 1] = {};
    float gf[kMaxFloat] = {};
    if constexpr (kTriangle) {
        const double dy12 = double(v[1].y - v[2].y), dy02 = double(v[0].y - v[2].y);
        const double area = dy12 * double(v[0].x - v[2].x) - dy02 * double(v[1].x - v[2].x);
        if (area == 0) return;  // no area, nothing to fill
        const double e = 65536.0 / area;
        const auto gradient = [&](double q0, double q1, double q2) { return ((q0 - q2) * dy12 - (q1 - q2) * dy02) * e; };
        gz = holdGradient(gradient(double(v[0].z), double(v[1].z), double(v[2].z)));
        for (int k = 0; k < NQ; ++k) gq[k] = holdGradient(gradient(double(v[0].q[k]), double(v[1].q[k]), double(v[2].q[k])));
        if constexpr (kPersp)
            for (int k = 0; k < kMaxFloat; ++k) gf[k] = float(gradient(v[0].f[k], v[1].f[k], v[2].f[k]));
    }

    // 3. Top (smallest y, first in order) and bottom (largest y, first in order).
    int top = 0, bottom = 0;
    for (int i = 1; i < n; ++i) {
        if (v[i].y < v[top].y) top = i;
        if (v[i].y > v[bottom].y) bottom = i;
    }
    if (top == bottom) return;

    // The left chain runs forward from the top, the right one backward; triangles walk values on
    // the left edge only.
    using E = Edge<NQ, kPersp>;
    E left, right;
    int li = top, ri = top;
    const auto nextLeft = [&] {
        while (li != bottom) {
            const int from = li;
            li = li + 1 == n ? 0 : li + 1;
            if (left.template enter<true>(v[from], v[li])) return true;
        }
        return false;
    };
    const auto nextRight = [&] {
        while (ri != bottom) {
            const int from = ri;
            ri = ri == 0 ? n - 1 : ri - 1;
            if (right.template enter<!kTriangle>(v[from], v[ri])) return true;
        }
        return false;
    };
    if (!nextLeft() || !nextRight()) return;

    const SpanPair span = m_pZBuffer ? m_spanDepth : m_spanNoDepth;
    polyspan::SpanRun run;
    int64_t y = left.ys;
    for (;;) {
        const int64_t rows = left.rows < right.rows ? left.rows : right.rows;
        for (int64_t r = 0; r < rows; ++r, ++y) {
            if (y >= m_height) return;
            // 5. Pixels ceil(xl) .. ceil(xr) - 1, held to the image.
            const int64_t x0 = ceil16(left.x), x1 = ceil16(right.x);
            const int64_t c0 = x0 < 0 ? 0 : x0, c1 = x1 > m_width ? m_width : x1;
            if (y >= 0 && c1 > c0) {
                const int64_t pre = (x0 << 16) - left.x;  // 0 .. 65535
                const int64_t skip = c0 - x0;              // pixels clipped on the left
                int64_t dz, dq[NQ > 0 ? NQ : 1];
                float df[kMaxFloat];
                if constexpr (kTriangle) {
                    dz = gz;
                    for (int k = 0; k < NQ; ++k) dq[k] = gq[k];
                    for (int k = 0; k < kMaxFloat; ++k) df[k] = gf[k];
                } else {
                    const int64_t width = right.x - left.x;  // > 0 here
                    const bool one = x1 - x0 == 1;
                    dz = stepPer(right.z - left.z, width, one);
                    for (int k = 0; k < NQ; ++k) dq[k] = stepPer(right.q[k] - left.q[k], width, one);
                    if constexpr (kPersp)
                        for (int k = 0; k < kMaxFloat; ++k) df[k] = (right.f[k] - left.f[k]) * 65536.0f / float(width);
                }
                run.n = int(c1 - c0);
                const int64_t row = y * m_width + c0;
                run.dst = m_pDestination + row;
                run.depth = m_pZBuffer ? m_pZBuffer + row : nullptr;
                run.z = uint32_t(left.z + ((pre * dz) >> 16) + skip * dz);
                run.dz = uint32_t(dz);
                for (int k = 0; k < NQ; ++k)
                    run.*L::kLane[k].span = {uint32_t(left.q[k] + ((pre * dq[k]) >> 16) + skip * dq[k]),
                                             uint32_t(dq[k])};
                if constexpr (kPersp) {
                    const float first = float(pre) / 65536.0f + float(skip);
                    constexpr FloatRamp SpanRun::*kFloat[kMaxFloat] = {&SpanRun::w, &SpanRun::uw, &SpanRun::vw};
                    for (int k = 0; k < kMaxFloat; ++k) run.*kFloat[k] = {left.f[k] + first * df[k], df[k]};
                }
                span(run, m_ctx);
            }
            left.template step<true>();
            right.template step<!kTriangle>();
        }
        // 7. The next edge of a chain that ended; the polygon ends when either chain reaches the bottom.
        left.rows -= rows;
        right.rows -= rows;
        if (left.rows == 0 && !nextLeft()) return;
        if (right.rows == 0 && !nextRight()) return;
    }
}
