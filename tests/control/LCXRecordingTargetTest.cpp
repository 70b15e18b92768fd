// Where a recording may go: only a .lcx file inside the demo's folder tree, replacing only a
// controller file. A refused name leaves the disk as it was and says so once.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "control/LCXControllerKeyFramer.h"
#include "control/LCXControllerManager.h"
#include "foundation/FileTools.h"
#include "support/ChunkBytes.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Every entry below `dir`: files with their content, links with their target.
std::set<std::string> snapshot(const std::string& dir)
{
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::vector<unsigned char> bytes;
        if (e.is_symlink()) {
            const std::string target = fs::read_symlink(e.path()).string();
            bytes.assign(target.begin(), target.end());
        } else if (e.is_regular_file()) {
            FileTools::readFile(e.path().c_str(), bytes);
        }
        out.insert(e.path().string() + "=" + std::string(bytes.begin(), bytes.end()));
    }
    return out;
}

// A controller of `type` recording 3 slots (0.5 stored in the middle one) to `name`.
void record(int type, const std::string& root, const std::string& name)
{
    LCXControllerManager manager;
    manager.create(type);
    auto* c = static_cast<LCXControllerRecordable*>(manager.getController());
    c->setTreeRoot(root);
    c->m_record = true;
    c->m_recordFileName = name.c_str();
    c->m_step = 100;
    c->m_end = 300;
    c->initRecording();
    c->storeSample(150, 0.5f);
}

bool loadsAsTheRecording(const std::string& path)
{
    LCXControllerManager back;
    back.load(path.c_str());
    auto* k = dynamic_cast<LCXControllerKeyFramer*>(back.getController());
    return k && k->getModel() && k->getModel()->getTrack()->getNbKey() == 3 && k->getValue(0) == 0.5f;
}

// A top folder holding the demo's tree in demo/ and the user's files in home/.
class LCXRecordingTarget : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Existing files inside that are no controller files; the check reading them is silent.
        ChunkBytes otherRoot;
        otherRoot.close(otherRoot.open(10));
        top.write("demo/x.lcx", "plain text");
        top.write("demo/empty.lcx", "");
        top.write("demo/header.lcx", std::string("\x01\x10\0\0\0junk", 9));
        top.write("demo/lecx.lcx", std::string(otherRoot.v.begin(), otherRoot.v.end()));
        top.makeDir("demo/folder.lcx");
        top.write("home/notes.lcx", "the user's notes");
        LCXControllerManager noise;
        noise.create(kLCXNoise);
        noise.save((home + "controller.lcx").c_str());  // even a controller file outside stays
        fs::create_directory_symlink(home, tree + "out");
        fs::create_symlink(home + "notes.lcx", tree + "linked.lcx");
    }

    ScratchDir top;
    const std::string tree = top.path() + "demo/", home = top.path() + "home/";
};

TEST_F(LCXRecordingTarget, RefusedNamesLeaveEverythingAndSayOnce)
{
    const std::string outside = "outside the demo's folder", notLcx = "not a .lcx name",
                      notController = "not a controller file (left as it is)";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {home + "notes.lcx", outside}, {home + "controller.lcx", outside}, {home + "new.lcx", outside},
        {"../home/notes.lcx", outside}, {"sub\\..\\..\\escaped.lcx", outside}, {"out/notes.lcx", outside},
        {"out/new.lcx", outside},      {"linked.lcx", outside},            {"notes.txt", notLcx},
        {"rec/take.lcx.txt", notLcx},  {"x.lcx", notController},           {"empty.lcx", notController},
        {"header.lcx", notController}, {"lecx.lcx", notController},        {"folder.lcx", notController}};
    const std::set<std::string> before = snapshot(top.path());
    for (int type : {kLCXMouse, kLCXSound}) {
        for (const auto& [name, why] : cases) {
            ReportCapture capture;
            record(type, tree, name);
            ASSERT_EQ(capture.count(), 1u) << type << " " << name;
            EXPECT_EQ(capture.reports()[0].kind, ReportKind::Warning);
            EXPECT_TRUE(capture.has("LCXControllerManager", "recording refused, " + why + ": " + name)) << name;
            EXPECT_EQ(snapshot(top.path()), before) << type << " " << name;
        }
    }
}

TEST_F(LCXRecordingTarget, InsideTheTreeAKeyFramerIsWrittenOrAControllerFileReplaced)
{
    // Relative names are the tree's, whatever the current directory when the demo ends; the
    // missing folders are made.
    CurrentDirGuard elsewhere(home);
    const std::set<std::string> homeBefore = snapshot(home);
    for (const auto& [type, name, file] : {std::tuple{kLCXMouse, "rec/mouse.lcx", "rec/mouse.lcx"},
                                           std::tuple{kLCXSound, "rec\\Deeper\\L.LCX", "rec/Deeper/L.LCX"},
                                           // a controller file is replaced, found ignoring case
                                           std::tuple{kLCXSound, "REC\\deeper\\l.lcx", "rec/Deeper/L.LCX"}}) {
        ReportCapture capture;
        record(type, tree, name);
        EXPECT_EQ(capture.count(), 1u) << name;
        EXPECT_TRUE(capture.has("StringC:", std::string("recording: ") + name));
        EXPECT_TRUE(loadsAsTheRecording(tree + file)) << name;
    }
    // Nothing but the recordings: no temporary file left beside them, nothing outside.
    EXPECT_EQ(snapshot(tree + "rec").size(), 3u);
    EXPECT_EQ(snapshot(home), homeBefore);
}

TEST_F(LCXRecordingTarget, PlantedLinksAtTheTemporaryNamesDoNotLeadOut)
{
    // The hidden names a recording is written under first may be in the demo already.
    const std::string temporary = FileTools::temporaryPathBeside(fs::weakly_canonical(tree + "take.lcx").string());
    fs::create_symlink(home + "notes.lcx", temporary);
    fs::create_symlink(home + "notes.lcx", temporary + "_tmp");
    const std::set<std::string> homeBefore = snapshot(home);
    ReportCapture capture;
    record(kLCXMouse, tree, "take.lcx");
    EXPECT_TRUE(capture.has("StringC:", "recording: take.lcx"));
    EXPECT_TRUE(loadsAsTheRecording(tree + "take.lcx"));
    EXPECT_EQ(snapshot(home), homeBefore);
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
}

} // namespace
