// SoundManager in headless mode: module and stream clocks, levels, failing files, repeatability.
#include <vector>

#include "MusicFixture.h"
#include "music/SoundManager.h"

namespace {

std::string cannotLoad(const std::string& path) { return path + ": load: FMod can t load file !"; }

} // namespace

TEST_F(MusicTest, ModuleIgnoresOffsetAndCountsFromZero)
{
    ReportCapture reports;
    SoundManager music;
    ASSERT_TRUE(music.load(writeModule().c_str()));
    EXPECT_TRUE(music.isModule());
    EXPECT_EQ(reports.count(), 0u);

    music.setTime(5000);
    EXPECT_EQ(music.getTime(), 0);
    music.play();
    EXPECT_EQ(music.getTime(), 0);
    m_clock->advance(1234);
    EXPECT_EQ(music.getTime(), 1234);
    EXPECT_EQ(music.getVU(), 0.0f);
    music.setTime(9000);  // still ignored while playing
    m_clock->advance(1);
    EXPECT_EQ(music.getTime(), 1235);
}

TEST_F(MusicTest, StreamStartsAtOffsetAndItsTimeIncludesIt)
{
    ReportCapture reports;
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    EXPECT_TRUE(music.isStream());
    EXPECT_EQ(reports.count(), 0u);

    music.setTime(3000);
    EXPECT_EQ(music.getTime(), 3000);
    m_clock->advance(500);  // not playing yet: the time stays
    EXPECT_EQ(music.getTime(), 3000);
    music.play();
    m_clock->advance(toneMiddleMs(7) - 3000);
    EXPECT_EQ(music.getTime(), toneMiddleMs(7));
    // The level is that of the samples at the stream's own time, offset included.
    const float loud = music.getVU();
    EXPECT_GT(loud, 0.6f);
    EXPECT_LE(loud, 1.0f);
    m_clock->advance(gapMiddleMs(7) - toneMiddleMs(7));
    EXPECT_EQ(music.getVU(), 0.0f);

    // Moving back while playing: the time restarts from there, the level follows.
    music.setTime(toneMiddleMs(1));
    EXPECT_EQ(music.getTime(), toneMiddleMs(1));
    EXPECT_FLOAT_EQ(music.getVU(), loud);
    // Past the end: silence, and the clock keeps running.
    music.setTime(MusicGenerator::kWavLengthMs + 1000);
    m_clock->advance(10);
    EXPECT_EQ(music.getTime(), MusicGenerator::kWavLengthMs + 1010);
    EXPECT_EQ(music.getVU(), 0.0f);
    music.setTime(-50);
    EXPECT_EQ(music.getTime(), 0);
}

TEST_F(MusicTest, FileThatIsNeitherReportsAndFreezesTheClock)
{
    ReportCapture reports;
    const std::vector<std::string> paths = {
        m_dir.path() + "missing.ogg",
        m_dir.write("empty.xm", ""),
        m_dir.write("notes.mp3", "These are not the notes you are looking for.\nLine two.\n"),
        m_dir.write("short.mod", std::string(reinterpret_cast<const char*>(MusicGenerator::makeModule().data()), 600)),
        m_dir.path(),  // a directory
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        reports.clear();
        SoundManager music;
        EXPECT_FALSE(music.load(path.c_str()));
        ASSERT_EQ(reports.count(), 1u);
        EXPECT_EQ(reports.reports()[0].kind, ReportKind::Warning);
        EXPECT_EQ(reports.reports()[0].caption, "SoundManager");
        EXPECT_EQ(reports.reports()[0].text, cannotLoad(path));
        EXPECT_STREQ(music.getFileName().getName(), path.c_str());
        music.setTime(4000);
        music.play();
        m_clock->advance(60000);
        EXPECT_EQ(music.getTime(), 0);
        EXPECT_EQ(music.getVU(), 0.0f);
    }
}

TEST_F(MusicTest, DamagedMusicNeverCrashes)
{
    // Cut the module and the WAV at many places and flip bytes: each load either works or
    // reports, and whatever loads can be played through and asked for its level.
    std::vector<std::vector<uint8_t>> inputs;
    const std::vector<uint8_t> module = MusicGenerator::makeModule();
    const std::vector<uint8_t> wav = MusicGenerator::makeWav();
    for (size_t cut : {1u, 20u, 1083u, 1084u, 1500u, 3000u, 4156u})
        inputs.emplace_back(module.begin(), module.begin() + static_cast<long>(std::min(cut, module.size())));
    for (size_t cut : {12u, 43u, 44u, 45u, 1001u, 100000u})
        inputs.emplace_back(wav.begin(), wav.begin() + static_cast<long>(cut));
    uint32_t state = 1;
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> bytes = i % 2 ? module : std::vector<uint8_t>(wav.begin(), wav.begin() + 200000);
        for (int k = 0; k < 64; ++k) {
            state = state * 1664525u + 1013904223u;
            bytes[(state >> 8) % bytes.size()] = static_cast<uint8_t>(state >> 24);
        }
        inputs.push_back(std::move(bytes));
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        ReportCapture reports;
        const std::string path = write("damaged" + std::to_string(i) + ".bin", inputs[i]);
        SoundManager music;
        const bool loaded = music.load(path.c_str());
        EXPECT_EQ(reports.count(), loaded ? 0u : 1u) << path;
        music.setTime(1000);
        music.play();
        for (int t = 0; t < 30; ++t) {
            m_clock->advance(997);
            music.getVU();
        }
        music.getTime();
        // Whatever loads can be read from anywhere, far past its end included.
        if (loaded) {
            std::vector<float> samples(2 * 512);
            for (int ms : {1000, 0, INT32_MAX, 68})
                EXPECT_LE(music.openDecoder(ms)->read(samples.data(), 512), 512u);
        }
    }
}

TEST_F(MusicTest, HeadlessRunsAreIdentical)
{
    const std::string wav = writeWav();
    const std::string mod = writeModule();
    // A fixed sequence of clock settings, with jumps back and forth.
    auto run = [&](const std::string& path) {
        std::vector<std::pair<int, float>> seen;
        m_clock->set(777);
        SoundManager music;
        EXPECT_TRUE(music.load(path.c_str()));
        music.setTime(1500);
        music.play();
        for (int step = 0; step < 200; ++step) {
            m_clock->advance(static_cast<uint32_t>(38 + step % 3));
            if (step == 120) music.setTime(2000);
            seen.emplace_back(music.getTime(), music.getVU());
        }
        return seen;
    };
    for (const std::string& path : {wav, mod}) {
        const auto first = run(path);
        EXPECT_EQ(first, run(path));
    }
    // The stream's level depends on its position only, not on how the clock got there.
    const auto sequential = run(wav);
    SoundManager music;
    ASSERT_TRUE(music.load(wav.c_str()));
    music.play();
    for (auto it = sequential.rbegin(); it != sequential.rend(); ++it) {
        music.setTime(it->first);
        EXPECT_EQ(music.getVU(), it->second) << it->first;
    }
}

TEST_F(MusicTest, LoadingAgainReplacesTheMusic)
{
    ReportCapture reports;
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    music.setTime(2000);
    music.play();
    ASSERT_TRUE(music.load(writeModule().c_str()));
    EXPECT_TRUE(music.isModule());
    EXPECT_EQ(music.getTime(), 0);
    music.close();
    EXPECT_EQ(music.getTime(), 0);
    music.play();
    EXPECT_EQ(music.getTime(), 0);
    EXPECT_EQ(reports.count(), 0u);
}
