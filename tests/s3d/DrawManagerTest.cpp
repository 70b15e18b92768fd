// The draw manager: the filler of each kind it hands out, and one depth buffer for polygons, points
// and lines with the near plane at 1 so that depths reach the near half (w >= 0.5, z <= 2): the
// filler writes the cells, points compare as polygons do, lines take near-half depths as lying
// behind all others. Then the fillers as the drawing kinds use them: spans cut at the left edge
// start with the depth and texel of their first pixel, and the second value steps on its own.
// Expected pixels follow from those rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/CImage32.h"
#include "raster/PolyFiller.h"
#include "raster/RasterTestSupport.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DDrawManager.h"
#include "s3d/ViewPort.h"

namespace {

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

namespace {

S3DProjectedVertex at(float x, float y, float w)
{
    S3DProjectedVertex p;
    p.x = x, p.y = y, p.w = w;
    return p;
}

TEST(S3DDepth, LinesTakeTheNearHalfAsBehindWherePointsDoNot)
{
    S3DCamera camera;
    camera.setNear(1.0f);
    CImage32Buffered image(64, 32);
    image.clear(0);
    ViewPort viewPort;
    viewPort.setScreen(&image);
    S3DDrawManager manager;
    manager.setup(&camera, &viewPort);

    // Columns 0..31 at w = 0.75 (z = 4/3, the near half), columns 32..63 at w = 0.25.
    uint32_t palette[256];
    for (uint32_t& e : palette) e = 0x10u;
    RasterMaterial m;
    m.palette = palette;
    PolyFiller* flat = manager.filler(kDrawFlat, m);
    ASSERT_NE(flat, nullptr);
    const auto square = [&](float x0, float w) {
        const RasterVertex q[] = {{x0, 0, w, {}}, {x0, 32, w, {}}, {x0 + 32, 32, w, {}}, {x0 + 32, 0, w, {}}};
        flat->drawPolygon(q, 4);
    };
    square(0, 0.75f);
    square(32, 0.25f);
    ASSERT_EQ(viewPort.getZBuffer()[10 * 64 + 10], 0xC0000000u);
    ASSERT_EQ(viewPort.getZBuffer()[10 * 64 + 50], 0x40000000u);
    const auto pixel = [&](int x, int y) { return image.m_pPixels[y * 64 + x]; };

    // A line at w = 0.2 shows over the nearer w = 0.75 and not over w = 0.25. A line on the near
    // plane (w = 1, which wraps to 0) shows over w = 0.75 only: not over 0.25 nor an empty cell.
    // Full coverage of white over anything gives 255 * 255 / 256 = 0xFE per byte.
    manager.drawLine(at(2, 10, 0.2f), at(61, 10, 0.2f), 0xFFFFFFFFu, 0);
    manager.drawLine(at(2, 20, 1.0f), at(61, 20, 1.0f), 0xFFFFFFFFu, 0);
    EXPECT_EQ(pixel(10, 10), 0xFEFEFEFEu);
    EXPECT_EQ(pixel(50, 10), 0x10u);
    EXPECT_EQ(pixel(10, 20), 0xFEFEFEFEu);
    EXPECT_EQ(pixel(50, 20), 0x10u);
    viewPort.getZBuffer()[20 * 64 + 30] = 0;
    image.m_pPixels[20 * 64 + 30] = 0x10u;
    manager.drawLine(at(2, 20, 1.0f), at(61, 20, 1.0f), 0xFFFFFFFFu, 0);
    EXPECT_EQ(pixel(30, 20), 0x10u);

    // Points at the same depths order plainly: w = 0.9 over 0.25 shows, w = 0.5 under 0.75 does
    // not, and a point as near as the cell shows.
    manager.drawPoint(at(50.5f, 25.5f, 0.9f), 0xABCDEFu);
    manager.drawPoint(at(10.5f, 25.5f, 0.5f), 0xABCDEFu);
    manager.drawPoint(at(12.5f, 25.5f, 0.75f), 0x123456u);
    EXPECT_EQ(pixel(50, 25), 0xABCDEFu);
    EXPECT_EQ(pixel(10, 25), 0x10u);
    EXPECT_EQ(pixel(12, 25), 0x123456u);
}

} // namespace

namespace {

TEST(S3DDraw, SpanCutAtTheLeftEdgeStartsWithTheDepthOfItsFirstPixel)
{
    // A triangle reaching 10 pixels past the left edge, w = 0.25 along x = -10 and 0.5 at
    // (30, 20): w = 0.25 + (x + 10) / 160. At pixel x = 0, w = 0.3125; at x = 5, 0.34375.
    std::vector<uint32_t> pixels(64 * 32), depth(64 * 32);
    const RasterImage image{pixels.data(), 64, 32};
    const RasterDepth cells{depth.data(), 64, 32};
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010101u;
    RasterMaterial m;
    m.palette = palette;
    GouraudFiller filler;
    filler.setDestination(&image);
    filler.setZBuffer(&cells);
    filler.setMaterial(&m);
    const RasterVertex v[3] = {{-10, 0, 0.25f, {}}, {-10, 20, 0.25f, {}}, {30, 20, 0.5f, {.light = 255}}};
    filler.drawPolygon(v, 3);
    // The light index runs 0 .. 255 the same way: 63.75 at x = 0, 95.6 at x = 5.
    EXPECT_EQ(pixels[10 * 64], 63 * 0x010101u);
    EXPECT_EQ(pixels[10 * 64 + 5], 95 * 0x010101u);
    EXPECT_NEAR(double(depth[10 * 64]), 0.3125 * 4294967296.0, 4096.0);
    EXPECT_NEAR(double(depth[10 * 64 + 5]), 0.34375 * 4294967296.0, 4096.0);
}

TEST(S3DDrawDetails, PerspectiveSpanCutAtTheLeftEdgeStartsAtItsFirstPixel)
{
    // w = 1 everywhere and u = x + 8 texels ((-8, 0) and (-8, 8) at u 0, (8, 8)
    // at u 16): pixel x of row 6 shows texel x + 8 of a 16-texel row whose texel
    // i is i × 0x010101.
    std::vector<uint32_t> texels(16 * 3, 0);
    for (uint32_t i = 0; i < 16; ++i) texels[i] = texels[16 + i] = i * 0x010101u;
    RasterMaterial m;
    uint32_t palette[256] = {};
    m.palette = palette;
    m.texture = {texels.data(), 16, 2, 15, 1, 4, false, true};
    std::vector<uint32_t> pixels(16 * 8, 0);
    const RasterImage image{pixels.data(), 16, 8};
    PerspectiveFiller filler;
    filler.setDestination(&image);
    filler.setMaterial(&m);
    const RasterVertex v[3] = {{-8, 0, 1, {.u = 0}}, {-8, 8, 1, {.u = 0}}, {8, 8, 1, {.u = 16}}};
    filler.drawPolygon(v, 3);
    EXPECT_EQ(pixels[6 * 16 + 0], 8 * 0x010101u);
    EXPECT_EQ(pixels[6 * 16 + 3], 11 * 0x010101u);
}

TEST(S3DDrawDetails, SecondValueStepsOnItsOwn)
{
    // Light 255 everywhere (white), weight 255 x / 32 ((0, 0) and (0, 16) at 0,
    // (32, 16) at 255), over black: pixel x of row 12 is 255 × floor(weight) /
    // 256, floored: x = 4 → weight 31 → 30; x = 16 → 127 → 126.
    uint32_t white[256];
    for (uint32_t& c : white) c = 0xFFFFFFu;
    RasterMaterial m;
    m.palette = white;
    std::vector<uint32_t> pixels(32 * 16, 0);
    const RasterImage image{pixels.data(), 32, 16};
    TwoValueFiller filler;
    filler.setDestination(&image);
    filler.setMaterial(&m);
    const RasterVertex v[3] = {{0, 0, 0.5f, {255, 0}}, {0, 16, 0.5f, {255, 0}}, {32, 16, 0.5f, {255, 255}}};
    filler.drawPolygon(v, 3);
    EXPECT_NEAR(double(pixels[12 * 32 + 4] & 0xFF), 30.0, 1.0);
    EXPECT_NEAR(double(pixels[12 * 32 + 16] & 0xFF), 126.0, 1.0);
}

} // namespace
