// The blend-kernel family: exact bytes of each rule (the rounding note in BlendKernels.h), and
// every SSE2 kernel and span loop equal to its scalar twin on seeded random inputs.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "BlitTestUtil.h"
#include "image/BlendKernels.h"
#include "image/BlitSpan.h"

using namespace blittest;
using blend::Rule;
using blend::Weight;

namespace {

struct Pair {
    Rule rule;
    Weight weight;
};
const Pair kPairs[] = {
    {Rule::Copy, Weight::None},           {Rule::Half, Weight::None},         {Rule::Weighted, Weight::Opacity},
    {Rule::Weighted, Weight::Map},        {Rule::Weighted, Weight::SourceAlpha}, {Rule::Add, Weight::None},
    {Rule::AddWeighted, Weight::Opacity}, {Rule::AddWeighted, Weight::Map},  {Rule::Sub, Weight::None},
    {Rule::SubWeighted, Weight::Opacity}, {Rule::SubWeighted, Weight::Map},  {Rule::AverageHalves, Weight::None},
};

// Runs one rule/weight pair on four pixels through the SSE2 kernel.
template <Rule R, Weight W>
void simd4(const uint32_t* d, const uint32_t* s, const uint32_t* m, uint32_t a, uint32_t* out)
{
    const __m128i r = blend::blend4<R, W>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(m)),
                                          _mm_set1_epi16(int16_t(a)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), r);
}

using Simd4 = void (*)(const uint32_t*, const uint32_t*, const uint32_t*, uint32_t, uint32_t*);
using Scalar1 = uint32_t (*)(uint32_t, uint32_t, uint32_t, uint32_t);
struct Kernel {
    Pair pair;
    Simd4 simd;
    Scalar1 scalar;
};
template <Rule R, Weight W>
Kernel kernel()
{
    return {{R, W}, &simd4<R, W>, &blend::blend1<R, W>};
}
const Kernel kKernels[] = {
    kernel<Rule::Copy, Weight::None>(),           kernel<Rule::Half, Weight::None>(),
    kernel<Rule::Weighted, Weight::Opacity>(),    kernel<Rule::Weighted, Weight::Map>(),
    kernel<Rule::Weighted, Weight::SourceAlpha>(), kernel<Rule::Add, Weight::None>(),
    kernel<Rule::AddWeighted, Weight::Opacity>(), kernel<Rule::AddWeighted, Weight::Map>(),
    kernel<Rule::Sub, Weight::None>(),            kernel<Rule::SubWeighted, Weight::Opacity>(),
    kernel<Rule::SubWeighted, Weight::Map>(),     kernel<Rule::AverageHalves, Weight::None>(),
};

TEST(BlendKernels, ExactBytesOfTheRoundingNote)
{
    const uint32_t white = 0xFFFFFFFFu, black = 0;
    uint32_t out[4];
    const uint32_t w4[4] = {white, white, white, white}, b4[4] = {black, black, black, black};
    // Weighted 255: white over black gives 254 in every byte (top byte included).
    EXPECT_EQ((blend::blend1<Rule::Weighted, Weight::Opacity>(black, white, 0, 255)), 0xFEFEFEFEu);
    simd4<Rule::Weighted, Weight::Opacity>(b4, w4, b4, 255, out);
    EXPECT_EQ(out[0], 0xFEFEFEFEu);
    // Weighted 0: a white destination becomes 254.
    EXPECT_EQ((blend::blend1<Rule::Weighted, Weight::Opacity>(white, black, 0, 0)), 0xFEFEFEFEu);
    simd4<Rule::Weighted, Weight::Opacity>(w4, b4, b4, 0, out);
    EXPECT_EQ(out[3], 0xFEFEFEFEu);
    // Half of 255 and 0 is 127 (pavgb alone would give 128).
    EXPECT_EQ((blend::blend1<Rule::Half, Weight::None>(black, white, 0, 0)), 0x7F7F7F7Fu);
    simd4<Rule::Half, Weight::None>(b4, w4, b4, 0, out);
    EXPECT_EQ(out[1], 0x7F7F7F7Fu);
    // Average by halves of two whites is 254.
    EXPECT_EQ((blend::blend1<Rule::AverageHalves, Weight::None>(white, white, 0, 0)), 0xFEFEFEFEu);
    simd4<Rule::AverageHalves, Weight::None>(w4, w4, b4, 0, out);
    EXPECT_EQ(out[2], 0xFEFEFEFEu);
    // Bilinear weights: fx = fy = 2048 gives 64 each; all four 255 -> (4 * 64 * 255) >> 8 = 255.
    EXPECT_EQ(blend::scalar::bilinear(white, white, white, white, 2048, 2048), white);
    EXPECT_EQ(blend::scalar::bilinear(white, 0, 0, 0, 4095, 4095), 0u);  // w00 = 1*1 >> 16 = 0
}

TEST(BlendKernels, SimdEqualsScalarEqualsReferenceOnRandomPixels)
{
    std::mt19937 rng(20240601);
    for (const Kernel& k : kKernels) {
        for (int round = 0; round < 4000; ++round) {
            uint32_t d[4], s[4], m[4], out[4];
            for (int i = 0; i < 4; ++i) d[i] = rng(), s[i] = rng(), m[i] = rng();
            if (round < 16) s[0] = 0xFFFFFFFFu, d[1] = 0xFFFFFFFFu, m[2] = 0xFFFFFFFFu, s[3] = 0;
            const uint32_t a = round < 256 ? uint32_t(round) : rng() & 0xFF;
            k.simd(d, s, m, a, out);
            for (int i = 0; i < 4; ++i) {
                const uint32_t want = referenceBlend(k.pair.rule, k.pair.weight, d[i], s[i], m[i], a);
                ASSERT_EQ(k.scalar(d[i], s[i], m[i], a), want) << int(k.pair.rule) << "/" << int(k.pair.weight);
                ASSERT_EQ(out[i], want) << int(k.pair.rule) << "/" << int(k.pair.weight) << " lane " << i;
            }
        }
    }
}

// Every span loop of the table (every rule/weight pair x every fetch kind) at the SSE2 level
// equals its scalar twin, on random sources, maps, destinations and positions.
TEST(BlendKernels, EverySpanLoopEqualsItsScalarTwin)
{
    std::mt19937 rng(77);
    CImage32Buffered src(37, 23), map(37, 23);
    fillRandom(src, 1);
    fillRandom(map, 2);
    for (const Pair& p : kPairs) {
        for (int f = 0; f < blit::kFetchCount; ++f) {
            const blit::SpanFn simd = blit::selectSpan(p.rule, p.weight, blit::Fetch(f), SimdLevel::Sse2);
            const blit::SpanFn scalar = blit::selectSpan(p.rule, p.weight, blit::Fetch(f), SimdLevel::Scalar);
            ASSERT_TRUE(simd && scalar);
            for (int round = 0; round < 60; ++round) {
                blit::SpanSource s;
                s.pixels = src.m_pPixels;
                s.map = map.m_pPixels;
                s.width = 37;
                s.count = 37 * 23;
                s.weight = rng() & 0xFF;
                const int n = 1 + int(rng() % 30);
                // Positions that stay inside the image (plus its guard rows for the row fetches).
                s.u = int64_t(rng() % (4 * 65536));
                s.du = int64_t(rng() % 65536);
                s.v = int64_t(rng() % (20 * 65536));
                s.dv = blit::Fetch(f) == blit::Fetch::Nearest2D || blit::Fetch(f) == blit::Fetch::Bilinear2D
                           ? int64_t(rng() % 65536) - 32768
                           : 0;
                std::vector<uint32_t> a(n), b(n);
                for (int i = 0; i < n; ++i) a[i] = b[i] = rng();
                simd(a.data(), n, s);
                scalar(b.data(), n, s);
                ASSERT_EQ(a, b) << int(p.rule) << "/" << int(p.weight) << " fetch " << f;
            }
        }
    }
}

TEST(BlendKernels, TheProcessLevelPicksTheSpanLoop)
{
    for (SimdLevel level : kAllSimdLevels) {
        if (!simdLevelSupported(level)) continue;
        SimdLevelScope scope(level);
        EXPECT_EQ(simdLevel(), level);
        EXPECT_EQ(blit::selectSpan(Rule::Copy, Weight::None, blit::Fetch::Direct),
                  blit::selectSpan(Rule::Copy, Weight::None, blit::Fetch::Direct, level));
    }
    EXPECT_NE(blit::selectSpan(Rule::Copy, Weight::None, blit::Fetch::Direct, SimdLevel::Scalar),
              blit::selectSpan(Rule::Copy, Weight::None, blit::Fetch::Direct, SimdLevel::Sse2));
    EXPECT_EQ(blit::selectSpan(Rule::Half, Weight::Map, blit::Fetch::Direct), nullptr);
}

TEST(BlendKernels, OpacityWeightRoundsAndClamps)
{
    EXPECT_EQ(blend::opacityWeight(1.0f), 255);
    EXPECT_EQ(blend::opacityWeight(0.5f), 128);  // 127.5 rounds up
    EXPECT_EQ(blend::opacityWeight(0.2f), 51);
    EXPECT_EQ(blend::opacityWeight(0.0f), 0);
    EXPECT_EQ(blend::opacityWeight(-3.0f), 0);
    EXPECT_EQ(blend::opacityWeight(2.0f), 255);
}

} // namespace
