// Directory helpers: enumeration in case-insensitive order, case-blind path resolution, paths
// kept inside a folder tree, the current directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "foundation/FileTools.h"
#include "support/TestSupport.h"

TEST(FileTools, EnumerationIsCaseInsensitiveAndOrdered)
{
    ReportCapture cap;
    ScratchDir dir;
    dir.write("b.lcx", "");
    dir.write("A.LCX", "");
    dir.write("c.lcx.bak", "");
    dir.write("d.txt", "");
    dir.makeDir("e.lcx");  // directories do not count

    const StringC d(dir.path().c_str());
    EXPECT_EQ(FileTools::countFiles(d, "lcx"), 2);
    EXPECT_EQ(std::string(FileTools::getFileName(d, "lcx", 0).getName()), dir.path() + "A.LCX");
    EXPECT_EQ(std::string(FileTools::getFileName(d, "lcx", 1).getName()), dir.path() + "b.lcx");
    EXPECT_STREQ(FileTools::getFileName(d, "lcx", 2).getName(), "NULL");
    EXPECT_STREQ(FileTools::getFileName(StringC((dir.path() + "none/").c_str()), "lcx", 0).getName(), "NULL");

    CurrentDirGuard guard(dir.path());
    StringC first;
    ASSERT_TRUE(FileTools::findFirstFile(first, "lcx"));
    EXPECT_STREQ(first.getName(), "A.LCX");
    EXPECT_FALSE(FileTools::findFirstFile(first, "lscx"));
    EXPECT_EQ(cap.count(), 0u);
}

TEST(FileTools, PathsResolveIgnoringCaseAndBackslashes)
{
    ScratchDir dir;
    dir.write("Data/LCX/Camera.lcx", "payload");
    EXPECT_EQ(FileTools::resolvePath((dir.path() + "data\\lcx\\CAMERA.LCX").c_str()), dir.path() + "Data/LCX/Camera.lcx");
    // Nothing matches: the converted path comes back unchanged.
    EXPECT_EQ(FileTools::resolvePath((dir.path() + "data\\none.lcx").c_str()), dir.path() + "data/none.lcx");

    std::vector<unsigned char> bytes;
    ASSERT_TRUE(FileTools::readFile((dir.path() + "DATA/lcx/camera.LCX").c_str(), bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "payload");
    EXPECT_FALSE(FileTools::readFile((dir.path() + "DATA/lcx/camera.LCX").c_str(), bytes, 3));  // over the cap
    EXPECT_FALSE(FileTools::readFile((dir.path() + "Data").c_str(), bytes));                    // a directory

    // Writing into a directory given in other letter case creates the file there.
    FILE* f = FileTools::openFile((dir.path() + "DATA\\new.txt").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(FileTools::exists((dir.path() + "Data/new.txt").c_str()));
}

TEST(FileTools, CurrentDirectoryRoundTrip)
{
    ReportCapture cap;
    ScratchDir dir;
    StringC before;
    ASSERT_TRUE(FileTools::getCurrentDirectory(before));
    ASSERT_TRUE(FileTools::setCurrentDirectory(StringC(dir.path().c_str())));
    StringC now;
    ASSERT_TRUE(FileTools::getCurrentDirectory(now));
    EXPECT_EQ(now.getName()[now.length() - 1], '/');
    EXPECT_FALSE(FileTools::setCurrentDirectory(StringC((dir.path() + "missing/").c_str())));
    EXPECT_TRUE(cap.has("FileTools:", "Can't setCurrentDirectory !"));
    ASSERT_TRUE(FileTools::setCurrentDirectory(before));
}

TEST(FileTools, InsideATreeMeansBelowItsRoot)
{
    ScratchDir dir;
    dir.makeDir("demo/Sub");
    dir.makeDir("demo-2");
    const std::string root = dir.path() + "demo";
    const std::string below = std::filesystem::canonical(root).string() + "/Sub/new.lcx";
    EXPECT_EQ(FileTools::resolveInsideTree(root.c_str(), "sub\\new.lcx"), below);
    EXPECT_EQ(FileTools::resolveInsideTree((root + "/").c_str(), below.c_str()), below);
    // A sibling sharing the root's name as a prefix, the root itself, and no name are not below it.
    for (const std::string& name : {dir.path() + "demo-2/x.lcx", std::string("../demo-2/x.lcx"), std::string("Sub/.."),
                                    std::string("."), std::string("")})
        EXPECT_EQ(FileTools::resolveInsideTree(root.c_str(), name.c_str()), "") << name;
    EXPECT_EQ(FileTools::resolveInsideTree((dir.path() + "none").c_str(), "x.lcx"), "");
}

// A file renamed into place needs its folder in the tree as well as what a link of its name
// leads to; clearing a name for a writer takes links away and refuses a name the writer's
// case-blind lookup would take for another entry.
TEST(FileTools, TargetsAndTheirFoldersStayInTheTree)
{
    namespace fs = std::filesystem;
    ScratchDir dir;
    dir.makeDir("demo/sub");
    dir.write("outside/back.png", "x");
    fs::create_directory_symlink("../outside", dir.path() + "demo/out");
    fs::create_symlink("../demo/sub/x.png", dir.path() + "outside/back.png.link");
    fs::create_symlink("../outside/back.png", dir.path() + "demo/leads-out.png");
    fs::create_symlink("sub/x.png", dir.path() + "demo/leads-in.png");
    const std::string root = dir.path() + "demo";
    const std::string canonical = fs::canonical(root).string();
    // The link's own path, not what it leads to; a new name in a folder of the tree.
    EXPECT_EQ(FileTools::resolveTargetInsideTree(root.c_str(), "leads-in.png"), canonical + "/leads-in.png");
    EXPECT_EQ(FileTools::resolveTargetInsideTree(root.c_str(), "SUB\\new.png"), canonical + "/sub/new.png");
    for (const char* name : {"leads-out.png", "out/new.png", "out/back.png.link", "sub/..", "../demo/sub/"})
        EXPECT_EQ(FileTools::resolveTargetInsideTree(root.c_str(), name), "") << name;

    EXPECT_TRUE(FileTools::clearForWriting(canonical + "/leads-out.png"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(canonical + "/leads-out.png")));
    EXPECT_TRUE(fs::exists(dir.path() + "outside/back.png"));
    dir.write("demo/Taken.png", "x");
    EXPECT_FALSE(FileTools::clearForWriting(canonical + "/taken.png"));
    EXPECT_TRUE(FileTools::clearForWriting(canonical + "/free.png"));
}
