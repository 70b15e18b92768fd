// The process-wide random generator, the gradient noise tables and functions, fractional Brownian motion.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <utility>

#include "foundation/PerlinNoise.h"
#include "foundation/Random.h"

TEST(Random, ClassicRuntimeSequence)
{
    tlSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int v : expected) EXPECT_EQ(tlRand(), v);

    // The state wraps modulo 2^32: after seed 0xFFFFFFFF, state = 0xFFFFFFFF * 214013 + 2531011.
    tlSrand(0xFFFFFFFFu);
    const uint32_t state = 0xFFFFFFFFu * 214013u + 2531011u;
    EXPECT_EQ(tlRand(), int((state >> 16) & 0x7FFF));
}

TEST(PerlinNoise, TablesArePinned)
{
    // Built from the generator seeded with 548485; these values must never change, since data
    // authored elsewhere depends on them.
    tlSrand(7);
    const PerlinNoise noise;
    const int permutation[] = {213, 211, 455, 62, 102, 39, 388, 308};
    const int g1Times512[] = {-329, -363, -58, -269, 260, -493, 477, -303};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(noise.permutation(i), permutation[i]) << i;
        EXPECT_EQ(noise.g1(i), float(g1Times512[i]) / 512.0f) << i;
    }
    // Construction reseeds the process-wide generator and leaves it at a fixed point of its sequence.
    EXPECT_EQ(tlRand(), 26169);
    EXPECT_EQ(tlRand(), 3251);

    // Entries 0..513 repeat at 512..1025; the permutation is one of 0..511; gradients are unit length.
    bool seen[512] = {};
    for (int i = 0; i < PerlinNoise::kTableSize; ++i) {
        const int p = noise.permutation(i);
        ASSERT_TRUE(p >= 0 && p < 512);
        EXPECT_FALSE(seen[p]);
        seen[p] = true;
    }
    for (int i = 0; i < PerlinNoise::kTableSize + 2; ++i) {
        EXPECT_EQ(noise.permutation(512 + i), noise.permutation(i));
        EXPECT_EQ(noise.g1(512 + i), noise.g1(i));
        EXPECT_EQ(noise.g3(512 + i), noise.g3(i));
        const auto& g2 = noise.g2(i);
        const auto& g3 = noise.g3(i);
        const auto& g4 = noise.g4(i);
        EXPECT_NEAR(g2[0] * g2[0] + g2[1] * g2[1], 1.0f, 1e-5f);
        EXPECT_NEAR(g3[0] * g3[0] + g3[1] * g3[1] + g3[2] * g3[2], 1.0f, 1e-5f);
        EXPECT_NEAR(g4[0] * g4[0] + g4[1] * g4[1] + g4[2] * g4[2] + g4[3] * g4[3], 1.0f, 1e-5f);
    }
}

TEST(PerlinNoise, NoiseFollowsTheLattice)
{
    const PerlinNoise noise;
    // At lattice points every offset is 0 and so is the noise.
    for (float v : {0.0f, 1.0f, 7.0f, -3.0f, 600.0f}) {
        EXPECT_EQ(noise.noise1(v), 0.0f);
        EXPECT_EQ(noise.noise2(v, 2.0f), 0.0f);
        EXPECT_EQ(noise.noise3(v, 2.0f, -1.0f), 0.0f);
    }
    // 0.25 + 10000: cell 10000 AND 511 = 272; u = 0.25 g, v = -0.75 g', s = 0.15625.
    const float u = 0.25f * noise.g1(noise.permutation(272));
    const float v = -0.75f * noise.g1(noise.permutation(273));
    EXPECT_FLOAT_EQ(noise.noise1(0.25f), u + 0.15625f * (v - u));
    // The lattice has period 512.
    EXPECT_EQ(noise.noise1(0.25f), noise.noise1(512.25f));
    EXPECT_EQ(noise.noise3(0.5f, 1.25f, 2.75f), noise.noise3(512.5f, 1.25f, 514.75f));

    // Continuous across cell borders and bounded.
    for (float x = -3.0f; x < 3.0f; x += 0.0625f) {
        EXPECT_NEAR(noise.noise1(x), noise.noise1(x + 1.0f / 1024.0f), 0.01f) << x;
        EXPECT_LE(std::fabs(noise.noise2(x, 0.3f * x)), 1.0f);
        EXPECT_LE(std::fabs(noise.noise3(x, 0.3f * x, 1.7f)), 1.5f);
    }
}

// noise3 computes its coordinates and corners side by side: every value must still come out
// bit for bit as the scalar formula gives it from the tables, in single precision with the s-curve
// in double, at cell borders, far from the origin, out of the integer range and for NaN.
TEST(PerlinNoise, Noise3IsTheScalarFormulaBitForBit)
{
    const PerlinNoise noise;
    struct Cell {
        int b0, b1;
        float r0, r1, s;
    };
    const auto cell = [](float v) {
        const float t = v + 10000.0f;
        const int i = t > -2147483648.0f && t < 2147483648.0f ? int(t) : INT_MIN;
        const float r0 = t - float(i);
        return Cell{i & 511, ((i & 511) + 1) & 511, r0, r0 - 1.0f, float(double(r0 * r0) * (3.0 - 2.0 * double(r0)))};
    };
    const auto reference = [&](float x, float y, float z) {
        const Cell cx = cell(x), cy = cell(y), cz = cell(z);
        const auto corner = [&](int bx, int by, float rx, float ry, int bz, float rz) {
            const auto q = noise.g3(noise.permutation(noise.permutation(bx) + by) + bz);
            return rx * q[0] + ry * q[1] + rz * q[2];
        };
        const auto lerp = [](float t, float a, float b) { return a + t * (b - a); };
        float layer[2];
        for (int k = 0; k < 2; ++k) {
            const int bz = k ? cz.b1 : cz.b0;
            const float rz = k ? cz.r1 : cz.r0;
            const float a =
                lerp(cx.s, corner(cx.b0, cy.b0, cx.r0, cy.r0, bz, rz), corner(cx.b1, cy.b0, cx.r1, cy.r0, bz, rz));
            const float b =
                lerp(cx.s, corner(cx.b0, cy.b1, cx.r0, cy.r1, bz, rz), corner(cx.b1, cy.b1, cx.r1, cy.r1, bz, rz));
            layer[k] = lerp(cy.s, a, b);
        }
        return lerp(cz.s, layer[0], layer[1]);
    };
    const auto same = [](float a, float b) { return std::memcmp(&a, &b, 4) == 0 || (std::isnan(a) && std::isnan(b)); };

    const float inf = std::numeric_limits<float>::infinity();
    const float edges[] = {0.0f, -0.0f, 0.25f, -0.75f, 0.99999994f, 511.5f, -10000.0f, -10000.5f, 1e6f + 0.5f,
                           3e9f, -3e9f, inf, -inf, std::nanf("")};
    for (float x : edges)
        for (float y : edges)
            for (float z : edges) ASSERT_TRUE(same(noise.noise3(x, y, z), reference(x, y, z))) << x << " " << y << " " << z;
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> near(-4.0f, 4.0f), far(-1e5f, 1e5f);
    for (int i = 0; i < 20000; ++i) {
        const float x = near(rng), y = i % 2 ? far(rng) : near(rng), z = near(rng);
        ASSERT_TRUE(same(noise.noise3(x, y, z), reference(x, y, z))) << x << " " << y << " " << z;
    }
}

// An independent build of the one-dimensional noise: the classic runtime generator seeded with
// 548485, the documented draw order (g1, then gradients of 2, 3 and 4 components redrawn while
// longer than 1, then the shuffle), the coordinate in single precision, the rest in double.
class ReferenceNoise {
public:
    ReferenceNoise()
    {
        for (int i = 0; i < 512; ++i) {
            m_p[i] = i;
            m_g1[i] = component();
            for (int n = 2; n <= 4; ++n) {
                float length2 = 0.0f;
                do {
                    length2 = 0.0f;
                    for (int k = 0; k < n; ++k) {
                        const float c = component();
                        length2 += c * c;
                    }
                } while (length2 > 1.0f);
            }
        }
        for (int i = 511; i > 0; --i) std::swap(m_p[i], m_p[next() % 512]);
        for (int i = 0; i < 514; ++i) {
            m_p[512 + i] = m_p[i];
            m_g1[512 + i] = m_g1[i];
        }
    }
    double noise1(double x) const
    {
        const float t = float(x) + 10000.0f;
        const int cell = int(t);
        const int b0 = cell & 511;
        const double r0 = double(t) - cell;
        const double s = r0 * r0 * (3.0 - 2.0 * r0);
        const double u = r0 * m_g1[m_p[b0]];
        const double v = (r0 - 1.0) * m_g1[m_p[(b0 + 1) & 511]];
        return u + s * (v - u);
    }
    // Octaves at frequency lacunarity^i weighted (lacunarity^i)^-H, then the partial one.
    double fBm(double x, double H, double lacunarity, double octaves) const
    {
        double value = 0.0;
        int i = 0;
        for (; i < octaves; ++i) value += noise1(x * std::pow(lacunarity, i)) * std::pow(lacunarity, -H * i);
        const double rest = octaves - std::floor(octaves);
        return value + rest * noise1(x * std::pow(lacunarity, i)) * std::pow(lacunarity, -H * i);
    }
    int p(int i) const { return m_p[i]; }
    float g1(int i) const { return m_g1[i]; }

private:
    int next()
    {
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFF);
    }
    float component() { return float(next() % 1024 - 512) / 512.0f; }

    uint32_t m_state = 548485;
    int m_p[1026];
    float m_g1[1026];
};

TEST(FractalNoise, SumsWeightedOctaves)
{
    const ReferenceNoise reference;
    FractalNoise fractal(0.875, 2.0, 6.0);
    for (int i = 0; i < 1026; ++i) {
        ASSERT_EQ(fractal.perlin().permutation(i), reference.p(i)) << i;
        ASSERT_EQ(fractal.perlin().g1(i), reference.g1(i)) << i;
    }
    // w[i] = (2^i)^-H
    EXPECT_DOUBLE_EQ(fractal.weight(0), 1.0);
    EXPECT_DOUBLE_EQ(fractal.weight(3), std::pow(8.0, -0.875));

    for (double x : {0.37, -5.2, 123.456}) {
        EXPECT_NEAR(fractal.perlin().noise1(float(x)), reference.noise1(x), 1e-6) << x;
        EXPECT_NEAR(fractal.fBm(x, 0.5, 2.0, 3.0), reference.fBm(x, 0.5, 2.0, 3.0), 1e-6) << x;
        EXPECT_EQ(fractal.getH(), 0.5);
        // 2.5 octaves: the loop runs while i < 2.5 (three octaves), then half of a fourth.
        EXPECT_NEAR(fractal.fBm(x, 0.5, 2.0, 2.5), reference.fBm(x, 0.5, 2.0, 3.0) +
                                                       0.5 * reference.noise1(x * 8.0) * std::pow(8.0, -0.5), 1e-6) << x;
        // H = 0 keeps the last weights (those of H = 0.5) instead of weights of 1.
        EXPECT_NEAR(fractal.fBm(x, 0.0, 2.0, 3.0), reference.fBm(x, 0.5, 2.0, 3.0), 1e-6) << x;
        EXPECT_EQ(fractal.getH(), 0.5);
    }
}

TEST(FractalNoise, OctaveCountsBeyondTheTableAreLimited)
{
    // Built with 40 octaves (or NaN), the weights are those of 32; H = 0 in fBm keeps them.
    const ReferenceNoise reference;
    for (double octaves : {40.0, 1e9, std::nan("")}) {
        FractalNoise fractal(0.25, 1.5, octaves);
        EXPECT_DOUBLE_EQ(fractal.weight(33), std::pow(1.5, -0.25 * 33)) << octaves;
        EXPECT_NEAR(fractal.fBm(0.37, 0.0, 1.5, 40.0), reference.fBm(0.37, 0.25, 1.5, 32.0), 1e-6) << octaves;
    }
}

TEST(FractalNoise, ConstructionRebuildsTheTablesFromTheSeed)
{
    tlSrand(99);
    FractalNoise a(0.875, 2.0, 6.0);
    const int afterA = tlRand();
    tlSrand(12345);
    FractalNoise b(0.875, 2.0, 6.0);
    EXPECT_EQ(tlRand(), afterA);
    EXPECT_EQ(a.fBm(3.3, 0.875, 2.0, 6.0), b.fBm(3.3, 0.875, 2.0, 6.0));
    EXPECT_EQ(a.perlin().permutation(0), 213);
}
