#include "foundation/Quaternion.h"

#include <algorithm>
#include <cmath>

#include "foundation/PortableMath.h"

Quaternion Quaternion::fromAngleAxis(float ax, float ay, float az, float angle)
{
    const float s = pmath::sin(angle * 0.5f);
    return {ax * s, ay * s, az * s, pmath::cos(angle * 0.5f)};
}

AngleAxis Quaternion::toAngleAxis() const
{
    const float sq = x * x + y * y + z * z;
    if (sq < 0.0001f) return {1.0f, 0.0f, 0.0f, 0.0f};
    const float len = std::sqrt(sq);
    // acos is clamped so that a slightly denormalised quaternion does not give NaN.
    return {x / len, y / len, z / len, 2.0f * pmath::acos(std::clamp(w, -1.0f, 1.0f))};
}

void Quaternion::exponential()
{
    const float theta = std::sqrt(x * x + y * y + z * z);
    const float s = pmath::sin(theta);
    w = pmath::cos(theta);
    if (std::fabs(s) >= 0.001f) {
        const float f = s / theta;
        x *= f;
        y *= f;
        z *= f;
    }
}

Quaternion Quaternion::multiply(const Quaternion& a, const Quaternion& b)
{
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
            a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Matrix Quaternion::toMatrix() const
{
    Matrix r = Matrix::identity();
    r.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    r.m[0][1] = 2.0f * (x * y + w * z);
    r.m[0][2] = 2.0f * (x * z - w * y);
    r.m[1][0] = 2.0f * (x * y - w * z);
    r.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    r.m[1][2] = 2.0f * (y * z + w * x);
    r.m[2][0] = 2.0f * (x * z + w * y);
    r.m[2][1] = 2.0f * (y * z - w * x);
    r.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
    return r;
}

Matrix Quaternion::toTransposedMatrix() const
{
    Matrix r = Matrix::identity();
    r.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    r.m[0][1] = 2.0f * (x * y - w * z);
    r.m[0][2] = 2.0f * (x * z + w * y);
    r.m[1][0] = 2.0f * (x * y + w * z);
    r.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    r.m[1][2] = 2.0f * (y * z - w * x);
    r.m[2][0] = 2.0f * (x * z - w * y);
    r.m[2][1] = 2.0f * (y * z + w * x);
    r.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
    return r;
}

Quaternion Quaternion::fromMatrix(const Matrix& mat)
{
    const auto& m = mat.m;
    Quaternion q;
    const float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f);
        q.w = s * 0.5f;
        const float f = 0.5f / s;
        q.x = f * (m[2][1] - m[1][2]);
        q.y = f * (m[0][2] - m[2][0]);
        q.z = f * (m[1][0] - m[0][1]);
        return q;
    }
    static const int next[3] = {1, 2, 0};
    int i = m[1][1] > m[0][0] ? 1 : 0;
    if (m[2][2] > m[i][i]) i = 2;
    const int j = next[i];
    const int k = next[j];
    float v[3];
    // Clamped at 0 so that rounding on a degenerate matrix cannot take a root of a negative.
    float s = std::sqrt(std::max(0.0f, m[i][i] - (m[k][k] + m[j][j]) + 1.0f));
    v[i] = s * 0.5f;
    if (s != 0.0f) s = 0.5f / s;
    q.w = s * (m[k][j] - m[j][k]);
    v[j] = s * (m[j][i] + m[i][j]);
    v[k] = s * (m[k][i] + m[i][k]);
    q.x = v[0];
    q.y = v[1];
    q.z = v[2];
    return q;
}

Point3D Quaternion::toEuler() const
{
    const Matrix mat = toMatrix();
    const auto& m = mat.m;
    const float s = std::clamp(m[0][2], -1.0f, 1.0f);
    float c = std::sqrt(1.0f - s * s);
    if (m[0][0] < 0.0f && m[2][2] < 0.0f) c = -c;
    if (std::fabs(c) > 0.001f)
        return {pmath::atan2(m[1][2] / c, m[2][2] / c), -pmath::atan2(s, c), pmath::atan2(m[0][1] / c, m[0][0] / c)};
    return {pmath::atan2(-m[2][1], m[1][1]), -pmath::asin(s), 0.0f};
}

namespace {
Quaternion blend(const Quaternion& a, float wa, const Quaternion& b, float wb)
{
    return {wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}
} // namespace

Quaternion Quaternion::slerp(const Quaternion& a, const Quaternion& b, float t)
{
    const float c = a.dot(b);
    float wa, wb;
    if (1.0f - c < 1e-6f) {
        wa = 1.0f - t;
        wb = t;
    } else {
        // c may lie a rounding step below -1; acos of it would be NaN.
        const float theta = pmath::acos(std::max(c, -1.0f));
        float s = pmath::sin(theta);
        if (s == 0.0f) s = 0.0001f;
        wa = pmath::sin(theta - t * theta) / s;
        wb = pmath::sin(t * theta) / s;
    }
    return blend(a, wa, b, wb);
}

Quaternion Quaternion::slerpShortest(const Quaternion& a, const Quaternion& b, float t)
{
    const float c = a.dot(b);
    const float ac = std::fabs(c);
    float wa, wb;
    if (1.0f - ac < 1e-6f) {
        wa = 1.0f - t;
        wb = t;
    } else {
        const float theta = pmath::acos(ac);
        const float s = pmath::sin(theta);
        wa = pmath::sin(theta - t * theta) / s;
        wb = pmath::sin(t * theta) / s;
    }
    if (c < 0.0f) wb = -wb;
    return blend(a, wa, b, wb);
}
