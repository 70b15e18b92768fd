// Controllers in scripts: the controller directory, CONTROLLER entries and their binding, the
// descriptors' refusals, the time inputs, the mouse marker, the one-frame delay of mix
// opacities and row effect phases, no allocation per frame, and the same through the real renderer and the
// authoring tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "control/LECXControllerKinds.h"
#include "control/LECXControllerManager.h"
#include "control/MouseInput.h"
#include "backends/headless/HeadlessBackend.h"
#include "script/ScriptEngine.h"
#include "support/AllocationCounter.h"
#include "support/TestSupport.h"
#include "ScriptTestUtil.h"
#include "../e2e/RenderRunner.h"


namespace {

const char* const kBindCaption = "ScriptControllerManager: ";

class ControllerScriptTest : public ScriptEngineTest {
protected:
    void extendPlatform(Platform& p) override
    {
        if (m_withMouse) p.createMouse = [m = m_mouse] { return createHeadlessMouse(m); };
    }

    // A key framer in data/lcx/: one beat at 0, a linear model through the points.
    void writeKeyFramer(const std::string& title, std::initializer_list<std::pair<float, float>> keys)
    {
        m_dir.makeDir("data/lcx");
        LCXControllerManager m;
        m.create(kLCXKeyFramer);
        auto* k = static_cast<LCXControllerKeyFramer*>(m.getController());
        std::vector<LCXKeyFramerPoint> points;
        for (const auto& [time, value] : keys) points.push_back({time, value, 0, 0, 0});
        const LCXKeyFramerPoint beat{};
        k->createBeatPosition(&beat, 1);
        k->setModel(points.data(), int(points.size()), kKeyFramerLinear);
        m.save((m_dir.path() + "data/lcx/" + title + ".lcx").c_str());
    }
    void writeController(const std::string& file, int type)
    {
        m_dir.makeDir("data/lcx");
        LCXControllerManager m;
        m.create(type);
        m.save((m_dir.path() + "data/lcx/" + file).c_str());
    }
    void writeLecx(const std::string& file, int type, std::initializer_list<std::pair<const char*, const char*>> params)
    {
        LECXControllerManager m;
        m.create(type);
        for (const auto& [name, expression] : params) {
            LECXControllerParam* p = m.getController()->addParam();
            p->m_name = name;
            p->m_expression = expression;
        }
        m.save((m_dir.path() + file).c_str());
    }

    bool m_withMouse = false;
    std::shared_ptr<HeadlessMouse> m_mouse = std::make_shared<HeadlessMouse>();
};

class ControllerScriptMouseTest : public ControllerScriptTest {
protected:
    void SetUp() override
    {
        m_withMouse = true;
        ControllerScriptTest::SetUp();
    }
};

const std::vector<std::string> kOneLayer = {"desc: full 512 256"};

uint32_t at(const CImage32& image, int x, int y) { return image.m_pPixels[y * image.m_width + x]; }

TEST_F(ControllerScriptTest, DirectoryLoadsInNameOrderNamedAfterTheFileTitles)
{
    writeKeyFramer("beta", {{0, 1}});
    writeKeyFramer("Alpha", {{0, 2}});
    writeController("zeta.LCX", kLCXNoise);
    writeController("mouse.lcx", kLCXMouse);
    m_dir.write("data/lcx/broken.lcx", "not a chunk file");
    m_dir.write("data/lcx/notes.txt", "ignored");

    ReportCapture cap;
    auto engine = load(makeScript({}));
    ScriptControllerManager& m = engine->getControllerManager();
    ASSERT_EQ(m.getCount(), 5);
    EXPECT_TRUE(m.getController(0)->getName() == "Alpha");
    EXPECT_TRUE(m.getController(1)->getName() == "beta");
    EXPECT_EQ(m.getController(2), nullptr);  // broken.lcx
    EXPECT_TRUE(m.getController(3)->getName() == "mouse");
    EXPECT_TRUE(m.getController(4)->getName() == "zeta");
    EXPECT_TRUE(cap.has("LCXControllerManager", "not a lcx file"));

    EXPECT_EQ(m.find("beta"), m.getController(1));
    EXPECT_EQ(m.find("Beta"), nullptr);  // names are exact
    EXPECT_EQ(m.find("broken"), nullptr);
    EXPECT_EQ(m.find("NULL"), nullptr);

    // No mouse on this platform: no mouse input, the mouse controller reads -1, no marker.
    EXPECT_EQ(m.getMouseInput(), nullptr);
    EXPECT_EQ(m.find("mouse")->getValue(0), -1.0f);
    CImage32Buffered frame(512, 256);
    frame.clear(0);
    m.drawInput(&frame);
    for (int i = 0; i < 512 * 256; ++i) ASSERT_EQ(frame.m_pPixels[i], 0u);
}

TEST_F(ControllerScriptMouseTest, MouseIsPolledOncePerFrameAndMarked)
{
    writeController("mouse.lcx", kLCXMouse);
    writeController("level.lcx", kLCXSound);
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"SCREEN_LAYER", {"desc: full full"}},
                                   {"LAYER_MANAGER", {"desc: full 1 0 100000 c 0 0 0"}}}));
    ScriptControllerManager& m = engine->getControllerManager();
    ASSERT_NE(m.getMouseInput(), nullptr);
    EXPECT_EQ(m.find("level")->getValue(0), -1.0f);  // no music in this script

    CImage32Buffered frame(512, 256);
    m_mouse->next.motion[0] = 100;
    m_mouse->next.motion[1] = 50;
    engine->render(&frame);
    EXPECT_EQ(m_mouse->readCount, 1);
    EXPECT_EQ(m.find("mouse")->getValue(0), 100.0f);
    engine->render(&frame);
    EXPECT_EQ(m_mouse->readCount, 2);

    // Nine 3x3 dots centred 15 pixels apart around (100, 50), over the cleared frame.
    int white = 0;
    for (int i = 0; i < 512 * 256; ++i) white += frame.m_pPixels[i] == 0xFFFFFFu;
    EXPECT_EQ(white, 81);
    for (int dy : {-15, 0, 15})
        for (int dx : {-15, 0, 15}) {
            EXPECT_EQ(at(frame, 100 + dx - 1, 50 + dy + 1), 0xFFFFFFu);
            EXPECT_EQ(at(frame, 100 + dx + 2, 50 + dy), 0u);
        }

    // Near a corner the dots outside the image are skipped.
    m_mouse->next.motion[0] = -100;
    m_mouse->next.motion[1] = -50;
    engine->render(&frame);
    white = 0;
    for (int i = 0; i < 512 * 256; ++i) white += frame.m_pPixels[i] == 0xFFFFFFu;
    EXPECT_EQ(white, 4 + 2 * 6 + 9);  // a quarter of the (0,0) dot, two cut dots, one whole
}

TEST_F(ControllerScriptTest, ControllerEntriesAreBoundByName)
{
    writeKeyFramer("kf", {{0, 0}, {1000, 1}});
    writeLecx("fade.lecx", kLECXMixBlit, {{"Opacity", "kf + ghost * time1 + time2 + kf"}});
    writeLecx("odd.lecx", kLECXMixBlit, {{"Opacity", "Kf"}});
    ReportCapture cap;
    auto engine = load(makeScript({{"CONTROLLER", {"file: fade fade.lecx", "file: odd odd.lecx", "file: gone gone.lecx"}}}));
    EXPECT_TRUE(cap.has(kBindCaption, "cant find LCX controller: ghost"));
    EXPECT_TRUE(cap.has(kBindCaption, "cant find LCX controller: Kf"));
    int bindMessages = 0;
    for (const CapturedReport& r : cap.reports()) bindMessages += r.caption == kBindCaption;
    EXPECT_EQ(bindMessages, 2);  // nothing for kf, time1 or time2

    LECXController* fade = engine->findControllerFile("fade")->getController();
    ASSERT_NE(fade, nullptr);
    EXPECT_TRUE(fade->getName() == "fade");
    ASSERT_EQ(fade->getNbInput(), 2);
    EXPECT_EQ(fade->getInputController(0), engine->getControllerManager().find("kf"));
    EXPECT_EQ(fade->getInputController(1), nullptr);
    // A file that does not load leaves its entry without controller.
    EXPECT_EQ(engine->findControllerFile("gone")->getController(), nullptr);
}

TEST_F(ControllerScriptTest, DescriptorsRefuseOtherKindsWithTheirMessages)
{
    writeLecx("color.lecx", kLECXEffectColor, {{"Red", "1"}});
    writeLecx("blit.lecx", kLECXMixBlit, {{"Opacity", "1"}});
    writeLecx("spe.lecx", kLECXEffectDemoSpe01, {{"Phase", "1"}});
    writeLecx("scene.lecx", kLECXL3X, {{"SCENE CAMERA", "1"}});
    ReportCapture cap;
    auto engine = load(makeScript({
        {"LAYER_DIMENSION", kOneLayer},
        {"CONTROLLER", {"file: color color.lecx", "file: blit blit.lecx", "file: spe spe.lecx",
                        "file: scene scene.lecx"}},
        {"3D_DESC", {"desc: cam NULL full color 0 0", "desc: good NULL full scene 0 0"}},
        {"MIX", {"desc: mix BLIT"}},
        {"EFFECT", {"desc: col COLOR", "desc: rows DEMOSPE01"}},
        {"MIX_DESC", {"desc: wrongmix mix color NORMAL 1.0 NULL", "desc: rightmix mix blit NORMAL 1.0 NULL"}},
        {"EFFECT_DESC", {"desc: wrongcol col blit ADD", "desc: rightcol col color ADD",
                         "desc: wrongspe rows scene 0", "desc: rightspe rows spe 0"}},
    }));
    EXPECT_TRUE(cap.has("3D_DESC cam :", "can t set pController with id: 1 to RenderData3DDesc"));
    EXPECT_TRUE(cap.has("ScriptMixBlitDesc :", "can t set pController with id: 1 to MixBlitDesc"));
    EXPECT_TRUE(cap.has("ScriptEffectColorDesc: ", "can t set pController with id: 3 to EffectColorDesc"));
    EXPECT_TRUE(cap.has("ScriptEffectDemoSpe01Desc: ", "can t set pController with id: 2 to EffectDemoSpe01Desc"));
    // The accepted scene controller has no scene to drive until 3D scenes load.
    EXPECT_TRUE(cap.has("LECXControllerL3X", "can t prepare controller Interface: m_pScene NULL"));
    EXPECT_EQ(cap.count(), 5u);

    EXPECT_EQ(engine->find3DDesc("cam")->getController(), nullptr);
    EXPECT_NE(engine->find3DDesc("good")->getController(), nullptr);
    EXPECT_EQ(engine->findMixDesc("wrongmix")->m_pController, nullptr);
    EXPECT_NE(engine->findMixDesc("rightmix")->m_pController, nullptr);
    EXPECT_EQ(engine->findEffectDesc("wrongcol")->m_pController, nullptr);
    EXPECT_NE(engine->findEffectDesc("rightcol")->m_pController, nullptr);
    EXPECT_EQ(engine->findEffectDesc("wrongspe")->m_pController, nullptr);
    EXPECT_NE(engine->findEffectDesc("rightspe")->m_pController, nullptr);
    // The accepted controller targets the descriptor that took it.
    auto* color = static_cast<LECXControllerSimple*>(engine->findControllerFile("color")->getController());
    EXPECT_EQ(color->getTarget(), static_cast<ScriptEffectColorDesc*>(engine->findEffectDesc("rightcol")));
    EXPECT_EQ(color->getNbBinding(), 1);
}

TEST_F(ControllerScriptTest, TimeInputsReachTheExpressions)
{
    writeLecx("times.lecx", kLECXEffectColor,
              {{"Red", "time1 / 1000"}, {"Green", "time2 / 10000"}, {"Blue", "( time2 - time1 ) / 10000"}});
    writeLecx("spe.lecx", kLECXEffectDemoSpe01, {{"Phase", "time1"}, {"Intensity", "time2"}});
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"CONTROLLER", {"file: times times.lecx", "file: spe spe.lecx"}},
                                   {"SCREEN_LAYER", {"desc: full full"}},
                                   {"EFFECT", {"desc: col COLOR", "desc: rows DEMOSPE01"}},
                                   {"EFFECT_DESC", {"desc: tint col times ADD", "desc: wave rows spe 0"}},
                                   {"LAYER_MANAGER",
                                    {"desc: full 1 0 100000 c 0 0 0", "desc: full 2 0 1000 e tint",
                                     "desc: full 2 1000 8000 e wave", "desc: full 3 0 9000 e tint"}}}));
    CImage32Buffered frame(512, 256);
    auto* tint = static_cast<ScriptEffectColorDesc*>(engine->findEffectDesc("tint"));
    auto* wave = static_cast<ScriptEffectDemoSpe01Desc*>(engine->findEffectDesc("wave"));
    m_clock->set(250);
    engine->render(&frame);
    // Position 3 ran last: its window ends at 9000.
    EXPECT_FLOAT_EQ(tint->m_red, 0.25f);
    EXPECT_FLOAT_EQ(tint->m_green, 0.9f);
    EXPECT_FLOAT_EQ(tint->m_blue, 0.875f);
    EXPECT_EQ(wave->m_phase, 0.0f);  // not run yet

    m_clock->set(4321);
    engine->render(&frame);
    EXPECT_EQ(wave->m_phase, 4321.0f);
    EXPECT_EQ(wave->m_intensity, 8000.0f);
}

// A row effect's controller runs after the descriptor's values reach the effect: the effect
// works with the phase of the frame before.
TEST_F(ControllerScriptTest, RowEffectRunsWithThePhaseOfTheFrameBefore)
{
    writeLecx("spe.lecx", kLECXEffectDemoSpe01, {{"Phase", "time1"}});
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"CONTROLLER", {"file: spe spe.lecx"}},
                                   {"SCREEN_LAYER", {"desc: full full"}},
                                   {"EFFECT", {"desc: rows DEMOSPE01"}},
                                   {"EFFECT_DESC", {"desc: wave rows spe 0"}},
                                   {"LAYER_MANAGER", {"desc: full 1 0 100000 e wave"}}}));
    auto* rows = static_cast<ScriptEffectDemoSpe01*>(engine->findEffect("rows"));
    CImage32Buffered frame(512, 256);
    m_clock->set(100);
    engine->render(&frame);
    EXPECT_EQ(rows->m_phase, 0.0f);
    m_clock->set(300);
    engine->render(&frame);
    EXPECT_EQ(rows->m_phase, 100.0f);
}

TEST_F(ControllerScriptTest, BlitOpacityReachesTheMixOneFrameLaterAndFramesDoNotAllocate)
{
    // Opacity = key framer (0 at 0 ms to 1 at 1000 ms), read through a .lecx expression.
    writeKeyFramer("ramp", {{0, 0}, {1000, 1}});
    writeController("noise.lcx", kLCXNoise);
    writeController("level.lcx", kLCXSound);
    writeLecx("fade.lecx", kLECXMixBlit, {{"Opacity", "ramp + noise * 0 + level * 0"}});
    writeLecx("tint.lecx", kLECXEffectColor, {{"Red", "ramp"}, {"Blue", "sin ( time1 )"}});
    auto engine = load(makeScript({{"LAYER_DIMENSION", kOneLayer},
                                   {"CONTROLLER", {"file: fade fade.lecx", "file: tint tint.lecx"}},
                                   {"SCREEN_LAYER", {"desc: white full", "desc: full full"}},
                                   {"MIX", {"desc: blend BLIT"}},
                                   {"EFFECT", {"desc: col COLOR"}},
                                   {"MIX_DESC", {"desc: fade blend fade NORMAL 0.0 NULL"}},
                                   {"EFFECT_DESC", {"desc: tint col tint ADD"}},
                                   {"LAYER_MANAGER",
                                    {"desc: white 1 0 100000 c 255 255 255", "desc: full 1 0 100000 c 0 0 0",
                                     "desc: full 2 0 100000 m fade white", "desc: full 3 0 100000 e tint"}}}));
    auto* desc = static_cast<ScriptMixBlitDesc*>(engine->findMixDesc("fade"));
    auto* blit = static_cast<ScriptMixBlit*>(engine->findMix("blend"));
    CImage32Buffered frame(512, 256);

    m_clock->set(250);
    engine->render(&frame);
    EXPECT_EQ(blit->m_opacity, 0.0f);  // the script's opacity: nothing drawn yet
    EXPECT_EQ(desc->m_opacity, 0.25f);
    EXPECT_EQ(at(frame, 10, 10) & 0x00FF00u, 0u);

    m_clock->set(500);
    long allocations = 0;
    {
        AllocationCounter counter;
        engine->render(&frame);
        for (int t = 510; t < 1000; t += 38) {
            m_clock->set(uint32_t(t));
            engine->render(&frame);
        }
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0);

    m_clock->set(600);
    engine->render(&frame);
    EXPECT_FLOAT_EQ(desc->m_opacity, 0.6f);
    const float used = blit->m_opacity;  // the previous frame's value
    EXPECT_NEAR(used, 0.966f, 1e-6f);
    // The frame shows white blended at that opacity (green is not touched by the tint).
    CImage32Buffered white(512, 256), expected(512, 256);
    white.clear(0xFFFFFF);
    expected.clear(0);
    white.blitAlpha(&expected, used);
    EXPECT_EQ(at(frame, 10, 10) & 0x00FF00u, at(expected, 10, 10) & 0x00FF00u);
}

// ---------------------------------------------------------------------------------------------
// Through the programs users run: the authoring tool writes the files, the renderer plays them.

const std::string kTool = std::string(TL_BINARY_DIR) + "/tools/tessaline-lcx";

// Runs a command in `dir`; the exit status and what it wrote to stderr.
std::pair<int, std::string> run(const ScratchDir& dir, const std::string& command)
{
    const RenderResult r = runCommand(dir, command);
    return {r.status, r.err};
}

TEST(ControllerRenderApp, KeyFramerDrivesABlitOpacityThroughAnExpression)
{
    ScratchDir dir;
    dir.makeDir("data/lcx");
    // A ramp from 0 to 1 over 1000 ms, restarting every 1000 ms; opacity = ramp, and a colour
    // effect whose red follows the ramp too (applied before it draws, so without delay).
    dir.write("ramp.txt", "beats-every 1000 0 4000\nkey 0 0\nkey 1000 1\n");
    dir.write("fade.txt", "type blit\nOpacity | ramp # the key framer by its file title\n");
    dir.write("tint.txt", "type color\nRed | ramp / 2\nBlue | time2 / 100000\n");
    for (const char* args : {"ramp.txt data/lcx/ramp.lcx", "fade.txt fade.lecx", "tint.txt tint.lecx"}) {
        const auto [status, err] = run(dir, "'" + kTool + "' " + args);
        ASSERT_EQ(status, 0) << args << ": " << err;
    }
    dir.write("show.lscx",
              makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                          {"CONTROLLER", {"file: fade fade.lecx", "file: tint tint.lecx"}},
                          {"SCREEN_LAYER", {"desc: white full", "desc: screen full"}},
                          {"MIX", {"desc: blend BLIT"}},
                          {"EFFECT", {"desc: col COLOR"}},
                          {"MIX_DESC", {"desc: fade blend fade NORMAL 0.0 NULL"}},
                          {"EFFECT_DESC", {"desc: tint col tint ADD"}},
                          {"LAYER_MANAGER",
                           {"desc: white 1 0 100000 c 0 255 0", "desc: screen 1 0 100000 c 0 0 0",
                            "desc: screen 2 0 100000 m fade white", "desc: screen 3 0 50000 e tint"}}}));
    auto [status, err] = run(dir, "'" + kRendererPath + "' --quiet --image work --times 100,250,600,1200 show.lscx");
    ASSERT_EQ(status, 0) << err;
    EXPECT_EQ(err, "");

    // The green layer blended over black at the opacity of the frame before, which a run at the
    // default 26 frames per second renders floor(t - 1000 / 26) = t - 39 ms (each listed time is
    // preceded by it); red = ramp / 2 added at once; blue = 50000 / 100000 added.
    const float opacity[4] = {0.061f, 0.211f, 0.561f, 0.161f};
    const float ramp[4] = {0.1f, 0.25f, 0.6f, 0.2f};
    for (int k = 0; k < 4; ++k) {
        CImage32Buffered green(512, 256), expected(512, 256);
        green.clear(0x00FF00);
        expected.clear(0);
        if (opacity[k] > 0.0f) green.blitAlpha(&expected, opacity[k]);
        const int expectedGreen = int(expected.m_pPixels[128 * 512 + 256] >> 8 & 0xFF);
        char name[32];
        std::snprintf(name, sizeof name, "frames/%06d.png", k);
        const Frame f = readFrame(dir.path() + name);
        ASSERT_EQ(f.width, 512) << name;
        const uint32_t p = f.at(256, 128);
        EXPECT_EQ(int(p >> 8 & 0xFF), expectedGreen) << "frame " << k;
        EXPECT_EQ(int(p >> 16 & 0xFF), int(ramp[k] / 2 * 255)) << "frame " << k;
        EXPECT_EQ(int(p & 0xFF), 127) << "frame " << k;
    }

    // A listed time shows what a run from 0 at that rate shows there.
    std::tie(status, err) = run(dir, "'" + kRendererPath + "' --quiet --image work --fps 25 --end 1200 -o run show.lscx");
    ASSERT_EQ(status, 0) << err;
    std::tie(status, err) = run(dir, "'" + kRendererPath + "' --quiet --image work --fps 25 --times 600,1200 -o listed show.lscx");
    ASSERT_EQ(status, 0) << err;
    EXPECT_TRUE(readFrame(dir.path() + "listed/000000.png").pixels == readFrame(dir.path() + "run/000015.png").pixels);
    EXPECT_TRUE(readFrame(dir.path() + "listed/000001.png").pixels == readFrame(dir.path() + "run/000030.png").pixels);
}

TEST(ControllerRenderApp, ToolRefusesBadInputWithItsLine)
{
    ScratchDir dir;
    dir.write("bad.txt", "type blit\nOpacity | ( 1 + 2\nAlpha | 1\nOpacity | 1 | sideways\n");
    auto [status, err] = run(dir, "'" + kTool + "' bad.txt bad.lecx");
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("bad.txt:2: the expression does not evaluate: ( 1 + 2"), std::string::npos) << err;
    EXPECT_NE(err.find("bad.txt:3: unknown parameter Alpha (expected one of Opacity)"), std::string::npos) << err;
    EXPECT_NE(err.find("bad.txt:4: unknown word sideways"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "bad.lecx"));

    dir.write("kf.txt", "model tcb\nbeats\nkey 1\nspeed 2\n");
    std::tie(status, err) = run(dir, "'" + kTool + "' kf.txt kf.lcx");
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.find("kf.txt:1: model takes linear, hermite or bezier"), std::string::npos) << err;
    EXPECT_NE(err.find("kf.txt:2: beats: no time"), std::string::npos) << err;
    EXPECT_NE(err.find("kf.txt:3: key: wrong number of words"), std::string::npos) << err;
    EXPECT_NE(err.find("kf.txt:4: speed does not apply to a keyframer controller"), std::string::npos) << err;

    std::tie(status, err) = run(dir, "'" + kTool + "' kf.txt kf.txt");
    EXPECT_EQ(status, 2);
    EXPECT_NE(err.find("usage: tessaline-lcx"), std::string::npos);
}

TEST(ControllerRenderApp, ToolWritesEveryKindThatLoadsBack)
{
    ScratchDir dir;
    dir.write("noise.txt", "type noise\nseed 12\nfractal on\nroughness 0.5\namplitude 2\n");
    dir.write("mouse.txt", "type mouse\nchannel right\nrecord take.lcx\nstep 20\nend 4000\nscale 0.5\n");
    dir.write("bez.txt", "model bezier\nbeats 0 600 300\nkey 500 2 smooth step\nkey 0 1 linear linear\naccumulate on\n");
    dir.write("scene.txt", "type l3x\nNODE Box01 POSX | time1 * 0.01 | add\n");
    for (const char* args : {"noise.txt n.lcx", "mouse.txt m.LCX", "bez.txt b.lcx", "scene.txt s.lecx"}) {
        const auto [status, err] = run(dir, "'" + kTool + "' " + args);
        ASSERT_EQ(status, 0) << args << ": " << err;
    }
    ReportCapture cap;
    LCXControllerManager m;
    m.load((dir.path() + "n.lcx").c_str());
    auto* noise = dynamic_cast<LCXControllerNoise*>(m.getController());
    ASSERT_NE(noise, nullptr);
    EXPECT_EQ(noise->m_seed, 12);
    EXPECT_TRUE(noise->m_fractal);
    EXPECT_EQ(noise->m_roughness, 0.5f);
    EXPECT_EQ(noise->m_amplitude, 2.0f);

    m.load((dir.path() + "m.LCX").c_str());
    auto* mouse = dynamic_cast<LCXControllerMouse*>(m.getController());
    ASSERT_NE(mouse, nullptr);
    EXPECT_EQ(mouse->m_channel, 4);
    EXPECT_TRUE(mouse->m_record);
    EXPECT_TRUE(mouse->m_recordFileName == "take.lcx");
    EXPECT_EQ(mouse->m_step, 20);
    EXPECT_EQ(mouse->m_end, 4000);
    EXPECT_EQ(mouse->m_scale, 0.5f);

    m.load((dir.path() + "b.lcx").c_str());
    auto* k = dynamic_cast<LCXControllerKeyFramer*>(m.getController());
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->getBeats(), (std::vector<float>{0, 300, 600}));  // sorted
    EXPECT_TRUE(k->m_accumulate);
    ASSERT_EQ(k->getModel()->getType(), kKeyFramerBezier);
    const auto* bezier = static_cast<const TrackFloatBezier*>(k->getModel()->getTrack());
    ASSERT_EQ(bezier->getNbKey(), 2);
    EXPECT_EQ(bezier->keys()[0].time, 0.0f);  // keys sorted by time
    EXPECT_EQ(bezier->keys()[0].inType, kBezierLinear);
    EXPECT_EQ(bezier->keys()[1].outType, kBezierStep);
    EXPECT_EQ(k->getValue(1100), 2.0f + 2 * 2.0f);  // the end value, plus it twice for beat 2

    LECXControllerManager e;
    e.load((dir.path() + "s.lecx").c_str());
    ASSERT_NE(e.getController(), nullptr);
    EXPECT_EQ(e.getController()->getType(), kLECXL3X);
    EXPECT_EQ(e.getController()->getParam(0)->m_mode, 1);
    EXPECT_EQ(cap.count(), 0u);

    // What --print shows reads back into the same file.
    for (const char* file : {"b.lcx", "s.lecx"}) {
        const std::string ext = std::string(file).substr(1);
        auto [status, err] = run(dir, "'" + kTool + "' --print " + file + " > again.txt && '" + kTool + "' again.txt again" + ext +
                                          " && cmp " + file + " again" + ext);
        EXPECT_EQ(status, 0) << file << ": " << err;
    }
}

} // namespace
