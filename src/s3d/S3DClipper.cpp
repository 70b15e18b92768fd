#include "s3d/S3DClipper.h"

#include <algorithm>
#include <cmath>

#include "s3d/S3DCamera.h"

void S3DClipper::setup(const S3DCamera& camera)
{
    static constexpr int kOrder[5] = {S3DCamera::kNear, S3DCamera::kRight, S3DCamera::kTop, S3DCamera::kBottom,
                                      S3DCamera::kLeft};
    for (int i = 0; i < 5; ++i) {
        const S3DPlane& p = camera.m_frustum[kOrder[i]];
        m_planes[i] = {p.normal.x, p.normal.y, p.normal.z, p.d};
    }
    m_near = camera.getNear();
    m_scaleX = camera.m_scaleX;
    m_scaleY = camera.m_scaleY;
    m_centerX = camera.m_centerX;
    m_centerY = camera.m_centerY;
    m_width = camera.m_screenWidth;
    m_height = camera.m_screenHeight;
}

int S3DClipper::clip(const S3DClipVertex* in, int n, RasterVertex* out) const
{
    if (n < 3 || n > kMaxIn) return 0;
    S3DClipVertex buffer[2][kMaxWork];
    for (int i = 0; i < n; ++i) buffer[0][i] = in[i];
    int cur = 0;
    for (int k = 0; k < 5 && n > 2; ++k) {
        const Plane& pl = m_planes[k];
        const S3DClipVertex* src = buffer[cur];
        S3DClipVertex* dst = buffer[cur ^ 1];
        float s[kMaxWork];
        for (int i = 0; i < n; ++i) s[i] = pl.nx * src[i].p.x + pl.ny * src[i].p.y + pl.nz * src[i].p.z - pl.d;
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const int j = i + 1 == n ? 0 : i + 1;
            if (s[i] >= 0.0f && m < kMaxWork) dst[m++] = src[i];
            if ((s[i] < 0.0f) != (s[j] < 0.0f) && m < kMaxWork) {
                // a + t (b - a), t = s_a / (s_a - s_b), every value with the same t.
                const float t = s[i] / (s[i] - s[j]);
                const S3DClipVertex& a = src[i];
                const S3DClipVertex& b = src[j];
                S3DClipVertex& o = dst[m++];
                o.p = {a.p.x + t * (b.p.x - a.p.x), a.p.y + t * (b.p.y - a.p.y), a.p.z + t * (b.p.z - a.p.z)};
                // A corner cut on the near plane lies on it exactly, so that rounding does not
                // put it behind the plane and drop the polygon at projection.
                if (k == 0) o.p.z = pl.d;
                const auto cut = [t](float from, float to) { return from + t * (to - from); };
                o.values = {cut(a.values.light, b.values.light), cut(a.values.weight, b.values.weight),
                            cut(a.values.u, b.values.u), cut(a.values.v, b.values.v)};
            }
        }
        n = m;
        cur ^= 1;
    }
    if (n <= 2 || n > kMaxPolygonVertices) return 0;
    const S3DClipVertex* v = buffer[cur];
    // Every corner left lies inside the side planes, so it projects onto the screen but for the
    // rounding of the cut, which grows with the polygon's size: a corner a little outside is
    // held on the screen's edge rather than losing the polygon.
    const float maxX = std::nextafter(m_width, 0.0f), maxY = std::nextafter(m_height, 0.0f);
    for (int i = 0; i < n; ++i) {
        if (!(v[i].p.z >= m_near)) return 0;
        const float w = 1.0f / v[i].p.z;
        const float sx = w * v[i].p.x * m_scaleX + m_centerX;
        const float sy = m_centerY - w * v[i].p.y * m_scaleY;
        if (sx != sx || sy != sy) return 0;
        out[i].x = std::clamp(sx, 0.0f, maxX);
        out[i].y = std::clamp(sy, 0.0f, maxY);
        out[i].w = w;
        out[i].values = v[i].values;
    }
    return n;
}
