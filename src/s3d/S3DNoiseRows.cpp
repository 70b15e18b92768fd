#include "s3d/S3DNoiseRows.h"

#include <algorithm>

#include "foundation/PerlinNoiseSse2.h"

namespace {

using perlin_sse2::Lattice4;
using perlin_sse2::lerp4;
using perlin_sse2::sCurve4;

void noiseColumnsScalar(const PerlinNoise& noise, const float* x, const float* y, const float* z, float c, float* nx,
                        float* ny, float* nz, int n)
{
    for (int k = 0; k < n; ++k) {
        nx[k] = noise.noise3(z[k], y[k], c);
        ny[k] = noise.noise3(x[k], z[k], c);
        nz[k] = noise.noise3(x[k], y[k], c);
    }
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

// A coordinate's lattice cell and s-curve.
struct Cell4 {
    Lattice4 l;
    __m128 s;
    explicit Cell4(__m128 v) : l(v), s(sCurve4(l.r0)) {}
};

// noise3 of four points from the cells of their x and y and the shared z, in the order of noise3: corners
// (x0 y0), (x1 y0), (x0 y1), (x1 y1) of the near layer (z0) and the far one (z1); lerps along x, then y,
// then z.
__m128 noise4(const int* p, const float* g, const Cell4& cx, const Cell4& cy, const Lattice4& lz, __m128 sz)
{
    const Lattice4 &lx = cx.l, &ly = cy.l;
    const __m128 sx = cx.s, sy = cy.s;
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

// Four points: the cells of x, y and z, then the three noises.
void columns4(const int* p, const float* g, const float* x, const float* y, const float* z, const Lattice4& lc,
              __m128 sc, float* nx, float* ny, float* nz)
{
    const Cell4 cx(_mm_loadu_ps(x)), cy(_mm_loadu_ps(y)), cz(_mm_loadu_ps(z));
    _mm_storeu_ps(nx, noise4(p, g, cz, cy, lc, sc));
    _mm_storeu_ps(ny, noise4(p, g, cx, cz, lc, sc));
    _mm_storeu_ps(nz, noise4(p, g, cx, cy, lc, sc));
}

void noiseColumnsSse2(const PerlinNoise& noise, const float* x, const float* y, const float* z, float c, float* nx,
                      float* ny, float* nz, int n)
{
    const int* p = noise.permutationTable();
    const float* g = noise.gradient3Table();
    const Lattice4 lc(_mm_set1_ps(c));
    const __m128 sc = sCurve4(lc.r0);
    int k = 0;
    for (; k + 4 <= n; k += 4) columns4(p, g, x + k, y + k, z + k, lc, sc, nx + k, ny + k, nz + k);
    if (k == n) return;
    // The last one to three points through a padded step.
    float t[3][4] = {}, out[3][4];
    std::copy(x + k, x + n, t[0]);
    std::copy(y + k, y + n, t[1]);
    std::copy(z + k, z + n, t[2]);
    columns4(p, g, t[0], t[1], t[2], lc, sc, out[0], out[1], out[2]);
    std::copy(out[0], out[0] + (n - k), nx + k);
    std::copy(out[1], out[1] + (n - k), ny + k);
    std::copy(out[2], out[2] + (n - k), nz + k);
}

} // namespace

NoiseColumnsFn selectNoiseColumns(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Scalar: return noiseColumnsScalar;
    case SimdLevel::Sse2: return noiseColumnsSse2;
    case SimdLevel::Avx2:
#if TL_HAVE_AVX2
        return noiseColumnsAvx2;
#else
        return noiseColumnsSse2;
#endif
    }
    return noiseColumnsScalar;
}
