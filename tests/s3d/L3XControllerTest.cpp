// The 3D parameter controllers on a tool-made scene: every key template drives what its table
// says and nothing else; the combine modes and the special rules; dispatch and search failures.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "S3DTestSupport.h"
#include "control/LECXControllerManager.h"
#include "s3d/LECXControllerL3XParam.h"

namespace {

const char* const kScene = R"(scene {
  animationLength 200
  dummies { dummy { header { name "box" node { values { mode 1 position 1 2 3 }
    tracks { position linear { key 0 0 0 0  key 100 100 0 0 } } } } } }
  triObjects { triObject {
    header { name "obj" }
    vertices { positions [ 0 0 0  1 1 1 ] }
    modifiers {
      modifier 8 { }  modifier 10 { }  modifier 4 { }  modifier 6 { }  modifier 7 { }
      modifier 9 { }  modifier 5 { }   modifier 11 { } modifier 3 { }
    }
  } }
  shapes { shape 1 { common { header { name "shp" } } } }
  cameras { camera { header { name "cam" } } camera { header { name "cam2" } } }
  lights { light { header { name "lamp" } } }
  materials { material { name "mat" subMaterials { subMaterial { name "a" } subMaterial { name "b" } } } }
  wsModifiers { wsModifier { header { name "ws" } modifier 3 { } } }
}
)";

// Modifier kinds in the object's order, for naming their values.
const char* const kKinds[] = {"taper", "sphery", "stretch", "wave", "twist", "skew", "noise", "melt", "bend"};

using Snapshot = std::multimap<std::string, float>;

Snapshot snapshot(S3DScene& s)
{
    Snapshot out;
    const auto point = [&out](const std::string& n, const Point3D& p) {
        out.emplace(n + ".x", p.x);
        out.emplace(n + ".y", p.y);
        out.emplace(n + ".z", p.z);
    };
    const auto quat = [&out](const std::string& n, const Quaternion& q) {
        for (float v : {q.x, q.y, q.z, q.w}) out.emplace(n, v);
    };
    const S3DNode& box = s.findObject("box")->m_node;
    point("box.pos", box.getPosition());
    point("box.scale", box.getScale());
    quat("box.rot", box.getRotation());
    S3DTriObject* obj = s.findTriObject("obj");
    for (size_t m = 0; m < obj->m_modifiers.size(); ++m)
        for (int v = 0; v < 8; ++v) out.emplace(std::string(kKinds[m]) + "." + std::to_string(v), obj->m_modifiers[m]->m_value[v]);
    const S3DModifier& gizmo = *obj->m_modifiers[0];
    point("gizmo.pos", gizmo.m_gizmoPosition);
    point("gizmo.scale", gizmo.m_gizmoScale);
    quat("gizmo.rot", gizmo.m_gizmoRotation);
    const S3DCamera& cam = *s.findCamera("cam");
    out.emplace("cam.fov", cam.getFov());
    out.emplace("cam.roll", cam.getRoll());
    const S3DLight& lamp = s.getLights()[0];
    for (auto [n, v] : {std::pair{"lamp.intensity", lamp.m_intensity}, {"lamp.near", lamp.m_nearAttenuation},
                        {"lamp.far", lamp.m_farAttenuation}, {"lamp.hotspot", lamp.m_hotspot},
                        {"lamp.falloff", lamp.m_falloff}})
        out.emplace(n, v);
    const S3DSubMaterial& b = s.getMaterials()[0].m_subMaterials[1];
    out.emplace("mtl.opacity", b.m_opacity);
    out.emplace("mtl.special", b.m_paletteSpecialParam);
    out.emplace("mtl.flag", float(b.m_paletteSpecialParamSet));
    out.emplace("mtl.line", float(b.m_lineColour));
    out.emplace("scene.camera", float(s.getCurrentCamera()));
    out.emplace("scene.time", s.getFrame());
    return out;
}

std::set<std::string> changed(const Snapshot& a, const Snapshot& b)
{
    std::set<std::string> out;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
        if (i->second != j->second) out.insert(i->first);
    return out;
}

// The template with its names filled in and the .lecx keyword for it.
std::string keyFor(std::string t)
{
    const auto replace = [&t](const std::string& from, const std::string& to) {
        const size_t at = t.find(from);
        if (at != std::string::npos) t.replace(at, from.size(), to);
    };
    for (const char* kind : {"SKEW", "NOISE", "MELT", "BEND"}) replace(std::string("MODIFIER") + kind + " ", std::string("MODIFIERT") + kind + " ");
    const std::string word0 = t.substr(0, t.find(' '));
    const char* name = word0 == "NODE" ? "box" : word0 == "SHAPE" ? "shp" : word0 == "CAMERA" ? "cam"
                       : word0 == "LIGHT" ? "lamp" : word0 == "MTL" ? "mat" : word0 == "WSMODIFIER" ? "ws" : "obj";
    replace("NAME", name);
    replace("IDX", word0 == "MTL" ? "1" : "0");
    return t;
}

// What each template changes when driven to 0.5 in mode 0 (scene at frame 0, camera 1, the box
// at the origin where its track starts).
std::string expected(const std::string& t)
{
    static const std::map<std::string, std::string> table = {
        {"SCENE MAINANIM", "scene.time box.pos.x"}, {"SCENE CAMERA", "scene.camera"},
        {"NODE NAME MAINANIM", "box.pos.x"},
        {"NODE NAME SCALE", "box.scale.x box.scale.y box.scale.z"},
        {"MODIFIERGIZMO NAME IDX SCALE", "gizmo.scale.x gizmo.scale.y gizmo.scale.z"},
        {"CAMERA NAME FOV", "cam.fov"}, {"CAMERA NAME ROLL", "cam.roll"},
        {"LIGHT NAME INTENSITY", "lamp.intensity"}, {"LIGHT NAME NEARATT", "lamp.near"},
        {"LIGHT NAME FARATT", "lamp.far"}, {"LIGHT NAME HOTSPOT", "lamp.hotspot"},
        {"LIGHT NAME FALLOFF", "lamp.falloff"}, {"MTL NAME IDX POLYOPACITY", "mtl.opacity"},
        {"MTL NAME IDX POLYPALETTESPEPARAM", "mtl.flag mtl.special"}, {"MTL NAME IDX LINEOPACITY", "mtl.line"},
        {"MODIFIERTAPE NAME AMOUNT", "taper.0"}, {"MODIFIERTAPE NAME CURVE", "taper.1"},
        {"MODIFIERSPHERY NAME PERCENT", "sphery.0"}, {"MODIFIERSTRETCH NAME STRETCH", "stretch.0"},
        {"MODIFIERSTRETCH NAME AMPLIFY", "stretch.1"}, {"MODIFIERWAVE NAME AMP1", "wave.0"},
        {"MODIFIERWAVE NAME AMP2", "wave.1"}, {"MODIFIERWAVE NAME WAVELEN", "wave.2"},
        {"MODIFIERWAVE NAME PHASE", "wave.3"}, {"MODIFIERWAVE NAME DECAY", "wave.4"},
        {"MODIFIERTWIST NAME ANGLE", "twist.0"}, {"MODIFIERTWIST NAME BIAS", "twist.1"},
        {"MODIFIERSKEW NAME AMOUNT", "skew.0"}, {"MODIFIERSKEW NAME DIRECTION", "skew.1"},
        {"MODIFIERNOISE NAME SCALE", "noise.2"}, {"MODIFIERNOISE NAME PHASE", "noise.3"},
        {"MODIFIERNOISE NAME STRENGTH", "noise.4 noise.5 noise.6"}, {"MODIFIERNOISE NAME STRENGTHX", "noise.4"},
        {"MODIFIERNOISE NAME STRENGTHY", "noise.5"}, {"MODIFIERNOISE NAME STRENGTHZ", "noise.6"},
        {"MODIFIERMELT NAME AMOUNT", "melt.0"}, {"MODIFIERMELT NAME SPREAD", "melt.1"},
        {"MODIFIERMELT NAME SOLIDITY", "melt.2"}, {"MODIFIERBEND NAME ANGLE", "bend.0"},
        {"MODIFIERBEND NAME DIRECTION", "bend.1"},
    };
    if (auto it = table.find(t); it != table.end()) return it->second;
    // Node and gizmo words: POSX … ROTZ drive one component or the rotation.
    for (const char* kind : {"NODE NAME ", "MODIFIERGIZMO NAME IDX "}) {
        if (t.rfind(kind, 0) != 0) continue;
        const std::string w = t.substr(std::string(kind).size()), who = t[0] == 'N' ? "box" : "gizmo";
        if (w.rfind("POS", 0) == 0) return who + ".pos." + char(std::tolower(w[3]));
        if (w.rfind("SCALE", 0) == 0) return who + ".scale." + char(std::tolower(w[5]));
        if (w.rfind("ROT", 0) == 0) return who + ".rot";
    }
    return "";  // animation words over objects without tracks
}

struct Driven {
    std::unique_ptr<S3DScene> scene;
    std::unique_ptr<LECXControllerL3XScene> controller = std::make_unique<LECXControllerL3XScene>();
};

// Drives `key` = value with `mode` on a fresh scene at frame `frame`, camera 1.
void drive(Driven& d, const std::string& key, const char* value, int mode, float frame = 0.0f)
{
    LECXControllerParam* p = d.controller->addParam();
    p->m_name = key.c_str();
    p->m_expression = value;
    p->m_mode = mode;
    d.controller->prepare();
    d.controller->prepareGroups();
    d.scene->setCamera(1);
    d.scene->update(frame);
    d.controller->setTarget(d.scene.get());
    d.controller->prepareInterface();
    d.controller->apply();
}

class L3XController : public ::testing::Test {
protected:
    Driven make()
    {
        Driven d;
        d.scene = sceneFromText(m_dir, kScene);
        return d;
    }
    ScratchDir m_dir;
};

TEST_F(L3XController, EveryTemplateChangesWhatItsTableSaysAndNothingElse)
{
    LECXControllerL3X base;
    ASSERT_EQ(base.getParamCount(), 69);
    for (int i = 0; i < base.getParamCount(); ++i) {
        const std::string t = base.getParamNames()[i];
        Driven d = make();
        d.scene->setCamera(1);
        d.scene->update(0.0f);
        const Snapshot before = snapshot(*d.scene);
        ReportCapture reports;
        drive(d, keyFor(t), "0.5", 0);
        std::ostringstream got;
        for (const std::string& n : changed(before, snapshot(*d.scene))) got << (got.tellp() ? " " : "") << n;
        std::set<std::string> want;
        std::istringstream in(expected(t));
        for (std::string n; in >> n;) want.insert(n);
        std::ostringstream wanted;
        for (const std::string& n : want) wanted << (wanted.tellp() ? " " : "") << n;
        EXPECT_EQ(got.str(), wanted.str()) << t;
        for (const auto& r : reports.reports()) ADD_FAILURE() << t << ": " << r.caption << " " << r.text;
    }
}

TEST_F(L3XController, CombineModesAndSpecialRules)
{
    Driven d = make();
    // Mode 1 adds to every scale component, mode 2 subtracts from the position (the track put
    // the box at the origin at frame 0).
    drive(d, "NODE box SCALE", "0.5", 1);
    EXPECT_EQ(d.scene->findObject("box")->m_node.getScale(), Point3D(1.5f, 1.5f, 1.5f));
    Driven e = make();
    drive(e, "NODE box POSY", "0.5", 2);
    EXPECT_EQ(e.scene->findObject("box")->m_node.getPosition().y, -0.5f);

    // SCENE MAINANIM mode 2 is value - frame; the objects' MAINANIM mode 2 is frame - value.
    Driven f = make();
    drive(f, "SCENE MAINANIM", "30", 2, 10.0f);
    EXPECT_EQ(f.scene->getFrame(), 20.0f);
    Driven g = make();
    drive(g, "NODE box MAINANIM", "30", 2, 50.0f);
    EXPECT_EQ(g.scene->findObject("box")->m_node.getPosition().x, 20.0f);  // the track at frame 20

    // Intensity never goes below 0; STRENGTH ignores the mode; LINEOPACITY 1 keeps 255/256.
    Driven h = make();
    drive(h, "LIGHT lamp INTENSITY", "5", 2);
    EXPECT_EQ(h.scene->getLights()[0].m_intensity, 0.0f);
    Driven n = make();
    drive(n, "MODIFIERTNOISE obj STRENGTH", "0.5", 2);
    EXPECT_EQ(n.scene->findTriObject("obj")->m_modifiers[6]->m_value[5], 0.5f);
    Driven m = make();
    drive(m, "MTL mat 1 LINEOPACITY", "1", 0);
    EXPECT_EQ(m.scene->getMaterials()[0].m_subMaterials[1].m_lineColour, 0x00FEFEFEu);
    // LINEOPACITY combines with 1: mode 1 adds -0.25 and mode 2 takes 0.25 away, both 0.75:
    // b = 191 and 255 × 191 / 256 = 190. The index "+1" is sub-material 1.
    const uint32_t first = m.scene->getMaterials()[0].m_subMaterials[0].m_lineColour;
    for (const auto& [value, mode] : {std::pair{"0 - 0.25", 1}, std::pair{"0.25", 2}}) {
        Driven l = make();
        drive(l, "MTL mat +1 LINEOPACITY", value, mode);
        EXPECT_EQ(l.scene->getMaterials()[0].m_subMaterials[1].m_lineColour, 0x00BEBEBEu) << mode;
        EXPECT_EQ(l.scene->getMaterials()[0].m_subMaterials[0].m_lineColour, first) << mode;
    }
    // POLYOPACITY and POLYPALETTESPEPARAM combine with theirs (1 and 0).
    Driven o = make();
    drive(o, "MTL mat 1 POLYOPACITY", "0.25", 2);
    EXPECT_EQ(o.scene->getMaterials()[0].m_subMaterials[1].m_opacity, 0.75f);
    Driven q = make();
    drive(q, "MTL mat 1 POLYPALETTESPEPARAM", "0.5", 2);
    EXPECT_EQ(q.scene->getMaterials()[0].m_subMaterials[1].m_paletteSpecialParam, -0.5f);
    // A modifier's word combines with its value: the bend angle, 0, less 0.5.
    Driven k = make();
    drive(k, "MODIFIERTBEND obj ANGLE", "0.5", 2);
    EXPECT_EQ(k.scene->findTriObject("obj")->m_modifiers[8]->m_value[0], -0.5f);
}

TEST_F(L3XController, FailuresAreReportedOnceAndLeaveTheParameterInert)
{
    ReportCapture reports;
    Driven d = make();
    drive(d, "MODIFIERBEND obj ANGLE", "1", 0);
    EXPECT_TRUE(reports.has("LECXControllerL3XParamManager", "create param not found: MODIFIERBEND"));
    EXPECT_EQ(d.scene->findTriObject("obj")->m_modifiers[8]->m_value[0], 0.0f);

    ReportCapture quiet;
    Driven e = make();
    drive(e, "NODE nobody POSX", "1", 0);
    for (const auto& r : quiet.reports()) ADD_FAILURE() << r.caption << " " << r.text;

    Driven f = make();
    drive(f, "CAMERA nobody FOV", "1", 0);
    drive(f, "LIGHT lamp COLOUR", "1", 0);
    EXPECT_TRUE(quiet.has("LECXControllerL3XParamCamera", "Can't find camera: nobody"));
    EXPECT_TRUE(quiet.has("LECXControllerL3XParamLight", "Can't find param: COLOUR"));

    // Every search that fails reports as the key names its target; a word a class lacks (a
    // float's word with an axis letter, a point's word with two) is an unknown parameter.
    const std::pair<const char*, const char*> failures[] = {
        {"TRIOBJECT nobody MAINANIM", "TriObject|Can't find triObject: nobody"},
        {"SHAPE nobody MAINANIM", "Shape|Can't find shape: nobody"},
        {"LIGHT nobody MAINANIM", "Light|Can't find light: nobody"},
        {"MTL nobody 1 MAINANIM", "Material|can't find material name: nobody, idx: 1"},
        {"WSMODIFIER nobody MAINANIM", "WSModifier|Can't find wsModifier: nobody"},
        {"MODIFIERGIZMO nobody 0 POSX", "ModifierGizmo|can't find modifierGizmo name: nobody, idx: 0"},
        {"MODIFIERTAPE nobody AMOUNT", "ModifierTape|Can't find modifierTape from object: nobody"},
        {"MODIFIERSPHERY nobody PERCENT", "ModifierSphery|Can't find modifierSphery from object: nobody"},
        {"MODIFIERSTRETCH nobody STRETCH", "ModifierStretch|Can't find modifierStretch from object: nobody"},
        {"MODIFIERWAVE nobody AMP1", "ModifierWave|Can't find modifierWave from object: nobody"},
        {"MODIFIERTWIST nobody ANGLE", "ModifierTwist|Can't find modifierTwist from object: nobody"},
        {"MODIFIERTSKEW nobody AMOUNT", "ModifierSkew|Can't find modifierSkew from object: nobody"},
        {"MODIFIERTNOISE nobody SCALE", "ModifierNoise|Can't find modifierNoise from object: nobody"},
        {"MODIFIERTMELT nobody AMOUNT", "ModifierMelt|Can't find modifierMelt from object: nobody"},
        {"MODIFIERTBEND nobody ANGLE", "ModifierBend|Can't find modifierBend from object: nobody"},
        {"MODIFIERTAPE obj AMOUNTX", "ModifierTape|Can't find param: AMOUNTX"},
        {"MODIFIERTNOISE obj STRENGTHXY", "ModifierNoise|Can't find param: STRENGTHXY"},
        {"MODIFIERTNOISE obj STRENGTHW", "ModifierNoise|Can't find param: STRENGTHW"},
    };
    for (const auto& [key, report] : failures) {
        const std::string r = report, caption = "LECXControllerL3XParam" + r.substr(0, r.find('|'));
        Driven g = make();
        drive(g, key, "1", 0);
        EXPECT_TRUE(quiet.has(caption, r.substr(r.find('|') + 1))) << key;
    }
    EXPECT_TRUE(quiet.has("S3DScene warning:", "Warning can't find WSModifier: nobody"));

    // The manager makes the scene kind once registered; a target that is no scene is refused.
    registerLECXControllerL3X();
    LECXControllerManager manager;
    manager.create(kLECXL3X);
    EXPECT_NE(dynamic_cast<LECXControllerL3XScene*>(manager.getController()), nullptr);
    LECXControllerManager::registerKind(kLECXL3X, nullptr);
}

} // namespace
