// The scene's rules on small hand-written scenes: list counts, camera selection, lookups,
// the camera and light edge cases, the hierarchy and malformed records.
#include <cmath>

#include "SceneFromText.h"
#include "image/CImage32.h"
#include "support/ChunkBytes.h"

namespace {

const char* const kCaption = "S3DScene warning:";

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
