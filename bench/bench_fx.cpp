// Whole-image effects on the 512x256 work image, each with its packed and its scalar loop. The
// box blurs' library peer (OpenCV) is in bench_compare.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "fx2d/FxEmboss.h"
#include "fx2d/FxHVBlur.h"
#include "fx2d/FxRadial.h"
#include "image/CImage32.h"
#include "image/SimdLevel.h"

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 256;

struct WorkImage {
    std::vector<uint32_t> pixels;
    CImage32External image;
    WorkImage() : pixels(size_t(kWidth) * kHeight)
    {
        std::mt19937 gen(1234);
        for (uint32_t& p : pixels) p = uint32_t(gen());
        image.setData(kWidth, kHeight, pixels.data());
    }
};

// Runs a benchmark at the start-up SIMD level (TL_SIMD picks it) when its first argument is 0,
// with the scalar twins forced when it is 1.
struct LevelScope {
    explicit LevelScope(const benchmark::State& state)
    {
        if (state.range(0)) forceSimdLevel(SimdLevel::Scalar);
    }
    ~LevelScope() { resetSimdLevel(); }
};

void setLabel(benchmark::State& state)
{
    state.SetLabel(state.range(0) ? "scalar" : simdLevelName(simdLevel()));
    state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

void FxHVBlurRun(benchmark::State& state, int direction, int mode)
{
    WorkImage work;
    FxHVBlur blur(kWidth, kHeight);
    blur.setScreen(&work.image);
    blur.setSize(64);
    blur.setDirection(FxHVBlur::Direction(direction));
    blur.setMode(BlendMode(mode));
    const LevelScope level(state);
    for (auto _ : state) {
        blur.apply();
        benchmark::ClobberMemory();
    }
    setLabel(state);
}

void BM_FxHVBlur_Horizontal64(benchmark::State& state) { FxHVBlurRun(state, 0, 0); }
void BM_FxHVBlur_Vertical64(benchmark::State& state) { FxHVBlurRun(state, 1, 0); }
void BM_FxHVBlur_HorizontalAdd64(benchmark::State& state) { FxHVBlurRun(state, 0, 1); }

void BM_FxHVBlur_Both64(benchmark::State& state)
{
    WorkImage work;
    FxHVBlur blur(kWidth, kHeight);
    blur.setScreen(&work.image);
    blur.setSize(64);
    const LevelScope level(state);
    for (auto _ : state) {
        blur.setDirection(FxHVBlur::Direction::Horizontal);
        blur.apply();
        blur.setDirection(FxHVBlur::Direction::Vertical);
        blur.apply();
        benchmark::ClobberMemory();
    }
    setLabel(state);
}

void BM_FxHVBlur_RowBlurEveryRow(benchmark::State& state)
{
    WorkImage work;
    FxHVBlur blur(kWidth, kHeight);
    blur.setScreen(&work.image);
    const LevelScope level(state);
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) blur.blurRow(y, 2 + (y * 7) % 60);
        benchmark::ClobberMemory();
    }
    setLabel(state);
}

void BM_FxEmboss(benchmark::State& state)
{
    WorkImage work;
    FxEmboss emboss(kWidth, kHeight);
    emboss.setScreen(&work.image);
    emboss.setMode(FxEmboss::Mode(state.range(1)));
    const LevelScope level(state);
    for (auto _ : state) {
        emboss.apply();
        benchmark::ClobberMemory();
    }
    setLabel(state);
}

void BM_FxRadial(benchmark::State& state)
{
    WorkImage work;
    FxRadial radial(kWidth, kHeight);
    radial.setScreen(&work.image);
    radial.setMode(FxRadial::Mode(state.range(1)));
    radial.setCentre(200.0f, 100.0f);
    const LevelScope level(state);
    for (auto _ : state) {
        radial.apply();
        benchmark::ClobberMemory();
    }
    setLabel(state);
}

} // namespace

// Argument 0: the loop (0 packed, 1 scalar); for emboss and radial, argument 1: the mode.
BENCHMARK(BM_FxHVBlur_Horizontal64)->Arg(0)->Arg(1);
BENCHMARK(BM_FxHVBlur_Vertical64)->Arg(0)->Arg(1);
BENCHMARK(BM_FxHVBlur_Both64)->Arg(0)->Arg(1);
BENCHMARK(BM_FxHVBlur_HorizontalAdd64)->Arg(0)->Arg(1);
BENCHMARK(BM_FxHVBlur_RowBlurEveryRow)->Arg(0)->Arg(1);
BENCHMARK(BM_FxEmboss)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1});
BENCHMARK(BM_FxRadial)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1});

BENCHMARK_MAIN();
