// Nodes, cameras and lights through the scene's frames, worked by hand: node modes, the camera's
// field of view reaching its projection and frustum, roll, a light's camera-space position and
// direction, targets and tracks; parents passed on once each frame, found by the first of two
// equal names, a world-space modifier's or a shape's node as a parent, a shape's modifiers by
// name, the camera index, and lights and morph targets linked by a name two items share. The
// file name sorts after SceneLoadingTest on purpose: the camera index warning shows once per run,
// and that file's camera test is the one that looks for it.
#include <gtest/gtest.h>

#include <cmath>

#include "S3DTestSupport.h"
#include "s3d/S3DDrawManager.h"
#include "support/PointExpect.h"

namespace {

TEST(S3DSceneFrame, NodeModesBuildTheirMatrices)
{
    // Mode 0 ignores rotation and scale: (1, 0, 0) just moves by the position. Mode 1 scales
    // by (2, 1, 1) first, then turns a quarter about z (angle π/2 about +z: its transposed
    // matrix takes (x, y, z) to (y, -x, z)), then moves: (1, 0, 0) → (2, 0, 0) → (0, -2, 0)
    // → (10, -2, 0); (0, 1, 0) → (0, 1, 0) → (1, 0, 0) → (11, 0, 0).
    S3DNode node;
    node.setPosition({10, 0, 0});
    node.setScale({2, 1, 1});
    node.setRotation(Quaternion::fromAngleAxis(0, 0, 1, 1.5707964f));
    node.refresh();
    expectNear(node.matrix().transform({1, 0, 0}), {11, 0, 0}, 1e-3f);
    expectNear(node.matrix().transform({0, 1, 0}), {10, 1, 0}, 1e-3f);
    node.setMode(1);
    node.refresh();
    expectNear(node.matrix().transform({1, 0, 0}), {10, -2, 0}, 1e-3f);
    expectNear(node.matrix().transform({0, 1, 0}), {11, 0, 0}, 1e-3f);
    expectNear(node.rotationMatrix().transform({1, 0, 0}), {0, -1, 0}, 1e-3f);
    // Any mode other than 0 builds the whole transform.
    node.setMode(2);
    node.refresh();
    expectNear(node.matrix().transform({1, 0, 0}), {10, -2, 0}, 1e-3f);
}

TEST(S3DSceneFrame, FieldOfViewChangeReachesProjectionAndFrustum)
{
    // fov = 2 atan(1/2): cot(fov/2) = 2, so scaleX = 2 × 256 = 512 and scaleY = 2 × 256 = 512;
    // the side planes lean at hx = atan2(256, 512) - 0.0001. A point at (10, 5, 100) projects
    // to (256 + 51.2, 128 - 25.6).
    S3DCamera camera;
    camera.m_header.m_node.setPosition({0, 0, -100});
    camera.m_target.m_node.setPosition({0, 0, 0});
    camera.m_header.m_node.refresh();
    camera.m_target.m_node.refresh();
    camera.setFov(2.0f * std::atan(0.5f));
    camera.prepare();
    EXPECT_NEAR(camera.m_scaleX, 512.0f, 1e-2f);
    EXPECT_NEAR(camera.m_scaleY, 512.0f, 1e-2f);
    const float hx = std::atan2(256.0f, 512.0f) - 0.0001f, hy = std::atan2(128.0f, 512.0f) - 0.0001f;
    expectNear(camera.m_frustum[S3DCamera::kLeft].normal, {std::cos(hx), 0, std::sin(hx)}, 1e-5f);
    expectNear(camera.m_frustum[S3DCamera::kRight].normal, {-std::cos(hx), 0, std::sin(hx)}, 1e-5f);
    expectNear(camera.m_frustum[S3DCamera::kBottom].normal, {0, -std::cos(hy), std::sin(hy)}, 1e-5f);
    const S3DProjectedVertex p = projectVertex(camera, camera.m_viewMatrix.transform({10, 5, 0}));
    EXPECT_NEAR(p.x, 307.2f, 1e-3f);
    EXPECT_NEAR(p.y, 102.4f, 1e-3f);
    // A new near distance reaches the near plane at the next prepare.
    camera.setNear(25);
    camera.prepare();
    EXPECT_EQ(camera.m_frustum[S3DCamera::kNear].d, 25.0f);
    // So does a new far distance; the far plane faces back towards the eye.
    camera.setFar(3000);
    camera.prepare();
    EXPECT_EQ(camera.m_frustum[S3DCamera::kFar].d, 3000.0f);
    expectNear(camera.m_frustum[S3DCamera::kFar].normal, {0, 0, -1}, 0);
    // A square screen: scaleX takes half the width, scaleY the whole height (2 × 32, 2 × 64);
    // the centre is (32, 32).
    camera.setScreen(64, 64);
    EXPECT_NEAR(camera.m_scaleX, 64.0f, 1e-3f);
    EXPECT_NEAR(camera.m_scaleY, 128.0f, 1e-3f);
    EXPECT_EQ(camera.m_centerX, 32.0f);
    EXPECT_EQ(camera.m_centerY, 32.0f);
    // A view port takes a new height even when the width stays.
    ViewPort viewPort;
    viewPort.setScreen(64, 32);
    viewPort.setScreen(64, 16);
    EXPECT_EQ(viewPort.getHeight(), 16);
}

TEST(S3DSceneFrame, LightPositionAndDirectionInCameraSpace)
{
    // The camera at (0, 0, -100) looks along +x: yaw -π/2, world (x, y, z) is seen at
    // (-(z + 100), y, x). The spot at world (50, 20, 0) is at (-100, 20, 50) in camera space,
    // its target (50, 20, 80) at (-180, 20, 50); the direction matrix looks from the one to
    // the other: the light goes to the origin, its target 80 ahead on +z.
    // The first camera looks elsewhere: lights follow the current one, the second.
    ScratchDir dir;
    auto scene = sceneFromText(
        dir, "scene {\n cameras { camera { header { name \"other\" node { values { position 5 5 5 } } } }\n"
             "  camera { header { name \"c\" node { values { position 0 0 -100 } } }"
             " target { name \"ct\" node { values { position 100 0 -100 } } } } }\n"
             " lights { light { header { name \"s\" node { values { position 50 20 0 } } }"
             " target { name \"st\" node { values { position 50 20 80 } } } values { type 2 }"
             " tracks { intensity linear { key 0 -0.5  key 10 0.5 } } } }\n}\n");
    scene->setCamera(1);
    scene->update(0);
    scene->prepare();
    const S3DLight& light = scene->getLights()[0];
    // The rotation alone turns the viewing direction +x onto +z.
    expectNear(scene->getCameras()[1].m_viewRotation.transformVector({1, 0, 0}), {0, 0, 1}, 1e-5f);
    expectNear(light.m_cameraPosition, {-100, 20, 50}, 1e-3f);
    expectNear(light.m_targetCameraPosition, {-180, 20, 50}, 1e-3f);
    expectNear(light.m_direction.transform(light.m_cameraPosition), {0, 0, 0}, 1e-3f);
    expectNear(light.m_direction.transform(light.m_targetCameraPosition), {0, 0, 80}, 1e-3f);
    // Its intensity track starts below 0: stored as 0.
    EXPECT_EQ(light.m_intensity, 0.0f);
}

TEST(S3DSceneFrame, RollTurnsTheViewAboutItsAxis)
{
    // Looking along +z, the view turns by rotationZ(-roll): with roll π/2 a point to the right
    // of the eye, (10, 0, 100), is seen below it, at (0, -10, 100).
    S3DCamera camera;
    camera.m_target.m_node.setPosition({0, 0, 100});
    camera.m_header.m_node.refresh();
    camera.m_target.m_node.refresh();
    camera.setRoll(1.5707964f);
    camera.prepare();
    expectNear(camera.m_viewMatrix.transform({10, 0, 100}), {0, -10, 100}, 1e-3f);
    expectNear(camera.m_viewRotation.transformVector({10, 0, 0}), {0, -10, 0}, 1e-3f);
}

TEST(S3DSceneFrame, WorldSpaceModifierFollowsItsAnimatedNode)
{
    // Each update moves the node by its track and copies position, scale and rotation into the
    // gizmo's offset, scale and rotation.
    ScratchDir dir;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        " wsModifiers { wsModifier { header { name \"w\" node {"
                                        " values { mode 1 scale 2 3 4 rotation 0.5 0 1 0 }"
                                        " tracks { position linear { key 0 0 0 0  key 10 10 20 30 } } } }"
                                        " modifier 9 { } } }\n}\n");
    scene->update(5);
    const S3DModifier& m = *scene->findWSModifier("w")->getModifier();
    expectNear(scene->findWSModifier("w")->m_header.m_node.getPosition(), {5, 10, 15}, 1e-3f);
    expectNear(m.m_gizmoOffset, {5, 10, 15}, 1e-3f);
    expectNear(m.m_gizmoScale, {2, 3, 4}, 1e-3f);
    EXPECT_NEAR(m.m_gizmoRotation.y, std::sin(0.25f), 1e-6f);
    EXPECT_NEAR(m.m_gizmoRotation.w, std::cos(0.25f), 1e-6f);
}

TEST(S3DSceneFrame, CameraLooksAtItsTargetsWorldPositionAndLightsFollowTheirTracks)
{
    // The target sits at (100, 0, 0) under an anchor at (0, 0, 100): in the world at
    // (100, 0, 100), 141.42 ahead of the eye at the origin.
    ScratchDir dir;
    auto scene = sceneFromText(dir, "scene {\n dummies { dummy { header { name \"anchor\" node { values { position 0 0 100 } } } } }\n"
                                    " cameras { camera { header { name \"c\" }"
                                    " target { name \"t\" parent \"anchor\" node { values { position 100 0 0 } } } }\n"
                                    "  camera { header { name \"narrow\" } target { name \"nt\" node { tracks {"
                                    " position linear { key 0 0 0 0  key 10 10 0 0 } } } } values { fov 0.9272952 } } }\n"
                                    " lights { light { header { name \"l\" } tracks {"
                                    " nearAttenuation linear { key 0 10  key 10 20 }"
                                    " farAttenuation linear { key 0 100  key 10 200 }"
                                    " colour linear { key 0 0 0 0  key 10 1 0.5 0.25 } } }\n"
                                    "  light { header { name \"sun\" } target { name \"sun.t\" node { tracks {"
                                    " position linear { key 0 0 0 0  key 10 10 0 0 } } } } values { type 3 } } }\n}\n");
    // A field of view from the file sets the projection at load: cot(fov/2) = 2, scale 512.
    EXPECT_NEAR(scene->getCameras()[1].m_scaleX, 512.0f, 1e-2f);
    scene->update(5);
    scene->prepare();
    expectNear(scene->getCameras()[0].m_viewMatrix.transform({100, 0, 100}), {0, 0, 141.42136f}, 1e-3f);
    EXPECT_FLOAT_EQ(scene->getLights()[0].m_nearAttenuation, 15.0f);
    EXPECT_FLOAT_EQ(scene->getLights()[0].m_farAttenuation, 150.0f);
    expectNear(scene->getLights()[0].m_colour, {0.5f, 0.25f, 0.125f}, 1e-6f);
    // A camera's target and a directional light's target follow their tracks too.
    expectNear(scene->getCameras()[1].m_target.m_node.getPosition(), {5, 0, 0}, 1e-3f);
    expectNear(scene->getLights()[1].m_targetWorldPosition, {5, 0, 0}, 1e-3f);
}

TEST(S3DSceneFrame, ChildTakesTheFirstOfTwoParentsOfItsName)
{
    ScratchDir dir;
    ReportCapture reports;
    auto scene = sceneFromText(dir, std::string("scene {\n") + kOneCamera +
                                        " dummies {\n"
                                        "  dummy { header { name \"p\" node { values { position 10 0 0 } } } }\n"
                                        "  dummy { header { name \"p\" node { values { position 20 0 0 } } } }\n"
                                        "  dummy { header { name \"c\" parent \"p\" node { values { position 1 0 0 } } } }\n"
                                        " }\n cameras { camera { header { name \"x\" } target { name \"x\" } } }\n"
                                        " wsModifiers { wsModifier { header { name \"w\" } modifier 3 { } } }\n}\n");
    scene->update(0);
    scene->prepare();
    expectNear(scene->findObject("c")->m_node.worldPosition(), {11, 0, 0}, 1e-3f);
    EXPECT_EQ(scene->findObject("c")->m_pParent, &scene->getDummies()[0].m_header);
    // A camera comes before its target of the same name; a world-space modifier of another
    // type is not the one asked for.
    EXPECT_EQ(scene->findObject("x"), &scene->getCameras()[0].m_header);
    EXPECT_EQ(scene->findModifier("w", 9), nullptr);
    EXPECT_TRUE(reports.has("S3DScene warning:", "Can't find modifier type 9, of object w"));
}

} // namespace

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

namespace {

TEST(S3DSceneCases, NamesSharedByTwoItemsLinkToTheFirst)
{
    // Two lights "lamp" (intensities 0.5 and 0.25, the vertices well inside their near
    // distance): the object's light list takes the first, 0.5. Two tri objects "t" (one vertex at
    // x = 10, then at x = 20): the morph target "t" at weight 1 moves the vertex to x = 10.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, sceneWithObjects("  triObject { header { name \"o\" } material 0\n"
                   "   vertices { positions [ 0 0 0  1 0 0  0 1 0 ] } faceData { faces [ 0 1 2 ] }"
                   " lights { light \"lamp\" }\n"
                   "   modifiers { modifier 2 { parameters { targets { target { values { name \"t\" weight 1 } } } } } }"
                   " stack { entry { modifier \"0\" } } }\n"
                   "  triObject { header { name \"t\" } vertices { positions [ 10 0 0  1 0 0  0 1 0 ] } }\n"
                   "  triObject { header { name \"t\" } vertices { positions [ 20 0 0  1 0 0  0 1 0 ] } }\n",
                   subMaterial(""),
                   " lights {\n"
                   "  light { header { name \"lamp\" } values { intensity 0.5 nearAttenuation 1000 farAttenuation 2000 } }\n"
                   "  light { header { name \"lamp\" } values { intensity 0.25 nearAttenuation 1000 farAttenuation 2000 } }\n"
                   " }\n"));
    s->setCamera(0);
    s->update(0);
    s->prepare();
    const S3DTriObject& o = *s->findTriObject("o");
    EXPECT_NEAR(o.lightValues()[0], 0.5f, 1e-6f);
    expectNear(o.m_vertices[0], {10, 0, 0});
}

} // namespace
