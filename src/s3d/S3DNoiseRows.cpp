#include "s3d/S3DNoiseRows.h"

#include <algorithm>

#include "foundation/PerlinNoiseSse2.h"

namespace {

using perlin_sse2::Lattice4;
using perlin_sse2::lerp4;
using perlin_sse2::sCurve4;

void noiseRowScalar(const PerlinNoise& noise, const float* x, const float* y, float z, float* out, int n)
{
    for (int k = 0; k < n; ++k) out[k] = noise.noise3(x[k], y[k], z);
}

// One corner of four points: the gradient rows at `at` turned into x, y and z columns, then (rx q0 + ry q1) +
// rz q2.
__m128 corner4(const float* g, const uint32_t (&at)[4], __m128 rx, __m128 ry, __m128 rz)
{
    __m128 q0 = _mm_load_ps(g + 4 * at[0]);
    __m128 q1 = _mm_load_ps(g + 4 * at[1]);
    __m128 q2 = _mm_load_ps(g + 4 * at[2]);
    __m128 q3 = _mm_load_ps(g + 4 * at[3]);
    _MM_TRANSPOSE4_PS(q0, q1, q2, q3);
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(rx, q0), _mm_mul_ps(ry, q1)), _mm_mul_ps(rz, q2));
}

// Four points of one row, in the order of noise3: corners (x0 y0), (x1 y0), (x0 y1), (x1 y1) of the near
// layer (z0) and the far one (z1); lerps along x, then y, then z.
__m128 noise4(const int* p, const float* g, __m128 vx, __m128 vy, const Lattice4& lz, __m128 sz)
{
    const Lattice4 lx(vx), ly(vy);
    const __m128 sx = sCurve4(lx.r0), sy = sCurve4(ly.r0);
    alignas(16) uint32_t at[8][4];  // [corner][point]: near 00 10 01 11, then far
    for (int k = 0; k < 4; ++k) {
        const uint32_t i = uint32_t(p[lx.b0[k]]), j = uint32_t(p[lx.b1[k]]);
        const uint32_t c[4] = {uint32_t(p[i + ly.b0[k]]), uint32_t(p[j + ly.b0[k]]), uint32_t(p[i + ly.b1[k]]),
                               uint32_t(p[j + ly.b1[k]])};
        for (int e = 0; e < 4; ++e) {
            at[e][k] = c[e] + lz.b0[0];
            at[4 + e][k] = c[e] + lz.b1[0];
        }
    }
    const __m128 rz0 = _mm_shuffle_ps(lz.r0, lz.r0, 0), rz1 = _mm_shuffle_ps(lz.r1, lz.r1, 0);
    const __m128 n00 = corner4(g, at[0], lx.r0, ly.r0, rz0), n10 = corner4(g, at[1], lx.r1, ly.r0, rz0);
    const __m128 n01 = corner4(g, at[2], lx.r0, ly.r1, rz0), n11 = corner4(g, at[3], lx.r1, ly.r1, rz0);
    const __m128 f00 = corner4(g, at[4], lx.r0, ly.r0, rz1), f10 = corner4(g, at[5], lx.r1, ly.r0, rz1);
    const __m128 f01 = corner4(g, at[6], lx.r0, ly.r1, rz1), f11 = corner4(g, at[7], lx.r1, ly.r1, rz1);
    const __m128 near = lerp4(sy, lerp4(sx, n00, n10), lerp4(sx, n01, n11));
    const __m128 far = lerp4(sy, lerp4(sx, f00, f10), lerp4(sx, f01, f11));
    return lerp4(sz, near, far);
}

void noiseRowSse2(const PerlinNoise& noise, const float* x, const float* y, float z, float* out, int n)
{
    const int* p = noise.permutationTable();
    const float* g = noise.gradient3Table();
    const Lattice4 lz(_mm_set1_ps(z));
    const __m128 sz = sCurve4(lz.r0);
    int k = 0;
    for (; k + 4 <= n; k += 4) _mm_storeu_ps(out + k, noise4(p, g, _mm_loadu_ps(x + k), _mm_loadu_ps(y + k), lz, sz));
    if (k == n) return;
    // The last one to three points through a padded step.
    alignas(16) float tx[4] = {}, ty[4] = {}, to[4];
    std::copy(x + k, x + n, tx);
    std::copy(y + k, y + n, ty);
    _mm_store_ps(to, noise4(p, g, _mm_load_ps(tx), _mm_load_ps(ty), lz, sz));
    std::copy(to, to + (n - k), out + k);
}

} // namespace

NoiseRowFn selectNoiseRow(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Scalar: return noiseRowScalar;
    case SimdLevel::Sse2: return noiseRowSse2;
    case SimdLevel::Avx2: return noiseRowAvx2;
    }
    return noiseRowScalar;
}
