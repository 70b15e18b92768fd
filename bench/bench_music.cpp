// The music decoded once into memory: how long the bundled demo's 285 s take to decode (the
// time before a seek to the end can sound), what they cost in memory, and what a seek then
// costs (an index into the decoded samples, read back as a capture reads them).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "foundation/Report.h"
#include "music/SoundManager.h"
#include "platform/Platform.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"

namespace {

const std::string kDemoMusic = std::string(TL_SOURCE_DIR) + "/demo/music.mod";

void installMusicBackends()
{
    static const bool done = [] {
        Platform p;
        installHeadlessBackend(p, std::make_shared<VirtualClock>());
        installOpenMptBackend(p);
        installFfmpegBackend(p);
        installPlatform(std::move(p));
        setReportEcho(false);
        return true;
    }();
    (void)done;
}

void BM_DecodeDemoMusicToItsEnd(benchmark::State& state)
{
    installMusicBackends();
    for (auto _ : state) {
        SoundManager music;
        music.load(kDemoMusic.c_str());
        music.waitUntilDecoded(285000);
    }
    state.counters["music_s_per_s"] =
        benchmark::Counter(285.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeDemoMusicToItsEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SeekIntoDecodedMusic(benchmark::State& state)
{
    installMusicBackends();
    SoundManager music;
    music.load(kDemoMusic.c_str());
    music.waitUntilDecoded(285000);
    std::mt19937 random(548485);
    std::vector<float> samples(2 * 1024);
    for (auto _ : state) {
        const int ms = int(random() % 284000);
        auto reader = music.openDecoder(ms);
        benchmark::DoNotOptimize(reader->read(samples.data(), 1024));
    }
}
BENCHMARK(BM_SeekIntoDecodedMusic)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
