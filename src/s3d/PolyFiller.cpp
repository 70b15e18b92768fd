// The scanline engine of the polygon filler and the set-up of its kinds.
#include "s3d/PolyFiller.h"

#include <cmath>

#include "foundation/Report.h"
#include "foundation/Saturate.h"
#include "image/BlendKernels.h"

using polyspan::Combine;
using polyspan::DepthMode;
using polyspan::PixelOp;
using polyspan::Source;
using polyspan::SpanKey;

namespace {

// Vertices beyond +-16384 pixels are held there, and values to +-32767, so every fixed-point
// product of the engine stays inside 64 bits.
constexpr int64_t kMaxPixel = int64_t(16384) << 16;
constexpr int64_t kMaxValue = int64_t(32767) << 16;

// To 16.16 with round to nearest, held to +-limit; NaN gives 0.
int64_t toFixed(double v, int64_t limit)
{
    const int64_t f = saturateToInt(std::nearbyint(v * 65536.0));
    return f < -limit ? -limit : f > limit ? limit : f;
}

// w = 1/z as 0.32: held to 0 .. 2^32 - 1 (w = 1, z = 1, would not fit the cell).
int64_t depthFixed(float w)
{
    const double z = double(w) * 4294967296.0;
    if (!(z > 0)) return 0;
    return z >= 4294967295.0 ? 4294967295 : std::llrint(z);
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

bool sameMaterial(const RasterMaterial& a, const RasterMaterial& b)
{
    const RasterTexture &s = a.texture, &t = b.texture;
    return a.palette == b.palette && a.blendMode == b.blendMode && a.opacity == b.opacity &&
           a.opacityKind == b.opacityKind && a.textureMode == b.textureMode && a.bilinear == b.bilinear &&
           s.pixels == t.pixels && s.width == t.width && s.height == t.height && s.maskU == t.maskU &&
           s.maskV == t.maskV && s.shiftU == t.shiftU && s.hasAlpha == t.hasAlpha && s.guardRows == t.guardRows;
}

} // namespace

// --- destination, depth buffer, material ----------------------------------------------------------

void PolyFiller::setDestination(const RasterImage* image)
{
    if (!image) return reportWarning(kCaption, "setDestination: pDestination NULL");
    if (image->width <= 0 || image->height <= 0) return reportWarning(kCaption, "setDestination: bad dimension");
    if (!image->pixels) return reportWarning(kCaption, "setDestination: m_pDest NULL");
    // A depth buffer of the old size would be indexed with the new rows.
    if (image->width != m_width || image->height != m_height) m_pZBuffer = nullptr;
    m_width = image->width;
    m_height = image->height;
    m_pDestination = image->pixels;
}

void PolyFiller::setZBuffer(const RasterDepth* zBuffer)
{
    if (!zBuffer) return;
    if (zBuffer->width != m_width || zBuffer->height != m_height)
        return reportWarning(kCaption, "setZBuffer: dimension different");
    m_pZBuffer = zBuffer->cells;
    if (!m_pZBuffer) return reportWarning(kCaption, "setZBuffer: m_pZBuffer NULL");
}

bool PolyFiller::takeMaterial(const RasterMaterial* material)
{
    if (!material) {
        m_materialValid = false;
        return false;
    }
    if (m_materialValid && sameMaterial(*material, m_material)) return false;
    m_material = *material;
    m_materialValid = material->palette != nullptr;
    m_ctx.palette = material->palette;
    m_ctx.alpha = uint32_t(blend::opacityWeight(material->opacity));
    m_op = polyspan::choosePixelOp(material->blendMode, material->opacityKind, material->opacity);
    m_ctx.modFactor = polyspan::modulationFactor(m_op, m_ctx.alpha);
    return m_materialValid;
}

bool PolyFiller::takeTexture(const RasterTexture& t)
{
    const bool powers = t.width > 0 && t.height > 0 && t.width <= (1 << 15) && t.height <= (1 << 15) &&
                        (t.width & (t.width - 1)) == 0 && (t.height & (t.height - 1)) == 0;
    if (!t.pixels || !powers || t.maskU != uint32_t(t.width - 1) || t.maskV != uint32_t(t.height - 1) ||
        t.shiftU < 0 || t.shiftU > 15 || (1 << t.shiftU) != t.width) {
        m_materialValid = false;
        return false;
    }
    m_ctx.texels = t.pixels;
    m_ctx.texWidth = t.width;
    m_ctx.maskU = t.maskU;
    m_ctx.maskV = t.maskV;
    m_ctx.shiftU = t.shiftU;
    return true;
}

void PolyFiller::chooseSpans(SpanKey key, PixelOp depthOp)
{
    key.depth = DepthMode::Off;
    m_spanNoDepth = polyspan::selectPolySpan(key);
    // Only the replace operation writes depth; the blending ones only test it.
    key.depth = depthOp == PixelOp::Replace ? DepthMode::TestWrite : DepthMode::Test;
    m_spanDepth = polyspan::selectPolySpan(key);
    if (!m_spanNoDepth || !m_spanDepth) m_materialValid = false;
}

void FlatFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material)) return;
    chooseSpans({.source = Source::Flat, .op = m_op}, m_op);
}

void GouraudFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material)) return;
    chooseSpans({.source = Source::Palette, .op = m_op}, m_op);
}

void TwoValueFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material)) return;
    chooseSpans({.source = Source::PaletteWeight, .op = m_op}, m_op);
}

void TwoValueTextureFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material) || !takeTexture(m_material.texture)) return;
    chooseSpans({.source = Source::Texture,
                 .bilinear = bilinearTexture(),
                 .texelAlpha = m_material.texture.hasAlpha,
                 .op = m_op},
                m_op);
}

void PerspectiveFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material) || !takeTexture(m_material.texture)) return;
    chooseSpans({.source = Source::Perspective,
                 .bilinear = bilinearTexture(),
                 .texelAlpha = m_material.texture.hasAlpha,
                 .op = m_op},
                m_op);
}

void ThreeValueFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material) || !takeTexture(m_material.texture)) return;
    SpanKey key{.source = Source::LitTexture, .bilinear = bilinearTexture(), .op = m_op};
    const int rule = m_material.opacityKind % 100;
    if (rule == 2) {
        key.combine = Combine::Stencil;
    } else if (rule == 3 && m_material.blendMode == 0) {
        key.combine = Combine::TexelWeight;
        key.op = PixelOp::TexelWeighted;
        key.bilinear = false;  // the texel rule reads the nearest texel
    } else {
        key.combine = m_material.textureMode == 0   ? Combine::Sub
                      : m_material.textureMode == 1 ? Combine::Mul
                                                    : Combine::Add;
        key.texelAlpha = m_material.texture.hasAlpha;
    }
    chooseSpans(key, m_op);
}

// --- the scanline engine ---------------------------------------------------------------------------

void PolyFiller::drawPolygon(const RasterVertex* vertices, int n, int paletteIndex)
{
    if (!vertices || n < 3 || n > kMaxPolygonVertices || !m_materialValid || !m_pDestination) return;
    const int64_t index = paletteIndex < 0 ? 0 : paletteIndex > 255 ? 255 : paletteIndex;
    m_ctx.flat = m_ctx.palette[index];

    // 1. Every vertex to fixed point, rounded to nearest; texture coordinates first moved by whole
    // texture sizes towards 0.
    double shiftU = 0.0, shiftV = 0.0;
    if (m_uvIndex >= 0) textureShift(vertices, n, shiftU, shiftV);
    for (int i = 0; i < n; ++i) {
        const RasterVertex& v = vertices[i];
        FixedVertex& f = m_vertex[i];
        f.x = toFixed(v.x, kMaxPixel);
        f.y = toFixed(v.y, kMaxPixel);
        f.z = depthFixed(v.w);
        switch (m_layout) {
        case Layout::Flat: break;
        case Layout::Values:
            for (int k = 0; k < m_nbValues; ++k) f.q[k] = toFixed(v.value[k], kMaxValue);
            if (m_uvIndex >= 0) {
                f.q[m_uvIndex] = toFixed(double(v.value[m_uvIndex]) - shiftU, kMaxValue);
                f.q[m_uvIndex + 1] = toFixed(double(v.value[m_uvIndex + 1]) - shiftV, kMaxValue);
            }
            break;
        case Layout::FlatLit:
            f.q[0] = index << 16;
            f.q[1] = toFixed(double(v.value[0]) - shiftU, kMaxValue);
            f.q[2] = toFixed(double(v.value[1]) - shiftV, kMaxValue);
            break;
        case Layout::Perspective: {
            // w, u w, v w; u and v held like the other values so that the products stay finite
            const float w = v.w == v.w ? v.w : 0.0f;
            const auto held = [](double t) { return t == t ? float(std::fmin(std::fmax(t, -32767.0), 32767.0)) : 0.0f; };
            f.f[0] = w;
            f.f[1] = held(double(v.value[0]) - shiftU) * w;
            f.f[2] = held(double(v.value[1]) - shiftV) * w;
            break;
        }
        }
    }

    const bool triangle = n == 3;
    switch (m_layout) {
    case Layout::Flat: triangle ? rasterize<0, false, true>(n) : rasterize<0, false, false>(n); break;
    case Layout::Perspective: triangle ? rasterize<0, true, true>(n) : rasterize<0, true, false>(n); break;
    default:
        if (m_nbValues == 1) triangle ? rasterize<1, false, true>(n) : rasterize<1, false, false>(n);
        else if (m_nbValues == 2) triangle ? rasterize<2, false, true>(n) : rasterize<2, false, false>(n);
        else triangle ? rasterize<3, false, true>(n) : rasterize<3, false, false>(n);
        break;
    }
}

void PolyFiller::textureShift(const RasterVertex* vertices, int n, double& shiftU, double& shiftV) const
{
    // The middle of the polygon's range moves into the first texture size: a polygon spanning
    // up to twice the held range keeps all its coordinates.
    const auto shift = [&](int k, int size) {
        if (size <= 0) return 0.0;
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (int i = 0; i < n; ++i) {
            const double t = vertices[i].value[k];
            if (!std::isfinite(t)) return 0.0;
            lo = std::fmin(lo, t);
            hi = std::fmax(hi, t);
        }
        return size * std::floor((lo + hi) * 0.5 / size);
    };
    shiftU = shift(m_uvIndex, m_material.texture.width);
    shiftV = shift(m_uvIndex + 1, m_material.texture.height);
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

template <int NQ, bool kPersp, bool kTriangle>
void PolyFiller::rasterize(int n)
{
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

    const polyspan::PolySpanFn span = m_pZBuffer ? m_spanDepth : m_spanNoDepth;
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
                for (int k = 0; k < NQ; ++k) {
                    run.q[k] = uint32_t(left.q[k] + ((pre * dq[k]) >> 16) + skip * dq[k]);
                    run.dq[k] = uint32_t(dq[k]);
                }
                if constexpr (kPersp) {
                    const float first = float(pre) / 65536.0f + float(skip);
                    for (int k = 0; k < kMaxFloat; ++k) {
                        run.f[k] = left.f[k] + first * df[k];
                        run.df[k] = df[k];
                    }
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
