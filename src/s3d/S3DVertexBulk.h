// Per-vertex work of preparing an object over whole arrays: normalising vectors, four at a time where the CPU
// allows, with the floats of the one-vector formula (the same operations in the same order per lane). Chosen
// once per call from the SIMD level in force.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "foundation/Matrix.h"
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

// A light moved into an object's space, with what its type needs per vertex.
struct S3DObjectLight {
    int type = 1;  // 2 spot, 3 directional, any other omni
    float nearAttenuation = 0.0f, farAttenuation = 0.0f, intensity = 0.0f, hotspot = 0.0f, falloff = 0.0f;
    Point3D position;
    Point3D direction;                       // unit, from the light to its target (spot)
    Matrix depthAlong = Matrix::identity();  // looking from the light at its target (directional)
};

// The light value of one light at vertex p with unit normal n (zero: no normal). Distance factor: 0 at or
// beyond far, 1 nearer than near, 1 - (d - near) / (far - near) between; d the distance to the light, or
// the depth along the directional light's view. Omni: factor x intensity. Spot: also x (n . l) (0 when
// negative; skipped without a normal) and the cone: 0 at or beyond falloff, faded linearly from hotspot
// to falloff by the angle acos(dir . l), l the unit vector from the light.
float lightValue(const S3DObjectLight& l, const Point3D& p, const Point3D& n);

// How one light's values go into the array: the first light writes v held to at most 1 (a directional
// one held to 0.001 .. 1); every further one adds, the sum held to 0.001 .. 1.
enum class S3DLightCombine : uint8_t { First, FirstDirectional, Add };
using S3DLightRowFn = void (*)(const S3DObjectLight& l, const Point3D* p, const Point3D* n, float* light, size_t count,
                               S3DLightCombine combine);
S3DLightRowFn selectLightRow(SimdLevel level);

struct S3DFace;

// The back-face test over faces: away[f] = ((B - A) x (C - A)) . A < 0 for face f's camera-space corners
// A B C (its vertex indices into v).
using S3DFacingFn = void (*)(const Point3D* v, const S3DFace* faces, size_t count, uint8_t* away);
S3DFacingFn selectFacing(SimdLevel level);
