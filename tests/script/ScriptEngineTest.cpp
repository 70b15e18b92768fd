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

TEST_F(ScriptEngineTest, BlitMixesAtFullOpacitySubtractAndAddByteByByte)
{
    // Back 0x402010 onto front 0x80FF08: subtracting gives (0x40, 0xDF, 0 after the floor),
    // adding (0xC0, 0xFF after the ceiling, 0x18).
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"SCREEN_LAYER", {"desc: back full", "desc: front full"}},
                                   {"MIX", {"desc: blend BLIT"}},
                                   {"MIX_DESC", {"desc: sub blend NULL TRANSSUB 1.0 NULL", "desc: add blend NULL TRANSADD 1.0 NULL"}},
                                   {"LAYER_MANAGER",
                                    {"desc: back 1 0 10000 c 64 32 16", "desc: front 1 0 10000 c 128 255 8",
                                     "desc: front 2 0 1000 m sub back", "desc: front 2 1000 2000 m add back"}}}));
    CImage32Buffered frame(512, 256);
    m_clock->set(10);
    engine->render(&frame);
    EXPECT_EQ(frame.m_pPixels[100], 0x40DF00u);
    m_clock->set(1500);
    engine->render(&frame);
    EXPECT_EQ(frame.m_pPixels[100], 0xC0FF18u);
}

// The script with the block of section `name` moved to the end of the file, or removed.
std::string withSectionMoved(std::string text, const std::string& name, bool keep)
{
    const size_t from = text.find("<" + name + ">");
    const std::string close = "</" + name + ">\n";
    const size_t to = text.find(close, from) + close.size();
    const std::string block = text.substr(from, to - from);
    text.erase(from, to - from);
    return keep ? text + block : text;
}

size_t countOf(const ReportCapture& cap, const std::string& caption, const std::string& text)
{
    size_t n = 0;
    for (const CapturedReport& r : cap.reports()) n += r.caption == caption && r.text == text;
    return n;
}

TEST_F(ScriptEngineTest, SectionsAreFoundOnlyForwardAndAnUnclosedOneIsNamed)
{
    ReportCapture cap;
    const std::string text = makeScript({{"LAYER_DIMENSION", kOneLayer},
                                         {"SCREEN_LAYER", {"desc: s full"}},
                                         {"MIX", {"desc: m BLIT"}},
                                         {"LAYER_MANAGER", {"desc: s 1 0 100 c 1 2 3"}}});
    // SCREEN_LAYER last: its search passes over the sections before it, whose own searches then
    // run to the end of the file; every section after it in the order is lost with them.
    auto engine = load(withSectionMoved(text, "SCREEN_LAYER", true));
    EXPECT_NE(engine->findLayerDimension("full"), nullptr);
    EXPECT_NE(engine->findScreenLayer("s"), nullptr);
    EXPECT_EQ(engine->findMix("m"), nullptr);
    EXPECT_TRUE(engine->getLayerManagers().empty());
    // A missing section loses the ones after it just the same.
    engine = load(withSectionMoved(text, "SPE_LAYER", false));
    EXPECT_NE(engine->findScreenLayer("s"), nullptr);
    EXPECT_EQ(engine->findMix("m"), nullptr);
    EXPECT_TRUE(engine->getLayerManagers().empty());
    // Each load tells the first section it did not find (ScriptSectionReportTest.cpp).
    EXPECT_EQ(cap.count(), 2u);
    cap.clear();

    // Cut short inside a section: what was read stays, and the section is named.
    engine = load(text.substr(0, text.find("</SCREEN_LAYER>")));
    EXPECT_NE(engine->findScreenLayer("s"), nullptr);
    EXPECT_TRUE(cap.has("ScriptEngine :", "<SCREEN_LAYER> not closed: end of file before </SCREEN_LAYER>"));
    EXPECT_EQ(cap.count(), 1u);
    // A misspelt closing tag: the lines up to the end of the file belong to the section.
    cap.clear();
    std::string misspelt = text;
    misspelt.replace(misspelt.find("</MIX>"), 6, "</MXI>");
    engine = load(misspelt);
    EXPECT_NE(engine->findMix("m"), nullptr);
    EXPECT_TRUE(engine->getLayerManagers().empty());
    EXPECT_TRUE(cap.has("ScriptEngine :", "<MIX> not closed: end of file before </MIX>"));
}

TEST_F(ScriptEngineTest, LongLinesAndTheSearchLimit)
{
    ReportCapture cap;
    // 511 characters make a line; the rest of a longer one is read as the next line.
    std::string first = "desc: a 4 4";
    first.resize(511, ' ');
    auto engine = load(makeScript({{"LAYER_DIMENSION", {first + "desc: b 8 8"}}}));
    ASSERT_NE(engine->findLayerDimension("a"), nullptr);
    ASSERT_NE(engine->findLayerDimension("b"), nullptr);
    EXPECT_EQ(engine->findLayerDimension("b")->m_width, 8);
    EXPECT_EQ(cap.count(), 0u);

    // The search for <MUSIC> reads the junk, the script's first line and the tag: past 10000
    // lines, each line it reads is reported.
    auto junk = [](int n) {
        std::string t;
        for (int i = 0; i < n; ++i) t += "junk\n";
        return t;
    };
    engine = load(junk(9998) + makeScript({}));  // the tag is line 10000
    EXPECT_EQ(cap.count(), 0u);
    engine = load(junk(10001) + makeScript({}));  // the tag is line 10003
    EXPECT_EQ(countOf(cap, "infinite loop", "searchExpression"), 3u);
    EXPECT_EQ(cap.count(), 3u);
}

TEST_F(ScriptEngineTest, SceneSkyBoxSpecialAndDependencySections)
{
    ReportCapture cap;
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"2D", {"file: flat flat.l2d"}},
                                   {"SKYBOX", {"file: sky a.tga b.tga"}},
                                   {"SCREEN_LAYER", {"desc: back full"}},
                                   {"2D_DESC", {"desc: d2 flat full any 250 2", "desc: lost2 nothing full any 0 0"}},
                                   {"3D_DESC", {"desc: d3 NULL full NULL 0 0"}},
                                   {"SKYBOX_DESC", {"desc: sd sky full d3 40", "desc: sd2 nosky full no3d 0"}},
                                   {"SPE_LAYER", {"desc: x y z", "desc: u v w"}},
                                   {"LAYER_DEPENDENCY",
                                    {"desc: back word d2", "desc: back word nodesc", "desc: nolayer word d3"}},
                                   {"LAYER_MANAGER", {"desc: back 1 0 100 c 9 9 9", "desc: back 2 0 100 w sd"}}}));
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find ressource2D: nothing"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find ressourceSkyBox: nosky"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find 3D_DESC: no3d"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find 2D_DESC/3D_DESC: nodesc"));
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't find SCREEN_LAYER: nolayer"));
    EXPECT_TRUE(cap.has("S2DScene :", "load: can't open file flat.l2d"));
    EXPECT_EQ(cap.count(), 6u);

    auto* d2 = dynamic_cast<RenderData2DDesc*>(engine->find2DOr3DDesc("d2"));
    ASSERT_NE(d2, nullptr);
    EXPECT_EQ(d2->m_pResource, engine->findResource2D("flat"));
    EXPECT_EQ(d2->m_timeOffset, 250);
    EXPECT_EQ(d2->m_camera, 2);
    EXPECT_EQ(d2->m_dimension.m_width, 512);
    ASSERT_NE(engine->findResourceSkyBox("sky"), nullptr);
    EXPECT_TRUE(engine->findResourceSkyBox("sky")->m_fileName2 == "b.tga");
    auto* sky = dynamic_cast<RenderDataSkyBoxDesc*>(engine->findRenderData("sd"));
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->m_timeOffset, 40);
    EXPECT_EQ(sky->m_dimension.m_height, 256);
    EXPECT_EQ(engine->getSpecialLayerCount(), 2);
    EXPECT_EQ(engine->findRenderData("x"), nullptr);  // special layers hold no objects

    // Writing the sky box description draws nothing over the clear.
    CImage32Buffered frame(512, 256);
    m_clock->set(10);
    engine->render(&frame);
    EXPECT_EQ(frame.m_pPixels[0], 0x090909u);
}

TEST_F(ScriptEngineTest, LookupsTakeTheFirstEntryOfAName)
{
    ReportCapture cap;
    auto engine = load(makeScript({{"LAYER_DIMENSION", {"desc: d 4 2", "desc: d 8 6"}},
                                   {"SCREEN_LAYER", {"desc: x d"}},
                                   {"2D_DESC", {"desc: x NULL d any 0 0"}}}));
    ASSERT_NE(engine->findLayerDimension("d"), nullptr);
    EXPECT_EQ(engine->findLayerDimension("d")->m_width, 4);
    // Across tables, the first table searched wins.
    EXPECT_EQ(engine->findRenderData("x"), engine->findScreenLayer("x"));
    EXPECT_EQ(engine->findImageBuffer("x")->m_width, 4);
}

TEST_F(ScriptEngineTest, FarPositionsKeepOnlyTheirOperations)
{
    ReportCapture cap;
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"SCREEN_LAYER", {"desc: screen full"}},
                                   {"LAYER_MANAGER",
                                    {"desc: screen 2000000000 0 1000 c 255 0 0", "desc: screen 7 0 1000 c 0 0 255",
                                     "desc: screen 7 500 1000 c 0 255 0"}}}));
    ASSERT_EQ(engine->getLayerManagers().size(), 1u);
    const auto& positions = engine->getLayerManagers()[0]->m_positions;
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(positions[0].m_position, 7);
    EXPECT_EQ(positions[0].m_operations.size(), 2u);
    EXPECT_EQ(positions[1].m_position, 2000000000);
    CImage32Buffered frame(512, 256);
    engine->render(&frame);
    EXPECT_EQ(frame.m_pPixels[0], 0xFF0000u);  // the far position draws last
}

TEST_F(ScriptEngineTest, MissingPicturesAndMismatchedBuffersDrawNothing)
{
    ReportCapture cap;
    clearFatalError();
    m_dir.write("bad.tga", "xx");
    auto engine = load(makeScript({{"LAYER_DIMENSION", {"desc: full 512 256", "desc: small 64 32", "desc: odd 63 32"}},
                                   {"IMAGE", {"file: lost nothere.tga", "file: broken bad.tga"}},
                                   {"SCREEN_LAYER",
                                    {"desc: tiny small", "desc: odd1 odd", "desc: odd2 odd", "desc: front full"}},
                                   {"MIX", {"desc: blend BLIT", "desc: blend2 BLIT"}},
                                   {"MIX_DESC", {"desc: add blend NULL TRANSADD 1.0", "desc: add2 blend2 NULL TRANSADD"}},
                                   {"LAYER_MANAGER",
                                    {"desc: odd1 1 0 1000 m add2 odd2",  // odd width: pairs of pixels
                                     "desc: front 1 0 1000 c 0 0 9",
                                     "desc: front 2 0 1000 w lost", "desc: front 3 0 1000 m add broken",
                                     "desc: front 4 0 1000 w tiny", "desc: front 5 0 1000 m add tiny"}}}));
    cap.clear();
    CImage32Buffered frame(512, 256);
    for (int t : {0, 10, 20}) {
        m_clock->set(uint32_t(t));
        engine->render(&frame);
    }
    EXPECT_FALSE(fatalErrorPosted());
    EXPECT_EQ(frame.m_pPixels[0], 0x000009u);
    EXPECT_EQ(countOf(cap, "IMAGE lost :", "render using m_pBuffer NULL"), 1u);
    EXPECT_EQ(countOf(cap, "ScriptLayerOperationMix :", "no src buffer set"), 1u);
    EXPECT_EQ(countOf(cap, "SCREEN_LAYER tiny :", "blit: must be same dimensions"), 1u);
    EXPECT_EQ(countOf(cap, "ScriptMixBlit :", "apply: source and destination of different dimensions"), 1u);
    EXPECT_EQ(countOf(cap, "ScriptMixBlit :", "apply: width must be even"), 1u);
    EXPECT_EQ(cap.count(), 5u);
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

// The load in steps (the web page's, with its progress bar): a step is a section or one entry,
// the progress never goes back and ends at 1, and the engine is the one load() makes.
TEST_F(ScriptEngineTest, LoadInStepsIsOneEntryAStepWithProgressToTheEnd)
{
    ReportCapture cap;
    const std::string text = makeScript({{"LAYER_DIMENSION", {"desc: full 512 256", "desc: half 256 128"}},
                                          {"SCREEN_LAYER", {"desc: s full", "desc: t half"}},
                                          {"MIX", {"desc: m BLIT", "desc: n NOSUCHMIX"}}});
    m_dir.write("steps.lscx", text);
    ScriptEngine engine;
    ASSERT_TRUE(engine.beginLoad("steps.lscx"));
    int steps = 1;
    double last = engine.loadProgress();
    EXPECT_EQ(last, 0.0);
    while (engine.loadStep()) {
        ++steps;
        EXPECT_GE(engine.loadProgress(), last);
        last = engine.loadProgress();
        EXPECT_LT(last, 1.0);
    }
    EXPECT_EQ(engine.loadProgress(), 1.0);
    // One step per section collected and per section ended, and one per entry: six, and the
    // two lines of the music section, whose every line is an entry.
    EXPECT_EQ(steps, 2 * int(scriptSectionNames().size()) + 8);
    EXPECT_NE(engine.findScreenLayer("t"), nullptr);
    EXPECT_NE(engine.findMix("m"), nullptr);
    const size_t stepReports = cap.count();
    EXPECT_GT(stepReports, 0u);  // the unknown mix type
    cap.clear();
    load(text);
    EXPECT_EQ(cap.count(), stepReports);
    EXPECT_FALSE(engine.beginLoad("no-such.lscx"));
    EXPECT_FALSE(engine.loadStep());
}
