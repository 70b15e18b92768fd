// Anti-aliased lines: clipping to the one-pixel margin, coverage, zero length, the strict
// read-only depth test, the three modes, and the six inner routines equal at every SIMD level.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "BlitTestUtil.h"
#include "image/CImage32.h"
#include "image/Line.h"

using namespace blittest;

namespace {

class Lines : public AtEveryLevel {};

LineDesc line(float x0, float y0, float x1, float y1, uint32_t colour, int mode, float z0 = 0, float z1 = 0)
{
    LineDesc l;
    l.x0 = x0, l.y0 = y0, l.z0 = z0, l.x1 = x1, l.y1 = y1, l.z1 = z1, l.colour = colour, l.mode = BlendMode(mode);
    return l;
}

TEST(LineDepth, ConvertsToTheBufferForm)
{
    EXPECT_EQ(lineDepth(0.25f), 1u << 30);
    EXPECT_EQ(lineDepth(-0.25f), 0xC0000000u);  // -2^30 modulo 2^32
    EXPECT_EQ(lineDepth(0.5f), 0x80000000u);    // 2^31, the first depth of the near half
    EXPECT_EQ(lineDepth(1.0f), 0u);
    EXPECT_EQ(lineDepth(0.0f), 0u);
    EXPECT_EQ(lineDepth(1.25f), 1u << 30);
}

TEST(ClipLine, MarginOfOnePixel)
{
    CImage32Buffered img(20, 10);  // bounds 1..18 x 1..8
    float x0 = -5, y0 = 2, x1 = 0.5f, y1 = 3;
    EXPECT_FALSE(clipLine(&img, x0, y0, x1, y1));  // entirely left of x = 1
    x0 = 19, y0 = 2, x1 = 25, y1 = 3;
    EXPECT_FALSE(clipLine(&img, x0, y0, x1, y1));
    // Crossing the left border: starts at x = 1 with y from the line equation.
    x0 = -3, y0 = 2, x1 = 5, y1 = 4;
    EXPECT_TRUE(clipLine(&img, x0, y0, x1, y1));
    EXPECT_EQ(x0, 1.0f);
    EXPECT_FLOAT_EQ(y0, 3.0f);
    EXPECT_EQ(x1, 5.0f);
    EXPECT_EQ(y1, 4.0f);
    // Above the image after the x clip: nothing.
    x0 = 3, y0 = -4, x1 = 15, y1 = 0.5f;
    EXPECT_FALSE(clipLine(&img, x0, y0, x1, y1));
    // Crossing the bottom: y clamped to 8, x recomputed (and kept inside).
    x0 = 2, y0 = 2, x1 = 14, y1 = 14;
    EXPECT_TRUE(clipLine(&img, x0, y0, x1, y1));
    EXPECT_EQ(y1, 8.0f);
    EXPECT_FLOAT_EQ(x1, 8.0f);
    EXPECT_EQ(x0, 2.0f);
    EXPECT_EQ(y0, 2.0f);
    // Both clips: a steep line through the corner region keeps x within the bounds.
    x0 = -10, y0 = -30, x1 = 30, y1 = 50;
    EXPECT_TRUE(clipLine(&img, x0, y0, x1, y1));
    for (float v : {x0, x1}) EXPECT_TRUE(v >= 1 && v <= 18);
    for (float v : {y0, y1}) EXPECT_TRUE(v >= 1 && v <= 8);
}

TEST_P(Lines, HorizontalLineCoverage)
{
    CImage32Buffered img(20, 10);
    img.clear(0);
    drawLine(&img, nullptr, line(3, 5, 12, 5, 0xFFFFFFFFu, 0));
    for (int x = 4; x <= 11; ++x) {
        EXPECT_EQ(at(img, x, 5), 0xFEFEFEFEu) << x;  // coverage 255: 255 * 255 / 256
        EXPECT_EQ(at(img, x, 6), 0u) << x;           // coverage 0
    }
    // End points: gap 1 - fraction(3.5) = 0.5 and fraction(12.5) = 0.5: coverage 128 -> 127.
    EXPECT_EQ(at(img, 3, 5), 0x7F7F7F7Fu);
    EXPECT_EQ(at(img, 12, 5), 0x7F7F7F7Fu);
    EXPECT_EQ(changedBox(img, 0).count, 10);
}

TEST_P(Lines, ZeroLengthDrawsOnlyTheEndPointPairs)
{
    CImage32Buffered img(20, 10);
    img.clear(0);
    drawLine(&img, nullptr, line(5.25f, 4.5f, 5.25f, 4.5f, 0x00FFFFFFu, 1));
    // y-major (no x extent): p = round(4.5) = 5, minor x = 5.25: pixels (5, 5) and (6, 5).
    // Gaps 1 - fraction(5.0) = 1 and fraction(5.0) = 0: coverages 192 and 64, then 0 and 0.
    const Box b = changedBox(img, 0);
    EXPECT_EQ(b.count, 2);
    EXPECT_EQ(at(img, 5, 5), 0x00BFBFBFu);  // 255 * 192 / 256 = 191
    EXPECT_EQ(at(img, 6, 5), 0x003F3F3Fu);
}

TEST_P(Lines, StrictReadOnlyDepthTest)
{
    CImage32Buffered img(20, 10);
    std::vector<uint32_t> depth(200, lineDepth(0.25f));
    img.clear(0);
    drawLine(&img, depth.data(), line(2, 3, 17, 7, 0xFFFFFFFFu, 0, 0.25f, 0.25f));
    EXPECT_EQ(changedBox(img, 0).count, 0);  // equal depths: not drawn
    std::fill(depth.begin(), depth.end(), lineDepth(0.25f) - 1);
    drawLine(&img, depth.data(), line(2, 3, 17, 7, 0xFFFFFFFFu, 0, 0.25f, 0.25f));
    EXPECT_GT(changedBox(img, 0).count, 20);
    EXPECT_EQ(depth, std::vector<uint32_t>(200, lineDepth(0.25f) - 1));  // never written
    // The near half: for lines a buffer of 0.75 is behind 0.25.
    img.clear(0);
    std::fill(depth.begin(), depth.end(), lineDepth(0.75f));
    drawLine(&img, depth.data(), line(2, 3, 17, 7, 0xFFFFFFFFu, 0, 0.25f, 0.25f));
    EXPECT_GT(changedBox(img, 0).count, 20);
    // The depth runs along the line: only the part nearer than the buffer is drawn.
    img.clear(0);
    std::fill(depth.begin(), depth.end(), lineDepth(0.1f));
    drawLine(&img, depth.data(), line(2, 5, 18, 5, 0xFFFFFFFFu, 0, 0.0f, 0.2f));
    EXPECT_EQ(at(img, 4, 5), 0u);
    EXPECT_EQ(at(img, 16, 5), 0xFEFEFEFEu);
}

TEST_P(Lines, DepthStepsTheShortWayAcrossTheWrap)
{
    // 0.49 -> 2104533975 and 0.51 -> 2190433321, in the near half: the short way (+0.02 x 2^32
    // over 16 pixels) stays above 0.35 (1503238554) until it enters the near half at the middle,
    // which lines take as behind; the long way (-0.98 x 2^32) would already be below it at x = 7
    // (2104533975 - 5 x 263066746).
    CImage32Buffered img(20, 10);
    std::vector<uint32_t> depth(200, lineDepth(0.35f));
    for (bool reversed : {false, true}) {
        img.clear(0);
        const LineDesc l = reversed ? line(18, 5, 2, 5, 0xFFFFFFFFu, 0, 0.51f, 0.49f)
                                    : line(2, 5, 18, 5, 0xFFFFFFFFu, 0, 0.49f, 0.51f);
        drawLine(&img, depth.data(), l);
        EXPECT_EQ(at(img, 7, 5), 0xFEFEFEFEu) << reversed;
        EXPECT_EQ(at(img, 13, 5), 0u) << reversed;
    }
}

TEST_P(Lines, ModesNormalAddAndEveryOtherSubtracts)
{
    for (int mode : {0, 1, 2, 3, -7}) {
        CImage32Buffered img(20, 10);
        img.clear(0x80808080u);
        drawLine(&img, nullptr, line(3, 5, 12, 5, 0x00404040u, mode));
        const uint32_t v = at(img, 6, 5);
        // Coverage 255: C * 255 / 256 = 63 (0x40) and 0 (top byte).
        if (mode == 0) EXPECT_EQ(v, 0x003F3F3Fu);  // 63 + 128 * 0 / 256 (top: 0 + 0)
        else if (mode == 1) EXPECT_EQ(v, 0x80BFBFBFu);
        else EXPECT_EQ(v, 0x80414141u) << mode;
    }
}

TEST_P(Lines, SteepAndShallowCoverageSumsToAboutOnePixel)
{
    for (const LineDesc& l : {line(2.2f, 2.7f, 17.6f, 7.1f, 0xFFFFFFFFu, 1), line(17.6f, 7.9f, 2.2f, 1.3f, 0xFFFFFFFFu, 1),
                              line(3.3f, 1.2f, 7.9f, 8.4f, 0xFFFFFFFFu, 1), line(7.9f, 1.2f, 3.3f, 8.4f, 0xFFFFFFFFu, 1)}) {
        CImage32Buffered img(20, 10);
        img.clear(0);
        drawLine(&img, nullptr, l);
        const bool xMajor = std::fabs(l.x1 - l.x0) > std::fabs(l.y1 - l.y0);
        const int lo = int(std::lround(std::min(xMajor ? l.x0 : l.y0, xMajor ? l.x1 : l.y1)));
        const int hi = int(std::lround(std::max(xMajor ? l.x0 : l.y0, xMajor ? l.x1 : l.y1)));
        for (int p = lo + 1; p < hi; ++p) {
            int sum = 0;
            for (int q = 0; q < (xMajor ? 10 : 20); ++q) sum += int(at(img, xMajor ? p : q, xMajor ? q : p) & 0xFF);
            EXPECT_GE(sum, 252) << p;  // (255 - f) * 255 / 256 + f * 255 / 256
            EXPECT_LE(sum, 254) << p;
        }
    }
}

// The six inner routines at every SIMD level, on random lines with and without depth.
TEST(LinesRandom, SimdEqualsScalar)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> coord(-10, 50), z(-1, 1);
    std::vector<uint32_t> depth(40 * 30);
    for (uint32_t& d : depth) d = uint32_t(rng());
    for (int round = 0; round < 400; ++round) {
        const LineDesc l = line(coord(rng), coord(rng), coord(rng), coord(rng), rng(), int(rng() % 4), z(rng), z(rng));
        const uint32_t* buffer = (round & 1) ? depth.data() : nullptr;
        SCOPED_TRACE(round);
        atEveryLevel([&] {
            CImage32Buffered a(40, 30);
            fillRandom(a, round);
            drawLine(&a, buffer, l);
            return std::vector<uint32_t>(a.m_pPixels, a.m_pPixels + 1200);
        });
        // Nothing outside the image's memory is written: three sentinel rows on either side.
        std::vector<uint32_t> memory(40 * 36, kSentinel);
        CImage32External c;
        c.setData(40, 30, memory.data() + 120);
        drawLine(&c, buffer, l);
        for (int i = 0; i < 120; ++i) {
            ASSERT_EQ(memory[i], kSentinel);
            ASSERT_EQ(memory[memory.size() - 1 - i], kSentinel);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Lines, ::testing::ValuesIn(kAllSimdLevels), levelName);

} // namespace
