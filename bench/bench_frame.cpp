// Whole frames, headless, exactly as the player composes them (script render, edge clears and the
// screen blit): the bundled demo at times spread over its sections and over a whole run at 26
// fps, and a 2D-heavy frame from a small script written to a scratch directory (a 512x256
// picture, two box blurs of 64, a smooth radial blur, a shade emboss, a colour effect and three
// mixes). Each frame benchmark reports the median and slowest frame and the heap allocations
// per frame, which must stay 0.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "image/SimdLevel.h"
#include "backends/ffmpeg/FfmpegBackend.h"
#include "backends/headless/HeadlessBackend.h"
#include "backends/openmpt/OpenMptBackend.h"
#include "player/ScriptPlayer.h"
#include "support/AllocationCounter.h"

namespace {

const std::string kDemoScript = std::string(TL_SOURCE_DIR) + "/demo/demo.lscx";
// The run covers the whole demo, all fifteen sections.
constexpr uint32_t kDemoRunEndMs = 285000;

// The 2D-heavy frame: "back" gets the picture blurred both ways and smeared from the centre;
// the shown layer gets the picture embossed, half of "back", a warm tint, then "back" added and
// half of it subtracted.
constexpr const char* kFrame2DScript = R"(2D-heavy frame for the frame benchmark.
<MUSIC>
file: NULL
offset: 0
</MUSIC>
<LAYER_DIMENSION>
desc: full 512 256
</LAYER_DIMENSION>
<CONTROLLER>
</CONTROLLER>
<IMAGE>
file: picture picture.tga
</IMAGE>
<2D>
</2D>
<3D>
</3D>
<SKYBOX>
</SKYBOX>
<SCREEN_LAYER>
desc: back full
desc: screen full
</SCREEN_LAYER>
<2D_DESC>
</2D_DESC>
<3D_DESC>
</3D_DESC>
<SKYBOX_DESC>
</SKYBOX_DESC>
<SPE_LAYER>
</SPE_LAYER>
<LAYER_DEPENDENCY>
</LAYER_DEPENDENCY>
<MIX>
desc: blend BLIT
</MIX>
<EFFECT>
desc: blur HVBLUR full
desc: relief EMBOSS full
desc: rays RADIAL full
desc: colour COLOR
</EFFECT>
<MIX_DESC>
desc: half blend NULL NORMAL 0.5 NULL
desc: add blend NULL TRANSADD 1.0 NULL
desc: darken blend NULL TRANSSUB 0.5 NULL
</MIX_DESC>
<EFFECT_DESC>
desc: wide blur x HORIZONTAL NORMAL 64
desc: tall blur x VERTICAL NORMAL 64
desc: smooth rays x SMOOTH 0.85 0.05 256 128
desc: shade relief x SHADE 0.8
desc: warm colour NULL ADD 0.25 0.1 0.0
</EFFECT_DESC>
<LAYER_MANAGER>
desc: back 1 0 285001 w picture
desc: back 2 0 285001 e wide
desc: back 3 0 285001 e tall
desc: back 4 0 285001 e smooth
desc: screen 1 0 285001 w picture
desc: screen 2 0 285001 e shade
desc: screen 3 0 285001 m half back
desc: screen 4 0 285001 e warm
desc: screen 5 0 285001 m add back
desc: screen 6 0 285001 m darken back
</LAYER_MANAGER>
)";

// A 512x256 uncompressed 24-bit picture with gradients and fine detail, so no effect sees a flat
// image.
void writePicture(const std::string& path)
{
    const int w = 512, h = 256;
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), 24, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bytes.push_back(uint8_t(x / 2));
            bytes.push_back(uint8_t(y));
            bytes.push_back(uint8_t((x ^ y) * 7));
        }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The scratch directory with the 2D-heavy script and its picture, removed at exit.
struct Frame2DFiles {
    std::string dir, script;
    Frame2DFiles()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaline-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        dir = pattern;
        script = dir + "/frame2d.lscx";
        writePicture(dir + "/picture.tga");
        std::ofstream(script) << kFrame2DScript;
    }
    ~Frame2DFiles()
    {
        std::error_code ignored;
        if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
    }
};

// The one player of the process, headless on a virtual clock. The clock never runs backwards:
// a script is loaded anew (its time starting at the clock's present value) when another script
// is asked for or an earlier time.
struct BenchPlayer {
    Player player;
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    bool started = false;
    std::string script;
    uint32_t base = 0, now = 0;

    BenchPlayer()
    {
        Platform p;
        installHeadlessBackend(p, clock);
        installOpenMptBackend(p);
        installFfmpegBackend(p);
        installPlatform(std::move(p));
        setReportEcho(false);
        PlayerOptions o;
        o.fullScreen = false;
        o.scriptPath = kDemoScript;  // a fixed script rather than the first one of the directory
        started = player.startup(o);
        // The headless surface sizes its copy of the screen at the first present.
        if (started) player.renderFrame();
    }
    ~BenchPlayer() { player.shutdown(); }

    // Loads `path` when needed and sets the script's time; false (with the reason) when the
    // script is missing or its load reported anything.
    bool show(const std::string& path, uint32_t ms, std::string& error)
    {
        if (!started) {
            error = "no player";
            return false;
        }
        if (path != script || base + ms < now) {
            if (!std::filesystem::exists(path)) {
                error = path + " not found";
                return false;
            }
            base = now;
            const unsigned long reports = reportCount();
            player.loadScript(StringC(path.c_str()));
            script = path;
            if (reportCount() != reports) {
                script.clear();
                error = "loading " + path + " reported a problem";
                return false;
            }
        }
        now = base + ms;
        clock->set(now);
        return true;
    }
};

BenchPlayer& bench()
{
    static BenchPlayer p;
    return p;
}
const Frame2DFiles& frame2DFiles()
{
    static Frame2DFiles f;
    return f;
}

// Per-frame times and allocations of the frames a benchmark renders: the median and slowest
// frame (ms of this thread's CPU time, so other processes on a shared machine do not count) and
// the allocations per frame as counters.
class FrameStats {
public:
    explicit FrameStats(size_t frames) { m_ms.reserve(frames); }
    template <class F>
    void time(F&& frame)
    {
        const double t0 = threadMs();
        frame();
        m_ms.push_back(threadMs() - t0);
    }
    void report(benchmark::State& state, long allocations)
    {
        if (m_ms.empty()) return;
        std::sort(m_ms.begin(), m_ms.end());
        state.counters["median_ms"] = m_ms[m_ms.size() / 2];
        state.counters["slowest_ms"] = m_ms.back();
        state.counters["allocs_per_frame"] = double(allocations) / double(m_ms.size());
        state.counters["frames"] = double(m_ms.size());
    }

private:
    static double threadMs()
    {
        timespec t;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
    }
    std::vector<double> m_ms;
};

// One frame at a fixed demo time (ms): the section of the demo that runs then.
void BM_DemoFrame(benchmark::State& state)
{
    std::string error;
    if (!bench().show(kDemoScript, uint32_t(state.range(0)), error)) return state.SkipWithError(error.c_str());
    bench().player.renderFrame();  // the first frame of a section may set things up
    FrameStats stats(state.max_iterations);
    const AllocationCounter allocations;
    for (auto _ : state) stats.time([] { bench().player.renderFrame(); });
    stats.report(state, allocations.count());
}
// A frame in the middle of each of the demo's fifteen sections (docs/09-showcase-demo.md).
BENCHMARK(BM_DemoFrame)->Arg(8000)->Arg(23000)->Arg(42000)->Arg(61000)->Arg(80000)->Arg(100000)->Arg(119000)
    ->Arg(138000)->Arg(157000)->Arg(176000)->Arg(196000)->Arg(215000)->Arg(234000)->Arg(253000)->Arg(273000)
    ->Unit(benchmark::kMicrosecond);

// The whole demo at 26 frames per second, one iteration a run.
void BM_DemoRun(benchmark::State& state)
{
    const int frames = int(kDemoRunEndMs / kPlayerFrameMs);
    FrameStats stats(size_t(frames) * state.max_iterations);
    long allocations = 0;
    for (auto _ : state) {
        std::string error;
        state.PauseTiming();
        const bool ready = bench().show(kDemoScript, 0, error);
        state.ResumeTiming();
        if (!ready) return state.SkipWithError(error.c_str());
        const uint32_t base = bench().base;
        const AllocationCounter counter;
        for (int i = 0; i < frames; ++i) {
            bench().now = base + uint32_t(float(i) * kPlayerFrameMs);
            bench().clock->set(bench().now);
            stats.time([] { bench().player.renderFrame(); });
        }
        allocations += counter.count();
    }
    stats.report(state, allocations);
}
BENCHMARK(BM_DemoRun)->Iterations(1)->Unit(benchmark::kMillisecond);

// The 2D-heavy frame: the engine's render alone at each SIMD level up to the start-up one, and
// the whole player frame with the screen blit at the start-up level (level -1).
void BM_Frame2D(benchmark::State& state)
{
    const SimdLevel level = state.range(0) < 0 ? simdLevel() : SimdLevel(state.range(0));
    if (!simdLevelSupported(level) || level > simdLevel()) return state.SkipWithError("beyond the start-up level");
    std::string error;
    if (frame2DFiles().script.empty()) return state.SkipWithError("no scratch directory");
    if (!bench().show(frame2DFiles().script, 1000, error)) return state.SkipWithError(error.c_str());
    forceSimdLevel(level);
    state.SetLabel(simdLevelName(level));
    PlayerState& s = bench().player.state();
    const bool wholeFrame = state.range(0) < 0;
    bench().player.renderFrame();
    FrameStats stats(state.max_iterations);
    {
        const AllocationCounter allocations;
        if (wholeFrame)
            for (auto _ : state) stats.time([] { bench().player.renderFrame(); });
        else
            for (auto _ : state) stats.time([&] { s.scriptEngine->render(&s.workImage); });
        stats.report(state, allocations.count());
    }
    resetSimdLevel();
}
BENCHMARK(BM_Frame2D)->ArgName("level")->Arg(int(SimdLevel::Scalar))->Arg(int(SimdLevel::Sse2))
    ->Arg(int(SimdLevel::Avx2))->Arg(-1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
