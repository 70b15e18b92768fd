// Loaded values at their edges: a face or texture face naming one past the last vertex, the
// loaded box taken per axis, and the material blocks' tracks with the generator's switch.
#include <gtest/gtest.h>

#include "SceneFromText.h"
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
    // frame 5). Generator tracks drive the generator values only where the generator is on.
    ScratchDir dir;
    auto scene = sceneFromText(
        dir, "scene { materials { material { name \"m\" subMaterials {\n"
             " subMaterial { shading { values { textureMap1 { values { generator 0 }"
             "  tracks { generator1 linear { key 0 5 } generator3 linear { key 0 6 } } } } }\n"
             "  params1 { tracks { value10 linear { key 0 3  key 10 13 } } }\n"
             "  params2 { tracks { value13 linear { key 0 4 } } } }\n"
             " subMaterial { shading { values { textureMap1 { values { generator 1 }"
             "  tracks { generator2 linear { key 0 5 } generator3 linear { key 0 6 } } } } } }\n"
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
}

} // namespace
