// The player's logic against the headless platform: keys, drops, script choice, the end of the
// demo, fps counting, lock failures, the absence of per-frame allocations and where S saves.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "../script/ScriptTestUtil.h"
#include "backends/headless/HeadlessBackend.h"
#include "control/LECXControllerManager.h"
#include "image/ImageFileWriter.h"
#include "support/PlayerSupport.h"
#include "support/AllocationCounter.h"
#include "support/TestSupport.h"


namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clock = std::make_shared<VirtualClock>();
        Platform p;
        installHeadlessBackend(p, m_clock);
        m_previous = installPlatform(std::move(p));
        m_cwd = std::make_unique<CurrentDirGuard>(m_dir.path());
        resetPlayer();
    }
    void TearDown() override
    {
        player().shutdown();
        resetPlayer();
        m_cwd.reset();
        installPlatform(std::move(m_previous));
    }
    void start(const std::string& commandLine = "", bool fullScreen = true)
    {
        PlayerOptions o;
        o.commandLine = commandLine;
        o.fullScreen = fullScreen;
        ASSERT_TRUE(player().startup(o));
        m_window = lastHeadlessWindow();
        ASSERT_NE(m_window, nullptr);
    }

    ScratchDir m_dir;
    std::shared_ptr<VirtualClock> m_clock;
    Platform m_previous;
    std::unique_ptr<CurrentDirGuard> m_cwd;
    HeadlessWindow* m_window = nullptr;
};

TEST_F(PlayerTest, StartupMakesScreenAndWorkImage)
{
    ReportCapture cap;
    start();
    EXPECT_FALSE(m_window->cursorShown);
    ASSERT_NE(m_window->surface, nullptr);
    EXPECT_TRUE(m_window->surface->fullScreen);
    EXPECT_EQ(player().state().workImage.m_width, 512);
    EXPECT_EQ(player().state().workImage.m_height, 256);
    // No script on the command line nor in the directory: no engine, black frames, no message.
    EXPECT_EQ(player().state().scriptEngine, nullptr);
    EXPECT_EQ(cap.count(), 0u);
}

TEST_F(PlayerTest, KeysToggleFpsAndScreenAndEscapeCloses)
{
    start("", false);
    auto key = [](int k) { player().wndProc(WindowEvent{WindowEventType::KeyDown, k, {}}); };
    key(kKeyI);
    EXPECT_TRUE(player().state().showFps);
    key(kKeyF9);
    EXPECT_FALSE(player().state().showFps);
    key(kKeyF9);  // each auto-repeat toggles again
    key(kKeyF9);
    key(kKeyF9);
    EXPECT_TRUE(player().state().showFps);
    key(65);  // other keys do nothing
    EXPECT_TRUE(player().state().showFps);

    MemoryDisplaySurface* s = m_window->surface;
    EXPECT_FALSE(s->fullScreen);
    key(kKeyF12);
    EXPECT_TRUE(player().screen()->isFullScreen());
    EXPECT_TRUE(s->fullScreen);
    key(kKeyF12);
    EXPECT_FALSE(player().screen()->isFullScreen());
    EXPECT_FALSE(s->fullScreen);
    EXPECT_EQ(s->createCount, 3);  // new surfaces with every switch

    m_window->pushKey(kKeyEscape);
    EXPECT_EQ(player().run(), 0);
    EXPECT_TRUE(m_window->destroyed);  // the close released the screen and its surfaces
    player().screen()->release();               // a second release is harmless
}

TEST_F(PlayerTest, MinimizedWindowRendersNothing)
{
    start();
    MemoryDisplaySurface* s = m_window->surface;
    m_window->push(WindowEvent{WindowEventType::Minimized, 0, {}});
    WindowEvent e;
    while (m_window->pollEvent(e)) player().wndProc(e);
    EXPECT_FALSE(player().state().active);
    player().wndProc(WindowEvent{WindowEventType::Restored, 0, {}});
    EXPECT_TRUE(player().state().active);
    EXPECT_EQ(s->presentCount, 0);
}

TEST_F(PlayerTest, DroppedFilesNeedTheScriptExtension)
{
    ReportCapture cap;
    start();
    player().onDropFiles("demo/INTRO.LSCX");
    EXPECT_TRUE(cap.has("ScriptPlayer:", "Can't load File: demo/INTRO.LSCX"));
    EXPECT_EQ(cap.reports().back().kind, ReportKind::Message);
    EXPECT_EQ(player().state().scriptEngine, nullptr);

    cap.clear();
    player().onDropFiles("");
    EXPECT_EQ(cap.count(), 0u);

    player().wndProc(WindowEvent{WindowEventType::DropFile, 0, "other.lscx"});
    ASSERT_NE(player().state().scriptEngine, nullptr);
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't open file : other.lscx"));
}

TEST_F(PlayerTest, ScriptChoiceFromCommandLineAndDirectory)
{
    ReportCapture cap;
    start("first.lscx second.lscx");
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't open file : first.lscx"));
    EXPECT_FALSE(cap.has("ScriptEngine :", "Can't open file : second.lscx"));

    cap.clear();
    player().shutdown();
    resetPlayer();
    start("my demo.lscx");  // no quoting: the path is cut at the blank
    EXPECT_TRUE(cap.has("ScriptEngine :", "Can't open file : my"));

    // A path with a directory is read from inside it; the current directory comes back.
    m_dir.write("sub/found.lscx", "");
    const auto before = std::filesystem::current_path();
    cap.clear();
    EXPECT_TRUE(player().loadScript("sub/found.lscx"));
    EXPECT_EQ(cap.count(), 0u);
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_FALSE(player().loadScript(""));

    // Empty command line: the first script of the current directory.
    m_dir.write("b.lscx", "");
    m_dir.write("A.lscx", "");
    player().shutdown();
    resetPlayer();
    cap.clear();
    start("");
    ASSERT_NE(player().state().scriptEngine, nullptr);
    EXPECT_EQ(cap.count(), 0u);
}

TEST_F(PlayerTest, DemoClosesAfter285000Ms)
{
    start("none.lscx");
    m_clock->set(285000);
    player().renderFrame();
    EXPECT_FALSE(player().closePending());
    m_clock->set(285001);
    player().renderFrame();
    EXPECT_TRUE(player().closePending());
    EXPECT_EQ(player().run(), 0);
}

TEST_F(PlayerTest, FpsCountsFramesOfTheLastSecond)
{
    start();
    const float& fps = player().state().fps;
    // The tick count starts with the process; the first frame already shows 1.
    m_clock->set(5);
    player().renderFrame();
    EXPECT_EQ(fps, 1.0f);
    m_clock->set(1005);
    player().renderFrame();
    EXPECT_EQ(fps, 1.0f);  // 1000 ms is not more than 1000 ms
    m_clock->set(1006);
    player().renderFrame();
    EXPECT_EQ(fps, 2.0f);
    for (uint32_t t : {1500u, 2006u}) {
        m_clock->set(t);
        player().renderFrame();
    }
    EXPECT_EQ(fps, 2.0f);
    m_clock->set(2007);
    player().renderFrame();
    EXPECT_EQ(fps, 3.0f);
}

TEST_F(PlayerTest, FrameComposition)
{
    start();
    player().state().showFps = true;
    player().renderFrame();
    const MemoryDisplaySurface* s = m_window->surface;
    ASSERT_EQ(s->presentCount, 1);
    ASSERT_EQ(s->frame.size(), size_t(640 * 480));
    // The fps line sits at (10, 30): a black box with white text in the top band.
    bool white = false;
    for (int y = 30; y < 40; ++y)
        for (int x = 10; x < 60; ++x) white |= s->frame[size_t(y) * 640 + x] == 0xFFFFFFu;
    EXPECT_TRUE(white);
    EXPECT_EQ(s->frame[size_t(30) * 640 + 10], 0u);
}

TEST_F(PlayerTest, WorkImageIsScaledOntoTheScreenByItsTwoFactors)
{
    // A grey work image with a red 4x4 mark at (8..11, 8..11) and a green one at
    // (496..499, 240..243). Centred at (320, 240), 1.24 across and 1.3 down, work column u lands
    // at x = 2.56 + 1.24 u and row v at y = 73.6 + 1.3 v: columns 3..637 and rows 74..406 are
    // drawn, the rest stays black. Screen (15, 87) reads work (10.03, 10.31), inside the red
    // mark with its filter neighbours; (620, 388) reads (497.9, 241.8), inside the green one.
    CImage32Buffered picture(512, 256);
    picture.clear(0x404040);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            picture.m_pPixels[(8 + y) * 512 + 8 + x] = 0xFF0000;
            picture.m_pPixels[(240 + y) * 512 + 496 + x] = 0x00FF00;
        }
    ASSERT_TRUE(writeTga((m_dir.path() + "marks.tga").c_str(), picture, TgaFormat::Raw24));
    m_dir.write("marks.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                          {"IMAGE", {"file: marks marks.tga"}},
                                          {"SCREEN_LAYER", {"desc: s full"}},
                                          {"LAYER_MANAGER", {"desc: s 1 0 10000 w marks"}}}));
    start("marks.lscx");
    player().renderFrame();
    const std::vector<uint32_t>& frame = m_window->surface->frame;
    ASSERT_EQ(frame.size(), size_t(640 * 480));
    auto at = [&](int x, int y) { return frame[size_t(y) * 640 + x]; };
    auto channels = [](uint32_t p) { return std::vector<int>{int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255)}; };
    const std::vector<int> red = channels(at(15, 87)), green = channels(at(620, 388));
    EXPECT_GT(red[0], 240);
    EXPECT_LT(red[1] + red[2], 16);
    EXPECT_GT(green[1], 240);
    EXPECT_LT(green[0] + green[2], 16);
    // The bars are black; just inside them the grey shows.
    for (auto [x, y] : {std::pair{1, 240}, {638, 240}, {320, 72}, {320, 408}}) EXPECT_EQ(at(x, y), 0u) << x << "," << y;
    for (auto [x, y] : {std::pair{5, 240}, {634, 240}, {320, 77}, {320, 403}})
        EXPECT_NEAR(channels(at(x, y))[1], 0x40, 2) << x << "," << y;
}

TEST_F(PlayerTest, LockFailureRestoresAndSkipsTheFrame)
{
    start();
    m_window->surface->loseSurfaces = true;
    player().renderFrame();
    EXPECT_EQ(m_window->surface->restoreCount, 1);
    EXPECT_EQ(m_window->surface->presentCount, 0);
    player().renderFrame();
    EXPECT_EQ(m_window->surface->presentCount, 1);
}

TEST_F(PlayerTest, FatalErrorEndsWithCodeOne)
{
    ReportCapture cap;
    start();
    CImage32Buffered bad(0, 0);
    EXPECT_EQ(player().run(), 1);
}

// A headless window whose surface calls back after every present and which counts its waits.
class ObservedWindow : public HeadlessWindow {
public:
    class Surface : public MemoryDisplaySurface {
    public:
        explicit Surface(ObservedWindow& window) : m_window(window) {}
        void present(const uint32_t* pixels, int width, int height, int pitchBytes) override
        {
            MemoryDisplaySurface::present(pixels, width, height, pitchBytes);
            m_window.onPresent();
        }

    private:
        ObservedWindow& m_window;
    };
    void waitEvent(int) override { onWait(++waits); }
    std::unique_ptr<DisplaySurface> createDisplaySurface() override
    {
        auto s = std::make_unique<Surface>(*this);
        surface = s.get();
        return s;
    }
    std::function<void()> onPresent;
    std::function<void(int)> onWait;
    int waits = 0;
};

TEST_F(PlayerTest, LoopPacesFramesDrainsEventsAndWaitsWhileInactive)
{
    // Red until 550 ms of script time, blue from there on (200 shows as 199 after the screen blit).
    m_dir.write("demo.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                         {"SCREEN_LAYER", {"desc: s full"}},
                                         {"LAYER_MANAGER", {"desc: s 1 0 550 c 200 0 0", "desc: s 1 550 9000 c 0 0 200"}}}));
    ObservedWindow* window = nullptr;
    platform().createWindow = [&window](const char*, int, int, bool) -> std::unique_ptr<PlatformWindow> {
        auto w = std::make_unique<ObservedWindow>();
        w->push(WindowEvent{WindowEventType::Restored, 0, {}});
        window = w.get();
        return w;
    };
    m_clock->set(1000);
    PlayerOptions o;
    o.commandLine = "demo.lscx";
    ASSERT_TRUE(player().startup(o));
    ASSERT_NE(window, nullptr);
    ASSERT_NE(player().state().scriptEngine, nullptr);

    struct Frame {
        uint32_t start;
        size_t pendingEvents;
        bool showFps;
        int waits;
        uint32_t centre;
    };
    std::vector<Frame> frames;
    window->onPresent = [&] {
        frames.push_back({m_clock->timeMs(), window->events.size(), player().state().showFps, window->waits,
                          window->surface->frame[240 * 640 + 320]});
        if (frames.size() == 1) {
            // Three toggles and a minimize wait; all are handled before the next frame.
            for (int i = 0; i < 3; ++i) window->pushKey(kKeyI);
            window->push(WindowEvent{WindowEventType::Minimized, 0, {}});
        } else if (frames.size() == 3) {
            window->pushKey(kKeyEscape);
        }
    };
    // While minimized the loop rests; the third rest ends with the window restored 500 ms later.
    window->onWait = [&](int n) {
        if (n < 3) return;
        m_clock->advance(500);
        window->push(WindowEvent{WindowEventType::Restored, 0, {}});
    };
    EXPECT_EQ(player().run(), 0);

    ASSERT_EQ(frames.size(), 3u);
    // Whole-millisecond timer: no frame starts less than 39 ms after the one before.
    const uint32_t starts[] = {1000, 1039 + 500, 1539 + 39};
    const uint32_t colours[] = {0xC70000u, 0xC70000u, 0x0000C7u};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frames[i].start, starts[i]);
        EXPECT_EQ(frames[i].pendingEvents, 0u);
        EXPECT_EQ(frames[i].showFps, i > 0);
        EXPECT_EQ(frames[i].waits, i > 0 ? 3 : 0);
        EXPECT_EQ(frames[i].centre, colours[i]);
    }
}

TEST_F(PlayerTest, ScreenFailureDestroysTheWindow)
{
    ReportCapture cap;
    Platform p;
    installHeadlessBackend(p, m_clock);
    p.createWindow = [](const char*, int, int, bool) -> std::unique_ptr<PlatformWindow> {
        auto w = std::make_unique<HeadlessWindow>();
        w->failDisplay = true;
        return w;
    };
    installPlatform(std::move(p));
    PlayerOptions o;
    ASSERT_TRUE(player().startup(o));
    EXPECT_TRUE(cap.has("directDrawError", "DirectDrawCreateEx FAILED"));
    EXPECT_TRUE(player().quitPosted());
    EXPECT_EQ(player().run(), 0);
}

TEST_F(PlayerTest, NoAllocationPerFrame)
{
    start("none.lscx");
    player().state().showFps = true;
    for (int i = 0; i < 3; ++i) player().renderFrame();
    long allocations = 0;
    {
        AllocationCounter counter;
        for (int i = 0; i < 50; ++i) {
            m_clock->advance(39);
            player().renderFrame();
        }
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0);
}

} // namespace

namespace {

TEST_F(PlayerTest, LoopMarksSetTheWrongWayRoundAreSwapped)
{
    m_dir.write("demo.lscx", makeScript({}));
    PlayerOptions o;
    o.dev = true;
    o.scriptPath = "demo.lscx";
    ASSERT_TRUE(player().startup(o));
    auto key = [](int k) { player().wndProc(WindowEvent{WindowEventType::KeyDown, k, {}}); };
    PlayerState& s = player().state();
    // A loop [1000, 3000) on; then, at 400 (before its start), ] moves its end there.
    key(kKeyRight);
    key(kKeyOpenBracket);
    key(kKeyRight);
    key(kKeyRight);
    key(kKeyCloseBracket);
    key(kKeyL);
    ASSERT_TRUE(s.looping);
    key(kKeyLeft);
    key(kKeyLeft);
    key(kKeyLeft);
    m_clock->advance(400);
    key(kKeyCloseBracket);
    // The marks still name one section: [400, 1000), on, and the overlay says so.
    EXPECT_EQ(s.loopStart, 400);
    EXPECT_EQ(s.loopEnd, 1000);
    EXPECT_TRUE(s.looping);
    EXPECT_EQ(s.note, "loop start after its end: swapped");
    // The demo runs through the section and jumps back once at its end, not on every frame.
    std::vector<int> times;
    for (int i = 0; i < 8; ++i) {
        player().renderFrame();
        times.push_back(player().demoTime());
        m_clock->advance(100);
    }
    EXPECT_EQ(times, (std::vector<int>{400, 500, 600, 700, 800, 900, 400, 500}));

    // The same for [ after ]: at 1600 (past the end, before the next frame) [ moves the start
    // after the end.
    key(kKeyRight);
    key(kKeyOpenBracket);
    EXPECT_EQ(s.loopStart, 1000);
    EXPECT_EQ(s.loopEnd, 1600);
    // Both marks at one time: nothing to loop over, so the loop goes off.
    key(kKeyCloseBracket);
    key(kKeyOpenBracket);
    EXPECT_FALSE(s.looping);
    EXPECT_EQ(s.note, "loop start = end: loop off");
    player().renderFrame();
    EXPECT_EQ(player().demoTime(), 1600);
}

} // namespace

namespace {

// A seek's first frame is preceded by the frame a run at 26 frames per second shows before it,
// floor(t - 1000 / 26) = t - 39 ms: the blit's opacity, set by its controller for its next run,
// is that frame's time / 10000.
TEST_F(PlayerTest, ASeeksFirstFrameShowsTheValuesOfTheFrameBeforeIt)
{
    LECXControllerManager controllers;
    controllers.create(kLECXMixBlit);
    LECXControllerParam* opacity = controllers.getController()->addParam();
    opacity->m_name = "Opacity";
    opacity->m_expression = "time1 / 10000";
    controllers.save((m_dir.path() + "fade.lecx").c_str());
    m_dir.write("fade.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                         {"CONTROLLER", {"file: fade fade.lecx"}},
                                         {"SCREEN_LAYER", {"desc: white full", "desc: screen full"}},
                                         {"MIX", {"desc: blend BLIT"}},
                                         {"MIX_DESC", {"desc: fade blend fade NORMAL 0.0 NULL"}},
                                         {"LAYER_MANAGER",
                                          {"desc: white 1 0 100000 c 255 255 255", "desc: screen 1 0 100000 c 0 0 0",
                                           "desc: screen 2 0 100000 m fade white"}}}));
    PlayerOptions o;
    o.commandLine = "fade.lscx";
    o.startMs = 5000;
    ASSERT_TRUE(player().startup(o));
    auto grey = [] { return int(player().workImage().m_pPixels[128 * 512 + 256] & 0xFF); };
    auto expected = [](float opacity) {
        CImage32Buffered white(512, 256), out(512, 256);
        white.clear(0xFFFFFF);
        out.clear(0);
        white.blitAlpha(&out, opacity);
        return int(out.m_pPixels[128 * 512 + 256] & 0xFF);
    };
    player().renderFrame();
    EXPECT_EQ(player().demoTime(), 5000);
    EXPECT_EQ(grey(), expected(0.4961f));
    // Frames that follow one another take the values of the one before, as a run does.
    m_clock->advance(40);
    player().renderFrame();
    EXPECT_EQ(grey(), expected(0.5f));
    // A seek forward in the authoring mode's way.
    player().seekDemo(2000);
    player().renderFrame();
    EXPECT_EQ(player().demoTime(), 7040);
    EXPECT_EQ(grey(), expected(0.7001f));
}

} // namespace

namespace {

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// S saves the work image only inside the script's folder tree and never through a link: a link of
// the picture's name leading out is refused with the overlay note, one leading inside is replaced,
// and so is a link planted at the temporary name beside it.
TEST_F(PlayerTest, SavedWorkImageNeverGoesThroughALink)
{
    namespace fs = std::filesystem;
    m_dir.write("demo/demo.lscx", makeScript({}));
    m_dir.write("outside/secret.png", "mine\n");
    fs::create_symlink("../outside/secret.png", m_dir.path() + "demo/demo-000000.png");
    PlayerOptions o;
    o.dev = true;
    o.scriptPath = m_dir.path() + "demo/demo.lscx";
    ASSERT_TRUE(player().startup(o));
    ASSERT_EQ(player().demoTime(), 0);
    auto saveKey = [] { player().wndProc(WindowEvent{WindowEventType::KeyDown, kKeyS, {}}); };
    saveKey();
    EXPECT_EQ(player().state().note, "cannot write demo-000000.png");
    EXPECT_TRUE(fileText(m_dir.path() + "outside/secret.png") == "mine\n");

    const std::string script = fileText(m_dir.path() + "demo/demo.lscx");
    fs::remove(m_dir.path() + "demo/demo-000000.png");
    fs::create_symlink("demo.lscx", m_dir.path() + "demo/demo-000000.png");
    const std::string temporary = m_dir.path() + "demo/.demo-000000.png." + std::to_string(::getpid()) + ".part";
    fs::create_symlink("../outside/secret.png", temporary);
    saveKey();
    EXPECT_EQ(player().state().note, "saved demo-000000.png");
    EXPECT_TRUE(fileText(m_dir.path() + "outside/secret.png") == "mine\n");
    EXPECT_TRUE(fileText(m_dir.path() + "demo/demo.lscx") == script);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(m_dir.path() + "demo/demo-000000.png")));
    EXPECT_EQ(fileText(m_dir.path() + "demo/demo-000000.png").substr(0, 4), "\x89PNG");
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
}

} // namespace
