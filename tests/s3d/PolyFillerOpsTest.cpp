// Pixel operations the other filler tests leave out, worked per byte: the opacity-weighted
// subtract and add, the weighted average of the second-value kind, and light indices past the
// palette's ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "raster/PolyFiller.h"
#include "support/TestSupport.h"

namespace {

// An 8 x 2 strip filled with `background`, and the quad over all of it.
struct Strip {
    std::vector<uint32_t> px;
    RasterImage image;
    explicit Strip(uint32_t background) : px(16, background), image{px.data(), 8, 2} {}
    void draw(PolyFiller& f, RasterValues a = {}, int flatIndex = 0)
    {
        f.setDestination(&image);
        const RasterVertex q[] = {{0, 0, 0.5f, a}, {0, 2, 0.5f, a}, {8, 2, 0.5f, a}, {8, 0, 0.5f, a}};
        f.drawPolygon(q, 4, flatIndex);
    }
};

TEST(PolyFillerOps, OpacityKind20ScalesTheColourBeforeAddingOrSubtracting)
{
    // alpha = 0.5 × 255 rounded = 128; the colour 0x80 becomes 128 × 128 / 256 = 64 first.
    uint32_t grey[256];
    std::fill(std::begin(grey), std::end(grey), 0x808080u);
    RasterMaterial m;
    m.palette = grey;
    m.opacity = 0.5f;
    const struct {
        int blendMode, opacityKind;
        uint32_t background, want;
    } cases[] = {
        {3, 0, 0xC8C8C8u, 0x484848u},   // 200 - 128
        {3, 20, 0xC8C8C8u, 0x888888u},  // 200 - 64
        {1, 0, 0x404040u, 0xC0C0C0u},   // 64 + 128
        {1, 20, 0x404040u, 0x808080u},  // 64 + 64
    };
    for (const auto& c : cases) {
        m.blendMode = c.blendMode;
        m.opacityKind = c.opacityKind;
        FlatFiller f;
        f.setMaterial(&m);
        Strip s(c.background);
        s.draw(f);
        EXPECT_EQ(s.px[5], c.want) << c.blendMode << " " << c.opacityKind;
    }
}

TEST(PolyFillerOps, SecondValueWeighsTheAverageByHalf)
{
    // Opacity 0.5 selects the average; its weighted form takes weight 255 × 128 / 256 = 127:
    // 200 × 127 / 256 = 99 over black.
    uint32_t ramp[256];
    for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
    RasterMaterial m;
    m.palette = ramp;
    m.opacity = 0.5f;
    TwoValueFiller f;
    f.setMaterial(&m);
    Strip s(0);
    s.draw(f, {.light = 200, .weight = 255});
    EXPECT_EQ(s.px[3], 0x636363u);
}

TEST(PolyFillerOps, LightIndicesPastTheEndsTakeTheEndEntries)
{
    uint32_t ramp[256];
    for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
    RasterMaterial m;
    m.palette = ramp;
    GouraudFiller f;
    f.setMaterial(&m);
    Strip over(0), under(0x123456u);
    over.draw(f, {.light = 300});
    under.draw(f, {.light = -20});
    EXPECT_EQ(over.px[9], 0xFFFFFFu);
    EXPECT_EQ(under.px[9], 0u);
}

TEST(PolyFillerOps, VerticesRoundToTheNearest16_16)
{
    // A left edge at x = 3.00001 is 196608.66 / 65536: rounded to 196609, just past pixel 3,
    // whose centre line it no longer covers; pixel 4 is the first drawn.
    uint32_t one[256];
    std::fill(std::begin(one), std::end(one), 1u);
    RasterMaterial m;
    m.palette = one;
    FlatFiller f;
    f.setMaterial(&m);
    std::vector<uint32_t> px(16, 0);
    const RasterImage image{px.data(), 8, 2};
    f.setDestination(&image);
    const RasterVertex q[] = {{3.00001f, 0, 0.5f, {}}, {3.00001f, 2, 0.5f, {}}, {7, 2, 0.5f, {}}, {7, 0, 0.5f, {}}};
    f.drawPolygon(q, 4);
    EXPECT_EQ(px[3], 0u);
    EXPECT_EQ(px[4], 1u);
}

TEST(PolyFillerOps, TexturedKindsReadUAndVAndMeetTheLitColourByTheTextureMode)
{
    // A 2 x 2 texture: (0, 0) 0x804020, (1, 0) 0x000001, (0, 1) 0x102030, (1, 1) 0x000002.
    uint32_t texels[4] = {0x804020u, 0x000001u, 0x102030u, 0x000002u};
    RasterMaterial m;
    uint32_t grey[256];
    std::fill(std::begin(grey), std::end(grey), 0x808080u);
    m.palette = grey;
    m.texture = {texels, 2, 2, 1, 1, 1, false, false};
    // Perspective: u = 0.5, v = 1.5 everywhere reads texel (0, 1).
    PerspectiveFiller p;
    p.setMaterial(&m);
    Strip s(0);
    s.draw(p, {.u = 0.5f, .v = 1.5f});
    EXPECT_EQ(s.px[6], 0x102030u);
    // Lit texture, texel (0, 0) against the grey 0x80 of every index: texture mode 1 multiplies
    // (t c >> 8), any other mode but 0 adds with saturation.
    ThreeValueFiller lit;
    m.opacityKind = 1;
    m.textureMode = 1;
    lit.setMaterial(&m);
    Strip mul(0);
    const RasterValues at{.light = 200, .u = 0.5f, .v = 0.5f};
    const RasterVertex q[] = {{0, 0, 0.5f, at}, {0, 2, 0.5f, at}, {8, 2, 0.5f, at}, {8, 0, 0.5f, at}};
    lit.setDestination(&mul.image);
    lit.drawPolygon(q, 4);
    EXPECT_EQ(mul.px[5], 0x402010u);
    m.textureMode = 2;
    lit.setMaterial(&m);
    Strip add(0);
    lit.setDestination(&add.image);
    lit.drawPolygon(q, 4);
    EXPECT_EQ(add.px[5], 0xFFC0A0u);
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

} // namespace
