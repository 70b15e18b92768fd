// Span loops of the blit family: one horizontal run of destination pixels, its source samples
// fetched one way (the Fetch kind) and blended by one rule of the kernel family. The loop for a
// call is picked once from a table (selectSpan), never per pixel.
#pragma once

#include <cstdint>

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"

namespace blit {

// How the source samples of a span are fetched (all coordinates 16.16, no half-pixel offset).
enum class Fetch : uint8_t {
    Direct,       // same-size blits: source pixel i for destination pixel i
    RowNearest,   // one source row (v fixed), column u >> 16, u += du; unchecked
    RowBilinear,  // the same, bilinear with the row below; unchecked
    Nearest2D,    // (u >> 16, v >> 16), both stepped; reads outside the image give 0
    Bilinear2D,   // the same, bilinear
};
constexpr int kFetchCount = 5;

// Everything a span loop reads. The unchecked fetches may read one row and one pixel past the
// image (the bilinear neighbours); the caller makes sure those reads lie inside the allocation.
// The checked fetches treat every linear index outside [0, count) as a zero pixel, which is what
// the zero guard rows of an owned allocation hold, so both give the same pixels.
struct SpanSource {
    const uint32_t* pixels = nullptr;  // source row 0
    const uint32_t* map = nullptr;     // alpha map row 0, laid out like the source, or null
    int64_t width = 0;                 // source stride in pixels
    int64_t count = 0;                 // source width * height
    int64_t u = 0, v = 0;              // 16.16 source position of the span's first pixel
    int64_t du = 0, dv = 0;            // 16.16 step per destination pixel (dv unused by Row*)
    uint32_t weight = 0;               // opacity weight a, 0..255
};

using SpanFn = void (*)(uint32_t* dst, int64_t n, const SpanSource& src);

// The span loop for a rule, weight source and fetch kind at the process's SIMD level. Null for a
// rule/weight pair the family does not have.
SpanFn selectSpan(blend::Rule rule, blend::Weight weight, Fetch fetch);
// The same at a given level (parity tests).
SpanFn selectSpan(blend::Rule rule, blend::Weight weight, Fetch fetch, SimdLevel level);

} // namespace blit
