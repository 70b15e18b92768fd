#include "s3d/S3DVertexBulk.h"

#include <emmintrin.h>

namespace {

void normalizeScalar(Point3D* v, size_t n)
{
    for (size_t i = 0; i < n; ++i) v[i] = normalizedOrZero(v[i]);
}

// Four vectors, stored x y z x y z ..., as three columns and back.
struct Columns {
    __m128 x, y, z;
    explicit Columns(const float* p)
    {
        const __m128 a = _mm_loadu_ps(p), b = _mm_loadu_ps(p + 4), c = _mm_loadu_ps(p + 8);
        // a = x0 y0 z0 x1, b = y1 z1 x2 y2, c = z2 x3 y3 z3
        x = _mm_shuffle_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 3, 0)), _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2)),
                           _MM_SHUFFLE(2, 0, 1, 0));
        y = _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1)), _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3)),
                           _MM_SHUFFLE(2, 0, 2, 0));
        z = _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 0, 0)),
                           _MM_SHUFFLE(2, 0, 2, 0));
    }
    void store(float* p) const
    {
        const __m128 lo = _mm_unpacklo_ps(x, y), hi = _mm_unpackhi_ps(x, y);  // x0 y0 x1 y1, x2 y2 x3 y3
        const __m128 a = _mm_shuffle_ps(lo, _mm_shuffle_ps(z, lo, _MM_SHUFFLE(2, 2, 0, 0)), _MM_SHUFFLE(2, 0, 1, 0));
        const __m128 b = _mm_shuffle_ps(_mm_shuffle_ps(lo, z, _MM_SHUFFLE(1, 1, 3, 3)), hi, _MM_SHUFFLE(1, 0, 2, 0));
        const __m128 c = _mm_shuffle_ps(_mm_shuffle_ps(z, hi, _MM_SHUFFLE(2, 2, 2, 2)),
                                        _mm_shuffle_ps(hi, z, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0));
        _mm_storeu_ps(p, a);
        _mm_storeu_ps(p + 4, b);
        _mm_storeu_ps(p + 8, c);
    }
};

void normalizeSse2(Point3D* v, size_t n)
{
    static_assert(sizeof(Point3D) == 12);
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        float* p = &v[i].x;
        Columns c(p);
        const __m128 len =
            _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(c.x, c.x), _mm_mul_ps(c.y, c.y)), _mm_mul_ps(c.z, c.z)));
        const __m128 keep = _mm_cmpgt_ps(len, _mm_setzero_ps());
        c.x = _mm_and_ps(keep, _mm_div_ps(c.x, len));
        c.y = _mm_and_ps(keep, _mm_div_ps(c.y, len));
        c.z = _mm_and_ps(keep, _mm_div_ps(c.z, len));
        c.store(p);
    }
    normalizeScalar(v + i, n - i);
}

} // namespace

NormalizeFn selectNormalize(SimdLevel level) { return level == SimdLevel::Scalar ? normalizeScalar : normalizeSse2; }
