// Point3D: three single-precision floats used for points, directions, scales, Euler triples and
// colours. A plain value type with the small vector arithmetic the engine needs.
#pragma once

#include <cmath>

struct Point3D {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Point3D() = default;
    constexpr Point3D(float px, float py, float pz) : x(px), y(py), z(pz) {}

    constexpr Point3D operator+(const Point3D& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Point3D operator-(const Point3D& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Point3D operator-() const { return {-x, -y, -z}; }
    constexpr Point3D operator*(float s) const { return {x * s, y * s, z * s}; }
    constexpr Point3D operator/(float s) const { return {x / s, y / s, z / s}; }
    constexpr Point3D& operator+=(const Point3D& o) { x += o.x; y += o.y; z += o.z; return *this; }
    constexpr Point3D& operator-=(const Point3D& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    constexpr Point3D& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    constexpr bool operator==(const Point3D& o) const = default;

    constexpr float dot(const Point3D& o) const { return x * o.x + y * o.y + z * o.z; }
    constexpr Point3D cross(const Point3D& o) const
    {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    float length() const { return std::sqrt(x * x + y * y + z * z); }
    // Scales to length 1; a zero vector stays zero.
    void normalize()
    {
        const float len = length();
        if (len > 0.0f) *this = *this / len;
    }
};

constexpr Point3D operator*(float s, const Point3D& p) { return p * s; }
