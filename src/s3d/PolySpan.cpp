// Choosing the pixel operation of a material and the span routine of a key.
#include "s3d/PolySpan.h"

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"
#include "s3d/PolySpanLoop.h"

namespace polyspan {

namespace {
// The one place the filler asks the process-wide SIMD switch.
bool simdWanted() { return simdLevel() != SimdLevel::Scalar; }
} // namespace

PixelOp choosePixelOp(int blendMode, int opacityKind, float opacity)
{
    const bool weighted = opacityKind == 20;
    if (blendMode == 0) {
        if (weighted) return PixelOp::Alpha;
        if (opacity == 0.5f) return PixelOp::Average;
        if (opacity == 1.0f) return PixelOp::Replace;
        return PixelOp::Alpha;
    }
    if (blendMode == 3) return weighted ? PixelOp::SubScaled : PixelOp::Sub;
    return weighted ? PixelOp::AddScaled : PixelOp::Add;
}

uint32_t modulationFactor(PixelOp op, uint32_t alpha)
{
    switch (op) {
    case PixelOp::Average: return 128;
    case PixelOp::Alpha:
    case PixelOp::AddScaled:
    case PixelOp::SubScaled: return alpha;
    default: return 256;
    }
}

PolySpanFn selectPolySpan(const SpanKey& key, bool simd)
{
    switch (key.source) {
    case Source::Flat:
    case Source::Palette:
    case Source::PaletteWeight: return findPaletteSpan(key, simd);
    case Source::Texture:
    case Source::Perspective: return findTextureSpan(key, simd);
    case Source::LitTexture: return findLitTextureSpan(key, simd);
    }
    return nullptr;
}

PolySpanFn selectPolySpan(const SpanKey& key) { return selectPolySpan(key, simdWanted()); }

} // namespace polyspan
