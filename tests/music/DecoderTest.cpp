// The decoder back ends on the generated music: length and sound; and seeks in the decoded
// music, which give the samples of a run from the start.
#include <cmath>
#include <vector>

#include "MusicFixture.h"
#include "StreamEncoder.h"
#include "music/SoundManager.h"

TEST_F(MusicTest, GeneratedModulePlaysItsWholeLength)
{
    EXPECT_EQ(MusicGenerator::makeModule(), MusicGenerator::makeModule());
    auto decoder = platform().openModule(writeModule());
    ASSERT_TRUE(decoder);
    const std::vector<float> all = readAll(*decoder, 60 * kMusicRate);
    const double seconds = static_cast<double>(all.size() / 2) / kMusicRate;
    EXPECT_NEAR(seconds, MusicGenerator::kModuleLengthMs / 1000.0, 0.5);
    float peak = 0.0f;
    for (float v : all) peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 0.1f);
    // The generated WAV is a stream, not a module.
    EXPECT_FALSE(platform().openModule(writeWav()));
}

TEST_F(MusicTest, GeneratedWavDecodesToItsTones)
{
    const std::vector<uint8_t> bytes = MusicGenerator::makeWav();
    EXPECT_EQ(bytes, MusicGenerator::makeWav());
    const std::string path = write("tones.wav", bytes);
    auto decoder = platform().openStream(path);
    ASSERT_TRUE(decoder);
    const std::vector<float> all = readAll(*decoder, 20 * kMusicRate);
    ASSERT_EQ(all.size() / 2, static_cast<size_t>(MusicGenerator::kWavLengthMs) * kMusicRate / 1000);
    // Decoded samples are the file's 16-bit values scaled to -1..1.
    for (size_t i = 0; i < 2000; ++i) {
        const int16_t v = static_cast<int16_t>(bytes[44 + 2 * i] | (bytes[45 + 2 * i] << 8));
        ASSERT_FLOAT_EQ(all[i], v / 32768.0f) << i;
    }
}

namespace {

// Reads one second of `music` from each time (in this order: forth and back) and compares it
// with the run from the start, `whole`, from the same frame on. Returns the largest difference.
float seekDifference(const SoundManager& music, const std::vector<float>& whole, const std::vector<int>& times)
{
    float worst = 0.0f;
    for (int ms : times) {
        SCOPED_TRACE(ms);
        const size_t first = static_cast<size_t>(ms) * 441 / 10;  // every time is a whole frame
        std::unique_ptr<MusicDecoder> reader = music.openDecoder(ms);
        std::vector<float> got = readAll(*reader, kMusicRate);
        got.resize(std::min(got.size(), 2 * static_cast<size_t>(kMusicRate)));
        const size_t expected = std::min<size_t>(kMusicRate, whole.size() / 2 - first);
        EXPECT_EQ(got.size() / 2, expected);
        for (size_t i = 0; i < std::min(got.size(), 2 * expected); ++i)
            worst = std::max(worst, std::abs(got[i] - whole[2 * first + i]));
    }
    return worst;
}

} // namespace

TEST_F(MusicTest, ModuleSeeksGiveTheSamplesOfARunFromTheStart)
{
    const std::string path = writeModule();
    auto decoder = platform().openModule(path);
    ASSERT_TRUE(decoder);
    const std::vector<float> whole = readAll(*decoder, 60 * kMusicRate);
    SoundManager music;
    ASSERT_TRUE(music.load(path.c_str()));
    // Rows last 120 ms (speed 6 at 125 BPM). 1050 lies inside row 8 (960..1080), whose bass note
    // holds from 960 to 1920. Then row starts (960, 11520), times at the very start of a row
    // (961) and inside rows all through the three patterns, back and forth. The reference here
    // was read in other slices than the decoded music, and the module's mixer rounds its last
    // float bits by the slices it renders: far below a step of 16 bits (3e-5).
    EXPECT_LT(seekDifference(music, whole, {1050, 960, 20010, 1000, 11520, 5560, 0, 12340, 970}), 3e-6f);
    // Past the end there is nothing more to read.
    std::vector<float> start(2 * 441);
    EXPECT_EQ(music.openDecoder(MusicGenerator::kModuleLengthMs + 5000)->read(start.data(), 441), 0u);
}

TEST_F(MusicTest, StreamSeeksGiveTheSamplesOfARunFromTheStart)
{
    // A 48 kHz WAV (converted to 44.1 kHz on the way), an MP3 and an Ogg Vorbis file, at 48 kHz
    // too: codecs whose frames overlap, so that the first frames after a jump need those before.
    const int rate = 48000;
    const std::vector<float> tones = stream_encoder::tones(rate, 5 * rate);
    std::vector<std::string> paths = {write("tones48.wav", stream_encoder::wav(tones, rate))};
    for (auto [name, encoder] : {std::pair{"tones.mp3", "libmp3lame"}, std::pair{"tones.ogg", "libvorbis"}}) {
        const std::string path = m_dir.path() + name;
        if (stream_encoder::encode(path, encoder, tones, rate))
            paths.push_back(path);
        else
            ADD_FAILURE() << "cannot encode " << name << " with " << encoder;
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        auto decoder = platform().openStream(path);
        ASSERT_TRUE(decoder);
        const std::vector<float> whole = readAll(*decoder, 10 * kMusicRate);
        EXPECT_NEAR(static_cast<double>(whole.size() / 2), 5.0 * kMusicRate, 0.05 * kMusicRate);
        SoundManager music;
        ASSERT_TRUE(music.load(path.c_str()));
        EXPECT_EQ(seekDifference(music, whole, {1230, 4010, 100, 2000, 30, 3330, 0}), 0.0f);
    }
}

TEST_F(MusicTest, StreamWithAnAbsurdSampleRateIsRefused)
{
    // A 400-sample 8-bit WAV whose header claims 520 MHz: converting it would build a filter of
    // gigabytes, so the stream does not open.
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F', 0xB4, 1, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0, 0, 0x1F, 0x40, 0, 0, 0x1F,
                                1, 0, 8, 0, 'd', 'a', 't', 'a', 0x90, 1, 0, 0};
    wav.resize(wav.size() + 400, 0x80);
    EXPECT_FALSE(platform().openStream(write("fast.wav", wav)));
}
