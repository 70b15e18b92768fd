#include "fx2d/FxEmboss.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "fx2d/FxEmbossAvx2.h"
#include "image/CImage32.h"
#include "image/KernelTable.h"

// Per channel, rows y - 1, y, y + 1 unfiltered (edges repeated):
//   S(x) = P(x, y-1) + P(x, y) + P(x, y+1)              0..765
//   g    = clamp(128 + S(x+1) - S(x-1), 0, 255)          relief, written in emboss mode
//   l    = ((5 g_blue + 16 g_green + 11 g_red) >> 5) - 128
//   out  = clamp(P(x, y) + ((intensity * l) >> 8), 0, 255) in shade mode, every channel
// (intensity * l) >> 8 shifts arithmetically: negative products round toward minus infinity.

namespace {

const char* const kCaption = "FxEmboss : ";

struct ScalarLanes {
    // The four channel sums of column x.
    static void columnSum(const uint32_t* up, const uint32_t* mid, const uint32_t* down, int16_t* sums, int x)
    {
        for (int c = 0; c < 4; ++c)
            sums[4 * x + c] =
                int16_t(((up[x] >> (8 * c)) & 0xFF) + ((mid[x] >> (8 * c)) & 0xFF) + ((down[x] >> (8 * c)) & 0xFF));
    }

    static void columnSums(const uint32_t* up, const uint32_t* mid, const uint32_t* down, int16_t* sums, int width)
    {
        for (int x = 0; x < width; ++x) columnSum(up, mid, down, sums, x);
    }

    template <bool Shade>
    static uint32_t pixel(const int16_t* sums, const uint32_t* mid, int x, int intensity)
    {
        int g[4];
        for (int c = 0; c < 4; ++c) g[c] = std::clamp(128 + sums[4 * (x + 2) + c] - sums[4 * x + c], 0, 255);
        uint32_t out = 0;
        if constexpr (!Shade) {
            for (int c = 0; c < 4; ++c) out |= uint32_t(g[c]) << (8 * c);
        } else {
            const int l = ((5 * g[0] + 16 * g[1] + 11 * g[2]) >> 5) - 128;
            const int delta = (intensity * l) >> 8;
            for (int c = 0; c < 4; ++c) {
                const int p = int((mid[x] >> (8 * c)) & 0xFF);
                out |= uint32_t(std::clamp(p + delta, 0, 255)) << (8 * c);
            }
        }
        return out;
    }

    template <bool Shade>
    static void row(const int16_t* sums, const uint32_t* mid, uint32_t* out, int width, int intensity)
    {
        for (int x = 0; x < width; ++x) out[x] = pixel<Shade>(sums, mid, x, intensity);
    }
};

struct SimdLanes {
    // Two pixels per step, channels in 16-bit lanes; an odd last pixel by the scalar twin.
    static void columnSums(const uint32_t* up, const uint32_t* mid, const uint32_t* down, int16_t* sums, int width)
    {
        const __m128i zero = _mm_setzero_si128();
        int x = 0;
        for (; x + 2 <= width; x += 2) {
            const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(up + x)), zero);
            const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mid + x)), zero);
            const __m128i c = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(down + x)), zero);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * x), _mm_add_epi16(_mm_add_epi16(a, b), c));
        }
        if (x < width) ScalarLanes::columnSum(up, mid, down, sums, x);
    }

    // Relief bytes of pixels x, x + 1 from the padded sums (column x of the image is sums index x + 1).
    static __m128i relief(const int16_t* sums, int x)
    {
        const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * (x + 2)));
        const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + 4 * x));
        const __m128i g = _mm_add_epi16(_mm_sub_epi16(right, left), _mm_set1_epi16(128));
        return _mm_packus_epi16(g, g); // clamps to 0..255
    }

    template <bool Shade>
    static void row(const int16_t* sums, const uint32_t* mid, uint32_t* out, int width, int intensity)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i weights = _mm_setr_epi16(5, 16, 11, 0, 5, 16, 11, 0);
        const __m128i bias = _mm_set1_epi32(128);
        const __m128i strength = _mm_set1_epi16(short(intensity));
        int x = 0;
        for (; x + 2 <= width; x += 2) {
            const __m128i g = relief(sums, x);
            if constexpr (!Shade) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), g);
            } else {
                // 5 b + 16 g, 11 r per pixel, then summed: dwords 0 and 2 hold the pixels' light.
                const __m128i pairs = _mm_madd_epi16(_mm_unpacklo_epi8(g, zero), weights);
                const __m128i light = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
                const __m128i l = _mm_sub_epi32(_mm_srli_epi32(light, 5), bias);
                // Low word of each pixel's l into its four channel lanes.
                __m128i spread = _mm_shufflelo_epi16(l, _MM_SHUFFLE(0, 0, 0, 0));
                spread = _mm_shufflehi_epi16(spread, _MM_SHUFFLE(0, 0, 0, 0));
                const __m128i delta = _mm_srai_epi16(_mm_mullo_epi16(spread, strength), 8);
                const __m128i p = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mid + x)), zero);
                const __m128i r = _mm_add_epi16(p, delta);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(r, r));
            }
        }
        if (x < width) out[x] = ScalarLanes::pixel<Shade>(sums, mid, x, intensity);
    }
};

template <class L, bool Shade>
void embossT(uint32_t* pixels, int width, int height, int intensity, int16_t* sums, uint32_t* saved)
{
    for (int y = 0; y < height; ++y) {
        uint32_t* row = pixels + int64_t(y) * width;
        uint32_t* mid = saved + int64_t(y & 1) * width;
        std::memcpy(mid, row, size_t(width) * 4);
        const uint32_t* up = y > 0 ? saved + int64_t((y - 1) & 1) * width : mid;
        const uint32_t* down = y + 1 < height ? row + width : mid;
        L::columnSums(up, mid, down, sums + 4, width);
        std::memcpy(sums, sums + 4, 4 * sizeof(int16_t));                            // column -1 = column 0
        std::memcpy(sums + 4 * (width + 1), sums + 4 * width, 4 * sizeof(int16_t)); // column w = column w-1
        L::template row<Shade>(sums, mid, row, width, intensity);
    }
}

// The loops by mode (the last row, relief, takes every other mode) at every SIMD level.
using EmbossFn = void (*)(uint32_t*, int, int, int, int16_t*, uint32_t*);
struct EmbossRow {
    int mode;
    EmbossFn loops[kSimdLevelCount];
};
constexpr EmbossRow kEmbossLoops[] = {
    {int(FxEmboss::Mode::Shade), {&embossT<ScalarLanes, true>, &embossT<SimdLanes, true>, TL_AVX2_LOOP(&emboss::embossAvx2<true>)}},
    {kAnyMode, {&embossT<ScalarLanes, false>, &embossT<SimdLanes, false>, TL_AVX2_LOOP(&emboss::embossAvx2<false>)}},
};

} // namespace

FxEmboss::FxEmboss(int width, int height) : FxEffect(kCaption, width, height)
{
    if (!usable()) return;
    m_workRow.resize(size_t(width + 2) * 4);
    m_savedRows.resize(size_t(width) * 2);
}

void FxEmboss::setIntensity(int intensity)
{
    m_intensity = std::clamp(intensity, 0, 255);
}

void FxEmboss::apply()
{
    if (!m_pScreen || !m_pScreen->m_pPixels || m_workRow.empty()) return;
    const EmbossFn emboss = loopForLevel(rowForMode(kEmbossLoops, m_mode).loops, simdLevel());
    emboss(m_pScreen->m_pPixels, m_width, m_height, m_intensity, m_workRow.data(), m_savedRows.data());
}
