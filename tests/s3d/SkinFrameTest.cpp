// Skin with a mesh reference transform and a turned, moved bone, and morphs with several
// targets around the weight threshold: the expected vertices are worked by hand below.
#include <gtest/gtest.h>

#include "SceneFromText.h"
#include "s3d/S3DSkin.h"
#include "support/PointExpect.h"

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
