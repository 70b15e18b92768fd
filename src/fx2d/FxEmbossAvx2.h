// Internal to the relief filter: its AVX2 loop, taken only where simdLevelSupported(SimdLevel::Avx2).
#pragma once

#include <cstdint>

#include "image/SimdLevel.h"

namespace emboss {

// The whole image, relief (Shade false) or shading; `sums` holds (width + 2) x 4 lanes, `saved`
// two rows.
template <bool Shade>
TL_TARGET_AVX2 void embossAvx2(uint32_t* pixels, int width, int height, int intensity, int16_t* sums,
                               uint32_t* saved);

} // namespace emboss
