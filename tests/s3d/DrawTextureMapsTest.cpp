// What a texture map derives from its texture and its values, worked by hand: the UV transform's
// centre, turn and per-axis tiles, environment maps from the turned normal, the generator and its
// tracks, and the opacity map's channel (one minus v, wide textures, its transform, the sum of the
// colours).
#include <string>
#include <vector>

#include "S3DTestSupport.h"
#include "image/CImage32.h"

namespace {

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

TEST(S3DDrawSceneCorners, TextureTransformTilesEachAxisByItsOwnFactor)
{
    // With a = -angle: u' = tileU (cos a (u - cu) + sin a (v - cv)) + 0.5 and
    // v' = tileV (-sin a (u - cu) + cos a (v - cv)) + 0.5, (cu, cv) = the offsets + 0.5.
    // Angle π/2, tiles 2 and 3, offsets 0.1 and 0.2: (1, 1) goes to (-2 · 0.3 + 0.5, 3 · 0.4 + 0.5)
    // = (-0.1, 1.7), (0, 0.5) to (-2 · -0.2 + 0.5, 3 · -0.6 + 0.5) = (0.9, -1.3).
    ScratchDir dir;
    dir.write("t.tga", tga(2, 2, {0u, 0u, 0u, 0u}));
    auto s = sceneFromText(dir, sceneWithObjects("", subMaterial("textureMap1 { values { fileName \"t.tga\" useTransform 1 tileU 2 tileV 3"
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
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  40 0 -30  0 30 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                      subMaterial("twoSided 1 opacityKind 200 textureMap1 { values { fileName \"t.tga\" environmentMap 2 } }")));
    SceneFrame frame;
    frame.render(*s);
    // Corners on the screen: (256, 128), (402.3, 128), (256, 51.2).
    EXPECT_EQ(frame.at(290, 110) & 0xFFFFFFu, 0x40u);
    EXPECT_EQ(frame.at(270, 80) & 0xFFFFFFu, 0x40u);
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
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                                      "   vertices { positions [ 0 0 0  21.2132 -21.2132 -30  30 30 0 ] }"
                                      " faceData { faces [ 0 1 2 ] } }\n",
                                      subMaterial("twoSided 1 opacityKind 200 textureMap1 { values { fileName \"t.tga\" environmentMap 1 } }")));
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

TEST(S3DDrawSceneCorners, GeneratorTracksDriveOnlyAnActiveGenerator)
{
    // Tracks of the three generator values (0.5, 0.25, 0.75) are read when the generator is on;
    // with it off every value stays 0.
    for (int generator : {0, 1}) {
        ScratchDir dir;
        auto s = sceneFromText(
            dir, sceneWithObjects("", "  subMaterial { shading { values { paletteEnabled 1 textureMap1 { values { generator " +
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

TEST(S3DDrawDetails, GeneratorAddsItsFirstTwoValuesOnly)
{
    // Generator values 0.5, 0.25 and 0.5: u + 0.5, v + 0.25, the third left
    // alone. Near the bottom-left corner, pixel (340, 195): (u, v) = (0.07, 0.06)
    // → (0.57, 0.31), texel (1.14, (1 - 0.31) × 2 = 1.38) → bottom row, right:
    // white.
    ScratchDir dir;
    writeFourColourTexture(dir);
    auto s = sceneFromText(
        dir, sceneWithObjects(square("gen", "0 1 2  0 2 3"), subMaterial("opacityKind 200 textureMap1 { values { fileName "
                                                                         "\"t.tga\" generator 1 }"
                                                                         " tracks { generator1 linear { key 0 0.5 key 10 0.5 }"
                                                                         " generator2 linear { key 0 0.25 key 10 0.25 }"
                                                                         " generator3 linear { key 0 0.5 key 10 0.5 } } }")));
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(340, 195), 0xFFFFFFu);
}

TEST(S3DDraw, OpacityMapSamplesTheThirdTextureAtOneMinusV)
{
    // A 1 x 2 texture, white over black. v = 0.9 and 0.6 read row (1 - v) × 2 = 0.2, 0.8: the
    // white top row, (255 × 3) × 0.0013071896 = 1; v = 0.1 reads row 1.8: black, 0.
    ScratchDir dir;
    dir.write("bw.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\2\0\x18\x20", 18) + std::string(3, '\0') +
                            std::string(3, '\xff'));
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
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

TEST(S3DDrawSceneCorners, OpacityMapOnAWideTextureAndThroughItsTransform)
{
    // A 4 x 1 texture black, white, black, white. u 0.3, 0.55, 0.8 read columns 1, 2, 3: 1, 0, 1.
    // With the transform's offset u 0.25 (u' = u - 0.25): columns 0, 1, 2: 0, 1, 0.
    const auto channel = [](const std::string& mapValues) {
        ScratchDir dir;
        dir.write("bw.tga", tga(4, 1, {0u, 0xFFFFFFu, 0u, 0xFFFFFFu}));
        auto s = sceneFromText(
            dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                       "   vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0.3 0.5  0.55 0.5  0.8 0.5 ] }"
                       " faceData { faces [ 0 1 2 ] textureFaces [ 0 1 2 ] } }\n",
                       subMaterial("", " textureMap { values { fileName \"bw.tga\" " + mapValues + " } }")));
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

TEST(S3DMoreCases, OpacityMapSumsRedGreenAndBlue)
{
    // A 1 x 1 texture (51, 102, 204): (51 + 102 + 204) / 765 = 0.4666667 at every texture vertex.
    ScratchDir dir;
    dir.write("c.tga", tga(1, 1, {0x3366CCu}));
    auto s = sceneFromText(dir, sceneWithBody(" triObjects { triObject { header { name \"o\" } material 0\n"
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

} // namespace
