// Transcendental functions with the same bits on every target (glibc, musl, WebAssembly): the
// vendored musl routines of foundation/math/, in float and double as the C library has them.
#pragma once

#include "foundation/math/tl_math.h"

namespace pmath {

inline float sin(float x) { return tl_sinf(x); }
inline float cos(float x) { return tl_cosf(x); }
inline float tan(float x) { return tl_tanf(x); }
inline float asin(float x) { return tl_asinf(x); }
inline float acos(float x) { return tl_acosf(x); }
inline float atan2(float y, float x) { return tl_atan2f(y, x); }
inline float exp(float x) { return tl_expf(x); }
inline float log(float x) { return tl_logf(x); }
inline float pow(float x, float y) { return tl_powf(x, y); }

inline double sin(double x) { return tl_sin(x); }
inline double cos(double x) { return tl_cos(x); }
inline double acos(double x) { return tl_acos(x); }
inline double cbrt(double x) { return tl_cbrt(x); }
inline double pow(double x, double y) { return tl_pow(x, y); }

}  // namespace pmath
