// Captures of the bundled demo through the real tessaline-render, read back with FFmpeg's own
// decoders: frame counts, sound and video of equal length, lossless frames equal to the image
// sequence (scaled or not), the encoder settings, the overwrite guard, and no partial files left
// behind by a failure, a fatal report or an interrupt.
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

// The 640 x 480 frame `f` scaled by nearest neighbour into the box (left, top, width, height) of a
// w x h black picture: box pixel (x, y) takes frame pixel (x x 640 / width, y x 480 / height),
// rounded down.
std::vector<uint32_t> nearestInBox(const Frame& f, int w, int h, int left, int top, int width, int height)
{
    std::vector<uint32_t> out(size_t(w) * h, 0u);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            out[size_t(top + y) * w + size_t(left + x)] = f.at(x * 640 / width, y * 480 / height);
    return out;
}

TEST(Capture, SizedCapturesScaleEachFrameIntoABlackBox)
{
    ScratchDir dir;
    // 1920 x 1080 is wider than 4:3: a 1440 x 1080 box, 240 pixels of black left and right.
    // Frames at 1000, 1200 and 1400 ms.
    RenderResult r = runRenderer(dir, "--quiet --video wide.mkv --lossless --size 1920x1080 --fps 5 --start 1000 "
                                      "--end 1600 '" + kDemo + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = runRenderer(dir, "--quiet -o ref --times 1000,1200,1400 '" + kDemo + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const MediaContents wide = readMedia(dir.path() + "wide.mkv", true);
    ASSERT_EQ(wide.frames.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const Frame f = readFrame(dir.path() + "ref/00000" + std::to_string(k) + ".png");
        ASSERT_EQ(f.width, 640);
        const std::vector<uint32_t>& got = wide.frames[size_t(k)];
        ASSERT_EQ(got.size(), 1920u * 1080u);
        EXPECT_TRUE(got == nearestInBox(f, 1920, 1080, 240, 0, 1440, 1080)) << "frame " << k;
        // The mapping's numbers: x 240 is frame column 0, 242 still 0 (2 x 640 / 1440 = 0.89),
        // 243 column 1 (1.33), and the same for rows 2 and 3 (0.89, 1.33); 1679 is column 639
        // (639.56) and row 1079 frame row 479 (479.56).
        auto at = [&](int x, int y) { return got[size_t(y) * 1920 + size_t(x)]; };
        EXPECT_EQ(at(240, 0), f.at(0, 0));
        EXPECT_EQ(at(242, 2), f.at(0, 0));
        EXPECT_EQ(at(243, 3), f.at(1, 1));
        EXPECT_EQ(at(1679, 1079), f.at(639, 479));
        EXPECT_EQ(at(239, 500) | at(1680, 500), 0u);
    }

    // 1002 x 1000 is taller: the full width and a height of 1002 x 3 / 4 = 751.5, rounded to 752,
    // from row 124 (the margins 124 and 124). Nearest, then smooth, at 1000 ms.
    const Frame f = readFrame(dir.path() + "ref/000000.png");
    for (const char* scale : {"nearest", "smooth"}) {
        const std::string name = std::string(scale) + ".mkv";
        r = runRenderer(dir, "--quiet --video " + name + " --lossless --size 1002x1000 --scale " + scale +
                                 " --fps 5 --start 1000 --end 1200 '" + kDemo + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        const MediaContents tall = readMedia(dir.path() + name, true);
        ASSERT_EQ(tall.frames.size(), 1u);
        const std::vector<uint32_t>& got = tall.frames[0];
        const std::vector<uint32_t> nearest = nearestInBox(f, 1002, 1000, 0, 124, 1002, 752);
        if (std::string(scale) == "nearest") {
            EXPECT_TRUE(got == nearest);
            // Row 875 is frame row 479 (751 x 480 / 752 = 479.36), column 1001 frame column 639.
            EXPECT_EQ(got[875 * 1002 + 1001], f.at(639, 479));
            EXPECT_EQ(got[124 * 1002], f.at(0, 0));
            continue;
        }
        // Filtered: the bars stay black, the box holds the same picture, not the same pixels.
        for (int x = 0; x < 1002; x += 7) {
            EXPECT_EQ(got[123 * 1002 + x] | got[876 * 1002 + x], 0u) << x;
        }
        double difference = 0.0;
        for (size_t i = 124 * 1002; i < 876 * 1002; ++i)
            for (int shift : {0, 8, 16})
                difference += std::abs(int(got[i] >> shift & 0xFF) - int(nearest[i] >> shift & 0xFF));
        difference /= 752.0 * 1002.0 * 3.0;
        EXPECT_GT(difference, 0.0);
        EXPECT_LT(difference, 6.0);
    }
}

TEST(Capture, EncoderSettingsPassThroughAndBadOnesAreUsageErrors)
{
    ScratchDir dir;
    // x264 writes its settings into the stream: the rate factor given shows there.
    RenderResult r = runRenderer(dir, "--quiet --video c.mp4 --crf 37 --preset ultrafast --fps 5 --end 400 '" + kDemo + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bytes = fileBytes(dir.path() + "c.mp4");
    if (bytes.find("x264") != std::string::npos) {
        EXPECT_NE(bytes.find("crf=37.0"), std::string::npos);
        EXPECT_NE(bytes.find("subme=0"), std::string::npos);  // ultrafast's sub-pixel setting
    }
    r = runRenderer(dir, "--quiet --video c.webm --crf 63 --preset realtime --size 800x600 --fps 5 --end 400 '" + kDemo + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const MediaContents webm = readMedia(dir.path() + "c.webm", false);
    EXPECT_EQ(webm.videoFrames, 2);

    for (const char* args : {"--video x.mp4 --crf 52", "--video x.webm --crf 64", "--video x.mp4 --preset good",
                             "--video x.webm --preset medium", "--video x.mkv --lossless --crf 10",
                             "--video x.mp4 --size 1921x1080", "--video x.mp4 --size 8x8", "--video x.mp4 --scale smooth",
                             "--wav x.wav --size 800x600", "--video x.mp4 --size 800x600 --scale fine"}) {
        r = runRenderer(dir, std::string("--quiet ") + args + " --end 400 '" + kDemo + "'");
        EXPECT_EQ(r.status, 2) << args;
    }
    EXPECT_EQ(dirEntries(dir.path()), (std::vector<std::string>{"c.mp4", "c.webm", "stderr.txt"}));
}

TEST(Capture, PictureSizeBoundsAreWidth7680AndHeight4320)
{
    // Accepted sizes get past the option to the empty span's complaint; refused ones stop at it.
    ScratchDir dir;
    const std::string sizeError = "--size needs WxH with even sides from 16x16 to 7680x4320";
    for (auto [size, accepted] : {std::pair{"7680x4320", true}, {"6000x4320", true}, {"4320x7680", false},
                                  {"7680x4322", false}, {"7682x4320", false}}) {
        const RenderResult r =
            runRenderer(dir, std::string("--quiet --video x.mp4 --size ") + size + " --start 400 --end 400 '" + kDemo + "'");
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_EQ(r.err.find(sizeError) == std::string::npos, accepted) << size << ": " << r.err;
        EXPECT_EQ(r.err.find("a capture needs --end after --start") != std::string::npos, accepted) << size;
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
    // Layer 1 (prime), position 2 in the title is the "rowsnoise" effect; layer 6 (screen)
    // position 2 in the title mixes with "logomask".
    EXPECT_NE(out.find("1        2 [0, 15360)        effect rowsnoise"), std::string::npos) << out;
    EXPECT_NE(out.find("6        2 [0, 15360)        mix logomask"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "frames"));
}

} // namespace
