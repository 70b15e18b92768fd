// Skin and morph on tool-made scenes: linking by name, hidden bones and targets, the deform
// rules on hand-computed vertices, and entries that point past what exists.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "SceneFromText.h"
#include "support/AllocationCounter.h"
#include "s3d/S3DMorph.h"
#include "s3d/S3DSkin.h"

namespace {

const char* const kIdentity = "1 0 0  0 1 0  0 0 1  0 0 0";

// A tri object whose stack runs its modifiers in file order (nbModifier of them).
std::string mesh(const char* name, const char* positions, const std::string& modifiers = "", int nbModifier = 0)
{
    std::string stack;
    for (int i = 0; i < nbModifier; ++i) stack += " entry { modifier \"" + std::to_string(i) + "\" }";
    return std::string("  triObject { header { name \"") + name + "\" } vertices { positions [ " + positions +
           " ] }" + (modifiers.empty() ? "" : " modifiers { " + modifiers + " } stack {" + stack + " }") + " }\n";
}

TEST(Skin, WeightOneIsRigidAndHalfIsHalfWay)
{
    ScratchDir dir;
    ReportCapture reports;
    // One bone moved by (10, 0, 0) from its reference pose (identity). Vertex 2 names bone 7,
    // which does not exist and acts as a bone that does not move; vertex 3 has no entry.
    const std::string skin = std::string("modifier 1 { parameters { skinTM ") + kIdentity + " bones [ \"arm\" " +
                             kIdentity + " ] vertices [ 1 1 0  1 0.5 0  2 0.5 0 0.5 7 ] } }";
    auto scene = sceneFromText(
        dir, std::string("scene {\n triObjects {\n") + mesh("body", "0 0 0  1 0 0  2 0 0  3 0 0", skin, 1) +
                 mesh("arm", "0 0 0") + " }\n" + kOneCamera + "}\n");
    S3DTriObject* body = scene->findTriObject("body");
    ASSERT_NE(body, nullptr);
    scene->findTriObject("arm")->m_header.m_node.setPosition({10, 0, 0});
    scene->prepare();
    EXPECT_FALSE(scene->findTriObject("arm")->m_visible);
    EXPECT_TRUE(body->m_visible);

    body->m_modifierStack.applyObjectSpace(*body);
    EXPECT_EQ(body->m_vertices[0], Point3D(10, 0, 0));
    EXPECT_EQ(body->m_vertices[1], Point3D(6, 0, 0));
    EXPECT_EQ(body->m_vertices[2], Point3D(7, 0, 0));
    EXPECT_EQ(body->m_vertices[3], Point3D(3, 0, 0));
}

TEST(Skin, MissingBonesAndEmptyListsAreReported)
{
    ScratchDir dir;
    ReportCapture reports;
    const std::string skin = std::string("modifier 1 { parameters { bones [ \"ghost\" ") + kIdentity +
                             " ] vertices [ 1 1 0 ] } } modifier 1 { parameters { bones [ ] vertices [ ] } }";
    auto scene = sceneFromText(dir, std::string("scene {\n triObjects {\n") + mesh("body", "1 2 3", skin, 2) + " }\n}\n");
    EXPECT_TRUE(reports.has("S3DScene warning:", "cant find bone"));
    EXPECT_TRUE(reports.has("S3DModifierSkin warning:", "loadBoneList: m_nbBone <= 0"));
    EXPECT_TRUE(reports.has("S3DModifierSkin warning:", "loadVertexList: m_nbBone <= 0"));
    // An unlinked bone keeps its reference pose; the empty skin deforms nothing.
    S3DTriObject* body = scene->findTriObject("body");
    body->m_modifierStack.applyObjectSpace(*body);
    EXPECT_EQ(body->m_vertices[0], Point3D(1, 2, 3));
}

TEST(Morph, ActiveTargetsAddAndSmallWeightsChangeNothing)
{
    ScratchDir dir;
    ReportCapture reports;
    // t2 has one vertex for a two-vertex mesh: the second vertex ignores it.
    const std::string morph =
        "modifier 2 { parameters { targets {"
        " target { values { name \"t1\" weight 1 } }"
        " target { values { name \"t2\" weight 1 } }"
        " target { values { name \"gone\" weight 1 } } } } }";
    auto scene = sceneFromText(dir, std::string("scene {\n triObjects {\n") + mesh("m", "0 0 0  1 0 0", morph, 1) +
                                        mesh("t1", "1 0 0  1 1 0") + mesh("t2", "0 2 0") + " }\n}\n");
    EXPECT_TRUE(reports.has("S3DScene warning:", "cant find morph target"));
    S3DTriObject* m = scene->findTriObject("m");
    EXPECT_FALSE(scene->findTriObject("t1")->m_visible);
    EXPECT_FALSE(scene->findTriObject("t2")->m_visible);
    m->m_modifierStack.applyObjectSpace(*m);
    EXPECT_EQ(m->m_vertices[0], Point3D(1, 2, 0));
    EXPECT_EQ(m->m_vertices[1], Point3D(1, 1, 0));

    auto& morphModifier = static_cast<S3DModifierMorph&>(*m->m_modifiers[0]);
    *morphModifier.targetWeight(0) = 0.01f;
    *morphModifier.targetWeight(1) = 0.005f;
    m->m_modifierStack.applyObjectSpace(*m);
    EXPECT_EQ(morphModifier.getNbActive(), 0);
    EXPECT_EQ(m->m_vertices[0], Point3D(0, 0, 0));
    EXPECT_EQ(m->m_vertices[1], Point3D(1, 0, 0));
}

TEST(ModifierDemo, BundledSceneMatchesItsTextAndMoves)
{
    const std::string dir = std::string(TL_SOURCE_DIR) + "/demo/scenes/";
    ScratchDir scratch;
    ASSERT_EQ(runL3xTool(scratch, "--compress '" + dir + "bend.txt' out.l3x"), 0);
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(bytes(scratch.path() + "out.l3x"), bytes(dir + "bend.l3x")) << "bend.l3x is stale";
    ReportCapture reports;
    S3DScene scene;
    scene.load((dir + "bend.l3x").c_str());
    EXPECT_EQ(reports.count(), 0u);
    // At frame 150 the morph weight is 1: the cube has become the spike.
    scene.update(150);
    scene.prepare();
    S3DTriObject* cube = scene.findTriObject("morpher");
    const S3DTriObject* spike = scene.findTriObject("spike");
    cube->m_modifierStack.applyObjectSpace(*cube);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR((cube->m_vertices[size_t(i)] - spike->m_restVertices[size_t(i)]).length(), 0.0f, 1e-4f);
    EXPECT_FALSE(spike->m_visible);

    // Every deformed object again, a frame later: nothing is allocated.
    scene.update(151);
    scene.prepare();
    AllocationCounter counter;
    for (S3DTriObject& o : scene.m_triObjects) o.m_modifierStack.applyObjectSpace(o);
    EXPECT_EQ(counter.count(), 0);
}

} // namespace
