// Shared pieces of the blit family: 16.16 fixed-point helpers, the scaled blit's variant choice and
// geometry (exposed for tests), the allocation test for unchecked fetches and the checked fetches'
// pixel access.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "image/BlendKernels.h"
#include "image/BlendMode.h"
#include "image/BlitSpan.h"

class CImage32;

namespace blit {

// Fixed16: x * 65536 rounded to the nearest integer (halves away from zero).
inline int64_t fixed16(double x) { return std::llround(x * 65536.0); }
// ceil of a 16.16 value, as an integer.
inline int64_t ceil16(int64_t x) { return (x + 0xFFFF) >> 16; }
// floor(a * b / 65536) for 16.16 operands.
inline int64_t floorMul16(int64_t a, int64_t b) { return (a * b) >> 16; }

// A blend rule, its weight source, and whether the source is filtered.
struct Variant {
    blend::Rule rule;
    blend::Weight weight;
    bool filter;
};

// blitScaled's selection rules; nothing when that combination draws nothing.
[[nodiscard]] std::optional<Variant> chooseScaledVariant(BlendMode mode, bool sourceAlpha, bool alphaMap, float opacity, bool filter);

// blitRotation's span table (add, subtract, any other value is normal).
[[nodiscard]] std::optional<Variant> chooseRotationVariant(BlendMode mode, bool sourceAlpha, bool alphaMap, float opacity, bool filter);

// blitScaled's destination rectangle and source stepping, all 16.16 except the pixel counts.
struct ScaledGeometry {
    int64_t x0 = 0, y0 = 0;            // first destination column and row
    int64_t columns = 0, rows = 0;     // at least 1 each
    int64_t u = 0, v = 0;              // source position of (x0, y0)
    int64_t du = 0, dv = 0;            // per destination column and row
};
[[nodiscard]] std::optional<ScaledGeometry> scaledGeometry(int srcW, int srcH, int dstW, int dstH, float centreX, float centreY,
                                             float scaleX, float scaleY);

// The checked fetches' pixel access: any linear index outside [0, count) reads as 0.
struct CheckedPixels {
    const uint32_t* p;
    uint64_t count;
    uint32_t at(int64_t i) const { return uint64_t(i) < count ? p[i] : 0u; }
    // Whether pixels i and i + 1 both lie inside (then one 64-bit read gives the pair).
    bool pairInside(int64_t i) const { return uint64_t(i) < count - 1; }
};

// Whether linear pixel indices first..last (relative to row 0) lie inside the image's memory:
// its guard rows count when it has them.
[[nodiscard]] bool readsInside(const CImage32& image, int64_t first, int64_t last);

} // namespace blit
