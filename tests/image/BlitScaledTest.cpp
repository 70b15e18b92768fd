// blitScaled: the geometry (extent, reject, clip, 16.16 rounding, ceil of edges, stepping), the
// bilinear filter and the selection rules, at every SIMD level.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "BlitTestUtil.h"
#include "image/BlitInternal.h"
#include "image/CImage32.h"

using namespace blittest;

namespace {

class BlitScaled : public AtEveryLevel {};

// The player's screen blit: 512x256 centred at (320, 240), x1.24 x1.3, onto 640x480.
TEST_P(BlitScaled, PlayerScreenExtentFilteredAndUnfiltered)
{
    for (bool filter : {false, true}) {
        CImage32Buffered src(512, 256), dst(640, 480);
        src.clear(0xC0C0C0C0u);
        dst.clear(kSentinel);
        src.blitScaled(&dst, 320, 240, 1.24f, 1.3f, kBlendNormal, nullptr, 1.0f, filter);
        const Box b = changedBox(dst, kSentinel);
        EXPECT_EQ(b.x0, 3) << filter;
        EXPECT_EQ(b.x1, 637) << filter;
        EXPECT_EQ(b.y0, 74) << filter;
        EXPECT_EQ(b.y1, 406) << filter;
        EXPECT_EQ(b.count, int64_t(635) * 333) << filter;  // every pixel inside is written
    }
}

TEST_P(BlitScaled, UnfilteredCopySamplesUShift16)
{
    // Scale 1 at integer position: an exact copy.
    CImage32Buffered src(8, 4), dst(20, 10);
    fillCoordinates(src, 0xAB);
    dst.clear(kSentinel);
    src.blitScaled(&dst, 10, 5, 1, 1, kBlendNormal, nullptr, 1.0f, false);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(at(dst, 6 + x, 3 + y), at(src, x, y));
    EXPECT_EQ(changedBox(dst, kSentinel).count, 32);
}

TEST_P(BlitScaled, MirrorWithScaleMinusOne)
{
    CImage32Buffered src(8, 4), dst(20, 10);
    fillCoordinates(src);
    // Centre 10.5: left = 6.5, first column 7 with the source coordinate 8 - 0.5 = 7.5.
    dst.clear(kSentinel);
    src.blitScaled(&dst, 10.5f, 5, -1, 1, kBlendNormal, nullptr, 1.0f, false);
    for (int y = 0; y < 4; ++y)
        for (int k = 0; k < 8; ++k) EXPECT_EQ(at(dst, 7 + k, 3 + y), at(src, 7 - k, y)) << k << "," << y;
    EXPECT_EQ(changedBox(dst, kSentinel).count, 32);

    // Integer left edge: the first column samples the far edge itself, u = 8 -> column 8, which
    // is the next row's first pixel in memory (the zero guard row after the last row).
    dst.clear(kSentinel);
    src.blitScaled(&dst, 10, 5, -1, 1, kBlendNormal, nullptr, 1.0f, false);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(at(dst, 6, 3 + y), y < 3 ? at(src, 0, y + 1) : 0u);
        for (int k = 1; k < 8; ++k) EXPECT_EQ(at(dst, 6 + k, 3 + y), at(src, 8 - k, y));
    }

    // Both axes mirrored, half-pixel centres: the image turned by 180 degrees.
    dst.clear(kSentinel);
    src.blitScaled(&dst, 10.5f, 5.5f, -1, -1, kBlendNormal, nullptr, 1.0f, false);
    for (int y = 0; y < 4; ++y)
        for (int k = 0; k < 8; ++k) EXPECT_EQ(at(dst, 7 + k, 4 + y), at(src, 7 - k, 3 - y));
}

TEST_P(BlitScaled, ScaleZeroAndOpacityZeroDrawNothing)
{
    CImage32Buffered src(8, 4), dst(20, 10), map(8, 4);
    src.clear(0xFFFFFFFFu);
    dst.clear(kSentinel);
    src.blitScaled(&dst, 10, 5, 0, 1, kBlendNormal, nullptr, 1.0f, false);
    src.blitScaled(&dst, 10, 5, 1, 0, kBlendNormal, nullptr, 1.0f, true);
    src.blitScaled(&dst, 10, 5, 1, 1, kBlendNormal, nullptr, 0.0f, false);
    src.blitScaled(&dst, 10, 5, 1, 1, kBlendAdd, nullptr, -0.5f, true);
    src.blitScaled(nullptr, 10, 5, 1, 1, kBlendNormal, nullptr, 1.0f, true);
    EXPECT_EQ(changedBox(dst, kSentinel).count, 0);

    // Opacity 0 with an alpha map still draws, weighted with the map: 255 * 128 / 256 +
    // d * 127 / 256 per byte.
    map.clear(gray(128));
    dst.clear(0);
    src.blitScaled(&dst, 10, 5, 1, 1, kBlendNormal, &map, 0.0f, false);
    EXPECT_EQ(at(dst, 6, 3), gray(127));
    EXPECT_EQ(changedBox(dst, 0).count, 32);
}

TEST_P(BlitScaled, RejectsExtentsOutsideTheDestination)
{
    CImage32Buffered src(8, 4), dst(20, 10);
    src.clear(0xFFFFFFFFu);
    dst.clear(kSentinel);
    src.blitScaled(&dst, -4.5f, 5, 1, 1, kBlendNormal, nullptr, 1.0f, true);   // right = -0.5 < 0
    src.blitScaled(&dst, 24.5f, 5, 1, 1, kBlendNormal, nullptr, 1.0f, false);  // left = 20.5 > 20
    src.blitScaled(&dst, 10, -2.5f, 1, 1, kBlendNormal, nullptr, 1.0f, false); // bottom = -0.5
    src.blitScaled(&dst, 10, 12.5f, 1, 1, kBlendNormal, nullptr, 1.0f, false); // top = 10.5
    EXPECT_EQ(changedBox(dst, kSentinel).count, 0);
}

// Clipping at the left edge: 16x2, scale 2, centre 11.3, so left = -4.7. The start moves by
// 4.7 * 16 / 32 = 2.35 source pixels: u = round(2.35 * 65536) = 154010 (16.16), then +32768 per
// column: columns show source 2, 2, 3, 3, 4, ...
TEST_P(BlitScaled, LeftEdgeClipShowsTheRightSourceColumn)
{
    const auto g = blit::scaledGeometry(16, 2, 40, 10, 11.3f, 5, 2, 1);
    ASSERT_TRUE(g.has_value());
    EXPECT_EQ(g->x0, 0);
    EXPECT_EQ(g->columns, 28);  // right = 27.3 -> ceil 28
    EXPECT_EQ(g->u, 154010);
    EXPECT_EQ(g->du, 32768);

    CImage32Buffered src(16, 2), dst(40, 10);
    fillCoordinates(src);
    dst.clear(kSentinel);
    src.blitScaled(&dst, 11.3f, 5, 2, 1, kBlendNormal, nullptr, 1.0f, false);
    const int expected[] = {2, 2, 3, 3, 4, 4, 5, 5};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(at(dst, x, 4), uint32_t(expected[x])) << x;
    EXPECT_EQ(at(dst, 27, 4), 15u);
    EXPECT_EQ(at(dst, 28, 4), kSentinel);

    // Filtered, first column: fx = (154010 >> 4) & 4095 = 1433, fy = 0, so w00 = 4096 - 1433
    // = 2663 * 4096 >> 16 = 166, w10 = 1433 * 4096 >> 16 = 89; blue: (166 * 2 + 89 * 3) >> 8 = 2.
    CImage32Buffered white(16, 2);
    white.clear(0x00FF00FFu);
    white.m_pPixels[3] = 0x00000000u;  // the right neighbour of column 2 in row 0
    dst.clear(kSentinel);
    white.blitScaled(&dst, 11.3f, 5, 2, 1, kBlendNormal, nullptr, 1.0f, true);
    // red/blue: (166 * 255 + 89 * 0) >> 8 = 165
    EXPECT_EQ(at(dst, 0, 4), 0x00A500A5u);
}

TEST_P(BlitScaled, MirroredClipMovesTheStartBackwards)
{
    // Scale -2 with left = -4.7: start = 16 - 2.35 = 13.65, stepping -0.5 per column.
    CImage32Buffered src(16, 2), dst(40, 10);
    fillCoordinates(src);
    dst.clear(kSentinel);
    src.blitScaled(&dst, 11.3f, 5, -2, 1, kBlendNormal, nullptr, 1.0f, false);
    const int expected[] = {13, 13, 12, 12, 11, 11};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(dst, x, 4), uint32_t(expected[x])) << x;
}

TEST_P(BlitScaled, BilinearWeightsAndGuardRow)
{
    // 2x2 source at scale 4: the filter blends towards the right neighbour (the next row's
    // first pixel at the last column) and the zero guard row below the last row.
    CImage32Buffered src(2, 2), dst(8, 8);
    src.m_pPixels[0] = gray(0);
    src.m_pPixels[1] = gray(200);
    src.m_pPixels[2] = gray(100);
    src.m_pPixels[3] = gray(40);
    dst.clear(kSentinel);
    src.blitScaled(&dst, 4, 4, 4, 4, kBlendNormal, nullptr, 1.0f, true);
    // Linear indices past the 4 pixels are the zero guard row.
    auto pixel = [&](int64_t i) { return i < 4 ? src.m_pPixels[i] : 0u; };
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(at(dst, x, y), referenceBilinear(pixel, 2, x * 16384, y * 16384)) << x << "," << y;
    // Pixel (1, 0): fx = 1024, w00 = 3072 * 4096 >> 16 = 192, w10 = 64: (64 * 200) >> 8 = 50.
    EXPECT_EQ(at(dst, 1, 0), gray(50));
}

// Every branch of the selection rules, checked on an interior pixel against the rule written out;
// a source with its alpha flag set draws nothing with add, subtract or filtered normal.
TEST_P(BlitScaled, SelectionRules)
{
    using blend::Rule;
    using blend::Weight;
    struct Row {
        int mode;
        bool alphaFlag, map;
        float opacity;
        bool filter;
        bool draws;
        Rule rule;
        Weight weight;
    };
    const Row rows[] = {
        {0, true, false, 0.3f, false, true, Rule::Weighted, Weight::SourceAlpha},
        {0, true, true, 1.0f, false, true, Rule::Weighted, Weight::SourceAlpha},
        {0, true, false, 1.0f, true, false, Rule::Copy, Weight::None},
        {0, false, true, 0.0f, true, true, Rule::Weighted, Weight::Map},
        {0, false, false, 0.5f, true, true, Rule::Half, Weight::None},
        {0, false, false, 1.0f, false, true, Rule::Copy, Weight::None},
        {0, false, false, 0.3f, true, true, Rule::Weighted, Weight::Opacity},
        {3, true, false, 1.0f, false, false, Rule::Copy, Weight::None},
        {3, false, true, 0.2f, true, true, Rule::SubWeighted, Weight::Map},
        {3, false, false, 1.0f, true, true, Rule::Sub, Weight::None},
        {3, false, false, 0.5f, false, true, Rule::SubWeighted, Weight::Opacity},
        {1, true, true, 1.0f, false, false, Rule::Copy, Weight::None},
        {1, false, true, 1.0f, false, true, Rule::AddWeighted, Weight::Map},
        {1, false, false, 1.0f, true, true, Rule::Add, Weight::None},
        {2, false, false, 0.7f, false, true, Rule::AddWeighted, Weight::Opacity},
    };
    const uint32_t s = 0x9060C0F0u, d = 0x30A050E0u, m = 0x4080C020u;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << r.mode << " opacity " << r.opacity << " filter " << r.filter);
        const auto v = blit::chooseScaledVariant(BlendMode(r.mode), r.alphaFlag, r.map, r.opacity, r.filter);
        ASSERT_EQ(v.has_value(), r.draws);
        CImage32Buffered src(4, 4), map(4, 4), dst(8, 8);
        src.clear(s);
        src.m_hasAlpha = r.alphaFlag;
        map.clear(m);
        dst.clear(d);
        src.blitScaled(&dst, 4, 4, 1, 1, BlendMode(r.mode), r.map ? &map : nullptr, r.opacity, r.filter);
        if (!r.draws) {
            EXPECT_EQ(changedBox(dst, d).count, 0);
            continue;
        }
        EXPECT_EQ(v->rule, r.rule);
        EXPECT_EQ(v->weight, r.weight);
        const uint32_t want = referenceBlend(r.rule, r.weight, d, s, m, uint32_t(blend::opacityWeight(r.opacity)));
        EXPECT_EQ(at(dst, 3, 3), want);
        EXPECT_EQ(changedBox(dst, d).x0, 2);
    }
}

// Random positions, scales (mirrored too) and variants: every SIMD level agrees, and a map of
// another size is not drawn with.
TEST(BlitScaledRandom, SimdEqualsScalar)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> pos(-20, 70), scale(-3, 3);
    CImage32Buffered src(13, 9), map(13, 9), smallMap(12, 9);
    fillRandom(src, 4);
    fillRandom(map, 5);
    for (int round = 0; round < 400; ++round) {
        const float cx = pos(rng), cy = pos(rng), sx = scale(rng), sy = scale(rng);
        const BlendMode mode = BlendMode(rng() % 4);
        const bool filter = rng() & 1, useMap = (rng() % 3) == 0;
        const float opacities[] = {1.0f, 0.5f, 0.3f};
        const float opacity = opacities[rng() % 3];
        src.m_hasAlpha = (rng() % 4) == 0;
        SCOPED_TRACE(round);
        atEveryLevel([&] {
            CImage32Buffered a(50, 40);
            fillRandom(a, round);
            src.blitScaled(&a, cx, cy, sx, sy, mode, useMap ? &map : nullptr, opacity, filter);
            return std::vector<uint32_t>(a.m_pPixels, a.m_pPixels + 2000);
        });
    }
    src.m_hasAlpha = 0;
    CImage32Buffered dst(20, 20);
    dst.clear(kSentinel);
    src.blitScaled(&dst, 10, 10, 1, 1, kBlendNormal, &smallMap, 1.0f, false);
    EXPECT_EQ(changedBox(dst, kSentinel).count, 0);
}

// A source in foreign memory (no guard rows) is read through checked fetches: the same pixels as
// an owned copy, and no read outside its memory (the ASan build checks that).
TEST_P(BlitScaled, ExternalSourceMatchesBufferedSource)
{
    CImage32Buffered owned(16, 8);
    fillRandom(owned, 7);
    std::vector<uint32_t> memory(owned.m_pPixels, owned.m_pPixels + 16 * 8);
    CImage32External view;
    view.setData(16, 8, memory.data());
    struct Case {
        float cx, cy, sx, sy;
    };
    const Case cases[] = {{20, 12, 1.24f, 1.3f}, {20, 12, -1, -1}, {20.5f, 12.5f, -2.5f, 3}, {2, 3, 3, -2}};
    for (const Case& c : cases)
        for (bool filter : {false, true}) {
            CImage32Buffered a(40, 24), b(40, 24);
            a.clear(kSentinel);
            b.clear(kSentinel);
            owned.blitScaled(&a, c.cx, c.cy, c.sx, c.sy, kBlendNormal, nullptr, 1.0f, filter);
            view.blitScaled(&b, c.cx, c.cy, c.sx, c.sy, kBlendNormal, nullptr, 1.0f, filter);
            EXPECT_TRUE(std::equal(a.m_pPixels, a.m_pPixels + 40 * 24, b.m_pPixels)) << c.sx << " " << filter;
        }
}

INSTANTIATE_TEST_SUITE_P(Paths, BlitScaled, ::testing::ValuesIn(kAllSimdLevels), levelName);

} // namespace
