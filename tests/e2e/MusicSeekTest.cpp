// The music of a capture that starts mid-demo, through the real tessaline-render: a --wav from
// --start T is, sample for sample, the --wav from 0 from T on, for a module (T inside a row,
// with a note held across it) and for a stream that is converted to 44.1 kHz on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../music/StreamEncoder.h"
#include "../script/ScriptTestUtil.h"
#include "MediaReader.h"
#include "RenderRunner.h"
#include "music/MusicGenerator.h"

namespace {

// The samples of a 16-bit stereo WAV file (its "data" chunk), interleaved; empty if unreadable.
std::vector<int16_t> wavSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    auto u32 = [&bytes](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = u32(at + 4);
        if (bytes.compare(at, 4, "data") == 0) {
            std::vector<int16_t> samples(std::min<size_t>(size, bytes.size() - at - 8) / 2);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = int16_t(uint8_t(bytes[at + 8 + 2 * i]) | uint8_t(bytes[at + 9 + 2 * i]) << 8);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// Captures the music of `script` over [0, end) and over [start, end), and compares the second
// with the first from `start` on. Returns the largest difference, in 16-bit steps (-1 when a
// capture failed or their lengths disagree).
int spanDifference(const ScratchDir& dir, const std::string& script, int start, int end, int& firstPeak)
{
    // At 100 fps a span of whole 10 ms lasts exactly its length.
    const std::string common = " --quiet --force --fps 100 --end " + std::to_string(end) + " '" + script + "'";
    const RenderResult whole = runRenderer(dir, "--wav whole.wav" + common);
    const RenderResult part = runRenderer(dir, "--wav part.wav --start " + std::to_string(start) + common);
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(part.status, 0) << part.err;
    const std::vector<int16_t> a = wavSamples(dir.path() + "whole.wav");
    const std::vector<int16_t> b = wavSamples(dir.path() + "part.wav");
    const size_t first = 2 * (static_cast<size_t>(start) * 441 / 10);  // every start is a whole frame
    EXPECT_EQ(a.size(), 2 * (static_cast<size_t>(end) * 441 / 10));
    if (a.size() < first || b.size() != a.size() - first) return -1;
    int worst = 0;
    firstPeak = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        worst = std::max(worst, std::abs(int(b[i]) - int(a[first + i])));
        if (i < 2 * 441) firstPeak = std::max(firstPeak, std::abs(int(b[i])));
    }
    return worst;
}

TEST(MusicSeek, ModuleCaptureFromInsideARowIsTheWholeRunFromThere)
{
    ScratchDir dir;
    const std::vector<uint8_t> module = MusicGenerator::makeModule();
    dir.write("song.mod", std::string(module.begin(), module.end()));
    const std::string script = dir.write("m.lscx", makeScript({{"MUSIC", {"file: song.mod", "offset: 0"}}}));
    // Rows of 120 ms: 1050 lies inside row 8 (960..1080), whose bass note holds until 1920; 5570
    // and 12340 inside later rows.
    for (int start : {1050, 5570, 12340}) {
        SCOPED_TRACE(start);
        int firstPeak = 0;
        const int worst = spanDifference(dir, script, start, start + 1500, firstPeak);
        EXPECT_EQ(worst, 0);
        if (start == 1050) {
            EXPECT_GT(firstPeak, 3000);  // the held note, from the first 10 ms on
        }
    }
}

TEST(MusicSeek, StreamCaptureFromAnyTimeIsTheWholeRunFromThere)
{
    ScratchDir dir;
    const int rate = 48000;  // converted to 44.1 kHz on the way
    const std::vector<uint8_t> wav = stream_encoder::wav(stream_encoder::tones(rate, 4 * rate), rate);
    dir.write("tones.wav", std::string(wav.begin(), wav.end()));
    const std::string script = dir.write("s.lscx", makeScript({{"MUSIC", {"file: tones.wav", "offset: 0"}}}));
    int firstPeak = 0;
    EXPECT_EQ(spanDifference(dir, script, 1730, 3000, firstPeak), 0);
    EXPECT_GT(firstPeak, 3000);
}

TEST(MusicSeek, VideoCaptureOfARealSongAtTempo200StaysInStep)
{
    // The bundled demo with a real song for its music: an IT at tempo 200, whose ticks last
    // 12.5 ms (551.25 samples), so its rows never start on whole samples.
    ScratchDir dir;
    std::filesystem::copy(std::string(TL_SOURCE_DIR) + "/demo", dir.path() + "demo", std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(std::string(TL_SOURCE_DIR) + "/tests/data/realworld/music/it/openmpt-test-EnvLoops.it",
                               dir.path() + "demo/music.mod", std::filesystem::copy_options::overwrite_existing);
    const std::string script = "'" + dir.path() + "demo/demo.lscx'";
    // [4250, 6250) at 10 fps: 20 frames and 2 s of sound, both from the same run.
    ASSERT_EQ(runRenderer(dir, "--quiet --wav whole.wav --fps 10 --end 6300 " + script).status, 0);
    const RenderResult capture = runRenderer(
        dir, "--quiet --video cap.mkv --lossless --wav part.wav --fps 10 --start 4250 --end 6250 " + script);
    ASSERT_EQ(capture.status, 0) << capture.err;

    // The sound from the first frame to the last is the run's from 4250 on.
    const std::vector<int16_t> whole = wavSamples(dir.path() + "whole.wav");
    const std::vector<int16_t> part = wavSamples(dir.path() + "part.wav");
    ASSERT_EQ(part.size(), 2u * 88200);
    ASSERT_EQ(whole.size(), 2u * 6300 * 441 / 10);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + 2 * 4250 * 441 / 10));
    int peak = 0;
    for (int16_t v : part) peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 1000);

    // The video holds that sound, as long as its frames, and each frame is the one rendered at
    // its own time.
    const MediaContents m = readMedia(dir.path() + "cap.mkv", true);
    ASSERT_TRUE(m.opened);
    EXPECT_EQ(m.videoFrames, 20);
    EXPECT_DOUBLE_EQ(m.videoSeconds, 2.0);
    EXPECT_EQ(m.audioSamples, 88200);
    EXPECT_NEAR(m.audioPeak, peak / 32768.0f, 1.0f / 32768);
    std::string times;
    for (int k = 0; k < 20; ++k) {
        if (k > 0) times += ',';
        times += std::to_string(4250 + 100 * k);
    }
    ASSERT_EQ(runRenderer(dir, "--quiet -o ref --times " + times + " " + script).status, 0);
    ASSERT_EQ(m.frames.size(), 20u);
    for (int k : {0, 1, 10, 19}) {
        char name[32];
        std::snprintf(name, sizeof name, "ref/%06d.png", k);
        EXPECT_TRUE(readFrame(dir.path() + name).pixels == m.frames[k]) << "frame " << k;
    }
}

} // namespace
