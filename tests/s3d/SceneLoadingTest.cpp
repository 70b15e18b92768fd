// Loading scenes: the root chunk, list counts and their defaults, lookups, camera selection, the
// camera and light edge cases, the hierarchy and its cycles, malformed records and short lists,
// channels of another length than the vertices, faces one past the last vertex, the loaded box,
// the material blocks' tracks, stored values, unusable modifiers and names, outlined faces' lines,
// range-checked indices, and the state kept when a call is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "S3DTestSupport.h"
#include "control/LECXController.h"
#include "image/CImage32.h"
#include "s3d/LECXControllerL3XParam.h"
#include "s3d/S3DMorph.h"
#include "support/AllocationCounter.h"
#include "support/ChunkBytes.h"
#include "support/PointExpect.h"

namespace {

std::string dummy(const char* name, const char* parent, const char* values = "")
{
    return std::string("    dummy { header { name \"") + name + "\" parent \"" + parent + "\" node { values { " +
           values + " } } } }\n";
}

TEST(S3DScene, RootMustBeTheSceneChunk)
{
    ChunkBytes b;
    const size_t root = b.open(0x1234);
    const size_t list = b.open(150);
    b.v.push_back(1);
    b.v.push_back(0);
    b.close(b.open(151));
    b.close(list);
    b.close(root);
    ReportCapture reports;
    S3DScene scene;
    scene.load("bad.l3x", b.v.data(), b.v.size());
    EXPECT_TRUE(reports.has(kCaption, "not a l3x file"));
    EXPECT_EQ(scene.getNbDummy(), 0);
}

TEST(S3DScene, ListsLoadTheirCountAndReportExtraItems)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n  dummies 3 {\n") + dummy("a", "NULL") + dummy("b", "NULL") +
                                        dummy("c", "NULL") + dummy("d", "NULL") +
                                        "  }\n  materials 2 { material { name \"m\" } }\n  lights 60000 {}\n}\n");
    EXPECT_EQ(scene->getNbDummy(), 3);
    EXPECT_EQ(scene->findObject("d"), nullptr);
    int extra = 0;
    for (const auto& r : reports.reports()) extra += r.text == "loading Dummy error";
    EXPECT_EQ(extra, 1);
    // Items missing from a list stay default, however many: the count is made as it is, without
    // a word. No camera is reported.
    ASSERT_EQ(scene->getNbMaterial(), 2);
    EXPECT_STREQ(scene->getMaterial(0)->m_name.getName(), "m");
    ASSERT_EQ(scene->getNbLight(), 60000);
    EXPECT_EQ(scene->getLights()[59999].m_type, 1);
    EXPECT_EQ(reports.count(), 2u);
    EXPECT_STREQ(scene->getMaterial(1)->m_name.getName(), "NULL");
    EXPECT_EQ(scene->getMaterial(2), nullptr);
    EXPECT_TRUE(reports.has(kCaption, "no camera to render the scene !"));
}

TEST(S3DScene, LoadsOnceSoLinksIntoItsListsStayValid)
{
    ScratchDir dir;
    auto scene = sceneFromText(dir, std::string("scene {\n  dummies 2 {\n") + dummy("a", "b") + dummy("b", "NULL") +
                                        "  }\n}\n");
    const S3DDummy* first = &scene->getDummies()[0];
    ASSERT_EQ(scene->findObject("a")->m_pParent, &scene->getDummies()[1].m_header);
    ReportCapture reports;
    scene->load((dir.path() + "scene.l3x").c_str());
    EXPECT_TRUE(reports.has(kCaption, "load: the scene is already loaded"));
    EXPECT_EQ(reports.count(), 1u);
    ASSERT_EQ(scene->getNbDummy(), 2);
    EXPECT_EQ(&scene->getDummies()[0], first);
    EXPECT_EQ(scene->findObject("a")->m_pParent, &scene->getDummies()[1].m_header);
}

TEST(S3DScene, LookupsFollowTheirRules)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        "  materials { material { name \"m\" subMaterials {\n"
                                        "    subMaterial { name \"s0\" } subMaterial { name \"s1\" } } } }\n"
                                        "  triObjects { triObject { header { name \"obj\" }\n"
                                        "    modifiers { modifier 1 {} modifier 3 {} } } }\n}\n");
    reports.clear();
    // Index 5 of two sub-materials is the second; -1 wraps to the last too.
    EXPECT_STREQ(scene->findMaterial("m", 5)->m_name.getName(), "s1");
    EXPECT_STREQ(scene->findMaterial("m", -1)->m_name.getName(), "s1");
    EXPECT_EQ(scene->findMaterial("x", 0), nullptr);
    EXPECT_TRUE(reports.has(kCaption, "Can't find material idx 0, called x"));
    // Modifier 0 is a skin: not a gizmo; modifier 1 (and index 3, modulo 2) is a bend.
    EXPECT_EQ(scene->findModifierGizmo("obj", 0), nullptr);
    EXPECT_TRUE(reports.has(kCaption, "Can't find modifier gizmo, object obj"));
    ASSERT_NE(scene->findModifierGizmo("obj", 3), nullptr);
    EXPECT_EQ(scene->findModifierGizmo("obj", 3)->getType(), 3);
    EXPECT_EQ(scene->findModifier("obj", 1)->getType(), 1);
    EXPECT_EQ(scene->findModifier("obj", 7), nullptr);
    EXPECT_TRUE(reports.has(kCaption, "Can't find modifier type 7, of object obj"));
    EXPECT_EQ(scene->findLight("none"), nullptr);
    EXPECT_TRUE(reports.has(kCaption, "Can t find light: none"));
    // "NULL" and "" are none, silently.
    reports.clear();
    EXPECT_EQ(scene->findObject("NULL"), nullptr);
    EXPECT_EQ(scene->findLight(""), nullptr);
    EXPECT_EQ(scene->findModifier("NULL", 1), nullptr);
    EXPECT_EQ(scene->findMaterial("NULL", 0), nullptr);
    EXPECT_EQ(reports.count(), 0u);
    EXPECT_EQ(scene->findObject("cam"), &scene->getCameras()[0].m_header);
}

TEST(S3DScene, CameraSelectionAndViewPort)
{
    ScratchDir dir;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera + "}\n");
    ReportCapture reports;
    scene->setCamera(3);
    scene->setCamera(3);
    EXPECT_EQ(reports.count(), 1u);
    EXPECT_TRUE(reports.has(kCaption, "setCamera: not so much camera"));
    EXPECT_EQ(scene->getCurrentCamera(), 0);

    ViewPort viewPort;
    scene->setViewPort(&viewPort);
    EXPECT_TRUE(reports.has(kCaption, "setViewPort: screen NULL"));
    viewPort.setScreen(0, 10);
    EXPECT_TRUE(reports.has("ViewPort Warning !", "setScreen: width <= 0"));
    EXPECT_EQ(viewPort.getZBuffer(), nullptr);
    CImage32Buffered image(64, 32);
    viewPort.setScreen(&image);
    ASSERT_NE(viewPort.getZBuffer(), nullptr);
    viewPort.getZBuffer()[5] = 7;
    viewPort.clearZBuffer();
    EXPECT_EQ(viewPort.getZBuffer()[5], 0u);
    scene->setViewPort(&viewPort);
    // Cameras take the screen's size: scaleX = cot(fov/2) × width/2 (fov π/2: 32).
    EXPECT_FLOAT_EQ(scene->getCameras()[0].m_centerX, 32.0f);
    EXPECT_NEAR(scene->getCameras()[0].m_scaleX, 32.0f, 1e-4f);
    EXPECT_NEAR(scene->getCameras()[0].m_scaleY, 32.0f, 1e-4f);
}

TEST(S3DScene, WithoutCameraUpdateAndPrepareDoNothing)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, "scene {\n  dummies {\n    dummy { header { name \"d\" node {\n"
                                    "      values { position 1 2 3 }\n"
                                    "      tracks { position linear { key 0 9 9 9 key 10 9 9 9 } } } } }\n  }\n}\n");
    scene->update(5);
    scene->prepare();
    scene->render();
    const S3DNode& node = scene->getDummies()[0].m_header.m_node;
    EXPECT_EQ(node.getPosition(), Point3D(1, 2, 3));
    EXPECT_EQ(node.matrix().m[3][0], 0.0f);  // never refreshed
}

TEST(S3DScene, CameraAndLightEdgeCases)
{
    S3DCamera camera;
    camera.setNear(0.5f);
    EXPECT_FLOAT_EQ(camera.getNear(), 1.0f);
    // A target at the eye: pitch 0 and yaw 0, so the view rotation is the identity and the
    // view matrix only moves the eye to the origin.
    camera.m_header.m_node.setPosition({4, 5, 6});
    camera.m_target.m_node.setPosition({4, 5, 6});
    camera.m_header.m_node.refresh();
    camera.m_target.m_node.refresh();
    camera.prepare();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(camera.m_viewRotation.m[i][j], i == j ? 1.0f : 0.0f, 1e-6f);
    EXPECT_EQ(camera.m_viewMatrix.transform({4, 5, 6}), Point3D(0, 0, 0));

    // Type 1 ignores its target and its falloff track; type 2 follows both.
    ScratchDir dir;
    const std::string light = "    light { header { name \"L%\" } target { name \"T%\" node { tracks {\n"
                              "      position linear { key 0 7 7 7 key 1 7 7 7 } } } }\n"
                              "      values { type % } tracks { falloff linear { key 0 0.25 key 1 0.25 } } }\n";
    std::string lights;
    for (const char* t : {"1", "2"}) {
        std::string l = light;
        for (size_t at; (at = l.find('%')) != std::string::npos;) l.replace(at, 1, t);
        lights += l;
    }
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera + "  lights {\n" + lights + "  }\n}\n");
    scene->update(0.5f);
    scene->prepare();
    const S3DLight& omni = *scene->findLight("L1");
    const S3DLight& spot = *scene->findLight("L2");
    EXPECT_EQ(omni.m_target.m_node.getPosition(), Point3D(0, 0, 0));
    EXPECT_FLOAT_EQ(omni.m_falloff, 1.6f);
    EXPECT_EQ(spot.m_target.m_node.getPosition(), Point3D(7, 7, 7));
    EXPECT_FLOAT_EQ(spot.m_falloff, 0.25f);
    EXPECT_EQ(spot.m_targetWorldPosition, Point3D(7, 7, 7));
}

TEST(S3DScene, HierarchyComposesParentsFirstWhateverTheFileOrder)
{
    // c (at 0 0 5) under b (at 1 0 0) under a (turned 90° about z, at 10 0 0), in the file
    // as c, b, a. By hand: (1, 0, 0) turned is (0, −1, 0), so b is at (10, −1, 0) and c at
    // (1, 0, 5) turned plus (10, 0, 0) = (10, −1, 5).
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera + "  dummies {\n" +
                                        dummy("c", "b", "position 0 0 5") + dummy("b", "a", "position 1 0 0") +
                                        dummy("a", "NULL", "mode 1 position 10 0 0 rotation 1.5707964 0 0 1") +
                                        "  }\n}\n");
    scene->update(0);
    scene->prepare();
    ASSERT_EQ(scene->getLinkedObjects().size(), 2u);
    EXPECT_EQ(scene->getLinkedObjects()[0], scene->findObject("b"));
    const auto near = [](const Point3D& p, const Point3D& q) { return (p - q).length() < 1e-5f; };
    EXPECT_TRUE(near(scene->findObject("b")->m_node.worldPosition(), {10, -1, 0}));
    EXPECT_TRUE(near(scene->findObject("c")->m_node.worldPosition(), {10, -1, 5}));
    // A second frame composes from fresh local matrices, not from last frame's world ones.
    scene->update(1);
    scene->prepare();
    EXPECT_TRUE(near(scene->findObject("c")->m_node.worldPosition(), {10, -1, 5}));
    EXPECT_EQ(reports.count(), 0u);
}

TEST(S3DScene, ParentCycleIsReportedAndBroken)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera + "  dummies {\n" +
                                        dummy("x", "y", "position 1 0 0") + dummy("y", "z") + dummy("z", "x") +
                                        dummy("self", "self") + "  }\n}\n");
    int cycles = 0;
    for (const auto& r : reports.reports()) cycles += r.text.rfind("link: parent cycle broken at ", 0) == 0;
    EXPECT_EQ(cycles, 2);
    EXPECT_EQ(scene->getLinkedObjects().size(), 2u);  // two of x, y, z keep their parent
    scene->update(0);
    scene->prepare();
}

TEST(S3DScene, MalformedRecordsReportAndLoadWhatIsSound)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(
        dir, std::string("scene {\n") + kOneCamera +
                 "  materials { material { name \"m\" } }\n"
                 "  triObjects {\n"
                 // 65535 vertices announced, three bytes of data.
                 "    triObject { header { name \"huge\" } vertices { positions bytes [ ff ff 01 02 03 ] } }\n"
                 // A face naming vertex 7 of three, a material index past the one material.
                 "    triObject { header { name \"bad\" } material 9\n"
                 "      vertices { positions [ 0 0 0  1 0 0  0 1 0 ] }\n"
                 "      faceData { faces [ 0 1 2  0 1 7 ] subMaterials bytes [ 01 ] } }\n"
                 // A list count far larger than its chunk.
                 "    triObject { header { name \"lights\" } lights bytes [ ff ff ] }\n"
                 "  }\n}\n");
    ASSERT_EQ(scene->getNbTriObject(), 3);
    EXPECT_EQ(scene->getTriObjects()[0].getNbVertex(), 0);
    EXPECT_TRUE(reports.has("S3DTriObject warning: huge", "load: vertex count larger than its chunk"));
    const S3DTriObject& bad = scene->getTriObjects()[1];
    ASSERT_EQ(bad.getNbFace(), 1);
    EXPECT_EQ(bad.m_faces[0].vertex[2], 2);
    EXPECT_TRUE(reports.has("S3DTriObject warning: bad", "load: faces name vertices that do not exist (dropped)"));
    EXPECT_TRUE(reports.has("S3DTriObject warning: bad", "load: face record shorter than the faces"));
    EXPECT_EQ(bad.m_pMaterial, nullptr);
    EXPECT_TRUE(reports.has(kCaption, "bad has NULL material !!"));
    EXPECT_TRUE(reports.has("S3DTriObject warning: bad", "prepareMaterial: m_pMaterial NULL"));
    EXPECT_TRUE(scene->getTriObjects()[2].m_lightNames.empty());
    scene->update(0);
    scene->prepare();
}

} // namespace

namespace {

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
