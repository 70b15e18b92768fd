// The pixel operations eight pixels at a time with AVX2; the scalar twins finish each run.
#include "image/PixelOpsAvx2.h"

#include <immintrin.h>

#include "image/BlendKernelsAvx2.h"

namespace pixelops::avx2 {

namespace {

TL_TARGET_AVX2 inline __m256i load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
TL_TARGET_AVX2 inline void store(uint32_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// The pixels of d, eight at a time, through op(pixels, constant); the scalar twin `finish` does
// the rest of the run.
enum class Op { Add, Sub, Xor, And };
template <Op O>
TL_TARGET_AVX2 void withValue(uint32_t* d, int64_t n, uint32_t v, void (*finish)(uint32_t*, int64_t, uint32_t))
{
    const __m256i c = _mm256_set1_epi32(int(v));
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i x = load(d + i);
        if constexpr (O == Op::Add) store(d + i, blend::avx2::apply<blend::Rule::Add>(x, c, c, c));
        else if constexpr (O == Op::Sub) store(d + i, blend::avx2::apply<blend::Rule::Sub>(x, c, c, c));
        else if constexpr (O == Op::Xor) store(d + i, _mm256_xor_si256(x, c));
        else store(d + i, _mm256_and_si256(x, c));
    }
    finish(d + i, n - i, v);
}

} // namespace

void greyInto(uint32_t* p, int64_t n, uint32_t keepMask)
{
    // 5 b + 16 g + 11 r: byte products summed in pairs (5 b + 16 g, 11 r), then the pairs summed.
    const __m256i weights = _mm256_set1_epi32(0x000B1005);
    const __m256i ones = _mm256_set1_epi16(1);
    // the grey value (byte 0 of each pixel) into all four bytes
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,  //
                                            0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    const __m256i keep = _mm256_set1_epi32(int(keepMask));
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sums = _mm256_madd_epi16(_mm256_maddubs_epi16(load(p + i), weights), ones);
        store(p + i, _mm256_and_si256(_mm256_shuffle_epi8(_mm256_srli_epi32(sums, 5), spread), keep));
    }
    scalar::greyInto(p + i, n - i, keepMask);
}

void addSaturate(uint32_t* d, int64_t n, const uint32_t* s)
{
    const __m256i zero = _mm256_setzero_si256();
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) store(d + i, blend::avx2::apply<blend::Rule::Add>(load(d + i), load(s + i), zero, zero));
    scalar::addSaturate(d + i, n - i, s + i);
}

void addSaturateValue(uint32_t* d, int64_t n, uint32_t v) { withValue<Op::Add>(d, n, v, scalar::addSaturateValue); }

void subSaturateValue(uint32_t* d, int64_t n, uint32_t v) { withValue<Op::Sub>(d, n, v, scalar::subSaturateValue); }

void xorBytes(uint32_t* d, int64_t n, uint32_t v) { withValue<Op::Xor>(d, n, v, scalar::xorBytes); }

void andBytes(uint32_t* d, int64_t n, uint32_t v) { withValue<Op::And>(d, n, v, scalar::andBytes); }

} // namespace pixelops::avx2
