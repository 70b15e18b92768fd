// Captures of the bundled demo through the real tessaline-render, read back with FFmpeg's own
// decoders: frame counts, sound and video of equal length, lossless frames equal to the image
// sequence, the overwrite guard, and no partial files left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "MediaReader.h"
#include "RenderRunner.h"

namespace {

const std::string kDemo = std::string(TL_SOURCE_DIR) + "/demo/demo.lscx";

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> dirEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Capture, LosslessFramesAreTheImageSequenceAndTheSoundLastsTheSpan)
{
    ScratchDir dir;
    // Span [1000, 3000) at 5 fps: 2 s x 5 = 10 frames at 1000, 1200, ..., 2800 ms.
    const RenderResult r = runRenderer(dir, "--video cap.mkv --lossless --fps 5 --start 1000 --end 3000 '" + kDemo + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const MediaContents m = readMedia(dir.path() + "cap.mkv", true);
    ASSERT_TRUE(m.opened);
    EXPECT_EQ(m.videoFrames, 10);
    EXPECT_DOUBLE_EQ(m.videoSeconds, 2.0);
    EXPECT_EQ(m.audioRate, 44100);
    EXPECT_EQ(m.audioSamples, 88200);  // FLAC keeps every sample: exactly 2 s
    EXPECT_GT(m.audioPeak, 0.05f);     // the module plays

    const RenderResult images =
        runRenderer(dir, "--quiet --image screen -o ref --times 1000,1200,1400,1600,1800,2000,2200,2400,2600,2800 '" +
                             kDemo + "'");
    ASSERT_EQ(images.status, 0) << images.err;
    ASSERT_EQ(m.frames.size(), 10u);
    for (int k = 0; k < 10; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "ref/%06d.png", k);
        const Frame f = readFrame(dir.path() + name);
        ASSERT_EQ(f.pixels.size(), m.frames[k].size()) << k;
        EXPECT_TRUE(f.pixels == m.frames[k]) << "frame " << k;
    }
    EXPECT_EQ(dirEntries(dir.path()), (std::vector<std::string>{"cap.mkv", "ref", "stderr.txt"}));
}

TEST(Capture, FractionalRateSoundFileAndTheOverwriteGuard)
{
    ScratchDir dir;
    // [0, 1000) at 30000/1001 fps: 29.97 frames, so 30, lasting 30 x 1001 / 30000 = 1.001 s,
    // whose sound is 44144.1 samples, rounded to 44144.
    const std::string args = "--quiet --video cap.mp4 --wav cap.wav --fps 30000/1001 --end 1000 '" + kDemo + "'";
    ASSERT_EQ(runRenderer(dir, args).status, 0);
    const MediaContents m = readMedia(dir.path() + "cap.mp4", false);
    ASSERT_TRUE(m.opened);
    EXPECT_EQ(m.videoFrames, 30);
    EXPECT_NEAR(m.videoSeconds, 1.001, 1e-9);
    const double frame = 1001.0 / 30000.0;
    EXPECT_NEAR(double(m.audioSamples) / m.audioRate, m.videoSeconds, frame);
    const MediaContents wav = readMedia(dir.path() + "cap.wav", false);
    EXPECT_EQ(wav.videoFrames, 0);
    EXPECT_EQ(wav.audioSamples, 44144);
    EXPECT_GT(wav.audioPeak, 0.05f);

    // Again without --force: refused, both files left exactly as they were.
    const std::string before = fileBytes(dir.path() + "cap.mp4");
    const RenderResult again = runRenderer(dir, args);
    EXPECT_NE(again.status, 0);
    EXPECT_NE(again.err.find("cap.mp4 exists"), std::string::npos) << again.err;
    EXPECT_EQ(fileBytes(dir.path() + "cap.mp4"), before);
    EXPECT_EQ(runRenderer(dir, "--force " + args).status, 0);

    // A file that cannot be made fails without leaving anything.
    EXPECT_EQ(runRenderer(dir, "--quiet --video no/such/dir/x.webm --end 100 '" + kDemo + "'").status, 1);
    EXPECT_EQ(dirEntries(dir.path()), (std::vector<std::string>{"cap.mp4", "cap.wav", "stderr.txt"}));
}

TEST(Capture, ProfileNamesTheLayerOperations)
{
    ScratchDir dir;
    const RenderResult r = runCommand(dir, "('" + kRendererPath + "' --quiet --profile --fps 5 --end 400 '" + kDemo +
                                               "' > profile.txt)");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = fileBytes(dir.path() + "profile.txt");
    EXPECT_NE(out.find("profile: 3 frames"), std::string::npos) << out;
    EXPECT_NE(out.find("frame time: median "), std::string::npos) << out;
    // Layer 1 (prime), position 2 in the title is the "rowsnoise" effect; layer 6 (screen)
    // position 2 in the title mixes with "logomask".
    EXPECT_NE(out.find("1        2 [0, 15360)        effect rowsnoise"), std::string::npos) << out;
    EXPECT_NE(out.find("6        2 [0, 15360)        mix logomask"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "frames"));
}

} // namespace
