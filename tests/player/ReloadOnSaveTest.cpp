// Reload on save: which saves count and when a burst of them reloads (a scripted watcher), the
// inotify watcher on real files, and the player reloading a saved script, keeping the running
// demo when the saved one is broken.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../script/ScriptTestUtil.h"
#include "control/LCXController.h"
#include "control/LCXControllerManager.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/inotify/InotifyBackend.h"
#include "player/SaveWatch.h"
#include "support/PlayerSupport.h"

namespace {

// A watcher whose events the test makes up.
class ScriptedWatcher : public FileWatcher {
public:
    struct Log {
        std::vector<std::string> watched;
        FileEvents pending;
    };
    explicit ScriptedWatcher(Log& log) : m_log(log) {}
    bool watchDirectory(const std::string& directory) override
    {
        m_log.watched.push_back(directory);
        return true;
    }
    void poll(FileEvents& events) override
    {
        for (auto& p : m_log.pending.opened) events.opened.push_back(p);
        for (auto& p : m_log.pending.changed) events.changed.push_back(p);
        m_log.pending = {};
    }

private:
    Log& m_log;
};

using Names = std::vector<std::string>;

TEST(SaveWatch, OnlyTheDemosFilesCountAndABurstReloadsOnce)
{
    ScratchDir dir;
    const std::string root = std::filesystem::canonical(dir.path()).string() + "/";
    for (const char* sub : {"data/lcx", "scenes", ".git/objects"}) std::filesystem::create_directories(root + sub);
    ScriptedWatcher::Log log;
    SaveWatch watch(std::make_unique<ScriptedWatcher>(log));

    // What was opened before the load is not the demo's; what the load opens is.
    log.pending.opened = {root + "notes.txt"};
    watch.beginLoad(root + "./demo.lscx");
    Names watched = log.watched;
    std::sort(watched.begin(), watched.end());
    EXPECT_EQ(watched, (Names{root.substr(0, root.size() - 1), root + "data", root + "data/lcx", root + "scenes"}));
    log.pending.opened = {root + "demo.lscx", root + "scenes/ring.l3x", root + "data/lcx/pulse.lcx",
                          root + "data/../scenes/ring.l3x"};
    watch.endLoad(true);
    EXPECT_EQ(watch.files(), (std::set<std::string>{root + "data/lcx/pulse.lcx", root + "demo.lscx", root + "scenes/ring.l3x"}));

    // Other files come and go without a reload; so do opens outside a load.
    log.pending.changed = {root + "notes.txt", root + "demo-000400.png"};
    log.pending.opened = {root + "new.tga"};
    EXPECT_EQ(watch.poll(1000), Names{});
    log.pending.changed = {root + "new.tga"};
    EXPECT_EQ(watch.poll(5000), Names{});

    // Two saves 50 ms apart: one reload 100 ms after the last, both named, each once.
    log.pending.changed = {root + "scenes/ring.l3x"};
    EXPECT_EQ(watch.poll(10000), Names{});
    log.pending.changed = {root + "demo.lscx", root + "scenes/ring.l3x"};
    EXPECT_EQ(watch.poll(10050), Names{});
    EXPECT_EQ(watch.poll(10149), Names{});
    EXPECT_EQ(watch.poll(10150), (Names{"scenes/ring.l3x", "demo.lscx"}));
    EXPECT_EQ(watch.poll(10400), Names{});

    // Saves that never stop: a reload 300 ms after the first all the same.
    for (uint32_t t = 20000; t < 20300; t += 50) {
        log.pending.changed = {root + "data/lcx/pulse.lcx"};
        EXPECT_EQ(watch.poll(t), Names{}) << t;
    }
    log.pending.changed = {root + "data/lcx/pulse.lcx"};
    EXPECT_EQ(watch.poll(20300), Names{"data/lcx/pulse.lcx"});

    // A refused trial load adds its files to the demo's; an accepted load replaces them.
    watch.beginLoad(root + "demo.lscx");
    log.pending.opened = {root + "demo.lscx", root + "broken.tga"};
    watch.endLoad(false);
    EXPECT_EQ(watch.files().size(), 4u);
    watch.beginLoad(root + "demo.lscx");
    log.pending.opened = {root + "demo.lscx"};
    watch.endLoad(true);
    EXPECT_EQ(watch.files(), std::set<std::string>{root + "demo.lscx"});
}

TEST(InotifyWatcher, TellsOpensWritesRenamesAndRemovals)
{
    ScratchDir dir;
    const std::string root = std::filesystem::canonical(dir.path()).string();
    std::filesystem::create_directories(root + "/sub");
    Platform p;
    installInotifyBackend(p);
    ASSERT_TRUE(p.createFileWatcher);
    std::unique_ptr<FileWatcher> watcher = p.createFileWatcher();
    ASSERT_TRUE(watcher);
    EXPECT_FALSE(watcher->watchDirectory(root + "/missing"));
    ASSERT_TRUE(watcher->watchDirectory(root));

    // The kernel queues an event before the call that causes it returns: no waiting.
    std::ofstream(root + "/a.lscx") << "one";
    { std::ifstream in(root + "/a.lscx"); }
    std::ofstream(root + "/.a.lscx.swp") << "two";
    std::filesystem::rename(root + "/.a.lscx.swp", root + "/a.lscx");  // a save by rename
    std::ofstream(root + "/sub/b.tga") << "not watched";
    std::filesystem::remove(root + "/a.lscx");
    FileEvents events;
    watcher->poll(events);
    const std::string a = root + "/a.lscx";
    EXPECT_EQ(events.opened, (Names{a, a, root + "/.a.lscx.swp"}));
    // Written and closed; the other written and closed, then moved in; removed.
    EXPECT_EQ(events.changed, (Names{a, root + "/.a.lscx.swp", a, a}));
    events = {};
    watcher->poll(events);
    EXPECT_TRUE(events.opened.empty() && events.changed.empty());
}

// The player on a virtual clock with the real inotify watcher.
class ReloadOnSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_clock = std::make_shared<VirtualClock>();
        m_clock->set(5000);
        Platform p;
        installHeadlessBackend(p, m_clock);
        installInotifyBackend(p);
        m_previous = installPlatform(std::move(p));
        resetPlayer();
    }
    void TearDown() override
    {
        player().shutdown();
        resetPlayer();
        installPlatform(std::move(m_previous));
    }
    static std::string clearScript(const std::string& rgb, const std::string& image = "")
    {
        return makeScript({{"LAYER_DIMENSION", {"desc: full 512 256"}},
                           {"IMAGE", image.empty() ? Names{} : Names{"file: pic " + image}},
                           {"SCREEN_LAYER", {"desc: s full"}},
                           {"LAYER_MANAGER", {"desc: s 1 0 99999 c " + rgb}}});
    }
    uint32_t centre()
    {
        player().renderFrame();
        return player().workImage().m_pPixels[128 * 512 + 256] & 0xFFFFFFu;
    }
    // Polls as the loop does before each frame, 20 ms apart, for at most a second.
    void pollFor(int ms)
    {
        for (int t = 0; t <= ms; t += 20) {
            player().reloadOnSave();
            m_clock->advance(20);
        }
    }

    ScratchDir m_dir;
    std::shared_ptr<VirtualClock> m_clock;
    Platform m_previous;
};

TEST_F(ReloadOnSaveTest, SavedScriptReloadsAndABrokenOneKeepsTheDemo)
{
    const std::string script = m_dir.write("demo.lscx", clearScript("200 0 0"));
    PlayerOptions o;
    o.fullScreen = false;
    o.dev = true;
    o.scriptPath = script;
    ASSERT_TRUE(player().startup(o));
    ASSERT_NE(player().state().saveWatch, nullptr);
    EXPECT_EQ(centre(), 0xC80000u);
    m_clock->advance(3000);
    const int before = player().demoTime();

    // Written in place: the reload comes 100 ms after the save, the time kept.
    m_dir.write("demo.lscx", clearScript("0 0 200"));
    player().reloadOnSave();
    EXPECT_EQ(centre(), 0xC80000u);
    m_clock->advance(60);
    player().reloadOnSave();
    EXPECT_EQ(centre(), 0xC80000u);
    m_clock->advance(40);
    player().reloadOnSave();
    EXPECT_EQ(centre(), 0x0000C8u);
    EXPECT_EQ(player().demoTime(), before + 100);
    EXPECT_EQ(player().state().note, "reloaded: demo.lscx saved");

    // Broken (a picture that does not exist): the running demo goes on and the note says why.
    const ScriptEngine* running = player().state().scriptEngine.get();
    {
        ReportCapture reports;
        m_dir.write("demo.lscx", clearScript("0 200 0", "missing.tga"));
        pollFor(200);
        EXPECT_GE(reports.count(), 2u);  // the load's own reports, then the player's
        ASSERT_FALSE(reports.reports().empty());
        EXPECT_EQ(reports.reports().back().text, player().state().note);
    }
    EXPECT_EQ(player().state().scriptEngine.get(), running);
    EXPECT_EQ(centre(), 0x0000C8u);
    EXPECT_NE(player().state().note.find("demo.lscx saved: "), std::string::npos) << player().state().note;
    EXPECT_NE(player().state().note.find("the running demo goes on"), std::string::npos) << player().state().note;
    EXPECT_FALSE(fatalErrorPosted());

    // Saved by rename, as editors do, with a picture it loads: reloaded. Then saving the picture
    // alone reloads too.
    {
        std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
        m_dir.write("pic.tga", std::string(tga.begin(), tga.end()));
    }
    m_dir.write(".demo.lscx.tmp", clearScript("0 200 0", "pic.tga"));
    std::filesystem::rename(m_dir.path() + ".demo.lscx.tmp", script);
    pollFor(200);
    EXPECT_EQ(centre(), 0x00C800u);
    EXPECT_EQ(player().state().note, "reloaded: demo.lscx saved");
    EXPECT_TRUE(player().state().saveWatch->files().count(std::filesystem::canonical(m_dir.path()).string() + "/pic.tga"));
    m_dir.write("pic.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\1\2\3", 21));
    pollFor(200);
    EXPECT_EQ(player().state().note, "reloaded: pic.tga saved");
}

} // namespace

TEST_F(ReloadOnSaveTest, TheTrialOfAReloadWritesNoRecording)
{
    // A mouse controller that records into rec.lcx when its demo ends: the trial load of a
    // reload ends at once, and must neither write its empty recording nor count it a problem.
    std::filesystem::create_directories(m_dir.path() + "data/lcx");
    {
        LCXControllerManager m;
        m.create(kLCXMouse);
        auto* mouse = static_cast<LCXControllerMouse*>(m.getController());
        mouse->m_record = true;
        mouse->m_recordFileName = "rec.lcx";
        mouse->m_end = 1000;
        m.save((m_dir.path() + "data/lcx/mouse.lcx").c_str());
    }
    PlayerOptions o;
    o.fullScreen = false;
    o.dev = true;
    o.scriptPath = m_dir.write("demo.lscx", clearScript("200 0 0"));
    ASSERT_TRUE(player().startup(o));
    EXPECT_TRUE(player().reloadScript());
    EXPECT_EQ(player().state().note, "reloaded");
    // The replaced demo's own recording is written, as when any demo ends.
    EXPECT_TRUE(std::filesystem::exists(m_dir.path() + "rec.lcx"));
}
