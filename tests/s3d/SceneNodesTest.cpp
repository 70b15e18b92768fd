// Nodes through the scene's frames: a parent's transform passed on once each frame, a parent
// that is a world-space modifier's node or a shape's, a cycle broken; a shape's modifiers found
// by name, a node's matrix built on demand, and the camera index checked against the count.
#include <gtest/gtest.h>

#include "SceneFromText.h"
#include "support/PointExpect.h"

namespace {

TEST(SceneNodes, ParentsPassTheirTransformOnOnceEachFrame)
{
    // "p" (mode 1) turns a quarter about z, (x, y, z) → (y, -x, z), and sits at (10, 0, 0): its
    // child "c" at (1, 0, 0) is at (10, -1, 0) in the world and turns as "p" does, frame after
    // frame. "wc" hangs under the world-space modifier's node at (5, 0, 0): (6, 0, 0).
    ScratchDir dir;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        " dummies {\n"
                                        "  dummy { header { name \"p\" node { values { mode 1 position 10 0 0"
                                        " rotation 1.5707964 0 0 1 } } } }\n"
                                        "  dummy { header { name \"c\" parent \"p\" node { values { position 1 0 0 } } } }\n"
                                        "  dummy { header { name \"wc\" parent \"w\" node { values { position 1 0 0 } } } }\n"
                                        "  dummy { header { name \"sc\" parent \"s\" node { values { position 1 0 0 } } } }\n"
                                        " }\n wsModifiers { wsModifier { header { name \"w\" node { values { position 5 0 0 } } }"
                                        " modifier 9 { } } }\n"
                                        " shapes { shape 1 { common { header { name \"s\" node { values { position 3 0 0 } } }"
                                        " modifiers { modifier 9 { } } } } }\n}\n");
    for (int frame = 0; frame < 2; ++frame) {
        scene->update(float(frame));
        scene->prepare();
        const S3DNode& c = scene->findObject("c")->m_node;
        expectNear(c.worldPosition(), {10, -1, 0});
        expectNear(c.rotationMatrix().transform({1, 0, 0}), {0, -1, 0});
        expectNear(scene->findObject("wc")->m_node.worldPosition(), {6, 0, 0});
        expectNear(scene->findShape("s")->m_header.m_node.worldPosition(), {3, 0, 0});
        expectNear(scene->findObject("sc")->m_node.worldPosition(), {4, 0, 0});
    }
    // A cycle is broken where it closes: "b", reached from "a", loses its parent.
    ReportCapture reports;
    auto cycle = sceneFromText(dir, "scene { dummies { dummy { header { name \"a\" parent \"b\" } }"
                                    " dummy { header { name \"b\" parent \"a\" } } } }\n");
    EXPECT_EQ(cycle->findObject("a")->m_pParent, cycle->findObject("b"));
    EXPECT_EQ(cycle->findObject("b")->m_pParent, nullptr);
    EXPECT_TRUE(reports.has("S3DScene warning:", "link: parent cycle broken at b"));
}

TEST(SceneNodes, ShapeModifiersByNameNodeMatricesOnDemandAndTheCameraIndex)
{
    ScratchDir dir;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        " shapes { shape 1 { common { header { name \"s\" } modifiers { modifier 9 { } } } } }\n}\n");
    // A shape's modifiers are found by its name, by type and by index.
    const S3DModifier* shapeSkew = scene->findShape("s")->m_modifiers[0].get();
    EXPECT_EQ(scene->findModifier("s", 9), shapeSkew);
    EXPECT_EQ(scene->findModifierGizmo("s", 0), shapeSkew);
    // A node asked for its matrix after a change builds it then.
    S3DNode node;
    node.setPosition({1, 2, 3});
    expectNear(node.getMatrix().transform({0, 0, 0}), {1, 2, 3});
    // A camera index one past the last keeps the current camera. (Its warning shows once per run,
    // so it is not looked for here.)
    scene->setCamera(1);
    EXPECT_EQ(scene->getCurrentCamera(), 0);
}

} // namespace
