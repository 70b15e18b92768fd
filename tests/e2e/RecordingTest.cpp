// Recordings through the real renderer: none without --record, and with it only inside the demo.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "../script/ScriptTestUtil.h"
#include "RenderRunner.h"
#include "control/LCXControllerManager.h"

namespace {

std::set<std::string> entries(const std::string& dir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        out.insert(std::filesystem::relative(e.path(), dir).string());
    return out;
}

// A recording controller file of `type` in the demo's data/lcx/.
void writeRecorder(const std::string& path, int type, const char* recordName)
{
    LCXControllerManager m;
    m.create(type);
    auto* c = static_cast<LCXControllerRecordable*>(m.getController());
    c->m_record = true;
    c->m_recordFileName = recordName;
    c->m_step = 100;
    c->m_end = 300;
    m.save(path.c_str());
}

TEST(Recording, TheRendererRecordsOnlyWhenAskedAndOnlyInsideTheDemo)
{
    ScratchDir dir;
    dir.write("demo/demo.lscx", makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                                            {"SCREEN_LAYER", {"desc: s full"}},
                                            {"LAYER_MANAGER", {"desc: s 1 0 9000 c 200 0 0"}}}));
    dir.makeDir("demo/data/lcx");
    writeRecorder(dir.path() + "demo/data/lcx/level.lcx", kLCXSound, "rec\\level.lcx");
    writeRecorder(dir.path() + "demo/data/lcx/grab.lcx", kLCXMouse, "..\\escaped.lcx");
    std::set<std::string> expected = entries(dir.path());

    // Run from the folder above the demo: the demo's folder is the tree, not the current one.
    RenderResult r = runRenderer(dir, "--quiet --times 0 -o frames demo/demo.lscx");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    expected.insert({"frames", "frames/000000.png", "stderr.txt"});
    EXPECT_EQ(entries(dir.path()), expected);

    r = runRenderer(dir, "--quiet --record --times 0 -o frames demo/demo.lscx");
    ASSERT_EQ(r.status, 0);
    // One line for each controller, in whichever order they go.
    const std::string written = "message: [StringC:] recording: rec\\level.lcx\n";
    const std::string refused = "warning: [LCXControllerManager] recording refused, outside the demo's folder: ..\\escaped.lcx\n";
    EXPECT_TRUE(r.err == written + refused || r.err == refused + written) << r.err;
    expected.insert({"demo/rec", "demo/rec/level.lcx"});
    EXPECT_EQ(entries(dir.path()), expected);
    EXPECT_TRUE(LCXControllerManager::isControllerFile((dir.path() + "demo/rec/level.lcx").c_str()));
}

} // namespace
