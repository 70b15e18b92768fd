// The bundled demo: its checked-in files are what its sources build to, the whole 285 s render
// without a single report, and frames ten seconds apart all differ (the contact sheet's check,
// itself tested on pictures that are alike).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RenderRunner.h"

namespace {

namespace fs = std::filesystem;

const std::string kDemoDir = std::string(TL_SOURCE_DIR) + "/demo/";
const std::string kTools = std::string(TL_BINARY_DIR) + "/tools/";

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The files of a demo folder whose extension is `ext`, sorted.
std::vector<fs::path> filesIn(const std::string& folder, const std::string& ext)
{
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(kDemoDir + folder))
        if (e.path().extension() == ext) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Demo, CheckedInFilesAreWhatTheirSourcesBuild)
{
    ScratchDir dir;
    // The generator's output, file by file, equals the demo's copy.
    ASSERT_EQ(runCommand(dir, "'" + kTools + "tessaline-demogen' gen").status, 0);
    int generated = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.path() + "gen")) {
        if (!e.is_regular_file()) continue;
        const std::string relative = fs::relative(e.path(), dir.path() + "gen").string();
        EXPECT_EQ(fileBytes(e.path().string()), fileBytes(kDemoDir + relative)) << relative << " is stale";
        ++generated;
    }
    EXPECT_GT(generated, 30);

    // Every text source builds to the binary file beside it, with the tool its comment names.
    struct Kind {
        const char* folder;
        const char* tool;
        const char* flags;
        const char* binary;
    };
    const Kind kinds[] = {{"scenes", "tessaline-l3x", "--compress ", ".l3x"},
                          {"2d", "tessaline-l2d", "", ".l2d"},
                          {"controllers", "tessaline-lcx", "", ".lecx"},
                          {"data/lcx", "tessaline-lcx", "", ".lcx"}};
    int built = 0;
    for (const Kind& k : kinds) {
        for (const fs::path& text : filesIn(k.folder, ".txt")) {
            const fs::path binary = fs::path(text).replace_extension(k.binary);
            const RenderResult r = runCommand(dir, "'" + kTools + k.tool + "' " + k.flags + "'" + text.string() +
                                                       "' out" + k.binary);
            ASSERT_EQ(r.status, 0) << text << ": " << r.err;
            EXPECT_EQ(fileBytes(dir.path() + "out" + k.binary), fileBytes(binary.string())) << binary << " is stale";
            ++built;
        }
    }
    EXPECT_EQ(built, 11 + 2 + 11 + 4);
}

TEST(Demo, WholeDemoRendersWithoutAReport)
{
    ScratchDir dir;
    // Every second of the 285, without writing the frames (the profile alone is printed).
    const RenderResult r = runRenderer(dir, "--quiet --profile --fps 1 '" + kDemoDir + "demo.lscx'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST(Demo, FramesTenSecondsApartAllDifferAndTheSheetSaysSo)
{
    ScratchDir dir;
    std::string times, labels;
    for (int t = 5000; t <= 275000; t += 10000) {
        if (t > 5000) times += ',', labels += ',';
        times += std::to_string(t);
        labels += std::to_string(t / 1000);
    }
    ASSERT_EQ(runRenderer(dir, "--quiet --image work -o f --times " + times + " '" + kDemoDir + "demo.lscx'").status, 0);
    std::vector<Frame> frames;
    for (int k = 0; k < 28; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "f/%06d.png", k);
        frames.push_back(readFrame(dir.path() + name));
        ASSERT_EQ(frames.back().width, 512) << name;
    }
    for (size_t i = 0; i < frames.size(); ++i)
        for (size_t j = i + 1; j < frames.size(); ++j)
            EXPECT_FALSE(frames[i].pixels == frames[j].pixels) << "frames at " << 5 + 10 * i << " s and " << 5 + 10 * j << " s";

    const std::string sheet = "'" + kTools + "tessaline-contactsheet' --columns 4 --shrink 2 --distinct ";
    const RenderResult made = runCommand(dir, sheet + "--labels " + labels + " -o sheet.png f/*.png");
    EXPECT_EQ(made.status, 0) << made.err;
    const Frame picture = readFrame(dir.path() + "sheet.png");
    // Four cells of 256 x 128 a row, 4 pixels apart and round; seven rows, each with its label.
    EXPECT_EQ(picture.width, 4 + 4 * (256 + 4));
    EXPECT_EQ(picture.height, 4 + 7 * (128 + 13 + 4));

    // A frame given twice is refused, by name.
    fs::copy_file(dir.path() + "f/000003.png", dir.path() + "f/again.png");
    const RenderResult twice = runCommand(dir, sheet + "-o twice.png f/000003.png f/000004.png f/again.png");
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("f/000003.png and f/again.png are alike"), std::string::npos) << twice.err;
}

} // namespace
