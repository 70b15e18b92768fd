// The depth buffer the 3D renderer fills and tests: one uint32 cell per pixel holding w * 2^32,
// w = 1/z of the camera-space depth, so larger is nearer and 0 (the cleared cell) is farthest.
// Polygons write and test it, points and lines only test it. Each kind converts w and compares
// in its own way, all of them here.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

// w = 0.5, z = 2: the cells from here up are the near half, reached only with a near plane below 2.
constexpr uint32_t kDepthNearHalf = 0x80000000u;

// Polygons and points: w * 2^32 rounded to nearest (ties to even), held to 0 .. 2^32 - 1 (w = 1,
// z = 1, would not fit); not a number and w <= 0 give 0.
inline uint32_t depthCell(float w)
{
    const double z = double(w) * 4294967296.0;
    if (!(z > 0)) return 0;
    // rounded in the current mode, as llrint does, without the library call
    return z >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(_mm_cvtsd_si64(_mm_set_sd(z)));
}

// Lines: w * 2^32 rounded (ties away from zero), modulo 2^32, so w = 1 wraps to 0 and negative
// w to the top of the range; not finite gives 0. Lines step their depth modulo 2^32 too.
inline uint32_t lineDepth(float w)
{
    if (!std::isfinite(w)) return 0;
    // fmod keeps the value exact and within int64
    const double r = std::fmod(std::round(double(w) * 4294967296.0), 4294967296.0);
    return uint32_t(int64_t(r));
}

// Polygons and points are drawn where they are at least as near as the cell.
inline bool depthPasses(uint32_t cell, uint32_t z) { return z >= cell; }

// Lines are drawn where they are strictly nearer than the cell, but they take the near half
// (w >= 0.5, z <= 2) as lying behind every other depth: a cell there never hides a line of
// the far half, and a line there shows only over near-half cells it is nearer than. With a
// near plane of 2 or more every depth is in the far half and this is the plain comparison.
inline bool lineDepthPasses(uint32_t cell, uint32_t z)
{
    // The near half moved below the far half, the order within each kept: the order of the
    // values read as signed (the same as (cell ^ kDepthNearHalf) < (z ^ kDepthNearHalf)).
    return int32_t(cell) < int32_t(z);
}
