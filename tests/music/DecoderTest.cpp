// The decoder back ends on the generated music: length, sound, and exact stream seeking.
#include <cmath>
#include <vector>

#include "MusicFixture.h"
#include "StreamEncoder.h"

namespace {

std::vector<float> readAll(MusicDecoder& decoder, size_t maxFrames)
{
    std::vector<float> all;
    std::vector<float> chunk(2 * 1000);
    while (all.size() / 2 < maxFrames) {
        const size_t got = decoder.read(chunk.data(), 1000);
        all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * got));
        if (got < 1000) break;
    }
    return all;
}

} // namespace

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

TEST_F(MusicTest, GeneratedWavDecodesToItsTonesAndSeeksExactly)
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
    // After a seek, back or forth, reading resumes at exactly that frame.
    for (size_t first : {55125u, 882u, 342966u, 0u, 440559u, 1u}) {
        ASSERT_TRUE(decoder->seekFrame(static_cast<int64_t>(first)));
        std::vector<float> chunk(2 * 300);
        ASSERT_EQ(decoder->read(chunk.data(), 300), 300u);
        for (size_t i = 0; i < chunk.size(); ++i) ASSERT_EQ(chunk[i], all[2 * first + i]) << first;
    }
    decoder->seekFrame(60 * kMusicRate);  // past the end: nothing more to read
    std::vector<float> chunk(2 * 300);
    EXPECT_EQ(decoder->read(chunk.data(), 300), 0u);
}

namespace {

// Seeks `decoder` to each time (in this order: forth and back) and compares one second read
// there with the run from the start, `whole`, from the same frame on. Returns the largest
// difference of a sample.
float seekDifference(MusicDecoder& decoder, const std::vector<float>& whole, const std::vector<int>& times)
{
    float worst = 0.0f;
    for (int ms : times) {
        SCOPED_TRACE(ms);
        const size_t first = static_cast<size_t>(ms) * 441 / 10;  // every time is a whole frame
        EXPECT_TRUE(decoder.seekFrame(static_cast<int64_t>(first)));
        std::vector<float> got = readAll(decoder, kMusicRate);
        got.resize(std::min(got.size(), 2 * static_cast<size_t>(kMusicRate)));
        const size_t expected = std::min<size_t>(kMusicRate, whole.size() / 2 - first);
        EXPECT_EQ(got.size() / 2, expected);
        for (size_t i = 0; i < std::min(got.size(), 2 * expected); ++i)
            worst = std::max(worst, std::abs(got[i] - whole[2 * first + i]));
    }
    return worst;
}

float peakOf(const std::vector<float>& samples, size_t firstFrame, size_t frames)
{
    float peak = 0.0f;
    for (size_t i = 2 * firstFrame; i < std::min(samples.size(), 2 * (firstFrame + frames)); ++i)
        peak = std::max(peak, std::abs(samples[i]));
    return peak;
}

} // namespace

TEST_F(MusicTest, ModuleSeeksGiveTheSamplesOfARunFromTheStart)
{
    auto decoder = platform().openModule(writeModule());
    ASSERT_TRUE(decoder);
    const std::vector<float> whole = readAll(*decoder, 60 * kMusicRate);
    // Rows last 120 ms (speed 6 at 125 BPM). 1050 lies inside row 8 (960..1080), whose bass note
    // holds from 960 to 1920: it sounds from the first sample read. Then row starts (960, 11520),
    // times at the very start of a row (961) and inside rows all through the three patterns,
    // back and forth. The playing samples are re-synced on a jump; their sub-sample phase may
    // differ from a run by a hair, at most 1e-4 of full scale (-80 dB, about 3 steps of 16 bits).
    const float worst = seekDifference(*decoder, whole, {1050, 960, 20010, 1000, 11520, 5560, 0, 12340, 970});
    EXPECT_LT(worst, 1e-4f);
    ASSERT_TRUE(decoder->seekFrame(46305));
    std::vector<float> start(2 * 441);
    ASSERT_EQ(decoder->read(start.data(), 441), 441u);
    EXPECT_GT(peakOf(start, 0, 441), 0.1f);                       // the held note, at once
    EXPECT_NEAR(peakOf(start, 0, 441), peakOf(whole, 46305, 441), 1e-4f);
    // Past the end there is nothing more to read.
    ASSERT_TRUE(decoder->seekFrame((MusicGenerator::kModuleLengthMs + 5000) * 441 / 10));
    EXPECT_EQ(decoder->read(start.data(), 441), 0u);
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
        EXPECT_EQ(seekDifference(*decoder, whole, {1230, 4010, 100, 2000, 30, 3330, 0}), 0.0f);
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
