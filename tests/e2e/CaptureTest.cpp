// Captures of the bundled demo through the real tessaline-render, read back with FFmpeg's own
// decoders: frame counts, sound and video of equal length, lossless frames equal to the image
// sequence, the overwrite guard, and no partial files left behind by a failure, a fatal report
// or an interrupt.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
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

    // Two frames last 2 x 1001 / 30000 s: 2942.94 samples, rounded to 2943.
    ASSERT_EQ(runRenderer(dir, "--quiet --wav two.wav --fps 30000/1001 --end 50 '" + kDemo + "'").status, 0);
    EXPECT_EQ(readMedia(dir.path() + "two.wav", false).audioSamples, 2943);
    std::filesystem::remove(dir.path() + "two.wav");

    // Again without --force: refused, both files left exactly as they were.
    const std::string before = fileBytes(dir.path() + "cap.mp4");
    const RenderResult again = runRenderer(dir, args);
    EXPECT_NE(again.status, 0);
    EXPECT_NE(again.err.find("cap.mp4 exists"), std::string::npos) << again.err;
    EXPECT_EQ(fileBytes(dir.path() + "cap.mp4"), before);
    EXPECT_EQ(runRenderer(dir, "--force " + args).status, 0);

    // A file that cannot be made fails without leaving anything, naming the file asked for.
    const RenderResult bad = runRenderer(dir, "--quiet --video no/such/dir/x.webm --end 100 '" + kDemo + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("tessaline-render: no/such/dir/x.webm: cannot create the file"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.err.find(".part"), std::string::npos) << bad.err;
    EXPECT_EQ(dirEntries(dir.path()), (std::vector<std::string>{"cap.mp4", "cap.wav", "stderr.txt"}));
}

TEST(Capture, EmptySpansFatalReportsAndInterruptsLeaveNoFile)
{
    ScratchDir dir;
    const std::vector<std::string> none = {"stderr.txt"};
    // [1000, 1000) holds no frame: bad usage, nothing written.
    const RenderResult empty = runRenderer(dir, "--quiet --video e.mp4 --start 1000 --end 1000 '" + kDemo + "'");
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.err.find("a capture needs --end after --start"), std::string::npos) << empty.err;
    EXPECT_EQ(dirEntries(dir.path()), none);

    // The demo without its video: the fatal report while loading ends the run with status 1.
    const std::string copy = dir.path() + "d";
    std::filesystem::copy(std::string(TL_SOURCE_DIR) + "/demo", copy, std::filesystem::copy_options::recursive);
    std::filesystem::remove(copy + "/orbit.avi");
    for (const char* args : {"--video m.mp4 --end 400", "--wav m.wav --end 400"}) {
        const RenderResult fatal = runRenderer(dir, std::string("--quiet ") + args + " d/demo.lscx");
        EXPECT_EQ(fatal.status, 1) << args;
        EXPECT_NE(fatal.err.find("error: [CAvi error] can't open file orbit.avi"), std::string::npos) << fatal.err;
    }
    std::filesystem::remove_all(copy);
    EXPECT_EQ(dirEntries(dir.path()), none);

    // Each interrupting signal, delivered after the last write and before the renaming (the MP4
    // has had its fast-start pass), abandons the capture.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string args = signal == SIGHUP ? "--video i.mp4 --wav i.wav --fps 5 --end 400" : "--wav i.wav --end 400";
        const RenderResult r =
            runRenderer(dir, "--quiet " + args + " '" + kDemo + "'", "TL_CAPTURE_TEST_RAISE=" + std::to_string(signal));
        EXPECT_EQ(r.status, 1) << signal;
        EXPECT_NE(r.err.find("tessaline-render: interrupted"), std::string::npos) << r.err;
        EXPECT_EQ(dirEntries(dir.path()), none) << signal;
    }
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
    // Layer 1 (back), position 2 from 0 to 6000 ms is the "burst" effect; layer 4 (screen)
    // position 2 before 3000 ms mixes with "half".
    EXPECT_NE(out.find("1        2 [0, 6000)         effect burst"), std::string::npos) << out;
    EXPECT_NE(out.find("4        2 [0, 3000)         mix half"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "frames"));
}

} // namespace
