// The polygon filler's set-up: every row of the filler kinds finds span loops for every material
// it can meet (where the compile-time checks cannot see), a destination or depth buffer of another
// size, and a material changing only its opacity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"

namespace {

TEST(FillerKinds, EveryRowTakesEveryMaterialItsSetUpMeets)
{
    uint32_t palette[256] = {}, texels[4 * 6] = {};
    for (const FillerKind& row : kFillerKinds) {
        PolyFiller filler(row);
        // Every pixel operation, every opacity-kind rule of the lit texture, every texture mode,
        // both samplings, textures with and without their own opacity.
        for (int blendMode : {0, 1, 3})
            for (float opacity : {1.0f, 0.5f, 0.25f})
                for (int opacityKind : {0, 1, 2, 3, 20, 101, 102, 103})
                    for (int textureMode : {0, 1, 3})
                        for (int sampling = 0; sampling < 4; ++sampling) {
                            RasterMaterial m = materialWith(palette, texels);
                            m.blendMode = blendMode;
                            m.opacity = opacity;
                            m.opacityKind = opacityKind;
                            m.textureMode = textureMode;
                            m.bilinear = (sampling & 1) != 0;
                            m.texture.hasAlpha = (sampling & 2) != 0;
                            filler.setMaterial(&m);
                            EXPECT_TRUE(filler.hasMaterial())
                                << "kind " << row.kind << " blend mode " << blendMode << " opacity " << opacity
                                << " opacity kind " << opacityKind << " texture mode " << textureMode
                                << " sampling " << sampling;
                        }
    }
}

TEST(PolyFillerOps, DepthBufferOfAnotherHeightIsRefused)
{
    ReportCapture reports;
    std::vector<uint32_t> px(16), cells(32);
    const RasterImage image{px.data(), 8, 2};
    const RasterDepth depth{cells.data(), 8, 4};
    FlatFiller f;
    f.setDestination(&image);
    f.setZBuffer(&depth);
    EXPECT_TRUE(reports.has("PolyFiller warning:", "setZBuffer: dimension different"));
    EXPECT_EQ(f.getZBuffer(), nullptr);
}

TEST(PolyFillerCorners, DestinationOfAnotherSizeLetsTheDepthBufferGo)
{
    Solid grey(0x808080u);
    RasterMaterial m;
    m.palette = grey.entry;
    FlatFiller f;
    f.setMaterial(&m);
    Image a(8, 4), b(8, 4), shorter(8, 2), narrower(4, 4);
    std::vector<uint32_t> cells(32, 0u);
    const RasterDepth depth{cells.data(), 8, 4};
    f.setDestination(&a.view);
    f.setZBuffer(&depth);
    ASSERT_EQ(f.getZBuffer(), cells.data());
    f.setDestination(&b.view);  // same size: kept
    EXPECT_EQ(f.getZBuffer(), cells.data());
    f.setDestination(&shorter.view);
    EXPECT_EQ(f.getZBuffer(), nullptr);
    f.setDestination(&b.view);
    f.setZBuffer(&depth);
    f.setDestination(&narrower.view);
    EXPECT_EQ(f.getZBuffer(), nullptr);
}

TEST(PolyFillerCorners, MaterialChangingOnlyItsOpacityIsTakenAgain)
{
    // Colour 200 over 64: opacity 1 replaces (200), then 0.5 averages ((64 + 200) / 2 = 132).
    Solid grey(0xC8C8C8u);
    RasterMaterial m;
    m.palette = grey.entry;
    FlatFiller f;
    f.setMaterial(&m);
    Image first(2, 2, 0x404040u), second(2, 2, 0x404040u);
    cover(f, first);
    EXPECT_EQ(first.at(1, 1), 0xC8C8C8u);
    m.opacity = 0.5f;
    f.setMaterial(&m);
    cover(f, second);
    EXPECT_EQ(second.at(1, 1), 0x848484u);
    // Opacity kind 20 weighs by the opacity in the normal mode whatever it is: alpha 128 gives
    // 64 · 127 / 256 + 200 · 128 / 256 = 31 + 100; alpha 255 gives 200 · 255 / 256 = 199.
    m.opacityKind = 20;
    for (const auto& [opacity, want] : {std::pair{0.5f, 0x838383u}, std::pair{1.0f, 0xC7C7C7u}}) {
        m.opacity = opacity;
        f.setMaterial(&m);
        Image third(2, 2, 0x404040u);
        cover(f, third);
        EXPECT_EQ(third.at(1, 1), want) << opacity;
    }
}

} // namespace
