// The effects' loops at every SIMD level on seeded random images, over the shapes that exercise
// the loop edges: odd widths, one row or column, a tall image (bands of rows deeper than the
// columns), windows longer than the image, centres on the borders. Also checks that filtering
// allocates nothing.
#include <gtest/gtest.h>

#include "FxTestImage.h"
#include "support/AllocationCounter.h"
#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"

namespace {

const int kShapes[][2] = {{1, 1}, {2, 3}, {3, 1}, {1, 7}, {37, 23}, {19, 70}, {64, 16}, {512, 256}};

} // namespace

TEST(FxParity, BlurLevelsAgree)
{
    uint32_t seed = 1;
    for (const auto& shape : kShapes) {
        const TestImage in = TestImage::random(shape[0], shape[1], seed++);
        FxHVBlur blur(shape[0], shape[1]);
        for (int size : {0, 1, 2, 3, 6, 10, 64, 300, 1000, 70000, 0x7FFFFFFF})
            for (int direction : {0, 1})
                for (BlendMode mode : {kBlendNormal, kBlendAdd, kBlendSub}) {
                    SCOPED_TRACE(testing::Message() << "blur " << shape[0] << "x" << shape[1] << " size " << size
                                                 << " direction " << direction << " mode " << int(mode));
                    blur.setSize(size);
                    blur.setDirection(FxHVBlur::Direction(direction));
                    blur.setMode(mode);
                    filtered(blur, in);
                }
    }
}

TEST(FxParity, EmbossLevelsAgree)
{
    uint32_t seed = 100;
    for (const auto& shape : kShapes) {
        const TestImage in = TestImage::random(shape[0], shape[1], seed++);
        FxEmboss emboss(shape[0], shape[1]);
        for (FxEmboss::Mode mode : {FxEmboss::Mode::Emboss, FxEmboss::Mode::Shade})
            for (int intensity : {0, 1, 100, 255}) {
                SCOPED_TRACE(testing::Message() << "emboss " << shape[0] << "x" << shape[1]);
                emboss.setMode(mode);
                emboss.setIntensity(intensity);
                filtered(emboss, in);
            }
    }
}

TEST(FxParity, RadialLevelsAgree)
{
    uint32_t seed = 200;
    for (const auto& shape : kShapes) {
        const TestImage in = TestImage::random(shape[0], shape[1], seed++);
        FxRadial radial(shape[0], shape[1]);
        const float w = float(shape[0]), h = float(shape[1]);
        const float centres[][2] = {{0, 0}, {w - 1, h - 1}, {w / 2, h / 3}, {w / 5, h - 1}, {20, 20}};
        for (FxRadial::Mode mode : {FxRadial::Mode::Smooth, FxRadial::Mode::Fast})
            for (const auto& c : centres)
                for (float strength : {0.5f, 1.0f})
                    for (float boost : {0.08f, 1.0f}) {
                        SCOPED_TRACE(testing::Message() << "radial " << shape[0] << "x" << shape[1]);
                        radial.setMode(mode);
                        radial.setCentre(c[0], c[1]);
                        radial.setStrength(strength);
                        radial.setBoost(boost);
                        filtered(radial, in);
                    }
    }
}

TEST(FxParity, FilteringAllocatesNothing)
{
    TestImage image = TestImage::random(512, 256, 9);
    FxHVBlur blur(512, 256);
    FxEmboss emboss(512, 256);
    FxRadial radial(512, 256);
    blur.setScreen(image.image());
    emboss.setScreen(image.image());
    radial.setScreen(image.image());
    emboss.setMode(FxEmboss::Mode::Shade);

    for (SimdLevel level : kAllSimdLevels) {
        SimdLevelScope scope(level);
        AllocationCounter counter;
        blur.setSize(64);
        blur.setDirection(FxHVBlur::Direction::Horizontal);
        blur.apply();
        blur.setDirection(FxHVBlur::Direction::Vertical);
        blur.apply();
        blur.blurRow(17, 31);
        emboss.apply();
        radial.setMode(FxRadial::Mode::Smooth);
        radial.apply();
        radial.setMode(FxRadial::Mode::Fast);
        radial.apply();
        EXPECT_EQ(counter.count(), 0) << "SIMD level " << int(level);
    }
}
