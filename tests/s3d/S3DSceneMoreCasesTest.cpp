// More cases the other 3D tests leave out, with hand-worked values: a bend of points off its
// axis, a spot cone between half its falloff and its falloff, a texture taller than wide, the
// outline blend of modes 2 and 3, the opacity map's three channels, shapes of kind 3, and a
// layer that changes one side of the screen only.
#include <algorithm>
#include <string>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "s3d/S3DModifierKinds.h"
#include "support/PointExpect.h"

namespace {

// The camera at (0, 0, -100) looks along +z with the default 90 degree fov: on 512 x 256 a world
// point (x, y, z) lands at x' = 256 + 256 x / (z + 100), y' = 128 - 256 y / (z + 100).
std::string scene(const std::string& body, const std::string& subMaterials)
{
    return std::string("scene {\n animationLength 10\n") + body + kCamera +
           " materials { material { name \"m\" subMaterials {\n" + subMaterials + " } } }\n}\n";
}

std::string sub(const std::string& values)
{
    return std::string("  subMaterial { shading { values { paletteEnabled 1 ") + values + " } } }\n";
}

// A 24-bit TGA of w x h pixels from its rows as stored (the bottom row first), BGR bytes.
std::string tga(char w, char h, const std::string& bgrRows)
{
    return std::string("\0\0\2\0\0\0\0\0\0\0\0\0", 12) + w + '\0' + h + std::string("\0\x18\x20", 3) + bgrRows;
}

// One frame of `s` into `image` (first filled with `background`) through its own view port,
// without a depth buffer.
void renderInto(S3DScene& s, CImage32Buffered& image, ViewPort& viewPort, uint32_t background = 0)
{
    std::fill(image.m_pPixels, image.m_pPixels + image.pixelCount(), background);
    viewPort.m_ownsZBuffer = false;
    viewPort.setScreen(&image);
    s.setViewPort(&viewPort);
    s.setCamera(0);
    s.update(0);
    s.prepare();
    s.render();
}

uint32_t at(const CImage32& image, int x, int y) { return image.m_pPixels[y * image.getWidth() + x]; }

TEST(S3DMoreCases, BendKeepsEachPointsDistanceFromTheArcsCentre)
{
    // A quarter-turn bend along y over an extent of 10: R = 10 / (π/2) = 6.3661977, the arc's
    // centre at (R, 0, 0). A point at x lies at R - x from it and turns by y / R:
    //   (2, 10, 0): a quarter turn at radius 4.3661977 → (R, 4.3661977, 0);
    //   (2, 0, 0): no turn → unchanged;
    //   (-2, 5, 1): an eighth turn at radius 8.3661977 → (R - 8.3661977 cos π/4, 8.3661977 sin π/4, 1)
    //     = (0.4504026, 5.9157951, 1).
    S3DModifierBend bend;
    bend.angle() = 1.5707964f;
    bend.m_boundsMin = {-3, 0, -1};
    bend.m_boundsMax = {3, 10, 1};
    bend.prepare();
    expectNear(bend.deform({2, 10, 0}), {6.3661977f, 4.3661977f, 0});
    expectNear(bend.deform({2, 0, 0}), {2, 0, 0});
    expectNear(bend.deform({-2, 5, 1}), {0.4504026f, 5.9157951f, 1});
}

TEST(S3DMoreCases, SpotFadesFromItsHotspotToItsFalloff)
{
    // A spot at (0, 0, -100) aiming at the origin, hotspot 0.1, falloff 0.5, intensity 1, the
    // vertices well inside its near distance. The vertex (100 tan 0.3, 0, 0) is 0.3 off the axis,
    // past half the falloff: N·L = cos 0.3 = 0.9553365, cone 1 - (0.3 - 0.1) / (0.5 - 0.1) = 0.5,
    // so 0.4776682. The vertex on the axis takes 1.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, scene(" triObjects { triObject { header { name \"o\" } material 0\n"
                   "  vertices { positions [ 0 0 0  30.933625 0 0  0 10 0 ] } faceData { faces [ 0 1 2 ] }"
                   " lights { light \"spot\" } } }\n"
                   " lights { light { header { name \"spot\" node { values { position 0 0 -100 } } }"
                   " target { name \"spot.t\" node { values { position 0 0 0 } } }"
                   " values { type 2 intensity 1 nearAttenuation 1000 farAttenuation 2000 hotspot 0.1 falloff 0.5 } } }\n",
                   sub("")));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.lightValues()[0], 1.0f, 1e-5f);
    EXPECT_NEAR(o.lightValues()[1], 0.4776682f, 1e-5f);
}

TEST(S3DMoreCases, TextureRowsFollowItsOwnHeight)
{
    // A 1 x 2 texture, red over blue, on a square x, y -30 .. 30 at z = 0 (screen 179.2 .. 332.8
    // by 51.2 .. 204.8) with v = 1 along its top edge. Texel row (1 - v) × 2: at y' = 80,
    // v = 0.8125, row 0.375 (red); at y' = 180, v = 0.1614583, row 1.677 (blue).
    ScratchDir dir;
    dir.write("rb.tga", tga(1, 2, std::string("\xff\0\0" "\0\0\xff", 6)));
    auto s = sceneFromText(dir, scene(" triObjects { triObject { header { name \"q\" } material 0\n"
                                      "  vertices { positions [ -30 -30 0  30 -30 0  30 30 0  -30 30 0 ]"
                                      " textureVertices [ 0 0  1 0  1 1  0 1 ] }\n"
                                      "  faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  0 2 3 ] } } }\n",
                                      sub("opacityKind 200 textureMap1 { values { fileName \"rb.tga\" } }")));
    CImage32Buffered image(512, 256);
    ViewPort viewPort;
    renderInto(*s, image, viewPort);
    EXPECT_EQ(at(image, 256, 80), 0xFF0000u);
    EXPECT_EQ(at(image, 256, 180), 0x0000FFu);
}

TEST(S3DMoreCases, OutlinesOfBlendModeTwoAddAndOfModeThreeSubtract)
{
    // A 100 x 100 quad at z = 0 seen from z = -256: its bottom outline runs along row 178, below
    // the fill (rows 78 .. 177). Line colour 0x0000FF at full coverage weighs 255 × 255 >> 8 = 254:
    // mode 2 adds it over black (0x0000FE), mode 3 takes it from white (0xFFFF01).
    const auto quad = [](int blendMode) {
        return "scene {\n option1 0\n triObjects { triObject { header { name \"quad\" } material 0 option1 2\n"
               "  vertices { positions [ -50 -50 0  50 -50 0  50 50 0  -50 50 0 ] }\n"
               "  faceData { faces [ 0 1 2  0 2 3 ] } } }\n"
               " cameras { camera { header { name \"c\" node { values { position 0 0 -256 } } }"
               " target { name \"t\" node { values { position 0 0 0 } } } } }\n"
               " materials { material { name \"m\" subMaterials {\n" +
               sub("blendMode " + std::to_string(blendMode) + " diffuse 0 0 1") + " } } }\n}\n";
    };
    ScratchDir dir;
    auto add = sceneFromText(dir, quad(2));
    CImage32Buffered a(512, 256);
    ViewPort va;
    renderInto(*add, a, va, 0);
    EXPECT_EQ(at(a, 256, 178), 0x0000FEu);
    auto subtract = sceneFromText(dir, quad(3));
    CImage32Buffered b(512, 256);
    ViewPort vb;
    renderInto(*subtract, b, vb, 0xFFFFFF);
    EXPECT_EQ(at(b, 256, 178), 0xFFFF01u);
}

TEST(S3DMoreCases, OpacityMapSumsRedGreenAndBlue)
{
    // A 1 x 1 texture (51, 102, 204): (51 + 102 + 204) / 765 = 0.4666667 at every texture vertex.
    ScratchDir dir;
    dir.write("c.tga", tga(1, 1, "\xcc\x66\x33"));
    auto s = sceneFromText(dir, scene(" triObjects { triObject { header { name \"o\" } material 0\n"
                                      "  vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0 0.9  0.5 0.1 ] }"
                                      " faceData { faces [ 0 1 2 ] textureFaces [ 0 1 0 ] } } }\n",
                                      "  subMaterial { shading { values { paletteEnabled 1 } }"
                                      " textureMap { values { fileName \"c.tga\" } } }\n"));
    S3DTriObject& o = *s->findTriObject("o");
    bool perTextureVertex = false;
    const float* channel = o.findVertexChannel("opacityMap", perTextureVertex);
    ASSERT_NE(channel, nullptr);
    s->setCamera(0);
    s->update(0);
    s->prepare();
    EXPECT_NEAR(channel[0], 0.4666667f, 1e-5f);
    EXPECT_NEAR(channel[1], 0.4666667f, 1e-5f);
}

TEST(S3DMoreCases, ShapesOfKindThreeLoadAndDrawTheirPoints)
{
    // Kinds 1 to 3 are shapes; 4 is not (reported). The kind-3 shape's vertex at the origin is
    // drawn at (256, 128) in its sub-material's fully lit colour, green.
    ScratchDir dir;
    ReportCapture reports;
    auto s = sceneFromText(dir, scene(" shapes { shape 3 { common { header { name \"k3\" } material 0"
                                      " vertices { positions [ 0 0 0 ] } } }\n"
                                      "  shape 4 { common { header { name \"k4\" } } } }\n",
                                      sub("diffuse 0 1 0")));
    ASSERT_NE(s->findShape("k3"), nullptr);
    EXPECT_EQ(s->findShape("k3")->getKind(), 3);
    EXPECT_EQ(s->findShape("k4"), nullptr);
    EXPECT_TRUE(reports.has("S3DScene warning:", "unknow shape type: 4"));
    CImage32Buffered image(512, 256);
    ViewPort viewPort;
    renderInto(*s, image, viewPort);
    EXPECT_EQ(at(image, 256, 128), 0x00FF00u);
}

TEST(S3DMoreCases, ALayerChangingOneSideOnlyResizesTheCameras)
{
    // A point at the origin lands on the centre of each layer: (256, 128) on 512 x 256, then
    // (256, 64) on 512 x 128 (the same width), then (128, 64) on 256 x 128 (the same height).
    ScratchDir dir;
    auto s = sceneFromText(dir, scene(" shapes { shape 1 { common { header { name \"p\" } material 0"
                                      " vertices { positions [ 0 0 0 ] } } } }\n",
                                      sub("diffuse 0 1 0")));
    CImage32Buffered wide(512, 256), low(512, 128), small(256, 128);
    ViewPort v1, v2, v3;
    renderInto(*s, wide, v1);
    EXPECT_EQ(at(wide, 256, 128), 0x00FF00u);
    renderInto(*s, low, v2);
    EXPECT_EQ(at(low, 256, 64), 0x00FF00u);
    renderInto(*s, small, v3);
    EXPECT_EQ(at(small, 128, 64), 0x00FF00u);
}

} // namespace
