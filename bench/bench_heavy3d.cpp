// The heavy 3D scene (bench/support/HeavyScene: about 100 000 textured, lit triangles under bend
// and noise modifiers, plus a skinned tube) built into .l3x files by tessaline-l3x's text
// compiler: one frame into a 512x256 image with its depth buffer, reporting update, prepare and
// render apart (median ms of this thread's CPU time per frame) and the heap allocations per
// frame; loading the scene from its file, plain and compressed; and loading with linking of a
// scene of 65 535 dummies, 8 000 of them skin bones.
// Goals: a frame in at most 8 ms without allocation, the scene loaded in at most 50 ms, the
// dummies and bones linked in at most 200 ms.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "image/CImage32.h"
#include "s3d/S3DScene.h"
#include "support/AllocationCounter.h"
#include "support/HeavyScene.h"

namespace {

constexpr int kWidth = 512, kHeight = 256;

double threadMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

double median(std::vector<double>& v)
{
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The heavy scene loaded and drawing into its own image and depth buffer.
struct HeavyView {
    S3DScene scene;
    CImage32Buffered image{kWidth, kHeight};
    ViewPort viewPort;
    explicit HeavyView(const std::string& path)
    {
        scene.load(path.c_str());
        viewPort.setScreen(&image);
        scene.setViewPort(&viewPort);
        scene.setCamera(0);
    }
};

void BM_Heavy3DFrame(benchmark::State& state)
{
    setReportEcho(false);
    const HeavySceneFiles& files = heavySceneFiles();
    if (files.plain.empty()) return state.SkipWithError(files.error.c_str());
    const unsigned long reports = reportCount();
    const auto view = std::make_unique<HeavyView>(files.plain);
    if (reportCount() != reports || view->scene.getNbTriObject() != 3)
        return state.SkipWithError("the heavy scene reported a problem while loading");
    S3DScene& scene = view->scene;

    float frame = 0.0f;
    const auto draw = [&](double* t) {
        view->image.clear(0);
        view->viewPort.clearZBuffer();
        t[0] = threadMs();
        scene.update(frame);
        t[1] = threadMs();
        scene.prepare();
        t[2] = threadMs();
        scene.render();
        t[3] = threadMs();
        frame = frame + 1.0f >= float(scene.m_animationLength) ? 0.0f : frame + 1.0f;
    };
    double t[4];
    draw(t);  // the first frame may set things up
    std::vector<double> update, prepare, render, whole;
    const size_t reserve = size_t(state.max_iterations);
    for (auto* v : {&update, &prepare, &render, &whole}) v->reserve(reserve);
    long allocations = 0;
    {
        const AllocationCounter counter;
        for (auto _ : state) {
            draw(t);
            update.push_back(t[1] - t[0]);
            prepare.push_back(t[2] - t[1]);
            render.push_back(t[3] - t[2]);
            whole.push_back(t[3] - t[0]);
            benchmark::DoNotOptimize(view->image.m_pPixels[128 * kWidth + 256]);
        }
        // The vectors were reserved, so their growth allocates nothing here.
        allocations = counter.count();
    }
    state.counters["update_ms"] = median(update);
    state.counters["prepare_ms"] = median(prepare);
    state.counters["render_ms"] = median(render);
    state.counters["frame_ms"] = median(whole);
    state.counters["allocs_per_frame"] = double(allocations) / double(std::max<int64_t>(1, int64_t(state.iterations())));
    state.counters["triangles/s"] =
        benchmark::Counter(double(kHeavyTriangles), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Heavy3DFrame)->Unit(benchmark::kMillisecond);

// Loading from the file, textures and linking included.
void loadHeavy(benchmark::State& state, bool compressed)
{
    setReportEcho(false);
    const HeavySceneFiles& files = heavySceneFiles();
    const std::string& path = compressed ? files.compressed : files.plain;
    if (path.empty()) return state.SkipWithError(files.error.c_str());
    for (auto _ : state) {
        S3DScene scene;
        scene.load(path.c_str());
        benchmark::DoNotOptimize(scene.getNbTriObject());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(readBytes(path).size()));
}
void BM_Heavy3DLoad(benchmark::State& state) { loadHeavy(state, false); }
void BM_Heavy3DLoadCompressed(benchmark::State& state) { loadHeavy(state, true); }
BENCHMARK(BM_Heavy3DLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Heavy3DLoadCompressed)->Unit(benchmark::kMillisecond);

// 65 535 dummies in a binary-tree hierarchy, 8 000 of them the bones of one skin: load and link
// from the bytes in memory.
void BM_DummiesBonesLink(benchmark::State& state)
{
    setReportEcho(false);
    static ScratchDir scratch;
    static std::string path, bytes;  // the last scene built
    const int dummies = int(state.range(0)), bones = int(state.range(1));
    if (scratch.dir.empty()) return state.SkipWithError("no scratch directory");
    const std::string wanted = scratch.dir + "/dummies-" + std::to_string(dummies) + "-" + std::to_string(bones) + ".l3x";
    if (path != wanted) {
        std::string error;
        if (!buildL3x(dummiesSceneText(dummies, bones), wanted, false, error)) return state.SkipWithError(error.c_str());
        path = wanted;
        bytes = readBytes(path);
    }
    {
        const unsigned long reports = reportCount();
        S3DScene scene;
        scene.load(path.c_str(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        const bool linked = scene.getNbDummy() == dummies && int(scene.getLinkedObjects().size()) == dummies - 1;
        if (reportCount() != reports || !linked)
            return state.SkipWithError("the dummies scene reported a problem while loading");
    }
    for (auto _ : state) {
        S3DScene scene;
        scene.load(path.c_str(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        benchmark::DoNotOptimize(scene.getNbDummy());
    }
}
BENCHMARK(BM_DummiesBonesLink)->ArgNames({"dummies", "bones"})->Args({65535, 8000})->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
