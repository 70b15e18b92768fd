// The player over the real SDL window (needs a display; run under Xvfb by ctest): frames, the
// full-screen switch both ways, and Escape closing with status 0.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "backends/sdl/SdlBackend.h"
#include "support/PlayerSupport.h"
#include "support/TestSupport.h"

namespace {

void pump()
{
    WindowEvent e;
    while (player().state().window->pollEvent(e)) player().wndProc(e);
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
    resetPlayer();

    PlayerOptions o;
    o.fullScreen = false;
    ASSERT_TRUE(player().startup(o));
    pump();
    EXPECT_TRUE(player().state().active);
    for (int i = 0; i < 3; ++i) player().renderFrame();
    EXPECT_FALSE(player().screen()->isFullScreen());

    pressKey(SDLK_F12);
    pump();
    EXPECT_TRUE(player().screen()->isFullScreen());
    player().renderFrame();
    pressKey(SDLK_F12);
    pump();
    EXPECT_FALSE(player().screen()->isFullScreen());
    player().renderFrame();

    pressKey(SDLK_ESCAPE);
    EXPECT_EQ(player().run(), 0);
    EXPECT_EQ(cap.count(), 0u);
    player().shutdown();
    resetPlayer();
    installPlatform(std::move(previous));
    // SDL stays initialised: quitting would unload the X libraries and hide where their leaks come from.
}

} // namespace
