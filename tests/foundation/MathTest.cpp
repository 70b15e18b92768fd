// 3D math types: the row-vector rule, the matrix builders, quaternion conversions and slerps.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "foundation/Matrix.h"
#include "foundation/Quaternion.h"

namespace {
const float kPi = 3.14159265f;

void expectNear(const Point3D& a, const Point3D& b, float eps = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

void expectNear(const Matrix& a, const Matrix& b, float eps = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "m" << r << c;
}

void expectNear(const Quaternion& a, const Quaternion& b, float eps = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
    EXPECT_NEAR(a.w, b.w, eps);
}

Matrix product(const Matrix& a, const Matrix& b)
{
    Matrix r;
    Matrix::multiply(r, a, b);
    return r;
}
} // namespace

TEST(Matrix, RowVectorRuleAndBuilders)
{
    // A · B applies A first: move by (1, 0, 0), then turn 90 degrees about z.
    const Matrix m = product(Matrix::translation(1, 0, 0), Matrix::rotationZ(kPi / 2));
    expectNear(m.transform({1, 0, 0}), {0, 2, 0});
    expectNear(Matrix::rotationX(kPi / 2).transform({0, 1, 0}), {0, 0, 1});
    expectNear(Matrix::rotationY(kPi / 2).transform({0, 0, 1}), {1, 0, 0});

    // Multiply writes column 3 as (0, 0, 0, 1) whatever the inputs hold there.
    Matrix junk = Matrix::scaling(2, 3, 4);
    junk.m[0][3] = 5;
    junk.m[3][3] = 7;
    const Matrix p = product(junk, junk);
    EXPECT_EQ(p.m[0][3], 0.0f);
    EXPECT_EQ(p.m[3][3], 1.0f);
    EXPECT_EQ(p.m[2][2], 16.0f);

    // translate and rotate are post-multiplications, scale a pre-multiplication.
    Matrix a = Matrix::translation(5, 0, 0);
    a.scale(2, 2, 2);
    expectNear(a.transform({1, 0, 0}), {7, 0, 0});
    a.translate(0, 1, 0);
    expectNear(a.transform({1, 0, 0}), {7, 1, 0});
    a = Matrix::identity();
    a.rotateY(0.3f);
    a.rotateX(0.5f);
    a.rotateZ(0.7f);
    expectNear(a, Matrix::euler(0.5f, 0.3f, 0.7f), 0.0f);

    // The inverse undoes a scale, rotation and translation; column 3 is (0, 0, 0, 1).
    Matrix t = Matrix::scaling(2, 0.5f, 3);
    t.multiply(Matrix::euler(0.4f, -1.1f, 2.0f));
    t.multiply(Matrix::translation(3, -4, 5));
    expectNear(product(t, t.inverse()), Matrix::identity(), 1e-5f);
    expectNear(t.inverse().transform(t.transform({0.5f, 1.5f, -2})), {0.5f, 1.5f, -2}, 1e-4f);
}

TEST(Matrix, LookAt)
{
    // The target ends on the +z axis of the view, at its distance.
    const Point3D eye(1, 2, 3);
    for (const Point3D& target : {Point3D(4, 6, 3), Point3D(1, 7, 8), Point3D(-3, -1, 0), Point3D(1, 2, 10)}) {
        const Matrix v = Matrix::lookAt(eye, target, 0.0f);
        expectNear(v.transform(target), {0, 0, (target - eye).length()}, 1e-4f);
        expectNear(v.transform(eye), {0, 0, 0}, 1e-5f);
    }
    // Exactly along z the general formula holds: pitch 0, yaw 0 (or pi).
    expectNear(Matrix::lookAt({0, 0, 0}, {0, 0, 5}, 0.0f), Matrix::identity(), 0.0f);
    expectNear(Matrix::lookAt({0, 0, 0}, {0, 0, -5}, 0.0f).transform({0, 0, -5}), {0, 0, 5}, 1e-5f);
    // Eye on the target: length 0.001, zero direction, pitch and yaw 0.
    expectNear(Matrix::lookAt(eye, eye, 0.0f), Matrix::translation(-1, -2, -3), 0.0f);
    // Roll turns the view about its axis by -roll.
    expectNear(Matrix::lookAt({0, 0, 0}, {0, 0, 1}, kPi / 2).transform({1, 0, 0}), {0, -1, 0});
}

TEST(Quaternion, ConversionsAndProducts)
{
    const Quaternion qz = Quaternion::fromAngleAxis(0, 0, 1, kPi / 2);
    expectNear(qz, {0, 0, std::sqrt(0.5f), std::sqrt(0.5f)});
    // toMatrix is the row-vector rotation, toTransposedMatrix its transpose.
    expectNear(qz.toMatrix(), Matrix::rotationZ(kPi / 2));
    expectNear(qz.toTransposedMatrix(), Matrix::rotationZ(-kPi / 2));
    // The axis is not normalised.
    expectNear(Quaternion::fromAngleAxis(AngleAxis(0, 0, 2, kPi)), {0, 0, 2, std::cos(kPi / 2)});

    const AngleAxis id = Quaternion().toAngleAxis();
    EXPECT_EQ(id.x, 1.0f);
    EXPECT_EQ(id.y, 0.0f);
    EXPECT_EQ(id.angle, 0.0f);
    const AngleAxis back = Quaternion::fromAngleAxis(0, 0.6f, 0.8f, 1.2f).toAngleAxis();
    expectNear(Point3D(back.x, back.y, back.z), Point3D(0, 0.6f, 0.8f));
    EXPECT_NEAR(back.angle, 1.2f, 1e-5f);

    // Hamilton product: i · j = k, j · i = -k.
    expectNear(Quaternion::multiply({1, 0, 0, 0}, {0, 1, 0, 0}), {0, 0, 1, 0}, 0.0f);
    expectNear(Quaternion::multiply({0, 1, 0, 0}, {1, 0, 0, 0}), {0, 0, -1, 0}, 0.0f);

    Quaternion e(0, 0, 0.5f, 0);
    e.exponential();
    expectNear(e, {0, 0, std::sin(0.5f), std::cos(0.5f)});
    Quaternion tiny(0.0004f, 0, 0, 7);
    tiny.exponential();
    EXPECT_EQ(tiny.x, 0.0004f) << "|sin| below 0.001 leaves the vector part";
    EXPECT_EQ(tiny.w, std::cos(0.0004f));

    Quaternion s(1, 2, 3, 4);
    s.scale(0.5f);
    EXPECT_EQ(s, Quaternion(0.5f, 1, 1.5f, 2));

    // fromMatrix reads the transposed form, through both of its branches (trace > 0 and not).
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (int i = 0; i < 50; ++i) {
        Point3D axis(dist(rng), dist(rng), dist(rng));
        axis.normalize();
        const float angle = (i % 2 ? 3.0f : 1.0f) * (dist(rng) + 1.0f);
        const Quaternion q = Quaternion::fromAngleAxis(axis.x, axis.y, axis.z, angle);
        Quaternion r = Quaternion::fromMatrix(q.toTransposedMatrix());
        if (r.dot(q) < 0) r.scale(-1);
        expectNear(r, q, 1e-4f);
    }
    expectNear(Quaternion::fromMatrix(Matrix::rotationX(kPi).inverse()), {1, 0, 0, 0}, 1e-6f);
    // fromEuler composes the euler matrix and reads it in the transposed form.
    expectNear(Quaternion::fromEuler(0.3f, 0.6f, -0.2f).toTransposedMatrix(), Matrix::euler(0.3f, 0.6f, -0.2f));
}

TEST(Quaternion, ToEuler)
{
    auto xyz = [](const Point3D& e) {
        Matrix m = Matrix::rotationX(e.x);
        m.rotateY(e.y);
        m.rotateZ(e.z);
        return m;
    };
    // toMatrix(q) = rotationX(ex) · rotationY(ey) · rotationZ(ez).
    for (const Point3D& e : {Point3D(0.3f, 0.5f, -0.7f), Point3D(-2.0f, 1.0f, 2.5f), Point3D(1, -1.2f, 0.1f)}) {
        const Matrix target = xyz(e);
        Matrix transposed = Matrix::identity();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) transposed.m[r][c] = target.m[c][r];
        const Quaternion q = Quaternion::fromMatrix(transposed);
        expectNear(xyz(q.toEuler()), q.toMatrix(), 1e-5f);
        expectNear(q.toMatrix(), target, 1e-5f);
    }
    // At ey = pi/2 the decomposition puts the whole remaining turn into ex, ez = 0.
    const Quaternion gimbal = Quaternion::fromMatrix(xyz({0.4f, kPi / 2, 0.3f}).inverse());
    const Point3D e = gimbal.toEuler();
    EXPECT_EQ(e.z, 0.0f);
    EXPECT_NEAR(e.y, kPi / 2, 2e-3f);
    expectNear(xyz(e), gimbal.toMatrix(), 2e-3f);
}

TEST(Quaternion, Slerps)
{
    const Quaternion a = Quaternion::fromAngleAxis(0, 0, 1, 0.2f);
    const Quaternion b = Quaternion::fromAngleAxis(0, 0, 1, 1.4f);
    expectNear(Quaternion::slerp(a, b, 0.5f), Quaternion::fromAngleAxis(0, 0, 1, 0.8f));
    expectNear(Quaternion::slerp(a, b, 0.0f), a);
    expectNear(Quaternion::slerp(a, b, 1.0f), b);
    // A quaternion with itself: the linear blend (1 - t)·a + t·a.
    const Quaternion same = Quaternion::slerp(a, a, 0.3f);
    EXPECT_EQ(same.z, 0.7f * a.z + 0.3f * a.z);
    EXPECT_EQ(same.w, 0.7f * a.w + 0.3f * a.w);

    // Opposite signs: slerp takes the long way round, slerpShortest the short one.
    Quaternion nb = b;
    nb.scale(-1);
    expectNear(Quaternion::slerpShortest(a, nb, 0.5f), Quaternion::fromAngleAxis(0, 0, 1, 0.8f));
    expectNear(Quaternion::slerp(a, nb, 0.5f).toMatrix(), Matrix::rotationZ(0.8f + kPi));
    expectNear(Quaternion::slerpShortest(a, a, 0.25f), a);
}
