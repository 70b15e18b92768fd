// The AVX2 kernel of the noise modifier's columns: eight points a step, each lane doing noise3's operations in
// noise3's order (lattice, s-curve in double, corner values (rx q0 + ry q1) + rz q2, lerps along x, y, then
// z), so every float equals noise3's. Only called when the CPU has AVX2.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "s3d/S3DNoiseRows.h"

namespace {

constexpr int kMask = PerlinNoise::kTableSize - 1;
constexpr float kOffset = 10000.0f;

// The helpers are inlined into the step, so their vectors stay in registers.
#define TL_INLINE inline __attribute__((always_inline))

// Lattice cells of eight coordinates, as perlin_sse2::Lattice4 does four.
struct Lattice8 {
    __m256 r0, r1;
    __m256i b0, b1;
};

TL_TARGET_AVX2 TL_INLINE Lattice8 lattice8(__m256 v)
{
    Lattice8 l;
    const __m256 t = _mm256_add_ps(v, _mm256_set1_ps(kOffset));
    const __m256i i = _mm256_cvttps_epi32(t);
    l.r0 = _mm256_sub_ps(t, _mm256_cvtepi32_ps(i));
    l.r1 = _mm256_sub_ps(l.r0, _mm256_set1_ps(1.0f));
    const __m256i mask = _mm256_set1_epi32(kMask);
    l.b0 = _mm256_and_si256(i, mask);
    l.b1 = _mm256_and_si256(_mm256_add_epi32(l.b0, _mm256_set1_epi32(1)), mask);
    return l;
}

// s(t) = t^2 (3 - 2t): t*t in single precision, the rest in double, four lanes at a time.
TL_TARGET_AVX2 TL_INLINE __m128 sCurveHalf(__m128 t, __m128 t2)
{
    const __m256d d = _mm256_cvtps_pd(t);
    return _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtps_pd(t2), _mm256_sub_pd(_mm256_set1_pd(3.0), _mm256_add_pd(d, d))));
}

TL_TARGET_AVX2 TL_INLINE __m256 sCurve8(__m256 t)
{
    const __m256 t2 = _mm256_mul_ps(t, t);
    const __m128 lo = sCurveHalf(_mm256_castps256_ps128(t), _mm256_castps256_ps128(t2));
    const __m128 hi = sCurveHalf(_mm256_extractf128_ps(t, 1), _mm256_extractf128_ps(t2, 1));
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// a + t (b - a)
TL_TARGET_AVX2 TL_INLINE __m256 lerp8(__m256 t, __m256 a, __m256 b)
{
    return _mm256_add_ps(a, _mm256_mul_ps(t, _mm256_sub_ps(b, a)));
}

// Gradient rows of points k and k + 4 in one register.
TL_TARGET_AVX2 TL_INLINE __m256 rows(const float* g, const uint32_t* at, int k)
{
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_load_ps(g + 4 * at[k])), _mm_load_ps(g + 4 * at[k + 4]), 1);
}

// One corner of eight points: their gradient rows turned into x, y and z columns, then (rx q0 + ry q1) + rz
// q2.
TL_TARGET_AVX2 TL_INLINE __m256 corner8(const float* g, const uint32_t* at, __m256 rx, __m256 ry, __m256 rz)
{
    const __m256 a = rows(g, at, 0), b = rows(g, at, 1), c = rows(g, at, 2), d = rows(g, at, 3);
    const __m256 ab = _mm256_unpacklo_ps(a, b), cd = _mm256_unpacklo_ps(c, d);  // x y of a b, of c d
    const __m256 q0 = _mm256_shuffle_ps(ab, cd, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 q1 = _mm256_shuffle_ps(ab, cd, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 q2 = _mm256_shuffle_ps(_mm256_unpackhi_ps(a, b), _mm256_unpackhi_ps(c, d), _MM_SHUFFLE(1, 0, 1, 0));
    return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(rx, q0), _mm256_mul_ps(ry, q1)), _mm256_mul_ps(rz, q2));
}

// Eight points of one row. Lanes hold points 0 1 2 3 | 4 5 6 7; `at` rows are stored in that order too.
// A coordinate's lattice cell and s-curve, eight lanes.
struct Cell8 {
    Lattice8 l;
    __m256 s;
};

TL_TARGET_AVX2 TL_INLINE Cell8 cell8(__m256 v)
{
    Cell8 c;
    c.l = lattice8(v);
    c.s = sCurve8(c.l.r0);
    return c;
}

TL_TARGET_AVX2 TL_INLINE __m256 noise8(const int* p, const float* g, const Cell8& cx, const Cell8& cy, __m256i bz0,
                                       __m256i bz1, __m256 rz0, __m256 rz1, __m256 sz)
{
    const Lattice8 &lx = cx.l, &ly = cy.l;
    const __m256 sx = cx.s, sy = cy.s;
    // The hashed corners of each point, then their gradient rows near (z0) and far (z1).
    const __m256i i = _mm256_i32gather_epi32(p, lx.b0, 4), j = _mm256_i32gather_epi32(p, lx.b1, 4);
    const __m256i c[4] = {_mm256_i32gather_epi32(p, _mm256_add_epi32(i, ly.b0), 4),
                          _mm256_i32gather_epi32(p, _mm256_add_epi32(j, ly.b0), 4),
                          _mm256_i32gather_epi32(p, _mm256_add_epi32(i, ly.b1), 4),
                          _mm256_i32gather_epi32(p, _mm256_add_epi32(j, ly.b1), 4)};
    alignas(32) uint32_t at[8][8];  // [corner][point]: near 00 10 01 11, then far
    for (int e = 0; e < 4; ++e) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(at[e]), _mm256_add_epi32(c[e], bz0));
        _mm256_store_si256(reinterpret_cast<__m256i*>(at[4 + e]), _mm256_add_epi32(c[e], bz1));
    }
    // Read the rows' indices back from memory: plain loads, cheaper than extracting each lane.
    asm("" : : "r"(at) : "memory");
    // rows() pairs point k with point k + 4, so the columns come out in lane order 0 1 2 3 | 4 5 6 7.
    const __m256 n00 = corner8(g, at[0], lx.r0, ly.r0, rz0), n10 = corner8(g, at[1], lx.r1, ly.r0, rz0);
    const __m256 n01 = corner8(g, at[2], lx.r0, ly.r1, rz0), n11 = corner8(g, at[3], lx.r1, ly.r1, rz0);
    const __m256 f00 = corner8(g, at[4], lx.r0, ly.r0, rz1), f10 = corner8(g, at[5], lx.r1, ly.r0, rz1);
    const __m256 f01 = corner8(g, at[6], lx.r0, ly.r1, rz1), f11 = corner8(g, at[7], lx.r1, ly.r1, rz1);
    const __m256 near = lerp8(sy, lerp8(sx, n00, n10), lerp8(sx, n01, n11));
    const __m256 far = lerp8(sy, lerp8(sx, f00, f10), lerp8(sx, f01, f11));
    return lerp8(sz, near, far);
}

// Eight points: the cells of x, y and z, then the three noises.
TL_TARGET_AVX2 TL_INLINE void columns8(const int* p, const float* g, const float* x, const float* y, const float* z,
                                       const Lattice8& lc, __m256 sc, float* nx, float* ny, float* nz)
{
    const Cell8 cx = cell8(_mm256_loadu_ps(x)), cy = cell8(_mm256_loadu_ps(y)), cz = cell8(_mm256_loadu_ps(z));
    _mm256_storeu_ps(nx, noise8(p, g, cz, cy, lc.b0, lc.b1, lc.r0, lc.r1, sc));
    _mm256_storeu_ps(ny, noise8(p, g, cx, cz, lc.b0, lc.b1, lc.r0, lc.r1, sc));
    _mm256_storeu_ps(nz, noise8(p, g, cx, cy, lc.b0, lc.b1, lc.r0, lc.r1, sc));
}

} // namespace

TL_TARGET_AVX2 void noiseColumnsAvx2(const PerlinNoise& noise, const float* x, const float* y, const float* z, float c,
                                     float* nx, float* ny, float* nz, int n)
{
    const int* p = noise.permutationTable();
    const float* g = noise.gradient3Table();
    const Lattice8 lc = lattice8(_mm256_set1_ps(c));
    const __m256 sc = sCurve8(lc.r0);
    int k = 0;
    for (; k + 8 <= n; k += 8) columns8(p, g, x + k, y + k, z + k, lc, sc, nx + k, ny + k, nz + k);
    if (k == n) return;
    // The last one to seven points through a padded step.
    float t[3][8] = {}, out[3][8];
    std::copy(x + k, x + n, t[0]);
    std::copy(y + k, y + n, t[1]);
    std::copy(z + k, z + n, t[2]);
    columns8(p, g, t[0], t[1], t[2], lc, sc, out[0], out[1], out[2]);
    std::copy(out[0], out[0] + (n - k), nx + k);
    std::copy(out[1], out[1] + (n - k), ny + k);
    std::copy(out[2], out[2] + (n - k), nz + k);
}
