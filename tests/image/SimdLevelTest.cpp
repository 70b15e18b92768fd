// The start-up choice of the SIMD level from TL_SIMD, and forcing a level the CPU lacks.
#include <gtest/gtest.h>

#include <string>

#include "image/SimdLevel.h"

TEST(SimdLevelChoice, EnvironmentNamesALevelCappedAtTheCpu)
{
    const char* note = nullptr;
    EXPECT_EQ(chooseSimdLevel(nullptr, SimdLevel::Avx2, &note), SimdLevel::Avx2);
    EXPECT_STREQ(note, "");
    EXPECT_EQ(chooseSimdLevel("", SimdLevel::Sse2, &note), SimdLevel::Sse2);
    EXPECT_EQ(chooseSimdLevel("scalar", SimdLevel::Avx2, &note), SimdLevel::Scalar);
    EXPECT_EQ(chooseSimdLevel("sse2", SimdLevel::Avx2, &note), SimdLevel::Sse2);
    EXPECT_EQ(chooseSimdLevel("avx2", SimdLevel::Avx2, &note), SimdLevel::Avx2);
    EXPECT_STREQ(note, "");

    // A level beyond the CPU, or an unknown word, falls back to the widest level with a note.
    EXPECT_EQ(chooseSimdLevel("avx2", SimdLevel::Sse2, &note), SimdLevel::Sse2);
    EXPECT_NE(std::string(note), "");
    EXPECT_EQ(chooseSimdLevel("AVX512", SimdLevel::Avx2, &note), SimdLevel::Avx2);
    EXPECT_NE(std::string(note), "");
}

TEST(SimdLevelChoice, ForcingNeverGoesBeyondTheCpu)
{
    for (SimdLevel level : kAllSimdLevels) {
        forceSimdLevel(level);
        EXPECT_LE(int(simdLevel()), int(widestSupportedSimdLevel()));
        if (simdLevelSupported(level)) {
            EXPECT_EQ(simdLevel(), level);
        }
    }
    resetSimdLevel();
    EXPECT_STREQ(simdLevelName(SimdLevel::Avx2), "avx2");
}
