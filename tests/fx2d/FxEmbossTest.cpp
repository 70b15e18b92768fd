// Emboss: the relief from the neighbour column sums, the edge rule, the shading by the relief and
// the limits of the settings.
#include <gtest/gtest.h>

#include "FxTestImage.h"
#include "fx2d/FxEmboss.h"
#include "support/TestSupport.h"

namespace {

TestImage embossed(const TestImage& source, FxEmboss::Mode mode, int intensity = 255)
{
    FxEmboss emboss(source.width(), source.height());
    emboss.setMode(mode);
    emboss.setIntensity(intensity);
    SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " intensity " << intensity);
    return filtered(emboss, source);
}

// Columns left of `edge` hold `left` in every byte, the others `right`.
TestImage stepImage(int width, int height, int edge, int left, int right)
{
    TestImage t(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) t.at(x, y) = grey(x < edge ? left : right);
    return t;
}

} // namespace

TEST(FxEmboss, UniformImageGives128)
{
    const TestImage out = embossed(TestImage(7, 5, 0x80FF3C00), FxEmboss::Mode::Emboss);
    for (uint32_t p : out.pixels()) EXPECT_EQ(p, grey(128));
}

TEST(FxEmboss, ReliefIsTheDifferenceOfTheNeighbourColumnSums)
{
    // A step of 30 at column 4: both columns beside it see 3 x 30 more on the right.
    const TestImage out = embossed(stepImage(9, 4, 4, 0, 30), FxEmboss::Mode::Emboss);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(out.at(x, y), grey(x == 3 || x == 4 ? 218 : 128)) << x << "," << y;

    // Steep steps clamp to 0 and 255.
    const TestImage steep = embossed(stepImage(6, 3, 3, 200, 0), FxEmboss::Mode::Emboss);
    EXPECT_EQ(steep.at(2, 1), grey(0));
    EXPECT_EQ(embossed(stepImage(6, 3, 3, 0, 200), FxEmboss::Mode::Emboss).at(3, 1), grey(255));
}

TEST(FxEmboss, EdgesRepeatTheBorderPixels)
{
    // Column 0 bright: beyond the left border the column repeats, so columns 0 and 1 both see
    // 128 + 0 - 90.
    TestImage left(6, 3);
    for (int y = 0; y < 3; ++y) left.at(0, y) = grey(30);
    const TestImage l = embossed(left, FxEmboss::Mode::Emboss);
    EXPECT_EQ(l.at(0, 1), grey(38));
    EXPECT_EQ(l.at(1, 1), grey(38));
    EXPECT_EQ(l.at(2, 1), grey(128));

    // One bright pixel in row 0: above the top the row repeats, so it counts twice there.
    TestImage top(8, 4);
    top.at(5, 0) = grey(30);
    const TestImage t = embossed(top, FxEmboss::Mode::Emboss);
    EXPECT_EQ(t.at(4, 0), grey(188));
    EXPECT_EQ(t.at(6, 0), grey(68));
    EXPECT_EQ(t.at(4, 1), grey(158));
    EXPECT_EQ(t.at(4, 2), grey(128));
}

TEST(FxEmboss, ShadeLightsThePixelByItsRelief)
{
    // Uniform: relief 128 everywhere, l = 0, the image is unchanged.
    const TestImage flat(5, 5, 0x11223344);
    EXPECT_EQ(embossed(flat, FxEmboss::Mode::Shade).pixels(), flat.pixels());

    // Rising step 100 -> 130: g = 218, l = 90, (255 x 90) >> 8 = 89 added to every channel.
    const TestImage up = embossed(stepImage(8, 3, 4, 100, 130), FxEmboss::Mode::Shade);
    EXPECT_EQ(up.at(3, 1), grey(189));
    EXPECT_EQ(up.at(4, 1), grey(219));
    EXPECT_EQ(up.at(0, 1), grey(100));

    // Falling step 130 -> 100: l = -90, (255 x -90) >> 8 = -90 (the shift rounds down).
    const TestImage down = embossed(stepImage(8, 3, 4, 130, 100), FxEmboss::Mode::Shade);
    EXPECT_EQ(down.at(3, 1), grey(40));
    EXPECT_EQ(down.at(4, 1), grey(10));

    // Half intensity: (128 x 90) >> 8 = 45.
    EXPECT_EQ(embossed(stepImage(8, 3, 4, 100, 130), FxEmboss::Mode::Shade, 128).at(3, 1), grey(145));
}

TEST(FxEmboss, IntensityIsLimitedAndBadScreensAreRefused)
{
    FxEmboss emboss(4, 4);
    emboss.setIntensity(300);
    EXPECT_EQ(emboss.getIntensity(), 255);
    emboss.setIntensity(-5);
    EXPECT_EQ(emboss.getIntensity(), 0);

    ReportCapture cap;
    emboss.apply(); // no screen: nothing
    EXPECT_EQ(cap.count(), 0u);
    TestImage other(4, 5);
    emboss.setScreen(other.image());
    EXPECT_TRUE(cap.has("FxEmboss : ", "setScreen: not same dimensions as the constructor one"));
    EXPECT_EQ(emboss.getScreen(), nullptr);
}
