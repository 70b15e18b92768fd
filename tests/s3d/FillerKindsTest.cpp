// The table of filler kinds where the compile-time checks cannot see: every row's set-up finds
// span loops for every material it can meet, and the draw manager hands out each row's filler.
#include <gtest/gtest.h>

#include <cstdint>

#include "raster/PolyFiller.h"
#include "s3d/S3DDrawManager.h"

namespace {

RasterMaterial materialWith(const uint32_t* palette, const uint32_t* texels)
{
    RasterMaterial m;
    m.palette = palette;
    m.texture = {texels, 4, 4, 3, 3, 2, false, true};  // 4 x 4 with its two guard rows
    return m;
}

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

TEST(FillerKinds, TheDrawManagerHandsOutTheFillerOfTheKindAskedFor)
{
    uint32_t palette[256] = {}, texels[4 * 6] = {};
    const RasterMaterial m = materialWith(palette, texels);
    S3DDrawManager manager;
    for (const FillerKind& row : kFillerKinds) {
        const PolyFiller* f = manager.filler(row.kind, m);
        ASSERT_NE(f, nullptr) << row.kind;
        EXPECT_EQ(f->kind().kind, row.kind);
    }
    // No row has kind 0 or a number past the lookup.
    EXPECT_EQ(manager.filler(0, m), nullptr);
    EXPECT_EQ(manager.filler(1000, m), nullptr);
}

} // namespace
