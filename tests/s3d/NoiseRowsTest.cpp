// The noise modifier's column kernels against noise3 point by point, bit for bit at every SIMD level, and the
// modifier's block-wise deformation against its formula evaluated one point at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "foundation/ChunkFile.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DNoiseRows.h"
#include "support/SimdLevels.h"

namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class NoiseRows : public AtEveryLevel {};

// Columns of every length 0 .. 70 (whole steps and tails), coordinates small, large, near the lattice lines,
// beyond the int range and NaN; nothing written past them.
TEST_P(NoiseRows, EveryPointIsNoise3)
{
    const PerlinNoise noise;
    const NoiseColumnsFn columns = selectNoiseColumns(GetParam());
    std::mt19937 rng(26);
    const auto coordinate = [&](int kind) {
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        switch (kind) {
        case 0: return unit(rng) * 3.0f;
        case 1: return unit(rng) * 700.0f;
        case 2: return float(int(unit(rng) * 50.0f)) + unit(rng) * 1e-4f;
        case 3: return unit(rng) < 0.0f ? -3e12f : 3e12f;
        default: return std::numeric_limits<float>::quiet_NaN();
        }
    };
    const auto pick = [&] {
        return std::uniform_int_distribution<int>(0, 9)(rng) < 8 ? int(rng() % 3) : 3 + int(rng() % 2);
    };
    for (int n = 0; n <= 70; ++n)
        for (int trial = 0; trial < 3; ++trial) {
            const size_t count = size_t(n);
            std::vector<float> x(count), y(count), z(count);
            std::vector<float> nx(count + 1, -7.0f), ny(count + 1, -7.0f), nz(count + 1, -7.0f);
            for (size_t k = 0; k < count; ++k) {
                x[k] = coordinate(pick());
                y[k] = coordinate(pick());
                z[k] = coordinate(pick());
            }
            const float c = coordinate(trial == 2 ? pick() : 1);
            columns(noise, x.data(), y.data(), z.data(), c, nx.data(), ny.data(), nz.data(), n);
            for (size_t k = 0; k < count; ++k) {
                ASSERT_TRUE(sameBits(nx[k], noise.noise3(z[k], y[k], c))) << "n " << n << " k " << k;
                ASSERT_TRUE(sameBits(ny[k], noise.noise3(x[k], z[k], c))) << "n " << n << " k " << k;
                ASSERT_TRUE(sameBits(nz[k], noise.noise3(x[k], y[k], c))) << "n " << n << " k " << k;
            }
            EXPECT_TRUE(nx[count] == -7.0f && ny[count] == -7.0f && nz[count] == -7.0f) << "wrote past, n " << n;
        }
}

INSTANTIATE_TEST_SUITE_P(Levels, NoiseRows, ::testing::ValuesIn(kAllSimdLevels), levelName);

// Over 150 points (two whole blocks and a tail), with weights, one and three octaves, under a moved and
// turned gizmo: each point is p' = (1 - w) p + w (g + strength noise) fromGizmo with g = p toGizmo and the
// noise as the formula sums it per point with noise3.
TEST_P(NoiseRows, ModifierBlocksMatchTheFormulaPerPoint)
{
    for (int octaves : {1, 3}) {
        S3DModifierNoise noise;
        noise.scale() = 37.0f;
        noise.strengthX() = 5.0f;
        noise.strengthY() = -3.0f;
        noise.strengthZ() = 2.5f;
        noise.phase() = 1.7f;
        noise.phaseFactor() = 1.0f;
        noise.m_option[s3dmod::optionSlot(s3dmod::kNoise, "animate")] = 1;
        noise.m_option[s3dmod::optionSlot(s3dmod::kNoise, "octaves")] = uint8_t(octaves);
        noise.m_gizmoPosition = {3.0f, -2.0f, 7.0f};
        noise.m_gizmoRotation = Quaternion::fromAngleAxis(0.3f, 0.8f, 0.5f, 0.9f);
        const std::vector<uint8_t> empty{0};
        ChunkFileReaderManager manager("noise", empty.data(), empty.size());
        ChunkFileReader root(&manager);
        noise.load(root);  // fixes the octaves
        noise.prepare();
        ASSERT_TRUE(noise.isUsable());

        const PerlinNoise reference;
        FractalNoise fractal(0.0, 2.0, double(octaves));
        const float c = float(reference.permutation(0)) + 1.7f * 0.19999999f;
        const auto sum = [&](float x, float y) {
            if (octaves == 1) return reference.noise3(x, y, c);
            float s = 0.0f, f = 1.0f;
            for (int i = 0; i < octaves; ++i, f *= 2.0f)
                s += float(fractal.weight(i)) * reference.noise3(x * f, y * f, c);
            return s;
        };
        std::mt19937 rng(octaves);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        std::vector<Point3D> in(150), out(150);
        std::vector<float> weights(150);
        for (size_t i = 0; i < in.size(); ++i) {
            in[i] = {unit(rng) * 80.0f, unit(rng) * 80.0f, unit(rng) * 80.0f};
            weights[i] = unit(rng) * 0.5f + 0.5f;
        }
        noise.apply(in.data(), out.data(), int(in.size()), weights.data(), false);
        for (size_t i = 0; i < in.size(); ++i) {
            Point3D g = noise.m_toGizmo.transform(in[i]);
            const Point3D s = g * (1.0f / 37.0f);
            g.x += 5.0f * sum(s.z + 0.5f, s.y + 0.5f);
            g.y += -3.0f * sum(s.x + 0.5f, s.z + 0.5f);
            g.z += 2.5f * sum(s.x + 0.5f, s.y + 0.5f);
            const Point3D d = noise.m_fromGizmo.transform(g);
            const Point3D expected = in[i] * (1.0f - weights[i]) + d * weights[i];
            ASSERT_EQ(out[i], expected) << "octaves " << octaves << " point " << i;
        }
    }
}

} // namespace
