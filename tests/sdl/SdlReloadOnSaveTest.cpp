// Reload on save in the authoring mode over the real SDL window (run under Xvfb by ctest), on the
// system clock with the kernel's file notification: a new clear colour shows within a second of
// the save; a broken script keeps the running demo and the overlay's note says why.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "../script/ScriptTestUtil.h"
#include "backends/inotify/InotifyBackend.h"
#include "backends/sdl/SdlBackend.h"
#include "support/PlayerSupport.h"

namespace {

std::string clearScript(const std::string& rgb, const std::string& image = "")
{
    return makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                       {"IMAGE", image.empty() ? std::vector<std::string>{} : std::vector<std::string>{"file: pic " + image}},
                       {"SCREEN_LAYER", {"desc: s full"}},
                       {"LAYER_MANAGER", {"desc: s 1 0 999999 c " + rgb}}});
}

// Runs the loop's steps (events, reload on save, a frame) with 20 ms rests between them until
// `done` holds, at most `polls` times; returns the polls it took, or -1.
int loopUntil(const std::function<bool()>& done, int polls)
{
    for (int i = 1; i <= polls; ++i) {
        SDL_Delay(20);
        WindowEvent e;
        while (player().state().window->pollEvent(e)) player().wndProc(e);
        player().reloadOnSave();
        player().renderFrame();
        if (done()) return i;
    }
    return -1;
}

uint32_t centre() { return player().workImage().m_pPixels[128 * 512 + 256] & 0xFFFFFFu; }

TEST(SdlReloadOnSave, SavedColourShowsWithinASecondAndABrokenScriptKeepsTheDemo)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ScratchDir dir;
    const std::string script = dir.write("demo.lscx", clearScript("200 0 0"));
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    installSdlBackend(p);
    installInotifyBackend(p);
    Platform previous = installPlatform(std::move(p));
    resetPlayer();

    PlayerOptions o;
    o.fullScreen = false;
    o.dev = true;
    o.scriptPath = script;
    ASSERT_TRUE(player().startup(o));
    ASSERT_EQ(loopUntil([] { return centre() == 0xC80000u; }, 50), 1);

    // The reload waits for 100 ms without saves: 50 polls after 20 ms rests each are a second at
    // least on the clock, however slowly the machine runs them.
    dir.write("demo.lscx", clearScript("0 0 200"));
    const int polls = loopUntil([] { return centre() == 0x0000C8u; }, 50);
    EXPECT_GT(polls, 0) << "not reloaded within a second";
    EXPECT_EQ(player().state().note, "reloaded: demo.lscx saved");
    RecordProperty("polls_to_reload", polls);

    {
        ReportCapture reports;
        const ScriptEngine* running = player().state().scriptEngine.get();
        dir.write("demo.lscx", clearScript("0 200 0", "missing.tga"));
        EXPECT_GT(loopUntil([] { return player().state().note.find("demo.lscx saved: ") == 0; }, 50), 0);
        EXPECT_NE(player().state().note.find("the running demo goes on"), std::string::npos) << player().state().note;
        EXPECT_GE(reports.count(), 2u);  // the load's own reports say why, then the player's
        EXPECT_EQ(player().state().scriptEngine.get(), running);
        EXPECT_EQ(centre(), 0x0000C8u);
        EXPECT_FALSE(fatalErrorPosted());
    }

    player().shutdown();
    resetPlayer();
    installPlatform(std::move(previous));
}

} // namespace
