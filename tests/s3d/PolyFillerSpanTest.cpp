// The polygon filler's spans: texture sampling (masks, bilinear weights), the texel rules of the
// lit texture, the weighing second value, and every SSE2 and AVX2 span equal to its scalar twin
// on seeded random spans. Expected bytes are worked out by hand from the per-byte formulas.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "raster/PolyFiller.h"
#include "raster/PolySpan.h"

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
struct Strip {
    std::vector<uint32_t> px = std::vector<uint32_t>(16);
    RasterImage image{px.data(), 8, 2};
    void draw(PolyFiller& f, RasterValues a, bool uFollowsX = false)
    {
        f.setDestination(&image);
        const auto v = [&](float x, float y) {
            RasterVertex r{x, y, 0.5f, a};
            if (uFollowsX) r.values.u = x;
            return r;
        };
        const RasterVertex r[] = {v(0, 0), v(0, 2), v(8, 2), v(8, 0)};
        f.drawPolygon(r, 4);
    }
};

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

} // namespace
