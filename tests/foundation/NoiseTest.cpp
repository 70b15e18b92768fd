#include <gtest/gtest.h>

#include <cmath>

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
    for (int i = 0; i < PerlinNoise::TABLE_SIZE; ++i) {
        const int p = noise.permutation(i);
        ASSERT_TRUE(p >= 0 && p < 512);
        EXPECT_FALSE(seen[p]);
        seen[p] = true;
    }
    for (int i = 0; i < PerlinNoise::TABLE_SIZE + 2; ++i) {
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

TEST(FractalNoise, SumsWeightedOctaves)
{
    FractalNoise fractal(0.875, 2.0, 6.0);
    const PerlinNoise& n = fractal.perlin();
    // w[i] = (2^i)^-H
    EXPECT_DOUBLE_EQ(fractal.weight(0), 1.0);
    EXPECT_DOUBLE_EQ(fractal.weight(3), std::pow(8.0, -0.875));

    const double x = 0.37;
    double expected = 0.0;
    for (int i = 0; i < 3; ++i) expected += double(n.noise1(float(x * std::pow(2.0, i)))) * std::pow(2.0, -0.5 * i);
    EXPECT_DOUBLE_EQ(fractal.fBm(x, 0.5, 2.0, 3.0), expected);
    EXPECT_EQ(fractal.getH(), 0.5);

    // 2.5 octaves: the loop runs while i < 2.5 (three octaves), then half of a fourth.
    const double partial = expected + 0.5 * double(n.noise1(float(x * 8.0))) * std::pow(8.0, -0.5);
    EXPECT_DOUBLE_EQ(fractal.fBm(x, 0.5, 2.0, 2.5), partial);

    // H = 0 keeps the last weights (those of H = 0.5) instead of weights of 1.
    EXPECT_DOUBLE_EQ(fractal.fBm(x, 0.0, 2.0, 3.0), expected);
    EXPECT_EQ(fractal.getH(), 0.5);
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
