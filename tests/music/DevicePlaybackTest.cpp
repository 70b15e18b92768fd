// SoundManager over an audio device: the position is what was handed to the device, smoothed
// between callbacks; the device fallbacks; the real SDL output on the dummy driver.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "MusicFixture.h"
#include "music/SoundManager.h"
#include "backends/sdl/SdlBackend.h"

namespace {

// An output whose "device" is the test: it pulls buffers when the test says so.
struct FakeDevice {
    AudioSource* source = nullptr;
    bool paused = true;
    int opened = 0;
    int closed = 0;
    std::vector<float> last;
    uint32_t delayMs = 0;  // how long after a pull its buffer is heard

    // Pulls one buffer as the audio thread would; returns its peak.
    float pull(int frames)
    {
        last.assign(static_cast<size_t>(frames) * 2, 99.0f);
        if (source && !paused) source->render(last.data(), frames);
        float peak = 0.0f;
        for (float v : last) peak = std::max(peak, std::abs(v));
        return peak;
    }
};

class FakeOutput : public AudioOutput {
public:
    explicit FakeOutput(FakeDevice& device) : m_device(device) { ++m_device.opened; }
    ~FakeOutput() override { ++m_device.closed; }
    void setSource(AudioSource* source) override { m_device.source = source; }
    void pause(bool paused) override { m_device.paused = paused; }
    uint32_t heardDelayMs() const override { return m_device.delayMs; }

private:
    FakeDevice& m_device;
};

class DeviceTest : public MusicTest {
protected:
    void useDevice(AudioOpenStatus status)
    {
        platform().createAudioOutput = [this, status](AudioOpenStatus& s) -> std::unique_ptr<AudioOutput> {
            s = status;
            if (status != AudioOpenStatus::Opened) return nullptr;
            return std::make_unique<FakeOutput>(m_device);
        };
    }
    FakeDevice m_device;
};

} // namespace

TEST_F(DeviceTest, PositionIsWhatWasHandedSmoothedBetweenCallbacks)
{
    useDevice(AudioOpenStatus::Opened);
    ReportCapture reports;
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    EXPECT_EQ(reports.count(), 0u);
    music.waitUntilDecoded(INT32_MAX);  // the device's pulls below find the music decoded
    music.setTime(toneMiddleMs(2));
    const int start = toneMiddleMs(2);
    EXPECT_TRUE(m_device.paused);
    music.play();
    EXPECT_FALSE(m_device.paused);
    EXPECT_EQ(music.getTime(), start);  // nothing handed yet

    // 4410 frames = 100 ms handed; the position moves with the clock inside that buffer only.
    EXPECT_GT(m_device.pull(4410), 0.5f);
    EXPECT_EQ(music.getTime(), start);
    m_clock->advance(40);
    EXPECT_EQ(music.getTime(), start + 40);
    m_clock->advance(200);  // the device is late: the clock waits at the end of what it has
    EXPECT_EQ(music.getTime(), start + 100);
    m_device.pull(4410);
    EXPECT_EQ(music.getTime(), start + 100);
    m_clock->advance(30);
    EXPECT_EQ(music.getTime(), start + 130);

    // A callback that comes early never moves the position back.
    m_clock->advance(10);
    const int before = music.getTime();
    m_device.pull(441);
    EXPECT_GE(music.getTime(), before);
    music.close();
    EXPECT_EQ(m_device.opened, 1);
    EXPECT_EQ(m_device.closed, 1);
}

TEST_F(DeviceTest, ADeviceThatBuffersAheadIsHeardLater)
{
    m_device.delayMs = 50;
    useDevice(AudioOpenStatus::Opened);
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    const int start = toneMiddleMs(2);
    music.setTime(start);
    music.play();
    // 100 ms buffers, each heard 50 ms after the device takes it.
    m_device.pull(4410);
    m_clock->advance(30);
    EXPECT_EQ(music.getTime(), start);  // not heard yet
    m_clock->advance(40);
    EXPECT_EQ(music.getTime(), start + 20);
    m_clock->advance(30);
    m_device.pull(4410);  // taken at 100 ms: the first buffer is still playing until 150 ms
    m_clock->advance(20);
    EXPECT_EQ(music.getTime(), start + 70);
    m_clock->advance(60);
    EXPECT_EQ(music.getTime(), start + 130);
}

// A clock that hands out its reading and then, once, lets the audio thread publish a buffer
// a millisecond later, before the reader takes the position lock.
class RacingClock : public VirtualClock {
public:
    std::function<void()> afterRead;
    uint32_t timeMs() override
    {
        const uint32_t now = VirtualClock::timeMs();
        if (auto hook = std::exchange(afterRead, nullptr)) {
            advance(1);
            hook();
        }
        return now;
    }
};

TEST_F(DeviceTest, ABufferPublishedAfterTheClockReadingHasJustBegun)
{
    auto clock = std::make_shared<RacingClock>();
    platform().clock = clock;
    useDevice(AudioOpenStatus::Opened);
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    // Buffers of 100 ms from 150 ms before the end of tone 0: the second is tone, then gap.
    const int start = MusicGenerator::kToneMs - 150;
    music.setTime(start);
    music.play();
    m_device.pull(4410);
    clock->advance(100);
    // Read at the end of the first buffer while the second is published: the level of its first
    // (loud) block, not of its last (silent) one.
    clock->afterRead = [this] { m_device.pull(4410); };
    EXPECT_GT(music.getVU(), 0.5f);
    // The same for the time: the start of the third buffer, not its end; and the time goes on
    // from there instead of standing still.
    clock->advance(99);
    clock->afterRead = [this] { m_device.pull(4410); };
    EXPECT_EQ(music.getTime(), start + 200);
    clock->advance(10);
    EXPECT_EQ(music.getTime(), start + 210);
}

TEST_F(DeviceTest, LevelIsThatOfTheBufferPlayingNow)
{
    useDevice(AudioOpenStatus::Opened);
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    // Start 50 ms before the end of tone 0: the buffer holds tone, then silence.
    music.setTime(MusicGenerator::kToneMs - 50);
    music.play();
    EXPECT_EQ(music.getVU(), 0.0f);  // nothing handed yet
    m_device.pull(4410);
    EXPECT_GT(music.getVU(), 0.5f);
    m_clock->advance(70);
    EXPECT_EQ(music.getVU(), 0.0f);

    // Past the end the device gets silence and the clock keeps going.
    music.setTime(MusicGenerator::kWavLengthMs - 10);
    EXPECT_EQ(m_device.pull(4410), 0.0f);
    m_clock->advance(100);
    EXPECT_EQ(music.getTime(), MusicGenerator::kWavLengthMs + 90);
}

TEST_F(DeviceTest, ModuleOnDeviceIgnoresOffsetAndHasNoLevel)
{
    useDevice(AudioOpenStatus::Opened);
    SoundManager music;
    ASSERT_TRUE(music.load(writeModule().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    music.setTime(3000);
    music.play();
    float peak = 0.0f;
    for (int i = 0; i < 50; ++i) {  // a bar and a half of the song: drums and bass
        peak = std::max(peak, m_device.pull(1024));
        m_clock->advance(23);
    }
    EXPECT_GT(peak, 0.05f);
    EXPECT_EQ(music.getVU(), 0.0f);
    // The device's pace, not the clock's: the start of the last buffer plus the time since.
    EXPECT_EQ(music.getTime(), 49 * 1024 * 1000 / kMusicRate + 23);
}

TEST_F(DeviceTest, NoDeviceRunsSilentlyOnTheClockWithOneWarning)
{
    useDevice(AudioOpenStatus::NoDevice);
    ReportCapture reports;
    SoundManager music;
    const std::string wav = writeWav();
    ASSERT_TRUE(music.load(wav.c_str()));
    music.waitUntilDecoded(INT32_MAX);
    ASSERT_EQ(reports.count(), 1u);
    EXPECT_EQ(reports.reports()[0].caption, "SoundManager");
    EXPECT_EQ(reports.reports()[0].text, wav + ": load: no audio device, the music runs silently");
    music.setTime(toneMiddleMs(3) - 1000);
    music.play();
    m_clock->advance(1000);
    EXPECT_EQ(music.getTime(), toneMiddleMs(3));
    EXPECT_GT(music.getVU(), 0.5f);
}

TEST_F(DeviceTest, StartupFailuresReportTheirMessages)
{
    const std::string wav = writeWav();
    struct Case {
        const char* what;
        std::function<void(Platform&)> breakIt;
        std::string suffix;
    };
    const std::vector<Case> cases = {
        {"old libraries", [](Platform& p) { p.musicLibrariesUsable = [] { return false; }; },
         ": load: You are using the wrong DLL version!"},
        {"no decoders", [](Platform& p) { p.openModule = nullptr; p.openStream = nullptr; },
         ": load: FSound_Init error !"},
        {"audio cannot start", [](Platform&) {}, ": load: FSound_Init error !"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useDevice(AudioOpenStatus::Failed);
        const Platform saved = platform();
        c.breakIt(platform());
        ReportCapture reports;
        SoundManager music;
        EXPECT_FALSE(music.load(wav.c_str()));
        ASSERT_EQ(reports.count(), 1u);
        EXPECT_EQ(reports.reports()[0].text, wav + c.suffix);
        EXPECT_STREQ(music.getFileName().getName(), "NULL");  // nothing stored
        music.play();
        m_clock->advance(100);
        EXPECT_EQ(music.getTime(), 0);
        platform() = saved;
    }
}

TEST_F(DeviceTest, SdlOutputOpensAndClosesOnTheDummyDriver)
{
    // ctest runs with SDL_AUDIODRIVER=dummy; whichever way the device goes, nothing breaks.
    installSdlBackend(platform());
    ReportCapture reports;
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    EXPECT_LE(reports.count(), 1u);
    music.setTime(1000);
    music.play();
    EXPECT_GE(music.getTime(), 1000);
    EXPECT_GE(music.getVU(), 0.0f);
    music.close();
    EXPECT_EQ(music.getTime(), 0);
}

TEST_F(DeviceTest, AudioProbingWritesNothingOfItsOwn)
{
    // The ALSA driver (ctest picks the dummy one): whether a device opens or not, nothing but our
    // own reports may reach stderr, none of the audio system's lines.
    const char* before = std::getenv("SDL_AUDIODRIVER");
    const std::string previous = before ? before : "";
    ::setenv("SDL_AUDIODRIVER", "alsa", 1);
    installSdlBackend(platform());
    const std::string errPath = m_dir.path() + "stderr.txt";
    std::fflush(stderr);
    const int savedErr = ::dup(2);
    const int file = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 2);
    {
        ReportCapture reports;
        SoundManager music;
        music.load(writeWav().c_str());
    }
    std::fflush(stderr);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    ::close(file);
    if (before)
        ::setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    else
        ::unsetenv("SDL_AUDIODRIVER");
    std::ifstream in(errPath);
    const std::string err((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(err, "");
}

TEST_F(DeviceTest, PauseHoldsTheTimeAndResumesWhereItHeld)
{
    useDevice(AudioOpenStatus::Opened);
    SoundManager music;
    ASSERT_TRUE(music.load(writeWav().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    // 150 ms before the end of tone 0; the device takes 200 ms while 100 ms are heard.
    const int start = MusicGenerator::kToneMs - 150;
    music.setTime(start);
    music.play();
    m_device.pull(4410);
    m_clock->advance(100);
    m_device.pull(4410);
    music.pause(true);
    EXPECT_TRUE(m_device.paused);
    EXPECT_EQ(music.getTime(), start + 100);
    m_clock->advance(500);
    EXPECT_EQ(music.getTime(), start + 100);
    music.seek(start + 80);  // seeking while paused
    EXPECT_EQ(music.getTime(), start + 80);

    // Resumed, the next buffer starts at the held time (70 ms of tone 0), not after what the
    // device had taken before (the gap).
    music.pause(false);
    EXPECT_FALSE(m_device.paused);
    m_device.pull(4410);
    EXPECT_GT(*std::max_element(m_device.last.begin(), m_device.last.begin() + 2 * 441), 0.5f);
    EXPECT_EQ(music.getTime(), start + 80);
}

TEST_F(DeviceTest, ASeekBetweenTwoSamplesStartsAtTheLaterOne)
{
    // 1203 ms (inside tone 2) is frame 1203 x 44.1 = 53052.3: the music goes on from frame 53053,
    // which reads back as 1203 ms (53052 would read 1202), on the device and in a reader alike.
    useDevice(AudioOpenStatus::Opened);
    const std::string path = writeWav();
    auto decoder = platform().openStream(path);
    ASSERT_TRUE(decoder);
    const std::vector<float> whole = readAll(*decoder, 2 * kMusicRate);
    const size_t first = 2 * 53053;
    ASSERT_GT(whole.size(), first + 2);
    ASSERT_NE(whole[first], whole[first - 2]);
    SoundManager music;
    ASSERT_TRUE(music.load(path.c_str()));
    music.waitUntilDecoded(INT32_MAX);
    music.play();
    music.seek(1203);
    EXPECT_EQ(music.getTime(), 1203);
    m_device.pull(441);
    EXPECT_EQ(m_device.last[0], whole[first]);
    EXPECT_EQ(m_device.last[1], whole[first + 1]);
    std::vector<float> got(2);
    ASSERT_EQ(music.openDecoder(1203)->read(got.data(), 1), 1u);
    EXPECT_EQ(got[0], whole[first]);
}

TEST_F(MusicTest, SeekMovesModulesAsWellAndPauseHoldsTheClockedTime)
{
    SoundManager music;
    ASSERT_TRUE(music.load(writeModule().c_str()));
    music.waitUntilDecoded(INT32_MAX);
    music.play();
    music.setTime(5000);  // a module ignores setTime
    EXPECT_EQ(music.getTime(), 0);
    music.seek(5000);
    EXPECT_EQ(music.getTime(), 5000);
    m_clock->advance(250);
    music.pause(true);
    m_clock->advance(1000);
    EXPECT_EQ(music.getTime(), 5250);
    music.pause(false);
    m_clock->advance(10);
    EXPECT_EQ(music.getTime(), 5260);
}

namespace {

// A stream whose decoding stands still until the test lets it go on: constant 0.25, 3 minutes.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
};

class GatedStream : public MusicDecoder {
public:
    explicit GatedStream(std::shared_ptr<Gate> gate) : m_gate(std::move(gate)) {}
    size_t read(float* interleaved, size_t frames) override
    {
        std::unique_lock<std::mutex> lock(m_gate->mutex);
        m_gate->opened.wait(lock, [this] { return m_gate->open; });
        const size_t n = std::min<size_t>(frames, size_t(180 * kMusicRate) - m_done);
        std::fill_n(interleaved, 2 * n, 0.25f);
        m_done += n;
        return n;
    }

private:
    std::shared_ptr<Gate> m_gate;
    size_t m_done = 0;
};

} // namespace

TEST_F(DeviceTest, ASeekAheadOfTheDecodingPlaysSilenceAndHoldsTheTimeWithoutWaiting)
{
    // The decoding is held at its first read: a seek a minute ahead returns at once, the device
    // is handed silence and the time stays where the seek put it; once the decoding reaches
    // there, the music plays from there.
    useDevice(AudioOpenStatus::Opened);
    auto gate = std::make_shared<Gate>();
    platform().openModule = nullptr;
    platform().openStream = [gate](const std::string&) { return std::make_unique<GatedStream>(gate); };
    const std::string path = writeWav();
    SoundManager music;
    ASSERT_TRUE(music.load(path.c_str()));
    music.play();
    music.seek(60000);
    EXPECT_EQ(m_device.pull(441), 0.0f);
    EXPECT_EQ(m_device.pull(441), 0.0f);
    EXPECT_EQ(music.getTime(), 60000);
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    music.waitUntilDecoded(61000);
    EXPECT_EQ(m_device.pull(441), 0.25f);
    EXPECT_EQ(m_device.pull(441), 0.25f);
    EXPECT_GT(music.getTime(), 60000);  // the first buffer handed on has been heard
}
