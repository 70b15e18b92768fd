// One frame of a deformed mesh: 10 000 vertices through a stack of four gizmo modifiers (bend,
// twist with bias, taper, then skew or noise) followed by a two-bone skin (two bones on every
// vertex), from the rest positions to the current ones, preparation included. Goal under 1 ms a
// frame, no allocation per frame (counted). The noise case costs most: three gradient noises a
// vertex; it is also measured at each SIMD level the CPU has (the row kernels of the noise).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/ChunkFile.h"
#include "image/SimdLevel.h"
#include "s3d/S3DModifierKinds.h"
#include "s3d/S3DModifierStack.h"
#include "s3d/S3DSkin.h"
#include "support/AllocationCounter.h"

namespace {

constexpr int kNbVertex = 10000;

// Little-endian chunk bytes: open() returns the header's place, close() writes the size.
struct Bytes {
    std::vector<uint8_t> v{0};  // the flag byte: plain
    size_t open(uint16_t id)
    {
        const size_t at = v.size();
        put(id, 2);
        put(0, 4);
        return at;
    }
    void close(size_t at)
    {
        const uint32_t size = uint32_t(v.size() - at);
        std::memcpy(&v[at + 2], &size, 4);
    }
    void put(uint32_t x, int n)
    {
        for (int i = 0; i < n; ++i) v.push_back(uint8_t(x >> (8 * i)));
    }
    void putF(float f)
    {
        uint32_t x;
        std::memcpy(&x, &f, 4);
        put(x, 4);
    }
    void matrix()
    {
        for (int i = 0; i < 12; ++i) putF(i % 4 == 0 && i < 12 ? 1.0f : 0.0f);
    }
};

// A skin record: identity skinTM, bones "a" and "b" at identity, every vertex on both bones.
std::vector<uint8_t> skinRecord()
{
    Bytes b;
    const size_t root = b.open(1), params = b.open(kL3xModifierParams);
    size_t c = b.open(kL3xSkinTM);
    b.matrix();
    b.close(c);
    c = b.open(kL3xSkinBones);
    b.put(2, 2);
    for (const char* name : {"a", "b"}) {
        b.put(uint8_t(name[0]), 1);
        b.put(0, 1);
        b.matrix();
    }
    b.close(c);
    c = b.open(kL3xSkinVertices);
    b.put(kNbVertex, 4);
    for (int i = 0; i < kNbVertex; ++i) {
        const float t = float(i) / kNbVertex;
        b.put(2, 2);
        b.putF(1.0f - t);
        b.put(0, 2);
        b.putF(t);
        b.put(1, 2);
    }
    b.close(c);
    b.close(params);
    b.close(root);
    return b.v;
}

void stackWithSkin(benchmark::State& state, bool withNoise, int level = -1)
{
    if (level >= 0 && !simdLevelSupported(SimdLevel(level))) return state.SkipWithError("level not on this CPU");
    struct LevelScope {
        explicit LevelScope(int l)
        {
            if (l >= 0) forceSimdLevel(SimdLevel(l));
        }
        ~LevelScope() { resetSimdLevel(); }
    } scope(level);
    std::vector<Point3D> rest(kNbVertex), current(kNbVertex);
    for (int i = 0; i < kNbVertex; ++i) {
        const float a = float(i) * 0.01f;
        rest[size_t(i)] = {50.0f * std::cos(a), float(i % 200) - 100.0f, 50.0f * std::sin(a)};
    }
    S3DModifierBend bend;
    bend.angle() = 1.0f;
    S3DModifierTwist twist;
    twist.angle() = 0.7f;
    twist.bias() = 20.0f;
    S3DModifierTaper taper;
    taper.amount() = 0.5f;
    S3DModifierNoise noise;
    noise.strengthX() = noise.strengthY() = noise.strengthZ() = 4.0f;
    S3DModifierSkew skew;
    skew.amount() = 20.0f;
    S3DModifier& fourth = withNoise ? static_cast<S3DModifier&>(noise) : skew;
    for (S3DModifier* m : std::initializer_list<S3DModifier*>{&bend, &twist, &taper, &fourth}) {
        m->m_boundsMin = {-50, -100, -50};
        m->m_boundsMax = {50, 100, 50};
    }
    const std::vector<uint8_t> record = skinRecord();
    ChunkFileReaderManager manager("skin", record.data(), record.size());
    ChunkFileReader root(&manager);
    S3DModifierSkin skin;
    skin.load(root);
    const Matrix boneA = Matrix::identity(), boneB = Matrix::rotationZ(0.3f);
    skin.setBoneMatrix(&boneA, 0);
    skin.setBoneMatrix(&boneB, 1);

    const S3DStackStep steps[] = {{&bend}, {&twist}, {&taper}, {&fourth}, {&skin}};
    long allocations = 0;
    {
        const AllocationCounter counter;
        for (auto _ : state) {
            applyModifierStack(steps, int(std::size(steps)), rest.data(), current.data(), kNbVertex);
            benchmark::DoNotOptimize(current.data());
            benchmark::ClobberMemory();
        }
        allocations = counter.count();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kNbVertex);
    state.counters["allocs_per_frame"] = double(allocations) / double(state.iterations());
}

} // namespace

BENCHMARK_CAPTURE(stackWithSkin, skew, false)->Name("modifiers/bend+twist+taper+skew+skin/10000")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stackWithSkin, noise, true)->Name("modifiers/bend+twist+taper+noise+skin/10000")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stackWithSkin, noiseScalar, true, int(SimdLevel::Scalar))
    ->Name("modifiers/bend+twist+taper+noise+skin/10000/scalar")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stackWithSkin, noiseSse2, true, int(SimdLevel::Sse2))
    ->Name("modifiers/bend+twist+taper+noise+skin/10000/sse2")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stackWithSkin, noiseAvx2, true, int(SimdLevel::Avx2))
    ->Name("modifiers/bend+twist+taper+noise+skin/10000/avx2")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
