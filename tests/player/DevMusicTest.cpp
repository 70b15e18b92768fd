// The authoring mode with music on an audio device that the test drives: after --start, seeks,
// loop jumps, pauses and a reload, the demo time is the clock's, and what the device is handed
// next is what a run from the start plays at that time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "../script/ScriptTestUtil.h"
#include "music/MusicGenerator.h"
#include "music/SoundManager.h"
#include "backends/headless/HeadlessBackend.h"
#include "support/PlayerSupport.h"

namespace {

// The audio device: the test pulls its buffers, 10 ms at a time.
struct Device {
    AudioSource* source = nullptr;
    bool paused = true;
    std::vector<float> last;
};

class TestOutput : public AudioOutput {
public:
    explicit TestOutput(Device& device) : m_device(device) {}
    void setSource(AudioSource* source) override { m_device.source = source; }
    void pause(bool paused) override { m_device.paused = paused; }

private:
    Device& m_device;
};

struct Music {
    const char* file;
    int offset;  // the script's offset: a stream's time includes it, a module ignores it
    bool module;
};

// A real song nobody here wrote, at tempo 200 with envelope loops: its rows do not fall on
// whole samples.
const std::string kRealSong = std::string(TL_SOURCE_DIR) + "/tests/data/realworld/music/it/openmpt-test-EnvLoops.it";

class DevMusicTest : public ::testing::TestWithParam<Music> {
protected:
    static constexpr int kBufferFrames = 441;

    void SetUp() override
    {
        m_clock = std::make_shared<VirtualClock>();
        m_clock->set(70000);
        Platform p;
        installHeadlessBackend(p, m_clock);
        installOpenMptBackend(p);
        installFfmpegBackend(p);
        p.createAudioOutput = [this](AudioOpenStatus& status) -> std::unique_ptr<AudioOutput> {
            status = AudioOpenStatus::Opened;
            return std::make_unique<TestOutput>(m_device);
        };
        m_previous = installPlatform(std::move(p));
        resetPlayer();

        const std::vector<uint8_t> module = MusicGenerator::makeModule();
        const std::vector<uint8_t> wav = MusicGenerator::makeWav();
        m_dir.write("song.mod", std::string(module.begin(), module.end()));
        m_dir.write("tones.wav", std::string(wav.begin(), wav.end()));
        std::filesystem::copy_file(kRealSong, m_dir.path() + "real.it");
        const std::string offset = "offset: " + std::to_string(GetParam().offset);
        m_script = m_dir.write("demo.lscx", makeScript({{"MUSIC", {std::string("file: ") + GetParam().file, offset}}}));

        // The music as a run from the start plays it.
        const std::string path = m_dir.path() + GetParam().file;
        auto decoder = GetParam().module ? platform().openModule(path) : platform().openStream(path);
        ASSERT_TRUE(decoder);
        std::vector<float> chunk(2 * 4096);
        while (size_t got = decoder->read(chunk.data(), 4096))
            m_whole.insert(m_whole.end(), chunk.begin(), chunk.begin() + static_cast<long>(2 * got));
    }
    void TearDown() override
    {
        player().shutdown();
        resetPlayer();
        installPlatform(std::move(m_previous));
    }

    void key(int k) { player().wndProc(WindowEvent{WindowEventType::KeyDown, k, {}}); }
    // The clock since the script started, as the music counts it (a stream from its offset).
    int clockTime()
    {
        const PlayerState& s = player().state();
        const int elapsed = static_cast<int>(s.demoClock->tickCount() - s.startTick);
        return elapsed + (GetParam().module ? 0 : GetParam().offset);
    }
    // The device plays 10 ms while the clock moves 10 ms, and a frame is shown.
    void play10ms()
    {
        pull();
        m_clock->advance(10);
        player().renderFrame();
    }
    void pull()
    {
        // The device finds the music decoded (the decoding runs beside the test).
        if (const ScriptEngine* engine = player().state().scriptEngine.get())
            if (const SoundManager* music = engine->getSoundManager()) music->waitUntilDecoded(INT32_MAX);
        m_device.last.assign(2 * kBufferFrames, 99.0f);
        if (m_device.source && !m_device.paused) m_device.source->render(m_device.last.data(), kBufferFrames);
    }
    // The demo time is the clock's, and the next buffer handed to the device is the run's at it.
    void expectInStep(int ms)
    {
        SCOPED_TRACE(ms);
        EXPECT_EQ(player().demoTime(), ms);
        EXPECT_EQ(clockTime(), ms);
        pull();
        const size_t first = 2 * (static_cast<size_t>(ms) * 441 / 10);  // every time here is a whole frame
        ASSERT_LE(first + m_device.last.size(), m_whole.size());
        float worst = 0.0f;
        for (size_t i = 0; i < m_device.last.size(); ++i)
            worst = std::max(worst, std::abs(m_device.last[i] - m_whole[first + i]));
        EXPECT_EQ(worst, 0.0f);
        m_clock->advance(10);     // the buffer is heard
        EXPECT_EQ(player().demoTime(), ms + 10);
    }

    ScratchDir m_dir;
    std::string m_script;
    std::shared_ptr<VirtualClock> m_clock;
    Platform m_previous;
    Device m_device;
    std::vector<float> m_whole;
};

TEST_P(DevMusicTest, MusicFollowsStartSeeksLoopsPausesAndReloads)
{
    const int offset = GetParam().module ? 0 : GetParam().offset;
    PlayerOptions o;
    o.fullScreen = false;
    o.dev = true;
    o.scriptPath = m_script;
    o.startMs = 1050;  // inside a row of the module, inside a tone of the stream
    ASSERT_TRUE(player().startup(o));
    ASSERT_NE(player().state().scriptEngine->getSoundManager(), nullptr);
    expectInStep(offset + 1050);

    key(kKeyRight);
    expectInStep(offset + 2060);
    key(kKeyLeft);
    key(kKeyLeft);
    expectInStep(offset + 70);

    // A loop [offset + 1080, offset + 1380): past its end the demo goes back to its start.
    key(kKeyRight);
    key(kKeyOpenBracket);
    for (int i = 0; i < 30; ++i) play10ms();
    key(kKeyCloseBracket);
    key(kKeyL);
    ASSERT_TRUE(player().state().looping);
    EXPECT_EQ(player().state().loopStart, offset + 1080);
    EXPECT_EQ(player().state().loopEnd, offset + 1380);
    player().renderFrame();
    expectInStep(offset + 1080);

    // Paused: the time holds while the clock runs; a seek while paused; resumed from there.
    for (int i = 0; i < 7; ++i) play10ms();
    key(kKeySpace);
    m_clock->advance(500);
    player().renderFrame();
    EXPECT_EQ(player().demoTime(), offset + 1160);
    key(kKeyRight);
    EXPECT_EQ(player().demoTime(), offset + 2160);
    key(kKeySpace);
    key(kKeyL);  // the loop off, so that the time may stay past its end
    expectInStep(offset + 2160);

    // A reload keeps the time.
    ASSERT_TRUE(player().reloadScript());
    expectInStep(offset + 2170);
}

const char* const kCaseNames[] = {"Module", "StreamWithOffset", "RealSong"};
INSTANTIATE_TEST_SUITE_P(Music, DevMusicTest,
                         ::testing::Values(Music{"song.mod", 0, true}, Music{"tones.wav", 1230, false},
                                           Music{"real.it", 0, true}),
                         [](const auto& info) { return std::string(kCaseNames[info.index]); });

} // namespace
