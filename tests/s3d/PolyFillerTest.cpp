// The polygon filler's scanline engine: the fill convention, exact interpolated values and depth at
// chosen pixels, the depth rules of blending, and the set-up messages. Expected values are worked
// out by hand from the fixed-point rules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "RasterCanvas.h"
#include "raster/PolyFiller.h"
#include "support/AllocationCounter.h"
#include "support/TestSupport.h"

namespace {

using Canvas = RasterCanvas;

// Grey ramp: palette[i] = i in every colour byte.
struct Ramp {
    uint32_t entry[256];
    Ramp()
    {
        for (uint32_t i = 0; i < 256; ++i) entry[i] = i * 0x010101u;
    }
};

// One colour in every entry.
struct Solid {
    uint32_t entry[256];
    explicit Solid(uint32_t colour)
    {
        for (uint32_t& e : entry) e = colour;
    }
};

RasterMaterial material(const uint32_t* palette, int blendMode = 0, float opacity = 1.0f, int opacityKind = 0)
{
    RasterMaterial m;
    m.palette = palette;
    m.blendMode = blendMode;
    m.opacity = opacity;
    m.opacityKind = opacityKind;
    return m;
}

RasterVertex vtx(float x, float y, float w = 0.5f, float light = 0)
{
    return {x, y, w, {.light = light}};
}

// Counts coverage: every drawn pixel adds 1 (additive blend of flat colour 1).
struct Counter {
    Canvas canvas{20, 20};
    uint32_t one[256] = {};
    FlatFiller filler;
    RasterMaterial add;
    Counter()
    {
        for (uint32_t& e : one) e = 1;
        add = material(one, 1);
        filler.setDestination(&canvas.image);
        filler.setMaterial(&add);
    }
    int total() const
    {
        int sum = 0;
        for (uint32_t p : canvas.px) sum += int(p);
        return sum;
    }
    uint32_t maximum() const
    {
        uint32_t m = 0;
        for (uint32_t p : canvas.px) m = p > m ? p : m;
        return m;
    }
};

TEST(PolyFiller, SharedEdgesFillEveryPixelOnce)
{
    // The square (1,1)-(9,9) as two triangles: exactly pixels 1..8 x 1..8, each once.
    Counter c;
    const RasterVertex t1[] = {vtx(1, 1), vtx(1, 9), vtx(9, 9)};
    const RasterVertex t2[] = {vtx(1, 1), vtx(9, 9), vtx(9, 1)};
    c.filler.drawPolygon(t1, 3);
    c.filler.drawPolygon(t2, 3);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(c.canvas.at(x, y), (x >= 1 && x <= 8 && y >= 1 && y <= 8) ? 1u : 0u) << x << "," << y;

    // A fan of six triangles around an off-grid centre: no pixel twice, and as many pixels as
    // the same hexagon drawn as one polygon.
    Counter fan, whole;
    const RasterVertex ring[] = {vtx(9.3f, 1.2f), vtx(3.1f, 4.7f),   vtx(2.6f, 12.4f),
                                 vtx(8.9f, 17.8f), vtx(16.2f, 13.5f), vtx(15.7f, 5.1f)};
    const RasterVertex centre = vtx(8.3f, 8.6f);
    for (int i = 0; i < 6; ++i) {
        const RasterVertex tri[] = {centre, ring[i], ring[(i + 1) % 6]};
        fan.filler.drawPolygon(tri, 3);
    }
    whole.filler.drawPolygon(ring, 6);
    EXPECT_EQ(fan.maximum(), 1u);
    EXPECT_EQ(whole.maximum(), 1u);
    EXPECT_EQ(fan.total(), whole.total());
    EXPECT_GT(whole.total(), 100);
}

TEST(PolyFiller, DegenerateInputDrawsNothing)
{
    Counter c;
    const RasterVertex clockwise[] = {vtx(1, 1), vtx(9, 9), vtx(1, 9)};
    c.filler.drawPolygon(clockwise, 3);
    // All vertices between two integer rows: no scanline centre is covered.
    const RasterVertex thin[] = {vtx(1, 2.1f), vtx(1, 2.9f), vtx(15, 2.9f), vtx(15, 2.1f)};
    c.filler.drawPolygon(thin, 4);
    // Ten vertices of a convex decagon, one more than the filler takes.
    RasterVertex ten[10];
    for (int i = 0; i < 10; ++i) {
        const double t = 2 * M_PI * i / 10;
        ten[i] = vtx(float(10 - 8 * std::sin(t)), float(10 - 8 * std::cos(t)));
    }
    c.filler.drawPolygon(ten, 10);
    EXPECT_EQ(c.total(), 0);

    c.filler.drawPolygon(ten, 9);  // nine of them form a polygon the filler does draw
    EXPECT_GT(c.total(), 0);
    c.canvas.px.assign(c.canvas.px.size(), 0);
    c.filler.setMaterial(nullptr);
    c.filler.drawPolygon(ten, 9);
    EXPECT_EQ(c.total(), 0);

    // Vertices that are not numbers or lie far outside the image stay inside the image's memory.
    c.filler.setMaterial(&c.add);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const RasterVertex wild[] = {vtx(nan, 1), vtx(-1e30f, 1e30f), vtx(1e30f, nan), vtx(3, -1e9f)};
    c.filler.drawPolygon(wild, 3);
    c.filler.drawPolygon(wild, 4);
}

TEST(PolyFiller, OneScanlineEdgesStepByTheReciprocal)
{
    // The left edge covers only scanline 1 (y 0.5 .. 1.25): its step is (3 px * floor(2^30 / 0.75 px))
    // >> 14 = 262140, so x = 1 + 2^-16 + 0.5 * step lands just below 3 and pixel 3 is the first
    // drawn; the exact step of 4 px per scanline would put it just above 3 and start at pixel 4.
    Counter c;
    const float u = 1.0f / 65536;
    const RasterVertex t[] = {vtx(1 + u, 0.5f), vtx(4 + u, 1.25f), vtx(10, 1.25f)};
    c.filler.drawPolygon(t, 3);
    EXPECT_EQ(c.canvas.at(2, 1), 0u);
    EXPECT_EQ(c.canvas.at(3, 1), 1u);
}

TEST(PolyFiller, InterpolatesExactValuesAndDepth)
{
    // Index field q = 4x + 8y + 16 and depth w = 0.25 + x/64 + y/128, sampled at pixel (x, y).
    const auto q = [](float x, float y) { return 4 * x + 8 * y + 16; };
    const auto w = [](float x, float y) { return 0.25f + x / 64 + y / 128; };
    const auto v = [&](float x, float y) { return vtx(x, y, w(x, y), q(x, y)); };
    Ramp ramp;
    const RasterMaterial m = material(ramp.entry);

    Canvas tri(16, 16);
    GouraudFiller g;
    g.setDestination(&tri.image);
    g.setZBuffer(&tri.depth);
    g.setMaterial(&m);
    const RasterVertex t[] = {v(0, 0), v(0, 12), v(12, 12)};
    g.drawPolygon(t, 3);
    EXPECT_EQ(tri.at(3, 7), 84u * 0x010101u);
    EXPECT_EQ(tri.at(6, 7), 96u * 0x010101u);
    EXPECT_EQ(tri.at(7, 7), 0u);  // on the right edge: not filled
    EXPECT_EQ(tri.at(0, 11), 104u * 0x010101u);
    EXPECT_EQ(tri.at(0, 12), 0u);  // bottom row: not filled
    EXPECT_EQ(tri.depthAt(3, 7), 1509949440u);  // 0.3515625 * 2^32
    EXPECT_EQ(tri.depthAt(0, 1), 1107296256u);  // 0.2578125 * 2^32
    EXPECT_EQ(tri.depthAt(0, 0), 0u);            // row 0 holds no pixel of the triangle

    // A quad off the pixel grid: pre-stepped to the first row and column, per-span gradients.
    Canvas quad(16, 16);
    g.setDestination(&quad.image);
    g.setZBuffer(&quad.depth);
    const RasterVertex r[] = {v(0.5f, 0.25f), v(0.5f, 12.25f), v(12.5f, 12.25f), v(12.5f, 0.25f)};
    {
        AllocationCounter allocations;
        g.drawPolygon(r, 4);
        EXPECT_EQ(allocations.count(), 0);
    }
    EXPECT_EQ(quad.at(0, 7), 0u);
    EXPECT_EQ(quad.at(1, 1), 28u * 0x010101u);
    EXPECT_EQ(quad.at(3, 7), 84u * 0x010101u);
    EXPECT_EQ(quad.at(12, 7), 120u * 0x010101u);
    EXPECT_EQ(quad.at(11, 12), 156u * 0x010101u);
    EXPECT_EQ(quad.at(13, 7), 0u);
    EXPECT_EQ(quad.at(5, 0), 0u);
    EXPECT_EQ(quad.depthAt(3, 7), 1509949440u);
}

TEST(PolyFiller, BlendingTestsDepthWithoutWritingIt)
{
    const Solid opaque(0x00808080), glass(0x00FF0000);
    const RasterMaterial solid = material(opaque.entry), blended = material(glass.entry, 0, 0.25f);
    Canvas c(8, 8);
    FlatFiller f;
    f.setDestination(&c.image);
    f.setZBuffer(&c.depth);
    const auto square = [&](float w) {
        const RasterVertex s[] = {vtx(0, 0, w), vtx(0, 8, w), vtx(8, 8, w), vtx(8, 0, w)};
        f.drawPolygon(s, 4);
    };
    const Solid first(0x00123456);
    const RasterMaterial under = material(first.entry);
    f.setMaterial(&under);
    square(0.5f);
    f.setMaterial(&solid);
    square(0.5f);  // the same depth passes the test (>=)
    EXPECT_EQ(c.at(4, 4), 0x00808080u);
    EXPECT_EQ(c.depthAt(4, 4), 0x80000000u);
    f.setMaterial(&blended);
    square(0.25f);  // behind: unchanged
    EXPECT_EQ(c.at(4, 4), 0x00808080u);
    square(0.75f);  // in front: a = 64; 128 * 191 / 256 = 95, 255 * 64 / 256 = 63
    EXPECT_EQ(c.at(4, 4), 0x009E5F5Fu);
    EXPECT_EQ(c.depthAt(4, 4), 0x80000000u);

    // Opacity exactly 0.5: the byte average (d + s) >> 1, not the alpha formula.
    const Solid half(0x30405061);
    const RasterMaterial average = material(half.entry, 0, 0.5f);
    c.px.assign(c.px.size(), 0x10203040);
    c.z.assign(c.z.size(), 0);
    f.setMaterial(&average);
    square(0.5f);
    EXPECT_EQ(c.at(2, 5), 0x20304050u);
    EXPECT_EQ(c.depthAt(2, 5), 0u);
}

TEST(PolyFiller, SetupMessagesKeepThePreviousState)
{
    ReportCapture reports;
    Canvas c(8, 8), big(16, 8);
    const Solid white(0xFFFFFF);
    const RasterMaterial m = material(white.entry);
    FlatFiller f;
    f.setDestination(nullptr);
    const RasterImage empty{c.px.data(), 0, 8}, noPixels{nullptr, 8, 8};
    f.setDestination(&empty);
    f.setDestination(&noPixels);
    EXPECT_TRUE(reports.has("PolyFiller warning:", "setDestination: pDestination NULL"));
    EXPECT_TRUE(reports.has("PolyFiller warning:", "setDestination: bad dimension"));
    EXPECT_TRUE(reports.has("PolyFiller warning:", "setDestination: m_pDest NULL"));
    EXPECT_EQ(f.getWidth(), 0);

    f.setDestination(&c.image);
    f.setZBuffer(&c.depth);
    f.setZBuffer(&big.depth);
    EXPECT_TRUE(reports.has("PolyFiller warning:", "setZBuffer: dimension different"));
    f.setZBuffer(nullptr);  // ignored
    EXPECT_EQ(f.getZBuffer(), c.z.data());
    f.setMaterial(&m);
    const RasterVertex s[] = {vtx(0, 0, 0.5f), vtx(0, 8, 0.5f), vtx(8, 8, 0.5f)};
    f.drawPolygon(s, 3);
    EXPECT_EQ(c.depthAt(1, 5), 0x80000000u);  // drawn through the old buffer
    EXPECT_EQ(c.at(1, 5), 0xFFFFFFu);

    const RasterDepth noCells{nullptr, 8, 8};
    f.setZBuffer(&noCells);
    EXPECT_TRUE(reports.has("PolyFiller warning:", "setZBuffer: m_pZBuffer NULL"));
    EXPECT_EQ(f.getZBuffer(), nullptr);
    EXPECT_EQ(reports.count(), 5u);
}

} // namespace
