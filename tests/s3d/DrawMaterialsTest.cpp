// Sub-materials and the drawing kinds they choose, with hand-worked values: the kind table, the
// pass of each sub-material and the negative palette, the palette from colours, opacity and
// negative, material tracks and the ambient term, the second value's weights, and the linked-image
// kind with crops written in the file.
#include <string>
#include <vector>

#include "S3DTestSupport.h"
#include "s3d/S3DDrawManager.h"

namespace {

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
        subText += subMaterial(subs[i]);
        faces += " 0 1 2";
        numbers += std::string(" ") + std::to_string(i);
    }
    subText += "  subMaterial { }\n";  // palette disabled: no draw operation
    faces += " 0 1 2";
    numbers += " 9";
    auto s = sceneFromText(dir, sceneWithObjects(std::string("  triObject { header { name \"o\" } material 0 vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }")
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

TEST(S3DRender, PaletteFollowsColoursOpacityAndNegative)
{
    S3DSubMaterial s;
    s.m_paletteEnabled = 1;
    s.m_diffuse = {0, 0, 0};
    s.m_specular = {1, 1, 1};
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0xFFFFFFu);
    // n = 1: b = cos(pi / 512) = 0.9999812, b^20 = 0.99962; 255 b^20 = 254.9 -> 254.
    EXPECT_EQ(s.m_palette[254], 0xFEFEFEu);
    // n = 20: b^20 = 0.99247^20 = 0.860; 255 * 0.860 = 219.3 -> 219 (0xDB): specular falls fast.
    EXPECT_EQ(s.m_palette[235], 0xDBDBDBu);
    EXPECT_EQ(s.m_paletteDirty, 0);

    // Diffuse white at opacity 0.5: every entry halves (127.5 b truncated). n = 255: b = 0.0061359.
    s.m_specular = {0, 0, 0};
    s.setDiffuse({1, 1, 1});
    s.setOpacity(0.5f);
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0x7F7F7Fu);
    EXPECT_EQ(s.m_palette[0], 0x000000u);  // 127.5 * 0.0061 = 0.78 -> 0
    s.setOpacity(1.0f);
    s.m_negative = 1;
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0x000000u);
    EXPECT_EQ(s.m_palette[0], 0xFEFEFEu);  // 255 * 0.0061 = 1.56 -> 1, inverted
}

TEST(S3DDraw, MaterialTracksAndTheAmbientTermOfThePalette)
{
    // Each colour track drives its own colour. The ambient term is the same at every index:
    // 255 × (0.2, 0.4, 0.6) = (51, 102, 153) down to index 0.
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("", "  subMaterial { shading { values { paletteEnabled 1 diffuse 0 0 0"
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

TEST(S3DDrawSceneCorners, SecondValueTakesItsWeightsInvertedWhenAsked)
{
    // Soft selection 0.25 at every corner of a face lit white (no light: every light value 1),
    // over black: weight 0.25 · 255 = 63.75 draws 255 · 63 / 256 = 62; inverted (the block's
    // second value) 255 - 63.75 = 191.25 draws 255 · 191 / 256 = 190.
    for (int invert : {0, 1}) {
        ScratchDir dir;
        auto s = sceneFromText(
            dir, sceneWithObjects("  triObject { header { name \"o\" } material 0 parameterBlocks { block1 { value1 1 value2 " +
                           std::to_string(invert) + " text \"softSelection\" } }"
                           " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] softSelection [ 0.25 0.25 0.25 ] }"
                           " faceData { faces [ 0 1 2 ] } }\n",
                       subMaterial("twoSided 1 diffuse 1 1 1")));
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
        dir, sceneWithObjects("  triObject { header { name \"o\" } material 0 parameterBlocks { block1 { value1 1 text \"opacityMap\" } }"
                   " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ]"
                   " textureVertices [ 0.25 0.5  0.75 0.5  0.75 0.5  0.75 0.5 ] }"
                   " faceData { faces [ 0 1 2 ] textureFaces [ 1 2 3 ] } }\n",
                   subMaterial("twoSided 1 diffuse 1 1 1", " textureMap { values { fileName \"bw.tga\" } }")));
    SceneFrame frame;
    frame.render(*s);
    EXPECT_EQ(frame.at(256, 140) & 0xFFFFFFu, 0xFEFEFEu);
    EXPECT_EQ(frame.at(220, 170) & 0xFFFFFFu, 0xFEFEFEu);
}

TEST(S3DDrawSceneCorners, ImageLinkDrawsByTheLightAloneAndCropsComeFromTheFile)
{
    // An object whose first texture layer is on draws with the linked-image kind whatever the
    // opacity kind: the light value (1, no light) takes the fully lit green.
    ScratchDir dir;
    auto linked = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0 textureLayer1 { value1 1 }"
                                           " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] } faceData { faces [ 0 1 2 ] } }\n",
                                           subMaterial("twoSided 1 opacityKind 200 diffuse 0 1 0")));
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
        auto s = sceneFromText(dir, sceneWithObjects(std::string("  triObject { header { name \"o\" } material 0 ") + k.link + triangle,
                                          subMaterial("twoSided 1 opacityKind 1 diffuse 0 1 0")));
        SceneFrame f;
        f.render(*s);
        EXPECT_EQ(f.at(256, 140) & 0xFFFFFFu, k.want) << k.link;
    }

    // A crop written in the file: (0.25, 0.25, 0.5, 0.25) of a 4 x 4 image is columns 1, 2 of row
    // 1 (top first). Pixel (x, y) holds 0x10 y + x + 1.
    std::vector<uint32_t> texels;
    for (uint32_t i = 0; i < 16; ++i) texels.push_back(0x10u * (i / 4) + i % 4 + 1);
    dir.write("c.tga", tga(4, 4, texels));
    auto cropped = sceneFromText(dir, sceneWithObjects("", subMaterial("textureMap1 { values { fileName \"c.tga\" useCrop 1 cropU 0.25 cropV 0.25"
                                                    " cropW 0.5 cropH 0.25 } }")));
    const S3DTexture32* t = cropped->getMaterial(0)->getSubMaterial(0)->m_texture1.getTexture();
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->raster().width, 2);
    ASSERT_EQ(t->raster().height, 1);
    EXPECT_EQ(t->raster().pixels[0] & 0xFFFFFFu, 0x12u);
    EXPECT_EQ(t->raster().pixels[1] & 0xFFFFFFu, 0x13u);
}

} // namespace
