// Scene data a crafted or unusual file brings: channels whose length no longer matches the
// vertices, lists announcing more items than they hold, many skin bones among many objects,
// huge indices in OBJ faces and in parameter keys, and the state the scene and the draw manager
// keep when a call is refused.
#include <string>

#include "SceneFromText.h"
#include "control/LECXController.h"
#include "image/CImage32.h"
#include "s3d/LECXControllerL3XParam.h"
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
    S3DTriObject& o = scene->getTriObjects()[0];
    ASSERT_EQ(o.getNbVertex(), 4000);
    ASSERT_EQ(o.getNbFace(), 1);
    EXPECT_EQ(o.softSelection(), nullptr);
    EXPECT_EQ(o.extraPoints(), nullptr);
    ASSERT_EQ(scene->getNbShape(), 1);
    EXPECT_EQ(scene->getShapes()[0]->vertexValues(), nullptr);
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

// Every scene list makes the count it announces, items missing from the file staying
// default-constructed, without a report; the defaults update, prepare and draw harmlessly.
TEST(S3DSceneData, ListsMakeTheirCountWithDefaultsForItemsMissing)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene {\n triObjects 1000 {} shapes 1000 {} lights 1000 {} cameras 1000 {}\n"
                                    " materials 1000 { material { name \"m\" } } wsModifiers 1000 {}\n"
                                    " dummies 1000 { dummy { header { name \"d\" } } }\n}\n");
    EXPECT_EQ(reports.count(), 0u) << reports.reports()[0].text;
    ASSERT_EQ(scene->getNbTriObject(), 1000);
    ASSERT_EQ(scene->getNbShape(), 1000);
    ASSERT_EQ(scene->getNbLight(), 1000);
    ASSERT_EQ(scene->getNbCamera(), 1000);
    ASSERT_EQ(scene->getNbMaterial(), 1000);
    ASSERT_EQ(scene->getNbWSModifier(), 1000);
    ASSERT_EQ(scene->getNbDummy(), 1000);
    EXPECT_EQ(scene->getTriObjects()[999].getNbVertex(), 0);
    EXPECT_EQ(scene->getShapes()[999], nullptr);
    EXPECT_EQ(scene->getLights()[999].m_type, 1);
    EXPECT_FLOAT_EQ(scene->getCameras()[999].getFov(), 1.5707964f);
    EXPECT_STREQ(scene->getMaterial(0)->m_name.getName(), "m");
    EXPECT_STREQ(scene->getMaterial(999)->m_name.getName(), "NULL");
    EXPECT_EQ(scene->getWSModifiers()[999].getModifier(), nullptr);
    EXPECT_EQ(scene->findObject("d"), &scene->getDummies()[0].m_header);

    CImage32Buffered image(64, 32);
    ViewPort viewPort;
    viewPort.setScreen(&image);
    scene->setViewPort(&viewPort);
    scene->setCamera(999);
    scene->update(1);
    scene->prepare();
    scene->render();
    EXPECT_EQ(reports.count(), 0u);
}

// Repeated list chunks cannot ask for defaults without end: past every list once at its largest
// count, a list keeps the items it holds and says so.
TEST(S3DSceneData, DefaultItemsAreBoundedPerScene)
{
    std::string lists;
    for (int i = 0; i < 8; ++i) lists += " dummies 65535 { dummy { header { name \"d" + std::to_string(i) + "\" } } }\n";
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera + lists + "}\n");
    EXPECT_EQ(countReports(reports, kCaption, "loading Dummy error: too many items missing from the file"), 1);
    ASSERT_EQ(scene->getNbDummy(), 1);
    EXPECT_STREQ(scene->getDummies()[0].m_header.m_name.getName(), "d7");
}

// Bones are found by name the way findObject finds them (tri objects before dummies, the first
// of a name), and finding one costs the same however many objects the scene holds: the lookup
// must not rebuild anything per bone (65535 dummies with 8000 bones once took a minute).
TEST(S3DSceneData, SkinBonesAreFoundByNameWithoutRebuildingPerBone)
{
    const char* const identity = "1 0 0  0 1 0  0 0 1  0 0 0";
    const auto sceneText = [identity](int nbDummy, int nbBone) {
        std::string bones, dummies;
        for (int b = 0; b < nbBone; ++b) bones += " \"d" + std::to_string(b * 7 % nbDummy) + "\" " + identity;
        for (int d = 0; d < nbDummy; ++d) dummies += " dummy { header { name \"d" + std::to_string(d) + "\" } }\n";
        // Bone "dup" names both a dummy (listed first in the file) and a tri object: the tri
        // object is the one found.
        return std::string("scene {\n") + kOneCamera + " materials { material { subMaterials { subMaterial { } } } }\n dummies {\n dummy { header { name \"dup\" node { values {"
               " position 0 100 0 } } } }\n" + dummies + " }\n triObjects {\n"
               "  triObject { header { name \"body\" } vertices { positions [ 1 2 3 ] }\n"
               "   modifiers { modifier 1 { parameters { skinTM " + identity + " bones [ \"dup\" " + identity + bones +
               " ] vertices [ 1 1 0 ] } } } stack { entry { modifier \"0\" } } }\n"
               "  triObject { header { name \"dup\" node { values { position 10 0 0 } } } }\n }\n}\n";
    };
    ScratchDir dir;
    const auto allocationsToLoad = [&dir](const std::string& text, const char* file) {
        dir.write(std::string(file) + ".txt", text);
        EXPECT_EQ(runL3xTool(dir, std::string(file) + ".txt " + file + ".l3x"), 0);
        S3DScene scene;
        AllocationCounter counter;
        scene.load((dir.path() + file + ".l3x").c_str());
        return counter.count();
    };
    const long fewBones = allocationsToLoad(sceneText(3000, 300), "few");
    const long manyBones = allocationsToLoad(sceneText(3000, 900), "many");
    // A bone costs its name and its entry among the hidden objects; rebuilding the list of 3000
    // headers per bone would add a dozen allocations more.
    EXPECT_LT(manyBones - fewBones, 600 * 6) << fewBones << " " << manyBones;

    ReportCapture reports;
    auto scene = sceneFromText(dir, sceneText(50, 20));
    EXPECT_EQ(reports.count(), 0u);
    S3DTriObject* body = scene->findTriObject("body");
    ASSERT_NE(body, nullptr);
    scene->update(0);
    scene->prepare();
    EXPECT_EQ(body->m_vertices[0], Point3D(11, 2, 3));
    EXPECT_FALSE(scene->findTriObject("dup")->m_visible);
}

// The shapes that the depth-ordered lists point to live as long as the scene: nothing outside
// the loader can destroy or replace them.
template <class Scene>
concept CanRemakeShapes = requires(Scene& s) { s.createShape(0); };
static_assert(!CanRemakeShapes<S3DScene>);

// A set-up refused for want of a screen keeps the whole previous binding: a point drawn next is
// tested against the previous depth buffer with its own width.
TEST(S3DSceneData, DrawManagerSetUpWithoutScreenKeepsThePreviousBinding)
{
    ReportCapture reports;
    S3DCamera camera;
    CImage32Buffered image(64, 64);
    ViewPort first, noScreen;
    first.setScreen(&image);
    noScreen.setScreen(128, 128);
    S3DDrawManager manager;
    manager.setup(&camera, &first);
    first.getZBuffer()[5 * 64 + 5] = 0xFFFFFFFFu;  // nearer than any point
    manager.setup(&camera, &noScreen);
    EXPECT_TRUE(reports.has(S3DDrawManager::kCaption, "pScreen NULL"));
    S3DProjectedVertex p;
    p.x = 5.5f;
    p.y = 5.5f;
    p.w = 0.01f;
    manager.drawPoint(p, 0xABCDEFu);
    EXPECT_EQ(image.m_pPixels[5 * 64 + 5], 0u);
    p.x = 6.5f;
    manager.drawPoint(p, 0xABCDEFu);
    EXPECT_EQ(image.m_pPixels[5 * 64 + 6], 0xABCDEFu);
}

// Face indices that do not fit any integer type are refused with their line, like those naming
// no vertex; the largest negative index is not negated.
TEST(S3DSceneData, ObjFaceIndicesAreRangeChecked)
{
    ScratchDir dir;
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n";
    const std::pair<const char*, const char*> cases[] = {
        {"f 1 2 -9223372036854775808\n", "face names a vertex that does not exist: -9223372036854775808"},
        {"f 1 2 -9223372036854775809\n", "face index out of range: -9223372036854775809"},
        {"f 1 2 99999999999999999999\n", "face index out of range: 99999999999999999999"},
        {"f 1 2 3/-9223372036854775809\n", "face index out of range: 3/-9223372036854775809"},
        {"f 1 2 4294967298\n", "face names a vertex that does not exist: 4294967298"},
    };
    for (const auto& [face, message] : cases) {
        dir.write("bad.obj", obj + "\n" + face);
        dir.write("bad.txt", "scene { triObjects { triObject { obj \"bad.obj\" } } }\n");
        std::string out;
        EXPECT_EQ(runL3xTool(dir, "bad.txt bad.l3x", &out), 1) << face;
        EXPECT_NE(out.find(std::string("bad.obj:6: ") + message), std::string::npos) << out;
    }
    // Negative indices still count from the end, texture indices too.
    dir.write("ok.obj", obj + "f -3/1 -2/-1 -1/+1\n");
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene { triObjects { triObject { obj \"ok.obj\" } } }\n");
    ASSERT_EQ(scene->getNbTriObject(), 1);
    ASSERT_EQ(scene->getTriObjects()[0].getNbFace(), 1);
    EXPECT_EQ(scene->getTriObjects()[0].m_faces[0].vertex[2], 2);
    EXPECT_TRUE(scene->getTriObjects()[0].m_hasTextureFaces);
}

// The index word of MTL and MODIFIERGIZMO keys is read as a decimal int; one that does not fit
// is reported with its key and finds nothing (it once wrapped to some index and found a target).
TEST(S3DSceneData, IndexWordsOfParameterKeysAreRangeChecked)
{
    ScratchDir dir;
    auto scene = sceneFromText(dir, "scene {\n triObjects { triObject { header { name \"obj\" }\n"
                                    "  vertices { positions [ 0 0 0 ] } modifiers { modifier 10 { } modifier 3 { } } } }\n"
                                    " materials { material { name \"mat\" subMaterials { subMaterial { } subMaterial { } } } }\n}\n");
    const char* const keys[] = {"MTL mat 2147483647 POLYOPACITY", "MTL mat -2147483648 POLYOPACITY",
                                "MTL mat 2147483648 POLYOPACITY", "MODIFIERGIZMO obj 4294967297 POSX",
                                "MODIFIERGIZMO obj 3x POSX"};
    LECXControllerParam params[5];
    float value = 0.0f;
    LECXControllerL3XParamManager manager;
    manager.resize(5);
    ReportCapture reports;
    for (int i = 0; i < 5; ++i) {
        params[i].m_name = keys[i];
        manager.create(i, &params[i], scene.get(), &value);
    }
    // 2147483647 and -2147483648 fit and find a sub-material; "3x" reads as 3, as "%d" reads it,
    // which modulo two modifiers is the bend (a gizmo; index 0, the spherify, is not).
    EXPECT_EQ(manager.get(0)->hasTarget(), true);
    EXPECT_EQ(manager.get(1)->hasTarget(), true);
    EXPECT_EQ(manager.get(2)->hasTarget(), false);
    EXPECT_EQ(manager.get(3)->hasTarget(), false);
    EXPECT_EQ(manager.get(4)->hasTarget(), true);
    EXPECT_TRUE(reports.has("LECXControllerL3XParamMaterial",
                            "index out of range: 2147483648, key: MTL mat 2147483648 POLYOPACITY"));
    EXPECT_TRUE(reports.has("LECXControllerL3XParamModifierGizmo",
                            "index out of range: 4294967297, key: MODIFIERGIZMO obj 4294967297 POSX"));
    EXPECT_EQ(reports.count(), 2u);
}

} // namespace
