// Textures, with hand-worked texels: sizes, crops and rows, video frames by the scene time, the
// coordinates handed to the filler, the lit-texture kinds and the first map's texture mode,
// affine and perspective kinds, the flat textured kind and bilinear sampling.
#include <string>
#include <utility>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "support/FakeVideo.h"

namespace {

TEST(S3DRender, TexturesCheckTheirSizesAndTransformCoordinates)
{
    ReportCapture reports;
    CImage32Buffered wide(100, 64), tall(64, 48), square(4, 2);
    S3DTexture32 t;
    t.set(wide);
    EXPECT_TRUE(reports.has("S3DTexture32 warning !", "width is not a power of 2"));
    EXPECT_EQ(t.raster().pixels, nullptr);
    t.set(tall);
    EXPECT_TRUE(reports.has("S3DTexture32 warning !", "height is not a power of 2"));
    t.set(square);
    EXPECT_TRUE(t.isPowerOfTwo());
    EXPECT_EQ(t.m_maskU, 3u);
    EXPECT_EQ(t.m_shiftU, 2);
    EXPECT_EQ(t.m_shiftV, 1);
    EXPECT_EQ(t.getImage256()->getWidth(), 256);

    // A crop narrower than one pixel: 0.2 of 2 pixels truncates to 0.
    ScratchDir dir;
    const std::string tga = dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                                                   std::string(12, '\x40'));
    EXPECT_FALSE(t.load(tga.c_str(), true, 0, 0, 0.2f, 1));
    EXPECT_TRUE(reports.has("S3DTexture32 warning !", "load u v w h: bad dimension"));

    // "NULL" loads nothing and gets no UV matrix.
    S3DTextureMap none;
    none.m_useTransform = 1;
    none.loadTexture("");
    none.prepare();
    EXPECT_EQ(none.getTexture(), nullptr);
    EXPECT_FALSE(none.hasUVMatrix());

    // Tiles 2 about the centre: u' = 2 (u - 0.5) + 0.5. A quarter turn: u' = 1 - v, v' = u.
    S3DTextureMap map;
    map.m_fileName = "t.tga";
    map.loadTexture(dir.path().c_str());
    ASSERT_NE(map.getTexture(), nullptr);
    map.m_useTransform = 1;
    map.m_tileU = map.m_tileV = 2;
    map.prepare();
    float u, v;
    map.transformUV(0.0f, 1.0f, u, v);
    EXPECT_FLOAT_EQ(u, -0.5f);
    EXPECT_FLOAT_EQ(v, 1.5f);
    map.m_tileU = map.m_tileV = 1;
    map.m_angle = 1.5707964f;
    map.prepare();
    map.transformUV(1.0f, 0.0f, u, v);
    EXPECT_NEAR(u, 1.0f, 1e-6);
    EXPECT_NEAR(v, 1.0f, 1e-6);
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

TEST(S3DMoreCases, TextureRowsFollowItsOwnHeight)
{
    // A 1 x 2 texture, red over blue, on a square x, y -30 .. 30 at z = 0 (screen 179.2 .. 332.8
    // by 51.2 .. 204.8) with v = 1 along its top edge. Texel row (1 - v) × 2: at y' = 80,
    // v = 0.8125, row 0.375 (red); at y' = 180, v = 0.1614583, row 1.677 (blue).
    ScratchDir dir;
    dir.write("rb.tga", tga(1, 2, {0xFF0000u, 0x0000FFu}));
    auto s = sceneFromText(dir, sceneWithBody(" triObjects { triObject { header { name \"q\" } material 0\n"
                                      "  vertices { positions [ -30 -30 0  30 -30 0  30 30 0  -30 30 0 ]"
                                      " textureVertices [ 0 0  1 0  1 1  0 1 ] }\n"
                                      "  faceData { faces [ 0 1 2  0 2 3 ] textureFaces [ 0 1 2  0 2 3 ] } } }\n",
                                      subMaterial("opacityKind 200 textureMap1 { values { fileName \"rb.tga\" } }")));
    SceneFrame f;
    f.render(*s, SceneFrame::Depth::None);
    EXPECT_EQ(f.at(256, 80), 0xFF0000u);
    EXPECT_EQ(f.at(256, 180), 0x0000FFu);
}

TEST(S3DRender, VideoTextureShowsTheFrameOfTheSceneTime)
{
    ReportCapture reports;
    // Frame i of a 4x2 video is the uniform colour 0x000102 * i.
    FakeVideoPlatform video({{"ten.avi", FakeVideo::solid(4, 2, 10, [](int i) { return 0x000102u * uint32_t(i); })}});
    S3DSubMaterial s;
    s.m_texture1.m_fileName = "ten.avi";
    s.loadTextures("");
    ASSERT_NE(s.m_texture1.getTexture(), nullptr);
    s.prepare();
    EXPECT_EQ(s.raster().texture.pixels[0], 0u);  // frame 0 at load

    // The integer part of the time, modulo the 10 frames; a time before 0 counts back.
    const std::pair<float, uint32_t> cases[] = {{13.7f, 3}, {25.0f, 5}, {-1.5f, 9}, {3.0f, 3}};
    for (const auto& [time, frame] : cases) {
        s.update(time);
        s.prepare();
        EXPECT_EQ(s.raster().texture.pixels[0], 0x000102u * frame) << time;
        EXPECT_EQ(s.raster().texture.pixels[7], 0x000102u * frame) << time;
    }
    // The tiled copy follows too: it is the one a still texture of frame 3 has.
    CImage32Buffered three(4, 2);
    three.clear(0x000306u);
    S3DTexture32 still;
    still.set(three);
    const uint32_t* a = s.m_texture1.getTexture()->getImage256()->getPixels();
    EXPECT_TRUE(std::equal(a, a + 256 * 256, still.getImage256()->getPixels()));

    // Asking for a frame past the end shows nothing new.
    auto* avi = static_cast<S3DTextureAvi*>(s.m_texture1.m_pTexture.get());
    EXPECT_FALSE(avi->setFrame(10));
    EXPECT_TRUE(reports.has("S3DTextureAvi warning:", "no frame"));
    EXPECT_EQ(reports.count(), 1u);
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
        dir, sceneWithObjects(quad("plain", -70, -30, -30, 30, 0, 0) + quad("env", -20, 20, -30, 30, 0, 1) + quad("gen", 30, 70, -30, 30, 0, 2),
                   subMaterial(std::string("opacityKind 200 ") + map + "} }") +
                       subMaterial(std::string("opacityKind 200 ") + map + "environmentMap 1 useTransform 1 offsetU 0.25 offsetV -0.25 } }") +
                       subMaterial(std::string("opacityKind 200 ") + map + "generator 1 } tracks { generator1 linear { key 0 0.5 key 10 0.5 }"
                                                      " generator2 linear { key 0 0.25 key 10 0.25 } } }")));
    SceneFrame f;
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
    auto s = sceneFromText(dir, sceneWithObjects(quad("stencil", -70, -30, -30, 30, 0, 0) + quad("mul", 30, 70, -30, 30, 0, 1),
                                      subMaterial("opacityKind 2" + map + "} }") + subMaterial("opacityKind 1" + map + "textureMode 1 } }")));
    SceneFrame f;
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
        auto s = sceneFromText(dir, sceneWithObjects(wall, subMaterial("opacityKind " + std::to_string(kind) +
                                                    " textureMap1 { values { fileName \"row.tga\" } }")));
        SceneFrame f;
        f.render(*s);
        EXPECT_EQ(f.at(230, 128), want) << kind;
    }
}

TEST(S3DDrawDetails, FlatTexturedKindTakesTheFacesCoordinates)
{
    // Opacity kind 101 (flat textured), texture mode 1 (texel × lit colour >> 8
    // per byte), no light: every light value 1, flat index 255, palette entry 255
    // white: each quarter of the square shows its texel times 255 >> 8, 0xFE.
    ScratchDir dir;
    writeFourColourTexture(dir);
    auto s = sceneFromText(dir, sceneWithObjects(square("q", "0 1 2  0 2 3"),
                                                 subMaterial("opacityKind 101 ambient 0 0 0 diffuse 1 1 1 specular 0 0 0"
                                                             " textureMap1 { values { fileName \"t.tga\" textureMode 1 } }")));
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(345, 60), 0xFE0000u);  // top-left
    EXPECT_EQ(f.at(425, 60), 0x00FE00u);  // top-right
    EXPECT_EQ(f.at(345, 195), 0x0000FEu); // bottom-left
    EXPECT_EQ(f.at(425, 195), 0xFEFEFEu); // bottom-right
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
        auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0" + square,
                                          subMaterial("twoSided 1 opacityKind 200 bilinear " + std::to_string(bilinear) +
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

} // namespace
