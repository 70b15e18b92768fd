// Reload on save in the authoring mode over the real SDL window (run under Xvfb by ctest), on the
// system clock with the kernel's file notification: a new clear colour shows within a second of
// the save; a broken script keeps the running demo and the overlay's note says why. A saved
// scene text is rebuilt and shown alike, and an error in it is shown with its file and line.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "../script/ScriptTestUtil.h"
#include "backends/inotify/InotifyBackend.h"
#include "backends/sdl/SdlBackend.h"
#include "support/PlayerSupport.h"
#include "text/TextBuild.h"

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

// The player on the system clock, the real window and the kernel's file notification.
class SdlReloadOnSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
        Platform p;
        p.clock = std::make_shared<SystemClock>();
        installSdlBackend(p);
        installInotifyBackend(p);
        m_previous = installPlatform(std::move(p));
        resetPlayer();
    }
    void TearDown() override
    {
        if (!std::getenv("DISPLAY")) return;
        player().shutdown();
        resetPlayer();
        installPlatform(std::move(m_previous));
    }
    // Starts the authoring mode on `script` in a window.
    void start(const std::string& script, TextSourceBuilder builder = {})
    {
        PlayerOptions o;
        o.fullScreen = false;
        o.dev = true;
        o.scriptPath = script;
        o.sourceBuilder = std::move(builder);
        ASSERT_TRUE(player().startup(o));
    }

    ScratchDir dir;
    Platform m_previous;
};

TEST_F(SdlReloadOnSave, SavedColourShowsWithinASecondAndABrokenScriptKeepsTheDemo)
{
    start(dir.write("demo.lscx", clearScript("200 0 0")));
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

}

// A lit cube filling the middle of the view; its surface colour is `diffuse`.
std::string sceneText(const std::string& diffuse)
{
    return "scene {\n"
           "  animationLength 100\n"
           "  triObjects { triObject { header { name \"cube\" node { values { mode 1 } } } material 0 obj \"cube.obj\"\n"
           "                           lights { light \"lamp\" } } }\n"
           "  cameras { camera { header { name \"eye\" node { values { position 0 0 -520 } } } target { name \"eye.target\" }\n"
           "                     values { fov 1.0 near 10 far 2000 } } }\n"
           "  lights { light { header { name \"lamp\" node { values { position 0 0 -400 } } } target { name \"lamp.target\" }\n"
           "                   values { type 1 intensity 1 nearAttenuation 1000 farAttenuation 2000 } } }\n"
           "  materials { material { name \"m\" subMaterials { subMaterial { name \"s\" shading { values {\n"
           "    paletteEnabled 1 ambient 0 0 0 diffuse " + diffuse + " specular 0 0 0 } } } } } }\n"
           "}\n";
}

TEST_F(SdlReloadOnSave, ASavedSceneTextIsRebuiltAndAnErrorShowsItsLine)
{
    std::filesystem::copy_file(std::string(TL_SOURCE_DIR) + "/docs/examples/shared/cube.obj", dir.path() + "cube.obj");
    dir.write("lit.l3x.txt", sceneText("0.8 0 0"));
    const std::string script = dir.write("demo.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                                                  {"3D", {"file: lit lit.l3x"}},
                                                                  {"SCREEN_LAYER", {"desc: s full"}},
                                                                  {"3D_DESC", {"desc: view lit full NULL 0 0"}},
                                                                  {"LAYER_MANAGER", {"desc: s 1 0 999999 c 0 0 0", "desc: s 2 0 999999 w view"}}}));
    // The binary does not exist yet: the authoring mode builds it before the first load.
    start(script, makeTextSourceBuilder());
    auto red = [] { return (centre() >> 16 & 0xFF) > 100 && (centre() & 0xFFFF) == 0; };
    auto blue = [] { return (centre() & 0xFF) > 100 && (centre() >> 8) == 0; };
    ASSERT_EQ(loopUntil(red, 50), 1) << std::hex << centre();

    dir.write("lit.l3x.txt", sceneText("0 0 0.8"));
    EXPECT_GT(loopUntil(blue, 50), 0) << "not rebuilt within a second: " << std::hex << centre();
    EXPECT_EQ(player().state().note, "reloaded: lit.l3x.txt saved");

    // Line 10 of the text names a field no shading has: the note says where, the demo stays.
    const ScriptEngine* running = player().state().scriptEngine.get();
    std::string broken = sceneText("0.8 0.8 0");
    broken.replace(broken.find("specular"), 8, "specularr");
    dir.write("lit.l3x.txt", broken);
    EXPECT_GT(loopUntil([] { return player().state().note.rfind("lit.l3x.txt:10: ", 0) == 0; }, 50), 0)
        << player().state().note;
    EXPECT_EQ(player().state().scriptEngine.get(), running);
    EXPECT_TRUE(blue());
    EXPECT_FALSE(fatalErrorPosted());

}

} // namespace
