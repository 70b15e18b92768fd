// Per-vertex work of preparing an object over whole arrays: normalising vectors, four at a time where the CPU
// allows, with the floats of the one-vector formula (the same operations in the same order per lane). Chosen
// once per call from the SIMD level in force.
#pragma once

#include <cmath>
#include <cstddef>

#include "foundation/Point3D.h"
#include "image/SimdLevel.h"

// v = v / |v|, |v| = sqrt((x x + y y) + z z); a vector whose length is not above zero (or NaN) becomes (0, 0,
// 0).
using NormalizeFn = void (*)(Point3D* v, size_t n);
NormalizeFn selectNormalize(SimdLevel level);

inline Point3D normalizedOrZero(const Point3D& v)
{
    const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return len > 0.0f ? Point3D{v.x / len, v.y / len, v.z / len} : Point3D{};
}
