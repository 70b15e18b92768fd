// A tool-made 3D scene written into a layer by the real renderer, checked at chosen pixels of
// the work image; a missing scene file is reported and the demo goes on.
#include <gtest/gtest.h>

#include <string>

#include "../s3d/SceneFromText.h"
#include "../script/ScriptTestUtil.h"
#include "RenderRunner.h"

namespace {

TEST(Scene3DRender, LitCubeInItsLayer)
{
    ScratchDir dir;
    dir.write("cube.obj", "v -50 -50 -50\nv 50 -50 -50\nv 50 50 -50\nv -50 50 -50\n"
                          "v -50 -50 50\nv 50 -50 50\nv 50 50 50\nv -50 50 50\n"
                          "f 1 2 3 4\nf 6 5 8 7\nf 5 1 4 8\nf 2 6 7 3\nf 4 3 7 8\nf 5 6 2 1\n");
    // An omni light at the eye, nearer than its near attenuation: light value 0.5 on every
    // vertex, light index 127.5, palette entry 127 (n = 128, b = cos(pi/4)): 255 b = 180.3.
    dir.write("cube.txt", "scene {\n animationLength 30\n"
                          " triObjects { triObject { header { name \"cube\" } material 0 obj \"cube.obj\" lights { light \"l\" } } }\n"
                          " cameras { camera { header { name \"c\" node { values { position 0 0 -300 } } }"
                          " target { name \"t\" node { values { position 0 0 0 } } } } }\n"
                          " lights { light { header { name \"l\" node { values { position 0 0 -300 } } }"
                          " values { type 1 intensity 0.5 nearAttenuation 1000 farAttenuation 2000 } } }\n"
                          " materials { material { name \"m\" subMaterials { subMaterial { shading { values {"
                          " paletteEnabled 1 diffuse 1 0 0 } } } } } }\n}\n");
    ASSERT_EQ(runL3xTool(dir, "cube.txt cube.l3x"), 0);
    dir.write("cube.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                       {"3D", {"file: cube cube.l3x", "file: lost missing.l3x"}},
                                       {"SCREEN_LAYER", {"desc: s full"}},
                                       {"3D_DESC", {"desc: view cube full NULL 0 0", "desc: gone lost full NULL 0 0"}},
                                       {"LAYER_MANAGER",
                                        {"desc: s 1 0 10000 c 0 0 64", "desc: s 2 0 10000 w view", "desc: s 3 0 10000 w gone"}}}));
    const RenderResult r = runRenderer(dir, "--quiet --image work --times 0,500 cube.lscx");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("missing.l3x"), std::string::npos) << r.err;
    for (int k = 0; k < 2; ++k) {
        const Frame f = readFrame(dir.path() + "frames/00000" + std::to_string(k) + ".png");
        ASSERT_EQ(f.width, 512);
        // The near face spans 256 +- 51.2 by 128 +- 51.2; outside it the cleared blue stays.
        EXPECT_EQ(f.at(256, 128), 0xB40000u) << k;
        EXPECT_EQ(f.at(206, 78), 0xB40000u) << k;
        EXPECT_EQ(f.at(203, 128), 0x000040u) << k;
        EXPECT_EQ(f.at(256, 181), 0x000040u) << k;
    }
}

} // namespace
