// Whole frames of the bundled demo, headless: script render, edge clears and the screen blit,
// exactly as the player composes them, at times spread over the demo's sections.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "foundation/Report.h"
#include "platform/ffmpeg/FfmpegBackend.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/openmpt/OpenMptBackend.h"
#include "player/ScriptPlayer.h"

namespace {

struct DemoPlayer {
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    bool ready = false;

    DemoPlayer()
    {
        Platform p;
        installHeadlessPlatform(p, clock);
        installOpenMptBackend(p);
        installFfmpegBackend(p);
        installPlatform(std::move(p));
        setReportEcho(false);
        const std::string demo = std::string(TL_SOURCE_DIR) + "/demo/demo.lscx";
        PlayerOptions o;
        o.fullScreen = false;
        o.scriptPath = demo;
        ready = std::filesystem::exists(demo) && playerStartup(o);
    }
    ~DemoPlayer() { playerShutdown(); }
};

DemoPlayer& demo()
{
    static DemoPlayer player;
    return player;
}

// One frame at a fixed demo time (ms): the section of the demo that runs then.
void BM_DemoFrame(benchmark::State& state)
{
    DemoPlayer& d = demo();
    if (!d.ready) {
        state.SkipWithError("demo not found");
        return;
    }
    d.clock->set(uint32_t(state.range(0)));
    for (auto _ : state) renderFrame(playerScreen());
}
BENCHMARK(BM_DemoFrame)->Arg(1000)->Arg(8000)->Arg(14000)->Arg(20000)->Arg(26000)->Arg(38000)->Arg(50000)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
