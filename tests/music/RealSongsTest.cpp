// Real songs nobody here wrote (tests/data/realworld/music: pattern loops, jumps, breaks, tempo
// and speed changes, pattern delays, sustain loops, tempi from 32 to 200) and a long Ogg Vorbis
// stream: after a seek to any time, SoundManager gives what a decoder of its own run from the
// start gives there: the stream sample for sample, the modules within 3e-6 (a tenth of a step of
// 16 bits: their mixer rounds its last float bits by the slice sizes it is asked for).
#include <cmath>
#include <filesystem>
#include <vector>

#include "MusicFixture.h"
#include "StreamEncoder.h"
#include "music/SoundManager.h"

namespace {

const std::string kSongs = std::string(TL_SOURCE_DIR) + "/tests/data/realworld/music";

// Reads `frames` through the music's capture reader from `ms` on and compares with `whole` from
// the frame a seek to `ms` lands on (the first at or after it). Returns the number of samples
// that differ by more than `tolerance`; the reader must stop exactly where the run ends.
size_t differingSamples(const SoundManager& music, const std::vector<float>& whole, int ms, size_t frames,
                        float tolerance = 0.0f)
{
    const size_t first = static_cast<size_t>((int64_t(ms) * kMusicRate + 999) / 1000);
    std::unique_ptr<MusicDecoder> reader = music.openDecoder(ms);
    std::vector<float> got(2 * frames);
    const size_t n = reader->read(got.data(), frames);
    const size_t expected = first >= whole.size() / 2 ? 0 : std::min(frames, whole.size() / 2 - first);
    EXPECT_EQ(n, expected) << ms;
    size_t differ = 0;
    for (size_t i = 0; i < 2 * std::min(n, expected); ++i) differ += std::abs(got[i] - whole[2 * first + i]) > tolerance;
    return differ;
}

} // namespace

TEST_F(MusicTest, RealSongsSoundAfterAnySeekAsARunFromTheStart)
{
    int songs = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kSongs)) {
        if (!entry.is_regular_file()) continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        ++songs;
        auto decoder = platform().openModule(path);
        ASSERT_TRUE(decoder);
        const std::vector<float> whole = readAll(*decoder, 60 * kMusicRate);
        const int lengthMs = static_cast<int>(whole.size() / 2 * 1000 / kMusicRate);
        ASSERT_GT(lengthMs, 500);

        SoundManager music;
        ASSERT_TRUE(music.load(path.c_str()));
        ASSERT_TRUE(music.isModule());
        // Seven times spread over the song (its loops, breaks, delays and tempo changes lie all
        // through it), some on odd frames, back and forth; then the last 10 ms and past the end.
        for (int permille : {130, 870, 290, 710, 410, 580, 5}) {
            const int ms = lengthMs * permille / 1000 + permille % 7;
            EXPECT_EQ(differingSamples(music, whole, ms, kMusicRate / 2, 3e-6f), 0u) << ms;
        }
        EXPECT_EQ(differingSamples(music, whole, lengthMs - 10, kMusicRate, 3e-6f), 0u);
        EXPECT_EQ(differingSamples(music, whole, lengthMs + 100, 100, 3e-6f), 0u);
    }
    EXPECT_EQ(songs, 16);
}

TEST_F(MusicTest, LongVorbisStreamSeeksExactlyFarIntoIt)
{
    // 12 s at 48 kHz, converted to 44.1 kHz on the way; seeks from 1.5 s on, across the 1 s
    // blocks the music is kept in, with the script's offset as a stream's start.
    const int rate = 48000;
    const std::string path = m_dir.path() + "long.ogg";
    ASSERT_TRUE(stream_encoder::encode(path, "libvorbis", stream_encoder::tones(rate, 12 * rate), rate));
    auto decoder = platform().openStream(path);
    ASSERT_TRUE(decoder);
    const std::vector<float> whole = readAll(*decoder, 20 * kMusicRate);

    SoundManager music;
    ASSERT_TRUE(music.load(path.c_str()));
    ASSERT_TRUE(music.isStream());
    music.setTime(1500);
    music.play();
    for (int ms : {1500, 11000, 2999, 7001, 4250, 9990, 3000})
        EXPECT_EQ(differingSamples(music, whole, ms, kMusicRate), 0u) << ms;

    // The level follows the position through the same decoded samples: the peak of the 10 ms
    // holding the time.
    m_clock->advance(6543);
    const size_t block = (1500 + 6543) / 10 * 441;
    float peak = 0.0f;
    for (size_t i = 2 * block; i < 2 * (block + 441); ++i) peak = std::max(peak, std::abs(whole[i]));
    EXPECT_EQ(music.getTime(), 1500 + 6543);
    EXPECT_EQ(music.getVU(), peak);
}
