// The clipper: cut values of every lane, non-square pixel scales (a 256 x 256 screen), corners cut
// on the near plane and held on the screen when the planes let them out, the guard band's top and
// bottom, lines reaching behind the near plane and their depth, a view port's depth buffer, points
// off the image, list keys, the filler each drawing kind gets, and floor triangles and texture
// coordinates far larger than the screen or the texture; then the side, top and bottom planes, a
// corner lying on a plane, and the guard band with the depth-ordered keys. Expected values are
// worked by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "image/CImage32.h"
#include "raster/PolyFiller.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DClipper.h"
#include "s3d/S3DDrawManager.h"
#include "s3d/ViewPort.h"

namespace {

S3DClipVertex corner(float x, float y, float z, RasterValues values = {})
{
    S3DClipVertex c;
    c.p = {x, y, z};
    c.values = values;
    return c;
}

TEST(S3DClipAndKinds, CutCornersCarryEveryValueAndPixelsNeedNotBeSquare)
{
    // 256 x 256 screen, fov pi/2: scaleX = 128 (over half the width), scaleY = 256 (over the
    // height), centre (128, 128); the right plane leans at hx = atan2(128, 128) - 0.0001.
    S3DCamera camera;
    camera.setScreen(256, 256);
    S3DClipper clipper;
    clipper.setup(camera);
    // A (0, 0, 100), B (200, 0, 100) beyond the right plane, C (0, 30, 100). The cut on A-B lies
    // at t = s_A / (s_A - s_B) = 100 sin hx / (200 cos hx) = tan(hx) / 2.
    const S3DClipVertex in[3] = {corner(0, 0, 100, {.light = 0, .weight = 50, .u = 10, .v = 40}),
                                 corner(200, 0, 100, {.light = 100, .weight = 250, .u = 30, .v = 0}),
                                 corner(0, 30, 100, {.light = 20, .weight = 0, .u = 0, .v = 0})};
    RasterVertex out[S3DClipper::kMaxWork];
    ASSERT_EQ(clipper.clip(in, 3, out), 4);
    const float t = std::tan(std::atan2(128.0f, 128.0f) - 0.0001f) * 0.5f;  // 0.4999
    EXPECT_NEAR(out[1].values.light, 100 * t, 1e-3);
    EXPECT_NEAR(out[1].values.weight, 50 + 200 * t, 1e-3);
    EXPECT_NEAR(out[1].values.u, 10 + 20 * t, 1e-3);
    EXPECT_NEAR(out[1].values.v, 40 - 40 * t, 1e-3);
    EXPECT_NEAR(out[1].x, 128 + 0.01f * 200 * t * 128, 1e-3);
    EXPECT_NEAR(out[1].y, 128, 1e-3);
    // C keeps its place: x 128, y 128 - 0.3 · 256 = 51.2, w 0.01.
    EXPECT_NEAR(out[3].x, 128, 1e-3);
    EXPECT_NEAR(out[3].y, 51.2f, 1e-3);
    EXPECT_NEAR(out[3].w, 0.01f, 1e-7);
    // The vertices that need no cut project the same way: (10, 20, 100) at (140.8, 76.8).
    const S3DProjectedVertex p = projectVertex(camera, {10, 20, 100});
    EXPECT_NEAR(p.x, 140.8f, 1e-3);
    EXPECT_NEAR(p.y, 76.8f, 1e-3);
    EXPECT_EQ(p.clip, 0);
}

TEST(S3DClipAndKinds, CornersOutsideThePlanesAreHeldOnTheScreen)
{
    // The default 512 x 256 camera with its side planes opened (every point inside them):
    // corners beyond are held to just inside the width and the height.
    S3DCamera camera;
    for (int plane : {S3DCamera::kLeft, S3DCamera::kRight, S3DCamera::kTop, S3DCamera::kBottom})
        camera.m_frustum[plane] = {{0, 0, 0}, -1};
    S3DClipper clipper;
    clipper.setup(camera);
    // (300, 0, 100) projects to x = 256 + 3 · 256 = 1024; (0, -100, 100) to y = 128 + 256 = 384.
    const S3DClipVertex in[3] = {corner(0, 0, 100), corner(0, -100, 100), corner(300, 0, 100)};
    RasterVertex out[S3DClipper::kMaxWork];
    ASSERT_EQ(clipper.clip(in, 3, out), 3);
    EXPECT_EQ(out[1].y, std::nextafter(256.0f, 0.0f));
    EXPECT_EQ(out[1].x, 256.0f);
    EXPECT_EQ(out[2].x, std::nextafter(512.0f, 0.0f));
    EXPECT_EQ(out[2].y, 128.0f);
}

TEST(S3DClipAndKinds, GuardBandAtTheTopAndBottom)
{
    // Default camera: y on the screen = 128 - 2.56 y at z = 100; rows 1 .. 254 are inside.
    S3DCamera camera;
    const struct {
        float y;
        bool flagged;
    } cases[] = {{49.8046875f, true},     // 0.5
                 {49.4140625f, false},    // 1.5
                 {-49.0234375f, false},   // 253.5
                 {-49.4140625f, true}};   // 254.5
    for (const auto& c : cases)
        EXPECT_EQ(projectVertex(camera, {0, c.y, 100}).clip, c.flagged ? S3DProjectedVertex::kClipScreen : 0) << c.y;
}

struct Manager {
    S3DCamera camera;
    CImage32Buffered image{16, 8};
    ViewPort viewPort;
    S3DDrawManager manager;
    Manager()
    {
        viewPort.m_ownsZBuffer = false;
        viewPort.setScreen(&image);
        manager.setup(&camera, &viewPort);
    }
    uint32_t at(int x, int y) const { return image.m_pPixels[y * 16 + x] & 0xFFFFFFu; }
};

TEST(S3DClipAndKinds, LineWithAnEndBehindTheNearPlaneIsNotDrawn)
{
    Manager m;
    S3DProjectedVertex a, b;
    a.x = 2, a.y = 4, a.w = 0.05f;
    b.x = 14, b.y = 4, b.w = 0.05f;
    m.manager.drawLine(a, b, 0xFFFFFFu, 0);
    EXPECT_NE(m.at(8, 4), 0u);  // both ends in front: drawn
    m.image.clear(0);
    for (int end = 0; end < 2; ++end) {
        S3DProjectedVertex p = a, q = b;
        (end == 0 ? p : q).clip = S3DProjectedVertex::kClipNear;
        m.manager.drawLine(p, q, 0xFFFFFFu, 0);
        for (int x = 0; x < 16; ++x) EXPECT_EQ(m.at(x, 4), 0u) << end << " " << x;
    }
}

TEST(S3DClipAndKinds, ViewPortDropsItsDepthBufferOnRequest)
{
    // A view port owning its depth buffer makes one per size; released, it has none until the
    // next new size.
    ViewPort viewPort;
    viewPort.setScreen(8, 4);
    ASSERT_NE(viewPort.getZBuffer(), nullptr);
    viewPort.releaseZBuffer();
    EXPECT_EQ(viewPort.getZBuffer(), nullptr);
    viewPort.setScreen(8, 4);
    EXPECT_EQ(viewPort.getZBuffer(), nullptr);
    viewPort.setScreen(4, 4);
    EXPECT_NE(viewPort.getZBuffer(), nullptr);
}

TEST(S3DClipAndKinds, LineDepthRunsFromOneEndToTheOther)
{
    // Depth cells at w = 0.25 everywhere; a line from x = 2 (w 0.1) to x = 14 (w 0.4) is nearer
    // than them past x = 8 only: drawn at x = 12 (w 0.35), hidden at x = 4 (w 0.15).
    S3DCamera camera;
    CImage32Buffered image(16, 8);
    ViewPort viewPort;
    viewPort.setScreen(&image);
    ASSERT_NE(viewPort.getZBuffer(), nullptr);
    std::fill(viewPort.getZBuffer(), viewPort.getZBuffer() + 16 * 8, 0x40000000u);
    S3DDrawManager manager;
    manager.setup(&camera, &viewPort);
    S3DProjectedVertex a, b;
    a.x = 2, a.y = 4, a.w = 0.1f;
    b.x = 14, b.y = 4, b.w = 0.4f;
    manager.drawLine(a, b, 0xFFFFFFu, 0);
    EXPECT_NE(image.m_pPixels[4 * 16 + 12], 0u);
    EXPECT_EQ(image.m_pPixels[4 * 16 + 4], 0u);
}

TEST(S3DClipAndKinds, EachDrawingKindGetsItsFiller)
{
    Manager m;
    uint32_t ramp[256];
    for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
    uint32_t texels[2 * 4] = {0x808080u, 0x808080u, 0x808080u, 0x808080u};  // two guard rows
    RasterMaterial material;
    material.palette = ramp;
    material.opacityKind = 101;
    material.textureMode = 1;
    material.texture = {texels, 2, 2, 1, 1, 1, false, true};
    // The flat kinds take one palette index per polygon; the others interpolate.
    EXPECT_TRUE(m.manager.filler(kDrawFlat, material)->usesFlatIndex());
    EXPECT_TRUE(m.manager.filler(kDrawFlatTexture, material)->usesFlatIndex());
    for (int kind : {kDrawGouraud, kDrawTwoValue, kDrawLitTexture, kDrawLinkedImage, kDrawTexture, kDrawPerspective})
        EXPECT_FALSE(m.manager.filler(kind, material)->usesFlatIndex()) << kind;
    // The linked-image kind fills by the light alone: light 200 with weight 0 draws entry 200
    // (the second-value kind would leave the destination).
    PolyFiller* linked = m.manager.filler(kDrawLinkedImage, material);
    const RasterValues v{.light = 200, .weight = 0};
    const RasterVertex q[] = {{0, 0, 0.5f, v}, {0, 8, 0.5f, v}, {16, 8, 0.5f, v}, {16, 0, 0.5f, v}};
    linked->drawPolygon(q, 4);
    EXPECT_EQ(m.at(3, 3), 0xC8C8C8u);
    // The flat textured kind: index 200 met with texel 128 by texture mode 1: 128 · 200 >> 8 = 100.
    m.manager.filler(kDrawFlatTexture, material)->drawPolygon(q, 4, 200);
    EXPECT_EQ(m.at(3, 3), 0x646464u);
}

TEST(S3DClipAndKinds, CornersCutOnTheNearPlaneLieOnIt)
{
    // Default camera, near 10. From A at depth 352.432343 to B at -323.891357 the cut lands, in
    // float arithmetic, at 9.99997 rather than 10: the cut corner is put on the plane, so the
    // polygon is kept with w = 1/10 there.
    S3DCamera camera;
    S3DClipper clipper;
    clipper.setup(camera);
    const S3DClipVertex in[3] = {corner(0, 0, 352.432343f), corner(0, 1, -323.891357f), corner(1, 0, 352.432343f)};
    RasterVertex out[S3DClipper::kMaxWork];
    ASSERT_EQ(clipper.clip(in, 3, out), 4);
    EXPECT_EQ(out[1].w, 0.1f);
    EXPECT_EQ(out[2].w, 0.1f);
}

TEST(S3DClipAndKinds, PointsOffTheLastColumnAndListKeysOfLines)
{
    // A point at x = 16.5 on a 16-wide image lies off it (not in the next row's first pixel).
    Manager m;
    S3DProjectedVertex p;
    p.x = 16.5f, p.y = 2, p.w = 0.1f;
    m.manager.drawPoint(p, 0xFFFFFFu);
    p.x = 15.5f;
    p.y = 5;
    m.manager.drawPoint(p, 0xFFFFFFu);
    EXPECT_EQ(m.at(0, 3), 0u);
    EXPECT_EQ(m.at(15, 5), 0xFFFFFFu);

    // Keys: a point its w, a line the mean of its ends' w less 10, nearest first.
    S3DProjectedVertex w03, w02, w06, w05, w01;
    w03.w = 0.3f, w02.w = 0.2f, w06.w = 0.6f, w05.w = 0.5f, w01.w = 0.1f;
    const uint32_t colour = 0;
    S3DDepthLists lists;
    lists.m_points.push_back({&w03, &colour});
    lists.m_lines.push_back({{&w02, &w06}, &colour, 0});  // -9.6
    lists.m_lines.push_back({{&w05, &w01}, &colour, 0});  // -9.7
    ASSERT_EQ(lists.computeKeys(), 3);
    const S3DSortEntry* e = lists.m_entries.data();
    EXPECT_EQ(e[0].kind, 2);
    EXPECT_FLOAT_EQ(e[0].key, 0.3f);
    EXPECT_EQ(e[1].kind, 3);
    EXPECT_EQ(e[1].index, 0);
    EXPECT_NEAR(e[1].key, -9.6f, 1e-5f);
    EXPECT_EQ(e[2].index, 1);
    EXPECT_NEAR(e[2].key, -9.7f, 1e-5f);
}

} // namespace

namespace {

TEST(S3DLargeCoordinates, FloorTrianglesWiderThanTheViewKeepTheirCorners)
{
    // Default camera: 512 x 256, fov pi/2, near 10. 200 floor triangles below the eye, each
    // reaching from far left of the left plane to far right of the right one: the clipper cuts
    // them on both side planes, and every one must still cover the width of the screen.
    S3DCamera camera;
    S3DClipper clipper;
    clipper.setup(camera);
    for (float halfWidth : {1e5f, 1e6f}) {
        int vanished = 0;
        for (int i = 0; i < 200; ++i) {
            const float y = -3.0f - 0.01f * float(i);
            const float z = 12.0f + 3.7f * float(i);
            S3DClipVertex in[3];
            in[0].p = {-halfWidth + 17.0f * float(i), y, z};
            in[1].p = {0.5f * float(i) - 40.0f, y, z + 60.0f + float(i)};
            in[2].p = {halfWidth - 11.0f * float(i), y, z + 0.25f * float(i)};
            RasterVertex out[S3DClipper::kMaxWork];
            const int n = clipper.clip(in, 3, out);
            if (n < 3) {
                ++vanished;
                continue;
            }
            float left = 512.0f, right = 0.0f;
            for (int k = 0; k < n; ++k) {
                ASSERT_TRUE(out[k].x >= 0.0f && out[k].x < 512.0f && out[k].y >= 0.0f && out[k].y < 256.0f)
                    << halfWidth << " " << i << " corner " << k << " at " << out[k].x << ", " << out[k].y;
                left = std::fmin(left, out[k].x);
                right = std::fmax(right, out[k].x);
            }
            // The cut corners lie on the side planes: on the screen's edges within rounding.
            EXPECT_LT(left, 1.0f) << halfWidth << " " << i;
            EXPECT_GT(right, 511.0f) << halfWidth << " " << i;
        }
        EXPECT_EQ(vanished, 0) << "half-width " << halfWidth;
    }
}

TEST(S3DLargeCoordinates, TextureCoordinatesFarFromZeroKeepTheirTexels)
{
    // A 4 x 2 texture: row 0 holds 10 20 30 40, row 1 50 60 70 80. A 16-pixel strip whose u runs
    // from 40 000 at x = 0 to 40 016 at x = 16 reads one texel per pixel, 40 000 being a whole
    // number of widths: 10 20 30 40 10 ...; v = 70 000.5 is row 70 000 & 1 = 0. Running from
    // -40 016, u reads the same, and v = -69 999.5 is row -70 000 & 1 = 0 as well.
    const uint32_t texels[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    const uint32_t palette[256] = {};
    RasterMaterial m;
    m.palette = palette;
    m.texture = {texels, 4, 2, 3u, 1u, 2, false, false};
    std::vector<uint32_t> px(16);
    const RasterImage image{px.data(), 16, 1};
    TwoValueTextureFiller affine;
    PerspectiveFiller perspective;
    for (PolyFiller* f : {static_cast<PolyFiller*>(&affine), static_cast<PolyFiller*>(&perspective)}) {
        f->setDestination(&image);
        f->setMaterial(&m);
        ASSERT_TRUE(f->hasMaterial());
        for (float u0 : {40000.0f, -40016.0f}) {
            const float v = u0 > 0 ? 70000.5f : -69999.5f;
            px.assign(16, 0);
            const RasterVertex quad[] = {{0, 0, 0.5f, {.u = u0, .v = v}},
                                         {0, 1, 0.5f, {.u = u0, .v = v}},
                                         {16, 1, 0.5f, {.u = u0 + 16, .v = v}},
                                         {16, 0, 0.5f, {.u = u0 + 16, .v = v}}};
            f->drawPolygon(quad, 4);
            for (int x = 0; x < 16; ++x) EXPECT_EQ(px[size_t(x)], uint32_t(10 * (x % 4 + 1))) << u0 << " at " << x;
        }
    }
}

} // namespace

namespace {

TEST(S3DDraw, ClipperCutsAtTheSidePlanes)
{
    // Default camera: 512 x 256, scales 256, centre (256, 128); at depth 100 the right edge is
    // x = 100 and the left x = -100. A triangle reaching x = 200 is cut half way along two
    // edges (values 0/100 → 50, 100/200 → 150); its mirror is cut at the left edge alike.
    S3DCamera camera;
    S3DClipper clipper;
    clipper.setup(camera);
    for (float side : {1.0f, -1.0f}) {
        S3DClipVertex in[3];
        in[0].p = {0, -10, 100};
        in[1].p = {200 * side, -10, 100};
        in[2].p = {0, 30, 100};
        for (int i = 0; i < 3; ++i) in[i].values.light = float(100 * i);
        RasterVertex out[S3DClipper::kMaxWork];
        const int n = clipper.clip(in, 3, out);
        ASSERT_EQ(n, 4) << side;
        // Start from the corner at the centre column, then walk the polygon's order.
        std::vector<std::array<float, 3>> got;
        for (int i = 0; i < n; ++i) got.push_back({out[i].x, out[i].y, out[i].values.light});
        std::sort(got.begin(), got.end(), [](const auto& a, const auto& b) { return a[2] < b[2]; });
        const float edge = side > 0 ? 512.0f : 0.0f;
        const float want[4][3] = {{256, 153.6f, 0}, {edge, 153.6f, 50}, {edge, 102.4f, 150}, {256, 51.2f, 200}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(got[size_t(i)][0], want[i][0], 0.2f) << side << " " << i;
            EXPECT_NEAR(got[size_t(i)][1], want[i][1], 0.2f) << side << " " << i;
            EXPECT_NEAR(got[size_t(i)][2], want[i][2], 0.2f) << side << " " << i;
        }
    }
}

TEST(S3DDrawDetails, ClipperCutsAtTheTopAndBottomPlanes)
{
    // Default camera: 512 x 256, scales 256, centre (256, 128); the top and
    // bottom planes lie at atan(128 / 256) less 0.0001 rad, so at depth 100 they
    // cut at y = ±100 tan(atan 0.5 - 0.0001) = ±49.9875 (screen rows 0 and 256).
    // A triangle (-10, 0) (-10, ±100) (30, 0) at depth 100 is cut there on its
    // two edges through the outside corner: at t = 0.499875 from (-10, 0)
    // (value 49.99, x -10) and from (30, 0) towards (-10, ±100) (value 150.01,
    // x 10.005).
    S3DCamera camera;
    S3DClipper clipper;
    clipper.setup(camera);
    for (float side : {1.0f, -1.0f}) {
        S3DClipVertex in[3];
        in[0].p = {-10, 0, 100};
        in[1].p = {-10, 100 * side, 100};
        in[2].p = {30, 0, 100};
        for (int i = 0; i < 3; ++i) in[i].values.light = float(100 * i);
        RasterVertex out[S3DClipper::kMaxWork];
        const int n = clipper.clip(in, 3, out);
        ASSERT_EQ(n, 4) << side;
        const float row = side > 0 ? 0.0f : 256.0f;
        int cuts = 0;
        for (int i = 0; i < n; ++i) {
            const float v = out[i].values.light;
            if (std::fabs(v - 50.0f) < 0.2f) {
                ++cuts;
                EXPECT_NEAR(out[i].x, 230.4f, 0.1f) << side;
                EXPECT_NEAR(out[i].y, row, 0.1f) << side;
            } else if (std::fabs(v - 150.0f) < 0.2f) {
                ++cuts;
                EXPECT_NEAR(out[i].x, 281.6f, 0.1f) << side;
                EXPECT_NEAR(out[i].y, row, 0.1f) << side;
            }
        }
        EXPECT_EQ(cuts, 2) << side;
    }
}

TEST(S3DDraw, ClipperKeepsACornerLyingOnAPlane)
{
    // A corner exactly on the near plane (z = 10) stays: the triangle keeps its three corners.
    S3DCamera camera;
    S3DClipper clipper;
    clipper.setup(camera);
    S3DClipVertex in[3];
    in[0].p = {0, 0, 10};
    in[1].p = {10, 0, 20};
    in[2].p = {0, 5, 20};
    RasterVertex out[S3DClipper::kMaxWork];
    EXPECT_EQ(clipper.clip(in, 3, out), 3);
}

TEST(S3DRender, GuardBandClipperAndDepthKeys)
{
    // Default camera: 512 x 256, fov pi/2, so scaleX = scaleY = 256, centre (256, 128), near 10.
    S3DCamera camera;
    // x = 0.5 on the screen at z = 100: w x 256 + 256 = 0.5 -> x = -99.8046875.
    const S3DProjectedVertex edge = projectVertex(camera, {-99.8046875f, 0, 100});
    EXPECT_FLOAT_EQ(edge.x, 0.5f);
    EXPECT_EQ(edge.clip, S3DProjectedVertex::kClipScreen);
    EXPECT_EQ(projectVertex(camera, {-99.609375f, 0, 100}).clip, 0);  // x = 1.0 is inside
    EXPECT_EQ(projectVertex(camera, {0, 0, 9.5f}).clip & S3DProjectedVertex::kClipNear, S3DProjectedVertex::kClipNear);

    // A triangle with its third corner behind the near plane: both cut edges meet the plane
    // half-way; values 0, 100, 200 give 150 and 100 there.
    S3DClipper clipper;
    clipper.setup(camera);
    S3DClipVertex in[3];
    in[0].p = {-10, -5, 20};
    in[1].p = {10, -5, 20};
    in[2].p = {0, 5, 0};
    in[0].values.light = 0;
    in[1].values.light = 100;
    in[2].values.light = 200;
    RasterVertex out[S3DClipper::kMaxWork];
    ASSERT_EQ(clipper.clip(in, 3, out), 4);
    const float expect[4][4] = {{128, 192, 0.05f, 0}, {384, 192, 0.05f, 100}, {384, 128, 0.1f, 150}, {128, 128, 0.1f, 100}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(out[i].x, expect[i][0], 1e-3) << i;
        EXPECT_NEAR(out[i].y, expect[i][1], 1e-3) << i;
        EXPECT_NEAR(out[i].w, expect[i][2], 1e-6) << i;
        EXPECT_NEAR(out[i].values.light, expect[i][3], 1e-3) << i;
    }
    in[0].p.z = in[1].p.z = 5;  // wholly in front of the eye but before the near plane
    EXPECT_EQ(clipper.clip(in, 3, out), 0);

    // A line at the depth of a triangle sorts 10 below it; points alone are the only list.
    S3DProjectedVertex p{0, 0, 0.01f, 0};
    const uint32_t colour = 0;
    S3DDepthLists lists;
    lists.m_lines.push_back({{&p, &p}, &colour, 0});
    lists.m_triangles.push_back({nullptr, 0, 0, {&p, &p, &p}});
    lists.finish();
    EXPECT_TRUE(lists.merged());
    ASSERT_EQ(lists.computeKeys(), 2);
    EXPECT_EQ(lists.m_entries[0].kind, 1);
    EXPECT_EQ(lists.m_entries[1].kind, 3);
    EXPECT_NEAR(lists.m_entries[1].key, lists.m_entries[0].key - 10.0f, 1e-6);
    S3DDepthLists points;
    S3DProjectedVertex near{0, 0, 0.2f, 0}, far{0, 0, 0.1f, 0};
    points.m_points.push_back({&far, &colour});
    points.m_points.push_back({&near, &colour});
    points.finish();
    EXPECT_FALSE(points.merged());
    ASSERT_EQ(points.computeKeys(), 2);
    EXPECT_EQ(points.m_entries[0].index, 1);  // the nearer point first
}

} // namespace
