// Choosing the pixel operation of a material and the span routine of a key.
#include "s3d/PolySpan.h"

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"
#include "s3d/PolySpanTable.h"

namespace polyspan {

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

PolySpanFn selectPolySpan(const SpanKey& key, SimdLevel level)
{
    if (level == SimdLevel::Avx2 && simdLevelSupported(SimdLevel::Avx2)) {
        PolySpanFn fn = nullptr;
        switch (key.source) {
        case Source::Flat:
        case Source::Palette:
        case Source::PaletteWeight: fn = findPaletteSpanAvx2(key); break;
        case Source::Texture:
        case Source::Perspective: fn = findTextureSpanAvx2(key); break;
        case Source::LitTexture: fn = findLitTextureSpanAvx2(key); break;
        }
        if (fn) return fn;
    }
    const bool simd = level != SimdLevel::Scalar;
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

// The one place the filler asks the process-wide SIMD switch.
PolySpanFn selectPolySpan(const SpanKey& key) { return selectPolySpan(key, simdLevel()); }

} // namespace polyspan
