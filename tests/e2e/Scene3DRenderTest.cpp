// A tool-made 3D scene written into a layer by the real renderer, checked at chosen pixels of
// the work image; a missing scene file is reported and the demo goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "../s3d/S3DTestSupport.h"
#include "../script/ScriptTestUtil.h"
#include "RenderRunner.h"

namespace {

// A red cube of side 100 at the origin, seen from z = -300 with the default 90 degree field of
// view and lit by an omni light at the eye, nearer than its near attenuation: light value 0.5 on
// every vertex, light index 127.5, palette entry 127 (n = 128, b = cos(pi/4)): 255 b = 180.3,
// so the near face is 0xB40000. On a W x H screen its corners (+-50, +-50, 250 in camera space)
// project to W/2 +- 0.2 W/2 and H/2 -+ 0.2 H.
void writeCubeScene(const ScratchDir& dir)
{
    dir.write("cube.obj", "v -50 -50 50\nv 50 -50 50\nv 50 50 50\nv -50 50 50\n"
                          "v -50 -50 -50\nv 50 -50 -50\nv 50 50 -50\nv -50 50 -50\n"
                          "f 1 2 3 4\nf 6 5 8 7\nf 5 1 4 8\nf 2 6 7 3\nf 4 3 7 8\nf 5 6 2 1\n");
    dir.write("cube.txt", "scene {\n animationLength 30\n"
                          " triObjects { triObject { header { name \"cube\" } material 0 obj \"cube.obj\" lights { light \"l\" } } }\n"
                          " cameras { camera { header { name \"c\" node { values { position 0 0 -300 } } }"
                          " target { name \"t\" node { values { position 0 0 0 } } } } }\n"
                          " lights { light { header { name \"l\" node { values { position 0 0 -300 } } }"
                          " values { type 1 intensity 0.5 nearAttenuation 1000 farAttenuation 2000 } } }\n"
                          " materials { material { name \"m\" subMaterials { subMaterial { shading { values {"
                          " paletteEnabled 1 diffuse 1 0 0 } } } } } }\n}\n");
    ASSERT_EQ(runL3xTool(dir, "cube.txt cube.l3x"), 0);
}

// The near face on a W x H image: pixels ceil(0.4 W) .. ceil(0.6 W) - 1 across and
// ceil(0.3 H) .. ceil(0.7 H) - 1 down are red, the pixels just outside keep the clear colour.
void expectCentredCube(const std::function<uint32_t(int, int)>& at, int w, int h, uint32_t background,
                       const std::string& where)
{
    const int x0 = int(std::ceil(0.4 * w)), x1 = int(std::ceil(0.6 * w)) - 1;
    const int y0 = int(std::ceil(0.3 * h)), y1 = int(std::ceil(0.7 * h)) - 1;
    EXPECT_EQ(at(w / 2, h / 2), 0xB40000u) << where;
    EXPECT_EQ(at(x0, y0), 0xB40000u) << where;
    EXPECT_EQ(at(x1, y1), 0xB40000u) << where;
    EXPECT_EQ(at(x0 - 1, h / 2), background) << where;
    EXPECT_EQ(at(x1 + 1, h / 2), background) << where;
    EXPECT_EQ(at(w / 2, y0 - 1), background) << where;
    EXPECT_EQ(at(w / 2, y1 + 1), background) << where;
}

TEST(Scene3DRender, LitCubeInItsLayer)
{
    ScratchDir dir;
    writeCubeScene(dir);
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

// One scene, three layers: "small" (256 x 128) and "a" (512 x 256) written by one description,
// "b" by a second description of the same scene. Each layer shows the whole scene centred in
// its own size: the scene draws through the view port of the description that writes, and its
// cameras follow the size of the layer. The shown layer is "a" before 1000 ms, "b" after.
std::string twoViewScript(bool smallFirst)
{
    const std::vector<std::string> layers =
        smallFirst ? std::vector<std::string>{"desc: small small", "desc: a full", "desc: b full", "desc: screen full"}
                   : std::vector<std::string>{"desc: a full", "desc: b full", "desc: small small", "desc: screen full"};
    return makeScript({{"LAYER_DIMENSION", {"desc: full 512 256", "desc: small 256 128"}},
                       {"3D", {"file: cube cube.l3x"}},
                       {"SCREEN_LAYER", layers},
                       {"3D_DESC", {"desc: one cube full NULL 0 0", "desc: two cube full NULL 0 0"}},
                       {"LAYER_MANAGER",
                        {"desc: small 1 0 10000 c 0 0 64", "desc: small 2 0 10000 w one",
                         "desc: a 1 0 10000 c 0 0 64", "desc: a 2 0 10000 w one",
                         "desc: b 1 0 10000 c 0 0 64", "desc: b 2 0 10000 w two",
                         "desc: screen 1 0 1000 w a", "desc: screen 1 1000 10000 w b"}}});
}

TEST(Scene3DRender, OneSceneInLayersOfTwoDescriptionsAndTwoSizes)
{
    ScratchDir dir;
    writeCubeScene(dir);
    dir.write("views.lscx", twoViewScript(true));
    const RenderResult r = runRenderer(dir, "--quiet --image work --times 500,1500,2000 views.lscx");
    ASSERT_EQ(r.status, 0) << r.err;
    for (int k = 0; k < 3; ++k) {
        const Frame f = readFrame(dir.path() + "frames/00000" + std::to_string(k) + ".png");
        ASSERT_EQ(f.width, 512);
        expectCentredCube([&f](int x, int y) { return f.at(x, y); }, 512, 256, 0x000040u,
                          k == 0 ? "layer a" : "layer b");
    }
}

class Scene3DLayers : public ScriptEngineTest {};

TEST_F(Scene3DLayers, SmallLayerOfADescriptionIsCentred)
{
    writeCubeScene(m_dir);
    auto engine = load(twoViewScript(false));
    CImage32Buffered frame(512, 256);
    for (int t : {0, 40}) {
        m_clock->set(t);
        engine->render(&frame);
        const CImage32* small = engine->findScreenLayer("small")->getBuffer();
        ASSERT_EQ(small->getWidth(), 256);
        expectCentredCube([small](int x, int y) { return small->m_pPixels[size_t(y) * 256 + size_t(x)]; }, 256, 128,
                          0x000040u, "small layer at " + std::to_string(t));
    }
}

} // namespace
