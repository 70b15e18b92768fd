// Scene-side drawing paths the other tests leave open: the environment map from a turned normal
// (any nonzero environment value), directional and spot lights along oblique axes, the opacity map
// on a wide texture and through its transform, polygon building's pairing and outline corners,
// bilinear sampling, shapes through their node and modifiers, the second value's inverted and
// per-texture-vertex weights, points among depth-sorted triangles, generator tracks, per-axis
// tiling, the image link, crops and texture faces from the file. Expected values are worked by
// hand in the comments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "S3DTestSupport.h"

namespace {

// A scene with the camera at (0, 0, -100) looking at the origin: at z = 0 a world point (x, y)
// lands on the 512 x 256 screen at (256 + 2.56 x, 128 - 2.56 y).
std::string scene(const std::string& objects, const std::string& subMaterials, const std::string& extra = "")
{
    return std::string("scene {\n animationLength 10\n triObjects {\n") + objects + " }\n" + kCamera +
           " materials { material { name \"m\" subMaterials {\n" + subMaterials + " } } }\n" + extra + "}\n";
}

std::string sub(const std::string& values, const std::string& more = "")
{
    return std::string("  subMaterial { shading { values { paletteEnabled 1 ") + values + " } }" + more + " }\n";
}

// A TGA of width x height from its rows top first (each pixel 0xRRGGBB); a TGA holds its bottom
// row first, in blue, green, red order.
std::string tga(int width, int height, const std::vector<uint32_t>& topFirst)
{
    std::string out("\0\0\2\0\0\0\0\0\0\0\0\0", 12);
    out += char(width), out += '\0', out += char(height), out += '\0', out += '\x18', out += '\x20';
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = topFirst[size_t(y * width + x)];
            out += char(c & 0xFF), out += char(c >> 8 & 0xFF), out += char(c >> 16 & 0xFF);
        }
    return out;
}

TEST(S3DDrawSceneCorners, EnvironmentMapReadsTheTurnedNormal)
{
    // The face (0, 0, 0), (40, 0, -30), (0, 30, 0) lies in the plane 0.6 x + 0.8 z = 0: its normal
    // (B - A) x (C - A) = (900, 0, 1200) ∝ (0.6, 0, 0.8), unchanged by the camera's turn (none)
    // and not moved by its translation. u = (0.6 + 1) / 2 = 0.8: column 3.2 of a 4-wide texture
    // whose columns are 0x10, 0x20, 0x30, 0x40 on every row. Any nonzero environment value maps.
    ScratchDir dir;
    std::vector<uint32_t> texels;
    for (int i = 0; i < 16; ++i) texels.push_back(0x10u * uint32_t(i % 4 + 1));
    dir.write("t.tga", tga(4, 4, texels));
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  40 0 -30  0 30 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                      sub("twoSided 1 opacityKind 200 textureMap1 { values { fileName \"t.tga\" environmentMap 2 } }")));
    SceneFrame frame;
    frame.render(*s);
    // Corners on the screen: (256, 128), (402.3, 128), (256, 51.2).
    EXPECT_EQ(frame.at(290, 110) & 0xFFFFFFu, 0x40u);
    EXPECT_EQ(frame.at(270, 80) & 0xFFFFFFu, 0x40u);
}

TEST(S3DDrawSceneCorners, DirectionalLightMeasuresAlongAnObliqueAxis)
{
    // The object at (0, 0, 20); the light at world (-100, -100, 20) aiming at (0, 0, 20), so in
    // object space from (-100, -100, 0) along (1, 1, 0) / √2: t = (x + 100 + y + 100) / √2.
    // Near 80, far 280, intensity 0.5: (0, 0): t 141.42136, (1 - 61.42136 / 200) / 2 = 0.3464466;
    // (100, 0): t 212.13203, 0.1696699; (0, 50): t 176.77670, 0.2580583.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, scene("  triObject { header { name \"o\" node { values { position 0 0 20 } } } material 0"
                   " vertices { positions [ 0 0 0  100 0 0  0 50 0 ] } faceData { faces [ 0 1 2 ] } lights { light \"sun\" } }\n",
                   sub(""),
                   " lights {\n"
                   "  light { header { name \"sun\" node { values { position -100 -100 20 } } }"
                   "   target { name \"sun.t\" node { values { position 0 0 20 } } }"
                   "   values { type 3 intensity 0.5 nearAttenuation 80 farAttenuation 280 } }\n }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* light = s->findTriObject("o")->lightValues();
    EXPECT_NEAR(light[0], 0.3464466f, 1e-5f);
    EXPECT_NEAR(light[1], 0.1696699f, 1e-5f);
    EXPECT_NEAR(light[2], 0.2580583f, 1e-5f);
}

TEST(S3DDrawSceneCorners, OpacityMapOnAWideTextureAndThroughItsTransform)
{
    // A 4 x 1 texture black, white, black, white. u 0.3, 0.55, 0.8 read columns 1, 2, 3: 1, 0, 1.
    // With the transform's offset u 0.25 (u' = u - 0.25): columns 0, 1, 2: 0, 1, 0.
    const auto channel = [](const std::string& mapValues) {
        ScratchDir dir;
        dir.write("bw.tga", tga(4, 1, {0u, 0xFFFFFFu, 0u, 0xFFFFFFu}));
        auto s = sceneFromText(
            dir, scene("  triObject { header { name \"o\" } material 0\n"
                       "   vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0.3 0.5  0.55 0.5  0.8 0.5 ] }"
                       " faceData { faces [ 0 1 2 ] textureFaces [ 0 1 2 ] } }\n",
                       sub("", " textureMap { values { fileName \"bw.tga\" " + mapValues + " } }")));
        S3DTriObject& o = *s->findTriObject("o");
        bool perTextureVertex = false;
        const float* values = o.findVertexChannel("opacityMap", perTextureVertex);
        EXPECT_NE(values, nullptr);
        if (!values) return std::vector<float>{};
        s->setCamera(0);
        s->update(0);
        s->prepare();
        return std::vector<float>(values, values + 3);
    };
    const std::vector<float> plain = channel("");
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_NEAR(plain[0], 1.0f, 1e-5f);
    EXPECT_EQ(plain[1], 0.0f);
    EXPECT_NEAR(plain[2], 1.0f, 1e-5f);
    const std::vector<float> moved = channel("useTransform 1 offsetU 0.25");
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_EQ(moved[0], 0.0f);
    EXPECT_NEAR(moved[1], 1.0f, 1e-5f);
    EXPECT_EQ(moved[2], 0.0f);
}

TEST(S3DDrawSceneCorners, PolygonBuildingKeepsFacesTheirOwnSubMaterialFaceAndTextureCorner)
{
    // Paired (option1 1): "split" puts the faces of a pair in two sub-materials, each drawing its
    // own triangle; "apart" has two faces without a common edge, drawn as two triangles, the
    // second its own face 1; "textured" pairs (0 1 2) and (0 2 3) into the quad 0 1 2 3, the
    // second face's far corner 3 bringing its own texture corner 7. Open outlines (option1 3)
    // mark each triangle's edges 0-1 and 1-2.
    ScratchDir dir;
    const std::string quad = " vertices { positions [ 0 0 0  1 0 0  1 1 0  0 1 0 ] textureVertices [ 0 0  1 0  1 1  0 1  0 0  0 0  0 0  0 1 ] }";
    auto s = sceneFromText(
        dir, scene("  triObject { header { name \"split\" } material 0 option1 1" + quad +
                       " faceData { faces [ 0 1 2  0 2 3 ] subMaterials [ 0 1 ] } }\n"
                       "  triObject { header { name \"apart\" } material 0 option1 1"
                       " vertices { positions [ 0 0 0  1 0 0  1 1 0  5 5 0  6 5 0  6 6 0 ] } faceData { faces [ 0 1 2  3 4 5 ] } }\n"
                       "  triObject { header { name \"textured\" } material 0 option1 1" + quad +
                       " faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  5 6 7 ] } }\n"
                       "  triObject { header { name \"open\" } material 0 option1 3" + quad +
                       " faceData { faces [ 0 1 2  0 2 3 ] } }\n",
                   sub("") + sub("")));
    const S3DTriObject& split = *s->findTriObject("split");
    ASSERT_EQ(split.m_drawOps.size(), 2u);
    ASSERT_EQ(split.m_drawOps[1].polygons.size(), 1u);
    const S3DPolygon& second = split.m_drawOps[1].polygons[0];
    EXPECT_EQ(second.n, 3);
    EXPECT_EQ(second.face, 1);
    EXPECT_EQ(std::vector<int>(second.vertex, second.vertex + 3), (std::vector<int>{0, 2, 3}));

    const S3DTriObject& apart = *s->findTriObject("apart");
    ASSERT_EQ(apart.m_drawOps.size(), 1u);
    ASSERT_EQ(apart.m_drawOps[0].polygons.size(), 2u);
    EXPECT_EQ(apart.m_drawOps[0].polygons[0].face, 0);
    EXPECT_EQ(apart.m_drawOps[0].polygons[1].face, 1);
    EXPECT_EQ(apart.m_drawOps[0].polygons[1].vertex[0], 3);

    const S3DPolygon& q = s->findTriObject("textured")->m_drawOps[0].polygons[0];
    ASSERT_EQ(q.n, 4);
    EXPECT_EQ(std::vector<int>(q.textureVertex, q.textureVertex + 4), (std::vector<int>{0, 1, 2, 7}));

    const S3DTriObject& open = *s->findTriObject("open");
    ASSERT_EQ(open.m_lines.size(), 4u);
    const S3DProjectedVertex* p = open.m_projected.data();
    const int want[4][2] = {{0, 1}, {1, 2}, {0, 2}, {2, 3}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(open.m_lines[size_t(i)].vertex[0] - p, want[i][0]) << i;
        EXPECT_EQ(open.m_lines[size_t(i)].vertex[1] - p, want[i][1]) << i;
    }
}

TEST(S3DDrawSceneCorners, BilinearSubMaterialMixesNeighbouringTexels)
{
    // The square x 30 .. 70, y -30 .. 30 (screen x 332.8 .. 435.2, y 51.2 .. 204.8) textured with
    // a 2 x 2 image, red green over blue white, by texture coordinates alone. At pixel (358, 90)
    // (u ≈ 0.25, v ≈ 0.75, texel ≈ (0.49, 0.51)) nearest sampling gives the red texel; bilinear
    // sampling mixes all four, so no byte is 0 or 255.
    ScratchDir dir;
    dir.write("t.tga", tga(2, 2, {0xFF0000u, 0x00FF00u, 0x0000FFu, 0xFFFFFFu}));
    const std::string square =
        " vertices { positions [ 30 -30 0  70 -30 0  70 30 0  30 30 0 ] textureVertices [ 0 0  1 0  1 1  0 1 ] }"
        " faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  0 2 3 ] } }\n";
    for (int bilinear : {0, 1}) {
        auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0" + square,
                                          sub("twoSided 1 opacityKind 200 bilinear " + std::to_string(bilinear) +
                                              " textureMap1 { values { fileName \"t.tga\" } }")));
        SceneFrame frame;
        frame.render(*s);
        const uint32_t c = frame.at(358, 90) & 0xFFFFFFu;
        if (bilinear == 0) {
            EXPECT_EQ(c, 0xFF0000u);
        } else {
            for (int b = 0; b < 24; b += 8) {
                EXPECT_GT(c >> b & 0xFF, 0u) << std::hex << c;
                EXPECT_LT(c >> b & 0xFF, 255u) << std::hex << c;
            }
        }
    }
}

TEST(S3DDrawSceneCorners, ShapePointsGoThroughTheirNodeBeforeTheCamera)
{
    // A shape whose node (mode 1) turns half a turn about y and moves to (10, 20, 0): its point
    // (5, 0, 0) lands at world (5, 20, 0), screen (268.8, 76.8), in the fully lit green. (Camera
    // before node would put it at (5, 20, -100), behind the camera.)
    ScratchDir dir;
    auto s = sceneFromText(dir, scene("", sub("diffuse 0 1 0"),
                                      " shapes { shape 1 { common { header { name \"p\" node { values { mode 1 position 10 20 0"
                                      " rotation 3.1415927 0 1 0 } } } material 0 vertices { positions [ 5 0 0 ] } } } }\n"));
    SceneFrame frame;
    frame.render(*s);
    EXPECT_EQ(frame.at(268, 76) & 0xFFFFFFu, 0x00FF00u);

    // A shape's modifier stack moves its points: the skew along y turned by π/2 (k = 1 over the
    // extent 10) takes (0, 10, 0) to (0, 10, -10), depth 90: screen y 128 - 10 · 256 / 90 = 99.6.
    ScratchDir skewDir;
    auto skewed = sceneFromText(
        skewDir, scene("", sub("diffuse 0 1 0"),
                       " shapes { shape 1 { common { header { name \"p\" } material 0"
                       " vertices { positions [ 0 0 0  10 0 0  0 10 0 ] }"
                       " modifiers { modifier 9 { parameters { axis 1 amount 10 direction 1.5707964 } } }"
                       " stack { entry { modifier \"0\" } } } } }\n"));
    SceneFrame skewFrame;
    skewFrame.render(*skewed);
    EXPECT_EQ(skewFrame.at(256, 99) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(skewFrame.at(256, 102) & 0xFFFFFFu, 0u);
}

TEST(S3DDrawSceneCorners, SecondValueTakesItsWeightsInvertedWhenAsked)
{
    // Soft selection 0.25 at every corner of a face lit white (no light: every light value 1),
    // over black: weight 0.25 · 255 = 63.75 draws 255 · 63 / 256 = 62; inverted (the block's
    // second value) 255 - 63.75 = 191.25 draws 255 · 191 / 256 = 190.
    for (int invert : {0, 1}) {
        ScratchDir dir;
        auto s = sceneFromText(
            dir, scene("  triObject { header { name \"o\" } material 0 parameterBlocks { block1 { value1 1 value2 " +
                           std::to_string(invert) + " text \"softSelection\" } }"
                           " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] softSelection [ 0.25 0.25 0.25 ] }"
                           " faceData { faces [ 0 1 2 ] } }\n",
                       sub("twoSided 1 diffuse 1 1 1")));
        SceneFrame frame;
        frame.render(*s);
        EXPECT_EQ(frame.at(256, 128) & 0xFFFFFFu, invert ? 0xBEBEBEu : 0x3E3E3Eu) << invert;
    }
    // Weights from the opacity map are per texture vertex: the face's texture corners 1, 2, 3 all
    // read the white column of a 2 x 1 black and white image (texture vertex 0 reads the black
    // one), so the weight is 255 everywhere: 255 · 255 / 256 = 254.
    ScratchDir dir;
    dir.write("bw.tga", tga(2, 1, {0u, 0xFFFFFFu}));
    auto s = sceneFromText(
        dir, scene("  triObject { header { name \"o\" } material 0 parameterBlocks { block1 { value1 1 text \"opacityMap\" } }"
                   " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ]"
                   " textureVertices [ 0.25 0.5  0.75 0.5  0.75 0.5  0.75 0.5 ] }"
                   " faceData { faces [ 0 1 2 ] textureFaces [ 1 2 3 ] } }\n",
                   sub("twoSided 1 diffuse 1 1 1", " textureMap { values { fileName \"bw.tga\" } }")));
    SceneFrame frame;
    frame.render(*s);
    EXPECT_EQ(frame.at(256, 140) & 0xFFFFFFu, 0xFEFEFEu);
    EXPECT_EQ(frame.at(220, 170) & 0xFFFFFFu, 0xFEFEFEu);
}

TEST(S3DDrawSceneCorners, DepthSortedPointsTakeTheirPlaceAmongTriangles)
{
    // A depth-sorted additive blue triangle at depth 100 and a green point before it at depth 50,
    // both on (256, 128): nearest first, the point is drawn, then the triangle adds over it.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, std::string("scene {\n animationLength 10\n triObjects {\n") +
                 "  triObject { header { name \"glass\" } material 0 option5 1"
                 " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] } faceData { faces [ 0 1 2 ] } }\n }\n" +
                 kCamera +
                 " shapes { shape 1 { common { header { name \"p\" } material 1 vertices { positions [ 0 0 -50 ] } } } }\n"
                 " materials { material { name \"glass\" subMaterials {\n" +
                 sub("twoSided 1 blendMode 1 diffuse 0 0 1") + " } }\n  material { name \"points\" subMaterials {\n" +
                 sub("diffuse 0 1 0") + " } } }\n}\n");
    SceneFrame frame;
    frame.render(*s);
    EXPECT_EQ(frame.at(256, 128) & 0xFFFFFFu, 0x00FFFFu);
    EXPECT_EQ(frame.at(256, 140) & 0xFFFFFFu, 0x0000FFu);

    // Only the transparent polygons go into the lists: an opaque second-value face of weight 0
    // (drawn in the first pass, adding nothing) is not drawn again there, where its outlines
    // would have it smoothly shaded.
    ScratchDir opaqueDir;
    auto opaque = sceneFromText(
        opaqueDir, scene("  triObject { header { name \"o\" } material 0 option5 1 option1 2"
                         " parameterBlocks { block1 { value1 1 text \"softSelection\" } }"
                         " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] softSelection [ 0 0 0 ] }"
                         " faceData { faces [ 0 1 2 ] } }\n",
                         sub("twoSided 1 diffuse 0 0 1")));
    SceneFrame second;
    second.render(*opaque);
    EXPECT_EQ(second.at(256, 140) & 0xFFFFFFu, 0u);
}

TEST(S3DDrawSceneCorners, GeneratorTracksDriveOnlyAnActiveGenerator)
{
    // Tracks of the three generator values (0.5, 0.25, 0.75) are read when the generator is on;
    // with it off every value stays 0.
    for (int generator : {0, 1}) {
        ScratchDir dir;
        auto s = sceneFromText(
            dir, scene("", "  subMaterial { shading { values { paletteEnabled 1 textureMap1 { values { generator " +
                               std::to_string(generator) +
                               " } tracks { generator1 linear { key 0 0.5  key 10 0.5 } generator2 linear { key 0 0.25  key 10 0.25 }"
                               " generator3 linear { key 0 0.75  key 10 0.75 } } } } } }\n"));
        s->setCamera(0);
        s->update(4);
        const float* g = s->getMaterial(0)->getSubMaterial(0)->m_texture1.m_generatorValue;
        const float want[3] = {0.5f, 0.25f, 0.75f};
        for (int k = 0; k < 3; ++k) EXPECT_EQ(g[k], generator ? want[k] : 0.0f) << generator << " " << k;
    }
}

TEST(S3DDrawSceneCorners, TextureTransformTilesEachAxisByItsOwnFactor)
{
    // With a = -angle: u' = tileU (cos a (u - cu) + sin a (v - cv)) + 0.5 and
    // v' = tileV (-sin a (u - cu) + cos a (v - cv)) + 0.5, (cu, cv) = the offsets + 0.5.
    // Angle π/2, tiles 2 and 3, offsets 0.1 and 0.2: (1, 1) goes to (-2 · 0.3 + 0.5, 3 · 0.4 + 0.5)
    // = (-0.1, 1.7), (0, 0.5) to (-2 · -0.2 + 0.5, 3 · -0.6 + 0.5) = (0.9, -1.3).
    ScratchDir dir;
    dir.write("t.tga", tga(2, 2, {0u, 0u, 0u, 0u}));
    auto s = sceneFromText(dir, scene("", sub("textureMap1 { values { fileName \"t.tga\" useTransform 1 tileU 2 tileV 3"
                                              " angle 1.5707964 offsetU 0.1 offsetV 0.2 } }")));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTextureMap& map = s->getMaterial(0)->getSubMaterial(0)->m_texture1;
    ASSERT_TRUE(map.hasUVMatrix());
    const float in[2][2] = {{1, 1}, {0, 0.5f}}, want[2][2] = {{-0.1f, 1.7f}, {0.9f, -1.3f}};
    for (int i = 0; i < 2; ++i) {
        float u = 0, v = 0;
        map.transformUV(in[i][0], in[i][1], u, v);
        EXPECT_NEAR(u, want[i][0], 1e-5f) << i;
        EXPECT_NEAR(v, want[i][1], 1e-5f) << i;
    }
}

TEST(S3DDrawSceneCorners, SpotLightAimedOffItsAxis)
{
    // Objects at (0, 0, 20), normals +z; in object space the spots stand at (0, 0, -100), near 50,
    // far 250, hotspot 0.2, falloff 0.6. "off" is lit by a spot aiming at (0, 50, 0), direction
    // (0, 0.4472, 0.8944):
    //   (0, 0, 0): d 100, factor 0.75, N·L 1, α 0.4636476, cone 1 - 0.2636476 / 0.4: 0.2556607;
    //   (20, 50, 0): d 113.57817, factor 0.6821092, N·L 0.8804509, α 0.1770131 inside: 0.6005636;
    //   (-20, 0, 0): d 101.98039, factor 0.7400980, N·L 0.9805807, α 0.5010930: 0.1794484.
    // "axis" has a vertex at the target (0, 1, 0) of a spot aiming there: on the axis (the cosine,
    // a rounding above 1, counts as 1): factor 1 - 50.005 / 200, N·L 0.99995: 0.7499375.
    ScratchDir dir;
    const auto object = [](const char* name, const char* positions, const char* light) {
        return std::string("  triObject { header { name \"") + name + "\" node { values { position 0 0 20 } } } material 0"
               " vertices { positions [ " + positions + " ] } faceData { faces [ 0 1 2 ] } lights { light \"" + light + "\" } }\n";
    };
    const auto spot = [](const char* name, const char* target) {
        return std::string("  light { header { name \"") + name + "\" node { values { position 0 0 -80 } } }"
               " target { name \"" + name + ".t\" node { values { position " + target + " } } }"
               " values { type 2 nearAttenuation 50 farAttenuation 250 hotspot 0.2 falloff 0.6 } }\n";
    };
    auto s = sceneFromText(dir, scene(object("off", "0 0 0  20 50 0  -20 0 0", "off") + object("axis", "0 1 0  10 1 0  0 11 0", "axis"),
                                      sub(""), " lights {\n" + spot("off", "0 50 20") + spot("axis", "0 1 20") + " }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const float* off = s->findTriObject("off")->lightValues();
    EXPECT_NEAR(off[0], 0.2556607f, 1e-5f);
    EXPECT_NEAR(off[1], 0.6005636f, 1e-5f);
    EXPECT_NEAR(off[2], 0.1794484f, 1e-5f);
    EXPECT_NEAR(s->findTriObject("axis")->lightValues()[0], 0.7499375f, 1e-5f);
}

TEST(S3DDrawSceneCorners, ImageLinkDrawsByTheLightAloneAndCropsComeFromTheFile)
{
    // An object whose first texture layer is on draws with the linked-image kind whatever the
    // opacity kind: the light value (1, no light) takes the fully lit green.
    ScratchDir dir;
    auto linked = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0 textureLayer1 { value1 1 }"
                                           " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                           sub("twoSided 1 opacityKind 200 diffuse 0 1 0")));
    SceneFrame frame;
    frame.render(*linked);
    EXPECT_EQ(frame.at(256, 140) & 0xFFFFFFu, 0x00FF00u);
    // Opacity kind 1 with texture mode 0 inverts the palette of the textured kinds only: the
    // linked-image and second-value kinds (weight 1: 255 · 255 / 256 = 254) keep it.
    const std::string triangle = " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] softSelection [ 1 1 1 ] }"
                                 " faceData { faces [ 0 1 2 ] } }\n";
    const struct {
        const char* link;
        uint32_t want;
    } kinds[] = {{"textureLayer1 { value1 1 }", 0x00FF00u},
                 {"parameterBlocks { block1 { value1 1 text \"softSelection\" } }", 0x00FE00u}};
    for (const auto& k : kinds) {
        auto s = sceneFromText(dir, scene(std::string("  triObject { header { name \"o\" } material 0 ") + k.link + triangle,
                                          sub("twoSided 1 opacityKind 1 diffuse 0 1 0")));
        SceneFrame f;
        f.render(*s);
        EXPECT_EQ(f.at(256, 140) & 0xFFFFFFu, k.want) << k.link;
    }

    // A crop written in the file: (0.25, 0.25, 0.5, 0.25) of a 4 x 4 image is columns 1, 2 of row
    // 1 (top first). Pixel (x, y) holds 0x10 y + x + 1.
    std::vector<uint32_t> texels;
    for (uint32_t i = 0; i < 16; ++i) texels.push_back(0x10u * (i / 4) + i % 4 + 1);
    dir.write("c.tga", tga(4, 4, texels));
    auto cropped = sceneFromText(dir, scene("", sub("textureMap1 { values { fileName \"c.tga\" useCrop 1 cropU 0.25 cropV 0.25"
                                                    " cropW 0.5 cropH 0.25 } }")));
    const S3DTexture32* t = cropped->getMaterial(0)->getSubMaterial(0)->m_texture1.getTexture();
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->raster().width, 2);
    ASSERT_EQ(t->raster().height, 1);
    EXPECT_EQ(t->raster().pixels[0] & 0xFFFFFFu, 0x12u);
    EXPECT_EQ(t->raster().pixels[1] & 0xFFFFFFu, 0x13u);
}

TEST(S3DDrawSceneCorners, TextureFacesNamingMissingCornersAreIgnored)
{
    // Three texture vertices, and a face whose third texture corner is 3: reported, and the
    // object keeps no texture faces (every texture corner 0).
    ScratchDir dir;
    ReportCapture reports;
    auto s = sceneFromText(dir, scene("  triObject { header { name \"o\" } material 0"
                                      " vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0 0  1 0  0 1 ] }"
                                      " faceData { faces [ 0 1 2 ] textureFaces [ 0 1 3 ] } }\n",
                                      sub("")));
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_FALSE(o.m_hasTextureFaces);
    EXPECT_EQ(o.m_faces[0].textureVertex[2], 0);
    bool reported = false;
    for (const CapturedReport& r : reports.reports())
        reported |= r.text == "load: texture faces name texture vertices that do not exist (ignored)";
    EXPECT_TRUE(reported);
}

} // namespace
