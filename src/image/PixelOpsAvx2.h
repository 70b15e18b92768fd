// The AVX2 loops of the pixel operations (eight pixels per step) and the scalar twins that finish
// their last pixels; both defined beside their tables, the AVX2 ones in PixelOpsAvx2.cpp. Call the
// AVX2 loops only when the CPU has AVX2.
#pragma once

#include <cstdint>

#include "image/SimdLevel.h"

namespace pixelops {

namespace scalar {
void greyInto(uint32_t* p, int64_t n, uint32_t keepMask);
void addSaturate(uint32_t* d, int64_t n, const uint32_t* s);
void addSaturateValue(uint32_t* d, int64_t n, uint32_t v);
void subSaturateValue(uint32_t* d, int64_t n, uint32_t v);
void xorBytes(uint32_t* d, int64_t n, uint32_t v);
void andBytes(uint32_t* d, int64_t n, uint32_t v);
} // namespace scalar

namespace avx2 {
TL_TARGET_AVX2 void greyInto(uint32_t* p, int64_t n, uint32_t keepMask);
TL_TARGET_AVX2 void addSaturate(uint32_t* d, int64_t n, const uint32_t* s);
TL_TARGET_AVX2 void addSaturateValue(uint32_t* d, int64_t n, uint32_t v);
TL_TARGET_AVX2 void subSaturateValue(uint32_t* d, int64_t n, uint32_t v);
TL_TARGET_AVX2 void xorBytes(uint32_t* d, int64_t n, uint32_t v);
TL_TARGET_AVX2 void andBytes(uint32_t* d, int64_t n, uint32_t v);
} // namespace avx2

} // namespace pixelops
