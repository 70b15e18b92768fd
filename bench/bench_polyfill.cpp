// Polygon filler benchmarks: triangles per second (and filled pixels per second) for each filler
// kind on a 512x256 destination with a depth buffer, for small and large triangles, at each SIMD
// level (0 scalar, 1 SSE2, 2 AVX2; a level beyond the CPU's runs the widest it has).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "image/BlendKernels.h"
#include "image/SimdLevel.h"
#include "raster/PolyFiller.h"

namespace {

constexpr int kW = 512, kH = 256, kTriangles = 10000;

// A scene of counter-clockwise triangles spread over the screen, each with random depth, light
// index and texel coordinates, and their summed area (the pixels filled, overlaps counted).
struct Scene {
    std::vector<RasterVertex> vertices;
    double pixels = 0;
    explicit Scene(float radius)
    {
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> unit(0, 1);
        vertices.reserve(kTriangles * 3);
        for (int t = 0; t < kTriangles; ++t) {
            const float cx = radius + unit(rng) * (kW - 2 * radius), cy = radius + unit(rng) * (kH - 2 * radius);
            // Increasing angles on x = cx - r sin a, y = cy - r cos a run counter-clockwise on the screen.
            const float a0 = unit(rng) * 2.0f, a1 = a0 + 1.5f + unit(rng), a2 = a1 + 1.5f + unit(rng);
            float x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                const float a = k == 0 ? a0 : k == 1 ? a1 : a2;
                x[k] = cx - radius * std::sin(a);
                y[k] = cy - radius * std::cos(a);
                // w, then three values 0..255: the light, one for both the weight and u, and v.
                const float w = 0.1f + 0.8f * unit(rng), p = unit(rng) * 255, q = unit(rng) * 255, r = unit(rng) * 255;
                vertices.push_back({x[k], y[k], w, {.light = p, .weight = q, .u = q, .v = r}});
            }
            pixels += std::fabs((x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0])) / 2;
        }
    }
};

// Size 0 small, 1 large, 2 tiny (about a pixel each, as a dense mesh gives: the set-up per
// triangle dominates).
const Scene& scene(int64_t size)
{
    static const Scene small(6.0f), big(40.0f), tiny(0.8f);
    return size == 2 ? tiny : size == 1 ? big : small;
}

struct Target {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t(kW) * kH);
    std::vector<uint32_t> depth = std::vector<uint32_t>(size_t(kW) * kH);
    std::vector<uint32_t> texels = std::vector<uint32_t>(size_t(256) * (256 + 2));
    uint32_t palette[256];
    RasterImage image{pixels.data(), kW, kH};
    RasterDepth zBuffer{depth.data(), kW, kH};
    RasterTexture texture{texels.data(), 256, 256, 255, 255, 8, false, true};
    Target()
    {
        std::mt19937 rng(3);
        for (size_t i = 0; i < size_t(256) * 256; ++i) texels[i] = rng() & 0xFFFFFF;
        for (uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010101u;
    }
};

struct LevelScope {
    explicit LevelScope(int64_t level) { forceSimdLevel(kAllSimdLevels[level]); }
    ~LevelScope() { resetSimdLevel(); }
};

enum class Kind { Flat, Gouraud, TwoValue, Texture, LitTexture, Perspective };

std::unique_ptr<PolyFiller> makeFiller(Kind k)
{
    switch (k) {
    case Kind::Flat: return std::make_unique<FlatFiller>();
    case Kind::Gouraud: return std::make_unique<GouraudFiller>();
    case Kind::TwoValue: return std::make_unique<TwoValueFiller>();
    case Kind::Texture: return std::make_unique<TwoValueTextureFiller>();
    case Kind::LitTexture: return std::make_unique<ThreeValueFiller>();
    case Kind::Perspective: return std::make_unique<PerspectiveFiller>();
    }
    return nullptr;
}

struct Case {
    Kind kind;
    int blendMode;
    float opacity;
    int opacityKind;
    int textureMode;
    bool bilinear;
};

// Draws the whole scene per iteration, clearing the depth buffer first as a frame does.
void fill(benchmark::State& state, Case c)
{
    const Scene& s = scene(state.range(0));
    LevelScope scope(state.range(1));
    static Target t;
    const std::unique_ptr<PolyFiller> owned = makeFiller(c.kind);
    PolyFiller& filler = *owned;
    RasterMaterial m;
    m.palette = t.palette;
    m.blendMode = c.blendMode;
    m.opacity = c.opacity;
    m.opacityKind = c.opacityKind;
    m.textureMode = c.textureMode;
    m.bilinear = c.bilinear;
    m.texture = t.texture;
    filler.setDestination(&t.image);
    filler.setZBuffer(&t.zBuffer);
    filler.setMaterial(&m);
    for (auto _ : state) {
        std::memset(t.depth.data(), 0, t.depth.size() * 4);
        for (size_t i = 0; i < s.vertices.size(); i += 3) filler.drawPolygon(&s.vertices[i], 3, int(i & 255));
        benchmark::DoNotOptimize(t.pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * kTriangles);
    state.counters["Mpixels/s"] = benchmark::Counter(s.pixels * 1e-6 * double(state.iterations()), benchmark::Counter::kIsRate);
}

#define FILL(name, ...)                                                                                    \
    BENCHMARK_CAPTURE(fill, name, Case{__VA_ARGS__})                                                       \
        ->ArgNames({"large", "level"})                                                                     \
        ->ArgsProduct({{0, 1}, {0, 1, 2}})                                                                 \
        ->Unit(benchmark::kMillisecond)

FILL(Flat_Replace, Kind::Flat, 0, 1.0f, 0, 0, false);
FILL(Flat_Alpha, Kind::Flat, 0, 0.3f, 0, 0, false);
FILL(Gouraud_Replace, Kind::Gouraud, 0, 1.0f, 0, 0, false);
FILL(Gouraud_Add, Kind::Gouraud, 1, 1.0f, 0, 0, false);
FILL(TwoValue_Replace, Kind::TwoValue, 0, 1.0f, 0, 0, false);
FILL(Texture_Nearest, Kind::Texture, 0, 1.0f, 0, 0, false);
FILL(Texture_Bilinear, Kind::Texture, 0, 1.0f, 0, 0, true);
FILL(LitTexture_Mul, Kind::LitTexture, 0, 1.0f, 1, 1, false);
FILL(Perspective_Nearest, Kind::Perspective, 0, 1.0f, 0, 0, false);
FILL(Perspective_Bilinear, Kind::Perspective, 0, 1.0f, 0, 0, true);

#define FILL_TINY(name, ...)                                                                               \
    BENCHMARK_CAPTURE(fill, name, Case{__VA_ARGS__})                                                       \
        ->ArgNames({"tiny", "level"})                                                                      \
        ->Args({2, 2})                                                                                     \
        ->Unit(benchmark::kMicrosecond)

FILL_TINY(Tiny_Gouraud_Replace, Kind::Gouraud, 0, 1.0f, 0, 0, false);
FILL_TINY(Tiny_LitTexture_Mul, Kind::LitTexture, 0, 1.0f, 1, 1, false);
FILL_TINY(Tiny_Perspective_Nearest, Kind::Perspective, 0, 1.0f, 0, 0, false);

} // namespace

BENCHMARK_MAIN();
