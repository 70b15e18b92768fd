// The order things are drawn in, and outlines, with hand-worked pixels: transparent faces after
// every opaque one and the depth buffer on by default, depth-sorted triangles nearest first, shape
// points tested against the depth without writing it and placed among sorted triangles, the sort
// itself, the line colour and its opacity, two-value polygons among lines, and the outline blend
// of modes 2 and 3.
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "s3d/LECXControllerL3XParam.h"
#include "s3d/S3DDrawManager.h"

namespace {

// A 100 x 100 quad in the plane z = 0 seen from z = -256 (default 90 degree fov on 512 x 256:
// 256 pixels per unit of x / z): its corners land on (206, 178), (306, 178), (306, 78) and
// (206, 78), so the fill covers rows 78 .. 177 and its bottom outline runs along row 178.
// No lights: every light value is 1, palette entry 255. `object` and `material` are inserted.
std::string quadScene(const std::string& object, const std::string& material)
{
    return "scene {\n option1 0\n animationLength 10\n"
           " triObjects { triObject { header { name \"quad\" } material 0\n"
           "  vertices { positions [ -50 -50 0  50 -50 0  50 50 0  -50 50 0 ] softSelection [ 0 0 0 0 ] }\n"
           "  faceData { faces [ 0 1 2  0 2 3 ] }\n  " + object + " } }\n"
           " cameras { camera { header { name \"c\" node { values { position 0 0 -256 } } }"
           " target { name \"t\" node { values { position 0 0 0 } } } } }\n"
           " materials { material { name \"m\" subMaterials { subMaterial { shading { values { paletteEnabled 1 " +
           material + " } } } } } }\n}\n";
}

// One frame into a fresh black 512 x 256 image, without a depth buffer; `key` = `value` (mode 0)
// written by an L3X controller between update and prepare when given.
struct QuadFrame : SceneFrame {
    LECXControllerL3XScene controller;
    void render(S3DScene& scene, const char* key = nullptr, const char* value = nullptr)
    {
        SceneFrame::render(scene, Depth::None, [&](S3DScene& s) {
            if (!key) return;
            LECXControllerParam* p = controller.addParam();
            p->m_name = key;
            p->m_expression = value;
            p->m_mode = 0;
            controller.prepare();
            controller.prepareGroups();
            controller.setTarget(&s);
            controller.prepareInterface();
            controller.apply();
        });
    }
};

TEST(S3DDraw, TransparentFacesFollowEveryOpaqueOneAndTheDepthBufferIsOnByDefault)
{
    // In file order: "glow", additive blue, near (z = -50), over the left part of the red
    // "wall" (z = 0); "front", opaque green, near, over its right part and drawn before it.
    // The additive face comes after every opaque one: red + blue. The depth buffer (chunk 500
    // absent: on) keeps the nearer green in front of the wall drawn after it.
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects(quad("glow", -30, -10, -10, 10, -50, 0) + quad("front", 10, 30, -10, 10, -50, 1) +
                                          quad("wall", -80, 80, -40, 40, 0, 2),
                                      subMaterial("diffuse 0 0 1 blendMode 1") + subMaterial("diffuse 0 1 0") + subMaterial("diffuse 1 0 0")));
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(153, 128), 0xFF00FFu);
    EXPECT_EQ(f.at(358, 128), 0x00FF00u);
    EXPECT_EQ(f.at(256, 128), 0xFF0000u);
    EXPECT_EQ(f.at(256, 40), 0xFF0000u);
    EXPECT_EQ(f.at(256, 20), 0u);
}

TEST(S3DDraw, DepthSortedTransparentTrianglesDrawNearestFirstEachOnce)
{
    // Two averaging (opacity 0.5) triangles over the screen centre: "near-ish" red with corners
    // at camera depths 50, 50 and 20 (key (0.02 + 0.02 + 0.05)/3 = 0.03), green at depth 40
    // (key 0.025). Nearest key first: red 127 halves to 63, then green: (63 + 0)/2 = 31 red,
    // (0 + 127)/2 = 63 green.
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithObjects("  triObject { header { name \"o\" } material 0 option5 1\n"
                                      "   vertices { positions [ -10 -10 -50  10 -10 -50  0 4 -80  -10 -10 -60  10 -10 -60  0 10 -60 ] }\n"
                                      "   faceData { faces [ 0 1 2  3 4 5 ] subMaterials [ 0 1 ] } }\n",
                                      subMaterial("twoSided 1 opacity 0.5 diffuse 1 0 0") + subMaterial("twoSided 1 opacity 0.5 diffuse 0 1 0")));
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(256, 128), 0x1F3F00u);
}

TEST(S3DDraw, ShapePointsTestTheDepthWithoutWritingIt)
{
    // A shape's vertices are drawn as points of its sub-material's fully lit colour: the one in
    // front of the red wall (depth 50, at x = 256 + 256 × 2.5/50 = 268.8, in pixel 268) shows, the
    // one behind it (depth 150, at x = 256 + 256 × 20/150 = 290.1) does not.
    ScratchDir dir;
    auto s = sceneFromText(dir, std::string("scene {\n triObjects {\n") + quad("wall", -80, 80, -40, 40, 0, 0) +
                                    "  triObject { header { name \"skinned\" } modifiers { modifier 1 { parameters {"
                                    " bones [ \"bone\" 1 0 0  0 1 0  0 0 1  0 0 0 ] } } } }\n }\n" + kCamera +
                                    " shapes { shape 1 { common { header { name \"s\" } material 1"
                                    " vertices { positions [ 2.5 0 -50  20 0 50 ] } } }\n"
                                    "  shape 1 { common { header { name \"bone\" } material 1 vertices { positions [ -2.5 0 -50 ] } } } }\n"
                                    " materials { material { name \"wall\" subMaterials {\n" + subMaterial("diffuse 1 0 0") + " } }\n"
                                    "  material { name \"points\" subMaterials {\n" + subMaterial("diffuse 0 1 0") + " } } }\n}\n");
    SceneFrame f;
    f.render(*s);
    EXPECT_EQ(f.at(268, 128), 0x00FF00u);
    EXPECT_EQ(f.at(290, 128), 0xFF0000u);
    EXPECT_EQ(f.at(269, 128), 0xFF0000u);
    // A shape that serves as a skin bone is hidden: its point at x = 243.2 is not drawn.
    EXPECT_EQ(f.at(243, 128), 0xFF0000u);
}

TEST(S3DDrawSceneCorners, DepthSortedPointsTakeTheirPlaceAmongTriangles)
{
    // A depth-sorted additive blue triangle at depth 100 and a green point before it at depth 50,
    // both on (256, 128): nearest first, the point is drawn, then the triangle adds over it.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, std::string("scene {\n animationLength 10\n triObjects {\n") +
                 "  triObject { header { name \"glass\" } material 0 option5 1"
                 " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] } faceData { faces [ 0 1 2 ] } }\n }\n" +
                 kCamera +
                 " shapes { shape 1 { common { header { name \"p\" } material 1 vertices { positions [ 0 0 -50 ] } } } }\n"
                 " materials { material { name \"glass\" subMaterials {\n" +
                 subMaterial("twoSided 1 blendMode 1 diffuse 0 0 1") + " } }\n  material { name \"points\" subMaterials {\n" +
                 subMaterial("diffuse 0 1 0") + " } } }\n}\n");
    SceneFrame frame;
    frame.render(*s);
    EXPECT_EQ(frame.at(256, 128) & 0xFFFFFFu, 0x00FFFFu);
    EXPECT_EQ(frame.at(256, 140) & 0xFFFFFFu, 0x0000FFu);

    // Only the transparent polygons go into the lists: an opaque second-value face of weight 0
    // (drawn in the first pass, adding nothing) is not drawn again there, where its outlines
    // would have it smoothly shaded.
    ScratchDir opaqueDir;
    auto opaque = sceneFromText(
        opaqueDir, sceneWithObjects("  triObject { header { name \"o\" } material 0 option5 1 option1 2"
                         " parameterBlocks { block1 { value1 1 text \"softSelection\" } }"
                         " vertices { positions [ -20 -20 0  20 -20 0  0 20 0 ] softSelection [ 0 0 0 ] }"
                         " faceData { faces [ 0 1 2 ] } }\n",
                         subMaterial("twoSided 1 diffuse 0 0 1")));
    SceneFrame second;
    second.render(*opaque);
    EXPECT_EQ(second.at(256, 140) & 0xFFFFFFu, 0u);
}

TEST(S3DRender, QuicksortOrdersKeysDecreasing)
{
    std::mt19937 rng(7);
    std::vector<S3DSortEntry> e(500);
    for (auto& x : e) x.key = float(rng() % 50) * 0.01f;  // many equal keys
    std::vector<float> reference;
    for (const auto& x : e) reference.push_back(x.key);
    std::sort(reference.begin(), reference.end(), std::greater<float>());
    sortByKeyDecreasing(e.data(), int(e.size()));
    for (size_t i = 0; i < e.size(); ++i) ASSERT_EQ(e[i].key, reference[i]) << i;
}

TEST(S3DDrawDetails, LineColourIncludesTheSpecularTerm)
{
    // Fully lit with the specular term: 255 × (0.25 + 0.25 + 0.25) = 191.25 →
    // 0xBF per channel.
    ScratchDir dir;
    auto s = sceneFromText(
        dir, sceneWithObjects(square("q", "0 1 2  0 2 3", " option1 2"), subMaterial("ambient 0.25 0.25 0.25 diffuse 0.25 "
                                                                                     "0.25 0.25 specular 0.25 0.25 0.25")));
    EXPECT_EQ(s->getMaterial(0)->getSubMaterial(0)->m_lineColour, 0xBFBFBFu);
}

TEST(S3DOutline, LinesTakeTheLineColourAndItsOpacity)
{
    // Ambient 0.25, diffuse (1, 0.5, 0): the fully lit colour is 255 (0.25 + 1) held to 255,
    // 255 (0.25 + 0.5) = 191.25 and 255 x 0.25 = 63.75, so 0xFFBF3F, which lines start in.
    ScratchDir dir;
    const std::string text = quadScene("option1 2", "ambient 0.25 0.25 0.25 diffuse 1 0.5 0");
    auto scene = sceneFromText(dir, text);
    EXPECT_EQ(scene->getMaterials()[0].m_subMaterials[0].m_lineColour, 0xFFBF3Fu);
    QuadFrame plain;
    plain.render(*scene);
    EXPECT_EQ(plain.at(220, 100), 0xFFBF3Fu);  // inside, away from the outlines
    // Row 178 under the bottom outline: full coverage, each byte C x 255 / 256 over black.
    EXPECT_EQ(plain.at(256, 178), 0xFEBE3Eu);
    EXPECT_EQ(plain.at(256, 179), 0u);

    // Line opacity 0.4: b = 102, the line colour (255, 191, 63) x 102 >> 8 = (101, 76, 25), drawn
    // as (100, 75, 24); the fill keeps its colour.
    auto dimmed = sceneFromText(dir, text);
    QuadFrame f;
    f.render(*dimmed, "MTL m 0 LINEOPACITY", "0.4");
    EXPECT_EQ(dimmed->getMaterials()[0].m_subMaterials[0].m_lineColour, 0x654C19u);
    EXPECT_EQ(f.at(256, 178), 0x644B18u);
    EXPECT_EQ(f.at(220, 100), 0xFFBF3Fu);
}

TEST(S3DOutline, TwoValuePolygonsAmongLinesAreSmoothlyShaded)
{
    // A depth-sorted quad whose first parameter block weighs the lit colour by its soft
    // selection (all 0), drawn additively in blue. Its polygons alone keep the weight 0 and add
    // nothing; with its outlines the list mixes triangles and lines, and the triangles are drawn
    // smoothly shaded: 0 + 0x0000FF. (220, 100) lies inside the upper-left triangle, away from
    // every outline.
    ScratchDir dir;
    const std::string object = "parameterBlocks { block1 { value1 1 text \"softSelection\" } } option5 1 ";
    const std::string material = "blendMode 1 diffuse 0 0 1";
    auto alone = sceneFromText(dir, quadScene(object, material));
    QuadFrame a;
    a.render(*alone);
    EXPECT_EQ(a.at(220, 100), 0u);
    auto mixed = sceneFromText(dir, quadScene(object + "option1 2", material));
    QuadFrame m;
    m.render(*mixed);
    EXPECT_EQ(m.at(220, 100), 0x0000FFu);
    EXPECT_EQ(m.at(256, 178), 0x0000FEu);  // the outline, added over black
}

TEST(S3DMoreCases, OutlinesOfBlendModeTwoAddAndOfModeThreeSubtract)
{
    // A 100 x 100 quad at z = 0 seen from z = -256: its bottom outline runs along row 178, below
    // the fill (rows 78 .. 177). Line colour 0x0000FF at full coverage weighs 255 × 255 >> 8 = 254:
    // mode 2 adds it over black (0x0000FE), mode 3 takes it from white (0xFFFF01).
    const auto quad = [](int blendMode) {
        return "scene {\n option1 0\n triObjects { triObject { header { name \"quad\" } material 0 option1 2\n"
               "  vertices { positions [ -50 -50 0  50 -50 0  50 50 0  -50 50 0 ] }\n"
               "  faceData { faces [ 0 1 2  0 2 3 ] } } }\n"
               " cameras { camera { header { name \"c\" node { values { position 0 0 -256 } } }"
               " target { name \"t\" node { values { position 0 0 0 } } } } }\n"
               " materials { material { name \"m\" subMaterials {\n" +
               subMaterial("blendMode " + std::to_string(blendMode) + " diffuse 0 0 1") + " } } }\n}\n";
    };
    ScratchDir dir;
    auto add = sceneFromText(dir, quad(2));
    SceneFrame a;
    a.render(*add, SceneFrame::Depth::None);
    EXPECT_EQ(a.at(256, 178), 0x0000FEu);
    auto subtract = sceneFromText(dir, quad(3));
    SceneFrame b(512, 256, 0xFFFFFF);
    b.render(*subtract, SceneFrame::Depth::None);
    EXPECT_EQ(b.at(256, 178), 0xFFFF01u);
}

} // namespace
