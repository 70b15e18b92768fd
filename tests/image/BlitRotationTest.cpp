// blitRotation: the clipped, scan-converted quadrilateral, its span table, the alpha-map size
// warning, and the images made with it (createScaled256, init256x256Tiled).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "BlitTestUtil.h"
#include "image/BlitInternal.h"
#include "image/CImage32.h"
#include "support/TestSupport.h"

using namespace blittest;
using blend::Rule;
using blend::Weight;

namespace {

class BlitRotation : public AtEveryLevel {};

const float kHalfPi = 1.57079632679f;

TEST_P(BlitRotation, QuarterTurnOfFourByTwoCoversTwoByFour)
{
    for (bool filter : {false, true}) {
        CImage32Buffered src(4, 2), dst(20, 20);
        fillCoordinates(src, 0x11);
        dst.clear(kSentinel);
        src.blitRotation(&dst, kHalfPi, 10, 10, 1, 1, kBlendNormal, nullptr, 1.0f, filter);
        const Box b = changedBox(dst, kSentinel);
        EXPECT_EQ(b.x0, 9);
        EXPECT_EQ(b.x1, 10);
        EXPECT_EQ(b.y0, 8);
        EXPECT_EQ(b.y1, 11);
        EXPECT_EQ(b.count, 8);
        if (!filter) {
            // Turned by pi/2 (counter-clockwise on screen): u = 12 - y, v = x - 9 at integer
            // positions; the top row samples u = 4, the far edge (the next row's first pixel).
            EXPECT_EQ(at(dst, 9, 9), at(src, 3, 0));
            EXPECT_EQ(at(dst, 10, 10), at(src, 2, 1));
            EXPECT_EQ(at(dst, 10, 11), at(src, 1, 1));
            EXPECT_EQ(at(dst, 9, 11), at(src, 1, 0));
            EXPECT_EQ(at(dst, 9, 8), at(src, 0, 1));
        }
    }
}

TEST_P(BlitRotation, AngleZeroAtScaleOneIsACopy)
{
    CImage32Buffered src(8, 4), dst(20, 10);
    fillCoordinates(src, 0xEE);
    dst.clear(kSentinel);
    src.blitRotation(&dst, 0, 10, 5, 1, 1, kBlendNormal, nullptr, 1.0f, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(at(dst, 6 + x, 3 + y), at(src, x, y));
    EXPECT_EQ(changedBox(dst, kSentinel).count, 32);
}

TEST_P(BlitRotation, AngleZeroMatchesTheScaledBlit)
{
    CImage32Buffered src(16, 8);
    fillRandom(src, 3);
    for (bool filter : {false, true})
        for (float scale : {2.0f, 0.5f, 4.0f, -1.0f, -2.0f}) {
            CImage32Buffered a(64, 48), b(64, 48);
            a.clear(kSentinel);
            b.clear(kSentinel);
            src.blitScaled(&a, 30, 20, scale, scale, kBlendNormal, nullptr, 1.0f, filter);
            src.blitRotation(&b, 0, 30, 20, scale, scale, kBlendNormal, nullptr, 1.0f, filter);
            EXPECT_TRUE(std::equal(a.m_pPixels, a.m_pPixels + 64 * 48, b.m_pPixels)) << scale << " " << filter;
        }
}

// Anchor (-0.5, -0.5) pins the source's top-left corner to the position at any angle.
TEST_P(BlitRotation, AnchoredPinsTheCorner)
{
    CImage32Buffered src(4, 2), dst(20, 20);
    fillCoordinates(src, 0x22);
    dst.clear(kSentinel);
    src.blitRotationAnchored(&dst, 0, -0.5f, -0.5f, 3, 5, 1, 1, kBlendNormal, nullptr, 1.0f, false);
    EXPECT_EQ(at(dst, 3, 5), at(src, 0, 0));
    EXPECT_EQ(at(dst, 6, 6), at(src, 3, 1));
    EXPECT_EQ(changedBox(dst, kSentinel).count, 8);
    // Turned by pi/2 around the pinned corner (10, 10): covers columns 10..11, rows 6..9.
    dst.clear(kSentinel);
    src.blitRotationAnchored(&dst, kHalfPi, -0.5f, -0.5f, 10, 10, 1, 1, kBlendNormal, nullptr, 1.0f, false);
    const Box b = changedBox(dst, kSentinel);
    EXPECT_EQ(b.x0, 10);
    EXPECT_EQ(b.x1, 11);
    EXPECT_EQ(b.y0, 6);
    EXPECT_EQ(b.y1, 9);
    EXPECT_EQ(b.count, 8);
    // The scaled blit's anchor works the same way.
    dst.clear(kSentinel);
    src.blitScaledAnchored(&dst, -0.5f, -0.5f, 3, 5, 2, 2, kBlendNormal, nullptr, 1.0f, false);
    const Box c = changedBox(dst, kSentinel);
    EXPECT_EQ(c.x0, 3);
    EXPECT_EQ(c.y0, 5);
    EXPECT_EQ(c.x1, 10);
    EXPECT_EQ(c.y1, 8);
}

TEST_P(BlitRotation, AlphaMapOfAnotherSizeWarnsAndDrawsNothing)
{
    ReportCapture capture;
    CImage32Buffered src(8, 4), map(8, 5), dst(20, 10);
    dst.clear(kSentinel);
    src.blitRotation(&dst, 0.3f, 10, 5, 1, 1, kBlendNormal, &map, 1.0f, true);
    ASSERT_EQ(capture.count(), 1u);
    EXPECT_EQ(capture.reports()[0].kind, ReportKind::Warning);
    EXPECT_TRUE(capture.has("CImage32Buffered", "blitRotation src and alpha map dimensions are different"));
    EXPECT_FALSE(fatalErrorPosted());
    EXPECT_EQ(changedBox(dst, kSentinel).count, 0);
}

TEST_P(BlitRotation, OpacityZeroBlendsWithWeightZero)
{
    CImage32Buffered src(8, 4), dst(20, 10);
    src.clear(0);
    dst.clear(0xFFFFFFFFu);
    src.blitRotation(&dst, 0, 10, 5, 1, 1, kBlendNormal, nullptr, 0.0f, false);
    EXPECT_EQ(at(dst, 6, 3), 0xFEFEFEFEu);  // d * 255 / 256
    EXPECT_EQ(changedBox(dst, 0xFFFFFFFFu).count, 32);
}

// Every row of the span table, checked on one pixel against the rule written out.
TEST_P(BlitRotation, SpanTable)
{
    struct Row {
        int mode;
        bool map, alphaFlag;
        float opacity;
        Rule rule;
        Weight weight;
    };
    const Row rows[] = {
        {1, true, false, 1.0f, Rule::AddWeighted, Weight::Map},
        {3, true, true, 0.5f, Rule::SubWeighted, Weight::Map},
        {0, true, true, 0.3f, Rule::Weighted, Weight::Map},
        {7, true, false, 1.0f, Rule::Weighted, Weight::Map},
        {1, false, true, 1.0f, Rule::Add, Weight::None},
        {1, false, false, 0.3f, Rule::AddWeighted, Weight::Opacity},
        {3, false, true, 1.0f, Rule::Sub, Weight::None},
        {3, false, false, 0.7f, Rule::SubWeighted, Weight::Opacity},
        {0, false, true, 0.2f, Rule::Weighted, Weight::SourceAlpha},
        {2, false, false, 0.5f, Rule::Half, Weight::None},
        {0, false, false, 1.0f, Rule::Copy, Weight::None},
        {5, false, false, 0.3f, Rule::Weighted, Weight::Opacity},
    };
    const uint32_t s = 0x9060C0F0u, d = 0x30A050E0u, m = 0x4080C020u;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << r.mode << " opacity " << r.opacity);
        const auto v = blit::chooseRotationVariant(BlendMode(r.mode), r.alphaFlag, r.map, r.opacity, true);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->rule, r.rule);
        EXPECT_EQ(v->weight, r.weight);
        for (bool filter : {false, true}) {
            CImage32Buffered src(4, 4), map(4, 4), dst(8, 8);
            src.clear(s);
            src.m_hasAlpha = r.alphaFlag;
            map.clear(m);
            dst.clear(d);
            src.blitRotation(&dst, 0, 4, 4, 1, 1, BlendMode(r.mode), r.map ? &map : nullptr, r.opacity, filter);
            const uint32_t want = referenceBlend(r.rule, r.weight, d, s, m, uint32_t(blend::opacityWeight(r.opacity)));
            EXPECT_EQ(at(dst, 3, 3), want) << filter;  // interior: the filter sees only s
        }
    }
}

// Random angles, scales and positions partly outside the destination: every SIMD level
// agrees, nothing outside the destination changes (ASan watches the reads), and a source
// in foreign memory gives the same pixels as an owned one.
TEST(BlitRotationRandom, ParityAndMemorySafety)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> angle(-7, 7), pos(-20, 70), scale(-3, 3);
    CImage32Buffered owned(13, 9), map(13, 9);
    fillRandom(owned, 4);
    fillRandom(map, 5);
    std::vector<uint32_t> memory(owned.m_pPixels, owned.m_pPixels + 13 * 9);
    CImage32External view;
    view.setData(13, 9, memory.data());
    for (int round = 0; round < 300; ++round) {
        const float an = angle(rng), cx = pos(rng), cy = pos(rng), sx = scale(rng), sy = scale(rng);
        const BlendMode mode = BlendMode(rng() % 4);
        const bool filter = rng() & 1, useMap = (rng() % 3) == 0;
        const float opacity = (rng() & 1) ? 1.0f : 0.4f;
        SCOPED_TRACE(round);
        auto drawn = [&](const CImage32& source) {
            CImage32Buffered a(50, 40);
            fillRandom(a, round);
            source.blitRotation(&a, an, cx, cy, sx, sy, mode, useMap ? &map : nullptr, opacity, filter);
            return std::vector<uint32_t>(a.m_pPixels, a.m_pPixels + 2000);
        };
        EXPECT_TRUE(atEveryLevel([&] { return drawn(owned); }) == drawn(view));
    }
}

TEST(CreateScaled256, FillsTheWholeImageBilinear)
{
    CImage32Buffered src(64, 32), img;
    src.clear(0x00808080u);
    img.createScaled256(&src);
    ASSERT_EQ(img.m_width, 256);
    ASSERT_EQ(img.m_height, 256);
    EXPECT_EQ(at(img, 0, 0), 0x00808080u);
    EXPECT_EQ(at(img, 200, 100), 0x00808080u);
    // The last row blends with the zero guard row below the source: v = 255 * 32 / 256 = 31.875.
    EXPECT_NE(at(img, 100, 255), 0x00808080u);
    // Scale 4 x 8, u = x / 4: pixel (4, 8) is the source's pixel (1, 1) exactly.
    fillCoordinates(src);
    img.createScaled256(&src);
    EXPECT_EQ(at(img, 4, 8), at(src, 1, 1));
}

TEST(CreateCopy, CopiesSizeAndPixels)
{
    CImage32Buffered src(7, 3), img;
    fillRandom(src, 8);
    img.createCopy(&src);
    ASSERT_EQ(img.m_width, 7);
    ASSERT_EQ(img.m_height, 3);
    EXPECT_TRUE(std::equal(src.m_pPixels, src.m_pPixels + 21, img.m_pPixels));
}

TEST(Init256x256Tiled, StripOrderAndWarnings)
{
    ReportCapture capture;
    CImage32Buffered src(256, 256), img(256, 256), wrong(128, 256);
    fillCoordinates(src);
    img.init256x256Tiled(&src);
    EXPECT_EQ(capture.count(), 0u);
    // Scale 1: the scaled image equals the source; pixel (x, y) goes to (x >> 3) 2048 + 8 y + (x & 7).
    for (int y : {0, 1, 77, 255})
        for (int x : {0, 7, 8, 100, 255}) EXPECT_EQ(img.m_pPixels[(x >> 3) * 2048 + y * 8 + (x & 7)], at(src, x, y));
    EXPECT_EQ(img.m_width, 256);

    wrong.init256x256Tiled(&src);
    EXPECT_TRUE(capture.has("CImage32Buffered", "init256x256Tiled: bad dimensions"));
    img.init256x256Tiled(nullptr);
    EXPECT_TRUE(capture.has("CImage32Buffered", "init256x256Tiled: source NULL"));
    EXPECT_EQ(capture.count(), 2u);
    EXPECT_EQ(capture.reports()[0].kind, ReportKind::Warning);
}

INSTANTIATE_TEST_SUITE_P(Paths, BlitRotation, ::testing::ValuesIn(kAllSimdLevels), levelName);

} // namespace
