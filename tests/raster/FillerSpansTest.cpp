// The polygon filler's spans and pixel operations: texture sampling (masks, bilinear weights,
// coordinates far from zero on wide polygons and tall textures), the texel rules of the lit
// texture and texels weighing by their own opacity, the weighing second value, the opacity-weighted
// subtract and add, light indices past the palette's ends, and every SSE2 and AVX2 span equal to
// its scalar twin on seeded random spans. Expected bytes are worked out by hand from the per-byte
// formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "raster/PolySpan.h"
#include "raster/RasterTestSupport.h"
#include "support/TestSupport.h"

using namespace polyspan;

namespace {

// A power-of-two texture followed by two zero guard rows.
struct Texture {
    std::vector<uint32_t> texels;
    RasterTexture view;
    Texture(int w, int h, int shift) : texels(size_t(w) * (h + 2))
    {
        view = {texels.data(), w, h, uint32_t(w - 1), uint32_t(h - 1), shift, false, true};
    }
};

// An 8 x 2 destination drawn with one rectangle whose vertices carry the given values; u runs
// with x when uFollowsX.

TEST(PolyFillerSpan, SamplesTexelsWithMasksAndBilinearWeights)
{
    Texture tex(4, 4, 2);
    tex.texels[9] = 0x0000FF64;  // (1, 2)
    tex.texels[10] = 0x0000FFC8;  // (2, 2)
    tex.texels[13] = 0x0000FF28;  // (1, 3)
    tex.texels[14] = 0x0000FF00;  // (2, 3)
    const uint32_t palette[256] = {};
    RasterMaterial m;
    m.palette = palette;
    m.texture = tex.view;
    TwoValueTextureFiller f;
    Strip s;

    // Nearest: u = 5.7 -> column 5 & 3 = 1, v = -0.5 -> row -1 & 3 = 3.
    f.setMaterial(&m);
    s.draw(f, {.u = 5.7f, .v = -0.5f});
    EXPECT_EQ(s.px[5], 0x0000FF28u);

    // Bilinear at u = 1.25, v = 2.5: fractions 1024 and 2048, weights 96, 32, 96, 32;
    // blue (96 * 100 + 32 * 200 + 96 * 40) >> 8 = 77, green (256 * 255) >> 8 = 255.
    m.bilinear = true;
    f.setMaterial(&m);
    s.draw(f, {.u = 1.25f, .v = 2.5f});
    EXPECT_EQ(s.px[3], 0x0000FF4Du);

    // A texture with its own opacity weighs each texel by its top byte: 255 * 128 / 256 = 127
    // over a black destination, the top byte 128 * 128 / 256 = 64.
    Texture own(1, 1, 0);
    own.texels[0] = 0x80FFFFFF;
    own.view.hasAlpha = true;
    m.bilinear = false;
    m.texture = own.view;
    f.setMaterial(&m);
    s.px.assign(16, 0);
    s.draw(f, {});
    EXPECT_EQ(s.px[9], 0x407F7F7Fu);

    // A view whose masks disagree with its size draws nothing.
    m.texture.maskU = 3;
    f.setMaterial(&m);
    EXPECT_FALSE(f.hasMaterial());
}

TEST(PolyFillerSpan, LitTextureRules)
{
    // Texel column 0 is zero, column 1 is t; u = x, so even pixels read 0 and odd pixels t.
    Texture tex(2, 1, 1);
    tex.texels[1] = 0x40FF0080;
    uint32_t palette[256] = {};
    palette[10] = 0x0A64C8FF;  // c, the colour of light index 10
    RasterMaterial m;
    m.palette = palette;
    m.texture = tex.view;
    ThreeValueFiller f;
    Strip s;
    const uint32_t d = 0xFA1E5A40;

    // Stencil: c where the texel is nonzero.
    m.opacityKind = 2;
    f.setMaterial(&m);
    s.px.assign(16, d);
    s.draw(f, {.light = 10}, true);
    EXPECT_EQ(s.px[2], d);
    EXPECT_EQ(s.px[3], 0x0A64C8FFu);

    // Texel weight: per byte c * t / 256 + d * (255 - t) / 256, i.e.
    // ((t c) >> 8) - ((d (t - 255) + 255) >> 8): t = 0 gives d * 255 / 256.
    m.opacityKind = 3;
    f.setMaterial(&m);
    s.px.assign(16, d);
    s.draw(f, {.light = 10}, true);
    EXPECT_EQ(s.px[4], 0xF91D593Fu);
    EXPECT_EQ(s.px[5], 0xBC63599Eu);

    // Texture mode 0: the inverted palette is taken from the texel, max(0, t - c).
    m.opacityKind = 1;
    f.setMaterial(&m);
    s.draw(f, {.light = 10}, true);
    EXPECT_EQ(s.px[6], 0u);
    EXPECT_EQ(s.px[7], 0x369B0000u);

    // One index per polygon: the flat kind of the same rules.
    FlatTextureFiller flat;
    m.opacityKind = 102;
    flat.setMaterial(&m);
    s.px.assign(16, d);
    flat.setDestination(&s.image);
    const RasterVertex r[] = {{0, 0, 0.5f, {}}, {0, 2, 0.5f, {}}, {8, 2, 0.5f, {.u = 8}}, {8, 0, 0.5f, {.u = 8}}};
    flat.drawPolygon(r, 4, 10);
    EXPECT_EQ(s.px[8], d);
    EXPECT_EQ(s.px[9], 0x0A64C8FFu);
}

TEST(PolyFillerSpan, SecondValueWeighsTheLitColour)
{
    uint32_t ramp[256];
    for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
    RasterMaterial m;
    m.palette = ramp;
    TwoValueFiller f;
    f.setMaterial(&m);
    Strip s;
    s.draw(f, {.light = 200, .weight = 64});  // 200 * 64 / 256 = 50 over black
    EXPECT_EQ(s.px[0], 0x323232u);
}

// Every span of the table at `level` against its scalar twin, on seeded random spans of 0..40
// pixels (whole steps and tails of every width) with values wrapping modulo 2^32. Eight guard
// cells after each span must stay untouched.
void expectLevelMatchesScalar(SimdLevel level)
{
    std::mt19937 rng(20240611);
    const auto any = [&] { return uint32_t(rng()); };
    const auto range = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<uint32_t> palette(256), texels(16 * (8 + 2));
    for (uint32_t& p : palette) p = any();
    for (size_t i = 0; i < 16 * 8; ++i) texels[i] = any() & (range(0, 3) ? 0xFFFFFFFFu : 0);

    int checked = 0;
    for (int source = 0; source < 6; ++source)
        for (int bilinear = 0; bilinear < 2; ++bilinear)
            for (int alpha = 0; alpha < 2; ++alpha)
                for (int combine = 0; combine < 5; ++combine)
                    for (int op = 0; op < kPixelOpCount; ++op)
                        for (int depth = 0; depth < 3; ++depth) {
                            const SpanKey key{Source(source), bilinear != 0, alpha != 0, Combine(combine), PixelOp(op),
                                              DepthMode(depth)};
                            const PolySpanFn wide = selectPolySpan(key, level);
                            const PolySpanFn scalar = selectPolySpan(key, SimdLevel::Scalar);
                            ASSERT_EQ(wide == nullptr, scalar == nullptr);
                            if (!wide) continue;
                            // Each level has a loop of its own for every key.
                            ASSERT_NE(wide, scalar);
                            if (level == SimdLevel::Avx2) {
                                ASSERT_NE(wide, selectPolySpan(key, SimdLevel::Sse2));
                            }
                            ++checked;
                            SpanContext ctx;
                            ctx.palette = palette.data();
                            ctx.flat = any();
                            ctx.alpha = any() & 0xFF;
                            ctx.modFactor = modulationFactor(PixelOp(op), ctx.alpha);
                            ctx.texels = texels.data();
                            ctx.texWidth = 16;
                            ctx.maskU = 15;
                            ctx.maskV = 7;
                            ctx.shiftU = 4;
                            for (int trial = 0; trial < 8; ++trial) {
                                const int n = range(0, 40);
                                std::vector<uint32_t> d1(n + 8), z1(n + 8);
                                for (int i = 0; i < n + 8; ++i) d1[i] = any(), z1[i] = any();
                                SpanRun run;
                                run.n = n;
                                run.z = any();
                                run.dz = uint32_t(range(-1 << 28, 1 << 28));
                                run.light = {uint32_t(range(-8 << 16, 263 << 16)),
                                             uint32_t(range(-20 << 16, 20 << 16))};
                                run.weight = {any(), uint32_t(range(-1 << 20, 1 << 20))};
                                run.u = {any(), uint32_t(range(-20 << 16, 20 << 16))};
                                run.v = {any(), uint32_t(range(-1 << 20, 1 << 20))};
                                run.w = {0.2f + float(range(0, 1000)) / 1000, float(range(-100, 100)) / 1e4f};
                                for (FloatRamp* r : {&run.uw, &run.vw})
                                    *r = {float(range(-5000, 5000)) / 100, float(range(-500, 500)) / 100};
                                std::vector<uint32_t> d2 = d1, z2 = z1;
                                if (trial & 1)  // stored depths equal to the span's: the test is >=
                                    for (int i = 0; i < n; ++i) z1[i] = z2[i] = run.z + uint32_t(i) * run.dz;
                                run.dst = d1.data(), run.depth = z1.data();
                                wide(run, ctx);
                                run.dst = d2.data(), run.depth = z2.data();
                                scalar(run, ctx);
                                ASSERT_EQ(d1, d2) << "source " << source << " op " << op << " depth " << depth
                                                  << " n " << n;
                                ASSERT_EQ(z1, z2) << "source " << source << " op " << op << " depth " << depth
                                                  << " n " << n;
                            }
                        }
    EXPECT_GT(checked, 100);
}

TEST(PolyFillerSpan, Sse2MatchesScalar) { expectLevelMatchesScalar(SimdLevel::Sse2); }

TEST(PolyFillerSpan, Avx2MatchesScalar)
{
    if (!simdLevelSupported(SimdLevel::Avx2)) GTEST_SKIP() << "this CPU has no AVX2";
    expectLevelMatchesScalar(SimdLevel::Avx2);
}

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

TEST(PolyFillerCorners, TexelRulesSecondBranchesAndTexelOpacity)
{
    // Lit colour c = palette entry, texel t, destination d, per byte.
    Solid c16(0x101010u), c200(0xC8C8C8u), c32(0x202020u);
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
    Solid grey(0xC8C8C8u);
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
    Solid grey(0x808080u);
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
