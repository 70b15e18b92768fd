// Loading the bundled demo's scenes (demo/scenes/*.l3x, made by tessaline-l3x) from memory,
// decompression included: goal under 20 ms a scene.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/Report.h"
#include "s3d/S3DScene.h"

namespace {

const std::string kSceneDir = std::string(TL_SOURCE_DIR) + "/demo/scenes/";

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void loadScene(benchmark::State& state, const std::string& path)
{
    setReportEcho(false);
    const std::vector<uint8_t> bytes = readFile(path);
    if (bytes.empty()) {
        state.SkipWithError(("cannot read " + path).c_str());
        return;
    }
    for (auto _ : state) {
        S3DScene scene;
        scene.load(path.c_str(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(scene.getNbTriObject());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

// The scenes the demo ships.
void BM_LoadDemoLights(benchmark::State& state) { loadScene(state, kSceneDir + "lights.l3x"); }
BENCHMARK(BM_LoadDemoLights)->Unit(benchmark::kMillisecond);

void BM_LoadDemoChrome(benchmark::State& state) { loadScene(state, kSceneDir + "chrome.l3x"); }
BENCHMARK(BM_LoadDemoChrome)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
