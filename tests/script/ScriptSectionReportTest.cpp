// A section the loader cannot find is told once: the order it must come in, and the tag-like
// line that stood in its way.
#include <gtest/gtest.h>

#include <string>

#include "ScriptTestUtil.h"

namespace {

// The 1-based line of the first line that starts with `word`.
int lineOf(const std::string& text, const std::string& word)
{
    const size_t at = text.find("\n" + word + "\n");
    int line = 2;
    for (size_t i = 0; i < at; ++i) line += text[i] == '\n';
    return line;
}

// The script with the blocks of sections `a` and `b` (a before b) exchanged.
std::string swapped(std::string text, const std::string& a, const std::string& b)
{
    auto block = [&text](const std::string& name, size_t& from) {
        from = text.find("<" + name + ">\n");
        const std::string close = "</" + name + ">\n";
        return text.substr(from, text.find(close, from) + close.size() - from);
    };
    size_t fromA = 0, fromB = 0;
    const std::string blockA = block(a, fromA), blockB = block(b, fromB);
    text.replace(fromB, blockB.size(), blockA);
    text.replace(fromA, blockA.size(), blockB);
    return text;
}

std::string without(std::string text, const std::string& piece)
{
    text.erase(text.find(piece), piece.size());
    return text;
}

class ScriptSectionReportTest : public ScriptEngineTest {
protected:
    // Loads `text` and expects this one report and no other.
    void expectOnly(const std::string& text, const std::string& report)
    {
        ReportCapture cap;
        load(text);
        EXPECT_TRUE(cap.has("ScriptEngine :", report)) << (cap.count() ? cap.reports()[0].text : "no report");
        EXPECT_EQ(cap.count(), 1u);
    }
};

TEST_F(ScriptSectionReportTest, SectionsOutOfOrderNameTheTagPassedOver)
{
    const std::string text = makeScript({});
    const std::string twoThree = swapped(text, "2D", "3D");
    expectOnly(twoThree, "section <3D> not found: <2D> ... <3D> must come in this order; line " +
                             std::to_string(lineOf(twoThree, "<3D>")) + " holds <3D>");
    const std::string mixEffect = swapped(text, "MIX", "EFFECT");
    expectOnly(mixEffect, "section <EFFECT> not found: <MIX> ... <EFFECT> must come in this order; line " +
                              std::to_string(lineOf(mixEffect, "<EFFECT>")) + " holds <EFFECT>");
    // LAYER_MANAGER moved to the top, under the first line.
    const std::string block = "<LAYER_MANAGER>\n</LAYER_MANAGER>\n";
    expectOnly("test script\n" + block + without(without(text, block), "test script\n"),
               "section <LAYER_MANAGER> not found: <EFFECT_DESC> ... <LAYER_MANAGER> must come in this order; "
               "line 2 holds <LAYER_MANAGER>");
}

TEST_F(ScriptSectionReportTest, MisspeltOrMissingTags)
{
    const std::string text = makeScript({});
    std::string misspelt = text;
    misspelt.replace(misspelt.find("<3D_DESC>"), 9, "<3D_DSEC>");
    expectOnly(misspelt, "section <3D_DESC> not found: <2D_DESC> ... <3D_DESC> must come in this order; line " +
                             std::to_string(lineOf(misspelt, "<3D_DSEC>")) + " holds <3D_DSEC>");
    // The whole block gone: only later sections' tags follow, so no line is named.
    expectOnly(without(text, "<SKYBOX>\n</SKYBOX>\n"),
               "section <SKYBOX> not found: <3D> ... <SKYBOX> must come in this order");
    // The opening tag alone gone: its closing tag stands where it was expected.
    const std::string open = without(text, "<SKYBOX>\n");
    expectOnly(open, "section <SKYBOX> not found: <3D> ... <SKYBOX> must come in this order; line " +
                         std::to_string(lineOf(open, "</SKYBOX>")) + " holds </SKYBOX>");
    expectOnly(without(text, "<MUSIC>\n"), "section <MUSIC> not found: <MUSIC> must come first; line 4 holds </MUSIC>");
}

TEST_F(ScriptSectionReportTest, CompleteAndEmptyScriptsSayNothing)
{
    ReportCapture cap;
    load(makeScript({}));
    load("");
    EXPECT_EQ(cap.count(), 0u);
}

} // namespace
