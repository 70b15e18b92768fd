// The packed loops against their scalar twins on seeded random images, over the shapes that
// exercise the loop edges: odd widths, one row or column, windows longer than the image, centres
// on the borders. Also checks that filtering allocates nothing.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FxTestImage.h"
#include "support/AllocationCounter.h"
#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"


namespace {

const int SHAPES[][2] = {{1, 1}, {2, 3}, {3, 1}, {1, 7}, {37, 23}, {64, 16}, {512, 256}};

// Runs the effect on two copies, one per path, and compares them bit for bit.
template <class Effect, class Configure>
void expectTwinsAgree(const TestImage& source, Effect& effect, Configure configure, const char* what)
{
    TestImage simd(source), scalar(source);
    configure(effect);
    effect.setScreen(simd.image());
    effect.apply(FxPath::Simd);
    effect.setScreen(scalar.image());
    effect.apply(FxPath::Scalar);
    ASSERT_EQ(simd.pixels(), scalar.pixels()) << what << " " << source.width() << "x" << source.height();
}

} // namespace

TEST(FxParity, BlurTwinsAgree)
{
    uint32_t seed = 1;
    for (const auto& shape : SHAPES) {
        const TestImage in = TestImage::random(shape[0], shape[1], seed++);
        FxHVBlur blur(shape[0], shape[1]);
        for (int size : {0, 1, 2, 3, 6, 10, 64, 300, 1000, 70000, 0x7FFFFFFF})
            for (int direction : {0, 1})
                for (int mode : {0, 1, 2, 7})
                    expectTwinsAgree(in, blur, [&](FxHVBlur& b) {
                        b.setSize(size);
                        b.setDirection(direction);
                        b.setMode(mode);
                    }, "blur");
    }
}

TEST(FxParity, EmbossTwinsAgree)
{
    uint32_t seed = 100;
    for (const auto& shape : SHAPES) {
        const TestImage in = TestImage::random(shape[0], shape[1], seed++);
        FxEmboss emboss(shape[0], shape[1]);
        for (int mode : {0, 1})
            for (int intensity : {0, 1, 100, 255})
                expectTwinsAgree(in, emboss, [&](FxEmboss& e) {
                    e.setMode(mode);
                    e.setIntensity(intensity);
                }, "emboss");
    }
}

TEST(FxParity, RadialTwinsAgree)
{
    uint32_t seed = 200;
    for (const auto& shape : SHAPES) {
        const TestImage in = TestImage::random(shape[0], shape[1], seed++);
        FxRadial radial(shape[0], shape[1]);
        const float w = float(shape[0]), h = float(shape[1]);
        const float centres[][2] = {{0, 0}, {w - 1, h - 1}, {w / 2, h / 3}, {w / 5, h - 1}, {20, 20}};
        for (int mode : {0, 1})
            for (const auto& c : centres)
                for (float strength : {0.5f, 1.0f})
                    for (float boost : {0.08f, 1.0f})
                        expectTwinsAgree(in, radial, [&](FxRadial& r) {
                            r.setMode(mode);
                            r.setCentre(c[0], c[1]);
                            r.setStrength(strength);
                            r.setBoost(boost);
                        }, "radial");
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
    emboss.setMode(FxEmboss::MODE_SHADE);

    long allocations = 0;
    AllocationCounter counter;
    for (FxPath path : {FxPath::Simd, FxPath::Scalar}) {
        blur.setSize(64);
        blur.setDirection(0);
        blur.apply(path);
        blur.setDirection(1);
        blur.apply(path);
        blur.blurRow(17, 31, path);
        emboss.apply(path);
        radial.setMode(FxRadial::MODE_SMOOTH);
        radial.apply(path);
        radial.setMode(FxRadial::MODE_FAST);
        radial.apply(path);
    }
    allocations = counter.count();
    EXPECT_EQ(allocations, 0);
}
