// Quaternion: a rotation as four floats in memory order x, y, z, w (vector part first). Files
// store it as w, x, y, z. The two matrix forms: toMatrix is the row-vector rotation,
// toTransposedMatrix its transpose, and fromMatrix reads a matrix in the transposed form.
#pragma once

#include "foundation/AngleAxis.h"
#include "foundation/Matrix.h"
#include "foundation/Point3D.h"

struct Quaternion {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}
    constexpr bool operator==(const Quaternion& o) const = default;

    // (sin(angle/2) · axis, cos(angle/2)); the axis is used as given, not normalised.
    static Quaternion fromAngleAxis(float ax, float ay, float az, float angle);
    static Quaternion fromAngleAxis(const AngleAxis& aa) { return fromAngleAxis(aa.x, aa.y, aa.z, aa.angle); }
    // Unit axis and angle 2·acos(w); a vector part of squared length below 0.0001 gives (1, 0, 0), 0.
    AngleAxis toAngleAxis() const;

    // In place: θ = |(x, y, z)|, w = cos θ, the vector part times sin θ / θ unless |sin θ| < 0.001.
    void exponential();
    // Hamilton product a · b.
    static Quaternion multiply(const Quaternion& a, const Quaternion& b);
    void scale(float s)
    {
        x *= s;
        y *= s;
        z *= s;
        w *= s;
    }
    float dot(const Quaternion& o) const { return x * o.x + y * o.y + z * o.z + w * o.w; }

    Matrix toMatrix() const;
    Matrix toTransposedMatrix() const;
    // From the upper-left 3x3: the quaternion whose toTransposedMatrix is that rotation.
    static Quaternion fromMatrix(const Matrix& m);
    static Quaternion fromEuler(float ax, float ay, float az) { return fromMatrix(Matrix::euler(ax, ay, az)); }
    // Angles (ex, ey, ez) with toMatrix() = rotationX(ex) · rotationY(ey) · rotationZ(ez).
    Point3D toEuler() const;

    // Spherical interpolation without sign correction.
    static Quaternion slerp(const Quaternion& a, const Quaternion& b, float t);
    // Spherical interpolation along the shorter arc.
    static Quaternion slerpShortest(const Quaternion& a, const Quaternion& b, float t);
};
