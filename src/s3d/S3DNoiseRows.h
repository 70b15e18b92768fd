// Gradient noise over columns of points, for the noise modifier: the very floats noise3 gives, with one z for
// all of them (the modifier's phase), at every SIMD level. Chosen once per call from the level in force.
#pragma once

#include "foundation/PerlinNoise.h"
#include "image/SimdLevel.h"

// The noise modifier's three noises at n points from the columns x, y, z (its scaled gizmo coordinates plus
// 0.5) and its phase c: nx = noise3(z, y, c), ny = noise3(x, z, c), nz = noise3(x, y, c). The lattice cell of
// each coordinate is found once for the two noises that read it.
using NoiseColumnsFn = void (*)(const PerlinNoise& noise, const float* x, const float* y, const float* z, float c,
                                float* nx, float* ny, float* nz, int n);

// The kernel of a level: the scalar twin calls noise3 three times a point; SSE2 takes four points a step;
// AVX2 eight.
NoiseColumnsFn selectNoiseColumns(SimdLevel level);

// Internal: the AVX2 kernel (S3DNoiseRowsAvx2.cpp).
void noiseColumnsAvx2(const PerlinNoise& noise, const float* x, const float* y, const float* z, float c, float* nx,
                      float* ny, float* nz, int n);
