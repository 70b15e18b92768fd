// The bulk vertex kernels against the one-vector formula, bit for bit at every SIMD level.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <vector>

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

INSTANTIATE_TEST_SUITE_P(Levels, VertexBulk, ::testing::ValuesIn(kAllSimdLevels), levelName);

} // namespace
