// The blend-kernel family: exact bytes of each rule (the rounding note in BlendKernels.h) at every
// SIMD level, and every span loop of every level equal to its scalar twin on seeded random inputs.
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

// Pixels d blended with s (map m, opacity weight a) by one pair through a level's direct span loop.
std::vector<uint32_t> directSpan(Pair p, SimdLevel level, std::vector<uint32_t> d, const std::vector<uint32_t>& s,
                                 const std::vector<uint32_t>& m, uint32_t a)
{
    blit::SpanSource src;
    src.pixels = s.data();
    src.map = m.data();
    src.weight = a;
    blit::selectSpan(p.rule, p.weight, blit::Fetch::Direct, level)(d.data(), int64_t(d.size()), src);
    return d;
}

std::vector<SimdLevel> supportedLevels()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel level : kAllSimdLevels)
        if (simdLevelSupported(level)) levels.push_back(level);
    return levels;
}

TEST(BlendKernels, ExactBytesOfTheRoundingNote)
{
    // Nine pixels: one block of eight (and of four) plus a tail pixel, so every kernel of a level shows.
    const std::vector<uint32_t> white(9, 0xFFFFFFFFu), black(9, 0u);
    auto all = [](uint32_t v) { return std::vector<uint32_t>(9, v); };
    for (SimdLevel level : supportedLevels()) {
        SCOPED_TRACE(simdLevelName(level));
        // Weighted 255: white over black gives 254 in every byte (top byte included).
        EXPECT_EQ(directSpan({Rule::Weighted, Weight::Opacity}, level, black, white, black, 255), all(0xFEFEFEFEu));
        // Weighted 0: a white destination becomes 254.
        EXPECT_EQ(directSpan({Rule::Weighted, Weight::Opacity}, level, white, black, black, 0), all(0xFEFEFEFEu));
        // Half of 255 and 0 is 127 (pavgb alone would give 128).
        EXPECT_EQ(directSpan({Rule::Half, Weight::None}, level, black, white, black, 0), all(0x7F7F7F7Fu));
        // Average by halves of two whites is 254.
        EXPECT_EQ(directSpan({Rule::AverageHalves, Weight::None}, level, white, white, black, 0), all(0xFEFEFEFEu));
    }
    // Bilinear weights: fx = fy = 2048 gives 64 each; all four 255 -> (4 * 64 * 255) >> 8 = 255.
    EXPECT_EQ(blend::scalar::bilinear(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 2048, 2048), 0xFFFFFFFFu);
    EXPECT_EQ(blend::scalar::bilinear(0xFFFFFFFFu, 0, 0, 0, 4095, 4095), 0u);  // w00 = 1*1 >> 16 = 0
}

// Every level's kernels (through the direct span loop: blocks and tail) give the rules' bytes.
TEST(BlendKernels, EveryLevelGivesTheRulesBytesOnRandomPixels)
{
    std::mt19937 rng(20240601);
    for (SimdLevel level : supportedLevels()) {
        for (const Pair& p : kPairs) {
            for (int round = 0; round < 400; ++round) {
                const int n = 1 + round % 40;
                std::vector<uint32_t> d(n), s(n), m(n);
                for (int i = 0; i < n; ++i) d[i] = rng(), s[i] = rng(), m[i] = rng();
                if (round < 16) s[0] = 0xFFFFFFFFu, d[n / 2] = 0xFFFFFFFFu, m[n - 1] = 0xFFFFFFFFu, s[n - 1] = 0;
                const uint32_t a = round < 256 ? uint32_t(round) : rng() & 0xFF;
                const std::vector<uint32_t> out = directSpan(p, level, d, s, m, a);
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(out[i], referenceBlend(p.rule, p.weight, d[i], s[i], m[i], a))
                        << simdLevelName(level) << " " << int(p.rule) << "/" << int(p.weight) << " pixel " << i;
            }
        }
    }
}

// Every span loop of the table (every rule/weight pair x every fetch kind) at every level equals
// its scalar twin, on random sources, maps, destinations, positions and steps (mirrored too), with
// every length 1..40 and unaligned starts, so the wide loops' remainders are covered.
TEST(BlendKernels, EverySpanLoopEqualsItsScalarTwin)
{
    std::mt19937 rng(77);
    CImage32Buffered src(37, 23), map(37, 23);
    fillRandom(src, 1);
    fillRandom(map, 2);
    for (SimdLevel level : supportedLevels()) {
        if (level == SimdLevel::Scalar) continue;
        for (const Pair& p : kPairs) {
            for (int f = 0; f < blit::kFetchCount; ++f) {
                const blit::Fetch fetch = blit::Fetch(f);
                const blit::SpanFn wide = blit::selectSpan(p.rule, p.weight, fetch, level);
                const blit::SpanFn scalar = blit::selectSpan(p.rule, p.weight, fetch, SimdLevel::Scalar);
                ASSERT_TRUE(wide && scalar);
                for (int n = 1; n <= 40; ++n) {
                    blit::SpanSource s;
                    const int start = int(rng() % 8);
                    s.pixels = src.m_pPixels + (fetch == blit::Fetch::Direct ? start : 0);
                    s.map = map.m_pPixels + (fetch == blit::Fetch::Direct ? start : 0);
                    s.width = 37;
                    s.count = 37 * 23;
                    s.weight = rng() & 0xFF;
                    // Row fetches stay inside the image and its guard rows: rows 1..17, columns
                    // within 40 steps of -1..2 pixels from 0..4; the 2D fetches also leave the image.
                    s.u = int64_t(rng() % (4 * 65536));
                    s.du = int64_t(rng() % (3 * 65536)) - 65536;
                    s.v = int64_t(65536 + rng() % (16 * 65536));
                    const bool twoD = fetch == blit::Fetch::Nearest2D || fetch == blit::Fetch::Bilinear2D;
                    s.dv = twoD ? int64_t(rng() % 65536) - 32768 : 0;
                    std::vector<uint32_t> a(n + 8), b;
                    for (uint32_t& x : a) x = rng();
                    b = a;
                    wide(a.data() + start, n, s);
                    scalar(b.data() + start, n, s);
                    ASSERT_EQ(a, b) << simdLevelName(level) << " " << int(p.rule) << "/" << int(p.weight) << " fetch " << f
                                    << " n " << n;
                }
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
    // Each level the build has (no AVX2 in WebAssembly) has loops of its own.
    for (int level = 1; level < (TL_HAVE_AVX2 ? kSimdLevelCount : int(SimdLevel::Avx2)); ++level)
        EXPECT_NE(blit::selectSpan(Rule::Copy, Weight::None, blit::Fetch::Direct, SimdLevel(level - 1)),
                  blit::selectSpan(Rule::Copy, Weight::None, blit::Fetch::Direct, SimdLevel(level)));
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
