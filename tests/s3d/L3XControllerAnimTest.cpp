// The 3D parameter controllers' animation words of every class (the frame they evaluate, with
// the wrap by the animation length), the Euler words one by one, and a mode-1 word on a field
// that no track resets, which adds up from frame to frame.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "S3DTestSupport.h"
#include "s3d/LECXControllerL3XParam.h"

namespace {

// Every animated field runs from 0 at frame 0 to 100 at frame 100 (opacity to 1), so a field
// shows the frame it was evaluated at.
const char* const kScene = R"(scene {
  animationLength 100
  dummies {
    dummy { header { name "d" node { values { mode 1 } tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } } } }
    dummy { header { name "free" node { values { mode 1 position 1 0 0 } } } }
    dummy { header { name "parts" node { values { position 1 2 3 scale 4 5 6 } } } }
  }
  triObjects { triObject {
    header { name "obj" node { tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } } }
    vertices { positions [ 0 0 0  1 1 1 ] }
    modifiers { modifier 3 {
      gizmo { tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } }
      parameterTracks { angle linear { key 0 0  key 100 100 } } } }
  } }
  shapes { shape 1 { common {
    header { name "shp" node { tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } } }
    modifiers { modifier 3 { parameterTracks { angle linear { key 0 0  key 100 100 } } } } } } }
  cameras { camera { header { name "cam" node { tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } } }
    values { roll 0.25 fov 1 } } }
  lights { light { header { name "lamp" } tracks { intensity linear { key 0 0  key 100 100 } } } }
  materials { material { name "mat" subMaterials {
    subMaterial { shading { tracks { opacity linear { key 0 0  key 100 1 } } } }
    subMaterial { shading { values { paletteEnabled 1 } } } } } }
  wsModifiers { wsModifier {
    header { name "ws" node { tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } } }
    modifier 3 { parameterTracks { angle linear { key 0 0  key 100 100 } } } } }
}
)";

struct Driven {
    S3DScene scene;
    LECXControllerL3XScene controller;
};

class L3XControllerAnim : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir.write("scene.txt", kScene);
        std::string out;
        ASSERT_EQ(runL3xTool(m_dir, "scene.txt scene.l3x", &out), 0) << out;
    }
    // A fresh scene at `frame` with `key` = value in `mode` applied once.
    std::unique_ptr<Driven> drive(const std::string& key, const char* value, int mode, float frame)
    {
        auto d = std::make_unique<Driven>();
        d->scene.load((m_dir.path() + "scene.l3x").c_str());
        LECXControllerParam* p = d->controller.addParam();
        p->m_name = key.c_str();
        p->m_expression = value;
        p->m_mode = mode;
        d->controller.prepare();
        d->controller.prepareGroups();
        d->scene.setCamera(0);
        d->scene.update(frame);
        d->controller.setTarget(&d->scene);
        d->controller.prepareInterface();
        d->controller.apply();
        return d;
    }
    ScratchDir m_dir;
};

TEST_F(L3XControllerAnim, AnimationWordsOfEveryClassEvaluateTheWrappedFrame)
{
    using Field = std::function<float(S3DScene&)>;
    const auto x = [](S3DObjectHeader* h) { return h->m_node.getPosition().x; };
    const std::pair<const char*, Field> words[] = {
        {"NODE d MAINANIM", [&](S3DScene& s) { return x(s.findObject("d")); }},
        {"MODIFIERGIZMO obj 0 MAINANIM", [](S3DScene& s) { return s.findTriObject("obj")->m_modifiers[0]->m_gizmoPosition.x; }},
        {"TRIOBJECT obj MAINANIM", [&](S3DScene& s) { return x(&s.findTriObject("obj")->m_header); }},
        {"TRIOBJECT obj MODIFIERANIM", [](S3DScene& s) { return s.findTriObject("obj")->m_modifiers[0]->m_value[0]; }},
        {"SHAPE shp MAINANIM", [&](S3DScene& s) { return x(&s.findShape("shp")->m_header); }},
        {"SHAPE shp MODIFIERANIM", [](S3DScene& s) { return s.findShape("shp")->m_modifiers[0]->m_value[0]; }},
        {"CAMERA cam MAINANIM", [&](S3DScene& s) { return x(&s.findCamera("cam")->m_header); }},
        {"LIGHT lamp MAINANIM", [](S3DScene& s) { return s.getLights()[0].m_intensity; }},
        {"MTL mat 0 MAINANIM", [](S3DScene& s) { return 100 * s.getMaterials()[0].m_subMaterials[0].m_opacity; }},
        {"WSMODIFIER ws MAINANIM", [&](S3DScene& s) { return x(&s.findWSModifier("ws")->m_header); }},
        {"WSMODIFIER ws MODIFIERANIM", [](S3DScene& s) { return s.findWSModifier("ws")->getModifier()->m_value[0]; }},
    };
    for (const auto& [key, field] : words) {
        ReportCapture reports;
        // At frame 50: mode 1 gives 50 + 70 = 120, wrapped by the length 100 to 20; mode 2
        // gives 50 - 30 = 20; mode 0 takes 130 itself, wrapped to 30.
        auto plus = drive(key, "70", 1, 50);
        EXPECT_NEAR(field(plus->scene), 20.0f, 1e-3f) << key;
        auto minus = drive(key, "30", 2, 50);
        EXPECT_NEAR(field(minus->scene), 20.0f, 1e-3f) << key;
        auto set = drive(key, "130", 0, 50);
        EXPECT_NEAR(field(set->scene), 30.0f, 1e-3f) << key;
        EXPECT_EQ(reports.count(), 0u) << key;
    }
    // The scene's update runs a shape's modifier tracks too.
    auto update = drive("NODE free POSX", "0", 1, 50);
    EXPECT_NEAR(update->scene.findShape("shp")->m_modifiers[0]->m_value[0], 50.0f, 1e-3f);
    // The scene's own word: mode 2 is value - frame (70 - 50), mode 1 wraps 170 + 50.
    auto scene = drive("SCENE MAINANIM", "70", 2, 50);
    EXPECT_FLOAT_EQ(scene->scene.getFrame(), 20.0f);
    EXPECT_NEAR(scene->scene.findObject("d")->m_node.getPosition().x, 20.0f, 1e-3f);
    auto wrapped = drive("SCENE MAINANIM", "170", 1, 50);
    EXPECT_FLOAT_EQ(wrapped->scene.getFrame(), 20.0f);
}

TEST_F(L3XControllerAnim, EulerWordsTurnAboutTheirOwnAxis)
{
    // From no rotation, ROTX 0.5 rebuilds the rotation from the angles (0.5, 0, 0): the node's
    // matrix becomes rotationX(0.5) (m12 = sin 0.5), ROTZ rotationZ(0.5) (m01 = sin 0.5).
    const float s = std::sin(0.5f), c = std::cos(0.5f);
    auto rx = drive("NODE free ROTX", "0.5", 0, 0);
    S3DNode& nx = rx->scene.findObject("free")->m_node;
    nx.refresh();
    EXPECT_NEAR(nx.matrix().m[1][2], s, 1e-5f);
    EXPECT_NEAR(nx.matrix().m[2][1], -s, 1e-5f);
    EXPECT_NEAR(nx.matrix().m[1][1], c, 1e-5f);
    EXPECT_NEAR(nx.matrix().m[0][0], 1.0f, 1e-5f);
    auto rz = drive("NODE free ROTZ", "0.5", 0, 0);
    S3DNode& nz = rz->scene.findObject("free")->m_node;
    nz.refresh();
    EXPECT_NEAR(nz.matrix().m[0][1], s, 1e-5f);
    EXPECT_NEAR(nz.matrix().m[1][0], -s, 1e-5f);
    EXPECT_NEAR(nz.matrix().m[2][2], 1.0f, 1e-5f);
    auto ry = drive("MODIFIERGIZMO obj 0 ROTY", "0.5", 0, 0);
    const Matrix gy = ry->scene.findTriObject("obj")->m_modifiers[0]->m_gizmoRotation.toTransposedMatrix();
    EXPECT_NEAR(gy.m[2][0], s, 1e-5f);  // rotationY(0.5): m20 = sin
    EXPECT_NEAR(gy.m[0][2], -s, 1e-5f);
}

TEST_F(L3XControllerAnim, CameraWordsCombineWithTheirOwnFieldAndOpacityRebuildsThePalette)
{
    // Roll 0.25 and fov 1 in the file; mode 1 adds to each its own value.
    auto roll = drive("CAMERA cam ROLL", "0.5", 1, 0);
    EXPECT_FLOAT_EQ(roll->scene.findCamera("cam")->getRoll(), 0.75f);
    auto fov = drive("CAMERA cam FOV", "0.5", 1, 0);
    EXPECT_FLOAT_EQ(fov->scene.findCamera("cam")->getFov(), 1.5f);
    // A palette built at opacity 1 (white, 255 at index 255) is built again at 0.5: 127.
    auto mtl = drive("MTL mat 1 POLYOPACITY", "0.5", 0, 0);
    S3DSubMaterial& s = mtl->scene.getMaterials()[0].m_subMaterials[1];
    s.setOpacity(1.0f);
    s.prepare();
    ASSERT_EQ(s.m_palette[255], 0xFFFFFFu);
    mtl->controller.apply();
    s.prepare();
    EXPECT_EQ(s.m_palette[255], 0x7F7F7Fu);
}

TEST_F(L3XControllerAnim, ComponentWordsCombineWithTheirOwnComponent)
{
    // "parts" at (1, 2, 3) scaled (4, 5, 6): mode 1 adds 10 to the one component named.
    const std::pair<const char*, Point3D> words[] = {
        {"POSX", {11, 2, 3}},   {"POSY", {1, 12, 3}},   {"POSZ", {1, 2, 13}},
        {"SCALEX", {14, 5, 6}}, {"SCALEY", {4, 15, 6}}, {"SCALEZ", {4, 5, 16}},
    };
    for (const auto& [word, want] : words) {
        auto d = drive(std::string("NODE parts ") + word, "10", 1, 0);
        const S3DNode& n = d->scene.findObject("parts")->m_node;
        EXPECT_EQ(word[0] == 'P' ? n.getPosition() : n.getScale(), want) << word;
    }
    // The light's words likewise, from intensity 0 (its track), near 400, far 200, hotspot 1.2
    // and falloff 1.6.
    const std::pair<const char*, float> lightWords[] = {
        {"INTENSITY", 1.0f}, {"NEARATT", 401.0f}, {"FARATT", 201.0f}, {"HOTSPOT", 2.2f}, {"FALLOFF", 2.6f}};
    for (const auto& [word, want] : lightWords) {
        auto d = drive(std::string("LIGHT lamp ") + word, "1", 1, 0);
        const S3DLight& l = d->scene.getLights()[0];
        const std::string w = word;
        const float got = w == "INTENSITY" ? l.m_intensity : w == "NEARATT" ? l.m_nearAttenuation : w == "FARATT" ? l.m_farAttenuation
                          : w == "HOTSPOT"  ? l.m_hotspot : l.m_falloff;
        EXPECT_FLOAT_EQ(got, want) << word;
    }
}

TEST_F(L3XControllerAnim, ModeOneAddsUpOnAFieldNoTrackResets)
{
    // "free" keeps its position from frame to frame: +2 each frame from 1. "d" is set by its
    // track every frame first, so it is that frame's value + 2.
    auto f = drive("NODE free POSX", "2", 1, 1);
    EXPECT_FLOAT_EQ(f->scene.findObject("free")->m_node.getPosition().x, 3.0f);
    f->scene.update(2);
    f->controller.apply();
    EXPECT_FLOAT_EQ(f->scene.findObject("free")->m_node.getPosition().x, 5.0f);

    auto g = drive("NODE d POSX", "2", 1, 10);
    g->scene.update(11);
    g->controller.apply();
    EXPECT_NEAR(g->scene.findObject("d")->m_node.getPosition().x, 13.0f, 1e-4f);
}

} // namespace
