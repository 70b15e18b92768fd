// Scripts using every effect kind, rendered through the real renderer and checked at chosen
// pixels of the work image.
#include <gtest/gtest.h>

#include <string>

#include "../script/ScriptTestUtil.h"
#include "RenderRunner.h"
#include "image/ImageFileWriter.h"

namespace {

TEST(EffectRender, EveryEffectKindOnAUniformPicture)
{
    ScratchDir dir;
    CImage32Buffered picture(512, 256);
    picture.clear(0x204060);
    ASSERT_TRUE(writeTga((dir.path() + "flat.tga").c_str(), picture, TgaFormat::Rle24));
    dir.write("effects.lscx",
              makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                          {"IMAGE", {"file: flat flat.tga"}},
                          {"SCREEN_LAYER", {"desc: s full"}},
                          {"EFFECT",
                           {"desc: colour COLOR", "desc: relief EMBOSS full", "desc: blur HVBLUR full",
                            "desc: rays RADIAL full", "desc: rows DEMOSPE01"}},
                          {"EFFECT_DESC",
                           {"desc: negative colour NULL INVERT", "desc: emboss relief x EMBOSS 1.0",
                            "desc: wide blur x HORIZONTAL NORMAL 8", "desc: still rays x SMOOTH 0 0 256 128",
                            "desc: wave rows NULL 1", "desc: noise rows NULL 0"}},
                          {"LAYER_MANAGER",
                           {"desc: s 1 0 10000 w flat", "desc: s 2 100 200 e negative", "desc: s 2 200 300 e emboss",
                            "desc: s 2 300 400 e wide", "desc: s 2 400 500 e still", "desc: s 2 500 600 e wave",
                            "desc: s 2 600 700 e noise"}}}));
    const RenderResult r = runRenderer(dir, "--quiet --image work --times 0,150,250,350,450,550,650 effects.lscx");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    auto frame = [&](int k) { return readFrame(dir.path() + "frames/00000" + std::to_string(k) + ".png"); };
    const Frame plain = frame(0);
    ASSERT_EQ(plain.width, 512);
    EXPECT_EQ(plain.at(256, 128), 0x204060u);
    EXPECT_EQ(plain.at(0, 128), 0u);  // the left column is cleared before the screen blit
    EXPECT_EQ(frame(1).at(256, 128), 0xDFBF9Fu);
    EXPECT_EQ(frame(2).at(256, 128), 0x808080u);
    const Frame blurred = frame(3);
    EXPECT_EQ(blurred.at(256, 128), 0x204060u);  // a uniform interior stays as it is
    EXPECT_NE(blurred.at(511, 128), 0x204060u);  // the row ends darken
    EXPECT_EQ(frame(4).at(300, 100), 0x204060u);
    EXPECT_EQ(frame(5).at(256, 128), 0x204060u);
    EXPECT_EQ(frame(6).at(256, 128), 0x204060u);
}

// A far position, a picture whose file is missing (written and mixed) and a colour amount far
// past 1: the demo goes on, every frame is written, the missing picture is reported once.
TEST(EffectRender, HostileScriptStillRendersEveryFrame)
{
    ScratchDir dir;
    dir.write("hostile.lscx",
              makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                          {"IMAGE", {"file: lost nothere.tga"}},
                          {"SCREEN_LAYER", {"desc: s full"}},
                          {"MIX", {"desc: blend BLIT"}},
                          {"EFFECT", {"desc: colour COLOR"}},
                          {"MIX_DESC", {"desc: add blend NULL TRANSADD 1.0 NULL"}},
                          {"EFFECT_DESC", {"desc: hot colour NULL ADD 1e10 0 0"}},
                          {"LAYER_MANAGER",
                           {"desc: s 1 0 10000 c 0 0 64", "desc: s 2 0 10000 w lost", "desc: s 3 0 10000 m add lost",
                            "desc: s 2000000000 0 10000 e hot"}}}));
    const RenderResult r = runRenderer(dir, "--quiet --image work --times 0,100,200 hostile.lscx");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string once = "warning: [IMAGE lost :] render using m_pBuffer NULL";
    EXPECT_NE(r.err.find(once), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(once), r.err.rfind(once));
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(readFrame(dir.path() + "frames/00000" + std::to_string(k) + ".png").at(256, 128), 0xFF0040u) << k;
}

} // namespace
