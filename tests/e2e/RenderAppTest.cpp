// The headless renderer as users run it: frames, file names, image sizes, messages, exit codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../script/ScriptTestUtil.h"
#include "RenderRunner.h"
#include "music/MusicGenerator.h"

namespace {

TEST(RenderApp, MissingScriptFailsAndMakesNothing)
{
    ScratchDir dir;
    for (const char* args : {"--quiet --times 0,1000 -o out sub/nothere.lscx", "--quiet --video v.mp4 --end 200 nothere.lscx"}) {
        const RenderResult r = runRenderer(dir, args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find("cannot open the script "), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "out"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "v.mp4"));
}

// A folder holding frames past those of the run is refused, unless --force; other files and the
// frames the run overwrites are no obstacle.
TEST(RenderApp, OlderFramesPastTheRunAreRefusedUnlessForced)
{
    ScratchDir dir;
    auto script = [](const char* colour) {
        return makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                           {"SCREEN_LAYER", {"desc: s full"}},
                           {"LAYER_MANAGER", {std::string("desc: s 1 0 9000 c ") + colour}}});
    };
    dir.write("red.lscx", script("200 0 0"));
    dir.write("blue.lscx", script("0 0 200"));
    ASSERT_EQ(runRenderer(dir, "--quiet --image work --times 0,1,2,3 -o out red.lscx").status, 0);
    const RenderResult refused = runRenderer(dir, "--quiet --image work --times 0,1 -o out blue.lscx");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("out holds 2 older frames past the 2 this run writes"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(readFrame(dir.path() + "out/000000.png").at(256, 128), 0xC80000u);

    const RenderResult forced = runRenderer(dir, "--quiet --force --image work --times 0,1 -o out blue.lscx");
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(readFrame(dir.path() + "out/000000.png").at(256, 128), 0x0000C8u);
    EXPECT_EQ(readFrame(dir.path() + "out/000003.png").at(256, 128), 0xC80000u);  // left as it was

    dir.write("other/notes.txt", "x");
    dir.write("other/12345.png", "x");
    dir.write("other/0000001.png", "x");
    EXPECT_EQ(runRenderer(dir, "--quiet --image work --times 0,1,2,3 -o other red.lscx").status, 0);
    EXPECT_EQ(runRenderer(dir, "--quiet --image work --times 0,1,2,3 -o other blue.lscx").status, 0);
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

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The --help entry whose names (the first 25 columns) hold `word`: its line and the lines
// continuing it, which start further in.
std::string helpEntry(const std::string& help, const std::string& word)
{
    std::istringstream in(help.substr(help.find("\n\n")));
    std::string entry;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("   ", 0) == 0) {
            if (!entry.empty()) entry += line;
        } else if (!entry.empty()) {
            return entry;
        } else if (const size_t at = line.substr(0, 25).find(word); at != std::string::npos && line.rfind("  ", 0) == 0) {
            if (line[at + word.size()] == ' ' || line[at + word.size()] == ',') entry = line;
        }
    }
    return entry;
}

// Every option is in the synopsis and has a --help entry showing its default.
TEST(RenderApp, HelpListsEveryOptionWithItsDefault)
{
    ScratchDir dir;
    ASSERT_EQ(runCommand(dir, "('" + kRendererPath + "' --help > help.txt)").status, 0);
    const std::string help = readText(dir.path() + "help.txt");
    const std::string synopsis = help.substr(0, help.find("\n\n"));
    const std::pair<const char*, std::vector<const char*>> options[] = {
        {"--out", {"(default frames)"}}, {"--fps", {"(default 26)"}}, {"--start", {"default 0 and"}},
        {"--end", {"and 285000)"}}, {"--times", {}}, {"--image", {"(default screen)"}}, {"--quiet", {}},
        {"--profile", {}}, {"--record", {}}, {"--video", {}}, {"--lossless", {}}, {"--size", {}},
        {"--scale", {"nearest neighbour (crisp pixels, default)"}}, {"--crf", {"(default 18)", "(default 31)"}},
        {"--preset", {"(default medium)", "(default good)"}}, {"--wav", {}}, {"--force", {}}};
    for (const auto& [word, defaults] : options) {
        const std::string shown = std::string(word) == "--out" ? "[-o " : std::string("[") + word;
        EXPECT_NE(synopsis.find(shown), std::string::npos) << word;
        const std::string entry = helpEntry(help, word);
        EXPECT_FALSE(entry.empty()) << word;
        for (const char* text : defaults) EXPECT_NE(entry.find(text), std::string::npos) << word << ": " << entry;
    }
}

// A video without --crf or --preset gets the defaults --help gives: x264 writes its settings
// into the stream (medium's sub-pixel setting is 7).
TEST(RenderApp, VideoTakesTheEncoderDefaultsShown)
{
    ScratchDir dir;
    dir.write("blank.lscx", makeScript({}));
    ASSERT_EQ(runRenderer(dir, "--quiet --video a.mp4 --fps 5 --end 200 blank.lscx").status, 0);
    const std::string bytes = readText(dir.path() + "a.mp4");
    if (bytes.find("x264") == std::string::npos) GTEST_SKIP() << "no libx264 in this FFmpeg";
    EXPECT_NE(bytes.find("crf=18.0"), std::string::npos);
    EXPECT_NE(bytes.find("subme=7"), std::string::npos);
}

} // namespace
