#include "foundation/Matrix.h"

#include <cmath>

#include "foundation/PortableMath.h"

Matrix Matrix::identity() { return scaling(1.0f, 1.0f, 1.0f); }

Matrix Matrix::translation(float tx, float ty, float tz)
{
    Matrix r = identity();
    r.m[3][0] = tx;
    r.m[3][1] = ty;
    r.m[3][2] = tz;
    return r;
}

Matrix Matrix::scaling(float sx, float sy, float sz)
{
    Matrix r;
    r.m[0][0] = sx;
    r.m[1][1] = sy;
    r.m[2][2] = sz;
    r.m[3][3] = 1.0f;
    return r;
}

namespace {
// Rotation by a in the plane of axes i and j (from i toward j): the one shape of the three axis rotations.
Matrix planeRotation(float a, int i, int j)
{
    Matrix r = Matrix::identity();
    const float c = pmath::cos(a), s = pmath::sin(a);
    r.m[i][i] = c;
    r.m[i][j] = s;
    r.m[j][i] = -s;
    r.m[j][j] = c;
    return r;
}
} // namespace

Matrix Matrix::rotationX(float a) { return planeRotation(a, 1, 2); }
Matrix Matrix::rotationY(float a) { return planeRotation(a, 2, 0); }
Matrix Matrix::rotationZ(float a) { return planeRotation(a, 0, 1); }

Matrix Matrix::euler(float ax, float ay, float az)
{
    Matrix r = identity();
    r.rotateY(ay);
    r.rotateX(ax);
    r.rotateZ(az);
    return r;
}

Matrix Matrix::lookAt(const Point3D& eye, const Point3D& target, float roll)
{
    Point3D d = target - eye;
    float len = d.length();
    if (len < 0.001f) len = 0.001f;
    const Point3D n = d / len;
    // The general formula for every direction, the exact ±z axis included: there it gives
    // pitch 0 and yaw 0 (or ±pi), i.e. a view straight along the axis.
    const float pitch = pmath::asin(n.y);
    const float yaw = -pmath::atan2(n.x, n.z);
    Matrix r = translation(-eye.x, -eye.y, -eye.z);
    r.multiply(euler(pitch, yaw, -roll));
    return r;
}

void Matrix::multiply(Matrix& out, const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            float s = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
            if (i == 3) s += b.m[3][j];
            r.m[i][j] = s;
        }
    }
    r.m[0][3] = r.m[1][3] = r.m[2][3] = 0.0f;
    r.m[3][3] = 1.0f;
    out = r;
}

void Matrix::invert()
{
    const float(&a)[4][4] = m;
    // Cofactors of the upper-left 3x3, transposed into the adjugate.
    const float c00 = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    const float c01 = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    const float c02 = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    const float det = a[0][0] * c00 + a[0][1] * c01 + a[0][2] * c02;
    const float inv = 1.0f / det;
    Matrix r;
    r.m[0][0] = c00 * inv;
    r.m[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) * inv;
    r.m[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * inv;
    r.m[1][0] = c01 * inv;
    r.m[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) * inv;
    r.m[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) * inv;
    r.m[2][0] = c02 * inv;
    r.m[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) * inv;
    r.m[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) * inv;
    // t' = -t · R^-1
    for (int j = 0; j < 3; ++j)
        r.m[3][j] = -(a[3][0] * r.m[0][j] + a[3][1] * r.m[1][j] + a[3][2] * r.m[2][j]);
    r.m[0][3] = r.m[1][3] = r.m[2][3] = 0.0f;
    r.m[3][3] = 1.0f;
    *this = r;
}

void Matrix::translate(float tx, float ty, float tz) { multiply(translation(tx, ty, tz)); }

void Matrix::scale(float sx, float sy, float sz) { multiply(*this, scaling(sx, sy, sz), *this); }

void Matrix::rotateX(float a) { multiply(rotationX(a)); }
void Matrix::rotateY(float a) { multiply(rotationY(a)); }
void Matrix::rotateZ(float a) { multiply(rotationZ(a)); }
