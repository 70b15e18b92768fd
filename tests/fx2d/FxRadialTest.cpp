// Radial smear: the angular weights, the blend of each pixel with its filtered neighbours in both
// modes, boost and saturation, quadrant symmetry and the limits of the settings.
#include <gtest/gtest.h>

#include "FxTestImage.h"
#include "fx2d/FxRadial.h"
#include "support/TestSupport.h"

namespace {

struct RadialSettings {
    FxRadial::Mode mode;
    float strength;
    float boost;
    float cx;
    float cy;
};

TestImage smeared(const TestImage& source, const RadialSettings& s)
{
    FxRadial radial(source.width(), source.height());
    radial.setMode(s.mode);
    radial.setStrength(s.strength);
    radial.setBoost(s.boost);
    radial.setCentre(s.cx, s.cy);
    SCOPED_TRACE(testing::Message() << "mode " << int(s.mode) << " centre " << s.cx << "," << s.cy);
    return filtered(radial, source);
}

} // namespace

TEST(FxRadial, WeightsAre256OnTheAxesAnd0OnTheDiagonals)
{
    const FxRadial radial(16, 12);
    EXPECT_EQ(radial.weight(0, 0), 256);
    EXPECT_EQ(radial.weight(9, 0), 256);
    EXPECT_EQ(radial.weight(0, 11), 256);
    EXPECT_EQ(radial.weight(7, 7), 0);
    // (2, 1): c = 2 x 4/5 - 1 = 0.6, 2ab = 0.8, 256 x 0.6 / 1.4 = 109.7
    EXPECT_EQ(radial.weight(2, 1), 109);
    EXPECT_EQ(radial.weight(1, 2), 109);
}

TEST(FxRadial, NoStrengthAndNoBoostLeaveTheImage)
{
    const TestImage in = TestImage::random(21, 13, 3);
    for (FxRadial::Mode mode : {FxRadial::Mode::Smooth, FxRadial::Mode::Fast})
        EXPECT_EQ(smeared(in, {mode, 0.0f, 0.0f, 8.0f, 5.0f}).pixels(), in.pixels());
}

TEST(FxRadial, EachPixelBlendsWithItsAlreadyFilteredNeighbours)
{
    // Strength 0.5, boost 0, centre (0, 0): along the centre row P' = (P + left') >> 1.
    TestImage in(4, 3);
    in.at(0, 0) = grey(201);
    in.at(1, 1) = grey(40);
    for (FxRadial::Mode mode : {FxRadial::Mode::Smooth, FxRadial::Mode::Fast}) {
        const TestImage out = smeared(in, {mode, 0.5f, 0.0f, 0.0f, 0.0f});
        EXPECT_EQ(out.at(0, 0), grey(201));
        EXPECT_EQ(out.at(1, 0), grey(100));
        EXPECT_EQ(out.at(2, 0), grey(50));
        EXPECT_EQ(out.at(3, 0), grey(25));
        EXPECT_EQ(out.at(0, 1), grey(100)); // both neighbours are (0, 0)
        EXPECT_EQ(out.at(1, 1), grey(120)); // diagonal: weight 0, D = (0, 0)
        // (2, 1): A = (1, 1)' = 120, D = (1, 0)' = 100, w = 109: N = 27780, (8192 N >> 8) >> 14 = 54
        // (1, 2): A = (1, 1)' vertically, D = (0, 1)' = 100, the same numbers.
        if (mode == FxRadial::Mode::Smooth) {
            EXPECT_EQ(out.at(2, 1), grey(54));
            EXPECT_EQ(out.at(1, 2), grey(54));
        }
    }
}

TEST(FxRadial, TheSmearRunsOutFromTheCentreGivenAsXThenY)
{
    // A dot at the centre (13, 3), strength 0.5: along the centre row and column each pixel
    // halves the one before it, outwards from the dot, in all four directions.
    TestImage in(20, 16);
    in.at(13, 3) = grey(201);
    for (FxRadial::Mode mode : {FxRadial::Mode::Smooth, FxRadial::Mode::Fast}) {
        const TestImage out = smeared(in, {mode, 0.5f, 0.0f, 13.0f, 3.0f});
        EXPECT_EQ(out.at(13, 3), grey(201));
        for (auto [x, y] : {std::pair{14, 3}, {12, 3}, {13, 4}, {13, 2}}) EXPECT_EQ(out.at(x, y), grey(100)) << x << "," << y;
        for (auto [x, y] : {std::pair{15, 3}, {11, 3}, {13, 5}, {13, 1}}) EXPECT_EQ(out.at(x, y), grey(50)) << x << "," << y;
        EXPECT_EQ(out.at(16, 3), grey(25));
        EXPECT_EQ(out.at(13, 0), grey(25));
    }
}

TEST(FxRadial, BoostAddsGainAndSumsSaturate)
{
    // Strength 0.5, boost 0.25 on the centre: 201 x (8192 + 12288) >> 14 = 251; fast: the same.
    const TestImage dot(3, 3, grey(201));
    EXPECT_EQ(smeared(dot, {FxRadial::Mode::Smooth, 0.5f, 0.25f, 1.0f, 1.0f}).at(1, 1), grey(251));
    EXPECT_EQ(smeared(dot, {FxRadial::Mode::Fast, 0.5f, 0.25f, 1.0f, 1.0f}).at(1, 1), grey(251));
    // Full strength and boost doubles: 400 limits to 255 in both modes.
    for (FxRadial::Mode mode : {FxRadial::Mode::Smooth, FxRadial::Mode::Fast}) {
        const TestImage out = smeared(TestImage(5, 4, grey(200)), {mode, 1.0f, 1.0f, 2.0f, 2.0f});
        for (uint32_t p : out.pixels()) EXPECT_EQ(p, grey(255));
    }
}

TEST(FxRadial, QuadrantsMirrorEachOther)
{
    // A picture symmetric about its centre pixel smears symmetrically.
    TestImage in(11, 9);
    const TestImage base = TestImage::random(6, 5, 17);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x) in.at(x, y) = base.at(x < 5 ? 5 - x : x - 5, y < 4 ? 4 - y : y - 4);
    for (FxRadial::Mode mode : {FxRadial::Mode::Smooth, FxRadial::Mode::Fast}) {
        const TestImage out = smeared(in, {mode, 0.9f, 0.08f, 5.0f, 4.0f});
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 11; ++x) EXPECT_EQ(out.at(x, y), out.at(10 - x, 8 - y)) << x << "," << y;
    }
}

TEST(FxRadial, SettingsAreLimited)
{
    FxRadial radial(10, 6);
    EXPECT_EQ(radial.getCentreX(), 5);
    EXPECT_EQ(radial.getCentreY(), 3);
    radial.setCentre(3.9f, 2.7f);
    EXPECT_EQ(radial.getCentreX(), 3);
    EXPECT_EQ(radial.getCentreY(), 2);
    radial.setCentre(-5.0f, 1000.0f);
    EXPECT_EQ(radial.getCentreX(), 0);
    EXPECT_EQ(radial.getCentreY(), 5);
    radial.setStrength(1.5f);
    radial.setBoost(-0.5f);
    EXPECT_EQ(radial.getStrength(), 1.0f);
    EXPECT_EQ(radial.getBoost(), 0.0f);

    ReportCapture cap;
    TestImage other(6, 10);
    radial.setScreen(other.image());
    EXPECT_TRUE(cap.has("FxRadial : ", "setScreen: not same dimensions as the constructor one"));
    EXPECT_EQ(radial.getScreen(), nullptr);
    radial.apply(); // no screen: nothing
    EXPECT_EQ(cap.count(), 1u);
}
