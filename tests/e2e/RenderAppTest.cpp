// The headless renderer as users run it: frames, file names, image sizes, messages, exit codes.
#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

namespace {

const std::string kRenderer = std::string(TL_BINARY_DIR) + "/apps/tessaline-render";

struct RunResult {
    int status;
    std::string err;
};

RunResult render(const ScratchDir& dir, const std::string& args)
{
    const std::string errFile = dir.path() + "stderr.txt";
    const std::string cmd = "cd '" + dir.path() + "' && '" + kRenderer + "' " + args + " 2>'" + errFile + "' >/dev/null";
    const int rc = std::system(cmd.c_str());
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ss.str()};
}

struct Png {
    int width = 0, height = 0;
    bool allBlack = true;
};

Png readPng(const std::string& path)
{
    Png png;
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &png.width, &png.height, &channels, 0);
    if (!data) return png;
    EXPECT_EQ(channels, 3);
    for (int i = 0; i < png.width * png.height * channels; ++i) png.allBlack &= data[i] == 0;
    stbi_image_free(data);
    return png;
}

TEST(RenderApp, MissingScriptGivesBlackFramesAndAWarning)
{
    ScratchDir dir;
    const RunResult r = render(dir, "--quiet --times 0,1000 -o out sub/nothere.lscx");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("warning: [ScriptEngine :] Can't open file : nothere.lscx\n"), std::string::npos) << r.err;
    for (const char* name : {"out/000000.png", "out/000001.png"}) {
        const Png png = readPng(dir.path() + name);
        EXPECT_EQ(png.width, 640);
        EXPECT_EQ(png.height, 480);
        EXPECT_TRUE(png.allBlack);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "out/000002.png"));
}

TEST(RenderApp, FrameTimesAndWorkImage)
{
    ScratchDir dir;
    dir.write("empty.lscx", "");
    const RunResult r = render(dir, "--fps 10 --start 0 --end 250 --image work empty.lscx");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("frame 3/3"), std::string::npos) << r.err;  // 0, 100 and 200 ms
    const Png png = readPng(dir.path() + "frames/000002.png");
    EXPECT_EQ(png.width, 512);
    EXPECT_EQ(png.height, 256);
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "frames/000003.png"));
}

TEST(RenderApp, BadUsageExitsWithTwo)
{
    ScratchDir dir;
    for (const char* args : {"", "--fps 0 x.lscx", "--bogus x.lscx", "--image both x.lscx", "--times 1,,2 x.lscx",
                             "--start 10 --end 5 x.lscx", "a.lscx b.lscx", "-o"}) {
        const RunResult r = render(dir, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: tessaline-render"), std::string::npos) << args;
    }
}

} // namespace
