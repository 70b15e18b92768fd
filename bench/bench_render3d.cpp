// One frame of the demo's 3D scenes (demo/scenes/*.l3x): update, prepare and render into a
// 512x256 image with its depth buffer, at a frame that moves every object.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/Report.h"
#include "image/CImage32.h"
#include "s3d/S3DScene.h"

namespace {

const std::string kSceneDir = std::string(TL_SOURCE_DIR) + "/demo/scenes/";

void renderScene(benchmark::State& state, const std::string& name, int camera)
{
    setReportEcho(false);
    S3DScene scene;
    scene.load((kSceneDir + name).c_str());
    if (scene.getNbCamera() == 0) {
        state.SkipWithError(("cannot load " + name).c_str());
        return;
    }
    CImage32Buffered image(512, 256);
    ViewPort viewPort;
    viewPort.setScreen(&image);
    scene.setViewPort(&viewPort);
    scene.setCamera(camera);
    float frame = 0.0f;
    int64_t triangles = 0;
    for (const S3DTriObject& o : scene.getTriObjects()) triangles += o.getNbFace();
    for (auto _ : state) {
        image.clear(0);
        viewPort.clearZBuffer();
        scene.update(frame);
        scene.prepare();
        scene.render();
        frame = frame + 1.0f >= float(scene.m_animationLength) ? 0.0f : frame + 1.0f;
        benchmark::DoNotOptimize(image.m_pPixels[128 * 512 + 256]);
    }
    state.counters["triangles/s"] = benchmark::Counter(double(triangles), benchmark::Counter::kIsIterationInvariantRate);
}

// The city seen from its crane (36 outlined towers) and from the street flight (close, clipped),
// the polished knot (environment-mapped) and the lit, textured objects.
void BM_Render3D_City(benchmark::State& state) { renderScene(state, "city.l3x", 1); }
void BM_Render3D_CityClose(benchmark::State& state) { renderScene(state, "city.l3x", 0); }
void BM_Render3D_Chrome(benchmark::State& state) { renderScene(state, "chrome.l3x", 0); }
void BM_Render3D_Lights(benchmark::State& state) { renderScene(state, "lights.l3x", 0); }

BENCHMARK(BM_Render3D_City)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Render3D_CityClose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Render3D_Chrome)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Render3D_Lights)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
