// Loaded values at their edges: a face or texture face naming one past the last vertex, the
// loaded box taken per axis, the material blocks' tracks with the generator's switch, values
// stored without a meaning of their own, modifiers and names that cannot be used, and the lines
// of outlined faces.
#include <gtest/gtest.h>

#include "SceneFromText.h"
#include "s3d/S3DMorph.h"
#include "support/PointExpect.h"

namespace {

TEST(LoadedValues, FacesOnePastTheLastVertexAreDroppedAndTheBoxIsPerAxis)
{
    // "edge": a face whose first corner is vertex 3 of three is dropped. "tex": the second
    // texture face's last corner names texture vertex 3 of three, so no face keeps texture
    // coordinates.
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene { triObjects {\n"
                                    " triObject { header { name \"edge\" }\n"
                                    "  vertices { positions [ 1 5 -2  3 -4 6  0 0 0 ] }\n"
                                    "  faceData { faces [ 0 1 2  3 1 2 ] } }\n"
                                    " triObject { header { name \"tex\" }\n"
                                    "  vertices { positions [ 0 0 0  1 0 0  0 1 0 ] textureVertices [ 0 0  1 0  0 1 ] }\n"
                                    "  faceData { faces [ 0 1 2  0 2 1 ] textureFaces [ 2 1 0  0 1 3 ] } }\n"
                                    "} }\n");
    const S3DTriObject& edge = *scene->findTriObject("edge");
    ASSERT_EQ(edge.getNbFace(), 1);
    EXPECT_EQ(edge.m_faces[0].vertex[0], 0);
    EXPECT_TRUE(reports.has("S3DTriObject warning: edge", "load: faces name vertices that do not exist (dropped)"));
    expectNear(edge.m_boundsMin, {0, -4, -2});
    expectNear(edge.m_boundsMax, {3, 5, 6});

    const S3DTriObject& tex = *scene->findTriObject("tex");
    ASSERT_EQ(tex.getNbFace(), 2);
    EXPECT_FALSE(tex.m_hasTextureFaces);
    EXPECT_EQ(tex.m_faces[0].textureVertex[0], 0);
    EXPECT_TRUE(reports.has("S3DTriObject warning: tex", "load: texture faces name texture vertices that do not exist (ignored)"));
}


TEST(LoadedValues, MaterialBlockTracksFillTheirOwnSlotsAndGeneratorTracksNeedTheGenerator)
{
    // params1's value10 track fills value 0 and params2's value13 track value 3 (8 and 4 at
    // frame 5). Generator tracks drive the generator values only where the generator is on. The
    // sub-material's own texture map follows its tracks too, and its transform is prepared:
    // tileU 2 about the centre gives u' = 2u - 0.5.
    ScratchDir dir;
    dir.write("t.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) + std::string(12, '\x40'));
    auto scene = sceneFromText(
        dir, "scene { materials { material { name \"m\" subMaterials {\n"
             " subMaterial { shading { values { textureMap1 { values { generator 0 }"
             "  tracks { generator1 linear { key 0 5 } generator3 linear { key 0 6 } } } } }\n"
             "  params1 { tracks { value10 linear { key 0 3  key 10 13 } } }\n"
             "  params2 { tracks { value13 linear { key 0 4 } } } }\n"
             " subMaterial { shading { values { textureMap1 { values { generator 1 }"
             "  tracks { generator2 linear { key 0 5 } generator3 linear { key 0 6 } } } } } }\n"
             " subMaterial { textureMap { values { fileName \"t.tga\" useTransform 1 } tracks { tileU linear { key 0 2 } } } }\n"
             "} } } }\n");
    S3DMaterial& m = scene->getMaterials()[0];
    m.update(5);
    const S3DSubMaterial& off = m.m_subMaterials[0];
    EXPECT_EQ(off.m_params1.m_value[0], 8.0f);
    EXPECT_EQ(off.m_params2.m_value[3], 4.0f);
    EXPECT_EQ(off.m_params2.m_value[2], 0.0f);
    for (float g : off.m_texture1.m_generatorValue) EXPECT_EQ(g, 0.0f);
    const S3DSubMaterial& on = m.m_subMaterials[1];
    EXPECT_EQ(on.m_texture1.m_generatorValue[0], 0.0f);
    EXPECT_EQ(on.m_texture1.m_generatorValue[1], 5.0f);
    EXPECT_EQ(on.m_texture1.m_generatorValue[2], 6.0f);
    m.prepare();
    const S3DTextureMap& own = m.m_subMaterials[2].m_texture3;
    EXPECT_EQ(own.m_tileU, 2.0f);
    ASSERT_TRUE(own.hasUVMatrix());
    float u = 0, v = 0;
    own.transformUV(1.0f, 0.25f, u, v);
    EXPECT_NEAR(u, 1.5f, 1e-6f);
    EXPECT_NEAR(v, 0.25f, 1e-6f);
}

TEST(LoadedValues, StoredValuesOfMaterialsObjectsAndTheSceneLandInTheFieldsTheyName)
{
    // Values whose meaning is left open are still kept, each in its own field: every texture map
    // value, the shading's values 16 and 20 and second map, both parameter blocks, an object's
    // texture layers and parameter blocks (4-byte values written as bytes), its face extras and
    // raw channel records, and the scene's option 2.
    ScratchDir dir;
    const std::string map = "values { cropU 0.125 cropV 0.25 cropW 0.5 cropH 0.75 offsetU 1 offsetV 2 tileU 3 tileV 4"
                            " angle 5 useTransform 6 environmentMap 7 textureMode 8 generator 9 value24 10.5"
                            " value25 11 value26 12.5 value27 13 value28 14 useCrop 15 }";
    auto scene = sceneFromText(
        dir, "scene {\n option2 7\n materials { material { name \"m\" subMaterials { subMaterial {\n"
             "  shading { values { bilinear 1 value16 3 value20 0.5 textureMap1 { " + map + " } textureMap2 { values { tileV 6 } } } }\n"
             "  params1 { values { value10 1.5 value16 2.5 } }\n"
             "  params2 { values { value11 3.5 text \"t\" value18 4.5 } } } } } }\n"
             " triObjects { triObject { header { name \"o\" }\n"
             "  vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }\n"
             "  faceData { faces [ 0 1 2  0 2 1 ] extraValues [ 5 6 ] }\n"
             "  channels1 { channel bytes [ 01 02 ]  channel bytes [ 03 ] } channels3 { channel bytes [ 09 ] }\n"
             "  parameterBlocks { block3 { value2 bytes [ 07 00 00 00 ] text \"w\" } }\n"
             "  textureLayer2 { value1 bytes [ 08 00 00 00 ] textureMap { values { tileU 2 } } } } }\n}\n");
    EXPECT_EQ(scene->m_option2, 7);
    const S3DSubMaterial& sub = scene->getMaterials()[0].m_subMaterials[0];
    const S3DTextureMap& t = sub.m_texture1;
    EXPECT_EQ(Point3D(t.m_cropU, t.m_cropV, t.m_cropW), Point3D(0.125f, 0.25f, 0.5f));
    EXPECT_EQ(Point3D(t.m_cropH, t.m_offsetU, t.m_offsetV), Point3D(0.75f, 1, 2));
    EXPECT_EQ(Point3D(t.m_tileU, t.m_tileV, t.m_angle), Point3D(3, 4, 5));
    EXPECT_EQ(Point3D(t.m_value24, t.m_value26, 0), Point3D(10.5f, 12.5f, 0));
    const int32_t ints[] = {t.m_useTransform, t.m_environmentMap, t.m_textureMode, t.m_generator,
                            t.m_value25,      t.m_value27,        t.m_value28,     t.m_useCrop};
    const int32_t want[] = {6, 7, 8, 9, 11, 13, 14, 15};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ints[i], want[i]) << i;
    EXPECT_EQ(sub.m_bilinear, 1);
    EXPECT_EQ(sub.m_twoSided, 0);
    EXPECT_EQ(sub.m_value16, 3);
    EXPECT_EQ(sub.m_value20, 0.5f);
    EXPECT_EQ(sub.m_texture2.m_tileV, 6.0f);
    EXPECT_EQ(sub.m_params1.m_value[0], 1.5f);
    EXPECT_EQ(sub.m_params1.m_value[6], 2.5f);
    EXPECT_EQ(sub.m_params2.m_value[1], 3.5f);
    EXPECT_STREQ(sub.m_params2.m_text.getName(), "t");
    EXPECT_EQ(sub.m_params2.m_value[8], 4.5f);

    const S3DTriObject& o = *scene->findTriObject("o");
    EXPECT_EQ(o.m_faces[0].extra, 5);
    EXPECT_EQ(o.m_faces[1].extra, 6);
    EXPECT_EQ(o.m_channelRecords[0], (std::vector<std::vector<uint8_t>>{{1, 2}, {3}}));
    EXPECT_TRUE(o.m_channelRecords[1].empty());
    EXPECT_EQ(o.m_channelRecords[2], (std::vector<std::vector<uint8_t>>{{9}}));
    const S3DValueBlock& block = o.m_paramBlocks[2];
    EXPECT_EQ(block.value2, 7u);
    EXPECT_STREQ(block.text.getName(), "w");
    const S3DValueBlock& layer = o.m_textureLayers[1];
    EXPECT_EQ(layer.value1, 8u);
    ASSERT_NE(layer.pTextureMap, nullptr);
    EXPECT_EQ(layer.pTextureMap->m_tileU, 2.0f);
    EXPECT_EQ(o.m_textureLayers[0].value1, 0u);
}

TEST(LoadedValues, UnusableModifiersNamesAndShortRecordsAreReported)
{
    // Type 12 acts in world space only; a wave (6) has no world-space kind; a morph with no
    // targets; a world-space binding and a light naming nothing in the scene; records shorter
    // than their counts. A list announcing a few items more than it holds is not one of them.
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(
        dir, "scene {\n triObjects { triObject { header { name \"o\" } vertices { positions [ 0 0 0 ] }\n"
             "  modifiers { modifier 12 { } modifier 2 { parameters { targets { } } } }\n"
             "  wsBindings { binding { name \"nope\" } } lights { light \"dark\" } }\n"
             " triObject { header { name \"short\" } vertices { positions [ 0 0 0 ] } faceData { faces bytes [ 05 00 01 00 ] }\n"
             "  modifiers { modifier 1 { parameters { vertices bytes [ 01 00 00 00 05 00 ] } } } }\n"
             // Three lights announced, one present, room for three chunk headers; a sub-material
             // record one face short.
             " triObject { header { name \"few\" } vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }\n"
             "  lights bytes [ 03 00  ef 07 08 00 00 00 61 00  01 00 0c 00 00 00 00 00 00 00 00 00 ]\n"
             "  faceData { faces [ 0 1 2  0 2 1 ] subMaterials bytes [ 01 00 ] } } }\n"
             " wsModifiers { wsModifier { header { name \"w\" } modifier 6 { } } }\n}\n");
    const S3DTriObject& o = *scene->findTriObject("o");
    ASSERT_EQ(o.m_modifiers.size(), 1u);
    EXPECT_EQ(o.m_modifiers[0]->getType(), 2);
    EXPECT_EQ(static_cast<const S3DModifierMorph&>(*o.m_modifiers[0]).getNbTarget(), 0);
    EXPECT_EQ(scene->findWSModifier("w")->getModifier(), nullptr);
    EXPECT_TRUE(reports.has("S3DTriObject warning: o", "can t find modifier with id: 12"));
    EXPECT_TRUE(reports.has("WSModifier: ", "can t find modifier with id: 6"));
    EXPECT_TRUE(reports.has("S3DModifierMorph", "loadTargetList: m_nbTarget <= 0"));
    EXPECT_TRUE(reports.has("S3DScene warning:", "Warning can't find WSModifier:nope"));
    EXPECT_TRUE(reports.has("S3DScene warning:", "Can t find light: dark"));
    EXPECT_EQ(o.m_lights[0], nullptr);
    // Records shorter than their counts: five faces in four bytes, a skin vertex of five bones
    // in none.
    EXPECT_EQ(scene->findTriObject("short")->getNbFace(), 0);
    EXPECT_TRUE(reports.has("S3DTriObject warning: short", "load: face count larger than its chunk"));
    EXPECT_TRUE(reports.has("S3DModifierSkin warning:", "loadVertexList: vertex entry larger than its chunk"));
    const S3DTriObject& few = *scene->findTriObject("few");
    ASSERT_EQ(few.m_lightNames.size(), 3u);
    EXPECT_STREQ(few.m_lightNames[0].getName(), "a");
    EXPECT_FALSE(reports.has("S3DTriObject warning: few", "load: light list: count larger than its chunk"));
    EXPECT_TRUE(reports.has("S3DTriObject warning: few", "load: face record shorter than the faces"));
    EXPECT_EQ(few.m_faces[0].subMaterialNumber, 0);
}

TEST(LoadedValues, OutlinedFacesLineTheirEdgesInOrder)
{
    // Polygon building 2 lines every edge of a face, 3 its first two (the closing edge stays
    // unlined), each in its sub-material's line colour. Building 1 pairs faces into quads; a
    // pair without a shared edge stays two triangles.
    ScratchDir dir;
    const auto object = [](const char* name, const char* building) {
        return std::string(" triObject { header { name \"") + name + "\" } material 0 " + building +
               " vertices { positions [ 0 0 0  1 0 0  0 1 0 ] } faceData { faces [ 0 1 2 ] } }\n";
    };
    auto scene = sceneFromText(dir, "scene { materials { material { name \"m\" subMaterials { subMaterial {"
                                    " shading { values { paletteEnabled 1 } } } } } }\n triObjects {\n" +
                                        object("all", "option1 2") + object("open", "option1 3") +
                                        " triObject { header { name \"pairs\" } material 0 option1 1\n"
                                        "  vertices { positions [ 0 0 0  1 0 0  0 1 0  5 5 0  6 5 0  5 6 0 ] }\n"
                                        "  faceData { faces [ 0 1 2  3 4 5 ] } }\n} }\n");
    const uint32_t* colour = &scene->getMaterials()[0].m_subMaterials[0].m_lineColour;
    for (const char* name : {"all", "open"}) {
        const S3DTriObject& o = *scene->findTriObject(name);
        const size_t n = std::string(name) == "all" ? 3 : 2;
        ASSERT_EQ(o.m_lines.size(), n) << name;
        for (size_t k = 0; k < n; ++k) {
            EXPECT_EQ(o.m_lines[k].vertex[0], &o.m_projected[k]) << name << k;
            EXPECT_EQ(o.m_lines[k].vertex[1], &o.m_projected[(k + 1) % 3]) << name << k;
            EXPECT_EQ(o.m_lines[k].colour, colour) << name << k;
        }
    }
    const S3DTriObject& pairs = *scene->findTriObject("pairs");
    ASSERT_EQ(pairs.m_drawOps.size(), 1u);
    const std::vector<S3DPolygon>& polygons = pairs.m_drawOps[0].polygons;
    ASSERT_EQ(polygons.size(), 2u);
    for (size_t f = 0; f < 2; ++f) {
        EXPECT_EQ(polygons[f].n, 3) << f;
        EXPECT_EQ(polygons[f].face, f);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(polygons[f].vertex[k], 3 * f + size_t(k)) << f << k;
    }
    EXPECT_TRUE(pairs.m_lines.empty());
}

} // namespace
