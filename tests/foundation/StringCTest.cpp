// StringC: null strings, the case flag, tokens, path parts and the search of a file in a tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/StringC.h"
#include "support/TestSupport.h"

TEST(StringC, NullStringsWarnAndStayNull)
{
    ReportCapture cap;
    StringC a, b;
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(cap.has("StringC", "==: src1 name NULL"));
    cap.clear();
    EXPECT_FALSE(StringC("x") == b);
    EXPECT_TRUE(cap.has("StringC", "==: src2 name NULL"));

    cap.clear();
    StringC copy(a);
    EXPECT_TRUE(copy.isNull());
    EXPECT_TRUE(cap.has("StringC", "making NULL copy"));

    cap.clear();
    StringC target("keep");
    target = static_cast<const char*>(nullptr);
    EXPECT_STREQ(target.getName(), "keep");
    EXPECT_TRUE(cap.has("StringC", "=: name NULL"));

    cap.clear();
    StringC sum = a + StringC("x");
    EXPECT_TRUE(sum.isNull());
    EXPECT_TRUE(cap.has("StringC", "+: src1 name NULL"));
    cap.clear();
    sum = StringC("x") + a;
    EXPECT_TRUE(cap.has("StringC", "+: src2 name NULL"));
    // The empty string is not null.
    EXPECT_FALSE(StringC("").isNull());
}

TEST(StringC, CaseFlagGovernsComparisonAndSearch)
{
    ReportCapture cap;
    StringC lower("hello");
    EXPECT_FALSE(lower == "HELLO");
    lower.setCaseSensitive(false);
    EXPECT_TRUE(lower == "HELLO");
    lower += "!";
    EXPECT_TRUE(lower.isCaseSensitive());  // appending makes it case-sensitive again
    EXPECT_FALSE(lower == "HELLO!");

    EXPECT_FALSE(StringC(".lscx").isFoundIn(StringC("demo/INTRO.LSCX")));
    StringC ext(".lscx");
    ext.setCaseSensitive(false);
    EXPECT_TRUE(ext.isFoundIn(StringC("demo/INTRO.LSCX")));
    EXPECT_FALSE(StringC().isFoundIn(StringC("x")));
    EXPECT_EQ(cap.count(), 0u);

    StringC s("MiXeD");
    s.toLowerCase();
    EXPECT_STREQ(s.getName(), "mixed");
    StringC a("ab");
    a = a;  // self-assignment keeps the text
    EXPECT_STREQ(a.getName(), "ab");
}

TEST(StringC, Tokens)
{
    ReportCapture cap;
    StringC tokens[3];
    EXPECT_EQ(StringC("one, two\tthree").tokenize(tokens, 2), 2);
    EXPECT_STREQ(tokens[0].getName(), "one");
    EXPECT_STREQ(tokens[1].getName(), "two");
    EXPECT_EQ(StringC("").tokenize(tokens, 3), 0);
    EXPECT_EQ(StringC(" ,\t\n ").tokenize(tokens, 3), 0);
    EXPECT_EQ(StringC("  a  b ").tokenize(tokens, 3), 2);

    EXPECT_STREQ(StringC("a b").getToken(-1).getName(), "NULL");
    EXPECT_STREQ(StringC("a b").getToken(1).getName(), "b");
    EXPECT_TRUE(StringC("a b").getToken(5).isNull());
}

TEST(StringC, PathParts)
{
    StringC dir, file;
    StringC("intro.lscx").splitPath(dir, file);
    EXPECT_STREQ(dir.getName(), "");
    EXPECT_STREQ(file.getName(), "intro.lscx");
    StringC("data\\lcx/Cam.lcx").splitPath(dir, file);
    EXPECT_STREQ(dir.getName(), "data\\lcx/");
    EXPECT_STREQ(file.getName(), "Cam.lcx");

    StringC t("c:\\demo\\music.v1.xm");
    t.keepFileTitle();
    EXPECT_STREQ(t.getName(), "music.v1");
    StringC bare("noext");
    bare.keepFileTitle();
    EXPECT_STREQ(bare.getName(), "noext");

    StringC cwd;
    ASSERT_TRUE(cwd.getCurrentDirectory());
    EXPECT_EQ(cwd.getName()[cwd.length() - 1], '/');
}

TEST(StringC, FindFileInTree)
{
    ReportCapture cap;
    ScratchDir dir;
    dir.write("a/b/target.txt", "deep");
    dir.write("z/target2.txt", "x");
    dir.write("Sub1/other.txt", "x");
    dir.write("sub2/other.txt", "x");

    StringC p((dir.path() + "target.txt").c_str());
    ASSERT_TRUE(p.findFileInTree());
    EXPECT_EQ(std::string(p.getName()), dir.path() + "a/b/target.txt");

    // First subdirectory in case-insensitive order wins.
    StringC o((dir.path() + "other.txt").c_str());
    ASSERT_TRUE(o.findFileInTree());
    EXPECT_EQ(std::string(o.getName()), dir.path() + "Sub1/other.txt");

    // A file in the directory itself wins over deeper ones.
    dir.write("other.txt", "top");
    StringC top((dir.path() + "other.txt").c_str());
    ASSERT_TRUE(top.findFileInTree());
    EXPECT_EQ(std::string(top.getName()), dir.path() + "other.txt");

    StringC missing((dir.path() + "nothing.txt").c_str());
    EXPECT_FALSE(missing.findFileInTree());
    EXPECT_EQ(std::string(missing.getName()), dir.path() + "nothing.txt");

    // A bare name searches from the current directory.
    CurrentDirGuard guard(dir.path());
    StringC bare("target2.txt");
    ASSERT_TRUE(bare.findFileInTree());
    EXPECT_NE(std::string(bare.getName()).find("/z/target2.txt"), std::string::npos);
    EXPECT_EQ(cap.count(), 0u);
}

TEST(StringC, FindFileInTreeEntersEachDirectoryOnce)
{
    // Two links back to the top make the tree infinite; each real directory is searched once,
    // and the name order still decides: "A" (a link to "b") comes before "b" itself.
    ScratchDir dir;
    dir.write("b/c/target.txt", "x");
    std::filesystem::create_directory_symlink(dir.path() + "b", dir.path() + "A");
    std::filesystem::create_directory_symlink(dir.path(), dir.path() + "b/up1");
    std::filesystem::create_directory_symlink(dir.path(), dir.path() + "b/c/up2");
    StringC missing((dir.path() + "nothing.txt").c_str());
    EXPECT_FALSE(missing.findFileInTree());
    StringC found((dir.path() + "target.txt").c_str());
    ASSERT_TRUE(found.findFileInTree());
    EXPECT_EQ(std::string(found.getName()), dir.path() + "A/c/target.txt");

    // No file name: not found, the text unchanged.
    for (const std::string& text : {std::string(), dir.path()}) {
        StringC empty(text.c_str());
        EXPECT_FALSE(empty.findFileInTree());
        EXPECT_EQ(std::string(empty.getName()), text);
    }
}

TEST(StringC, FindFileInTreeGivesUpOnHugeTrees)
{
    // A search from the file system's root would otherwise walk the whole disk: past 4096
    // directories it stops, reports, and the text stays as it was.
    ScratchDir dir;
    for (int i = 0; i < 4100; ++i) std::filesystem::create_directory(dir.path() + "d" + std::to_string(i));
    ReportCapture cap;
    const std::string text = dir.path() + "nothing.txt";
    StringC missing(text.c_str());
    EXPECT_FALSE(missing.findFileInTree());
    EXPECT_EQ(std::string(missing.getName()), text);
    EXPECT_TRUE(cap.has("StringC", "findFileInTree: search stopped after 4096 directories: " + text));
}
