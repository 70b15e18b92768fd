// Matrix: a 4x4 single-precision affine transform, row-major m[row][column]. Points are row
// vectors, p' = p · M, so A · B applies A first, then B; row 3 holds the translation and
// column 3 is (0, 0, 0, 1) for every matrix the engine builds.
#pragma once

#include "foundation/Point3D.h"

struct Matrix {
    float m[4][4] = {};

    // The identity (a default-constructed matrix is all zeros).
    static Matrix identity();
    static Matrix translation(float tx, float ty, float tz);
    static Matrix scaling(float sx, float sy, float sz);
    static Matrix rotationX(float a);
    static Matrix rotationY(float a);
    static Matrix rotationZ(float a);
    // identity · rotationY(ay) · rotationX(ax) · rotationZ(az): a point turns about Y, then X, then Z.
    static Matrix euler(float ax, float ay, float az);
    // View matrix looking from eye towards target with a roll about the view axis.
    static Matrix lookAt(const Point3D& eye, const Point3D& target, float roll);

    void setIdentity() { *this = identity(); }
    // out = a · b over the upper 3x4 part; column 3 written as (0, 0, 0, 1). out may alias a or b.
    static void multiply(Matrix& out, const Matrix& a, const Matrix& b);
    // this = this · b
    void multiply(const Matrix& b) { multiply(*this, *this, b); }
    // Inverse of the affine matrix: the 3x3 part by cofactors over the determinant, then
    // t' = -t · R^-1. A singular matrix is not detected (its inverse holds infinities or NaNs).
    void invert();
    Matrix inverse() const
    {
        Matrix r = *this;
        r.invert();
        return r;
    }
    // this = this · translation(tx, ty, tz)
    void translate(float tx, float ty, float tz);
    // this = scaling(sx, sy, sz) · this (the scaling acts first)
    void scale(float sx, float sy, float sz);
    // this = this · rotationX/Y/Z(a)
    void rotateX(float a);
    void rotateY(float a);
    void rotateZ(float a);

    // p · M with the implicit w = 1.
    Point3D transform(const Point3D& p) const
    {
        return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
                p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
                p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
    }
    // p · M without the translation (directions, normals).
    Point3D transformVector(const Point3D& p) const
    {
        return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0],
                p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1],
                p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2]};
    }
};
