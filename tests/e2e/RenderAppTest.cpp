// The headless renderer as users run it: frames, file names, image sizes, messages, exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../script/ScriptTestUtil.h"
#include "RenderRunner.h"
#include "music/MusicGenerator.h"

namespace {

TEST(RenderApp, MissingScriptGivesBlackFramesAndAWarning)
{
    ScratchDir dir;
    const RenderResult r = runRenderer(dir, "--quiet --times 0,1000 -o out sub/nothere.lscx");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("warning: [ScriptEngine :] Can't open file : nothere.lscx\n"), std::string::npos) << r.err;
    for (const char* name : {"out/000000.png", "out/000001.png"}) {
        const Frame f = readFrame(dir.path() + name);
        EXPECT_EQ(f.channels, 3);
        EXPECT_EQ(f.width, 640);
        EXPECT_EQ(f.height, 480);
        for (uint32_t p : f.pixels) ASSERT_EQ(p, 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "out/000002.png"));
}

TEST(RenderApp, FrameTimesAndWorkImage)
{
    ScratchDir dir;
    dir.write("empty.lscx", "");
    const RenderResult r = runRenderer(dir, "--fps 10 --start 0 --end 250 --image work empty.lscx");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("frame 3/3"), std::string::npos) << r.err;  // 0, 100 and 200 ms
    const Frame f = readFrame(dir.path() + "frames/000002.png");
    EXPECT_EQ(f.width, 512);
    EXPECT_EQ(f.height, 256);
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "frames/000003.png"));
}

TEST(RenderApp, BadUsageExitsWithTwo)
{
    ScratchDir dir;
    for (const char* args : {"", "--fps 0 x.lscx", "--bogus x.lscx", "--image both x.lscx", "--times 1,,2 x.lscx",
                             "--start 10 --end 5 x.lscx", "a.lscx b.lscx", "-o"}) {
        const RenderResult r = runRenderer(dir, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: tessaline-render"), std::string::npos) << args;
    }
}

} // namespace

namespace {

TEST(RenderApp, RenderingTwiceGivesTheSameFrames)
{
    ScratchDir dir;
    ASSERT_TRUE(MusicGenerator::writeFile((dir.path() + "song.wav").c_str(), MusicGenerator::makeWav()));
    dir.write("music.lscx", makeScript({{"MUSIC", {"file: song.wav", "offset: 1000"}},
                                        {"LAYER_DIMENSION", {"desc: full 512 256"}},
                                        {"SCREEN_LAYER", {"desc: s full"}},
                                        {"LAYER_MANAGER", {"desc: s 1 0 1500 c 200 0 0", "desc: s 1 1500 9000 c 0 0 200"}}}));
    for (const char* out : {"a", "b"}) {
        const RenderResult r = runRenderer(dir, std::string("--quiet --fps 4 --end 1000 -o ") + out + " music.lscx");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (int k = 0; k < 5; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "/%06d.png", k);
        const Frame a = readFrame(dir.path() + "a" + name);
        const Frame b = readFrame(dir.path() + "b" + name);
        ASSERT_EQ(a.width, 640) << name;
        EXPECT_EQ(a.pixels, b.pixels) << name;
    }
    // The stream's time includes its offset: red before 1500 ms, blue from there on (the bilinear
    // screen blit's weights sum to a little under one, so 200 shows as 199).
    EXPECT_EQ(readFrame(dir.path() + "a/000000.png").at(320, 240), 0xC70000u);
    EXPECT_EQ(readFrame(dir.path() + "a/000002.png").at(320, 240), 0x0000C7u);
}

} // namespace

namespace {

// A frame of the bundled demo is the same whatever was rendered before it. The orders reach
// what could carry over: mixes and row noise whose controllers set their next run (the title,
// the outro), one scene written in two sections (the knot at 60 s and in the mixes at 247 s),
// the sprite scene written twice in one frame (the outro), a camera cut by a controller (the
// city at 230 s).
TEST(RenderApp, DemoFrameDependsOnItsTimeAlone)
{
    ScratchDir dir;
    const std::string demo = std::string(TL_SOURCE_DIR) + "/demo/demo.lscx";
    for (const char* run : {"--times 10000,60000,230000,247000,270000 -o a", "--times 270000,247000,230000,60000,10000 -o b"}) {
        const RenderResult r = runRenderer(dir, std::string("--quiet --image work ") + run + " '" + demo + "'");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    for (int k = 0; k < 5; ++k) {
        char a[32], b[32];
        std::snprintf(a, sizeof a, "a/%06d.png", k);
        std::snprintf(b, sizeof b, "b/%06d.png", 4 - k);
        const Frame first = readFrame(dir.path() + a);
        ASSERT_EQ(first.width, 512);
        EXPECT_TRUE(first.pixels == readFrame(dir.path() + b).pixels) << a;
    }
}

} // namespace
