// Gradient noise over rows of points, for the noise modifier: out[k] = noise.noise3(x[k], y[k], z) with one z
// for the whole row (the modifier's phase), the very floats noise3 gives, at every SIMD level. Chosen once
// per call from the level in force.
#pragma once

#include "foundation/PerlinNoise.h"
#include "image/SimdLevel.h"

using NoiseRowFn = void (*)(const PerlinNoise& noise, const float* x, const float* y, float z, float* out, int n);

// The row kernel of a level: the scalar twin calls noise3 per point; SSE2 takes four points a step; AVX2
// eight.
NoiseRowFn selectNoiseRow(SimdLevel level);

// Internal: the AVX2 kernel (S3DNoiseRowsAvx2.cpp).
void noiseRowAvx2(const PerlinNoise& noise, const float* x, const float* y, float z, float* out, int n);
