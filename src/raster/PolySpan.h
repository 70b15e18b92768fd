// Span routines of the polygon filler: one horizontal run of pixels, its colours produced one way
// (the span source) and combined with the destination by one pixel operation, with or without
// the depth test. The routine for a material is picked once from a table (selectPolySpan).
#pragma once

#include <cstdint>

#include "image/SimdLevel.h"

namespace polyspan {

// The pixel operations, per byte of the pixel (d destination, s source, a = opacity * 255):
enum class PixelOp : uint8_t {
    Replace,        // s
    Average,        // (d + s) >> 1
    Alpha,          // d * (255 - a) / 256 + s * a / 256, each quotient floored
    Add,            // min(255, d + s)
    Sub,            // max(0, d - s)
    AddScaled,      // min(255, d + s * a / 256)
    SubScaled,      // max(0, d - s * a / 256)
    TexelWeighted,  // c * t / 256 + d * (255 - t) / 256 with texel byte t and lit colour c
};
constexpr int kPixelOpCount = 8;

// The operation a sub-material selects: blendMode 0 normal, 3 subtractive, other additive;
// opacityKind 20 weighs the colour by the opacity.
PixelOp choosePixelOp(int blendMode, int opacityKind, float opacity);

// Depth handling of a span: none, test only, or test and write (only replacing spans write).
enum class DepthMode : uint8_t { Off, Test, TestWrite };

// Where the colour of each pixel comes from (what a new source needs: PolyFillerKinds.h).
enum class Source : uint8_t {
    Flat,           // one colour for the polygon
    Palette,        // palette[light]
    PaletteWeight,  // palette[light], weighed against the destination by weight (0..255)
    Texture,        // texel at (u, v)
    Perspective,    // texel at (uw / w, vw / w)
    LitTexture,     // palette[light] and the texel at (u, v), met by a Combine rule
};

// How a texel t meets the lit colour c (LitTexture):
enum class Combine : uint8_t {
    Sub,          // max(0, t - c): the palette holds the missing light (negative palette)
    Mul,          // t * c >> 8
    Add,          // min(255, t + c)
    Stencil,      // c where t is nonzero, the destination elsewhere
    TexelWeight,  // c weighed by t against the destination (PixelOp::TexelWeighted)
};

// A value along a span: at its first pixel and its step per pixel, 16.16, wrapping modulo 2^32.
struct Ramp {
    uint32_t at = 0, step = 0;
};
// A float value along a span (perspective): at its first pixel and its step per pixel.
struct FloatRamp {
    float at = 0, step = 0;
};

// One span as the scanline engine hands it over: n pixels from dst (and depth, when tested),
// and the values along it. The values have one layout for every source, the vertex values'
// (RasterValues); each source reads the ones it draws with, the others are left unset.
struct SpanRun {
    uint32_t* dst = nullptr;
    uint32_t* depth = nullptr;
    int n = 0;
    uint32_t z = 0, dz = 0;  // depth, 0.32, wrapping modulo 2^32
    Ramp light, weight;      // palette index and weight, 16.16
    Ramp u, v;               // texel coordinates, 16.16
    FloatRamp w, uw, vw;     // perspective: w = 1/z, u w and v w
};

// Per-material state the spans read, set by setMaterial (and the flat colour per polygon).
struct SpanContext {
    const uint32_t* palette = nullptr;
    uint32_t flat = 0;        // the flat colour of the polygon
    uint32_t alpha = 0;       // opacity * 255 rounded, 0..255
    uint32_t modFactor = 0;   // weighing sources: weight = (m * modFactor) >> 8
    const uint32_t* texels = nullptr;
    int64_t texWidth = 0;
    uint32_t maskU = 0, maskV = 0;
    int shiftU = 0;
};

using PolySpanFn = void (*)(const SpanRun& run, const SpanContext& ctx);

// Everything that picks a span routine.
struct SpanKey {
    Source source = Source::Flat;
    bool bilinear = false;     // texture sources: bilinear (else nearest)
    bool texelAlpha = false;   // texture sources: the texel's top byte weighs the colour
    Combine combine = Combine::Sub;
    PixelOp op = PixelOp::Replace;
    DepthMode depth = DepthMode::Off;
};

// The routine for a key at the process-wide SIMD level, or at a given level (parity tests; a
// level beyond the CPU's is capped to the widest it runs). A key without a loop of its own at a
// level takes the next lower level's. Null for a combination the table does not have.
PolySpanFn selectPolySpan(const SpanKey& key);
PolySpanFn selectPolySpan(const SpanKey& key, SimdLevel level);

// The weight factor of the weighing sources for an operation: 256 for the full operations,
// 128 for the average, the opacity for the opacity-weighted ones.
uint32_t modulationFactor(PixelOp op, uint32_t alpha);

} // namespace polyspan
