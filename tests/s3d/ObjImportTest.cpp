// OBJ files as modellers write them (right-handed, y up, faces counter-clockwise seen from
// outside), imported by tessaline-l3x and drawn: the model must show its outside and must not
// come out as its mirror image.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "S3DTestSupport.h"

namespace {

// An OBJ box [x0, x1] x [y0, y1] x [z0, z1]: its +z face under `usemtl front`, the other five
// under `usemtl rest`, each quad counter-clockwise seen from outside in right-handed terms (for
// corners A B C, (B - A) x (C - A) points out of the box).
struct ObjBoxes {
    std::string vertices, front, rest;
    int count = 0;
    void box(int x0, int x1, int y0, int y1, int z0, int z1)
    {
        // Corner k: x1 when bit 0 is set, y1 for bit 1, z1 for bit 2.
        for (int k = 0; k < 8; ++k)
            vertices += "v " + std::to_string(k & 1 ? x1 : x0) + " " + std::to_string(k & 2 ? y1 : y0) + " " +
                        std::to_string(k & 4 ? z1 : z0) + "\n";
        const auto quad = [&](int a, int b, int c, int d) {
            return "f " + std::to_string(count + a + 1) + " " + std::to_string(count + b + 1) + " " +
                   std::to_string(count + c + 1) + " " + std::to_string(count + d + 1) + "\n";
        };
        front += quad(4, 5, 7, 6);                                        // +z
        rest += quad(0, 2, 3, 1) + quad(1, 3, 7, 5) + quad(0, 4, 6, 2) +  // -z, +x, -x
                quad(2, 6, 7, 3) + quad(0, 1, 5, 4);                      // +y, -y
        count += 8;
    }
    std::string obj() const { return vertices + "usemtl front\n" + front + "usemtl rest\n" + rest; }
};

// Leftmost and rightmost drawn pixel of row y (-1, -1 when none).
std::pair<int, int> litSpan(const SceneFrame& f, int y)
{
    int lo = -1, hi = -1;
    for (int x = 0; x < 512; ++x)
        if (f.at(x, y) != 0) {
            if (lo < 0) lo = x;
            hi = x;
        }
    return {lo, hi};
}

bool isFrontRed(uint32_t c) { return (c & 0xFFFFu) == 0 && (c >> 16) > 0x40; }

// A letter F, 100 deep (z 0 … 100, its front at z = 100 facing the modeller): a stem x -60 … -20,
// y -100 … 100; a top arm to x = 60 at y 60 … 100; a middle arm to x = 40 at y -10 … 20. The
// camera stands where the modeller looked from (400 in front of the letter's back, on its z axis),
// with the 90 degree view: a point at distance d from the eye lands at 256 + 256 x / d,
// 128 - 256 y / d. The front is red, the rest blue, lit from the eye.
TEST(ObjImport, LetterFReadsTheRightWayRoundAndShowsItsOutside)
{
    ObjBoxes f;
    f.box(-60, -20, -100, 100, 0, 100);
    f.box(-20, 60, 60, 100, 0, 100);
    f.box(-20, 40, -10, 20, 0, 100);
    ScratchDir dir;
    dir.write("f.obj", f.obj());
    // In scene terms the modeller's front (+z) is towards a camera at -z looking along +z.
    auto scene = sceneFromText(
        dir, "scene {\n triObjects { triObject { header { name \"F\" } material 0 obj \"f.obj\" lights { light \"l\" } } }\n"
             " cameras { camera { header { name \"c\" node { values { position 0 0 -400 } } }"
             " target { name \"t\" node { values { position 0 0 0 } } } } }\n"
             " lights { light { header { name \"l\" node { values { position 0 0 -400 } } }"
             " values { type 1 intensity 1 nearAttenuation 1000 farAttenuation 2000 } } }\n"
             " materials { material { name \"m\" subMaterials {\n"
             "  subMaterial { shading { values { paletteEnabled 1 diffuse 1 0 0 } } }\n"
             "  subMaterial { shading { values { paletteEnabled 1 diffuse 0 0 1 } } } } } }\n}\n");
    SceneFrame frame;
    frame.render(*scene);

    // Rows through the stem alone (y = 35 between the arms, y = -60 below them) and through the
    // arms (y = 80 and y = 5), all on the front at distance 300.
    const auto stem = litSpan(frame, 98), lowStem = litSpan(frame, 180);
    const auto top = litSpan(frame, 60), middle = litSpan(frame, 124);
    ASSERT_GE(stem.first, 0);
    EXPECT_EQ(lowStem, stem);
    // The arms reach to the viewer's right of the stem (x = 60: 307; x = 40: 290), none to its left.
    EXPECT_GT(top.second, stem.second + 40) << top.second;
    EXPECT_GT(middle.second, stem.second + 30) << middle.second;
    EXPECT_GE(top.first, stem.first - 1);
    EXPECT_GE(middle.first, stem.first - 1);

    // The outside: the red front, 300 from the eye, spans the stem from x = 204.8; seen from inside,
    // the far face would start at 217.6 with the inside of the stem's left wall (blue) before it.
    EXPECT_TRUE(isFrontRed(frame.at(210, 180))) << std::hex << frame.at(210, 180);
    EXPECT_TRUE(isFrontRed(frame.at(222, 98))) << std::hex << frame.at(222, 98);
    // The top arm's outer corner (55, 95) on the front: (302.9, 46.9); the far face ends at 291.2.
    EXPECT_TRUE(isFrontRed(frame.at(302, 47))) << std::hex << frame.at(302, 47);
    // Left of the stem nothing is drawn.
    EXPECT_EQ(frame.at(200, 180), 0u);
    EXPECT_EQ(frame.at(200, 60), 0u);
}

// The "Spot" cow (5 856 triangles, a closed surface, exported the way OBJ files are written).
// Seen from outside, the nearest surface at every pixel faces the eye, so the picture drawn with
// back faces culled has, wherever the model covers, the depth of the picture drawn with both
// sides (which does not depend on the winding). An inside-out import shows the far surfaces.
TEST(ObjImport, RealModelShowsItsOutside)
{
    ScratchDir dir;
    std::filesystem::copy_file(std::string(TL_SOURCE_DIR) + "/tests/data/realworld/models/spot_triangulated.obj",
                               dir.path() + "spot.obj");
    const auto render = [&](int twoSided, SceneFrame& frame) {
        ReportCapture reports;
        auto scene = sceneFromText(
            dir, "scene {\n triObjects { triObject { header { name \"spot\" } material 0 obj \"spot.obj\" } }\n"
                 " cameras { camera { header { name \"c\" node { values { position 1.8 1.0 -2.4 } } }"
                 " target { name \"t\" node { values { position 0 0.1 -0.15 } } } values { near 1 } } }\n"
                 " materials { material { name \"m\" subMaterials { subMaterial { shading { values {"
                 " paletteEnabled 1 ambient 0.5 0.5 0.5 twoSided " + std::to_string(twoSided) + " } } } } } }\n}\n");
        ASSERT_EQ(scene->getNbTriObject(), 1);
        ASSERT_EQ(scene->getTriObjects()[0].getNbFace(), 5856);
        frame.render(*scene);
    };
    SceneFrame culled, both;
    render(0, culled);
    render(1, both);
    const uint32_t* zCulled = culled.viewPort.getZBuffer();
    const uint32_t* zBoth = both.viewPort.getZBuffer();
    ASSERT_NE(zCulled, nullptr);
    ASSERT_NE(zBoth, nullptr);
    int covered = 0, same = 0;
    for (int i = 0; i < 512 * 256; ++i) {
        if (zBoth[i] == 0) continue;
        ++covered;
        if (zCulled[i] == zBoth[i]) ++same;
    }
    EXPECT_GT(covered, 512 * 256 / 20);  // the cow fills a good part of the frame
    EXPECT_GT(same, covered * 95 / 100) << same << " of " << covered;
}

} // namespace
