// Modifiers that cannot deform (a gizmo matrix that cannot be inverted, parameters or constants
// that are not finite) leave the vertices as they are and are reported once; the gizmo words of
// the L3X controller move a world-space modifier's gizmo. Scenes are made by the real tool; the
// camera sits at the origin looking along +z, so camera space is world space.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "SceneFromText.h"
#include "s3d/LECXControllerL3XParam.h"

namespace {

// A tri object with three vertices (y 0, 20, 40) and one face, material 0, and its modifiers.
std::string object(const char* name, const std::string& rest)
{
    return std::string("triObject { header { name \"") + name + "\" } material 0\n"
           "  vertices { positions [ 10 0 50  30 20 60  -10 40 70 ] } faceData { faces [ 0 1 2 ] }\n  " + rest + " }\n";
}

std::string scene(const std::string& objects, const std::string& wsModifiers)
{
    return "scene {\n animationLength 10\n triObjects {\n" + objects + " }\n wsModifiers { " + wsModifiers + " }\n"
           " cameras { camera { header { name \"c\" } target { name \"t\" node { values { position 0 0 100 } } } } }\n"
           " materials { material { name \"m\" subMaterials { subMaterial { shading { values { paletteEnabled 1 } } } } } }\n}\n";
}

// One frame: update, the controller's parameters (key, value, mode), prepare.
void frame(S3DScene& s, LECXControllerL3XScene& controller)
{
    s.setCamera(0);
    s.update(0);
    controller.apply();
    s.prepare();
}

void addParam(LECXControllerL3XScene& controller, S3DScene& s, const char* key, const char* value, int mode)
{
    LECXControllerParam* p = controller.addParam();
    p->m_name = key;
    p->m_expression = value;
    p->m_mode = mode;
    controller.prepare();
    controller.prepareGroups();
    controller.setTarget(&s);
    controller.prepareInterface();
}

size_t countReports(const ReportCapture& r, const std::string& text)
{
    size_t n = 0;
    for (const auto& c : r.reports()) n += c.caption == "S3DModifier warning:" && c.text == text;
    return n;
}

TEST(ModifierUsable, SingularOrNotFiniteModifiersKeepTheVerticesAndReportOnce)
{
    ScratchDir dir;
    const std::string stack = " stack { entry { modifier \"0\" } }";
    const std::string objects =
        object("flat", "modifiers { modifier 8 { gizmo { values { tm 0 0 0 0 0 0 0 0 0 0 0 0 } }"
                       " parameters { axis 1 amount 1 } } }" + stack) +
        object("stretchy", "modifiers { modifier 4 { parameters { axis 1 stretch 1 amplify 1 } } }" + stack) +
        object("melty", "modifiers { modifier 11 { parameters { axis 1 amount 50 spread 10 solidity 1 } } }" + stack) +
        object("twisty", "modifiers { modifier 7 { parameters { axis 1 angle 1 bias 10 } } }" + stack) +
        object("squashed", "wsBindings { binding { name \"squash\" } }");
    // The world-space object's node is scaled to 0: its gizmo matrix has no inverse.
    const std::string ws = "wsModifier { header { name \"squash\" node { values { mode 1 scale 0 0 0 } } }"
                           " modifier 8 { parameters { axis 1 amount 1 } } }";
    ReportCapture reports;
    auto s = sceneFromText(dir, scene(objects, ws));
    ASSERT_EQ(s->getNbTriObject(), 5);
    ASSERT_EQ(reports.count(), 0u);
    // Stretch 1 with amplify -1 divides by 0; 0/0 reaches melt's solidity and twist's bias.
    LECXControllerL3XScene controller;
    addParam(controller, *s, "MODIFIERSTRETCH stretchy AMPLIFY", "0 - 1", 0);
    s->findTriObject("melty")->m_modifiers[0]->m_value[2] = std::nanf("");
    s->findTriObject("twisty")->m_modifiers[0]->m_value[1] = std::nanf("");
    for (int k = 0; k < 2; ++k) {
        frame(*s, controller);
        for (const S3DTriObject& o : s->getTriObjects()) {
            const Matrix& view = s->getCameras()[0].m_viewMatrix;
            for (size_t i = 0; i < 3; ++i) {
                const Point3D want = view.transform(o.m_restVertices[i]);
                EXPECT_EQ(o.m_vertices[i], o.m_restVertices[i]) << o.getName() << " " << i;
                EXPECT_NEAR(o.m_cameraVertices[i].x, want.x, 1e-4) << o.getName() << " " << i;
                EXPECT_NEAR(o.m_cameraVertices[i].y, want.y, 1e-4) << o.getName() << " " << i;
                EXPECT_NEAR(o.m_cameraVertices[i].z, want.z, 1e-4) << o.getName() << " " << i;
            }
        }
    }
    EXPECT_EQ(countReports(reports, "prepare: matrix can't be inverted, type 8"), 2u);  // flat and squash
    EXPECT_EQ(countReports(reports, "prepare: parameter not finite, type 4"), 1u);
    EXPECT_EQ(countReports(reports, "prepare: parameter not finite, type 11"), 1u);
    EXPECT_EQ(countReports(reports, "prepare: parameter not finite, type 7"), 1u);
    EXPECT_EQ(reports.count(), 5u);

    // Once its parameters are usable again the modifier deforms in that frame: stretch 1 with
    // amplify 1 leaves the middle (y = 20, t = 0.5) at r = 0.5, f = 0.5 and s = 2.
    S3DTriObject& stretchy = *s->findTriObject("stretchy");
    LECXControllerL3XScene none;
    stretchy.m_modifiers[0]->m_value[1] = 1.0f;
    frame(*s, none);
    EXPECT_FLOAT_EQ(stretchy.m_vertices[1].x, 15.0f);
    EXPECT_FLOAT_EQ(stretchy.m_vertices[1].y, 40.0f);
    EXPECT_FLOAT_EQ(stretchy.m_vertices[1].z, 30.0f);
}

TEST(ModifierUsable, GizmoPositionWordsMoveAWorldSpaceGizmo)
{
    // A world-space taper along y (amount 1, x only) on a node at x = 5, moved by POSX + 20 to
    // x = 25. Bounds y 0 .. 40: t = y / 40, f = 1 + t, x' = 25 + f (x - 25):
    // (10, 0) stays; (30, 20): 25 + 1.5 x 5 = 32.5; (-10, 40): 25 + 2 x -35 = -45.
    ScratchDir dir;
    const std::string ws = "wsModifier { header { name \"squash\" node { values { mode 1 position 5 0 0 } } }"
                           " modifier 8 { parameters { axis 1 amount 1 } } }";
    auto s = sceneFromText(dir, scene(object("o", "wsBindings { binding { name \"squash\" } }"), ws));
    LECXControllerL3XScene controller;
    addParam(controller, *s, "MODIFIERGIZMO squash 0 POSX", "20", 1);
    frame(*s, controller);
    const Matrix& view = s->getCameras()[0].m_viewMatrix;
    const Point3D want[3] = {{10, 0, 50}, {32.5f, 20, 60}, {-45, 40, 70}};
    const S3DTriObject& o = s->getTriObjects()[0];
    for (int i = 0; i < 3; ++i) {
        const Point3D w = view.transform(want[i]);
        EXPECT_NEAR(o.m_cameraVertices[size_t(i)].x, w.x, 1e-3) << i;
        EXPECT_NEAR(o.m_cameraVertices[size_t(i)].y, w.y, 1e-3) << i;
        EXPECT_NEAR(o.m_cameraVertices[size_t(i)].z, w.z, 1e-3) << i;
    }
}

} // namespace
