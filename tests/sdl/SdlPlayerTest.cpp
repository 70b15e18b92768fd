// The player over the real SDL window (needs a display; run under Xvfb by ctest): frames, the
// full-screen switch both ways, and Escape closing with status 0.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "backends/sdl/SdlBackend.h"
#include "player/ScriptPlayer.h"
#include "support/TestSupport.h"

namespace {

void pump()
{
    WindowEvent e;
    while (playerState().window->pollEvent(e)) playerWndProc(e);
}

void pressKey(SDL_Keycode key)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
}

TEST(SdlPlayer, WindowFramesFullScreenSwitchAndEscape)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ReportCapture cap;
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    installSdlBackend(p);
    Platform previous = installPlatform(std::move(p));
    ScratchDir dir;
    CurrentDirGuard cwd(dir.path());
    playerReset();

    PlayerOptions o;
    o.fullScreen = false;
    ASSERT_TRUE(playerStartup(o));
    pump();
    EXPECT_TRUE(playerState().active);
    for (int i = 0; i < 3; ++i) renderFrame(playerScreen());
    EXPECT_FALSE(playerScreen()->isFullScreen());

    pressKey(SDLK_F12);
    pump();
    EXPECT_TRUE(playerScreen()->isFullScreen());
    renderFrame(playerScreen());
    pressKey(SDLK_F12);
    pump();
    EXPECT_FALSE(playerScreen()->isFullScreen());
    renderFrame(playerScreen());

    pressKey(SDLK_ESCAPE);
    EXPECT_EQ(playerRun(), 0);
    EXPECT_EQ(cap.count(), 0u);
    playerShutdown();
    playerReset();
    installPlatform(std::move(previous));
    // SDL stays initialised: quitting would unload the X libraries and hide where their leaks come from.
}

} // namespace
