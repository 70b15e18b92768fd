// The set-up of the polygon filler: destination, depth buffer, and the material each kind draws
// with (its span routines, by the kind's set-up in kFillerKinds).
#include "raster/PolyFiller.h"

#include "foundation/Report.h"
#include "image/BlendKernels.h"

using polyspan::Combine;
using polyspan::DepthMode;
using polyspan::PixelOp;
using polyspan::SpanKey;

namespace {

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
    m_inverseWidth = 1.0 / t.width;
    m_inverseHeight = 1.0 / t.height;
    return true;
}

void PolyFiller::chooseSpans(SpanKey key, PixelOp depthOp)
{
    // Spans shorter than one AVX2 step go to the SSE2 loops, which start faster (same bytes).
    const SimdLevel level = simdLevel();
    const SimdLevel shortLevel = level == SimdLevel::Avx2 ? SimdLevel::Sse2 : level;
    key.depth = DepthMode::Off;
    m_spanNoDepth = {polyspan::selectPolySpan(key, shortLevel), polyspan::selectPolySpan(key, level)};
    // Only the replace operation writes depth; the blending ones only test it.
    key.depth = depthOp == PixelOp::Replace ? DepthMode::TestWrite : DepthMode::Test;
    m_spanDepth = {polyspan::selectPolySpan(key, shortLevel), polyspan::selectPolySpan(key, level)};
    if (!m_spanNoDepth.isValid() || !m_spanDepth.isValid()) m_materialValid = false;
}

void PolyFiller::setMaterial(const RasterMaterial* material)
{
    if (!takeMaterial(material)) return;
    SpanKey key{.source = m_kind.source, .op = m_op};
    switch (m_kind.setUp) {
    case FillSetUp::Plain: break;
    case FillSetUp::Texture:
        if (!takeTexture(m_material.texture)) return;
        key.bilinear = bilinearTexture();
        key.texelAlpha = m_material.texture.hasAlpha;
        break;
    case FillSetUp::LitTexture: {
        if (!takeTexture(m_material.texture)) return;
        key.bilinear = bilinearTexture();
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
        break;
    }
    }
    chooseSpans(key, m_op);
}
