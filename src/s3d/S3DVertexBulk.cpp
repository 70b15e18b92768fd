#include "s3d/S3DVertexBulk.h"

#include <emmintrin.h>

#include "foundation/PortableMath.h"
#include "s3d/S3DTriObject.h"

namespace {

float distanceFactor(float d, float nearAtt, float farAtt)
{
    if (d >= farAtt) return 0.0f;
    if (d < nearAtt) return 1.0f;
    return 1.0f - (d - nearAtt) / (farAtt - nearAtt);
}

float clampLight(float v) { return v < 0.001f ? 0.001f : v > 1.0f ? 1.0f : v; }

float dot(const Point3D& a, const Point3D& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float combined(float old, float v, S3DLightCombine combine)
{
    switch (combine) {
    case S3DLightCombine::First: return v > 1.0f ? 1.0f : v;
    case S3DLightCombine::FirstDirectional: return clampLight(v);
    case S3DLightCombine::Add: break;
    }
    return clampLight(old + v);
}

void lightRowScalar(const S3DObjectLight& l, const Point3D* p, const Point3D* n, float* light, size_t count,
                    S3DLightCombine combine)
{
    for (size_t i = 0; i < count; ++i) light[i] = combined(light[i], lightValue(l, p[i], n[i]), combine);
}

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

// select(mask, a, b) per lane
__m128 select(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

// The spot's cone on the lanes still lit (acos per lane, as the one-vertex formula calls it).
__m128 spotCone(const S3DObjectLight& l, __m128 value, __m128 cosine, __m128 dark)
{
    alignas(16) float v[4], c[4], out[4];
    _mm_store_ps(v, value);
    _mm_store_ps(c, cosine);
    const int skip = _mm_movemask_ps(dark);
    for (int k = 0; k < 4; ++k) {
        out[k] = 0.0f;
        if (skip >> k & 1) continue;
        const float alpha = pmath::acos(c[k]);
        if (alpha >= l.falloff) continue;
        float lit = v[k];
        if (alpha >= l.hotspot) lit *= 1.0f - (alpha - l.hotspot) / (l.falloff - l.hotspot);
        out[k] = lit * l.intensity;
    }
    return _mm_load_ps(out);
}

// Omni and spot lights four vertices a step, each lane doing the one-vertex formula's operations in its
// order; directional lights (one row of the matrix per vertex) keep the scalar loop.
void lightRowSse2(const S3DObjectLight& l, const Point3D* p, const Point3D* n, float* light, size_t count,
                  S3DLightCombine combine)
{
    if (l.type == 3) return lightRowScalar(l, p, n, light, count, combine);
    const __m128 px = _mm_set1_ps(l.position.x), py = _mm_set1_ps(l.position.y), pz = _mm_set1_ps(l.position.z);
    const __m128 nearAtt = _mm_set1_ps(l.nearAttenuation), farAtt = _mm_set1_ps(l.farAttenuation);
    const __m128 range = _mm_set1_ps(l.farAttenuation - l.nearAttenuation), intensity = _mm_set1_ps(l.intensity);
    const __m128 one = _mm_set1_ps(1.0f), zero = _mm_setzero_ps(), least = _mm_set1_ps(0.001f);
    const __m128 dx = _mm_set1_ps(l.direction.x), dy = _mm_set1_ps(l.direction.y), dz = _mm_set1_ps(l.direction.z);
    size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Columns q(&p[i].x);
        const __m128 ex = _mm_sub_ps(q.x, px), ey = _mm_sub_ps(q.y, py), ez = _mm_sub_ps(q.z, pz);
        const __m128 dist =
            _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(ex, ex), _mm_mul_ps(ey, ey)), _mm_mul_ps(ez, ez)));
        __m128 factor = _mm_sub_ps(one, _mm_div_ps(_mm_sub_ps(dist, nearAtt), range));
        factor = select(_mm_cmplt_ps(dist, nearAtt), one, factor);
        factor = select(_mm_cmpge_ps(dist, farAtt), zero, factor);
        __m128 v;
        if (l.type != 2) {
            v = _mm_mul_ps(factor, intensity);
        } else {
            const __m128 d = select(_mm_cmplt_ps(dist, least), least, dist);
            const __m128 lx = _mm_div_ps(ex, d), ly = _mm_div_ps(ey, d), lz = _mm_div_ps(ez, d);
            const Columns m(&n[i].x);
            const __m128 hasNormal =
                _mm_or_ps(_mm_or_ps(_mm_cmpneq_ps(m.x, zero), _mm_cmpneq_ps(m.y, zero)), _mm_cmpneq_ps(m.z, zero));
            const __m128 r = _mm_add_ps(_mm_add_ps(_mm_mul_ps(m.x, lx), _mm_mul_ps(m.y, ly)), _mm_mul_ps(m.z, lz));
            const __m128 value = select(hasNormal, _mm_mul_ps(factor, r), factor);
            const __m128 dark = _mm_and_ps(hasNormal, _mm_cmplt_ps(r, zero));
            __m128 c = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, lx), _mm_mul_ps(dy, ly)), _mm_mul_ps(dz, lz));
            c = select(_mm_cmplt_ps(c, _mm_set1_ps(-1.0f)), _mm_set1_ps(-1.0f), select(_mm_cmpgt_ps(c, one), one, c));
            v = spotCone(l, value, c, dark);
        }
        __m128 out;
        if (combine == S3DLightCombine::First) {
            out = select(_mm_cmpgt_ps(v, one), one, v);
        } else {
            const __m128 x = combine == S3DLightCombine::Add ? _mm_add_ps(_mm_loadu_ps(light + i), v) : v;
            out = select(_mm_cmplt_ps(x, least), least, select(_mm_cmpgt_ps(x, one), one, x));
        }
        _mm_storeu_ps(light + i, out);
    }
    lightRowScalar(l, p + i, n + i, light + i, count - i, combine);
}

void facingScalar(const Point3D* v, const S3DFace* faces, size_t count, uint8_t* away)
{
    for (size_t f = 0; f < count; ++f) {
        const uint16_t* corner = faces[f].vertex;
        const Point3D& a = v[corner[0]];
        const Point3D e1 = v[corner[1]] - a, e2 = v[corner[2]] - a;
        const Point3D n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
        away[f] = dot(n, a) < 0.0f;
    }
}

// x y z 0 of one point, reading only its twelve bytes.
__m128 loadPoint(const Point3D& p)
{
    return _mm_movelh_ps(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&p.x))), _mm_load_ss(&p.z));
}

// Corner k of four faces as x, y and z columns.
struct FaceCorners {
    __m128 x, y, z;
    FaceCorners(const Point3D* v, const S3DFace* faces, int k)
    {
        __m128 a = loadPoint(v[faces[0].vertex[k]]), b = loadPoint(v[faces[1].vertex[k]]);
        __m128 c = loadPoint(v[faces[2].vertex[k]]), d = loadPoint(v[faces[3].vertex[k]]);
        _MM_TRANSPOSE4_PS(a, b, c, d);
        x = a, y = b, z = c;
    }
};

// Four faces a step, each lane doing the scalar test's operations in its order.
void facingSse2(const Point3D* v, const S3DFace* faces, size_t count, uint8_t* away)
{
    size_t f = 0;
    for (; f + 4 <= count; f += 4) {
        const FaceCorners a(v, faces + f, 0), b(v, faces + f, 1), c(v, faces + f, 2);
        const __m128 e1x = _mm_sub_ps(b.x, a.x), e1y = _mm_sub_ps(b.y, a.y), e1z = _mm_sub_ps(b.z, a.z);
        const __m128 e2x = _mm_sub_ps(c.x, a.x), e2y = _mm_sub_ps(c.y, a.y), e2z = _mm_sub_ps(c.z, a.z);
        const __m128 nx = _mm_sub_ps(_mm_mul_ps(e1y, e2z), _mm_mul_ps(e1z, e2y));
        const __m128 ny = _mm_sub_ps(_mm_mul_ps(e1z, e2x), _mm_mul_ps(e1x, e2z));
        const __m128 nz = _mm_sub_ps(_mm_mul_ps(e1x, e2y), _mm_mul_ps(e1y, e2x));
        const __m128 d = _mm_add_ps(_mm_add_ps(_mm_mul_ps(nx, a.x), _mm_mul_ps(ny, a.y)), _mm_mul_ps(nz, a.z));
        const int mask = _mm_movemask_ps(_mm_cmplt_ps(d, _mm_setzero_ps()));
        for (int k = 0; k < 4; ++k) away[f + size_t(k)] = uint8_t(mask >> k & 1);
    }
    facingScalar(v, faces + f, count - f, away + f);
}

} // namespace

S3DFacingFn selectFacing(SimdLevel level) { return level == SimdLevel::Scalar ? facingScalar : facingSse2; }

float lightValue(const S3DObjectLight& l, const Point3D& p, const Point3D& n)
{
    if (l.type == 3) {
        const Matrix& m = l.depthAlong;
        const float t = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
        return distanceFactor(t, l.nearAttenuation, l.farAttenuation) * l.intensity;
    }
    const Point3D delta = p - l.position;
    const float dist = std::sqrt(dot(delta, delta));
    const float factor = distanceFactor(dist, l.nearAttenuation, l.farAttenuation);
    if (l.type != 2) return factor * l.intensity;
    const float d = dist < 0.001f ? 0.001f : dist;
    const Point3D lv{delta.x / d, delta.y / d, delta.z / d};
    float value = factor;
    // A vertex without a normal (on no face) takes the cone and distance alone.
    if (n.x != 0.0f || n.y != 0.0f || n.z != 0.0f) {
        const float r = dot(n, lv);
        if (r < 0.0f) return 0.0f;
        value *= r;
    }
    const float c = dot(l.direction, lv);
    const float alpha = pmath::acos(c < -1.0f ? -1.0f : c > 1.0f ? 1.0f : c);
    if (alpha >= l.falloff) return 0.0f;
    if (alpha >= l.hotspot) value *= 1.0f - (alpha - l.hotspot) / (l.falloff - l.hotspot);
    return value * l.intensity;
}

S3DLightRowFn selectLightRow(SimdLevel level) { return level == SimdLevel::Scalar ? lightRowScalar : lightRowSse2; }

NormalizeFn selectNormalize(SimdLevel level) { return level == SimdLevel::Scalar ? normalizeScalar : normalizeSse2; }
