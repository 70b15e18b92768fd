// The bulk vertex kernels against the one-vector formula, bit for bit at every SIMD level.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "s3d/S3DTriObject.h"
#include "s3d/S3DVertexBulk.h"
#include "support/SimdLevels.h"

namespace {

class VertexBulk : public AtEveryLevel {};

// Arrays of 0 .. 23 vectors (whole steps of four and tails): ordinary, tiny, huge (the squared length
// overflows), zero and NaN vectors; nothing past the array is touched.
TEST_P(VertexBulk, NormalizeIsTheOneVectorFormula)
{
    const NormalizeFn normalize = selectNormalize(GetParam());
    std::mt19937 rng(2026);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const auto vector = [&]() -> Point3D {
        switch (rng() % 8) {
        case 0: return {};
        case 1: return {unit(rng) * 1e-30f, unit(rng) * 1e-30f, unit(rng) * 1e-30f};
        case 2: return {unit(rng) * 1e30f, unit(rng), unit(rng)};
        case 3: return {std::numeric_limits<float>::quiet_NaN(), unit(rng), 0.0f};
        case 4: return {-0.0f, 0.0f, -0.0f};
        default: return {unit(rng) * 500.0f, unit(rng) * 500.0f, unit(rng) * 500.0f};
        }
    };
    for (size_t n = 0; n < 24; ++n) {
        std::vector<Point3D> v(n + 1);
        for (Point3D& p : v) p = vector();
        std::vector<Point3D> expected = v;
        for (size_t i = 0; i < n; ++i) {
            const Point3D& p = v[i];
            const float len = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
            expected[i] = len > 0.0f ? Point3D{p.x / len, p.y / len, p.z / len} : Point3D{};
        }
        normalize(v.data(), n);
        ASSERT_EQ(std::memcmp(v.data(), expected.data(), v.size() * sizeof(Point3D)), 0) << "n " << n;
    }
}

// Omni, spot and directional lights over rows of 0 .. 13 vertices, every way of combining, against the
// one-vertex formula: vertices near and beyond the attenuation distances, at the light, in and out of the
// cone and the hotspot, with normals facing towards and away and without a normal (zero).
TEST_P(VertexBulk, LightRowsAreTheOneVertexFormula)
{
    const S3DLightRowFn row = selectLightRow(GetParam());
    std::mt19937 rng(31);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const S3DLightCombine combines[] = {S3DLightCombine::First, S3DLightCombine::FirstDirectional,
                                        S3DLightCombine::Add};
    for (int type : {1, 2, 3}) {
        S3DObjectLight l;
        l.type = type;
        l.nearAttenuation = 40.0f;
        l.farAttenuation = 160.0f;
        l.intensity = 1.3f;
        l.hotspot = 0.4f;
        l.falloff = 0.9f;
        l.position = {5.0f, 60.0f, -10.0f};
        l.direction = normalizedOrZero({0.2f, -1.0f, 0.1f});
        if (type == 3) l.depthAlong = Matrix::lookAt(l.position, {10.0f, 0.0f, 0.0f}, 0.0f);
        for (S3DLightCombine combine : combines)
            for (size_t n = 0; n < 14; ++n) {
                std::vector<Point3D> p(n), normal(n);
                std::vector<float> light(n + 1), expected;
                for (size_t i = 0; i < n; ++i) {
                    p[i] = rng() % 7 == 0 ? l.position
                                          : Point3D{unit(rng) * 120.0f, unit(rng) * 120.0f, unit(rng) * 120.0f};
                    normal[i] = rng() % 5 == 0 ? Point3D{} : normalizedOrZero({unit(rng), unit(rng), unit(rng)});
                    light[i] = unit(rng) * 0.6f + 0.5f;
                }
                light[n] = -5.0f;
                expected = light;
                for (size_t i = 0; i < n; ++i) {
                    const float v = lightValue(l, p[i], normal[i]);
                    const auto clamp = [](float x) { return x < 0.001f ? 0.001f : x > 1.0f ? 1.0f : x; };
                    expected[i] = combine == S3DLightCombine::First              ? (v > 1.0f ? 1.0f : v)
                                  : combine == S3DLightCombine::FirstDirectional ? clamp(v)
                                                                                 : clamp(light[i] + v);
                }
                row(l, p.data(), normal.data(), light.data(), n, combine);
                ASSERT_EQ(std::memcmp(light.data(), expected.data(), light.size() * sizeof(float)), 0)
                    << "type " << type << " combine " << int(combine) << " n " << n;
            }
    }
}

// The back-face test over 0 .. 13 faces (whole steps of four and tails) of random corners, degenerate ones
// (a corner repeated) among them, against ((B - A) x (C - A)) . A < 0 per face.
TEST_P(VertexBulk, FacingIsTheOneFaceTest)
{
    const S3DFacingFn facing = selectFacing(GetParam());
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<Point3D> v(9);
    for (Point3D& p : v) p = {unit(rng) * 50.0f, unit(rng) * 50.0f, unit(rng) * 50.0f + 60.0f};
    v[8] = v[0];  // a corner twice under two indices
    for (size_t n = 0; n < 14; ++n) {
        std::vector<S3DFace> faces(n);
        for (S3DFace& f : faces)
            for (uint16_t& c : f.vertex) c = uint16_t(rng() % v.size());
        std::vector<uint8_t> away(n + 1, 7), expected(n + 1, 7);
        for (size_t f = 0; f < n; ++f) {
            const Point3D a = v[faces[f].vertex[0]], e1 = v[faces[f].vertex[1]] - a, e2 = v[faces[f].vertex[2]] - a;
            const Point3D normal{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
            expected[f] = normal.x * a.x + normal.y * a.y + normal.z * a.z < 0.0f;
        }
        facing(v.data(), faces.data(), n, away.data());
        ASSERT_EQ(away, expected) << "n " << n;
    }
}

// The one-vertex formula itself on hand-worked points: an omni light 100 away between near 40 and far 160
// gives 1 - 60 / 120 = 0.5 of its intensity; a spot straight above a vertex whose normal runs along the
// light's direction (n . l = 1, the angle 0) gives the same; a normal the other way, or a vertex past the
// falloff, gets 0.
TEST(VertexBulkLight, HandWorkedValues)
{
    S3DObjectLight l;
    l.nearAttenuation = 40.0f;
    l.farAttenuation = 160.0f;
    l.intensity = 0.8f;
    l.hotspot = 0.4f;
    l.falloff = 0.9f;
    l.position = {0.0f, 100.0f, 0.0f};
    EXPECT_FLOAT_EQ(lightValue(l, {}, {0.0f, 1.0f, 0.0f}), 0.4f);
    l.type = 2;
    l.direction = {0.0f, -1.0f, 0.0f};
    EXPECT_FLOAT_EQ(lightValue(l, {}, {0.0f, -1.0f, 0.0f}), 0.4f);
    EXPECT_EQ(lightValue(l, {}, {0.0f, 1.0f, 0.0f}), 0.0f);      // facing away
    EXPECT_EQ(lightValue(l, {100.0f, 100.0f, 0.0f}, {}), 0.0f);  // 90 degrees off the axis
}

INSTANTIATE_TEST_SUITE_P(Levels, VertexBulk, ::testing::ValuesIn(kAllSimdLevels), levelName);

} // namespace
