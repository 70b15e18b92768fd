// Builds script files for tests: every section present, in order, with the given entry lines.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "script/ScriptEngine.h"
#include "support/TestSupport.h"

inline const std::vector<std::string>& scriptSectionNames()
{
    static const std::vector<std::string> names = {
        "MUSIC",       "LAYER_DIMENSION", "CONTROLLER", "IMAGE",     "2D",          "3D",
        "SKYBOX",      "SCREEN_LAYER",    "2D_DESC",    "3D_DESC",   "SKYBOX_DESC", "SPE_LAYER",
        "LAYER_DEPENDENCY", "MIX",        "EFFECT",     "MIX_DESC",  "EFFECT_DESC", "LAYER_MANAGER"};
    return names;
}

// Sections not in `content` are written empty; MUSIC defaults to no music.
inline std::string makeScript(std::map<std::string, std::vector<std::string>> content)
{
    if (!content.count("MUSIC")) content["MUSIC"] = {"file: NULL", "offset: 0"};
    std::string text = "test script\n";
    for (const std::string& name : scriptSectionNames()) {
        text += "<" + name + ">\n";
        for (const std::string& line : content[name]) text += line + "\n";
        text += "</" + name + ">\n";
    }
    return text;
}

// Headless platform on a virtual clock, music decoders installed, a scratch current directory.
class ScriptEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clock = std::make_shared<VirtualClock>();
        Platform p;
        installHeadlessBackend(p, m_clock);
        installOpenMptBackend(p);
        installFfmpegBackend(p);
        extendPlatform(p);
        m_previous = installPlatform(std::move(p));
        m_cwd = std::make_unique<CurrentDirGuard>(m_dir.path());
    }
    void TearDown() override
    {
        m_cwd.reset();
        installPlatform(std::move(m_previous));
    }
    // Further back ends a fixture wants (a mouse, say).
    virtual void extendPlatform(Platform& p) { (void)p; }
    // Writes the script and loads it into a fresh engine, started at virtual time 0.
    std::unique_ptr<ScriptEngine> load(const std::string& text)
    {
        m_dir.write("test.lscx", text);
        auto engine = std::make_unique<ScriptEngine>();
        engine->load("test.lscx");
        m_clock->set(0);
        engine->start();
        return engine;
    }

    ScratchDir m_dir;
    std::shared_ptr<VirtualClock> m_clock;
    Platform m_previous;
    std::unique_ptr<CurrentDirGuard> m_cwd;
};

