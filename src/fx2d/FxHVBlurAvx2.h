// Internal to the box blur: its AVX2 loops, taken only where simdLevelSupported(SimdLevel::Avx2).
#pragma once

#include <cstdint>

#include "fx2d/FxHVBlur.h"
#include "image/BlendMode.h"
#include "image/SimdLevel.h"

namespace hvblur {

// Rows firstRow..lastRow, four at a time; `line` holds 4 x width 64-bit words (two interleaved
// lines of 16 bytes per column: the saved pixels, then the results).
template <BlendMode Mode>
TL_TARGET_AVX2 void rowsAvx2(uint32_t* pixels, int width, int firstRow, int lastRow, int h,
                             const FxHVBlur::Divisor& d, uint64_t* line);

// Every column, four at a time; `sums` holds 4 x (width + 1) lanes, `saved` min(h, height) rows.
template <BlendMode Mode>
TL_TARGET_AVX2 void columnsAvx2(uint32_t* pixels, int width, int height, int h, const FxHVBlur::Divisor& d,
                                uint16_t* sums, uint32_t* saved);

} // namespace hvblur
