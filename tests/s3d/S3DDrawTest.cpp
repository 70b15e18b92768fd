// The renderer's choices on small tool-made scenes, with hand-worked pixels and values: the
// drawing kind and pass of each sub-material, the negative palette, spot and directional light
// values with their floor, the texture coordinates handed to the filler, the depth-ordered
// transparent polygons, polygon building and outlines, the flat factor, the filler's left-edge
// clipping, the clipper's side planes and the texture crop.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "raster/PolyFiller.h"
#include "s3d/S3DClipper.h"

namespace {

// A square facing the camera at depth z (world), corners bottom-left, bottom-right, top-right,
// top-left, split into two faces that run counter-clockwise on the screen; both faces take
// sub-material number `sub`. The camera of these scenes sits at (0, 0, -100) looking along +z,
// so a world point (x, y, z) lands at x' = 256 + 256 x / (z + 100), y' = 128 - 256 y / (z + 100).
std::string quad(const char* name, float x0, float x1, float y0, float y1, float z, int sub, const std::string& more = "")
{
    char v[256];
    std::snprintf(v, sizeof v, "%g %g %g  %g %g %g  %g %g %g  %g %g %g", x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z);
    return std::string("  triObject { header { name \"") + name + "\" } material 0\n   vertices { positions [ " + v +
           " ] textureVertices [ 0 0  1 0  1 1  0 1 ] }\n   faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  0 2 3 ]"
           " subMaterials [ " + std::to_string(sub) + " " + std::to_string(sub) + " ] }\n" + more + "  }\n";
}

std::string scene(const std::string& objects, const std::string& subMaterials, const std::string& extra = "")
{
    return std::string("scene {\n animationLength 10\n triObjects {\n") + objects + " }\n" + kCamera +
           " materials { material { name \"m\" subMaterials {\n" + subMaterials + " } } }\n" + extra + "}\n";
}

std::string sub(const std::string& values) { return std::string("  subMaterial { shading { values { paletteEnabled 1 ") + values + " } } }\n"; }

// The view port keeps a depth buffer when the scene asks for one (chunk 500, 1 when absent), as
// the script side sets it up.
using Frame = SceneFrame;

TEST(S3DDraw, DrawingKindsFollowTheTable)
{
    const std::pair<int, int> table[] = {{0, 1},    {1, 3},    {2, 3},    {3, 3},   {20, 1},   {100, 20}, {101, 21},
                                         {102, 21}, {103, 21}, {104, 1},  {200, 10}, {201, 11}, {202, 1},  {4, 1}};
    for (const auto& [opacityKind, kind] : table) EXPECT_EQ(drawKindFor(false, false, opacityKind), kind) << opacityKind;
    EXPECT_EQ(drawKindFor(true, true, 100), 2);
    EXPECT_EQ(drawKindFor(false, true, 100), 4);
}

TEST(S3DDraw, SubMaterialsGoToTheirPassAndTextureKindsOneAndHundredOneTurnNegative)
{
    // Opaque means opacity kind other than 20, blend mode 0 and opacity exactly 1.
    ScratchDir dir;
    const char* const subs[] = {
        "",                                             // 0 opaque
        "opacity 0.999",                                // 1 transparent
        "blendMode 1",                                  // 2 additive: transparent
        "blendMode 3",                                  // 3 subtractive: transparent
        "opacityKind 20",                               // 4 opacity-weighted: transparent
        "opacityKind 1",                                // 5 kind 3, texture mode 0: negative
        "opacityKind 101",                              // 6 kind 21, texture mode 0: negative
        "opacityKind 2",                                // 7 kind 3, not negative
        "opacityKind 1 textureMap1 { values { textureMode 1 } }",  // 8 not negative
    };
    std::string subText, faces, numbers;
    for (size_t i = 0; i < std::size(subs); ++i) {
        subText += sub(subs[i]);
        faces += " 0 1 2";
        numbers += std::string(" ") + std::to_string(i);
    }
    subText += "  subMaterial { }\n";  // palette disabled: no draw operation
    faces += " 0 1 2";
    numbers += " 9";
    auto s = sceneFromText(dir, scene(std::string("  triObject { header { name \"o\" } material 0 vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }")
                                      + " faceData { faces [" + faces + " ] subMaterials [" + numbers + " ] } }\n",
                                      subText));
    const S3DTriObject& o = *s->findTriObject("o");
    ASSERT_EQ(o.m_drawOps.size(), std::size(subs));
    const bool second[] = {false, true, true, true, true, false, false, false, false};
    const int kinds[] = {1, 1, 1, 1, 1, 3, 21, 3, 3};
    S3DMaterial& m = *s->getMaterial(0);
    for (size_t i = 0; i < std::size(subs); ++i) {
        EXPECT_EQ(o.m_drawOps[i].pSubMaterial, m.getSubMaterial(int(i))) << i;
        EXPECT_EQ(o.m_drawOps[i].secondPass, second[i]) << i;
        EXPECT_EQ(o.m_drawOps[i].kind, kinds[i]) << i;
        EXPECT_EQ(m.getSubMaterial(int(i))->m_negative, i == 5 || i == 6 ? 1 : 0) << i;
    }
}

TEST(S3DDraw, TransparentFacesFollowEveryOpaqueOneAndTheDepthBufferIsOnByDefault)
{
    // In file order: "glow", additive blue, near (z = -50), over the left part of the red
    // "wall" (z = 0); "front", opaque green, near, over its right part and drawn before it.
    // The additive face comes after every opaque one: red + blue. The depth buffer (chunk 500
    // absent: on) keeps the nearer green in front of the wall drawn after it.
    ScratchDir dir;
    auto s = sceneFromText(dir, scene(quad("glow", -30, -10, -10, 10, -50, 0) + quad("front", 10, 30, -10, 10, -50, 1) +
                                          quad("wall", -80, 80, -40, 40, 0, 2),
                                      sub("diffuse 0 0 1 blendMode 1") + sub("diffuse 0 1 0") + sub("diffuse 1 0 0")));
    Frame f;
    f.render(*s);
    EXPECT_EQ(f.at(153, 128), 0xFF00FFu);
    EXPECT_EQ(f.at(358, 128), 0x00FF00u);
    EXPECT_EQ(f.at(256, 128), 0xFF0000u);
    EXPECT_EQ(f.at(256, 40), 0xFF0000u);
    EXPECT_EQ(f.at(256, 20), 0u);
}

TEST(S3DDraw, FlatKindTakesThreeLightValuesTimes84_9915)
{
    // An omni light of intensity 0.5 well inside its near distance: every light value is 0.5;
    // 1.5 × 84.9915 = 127.49 gives index 127, n = 128: 255 cos(π/4) = 180.3 → 0xB4. The smooth
    // kind beside it takes 0.5 × 255 = 127.5 at every corner: index 127 too.
    ScratchDir dir;
    const char* const lit = "   lights { light \"l\" }\n";
    auto s = sceneFromText(dir, scene(quad("flat", -20, 20, -20, 20, 0, 0, lit) + quad("smooth", 30, 50, -20, 20, 0, 1, lit),
                                      sub("opacityKind 100") + sub(""),
                                      " lights { light { header { name \"l\" node { values { position 0 0 -50 } } }"
                                      " values { intensity 0.5 nearAttenuation 1000 farAttenuation 2000 } } }\n"));
    Frame f;
    f.render(*s);
    EXPECT_EQ(f.at(256, 128), 0xB4B4B4u);
    EXPECT_EQ(f.at(358, 128), 0xB4B4B4u);
    // A directional light along +x from x = -200 (near 150, far 350) gives the corners of a
    // flat triangle at x = -40, 40, 0 the values 0.95, 0.55, 0.75: 2.25 × 84.9915 = 191.2,
    // index 191, n = 64: 255 cos(π/8) = 235.6 → 0xEB.
    auto t = sceneFromText(dir, scene("  triObject { header { name \"tri\" } material 0 lights { light \"sun\" }\n"
                                      "   vertices { positions [ -40 -20 0  40 -20 0  0 30 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                      sub("opacityKind 100"),
                                      " lights { light { header { name \"sun\" node { values { position -200 0 0 } } }"
                                      " target { name \"sun.t\" node { values { position 0 0 0 } } }"
                                      " values { type 3 nearAttenuation 150 farAttenuation 350 } } }\n"));
    Frame g;
    g.render(*t);
    EXPECT_EQ(g.at(256, 128), 0xEBEBEBu);
}

TEST(S3DDraw, CornersTakeTheLightValuesOfTheirOwnVertices)
{
    // The directional light of the flat test on a smooth triangle (values 0.95, 0.55, 0.75 at
    // x = -40, 40, 0). The same triangle drawn from vertices 3 4 5 of a mesh whose first three
    // vertices are unused and mirrored in x (values 0.55, 0.95, 0.75) gives the same frame: each
    // corner reads its own vertex, not the vertex of its place in the face.
    ScratchDir dir;
    const auto frameOf = [&](const char* positions, const char* face) {
        auto s = sceneFromText(dir, scene(std::string("  triObject { header { name \"tri\" } material 0 lights { light \"sun\" }\n"
                                                      "   vertices { positions [ ") + positions + " ] } faceData { faces [ " + face + " ] } }\n",
                                          sub(""),
                                          " lights { light { header { name \"sun\" node { values { position -200 0 0 } } }"
                                          " target { name \"sun.t\" node { values { position 0 0 0 } } }"
                                          " values { type 3 nearAttenuation 150 farAttenuation 350 } } }\n"));
        auto f = std::make_unique<Frame>();
        f->render(*s);
        return f;
    };
    const auto alone = frameOf("-40 -20 0  40 -20 0  0 30 0", "0 1 2");
    const auto after = frameOf("40 -20 0  -40 -20 0  0 31 0  -40 -20 0  40 -20 0  0 30 0", "3 4 5");
    // Lit on the left more than on the right.
    EXPECT_GT(alone->at(180, 170) & 0xFF, alone->at(330, 170) & 0xFF);
    EXPECT_EQ(0, std::memcmp(alone->image.m_pPixels, after->image.m_pPixels, 512 * 256 * 4));
}

TEST(S3DDraw, SpotAndDirectionalLightValuesWithTheirFloor)
{
    // Object space: the objects sit at (0, 0, 20), so the spot at world (0, 0, -80) aiming at
    // (0, 0, 20) is at (0, 0, -100) aiming at the origin. Vertex normals (B - A) x (C - A) are
    // +z, along the light (N·L > 0 lights). Near 50, far 250, hotspot 0.2, falloff 0.6,
    // intensity 0.8:
    //   (0, 0, 0): d 100, factor 0.75, on the axis: 0.6;
    //   (100 tan 0.3, 0, 0): α 0.3, d 104.6752, factor 0.7266242, N·L cos 0.3 = 0.9553365,
    //     cone 1 - 0.1/0.4 = 0.75: 0.4165024;
    //   (0, 100 tan 0.7, 0): α 0.7 beyond the falloff: 0.
    // Alone the spot writes these as they are; with a second light (an omni of intensity 0)
    // the sum is held to 0.001 .. 1.
    // The directional light at world (-100, 0, 20) aiming at (0, 0, 20) measures depth along
    // +x from -100 in object space: t = x + 100. Near 80, far 280: x = 0 → 0.9, x = 150 → 0.15,
    // x = 200 (t = 300, beyond far) → 0 held to 0.001.
    ScratchDir dir;
    const std::string spotMesh = " vertices { positions [ 0 0 0  30.933625 0 0  0 84.228838 0 ] } faceData { faces [ 0 1 2 ] }";
    const auto object = [](const char* name, const std::string& mesh, const char* lights) {
        return std::string("  triObject { header { name \"") + name + "\" node { values { position 0 0 20 } } } material 0" +
               mesh + " lights { " + lights + " } }\n";
    };
    auto s = sceneFromText(
        dir, scene(object("spot", spotMesh, "light \"spot\"") + object("both", spotMesh, "light \"spot\" light \"dim\"") +
                       object("sun", " vertices { positions [ 0 0 0  150 0 0  200 10 0 ] } faceData { faces [ 0 1 2 ] }",
                              "light \"sun\""),
                   sub(""),
                   " lights {\n"
                   "  light { header { name \"spot\" node { values { position 0 0 -80 } } }"
                   "   target { name \"spot.t\" node { values { position 0 0 20 } } }"
                   "   values { type 2 intensity 0.8 nearAttenuation 50 farAttenuation 250 hotspot 0.2 falloff 0.6 } }\n"
                   "  light { header { name \"dim\" } values { intensity 0 } }\n"
                   "  light { header { name \"sun\" node { values { position -100 0 20 } } }"
                   "   target { name \"sun.t\" node { values { position 0 0 20 } } }"
                   "   values { type 3 nearAttenuation 80 farAttenuation 280 } }\n }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* spot = s->findTriObject("spot")->lightValues();
    EXPECT_NEAR(spot[0], 0.6f, 1e-5f);
    EXPECT_NEAR(spot[1], 0.4165024f, 1e-5f);
    EXPECT_EQ(spot[2], 0.0f);
    const float* both = s->findTriObject("both")->lightValues();
    EXPECT_NEAR(both[0], 0.6f, 1e-5f);
    EXPECT_NEAR(both[1], 0.4165024f, 1e-5f);
    EXPECT_FLOAT_EQ(both[2], 0.001f);
    const float* sun = s->findTriObject("sun")->lightValues();
    EXPECT_NEAR(sun[0], 0.9f, 1e-5f);
    EXPECT_NEAR(sun[1], 0.15f, 1e-5f);
    EXPECT_FLOAT_EQ(sun[2], 0.001f);
}

TEST(S3DDraw, FillerGetsUTimesWidthAndOneMinusVTimesHeight)
{
    // A 2 x 2 texture, top row red green, bottom row blue white (a TGA holds its bottom row first). Three squares at z = 0 (screen
    // 2.56 pixels per unit), drawn with texture coordinates alone (opacity kind 200):
    //   "plain": (u, v) from the faces, v = 1 along the top edge, so the image stands upright;
    //   "env": from the camera-space normal (0, 0, ±1): (0.5, 0.5), moved by the UV transform
    //     with offsets (0.25, -0.25) to (0.25, 0.75): texel (0.5, 0.5) → red everywhere;
    //   "gen": the generator adds (0.5, 0.25): near the bottom-left corner (u, v) ≈ (0.57, 0.31),
    //     texel (1.1, 1.4) → white.
    ScratchDir dir;
    dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                           std::string("\xff\0\0\xff\xff\xff\0\0\xff\0\xff\0", 12));
    const std::string map = "textureMap1 { values { fileName \"t.tga\" ";
    auto s = sceneFromText(
        dir, scene(quad("plain", -70, -30, -30, 30, 0, 0) + quad("env", -20, 20, -30, 30, 0, 1) + quad("gen", 30, 70, -30, 30, 0, 2),
                   sub(std::string("opacityKind 200 ") + map + "} }") +
                       sub(std::string("opacityKind 200 ") + map + "environmentMap 1 useTransform 1 offsetU 0.25 offsetV -0.25 } }") +
                       sub(std::string("opacityKind 200 ") + map + "generator 1 } tracks { generator1 linear { key 0 0.5 key 10 0.5 }"
                                                      " generator2 linear { key 0 0.25 key 10 0.25 } } }")));
    Frame f;
    f.render(*s);
    EXPECT_EQ(f.at(85, 60), 0xFF0000u);   // plain, top-left
    EXPECT_EQ(f.at(170, 60), 0x00FF00u);  // top-right
    EXPECT_EQ(f.at(85, 195), 0x0000FFu);  // bottom-left
    EXPECT_EQ(f.at(170, 195), 0xFFFFFFu); // bottom-right
    EXPECT_EQ(f.at(256, 128), 0xFF0000u); // env
    EXPECT_EQ(f.at(215, 195), 0xFF0000u);
    EXPECT_EQ(f.at(340, 195), 0xFFFFFFu); // gen
}

TEST(S3DDraw, LitTextureTakesUThenVAndTheFirstMapsTextureMode)
{
    // A 2 x 2 texture, black top row, white bottom row, on two squares of the lit-texture kind
    // (light index 255, white): as a stencil (opacity kind 2) the colour shows where the texel
    // is not zero, the bottom half; with texture mode 1 (opacity kind 1) the texel multiplies the
    // colour: 255 × 255 >> 8 = 254 on the bottom half, 0 on the top.
    ScratchDir dir;
    dir.write("half.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                              std::string(6, '\xff') + std::string(6, '\0'));
    const std::string map = " textureMap1 { values { fileName \"half.tga\" ";
    auto s = sceneFromText(dir, scene(quad("stencil", -70, -30, -30, 30, 0, 0) + quad("mul", 30, 70, -30, 30, 0, 1),
                                      sub("opacityKind 2" + map + "} }") + sub("opacityKind 1" + map + "textureMode 1 } }")));
    Frame f;
    f.image.clear(0x202020u);
    f.render(*s);
    EXPECT_EQ(f.at(85, 60), 0x202020u);   // stencil, top-left: texel 0
    EXPECT_EQ(f.at(170, 60), 0x202020u);  // top-right
    EXPECT_EQ(f.at(85, 195), 0xFFFFFFu);  // bottom-left
    EXPECT_EQ(f.at(340, 60), 0u);         // mul, top
    EXPECT_EQ(f.at(425, 195), 0xFEFEFEu); // bottom
}

TEST(S3DDraw, TextureKind10IsAffineAndKind11Perspective)
{
    // A square receding to the right: its left edge (x = -20) at camera depth 50, its right
    // edge (x = 60) at depth 150; u runs 0 .. 1 from left to right. The screen column 230 sees
    // the point where x / z = -26/256: x = -20 + 80 s, z = 50 + 100 s gives s = 0.1655, so
    // perspective-correct u = 0.1655 (texel 0.66 of 4: red). Kind 10 interpolates u along the
    // screen inside each triangle; in the upper one (corners BL, TR, TL, with u = 0 along the
    // left edge) u = (230 - 153.6) / 204.8 = 0.373 (texel 1.49: green).
    ScratchDir dir;
    dir.write("row.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\4\0\1\0\x18\x20", 18) +
                             std::string("\0\0\xff\0\xff\0\xff\0\0\xff\xff\xff", 12));
    const char* const wall = "  triObject { header { name \"w\" } material 0\n"
                             "   vertices { positions [ -20 -10 -50  60 -10 50  60 10 50  -20 10 -50 ]"
                             " textureVertices [ 0 0  1 0  1 1  0 1 ] }\n"
                             "   faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  0 2 3 ] } }\n";
    for (const auto& [kind, want] : {std::pair{200, 0x00FF00u}, std::pair{201, 0xFF0000u}}) {
        auto s = sceneFromText(dir, scene(wall, sub("opacityKind " + std::to_string(kind) +
                                                    " textureMap1 { values { fileName \"row.tga\" } }")));
        Frame f;
        f.render(*s);
        EXPECT_EQ(f.at(230, 128), want) << kind;
    }
}

TEST(S3DDraw, UVTransformMovesTheOffsetPointToTheCentre)
{
    // angle π/2 (a = -π/2): rows (0, -1) and (1, 0); offsets (0.25, -0.25) put the centre at
    // (0.75, 0.25): u' = -(v - 0.25) + 0.5 = 0.75 - v, v' = (u - 0.75) + 0.5 = u - 0.25.
    ScratchDir dir;
    dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) + std::string(12, '\x40'));
    S3DTextureMap map;
    map.m_fileName = "t.tga";
    map.loadTexture(dir.path().c_str());
    map.m_useTransform = 1;
    map.m_angle = 1.5707964f;
    map.m_offsetU = 0.25f;
    map.m_offsetV = -0.25f;
    map.prepare();
    float u, v;
    map.transformUV(1.0f, 0.5f, u, v);
    EXPECT_NEAR(u, 0.25f, 1e-6f);
    EXPECT_NEAR(v, 0.75f, 1e-6f);
    map.transformUV(0.0f, 0.0f, u, v);
    EXPECT_NEAR(u, 0.75f, 1e-6f);
    EXPECT_NEAR(v, -0.25f, 1e-6f);
}

TEST(S3DDraw, DepthSortedTransparentTrianglesDrawNearestFirstEachOnce)
{
    // Two averaging (opacity 0.5) triangles over the screen centre: "near-ish" red with corners
    // at camera depths 50, 50 and 20 (key (0.02 + 0.02 + 0.05)/3 = 0.03), green at depth 40
    // (key 0.025). Nearest key first: red 127 halves to 63, then green: (63 + 0)/2 = 31 red,
    // (0 + 127)/2 = 63 green.
    ScratchDir dir;
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0 option5 1\n"
                                      "   vertices { positions [ -10 -10 -50  10 -10 -50  0 4 -80  -10 -10 -60  10 -10 -60  0 10 -60 ] }\n"
                                      "   faceData { faces [ 0 1 2  3 4 5 ] subMaterials [ 0 1 ] } }\n",
                                      sub("twoSided 1 opacity 0.5 diffuse 1 0 0") + sub("twoSided 1 opacity 0.5 diffuse 0 1 0")));
    Frame f;
    f.render(*s);
    EXPECT_EQ(f.at(256, 128), 0x1F3F00u);
}

TEST(S3DDraw, CornersBehindTheNearPlaneGoThroughTheClipper)
{
    // Camera depths: the bottom corner at 5 (before the near plane at 10), the top two at 100.
    // Cut at depth 10, the polygon ends at y = 138.8 on the screen; drawn without the clipper it
    // would reach down to the corner's projection at y = 179.2.
    ScratchDir dir;
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 -1 -95  50 10 0  -50 10 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                      sub("twoSided 1 diffuse 1 0 0")));
    Frame f;
    f.render(*s);
    EXPECT_EQ(f.at(256, 120), 0xFF0000u);
    EXPECT_EQ(f.at(256, 136), 0xFF0000u);
    EXPECT_EQ(f.at(256, 142), 0u);
    EXPECT_EQ(f.at(256, 160), 0u);
}

TEST(S3DDraw, ShapePointsTestTheDepthWithoutWritingIt)
{
    // A shape's vertices are drawn as points of its sub-material's fully lit colour: the one in
    // front of the red wall (depth 50, at x = 256 + 256 × 2.5/50 = 268.8, in pixel 268) shows, the
    // one behind it (depth 150, at x = 256 + 256 × 20/150 = 290.1) does not.
    ScratchDir dir;
    auto s = sceneFromText(dir, std::string("scene {\n triObjects {\n") + quad("wall", -80, 80, -40, 40, 0, 0) +
                                    "  triObject { header { name \"skinned\" } modifiers { modifier 1 { parameters {"
                                    " bones [ \"bone\" 1 0 0  0 1 0  0 0 1  0 0 0 ] } } } }\n }\n" + kCamera +
                                    " shapes { shape 1 { common { header { name \"s\" } material 1"
                                    " vertices { positions [ 2.5 0 -50  20 0 50 ] } } }\n"
                                    "  shape 1 { common { header { name \"bone\" } material 1 vertices { positions [ -2.5 0 -50 ] } } } }\n"
                                    " materials { material { name \"wall\" subMaterials {\n" + sub("diffuse 1 0 0") + " } }\n"
                                    "  material { name \"points\" subMaterials {\n" + sub("diffuse 0 1 0") + " } } }\n}\n");
    Frame f;
    f.render(*s);
    EXPECT_EQ(f.at(268, 128), 0x00FF00u);
    EXPECT_EQ(f.at(290, 128), 0xFF0000u);
    EXPECT_EQ(f.at(269, 128), 0xFF0000u);
    // A shape that serves as a skin bone is hidden: its point at x = 243.2 is not drawn.
    EXPECT_EQ(f.at(243, 128), 0xFF0000u);
}

TEST(S3DDraw, NormalsFollowTheDeformedMesh)
{
    // A skew along y turned by direction π/2 moves z by -y (k = 1 over the extent 10): the
    // triangle (0,0,0) (10,0,0) (0,10,0) becomes (0,0,0) (10,0,0) (0,10,-10), whose normal
    // (B - A) x (C - A) = (0, 100, 100) is (0, 0.7071, 0.7071).
    ScratchDir dir;
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  10 0 0  0 10 0 ] } faceData { faces [ 0 1 2 ] }\n"
                                      "   modifiers { modifier 9 { parameters { axis 1 amount 10 direction 1.5707964 } } }"
                                      " stack { entry { modifier \"0\" } } }\n",
                                      sub("")));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.m_vertices[2].z, -10.0f, 1e-4f);
    EXPECT_NEAR(o.m_normals[0].x, 0.0f, 1e-5f);
    EXPECT_NEAR(o.m_normals[0].y, 0.70710678f, 1e-5f);
    EXPECT_NEAR(o.m_normals[0].z, 0.70710678f, 1e-5f);
}

TEST(S3DDraw, MaterialTracksAndTheAmbientTermOfThePalette)
{
    // Each colour track drives its own colour. The ambient term is the same at every index:
    // 255 × (0.2, 0.4, 0.6) = (51, 102, 153) down to index 0.
    ScratchDir dir;
    auto s = sceneFromText(dir, scene("", "  subMaterial { shading { values { paletteEnabled 1 diffuse 0 0 0"
                                          "  textureMap1 { tracks { offsetU linear { key 0 1  key 10 1 } offsetV linear { key 0 2  key 10 2 }"
                                          " tileU linear { key 0 3  key 10 3 } tileV linear { key 0 4  key 10 4 }"
                                          " angle linear { key 0 5  key 10 5 } } } } tracks {"
                                          " ambient linear { key 0 0.2 0.4 0.6  key 10 0.2 0.4 0.6 }"
                                          " diffuse linear { key 0 0 0 0  key 10 0 0 0 }"
                                          " specular linear { key 0 0 0 0  key 10 0.5 0.5 0.5 } } } }\n"));
    s->setCamera(0);
    s->update(4);
    s->prepare();
    const S3DSubMaterial& m = *s->getMaterial(0)->getSubMaterial(0);
    EXPECT_NEAR(m.m_ambient.x, 0.2f, 1e-6f);
    EXPECT_NEAR(m.m_ambient.z, 0.6f, 1e-6f);
    EXPECT_NEAR(m.m_diffuse.y, 0.0f, 1e-6f);
    EXPECT_NEAR(m.m_specular.x, 0.2f, 1e-6f);
    const S3DTextureMap& map = m.m_texture1;
    EXPECT_EQ((std::vector<float>{map.m_offsetU, map.m_offsetV, map.m_tileU, map.m_tileV, map.m_angle}),
              (std::vector<float>{1, 2, 3, 4, 5}));
    S3DSubMaterial flat;
    flat.m_paletteEnabled = 1;
    flat.m_ambient = {0.2f, 0.4f, 0.6f};
    flat.m_diffuse = {0, 0, 0};
    flat.prepare();
    EXPECT_EQ(flat.m_palette[255], 0x336699u);
    EXPECT_EQ(flat.m_palette[0], 0x336699u);
}

TEST(S3DDraw, OpacityMapSamplesTheThirdTextureAtOneMinusV)
{
    // A 1 x 2 texture, white over black. v = 0.9 and 0.6 read row (1 - v) × 2 = 0.2, 0.8: the
    // white top row, (255 × 3) × 0.0013071896 = 1; v = 0.1 reads row 1.8: black, 0.
    ScratchDir dir;
    dir.write("bw.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\2\0\x18\x20", 18) + std::string(3, '\0') +
                            std::string(3, '\xff'));
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0 0.9  0 0.1  0 0.6 ] }"
                                      " faceData { faces [ 0 1 2 ] textureFaces [ 0 1 2 ] } }\n",
                                      "  subMaterial { shading { values { paletteEnabled 1 } } textureMap { values { fileName \"bw.tga\" } } }\n"));
    S3DTriObject& o = *s->findTriObject("o");
    bool perTextureVertex = false;
    const float* channel = o.findVertexChannel("opacityMap", perTextureVertex);
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(perTextureVertex);
    s->setCamera(0);
    s->update(0);
    s->prepare();
    EXPECT_NEAR(channel[0], 1.0f, 1e-5f);
    EXPECT_EQ(channel[1], 0.0f);
    EXPECT_NEAR(channel[2], 1.0f, 1e-5f);
}

TEST(S3DDraw, WorldSpaceBindingBlendsByItsInvertedWeights)
{
    // The camera at the origin looks along +z: camera space is world space. A world-space skew
    // along y (k = 2 / 2 over the points' extent) moves x by y; inverted weights 0.25 and 1 give
    // 0.75 and 0.
    ScratchDir dir;
    auto s = sceneFromText(dir, "scene {\n triObjects { triObject { header { name \"o\" } material 0\n"
                                "  vertices { positions [ 0 1 50  0 -1 50 ] softSelection [ 0.25 1 ] }\n"
                                "  wsBindings { binding { name \"w\" softSelection { useChannel 1 invert 1 channel \"softSelection\" } } } } }\n"
                                " wsModifiers { wsModifier { header { name \"w\" } modifier 9 { parameters { axis 1 amount 2 } } } }\n"
                                " cameras { camera { header { name \"c\" } target { name \"t\" node { values { position 0 0 100 } } } } }\n"
                                " materials { material { name \"m\" subMaterials { subMaterial { } } } }\n}\n");
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.m_cameraVertices[0].x, 0.75f, 1e-5f);
    EXPECT_NEAR(o.m_cameraVertices[1].x, 0.0f, 1e-5f);
}

TEST(S3DDraw, PolygonBuildingPairsFacesAndMarksOutlines)
{
    // Faces (0 1 2) and (0 2 3) share the edge 2-0: paired (1) they make the quad 0 1 2 3, the
    // second face adding nothing; 2 marks every edge of each triangle, 3 the first two only.
    ScratchDir dir;
    std::string objects;
    for (int option = 0; option <= 3; ++option)
        objects += std::string("  triObject { header { name \"o") + std::to_string(option) + "\" } material 0 option1 " + std::to_string(option) +
                   " vertices { positions [ 0 0 0  1 0 0  1 1 0  0 1 0 ] } faceData { faces [ 0 1 2  0 2 3 ] } }\n";
    auto s = sceneFromText(dir, scene(objects, sub("")));
    const auto polygons = [&](int option) { return s->findTriObject((std::string("o") + std::to_string(option)).c_str())->m_drawOps[0].polygons; };
    ASSERT_EQ(polygons(1).size(), 1u);
    const std::vector<S3DPolygon> paired = polygons(1);
    const S3DPolygon& q = paired[0];
    EXPECT_EQ(q.n, 4);
    EXPECT_EQ(std::vector<int>(q.vertex, q.vertex + 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(polygons(0).size(), 2u);
    EXPECT_EQ(polygons(2).size(), 2u);
    EXPECT_EQ(s->findTriObject("o0")->m_lines.size(), 0u);
    EXPECT_EQ(s->findTriObject("o2")->m_lines.size(), 6u);
    EXPECT_EQ(s->findTriObject("o3")->m_lines.size(), 4u);
}

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

TEST(S3DDraw, TextureCropTakesRowsFromTheHeight)
{
    // A 2 x 4 image whose rows (top first) are 0x40, 0x30, 0x20, 0x10 (a TGA holds its bottom row
    // first); the crop (0, 0.5, 1, 0.5) is rows 2 and 3.
    ScratchDir dir;
    std::string tga("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\4\0\x18\x20", 18);
    for (int row = 1; row <= 4; ++row) tga += std::string(1, char(0x10 * row)) + std::string(2, '\0') + std::string(1, char(0x10 * row)) + std::string(2, '\0');
    const std::string path = dir.write("tall.tga", tga);
    S3DTexture32 t;
    ASSERT_TRUE(t.load(path.c_str(), true, 0, 0.5f, 1, 0.5f));
    ASSERT_EQ(t.raster().height, 2);
    EXPECT_EQ(t.raster().pixels[0], 0x20u);
    EXPECT_EQ(t.raster().pixels[2], 0x10u);
    // An image with its own opacity keeps it as a texture.
    CImage32Buffered alpha(2, 2);
    alpha.m_hasAlpha = 1;
    ASSERT_TRUE(t.set(alpha));
    EXPECT_TRUE(t.raster().hasAlpha);
}

} // namespace
