// Scene data a crafted or unusual file brings: channels whose length no longer matches the
// vertices, lists announcing more items than they hold, many skin bones among many objects,
// and the state the scene and the draw manager keep when a call is refused.
#include <string>

#include "SceneFromText.h"
#include "image/CImage32.h"
#include "support/AllocationCounter.h"

namespace {

const char* const kCaption = "S3DScene warning:";

int countReports(const ReportCapture& reports, const std::string& caption, const std::string& text)
{
    int n = 0;
    for (const auto& r : reports.reports()) n += r.caption == caption && r.text == text;
    return n;
}

// Channels read while the object had three vertices, then a positions record of 4000: the face
// on the last three vertices draws with kind 2, whose second value names "softSelection", and the
// stack blends by the same weights. The channels are reported once and neither reads them.
TEST(S3DSceneData, ChannelsOfAnotherLengthThanTheVerticesAreReportedOnceAndNotUsed)
{
    std::string positions;
    for (int i = 0; i < 3997; ++i) positions += std::to_string(i % 7) + " " + std::to_string(i % 5) + " -60 ";
    positions += " -10 -10 -50  10 -10 -50  0 10 -50";
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(
        dir, std::string("scene {\n") + kOneCamera +
                 "  materials { material { name \"m\" subMaterials { subMaterial { shading { values {"
                 " paletteEnabled 1 twoSided 1 } } } } } }\n"
                 "  triObjects { triObject { header { name \"crafted\" } material 0\n"
                 "    vertices { positions [ 0 0 -50  1 0 -50  0 1 -50 ] softSelection [ 0.25 0.5 0.75 ]\n"
                 "               extraPoints [ 1 1 1  2 2 2  3 3 3 ] positions [ " + positions + " ] }\n"
                 "    faceData { faces [ 3997 3998 3999 ] }\n"
                 "    modifiers { modifier 10 { parameters { percent 50 } } }\n"
                 "    stack { entry { modifier \"0\" softSelection { useChannel 1 channel \"softSelection\" } } }\n"
                 "    parameterBlocks { block1 { value1 1 text \"softSelection\" } } } }\n"
                 "  shapes { shape 1 { common { vertices { positions [ 0 0 0 ] vertexValues [ 7 ]\n"
                 "                                         positions [ 0 0 0  1 1 1 ] } } } }\n"
                 "}\n");
    ASSERT_EQ(scene->getNbTriObject(), 1);
    S3DTriObject& o = scene->m_triObjects[0];
    ASSERT_EQ(o.getNbVertex(), 4000);
    ASSERT_EQ(o.getNbFace(), 1);
    EXPECT_EQ(o.softSelection(), nullptr);
    EXPECT_EQ(o.extraPoints(), nullptr);
    ASSERT_EQ(scene->getNbShape(), 1);
    EXPECT_EQ(scene->m_shapes[0]->vertexValues(), nullptr);
    ASSERT_EQ(o.m_modifierStack.getSteps().size(), 1u);
    EXPECT_EQ(o.m_modifierStack.getSteps()[0].weights, nullptr);

    CImage32Buffered image(128, 64);
    ViewPort viewPort;
    for (int frame = 0; frame < 3; ++frame) {
        viewPort.setScreen(&image);
        viewPort.clearZBuffer();
        scene->setViewPort(&viewPort);
        scene->update(float(frame));
        scene->prepare();
        scene->render();
    }
    // The face was drawn (the second value the channel would have given is 1 throughout).
    EXPECT_NE(image.m_pPixels[32 * 128 + 64], 0u);
    EXPECT_EQ(countReports(reports, "S3DTriObject warning: crafted",
                           "load: 3 softSelection weights for 4000 vertices (not used)"), 1);
    EXPECT_EQ(countReports(reports, "S3DTriObject warning: crafted", "load: 3 extra points for 4000 vertices (not used)"), 1);
    EXPECT_EQ(countReports(reports, "S3DShape warning: NULL", "load: 1 vertex values for 2 vertices (not used)"), 1);
}

} // namespace
