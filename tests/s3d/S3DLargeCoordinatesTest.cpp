// Polygons and texture coordinates far larger than the screen or the texture: floor triangles
// many times wider than the view keep every pixel they cover, and texture coordinates far from
// zero sample the texel they name.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "raster/PolyFiller.h"
#include "s3d/S3DCamera.h"
#include "s3d/S3DClipper.h"

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
