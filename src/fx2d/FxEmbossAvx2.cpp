// The relief filter's AVX2 loop: four pixels per step, channels in 16-bit lanes; the last one to
// three pixels of a row go through the same step on buffers.
#include "fx2d/FxEmbossAvx2.h"

#include <immintrin.h>

#include <cstring>

namespace emboss {
namespace {

// The four channel sums of pixels x .. x + 3 (column x at sums[4 x]).
TL_TARGET_AVX2 void columnSums4(const uint32_t* up, const uint32_t* mid, const uint32_t* down, int16_t* sums)
{
    const __m256i a = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(up)));
    const __m256i b = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mid)));
    const __m256i c = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(down)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums), _mm256_add_epi16(_mm256_add_epi16(a, b), c));
}

TL_TARGET_AVX2 void columnSums(const uint32_t* up, const uint32_t* mid, const uint32_t* down, int16_t* sums, int width)
{
    int x = 0;
    for (; x + 4 <= width; x += 4) columnSums4(up + x, mid + x, down + x, sums + 4 * x);
    if (x == width) return;
    const int n = width - x;
    uint32_t u[4] = {}, m[4] = {}, d[4] = {};
    int16_t s[16];
    std::memcpy(u, up + x, size_t(n) * 4);
    std::memcpy(m, mid + x, size_t(n) * 4);
    std::memcpy(d, down + x, size_t(n) * 4);
    columnSums4(u, m, d, s);
    std::memcpy(sums + 4 * x, s, size_t(n) * 4 * sizeof(int16_t));
}

// Pixels x .. x + 3 from the padded sums (column x of the image is sums index x + 1): `sums`
// points at index x, `mid` at the unfiltered pixel x.
template <bool Shade>
TL_TARGET_AVX2 __m128i pixels4(const int16_t* sums, const uint32_t* mid, __m256i strength)
{
    const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 8));
    const __m256i left = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums));
    const __m256i g16 = _mm256_add_epi16(_mm256_sub_epi16(right, left), _mm256_set1_epi16(128));
    const __m128i g = _mm_packus_epi16(_mm256_castsi256_si128(g16), _mm256_extracti128_si256(g16, 1)); // 0..255
    if constexpr (!Shade) {
        return g;
    } else {
        // 5 b + 16 g, 11 r per pixel, then summed: dword 2p holds pixel p's light.
        const __m256i pairs = _mm256_madd_epi16(_mm256_cvtepu8_epi16(g), _mm256_setr_epi16(5, 16, 11, 0, 5, 16, 11, 0, 5, 16, 11, 0, 5, 16, 11, 0));
        const __m256i light = _mm256_add_epi32(pairs, _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
        const __m256i l = _mm256_sub_epi32(_mm256_srli_epi32(light, 5), _mm256_set1_epi32(128));
        // Low word of each pixel's l into its four channel lanes.
        const __m256i spread = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(l, _MM_SHUFFLE(0, 0, 0, 0)), _MM_SHUFFLE(0, 0, 0, 0));
        const __m256i delta = _mm256_srai_epi16(_mm256_mullo_epi16(spread, strength), 8);
        const __m256i r = _mm256_add_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(mid))), delta);
        return _mm_packus_epi16(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
    }
}

template <bool Shade>
TL_TARGET_AVX2 void row(const int16_t* sums, const uint32_t* mid, uint32_t* out, int width, int intensity)
{
    const __m256i strength = _mm256_set1_epi16(short(intensity));
    int x = 0;
    for (; x + 4 <= width; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), pixels4<Shade>(sums + 4 * x, mid + x, strength));
    if (x == width) return;
    const int n = width - x;
    int16_t s[24] = {};
    uint32_t m[4] = {}, o[4];
    std::memcpy(s, sums + 4 * x, size_t(n + 2) * 4 * sizeof(int16_t));
    std::memcpy(m, mid + x, size_t(n) * 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), pixels4<Shade>(s, m, strength));
    std::memcpy(out + x, o, size_t(n) * 4);
}

} // namespace

template <bool Shade>
TL_TARGET_AVX2 void embossAvx2(uint32_t* pixels, int width, int height, int intensity, int16_t* sums, uint32_t* saved)
{
    for (int y = 0; y < height; ++y) {
        uint32_t* out = pixels + int64_t(y) * width;
        uint32_t* mid = saved + int64_t(y & 1) * width;
        std::memcpy(mid, out, size_t(width) * 4);
        const uint32_t* up = y > 0 ? saved + int64_t((y - 1) & 1) * width : mid;
        const uint32_t* down = y + 1 < height ? out + width : mid;
        columnSums(up, mid, down, sums + 4, width);
        std::memcpy(sums, sums + 4, 4 * sizeof(int16_t));                            // column -1 = column 0
        std::memcpy(sums + 4 * (width + 1), sums + 4 * width, 4 * sizeof(int16_t)); // column w = column w-1
        row<Shade>(sums, mid, out, width, intensity);
    }
}

template void embossAvx2<false>(uint32_t*, int, int, int, int16_t*, uint32_t*);
template void embossAvx2<true>(uint32_t*, int, int, int, int16_t*, uint32_t*);

} // namespace emboss
