// The polygon filler: convex screen polygons of up to nine vertices into a 32-bit image, with or
// without a 1/z depth buffer, one kind per set of interpolated values. All kinds share one
// scanline engine (16.16 edge walking with pre-stepping, constant gradients for triangles) and
// differ in the values they carry and the span routines setMaterial picks for them, as their row
// of kFillerKinds (PolyFillerKinds.h) says.
//
// Fill convention: scanlines ceil(y_top) .. ceil(y_bottom) - 1, pixels ceil(x_left) ..
// ceil(x_right) - 1, so an edge shared by two polygons is drawn once. Vertices must run
// counter-clockwise on the screen (y down: top, lower left, lower right); the other winding
// draws nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "raster/PolyFillerKinds.h"
#include "raster/PolySpan.h"
#include "raster/RasterTypes.h"

class PolyFiller {
public:
    static constexpr const char* kCaption = "PolyFiller warning:";

    // A filler of one kind, as its row of kFillerKinds describes it.
    explicit PolyFiller(const FillerKind& kind);
    PolyFiller(const PolyFiller&) = delete;
    PolyFiller& operator=(const PolyFiller&) = delete;
    virtual ~PolyFiller() = default;

    // The target image (not owned). Reports and keeps the previous one when it is null, has no
    // size or no pixels. A depth buffer of another size than the new image is let go.
    void setDestination(const RasterImage* image);
    // The depth buffer (not owned): null is ignored; another size than the destination is
    // reported and not taken; one without cells is reported and leaves the filler without one.
    void setZBuffer(const RasterDepth* zBuffer);
    // The sub-material to draw with: its palette, opacity and pixel operation, and the two span
    // routines (without and with depth) the kind's set-up picks for it. The same material again
    // changes nothing; null (or a material this kind cannot draw) makes the filler draw nothing.
    void setMaterial(const RasterMaterial* material);
    // Draws a convex polygon of n vertices (n >= 10 draws nothing). paletteIndex is the flat
    // kinds' one index per polygon (held to 0..255).
    void drawPolygon(const RasterVertex* vertices, int n, int paletteIndex = 0);
    // drawPolygon in two steps, so that the values of a polygon that fills no pixel (most of a
    // dense mesh's) need not be worked out. beginPolygon reads the positions (x, y) alone and
    // walks the edges to the first scanline that fills a pixel: false when there is none (the
    // polygon draws nothing and the walk is over). After true, finishPolygon with the same
    // vertices, their values now set, draws the polygon from there; the two together draw what
    // drawPolygon draws. finishPolygon without a walk begun does nothing.
    bool beginPolygon(const RasterVertex* vertices, int n);
    void finishPolygon(const RasterVertex* vertices, int paletteIndex = 0);

    // Whether drawPolygon reads its paletteIndex (the flat kinds); the others ignore it.
    bool usesFlatIndex() const { return (m_kind.values & kFillFlatIndex) != 0; }
    const FillerKind& kind() const { return m_kind; }
    bool hasMaterial() const { return m_materialValid; }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    const uint32_t* getZBuffer() const { return m_pZBuffer; }

private:
    // Common part of setMaterial: false when nothing more is to be done (the same material, or
    // none). Otherwise the material is current, its palette and alpha taken, and the pixel
    // operation of its blend mode, opacity kind and opacity is in m_op.
    bool takeMaterial(const RasterMaterial* material);
    // Picks the two span routines for a key (its depth field is set here); a key the table does
    // not have leaves the filler without a material.
    void chooseSpans(polyspan::SpanKey key, polyspan::PixelOp depthOp);
    // Takes the material's texture for sampling; false when it is missing or inconsistent.
    bool takeTexture(const RasterTexture& texture);
    // Whether bilinear sampling is possible: asked for, and the texture has guard rows.
    bool bilinearTexture() const { return m_material.bilinear && m_material.texture.guardRows; }

    RasterMaterial m_material;
    bool m_materialValid = false;
    polyspan::PixelOp m_op = polyspan::PixelOp::Replace;

    static constexpr int kMaxLanes = 3;  // values interpolated at most, fixed or float
    static_assert(kMaxFillLanes <= kMaxLanes);

    // Vertices to the engine's fixed point, then the scanlines, for a kind's values (FillValue
    // flags); one instantiation per row's values, picked when the filler is made.
    template <int kValues>
    void fill(const RasterVertex* vertices, int64_t paletteIndex);
    template <class L, bool kTriangle>
    void rasterize();
    using FillFn = void (PolyFiller::*)(const RasterVertex* vertices, int64_t paletteIndex);
    template <size_t... I>
    static FillFn fillFor(int values, std::index_sequence<I...>);

    // Whole texture sizes to take from every u and v of a polygon, so that coordinates far from
    // zero keep their fraction in fixed point: the texel masks make the shift invisible.
    void textureShift(const RasterVertex* vertices, int n, double& shiftU, double& shiftV) const;

    const FillerKind m_kind;
    const FillFn m_fill;
    double m_inverseWidth = 0.0, m_inverseHeight = 0.0;  // of the texture (powers of two: exact)
    uint32_t* m_pDestination = nullptr;
    uint32_t* m_pZBuffer = nullptr;
    int m_width = 0, m_height = 0;
    polyspan::SpanContext m_ctx;
    // The span routines of a material: `narrow` for spans shorter than kWideSpan pixels, `wide`
    // for the others.
    struct SpanPair {
        static constexpr int kWideSpan = 8;
        polyspan::PolySpanFn narrow = nullptr, wide = nullptr;
        bool isValid() const { return narrow && wide; }
        void operator()(const polyspan::SpanRun& run, const polyspan::SpanContext& ctx) const
        {
            (run.n < kWideSpan ? narrow : wide)(run, ctx);
        }
    };
    SpanPair m_spanNoDepth, m_spanDepth;
    // Vertex buffer of the polygon being drawn, in fixed point.
    struct FixedVertex {
        int64_t x, y, z;        // 16.16, 16.16, 0.32
        int64_t q[kMaxLanes];   // the kind's values, 16.16
        float f[kMaxLanes];     // perspective: w, u * w, v * w
    };
    FixedVertex m_vertex[kMaxPolygonVertices];
    // One edge's walk of the positions: x at the current scanline and its step, the edge's first
    // scanline and the scanlines left on it, and what entering its values takes (the edge's
    // height, the pre-step to its first scanline, whether it covers one scanline).
    struct EdgeWalk {
        int64_t x = 0, dx = 0, ys = 0, rows = 0, dy = 0, pre = 0;
        bool one = false;
        int from = 0, to = 0;  // its vertices
    };
    // The walk beginPolygon stopped at: the scanline y, the two edges there and the bottom
    // vertex; `n` 0 when no walk is begun.
    struct Walk {
        int n = 0, bottom = 0;
        int64_t y = 0;
        EdgeWalk left, right;
    };
    Walk m_walk;
};

// A filler of a drawing kind named in the code (tests, benchmarks). The draw manager makes its
// fillers from the rows themselves; a new kind needs a name here only where code names it.
template <int K>
class KindFiller : public PolyFiller {
    static_assert(fillerKindRow(K) >= 0, "no row of kFillerKinds has this kind");

public:
    KindFiller() : PolyFiller(*findFillerKind(K)) {}
};

// One palette colour per polygon.
using FlatFiller = KindFiller<kDrawFlat>;
// The palette by the interpolated light.
using GouraudFiller = KindFiller<kDrawGouraud>;
// The palette by light, weighed against the destination by the weight (0..255): the pixel
// operation takes its weighted form with weight * k / 256 (k 256 for replace, add and
// subtract, 128 for the average, the opacity for the opacity-weighted operations).
using TwoValueFiller = KindFiller<kDrawTwoValue>;
// The texture at interpolated (u, v), nearest or bilinear. A texture with its own opacity weighs
// each texel by its top byte, as TwoValueFiller weighs by the weight.
using TwoValueTextureFiller = KindFiller<kDrawTexture>;
// Light and (u, v): the palette colour c and the texel t meet by the material's opacity
// kind (1..3, or 101..103 for FlatTextureFiller): 2 stencil (c where t is nonzero); 3 in the
// normal blend mode the texel weighs c against the destination per byte (nearest texel); else by
// the texture mode: 0 max(0, t - c) (its palette is built inverted), 1 t * c >> 8, other
// min(255, t + c), then the pixel operation.
using ThreeValueFiller = KindFiller<kDrawLitTexture>;
// (u, v) with one palette index per polygon, combined as ThreeValueFiller does.
using FlatTextureFiller = KindFiller<kDrawFlatTexture>;
// Perspective-correct (u, v): u w, v w and w interpolated as floats, divided per pixel.
using PerspectiveFiller = KindFiller<kDrawPerspective>;
// The filler of the linked-image drawing: no drawing of its own, it fills as GouraudFiller does
// (the light index); the linked image is not drawn.
using LinkedImageFiller = KindFiller<kDrawLinkedImage>;
