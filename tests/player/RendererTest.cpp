// The headless renderer against the player: its frames with a mouse-driven script, its progress
// line when stderr is a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "../e2e/RenderRunner.h"
#include "../script/ScriptTestUtil.h"
#include "control/LCXControllerManager.h"
#include "backends/headless/HeadlessBackend.h"
#include "support/PlayerSupport.h"

namespace {

TEST(Renderer, FramesAreThePlayersWithAnUntouchedMouse)
{
    ScratchDir dir;
    dir.makeDir("data/lcx");
    LCXControllerManager mouse;
    mouse.create(kLCXMouse);
    mouse.save((dir.path() + "data/lcx/mouse.lcx").c_str());
    dir.write("demo.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                       {"SCREEN_LAYER", {"desc: s full"}},
                                       {"LAYER_MANAGER", {"desc: s 1 0 9000 c 0 0 90"}}}));
    const RenderResult r = runRenderer(dir, "--quiet --times 500 -o out demo.lscx");
    ASSERT_EQ(r.status, 0) << r.err;
    const Frame rendered = readFrame(dir.path() + "out/000000.png");
    ASSERT_EQ(rendered.width, 640);

    // The player at the same time with a mouse nobody has moved.
    std::vector<uint32_t> played;
    {
        CurrentDirGuard cwd(dir.path());
        auto clock = std::make_shared<VirtualClock>();
        Platform p;
        installHeadlessBackend(p, clock, std::make_shared<HeadlessMouse>());
        Platform previous = installPlatform(std::move(p));
        resetPlayer();
        PlayerOptions o;
        o.scriptPath = "demo.lscx";
        ASSERT_TRUE(player().startup(o));
        clock->set(500);
        player().renderFrame();
        played = lastHeadlessWindow()->surface->frame;
        player().shutdown();
        resetPlayer();
        installPlatform(std::move(previous));
    }
    ASSERT_EQ(played.size(), rendered.pixels.size());
    EXPECT_TRUE(played == rendered.pixels);
    // The input marker at the mouse's rest position (0, 0) is in the picture: some pixels are
    // brighter than the blue background.
    EXPECT_TRUE(std::any_of(rendered.pixels.begin(), rendered.pixels.end(), [](uint32_t c) { return c > 0x0000FFu; }));
}

TEST(Renderer, ProgressInAFileIsPlainLines)
{
    ScratchDir dir;
    dir.write("empty.lscx", "");
    const RenderResult r = runRenderer(dir, "--fps 10 --end 250 empty.lscx");
    ASSERT_EQ(r.status, 0) << r.err;
    // No carriage returns; the first and the last frame at least, each on a line of its own
    // that ends with the speed.
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("frame 1/3 at 0 ms, ", 0), 0u) << r.err;
    const size_t last = r.err.rfind("frame 3/3 at 200 ms, ");
    ASSERT_NE(last, std::string::npos) << r.err;
    const std::string line = r.err.substr(last);
    EXPECT_EQ(line.find('\n'), line.size() - 1) << r.err;
    EXPECT_NE(line.find(" frames/s ("), std::string::npos) << r.err;
    EXPECT_EQ(line.substr(line.size() - 3), "x)\n") << r.err;
}

} // namespace
