// The polygon filler's scanline engine: the fill convention, exact interpolated values and depth at
// chosen pixels, the depth rules of blending, vertices rounded to 16.16 and held at the pixel
// limit, two-pixel spans, pre-stepping, and the walk from the first scanline with pixels (a
// polygon whose top is cut by the image, or too thin for a pixel, takes the values its edges reach
// there by stepping). Expected values are worked out by hand from the fixed-point rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "raster/RasterTestSupport.h"
#include "support/AllocationCounter.h"
#include "support/TestSupport.h"

namespace {

using Canvas = RasterCanvas;

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

namespace {

using Target = RasterCanvas;

struct Kind {
    const char* name;
    std::unique_ptr<PolyFiller> (*make)();
};
const Kind kKinds[] = {
    {"gouraud", [] { return std::unique_ptr<PolyFiller>(new GouraudFiller); }},
    {"lit texture", [] { return std::unique_ptr<PolyFiller>(new ThreeValueFiller); }},
    {"perspective", [] { return std::unique_ptr<PolyFiller>(new PerspectiveFiller); }},
};

struct Material {
    uint32_t palette[256];
    std::vector<uint32_t> texels = std::vector<uint32_t>(size_t(64) * 66);
    RasterMaterial m;
    Material()
    {
        std::mt19937 rng(11);
        for (uint32_t& t : texels) t = rng() & 0xFFFFFF;
        for (uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010203u;
        m.palette = palette;
        m.opacityKind = 1;  // the lit texture kind's multiply rule
        m.textureMode = 1;
        m.texture = {texels.data(), 64, 64, 63, 63, 6, false, true};
    }
};

// A convex polygon (three or four corners, counter-clockwise on the screen) with random values,
// its corners between y 2 and 42.
std::vector<RasterVertex> randomPolygon(std::mt19937& rng, int n)
{
    std::uniform_real_distribution<float> unit(0, 1);
    const float cx = 20 + unit(rng) * 24, cy = 20 + unit(rng) * 2, r = 4 + unit(rng) * 16;
    std::vector<RasterVertex> v;
    float a = unit(rng) * 6.2832f;
    for (int k = 0; k < n; ++k, a += 6.2832f / float(n) * (0.7f + 0.5f * unit(rng))) {
        const float w = 0.2f + 0.7f * unit(rng);
        // y on a 1/256 grid, so that moving it by whole pixels is exact
        const float y = std::round((cy - r * std::cos(a) * 0.9f) * 256.0f) / 256.0f;
        v.push_back({cx - r * std::sin(a), y, w,
                     {.light = unit(rng) * 255, .weight = 0, .u = unit(rng) * 200 - 50, .v = unit(rng) * 200 - 50}});
    }
    return v;
}

void draw(PolyFiller& f, Target& t, const Material& m, std::vector<RasterVertex> v, float down)
{
    for (RasterVertex& p : v) p.y += down;
    std::memset(t.px.data(), 0, t.px.size() * 4);
    std::memset(t.z.data(), 0, t.z.size() * 4);
    f.setDestination(&t.image);
    f.setZBuffer(&t.depth);
    f.setMaterial(&m.m);
    f.drawPolygon(v.data(), int(v.size()));
}

TEST(PolyFillerWalk, RowsBelowACutTopMatchThePolygonDrawnWhole)
{
    const Material material;
    std::mt19937 rng(5);
    for (const Kind& kind : kKinds) {
        for (int i = 0; i < 60; ++i) {
            const int n = 3 + i % 2;
            const std::vector<RasterVertex> polygon = randomPolygon(rng, n);
            const int cut = 3 + i % 17;  // whole pixels moved up, rows cut off the top
            Target whole(64, 48), cutTop(64, 48);
            const std::unique_ptr<PolyFiller> a = kind.make(), b = kind.make();
            draw(*a, whole, material, polygon, 0.0f);
            draw(*b, cutTop, material, polygon, -float(cut));
            for (int y = 0; y + cut < 48; ++y) {
                ASSERT_EQ(std::memcmp(cutTop.row(y), whole.row(y + cut), 64 * 4), 0)
                    << kind.name << " polygon " << i << " row " << y;
                ASSERT_EQ(std::memcmp(cutTop.depthRow(y), whole.depthRow(y + cut), 64 * 4), 0)
                    << kind.name << " polygon " << i << " row " << y;
            }
        }
    }
}

TEST(PolyFillerWalk, APolygonTurnedDownDrawsNothingAndOneTakenDrawsAsDrawPolygon)
{
    const Material material;
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> unit(0, 1);
    int turnedDown = 0, inner = 0;
    for (int i = 0; i < 400; ++i) {
        // Tiny triangles, about a pixel: many cover no pixel centre.
        const float cx = 2 + unit(rng) * 28, cy = 2 + unit(rng) * 28, r = 0.3f + unit(rng) * 0.9f;
        const float a = unit(rng) * 6.2832f;
        RasterVertex v[3];
        for (int k = 0; k < 3; ++k) {
            const float b = a + 2.0944f * float(k) + 0.4f * unit(rng);
            v[k] = {cx - r * std::sin(b), cy - r * std::cos(b), 0.5f, {.light = 200, .weight = 0, .u = 3, .v = 5}};
        }
        Target drawn(32, 32), begun(32, 32);
        GouraudFiller f, g;
        draw(f, drawn, material, {v, v + 3}, 0.0f);
        g.setDestination(&begun.image);
        g.setZBuffer(&begun.depth);
        g.setMaterial(&material.m);
        if (g.beginPolygon(v, 3)) g.finishPolygon(v);
        else ++turnedDown;
        EXPECT_EQ(drawn.px, begun.px) << "triangle " << i;
        EXPECT_EQ(drawn.z, begun.z) << "triangle " << i;
        // finishPolygon only follows a walk begun (and not ended).
        g.finishPolygon(v);
        EXPECT_EQ(drawn.px, begun.px) << "triangle " << i;
        // Every pixel (X, Y) lying inside the triangle by more than a hundredth of a pixel from
        // each edge is drawn, turned down or not.
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                bool inside = true;
                for (int k = 0; k < 3; ++k) {
                    const RasterVertex &p = v[k], &q = v[(k + 1) % 3];
                    const double ex = double(q.x) - p.x, ey = double(q.y) - p.y;
                    // counter-clockwise with y down: the inside lies where this is negative
                    const double d = (ex * (y - double(p.y)) - ey * (x - double(p.x))) / std::hypot(ex, ey);
                    inside = inside && d < -0.01;
                }
                if (inside) {
                    EXPECT_NE(drawn.row(y)[x], 0u) << "triangle " << i << " pixel " << x << ", " << y;
                    ++inner;
                }
            }
    }
    EXPECT_GT(turnedDown, 50);  // the cases the early ends are for did occur
    EXPECT_GT(inner, 100);
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

TEST(PolyFillerCorners, PolygonsReachingFarOutsideFillToTheImagesEdges)
{
    // (5, 0), (-20000, 10), (10, 10): the far corner is held at x = -16384. Row 5 runs from
    // x = 5 - 0.5 (16389) = -8189.5 to 7.5: pixels 0 .. 7.
    Solid white(0xFFFFFFu);
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
    Ramp ramp;
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
    Ramp ramp;
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

TEST(PolyFillerCorners, PerspectiveValuesArePreSteppedToTheFirstRow)
{
    // A quad from y = 0.5 to 8.5 over a 1 x 8 texture, v = y + 0.5 (w 0.5 everywhere): its first
    // row is 1, pre-stepped by half a row, so row y reads v = y + 0.5, texel row y.
    std::vector<uint32_t> rows;
    for (uint32_t y = 0; y < 8; ++y) rows.push_back(0x10u * (y + 1));
    Texels column(1, 8, rows, 0);
    Solid grey(0x808080u);
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

} // namespace
