// Cases the other 3D tests leave out, on tool-made scenes with hand-worked values: a taper's
// curve term, a spot whose cone is animated by its tracks, names shared by two items (lookups
// take the first), and an environment map on a face whose normal has different x and y.
#include <string>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "support/PointExpect.h"

namespace {

// The camera at (0, 0, -100) looks along +z: camera space is world space moved by 100 in z, and
// a world point (x, y, z) lands at x' = 256 + 256 x / (z + 100), y' = 128 - 256 y / (z + 100).
std::string scene(const std::string& objects, const std::string& subMaterial, const std::string& extra = "")
{
    return std::string("scene {\n animationLength 10\n triObjects {\n") + objects + " }\n" + kCamera +
           " materials { material { name \"m\" subMaterials { subMaterial { shading { values { paletteEnabled 1 " +
           subMaterial + " } } } } } }\n" + extra + "}\n";
}

TEST(S3DSceneCases, TaperCurveWeighsTheMiddleOfTheAxis)
{
    // Taper along y over the box y 0 .. 10 (extent 10), both x and z, amount 1, curve 2:
    // t = y / 10, f = 1 + t (1 + 2 (1 - t)).
    //   (1, 2.5, 1): t 0.25, f = 1 + 0.25 × 2.5 = 1.625;
    //   (2, 7.5, 0): t 0.75, f = 1 + 0.75 × 1.5 = 2.125; x = 4.25;
    //   (1, 0, 1): t 0, unchanged.
    ScratchDir dir;
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 1 0 1  1 2.5 1  2 7.5 0  0 10 0 ] }\n"
                                      "   modifiers { modifier 8 { parameters { axis 1 effect 1 amount 1 curve 2 } } }"
                                      " stack { entry { modifier \"0\" } } }\n",
                                      ""));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    expectNear(o.m_vertices[0], {1, 0, 1});
    expectNear(o.m_vertices[1], {1.625f, 2.5f, 1.625f});
    expectNear(o.m_vertices[2], {4.25f, 7.5f, 0});
}

TEST(S3DSceneCases, SpotConeFollowsItsHotspotAndFalloffTracks)
{
    // The file's hotspot 0.05 and falloff 0.35 give way to their tracks, 0.1 .. 0.3 and
    // 0.4 .. 0.8 over 10 frames: 0.2 and 0.6 at frame 5. The object at (0, 0, 20) puts the spot
    // at (0, 0, -100) aiming at the origin in object space; near 50, far 250, intensity 0.8.
    // The vertex (100 tan 0.3, 0, 0) is 0.3 off the axis at d = 100 / cos 0.3 = 104.67516:
    // factor 1 - 54.67516 / 200 = 0.7266242, N·L = cos 0.3 = 0.9553365, cone
    // 1 - (0.3 - 0.2) / (0.6 - 0.2) = 0.75: 0.7266242 × 0.9553365 × 0.75 × 0.8 = 0.4165022.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, scene("  triObject { header { name \"o\" node { values { position 0 0 20 } } } material 0\n"
                   "   vertices { positions [ 0 0 0  30.933625 0 0  0 10 0 ] } faceData { faces [ 0 1 2 ] }"
                   " lights { light \"spot\" } }\n",
                   "",
                   " lights { light { header { name \"spot\" node { values { position 0 0 -80 } } }"
                   " target { name \"spot.t\" node { values { position 0 0 20 } } }"
                   " values { type 2 intensity 0.8 nearAttenuation 50 farAttenuation 250 hotspot 0.05 falloff 0.35 }"
                   " tracks { hotspot linear { key 0 0.1  key 10 0.3 } falloff linear { key 0 0.4  key 10 0.8 } } } }\n"));
    s->setCamera(0);
    s->update(5);
    s->prepare();
    EXPECT_NEAR(s->findTriObject("o")->lightValues()[1], 0.4165022f, 1e-5f);
}

TEST(S3DSceneCases, NamesSharedByTwoItemsLinkToTheFirst)
{
    // Two lights "lamp" (intensities 0.5 and 0.25, the vertices well inside their near
    // distance): the object's light list takes the first, 0.5. Two tri objects "t" (one vertex at
    // x = 10, then at x = 20): the morph target "t" at weight 1 moves the vertex to x = 10.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, scene("  triObject { header { name \"o\" } material 0\n"
                   "   vertices { positions [ 0 0 0  1 0 0  0 1 0 ] } faceData { faces [ 0 1 2 ] }"
                   " lights { light \"lamp\" }\n"
                   "   modifiers { modifier 2 { parameters { targets { target { values { name \"t\" weight 1 } } } } } }"
                   " stack { entry { modifier \"0\" } } }\n"
                   "  triObject { header { name \"t\" } vertices { positions [ 10 0 0  1 0 0  0 1 0 ] } }\n"
                   "  triObject { header { name \"t\" } vertices { positions [ 20 0 0  1 0 0  0 1 0 ] } }\n",
                   "",
                   " lights {\n"
                   "  light { header { name \"lamp\" } values { intensity 0.5 nearAttenuation 1000 farAttenuation 2000 } }\n"
                   "  light { header { name \"lamp\" } values { intensity 0.25 nearAttenuation 1000 farAttenuation 2000 } }\n"
                   " }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.lightValues()[0], 0.5f, 1e-6f);
    expectNear(o.m_vertices[0], {10, 0, 0});
}

TEST(S3DSceneCases, EnvironmentMapTakesUFromTheNormalsXAndVFromItsY)
{
    // A 2 x 2 texture, top row red green, bottom row blue white (a TGA holds its bottom row
    // first). The triangle (0, 0, 0), (21.2132, -21.2132, -30), (30, 30, 0) has the normal
    // (B - A) x (C - A) ∝ (0.5, -0.5, 0.7071), the same in camera space. Its map coordinates:
    // u = (0.5 + 1) / 2 = 0.75, v = (-0.5 + 1) / 2 = 0.25; texel (u × 2, (1 - v) × 2) = (1.5, 1.5):
    // white over the whole face. Its corners land at (256, 128), (333.6, 205.6), (332.8, 51.2).
    ScratchDir dir;
    dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                           std::string("\xff\0\0\xff\xff\xff\0\0\xff\0\xff\0", 12));
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  21.2132 -21.2132 -30  30 30 0 ] }"
                                      " faceData { faces [ 0 1 2 ] } }\n",
                                      "twoSided 1 opacityKind 200 textureMap1 { values { fileName \"t.tga\" environmentMap 1 } }"));
    CImage32Buffered image(512, 256);
    ViewPort viewPort;
    viewPort.m_ownsZBuffer = true;
    viewPort.setScreen(&image);
    viewPort.clearZBuffer();
    s->setViewPort(&viewPort);
    s->setCamera(0);
    s->update(0);
    s->prepare();
    s->render();
    EXPECT_EQ(image.m_pPixels[128 * 512 + 310], 0xFFFFFFu);
    EXPECT_EQ(image.m_pPixels[100 * 512 + 320], 0xFFFFFFu);
}

} // namespace
