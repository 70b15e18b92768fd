// Blit family benchmarks: every scaled variant 512x256 -> 640x480, rotations, every same-size
// blit at 512x256, the player's screen blit, lines. The library peers of the screen blit and the
// same-size blits are in bench_compare.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "image/BlendKernels.h"
#include "image/CImage32.h"
#include "image/Line.h"
#include "image/SimdLevel.h"

namespace {

constexpr int kSrcW = 512, kSrcH = 256, kDstW = 640, kDstH = 480;
constexpr float kCentreX = 320, kCentreY = 240, kScaleX = 1.24f, kScaleY = 1.3f;

void fillRandom(CImage32& img, uint32_t seed)
{
    std::mt19937 rng(seed);
    for (int64_t i = 0; i < img.pixelCount(); ++i) img.m_pPixels[i] = rng();
}

struct Images {
    CImage32Buffered src{kSrcW, kSrcH}, map{kSrcW, kSrcH}, same{kSrcW, kSrcH};
    std::vector<uint32_t> screen = std::vector<uint32_t>(size_t(kDstW) * kDstH);  // foreign memory, like the locked surface
    CImage32External dst;
    Images()
    {
        fillRandom(src, 1);
        fillRandom(map, 2);
        fillRandom(same, 3);
        dst.setData(kDstW, kDstH, screen.data());
    }
};
Images& images()
{
    static Images i;
    return i;
}

// Runs a body at the start-up SIMD level (TL_SIMD picks it) or with the scalar twins forced.
struct ScalarScope {
    explicit ScalarScope(bool scalar)
    {
        if (scalar) forceSimdLevel(SimdLevel::Scalar);
    }
    ~ScalarScope() { resetSimdLevel(); }
};

constexpr int64_t kScaledPixels = int64_t(635) * 333;  // columns 3..637, rows 74..406

// --- blitScaled: one case per selection-rule branch, filtered (1) and unfiltered (0) ---------
struct ScaledCase {
    int mode;
    bool alphaFlag, map;
    float opacity;
};
void scaled(benchmark::State& state, ScaledCase c)
{
    Images& im = images();
    const bool filter = state.range(0) != 0;
    ScalarScope scope(state.range(1) != 0);
    im.src.m_hasAlpha = c.alphaFlag;
    for (auto _ : state) {
        im.src.blitScaled(&im.dst, kCentreX, kCentreY, kScaleX, kScaleY, BlendMode(c.mode), c.map ? &im.map : nullptr, c.opacity,
                          filter);
        benchmark::DoNotOptimize(im.screen.data());
    }
    im.src.m_hasAlpha = 0;
    state.SetItemsProcessed(state.iterations() * kScaledPixels);
}
#define SCALED(name, ...)                                                                                      \
    BENCHMARK_CAPTURE(scaled, name, ScaledCase{__VA_ARGS__})->ArgNames({"filter", "scalar"})->Args({0, 0})->Args({1, 0})
SCALED(Copy, 0, false, false, 1.0f)->Args({1, 1});  // + the forced-scalar screen blit
SCALED(Half, 0, false, false, 0.5f);
SCALED(Weighted_Opacity, 0, false, false, 0.3f);
SCALED(Weighted_Map, 0, false, true, 1.0f);
SCALED(Weighted_SourceAlpha, 0, true, false, 1.0f);
SCALED(Add, 1, false, false, 1.0f);
SCALED(AddWeighted_Opacity, 1, false, false, 0.3f);
SCALED(AddWeighted_Map, 1, false, true, 1.0f);
SCALED(Sub, 3, false, false, 1.0f);
SCALED(SubWeighted_Opacity, 3, false, false, 0.3f);
SCALED(SubWeighted_Map, 3, false, true, 1.0f);

// --- the player's screen blit ------------------------------------------------------------------
void playerScreenBlit(benchmark::State& state)
{
    Images& im = images();
    for (auto _ : state) {
        im.src.blitScaled(&im.dst, kCentreX, kCentreY, kScaleX, kScaleY, kBlendNormal, nullptr, 1.0f, true);
        benchmark::DoNotOptimize(im.screen.data());
    }
    state.SetItemsProcessed(state.iterations() * kScaledPixels);
}
BENCHMARK(playerScreenBlit);

// --- blitRotation ----------------------------------------------------------------------------
void rotation(benchmark::State& state, ScaledCase c)
{
    Images& im = images();
    const bool filter = state.range(0) != 0;
    im.src.m_hasAlpha = c.alphaFlag;
    for (auto _ : state) {
        im.src.blitRotation(&im.dst, 0.3f, kCentreX, kCentreY, kScaleX, kScaleY, BlendMode(c.mode), c.map ? &im.map : nullptr,
                            c.opacity, filter);
        benchmark::DoNotOptimize(im.screen.data());
    }
    im.src.m_hasAlpha = 0;
    state.SetItemsProcessed(state.iterations() * int64_t(kSrcW * kScaleX * kSrcH * kScaleY));
}
#define ROTATION(name, ...) \
    BENCHMARK_CAPTURE(rotation, name, ScaledCase{__VA_ARGS__})->ArgName("filter")->Arg(0)->Arg(1)
ROTATION(Copy, 0, false, false, 1.0f);
ROTATION(Half, 0, false, false, 0.5f);
ROTATION(Weighted_Opacity, 0, false, false, 0.3f);
ROTATION(Weighted_Map, 0, false, true, 1.0f);
ROTATION(Weighted_SourceAlpha, 0, true, false, 1.0f);
ROTATION(Add, 1, false, false, 1.0f);
ROTATION(AddWeighted_Map, 1, false, true, 1.0f);
ROTATION(Sub, 3, false, false, 1.0f);
ROTATION(SubWeighted_Opacity, 3, false, false, 0.3f);

// --- same-size blits at 512x256 -------------------------------------------------------------
template <class F>
void sameSize(benchmark::State& state, F f)
{
    Images& im = images();
    for (auto _ : state) {
        f(im.src, &im.same, &im.map);
        benchmark::DoNotOptimize(im.same.m_pPixels);
    }
    state.SetItemsProcessed(state.iterations() * kSrcW * kSrcH);
}
#define SAME(name, call) \
    BENCHMARK_CAPTURE(sameSize, name, [](const CImage32& s, CImage32* d, const CImage32* m) { (void)m; call; })
SAME(blit, s.blit(d));
SAME(blitTransDiv, s.blitTransDiv(d));
SAME(blitAlpha_Opacity, s.blitAlpha(d, 0.3f));
SAME(blitAlpha_SourceAlpha, s.blitAlpha(d));
SAME(blitAlpha_Map, s.blitAlpha(d, m));
SAME(blitTransAdd, s.blitTransAdd(d));
SAME(blitTransSub, s.blitTransSub(d));
SAME(blitAlphaTransAdd_Opacity, s.blitAlphaTransAdd(d, 0.3f));
SAME(blitAlphaTransAdd_Map, s.blitAlphaTransAdd(d, m));
SAME(blitAlphaTransSub_Opacity, s.blitAlphaTransSub(d, 0.3f));
SAME(blitAlphaTransSub_Map, s.blitAlphaTransSub(d, m));

// --- lines ---------------------------------------------------------------------------------
void lines(benchmark::State& state)
{
    Images& im = images();
    std::vector<uint32_t> depth(size_t(kDstW) * kDstH, 0);
    const bool withDepth = state.range(1) != 0;
    LineDesc l;
    l.colour = 0x00C08040u;
    l.mode = BlendMode(state.range(0));
    l.z0 = 0.2f, l.z1 = 0.4f;
    int64_t n = 0;
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i) {
            l.x0 = float(5 + i * 9), l.y0 = 3.3f, l.x1 = float(630 - i * 9), l.y1 = 476.6f;  // steep and shallow
            drawLine(&im.dst, withDepth ? depth.data() : nullptr, l);
            l.x0 = 2.5f, l.y0 = float(4 + i * 7), l.x1 = 637.5f, l.y1 = float(470 - i * 7);
            drawLine(&im.dst, withDepth ? depth.data() : nullptr, l);
            n += 2;
        }
        benchmark::DoNotOptimize(im.screen.data());
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(lines)->ArgNames({"mode", "depth"})->Args({0, 0})->Args({1, 0})->Args({2, 0})->Args({0, 1});

} // namespace

BENCHMARK_MAIN();
