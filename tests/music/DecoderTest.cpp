// The decoder back ends on the generated music: length, sound, and exact stream seeking.
#include <cmath>
#include <vector>

#include "MusicFixture.h"

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
    for (int ms : {1250, 20, 7777, 0, 9990}) {
        ASSERT_TRUE(decoder->seek(ms));
        std::vector<float> chunk(2 * 300);
        ASSERT_EQ(decoder->read(chunk.data(), 300), 300u);
        const size_t first = static_cast<size_t>(ms) * kMusicRate / 1000;
        for (size_t i = 0; i < chunk.size(); ++i) ASSERT_EQ(chunk[i], all[2 * first + i]) << ms;
    }
    decoder->seek(60000);  // past the end: nothing more to read
    std::vector<float> chunk(2 * 300);
    EXPECT_EQ(decoder->read(chunk.data(), 300), 0u);
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
