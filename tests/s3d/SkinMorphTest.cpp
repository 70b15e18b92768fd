// Skin and morph on tool-made scenes: linking by name, hidden bones and targets, the deform rules
// on hand-computed vertices, a mesh reference transform with a turned, moved bone, morph targets
// around the weight threshold, entries that point past what exists, and a skin under an inverted
// soft selection.
#include <gtest/gtest.h>

#include <algorithm>

#include "S3DTestSupport.h"
#include "s3d/S3DMorph.h"
#include "s3d/S3DSkin.h"
#include "support/AllocationCounter.h"
#include "support/PointExpect.h"

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

    // A soft selection weighs the skinned point by the weight and the rest point by the rest:
    // vertex 0 goes 0 -> 10, so a weight of 0.25 gives 2.5 and its inverse 7.5.
    const Point3D rest[1] = {{0, 0, 0}};
    const float weight[1] = {0.25f};
    Point3D out[1];
    body->m_modifiers[0]->apply(rest, out, 1, weight, false);
    EXPECT_EQ(out[0], Point3D(2.5f, 0, 0));
    body->m_modifiers[0]->apply(rest, out, 1, weight, true);
    EXPECT_EQ(out[0], Point3D(7.5f, 0, 0));
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

    // A soft selection weighs the morphed point by the weight and the rest point by the rest:
    // vertex 0 goes (0 0 0) -> (1 2 0), so a weight of 0.25 gives a quarter of the way, its inverse three.
    const Point3D rest[1] = {{0, 0, 0}};
    const float weight[1] = {0.25f};
    Point3D out[1];
    m->m_modifiers[0]->apply(rest, out, 1, weight, false);
    EXPECT_EQ(out[0], Point3D(0.25f, 0.5f, 0));
    m->m_modifiers[0]->apply(rest, out, 1, weight, true);
    EXPECT_EQ(out[0], Point3D(0.75f, 1.5f, 0));

    auto& morphModifier = static_cast<S3DModifierMorph&>(*m->m_modifiers[0]);
    *morphModifier.targetWeight(0) = 0.01f;
    *morphModifier.targetWeight(1) = 0.005f;
    m->m_modifierStack.applyObjectSpace(*m);
    EXPECT_EQ(morphModifier.getNbActive(), 0);
    EXPECT_EQ(m->m_vertices[0], Point3D(0, 0, 0));
    EXPECT_EQ(m->m_vertices[1], Point3D(1, 0, 0));
}

// The demo's morph: at frame 100 the star's weight is 1 and the cushion's below the threshold,
// so the ball has become the star, vertex for vertex.
TEST(ModifierDemo, BundledMorphReachesItsTarget)
{
    ReportCapture reports;
    S3DScene scene;
    scene.load((std::string(TL_SOURCE_DIR) + "/demo/scenes/morph.l3x").c_str());
    EXPECT_EQ(reports.count(), 0u);
    scene.update(100);
    scene.prepare();
    S3DTriObject* blob = scene.findTriObject("blob");
    const S3DTriObject* star = scene.findTriObject("star");
    ASSERT_TRUE(blob && star);
    ASSERT_EQ(blob->m_vertices.size(), star->m_restVertices.size());
    blob->m_modifierStack.applyObjectSpace(*blob);
    float farthest = 0;
    for (size_t i = 0; i < blob->m_vertices.size(); ++i)
        farthest = std::max(farthest, (blob->m_vertices[i] - star->m_restVertices[i]).length());
    EXPECT_LT(farthest, 1e-3f);
    EXPECT_FALSE(star->m_visible);
    EXPECT_FALSE(scene.findTriObject("cushion")->m_visible);

    // Again a frame later: nothing is allocated.
    scene.update(101);
    scene.prepare();
    AllocationCounter counter;
    for (S3DTriObject& o : scene.getTriObjects()) o.m_modifierStack.applyObjectSpace(o);
    EXPECT_EQ(counter.count(), 0);
}

} // namespace

namespace {

TEST(SkinFrame, BoneMatrixIsOffsetThenBoneWorldThenSkinInverse)
{
    // skinTM = translation(1, 0, 5). Bone "arm": initTM turns (x, y, z) into (2 - y, x, z); its
    // world matrix now (a node turned a quarter about z, at (2, 3, 0)) turns it into
    // (2 - y, x + 3, z): the bone moved by (0, 3, 0) from its reference pose.
    //   offset = skinTM · inverse(initTM): p → (p + (1, 0, 5)) · initTM⁻¹ = (y, 1 - x, z + 5);
    //   · world: (x + 1, y + 3, z + 5); · skinTM⁻¹: (x, y + 3, z).
    // So the bone matrix moves vertices by (0, 3, 0). Bone "still" stays at its reference
    // (identity): it moves nothing.
    ScratchDir dir;
    ReportCapture reports;
    const std::string skin =
        "modifier 1 { parameters { skinTM 1 0 0  0 1 0  0 0 1  1 0 5\n"
        "  bones [ \"arm\" 0 1 0  -1 0 0  0 0 1  2 0 0  \"still\" 1 0 0  0 1 0  0 0 1  0 0 0 ]\n"
        "  vertices [ 1 1 0  1 0.5 0  2 0.25 0 0.75 1  0 ] } }";
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        " triObjects { triObject { header { name \"body\" }\n"
                                        "  vertices { positions [ 1 2 3  1 2 3  4 0 0  7 8 9 ] }\n"
                                        "  modifiers { " + skin + " } stack { entry { modifier \"0\" } } } }\n"
                                        " dummies {\n"
                                        "  dummy { header { name \"arm\" node { values { mode 1 position 2 3 0"
                                        " rotation -1.5707964 0 0 1 } } } }\n"
                                        "  dummy { header { name \"still\" } } }\n}\n");
    scene->update(0);
    scene->prepare();
    S3DTriObject& body = *scene->findTriObject("body");
    body.m_modifierStack.applyObjectSpace(body);
    expectNear(body.m_vertices[0], {1, 5, 3});        // weight 1: rigid
    expectNear(body.m_vertices[1], {1, 3.5f, 3});     // weight 0.5 of one bone: half way
    expectNear(body.m_vertices[2], {4, 0.75f, 0});    // 0.25 moved + 0.75 still
    expectNear(body.m_vertices[3], {7, 8, 9});        // no bone: stays
}

TEST(SkinFrame, MorphAddsEveryTargetAboveTheThreshold)
{
    // p' = p + Σ w (target - p) over the targets whose weight exceeds 0.01:
    // 0.5 × (100, 0, 0) + 0.25 × (0, 100, 0) + 0.0101 × (0, 0, 1000); the target at exactly
    // 0.01 stays out. The second vertex sits at (1, 1, 1) in every target except the first.
    ScratchDir dir;
    ReportCapture reports;
    std::string targets, meshes;
    const char* const weights[] = {"0.5", "0.25", "0.01", "0.0101"};
    const char* const positions[] = {"100 0 0  3 1 1", "0 100 0  1 1 1", "0 0 100  1 1 1", "0 0 1000  1 1 1"};
    for (int i = 0; i < 4; ++i) {
        const std::string name = std::string("t") + std::to_string(i);
        targets += std::string(" target { values { name \"") + name + "\" weight " + weights[i] + " } }";
        meshes += std::string(" triObject { header { name \"") + name + "\" } vertices { positions [ " + positions[i] + " ] } }\n";
    }
    auto scene = sceneFromText(dir, std::string("scene { triObjects {\n triObject { header { name \"m\" }"
                                                " vertices { positions [ 0 0 0  1 1 1 ] }")
                                    + " modifiers { modifier 2 { parameters { targets {" + targets + " } } } }"
                                    + " stack { entry { modifier \"0\" } } }\n" + meshes + "} }\n");
    S3DTriObject& m = *scene->findTriObject("m");
    m.m_modifierStack.applyObjectSpace(m);
    expectNear(m.m_vertices[0], {50, 25, 10.1f});
    expectNear(m.m_vertices[1], {2, 1, 1});
}

TEST(SkinFrame, TurnedSkinMatrixCarriesTheBonesMoveIntoTheMeshFrame)
{
    // skinTM turns a quarter about z and moves: p → p·R + (5, 6, 7) with R (x, y, z) → (-y, x, z).
    // The bone starts at the identity and its node now sits at (1, 0, 0) in the world:
    //   bone matrix = skinTM · initTM⁻¹ · world · skinTM⁻¹: p → (p·R + t + (1, 0, 0) - t)·R⁻¹
    //   = p + (1, 0, 0)·R⁻¹ = p + (0, -1, 0).
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        " triObjects { triObject { header { name \"body\" }\n"
                                        "  vertices { positions [ 1 2 3 ] }\n"
                                        "  modifiers { modifier 1 { parameters { skinTM 0 1 0  -1 0 0  0 0 1  5 6 7\n"
                                        "   bones [ \"b\" 1 0 0  0 1 0  0 0 1  0 0 0 ] vertices [ 1 1 0 ] } } }\n"
                                        "  stack { entry { modifier \"0\" } } } }\n"
                                        " dummies { dummy { header { name \"b\" node { values { position 1 0 0 } } } } }\n}\n");
    scene->update(0);
    scene->prepare();
    S3DTriObject& body = *scene->findTriObject("body");
    body.m_modifierStack.applyObjectSpace(body);
    expectNear(body.m_vertices[0], {1, 1, 3});
    const auto& skin = static_cast<const S3DModifierSkin&>(*body.m_modifiers[0]);
    ASSERT_NE(skin.getBoneMatrix(0), nullptr);
    expectNear(skin.getBoneMatrix(0)->transform({0, 0, 0}), {0, -1, 0});
    EXPECT_EQ(skin.getBoneMatrix(1), nullptr);
    EXPECT_TRUE(reports.has("S3DModifierSkin warning:", "getBoneMatrix: not so much bone"));
}

} // namespace

namespace {

TEST(S3DDrawDetails, SkinTakesTheInvertedSoftSelection)
{
    // One bone moved by (10, 0, 0); both vertices follow it fully. Soft selection
    // 0.25 and 1, inverted: 0.75 and 0, so vertex 0 moves by 7.5 and vertex 1
    // stays.
    ScratchDir dir;
    ReportCapture reports;
    const char* const identity = "1 0 0  0 1 0  0 0 1  0 0 0";
    auto s = sceneFromText(dir, std::string("scene {\n triObjects {\n"
                                            "  triObject { header { name \"body\" }"
                                            " vertices { positions [ 0 0 0  1 0 0 ] softSelection [ 0.25 1 ] }"
                                            " modifiers { modifier 1 { parameters { skinTM ") +
                                    identity + " bones [ \"arm\" " + identity +
                                    " ] vertices [ 1 1 0  1 1 0 ] } } }"
                                    " stack { entry { modifier \"0\" softSelection { useChannel 1 invert "
                                    "1"
                                    " channel \"softSelection\" } } } }\n"
                                    "  triObject { header { name \"arm\" } vertices { positions [ 0 0 0 "
                                    "] } }\n }\n" +
                                    kOneCamera + "}\n");
    S3DTriObject& body = *s->findTriObject("body");
    s->findTriObject("arm")->m_header.m_node.setPosition({10, 0, 0});
    s->prepare();
    body.m_modifierStack.applyObjectSpace(body);
    expectNear(body.m_vertices[0], {7.5f, 0, 0});
    expectNear(body.m_vertices[1], {1, 0, 0});
}

} // namespace
