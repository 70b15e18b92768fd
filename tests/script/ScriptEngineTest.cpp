// The script engine against scripts written by the tests: sections, capacities, lookups,
// layer operations and their time windows, mixes, images and music.
#include <gtest/gtest.h>

#include <string>

#include "ScriptTestUtil.h"
#include "image/ImageFileWriter.h"
#include "music/MusicGenerator.h"
#include "music/SoundManager.h"

namespace {

const std::vector<std::string> kOneLayer = {"desc: full 512 256"};

TEST_F(ScriptEngineTest, EmptySectionsLoadAndDrawNothing)
{
    ReportCapture cap;
    auto engine = load("junk before\n" + makeScript({}));
    EXPECT_EQ(cap.count(), 0u);
    CImage32Buffered frame(512, 256);
    frame.clear(0x123456);
    engine->render(&frame);
    EXPECT_EQ(frame.m_pPixels[0], 0x123456u);
    EXPECT_TRUE(engine->getLayerManagers().empty());

    m_clock->set(1234);
    EXPECT_EQ(engine->getTime(), 1234);  // ticks since start without music

    cap.clear();
    ScriptEngine missing;
    missing.load("nothere.lscx");
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't open file : nothere.lscx"));
}

TEST_F(ScriptEngineTest, SectionReachingItsCapacityIsDropped)
{
    ReportCapture cap;
    std::vector<std::string> dims;
    for (int i = 0; i < 999; ++i) dims.push_back("desc: d" + std::to_string(i) + " 4 4");
    auto engine = load(makeScript({{"LAYER_DIMENSION", dims}}));
    EXPECT_EQ(cap.count(), 0u);
    EXPECT_NE(engine->findLayerDimension("d998"), nullptr);

    dims.push_back("desc: d999 4 4");
    engine = load(makeScript({{"LAYER_DIMENSION", dims}, {"SCREEN_LAYER", {"desc: s d0"}}}));
    EXPECT_TRUE(cap.has("ScriptEngine :", "nb >= MAX_NB_LAYER_DIM"));
    // The dimension table stays empty, so the screen layer's lookup stays silent and its
    // buffer cannot be made.
    EXPECT_EQ(engine->findLayerDimension("d0"), nullptr);
    EXPECT_TRUE(cap.has("SCREEN_LAYER s :", "bad dimensions for creating buffer"));
}

TEST_F(ScriptEngineTest, LookupsReportMissesButNotNull)
{
    ReportCapture cap;
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"SCREEN_LAYER", {"desc: back full", "other: ignored", "desc: bad NULL"}},
                                   {"MIX", {"desc: m1 BLIT", "desc: m2 WEIRD"}}}));
    EXPECT_TRUE(cap.has("ScriptEngine :", "createMix (): can't find iDMix : WEIRD"));
    EXPECT_TRUE(cap.has("SCREEN_LAYER bad :", "bad dimensions for creating buffer"));
    cap.clear();
    EXPECT_EQ(engine->findScreenLayer("NULL"), nullptr);
    EXPECT_EQ(engine->findImageBuffer("NULL"), nullptr);
    EXPECT_EQ(engine->findRenderData("NULL"), nullptr);
    EXPECT_EQ(cap.count(), 0u);

    EXPECT_NE(engine->findScreenLayer("back"), nullptr);
    EXPECT_EQ(engine->findScreenLayer("Back"), nullptr);  // names are case-sensitive
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find SCREEN_LAYER: Back"));
    EXPECT_EQ(engine->findEffect("x"), nullptr);  // empty table: no message
    EXPECT_FALSE(cap.has("ScriptEngine :", "Can't find Effect: x"));
    EXPECT_EQ(engine->findMix("m2"), nullptr);    // null entries never match
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find Mix: m2"));
    EXPECT_EQ(engine->findImageBuffer("zz"), nullptr);
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find IMAGE/SCREEN_LAYER Ptr: zz"));
    EXPECT_EQ(engine->findRenderData("zz"), nullptr);
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find SCREEN_LAYER/SPE_LAYER/IMAGE/2D_DESC/3D_DESC/SKYBOX_DESC: zz"));
    EXPECT_EQ(engine->find2DOr3DDesc("zz"), nullptr);
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find 2D_DESC/3D_DESC: zz"));
}

TEST_F(ScriptEngineTest, OperationsFollowPositionsAndWindows)
{
    ReportCapture cap;
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"SCREEN_LAYER", {"desc: screen full"}},
                                   {"LAYER_MANAGER",
                                    {"desc: screen 1 0 1000 c 255 0 0",     // red for [0, 1000)
                                     "desc: screen 1 500 2000 c 0 255 0",   // green, hidden by red until 1000
                                     "desc: screen 2 1500 1600 c 0 0 255",  // blue over it in [1500, 1600)
                                     "desc: screen 3 3000 4000 z",          // unknown: a magenta clear
                                     "desc: nolayer 1 0 100 c 1 1 1",
                                     "desc: screen 0 0 100 c 1 1 1"}}}));
    EXPECT_TRUE(cap.has("ScriptEngine :", "can t find operation"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "position must be >= 1"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "desc: screen 3 3000 4000 z"));
    ASSERT_EQ(engine->getLayerManagers().size(), 1u);
    EXPECT_EQ(engine->getLayerManagers()[0]->m_positions.size(), 3u);

    CImage32Buffered frame(512, 256);
    auto colourAt = [&](int t) {
        frame.clear(0x777777);
        m_clock->set(uint32_t(t));
        engine->render(&frame);
        return frame.m_pPixels[0];
    };
    EXPECT_EQ(colourAt(0), 0xFF0000u);     // start is inside the window
    EXPECT_EQ(colourAt(999), 0xFF0000u);
    EXPECT_EQ(colourAt(1000), 0x00FF00u);  // end is outside: the next operation of the position
    EXPECT_EQ(colourAt(1500), 0x0000FFu);
    EXPECT_EQ(colourAt(1600), 0x00FF00u);
    EXPECT_EQ(colourAt(2500), 0x777777u);  // nothing runs: the frame keeps its pixels
    EXPECT_EQ(colourAt(3500), 0xFF00FFu);
}

TEST_F(ScriptEngineTest, LastLayerMustMatchTheFrame)
{
    ReportCapture cap;
    auto engine = load(makeScript({{"LAYER_DIMENSION", {"desc: small 64 32"}},
                                   {"SCREEN_LAYER", {"desc: s small"}},
                                   {"LAYER_MANAGER", {"desc: s 1 0 100 c 9 9 9"}}}));
    CImage32Buffered frame(512, 256);
    engine->render(&frame);
    EXPECT_TRUE(cap.has("ScriptLayerManager :", "setDestination: different dimensions !"));
    EXPECT_EQ(frame.m_pPixels[0], 0u);
    EXPECT_EQ(engine->findImageBuffer("s")->m_pPixels[0], 0x090909u);  // it draws into its own buffer
}

TEST_F(ScriptEngineTest, ImagesMixesAndWrites)
{
    ReportCapture cap;
    CImage32Buffered picture(512, 256);
    picture.clear(0x00C08040);
    ASSERT_TRUE(writeTga((m_dir.path() + "pic.tga").c_str(), picture, TgaFormat::Raw24));
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"IMAGE", {"file: pic PIC.TGA"}},
                                   {"SCREEN_LAYER", {"desc: back full", "desc: front full"}},
                                   {"MIX", {"desc: blend BLIT"}},
                                   {"MIX_DESC",
                                    {"desc: half blend NULL NORMAL 0.5 NULL", "desc: none blend NULL NORMAL 0.0 NULL",
                                     "desc: odd blend NULL SIDEWAYS", "desc: lost nomix"}},
                                   {"LAYER_MANAGER",
                                    {"desc: back 1 0 10000 w pic",            // the image into the back layer
                                     "desc: front 1 0 10000 c 0 0 0",
                                     "desc: front 2 0 1000 m half back",      // averaged over black
                                     "desc: front 2 1000 2000 m none back"}}}));  // opacity 0: nothing
    EXPECT_TRUE(cap.has("ScriptEngine :", "blit mode not found"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "can't find MIX : nomix"));
    CImage32Buffered frame(512, 256);
    m_clock->set(10);
    engine->render(&frame);
    EXPECT_EQ(engine->findImageBuffer("back")->m_pPixels[100], 0x00C08040u);
    EXPECT_EQ(frame.m_pPixels[100], 0x00604020u);
    m_clock->set(1500);
    engine->render(&frame);
    EXPECT_EQ(frame.m_pPixels[100], 0u);
    // The image resource is also an image layer under its name.
    EXPECT_NE(engine->findRenderData("pic"), nullptr);
}

TEST_F(ScriptEngineTest, EndOfFileInsideASectionDropsItAndTheRest)
{
    ReportCapture cap;
    std::string text = makeScript({{"LAYER_DIMENSION", kOneLayer}, {"SCREEN_LAYER", {"desc: s full"}}});
    text = text.substr(0, text.find("</SCREEN_LAYER>"));
    auto engine = load(text);
    EXPECT_NE(engine->findLayerDimension("full"), nullptr);
    EXPECT_EQ(engine->findScreenLayer("s"), nullptr);
    EXPECT_EQ(cap.count(), 0u);
}

TEST_F(ScriptEngineTest, MusicDrivesTheClock)
{
    ReportCapture cap;
    m_dir.makeDir("sub");
    ASSERT_TRUE(MusicGenerator::writeFile((m_dir.path() + "sub/song.wav").c_str(), MusicGenerator::makeWav()));
    // The file is found in a subdirectory; a stream starts at the offset and its time includes it.
    auto engine = load(makeScript({{"MUSIC", {"file: song.wav", "offset: 2000"}}}));
    ASSERT_NE(engine->getSoundManager(), nullptr);
    m_clock->set(500);
    EXPECT_EQ(engine->getTime(), 2500);

    ASSERT_TRUE(MusicGenerator::writeFile((m_dir.path() + "song.mod").c_str(), MusicGenerator::makeModule()));
    engine = load(makeScript({{"MUSIC", {"file: song.mod", "offset: 2000"}}}));
    m_clock->set(500);
    EXPECT_EQ(engine->getTime(), 500);  // a module ignores the offset

    m_dir.write("broken.mp3", "this is not music");
    engine = load(makeScript({{"MUSIC", {"file: broken.mp3", "offset: 0"}}}));
    EXPECT_TRUE(cap.has("SoundManager", std::string(engine->getSoundManager()->getFileName().getName()) +
                                            ": load: FMod can t load file !"));
    m_clock->set(5000);
    EXPECT_EQ(engine->getTime(), 0);  // the clock stays at 0
}

} // namespace
