// The polygon filler's walk from the first scanline with pixels: a polygon whose first drawn
// scanline is not its first (its top cut by the image, or its top rows too thin for a pixel)
// takes the values its edges reach there by stepping. Moving a polygon by whole pixels changes
// none of its fixed-point steps, so the rows it shares with the same polygon drawn whole must
// match it byte for byte, colour and depth. And a polygon beginPolygon turns down draws nothing,
// while one that holds a pixel well inside it is never turned down.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "RasterCanvas.h"
#include "raster/PolyFiller.h"

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

} // namespace
