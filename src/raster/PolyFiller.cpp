// The scanline engine of the polygon filler: vertices to fixed point, edges walked, spans handed
// to the routines the set-up chose (PolyFillerSetup.cpp).
#include "raster/PolyFiller.h"

#include <emmintrin.h>

#include <array>
#include <cmath>
#include <utility>

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
    // rounded in the current mode, as llrint does, without the library call
    return _mm_cvtsd_si64(_mm_set_sd(g < -kMax ? -kMax : g > kMax ? kMax : g));
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

// The values of a kind (FillValue flags) as the engine walks them: the fixed-point lanes in order
// (light, weight, u, v), and whether w, u w, v w go as floats.
template <int kValues>
struct Lanes {
    static constexpr int kCount =
        bool(kValues & kFillLight) + bool(kValues & kFillWeight) + 2 * bool(kValues & kFillTexel);
    static constexpr std::array<Lane, (kCount > 0 ? kCount : 1)> kLane = [] {
        std::array<Lane, (kCount > 0 ? kCount : 1)> lanes{};
        int n = 0;
        if (kValues & kFillLight) lanes[n++] = kLight;
        if (kValues & kFillWeight) lanes[n++] = kWeight;
        if (kValues & kFillTexel) lanes[n++] = kU, lanes[n++] = kV;
        return lanes;
    }();
    static constexpr bool kPersp = (kValues & kFillPerspective) != 0;
    static constexpr bool kTextured = readsTexture(kValues);
};

} // namespace

template <size_t... I>
PolyFiller::FillFn PolyFiller::fillFor(int values, std::index_sequence<I...>)
{
    // One instantiation per row; a filler takes the first row's with its values (none for values
    // no row has: it draws nothing).
    constexpr FillFn kFills[] = {&PolyFiller::fill<kFillerKinds[I].values>...};
    for (size_t i = 0; i < sizeof...(I); ++i)
        if (kFillerKinds[i].values == values) return kFills[i];
    return nullptr;
}

PolyFiller::PolyFiller(const FillerKind& kind)
    : m_kind(kind), m_fill(fillFor(kind.values, std::make_index_sequence<kFillerKindCount>{}))
{
}

void PolyFiller::drawPolygon(const RasterVertex* vertices, int n, int paletteIndex)
{
    if (beginPolygon(vertices, n)) finishPolygon(vertices, paletteIndex);
}

namespace {

// Enters the positions of the edge from a to b: scanlines ceil(ya) .. ceil(yb) - 1, x pre-stepped
// to the first one. False when it covers no scanline.
template <class E, class V>
[[gnu::always_inline]] inline bool enterEdge(E& e, const V* v, int from, int to)
{
    const V &a = v[from], &b = v[to];
    e.ys = ceil16(a.y);
    e.rows = ceil16(b.y) - e.ys;
    if (e.rows <= 0) return false;
    e.from = from;
    e.to = to;
    e.dy = b.y - a.y;
    e.pre = (e.ys << 16) - a.y;  // 0 .. 65535, less than dy
    e.one = e.rows == 1;
    e.dx = stepPer(b.x - a.x, e.dy, e.one);
    e.x = a.x + ((e.pre * e.dx) >> 16);
    return true;
}

// The next edge with scanlines of the left chain (forward from the top) or the right one
// (backward); false when the chain reaches the bottom first.
template <class E, class V>
[[gnu::always_inline]] inline bool nextEdge(E& e, const V* v, int n, int bottom, bool forward)
{
    for (int at = e.to; at != bottom;) {
        const int from = at;
        at = forward ? (at + 1 == n ? 0 : at + 1) : (at == 0 ? n - 1 : at - 1);
        if (enterEdge(e, v, from, at)) return true;
    }
    return false;
}

} // namespace

bool PolyFiller::beginPolygon(const RasterVertex* vertices, int n)
{
    m_walk.n = 0;
    if (!vertices || n < 3 || n > kMaxPolygonVertices || !m_materialValid || !m_pDestination || !m_fill) return false;
    // 1. Positions to fixed point, rounded to nearest; top (smallest y, first in order) and bottom
    // (largest y, first in order).
    int top = 0, bottom = 0;
    int64_t left = INT64_MAX, right = INT64_MIN;
    for (int i = 0; i < n; ++i) {
        FixedVertex& f = m_vertex[i];
        f.x = toFixed(vertices[i].x, kMaxPixel);
        f.y = toFixed(vertices[i].y, kMaxPixel);
        if (f.y < m_vertex[top].y) top = i;
        if (f.y > m_vertex[bottom].y) bottom = i;
        left = f.x < left ? f.x : left;
        right = f.x > right ? f.x : right;
    }
    // No scanline between top and bottom, or none on the image.
    const int64_t firstRow = ceil16(m_vertex[top].y), endRow = ceil16(m_vertex[bottom].y);
    if (firstRow >= endRow || firstRow >= m_height || endRow <= 0) return false;
    // No pixel column between the leftmost and rightmost x: an edge's x at a scanline strays at
    // most two units of 2^-16 beyond its ends (the truncated steps and the floored pre-step), so
    // with that margin no span can hold a pixel.
    constexpr int64_t kStray = 4;
    if (ceil16(right + kStray) <= ceil16(left - kStray)) return false;

    // 2. The left chain runs forward from the top, the right one backward, down to the first
    // scanline with pixels: ceil(xl) .. ceil(xr) - 1, held to the image.
    Walk& w = m_walk;
    w.left.to = w.right.to = top;
    if (!nextEdge(w.left, m_vertex, n, bottom, true) || !nextEdge(w.right, m_vertex, n, bottom, false)) return false;
    for (int64_t y = w.left.ys;; ++y) {
        if (y >= m_height) return false;
        const int64_t x0 = ceil16(w.left.x), x1 = ceil16(w.right.x);
        if (y >= 0 && (x1 > m_width ? m_width : x1) > (x0 < 0 ? 0 : x0)) {
            w.n = n;
            w.bottom = bottom;
            w.y = y;
            return true;
        }
        w.left.x += w.left.dx;
        w.right.x += w.right.dx;
        if (--w.left.rows == 0 && !nextEdge(w.left, m_vertex, n, bottom, true)) return false;
        if (--w.right.rows == 0 && !nextEdge(w.right, m_vertex, n, bottom, false)) return false;
    }
}

void PolyFiller::finishPolygon(const RasterVertex* vertices, int paletteIndex)
{
    if (m_walk.n == 0 || !vertices) return;
    const int64_t index = paletteIndex < 0 ? 0 : paletteIndex > 255 ? 255 : paletteIndex;
    m_ctx.flat = m_ctx.palette[index];
    (this->*m_fill)(vertices, index);
    m_walk.n = 0;
}

template <int kValues>
void PolyFiller::fill(const RasterVertex* vertices, int64_t paletteIndex)
{
    // The flat index alone is the flat colour (set per polygon); with the light it is the light.
    using L = Lanes<kValues & ~kFillFlatIndex>;
    constexpr bool kPaletteLight = (kValues & kFillFlatIndex) && (kValues & kFillLight);
    // 3. The values of every vertex to fixed point, rounded to nearest; texture coordinates first
    // moved by whole texture sizes towards 0.
    const int n = m_walk.n;
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
    n == 3 ? rasterize<L, true>() : rasterize<L, false>();
}

void PolyFiller::textureShift(const RasterVertex* vertices, int n, double& shiftU, double& shiftV) const
{
    // The middle of the polygon's range moves into the first texture size: a polygon spanning
    // up to twice the held range keeps all its coordinates. Sizes are powers of two, so the
    // product with the inverse is the quotient.
    const auto shift = [&](float RasterValues::*value, int size, double inverse) {
        if (size <= 0) return 0.0;
        float lo = vertices[0].values.*value, hi = lo;
        bool finite = lo - lo == 0.0f;
        for (int i = 1; i < n; ++i) {
            const float t = vertices[i].values.*value;
            finite &= t - t == 0.0f;
            lo = t < lo ? t : lo;
            hi = t > hi ? t : hi;
        }
        if (!finite) return 0.0;
        const double middle = (double(lo) + double(hi)) * 0.5 * inverse;
        // Most polygons lie in the first texture size: floor 0 without the rounding.
        if (middle > 0.0 && middle < 1.0) return 0.0;
        // floor by truncation, one less below zero (zero keeps its sign through std::floor)
        if (middle != 0.0 && middle > -1e9 && middle < 1e9) {
            const double t = double(_mm_cvttsd_si32(_mm_set_sd(middle)));
            return size * (t > middle ? t - 1.0 : t);
        }
        return size * std::floor(middle);
    };
    shiftU = shift(&RasterValues::u, m_material.texture.width, m_inverseWidth);
    shiftV = shift(&RasterValues::v, m_material.texture.height, m_inverseHeight);
}

namespace {

constexpr int kMaxFloat = 3;

// The values an edge walks: depth and the kind's values at the current scanline and their steps
// per scanline.
template <int NQ, bool kPersp>
struct EdgeValues {
    int64_t z = 0, dz = 0;
    int64_t q[NQ > 0 ? NQ : 1] = {}, dq[NQ > 0 ? NQ : 1] = {};
    float f[kMaxFloat] = {}, df[kMaxFloat] = {};

    // The values of edge e from a to b, pre-stepped to its first scanline and then stepped over
    // `rows` scanlines, each as the scanline walk steps them.
    template <class E, class V>
    void enter(const E& e, const V* v, int64_t rows)
    {
        const V &a = v[e.from], &b = v[e.to];
        dz = stepPer(b.z - a.z, e.dy, e.one);
        z = a.z + ((e.pre * dz) >> 16) + rows * dz;
        for (int k = 0; k < NQ; ++k) {
            dq[k] = stepPer(b.q[k] - a.q[k], e.dy, e.one);
            q[k] = a.q[k] + ((e.pre * dq[k]) >> 16) + rows * dq[k];
        }
        if constexpr (kPersp) {
            const float perRow = 65536.0f / float(e.dy), preRows = float(e.pre) / 65536.0f;
            for (int k = 0; k < kMaxFloat; ++k) {
                df[k] = (b.f[k] - a.f[k]) * perRow;
                f[k] = a.f[k] + preRows * df[k];
                for (int64_t r = 0; r < rows; ++r) f[k] += df[k];
            }
        }
    }

    void step()
    {
        z += dz;
        for (int k = 0; k < NQ; ++k) q[k] += dq[k];
        if constexpr (kPersp)
            for (int k = 0; k < kMaxFloat; ++k) f[k] += df[k];
    }
};

} // namespace

template <class L, bool kTriangle>
void PolyFiller::rasterize()
{
    constexpr int NQ = L::kCount;
    constexpr bool kPersp = L::kPersp;
    const FixedVertex* v = m_vertex;
    const int n = m_walk.n, bottom = m_walk.bottom;
    // 4. Triangles: constant gradients per pixel, gradient = ((q0 - q2)(y1 - y2) - (q1 - q2)(y0 - y2))
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

    // 5. From the scanline beginPolygon stopped at; triangles walk values on the left edge only.
    EdgeWalk left = m_walk.left, right = m_walk.right;
    int64_t y = m_walk.y;
    using Values = EdgeValues<NQ, kPersp>;
    Values lv, rv;
    lv.enter(left, v, y - left.ys);
    if constexpr (!kTriangle) rv.enter(right, v, y - right.ys);

    const SpanPair span = m_pZBuffer ? m_spanDepth : m_spanNoDepth;
    // Left uninitialised (the zero fill cost more than a small polygon's span): each span sets
    // what its source reads.
    union Run {
        Run() {}
        polyspan::SpanRun run;
    } storage;
    polyspan::SpanRun& run = storage.run;
    for (;; ++y) {
        if (y >= m_height) return;
        // 6. Pixels ceil(xl) .. ceil(xr) - 1, held to the image.
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
                dz = stepPer(rv.z - lv.z, width, one);
                for (int k = 0; k < NQ; ++k) dq[k] = stepPer(rv.q[k] - lv.q[k], width, one);
                if constexpr (kPersp)
                    for (int k = 0; k < kMaxFloat; ++k) df[k] = (rv.f[k] - lv.f[k]) * 65536.0f / float(width);
            }
            run.n = int(c1 - c0);
            const int64_t row = y * m_width + c0;
            run.dst = m_pDestination + row;
            run.depth = m_pZBuffer ? m_pZBuffer + row : nullptr;
            run.z = uint32_t(lv.z + ((pre * dz) >> 16) + skip * dz);
            run.dz = uint32_t(dz);
            for (int k = 0; k < NQ; ++k)
                run.*L::kLane[k].span = {uint32_t(lv.q[k] + ((pre * dq[k]) >> 16) + skip * dq[k]), uint32_t(dq[k])};
            if constexpr (kPersp) {
                const float first = float(pre) / 65536.0f + float(skip);
                constexpr FloatRamp SpanRun::*kFloat[kMaxFloat] = {&SpanRun::w, &SpanRun::uw, &SpanRun::vw};
                for (int k = 0; k < kMaxFloat; ++k) run.*kFloat[k] = {lv.f[k] + first * df[k], df[k]};
            }
            span(run, m_ctx);
        }
        left.x += left.dx;
        lv.step();
        right.x += right.dx;
        if constexpr (!kTriangle) rv.step();
        // 7. The next edge of a chain that ended; the polygon ends when either chain reaches the bottom.
        if (--left.rows == 0) {
            if (!nextEdge(left, v, n, bottom, true)) return;
            lv.enter(left, v, 0);
        }
        if (--right.rows == 0) {
            if (!nextEdge(right, v, n, bottom, false)) return;
            if constexpr (!kTriangle) rv.enter(right, v, 0);
        }
    }
}
