// The authoring mode over the real SDL window (run under Xvfb by ctest), on a virtual clock:
// pause holds the demo, seeks go both ways and give the renderer's frame, a broken reload keeps
// the running demo, S writes the work image beside the script.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../e2e/RenderRunner.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/sdl/SdlBackend.h"
#include "support/PlayerSupport.h"

namespace {

void pump()
{
    WindowEvent e;
    while (player().state().window->pollEvent(e)) player().wndProc(e);
}

void press(SDL_Keycode key, bool shift = false)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.keysym.mod = shift ? KMOD_LSHIFT : KMOD_NONE;
    SDL_PushEvent(&e);
    pump();
}

// The bundled demo without its music, so that its time is the clock's alone.
std::string copyDemo(const ScratchDir& dir)
{
    std::filesystem::copy(std::string(TL_SOURCE_DIR) + "/demo", dir.path() + "demo",
                          std::filesystem::copy_options::recursive);
    const std::string script = dir.path() + "demo/demo.lscx";
    std::stringstream text;
    text << std::ifstream(script).rdbuf();
    std::string s = text.str();
    s.replace(s.find("file: music.mod"), 15, "file: NULL");
    std::ofstream(script) << s;
    return script;
}

TEST(SdlDevMode, PauseSeekReloadAndSave)
{
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ScratchDir dir;
    const std::string script = copyDemo(dir);
    auto clock = std::make_shared<VirtualClock>();
    clock->set(50000);  // the demo starts at this tick: its time counts from here
    Platform p;
    p.clock = clock;
    installSdlBackend(p);
    installFfmpegBackend(p);  // the demo's sprite ring is a video, as in the renderer
    Platform previous = installPlatform(std::move(p));
    resetPlayer();

    PlayerOptions o;
    o.fullScreen = false;
    o.dev = true;
    o.scriptPath = script;
    o.startMs = 400;
    ASSERT_TRUE(player().startup(o));
    pump();
    EXPECT_EQ(player().demoTime(), 400);
    clock->advance(100);
    EXPECT_EQ(player().demoTime(), 500);

    press(SDLK_SPACE);
    clock->advance(700);
    EXPECT_EQ(player().demoTime(), 500);  // paused: the clock holds
    player().renderFrame();
    EXPECT_EQ(player().demoTime(), 500);
    press(SDLK_RIGHT);
    EXPECT_EQ(player().demoTime(), 1500);  // seeking while paused
    press(SDLK_SPACE);
    clock->advance(100);
    EXPECT_EQ(player().demoTime(), 1600);
    press(SDLK_RIGHT, true);
    EXPECT_EQ(player().demoTime(), 11600);
    press(SDLK_LEFT);
    EXPECT_EQ(player().demoTime(), 10600);
    press(SDLK_LEFT, true);
    EXPECT_EQ(player().demoTime(), 600);
    press(SDLK_LEFT);
    EXPECT_EQ(player().demoTime(), 0);  // not before the start

    // After a seek the frame is the renderer's at that time: a frame depends on its time alone.
    press(SDLK_RIGHT, true);
    press(SDLK_RIGHT, true);
    press(SDLK_RIGHT);
    press(SDLK_SPACE);
    ASSERT_EQ(player().demoTime(), 21000);
    player().renderFrame();
    const RenderResult r = runRenderer(dir, "--quiet --image work -o ref --times 21000 '" + script + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const Frame reference = readFrame(dir.path() + "ref/000000.png");
    const CImage32Buffered& work = player().workImage();
    ASSERT_EQ(reference.width, work.m_width);
    bool same = true;
    for (int i = 0; i < work.m_width * work.m_height; ++i) same = same && (work.m_pPixels[i] & 0xFFFFFFu) == reference.pixels[i];
    EXPECT_TRUE(same);

    // S: the work image beside the script, named after it and the time.
    press(SDLK_s);
    const Frame saved = readFrame(dir.path() + "demo/demo-021000.png");
    EXPECT_EQ(saved.width, 512);
    EXPECT_EQ(saved.pixels, reference.pixels);

    // R with a broken script: reported, the running demo and its time go on.
    const ScriptEngine* running = player().state().scriptEngine.get();
    {
        std::stringstream text;
        text << std::ifstream(script).rdbuf();
        std::string s = text.str();
        s.replace(s.find("background.tga"), 14, "missing.tga");
        std::ofstream(script) << s;
    }
    {
        ReportCapture reports;
        press(SDLK_r);
        ASSERT_FALSE(reports.reports().empty());
        const CapturedReport& last = reports.reports().back();
        EXPECT_EQ(last.caption, "ScriptPlayer:");
        EXPECT_NE(last.text.find("the running demo goes on"), std::string::npos) << last.text;
        EXPECT_GT(reports.count(), 1u);  // the load's own reports say why
    }
    EXPECT_EQ(player().state().scriptEngine.get(), running);
    EXPECT_EQ(player().demoTime(), 21000);
    EXPECT_FALSE(fatalErrorPosted());
    player().renderFrame();

    press(SDLK_ESCAPE);
    EXPECT_EQ(player().run(), 0);
    player().shutdown();
    resetPlayer();
    installPlatform(std::move(previous));
}

} // namespace
