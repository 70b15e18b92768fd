// Outlines and the depth-ordered lists of a tool-made quad: lines take the sub-material's line
// colour (and so its line opacity), and a two-value polygon in a list mixed with lines is drawn
// smoothly shaded. Expected pixels are worked out by hand from the palette, the line coverage
// and the pixel operations.
#include <gtest/gtest.h>

#include <string>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "s3d/LECXControllerL3XParam.h"

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
struct QuadFrame {
    CImage32Buffered image{512, 256};
    ViewPort viewPort;
    LECXControllerL3XScene controller;
    void render(S3DScene& scene, const char* key = nullptr, const char* value = nullptr)
    {
        viewPort.m_ownsZBuffer = false;
        viewPort.setScreen(&image);
        scene.setViewPort(&viewPort);
        scene.setCamera(0);
        scene.update(0);
        if (key) {
            LECXControllerParam* p = controller.addParam();
            p->m_name = key;
            p->m_expression = value;
            p->m_mode = 0;
            controller.prepare();
            controller.prepareGroups();
            controller.setTarget(&scene);
            controller.prepareInterface();
            controller.apply();
        }
        scene.prepare();
        scene.render();
    }
    uint32_t at(int x, int y) const { return image.m_pPixels[y * 512 + x]; }
};

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

} // namespace
