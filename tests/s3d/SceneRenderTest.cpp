// Whole frames of tool-made scenes: a closed cube from outside and inside (facing, two-sided
// faces, no allocation per frame), and a layer that changes one side of the screen only.
#include <string>

#include "S3DTestSupport.h"
#include "image/CImage32.h"
#include "support/AllocationCounter.h"

namespace {

// A cube of side 100 about the origin: the near face (scene z = -50, OBJ z = 50) red, the far
// one green, the sides blue. As OBJ files are written, faces run counter-clockwise seen from
// outside in the file's right-handed terms; imported, they run counter-clockwise on the screen.
const char* const kCubeObj = R"(v -50 -50 50
v 50 -50 50
v 50 50 50
v -50 50 50
v -50 -50 -50
v 50 -50 -50
v 50 50 -50
v -50 50 -50
usemtl near
f 1 2 3 4
usemtl far
f 6 5 8 7
usemtl sides
f 5 1 4 8
f 2 6 7 3
f 4 3 7 8
f 5 6 2 1
)";

// The cube seen from `eye` looking at `target`, without a depth buffer (option1 0), so that the
// drawing order alone decides what is seen.
std::string cubeScene(const char* eye, const char* target, int twoSided)
{
    const std::string sub = [&] {
        std::string s;
        const char* colours[3] = {"1 0 0", "0 1 0", "0 0 1"};
        for (const char* c : colours)
            s += std::string("subMaterial { shading { values { paletteEnabled 1 twoSided ") + std::to_string(twoSided) +
                 " diffuse " + c + " } } }\n";
        return s;
    }();
    return std::string("scene {\n option1 0\n animationLength 10\n") +
           " triObjects { triObject { header { name \"cube\" } material 0 obj \"cube.obj\" } }\n" +
           " cameras { camera { header { name \"c\" node { values { position " + eye + " } } } target { name \"t\" node { values { position " +
           target + " } } } } }\n materials { material { name \"m\" subMaterials {\n" + sub + " } } }\n}\n";
}

TEST(S3DRender, ClosedCubeShowsTheSidesFacingTheCamera)
{
    ScratchDir dir;
    dir.write("cube.obj", kCubeObj);
    {
        // From outside: the near face spans 256 +- 51.2 by 128 +- 51.2 pixels; the far face and
        // the sides, drawn after it, would show inside that square if they were drawn.
        auto scene = sceneFromText(dir, cubeScene("0 0 -300", "0 0 0", 0));
        SceneFrame f;
        f.render(*scene);
        EXPECT_EQ(f.at(256, 128), 0xFF0000u);
        EXPECT_EQ(f.at(210, 100), 0xFF0000u);
        EXPECT_EQ(f.at(204, 128), 0u);
        EXPECT_EQ(f.at(308, 128), 0u);
        // No allocation once the scene runs.
        AllocationCounter counter;
        f.render(*scene);
        EXPECT_EQ(counter.count(), 0);
    }
    {
        // From inside, one-sided: every face turns its back; two-sided: the far face fills the
        // middle of the view (it spans the whole width at z = 50, through the clipper).
        auto oneSided = sceneFromText(dir, cubeScene("0 0 0", "0 0 100", 0));
        SceneFrame f;
        f.render(*oneSided);
        EXPECT_EQ(f.lit(), 0);
        auto twoSided = sceneFromText(dir, cubeScene("0 0 0", "0 0 100", 1));
        SceneFrame g;
        g.render(*twoSided);
        EXPECT_EQ(g.at(256, 128), 0x00FF00u);
    }
}

TEST(S3DMoreCases, ALayerChangingOneSideOnlyResizesTheCameras)
{
    // A point at the origin lands on the centre of each layer: (256, 128) on 512 x 256, then
    // (256, 64) on 512 x 128 (the same width), then (128, 64) on 256 x 128 (the same height).
    ScratchDir dir;
    auto s = sceneFromText(dir, sceneWithBody(" shapes { shape 1 { common { header { name \"p\" } material 0"
                                      " vertices { positions [ 0 0 0 ] } } } }\n",
                                      subMaterial("diffuse 0 1 0")));
    SceneFrame wide(512, 256), low(512, 128), small(256, 128);
    wide.render(*s, SceneFrame::Depth::None);
    EXPECT_EQ(wide.at(256, 128), 0x00FF00u);
    low.render(*s, SceneFrame::Depth::None);
    EXPECT_EQ(low.at(256, 64), 0x00FF00u);
    small.render(*s, SceneFrame::Depth::None);
    EXPECT_EQ(small.at(128, 64), 0x00FF00u);
}

} // namespace
