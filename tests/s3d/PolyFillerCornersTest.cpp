// Corners of the polygon filler the other filler tests leave out: vertices held at the pixel
// limit, the image's last column, the flat index held to the palette, two-pixel spans of polygons,
// a destination of another size, a material changing only its opacity, opacity kind 20 in the
// normal mode, the texel rules' second branches, texels weighing by their own opacity, the scaled
// operations of the weighing kinds, perspective pre-stepping, and texture coordinates far from zero
// on wide polygons and non-square textures. Expected values are worked by hand in the comments.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "raster/PolyFiller.h"

namespace {

struct Image {
    int w, h;
    std::vector<uint32_t> px;
    RasterImage view;
    Image(int width, int height, uint32_t background = 0)
        : w(width), h(height), px(size_t(width) * height, background), view{px.data(), width, height}
    {
    }
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x] & 0xFFFFFFu; }
};

struct Palette {
    uint32_t entry[256];
    explicit Palette(uint32_t colour)
    {
        for (uint32_t& e : entry) e = colour;
    }
    Palette()
    {
        for (uint32_t i = 0; i < 256; ++i) entry[i] = i * 0x010101u;
    }
};

// A width x height texture with two zero guard rows after its last row.
struct Texels {
    std::vector<uint32_t> px;
    RasterTexture view;
    Texels(int width, int height, std::vector<uint32_t> rows, int shiftU, bool alpha = false) : px(std::move(rows))
    {
        px.resize(size_t(width) * (height + 2), 0u);
        view = {px.data(), width, height, uint32_t(width - 1), uint32_t(height - 1), shiftU, alpha, true};
    }
};

RasterVertex at(float x, float y, RasterValues values = {}, float w = 0.5f) { return {x, y, w, values}; }

// The quad over the whole of `image`, every corner with the same values.
void cover(PolyFiller& f, Image& image, RasterValues values = {})
{
    f.setDestination(&image.view);
    const float w = float(image.w), h = float(image.h);
    const RasterVertex q[] = {at(0, 0, values), at(0, h, values), at(w, h, values), at(w, 0, values)};
    f.drawPolygon(q, 4);
}

TEST(PolyFillerCorners, PolygonsReachingFarOutsideFillToTheImagesEdges)
{
    // (5, 0), (-20000, 10), (10, 10): the far corner is held at x = -16384. Row 5 runs from
    // x = 5 - 0.5 (16389) = -8189.5 to 7.5: pixels 0 .. 7.
    Palette white(0xFFFFFFu);
    RasterMaterial m;
    m.palette = white.entry;
    FlatFiller f;
    f.setMaterial(&m);
    Image image(10, 10);
    f.setDestination(&image.view);
    const RasterVertex far[] = {at(5, 0), at(-20000, 10), at(10, 10)};
    f.drawPolygon(far, 3);
    EXPECT_EQ(image.at(0, 5), 0xFFFFFFu);
    EXPECT_EQ(image.at(7, 5), 0xFFFFFFu);
    EXPECT_EQ(image.at(8, 5), 0u);
    // A quad from x = 2 to 30 on a 10-wide image fills up to its last column.
    Image wide(10, 2);
    f.setDestination(&wide.view);
    const RasterVertex quad[] = {at(2, 0), at(2, 2), at(30, 2), at(30, 0)};
    f.drawPolygon(quad, 4);
    EXPECT_EQ(wide.at(9, 0), 0xFFFFFFu);
    EXPECT_EQ(wide.at(9, 1), 0xFFFFFFu);
    EXPECT_EQ(wide.at(1, 1), 0u);
    // The flat kinds' index is held to the palette: 300 takes entry 255, -5 entry 0.
    Palette ramp;
    m.palette = ramp.entry;
    f.setMaterial(&m);
    for (const auto& [index, want] : {std::pair{300, 0xFFFFFFu}, std::pair{-5, 0u}}) {
        Image held(2, 1, 0x123456u);
        f.setDestination(&held.view);
        const RasterVertex q[] = {at(0, 0), at(0, 1), at(2, 1), at(2, 0)};
        f.drawPolygon(q, 4, index);
        EXPECT_EQ(held.at(1, 0), want) << index;
    }
}

TEST(PolyFillerCorners, TwoPixelSpansOfAQuadStepByTheExactQuotient)
{
    // Rows of x 0 .. 1.5, light 10 on the left and 13 on the right: pixels 0 and 1, step
    // 3 × 65536 / 1.5 = 2.0 exactly, so pixel 1 takes entry 12 (the one-pixel rule's reciprocal
    // step, 3 × floor(2^30 / 98304) >> 14 = 1.99988, would give 11).
    Palette ramp;
    RasterMaterial m;
    m.palette = ramp.entry;
    GouraudFiller f;
    f.setMaterial(&m);
    Image image(4, 4);
    f.setDestination(&image.view);
    const RasterVertex q[] = {at(0, 0, {.light = 10}), at(0, 4, {.light = 10}), at(1.5f, 4, {.light = 13}),
                              at(1.5f, 0, {.light = 13})};
    f.drawPolygon(q, 4);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(image.at(0, y), 0x0A0A0Au) << y;
        EXPECT_EQ(image.at(1, y), 0x0C0C0Cu) << y;
        EXPECT_EQ(image.at(2, y), 0u) << y;
    }
}

TEST(PolyFillerCorners, DestinationOfAnotherSizeLetsTheDepthBufferGo)
{
    Palette grey(0x808080u);
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
    Palette grey(0xC8C8C8u);
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

TEST(PolyFillerCorners, PerspectiveValuesArePreSteppedToTheFirstRow)
{
    // A quad from y = 0.5 to 8.5 over a 1 x 8 texture, v = y + 0.5 (w 0.5 everywhere): its first
    // row is 1, pre-stepped by half a row, so row y reads v = y + 0.5, texel row y.
    std::vector<uint32_t> rows;
    for (uint32_t y = 0; y < 8; ++y) rows.push_back(0x10u * (y + 1));
    Texels column(1, 8, rows, 0);
    Palette grey(0x808080u);
    RasterMaterial m;
    m.palette = grey.entry;
    m.texture = column.view;
    PerspectiveFiller f;
    f.setMaterial(&m);
    Image image(1, 9);
    f.setDestination(&image.view);
    const RasterVertex q[] = {at(0, 0.5f, {.v = 1}), at(0, 8.5f, {.v = 9}), at(1, 8.5f, {.v = 9}), at(1, 0.5f, {.v = 1})};
    f.drawPolygon(q, 4);
    EXPECT_EQ(image.at(0, 0), 0u);
    for (int y = 1; y < 8; ++y) EXPECT_EQ(image.at(0, y), 0x10u * uint32_t(y + 1)) << y;
}

TEST(PolyFillerCorners, TexelRulesSecondBranchesAndTexelOpacity)
{
    // Lit colour c = palette entry, texel t, destination d, per byte.
    Palette c16(0x101010u), c200(0xC8C8C8u), c32(0x202020u);
    ThreeValueFiller lit;
    RasterMaterial m;
    // Opacity kind 3 outside the normal blend mode meets by the texture mode (2: add) and then
    // adds: min(255, 48 + 16 + 32) = 96 (the texel weighing would give 16·32/256 + 48·223/256 = 43).
    Texels grey(2, 2, {0x202020u, 0x202020u, 0x202020u, 0x202020u}, 1);
    m.palette = c16.entry;
    m.blendMode = 1;
    m.opacityKind = 3;
    m.textureMode = 2;
    m.texture = grey.view;
    lit.setMaterial(&m);
    Image add(2, 1, 0x303030u);
    cover(lit, add, {.light = 0, .u = 0, .v = 0});
    EXPECT_EQ(add.at(0, 0), 0x606060u);

    // Opacity kind 3 in the normal mode reads the nearest texel even with bilinear asked: at
    // u = 0.5 between a white and a black texel the weight is 255: 200 · 255 / 256 = 199 (the
    // bilinear mix, weight 127, would give 99).
    Texels halves(2, 2, {0xFFFFFFu, 0u, 0xFFFFFFu, 0u}, 1);
    m = {};
    m.palette = c200.entry;
    m.opacityKind = 3;
    m.bilinear = true;
    m.texture = halves.view;
    lit.setMaterial(&m);
    Image nearest(1, 1);
    cover(lit, nearest, {.u = 0.5f, .v = 0});
    EXPECT_EQ(nearest.at(0, 0), 0xC7C7C7u);

    // A texel with its own opacity (128) weighs the combined colour against the destination:
    // texture mode 2, t + c = 16 + 32 = 48 over 100: 48 · 128 / 256 + 100 · 127 / 256 = 24 + 49.
    Texels half(2, 2, {0x80101010u, 0x80101010u, 0x80101010u, 0x80101010u}, 1, true);
    m = {};
    m.palette = c32.entry;
    m.opacityKind = 1;
    m.textureMode = 2;
    m.texture = half.view;
    lit.setMaterial(&m);
    Image weighed(2, 1, 0x646464u);
    cover(lit, weighed, {.u = 0, .v = 0});
    EXPECT_EQ(weighed.at(1, 0), 0x494949u);

    // The texture-only kinds likewise: 200 · 128 / 256 + 100 · 127 / 256 = 100 + 49.
    Texels half200(2, 2, {0x80C8C8C8u, 0x80C8C8C8u, 0x80C8C8C8u, 0x80C8C8C8u}, 1, true);
    TwoValueTextureFiller affine;
    PerspectiveFiller perspective;
    for (PolyFiller* f : {static_cast<PolyFiller*>(&affine), static_cast<PolyFiller*>(&perspective)}) {
        m = {};
        m.palette = c16.entry;
        m.texture = half200.view;
        f->setMaterial(&m);
        Image img(2, 1, 0x646464u);
        cover(*f, img, {.u = 1, .v = 1});
        EXPECT_EQ(img.at(1, 0), 0x959595u) << (f == &affine ? "affine" : "perspective");
    }
}

TEST(PolyFillerCorners, WeightingKindsScaleTheirWeightByTheOpacityWhenAddingOrSubtracting)
{
    // Opacity kind 20 at opacity 0.5 (alpha 128): weight 255 becomes 255 · 128 >> 8 = 127, and
    // colour 200 adds or takes 200 · 127 / 256 = 99.
    Palette grey(0xC8C8C8u);
    RasterMaterial m;
    m.palette = grey.entry;
    m.opacity = 0.5f;
    m.opacityKind = 20;
    const struct {
        int blendMode;
        uint32_t background, want;
    } cases[] = {{1, 0x101010u, 0x737373u}, {3, 0xF0F0F0u, 0x8D8D8Du}};
    for (const auto& c : cases) {
        m.blendMode = c.blendMode;
        TwoValueFiller f;
        f.setMaterial(&m);
        Image img(2, 1, c.background);
        cover(f, img, {.light = 0, .weight = 255});
        EXPECT_EQ(img.at(1, 0), c.want) << c.blendMode;
    }
}

TEST(PolyFillerCorners, TextureCoordinatesFarFromZeroOnWidePolygonsAndTallTextures)
{
    Palette grey(0x808080u);
    RasterMaterial m;
    m.palette = grey.entry;
    // Affine: u from 0 to 50100 across 100 pixels (501 texels per pixel, 1 modulo 4): the range is
    // wider than the held ±32767 from its start but not from its middle, so every pixel x reads
    // column x mod 4 of a 4-wide texture.
    Texels columns(4, 1, {0x11u, 0x22u, 0x33u, 0x44u}, 2);
    m.texture = columns.view;
    TwoValueTextureFiller affine;
    affine.setMaterial(&m);
    Image strip(100, 1);
    affine.setDestination(&strip.view);
    const RasterVertex wide[] = {at(0, 0, {.u = 0, .v = 0}), at(0, 1, {.u = 0, .v = 0}), at(100, 1, {.u = 50100, .v = 0}),
                                 at(100, 0, {.u = 50100, .v = 0})};
    affine.drawPolygon(wide, 4);
    for (int x : {0, 1, 65, 66, 67, 68, 98, 99}) EXPECT_EQ(strip.at(x, 0), 0x11u * uint32_t(x % 4 + 1)) << x;

    // A 2 x 4 texture, affine and perspective: v from 40000 to 40004 down four rows, u 0 .. 2
    // across; the v shift is a whole number of heights, so row y reads texel row y.
    Texels rows(2, 4, {0x10u, 0, 0x20u, 0, 0x30u, 0, 0x40u, 0}, 1);
    m.texture = rows.view;
    PerspectiveFiller perspective;
    for (PolyFiller* f : {static_cast<PolyFiller*>(&affine), static_cast<PolyFiller*>(&perspective)}) {
        f->setMaterial(&m);
        Image tall(2, 4);
        f->setDestination(&tall.view);
        const RasterVertex q[] = {at(0, 0, {.u = 0, .v = 40000}), at(0, 4, {.u = 0, .v = 40004}),
                                  at(2, 4, {.u = 2, .v = 40004}), at(2, 0, {.u = 2, .v = 40000})};
        f->drawPolygon(q, 4);
        for (int y = 0; y < 4; ++y) EXPECT_EQ(tall.at(0, y), 0x10u * uint32_t(y + 1)) << y;
    }
}

} // namespace
